// GE Signa image files: the control header (156 bytes, starting with "IMGF")
// points at the image header (222 bytes) and at the pixel data. All numbers in
// the file are big-endian; every field is decoded by its offset.
#include "readSigna.h"
#include "read_raw/SeriesScan.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "bytes/ByteCursor.h"
#include "bytes/File.h"
#include "corvane.h"

namespace {

const size_t kControlHeaderSize = 156;
const size_t kImageHeaderSize = 222;
const size_t kExamHeaderSize = 308;

// Offsets in the control header.
const size_t kOffHeaderLen = 4;
const size_t kOffDepth = 16;
const size_t kOffCompression = 20;
const size_t kOffUIPtn = 56;
const size_t kOffHistogramHeaderPtr = 80;
const size_t kOffImageHeaderPtr = 148;
const size_t kOffImageHeaderLen = 152;

// Offsets in the image header.
const size_t kOffImageNum = 12;
const size_t kOffSliceThickness = 26;
const size_t kOffNumPix = 30;
const size_t kOffNumPixY = 32;
const size_t kOffSizePixY = 50;
const size_t kOffSizePix = 54;
const size_t kOffSliceSpacing = 116;
const size_t kOffNEX = 218;

// Offset in the exam header.
const size_t kOffExamType = 305;

using quarn::bytes::Cursor;
using quarn::bytes::FileBlock;
using quarn::bytes::Order;

// The control header values the readers use, in host order.
struct SignaControl {
    int32_t iHeaderLen = 0;
    int32_t iDepth = 0;
    int32_t iImageHeaderPtr = 0;
};

bool HasSignaMagic(const Cursor& bytes)
{
    const unsigned char* magic = bytes.At(0, 4);
    return magic && std::memcmp(magic, "IMGF", 4) == 0;
}

// Decodes a whole control header; -1 (nothing decoded) when the magic is missing.
int DecodeSignaControlHeader(const Cursor& bytes, SignaControl& out)
{
    if (!HasSignaMagic(bytes)) return -1;
    bytes.S32At(kOffHeaderLen, out.iHeaderLen, Order::Big);
    bytes.S32At(kOffDepth, out.iDepth, Order::Big);
    bytes.S32At(kOffImageHeaderPtr, out.iImageHeaderPtr, Order::Big);
    return 1;
}

float Float(const Cursor& bytes, size_t offset)
{
    float v = 0.0f;
    bytes.F32At(offset, v, Order::Big);
    return v;
}

int Short(const Cursor& bytes, size_t offset)
{
    int16_t v = 0;
    bytes.S16At(offset, v, Order::Big);
    return v;
}

}  // namespace

int FindSigna_PixelDepth(const char* fileName)
{
    if (!fileName) return -1;
    FileBlock block;
    if (!block.Read(fileName, kControlHeaderSize)) return -2;
    const Cursor bytes = block.View();
    if (!HasSignaMagic(bytes)) return -4;
    if (bytes.Size() < kControlHeaderSize) return -3;
    SignaControl control;
    DecodeSignaControlHeader(bytes, control);
    return control.iDepth;
}

int FillRawHeaderFromSignaFile(const char* fileName, ecRawHeaderInfo* header, ecMriSliceInformation*,
                               long* dataOffset, unsigned long)
{
    if (!fileName || !header) return -1;
    quarn::bytes::File file(fileName, "rb");
    if (!file) return -2;
    FileBlock control;
    control.Read(file.get(), 0, kControlHeaderSize);
    if (control.Size() < kControlHeaderSize) return -3;
    SignaControl c;
    if (DecodeSignaControlHeader(control.View(), c) < 0) return -11;
    // The pointer is a signed 32-bit file offset: a negative one cannot be sought.
    if (c.iImageHeaderPtr < 0 || std::fseek(file.get(), static_cast<long>(c.iImageHeaderPtr), SEEK_SET) != 0)
        return -4;
    FileBlock block;
    block.Read(file.get(), -1, kImageHeaderSize);
    file.Close();
    const Cursor image = block.View();
    if (image.Size() < kImageHeaderSize) return -5;

    header->fSizePix = Float(image, kOffSizePix);
    header->fSizePixY = Float(image, kOffSizePixY);
    header->fSliceSpacing = Float(image, kOffSliceSpacing);
    header->fSliceThickness = Float(image, kOffSliceThickness);
    header->iNumPix = Short(image, kOffNumPix);
    header->iNumPixY = Short(image, kOffNumPixY);
    header->iImageNum = Short(image, kOffImageNum);
    header->PlaneType = SliceAxial;
    header->ImagePlane = SliceAxial;
    header->iNumFrames = 1;
    header->DataType = c.iDepth == 8 ? ecBaseData::UnsignedChar : c.iDepth == 16 ? ecBaseData::Short : 0;
    header->lDataOffset = c.iHeaderLen;
    header->FileType = MriSigna;
    header->bIsValid = true;
    if (dataOffset) *dataOffset = c.iHeaderLen;
    return 1;
}

int FindSignaFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                            std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader, unsigned long)
{
    return ScanSeriesFiles(fileNames, firstImage, lastImage, headers, firstHeader, 1025, -1025,
                           [](const std::string& name, ecDicomHeaderInfo& h, long& offset) {
                               return FillRawHeaderFromSignaFile(name.c_str(), &h, nullptr, &offset, 0);
                           });
}

int FindSignaOffsets(const char* fileName, unsigned long)
{
    quarn::bytes::File file(fileName, "w");
    if (fileName && !file) return -1;
    FILE* out = fileName ? file.get() : stdout;
    const char* sizeFormat = "Size of %s is %d\n";
    const char* memberFormat = "<%s> : %d (%d)\n";
    const int control = static_cast<int>(kControlHeaderSize);
    const int exam = static_cast<int>(kExamHeaderSize);
    const int image = static_cast<int>(kImageHeaderSize);
    const int compression = static_cast<int>(kOffCompression);
    const int uiPtn = static_cast<int>(kOffUIPtn);
    const int histogram = static_cast<int>(kOffHistogramHeaderPtr);
    const int imageHeaderLen = static_cast<int>(kOffImageHeaderLen);
    const int examType = static_cast<int>(kOffExamType);
    const int nex = static_cast<int>(kOffNEX);
    std::fprintf(out, sizeFormat, "GE_Signa_Control_Header", control);
    std::fprintf(out, memberFormat, "iCompression", compression, compression);
    std::fprintf(out, memberFormat, "iUIPtn", uiPtn, uiPtn);
    std::fprintf(out, memberFormat, "iHistogramHeaderPtr", histogram, histogram);
    std::fprintf(out, memberFormat, "iImageHeaderLen", imageHeaderLen, imageHeaderLen);
    std::fprintf(out, sizeFormat, "GE_Signa_Exam_Header", exam);
    std::fprintf(out, memberFormat, "sExamType", examType, examType);
    std::fprintf(out, sizeFormat, "GE_Signa_Image_Header", image);
    std::fprintf(out, memberFormat, "fNEX", nex, nex);
    if (!fileName) std::fflush(out);
    return 1;
}

namespace {

// The foreign float word: bit 0 the sign, then `expBits` exponent bits, then
// the fraction in the remaining high bits; bias 127, fraction scale 2^-23,
// subnormal factor 2^-126 whatever the field widths.
double DecodeForeignWord(uint32_t w, int expBits)
{
    const uint32_t s = w & 1u;
    const uint32_t e = (w >> 1) & ((1u << expBits) - 1u);
    const uint32_t f = w >> (1 + expBits);
    double v;
    if (e != 0) v = std::ldexp(1.0 + std::ldexp(static_cast<double>(f), -23), static_cast<int>(e) - 127);
    else if (f != 0) v = std::ldexp(static_cast<double>(f), -126 - 23);
    else v = 0.0;
    return s ? -v : v;
}

}  // namespace

int ConvertToIntel(char* bytes, float& value)
{
    if (!bytes) return -1;
    // The word is taken in little-endian order, whatever the host's order.
    const double v = DecodeForeignWord(quarn::bytes::U32(reinterpret_cast<const unsigned char*>(bytes), Order::Little), 8);
    // Magnitudes beyond the float range become infinities (a plain conversion
    // of such a double to float is not defined).
    if (v > std::numeric_limits<float>::max()) value = std::numeric_limits<float>::infinity();
    else if (v < -std::numeric_limits<float>::max()) value = -std::numeric_limits<float>::infinity();
    else value = static_cast<float>(v);
    return 1;
}

int ConvertToIntel(char* bytes, double& value)
{
    if (!bytes) return -1;
    value = DecodeForeignWord(quarn::bytes::U32(reinterpret_cast<const unsigned char*>(bytes), Order::Little), 11);
    return 1;
}
