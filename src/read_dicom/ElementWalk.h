// Internal to the library: the one DICOM element walk. It decodes element
// headers in the file's byte order and VR form through the stream cursor,
// settles both from a file's first element, and passes over or takes values
// without ever reading or allocating past the end of the file. Each reader
// walks with its own table of what it takes from the elements.
#ifndef QUARN_SRC_READ_DICOM_ELEMENTWALK_H
#define QUARN_SRC_READ_DICOM_ELEMENTWALK_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bytes/StreamCursor.h"

namespace quarn::dicom {

using bytes::Order;
using bytes::StreamCursor;

constexpr uint32_t Tag(uint16_t g, uint16_t e) { return (uint32_t(g) << 16) | e; }
constexpr uint32_t kPixelDataTag = Tag(0x7FE0, 0x0010);

struct ElementHeader {
    uint16_t group = 0;
    uint16_t element = 0;
    uint32_t length = 0;  // as read; a length with the top bit set counts as negative
    char vr[2] = {0, 0};  // the explicit VR when one was recognised
    uint32_t tag() const { return Tag(group, element); }
    bool empty() const { return length == 0 || (length & 0x80000000u) != 0; }
};

// Where an element header ended early: in its group or element number, or
// in its length.
enum class HeaderRead { Ok, ShortTag, ShortLength };

// Which explicit VRs the walk knows: the element reader's own set (OB, OW,
// SQ, UN with a four-byte length and 21 with a two-byte length; any other
// pair of letters is read as an implicit length), or every VR DICOM defines.
enum class VrRules : unsigned char { Reader, Standard };

[[noreturn]] void Fail(const std::string& message);

// How an explicit VR gives the value's length: none recognised (the four
// bytes are an implicit length), four bytes after two reserved ones, or two.
enum class VrKind : unsigned char { None, Long, Short };

// The kind of every pair of capital letters under each set of rules, indexed
// by (first - 'A') * 26 + (second - 'A').
const VrKind* VrKinds(VrRules rules);

class ElementWalk {
public:
    // A walk in a fixed syntax (implicit VR unless told otherwise).
    explicit ElementWalk(StreamCursor& in, Order order = Order::Little, bool explicitVR = false,
                         VrRules rules = VrRules::Reader)
        : in_(in), order_(order), explicitVR_(explicitVR), kinds_(VrKinds(rules))
    {
    }

    // Changes the syntax from here on (after a file meta group, say).
    void SetSyntax(Order order, bool explicitVR)
    {
        order_ = order;
        explicitVR_ = explicitVR;
    }

    StreamCursor& In() { return in_; }
    Order ByteOrder() const { return order_; }
    bool ExplicitVR() const { return explicitVR_; }

    // Reads a file's first element into h and settles the byte order and the
    // VR form from it: a NEMA group length in either order, or a part 10
    // file ("DICM" at 128 or at 0) whose first element tells both; any other
    // file must open with a NEMA identifying element.
    void ReadFirstElement(ElementHeader& h);

    // The next element header in the walk's syntax.
    [[gnu::always_inline]] HeaderRead Next(ElementHeader& h) { return ReadHeader(h, explicitVR_); }

    // The next element header of a group `wanted` accepts: elements of other
    // groups whose values lie in the buffer are passed over on the way.
    template <class Wanted>
    HeaderRead NextWanted(ElementHeader& h, Wanted wanted)
    {
        for (;;) {
            const HeaderRead r = Next(h);
            if (r != HeaderRead::Ok || wanted(h.group)) return r;
            if (h.empty()) continue;
            if (h.length > in_.Buffered()) return r;
            in_.AdvanceBuffered(h.length);
        }
    }

    // Passes over a value the reader does not keep; it must lie inside the
    // file, or the walk fails with `message`.
    void Drop(const ElementHeader& h, const char* message)
    {
        if (h.empty()) return;
        if (h.length <= in_.Buffered()) {  // the usual case: the value is buffered
            in_.AdvanceBuffered(h.length);
            return;
        }
        DropFar(h, message);
    }
    // A two-byte value in the walk's byte order; its length must be 2.
    unsigned TwoBytes(const ElementHeader& h);
    // True when the file can hold `length` more bytes (a file that cannot
    // tell its size is given the benefit).
    bool Holds(uint32_t length);
    // Reads `length` bytes into `value` followed by `nuls` zero bytes; the
    // buffer grows only as far as the bytes really read. False when the file
    // ends first.
    bool Take(uint32_t length, std::vector<char>& value, size_t nuls);

private:
    // Reads group, element number and the four bytes after them; with the
    // VR test on, a recognised VR turns them into a short or long explicit
    // length. This form reads where 12 bytes are buffered (nearly always);
    // ReadHeaderNearEnd does the same anywhere.
    [[gnu::always_inline]] HeaderRead ReadHeader(ElementHeader& h, bool testVr)
    {
        const unsigned char* b = in_.Peek(12);
        if (!b) return ReadHeaderNearEnd(h, testVr);
        const Order o = order_;
        h.group = bytes::U16(b, o);
        h.element = bytes::U16(b + 2, o);
        const VrKind kind = testVr ? Classify(b + 4) : VrKind::None;
        vrSeen_ = kind != VrKind::None;
        if (vrSeen_) std::memcpy(h.vr, b + 4, 2);
        else h.vr[0] = h.vr[1] = 0;
        switch (kind) {
        case VrKind::Long:
            h.length = bytes::U32(b + 8, o);
            in_.AdvanceBuffered(12);
            break;
        case VrKind::Short:
            h.length = bytes::U16(b + 6, o);
            in_.AdvanceBuffered(8);
            break;
        default:
            h.length = bytes::U32(b + 4, o);
            in_.AdvanceBuffered(8);
            break;
        }
        return HeaderRead::Ok;
    }
    HeaderRead ReadHeaderNearEnd(ElementHeader& h, bool testVr);
    VrKind Classify(const unsigned char* c) const
    {
        const unsigned a = c[0] - unsigned('A'), b = c[1] - unsigned('A');
        return a < 26 && b < 26 ? kinds_[a * 26 + b] : VrKind::None;
    }
    void DropFar(const ElementHeader& h, const char* message);
    bool DicmAt(long offset);

    StreamCursor& in_;
    Order order_;
    bool explicitVR_;
    const VrKind* kinds_;
    bool vrSeen_ = false;  // the last header read had a recognised VR
};

}  // namespace quarn::dicom

#endif
