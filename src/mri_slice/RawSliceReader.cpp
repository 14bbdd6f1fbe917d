// Reading headerless raw slice files, and the 2 x 2 halving.
#include <cstdio>
#include <memory>
#include <new>

#include "MriSlice.h"
#include "bytes/ByteCursor.h"
#include "bytes/File.h"
#include "core/ReadOptions.h"

namespace {
// The offset of the pixel block: -1 means the last `blockBytes` bytes of the
// file (its start when it is shorter), 0 the start, anything else an absolute
// offset (a negative one the start too). As with any seek, a position beyond
// the end is not an error here: a short file shows up as a short block.
long PixelOffset(FILE* fp, long offset, size_t blockBytes)
{
    if (offset == -1) return quarn::bytes::FileBlock::OffsetOfLast(fp, blockBytes);
    return offset > 0 ? offset : 0;
}

// Reads `n` pixel bytes at `offset` straight into `dst`, each pair of bytes
// exchanged for a swapped raw file; false for a block cut short, which is
// left as read.
bool ReadPixels(FILE* fp, long offset, void* dst, size_t n, bool swapped)
{
    using quarn::bytes::Order;
    const Order host = quarn::bytes::HostOrder();
    const Order stored = !swapped ? host : host == Order::Little ? Order::Big : Order::Little;
    quarn::bytes::FileBlock block;
    block.Read(fp, offset, n, dst);
    return block.View().CopyWords(dst, n, 2, stored);
}
}  // namespace

template <class T>
int ecMriSlice<T>::ReadRawSlice(const char* name, MriFileType type, ecRawHeaderInfo* hdr, unsigned long options,
                                T* data)
{
    if (!hdr || !hdr->IsValidForUse(2)) return -1;
    if (hdr->DataType != GetBaseDataType(T())) return -2;
    if (!name) return -3;
    const int t = static_cast<int>(type);
    if (t < 8 || t > 18 || t == 10 || t == 12) return -15;
    if (t >= 14) return -14;
    if (options & quarn::kReadMatchRawType) {
        const int wanted = (t == MriRaw8) ? ecBaseData::UnsignedChar
                           : (t == MriRawFloat) ? ecBaseData::Float
                                                : ecBaseData::Short;
        if (GetBaseDataType(T()) != wanted) return -13;
    }
    const int storage = SetupStorage(hdr, options, data);
    if (storage < 0) return storage;

    const bool halve = (options & quarn::kReadHalve) != 0;
    const bool swapped = t == MriRaw16Swapped;
    const size_t width = static_cast<size_t>(hdr->iNumPix);
    const size_t height = static_cast<size_t>(hdr->iNumPixY);
    const size_t rowBytes = (halve ? width : static_cast<size_t>(iNumCols)) * sizeof(T);
    const size_t rows = halve ? height : static_cast<size_t>(iNumRows);

    quarn::bytes::File fp(name, "rb");
    if (!fp) return -19;
    const long offset = PixelOffset(fp.get(), hdr->lDataOffset, width * height * sizeof(T));
    if (!halve) return ReadPixels(fp.get(), offset, pImageData, rows * rowBytes, swapped) ? 1 : -20;

    std::unique_ptr<T[]> temp(new (std::nothrow) T[width * height]);
    if (!temp || !ReadPixels(fp.get(), offset, temp.get(), rows * rowBytes, swapped)) return -20;
    fp.Close();
    const int r = Decimate(temp.get(), hdr->iNumPixY, hdr->iNumPix, pImageData, iNumRows, iNumCols, 2, options);
    if (r < 0) return quarn::StageStatus(r, 50);
    return 1;
}

template <class T>
int ecMriSlice<T>::Decimate(T* src, int srcRows, int srcCols, T* dst, int dstRows, int dstCols, int factor,
                            unsigned long)
{
    if (!src || srcRows < 8 || srcRows > 1024 || !dst || dstRows < 8 || dstRows > 1024) return -1;
    if (factor != 2) return -2;
    if (srcRows / 2 != dstRows || srcCols / 2 != dstCols) return -3;
    for (int r = 0; r < dstRows; ++r) {
        const T* top = src + static_cast<size_t>(2 * r) * static_cast<size_t>(srcCols);
        const T* bottom = top + srcCols;
        T* out = dst + static_cast<size_t>(r) * static_cast<size_t>(dstCols);
        for (int c = 0; c < dstCols; ++c) {
            const double sum = static_cast<double>(top[2 * c]) + static_cast<double>(top[2 * c + 1]) +
                               static_cast<double>(bottom[2 * c]) + static_cast<double>(bottom[2 * c + 1]);
            out[c] = ConvertPixVal(sum * 0.25, T());
        }
    }
    return 1;
}

#define QUARN_RAW_READER(T)                                                                              \
    template int ecMriSlice<T>::ReadRawSlice(const char*, MriFileType, ecRawHeaderInfo*, unsigned long, T*); \
    template int ecMriSlice<T>::Decimate(T*, int, int, T*, int, int, int, unsigned long);
QUARN_RAW_READER(unsigned char)
QUARN_RAW_READER(short)
QUARN_RAW_READER(float)
