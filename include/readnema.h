// DICOM series: file classification, header filling, pixel-depth probe,
// series scans with their consistency check, and the plane of an orientation.
#ifndef QUARN_READNEMA_H
#define QUARN_READNEMA_H

#include <cstdio>
#include <string>
#include <vector>

#include "DicomHeaderInfo.h"
#include "QuarnExport.h"
#include "RawHeaderInfo.h"
#include "read_dicom.h"

// Comparison switches of the series consistency check.
extern QUARN_API bool bUseComparisonTolerance;
extern QUARN_API double dComparisonTolerance;

QUARN_API int SeekDicomHeader(FILE* stream);
QUARN_API int FillRawHeaderFromDicomFile(const char* fileName, ecRawHeaderInfo* header, long* dataOffset,
                                         unsigned long flags);
QUARN_API int FindDICOM_PixelDepth(const char* fileName, int* frames);
QUARN_API int FindDicomFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                            std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader,
                            unsigned long flags);
QUARN_API int DICOM_ValuesAreConsistant(const std::vector<ecDicomHeaderInfo>& headers, unsigned long validityFlags);

// Fallback geometry of the whole-slice DICOM reader ecMriSlice<T>::ReadDICOMFile,
// one set per pixel type T (unsigned char, short, float), reached through
// DicomSliceFallback<T>(). All values are zero (false) when the library is
// loaded and the library never assigns them; a host that sets them and
// bReqValuesAreSet makes the reader copy all eight values into the slice and
// its header record when a file has an image number but lacks its plane, rows,
// slice spacing, slice thickness or pixel spacing (and
// ecMriSliceBase::bInferUnsetDicomFields is true).
struct QUARN_API ecDicomSliceFallback {
    int iTmpPlane;             // -> PlaneType
    SliceType stTmp;           // -> ImagePlane
    int iTmpNRowsX;            // -> columns of the slice and iNumPix
    int iTmpNRowsY;            // -> rows of the slice and iNumPixY
    float fTmpScanSpacing;     // -> fSliceSpacing
    float fTmpSliceThickness;  // -> fSliceThickness
    float fTmpPixelSize;       // -> fSizePix
    float fTmpPixelSizeY;      // -> fSizePixY
    bool bReqValuesAreSet;     // enables the fallback
};

// The fallback set of ecMriSlice<T>::ReadDICOMFile, for T = unsigned char,
// short or float. Process-wide and unguarded, like the rest of the DICOM state.
template <class T>
QUARN_API ecDicomSliceFallback& DicomSliceFallback();
extern template ecDicomSliceFallback& DicomSliceFallback<unsigned char>();
extern template ecDicomSliceFallback& DicomSliceFallback<short>();
extern template ecDicomSliceFallback& DicomSliceFallback<float>();

#endif
