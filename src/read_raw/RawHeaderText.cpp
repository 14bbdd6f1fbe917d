// Text forms of the raw header record: the readable and the compact form, and
// setting a record from a compact text.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "RawHeaderInfo.h"
#include "bytes/File.h"
#include "corvane.h"

namespace {
bool IsPlane(SliceType t)
{
    return t == SliceAxial || t == SliceSagittal || t == SliceCoronal;
}

const char* PlaneWord(SliceType t)
{
    switch (t) {
    case SliceAxial: return "Axial";
    case SliceSagittal: return "Sagittal";
    case SliceCoronal: return "Coronal";
    default: return "Unknown";
    }
}

// Number scanners with the acceptance rules of sscanf's %d, %lf and %x:
// leading white space skipped, then the longest number that converts. Out of
// range integers saturate instead of being undefined.
bool ScanInt(const char*& p, int& out)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(p, &end, 10);
    if (end == p) return false;
    out = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
    p = end;
    return true;
}

bool ScanDouble(const char*& p, double& out)
{
    char* end = nullptr;
    const double v = std::strtod(p, &end);
    if (end == p) return false;
    out = v;
    p = end;
    return true;
}

bool ScanHex(const char*& p, unsigned long& out)
{
    char* end = nullptr;
    const unsigned long v = std::strtoul(p, &end, 16);
    if (end == p) return false;
    out = v;
    p = end;
    return true;
}
}  // namespace

std::string ecRawHeaderInfo::Ascii(unsigned long options) const
{
    const std::string fileType = AsciiRepOfMriFileType(FileType);
    const std::string dataType = ecBaseData::Ascii(static_cast<ecBaseData::BaseDataType>(DataType));
    if (options & 1u) {
        std::string plane;
        if (IsPlane(ImagePlane)) plane = PlaneWord(ImagePlane);
        else plane = std::string(PlaneWord(IsPlane(PlaneType) ? PlaneType : SliceUnknown)) + ":";
        return "<" + plane + dataType + " : " + fileType + ">(" +
               StringPrintf("%3d,%3d,%7.5f,%7.5f,%7.4f,%7.4f,%3d,%.4f,%5x)", iNumPix, iNumPixY, fSizePix, fSizePixY,
                            fSliceThickness, fSliceSpacing, iImageNum, fAttenFact, 0u);
    }
    const char* sep = (options & 2u) ? "\r\n" : "\n";
    const SliceType plane = IsPlane(ImagePlane) ? ImagePlane : (IsPlane(PlaneType) ? PlaneType : SliceUnknown);
    std::string out = std::string("RawHeaderInfo") + sep;
    out += std::string("PlaneType=") + PlaneWord(plane);
    out += StringPrintf("%siNumPix=%3d%s", sep, iNumPix, sep);
    out += StringPrintf("iNumPixY=%3d%s", iNumPixY, sep);
    out += StringPrintf("fSizePix=%7.5f%s", fSizePix, sep);
    out += StringPrintf("fSizePix=%7.5f%s", fSizePixY, sep);
    out += StringPrintf("fSliceThickness=%7.4f%s", fSliceThickness, sep);
    out += StringPrintf("fSliceSpacing=%7.4f%s", fSliceSpacing, sep);
    out += StringPrintf("iImageNum=%3d%s", iImageNum, sep);
    out += "FileType=" + fileType + sep;
    out += StringPrintf("fAttenFact=%.4f%s", fAttenFact, sep);
    out += StringPrintf("uiFlags=%6x%s", 0u, sep);
    return out;
}

bool ecRawHeaderInfo::Evaluate(const std::string& text)
{
    if (text.compare(0, 13, "RawHeaderInfo") == 0) return false;
    bEvaluated = false;

    // Work on at most the first 511 characters, up to the first NUL.
    char buf[512];
    const size_t n = std::min<size_t>(text.size(), 511);
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';

    auto fail = [this]() {
        bIsValid = false;
        return false;
    };
    const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    const auto isAlpha = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };

    char* p = buf;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p != '<') return fail();
    ++p;
    while (*p && isSpace(*p)) ++p;
    std::string planeWord;
    while (*p && isAlpha(*p)) planeWord += static_cast<char>(std::tolower(static_cast<unsigned char>(*p++)));
    SliceType plane;
    if (planeWord == "axial") plane = SliceAxial;
    else if (planeWord == "sagittal") plane = SliceSagittal;
    else if (planeWord == "coronal") plane = SliceCoronal;
    else return fail();

    int colons = 0;
    while (*p && (isSpace(*p) || *p == ':')) {
        if (*p == ':') ++colons;
        ++p;
    }
    if (colons == 0 || !*p) return fail();
    std::string typeWord;
    while (*p && isAlpha(*p)) typeWord += *p++;
    if (!*p) return fail();
    const int dataType = ecBaseData::Parse(typeWord);

    while (*p && isSpace(*p)) ++p;
    if (p[0] != '>' || p[1] != '(') return fail();
    p += 2;
    char* close = std::strchr(p, ')');
    if (!close) return fail();
    *close = '\0';
    for (char* q = p; q < close; ++q)
        if (*q == ',') *q = ' ';

    int numPix = 0, numPixY = 0, imageNum = 0;
    double sizePix = 0, sizePixY = 0, thickness = 0, spacing = 0, atten = 0;
    unsigned long flags = 0;
    const char* s = p;
    int count = 0;
    if (ScanInt(s, numPix) && ++count && ScanInt(s, numPixY) && ++count && ScanDouble(s, sizePix) && ++count &&
        ScanDouble(s, sizePixY) && ++count && ScanDouble(s, thickness) && ++count && ScanDouble(s, spacing) &&
        ++count && ScanInt(s, imageNum) && ++count && ScanDouble(s, atten) && ++count && ScanHex(s, flags)) {
        ++count;
    }
    if (count < 7) return fail();

    PlaneType = plane;
    ImagePlane = plane;
    iNumPix = numPix;
    iNumPixY = numPixY;
    fSizePix = sizePix;
    fSizePixY = sizePixY;
    fSliceThickness = thickness;
    fSliceSpacing = spacing;
    iImageNum = imageNum;
    fAttenFact = atten;  // 0.0 when only seven numbers were given
    DataType = dataType;
    iFlagCode = 16;
    iNumFrames = 1;
    lDataOffset = 0;
    std::memset(iSpare, 0, sizeof iSpare);
    bEvaluated = true;
    bDefaults = false;
    bFlag7 = bFlag8 = bFlag9 = bFlag10 = false;
    bIsValid = true;
    return true;
}

bool ecRawHeaderInfo::Evaluate(const char* path)
{
    if (!path) return false;
    quarn::bytes::File file(path, "rb");
    if (!file) return false;
    // Only the first 511 characters of a text take part in evaluating it.
    char buf[512];
    const size_t got = std::fread(buf, 1, sizeof buf, file.get());
    if (std::ferror(file.get())) return false;  // a directory, for one
    return Evaluate(std::string(buf, got));
}
