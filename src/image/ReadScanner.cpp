// The modern readers of Siemens and headerless raw files, and what the
// readers of scanner files share. Pixels and header records come from the
// format code the ec* readers use (the Siemens header reader and slice
// reader); raw pixels are taken through the bounded byte cursor's blocks.
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "image/Readers.h"
#include "image/ScannerSupport.h"
#include "readSiemens.h"

namespace quarn::image {

namespace scanner {

[[noreturn]] void Fail(Reason reason, const std::string& path, const std::string& cause)
{
    throw Error(reason, path, cause);
}

OpenFile Open(const std::string& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) Fail(Reason::CannotOpen, path, "a folder, not a file");
    OpenFile f;
    errno = 0;
    f.file = bytes::File(path.c_str(), "rb");
    if (!f.file) Fail(Reason::CannotOpen, path, errno == ENOENT ? "no such file" : "cannot be opened for reading");
    if (bytes::FileBlock::Held(f.file.get(), 0, 1) == 0) Fail(Reason::Empty, path, "a file of no bytes");
    return f;
}

bytes::FileBlock BlockAt(FILE* fp, long long offset, size_t n)
{
    bytes::FileBlock block;
    if (bytes::FileBlock::Held(fp, offset, 1) == 1) block.Read(fp, static_cast<long>(offset), n);
    return block;
}

std::optional<double> Positive(double v)
{
    if (std::isfinite(v) && v > 0) return v;
    return std::nullopt;
}

size_t BytesPerPixel(PixelType t)
{
    switch (t) {
    case PixelType::U8:
    case PixelType::S8: return 1;
    case PixelType::U16:
    case PixelType::S16: return 2;
    default: return 4;
    }
}

void SetPixelFormat(Image& im, PixelType t)
{
    im.pixelType = t;
    im.bitsAllocated = im.bitsStored = static_cast<int>(8 * BytesPerPixel(t));
    im.highBit = im.bitsStored - 1;
    im.pixelRepresentation = (t == PixelType::U8 || t == PixelType::U16 || t == PixelType::U32) ? 0 : 1;
}

Image FromRecord(const std::string& path, Format format, int rows, int columns, const ecRawHeaderInfo& record,
                 double rowSpacing, double columnSpacing)
{
    Image im;
    im.file = path;
    im.format = format;
    im.rows = rows;
    im.columns = columns;
    im.instanceNumber = record.iImageNum;
    im.sliceThickness = Positive(record.fSliceThickness);
    im.spacingBetweenSlices = Positive(record.fSliceSpacing);
    if (Positive(rowSpacing) && Positive(columnSpacing))
        im.pixelSpacing = std::array<double, 2>{rowSpacing, columnSpacing};
    return im;
}

void CheckSliceSize(const std::string& path, int rows, int columns, const char* from)
{
    if (rows <= 0 || columns <= 0)
        Fail(Reason::Malformed, path,
             StringPrintf("%s gives no image size (%d rows, %d columns)", from, rows, columns));
    if (rows < 16 || rows > 1024 || columns < 16 || columns > 1024)
        Fail(Reason::Unsupported, path,
             StringPrintf("%s gives %d x %d pixels; slices of 16 to 1024 rows and columns are read", from, rows,
                          columns));
}

void CheckBlock(const std::string& path, FILE* fp, long long offset, unsigned long long need, const char* what)
{
    if (offset < 0) Fail(Reason::Malformed, path, StringPrintf("a negative pixel data offset (%lld)", offset));
    const unsigned long long held = bytes::FileBlock::Held(fp, offset, need);
    if (held < need)
        Fail(Reason::Truncated, path,
             StringPrintf("%s needs %llu pixel bytes from byte %lld; the file holds %llu of them", what, need, offset,
                          held));
}

}  // namespace scanner

using namespace scanner;
using bytes::Cursor;
using bytes::FileBlock;
using bytes::Order;

namespace {

const size_t kSiemensHeaderSize = 6144;
const size_t kSiemensManufacturer = 96;
const size_t kSiemensImageNumber = 5546, kSiemensImageNumberLength = 5;

}  // namespace

Image ReadSiemens(const std::string& path, const ReadOptions& options)
{
    OpenFile f = Open(path);
    const FileBlock head = BlockAt(f.file.get(), 0, kSiemensHeaderSize);
    if (head.Size() < kSiemensHeaderSize)
        Fail(Reason::Truncated, path, StringPrintf("ends within the %zu-byte header", kSiemensHeaderSize));
    const Cursor c = head.View();
    if (std::memcmp(c.At(kSiemensManufacturer, 7), "SIEMENS", 7) != 0)
        Fail(Reason::Malformed, path, "no \"SIEMENS\" at byte 96: not a Siemens header");
    ecRawHeaderInfo record;
    if (FillRawHeaderFromSiemensFile(path.c_str(), &record, nullptr, nullptr, 0) != 1)
        Fail(Reason::Malformed, path, "the header cannot be read");
    CheckSliceSize(path, record.iNumPixY, record.iNumPix, "the field of view over the pixel size");

    Image im = FromRecord(path, Format::Siemens, record.iNumPixY, record.iNumPix, record, record.fSizePixY,
                          record.fSizePix);
    // The record shows image number 1 when the header's image number text holds no number.
    char number[kSiemensImageNumberLength + 1] = {};
    std::memcpy(number, c.At(kSiemensImageNumber, kSiemensImageNumberLength), kSiemensImageNumberLength);
    int n = 0;
    if (std::sscanf(number, "%d", &n) != 1 || n < 0) {
        im.instanceNumber.reset();
        im.notes.push_back("image number: the legacy record shows 1; the header's image number text holds no number");
    }
    SetPixelFormat(im, PixelType::S16);
    if (!options.pixels) return im;

    CheckBlock(path, f.file.get(), static_cast<long long>(kSiemensHeaderSize), im.PixelCount() * 2,
               StringPrintf("the header's %d x %d image", im.rows, im.columns).c_str());
    f.file.Close();
    ReadThroughSlice<short>(im, path, [&](auto& slice) { return slice.GetSiemensFile(path.c_str(), 0, nullptr); });
    return im;
}

Image ReadRaw(const std::string& path, const RawLayout& layout, const ReadOptions& options)
{
    if (layout.rows <= 0 || layout.columns <= 0)
        Fail(Reason::NeedsGeometry, path,
             StringPrintf("a headerless raw file needs its rows and columns (given %d x %d)", layout.rows,
                          layout.columns));
    if (layout.offset < -1)
        Fail(Reason::NeedsGeometry, path, StringPrintf("a pixel offset of %lld; -1 or more is meant", layout.offset));
    OpenFile f = Open(path);

    Image im;
    im.file = path;
    im.format = Format::Raw;
    im.rows = layout.rows;
    im.columns = layout.columns;
    im.pixelSpacing = layout.pixelSpacing;
    im.sliceThickness = layout.sliceThickness;
    SetPixelFormat(im, layout.pixelType);
    const size_t size = BytesPerPixel(layout.pixelType);
    const unsigned long long need =
        static_cast<unsigned long long>(im.PixelCount()) * size;  // below 2^64: rows, columns < 2^31
    if (!options.pixels) return im;

    long long offset = layout.offset;
    if (offset == -1) offset = bytes::FileBlock::OffsetOfLast(f.file.get(), static_cast<size_t>(need));
    CheckBlock(path, f.file.get(), offset, need, "the raw layout");

    bytes::FileBlock block;
    if (!block.Read(f.file.get(), static_cast<long>(offset), static_cast<size_t>(need)) || block.Size() < need)
        Fail(Reason::Truncated, path, "the pixel block could not be read whole");
    const Order order = layout.bigEndian ? Order::Big : Order::Little;
    const unsigned char* p = block.Bytes();
    im.pixelBytes.resize(static_cast<size_t>(need));
    unsigned char* out = im.pixelBytes.data();
    for (size_t i = 0; i < need; i += size) {
        if (size == 1) {
            out[i] = p[i];
        } else if (size == 2) {
            const uint16_t v = bytes::U16(p + i, order);
            std::memcpy(out + i, &v, 2);
        } else {
            const uint32_t v = bytes::U32(p + i, order);
            std::memcpy(out + i, &v, 4);
        }
    }
    return im;
}

}  // namespace quarn::image
