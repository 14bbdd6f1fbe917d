// Opening a scanner file at its pixels once its header has been read into the
// slice's own records.
#include <cstdio>
#include <string>

#include "MriSlice.h"
#include "bytes/File.h"
#include "ecError.h"

FILE* ecMriSliceBase::OpenScannerPixels(const char* fileName, ScannerHeaderReader readHeader, int dataType,
                                        long pixelOffset, unsigned long flags, int& status)
{
    status = -1;
    if (!fileName) return nullptr;
    if (!pRawHeader) pRawHeader = new ecRawHeaderInfo();
    if (!pSliceInfo) pSliceInfo = new ecMriSliceInformation();
    pRawHeader->SetFromSliceInfo(nullptr);
    pRawHeader->DataType = dataType;

    long offset = 0;
    if (readHeader(fileName, pRawHeader, pSliceInfo, &offset, flags) < 0)
        throw ecError(std::string("? Unable to get header info from <") + fileName + ">", 1, 0, -1, -1);
    status = -2;
    if (!pRawHeader->bIsValid) return nullptr;
    const int cols = pRawHeader->iNumPix;
    const int rows = pRawHeader->iNumPixY;
    status = -3;  // sizes the slice's storage refuses
    if (cols < 16 || cols > 1024 || rows < 16 || rows > 1024) return nullptr;

    status = -4;
    quarn::bytes::File file(fileName, "rb");
    if (!file) return nullptr;
    if (pixelOffset == -1) pixelOffset = pRawHeader->lDataOffset;
    status = -5;
    if (pixelOffset < 0 || std::fseek(file.get(), pixelOffset, SEEK_SET) != 0) return nullptr;
    status = 1;
    return file.Release();
}
