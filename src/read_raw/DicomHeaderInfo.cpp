// The DICOM position record and the DICOM header record.
#include "DicomHeaderInfo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "corvane.h"
#include "read_raw/DecimalText.h"

ecDicomPositionInfo::ecDicomPositionInfo()
    : vPosition(ecVBase<double>(0, 0, nullptr)), mRowColDirs(0, 0, 0, 0, true)
{
}

bool ecDicomPositionInfo::operator==(const ecDicomPositionInfo& other) const
{
    if (this == &other) return true;
    return vPosition == other.vPosition && mRowColDirs == other.mRowColDirs && sOrientation == other.sOrientation;
}

namespace {
// Scans up to `want` numbers from a DICOM multi-value text (values separated
// by backslashes), as sscanf with "%lf" repeated would.
int ScanNumbers(const char* text, double* out, int want)
{
    const int plain = decimal_text::ScanPlainList(text, out, want);
    if (plain >= 0) return plain;
    std::string copy(text);
    std::replace(copy.begin(), copy.end(), '\\', ' ');
    const char* p = copy.c_str();
    int found = 0;
    while (found < want) {
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        if (end == p) break;
        out[found++] = v;
        p = end;
    }
    return found;
}
}  // namespace

int ecDicomPositionInfo::SetPosition(const char* text, int)
{
    if (!text) return -1;
    double v[3];
    if (ScanNumbers(text, v, 3) != 3) return -2;
    vPosition.resize(3, 0);
    for (int i = 0; i < 3; ++i) vPosition[i] = v[i];
    return 1;
}

int ecDicomPositionInfo::SetDirection(const char* text, int)
{
    if (!text) return -1;
    double v[6];
    if (ScanNumbers(text, v, 6) != 6) return -2;
    mRowColDirs.resize(2, 3, 0, 0);
    for (int i = 0; i < 6; ++i) mRowColDirs(i / 3, i % 3) = v[i];
    return 1;
}

int ecDicomPositionInfo::SetOrientation(const char* text, int)
{
    if (!text) return -1;
    sOrientation = text;
    return 1;
}

std::string ecDicomPositionInfo::Ascii(unsigned long) const
{
    std::string out = "vPosition = ";
    if (vPosition.size() == 3)
        out += StringPrintf("%.4g %.4g %.4g\n", vPosition[0], vPosition[1], vPosition[2]);
    else
        out += "*Unset*\n";
    out += "mRowColDirs = ";
    if (mRowColDirs.rows() == 2 && mRowColDirs.cols() == 3) {
        out += StringPrintf("%.4g %.4g %.4g %c", mRowColDirs(0, 0), mRowColDirs(0, 1), mRowColDirs(0, 2), ':');
        out += StringPrintf("%.4g %.4g %.4g %c", mRowColDirs(1, 0), mRowColDirs(1, 1), mRowColDirs(1, 2), '\n');
    } else {
        out += "*Unset*\n";
    }
    out += "sOrientation = ";
    out += sOrientation.empty() ? std::string("*Unset*\n") : sOrientation;
    return out;
}

ecDicomHeaderInfo::ecDicomHeaderInfo() : iImageOffset(0) {}

ecDicomHeaderInfo::ecDicomHeaderInfo(const ecDicomHeaderInfo& other)
    : ecRawHeaderInfo(other), iImageOffset(other.iImageOffset), sFileName(other.sFileName), Position(other.Position)
{
}

ecDicomHeaderInfo& ecDicomHeaderInfo::operator=(const ecDicomHeaderInfo& other)
{
    if (this == &other) return *this;
    Assign(other);
    Position = other.Position;
    iImageOffset = other.iImageOffset;
    sFileName = other.sFileName;
    return *this;
}

ecDicomHeaderInfo::~ecDicomHeaderInfo() = default;

std::string ecDicomHeaderInfo::Ascii(unsigned long options) const
{
    std::string out = "Filename : " + sFileName;
    out += StringPrintf("\nImage Offset : %d\n", iImageOffset);
    out += ecRawHeaderInfo::Ascii(options);
    out += "\n";
    out += Position.Ascii(options);
    return out;
}
