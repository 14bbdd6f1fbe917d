// GE Signa slices read into a plain slice: the header through
// FillRawHeaderFromSignaFile, the big-endian pixels turned into host values.
#include <cstdio>
#include <memory>
#include <string>

#include "MriSlice.h"
#include "bytes/ByteCursor.h"
#include "bytes/File.h"
#include "ecError.h"
#include "core/ReadOptions.h"
#include "readSigna.h"

namespace {
[[noreturn]] void ShortImageRead() { throw ecError("Short count on image read", 1, 0, -1, -1); }
}  // namespace

template <class T>
int ecMriSlice<T>::GetSignaFile(const char* fileName, unsigned long flags, void* buffer)
{
    int status = 0;
    quarn::bytes::File file(
        OpenScannerPixels(fileName, FillRawHeaderFromSignaFile, GetBaseDataType(T()), -1, flags, status));
    if (!file) return status;
    const int cols = pRawHeader->iNumPix;
    const int rows = pRawHeader->iNumPixY;
    // A pixel block shorter than the header's size is refused before the
    // slice's storage is touched or anything is allocated for it.
    const unsigned long count = static_cast<unsigned long>(rows) * static_cast<unsigned long>(cols);
    if (!StreamHoldsAtLeast(file.get(), static_cast<unsigned long long>(count) * sizeof(T))) ShortImageRead();
    if (!ecMriSlice<T>::Resize(cols, rows, 0)) return -3;  // the plain slice's storage, also in a display slice
    const int r = GetSignaImage(file.Release(), count, flags, buffer);  // closes the stream
    return r < 0 ? quarn::StageStatus(r, 50) : 1;
}

template <class T>
int ecMriSlice<T>::GetSignaImage(FILE* stream, unsigned long pixelCount, unsigned long, void* buffer)
{
    if (!stream) return -1;
    quarn::bytes::File file(stream);
    // The row table spans the slice's rows and columns: the pixels read must
    // fill exactly that many, or the rows would point outside the buffer.
    const unsigned long long slicePixels =
        static_cast<unsigned long long>(iNumRows > 0 ? iNumRows : 0) * static_cast<unsigned long long>(iNumCols > 0 ? iNumCols : 0);
    if (pixelCount == 0 || pixelCount != slicePixels) return -2;
    const size_t n = static_cast<size_t>(pixelCount);
    const size_t bytes = n * sizeof(T);

    // Refuse before allocating when the stream holds fewer bytes than asked for.
    if (!StreamHoldsAtLeast(stream, bytes)) ShortImageRead();

    // The pixels are read straight into the caller's buffer, or into one the
    // slice will own.
    std::unique_ptr<T[]> own(buffer ? nullptr : new T[n]);
    T* dest = buffer ? static_cast<T*>(buffer) : own.get();
    quarn::bytes::FileBlock block;
    block.Read(stream, -1, bytes, dest);
    file.Close();
    // The file holds big-endian pixels.
    if (!block.View().CopyWords(dest, bytes, sizeof(T), quarn::bytes::Order::Big)) ShortImageRead();

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
