#include <cstdio>

#include "MriSlice.h"

std::atomic<int> ecMriSliceBase::iSeqNum{0};
bool ecMriSliceBase::bInferUnsetDicomFields = true;

ecMriSliceBase::ecMriSliceBase()
    : bLabelReplaceable(true),
      pSliceInfo(nullptr),
      pRawHeader(nullptr),
      pCurrentImage(nullptr),
      bOwnsData(false)
{
    AutoGenerateLabel();
}

ecMriSliceBase::~ecMriSliceBase()
{
    delete pSliceInfo;
    delete pRawHeader;
    delete pCurrentImage;
}

int ecMriSliceBase::AutoGenerateLabel()
{
    const int number = ++iSeqNum;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d", number);
    sLabel = std::string("Slice-") + buf;
    bLabelReplaceable = true;
    return number;
}

int ecMriSliceBase::SetLabel(const std::string& label, bool force)
{
    if (bLabelReplaceable && !label.empty()) {
        sLabel = label;
        return 1;
    }
    if (force) {
        sLabel = label;
        return 2;
    }
    return label.empty() ? -1 : -2;
}

std::string ecMriSliceBase::GetHeaderInfo(unsigned long options) const
{
    if (pRawHeader) return pRawHeader->Ascii(options);
    return "**No Header Information**";
}

int ecMriSliceBase::GetRawHeaderInfo(ecRawHeaderInfo& out, unsigned long)
{
    if (!pRawHeader) return -2;
    if (!pRawHeader->bIsValid) return -1;
    out = *pRawHeader;
    return 1;
}

int ecMriSliceBase::SetRawHeaderInfo(const ecRawHeaderInfo& in, unsigned long options)
{
    if (!in.bIsValid) return -1;
    if (pRawHeader) {
        *pRawHeader = in;
        return 1;
    }
    if (options & 1u) {
        pRawHeader = new ecRawHeaderInfo(in);
        return 2;
    }
    return -2;
}

int ecMriSliceBase::FindDICOM_PixelDepth(const char*) { return -100; }

// Operations a slice without pixels does not support.
bool ecMriSliceBase::Resize(int, int, unsigned long) { return false; }
int ecMriSliceBase::Decimate(int, void*, unsigned long) { return -100; }
int ecMriSliceBase::SetMaxMinValues(unsigned long) { return -100; }
bool ecMriSliceBase::MaxMinValuesAreSet() const { return false; }
ecImageBase* ecMriSliceBase::GetCurrentImage() { return pCurrentImage; }
int ecMriSliceBase::SetGrayValTranslation(ecImageBase::GrayTranslationMethod, double, double, unsigned long)
{
    return -100;
}
int ecMriSliceBase::SetRotationFlags(unsigned long) { return -100; }
int ecMriSliceBase::GetGrayValTranslation(ecImageBase::GrayTranslationMethod&, double&, double&) const
{
    return -100;
}
unsigned long ecMriSliceBase::GetRotationFlags() const { return 0; }
int ecMriSliceBase::FillHistogram(ecHistogramBase*, unsigned long) { return -100; }
int ecMriSliceBase::SaveImageData(const char*, unsigned long) { return -100; }
int ecMriSliceBase::ReadDICOM_Image(FILE*, unsigned long, unsigned long, void*) { return -100; }
int ecMriSliceBase::ReadDICOMFile(const char*, unsigned long, void*) { return -100; }
void ecMriSliceBase::SetUsingExtraSiemansInfo(char*) {}
int ecMriSliceBase::GetGEMImage(FILE*, unsigned long, void*) { return -100; }
int ecMriSliceBase::ReadGEMFile(const char*, void*) { return -100; }
int ecMriSliceBase::GetSignaFile(const char*, unsigned long, void*) { return -100; }
int ecMriSliceBase::GetSignaImage(FILE*, unsigned long, unsigned long, void*) { return -100; }
int ecMriSliceBase::GetSiemensFile(const char*, unsigned long, void*) { return -100; }
int ecMriSliceBase::GetSiemensImage(FILE*, unsigned long, unsigned long, void*) { return -100; }

// The three slices built when the library is loaded take the sequence numbers
// 1, 2 and 3, so the first slice a host creates is "Slice-4".
namespace {
struct LoadTimeSlices {
    ecMriSliceBase base;
    ecMriSlice<unsigned char> bytes;
    ecMriSlice<short> shorts;
};
LoadTimeSlices loadTimeSlices;
}  // namespace
