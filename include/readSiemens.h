// Siemens image files: header and information records, and series scans.
#ifndef QUARN_READSIEMENS_H
#define QUARN_READSIEMENS_H

#include <string>
#include <vector>

#include "DicomHeaderInfo.h"
#include "MriSliceInformation.h"
#include "RawHeaderInfo.h"

int FillRawHeaderFromSiemensFile(const char* fileName, ecRawHeaderInfo* header, ecMriSliceInformation* info,
                                 long* dataOffset, unsigned long flags);
int FindSiemensFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                              std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader,
                              unsigned long flags);

#endif
