// From slices to volumes: the slice files under folders grouped into series,
// each checked for gaps, doubled positions, uneven spacing, changing
// orientation and changing sizes; a series stacked into one volume with its
// RAS affine; volumes written as NIfTI-1 (.nii or .nii.gz), from memory or
// as the slices are read; and every output written whole or not at all. The
// calls that read or compress many files take a number of threads.
//
//     quarn::ScanResult scan = quarn::ScanSeries({"exam/"});
//     for (const quarn::Series& s : scan.series)
//         if (s.problems.empty()) quarn::WriteSeriesNifti(s, "out.nii.gz");
#ifndef QUARN_QUARNSERIES_H
#define QUARN_QUARNSERIES_H

#include <array>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "QuarnExport.h"
#include "QuarnImage.h"

namespace quarn {

// ---------------------------------------------------------------- series

enum class ProblemKind {
    MissingSlice,        // a gap along the normal of a whole multiple (2 or more) of the median spacing
    DuplicatePosition,   // two slices within 0.01 mm along the normal
    UnevenSpacing,       // any other gap more than 1 % away from the median spacing
    OrientationChanges,  // direction cosines more than 1e-4 away from the first slice's
    SizeDiffers,         // rows, columns or pixel spacing differ from the first slice's
};

// "missing-slice", "duplicate-position", "uneven-spacing",
// "orientation-changes", "size-differs".
QUARN_API const char* ProblemWord(ProblemKind kind);

struct Problem {
    ProblemKind kind = ProblemKind::UnevenSpacing;
    std::vector<std::string> files;  // the slices concerned
    std::string detail;              // for people
};

struct Series {
    std::optional<std::string> seriesInstanceUID;
    std::optional<int> seriesNumber;
    std::optional<std::string> seriesDescription;
    std::optional<int> examNumber;
    Format format = Format::Unknown;
    std::string folder;               // the folder of the first file
    std::vector<std::string> files;   // sorted along the slice normal
    std::vector<Image> headers;       // each file's header (no pixels), in the order of `files`
    std::vector<Problem> problems;
    // Whether the slices carry position and orientation; without them the
    // files are sorted by instance number, then by name.
    bool positioned = false;
};

struct FailedFile {
    std::string file;
    std::string error;
};

struct ScanResult {
    std::vector<Series> series;
    std::vector<FailedFile> failed;  // files that could not be read
    size_t skipped = 0;              // files found in folders that are of no known format
};

// Reads the header of every file named, and of every file under every
// folder named (walked recursively unless `recurse` is false), and groups
// them into series: by Series Instance UID (DICOM), by exam, series number
// and in-plane geometry (GE files), by folder and geometry otherwise; files
// of different formats never share a series. Files in folders whose bytes
// show no format are skipped (unless `options` gives raw geometry); files
// named that cannot be read, and any that cannot be read while scanned, are
// listed in `failed`. Never throws for bad input. The headers are read on
// `threads` threads (0: one per processor core); the result is the same
// whatever their number.
QUARN_API ScanResult ScanSeries(const std::vector<std::string>& paths, const ReadOptions& options = {},
                                bool recurse = true, unsigned threads = 1);

// The file names `convert -o OUTDIR/` writes for the series, in their order:
// "<SeriesNumber>_<SeriesDescription>.nii.gz" (letters, digits, '.', '-' and
// '_' kept, anything else made '_'; "series" for a missing number, no
// description part for a missing one), with "_2", "_3", ... before the
// extension when names would repeat.
QUARN_API std::vector<std::string> OutputNames(const std::vector<Series>& series);

// ---------------------------------------------------------------- volumes

// The affine from voxel indices (column, row, slice) to RAS millimetres
// (NIfTI's convention: DICOM's LPS with x and y negated), row by row.
using Affine = std::array<double, 16>;

// The series' affine from the first slice's position and orientation, the
// pixel spacing and the step between the first and last slice (for one
// slice: the normal times Spacing Between Slices or Slice Thickness, else
// 1 mm). Slices without position or orientation are taken as axial slices
// at the origin.
QUARN_API Affine SeriesAffine(const Series& series);

struct Volume {
    int columns = 0;  // i, fastest
    int rows = 0;     // j
    int slices = 0;   // k, along the normal
    PixelType pixelType = PixelType::S16;
    std::vector<unsigned char> voxels;  // host byte order, columns fastest, then rows, then slices
    Affine affine{};
    double slope = 1;  // value = stored * slope + intercept
    double intercept = 0;
    std::string sidecar;  // ImageJson() of the first slice
};

// Reads every slice of the series and stacks them. Throws Error when the
// series has a problem (it is not one regular volume), when a file is of
// several frames or colour samples, or when a file cannot be read or no
// longer matches what the scan read. Slices whose pixel types or rescale
// values differ are stored as float32 values with the rescale applied. The
// slices are read on `threads` threads (0: one per processor core); the
// memory held beyond the volume is one slice per thread.
QUARN_API Volume LoadVolume(const Series& series, const ReadOptions& options = {}, unsigned threads = 1);

// Writes a NIfTI-1 single file (.nii, or gzip-compressed .nii.gz): qform and
// sform both the volume's affine (code 1, scanner), scl_slope and scl_inter
// the rescale. Written whole or not at all; throws Error(WriteFailed).
// .nii.gz is deflated (level 6) in pieces on `threads` threads (0: one per
// processor core) into one gzip stream, the same bytes for any number.
QUARN_API void WriteNifti(const Volume& volume, const std::string& path, unsigned threads = 1);

// Writes the series as WriteNifti(LoadVolume(series, options), path) does,
// byte for byte, without holding the volume: the slices are read and written
// a few at a time (at least 8 MiB, two slices per thread), so the memory
// does not grow with the series. Returns the volume without its voxels
// (size, pixel type, affine, rescale, sidecar). Throws Error as LoadVolume
// and WriteNifti do.
QUARN_API Volume WriteSeriesNifti(const Series& series, const std::string& path, const ReadOptions& options = {},
                                  unsigned threads = 1);

// ---------------------------------------------------------------- outputs

// Writes a file through `write` (given the open temporary stream; it
// answers false when a write failed) to a temporary file in the target's
// folder, and renames it over `path` only when all of it reached the disk.
// A failed write leaves nothing behind and a file that was there keeps its
// bytes. Throws Error(WriteFailed) naming `path`; what `write` throws is
// passed on, the temporary file removed.
QUARN_API void WriteWhole(const std::string& path, const std::function<bool(std::FILE*)>& write);
// The same for a text or byte string.
QUARN_API void WriteWholeText(const std::string& path, const std::string& text);

}  // namespace quarn

#endif
