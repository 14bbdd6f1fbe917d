// Siemens slices read into a plain slice: the header through
// FillRawHeaderFromSiemensFile, then the pixel rows after the 6144-byte header.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "MriSlice.h"
#include "ecError.h"
#include "mri_slice/ReadOptions.h"
#include "readSiemens.h"

namespace {
const long kSiemensPixelOffset = 6144;
}  // namespace

template <class T>
int ecMriSlice<T>::GetSiemensFile(const char* fileName, unsigned long flags, void* buffer)
{
    int status = 0;
    FILE* fp = OpenScannerPixels(fileName, FillRawHeaderFromSiemensFile, GetBaseDataType(T()), kSiemensPixelOffset, flags, status);
    if (!fp) return status;
    const int cols = pRawHeader->iNumPix;
    const int rows = pRawHeader->iNumPixY;
    // A pixel block shorter than the header's size gives the code of a short
    // read before the slice's storage is touched or anything is allocated.
    const unsigned long count = static_cast<unsigned long>(rows) * static_cast<unsigned long>(cols);
    if (!StreamHoldsAtLeast(fp, static_cast<unsigned long long>(count) * sizeof(T))) {
        std::fclose(fp);
        return quarn::StageStatus(-6, 50);
    }
    if (!ecMriSlice<T>::Resize(cols, rows, 0)) {  // the plain slice's storage, also in a display slice
        std::fclose(fp);
        return -3;
    }
    const int r = GetSiemensImage(fp, count, flags, buffer);
    std::fclose(fp);
    return r < 0 ? quarn::StageStatus(r, 50) : 1;
}

template <class T>
int ecMriSlice<T>::GetSiemensImage(FILE* stream, unsigned long, unsigned long, void*)
{
    if (!stream) return -1;
    if (!pRawHeader || !pRawHeader->bIsValid) return -2;
    if (!pImageData) return -3;
    const int cols = pRawHeader->iNumPix;
    const int rows = pRawHeader->iNumPixY;
    if (cols < 16 || cols > 1024 || rows < 16 || rows > 1024) {
        pRawHeader->bIsValid = false;
        return -5;
    }
    // The header's size may have been set apart from the storage (a record
    // handed in by the caller): never read more pixels than the buffer holds.
    if (static_cast<long long>(rows) * cols > static_cast<long long>(iNumRows) * iNumCols) return -3;

    const size_t rowBytes = static_cast<size_t>(cols) * sizeof(T);
    bMaxMinSet = false;  // the pixels are about to change
    const size_t got = std::fread(pImageData, rowBytes, static_cast<size_t>(rows), stream);
    if (got < static_cast<size_t>(rows)) return -6;
    // The file holds big-endian 16-bit pixels: exchange each pair of bytes.
    if (HostStoresLowByteFirst()) SwapBytePairs(pImageData, rowBytes * static_cast<size_t>(rows));
    return 1;
}

#define QUARN_SIEMENS_SLICE(T) \
    template int ecMriSlice<T>::GetSiemensFile(const char*, unsigned long, void*); \
    template int ecMriSlice<T>::GetSiemensImage(FILE*, unsigned long, unsigned long, void*);
QUARN_SIEMENS_SLICE(unsigned char)
QUARN_SIEMENS_SLICE(short)
QUARN_SIEMENS_SLICE(float)
