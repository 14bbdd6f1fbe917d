// DICOM series: file classification, header filling, pixel-depth probe,
// series scans with their consistency check, and the plane of an orientation.
#ifndef QUARN_READNEMA_H
#define QUARN_READNEMA_H

#include <cstdio>
#include <string>
#include <vector>

#include "DicomHeaderInfo.h"
#include "RawHeaderInfo.h"

// Comparison switches of the series consistency check.
extern bool bUseComparisonTolerance;
extern double dComparisonTolerance;

int SeekDicomHeader(FILE* stream);
int FillRawHeaderFromDicomFile(const char* fileName, ecRawHeaderInfo* header, long* dataOffset, unsigned long flags);
int FindDICOM_PixelDepth(const char* fileName, int* frames);
int FindDicomFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                            std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader,
                            unsigned long flags);
int DICOM_ValuesAreConsistant(const std::vector<ecDicomHeaderInfo>& headers, unsigned long validityFlags);
SliceType GetDicomSliceType(const char* orientationText, unsigned long& reserved);

#endif
