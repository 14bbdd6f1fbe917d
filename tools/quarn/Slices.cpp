#include "Slices.h"

#include <cstdio>

#include "core/ReadOptions.h"

namespace tool {

std::string PixelTypeWord(int dataType)
{
    return ecBaseData::Ascii(static_cast<ecBaseData::BaseDataType>(dataType));
}

namespace {

FileError StatusError(const std::string& what, int status)
{
    return FileError{what + " failed with status " + std::to_string(status)};
}

// The Genesis reader answers 1 when the slice holds the image, 0 when it
// refused the file.
const char* const kGenesisRefused = "the Genesis reader could not read the file (answer 0)";

}  // namespace

quarn::ReadOptions LibraryOptions(const ReadRequest& request)
{
    quarn::ReadOptions options;
    if (request.forced) options.format = *request.forced;
    if (request.raw) {
        const ecRawHeaderInfo& h = *request.raw;
        quarn::RawLayout raw;
        raw.rows = h.iNumPixY;
        raw.columns = h.iNumPix;
        raw.pixelType = h.DataType == ecBaseData::UnsignedChar ? quarn::PixelType::U8
                        : h.DataType == ecBaseData::Float     ? quarn::PixelType::F32
                                                              : quarn::PixelType::S16;
        raw.bigEndian = request.rawType == MriRaw16Swapped;
        raw.offset = h.lDataOffset;
        raw.pixelSpacing = std::array<double, 2>{h.fSizePixY, h.fSizePix};
        raw.sliceThickness = h.fSliceThickness;
        options.raw = raw;
    }
    return options;
}

quarn::Image ReadImageOf(const std::string& path, Format format, const ReadRequest& request, bool pixels)
{
    quarn::ReadOptions options = LibraryOptions(request);
    options.format = format;
    options.pixels = pixels;
    try {
        return quarn::ReadImage(path, options);
    } catch (const quarn::Error& e) {
        throw FileError{e.cause()};
    }
}

HeaderRecord ReadHeader(const std::string& path, Format format, const ReadRequest& request)
{
    HeaderRecord rec;
    ecDicomHeaderInfo& h = rec.header;
    h.sFileName = path;
    long offset = 0;
    int status = 1;
    try {
        switch (format) {
        case Format::Dicom:
        case Format::Nema:
            status = FillRawHeaderFromDicomFile(path.c_str(), &h, &offset, 0);
            rec.hasPosition = true;
            break;
        case Format::Signa:
            status = FillRawHeaderFromSignaFile(path.c_str(), &h, nullptr, &offset, 0);
            break;
        case Format::Genesis: {
            // The record the Genesis reader gives with the image (16-bit
            // slices hold both depths).
            ecMriSlice<short> slice;
            if (slice.ReadGEMFile(path.c_str(), nullptr) < 1 || !slice.GetRawHeaderInfo())
                throw FileError{kGenesisRefused};
            h.ecRawHeaderInfo::operator=(*slice.GetRawHeaderInfo());
            offset = h.lDataOffset;
            break;
        }
        case Format::Siemens:
            status = FillRawHeaderFromSiemensFile(path.c_str(), &h, &rec.information, &offset, 0);
            rec.hasInformation = true;
            break;
        case Format::Raw:
            h.ecRawHeaderInfo::operator=(*request.raw);
            h.FileType = request.rawType;
            offset = request.raw->lDataOffset;
            break;
        case Format::Unknown:
            throw FileError{"is not a file of a known format"};
        }
    } catch (const ecError& e) {
        throw FileError{std::string("the header reader failed: ") + e.what()};
    }
    if (status < 0) throw StatusError("reading the header", status);
    h.iImageOffset = static_cast<int>(offset);
    return rec;
}

namespace {

template <class T>
bool TakePixels(ecMriSliceBase* base, SliceImage& out)
{
    auto* s = dynamic_cast<ecMriSlice<T>*>(base);
    if (!s) return false;
    out.cols = s->GetNumCols();
    out.rows = s->GetNumRows();
    out.dataType = GetBaseDataType(T());
    const long long n = static_cast<long long>(out.cols) * out.rows;
    if (n < 1 || !s->GetPixels()) throw FileError{"the library read no pixels"};
    if (s->SetMaxMinValues(0) < 1) throw FileError{"the library could not scan the pixels"};
    out.minimum = static_cast<double>(s->GetMinVal());
    out.maximum = static_cast<double>(s->GetMaxVal());
    out.pixels.assign(s->GetPixels(), s->GetPixels() + n);
    return true;
}

template <class T>
ecMriSliceBase* ReadPlain(const std::string& path, Format format, MriFileType type, ecRawHeaderInfo* hdr,
                          unsigned long options)
{
    if (format == Format::Raw) return new ecMriSlice<T>(path.c_str(), type, hdr, options, nullptr);
    std::unique_ptr<ecMriSlice<T>> s(new ecMriSlice<T>());
    int r = 1;
    switch (format) {
    case Format::Dicom:
    case Format::Nema: r = s->ReadDICOMFile(path.c_str(), options, nullptr); break;
    case Format::Signa: r = s->GetSignaFile(path.c_str(), options, nullptr); break;
    case Format::Siemens: r = s->GetSiemensFile(path.c_str(), options, nullptr); break;
    case Format::Genesis:
        if (s->ReadGEMFile(path.c_str(), nullptr) < 1) throw FileError{kGenesisRefused};
        break;
    default: throw FileError{"is not a file of a known format"};
    }
    if (r < 0) throw StatusError("reading the slice", r);
    return s.release();
}

// Without the factory: the plain slice and its format readers.
ecMriSliceBase* ReadWithoutFactory(const std::string& path, Format format, MriFileType type, ecRawHeaderInfo* hdr,
                                   unsigned long options)
{
    int depth = 16;
    if (format == Format::Raw) {
        depth = hdr->DataType == 105 ? 8 : hdr->DataType == 114 ? 32 : 16;
    } else if (format == Format::Dicom || format == Format::Nema) {
        depth = FindDICOM_PixelDepth(path.c_str(), nullptr);
    } else if (format == Format::Signa) {
        depth = FindSigna_PixelDepth(path.c_str());
    }
    if (depth == 8) return ReadPlain<unsigned char>(path, format, type, hdr, options);
    if (depth == 16) return ReadPlain<short>(path, format, type, hdr, options);
    if (depth == 32) return ReadPlain<float>(path, format, type, hdr, options);
    throw FileError{"the library cannot read this pixel depth (answer " + std::to_string(depth) + ")"};
}

}  // namespace

SliceImage ReadSlice(const std::string& path, Format format, const ReadRequest& request, unsigned long options)
{
    SliceImage out;
    const MriFileType type = LibraryFileType(format, request.rawType);
    ecRawHeaderInfo rawHeader;
    ecRawHeaderInfo* hdr = nullptr;
    if (format == Format::Raw) {
        rawHeader = *request.raw;
        rawHeader.FileType = request.rawType;
        hdr = &rawHeader;
    }
    // The display slice first; where it cannot be had, the plain slice and the
    // format's own reader.
    std::string displayError;
    try {
        out.slice.reset(ReadMriSlice(path.c_str(), type, hdr, true, options));
        if (!out.slice) displayError = "the slice factory made no slice of it";
    } catch (const ecError& e) {
        displayError = e.what();
    }
    if (!out.slice) {
        try {
            out.slice.reset(ReadWithoutFactory(path, format, type, hdr, options));
        } catch (const ecError& e) {
            throw FileError{displayError.empty() ? std::string(e.what()) : displayError + "; " + e.what()};
        } catch (const FileError& e) {
            throw FileError{displayError.empty() ? e.message : displayError + "; " + e.message};
        }
    }
    if (!TakePixels<short>(out.slice.get(), out) && !TakePixels<unsigned char>(out.slice.get(), out) &&
        !TakePixels<float>(out.slice.get(), out))
        throw FileError{"the library returned a slice of an unknown pixel type"};
    return out;
}

namespace {

template <class T>
int SaveTyped(ecMriSliceBase* base, const std::string& path)
{
    auto* s = dynamic_cast<ecMriSlice<T>*>(base);
    if (!s) return 0;
    // The plain slice's saving writes the 12-byte header and the pixels; a
    // display slice's own saving writes its rendering instead.
    return s->ecMriSlice<T>::SaveImageData(path.c_str(), 0);
}

template <class T>
bool HalveTyped(SliceImage& image)
{
    auto* s = dynamic_cast<ecMriSlice<T>*>(image.slice.get());
    if (!s) return false;
    const int rows = s->GetNumRows() / 2, cols = s->GetNumCols() / 2;
    std::unique_ptr<ecMriSlice<T>> halved(new ecMriSlice<T>());
    if (!halved->Resize(cols, rows, 0)) throw FileError{"the halved slice would be smaller than 16 x 16 pixels"};
    const int r = s->ecMriSlice<T>::Decimate(const_cast<T*>(s->GetPixels()), s->GetNumRows(), s->GetNumCols(),
                                             const_cast<T*>(halved->GetPixels()), rows, cols, 2, 0);
    if (r < 0) throw FileError{"halving the slice failed with status " + std::to_string(quarn::StageStatus(r, 50))};
    image.slice = std::move(halved);
    TakePixels<T>(image.slice.get(), image);
    return true;
}

}  // namespace

void HalveSlice(SliceImage& image)
{
    if (!HalveTyped<short>(image) && !HalveTyped<unsigned char>(image)) HalveTyped<float>(image);
}

void SaveRawPixels(const SliceImage& image, const std::string& path)
{
    int r = SaveTyped<short>(image.slice.get(), path);
    if (r == 0) r = SaveTyped<unsigned char>(image.slice.get(), path);
    if (r == 0) r = SaveTyped<float>(image.slice.get(), path);
    if (r < 0) throw FileError{"saving the pixels to " + path + " failed with status " + std::to_string(r)};
}

}  // namespace tool
