// Siemens image files: a fixed 6144-byte big-endian header followed by 16-bit
// big-endian pixels. Every field is decoded by its offset.
#include "readSiemens.h"
#include "read_raw/SeriesScan.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "bytes/ByteCursor.h"
#include "corvane.h"

namespace {

const size_t kSiemensHeaderSize = 6144;

// Text fields: offset and length, taken as stored (blanks and zero bytes included).
struct TextField {
    size_t offset;
    size_t length;
};
const TextField kManufacturer = {96, 7};
const TextField kInstitutionName = {105, 25};
const TextField kAnnotation = {186, 4};
const TextField kModelName = {281, 15};
const TextField kPatientName = {768, 25};
const TextField kPatientID = {795, 12};
const TextField kPatientPosition = {5529, 7};
const TextField kImageNumber = {5546, 5};

const size_t kOffSliceThickness = 1544;
const size_t kOffFieldOfViewHeight = 3744;
const size_t kOffFieldOfViewWidth = 3752;
const size_t kOffPixelHeight = 5000;
const size_t kOffPixelWidth = 5008;
const size_t kOffPlaneLetter = 5814;

using quarn::bytes::Cursor;
using quarn::bytes::Order;

// The header is whole: every field lies inside it.
std::string Text(const Cursor& header, const TextField& field)
{
    return std::string(reinterpret_cast<const char*>(header.At(field.offset, field.length)), field.length);
}

double Double(const Cursor& header, size_t offset)
{
    double value = 0.0;
    header.F64At(offset, value, Order::Big);
    return value;
}

// A quotient truncated toward zero; the smallest int when it is not finite or
// does not fit in an int.
int TruncatedQuotient(double numerator, double denominator)
{
    const double q = numerator / denominator;
    if (!std::isfinite(q) || q <= -2147483649.0 || q >= 2147483648.0) return std::numeric_limits<int>::min();
    return static_cast<int>(q);
}

SliceType PlaneFromLetter(unsigned char letter)
{
    switch (letter) {
    case 'A': case 'a': return SliceAxial;
    case 'C': case 'c': return SliceCoronal;
    case 'S': case 's': return SliceSagittal;
    default: return SliceUnknown;
    }
}

}  // namespace

int FillRawHeaderFromSiemensFile(const char* fileName, ecRawHeaderInfo* header, ecMriSliceInformation* info,
                                 long* dataOffset, unsigned long)
{
    if (!fileName || !header) return -1;
    quarn::bytes::FileBlock block;
    if (!block.Read(fileName, kSiemensHeaderSize)) return -2;
    header->SetFromSliceInfo(nullptr);
    const Cursor bytes = block.View();
    if (bytes.Size() < kSiemensHeaderSize) return -3;

    if (info) {
        info->Reset(0);
        info->sManufacturer = Text(bytes, kManufacturer);
        info->sInstitutionName = Text(bytes, kInstitutionName);
        info->sAnnotation = Text(bytes, kAnnotation);
        info->sModelName = Text(bytes, kModelName);
        info->sPatientName = Text(bytes, kPatientName);
        info->sPatientID = Text(bytes, kPatientID);
        info->sTextPatientPosition = Text(bytes, kPatientPosition);
    }

    const double thickness = Double(bytes, kOffSliceThickness);
    const double fovHeight = Double(bytes, kOffFieldOfViewHeight);
    const double fovWidth = Double(bytes, kOffFieldOfViewWidth);
    const double pixelHeight = Double(bytes, kOffPixelHeight);
    const double pixelWidth = Double(bytes, kOffPixelWidth);
    header->fSizePix = pixelWidth;
    header->fSizePixY = pixelHeight;
    header->fSliceThickness = thickness;
    header->fSliceSpacing = 0.0;
    header->iNumPix = TruncatedQuotient(fovWidth, pixelWidth);
    header->iNumPixY = TruncatedQuotient(fovHeight, pixelHeight);

    const std::string number = Text(bytes, kImageNumber);
    int imageNum = 0;
    header->iImageNum = (std::sscanf(number.c_str(), "%d", &imageNum) == 1 && imageNum >= 0) ? imageNum : 1;

    const SliceType plane = PlaneFromLetter(*bytes.At(kOffPlaneLetter, 1));
    header->PlaneType = plane;
    header->ImagePlane = plane;

    header->iNumFrames = 1;
    header->DataType = ecBaseData::Short;
    header->FileType = MriSiemens;
    header->lDataOffset = static_cast<long>(kSiemensHeaderSize);
    header->bIsValid = true;
    if (dataOffset) *dataOffset = static_cast<long>(kSiemensHeaderSize);
    return 1;
}

int FindSiemensFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                              std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader, unsigned long)
{
    return ScanSeriesFiles(fileNames, firstImage, lastImage, headers, firstHeader, 32767, -32767,
                           [](const std::string& name, ecDicomHeaderInfo& h, long& offset) {
                               return FillRawHeaderFromSiemensFile(name.c_str(), &h, nullptr, &offset, 0);
                           });
}
