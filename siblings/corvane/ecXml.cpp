// corvane: the element search, the sub-cursor and the conversions of ecXml.
// The members that the slice library defines itself are in its own sources.
#include "ecXml.h"

#include <climits>
#include <cstring>
#include <functional>
#include <utility>

namespace {

struct ElementSpan {
    int contentBegin;  // first character after the start tag
    int contentEnd;    // the '<' of the end tag (= contentBegin for <name/>)
    int elementEnd;    // first character after the element
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Offset of the first `c` in [from, len), or -1.
int FindChar(const char* p, int from, int len, char c)
{
    if (from >= len) return -1;
    const void* hit = std::memchr(p + from, c, static_cast<size_t>(len - from));
    return hit ? static_cast<int>(static_cast<const char*>(hit) - p) : -1;
}

// Offset of the first occurrence of `seq` (n bytes) in [from, len), or -1.
int FindSeq(const char* p, int from, int len, const char* seq, int n)
{
    for (int k = FindChar(p, from, len, seq[0]); k >= 0; k = FindChar(p, k + 1, len, seq[0])) {
        if (len - k < n) return -1;
        if (std::memcmp(p + k, seq, static_cast<size_t>(n)) == 0) return k;
    }
    return -1;
}

bool StartsWith(const char* p, int k, int len, const char* lit)
{
    const int n = static_cast<int>(std::strlen(lit));
    return len - k >= n && std::memcmp(p + k, lit, static_cast<size_t>(n)) == 0;
}

constexpr int kNotSpecial = -2;
constexpr int kUnterminated = -1;

// p[k] is '<'. For a comment, a processing instruction, a CDATA section or a
// declaration: the offset just past its end, or kUnterminated when the text
// ends inside it. For anything else kNotSpecial.
int SkipSpecial(const char* p, int k, int len)
{
    int e;
    if (StartsWith(p, k, len, "<!--")) {
        e = FindSeq(p, k + 4, len, "-->", 3);
        return e < 0 ? kUnterminated : e + 3;
    }
    if (StartsWith(p, k, len, "<![CDATA[")) {
        e = FindSeq(p, k + 9, len, "]]>", 3);
        return e < 0 ? kUnterminated : e + 3;
    }
    if (StartsWith(p, k, len, "<?")) {
        e = FindSeq(p, k + 2, len, "?>", 2);
        return e < 0 ? kUnterminated : e + 2;
    }
    if (StartsWith(p, k, len, "<!")) {
        // A declaration; an internal subset in brackets may hold '>'.
        int brackets = 0;
        for (int j = k + 2; j < len; ++j) {
            if (p[j] == '[') ++brackets;
            else if (p[j] == ']' && brackets > 0) --brackets;
            else if (p[j] == '>' && brackets == 0) return j + 1;
        }
        return kUnterminated;
    }
    return kNotSpecial;
}

// Whether p[k..] is the name followed by a character that may end a tag name.
bool NameAt(const char* p, int k, int len, const std::string& name)
{
    const int n = static_cast<int>(name.size());
    if (len - k <= n) return false;
    if (std::memcmp(p + k, name.data(), name.size()) != 0) return false;
    const char c = p[k + n];
    return c == '>' || c == '/' || IsBlank(c);
}

// The '>' closing a tag whose name ends before `from`; quoted attribute
// values may hold '>'. -1 when the text ends first.
int TagEnd(const char* p, int from, int len)
{
    char quote = 0;
    for (int j = from; j < len; ++j) {
        const char c = p[j];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return j;
        }
    }
    return -1;
}

bool UsableName(const std::string& name)
{
    if (name.empty() || name.size() >= static_cast<size_t>(INT_MAX)) return false;
    for (char c : name)
        if (c == '<' || c == '>' || c == '/' || IsBlank(c)) return false;
    return true;
}

// Finds the end tag that closes an element whose content starts at `from`.
bool MatchEnd(const char* p, int from, int len, const std::string& name, ElementSpan& out)
{
    const int n = static_cast<int>(name.size());
    long depth = 1;
    int j = from;
    while (j < len) {
        const int k = FindChar(p, j, len, '<');
        if (k < 0) return false;
        const int skipped = SkipSpecial(p, k, len);
        if (skipped == kUnterminated) return false;
        if (skipped >= 0) {
            j = skipped;
            continue;
        }
        if (k + 1 < len && p[k + 1] == '/' && len - (k + 2) >= n &&
            std::memcmp(p + k + 2, name.data(), name.size()) == 0) {
            int e = k + 2 + n;
            while (e < len && IsBlank(p[e])) ++e;
            if (e < len && p[e] == '>') {
                if (--depth == 0) {
                    out = ElementSpan{from, k, e + 1};
                    return true;
                }
                j = e + 1;
                continue;
            }
        } else if (NameAt(p, k + 1, len, name)) {
            const int gt = TagEnd(p, k + 1 + n, len);
            if (gt < 0) return false;
            if (p[gt - 1] != '/') ++depth;
            j = gt + 1;
            continue;
        }
        j = k + 1;
    }
    return false;
}

// The first element called `name` whose start tag begins in [position, length).
bool FindElement(const char* p, int position, int length, const std::string& name, ElementSpan& out)
{
    if (!p || length <= 0 || !UsableName(name)) return false;
    const int n = static_cast<int>(name.size());
    int i = position < 0 ? 0 : position;
    while (i < length) {
        const int k = FindChar(p, i, length, '<');
        if (k < 0) return false;
        const int skipped = SkipSpecial(p, k, length);
        if (skipped == kUnterminated) return false;
        if (skipped >= 0) {
            i = skipped;
            continue;
        }
        if (!NameAt(p, k + 1, length, name)) {
            i = k + 1;
            continue;
        }
        const int gt = TagEnd(p, k + 1 + n, length);
        if (gt < 0) return false;
        if (p[gt - 1] == '/') {
            out = ElementSpan{gt + 1, gt + 1, gt + 1};
            return true;
        }
        return MatchEnd(p, gt + 1, length, name, out);
    }
    return false;
}

std::string Trimmed(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// A decimal 32-bit value, signed or in its unsigned form; false for anything else.
bool ParseInt32(const std::string& text, int& value)
{
    const std::string s = Trimmed(text);
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
        if (v > 4294967295LL) return false;
    }
    if (negative) {
        if (v > 2147483648LL) return false;
        v = -v;
    } else if (v > 2147483647LL) {
        v -= 4294967296LL;
    }
    value = static_cast<int>(v);
    return true;
}

bool InRange(const std::vector<char>& store, const char* p)
{
    if (store.empty() || !p) return false;
    const char* b = store.data();
    return std::less_equal<const char*>()(b, p) && std::less<const char*>()(p, b + store.size());
}

}  // namespace

ecXml::ecXml() : pText(nullptr), iPosition(0), iLength(0), bFullFledged(false) {}

ecXml::ecXml(const std::string& text) : ecXml()
{
    if (text.size() <= static_cast<size_t>(INT_MAX)) TakeCopy(text.data(), static_cast<int>(text.size()));
}

ecXml::ecXml(const char* text, int length) : ecXml()
{
    if (text && length > 0) TakeCopy(text, length);
}

ecXml::ecXml(const ecXml& other) : ecXml() { Adopt(other); }

ecXml::ecXml(ecXml&& other) noexcept : ecXml() { *this = std::move(other); }

ecXml& ecXml::operator=(const ecXml& other)
{
    if (this != &other) Adopt(other);
    return *this;
}

ecXml& ecXml::operator=(ecXml&& other) noexcept
{
    if (this == &other) return *this;
    const bool owned = InRange(other.vStore, other.pText);
    const std::ptrdiff_t offset = owned ? other.pText - other.vStore.data() : 0;
    vStore = std::move(other.vStore);
    pText = owned ? vStore.data() + offset : other.pText;
    iPosition = other.iPosition;
    iLength = other.iLength;
    bFullFledged = other.bFullFledged;
    other.vStore.clear();
    other.pText = nullptr;
    other.iPosition = 0;
    other.iLength = 0;
    return *this;
}

void ecXml::Adopt(const ecXml& other)
{
    vStore = other.vStore;
    pText = InRange(other.vStore, other.pText) ? vStore.data() + (other.pText - other.vStore.data())
                                                : other.pText;
    iPosition = other.iPosition;
    iLength = other.iLength;
    bFullFledged = other.bFullFledged;
}

void ecXml::TakeCopy(const char* text, int length)
{
    // A terminating zero follows the copy so that GetTextPtr() is also a C string.
    vStore.assign(text, text + length);
    vStore.push_back('\0');
    pText = vStore.data();
    iLength = length;
    iPosition = 0;
}

void ecXml::Free()
{
    std::vector<char>().swap(vStore);
    pText = nullptr;
    iLength = 0;
    iPosition = 0;
}

bool ecXml::GetBeginEnd(int& begin, int& end, std::string name, char* text, int position, int length)
{
    ElementSpan span;
    if (!FindElement(text, position, length, name, span)) return false;
    begin = span.contentBegin;
    end = span.contentEnd;
    return true;
}

std::string ecXml::CharacterDataNext(char* text, std::string name, int position, int length)
{
    ElementSpan span;
    if (!FindElement(text, position, length, name, span)) return std::string();
    iPosition = span.elementEnd;
    return std::string(text + span.contentBegin, text + span.contentEnd);
}

ecXml ecXml::Sub(std::string name)
{
    ElementSpan span;
    if (!FindElement(pText, 0, iLength, name, span)) return ecXml();
    return ecXml(pText + span.contentBegin, span.contentEnd - span.contentBegin);
}

bool ecXml::TagExists(std::string name)
{
    ElementSpan span;
    return FindElement(pText, 0, iLength, name, span);
}

int ecXml::GetInt(std::string name)
{
    ElementSpan span;
    if (!FindElement(pText, 0, iLength, name, span)) return 0;
    int value = 0;
    return ParseInt32(std::string(pText + span.contentBegin, pText + span.contentEnd), value) ? value : 0;
}

bool ecXml::GetBool(std::string name)
{
    ElementSpan span;
    if (!FindElement(pText, 0, iLength, name, span)) return false;
    std::string text = Trimmed(std::string(pText + span.contentBegin, pText + span.contentEnd));
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (text == "true") return true;
    int value = 0;
    return ParseInt32(text, value) && value != 0;
}
