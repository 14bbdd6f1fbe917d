// Display slices: reading into display storage, storage set-up shared with
// the image, resizing, minimum and maximum, gray-value translation and
// rotation, and the gray lookup table of float slices.
#include "MriSliceImg.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>

#include "ecError.h"
#include "mri_slice/PixelRange.h"
#include "core/ReadOptions.h"
#include "read_dicom/DicomOpenFile.h"
#include "read_dicom/DicomState.h"
#include "readnema.h"

namespace {
[[noreturn]] void ThrowSliceError(const std::string& message) { throw ecError(message, 1, 0, -1, -1); }

std::string RawOpenMessage(const char* name, int status)
{
    return std::string("? Unable to open raw mri file <") + (name ? name : "") + StringPrintf("> status = %d", status);
}
}  // namespace

template <class T>
ecMriSliceImg<T>::ecMriSliceImg() : pDisplayImage(nullptr), pExternalData(nullptr)
{
    ecImageBase::SetDisplayCharacteristics(static_cast<ecDisplayCharacteristicsBase*>(this));
}

template <class T>
ecMriSliceImg<T>::ecMriSliceImg(const char* name, MriFileType type, ecRawHeaderInfo* hdr, unsigned long options,
                                T* data)
    : pDisplayImage(nullptr), pExternalData(data)
{
    ecImageBase::SetDisplayCharacteristics(static_cast<ecDisplayCharacteristicsBase*>(this));
    const char* shown = name ? name : "";
    const unsigned t = static_cast<unsigned>(type);
    bool adopt = false;
    switch (t) {
    case MriGenesis: {
        // The Genesis reader answers 1 when the slice holds the image and 0 when it refused the file.
        const int r = this->ReadGEMFile(name, nullptr);
        if (r < 1) ThrowSliceError(StringPrintf("ecMriSliceImg:Error opening GEM file <%s> %d", shown, r));
        SetupStorage(this->pRawHeader, quarn::kStorageAdopt, nullptr);
        break;
    }
    case MriDicom: {
        const int r = ReadDICOMFile(name, 0, nullptr);
        if (r < 0) ThrowSliceError(StringPrintf("ecMriSliceImg:Error opening DICOM file <%s> %d", shown, r));
        adopt = true;
        break;
    }
    case MriSigna: {
        const int r = ecMriSlice<T>::GetSignaFile(name, 0, nullptr);
        if (r < 0)
            ThrowSliceError(
                StringPrintf("ecMriSliceImg:Error opening Siemens file <%s> %d", shown, quarn::StageStatus(r, 40)));
        break;
    }
    case MriSiemens: {
        const int r = ecMriSlice<T>::GetSiemensFile(name, 0, nullptr);
        if (r < 0) ThrowSliceError(StringPrintf("ecMriSliceImg:Error opening Siemens file <%s> %d", shown, r));
        adopt = true;
        break;
    }
    case MriRaw8: case MriRaw16: case MriRaw16Swapped: case MriRawFloat:
    case 14: case 15: case 16: case 17: case 18: {
        const int status = ReadRawSlice(name, type, hdr, options, data);
        if (status < 0) ThrowSliceError(RawOpenMessage(name, status));
        break;
    }
    case 0: case 7: case 19: case 20:
        ThrowSliceError("ecMriSliceImg:Not a 2D slice type : " + AsciiRepOfMriFileType(type));
    case 2: case 3:
        ThrowSliceError("ecMriSliceImg:Unsupported 2D slice type : " + AsciiRepOfMriFileType(type));
    default:
        ThrowSliceError("ecMriSliceImg:Bad 2D slice type");
    }
    if (adopt && this->pRawHeader && this->pRawHeader->IsValidForUse(2) && this->pImageData && this->ppRowPtrs &&
        this->iNumRows > 0 && this->iNumCols > 0)
        AdoptSlicePixels();

    pDisplayImage = static_cast<ecImage<T>*>(this);
    this->pCurrentImage = pDisplayImage;

    T maxValue = static_cast<T>(255);
    if (SetMaxMinValues(0) > 0 && this->tMaxVal > static_cast<T>(255)) maxValue = this->tMaxVal;
    this->pConvertData = AllocateConvertData(maxValue, 0);
}

template <class T>
ecMriSliceImg<T>::~ecMriSliceImg()
{
    // A lookup table that the image and the characteristics share is released
    // here, once; each part releases only what it still holds afterwards.
    ecLookupTable* shared = this->pLookupTable;
    if (shared == this->pDisplayLookupTable) {
        delete shared;
        this->pLookupTable = nullptr;
        if (this->pLookupTable2 == shared) this->pLookupTable2 = nullptr;
        this->pDisplayLookupTable = nullptr;
    }
    if (this->pDisplayLookupTable && this->pLookupTable2 == this->pDisplayLookupTable) this->pLookupTable2 = nullptr;
    pDisplayImage = nullptr;
    this->pCurrentImage = nullptr;
}

template <class T>
int ecMriSliceImg<T>::AllocateDisplayStorage(int rows, int cols, bool zeroed)
{
    if (!(zeroed ? ecImage<T>::Resize(cols, rows, T(0), 0) : ecImage<T>::ResizeUnfilled(cols, rows))) return -1;
    this->InstallPixels(this->pPixels, false, rows, cols, ecMriSlice<T>::MaxMinMark::Keep);
    return rows * cols;
}

template <class T>
void ecMriSliceImg<T>::AdoptSlicePixels()
{
    this->Resize(this->iNumCols, this->iNumRows, 16);
    this->PointAt(this->pImageData, this->iNumCols, this->iNumRows);
}

template <class T>
int ecMriSliceImg<T>::SetupStorage(ecRawHeaderInfo* hdr, unsigned long options, T*)
{
    if (!hdr || !hdr->IsValidForUse(2)) return -1;
    if (options & quarn::kStorageAdopt) {
        if (!this->pImageData || !this->ppRowPtrs) return -11;
        if (this->iNumRows < 1 || this->iNumCols < 1) return -12;
        AdoptSlicePixels();
        return 3;
    }
    if (this->pImageData || this->ppRowPtrs) return 2;
    return AllocateDisplayStorage(hdr->iNumPixY, hdr->iNumPix);
}

template <class T>
bool ecMriSliceImg<T>::Resize(int nCols, int nRows, unsigned long options)
{
    if (nCols < 16 || nCols > 1024 || nRows < 16 || nRows > 1024) return false;
    if (nCols == this->iNumCols && nRows == this->iNumRows && this->pImageData &&
        this->pImageData == this->pPixels)
        return true;
    T* const old = this->pImageData;
    const bool oldIsImages = old && old == this->pPixels;
    const long long oldCount = static_cast<long long>(this->iNumRows) * this->iNumCols;
    if (!ecImage<T>::Resize(nCols, nRows, T(0), options)) return false;
    // The pixels have not been scanned at this size.
    const auto unscanned = ecMriSlice<T>::MaxMinMark::Clear;
    if (!old) {
        // The slice takes the size, without pixels.
        this->InstallPixels(nullptr, this->bOwnsData, nRows, nCols, unscanned);
        throw ecError("ecMriSliceImg<T>::Resize - no slice data", 1, 0, -1, -1);
    }
    if (!oldIsImages && oldCount >= static_cast<long long>(nRows) * nCols) {
        // The slice's own buffer is large enough: the image shows it.
        this->InstallPixels(old, this->bOwnsData, nRows, nCols, unscanned);
        this->PointAt(old, nCols, nRows);
    } else {
        // Too small (or released with the image's old buffer): both views
        // take the image's new buffer.
        this->InstallPixels(this->pPixels, false, nRows, nCols, unscanned);
    }
    return true;
}

template <class T>
int ecMriSliceImg<T>::SetMaxMinValues(unsigned long)
{
    if (!this->pImageData) return -1;
    const long long n = static_cast<long long>(this->iNumRows) * this->iNumCols;
    if (n < 1) return -2;
    T lo = GetMaximumGrayValue(T());
    T hi = GetMinimumGrayValue(T());
    PixelRange(this->pImageData, static_cast<size_t>(n), lo, hi);
    this->tMinVal = lo;
    this->tMaxVal = hi;
    this->bMaxMinSet = true;
    this->SetDisplayRange(lo, hi);
    return static_cast<int>(n);
}

template <class T>
ecImageBase* ecMriSliceImg<T>::GetCurrentImage()
{
    return static_cast<ecImage<T>*>(this);
}

template <class T>
int ecMriSliceImg<T>::SetGrayValTranslation(ecImageBase::GrayTranslationMethod method, double low, double high,
                                            unsigned long options)
{
    const int r = ::SetGrayValTranslation(static_cast<ecDisplayCharacteristics<T>&>(*this), method, low, high,
                                          options);
    if (r < 1) return r;
    this->pConvertData = this->pTranslationTable;
    if (options & quarn::kTranslateRebuild) {
        const int c = this->ConvertImageInformation(options);
        if (c < 0) return quarn::StageStatus(c, 50);
    }
    return r;
}

template <class T>
int ecMriSliceImg<T>::SetRotationFlags(unsigned long flags)
{
    return ecDisplayCharacteristicsBase::SetRotationFlags(flags);
}

template <class T>
int ecMriSliceImg<T>::GetGrayValTranslation(ecImageBase::GrayTranslationMethod& method, double& low,
                                            double& high) const
{
    return ecDisplayCharacteristicsBase::GetGrayValTranslation(method, low, high);
}

template <class T>
unsigned long ecMriSliceImg<T>::GetRotationFlags() const
{
    return this->ulRotationFlags;
}

template <class T>
int ecMriSliceImg<T>::SaveImageData(const char* path, unsigned long options)
{
    return ecImage<T>::SaveImageData(path, options);
}

template <class T>
int ecMriSliceImg<T>::ReadRawSlice(const char* name, MriFileType type, ecRawHeaderInfo* hdr, unsigned long options,
                                   T* data)
{
    if (!hdr || !hdr->IsValidForUse(2)) return -1;
    if (this->pImageData || this->ppRowPtrs) {
        if (!this->Resize(hdr->iNumPix, hdr->iNumPixY, options)) return -60;
    } else {
        const int s = SetupStorage(hdr, options, data);
        if (s < 0) return quarn::StageStatus(s, 60);
    }
    const int status = ecMriSlice<T>::ReadRawSlice(name, type, hdr, options, data);
    if (status < 0) return status;
    if (data)
        std::memcpy(data, this->pImageData,
                    static_cast<size_t>(this->iNumRows) * static_cast<size_t>(this->iNumCols) * sizeof(T));
    return status;
}

template <class T>
int ecMriSliceImg<T>::ReadDicomPixels(DicomOpenFile& file, long dataOffset, unsigned long flags, bool sizeFirst)
{
    // The pixel block goes straight into the display buffer (into temporary
    // storage for the half-size read), through the descriptor the header was
    // read from: the bytes already read with the header are copied, the rest
    // come from the file in one read.
    const ecRawHeaderInfo* hdr = this->pRawHeader;
    const int rows = this->iNumRows, cols = this->iNumCols;
    const int fullRows = hdr->iNumPixY, fullCols = hdr->iNumPix;
    const bool half = (flags & quarn::kReadHalve) != 0;
    // The caller has checked the record: 16..1024 pixels per side.
    const size_t count = static_cast<size_t>(fullRows) * static_cast<size_t>(fullCols);
    const size_t nBytes = count * sizeof(T);
    // Pixels the slice already shows are not touched unless the file holds a whole block.
    if (sizeFirst) {
        const long long left = file.BytesFrom(dataOffset);
        if (left >= 0 && static_cast<unsigned long long>(left) < nBytes) ShortImageRead();
    }
    std::unique_ptr<T[]> full;
    T* dest = this->pImageData;
    if (half) {
        full.reset(new T[count]);
        dest = full.get();
    }
    if (file.ReadBytes(dataOffset, dest, nBytes) != nBytes) ShortImageRead();
    if (!IsDicomDataLittleEndian()) SwapBytePairs(dest, nBytes);
    this->bMaxMinSet = false;
    if (half) {
        const int d = ecMriSlice<T>::Decimate(full.get(), fullRows, fullCols, this->pImageData, rows, cols, 2, flags);
        if (d < 0) return quarn::StageStatus(d, 50);
    }
    return 1;
}

template <class T>
int ecMriSliceImg<T>::ReadDICOMFile(const char* fileName, unsigned long flags, void*)
{
    // One open for the header and the pixels; the slice factory may have
    // opened the file already for its depth probe.
    if (DicomOpenFile* shared = SharedDicomFile(fileName)) return ReadDicomFrom(*shared, fileName, flags);
    DicomOpenFile own(fileName);
    return ReadDicomFrom(own, fileName, flags);
}

template <class T>
int ecMriSliceImg<T>::ReadDicomFrom(DicomOpenFile& openFile, const char* fileName, unsigned long flags)
{
    if (!this->pRawHeader) {
        this->pRawHeader = new ecRawHeaderInfo;
        this->pRawHeader->SetFromSliceInfo(nullptr);
    }
    ecRawHeaderInfo* hdr = this->pRawHeader;
    DicomOpenFile* const file = &openFile;
    ShareDicomFile share(*file);
    long dataOffset = 0;
    const int r = FillRawHeaderFromDicomFile(fileName, hdr, &dataOffset, 0);
    if (r < 0) return quarn::StageStatus(r, 100);
    if (!hdr->bIsValid) return -101;
    if (!hdr->IsValidForUse(2)) return -1;
    // Adopt mode takes the pixels the slice already holds: a
    // slice with nothing to adopt gets the storage set-up's refusal.
    if (flags & quarn::kStorageAdopt) {
        if (!this->pImageData || !this->ppRowPtrs) return -11;
        if (this->iNumRows < 1 || this->iNumCols < 1) return -12;
    }
    const bool half = (flags & quarn::kReadHalve) != 0;
    const int rows = half ? hdr->iNumPixY / 2 : hdr->iNumPixY;
    const int cols = half ? hdr->iNumPix / 2 : hdr->iNumPix;
    // A fresh buffer is not zeroed first, since the read writes every pixel;
    // it is zeroed when the pixels cannot be read.
    bool unset = false;
    if (!this->pImageData || this->pImageData != this->pPixels || !this->ppRowPtrs || rows != this->iNumRows ||
        cols != this->iNumCols) {
        const int s = AllocateDisplayStorage(rows, cols, false);
        if (s < 0) return s;
        unset = true;
    }
    auto zeroIfUnset = [&]() {
        if (unset)
            std::fill(this->pImageData, this->pImageData + static_cast<size_t>(rows) * static_cast<size_t>(cols), T(0));
    };
    if (!file->IsOpen()) {
        zeroIfUnset();
        return -19;
    }
    int result;
    try {
        result = ReadDicomPixels(*file, dataOffset, flags, !unset);
    } catch (...) {
        zeroIfUnset();
        throw;
    }
    if (result < 0) zeroIfUnset();
    return result;
}

template <class T>
int ecMriSliceImg<T>::GetSignaFile(const char* name, unsigned long options, void*)
{
    return quarn::StageStatus(ecMriSlice<T>::GetSignaFile(name, options, nullptr), 40);
}

template <class T>
int ecMriSliceImg<T>::GetSignaImage(FILE* fp, unsigned long offset, unsigned long options, void*)
{
    const int r = ecMriSlice<T>::GetSignaImage(fp, offset, options, nullptr);
    if (r < 0) return quarn::StageStatus(r, 40);
    return quarn::StageStatus(SetupStorage(this->pRawHeader, quarn::kStorageAdopt, nullptr), 60);
}

template <class T>
void* ecMriSliceImg<T>::AllocateConvertData(T maxValue, unsigned long options)
{
    if constexpr (std::is_same<T, float>::value) {
        (void)maxValue;
        (void)options;
        if (this->pLookupTable2) {
            if (!this->pLookupTable) this->pLookupTable = this->pLookupTable2;
        } else if (this->pLookupTable) {
            this->pLookupTable2 = this->pLookupTable;
        } else {
            auto* table = new ecLookupTable(256);
            table->SetHueRange(0.0f, 0.0f);
            table->SetSaturationRange(0.0f, 0.0f);
            table->SetValueRange(0.0f, 1.0f);
            table->SetTableRange(0.0f, 255.0f);
            table->Build();
            this->pLookupTable = table;
            this->pLookupTable2 = table;
        }
        return nullptr;
    } else {
        return ecImage<T>::AllocateConvertData(maxValue, options);
    }
}

template class ecMriSliceImg<unsigned char>;
template class ecMriSliceImg<short>;
template class ecMriSliceImg<float>;
