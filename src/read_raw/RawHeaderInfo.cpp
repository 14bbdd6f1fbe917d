#include "RawHeaderInfo.h"

#include <cstring>

int ecRawHeaderInfo::nLowerPixLimit = 10;

ecRawHeaderInfo::ecRawHeaderInfo()
{
    SetFromSliceInfo(nullptr);
}

ecRawHeaderInfo::ecRawHeaderInfo(const ecRawHeaderInfo& other)
{
    Assign(other);
}

ecRawHeaderInfo::~ecRawHeaderInfo() = default;

ecRawHeaderInfo& ecRawHeaderInfo::operator=(const ecRawHeaderInfo& other)
{
    if (&other != this) Assign(other);
    return *this;
}

bool ecRawHeaderInfo::Assign(const ecRawHeaderInfo& o)
{
    bIsValid = o.bIsValid;
    bEvaluated = o.bEvaluated;
    bDefaults = o.bDefaults;
    bFlag7 = o.bFlag7;
    bFlag8 = o.bFlag8;
    bFlag9 = o.bFlag9;
    bFlag10 = o.bFlag10;
    iFlagCode = o.iFlagCode;
    iNumPix = o.iNumPix;
    iImageNum = o.iImageNum;
    PlaneType = o.PlaneType;
    ImagePlane = o.ImagePlane;
    iNumPixY = o.iNumPixY;
    iNumFrames = o.iNumFrames;
    DataType = o.DataType;
    FileType = o.FileType;
    fSizePix = o.fSizePix;
    fSliceSpacing = o.fSliceSpacing;
    fSliceThickness = o.fSliceThickness;
    fSizePixY = o.fSizePixY;
    fAttenFact = o.fAttenFact;
    lDataOffset = o.lDataOffset;
    std::memcpy(iSpare, o.iSpare, sizeof iSpare);
    return true;
}

void ecRawHeaderInfo::SetFromSliceInfo(const ecRawHeaderInfo* s)
{
    if (s && s->bIsValid) {
        iImageNum = s->iImageNum;
        iNumPix = s->iNumPix;
        fSizePix = s->fSizePix;
        iNumPixY = s->iNumPixY;
        fSizePixY = s->fSizePixY;
        fSliceThickness = s->fSliceThickness;
        fSliceSpacing = s->fSliceSpacing;
        PlaneType = s->PlaneType;
        fAttenFact = s->fAttenFact;
        lDataOffset = s->lDataOffset;
        bIsValid = true;
        bEvaluated = false;
        return;
    }
    bIsValid = false;
    bEvaluated = false;
    bDefaults = true;
    bFlag7 = bFlag8 = bFlag9 = bFlag10 = false;
    iFlagCode = 16;
    iNumPix = 256;
    iImageNum = 0;
    PlaneType = SliceAxial;
    ImagePlane = SliceUnknown;
    iNumPixY = 256;
    iNumFrames = 1;
    DataType = 0;
    FileType = MriNone;
    fSizePix = 0.8594;
    fSliceSpacing = 0.0;
    fSliceThickness = 3.0;
    fSizePixY = 0.8594;
    fAttenFact = 1.0;
    lDataOffset = 0;
    std::memset(iSpare, 0, sizeof iSpare);
}

bool ecRawHeaderInfo::IsValidForUse(unsigned long options) const
{
    if (!bIsValid) return false;
    if (iNumPix < 16 || iNumPix > 1024) return false;
    if (iNumPixY < 16 || iNumPixY > 1024) return false;
    // Written so that NaN fails every comparison.
    if (!(fSizePix >= 0.1 && fSizePix <= 64.0)) return false;
    if (!(fSizePixY >= 0.1 && fSizePixY <= 64.0)) return false;
    if (options & 1u) {
        if (!(fSliceSpacing >= 0.0) || !(fSliceThickness >= 0.0) || iNumFrames < 1) return false;
    }
    if (options & 2u) {
        if (ImagePlane != SliceAxial && ImagePlane != SliceSagittal && ImagePlane != SliceCoronal) return false;
    }
    return true;
}

SliceType ecRawHeaderInfo::GetSliceType() const
{
    if (PlaneType == SliceAxial || PlaneType == SliceSagittal || PlaneType == SliceCoronal) return PlaneType;
    return SliceUnknown;
}

unsigned long ecRawHeaderInfo::EncodeFlags() const
{
    // The flags word has 32-bit meaning: iFlagCode is carried whole, not masked.
    uint32_t f = static_cast<uint32_t>(iFlagCode);
    if (bEvaluated) f |= 1u << 5;
    if (bDefaults) f |= 1u << 6;
    if (bFlag7) f |= 1u << 7;
    if (bFlag8) f |= 1u << 8;
    if (bFlag9) f |= 1u << 9;
    if (bFlag10) f |= 1u << 10;
    return f;
}

void ecRawHeaderInfo::DecodeFlags(unsigned long flags)
{
    iFlagCode = static_cast<int>(flags & 0x1Fu);
    bEvaluated = (flags >> 5) & 1u;
    bDefaults = (flags >> 6) & 1u;
    bFlag7 = (flags >> 7) & 1u;
    bFlag8 = (flags >> 8) & 1u;
    bFlag9 = (flags >> 9) & 1u;
    bFlag10 = (flags >> 10) & 1u;
}
