// Quarn's modern reading path: one probe that tells a file's format from its
// bytes, and one reader that gives what a slice file says, as value types.
// Whatever the file does not say is an empty std::optional, never a default
// presented as a fact. Every refusal is a quarn::Error naming the file and
// the cause.
//
//     quarn::Image im = quarn::ReadImage("IM0001");
//     if (im.pixelSpacing) std::printf("%g x %g mm\n", (*im.pixelSpacing)[0], (*im.pixelSpacing)[1]);
//     const uint16_t* p = im.Pixels<uint16_t>();   // when im.pixelType == quarn::PixelType::U16
#ifndef QUARN_QUARNIMAGE_H
#define QUARN_QUARNIMAGE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "QuarnExport.h"

namespace quarn {

// ---------------------------------------------------------------- errors

enum class Reason {
    CannotOpen,     // missing, unreadable, or a folder
    Empty,          // a file of no bytes
    UnknownFormat,  // the bytes match no format the library reads
    Truncated,      // the file ends before what its header promises
    Malformed,      // a header the reader cannot make sense of
    Unsupported,    // a valid file of a kind the reader does not handle
    Compressed,     // pixel data in a compressed transfer syntax
    NeedsGeometry,  // a headerless raw file read without its geometry
    WriteFailed,    // an output could not be written
};

// The word for a reason: "cannot-open", "empty", "unknown-format",
// "truncated", "malformed", "unsupported", "compressed", "needs-geometry",
// "write-failed".
QUARN_API const char* ReasonWord(Reason reason);

class QUARN_API Error : public std::runtime_error {
public:
    Error(Reason reason, const std::string& file, const std::string& cause);
    Reason reason() const { return reason_; }
    const std::string& file() const { return file_; }
    const std::string& cause() const { return cause_; }

private:
    Reason reason_;
    std::string file_;
    std::string cause_;
};

// ----------------------------------------------------------------- probe

enum class Format { Unknown, Dicom, Nema, Signa, Genesis, Siemens, Raw };

// "dicom", "nema", "signa", "genesis", "siemens", "raw", "unknown".
QUARN_API const char* FormatWord(Format format);

struct Probe {
    Format format = Format::Unknown;
    std::string why;  // what in the bytes told it, for people
};

// Tells a format from a file's first bytes (at least the first 6,144 when
// the file has them) and the file's size: "DICM" at byte 128 or at byte 0
// (DICOM part 10), "IMGF" at byte 0 with a Signa control header (Signa) or
// an image file header (Genesis), "SIEMENS" at byte 96 of a file of at least
// 6,144 bytes (Siemens), an ACR-NEMA element stream at byte 0 in either byte
// order (NEMA). Headerless raw files cannot be told: Unknown.
QUARN_API Probe ProbeBytes(const unsigned char* bytes, size_t count, uint64_t fileSize);
// The same for a file; throws Error for files that cannot be read or are empty.
QUARN_API Probe ProbeFile(const std::string& path);

// ----------------------------------------------------------------- image

enum class PixelType { U8, S8, U16, S16, U32, S32, F32 };

// "uint8", "int8", "uint16", "int16", "uint32", "int32", "float32".
QUARN_API const char* PixelTypeWord(PixelType type);
QUARN_API size_t PixelTypeSize(PixelType type);

// A palette colour lookup table (one channel): the first stored value it
// maps, and the entries (16-bit values as the file holds them).
struct PaletteChannel {
    int firstMapped = 0;
    int bits = 16;
    std::vector<uint16_t> entries;
};

// The allocator of an image's pixel bytes: growing the vector leaves the new
// bytes unset instead of zeroing them first, since every reader writes each
// pixel byte it makes room for (a zero fill would cost a pass over the pixels).
template <class T>
struct UnsetAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UnsetAllocator<U>;
    };
    UnsetAllocator() = default;
    template <class U>
    UnsetAllocator(const UnsetAllocator<U>&) noexcept
    {
    }
    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible<U>::value)
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using PixelBytes = std::vector<unsigned char, UnsetAllocator<unsigned char>>;

struct Image {
    std::string file;
    Format format = Format::Unknown;

    int rows = 0;
    int columns = 0;
    int frames = 1;                      // frames held in pixelBytes
    std::optional<int> numberOfFrames;   // as the file states it
    int samplesPerPixel = 1;
    int planarConfiguration = 0;         // colour by pixel (0) or by plane (1)

    std::optional<std::array<double, 2>> pixelSpacing;  // (row spacing, column spacing), mm
    std::optional<double> sliceThickness;
    std::optional<double> spacingBetweenSlices;
    std::optional<std::array<double, 3>> imagePosition;     // patient coordinates (LPS), mm
    std::optional<std::array<double, 6>> imageOrientation;  // row then column direction cosines
    std::optional<int> instanceNumber;
    std::optional<std::string> seriesInstanceUID;
    std::optional<int> seriesNumber;
    std::optional<std::string> seriesDescription;
    std::optional<std::string> studyInstanceUID;
    std::optional<int> examNumber;  // GE files

    int bitsAllocated = 0;
    int bitsStored = 0;
    int highBit = 0;
    int pixelRepresentation = 0;  // 0 unsigned, 1 signed
    std::optional<std::string> photometricInterpretation;
    std::optional<double> rescaleSlope;
    std::optional<double> rescaleIntercept;
    std::optional<double> windowCenter;  // the first window
    std::optional<double> windowWidth;
    std::optional<std::string> transferSyntaxUID;
    std::optional<std::array<PaletteChannel, 3>> palette;  // red, green, blue

    // The stored values of every frame, frame by frame, row by row, in host
    // byte order: Bits Stored bits, sign-extended from High Bit when signed.
    PixelType pixelType = PixelType::U16;
    PixelBytes pixelBytes;

    // Legacy record stand-ins the reader knows of, for people: each names a
    // value that a legacy record would show although the file does not say it.
    std::vector<std::string> notes;

    size_t PixelCount() const
    {
        return static_cast<size_t>(rows) * static_cast<size_t>(columns) * static_cast<size_t>(frames) *
               static_cast<size_t>(samplesPerPixel);
    }
    template <class T>
    const T* Pixels() const
    {
        return reinterpret_cast<const T*>(pixelBytes.data());
    }
    // The smallest and largest stored value (NaN-free; 0 and 0 without pixels).
    QUARN_API std::pair<double, double> Range() const;
    // One stored value as a double: frame, row, column (sample 0).
    QUARN_API double Value(size_t index) const;
};

// How to read: a forced format, and the layout of headerless raw files.
struct RawLayout {
    int rows = 0;
    int columns = 0;
    PixelType pixelType = PixelType::S16;
    bool bigEndian = false;
    long long offset = -1;  // where the pixels start; -1: they are the file's last bytes
    std::optional<std::array<double, 2>> pixelSpacing;
    std::optional<double> sliceThickness;
};

struct ReadOptions {
    std::optional<Format> format;  // read as this format instead of probing
    std::optional<RawLayout> raw;  // for raw files (and files of no known format)
    bool pixels = true;            // false: the header only (pixelBytes stays empty)
};

// Reads one slice file. Throws Error (never anything else for bad input).
QUARN_API Image ReadImage(const std::string& path, const ReadOptions& options = {});

// What the file says, as a JSON object with DICOM keywords: Rows, Columns,
// NumberOfFrames, PixelSpacing ([row, column]), SliceThickness,
// SpacingBetweenSlices, ImagePositionPatient, ImageOrientationPatient,
// InstanceNumber, SeriesInstanceUID, SeriesNumber, SeriesDescription,
// BitsAllocated, BitsStored, PixelRepresentation, PhotometricInterpretation,
// RescaleSlope, RescaleIntercept, WindowCenter, WindowWidth,
// TransferSyntaxUID, Minimum, Maximum (the stored values); null for what the
// file does not say. Numbers are written in their shortest exact form.
QUARN_API std::string ImageJson(const Image& image);

// The name DICOM gives a transfer syntax ("Explicit VR Little Endian",
// "JPEG 2000 Image Compression", ...), or null for a UID it does not know.
QUARN_API const char* TransferSyntaxName(const std::string& uid);

}  // namespace quarn

#endif
