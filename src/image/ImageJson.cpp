// The image's DICOM keywords as a JSON object: the one description the tool
// prints and the Python module hands out.
#include <charconv>
#include <cmath>
#include <string>

#include "QuarnImage.h"

namespace quarn {

namespace {

class Object {
public:
    void Key(const char* key)
    {
        text_ += first_ ? "{" : ", ";
        first_ = false;
        text_ += '"';
        text_ += key;
        text_ += "\": ";
    }
    void Number(double v)
    {
        if (!std::isfinite(v)) {
            text_ += "null";
            return;
        }
        char buf[32];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        text_.append(buf, r.ptr);
    }
    void String(const std::string& s)
    {
        text_ += '"';
        for (unsigned char c : s) {
            if (c == '"' || c == '\\') {
                text_ += '\\';
                text_ += static_cast<char>(c);
            } else if (c < 0x20 || c >= 0x7F) {
                // Bytes outside printable ASCII are kept as Latin-1 characters.
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                text_ += esc;
            } else {
                text_ += static_cast<char>(c);
            }
        }
        text_ += '"';
    }
    template <class T>
    void Optional(const char* key, const std::optional<T>& v)
    {
        Key(key);
        if (!v)
            text_ += "null";
        else
            Put(*v);
    }
    template <class T>
    void Required(const char* key, const T& v)
    {
        Key(key);
        Put(v);
    }
    std::string Done() { return first_ ? "{}" : text_ + "}"; }

private:
    void Put(double v) { Number(v); }
    void Put(int v) { Number(v); }
    void Put(const std::string& s) { String(s); }
    template <size_t N>
    void Put(const std::array<double, N>& a)
    {
        text_ += '[';
        for (size_t i = 0; i < N; ++i) {
            if (i) text_ += ", ";
            Number(a[i]);
        }
        text_ += ']';
    }

    std::string text_;
    bool first_ = true;
};

}  // namespace

std::string ImageJson(const Image& image)
{
    Object o;
    o.Required("Rows", image.rows);
    o.Required("Columns", image.columns);
    o.Optional("NumberOfFrames", image.numberOfFrames);
    o.Optional("PixelSpacing", image.pixelSpacing);
    o.Optional("SliceThickness", image.sliceThickness);
    o.Optional("SpacingBetweenSlices", image.spacingBetweenSlices);
    o.Optional("ImagePositionPatient", image.imagePosition);
    o.Optional("ImageOrientationPatient", image.imageOrientation);
    o.Optional("InstanceNumber", image.instanceNumber);
    o.Optional("SeriesInstanceUID", image.seriesInstanceUID);
    o.Optional("SeriesNumber", image.seriesNumber);
    o.Optional("SeriesDescription", image.seriesDescription);
    o.Required("BitsAllocated", image.bitsAllocated);
    o.Required("BitsStored", image.bitsStored);
    o.Required("PixelRepresentation", image.pixelRepresentation);
    o.Optional("PhotometricInterpretation", image.photometricInterpretation);
    o.Optional("RescaleSlope", image.rescaleSlope);
    o.Optional("RescaleIntercept", image.rescaleIntercept);
    o.Optional("WindowCenter", image.windowCenter);
    o.Optional("WindowWidth", image.windowWidth);
    o.Optional("TransferSyntaxUID", image.transferSyntaxUID);
    std::optional<double> lo, hi;
    if (!image.pixelBytes.empty()) {
        const auto r = image.Range();
        lo = r.first;
        hi = r.second;
    }
    o.Optional("Minimum", lo);
    o.Optional("Maximum", hi);
    return o.Done();
}

}  // namespace quarn
