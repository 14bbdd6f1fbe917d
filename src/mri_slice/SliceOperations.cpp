// Pixel operations of the plain slice: resize, minimum and maximum,
// histogram and saving.
#include <cstdio>
#include <cstring>
#include <memory>
#include <typeinfo>

#include "MriSlice.h"
#include "bytes/File.h"
#include "mri_slice/PixelRange.h"
#include "core/ReadOptions.h"

template <class T>
bool ecMriSlice<T>::Resize(int nCols, int nRows, unsigned long)
{
    if (nCols < 16 || nCols > 1024 || nRows < 16 || nRows > 1024) return false;
    if (nCols == iNumCols && nRows == iNumRows) return true;
    // The new buffer is the slice's own; its pixels have not been scanned.
    std::unique_ptr<T[]> pixels(new T[static_cast<size_t>(nRows) * static_cast<size_t>(nCols)]);
    InstallPixels(pixels.get(), true, nRows, nCols, MaxMinMark::Clear);
    pixels.release();
    return true;
}

template <class T>
long ecMriSlice<T>::FindImageMaxMin(T& minVal, T& maxVal, unsigned long)
{
    const long long n = static_cast<long long>(iNumRows) * iNumCols;
    if (!pImageData || n < 1) return -1;
    T lo = GetMaximumGrayValue(T());
    T hi = GetMinimumGrayValue(T());
    PixelRange(pImageData, static_cast<size_t>(n), lo, hi);
    minVal = lo;
    maxVal = hi;
    return static_cast<long>(n);
}

template <class T>
int ecMriSlice<T>::SetMaxMinValues(unsigned long options)
{
    if (!pImageData) return -1;
    if (static_cast<long long>(iNumRows) * iNumCols < 1) return -2;
    const int n = static_cast<int>(ecMriSlice<T>::FindImageMaxMin(tMinVal, tMaxVal, options));
    bMaxMinSet = true;
    return n;
}

template <class T>
int ecMriSlice<T>::Decimate(int, void*, unsigned long)
{
    // The three-argument form does not halve: it recomputes the minimum and
    // maximum exactly as SetMaxMinValues does.
    return ecMriSlice<T>::SetMaxMinValues(0);
}

template <class T>
int ecMriSlice<T>::FillHistogram(ecHistogramBase* hist, unsigned long)
{
    if (!hist) return -1;
    auto* typed = dynamic_cast<ecHistogram<T>*>(hist);
    if (!typed) return -2;
    if (!typed->IsReady(0)) return -3;
    const long long n = static_cast<long long>(iNumRows) * iNumCols;
    if (n < 1 || !pImageData) return -4;
    return typed->FillHistogramData(pImageData, static_cast<int>(n)) ? 1 : -5;
}

template <class T>
int ecMriSlice<T>::SaveImageData(const char* path, unsigned long options)
{
    if (!path) return -1;
    if (!pImageData || iNumRows < 1 || iNumCols < 1) return -2;
    quarn::bytes::File file(path, "wb");
    if (!file) return -3;
    if (!(options & quarn::kSavePixelsOnly)) {
        RawImageDataHeader header;
        header.nCols = static_cast<int16_t>(iNumCols);
        header.nRows = static_cast<int16_t>(iNumRows);
        header.DataType = GetBaseDataType(T());
        unsigned char bytes[12];
        header.Encode(bytes);
        if (std::fwrite(bytes, sizeof bytes, 1, file.get()) != 1) return -12;
    }
    const size_t written = std::fwrite(pImageData, static_cast<size_t>(iNumCols) * sizeof(T),
                                       static_cast<size_t>(iNumRows), file.get());
    const bool closed = file.CloseChecked();
    return (written == static_cast<size_t>(iNumRows) && closed) ? 1 : -11;
}

RawImageDataHeader& RawImageDataHeader::operator=(const RawImageDataHeader& other)
{
    nCols = other.nCols;
    nRows = other.nRows;
    DataType = other.DataType;
    return *this;
}

int RawImageDataHeader::operator==(const RawImageDataHeader& other) const
{
    return nCols == other.nCols && nRows == other.nRows && DataType == other.DataType;
}

void RawImageDataHeader::Encode(unsigned char out[12]) const
{
    const uint16_t c = static_cast<uint16_t>(nCols);
    const uint16_t r = static_cast<uint16_t>(nRows);
    const uint32_t d = static_cast<uint32_t>(DataType);
    std::memset(out, 0, 4);
    out[4] = static_cast<unsigned char>(c & 0xFF);
    out[5] = static_cast<unsigned char>(c >> 8);
    out[6] = static_cast<unsigned char>(r & 0xFF);
    out[7] = static_cast<unsigned char>(r >> 8);
    for (int i = 0; i < 4; ++i) out[8 + i] = static_cast<unsigned char>((d >> (8 * i)) & 0xFF);
}

#define QUARN_SLICE_OPERATIONS(T)                                                         \
    template bool ecMriSlice<T>::Resize(int, int, unsigned long);                        \
    template long ecMriSlice<T>::FindImageMaxMin(T&, T&, unsigned long);                 \
    template int ecMriSlice<T>::SetMaxMinValues(unsigned long);                          \
    template int ecMriSlice<T>::Decimate(int, void*, unsigned long);                     \
    template int ecMriSlice<T>::FillHistogram(ecHistogramBase*, unsigned long);          \
    template int ecMriSlice<T>::SaveImageData(const char*, unsigned long);
QUARN_SLICE_OPERATIONS(unsigned char)
QUARN_SLICE_OPERATIONS(short)
QUARN_SLICE_OPERATIONS(float)
