// The modern reading path's words, errors, transfer syntax names and the
// image's value helpers.
#include <cmath>
#include <cstring>
#include <limits>

#include "QuarnImage.h"
#include "mri_slice/PixelRange.h"

namespace quarn {

const char* ReasonWord(Reason reason)
{
    switch (reason) {
    case Reason::CannotOpen: return "cannot-open";
    case Reason::Empty: return "empty";
    case Reason::UnknownFormat: return "unknown-format";
    case Reason::Truncated: return "truncated";
    case Reason::Malformed: return "malformed";
    case Reason::Unsupported: return "unsupported";
    case Reason::Compressed: return "compressed";
    case Reason::NeedsGeometry: return "needs-geometry";
    case Reason::WriteFailed: return "write-failed";
    }
    return "unknown";
}

Error::Error(Reason reason, const std::string& file, const std::string& cause)
    : std::runtime_error(file + ": " + cause), reason_(reason), file_(file), cause_(cause)
{
}

const char* FormatWord(Format format)
{
    switch (format) {
    case Format::Dicom: return "dicom";
    case Format::Nema: return "nema";
    case Format::Signa: return "signa";
    case Format::Genesis: return "genesis";
    case Format::Siemens: return "siemens";
    case Format::Raw: return "raw";
    case Format::Unknown: break;
    }
    return "unknown";
}

const char* PixelTypeWord(PixelType type)
{
    switch (type) {
    case PixelType::U8: return "uint8";
    case PixelType::S8: return "int8";
    case PixelType::U16: return "uint16";
    case PixelType::S16: return "int16";
    case PixelType::U32: return "uint32";
    case PixelType::S32: return "int32";
    case PixelType::F32: return "float32";
    }
    return "unknown";
}

size_t PixelTypeSize(PixelType type)
{
    switch (type) {
    case PixelType::U8:
    case PixelType::S8: return 1;
    case PixelType::U16:
    case PixelType::S16: return 2;
    default: return 4;
    }
}

namespace {

// Calls f with a value of the pixel type (its type is what f needs).
template <class F>
auto WithPixelType(PixelType type, F f)
{
    switch (type) {
    case PixelType::U8: return f(uint8_t());
    case PixelType::S8: return f(int8_t());
    case PixelType::U16: return f(uint16_t());
    case PixelType::S16: return f(int16_t());
    case PixelType::U32: return f(uint32_t());
    case PixelType::S32: return f(int32_t());
    case PixelType::F32: break;
    }
    return f(float());
}

template <class T>
T At(const unsigned char* bytes, size_t index)
{
    T v;
    std::memcpy(&v, bytes + index * sizeof(T), sizeof(T));
    return v;
}

}  // namespace

double Image::Value(size_t index) const
{
    return WithPixelType(pixelType,
                         [&](auto tag) { return static_cast<double>(At<decltype(tag)>(pixelBytes.data(), index)); });
}

std::pair<double, double> Image::Range() const
{
    return WithPixelType(pixelType, [&](auto tag) {
        using T = decltype(tag);
        const size_t n = pixelBytes.size() / sizeof(T);
        T lo = std::numeric_limits<T>::max(), hi = std::numeric_limits<T>::lowest();
        if constexpr (std::is_integral<T>::value) {
            if (n == 0) return std::pair<double, double>{0.0, 0.0};
            PixelRange(reinterpret_cast<const T*>(pixelBytes.data()), n, lo, hi);
            return std::pair<double, double>{static_cast<double>(lo), static_cast<double>(hi)};
        }
        bool any = false;
        for (size_t i = 0; i < n; ++i) {
            const T v = At<T>(pixelBytes.data(), i);
            if constexpr (std::is_floating_point<T>::value) {
                if (std::isnan(v)) continue;
            }
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
            any = true;
        }
        return any ? std::pair<double, double>{static_cast<double>(lo), static_cast<double>(hi)}
                   : std::pair<double, double>{0.0, 0.0};
    });
}

const char* TransferSyntaxName(const std::string& uid)
{
    struct Entry {
        const char* uid;
        const char* name;
    };
    static const Entry kNames[] = {
        {"1.2.840.10008.1.2", "Implicit VR Little Endian"},
        {"1.2.840.10008.1.2.1", "Explicit VR Little Endian"},
        {"1.2.840.10008.1.2.1.99", "Deflated Explicit VR Little Endian"},
        {"1.2.840.10008.1.2.2", "Explicit VR Big Endian"},
        {"1.2.840.10008.1.2.4.50", "JPEG Baseline (Process 1)"},
        {"1.2.840.10008.1.2.4.51", "JPEG Extended (Process 2 & 4)"},
        {"1.2.840.10008.1.2.4.57", "JPEG Lossless, Non-Hierarchical (Process 14)"},
        {"1.2.840.10008.1.2.4.70", "JPEG Lossless, Non-Hierarchical, First-Order Prediction (Process 14 [Selection Value 1])"},
        {"1.2.840.10008.1.2.4.80", "JPEG-LS Lossless Image Compression"},
        {"1.2.840.10008.1.2.4.81", "JPEG-LS Lossy (Near-Lossless) Image Compression"},
        {"1.2.840.10008.1.2.4.90", "JPEG 2000 Image Compression (Lossless Only)"},
        {"1.2.840.10008.1.2.4.91", "JPEG 2000 Image Compression"},
        {"1.2.840.10008.1.2.4.92", "JPEG 2000 Part 2 Multi-component Image Compression (Lossless Only)"},
        {"1.2.840.10008.1.2.4.93", "JPEG 2000 Part 2 Multi-component Image Compression"},
        {"1.2.840.10008.1.2.4.94", "JPIP Referenced"},
        {"1.2.840.10008.1.2.4.95", "JPIP Referenced Deflate"},
        {"1.2.840.10008.1.2.4.100", "MPEG2 Main Profile / Main Level"},
        {"1.2.840.10008.1.2.4.101", "MPEG2 Main Profile / High Level"},
        {"1.2.840.10008.1.2.4.102", "MPEG-4 AVC/H.264 High Profile / Level 4.1"},
        {"1.2.840.10008.1.2.4.103", "MPEG-4 AVC/H.264 BD-compatible High Profile / Level 4.1"},
        {"1.2.840.10008.1.2.4.104", "MPEG-4 AVC/H.264 High Profile / Level 4.2 For 2D Video"},
        {"1.2.840.10008.1.2.4.105", "MPEG-4 AVC/H.264 High Profile / Level 4.2 For 3D Video"},
        {"1.2.840.10008.1.2.4.106", "MPEG-4 AVC/H.264 Stereo High Profile / Level 4.2"},
        {"1.2.840.10008.1.2.4.107", "HEVC/H.265 Main Profile / Level 5.1"},
        {"1.2.840.10008.1.2.4.108", "HEVC/H.265 Main 10 Profile / Level 5.1"},
        {"1.2.840.10008.1.2.4.201", "High-Throughput JPEG 2000 Image Compression (Lossless Only)"},
        {"1.2.840.10008.1.2.4.202", "High-Throughput JPEG 2000 with RPCL Options Image Compression (Lossless Only)"},
        {"1.2.840.10008.1.2.4.203", "High-Throughput JPEG 2000 Image Compression"},
        {"1.2.840.10008.1.2.5", "RLE Lossless"},
    };
    for (const Entry& e : kNames)
        if (uid == e.uid) return e.name;
    return nullptr;
}

}  // namespace quarn
