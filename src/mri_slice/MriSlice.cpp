#include "MriSlice.h"

#include <cstring>
#include <memory>
#include <new>

#include "ecError.h"
#include "core/ReadOptions.h"

template <class T>
ecMriSlice<T>::ecMriSlice()
    : pImageData(nullptr), ppRowPtrs(nullptr), iNumRows(0), iNumCols(0), tMinVal(0), tMaxVal(255), bMaxMinSet(false)
{
}

template <class T>
ecMriSlice<T>::ecMriSlice(const char* name, MriFileType type, ecRawHeaderInfo* hdr, unsigned long options, T* data)
    : ecMriSlice()
{
    const int status = ReadRawSlice(name, type, hdr, options, data);
    if (status < 0) {
        char tail[48];
        std::snprintf(tail, sizeof tail, "> status = %d", status);
        throw ecError(std::string("? Unable to open raw mri file <") + (name ? name : "") + tail, 1, 0, -1, -1);
    }
}

template <class T>
ecMriSlice<T>::~ecMriSlice()
{
    if (bOwnsData) delete[] pImageData;
    delete[] ppRowPtrs;
}

template <class T>
void ecMriSlice<T>::InstallPixels(T* data, bool owned, int rows, int cols, MaxMinMark mark)
{
    const size_t nRows = rows > 0 ? static_cast<size_t>(rows) : 0;
    const size_t nCols = cols > 0 ? static_cast<size_t>(cols) : 0;
    if (!ppRowPtrs || iNumRows != rows) {
        T** table = new T*[nRows];
        delete[] ppRowPtrs;
        ppRowPtrs = table;
    }
    if (bOwnsData && pImageData != data) delete[] pImageData;
    pImageData = data;
    bOwnsData = owned;
    iNumRows = rows;
    iNumCols = cols;
    if (mark == MaxMinMark::Clear) bMaxMinSet = false;
    for (size_t r = 0; r < nRows; ++r) ppRowPtrs[r] = data ? data + r * nCols : nullptr;
}

template <class T>
int ecMriSlice<T>::SetupStorage(ecRawHeaderInfo* hdr, unsigned long options, T* data)
{
    if (!hdr || !hdr->IsValidForUse(2)) return -1;
    const bool halve = (options & quarn::kReadHalve) != 0;
    const int rows = halve ? hdr->iNumPixY / 2 : hdr->iNumPixY;
    const int cols = halve ? hdr->iNumPix / 2 : hdr->iNumPix;
    if (!pImageData && !ppRowPtrs) {
        std::unique_ptr<T[]> own(data ? nullptr : new T[static_cast<size_t>(rows) * static_cast<size_t>(cols)]);
        InstallPixels(data ? data : own.get(), data == nullptr, rows, cols, MaxMinMark::Keep);
        own.release();
    } else if (!bOwnsData && data) {
        InstallPixels(data, false, rows, cols, MaxMinMark::Keep);
    } else {
        return -5;
    }
    return rows * cols;
}

template <class T>
int ecMriSlice<T>::GetImageData(T* dst, int capacity, unsigned long) const
{
    const long long n = static_cast<long long>(iNumRows) * iNumCols;
    if (n < 1 || !pImageData) return -10;
    if (!dst) return -1;
    if (n > capacity) return -2;
    std::memcpy(dst, pImageData, static_cast<size_t>(n) * sizeof(T));
    return static_cast<int>(n);
}

template class ecMriSlice<unsigned char>;
template class ecMriSlice<short>;
template class ecMriSlice<float>;
