#include "Formats.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

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

uint32_t U16LE(const unsigned char* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }
uint32_t U32LE(const unsigned char* p) { return U16LE(p) | (U16LE(p + 2) << 16); }

// An element stream at byte 0: the first element's group lies in 1..8 and the
// element after it, in implicit or explicit little-endian form, lies inside
// the file with a group that does not go down.
bool LooksLikeElementStream(const std::vector<unsigned char>& b, uintmax_t fileSize)
{
    if (b.size() < 8) return false;
    const uint32_t group = U16LE(b.data());
    if (group == 0 || group > 8) return false;
    auto nextOk = [&](uintmax_t next) {
        if (next + 4 > fileSize) return next == fileSize;
        if (next + 4 > b.size()) return true;  // beyond what was read: trust the length
        const uint32_t g2 = U16LE(b.data() + next);
        return g2 >= group && g2 <= 0x7FE0;
    };
    const unsigned char v0 = b[4], v1 = b[5];
    if (v0 >= 'A' && v0 <= 'Z' && v1 >= 'A' && v1 <= 'Z') {
        const std::string vr{static_cast<char>(v0), static_cast<char>(v1)};
        const bool longForm = vr == "OB" || vr == "OW" || vr == "OF" || vr == "SQ" || vr == "UT" || vr == "UN";
        if (longForm) {
            if (b.size() < 12) return false;
            const uint32_t len = U32LE(b.data() + 8);
            if (len != 0xFFFFFFFFu && nextOk(12u + static_cast<uintmax_t>(len))) return true;
        } else if (nextOk(8u + U16LE(b.data() + 6))) {
            return true;
        }
    }
    const uint32_t len = U32LE(b.data() + 4);
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

    if (b.size() >= 132 && std::memcmp(b.data() + 128, "DICM", 4) == 0) return Format::Dicom;
    if (b.size() >= 4 && std::memcmp(b.data(), "IMGF", 4) == 0) return Format::Genesis;
    if (size >= 6144 && b.size() >= 103 && std::memcmp(b.data() + 96, "SIEMENS", 7) == 0) return Format::Siemens;
    if (LooksLikeElementStream(b, size)) {
        // The library's own classification has the last word where it has one.
        FILE* fp = std::fopen(path.c_str(), "rb");
        if (!fp) throw FileError{"cannot open the file for reading"};
        const int seek = SeekDicomHeader(fp);
        std::fclose(fp);
        if (seek == 1) return Format::Nema;
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
