// Internal to the library: the modern reading path's readers, one per
// format, each built on the format code the ec* readers use. ReadImage
// probes the file and dispatches here.
#ifndef QUARN_SRC_IMAGE_READERS_H
#define QUARN_SRC_IMAGE_READERS_H

#include <cstdint>
#include <optional>
#include <string>

#include "QuarnImage.h"

namespace quarn::bytes {
class Descriptor;
class StreamCursor;
}  // namespace quarn::bytes

namespace quarn::image {

// A file opened once: `in` reads `fd` from its start. CheckOpen refuses
// what cannot be read (not opened, a folder, empty) and gives the size of a
// regular file, after which `in` holds the file's first block; ProbeOpen
// probes that block. The DICOM reader reads on from it.
std::optional<uint64_t> CheckOpen(const std::string& path, const bytes::Descriptor& fd, bytes::StreamCursor& in);
Probe ProbeOpen(const std::string& path, const bytes::Descriptor& fd, bytes::StreamCursor& in);

Image ReadDicom(const std::string& path, Format format, const ReadOptions& options, bytes::StreamCursor& in);
Image ReadGenesis(const std::string& path, const ReadOptions& options);
Image ReadSigna(const std::string& path, const ReadOptions& options);
Image ReadSiemens(const std::string& path, const ReadOptions& options);
Image ReadRaw(const std::string& path, const RawLayout& layout, const ReadOptions& options);

// Patient coordinates from the RAS corner points of a GE image header: the
// top-left-hand corner is the centre of the first pixel; rows run from the
// top-left towards the top-right corner, columns from the top-right towards
// the bottom-right corner. Sets imagePosition and imageOrientation (LPS, as
// DICOM gives them) when the corners span a plane.
void SetGeometryFromCorners(Image& image, const double topLeft[3], const double topRight[3],
                            const double bottomRight[3]);

}  // namespace quarn::image

#endif
