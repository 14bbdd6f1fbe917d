// The slice classes: the type-independent slice ecMriSliceBase and the typed
// slice ecMriSlice<T> for T = unsigned char, short and float.
#ifndef QUARN_MRISLICE_H
#define QUARN_MRISLICE_H

#include <cstdint>
#include <atomic>
#include <cstdio>
#include <string>

#include "MriSliceInformation.h"
#include "QuarnExport.h"
#include "RawHeaderInfo.h"
#include "corvane.h"
#include "ecBase.h"
#include "histra.h"
#include "pictor.h"

class QUARN_API ecMriSliceBase : public ecBase {
public:
    ecMriSliceBase();
    // A slice owns its header, information record, pixels and row table:
    // copying one is not allowed (it would release the same memory twice).
    ecMriSliceBase(const ecMriSliceBase&) = delete;
    ecMriSliceBase& operator=(const ecMriSliceBase&) = delete;
    ~ecMriSliceBase() override;

    virtual bool Resize(int nCols, int nRows, unsigned long options);
    virtual int Decimate(int factor, void* dst, unsigned long options);
    virtual int SetMaxMinValues(unsigned long options);
    virtual bool MaxMinValuesAreSet() const;
    virtual ecImageBase* GetCurrentImage();
    virtual int SetGrayValTranslation(ecImageBase::GrayTranslationMethod method, double low, double high,
                                      unsigned long options);
    virtual int SetRotationFlags(unsigned long flags);
    virtual int GetGrayValTranslation(ecImageBase::GrayTranslationMethod& method, double& low,
                                      double& high) const;
    virtual unsigned long GetRotationFlags() const;
    virtual int FillHistogram(ecHistogramBase* hist, unsigned long options);
    virtual int SaveImageData(const char* path, unsigned long options);
    virtual int ReadDICOM_Image(FILE* fp, unsigned long flags, unsigned long options, void* buffer);
    virtual int ReadDICOMFile(const char* fileName, unsigned long flags, void* buffer);
    virtual void SetUsingExtraSiemansInfo(char* text);
    virtual int GetGEMImage(FILE* fp, unsigned long options, void* buffer);
    virtual int ReadGEMFile(const char* name, void* buffer);
    virtual int GetSignaFile(const char* name, unsigned long options, void* buffer);
    virtual int GetSignaImage(FILE* fp, unsigned long offset, unsigned long options, void* buffer);
    virtual int GetSiemensFile(const char* name, unsigned long options, void* buffer);
    virtual int GetSiemensImage(FILE* fp, unsigned long offset, unsigned long options, void* buffer);

    std::string GetLabel() const { return sLabel; }
    int SetLabel(const std::string& label, bool force);
    // The header record's text, or "**No Header Information**".
    std::string GetHeaderInfo(unsigned long options) const;
    const ecRawHeaderInfo* GetRawHeaderInfo() const { return pRawHeader; }
    int GetRawHeaderInfo(ecRawHeaderInfo& out, unsigned long options);
    int SetRawHeaderInfo(const ecRawHeaderInfo& in, unsigned long options);
    const ecMriSliceInformation* GetSliceInformation() const { return pSliceInfo; }
    int FindDICOM_PixelDepth(const char* name);
    int SeekDicomHeader(FILE* fp);

    static std::atomic<int> iSeqNum;  // process-wide, safe from several threads
    static bool bInferUnsetDicomFields;

protected:
    int AutoGenerateLabel();

    // Reads the header of a scanner file (Signa, Siemens) into the slice's
    // own header and information records, created when missing and reset
    // first, with `dataType` as the pixel type; then opens the file at its
    // pixels (`pixelOffset`, or the header's data offset when it is -1).
    // Returns the open stream, or null with `status` set: -1 no name, -2 the
    // header is incomplete, -3 a size outside 16..1024, -4 the file cannot be
    // opened, -5 the pixel offset cannot be reached. Throws ecError "? Unable
    // to get header info from <name>" when the header cannot be read.
    using ScannerHeaderReader = int (*)(const char*, ecRawHeaderInfo*, ecMriSliceInformation*, long*, unsigned long);
    FILE* OpenScannerPixels(const char* fileName, ScannerHeaderReader readHeader, int dataType, long pixelOffset,
                            unsigned long flags, int& status);

    std::string sLabel;
    bool bLabelReplaceable;
    ecMriSliceInformation* pSliceInfo;
    ecRawHeaderInfo* pRawHeader;
    ecImageBase* pCurrentImage;
    bool bOwnsData;
};

template <class T>
class QUARN_API ecMriSlice : public ecMriSliceBase {
public:
    ecMriSlice();
    // Reads a raw slice file described by `hdr`; throws ecError on failure.
    ecMriSlice(const char* name, MriFileType type, ecRawHeaderInfo* hdr, unsigned long options, T* data);
    ecMriSlice(const ecMriSlice&) = delete;
    ecMriSlice& operator=(const ecMriSlice&) = delete;
    ~ecMriSlice() override;

    bool Resize(int nCols, int nRows, unsigned long options) override;
    int Decimate(int factor, void* dst, unsigned long options) override;
    int SetMaxMinValues(unsigned long options) override;
    bool MaxMinValuesAreSet() const override { return bMaxMinSet; }
    int FillHistogram(ecHistogramBase* hist, unsigned long options) override;
    int SaveImageData(const char* path, unsigned long options) override;
    int ReadDICOM_Image(FILE* fp, unsigned long flags, unsigned long options, void* buffer) override;
    int ReadDICOMFile(const char* fileName, unsigned long flags, void* buffer) override;
    void SetUsingExtraSiemansInfo(char* text) override;
    int GetGEMImage(FILE* fp, unsigned long options, void* buffer) override;
    int ReadGEMFile(const char* name, void* buffer) override;
    int GetSignaFile(const char* name, unsigned long options, void* buffer) override;
    int GetSignaImage(FILE* fp, unsigned long offset, unsigned long options, void* buffer) override;
    int GetSiemensFile(const char* name, unsigned long options, void* buffer) override;
    int GetSiemensImage(FILE* fp, unsigned long offset, unsigned long options, void* buffer) override;

    // 2 x 2 halving of `src` into `dst`; 1, or -1 (sizes/buffers), -2 (factor), -3 (sizes not halved).
    virtual int Decimate(T* src, int srcRows, int srcCols, T* dst, int dstRows, int dstCols, int factor,
                         unsigned long options);
    virtual int ReadRawSlice(const char* name, MriFileType type, ecRawHeaderInfo* hdr, unsigned long options,
                             T* data);
    virtual long FindImageMaxMin(T& minVal, T& maxVal, unsigned long options);

    T GetMaxVal() const { return tMaxVal; }
    T GetMinVal() const { return tMinVal; }
    int GetImageData(T* dst, int capacity, unsigned long options) const;
    int GetNumRows() const { return iNumRows; }
    int GetNumCols() const { return iNumCols; }
    const T* GetPixels() const { return pImageData; }
    T* const* GetRowPointers() const { return ppRowPtrs; }
    bool OwnsData() const { return bOwnsData; }

protected:
    virtual int SetupStorage(ecRawHeaderInfo* hdr, unsigned long options, T* data);

    // Whether installing pixels clears the mark of a computed minimum and maximum.
    enum class MaxMinMark { Clear, Keep };
    // Makes `data` the slice's pixels, `rows` x `cols` of them, and points the
    // row table at its rows (a table of `rows` rows is reused; a null `data`
    // gives null rows). The buffer the slice held is released when the slice
    // owned it and it is not `data`; the slice owns `data` when `owned`. A new
    // table is allocated before anything is released or changed, so a failed
    // allocation leaves the slice as it was.
    void InstallPixels(T* data, bool owned, int rows, int cols, MaxMinMark mark);

    T* pImageData;
    T** ppRowPtrs;
    int iNumRows;
    int iNumCols;
    T tMinVal;
    T tMaxVal;
    bool bMaxMinSet;
};

extern template class ecMriSlice<unsigned char>;
extern template class ecMriSlice<short>;
extern template class ecMriSlice<float>;

// The 12-byte header written in front of saved pixels.
class QUARN_API RawImageDataHeader {
public:
    RawImageDataHeader() = default;
    RawImageDataHeader(const RawImageDataHeader&) = default;
    virtual ~RawImageDataHeader() = default;
    virtual RawImageDataHeader& operator=(const RawImageDataHeader& other);
    virtual int operator==(const RawImageDataHeader& other) const;
    // The 12 bytes as written to a file: 4 zero bytes, then nCols, nRows and
    // DataType little-endian.
    void Encode(unsigned char out[12]) const;

    int16_t nCols = 0;
    int16_t nRows = 0;
    int32_t DataType = 0;
};

#endif
