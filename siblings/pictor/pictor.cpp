#include "pictor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>

// ---- gray table

namespace {
// std::ceil without the library call: exact for every double, NaN stays NaN.
double Ceil(double x)
{
    if (!(std::fabs(x) < 4503599627370496.0)) return x;  // 2^52 and above hold no fraction
    const double t = static_cast<double>(static_cast<long long>(x));
    return t < x ? t + 1.0 : t;
}
}  // namespace

ecGrayTable::ecGrayTable(double low, double high, long first, long last)
    : dLow(low),
      dHigh(high),
      lFirst(first),
      nLevels(last < first || last - first >= 65536 ? 0 : static_cast<size_t>(last - first + 1)),
      bFilled(false)
{
}

const unsigned char* ecGrayTable::Levels() const
{
    if (!bFilled.load(std::memory_order_acquire)) {
        const std::lock_guard<std::mutex> hold(mFill);
        if (!bFilled.load(std::memory_order_relaxed)) {
            Fill();
            bFilled.store(true, std::memory_order_release);
        }
    }
    return vLevels.data();
}

void ecGrayTable::Fill() const
{
    if (nLevels == 0) return;
    const double low = dLow, high = dHigh;
    const long first = lFirst, last = GetLast();
    if (!(low < high) || !std::isfinite(low) || !std::isfinite(high)) {
        vLevels.resize(static_cast<size_t>(last - first + 1));
        for (size_t i = 0; i < vLevels.size(); ++i)
            vLevels[i] = WindowLevel(static_cast<double>(first + long(i)), low, high);
        return;
    }
    vLevels.reserve(static_cast<size_t>(last - first + 1));
    // With low < high the level never falls as the value grows (every step of
    // WindowLevel is monotonic), so the table is at most 256 runs of equal
    // levels, filled a run at a time. Where a run ends is first computed from
    // the window and confirmed by WindowLevel on both sides of the end (which,
    // the level being monotonic, proves the whole run); when the estimate
    // misses, the end is searched by doubling and halving. A 16-bit image thus
    // costs a few WindowLevel calls per level instead of one per value.
    auto level = [&](long v) { return WindowLevel(static_cast<double>(v), low, high); };
    if (FillByThresholds(low, high, first, last)) return;
    long v = first;
    unsigned char current = level(v);
    while (v <= last) {
        long outside = last + 1;  // the first value whose level differs, or the end
        unsigned char next = current;
        const double edge = Ceil(low + (current + 0.5) * (high - low) / 255.0);
        const long guess = edge <= static_cast<double>(v) ? v + 1
                           : edge > static_cast<double>(last) ? last + 1
                                                              : static_cast<long>(edge);
        if (level(guess - 1) == current && (guess > last || (next = level(guess)) != current)) {
            outside = guess;
        } else {
            long inside = v, step = 1;  // `inside` has the current level
            while (step <= last - v) {
                const long probe = v + step;
                if (level(probe) != current) {
                    outside = probe;
                    break;
                }
                inside = probe;
                step *= 2;
            }
            while (outside - inside > 1) {
                const long mid = inside + (outside - inside) / 2;
                if (level(mid) == current) inside = mid;
                else outside = mid;
            }
            if (outside <= last) next = level(outside);
        }
        vLevels.insert(vLevels.end(), static_cast<size_t>(outside - v), current);
        v = outside;
        current = next;
    }
}

bool ecGrayTable::FillByThresholds(double low, double high, long first, long last) const
{
    // The first value of [first, last + 1] whose level exceeds c, for each c:
    // computed from the window, each confirmed by the levels on both sides of
    // it. The 255 thresholds do not depend on one another, so the processor
    // works on several at once.
    auto level = [&](long v) { return WindowLevel(static_cast<double>(v), low, high); };
    long threshold[256];
    bool confirmed = true;
    for (int c = 0; c < 255; ++c) {
        const double edge = Ceil(low + (c + 0.5) * (high - low) / 255.0);
        const long t = edge <= static_cast<double>(first) ? first
                       : edge > static_cast<double>(last) ? last + 1
                                                          : static_cast<long>(edge);
        if ((t > first && level(t - 1) > c) || (t <= last && level(t) <= c)) confirmed = false;
        threshold[c] = t;
    }
    if (!confirmed) return false;
    threshold[255] = last + 1;
    long v = first;
    for (int c = 0; c < 256 && v <= last; ++c) {
        if (threshold[c] <= v) continue;
        vLevels.insert(vLevels.end(), static_cast<size_t>(threshold[c] - v), static_cast<unsigned char>(c));
        v = threshold[c];
    }
    return true;
}

unsigned char ecGrayTable::WindowLevel(double value, double low, double high)
{
    if (!(value > low)) return 0;
    if (value >= high) return 255;
    // Rounded to the nearest level: for x >= 0 the truncation is the floor.
    const double x = (value - low) * 255.0 / (high - low) + 0.5;
    if (!(x >= 0.0)) return 0;
    if (x >= 256.0) return 255;
    return static_cast<unsigned char>(x);
}

unsigned char ecGrayTable::Level(double value) const
{
    if (nLevels != 0 && value >= static_cast<double>(lFirst) && value <= static_cast<double>(GetLast()) &&
        value == std::floor(value))
        return Levels()[static_cast<size_t>(static_cast<long>(value) - lFirst)];
    return WindowLevel(value, dLow, dHigh);
}

// ---- image base

ecImageBase::ecImageBase() : pCharacteristics(nullptr), iDisplayWidth(0), iDisplayHeight(0) {}
ecImageBase::~ecImageBase() = default;

int ecImageBase::SetGrayValTranslation(GrayTranslationMethod, double, double, unsigned long) { return -100; }
int ecImageBase::SetMaxMinValues(unsigned long) { return -100; }
int ecImageBase::SaveImageData(const char*, unsigned long) { return -100; }
int ecImageBase::ConvertImageInformation(unsigned long) { return -100; }

// ---- typed image

template <class T>
ecImage<T>::ecImage()
    : pPixels(nullptr),
      ppPixelRows(nullptr),
      iRowTableRows(0),
      iRowStride(0),
      iWidth(0),
      iHeight(0),
      iViewWidth(0),
      iViewHeight(0),
      pLookupTable(nullptr),
      pConvertData(nullptr),
      pLookupTable2(nullptr),
      pOwnedPixels(nullptr),
      pOwnedConvertData(nullptr)
{
}

template <class T>
ecImage<T>::~ecImage()
{
    if (pLookupTable2 != pLookupTable) delete pLookupTable2;
    delete pLookupTable;
    delete pOwnedConvertData;
    delete[] ppPixelRows;
    delete[] pOwnedPixels;
}

template <class T>
bool ecImage<T>::Resize(int width, int height, T fill, unsigned long)
{
    if (!ResizeUnfilled(width, height)) return false;
    std::fill(pPixels, pPixels + static_cast<size_t>(width) * static_cast<size_t>(height), fill);
    return true;
}

template <class T>
bool ecImage<T>::ResizeUnfilled(int width, int height)
{
    if (width < 1 || height < 1 || width > 32768 || height > 32768) return false;
    const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    T* pixels = new T[n];
    T** rows;
    try {
        rows = new T*[static_cast<size_t>(height)];
    } catch (...) {
        delete[] pixels;
        throw;
    }
    delete[] pOwnedPixels;
    delete[] ppPixelRows;
    pOwnedPixels = pixels;
    pPixels = pixels;
    ppPixelRows = rows;
    iRowTableRows = height;
    iRowStride = width;
    iWidth = iViewWidth = width;
    iHeight = iViewHeight = height;
    for (int r = 0; r < height; ++r) ppPixelRows[r] = pPixels + static_cast<size_t>(r) * static_cast<size_t>(width);
    vDisplayData.clear();
    iDisplayWidth = iDisplayHeight = 0;
    return true;
}

template <class T>
void ecImage<T>::PointAt(T* pixels, int width, int height)
{
    if (pixels != pOwnedPixels) {
        delete[] pOwnedPixels;
        pOwnedPixels = nullptr;
    }
    if (!ppPixelRows || iRowTableRows != height) {
        T** rows = new T*[static_cast<size_t>(height)];
        delete[] ppPixelRows;
        ppPixelRows = rows;
        iRowTableRows = height;
    }
    pPixels = pixels;
    iRowStride = width;
    iWidth = iViewWidth = width;
    iHeight = iViewHeight = height;
    ppPixelRows[0] = pPixels;
    for (int r = 1; r < iRowTableRows; ++r) ppPixelRows[r] = ppPixelRows[r - 1] + iRowStride;
    vDisplayData.clear();
    iDisplayWidth = iDisplayHeight = 0;
}

template <class T>
int ecImage<T>::ConvertImageInformation(unsigned long)
{
    const int w = iViewWidth < iRowStride ? iViewWidth : iRowStride;
    const int h = iViewHeight < iRowTableRows ? iViewHeight : iRowTableRows;
    if (!pPixels || !ppPixelRows || w < 1 || h < 1) return -1;
    const unsigned long flags = pCharacteristics ? pCharacteristics->GetRotationFlags() : 0;
    const unsigned long turn = flags & ecDisplayCharacteristicsBase::RotationMask;
    const bool sideways = turn == ecDisplayCharacteristicsBase::Rotate90 ||
                          turn == ecDisplayCharacteristicsBase::Rotate270;
    const int dw = sideways ? h : w;
    const int dh = sideways ? w : h;
    const ecGrayTable* table = static_cast<const ecGrayTable*>(pConvertData);
    std::vector<unsigned char> out(static_cast<size_t>(dw) * static_cast<size_t>(dh));
    for (int y = 0; y < dh; ++y) {
        // Undo the mirroring, then the turn, to find the source pixel.
        const int yr = (flags & ecDisplayCharacteristicsBase::FlipVertical) ? dh - 1 - y : y;
        for (int x = 0; x < dw; ++x) {
            const int xr = (flags & ecDisplayCharacteristicsBase::FlipHorizontal) ? dw - 1 - x : x;
            int sx, sy;
            switch (turn) {
            case ecDisplayCharacteristicsBase::Rotate90: sx = yr; sy = h - 1 - xr; break;
            case ecDisplayCharacteristicsBase::Rotate180: sx = w - 1 - xr; sy = h - 1 - yr; break;
            case ecDisplayCharacteristicsBase::Rotate270: sx = w - 1 - yr; sy = xr; break;
            default: sx = xr; sy = yr; break;
            }
            const double v = static_cast<double>(ppPixelRows[sy][sx]);
            unsigned char level;
            if (table) {
                level = table->Level(v);
            } else if (pLookupTable) {
                const double l = std::floor(255.0 * pLookupTable->GetLuminance(static_cast<float>(v)) + 0.5);
                level = l <= 0.0 ? 0 : l >= 255.0 ? 255 : static_cast<unsigned char>(l);
            } else {
                level = ecGrayTable::WindowLevel(v, 0.0, 255.0);
            }
            out[static_cast<size_t>(y) * static_cast<size_t>(dw) + static_cast<size_t>(x)] = level;
        }
    }
    vDisplayData.swap(out);
    iDisplayWidth = dw;
    iDisplayHeight = dh;
    return dw * dh;
}

template <class T>
int ecImage<T>::SaveImageData(const char* path, unsigned long options)
{
    if (!path) return -1;
    if (vDisplayData.empty() && ConvertImageInformation(options) < 0) return -2;
    FILE* fp = std::fopen(path, "wb");
    if (!fp) return -3;
    const int headerOk = std::fprintf(fp, "P5\n%d %d\n255\n", iDisplayWidth, iDisplayHeight) > 0;
    const size_t written = std::fwrite(vDisplayData.data(), 1, vDisplayData.size(), fp);
    const bool closed = std::fclose(fp) == 0;
    return (headerOk && written == vDisplayData.size() && closed) ? 1 : -11;
}

template <class T>
void* ecImage<T>::AllocateConvertData(T maxValue, unsigned long)
{
    const double high = static_cast<double>(maxValue);
    ecGrayTable* table;
    if (std::is_floating_point<T>::value || !(high >= 0.0)) table = new ecGrayTable(0.0, high, 0, -1);
    else table = new ecGrayTable(0.0, high, 0, static_cast<long>(high));
    delete pOwnedConvertData;
    pOwnedConvertData = table;
    return table;
}

template <class T>
ecImageEx<T>::ecImageEx() = default;
template <class T>
ecImageEx<T>::~ecImageEx() = default;

// ---- display characteristics

ecDisplayCharacteristicsBase::ecDisplayCharacteristicsBase()
    : eGrayMethod(ecImageBase::GrayLinear),
      dGrayLow(0.0),
      dGrayHigh(255.0),
      bGraySet(false),
      pTranslationTable(nullptr),
      pDisplayLookupTable(nullptr),
      ulRotationFlags(0)
{
}

ecDisplayCharacteristicsBase::~ecDisplayCharacteristicsBase()
{
    delete pTranslationTable;
    delete pDisplayLookupTable;
}

int ecDisplayCharacteristicsBase::GetGrayValTranslation(ecImageBase::GrayTranslationMethod& method, double& low,
                                                        double& high) const
{
    if (!bGraySet) return -1;
    method = eGrayMethod;
    low = dGrayLow;
    high = dGrayHigh;
    return 1;
}

int ecDisplayCharacteristicsBase::SetRotationFlags(unsigned long flags)
{
    if (flags & ~static_cast<unsigned long>(RotationMask | FlipHorizontal | FlipVertical)) return -1;
    ulRotationFlags = flags;
    return 1;
}

void ecDisplayCharacteristicsBase::InstallTranslation(ecImageBase::GrayTranslationMethod method, double low,
                                                      double high, ecGrayTable* table)
{
    delete pTranslationTable;
    pTranslationTable = table;
    eGrayMethod = method;
    dGrayLow = low;
    dGrayHigh = high;
    bGraySet = true;
}

template <class T>
ecDisplayCharacteristics<T>::ecDisplayCharacteristics() : tDisplayMin(0), tDisplayMax(255)
{
}

template <class T>
ecDisplayCharacteristics<T>::~ecDisplayCharacteristics() = default;

template <class T>
int ecDisplayCharacteristics<T>::SetupGrayValTranslation()
{
    return ::SetupGrayValTranslation(*this);
}

template <class T>
int ecDisplayCharacteristics<T>::SetGrayValTranslation(ecImageBase::GrayTranslationMethod method, double low,
                                                       double high, unsigned long options)
{
    return ::SetGrayValTranslation(*this, method, low, high, options);
}

template <class T>
int SetGrayValTranslation(ecDisplayCharacteristics<T>& dc, ecImageBase::GrayTranslationMethod method, double low,
                          double high, unsigned long)
{
    if (method == ecImageBase::GrayMinMax) {
        low = static_cast<double>(dc.GetDisplayMinimum());
        high = static_cast<double>(dc.GetDisplayMaximum());
    } else if (method != ecImageBase::GrayLinear) {
        return -1;
    }
    if (!(low <= high)) return -2;
    ecGrayTable* table;
    const double first = static_cast<double>(dc.GetDisplayMinimum());
    const double last = static_cast<double>(dc.GetDisplayMaximum());
    if (std::is_floating_point<T>::value || !(first <= last)) table = new ecGrayTable(low, high, 0, -1);
    else table = new ecGrayTable(low, high, static_cast<long>(first), static_cast<long>(last));
    dc.InstallTranslation(method, low, high, table);
    return 1;
}

template <class T>
int SetupGrayValTranslation(ecDisplayCharacteristics<T>& dc)
{
    ecImageBase::GrayTranslationMethod method = ecImageBase::GrayMinMax;
    double low = 0.0, high = 0.0;
    if (dc.GetGrayValTranslation(method, low, high) < 1) method = ecImageBase::GrayMinMax;
    return SetGrayValTranslation(dc, method, low, high, 0);
}

#define PICTOR_INSTANCES(T)                                                                                     \
    template class ecImage<T>;                                                                                  \
    template class ecImageEx<T>;                                                                                \
    template class ecDisplayCharacteristics<T>;                                                                 \
    template int SetGrayValTranslation(ecDisplayCharacteristics<T>&, ecImageBase::GrayTranslationMethod, double, \
                                       double, unsigned long);                                                 \
    template int SetupGrayValTranslation(ecDisplayCharacteristics<T>&);
PICTOR_INSTANCES(unsigned char)
PICTOR_INSTANCES(short)
PICTOR_INSTANCES(float)
