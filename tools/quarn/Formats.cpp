#include "Formats.h"


#include "QuarnImage.h"

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

Format FromProbe(quarn::Format f)
{
    switch (f) {
    case quarn::Format::Dicom: return Format::Dicom;
    case quarn::Format::Nema: return Format::Nema;
    case quarn::Format::Signa: return Format::Signa;
    case quarn::Format::Genesis: return Format::Genesis;
    case quarn::Format::Siemens: return Format::Siemens;
    case quarn::Format::Raw: return Format::Raw;
    case quarn::Format::Unknown: break;
    }
    return Format::Unknown;
}

quarn::Format ToLibrary(Format f)
{
    switch (f) {
    case Format::Dicom: return quarn::Format::Dicom;
    case Format::Nema: return quarn::Format::Nema;
    case Format::Signa: return quarn::Format::Signa;
    case Format::Genesis: return quarn::Format::Genesis;
    case Format::Siemens: return quarn::Format::Siemens;
    case Format::Raw: return quarn::Format::Raw;
    case Format::Unknown: break;
    }
    return quarn::Format::Unknown;
}

Format DetectFormat(const std::string& path)
{
    try {
        return FromProbe(quarn::ProbeFile(path).format);
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
