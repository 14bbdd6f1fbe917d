#include "Formats.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bytes/ByteCursor.h"
#include "bytes/File.h"
#include "readnema.h"

namespace fs = std::filesystem;

namespace tool {

const char* FormatWord(Format f)
{
    switch (f) {
    case Format::Dicom: return "dicom";
    case Format::Nema: return "nema";
    case Format::Signa: return "signa";
    case Format::Genesis: return "genesis";
    case Format::Siemens: return "siemens";
    case Format::Raw: return "raw";
    case Format::Unknown: break;
    }
    return "unknown";
}

std::string FormatDescription(Format f)
{
    switch (f) {
    case Format::Dicom: return "DICOM part 10 (\"DICM\" at byte 128)";
    case Format::Nema: return "ACR-NEMA / DICOM without file meta (element stream at byte 0)";
    case Format::Signa: return "GE Signa image file (\"IMGF\" at byte 0), read with the Signa reader";
    case Format::Genesis: return "GE Genesis image file (\"IMGF\" at byte 0), read with the Genesis reader";
    case Format::Siemens: return "Siemens image file (6144-byte header, \"SIEMENS\" at byte 96)";
    case Format::Raw: return "headerless raw pixels";
    case Format::Unknown: break;
    }
    return "unknown";
}

MriFileType LibraryFileType(Format f, MriFileType rawType)
{
    switch (f) {
    case Format::Dicom:
    case Format::Nema: return MriDicom;
    case Format::Signa: return MriSigna;
    case Format::Genesis: return MriGenesis;
    case Format::Siemens: return MriSiemens;
    case Format::Raw: return rawType;
    case Format::Unknown: break;
    }
    return MriNone;
}

namespace {

using quarn::bytes::Cursor;
using quarn::bytes::Order;

// Whether the bytes at `offset` are `text`.
bool HoldsText(const Cursor& b, size_t offset, const char* text)
{
    const size_t n = std::strlen(text);
    const unsigned char* p = b.At(offset, n);
    return p && std::memcmp(p, text, n) == 0;
}

// An element stream at byte 0: the first element's group lies in 1..8 and the
// element after it, in implicit or explicit little-endian form, lies inside
// the file with a group that does not go down.
bool LooksLikeElementStream(const Cursor& b, uintmax_t fileSize)
{
    const unsigned char* first = b.At(0, 8);  // group, element, then VR and length or a 32-bit length
    if (!first) return false;
    const uint32_t group = quarn::bytes::U16(first, Order::Little);
    if (group == 0 || group > 8) return false;
    auto nextOk = [&](uintmax_t next) {
        if (next + 4 > fileSize) return next == fileSize;
        const unsigned char* tag = next < b.Size() ? b.At(static_cast<size_t>(next), 4) : nullptr;
        if (!tag) return true;  // beyond what was read: trust the length
        const uint32_t g2 = quarn::bytes::U16(tag, Order::Little);
        return g2 >= group && g2 <= 0x7FE0;
    };
    const unsigned char v0 = first[4], v1 = first[5];
    if (v0 >= 'A' && v0 <= 'Z' && v1 >= 'A' && v1 <= 'Z') {
        const std::string vr{static_cast<char>(v0), static_cast<char>(v1)};
        const bool longForm = vr == "OB" || vr == "OW" || vr == "OF" || vr == "SQ" || vr == "UT" || vr == "UN";
        if (longForm) {
            uint32_t len = 0;
            if (!b.U32At(8, len, Order::Little)) return false;
            if (len != 0xFFFFFFFFu && nextOk(12u + static_cast<uintmax_t>(len))) return true;
        } else if (nextOk(8u + quarn::bytes::U16(first + 6, Order::Little))) {
            return true;
        }
    }
    const uint32_t len = quarn::bytes::U32(first + 4, Order::Little);
    return len != 0xFFFFFFFFu && nextOk(8u + static_cast<uintmax_t>(len));
}

}  // namespace

Format DetectFormat(const std::string& path)
{
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st)) throw FileError{"cannot open the file (it does not exist)"};
    if (fs::is_directory(st)) throw FileError{"is a folder, not a slice file"};
    const uintmax_t size = fs::file_size(path, ec);
    if (ec) throw FileError{"cannot read the file's size"};
    if (size == 0) throw FileError{"is empty"};
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileError{"cannot open the file for reading"};
    std::vector<unsigned char> b(static_cast<size_t>(std::min<uintmax_t>(size, 4096)));
    in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size()));
    if (static_cast<size_t>(in.gcount()) != b.size()) throw FileError{"cannot read the file"};

    const Cursor head(b.data(), b.size());
    if (HoldsText(head, 128, "DICM")) return Format::Dicom;
    if (HoldsText(head, 0, "IMGF")) return Format::Genesis;
    if (size >= 6144 && HoldsText(head, 96, "SIEMENS")) return Format::Siemens;
    if (LooksLikeElementStream(head, size)) {
        // The library's own classification has the last word where it has one.
        const quarn::bytes::File file(path.c_str(), "rb");
        if (!file) throw FileError{"cannot open the file for reading"};
        if (SeekDicomHeader(file.get()) == 1) return Format::Nema;
    }
    return Format::Unknown;
}

Format ResolveFormat(const std::string& path, const ReadRequest& request)
{
    const Format detected = DetectFormat(path);
    if (request.forced) return *request.forced;
    if (detected == Format::Unknown) {
        if (request.raw) return Format::Raw;
        throw FileError{"is not a file of a known format (DICOM, ACR-NEMA, GE Signa/Genesis, Siemens); "
                        "raw files need their geometry (--header, or --width, --height and --pixel-type)"};
    }
    if (request.raw)
        throw FileError{std::string("is a file of another format (") + FormatDescription(detected) +
                        "); raw geometry applies only to raw files (add --format raw to read it as raw)"};
    return detected;
}

}  // namespace tool
