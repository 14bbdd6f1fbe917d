#include "Formats.h"


#include "QuarnImage.h"

namespace tool {

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

Format DetectFormat(const std::string& path)
{
    try {
        return quarn::ProbeFile(path).format;
    } catch (const quarn::Error& e) {
        throw FileError{e.cause()};
    }
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
