// pictor: display images. An image holds typed pixels (its own buffer or one
// it is pointed at), a gray-value conversion to 0..255 and an 8-bit display
// rendering; display characteristics hold the gray-value translation (the
// window) and the rotation flags a picture is drawn with.
#ifndef QUARN_PICTOR_H
#define QUARN_PICTOR_H

#include <atomic>
#include <cstddef>
#include <mutex>
#include <vector>

#include "QuarnExport.h"
#include "ecBase.h"
#include "ecLookupTable.h"

class ecDisplayCharacteristicsBase;

// Display levels 0..255 for pixel values: a linear window [low, high] mapped
// to 0..255 and clamped, with a precomputed level for each integer value
// first..last (none for floating-point pixels). The levels are computed on
// the first Level() (safe from several threads at once): a slice read for
// display that is never rendered never pays for them.
class QUARN_API ecGrayTable {
public:
    // Levels for the integer values first..last; none when last < first or
    // when the range holds more than 65536 values.
    ecGrayTable(double low, double high, long first, long last);
    ecGrayTable(const ecGrayTable&) = delete;
    ecGrayTable& operator=(const ecGrayTable&) = delete;
    // The level of `value`: 0 at or below low (and for NaN), 255 at or above
    // high, otherwise floor((value - low) * 255 / (high - low) + 0.5).
    static unsigned char WindowLevel(double value, double low, double high);
    unsigned char Level(double value) const;
    double GetLow() const { return dLow; }
    double GetHigh() const { return dHigh; }
    long GetFirst() const { return lFirst; }
    long GetLast() const { return lFirst + static_cast<long>(nLevels) - 1; }
    size_t GetSize() const { return nLevels; }

private:
    // The levels of first..last, computed once.
    const unsigned char* Levels() const;
    void Fill() const;
    // Fills the levels of a window with low < high from the thresholds where
    // the level steps up; false (nothing filled) when one cannot be confirmed.
    bool FillByThresholds(double low, double high, long first, long last) const;

    double dLow;
    double dHigh;
    long lFirst;
    size_t nLevels;
    mutable std::atomic<bool> bFilled;
    mutable std::mutex mFill;
    mutable std::vector<unsigned char> vLevels;
};

class QUARN_API ecImageBase : public ecBase {
public:
    // How pixel values are mapped to the 256 display gray levels.
    enum GrayTranslationMethod {
        GrayLinear = 0,   // linear from [low, high] to 0..255, clamped
        GrayMinMax = 1,   // linear over the image's own minimum and maximum
    };
    ecImageBase();
    ecImageBase(const ecImageBase&) = delete;
    ecImageBase& operator=(const ecImageBase&) = delete;
    ~ecImageBase() override;

    // A bare image has no translation, no pixel range and nothing to save or
    // convert: these answer -100 (not supported).
    virtual int SetGrayValTranslation(GrayTranslationMethod method, double low, double high,
                                      unsigned long options);
    virtual int SetMaxMinValues(unsigned long options);
    virtual int SaveImageData(const char* path, unsigned long options);
    virtual int ConvertImageInformation(unsigned long options);

    // The characteristics whose rotation flags the rendering applies (none:
    // no rotation). Not owned.
    void SetDisplayCharacteristics(const ecDisplayCharacteristicsBase* characteristics)
    {
        pCharacteristics = characteristics;
    }
    const ecDisplayCharacteristicsBase* GetDisplayCharacteristics() const { return pCharacteristics; }

    // The 8-bit rendering made by the last ConvertImageInformation: rows of
    // GetDisplayWidth() levels, top row first; empty before.
    const unsigned char* GetDisplayData() const { return vDisplayData.empty() ? nullptr : vDisplayData.data(); }
    int GetDisplayWidth() const { return iDisplayWidth; }
    int GetDisplayHeight() const { return iDisplayHeight; }

protected:
    const ecDisplayCharacteristicsBase* pCharacteristics;
    std::vector<unsigned char> vDisplayData;
    int iDisplayWidth;
    int iDisplayHeight;
};

template <class T>
class QUARN_API ecImage : public ecImageBase {
public:
    ecImage();
    ~ecImage() override;

    // Gives the image a new buffer of width x height pixels set to `fill`,
    // with its row table; the previous buffer the image owned is released.
    // False (nothing changed) for a size below 1 or above 32768.
    bool Resize(int width, int height, T fill, unsigned long options);
    // As Resize, but the pixel values are left unset: for a caller that
    // writes every pixel next.
    bool ResizeUnfilled(int width, int height);
    // Writes the 8-bit rendering as a binary PGM file ("P5"), converting first
    // when there is no rendering yet. 1; -1 no path, -2 no pixels, -3 the
    // file cannot be opened, -11 write error.
    int SaveImageData(const char* path, unsigned long options) override;
    // Renders the pixels of the view into 8-bit levels, turned and mirrored by
    // the rotation flags of the display characteristics. Each pixel goes
    // through the conversion data (an ecGrayTable) when set, else through the
    // lookup table's luminance (times 255, rounded), else through the window
    // 0..255. Returns the number of levels, or -1 without pixels.
    int ConvertImageInformation(unsigned long options) override;
    // New conversion data for pixel values up to `maxValue`: an ecGrayTable
    // with the window [0, maxValue] and levels for 0..maxValue (integer pixel
    // types). Owned by the image, which keeps the latest one; the result is
    // not installed: callers store it with SetConvertData.
    virtual void* AllocateConvertData(T maxValue, unsigned long options);

    T* GetImagePixels() const { return pPixels; }
    T* const* GetImageRows() const { return ppPixelRows; }
    int GetImageRowCount() const { return iRowTableRows; }
    int GetImageRowStride() const { return iRowStride; }
    int GetImageWidth() const { return iWidth; }
    int GetImageHeight() const { return iHeight; }
    int GetViewWidth() const { return iViewWidth; }
    int GetViewHeight() const { return iViewHeight; }
    // The lookup tables are owned by the image: it releases both (once when
    // they are the same) unless they were taken away before it is destroyed.
    ecLookupTable* GetLookupTable() const { return pLookupTable; }
    void SetLookupTable(ecLookupTable* table) { pLookupTable = table; }
    ecLookupTable* GetSecondLookupTable() const { return pLookupTable2; }
    void SetSecondLookupTable(ecLookupTable* table) { pLookupTable2 = table; }
    void* GetConvertData() const { return pConvertData; }
    void SetConvertData(void* data) { pConvertData = data; }

protected:
    // Points the image at `pixels` (width x height, not owned) and rebuilds
    // its row table over them; a buffer the image owned and no longer shows is
    // released.
    void PointAt(T* pixels, int width, int height);

    T* pPixels;
    T** ppPixelRows;
    int iRowTableRows;
    int iRowStride;
    int iWidth;
    int iHeight;
    int iViewWidth;
    int iViewHeight;
    ecLookupTable* pLookupTable;
    void* pConvertData;
    ecLookupTable* pLookupTable2;

private:
    T* pOwnedPixels;
    ecGrayTable* pOwnedConvertData;
};

template <class T>
class QUARN_API ecImageEx : public ecImage<T> {
public:
    ecImageEx();
    ~ecImageEx() override;
};

class QUARN_API ecDisplayCharacteristicsBase {
public:
    // Rotation flags: a clockwise turn in the two low bits, then mirroring of
    // the turned picture.
    enum RotationFlags : unsigned long {
        Rotate0 = 0,
        Rotate90 = 1,
        Rotate180 = 2,
        Rotate270 = 3,
        RotationMask = 3,
        FlipHorizontal = 4,  // left and right exchanged
        FlipVertical = 8,    // top and bottom exchanged
    };
    ecDisplayCharacteristicsBase();
    ecDisplayCharacteristicsBase(const ecDisplayCharacteristicsBase&) = delete;
    ecDisplayCharacteristicsBase& operator=(const ecDisplayCharacteristicsBase&) = delete;
    virtual ~ecDisplayCharacteristicsBase();

    // The method and the window [low, high] in effect: 1, or -1 (outputs
    // untouched) while no translation has been set.
    int GetGrayValTranslation(ecImageBase::GrayTranslationMethod& method, double& low, double& high) const;
    // 1, or -1 (flags unchanged) when `flags` has bits other than 0..3.
    int SetRotationFlags(unsigned long flags);
    unsigned long GetRotationFlags() const { return ulRotationFlags; }
    // The translation table, owned by the characteristics; null until a
    // translation has been set.
    ecGrayTable* GetTranslationTable() const { return pTranslationTable; }
    // Owned by the characteristics, released with them.
    ecLookupTable* GetDisplayLookupTable() const { return pDisplayLookupTable; }
    void SetDisplayLookupTable(ecLookupTable* table) { pDisplayLookupTable = table; }

    // Used by the translation functions: installs a new window and table.
    void InstallTranslation(ecImageBase::GrayTranslationMethod method, double low, double high, ecGrayTable* table);

protected:
    ecImageBase::GrayTranslationMethod eGrayMethod;
    double dGrayLow;
    double dGrayHigh;
    bool bGraySet;
    ecGrayTable* pTranslationTable;
    ecLookupTable* pDisplayLookupTable;
    unsigned long ulRotationFlags;
};

template <class T>
class QUARN_API ecDisplayCharacteristics : public ecDisplayCharacteristicsBase {
public:
    // Display range 0..255.
    ecDisplayCharacteristics();
    // Rebuilds the translation: SetupGrayValTranslation(*this).
    virtual int SetupGrayValTranslation();
    ~ecDisplayCharacteristics() override;
    // SetGrayValTranslation(*this, method, low, high, options).
    virtual int SetGrayValTranslation(ecImageBase::GrayTranslationMethod method, double low, double high,
                                      unsigned long options);

    T GetDisplayMinimum() const { return tDisplayMin; }
    T GetDisplayMaximum() const { return tDisplayMax; }
    void SetDisplayRange(T minimum, T maximum)
    {
        tDisplayMin = minimum;
        tDisplayMax = maximum;
    }

protected:
    T tDisplayMin;
    T tDisplayMax;
};

// Sets the gray-value translation of `dc`:
// - GrayLinear: the window [low, high]; -2 (nothing changed) unless
//   low <= high (NaN included);
// - GrayMinMax: the window is the display minimum and maximum of `dc`; low
//   and high are not used.
// Any other method gives -1. On success the characteristics hold the method,
// the window and a new translation table (levels for each integer value of the
// display range; none for float), and the result is 1. Options are not used.
template <class T>
QUARN_API int SetGrayValTranslation(ecDisplayCharacteristics<T>& dc, ecImageBase::GrayTranslationMethod method,
                                    double low, double high, unsigned long options);
// Rebuilds the translation with the method and window already set (with
// GrayMinMax, over the current display range); without one, sets GrayMinMax.
template <class T>
QUARN_API int SetupGrayValTranslation(ecDisplayCharacteristics<T>& dc);

extern template class ecImage<unsigned char>;
extern template class ecImage<short>;
extern template class ecImage<float>;
extern template class ecImageEx<unsigned char>;
extern template class ecImageEx<short>;
extern template class ecImageEx<float>;
extern template class ecDisplayCharacteristics<unsigned char>;
extern template class ecDisplayCharacteristics<short>;
extern template class ecDisplayCharacteristics<float>;

#endif
