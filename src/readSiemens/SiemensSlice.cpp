// Siemens slices read into a plain slice: the header through
// FillRawHeaderFromSiemensFile, then the pixel rows after the 6144-byte header.
#include <cstdio>
#include <string>

#include "MriSlice.h"
#include "bytes/ByteCursor.h"
#include "bytes/File.h"
#include "ecError.h"
#include "core/ReadOptions.h"
#include "readSiemens.h"

namespace {
const long kSiemensPixelOffset = 6144;
}  // namespace

template <class T>
int ecMriSlice<T>::GetSiemensFile(const char* fileName, unsigned long flags, void* buffer)
{
    int status = 0;
    quarn::bytes::File file(
        OpenScannerPixels(fileName, FillRawHeaderFromSiemensFile, GetBaseDataType(T()), kSiemensPixelOffset, flags, status));
    if (!file) return status;
    const int cols = pRawHeader->iNumPix;
    const int rows = pRawHeader->iNumPixY;
    // A pixel block shorter than the header's size gives the code of a short
    // read before the slice's storage is touched or anything is allocated.
    const unsigned long count = static_cast<unsigned long>(rows) * static_cast<unsigned long>(cols);
    if (!StreamHoldsAtLeast(file.get(), static_cast<unsigned long long>(count) * sizeof(T)))
        return quarn::StageStatus(-6, 50);
    if (!ecMriSlice<T>::Resize(cols, rows, 0)) return -3;  // the plain slice's storage, also in a display slice
    const int r = GetSiemensImage(file.get(), count, flags, buffer);
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

    const size_t bytes = static_cast<size_t>(cols) * sizeof(T) * static_cast<size_t>(rows);
    bMaxMinSet = false;  // the pixels are about to change
    // The pixels are read straight into the slice's buffer; the file holds
    // big-endian 16-bit pixels. A block cut short is left as read.
    quarn::bytes::FileBlock block;
    block.Read(stream, -1, bytes, pImageData);
    return block.View().CopyWords(pImageData, bytes, 2, quarn::bytes::Order::Big) ? 1 : -6;
}

#define QUARN_SIEMENS_SLICE(T) \
    template int ecMriSlice<T>::GetSiemensFile(const char*, unsigned long, void*); \
    template int ecMriSlice<T>::GetSiemensImage(FILE*, unsigned long, unsigned long, void*);
QUARN_SIEMENS_SLICE(unsigned char)
QUARN_SIEMENS_SLICE(short)
QUARN_SIEMENS_SLICE(float)
