// Internal to the library: what the modern readers of scanner files share:
// opening a file, blocks of it for the byte cursor, the checks of sizes and
// pixel blocks, the fields of the ec* header records, and pixel reading
// through the ec* slice readers. Every refusal is a quarn::Error.
#ifndef QUARN_SRC_IMAGE_SCANNERSUPPORT_H
#define QUARN_SRC_IMAGE_SCANNERSUPPORT_H

#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "MriSlice.h"
#include "QuarnImage.h"
#include "bytes/ByteCursor.h"
#include "bytes/File.h"
#include "corvane.h"
#include "ecError.h"

namespace quarn::image::scanner {

[[noreturn]] void Fail(Reason reason, const std::string& path, const std::string& cause);

// An open file and its size.
struct OpenFile {
    bytes::File file;
};
// Opens a file for reading; folders, files that cannot be opened and empty
// files are refused.
OpenFile Open(const std::string& path);

// Up to `n` bytes of the file from `offset`; an empty block for an offset
// outside the file.
bytes::FileBlock BlockAt(FILE* fp, long long offset, size_t n);

// The value when it is finite and above 0.
std::optional<double> Positive(double v);

size_t BytesPerPixel(PixelType t);
// Pixel type and bits (all bits stored) of the image.
void SetPixelFormat(Image& im, PixelType t);

template <class T>
void StorePixels(Image& im, const T* values, size_t n)
{
    im.pixelBytes.resize(n * sizeof(T));
    if (n) std::memcpy(im.pixelBytes.data(), values, n * sizeof(T));
}

// An image of `path` read as `format`, rows x columns, with the image number,
// thickness and slice spacing of an ec* header record and the pixel spacing
// given; values of 0 (or not finite) stay unset.
Image FromRecord(const std::string& path, Format format, int rows, int columns, const ecRawHeaderInfo& record,
                 double rowSpacing, double columnSpacing);

// Sizes the slice readers take: 16..1024 rows and columns; `from` names the header.
void CheckSliceSize(const std::string& path, int rows, int columns, const char* from);

// Refuses a pixel block of `need` bytes from `offset` that the file does not hold.
void CheckBlock(const std::string& path, FILE* fp, long long offset, unsigned long long need, const char* what);

// Reads the pixels through a slice reader of the ec* classes (`read` returns
// its status) into the image, turning every refusal into an Error.
template <class T, class Read>
void ReadThroughSlice(Image& im, const std::string& path, Read read)
{
    ecMriSlice<T> slice;
    int status = 0;
    try {
        status = read(slice);
    } catch (const ecError& e) {
        const bool shortRead = std::strstr(e.what(), "Short count") != nullptr;
        Fail(shortRead ? Reason::Truncated : Reason::Malformed, path,
             std::string("the slice reader refused it: ") + e.what());
    } catch (const std::bad_alloc&) {
        Fail(Reason::Unsupported, path, "no memory for the pixels");
    }
    if (status == -4) Fail(Reason::CannotOpen, path, "cannot be opened for the pixels");
    if (status == -5) Fail(Reason::Malformed, path, "the pixel data offset cannot be reached");
    if (status < 0)
        Fail(status == -56 ? Reason::Truncated : Reason::Malformed, path,
             StringPrintf("the slice reader refused the pixels (status %d)", status));
    if (slice.GetNumRows() != im.rows || slice.GetNumCols() != im.columns || !slice.GetPixels())
        Fail(Reason::Malformed, path, "the pixels read do not match the header's size");
    StorePixels(im, slice.GetPixels(), im.PixelCount());
}

}  // namespace quarn::image::scanner

#endif
