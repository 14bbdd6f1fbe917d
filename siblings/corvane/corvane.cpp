#include "corvane.h"

#if defined(__unix__) || defined(__APPLE__)
#include <sys/stat.h>
#endif

#include <cctype>
#include <cstdarg>
#include <utility>
#include <vector>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

std::string ecBaseData::Ascii(BaseDataType code)
{
    switch (code) {
    case UnsignedChar: return "uchar";
    case Short: return "short";
    case Float: return "float";
    default: return "unknown";
    }
}

ecBaseData::BaseDataType ecBaseData::Parse(const std::string& word)
{
    std::string w = word;
    ToLower(w);
    if (w == "uchar") return UnsignedChar;
    if (w == "short") return Short;
    if (w == "float") return Float;
    return Unknown;
}

unsigned char GetMaximumGrayValue(unsigned char) { return std::numeric_limits<unsigned char>::max(); }
short GetMaximumGrayValue(short) { return std::numeric_limits<short>::max(); }
float GetMaximumGrayValue(float) { return std::numeric_limits<float>::max(); }
unsigned char GetMinimumGrayValue(unsigned char) { return 0; }
short GetMinimumGrayValue(short) { return std::numeric_limits<short>::min(); }
float GetMinimumGrayValue(float) { return -std::numeric_limits<float>::max(); }

namespace {
template <class T>
T RoundClamp(double v)
{
    if (std::isnan(v)) return 0;
    const double lo = std::numeric_limits<T>::min();
    const double hi = std::numeric_limits<T>::max();
    double r = std::round(v);
    if (r < lo) r = lo;
    if (r > hi) r = hi;
    return static_cast<T>(r);
}
}  // namespace

unsigned char ConvertPixVal(double value, unsigned char) { return RoundClamp<unsigned char>(value); }
short ConvertPixVal(double value, short) { return RoundClamp<short>(value); }
float ConvertPixVal(double value, float) { return static_cast<float>(value); }

std::string AsciiRepOfMriFileType(MriFileType type)
{
    static const char* const names[21] = {
        "MriNone",     "MriGenesis",      "MriFileType2",  "MriFileType3",  "MriDicom",
        "MriSigna",    "MriSiemens",      "MriFileType7",  "MriRaw8",       "MriRaw16",
        "MriFileType10", "MriRaw16Swapped", "MriFileType12", "MriRawFloat",  "MriFileType14",
        "MriFileType15", "MriFileType16",   "MriFileType17", "MriFileType18", "MriFileType19",
        "MriFileType20"};
    const int v = static_cast<int>(type);
    if (v >= 0 && v <= 20) return names[v];
    char buf[40];
    std::snprintf(buf, sizeof buf, "MriUnknown(%d)", v);
    return buf;
}

void swal(long* src, long* dst)
{
    if (!src || !dst) return;
    const uint32_t v = static_cast<uint32_t>(*src);
    const uint32_t r = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
    *dst = static_cast<long>(static_cast<int32_t>(r));
}

void swaf(float* src, float* dst)
{
    if (!src || !dst) return;
    unsigned char b[4];
    std::memcpy(b, src, 4);
    std::swap(b[0], b[3]);
    std::swap(b[1], b[2]);
    std::memcpy(dst, b, 4);
}

void swad(double* src, double* dst)
{
    if (!src || !dst) return;
    unsigned char b[8];
    std::memcpy(b, src, 8);
    for (int i = 0; i < 4; ++i) std::swap(b[i], b[7 - i]);
    std::memcpy(dst, b, 8);
}

namespace {
template <class T>
int SwapEach(const T* src, T* dst, int count)
{
    if (!src || !dst || count < 0) return -1;
    for (int i = 0; i < count; ++i) {
        unsigned char b[sizeof(T)];
        std::memcpy(b, src + i, sizeof(T));
        for (size_t k = 0; k < sizeof(T) / 2; ++k) std::swap(b[k], b[sizeof(T) - 1 - k]);
        std::memcpy(dst + i, b, sizeof(T));
    }
    return count;
}
}  // namespace

int ByteSwapPixels(const unsigned char* src, unsigned char* dst, int count) { return SwapEach(src, dst, count); }
int ByteSwapPixels(const short* src, short* dst, int count) { return SwapEach(src, dst, count); }
int ByteSwapPixels(const float* src, float* dst, int count) { return SwapEach(src, dst, count); }

float ReadF32BE(const unsigned char* p)
{
    const uint32_t u = ReadU32BE(p);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

double ReadF64BE(const unsigned char* p)
{
    const uint64_t u = (uint64_t(ReadU32BE(p)) << 32) | ReadU32BE(p + 4);
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}

int ConvertFromBigEndian(const char* src, double& dst)
{
    if (!src) return -1;
    dst = ReadF64BE(reinterpret_cast<const unsigned char*>(src));
    return 1;
}

void SwapBytePairs(void* data, size_t nbytes)
{
    unsigned char* p = static_cast<unsigned char*>(data);
    for (size_t i = 0; i + 1 < nbytes; i += 2) std::swap(p[i], p[i + 1]);
}

std::string SplitFirst(std::string& rest, const std::string& separator, bool)
{
    const size_t at = separator.empty() ? std::string::npos : rest.find(separator);
    if (at == std::string::npos) {
        std::string all;
        all.swap(rest);
        return all;
    }
    std::string first = rest.substr(0, at);
    rest.erase(0, at + separator.size());
    return first;
}

int StripBlanks(std::string& text, bool leading, bool trailing)
{
    const size_t before = text.size();
    if (trailing) {
        size_t end = text.size();
        while (end > 0 && text[end - 1] == ' ') --end;
        text.erase(end);
    }
    if (leading) {
        size_t begin = 0;
        while (begin < text.size() && text[begin] == ' ') ++begin;
        text.erase(0, begin);
    }
    return static_cast<int>(before - text.size());
}

int ToLower(std::string& text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return static_cast<int>(text.size());
}

std::string StringPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string out;
    if (n < 0) {
        out.clear();
    } else if (static_cast<size_t>(n) < sizeof small) {
        out.assign(small, static_cast<size_t>(n));
    } else {
        std::vector<char> big(static_cast<size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, copy);
        out.assign(big.data(), static_cast<size_t>(n));
    }
    va_end(copy);
    return out;
}

bool HostStoresLowByteFirst()
{
    const uint16_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

long long BytesLeftInStream(FILE* fp)
{
    const long here = std::ftell(fp);
    if (here < 0) return -1;
#if defined(__unix__) || defined(__APPLE__)
    // A regular file tells its size without a seek to its end (which would
    // make the stream read the file's tail and then its position again).
    struct stat st;
    if (fstat(fileno(fp), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_size > here ? static_cast<long long>(st.st_size) - here : 0;
#endif
    if (std::fseek(fp, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(fp);
    if (std::fseek(fp, here, SEEK_SET) != 0 || end < 0) return -1;
    return end > here ? static_cast<long long>(end) - here : 0;
}

bool StreamHoldsAtLeast(FILE* fp, unsigned long long bytes)
{
    const long long left = BytesLeftInStream(fp);
    return left < 0 || static_cast<unsigned long long>(left) >= bytes;
}
