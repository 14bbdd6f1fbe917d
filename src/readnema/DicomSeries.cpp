// DICOM series: file classification, header filling, the pixel-depth probe,
// the series scan and its consistency check.
#include <cmath>
#include <cstring>
#include <utility>

#include "MriSlice.h"
#include "core/ReadOptions.h"
#include "read_dicom.h"
#include "readnema.h"
#include "read_dicom/DicomState.h"
#include "readnema/DicomSeriesCompare.h"

bool bUseComparisonTolerance = false;
double dComparisonTolerance = 1e-6;

int SeekDicomHeader(FILE* stream)
{
    if (!stream) return -1;
    if (std::fseek(stream, 128, SEEK_SET) != 0) return -1;
    unsigned char b[8];
    if (std::fread(b, 1, 4, stream) != 4) return -2;
    if (std::memcmp(b, "DICM", 4) == 0) return 2;
    if (std::fseek(stream, 0, SEEK_SET) != 0) return -3;
    if (std::fread(b, 1, 8, stream) != 8) return -5;
    const unsigned group = ReadU16LE(b);
    if (group == 0 || group > 8) return -4;
    if (std::fseek(stream, 0, SEEK_SET) != 0) return -3;
    return 1;
}

int ecMriSliceBase::SeekDicomHeader(FILE* fp) { return ::SeekDicomHeader(fp); }

int FillRawHeaderFromDicomFile(const char* fileName, ecRawHeaderInfo* header, long* dataOffset, unsigned long flags)
{
    ClearDicomFieldFlags();
    InitDicomFieldTable();
    const int result = read_dicom_data_raw_header(fileName, header, dataOffset, flags);
    if (header && (RequiredDicomValuesSet(true) || RequiredDicomValuesSet(false))) header->bIsValid = true;
    if (header && header->bIsValid) header->FileType = MriDicom;
    return result;
}

int FindDICOM_PixelDepth(const char* fileName, int* frames)
{
    if (!fileName) return -1;
    ecRawHeaderInfo header;
    const int result = read_dicom_data_raw_header(fileName, &header, nullptr, 0);
    if (result < 0) return result;
    if (frames) *frames = header.iNumFrames;
    if (header.DataType == ecBaseData::UnsignedChar) return 8;
    if (header.DataType == ecBaseData::Short) return 16;
    return -20;
}

int FindDicomFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                            std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader, unsigned long)
{
    headers.clear();
    firstImage = 32767;
    lastImage = -32768;
    int count = 0;
    headers.reserve(fileNames.size());  // one allocation for the whole series
    for (const std::string& name : fileNames) {
        // Each record is filled where it stays; one that fails is taken out again.
        headers.emplace_back();
        ecDicomHeaderInfo& h = headers.back();
        long offset = 0;
        int r;
        try {
            r = FillRawHeaderFromDicomFile(name.c_str(), &h, &offset, 0);
        } catch (...) {
            headers.pop_back();
            throw;
        }
        if (r < 0) {
            headers.pop_back();
            return quarn::StageStatus(r, 100);
        }
        // The offset is kept in the record's 32-bit field.
        h.iImageOffset = static_cast<int>(offset);
        h.sFileName = name;
        const int imageNum = h.iImageNum;
        if (imageNum < firstImage) firstImage = imageNum;
        if (imageNum > lastImage) lastImage = imageNum;
        ++count;
    }
    if (firstHeader && count > 0) *firstHeader = static_cast<const ecRawHeaderInfo&>(headers[0]);
    const int consistent = DICOM_ValuesAreConsistant(headers, 3);
    if (consistent < 1) return consistent;
    return count;
}

int DICOM_ValuesAreConsistant(const std::vector<ecDicomHeaderInfo>& headers, unsigned long validityFlags)
{
    if (headers.empty()) return 0;
    if (!headers[0].IsValidForUse(validityFlags)) return -1025;
    for (size_t k = 1; k < headers.size(); ++k) {
        if (!headers[k].IsValidForUse(validityFlags) || CompareDicomHeaders(headers[0], headers[k], 0.0) != 0)
            return -static_cast<int>(k);
    }
    return static_cast<int>(headers.size());
}

bool DicomValuesEqual(double a, double b)
{
    if (!bUseComparisonTolerance) return a == b;
    if (a == 0.0) return b == 0.0;
    return std::fabs(a - b) <= dComparisonTolerance * std::fmax(std::fabs(a), std::fabs(b));
}

int CompareDicomHeaders(const ecRawHeaderInfo& a, const ecRawHeaderInfo& b, double tolerance)
{
    const double av[9] = {double(a.iNumPix),  double(a.PlaneType), double(a.ImagePlane),
                          double(a.iNumPixY), double(a.DataType),  a.fSizePix,
                          a.fSliceSpacing,    a.fSliceThickness,   a.fSizePixY};
    const double bv[9] = {double(b.iNumPix),  double(b.PlaneType), double(b.ImagePlane),
                          double(b.iNumPixY), double(b.DataType),  b.fSizePix,
                          b.fSliceSpacing,    b.fSliceThickness,   b.fSizePixY};
    const bool exact = !bUseComparisonTolerance && tolerance == 0.0;
    for (int i = 0; i < 9; ++i) {
        const bool same = exact ? av[i] == bv[i] : DicomValuesEqual(av[i], bv[i]);
        if (!same) return i + 1;
    }
    return 0;
}
