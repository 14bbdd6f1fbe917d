// Internal to the library: the option bits the slice readers and operations
// understand, and how a step's status is moved into its caller's range.
#ifndef QUARN_SRC_MRI_SLICE_READOPTIONS_H
#define QUARN_SRC_MRI_SLICE_READOPTIONS_H

namespace quarn {

// Read options (the `options` / `flags` of the slice readers).
// The raw reader refuses a slice whose pixel type does not fit the raw file type.
constexpr unsigned long kReadMatchRawType = 0x10u;
// Half size: each pixel the mean of a 2 x 2 block.
constexpr unsigned long kReadHalve = 0x10000u;

// Storage set-up of a display slice: the image adopts the pixels the slice holds.
constexpr unsigned long kStorageAdopt = 0x1u;
// Gray-value translation of a display slice: rebuild the rendering at once.
constexpr unsigned long kTranslateRebuild = 0x100u;
// Saving a slice: the pixels alone, without the 12-byte header.
constexpr unsigned long kSavePixelsOnly = 0x1u;

// A step's status in its caller's range: a negative status moved down by
// `stage` (so -6 from the step at stage 50 is -56); others unchanged.
constexpr int StageStatus(int status, int stage) { return status < 0 ? status - stage : status; }

}  // namespace quarn

#endif
