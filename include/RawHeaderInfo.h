// The geometry and format record of one stored slice, and its text forms.
#ifndef QUARN_RAWHEADERINFO_H
#define QUARN_RAWHEADERINFO_H

#include <cstdint>
#include <string>

#include "MriTypes.h"
#include "QuarnExport.h"

class QUARN_API ecRawHeaderInfo {
public:
    ecRawHeaderInfo();
    ecRawHeaderInfo(const ecRawHeaderInfo& other);
    virtual ~ecRawHeaderInfo();
    ecRawHeaderInfo& operator=(const ecRawHeaderInfo& other);

    // Copies every field of the base record; always true.
    bool Assign(const ecRawHeaderInfo& other);
    // Orders records by image number.
    bool operator<(const ecRawHeaderInfo& other) const { return iImageNum < other.iImageNum; }
    // Takes over the geometry of a valid record, or resets to the defaults.
    void SetFromSliceInfo(const ecRawHeaderInfo* source);
    // Sizes 16..1024, pixel sizes 0.1..64 mm; bit 0 also checks thickness,
    // spacing and frames; bit 1 requires a plane in ImagePlane.
    bool IsValidForUse(unsigned long options) const;
    SliceType GetSliceType() const;
    unsigned long EncodeFlags() const;
    void DecodeFlags(unsigned long flags);

    // Readable form (bit 1: "\r\n" line ends) or compact form (bit 0).
    std::string Ascii(unsigned long options) const;
    // Sets the record from a compact text; true on success.
    bool Evaluate(const std::string& text);
    // Reads a file holding a compact text and evaluates it.
    bool Evaluate(const char* path);

    static int nLowerPixLimit;

    bool bIsValid;
    bool bEvaluated;
    bool bDefaults;
    bool bFlag7;
    bool bFlag8;
    bool bFlag9;
    bool bFlag10;
    int iFlagCode;
    int iNumPix;
    int iImageNum;
    SliceType PlaneType;
    SliceType ImagePlane;
    int iNumPixY;
    int iNumFrames;
    int DataType;
    MriFileType FileType;
    double fSizePix;
    double fSliceSpacing;
    double fSliceThickness;
    double fSizePixY;
    double fAttenFact;
    long lDataOffset;
    int32_t iSpare[5];
};

#endif
