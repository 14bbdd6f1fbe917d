// Whole DICOM and NEMA slices read into a plain slice: the implicit
// little-endian element walk of ReadDICOMFile, the pixel read of
// ReadDICOM_Image (optionally halved, byte pairs swapped for big-endian data)
// and the geometry text of the Siemens private element (0051,1010).

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "MriSlice.h"
#include "bytes/File.h"
#include "core/ReadOptions.h"
#include "bytes/StreamCursor.h"
#include "corvane.h"
#include "ecError.h"
#include "read_dicom/DicomState.h"
#include "read_dicom/ElementWalk.h"
#include "readnema.h"

template <class T>
ecDicomSliceFallback& DicomSliceFallback()
{
    static ecDicomSliceFallback values = {0, SliceUnknown, 0, 0, 0.0f, 0.0f, 0.0f, 0.0f, false};
    return values;
}

template ecDicomSliceFallback& DicomSliceFallback<unsigned char>();
template ecDicomSliceFallback& DicomSliceFallback<short>();
template ecDicomSliceFallback& DicomSliceFallback<float>();

namespace {

double TextToDouble(const char* text) { return std::strtod(text, nullptr); }

using StreamCloser = quarn::bytes::File;

std::string HexPosition(long position)
{
    // Positions are 32-bit numbers in the messages, whatever the width of long.
    return StringPrintf("%x", static_cast<unsigned int>(static_cast<uint32_t>(position)));
}

// Element keys (group × 65536 + element) that the whole-slice reader acts on.
enum : uint32_t {
    kInstitutionName = 0x00080080u,
    kRefPhysician = 0x00081050u,
    kReadingPhysician = 0x00081060u,
    kOperator = 0x00081070u,
    kPatientName = 0x00100010u,
    kPatientId = 0x00100020u,
    kPatientSex = 0x00100040u,
    kPatientAge = 0x00101010u,
    kPatientWeight = 0x00101030u,
    kPatientHistory = 0x00102180u,
    kSliceThickness = 0x00180050u,
    kFieldOfView = 0x00180090u,
    kSrcDetDist = 0x00181110u,
    kSrcPatDist = 0x00181111u,
    kSiemensFov = 0x00190019u,
    kSiemensSliceThickness = 0x0019100Eu,
    kSeriesNumber = 0x00200011u,
    kImageNumber = 0x00200013u,
    kOrientationRetired = 0x00200035u,
    kOrientation = 0x00200037u,
    kSiemensExtraSlice = 0x00211020u,
    kSiemensExtraSliceGap = 0x00211221u,
    kRows = 0x00280010u,
    kColumns = 0x00280011u,
    kPixelSpacing = 0x00280030u,
    kSiemensGeometryText = 0x00511010u,
    kPixelData = 0x7FE00010u,
};

// Elements that only mark their slot.
struct MarkOnly {
    uint32_t key;
    int slot;
};
const MarkOnly kMarkOnly[] = {
    {kInstitutionName, kDicomInstitutionName}, {kRefPhysician, kDicomRefPhysician},
    {kReadingPhysician, kDicomReadingPhysician}, {kOperator, kDicomOperator},
    {kPatientName, kDicomPatientName}, {kPatientId, kDicomPatientId},
    {kPatientSex, kDicomPatientSex}, {kPatientAge, kDicomPatientAge},
    {kPatientWeight, kDicomPatientWeight}, {kPatientHistory, kDicomPatientHistory},
    {kFieldOfView, kDicomFov}, {kSrcDetDist, kDicomSrcDetDist},
    {kSrcPatDist, kDicomSrcPatDist}, {kSiemensFov, kDicomExtraFov},
    {kSiemensSliceThickness, kDicomExtraSliceThickness}, {kSeriesNumber, kDicomSeriesNumber},
};

constexpr int kMaxElements = 500;
constexpr size_t kInitialValueBuffer = 4096;

}  // namespace

template <class T>
int ecMriSlice<T>::ReadDICOM_Image(FILE* fp, unsigned long pixelCount, unsigned long flags, void* buffer)
{
    StreamCloser stream(fp);
    if (!fp) ShortImageRead();
    const bool halve = (flags & quarn::kReadHalve) != 0;

    // The slice's counts must fit the pixels read, or the row table would
    // point outside the buffer.
    if (iNumRows < 0 || iNumCols < 0) ShortImageRead();
    const unsigned long long rows = static_cast<unsigned long long>(iNumRows);
    const unsigned long long cols = static_cast<unsigned long long>(iNumCols);
    const unsigned long long needed = halve ? 4 * rows * cols : rows * cols;
    const unsigned long long count = pixelCount;
    if (count == 0 || needed > count) ShortImageRead();
    if (count > std::numeric_limits<size_t>::max() / sizeof(T)) ShortImageRead();
    const size_t nPix = static_cast<size_t>(count);
    const size_t nBytes = nPix * sizeof(T);

    // A file that cannot hold the pixels gets no storage for them.
    if (!StreamHoldsAtLeast(fp, nBytes)) {
        stream.Close();
        ShortImageRead();
    }

    // Reads the whole pixel block into `dst` and closes the stream.
    auto readBlock = [&](T* dst) {
        const size_t got = std::fread(dst, 1, nBytes, fp);
        stream.Close();
        if (got != nBytes) return false;
        if (!IsDicomDataLittleEndian()) SwapBytePairs(dst, nBytes);
        return true;
    };
    auto allocate = [&](size_t n) -> T* {
        T* p = new (std::nothrow) T[n == 0 ? 1 : n];
        if (!p) {
            stream.Close();
            throw ecError("Unable to allocate image storage", 1, 0, -1, -1);
        }
        return p;
    };

    // Installs `dst` with a new row table. The buffer it replaces is released
    // when the slice owned it; a caller's buffer never is.
    auto install = [&](T* dst, bool allocatedHere) {
        const bool stillOwned = dst == pImageData && bOwnsData;
        this->InstallPixels(dst, allocatedHere || stillOwned, iNumRows, iNumCols, MaxMinMark::Clear);
    };

    T* const callerBuffer = static_cast<T*>(buffer);
    if (!halve) {
        std::unique_ptr<T[]> own(callerBuffer ? nullptr : allocate(nPix));
        T* dst = callerBuffer ? callerBuffer : own.get();
        if (!readBlock(dst)) ShortImageRead();
        install(dst, own.get() != nullptr);
        own.release();
        return 1;
    }

    std::unique_ptr<T[]> temp(allocate(nPix));
    if (!readBlock(temp.get())) ShortImageRead();
    // The row stride of the full-size image is its column count: for an odd
    // count one more than twice the halved count. The header record tells it
    // when it describes this image; otherwise the pixel count does.
    int srcRows = 2 * iNumRows;
    int srcCols = 2 * iNumCols;
    const ecRawHeaderInfo* h = pRawHeader;
    if (h && h->iNumPix >= 0 && h->iNumPixY >= 0 && h->iNumPix / 2 == iNumCols && h->iNumPixY / 2 == iNumRows &&
        static_cast<unsigned long long>(h->iNumPix) * static_cast<unsigned long long>(h->iNumPixY) == count) {
        srcRows = h->iNumPixY;
        srcCols = h->iNumPix;
    } else {
        const int extra[3][2] = {{0, 1}, {1, 0}, {1, 1}};  // {rows, columns} added
        for (const auto& e : extra) {
            if ((2 * rows + e[0]) * (2 * cols + e[1]) == count) {
                srcRows = 2 * iNumRows + e[0];
                srcCols = 2 * iNumCols + e[1];
                break;
            }
        }
    }
    std::unique_ptr<T[]> own(callerBuffer ? nullptr : allocate(static_cast<size_t>(rows * cols)));
    T* dst = callerBuffer ? callerBuffer : own.get();
    const int r = Decimate(temp.get(), srcRows, srcCols, dst, iNumRows, iNumCols, 2, flags);
    temp.reset();
    if (r < 0) return quarn::StageStatus(r, 50);
    install(dst, own.get() != nullptr);
    own.release();
    return 1;
}

template <class T>
int ecMriSlice<T>::ReadDICOMFile(const char* fileName, unsigned long, void*)
{
    if (!pRawHeader) pRawHeader = new ecRawHeaderInfo;
    ecRawHeaderInfo& hdr = *pRawHeader;
    hdr.SetFromSliceInfo(nullptr);
    hdr.DataType = GetBaseDataType(T());

    FILE* fp = fileName ? std::fopen(fileName, "rb") : nullptr;
    if (!fp) throw ecError(std::string("Unable to open file : ") + (fileName ? fileName : ""), 1, 0, -1, -1);
    StreamCloser stream(fp);

    const int kind = SeekDicomHeader(fp);
    if (kind < 1) {
        stream.Close();
        throw ecError("Unable to identify file : " + StringPrintf(" %d", kind), 1, 0, -1, -1);
    }

    ClearDicomFieldFlags();
    InitDicomFieldTable();

    // The slice's counts start from zero for this file and go back to what
    // they were unless the pixels are installed: they always describe the
    // buffer the slice holds.
    struct CountKeeper {
        int& rows;
        int& cols;
        int oldRows;
        int oldCols;
        bool keep;
        ~CountKeeper()
        {
            if (!keep) {
                rows = oldRows;
                cols = oldCols;
            }
        }
    } counts{iNumRows, iNumCols, iNumRows, iNumCols, false};
    iNumRows = 0;
    iNumCols = 0;

    DicomReadState& state = DicomState();
    bool* const found = state.found;
    std::vector<char> value(kInitialValueBuffer);
    // What the loader takes from each element: its own table.
    auto act = [&](uint32_t key, char* text, uint32_t length) {
        switch (key) {
        case kSliceThickness:
            hdr.fSliceThickness = TextToDouble(text);
            found[kDicomSliceThickness] = true;
            break;
        case kImageNumber: {
            const int n = ClampedInt(text);
            if (n >= 0 && n <= 512) {
                hdr.iImageNum = n;
                found[kDicomImageNumber] = true;
            } else {
                hdr.iImageNum = 0;
            }
            break;
        }
        case kOrientationRetired:
        case kOrientation:
            SetPlanesFromOrientation(text, hdr);
            found[kDicomOrientation] = true;
            break;
        case kSiemensExtraSlice:
            state.extraSlice = ClampedInt(text);
            found[kDicomExtraSlice] = true;
            break;
        case kSiemensExtraSliceGap:
            state.extraSliceGap = static_cast<float>(TextToDouble(text));
            found[kDicomExtraSliceGap] = true;
            break;
        case kRows:
            iNumRows = hdr.iNumPixY = ReadU16LE(reinterpret_cast<unsigned char*>(text));
            found[kDicomRows] = true;
            break;
        case kColumns:
            iNumCols = hdr.iNumPix = ReadU16LE(reinterpret_cast<unsigned char*>(text));
            found[kDicomColumns] = true;
            break;
        case kPixelSpacing:
            SetPixelSpacing(text, length, true, hdr);
            found[kDicomPixelSpacing] = true;
            break;
        case kSiemensGeometryText:
            SetUsingExtraSiemansInfo(text);
            break;
        default:
            for (const MarkOnly& m : kMarkOnly) {
                if (m.key == key) found[m.slot] = true;
            }
            break;
        }
    };
    {
        // The walk reads implicit little-endian elements from where the
        // header starts; the stream is left at the first pixel byte.
        quarn::bytes::StreamCursor in(fp);
        quarn::bytes::SyncOnExit sync{in};
        quarn::dicom::ElementWalk walk(in);
        for (int examined = 0;; ++examined) {
            if (examined >= kMaxElements) return -1;

            const long headerAt = in.Tell();
            quarn::dicom::ElementHeader h;
            if (walk.Next(h) != quarn::dicom::HeaderRead::Ok)
                throw ecError("Unable to read header element : " + HexPosition(headerAt), 1, 0, -1, -1);
            const uint32_t key = h.tag();
            const uint32_t length = h.length;
            if (length == 0) continue;
            if (key == kPixelData) break;

            // The value with two 0 bytes after it; the buffer grows only as
            // far as the rest of the file can fill it.
            if (length > 0xFFFFFFFFu - 2) throw ecError("DICOM:Data Element too large ", 1, 0, -1, -1);
            const long valueAt = in.Tell();
            if (!walk.Holds(length))
                throw ecError("DICOM:Unable to read data element at " + HexPosition(valueAt), 1, 0, -1, -1);
            bool taken;
            try {
                taken = walk.Take(length, value, 2);
            } catch (const std::bad_alloc&) {
                throw ecError("DICOM:Data Element too large ", 1, 0, -1, -1);
            }
            if (!taken) throw ecError("DICOM:Unable to read data element at " + HexPosition(valueAt), 1, 0, -1, -1);
            char* text = value.data();
            act(key, text, length);
        }
    }

    // The pixel element. Siemens private values stand in for a missing image
    // number and slice spacing.
    if (!found[kDicomImageNumber] && found[kDicomExtraSlice]) {
        hdr.iImageNum = state.extraSlice;
        found[kDicomImageNumber] = true;
    }
    if (!found[kDicomSliceSpacing] && found[kDicomExtraSliceGap]) {
        hdr.fSliceSpacing = state.extraSliceGap;
        found[kDicomSliceSpacing] = true;
    }
    std::vector<char>().swap(value);

    // The host's fallback set, copied as a whole.
    const ecDicomSliceFallback& fb = DicomSliceFallback<T>();
    if (found[kDicomImageNumber] && ecMriSliceBase::bInferUnsetDicomFields && fb.bReqValuesAreSet &&
        (hdr.PlaneType == 0 || !found[kDicomRows] || !found[kDicomSliceSpacing] ||
         !found[kDicomSliceThickness] || !found[kDicomPixelSpacing])) {
        hdr.PlaneType = static_cast<SliceType>(fb.iTmpPlane);
        hdr.ImagePlane = fb.stTmp;
        iNumCols = hdr.iNumPix = fb.iTmpNRowsX;
        iNumRows = hdr.iNumPixY = fb.iTmpNRowsY;
        hdr.fSliceSpacing = fb.fTmpScanSpacing;
        hdr.fSliceThickness = fb.fTmpSliceThickness;
        hdr.fSizePix = fb.fTmpPixelSize;
        hdr.fSizePixY = fb.fTmpPixelSizeY;
    }

    if (RequiredDicomValuesSet(true) || RequiredDicomValuesSet(false)) hdr.bIsValid = true;

    // Negative counts (only a host's fallback can give them) read nothing.
    const long long pixels = static_cast<long long>(iNumCols) * static_cast<long long>(iNumRows);
    const unsigned long pixelCount = (iNumCols < 0 || iNumRows < 0) ? 0ul : static_cast<unsigned long>(pixels);
    const int result = ReadDICOM_Image(stream.Release(), pixelCount, 0, nullptr);
    counts.keep = result >= 1;
    return result;
}

template <class T>
void ecMriSlice<T>::SetUsingExtraSiemansInfo(char* text)
{
    if (!text) return;
    const std::string separator = "\\";
    std::string rest = text;
    std::string field = SplitFirst(rest, separator, true);
    for (int i = 0; i < 43 && !rest.empty(); ++i) {
        if (i == 13 && iNumCols == 0) {
            iNumCols = ClampedInt(field.c_str());
            const size_t star = field.find('*');
            iNumRows = star == std::string::npos ? iNumCols : ClampedInt(field.c_str() + star + 1);
        }
        if (i == 21 && pRawHeader && pRawHeader->fSliceThickness == 0.0 && field.compare(0, 2, "SL") == 0)
            pRawHeader->fSliceThickness = TextToDouble(field.c_str() + 2);
        if (i == 23 && pRawHeader && pRawHeader->PlaneType == 0) {
            ToLower(field);
            StripBlanks(field, true, true);
            const char first = field.empty() ? '\0' : field[0];
            const SliceType plane = first == 's'   ? SliceSagittal
                                    : first == 'a' ? SliceAxial
                                    : first == 'c' ? SliceCoronal
                                                   : SliceUnknown;
            if (plane != SliceUnknown) pRawHeader->PlaneType = pRawHeader->ImagePlane = plane;
        }
        field = SplitFirst(rest, separator, true);
    }
}

#define QUARN_DICOM_SLICE(T) \
    template int ecMriSlice<T>::ReadDICOM_Image(FILE*, unsigned long, unsigned long, void*); \
    template int ecMriSlice<T>::ReadDICOMFile(const char*, unsigned long, void*); \
    template void ecMriSlice<T>::SetUsingExtraSiemansInfo(char*);
QUARN_DICOM_SLICE(unsigned char)
QUARN_DICOM_SLICE(short)
QUARN_DICOM_SLICE(float)
