// The DICOM element walk: element headers in either byte order and VR form,
// the first element's rules, and values passed over or taken within the file.
#include "read_dicom/ElementWalk.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "ecError.h"

namespace quarn::dicom {

void Fail(const std::string& message) { throw ecError(message, 1, 0, -1, -1); }

namespace {

void Check(bool condition, const char* message)
{
    if (!condition) Fail(message);
}

void FailShort(HeaderRead r) { Fail(r == HeaderRead::ShortTag ? "read16 : short read" : "read32 : short read"); }

// The kind of every pair of capital letters, indexed by (first - 'A') * 26 +
// (second - 'A'): the explicit value representations with a four-byte length,
// those with a two-byte length, and none.
struct VrTable {
    VrKind kind[26 * 26] = {};
    explicit constexpr VrTable(bool standard)
    {
        const char* const longForm[] = {"OB", "OW", "SQ", "UN"};
        const char* const shortForm[] = {"AE", "AS", "AT", "CS", "DA", "DS", "DT", "FD", "FL", "IS", "LO",
                                         "LT", "PN", "SH", "SL", "SS", "ST", "TM", "UI", "UL", "US"};
        const char* const moreLong[] = {"OD", "OF", "OL", "OV", "SV", "UC", "UR", "UT", "UV"};
        for (const char* vr : longForm) kind[(vr[0] - 'A') * 26 + (vr[1] - 'A')] = VrKind::Long;
        for (const char* vr : shortForm) kind[(vr[0] - 'A') * 26 + (vr[1] - 'A')] = VrKind::Short;
        if (standard)
            for (const char* vr : moreLong) kind[(vr[0] - 'A') * 26 + (vr[1] - 'A')] = VrKind::Long;
    }
};
constexpr VrTable kReaderVrs(false);
constexpr VrTable kStandardVrs(true);

Order Other(Order o) { return o == Order::Little ? Order::Big : Order::Little; }

}  // namespace

const VrKind* VrKinds(VrRules rules) { return (rules == VrRules::Reader ? kReaderVrs : kStandardVrs).kind; }

// The header read of ReadHeader where fewer than 12 bytes are buffered.
HeaderRead ElementWalk::ReadHeaderNearEnd(ElementHeader& h, bool testVr)
{
    unsigned char raw[4];
    if (const unsigned char* b = in_.Peek(8)) {  // the whole 8 bytes are buffered
        h.group = bytes::U16(b, order_);
        h.element = bytes::U16(b + 2, order_);
        std::memcpy(raw, b + 4, 4);
        in_.Advance(8);
    } else {
        if (!in_.ReadU16(h.group, order_) || !in_.ReadU16(h.element, order_)) return HeaderRead::ShortTag;
        if (in_.Read(raw, 4) != 4) return HeaderRead::ShortLength;
    }
    h.length = bytes::U32(raw, order_);
    vrSeen_ = false;
    h.vr[0] = h.vr[1] = 0;
    if (!testVr) return HeaderRead::Ok;
    const VrKind kind = Classify(raw);
    vrSeen_ = kind != VrKind::None;
    if (vrSeen_) std::memcpy(h.vr, raw, 2);
    switch (kind) {
    case VrKind::Long:
        return in_.ReadU32(h.length, order_) ? HeaderRead::Ok : HeaderRead::ShortLength;
    case VrKind::Short:
        h.length = bytes::U16(raw + 2, order_);
        return HeaderRead::Ok;
    default:
        return HeaderRead::Ok;
    }
}

bool ElementWalk::DicmAt(long offset)
{
    in_.Seek(offset);
    unsigned char b[4];
    Check(in_.Read(b, 4) == 4, "DICOM:Short read on header");
    return std::memcmp(b, "DICM", 4) == 0;
}

void ElementWalk::ReadFirstElement(ElementHeader& h)
{
    auto implicitHeader = [&] {
        const HeaderRead r = ReadHeader(h, false);
        if (r != HeaderRead::Ok) FailShort(r);
    };
    const long start = in_.Tell();
    implicitHeader();
    if (h.group != 0 && h.element == 0 && h.length == 4) return;  // NEMA group length
    if (h.length == 0x04000000u) {                                   // 4 in the other order
        order_ = Other(order_);
        in_.Seek(start);
        implicitHeader();
        return;
    }
    long next = -1;
    if (DicmAt(128))
        next = 132;
    else if (DicmAt(0))
        next = 4;
    if (next < 0) {
        const bool nemaOpening =
            (h.group == 0 && h.element == 0 && h.length == 4) ||
            (h.group == 0x0008 &&
             (h.element == 0x0001 || h.element == 0x0005 || h.element == 0x0008 || h.element == 0x0016));
        Check(nemaOpening, "read_dicom_data_raw_header : Not a proper DICOM part 10 file.");
        in_.Seek(start);
        implicitHeader();
        return;
    }
    in_.Seek(next);
    const HeaderRead r = ReadHeader(h, true);
    if (r != HeaderRead::Ok) FailShort(r);
    if (vrSeen_) explicitVR_ = true;
    if (h.length == 0x04000000u) {
        order_ = Other(order_);
        in_.Seek(next);
        implicitHeader();
    }
}

void ElementWalk::DropFar(const ElementHeader& h, const char* message)
{
    Check(in_.Skip(static_cast<long>(h.length)), message);
}

unsigned ElementWalk::TwoBytes(const ElementHeader& h)
{
    Check(h.length == 2, "DICOM:Bad length");
    uint16_t v = 0;
    Check(in_.ReadU16(v, order_), "read16 : short read");
    return v;
}

bool ElementWalk::Holds(uint32_t length)
{
    const long left = in_.Remaining();
    return left == StreamCursor::kUnknownSize || static_cast<unsigned long long>(length) <=
                                                     static_cast<unsigned long long>(left);
}

bool ElementWalk::Take(uint32_t length, std::vector<char>& value, size_t nuls)
{
    const size_t n = length;
    if (in_.Remaining() != StreamCursor::kUnknownSize) {
        if (value.size() < n + nuls) value.assign(n + nuls, '\0');
        if (in_.Read(reinterpret_cast<unsigned char*>(value.data()), n) != n) return false;
    } else {
        // Size unknown: grow with what is actually there, never by the claimed length.
        value.clear();
        size_t done = 0;
        while (done < n) {
            const size_t step = std::min<size_t>(n - done, 65536);
            value.resize(done + step);
            if (in_.Read(reinterpret_cast<unsigned char*>(value.data()) + done, step) != step) return false;
            done += step;
        }
        value.resize(n + nuls);
    }
    std::fill(value.begin() + static_cast<long>(n), value.begin() + static_cast<long>(n + nuls), '\0');
    return true;
}

}  // namespace quarn::dicom
