// GE Signa slices read into a plain slice: the header through
// FillRawHeaderFromSignaFile, the big-endian pixels turned into host values.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "MriSlice.h"
#include "ecError.h"
#include "mri_slice/ReadOptions.h"
#include "readSigna.h"

template <class T>
int ecMriSlice<T>::GetSignaFile(const char* fileName, unsigned long flags, void* buffer)
{
    int status = 0;
    FILE* fp = OpenScannerPixels(fileName, FillRawHeaderFromSignaFile, GetBaseDataType(T()), -1, flags, status);
    if (!fp) return status;
    const int cols = pRawHeader->iNumPix;
    const int rows = pRawHeader->iNumPixY;
    // A pixel block shorter than the header's size is refused before the
    // slice's storage is touched or anything is allocated for it.
    const unsigned long count = static_cast<unsigned long>(rows) * static_cast<unsigned long>(cols);
    if (!StreamHoldsAtLeast(fp, static_cast<unsigned long long>(count) * sizeof(T))) {
        std::fclose(fp);
        throw ecError("Short count on image read", 1, 0, -1, -1);
    }
    if (!ecMriSlice<T>::Resize(cols, rows, 0)) {  // the plain slice's storage, also in a display slice
        std::fclose(fp);
        return -3;
    }
    const int r = GetSignaImage(fp, count, flags, buffer);  // closes fp
    return r < 0 ? quarn::StageStatus(r, 50) : 1;
}

template <class T>
int ecMriSlice<T>::GetSignaImage(FILE* stream, unsigned long pixelCount, unsigned long, void* buffer)
{
    if (!stream) return -1;
    // The row table spans the slice's rows and columns: the pixels read must
    // fill exactly that many, or the rows would point outside the buffer.
    const unsigned long long slicePixels =
        static_cast<unsigned long long>(iNumRows > 0 ? iNumRows : 0) * static_cast<unsigned long long>(iNumCols > 0 ? iNumCols : 0);
    if (pixelCount == 0 || pixelCount != slicePixels) {
        std::fclose(stream);
        return -2;
    }
    const size_t n = static_cast<size_t>(pixelCount);
    const size_t bytes = n * sizeof(T);

    // Refuse before allocating when the stream holds fewer bytes than asked for.
    if (!StreamHoldsAtLeast(stream, bytes)) {
        std::fclose(stream);
        throw ecError("Short count on image read", 1, 0, -1, -1);
    }

    // The pixels go into the caller's buffer, or into one the slice will own.
    std::unique_ptr<T[]> own;
    try {
        if (!buffer) own.reset(new T[n]);
    } catch (...) {
        std::fclose(stream);
        throw;
    }
    T* dest = buffer ? static_cast<T*>(buffer) : own.get();
    const size_t got = std::fread(dest, 1, bytes, stream);
    std::fclose(stream);
    if (got < bytes) throw ecError("Short count on image read", 1, 0, -1, -1);
    // The file holds big-endian pixels.
    if (HostStoresLowByteFirst()) ByteSwapPixels(dest, dest, static_cast<int>(n));

    // A previous buffer is released when the slice owned it (a caller's
    // buffer is left alone); the new pixels have not been scanned.
    InstallPixels(dest, own != nullptr, iNumRows, iNumCols, MaxMinMark::Clear);
    own.release();
    return 1;
}

#define QUARN_SIGNA_SLICE(T) \
    template int ecMriSlice<T>::GetSignaFile(const char*, unsigned long, void*); \
    template int ecMriSlice<T>::GetSignaImage(FILE*, unsigned long, unsigned long, void*);
QUARN_SIGNA_SLICE(unsigned char)
QUARN_SIGNA_SLICE(short)
QUARN_SIGNA_SLICE(float)
