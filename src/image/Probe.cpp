// The one format probe: a slice file's format from its own bytes.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "QuarnImage.h"
#include "bytes/ByteCursor.h"
#include "bytes/File.h"
#include "bytes/StreamCursor.h"
#include "image/Readers.h"

namespace quarn {

namespace {

using bytes::Cursor;
using bytes::Order;

constexpr size_t kProbeBytes = 6144;

bool Is(const Cursor& c, size_t offset, const char* text)
{
    const size_t n = std::strlen(text);
    const unsigned char* p = c.At(offset, n);
    return p && std::memcmp(p, text, n) == 0;
}

bool IsLongVr(const unsigned char* vr)
{
    static const char* const kLong[] = {"OB", "OW", "OF", "OD", "OL", "OV", "SQ", "UC", "UR", "UT", "UN", "SV", "UV"};
    for (const char* v : kLong)
        if (vr[0] == v[0] && vr[1] == v[1]) return true;
    return false;
}

bool IsVr(const unsigned char* vr) { return vr[0] >= 'A' && vr[0] <= 'Z' && vr[1] >= 'A' && vr[1] <= 'Z'; }

// An ACR-NEMA element stream at byte 0 in byte order `o`: a first element of
// group 0x0000 to 0x0008 (a group length of four bytes, or an identifying
// element of group 0x0008), and a second element that lies inside the file
// with a group that does not go down.
bool LooksLikeElementStream(const Cursor& c, uint64_t fileSize, Order o)
{
    uint16_t group = 0, element = 0;
    uint32_t length = 0;
    if (!c.U16At(0, group, o) || !c.U16At(2, element, o)) return false;
    if (group > 0x0008 || (group == 0 && element != 0)) return false;
    const unsigned char* vr = c.At(4, 2);
    uint64_t next;
    if (vr && IsVr(vr)) {  // explicit VR
        if (IsLongVr(vr)) {
            if (!c.U32At(8, length, o)) return false;
            next = 12 + uint64_t(length);
        } else {
            uint16_t l16 = 0;
            if (!c.U16At(6, l16, o)) return false;
            next = 8 + uint64_t(l16);
        }
    } else {
        if (!c.U32At(4, length, o)) return false;
        if (element == 0 && length != 4) return false;  // a group length holds four bytes
        next = 8 + uint64_t(length);
    }
    if (next > fileSize) return false;
    if (next == fileSize) return true;
    uint16_t group2 = 0;
    if (!c.U16At(static_cast<size_t>(next), group2, o)) return next + 2 > c.Size();  // beyond what was read
    return group2 >= group && group2 <= 0x7FE0;
}

}  // namespace

Probe ProbeBytes(const unsigned char* bytes, size_t count, uint64_t fileSize)
{
    const Cursor c(bytes, count);
    if (Is(c, 128, "DICM")) return {Format::Dicom, "\"DICM\" at byte 128: a DICOM part 10 file"};
    if (Is(c, 0, "DICM")) return {Format::Dicom, "\"DICM\" at byte 0: a DICOM part 10 file without its preamble"};
    if (Is(c, 0, "IMGF")) {
        // A GE 5.x image file header: the pixel data offset and the image
        // header it points to.
        return {Format::Genesis, "\"IMGF\" at byte 0: a GE Genesis / Signa 5.x image file"};
    }
    if (fileSize >= 6144 && Is(c, 96, "SIEMENS"))
        return {Format::Siemens, "\"SIEMENS\" at byte 96 of a 6144-byte header: a Siemens image file"};
    if (LooksLikeElementStream(c, fileSize, Order::Little))
        return {Format::Nema, "an element stream at byte 0 (little endian): ACR-NEMA or DICOM without file meta"};
    if (LooksLikeElementStream(c, fileSize, Order::Big))
        return {Format::Nema, "an element stream at byte 0 (big endian): ACR-NEMA"};
    return {Format::Unknown, "no format signature: a headerless raw file needs its geometry"};
}

Probe ProbeFile(const std::string& path)
{
    const bytes::Descriptor fd(path.c_str());
    bytes::StreamCursor in(fd.get());
    return image::ProbeOpen(path, fd, in);
}

namespace image {

std::optional<uint64_t> CheckOpen(const std::string& path, const bytes::Descriptor& fd, bytes::StreamCursor& in)
{
    if (!fd) throw Error(Reason::CannotOpen, path, std::string("cannot open: ") + std::strerror(errno));
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        throw Error(Reason::CannotOpen, path, std::string("cannot open: ") + std::strerror(errno));
    if (S_ISDIR(st.st_mode) || in.OpensAFolder()) throw Error(Reason::CannotOpen, path, "is a folder, not a file");
    if (in.Buffered() == 0) throw Error(Reason::Empty, path, "the file is empty");
    if (!S_ISREG(st.st_mode)) return std::nullopt;
    in.KnowSize(static_cast<long>(st.st_size));
    return static_cast<uint64_t>(st.st_size);
}

Probe ProbeOpen(const std::string& path, const bytes::Descriptor& fd, bytes::StreamCursor& in)
{
    const std::optional<uint64_t> size = CheckOpen(path, fd, in);
    const Cursor c = in.Window();
    const size_t count = std::min(c.Size(), kProbeBytes);
    return ProbeBytes(c.Data(), count, size.value_or(count));
}

}  // namespace image

}  // namespace quarn
