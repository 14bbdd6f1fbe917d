// GE Signa image files: pixel-depth probe, header records, series scans, the
// layout listing and the foreign float conversion.
#ifndef QUARN_READSIGNA_H
#define QUARN_READSIGNA_H

#include <string>
#include <vector>

#include "DicomHeaderInfo.h"
#include "MriSliceInformation.h"
#include "QuarnExport.h"
#include "RawHeaderInfo.h"

QUARN_API int FindSigna_PixelDepth(const char* fileName);
QUARN_API int FillRawHeaderFromSignaFile(const char* fileName, ecRawHeaderInfo* header, ecMriSliceInformation* info,
                               long* dataOffset, unsigned long flags);
QUARN_API int FindSignaFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                            std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader,
                            unsigned long flags);
QUARN_API int FindSignaOffsets(const char* fileName, unsigned long flags);
QUARN_API int ConvertToIntel(char* bytes, float& value);
QUARN_API int ConvertToIntel(char* bytes, double& value);

#endif
