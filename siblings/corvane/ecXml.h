// corvane: ecXml, a cursor over a piece of XML text held in memory that hands
// out the character data of named elements.
//
// What the cursor understands:
// - An element is a start tag "<name>" (attributes allowed and ignored:
//   "<name a=\"1\">"), its content and the end tag "</name>" (blanks allowed
//   before the '>'), or an empty-element tag "<name/>". Names are compared
//   exactly, case included.
// - A search finds the first element of the name, at any depth, whose start
//   tag begins at or after the search position. Its end is the end tag that
//   closes it: elements of the same name nested inside it are counted, other
//   markup in the content is passed over.
// - Comments, processing instructions, CDATA sections and declarations are
//   skipped while searching, so a tag inside them is never found.
// - Character data is returned exactly as it stands between the tags: child
//   markup, entity references ("&amp;") and CDATA markers are not decoded.
//   The library writes its texts unescaped, so reading its own output gives
//   back the written text unchanged.
// - A missing element, and one that the text does not close (an unterminated
//   tag, comment or element), is "not found": CharacterData gives "", GetInt
//   0, GetBool false, TagExists false, Sub an empty cursor, GetBeginEnd false.
// - No search ever reads outside [0, length) of the text, and scanning is
//   iterative: any depth of nesting costs only a counter.
#ifndef QUARN_ECXML_H
#define QUARN_ECXML_H

#include <string>
#include <vector>

#include "QuarnExport.h"

class QUARN_API ecXml {
public:
    // An empty cursor (no text).
    ecXml();
    // A cursor over a copy of `text`. A text longer than the largest int
    // gives an empty cursor.
    explicit ecXml(const std::string& text);
    // A cursor over a copy of the `length` bytes at `text`; a null text or a
    // negative length gives an empty cursor.
    ecXml(const char* text, int length);
    ecXml(const ecXml& other);
    ecXml(ecXml&& other) noexcept;
    ecXml& operator=(const ecXml& other);
    ecXml& operator=(ecXml&& other) noexcept;
    // Calls Free().
    ~ecXml();

    bool IsFullFledged();
    void SetFullFledged(bool value);
    // True when there is no text or its length is 0.
    bool IsEmpty();
    // Moves the position back to the start of the text.
    void Reset();
    // Points the cursor at another text; the length and the position stay as
    // they are, so the new text must be at least `GetLength()` bytes long.
    // The cursor's own copy, if any, is kept until Free().
    void SetTextPtr(char* text);
    char* GetTextPtr();
    int GetLength() const { return iLength; }
    int GetPosition() const { return iPosition; }

    // Finds the element from the current position; on success `begin` and
    // `end` are the offsets of the first character of its content and of the
    // '<' of its end tag (equal for an empty element). The position does not
    // move; on failure `begin` and `end` are left unchanged.
    bool GetBeginEnd(int& begin, int& end, std::string name);
    bool GetBeginEnd(int& begin, int& end, std::string name, char* text, int position, int length);

    // The character data of the first element of the name at or after the
    // current position; the position then moves past that element's end, so
    // repeated calls walk through successive elements of the name. When none
    // is found the result is "" and the position stays.
    std::string CharacterDataNext(std::string name);
    std::string CharacterDataNext(char* text, std::string name, int position, int length);
    // Rewinds to the start, then as CharacterDataNext. The first form searches
    // `text` within the cursor's own length.
    std::string CharacterData(char* text, std::string name);
    std::string CharacterData(std::string name);

    // The lookups by name below search the whole text from its start and do
    // not move the position.

    // A cursor over a copy of the element's content (position 0); an empty
    // cursor when the element is missing.
    ecXml Sub(std::string name);
    bool TagExists(std::string name);
    // The content read as a 32-bit integer: optional blanks, an optional sign
    // and decimal digits, optional blanks. Values from 2147483648 to
    // 4294967295 are the unsigned form of negative numbers and read as such
    // (4294967295 is -1). Anything else, or a missing element, gives 0.
    int GetInt(std::string name);
    // True for "1", "true" (any case) and any other non-zero number as GetInt
    // reads it, false for everything else, a missing element included.
    bool GetBool(std::string name);

    // Releases the cursor's copy of its text and empties it (no text, length
    // 0, position 0). A text given through SetTextPtr is not released.
    void Free();

private:
    void TakeCopy(const char* text, int length);
    void Adopt(const ecXml& other);

    char* pText;
    int iPosition;
    int iLength;
    bool bFullFledged;
    std::vector<char> vStore;  // the cursor's own copy of its text
};

#endif
