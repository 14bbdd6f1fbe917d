// GE Genesis slices: the readers of ecMriSlice<T>. Both decode the pixel data
// into the slice (host byte order) and leave the decoded data in a temporary
// file "tmp_img.<n>" of the Genesis temporary folder.
#include <cstring>
#include <memory>
#include <new>

#include "MriSlice.h"
#include "bytes/ByteCursor.h"
#include "bytes/File.h"
#include "ecError.h"
#include "readGEM.h"
#include "readGEM/GEMFile.h"

namespace {

using quarn::bytes::File;
using quarn::bytes::FileBlock;

// Whether a slice of T can hold the pixels of a file of the given depth.
template <class T>
bool HoldsDepth(int depth)
{
    return depth == 8 || sizeof(T) > 1;
}

// Puts the decoded image into the slice's pixels.
// - Storage of the image's size that the slice already holds (its own, a
//   caller's or a display image's) is filled in place.
// - An empty slice first asks its own storage set-up (`setupStorage`, the
//   slice's virtual SetupStorage), so that a display slice gets its image's
//   buffer.
// - Otherwise the slice gets a buffer of its own (`install`, the slice's
//   InstallPixels, releases one it owned); one it does not own is left to
//   its owner.
// Nothing changes when an allocation fails. The mark of a computed minimum
// and maximum stays as it was.
template <class T, class Setup, class Install>
void PutDecoded(const gem::Decoded& decoded, int width, int height, T* const& pImageData, T** const& ppRowPtrs,
                const int& iNumRows, const int& iNumCols, const bool& bOwnsData, Setup setupStorage, Install install)
{
    const auto fits = [&] { return pImageData && ppRowPtrs && iNumRows == height && iNumCols == width; };
    if (!pImageData && !ppRowPtrs) {
        ecRawHeaderInfo shape;
        shape.bIsValid = true;
        shape.iNumPix = width;
        shape.iNumPixY = height;
        shape.ImagePlane = SliceAxial;
        setupStorage(&shape);
    }
    const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (fits()) {
        install(pImageData, bOwnsData, height, width);
    } else {
        std::unique_ptr<T[]> fresh(new T[n]);
        install(fresh.get(), true, height, width);
        fresh.release();
    }
    T* pixels = pImageData;
    for (size_t i = 0; i < n; ++i) pixels[i] = static_cast<T>(decoded.pixels[i]);
}

void WriteTempFile(FILE* out, const gem::Decoded& decoded)
{
    // The temporary file is a by-product: a failed write does not stop the read.
    if (!decoded.tempBytes.empty()) {
        const size_t written = std::fwrite(decoded.tempBytes.data(), 1, decoded.tempBytes.size(), out);
        (void)written;
    }
}

}  // namespace

template <class T>
int ecMriSlice<T>::ReadGEMFile(const char* name, void*)
{
    File in(name, "rb");
    const std::string tempPath =
        gem::TempPath(StringPrintf("tmp_img.%d", ecGEMFileCounters<T>::file_val_ReadGEMFile++), true);
    if (!in) return 0;
    File out(tempPath.empty() ? nullptr : tempPath.c_str(), "w+b");
    if (!out) return 0;

    try {
        ecGEMHeaderBlocks& blocks = GEMHeaderBlocks();
        FileBlock fileHeader;
        fileHeader.Read(in.get(), 0, GEM_IMAGE_FILE_HEADER_SIZE);
        if (!fileHeader.View().Copy(blocks.ImageFile, sizeof blocks.ImageFile)) return 0;
        ConvertGEMImageFileHeader(blocks.ImageFile);
        const gem::Layout layout = gem::LayoutFromConverted(blocks.ImageFile);
        if (static_cast<uint32_t>(layout.magic) != GEM_MAGIC) return 0;

        // Nothing is taken from the exam header: one cut short is kept as far as it goes.
        FileBlock exam;
        if (!gem::ReadAt(in.get(), layout.examOffset, sizeof blocks.Exam, exam) || exam.Size() == 0) return 0;
        std::memset(blocks.Exam, 0, sizeof blocks.Exam);
        exam.View().Copy(blocks.Exam, exam.Size());
        ConvertGEMExamHeader(blocks.Exam);

        FileBlock image;
        if (!gem::ReadAt(in.get(), layout.imageHeaderOffset, sizeof blocks.Image, image) ||
            !image.View().Copy(blocks.Image, sizeof blocks.Image))
            return 0;
        ConvertGEMImageHeader(blocks.Image);

        if (!gem::LayoutIsDecodable(layout) || !HoldsDepth<T>(layout.depth)) return 0;
        gem::Decoded decoded;
        if (!gem::DecodePixels(in.get(), layout, decoded)) return 0;
        in.Close();
        WriteTempFile(out.get(), decoded);
        out.Close();

        std::unique_ptr<ecRawHeaderInfo> fresh(pRawHeader ? nullptr : new ecRawHeaderInfo);
        PutDecoded(
            decoded, layout.width, layout.height, pImageData, ppRowPtrs, iNumRows, iNumCols, bOwnsData,
            [this](ecRawHeaderInfo* shape) { return this->SetupStorage(shape, 0, nullptr); },
            [this](T* data, bool owned, int rows, int cols) { InstallPixels(data, owned, rows, cols, MaxMinMark::Keep); });
        if (fresh) pRawHeader = fresh.release();
        gem::FillRawHeader(*pRawHeader, layout, image.View());
        gem::ReadBack(tempPath, layout);
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

template <class T>
int ecMriSlice<T>::GetGEMImage(FILE* fp, unsigned long, void*)
{
    if (!fp) return 0;
    File in(fp);
    const std::string tempPath =
        gem::TempPath(StringPrintf("tmp_img.%d", ecGEMFileCounters<T>::file_val_GetGEMImage++), false);
    File out(tempPath.empty() ? nullptr : tempPath.c_str(), "w+b");
    if (!out) {
        in.Close();
        throw ecError(StringPrintf("ecHdrInfo::ParseGEMHeader-Unable to open output file : %s", tempPath.c_str()), 1,
                      0, -1, -1);
    }
    const gem::Layout layout = gem::LayoutFromConverted(GEMHeaderBlocks().ImageFile);
    if (!gem::LayoutIsDecodable(layout) || !HoldsDepth<T>(layout.depth)) return 0;
    gem::Decoded decoded;
    try {
        if (!gem::DecodePixels(in.get(), layout, decoded)) return 0;
        in.Close();
        WriteTempFile(out.get(), decoded);
        out.Close();
        PutDecoded(
            decoded, layout.width, layout.height, pImageData, ppRowPtrs, iNumRows, iNumCols, bOwnsData,
            [this](ecRawHeaderInfo* shape) { return this->SetupStorage(shape, 0, nullptr); },
            [this](T* data, bool owned, int rows, int cols) { InstallPixels(data, owned, rows, cols, MaxMinMark::Keep); });
    } catch (const std::bad_alloc&) {
        in.Close();
        out.Close();
        throw ecError("ecMRISlice::GetGEMImage-Unable to allocate storage for image", 1, 0, -1, -1);
    }
    gem::ReadBack(tempPath, layout);
    return 1;
}

#define QUARN_GEM_SLICE(T)                                                \
    template int ecMriSlice<T>::GetGEMImage(FILE*, unsigned long, void*); \
    template int ecMriSlice<T>::ReadGEMFile(const char*, void*);
QUARN_GEM_SLICE(unsigned char)
QUARN_GEM_SLICE(short)
QUARN_GEM_SLICE(float)
