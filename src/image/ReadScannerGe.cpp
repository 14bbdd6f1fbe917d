// The modern readers of GE Genesis and Signa ("IMGF") files. Pixels and the
// header records come from the format code the ec* readers use (the Genesis
// decoder, the Signa header and slice readers); the fields those records do
// not keep (exam and series numbers, series description, corner points) are
// decoded by offset from the header blocks through the bounded byte cursor.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/Readers.h"
#include "image/ScannerSupport.h"
#include "readGEM.h"
#include "readGEM/GEMFile.h"
#include "readSigna.h"

namespace quarn::image {

using namespace scanner;
using bytes::Cursor;
using bytes::FileBlock;
using bytes::Order;

namespace {

// Offsets in the GE image file header (the Signa control header is the same block).
const size_t kGeFileHeaderSize = GEM_IMAGE_FILE_HEADER_SIZE;
const size_t kGeCompression = 20;
const size_t kGeExamPointer = 132;
const size_t kGeSeriesPointer = 140;
const size_t kGeImagePointer = 148;
// In the exam, series and image headers.
const size_t kGeExamNumber = 8;
const size_t kGeSeriesNumber = 10;
const size_t kGeSeriesDescription = 20, kGeSeriesDescriptionLength = 30;
const size_t kGeTopLeft = 154;  // then top right (166) and bottom right (178), each R, A, S
const size_t kSignaImageHeaderSize = 222;

// The fields of the exam, series and image headers that the ec* records do
// not keep; whatever lies outside the file stays unset.
void SetGeFields(Image& im, FILE* fp, const Cursor& fileHeader, const Cursor& imageHeader)
{
    int32_t at = 0;
    uint16_t u16 = 0;
    int16_t s16 = 0;
    if (fileHeader.S32At(kGeExamPointer, at, Order::Big)) {
        const FileBlock exam = BlockAt(fp, at, kGeExamNumber + 2);
        if (exam.View().U16At(kGeExamNumber, u16, Order::Big)) im.examNumber = u16;
    }
    if (fileHeader.S32At(kGeSeriesPointer, at, Order::Big)) {
        const FileBlock series = BlockAt(fp, at, kGeSeriesDescription + kGeSeriesDescriptionLength);
        const Cursor c = series.View();
        if (c.S16At(kGeSeriesNumber, s16, Order::Big)) im.seriesNumber = s16;
        if (const unsigned char* p = c.At(kGeSeriesDescription, kGeSeriesDescriptionLength)) {
            std::string text(reinterpret_cast<const char*>(p),
                             strnlen(reinterpret_cast<const char*>(p), kGeSeriesDescriptionLength));
            StripBlanks(text, true, true);
            const auto printable = [](char ch) { return ch >= 0x20 && ch < 0x7F; };
            if (!text.empty() && std::all_of(text.begin(), text.end(), printable)) im.seriesDescription = text;
        }
    }
    double corner[9];
    for (size_t i = 0; i < 9; ++i) {
        float v = 0;
        if (!imageHeader.F32At(kGeTopLeft + 4 * i, v, Order::Big)) return;
        corner[i] = v;
    }
    SetGeometryFromCorners(im, corner, corner + 3, corner + 6);
}

}  // namespace

void SetGeometryFromCorners(Image& image, const double topLeft[3], const double topRight[3],
                            const double bottomRight[3])
{
    // RAS to the patient coordinates DICOM uses (LPS): x = -R, y = -A, z = S.
    const auto lps = [](const double* p) { return std::array<double, 3>{-p[0], -p[1], p[2]}; };
    const std::array<double, 3> tl = lps(topLeft), tr = lps(topRight), br = lps(bottomRight);
    std::array<double, 3> row{}, column{};
    double rowLength = 0, columnLength = 0;
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(tl[i]) || !std::isfinite(tr[i]) || !std::isfinite(br[i])) return;
        row[i] = tr[i] - tl[i];
        column[i] = br[i] - tr[i];
        rowLength += row[i] * row[i];
        columnLength += column[i] * column[i];
    }
    rowLength = std::sqrt(rowLength);
    columnLength = std::sqrt(columnLength);
    if (!(rowLength > 1e-6) || !(columnLength > 1e-6) || !std::isfinite(rowLength) || !std::isfinite(columnLength))
        return;
    double dot = 0;
    for (int i = 0; i < 3; ++i) {
        row[i] /= rowLength;
        column[i] /= columnLength;
        dot += row[i] * column[i];
    }
    // The corners of a slice make a right angle; others describe no grid of rows and columns.
    if (std::fabs(dot) > 1e-3) return;
    image.imagePosition = tl;
    image.imageOrientation = std::array<double, 6>{row[0], row[1], row[2], column[0], column[1], column[2]};
}

Image ReadGenesis(const std::string& path, const ReadOptions& options)
{
    OpenFile f = Open(path);
    FILE* fp = f.file.get();
    FileBlock head = BlockAt(fp, 0, kGeFileHeaderSize);
    if (head.Size() < kGeFileHeaderSize)
        Fail(Reason::Truncated, path, StringPrintf("ends within the %zu-byte image file header", kGeFileHeaderSize));
    unsigned char converted[GEM_IMAGE_FILE_HEADER_SIZE];
    std::memcpy(converted, head.Bytes(), sizeof converted);
    ConvertGEMImageFileHeader(converted);
    const gem::Layout layout = gem::LayoutFromConverted(converted);
    if (static_cast<uint32_t>(layout.magic) != GEM_MAGIC)
        Fail(Reason::Malformed, path, "no \"IMGF\" at byte 0: not a GE image file");
    CheckSliceSize(path, layout.height, layout.width, "the image file header");
    if (layout.depth != 8 && layout.depth != 16)
        Fail(Reason::Unsupported, path, StringPrintf("a pixel depth of %d bits; 8 and 16 are read", layout.depth));
    if (layout.compression < 1 || layout.compression > 4)
        Fail(Reason::Malformed, path,
             StringPrintf("an unknown pixel storage method %d (1 to 4 are known)", layout.compression));

    const FileBlock imageHeader = BlockAt(fp, layout.imageHeaderOffset, GEM_IMAGE_HEADER_SIZE);
    if (imageHeader.Size() < GEM_IMAGE_HEADER_SIZE)
        Fail(Reason::Truncated, path,
             StringPrintf("the %d-byte image header at byte %d lies outside the file", GEM_IMAGE_HEADER_SIZE,
                          layout.imageHeaderOffset));
    ecRawHeaderInfo record;
    gem::FillRawHeader(record, layout, imageHeader.View());

    Image im = FromRecord(path, Format::Genesis, layout.height, layout.width, record, record.fSizePixY,
                          record.fSizePix);
    SetGeFields(im, fp, head.View(), imageHeader.View());
    SetPixelFormat(im, layout.depth == 8 ? PixelType::U8 : PixelType::S16);
    if (!options.pixels) return im;

    if (layout.compression == 1)
        CheckBlock(path, fp, layout.dataOffset, im.PixelCount() * static_cast<unsigned>(layout.depth / 8),
                   "the uncompressed image");
    gem::Decoded decoded;
    bool ok = false;
    try {
        ok = gem::DecodePixels(fp, layout, decoded);
    } catch (const std::bad_alloc&) {
        Fail(Reason::Unsupported, path, "no memory for the pixels");
    }
    if (!ok) {
        if (bytes::FileBlock::Held(fp, layout.dataOffset, 1) == 0)
            Fail(Reason::Truncated, path,
                 StringPrintf("the pixel data offset %d lies outside the file", layout.dataOffset));
        Fail(Reason::Malformed, path,
             StringPrintf("the packed or compressed pixel data (storage method %d) do not decode: a line table that "
                          "does not cover every row, a run outside its row, or data that end early",
                          layout.compression));
    }
    if (layout.depth == 8) {
        im.pixelBytes.resize(decoded.pixels.size());
        for (size_t i = 0; i < decoded.pixels.size(); ++i)
            im.pixelBytes[i] = static_cast<unsigned char>(decoded.pixels[i]);
    } else {
        StorePixels(im, decoded.pixels.data(), decoded.pixels.size());
    }
    return im;
}

Image ReadSigna(const std::string& path, const ReadOptions& options)
{
    OpenFile f = Open(path);
    FILE* fp = f.file.get();
    ecRawHeaderInfo record;
    long dataOffset = 0;
    switch (FillRawHeaderFromSignaFile(path.c_str(), &record, nullptr, &dataOffset, 0)) {
    case 1: break;
    case -2: Fail(Reason::CannotOpen, path, "cannot be opened for the header");
    case -3: Fail(Reason::Truncated, path, StringPrintf("ends within the %zu-byte control header", kGeFileHeaderSize));
    case -11: Fail(Reason::Malformed, path, "no \"IMGF\" at byte 0: not a GE image file");
    case -4: Fail(Reason::Malformed, path, "the image header pointer cannot be followed");
    case -5:
        Fail(Reason::Truncated, path, StringPrintf("the %zu-byte image header is cut short", kSignaImageHeaderSize));
    default: Fail(Reason::Malformed, path, "the header cannot be read");
    }
    const FileBlock head = BlockAt(fp, 0, kGeFileHeaderSize);
    int32_t compression = 0, imageAt = -1;
    head.View().S32At(kGeCompression, compression, Order::Big);
    head.View().S32At(kGeImagePointer, imageAt, Order::Big);
    if (compression >= 2 && compression <= 4)
        Fail(Reason::Compressed, path,
             StringPrintf("packed or compressed pixel data (storage method %d), which the Genesis reading decodes",
                          compression));
    if (record.DataType != ecBaseData::Short && record.DataType != ecBaseData::UnsignedChar)
        Fail(Reason::Unsupported, path, "a pixel depth other than 8 or 16 bits");
    CheckSliceSize(path, record.iNumPixY, record.iNumPix, "the image header");

    // The Signa record keeps the float at image header + 54 as the pixel width
    // and + 50 as the height; the GE layout has them the other way round.
    Image im = FromRecord(path, Format::Signa, record.iNumPixY, record.iNumPix, record, record.fSizePix,
                          record.fSizePixY);
    const FileBlock imageHeader = BlockAt(fp, imageAt, kSignaImageHeaderSize);
    SetGeFields(im, fp, head.View(), imageHeader.View());
    const bool eightBit = record.DataType == ecBaseData::UnsignedChar;
    SetPixelFormat(im, eightBit ? PixelType::U8 : PixelType::S16);
    if (!options.pixels) return im;

    CheckBlock(path, fp, dataOffset, im.PixelCount() * (eightBit ? 1u : 2u), "the image");
    f.file.Close();
    const auto read = [&](auto& slice) { return slice.GetSignaFile(path.c_str(), 0, nullptr); };
    if (eightBit)
        ReadThroughSlice<unsigned char>(im, path, read);
    else
        ReadThroughSlice<short>(im, path, read);
    return im;
}

}  // namespace quarn::image
