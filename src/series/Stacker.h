// Internal to the library: the slices of a series read again, checked
// against what the scan read, and laid one after the other into memory the
// caller gives, a stretch of slices at a time.
#ifndef QUARN_SRC_SERIES_STACKER_H
#define QUARN_SRC_SERIES_STACKER_H

#include <cstddef>

#include "QuarnSeries.h"

namespace quarn {
namespace series {

class Stacker {
public:
    // Refuses a series with problems and reads its first slice (so the files
    // have shown they hold what their headers promise before anything the
    // size of the volume is allocated). Throws Error.
    Stacker(const Series& series, const ReadOptions& options);

    // The volume without its voxels: size, pixel type, affine, rescale, sidecar.
    const Volume& Shape() const { return shape_; }
    size_t SliceBytes() const { return sliceBytes_; }

    // Reads slices [from, to) into `out` (to - from slices of SliceBytes()),
    // on `threads` threads; throws the first failure in the series' order.
    void Fill(size_t from, size_t to, unsigned char* out, unsigned threads) const;

private:
    Image Read(size_t k) const;
    void Place(const Image& im, unsigned char* out) const;

    const Series& series_;
    ReadOptions withPixels_;
    bool uniform_ = true;
    size_t perSlice_ = 0;
    size_t sliceBytes_ = 0;
    Image first_;
    Volume shape_;
};

}  // namespace series
}  // namespace quarn

#endif
