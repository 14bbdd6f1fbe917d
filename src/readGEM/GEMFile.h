// Internal parts of the Genesis reader shared by the slice members: the
// fields of the image file header, their bounds, the pixel decoding and the
// temporary files.
#ifndef QUARN_SRC_READGEM_GEMFILE_H
#define QUARN_SRC_READGEM_GEMFILE_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "RawHeaderInfo.h"
#include "bytes/ByteCursor.h"

namespace gem {

// The fields of the image file header that decoding uses.
struct Layout {
    int32_t magic = 0;
    int32_t dataOffset = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t depth = 0;
    int32_t compression = 0;
    int32_t background = 0;
    int32_t lineTableOffset = 0;
    int32_t lineTableLength = 0;
    int32_t examOffset = 0;
    int32_t imageHeaderOffset = 0;
};

// From a converted (host-order) image file header block.
Layout LayoutFromConverted(const unsigned char* block);

// True when width and height lie in 16..1024, depth is 8 or 16 and the
// compression is 1 to 4: everything a decode buffer is sized from.
bool LayoutIsDecodable(const Layout& layout);

// The decoded image: width x height values, row by row (signed 16-bit for a
// 16-bit file, 0..255 for an 8-bit file), and the bytes that the temporary
// file receives.
struct Decoded {
    std::vector<int16_t> pixels;
    std::vector<unsigned char> tempBytes;
};

// Reads up to `n` bytes of `in` at `offset` into `block`. False when the
// offset is negative or lies past the end of the file, or when the stream
// cannot tell its size (a pipe), since the offsets of the layout are then
// out of reach.
bool ReadAt(FILE* in, int32_t offset, size_t n, quarn::bytes::FileBlock& block);

// Decodes the pixel data of `in` described by a decodable `layout`. False
// when the file does not hold what the layout promises: offsets outside the
// file, a line table that does not cover every row, a run outside its row,
// pixel data or a compressed stream that end early.
bool DecodePixels(FILE* in, const Layout& layout, Decoded& out);

// The geometry that the image header gives, decoded from the whole block as
// read (big-endian), into `hdr` together with the layout's sizes.
void FillRawHeader(ecRawHeaderInfo& hdr, const Layout& layout, const quarn::bytes::Cursor& rawImageHeader);

// Path of the temporary file `name` for ReadGEMFile (fileReader true) or
// GetGEMImage; an empty string when the folder cannot be had.
std::string TempPath(const std::string& name, bool fileReader);

// Reopens the temporary file and reads one block of width x height bytes,
// which is then released. A short block is not a failure.
void ReadBack(const std::string& path, const Layout& layout);

}  // namespace gem

#endif
