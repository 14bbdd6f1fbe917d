// GE Genesis slices: the readers of ecMriSlice<T>. Both decode the pixel data
// into the slice (host byte order) and leave the decoded data in a temporary
// file "tmp_img.<n>" of the Genesis temporary folder.
#include <cstring>
#include <memory>
#include <new>

#include "MriSlice.h"
#include "ecError.h"
#include "readGEM.h"
#include "readGEM/GEMFile.h"

namespace {

struct FileCloser {
    void operator()(FILE* fp) const
    {
        if (fp) std::fclose(fp);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

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
    File in(name ? std::fopen(name, "rb") : nullptr);
    const std::string tempPath =
        gem::TempPath(StringPrintf("tmp_img.%d", ecGEMFileCounters<T>::file_val_ReadGEMFile++), true);
    if (!in) return 0;
    File out(tempPath.empty() ? nullptr : std::fopen(tempPath.c_str(), "w+b"));
    if (!out) return 0;

    try {
        ecGEMHeaderBlocks& blocks = GEMHeaderBlocks();
        unsigned char fileHeader[GEM_IMAGE_FILE_HEADER_SIZE];
        if (std::fread(fileHeader, 1, sizeof fileHeader, in.get()) != sizeof fileHeader) return 0;
        std::memcpy(blocks.ImageFile, fileHeader, sizeof fileHeader);
        ConvertGEMImageFileHeader(blocks.ImageFile);
        const gem::Layout layout = gem::LayoutFromConverted(blocks.ImageFile);
        if (static_cast<uint32_t>(layout.magic) != GEM_MAGIC) return 0;

        const long fileSize = gem::StreamSize(in.get());
        if (layout.examOffset < 0 || layout.examOffset >= fileSize) return 0;
        if (std::fseek(in.get(), layout.examOffset, SEEK_SET) != 0) return 0;
        std::memset(blocks.Exam, 0, sizeof blocks.Exam);
        const size_t examRead = std::fread(blocks.Exam, 1, sizeof blocks.Exam, in.get());
        (void)examRead;  // nothing is taken from the exam header: a short one is kept as far as it goes
        ConvertGEMExamHeader(blocks.Exam);

        unsigned char imageHeader[GEM_IMAGE_HEADER_SIZE];
        if (layout.imageHeaderOffset < 0 || layout.imageHeaderOffset > fileSize - GEM_IMAGE_HEADER_SIZE) return 0;
        if (std::fseek(in.get(), layout.imageHeaderOffset, SEEK_SET) != 0) return 0;
        if (std::fread(imageHeader, 1, sizeof imageHeader, in.get()) != sizeof imageHeader) return 0;
        std::memcpy(blocks.Image, imageHeader, sizeof imageHeader);
        ConvertGEMImageHeader(blocks.Image);

        if (!gem::LayoutIsDecodable(layout) || !HoldsDepth<T>(layout.depth)) return 0;
        gem::Decoded decoded;
        if (!gem::DecodePixels(in.get(), fileSize, layout, decoded)) return 0;
        in.reset();
        WriteTempFile(out.get(), decoded);
        out.reset();

        std::unique_ptr<ecRawHeaderInfo> fresh(pRawHeader ? nullptr : new ecRawHeaderInfo);
        PutDecoded(
            decoded, layout.width, layout.height, pImageData, ppRowPtrs, iNumRows, iNumCols, bOwnsData,
            [this](ecRawHeaderInfo* shape) { return this->SetupStorage(shape, 0, nullptr); },
            [this](T* data, bool owned, int rows, int cols) { InstallPixels(data, owned, rows, cols, MaxMinMark::Keep); });
        if (fresh) pRawHeader = fresh.release();
        gem::FillRawHeader(*pRawHeader, layout, imageHeader);
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
    File out(tempPath.empty() ? nullptr : std::fopen(tempPath.c_str(), "w+b"));
    if (!out) {
        in.reset();
        throw ecError(StringPrintf("ecHdrInfo::ParseGEMHeader-Unable to open output file : %s", tempPath.c_str()), 1,
                      0, -1, -1);
    }
    const gem::Layout layout = gem::LayoutFromConverted(GEMHeaderBlocks().ImageFile);
    if (!gem::LayoutIsDecodable(layout) || !HoldsDepth<T>(layout.depth)) return 0;
    gem::Decoded decoded;
    try {
        if (!gem::DecodePixels(in.get(), gem::StreamSize(in.get()), layout, decoded)) return 0;
        in.reset();
        WriteTempFile(out.get(), decoded);
        out.reset();
        PutDecoded(
            decoded, layout.width, layout.height, pImageData, ppRowPtrs, iNumRows, iNumCols, bOwnsData,
            [this](ecRawHeaderInfo* shape) { return this->SetupStorage(shape, 0, nullptr); },
            [this](T* data, bool owned, int rows, int cols) { InstallPixels(data, owned, rows, cols, MaxMinMark::Keep); });
    } catch (const std::bad_alloc&) {
        in.reset();
        out.reset();
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
