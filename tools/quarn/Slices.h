// Reading a file's header record and its pixels through the library.
#ifndef QUARN_TOOL_SLICES_H
#define QUARN_TOOL_SLICES_H

#include <memory>
#include <string>
#include <vector>

#include "Formats.h"
#include "Quarn.h"
#include "QuarnImage.h"

namespace tool {

// The header side of one file, as the format's header reader gives it.
struct HeaderRecord {
    ecDicomHeaderInfo header;           // the raw record plus name, offset, position
    ecMriSliceInformation information;  // filled for Siemens files
    bool hasInformation = false;
    bool hasPosition = false;           // DICOM files
};

// The library's read options for the request: the forced format and the
// raw geometry.
quarn::ReadOptions LibraryOptions(const ReadRequest& request);

// Reads `path` as `format` through the library's modern path: what the file
// says, with its pixels unless `pixels` is false. Throws FileError with the
// library's cause.
quarn::Image ReadImageOf(const std::string& path, Format format, const ReadRequest& request, bool pixels = true);

// Reads the header record of `path` read as `format`. Throws FileError with
// the library's status code or ecError text when it cannot.
HeaderRecord ReadHeader(const std::string& path, Format format, const ReadRequest& request);

// The pixels of one slice, as the library read them.
struct SliceImage {
    int cols = 0;
    int rows = 0;
    int dataType = 0;                   // 105, 98 or 114
    double minimum = 0;                 // the library's minimum and maximum
    double maximum = 0;
    std::vector<float> pixels;          // row by row
    std::unique_ptr<ecMriSliceBase> slice;
};

// Reads one slice (options: the library's read options; quarn::kReadHalve halves).
// Throws FileError when the library cannot read it.
SliceImage ReadSlice(const std::string& path, Format format, const ReadRequest& request, unsigned long options);

// Halves the slice by 2 x 2 averaging with the library's own halving, for
// readers that do not halve while reading. Throws FileError.
void HalveSlice(SliceImage& image);

// Writes the slice's pixels with the slice's 12-byte header. Throws FileError.
void SaveRawPixels(const SliceImage& image, const std::string& path);

// "uchar", "short", "float" for the library's pixel type codes.
std::string PixelTypeWord(int dataType);

}  // namespace tool

#endif
