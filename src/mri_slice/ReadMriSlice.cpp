// The slice factory: chooses the pixel type and the kind of slice for a file
// type and lets the slice's reading constructor load the file.
#include "ReadMriSlice.h"

#include <new>

#include "MriSliceImg.h"
#include "ecError.h"
#include "read_dicom/DicomOpenFile.h"
#include "readSigna.h"
#include "readnema.h"

namespace {
template <class T>
ecMriSliceBase* NewSlice(bool display, const char* name, MriFileType type, ecRawHeaderInfo* hdr,
                         unsigned long options)
{
    if (display) return new (std::nothrow) ecMriSliceImg<T>(name, type, hdr, options, nullptr);
    return new (std::nothrow) ecMriSlice<T>(name, type, hdr, options, nullptr);
}

// 8 gives an 8-bit slice, 16 a 16-bit one, any other depth nothing.
ecMriSliceBase* NewSliceOfDepth(int depth, bool display, const char* name, MriFileType type, ecRawHeaderInfo* hdr,
                                unsigned long options)
{
    if (depth == 8) return NewSlice<unsigned char>(display, name, type, hdr, options);
    if (depth == 16) return NewSlice<short>(display, name, type, hdr, options);
    return nullptr;
}
}  // namespace

int FindGEM_PixelDepth(const char*)
{
    return -100;
}

ecMriSliceBase* ReadMriSlice(const char* name, MriFileType type, ecRawHeaderInfo* hdr, bool display,
                             unsigned long options)
{
    if (!name || static_cast<unsigned>(type) > 20u) return nullptr;
    switch (static_cast<unsigned>(type)) {
    case MriGenesis:
        try {
            return NewSlice<short>(display, name, type, hdr, options);
        } catch (const ecError&) {
        }
        if (FindGEM_PixelDepth(name) == 8) return NewSlice<unsigned char>(display, name, type, hdr, options);
        return nullptr;
    case MriDicom:
        if (display) {
            // The depth probe and the slice's own read share one open file.
            DicomOpenFile file(name);
            ShareDicomFile share(file);
            return NewSliceOfDepth(FindDICOM_PixelDepth(name, nullptr), true, name, type, hdr, options);
        }
        try {
            return NewSlice<short>(false, name, type, hdr, options);
        } catch (const ecError&) {
        }
        if (FindDICOM_PixelDepth(name, nullptr) == 8) return NewSlice<unsigned char>(false, name, type, hdr, options);
        return nullptr;
    case MriSigna:
        return NewSliceOfDepth(FindSigna_PixelDepth(name), display, name, type, hdr, options);
    case MriSiemens:
        if (display) return NewSlice<short>(true, name, type, hdr, options);
        try {
            return NewSlice<short>(false, name, type, hdr, options);
        } catch (const ecError&) {
            return nullptr;
        }
    case MriRaw8:
        return NewSlice<unsigned char>(display, name, type, hdr, options);
    case MriRaw16:
    case MriRaw16Swapped:
        return NewSlice<short>(display, name, type, hdr, options);
    case MriRawFloat:
        return NewSlice<float>(display, name, type, hdr, options);
    default:
        return nullptr;
    }
}
