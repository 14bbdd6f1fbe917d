// GE Signa image files: pixel-depth probe, header records, series scans, the
// layout listing and the foreign float conversion.
#ifndef QUARN_READSIGNA_H
#define QUARN_READSIGNA_H

#include <string>
#include <vector>

#include "DicomHeaderInfo.h"
#include "MriSliceInformation.h"
#include "RawHeaderInfo.h"

int FindSigna_PixelDepth(const char* fileName);
int FillRawHeaderFromSignaFile(const char* fileName, ecRawHeaderInfo* header, ecMriSliceInformation* info,
                               long* dataOffset, unsigned long flags);
int FindSignaFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                            std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader,
                            unsigned long flags);
int FindSignaOffsets(const char* fileName, unsigned long flags);
int ConvertToIntel(char* bytes, float& value);
int ConvertToIntel(char* bytes, double& value);

#endif
