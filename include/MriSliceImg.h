// Display slices: slices that are at the same time display images, so that a
// host can window, rotate and draw a slice it has read. After reading, the
// slice's pixels and the image's pixels are one buffer, owned by the image.
#ifndef QUARN_MRISLICEIMG_H
#define QUARN_MRISLICEIMG_H

#include "MriSlice.h"
#include "QuarnExport.h"
#include "ecLookupTable.h"
#include "pictor.h"

class DicomOpenFile;

template <class T>
class QUARN_API ecMriSliceImg : public ecMriSlice<T>, public ecImageEx<T>, public ecDisplayCharacteristics<T> {
public:
    // An empty slice with an empty image.
    ecMriSliceImg();
    // Reads a Genesis, DICOM, Signa, Siemens or raw file (raw files are
    // described by `hdr`; `data`, when given, receives a copy of the pixels of
    // a raw read). Throws ecError when the file cannot be read.
    ecMriSliceImg(const char* name, MriFileType type, ecRawHeaderInfo* hdr, unsigned long options, T* data);
    ~ecMriSliceImg() override;

    // Width and height 16..1024; the slice and the image end up viewing one
    // buffer of at least width x height pixels. Throws ecError when the slice
    // has no pixels.
    bool Resize(int nCols, int nRows, unsigned long options) override;
    // Minimum and maximum of the pixels, stored in the slice and as the
    // display range; the pixel count, -1 without pixels, -2 for an empty size.
    int SetMaxMinValues(unsigned long options) override;
    ecImageBase* GetCurrentImage() override;
    // Sets the gray-value translation; on success the image converts through
    // it, and with options bit 0x100 the rendering is rebuilt at once.
    int SetGrayValTranslation(ecImageBase::GrayTranslationMethod method, double low, double high,
                              unsigned long options) override;
    int SetRotationFlags(unsigned long flags) override;
    int GetGrayValTranslation(ecImageBase::GrayTranslationMethod& method, double& low,
                              double& high) const override;
    unsigned long GetRotationFlags() const override;
    // Saves the 8-bit rendering (see ecImage<T>::SaveImageData).
    int SaveImageData(const char* path, unsigned long options) override;
    // Reads a DICOM or NEMA slice into display storage (half size, each pixel
    // the mean of a 2 x 2 block, with flags bit 0x10000). 1, or the header
    // reader's code - 100, -101 for an incomplete header, a storage code, -19
    // when the file cannot be opened, -10 when the pixel data cannot be
    // reached, the pixel reader's code - 20.
    int ReadDICOMFile(const char* fileName, unsigned long flags, void* buffer) override;
    int GetSignaFile(const char* name, unsigned long options, void* buffer) override;
    int GetSignaImage(FILE* fp, unsigned long offset, unsigned long options, void* buffer) override;
    int ReadRawSlice(const char* name, MriFileType type, ecRawHeaderInfo* hdr, unsigned long options,
                     T* data) override;
    // Conversion data for values up to `maxValue`; for float pixels a gray
    // lookup table is set up instead and the result is null.
    void* AllocateConvertData(T maxValue, unsigned long options) override;

    ecImageBase* GetDisplayImage() const { return pDisplayImage; }
    T* GetExternalData() const { return pExternalData; }

protected:
    // Bit 0 clear: fresh display storage for `hdr` (2 when the slice already
    // holds storage); bit 0 set: the image adopts the pixels the slice holds
    // (3; -11 without pixels, -12 for an empty size). -1 for an unusable
    // record.
    int SetupStorage(ecRawHeaderInfo* hdr, unsigned long options, T* data) override;

private:
    // Gives the image a new rows x cols buffer and makes it the slice's; its
    // pixels are zero, or left unset for a reader that writes them all next.
    int AllocateDisplayStorage(int rows, int cols, bool zeroed = true);
    // Points the image at the slice's pixels.
    void AdoptSlicePixels();
    // Reads the pixel data at `dataOffset` of an open file into the display
    // buffer, for a record that passed IsValidForUse; with `sizeFirst`, a
    // file too short for the block is refused before any pixel is written.
    int ReadDicomPixels(DicomOpenFile& file, long dataOffset, unsigned long flags, bool sizeFirst);
    // ReadDICOMFile with the file open in `file`.
    int ReadDicomFrom(DicomOpenFile& file, const char* fileName, unsigned long flags);

    ecImageBase* pDisplayImage;
    T* pExternalData;
};

extern template class ecMriSliceImg<unsigned char>;
extern template class ecMriSliceImg<short>;
extern template class ecMriSliceImg<float>;

#endif
