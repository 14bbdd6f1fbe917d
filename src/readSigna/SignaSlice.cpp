// GE Signa slices read into a plain slice: the header through
// FillRawHeaderFromSignaFile, the big-endian pixels turned into host values.
#include <cstdint>
#include <cstdio>
#include <cstring>
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

    T* dest = static_cast<T*>(buffer);
    const bool allocated = (dest == nullptr);
    T** table = nullptr;
    try {
        if (allocated) dest = new T[n];
        table = new T*[static_cast<size_t>(iNumRows)];
    } catch (...) {
        if (allocated) delete[] dest;
        std::fclose(stream);
        throw;
    }
    const size_t got = std::fread(dest, 1, bytes, stream);
    std::fclose(stream);
    if (got < bytes) {
        if (allocated) delete[] dest;
        delete[] table;
        throw ecError("Short count on image read", 1, 0, -1, -1);
    }
    // The file holds big-endian pixels.
    if (HostStoresLowByteFirst()) ByteSwapPixels(dest, dest, static_cast<int>(n));

    // Install the pixels; the slice's previous buffer is released when it
    // owned it (a caller's buffer is left alone), and so is the old row table.
    if (bOwnsData && pImageData != dest) delete[] pImageData;
    delete[] ppRowPtrs;
    pImageData = dest;
    bOwnsData = allocated;
    ppRowPtrs = table;
    bMaxMinSet = false;  // the new pixels have not been scanned
    for (int i = 0; i < iNumRows; ++i) ppRowPtrs[i] = pImageData + static_cast<size_t>(i) * static_cast<size_t>(iNumCols);
    return 1;
}

#define QUARN_SIGNA_SLICE(T) \
    template int ecMriSlice<T>::GetSignaFile(const char*, unsigned long, void*); \
    template int ecMriSlice<T>::GetSignaImage(FILE*, unsigned long, unsigned long, void*);
QUARN_SIGNA_SLICE(unsigned char)
QUARN_SIGNA_SLICE(short)
QUARN_SIGNA_SLICE(float)
