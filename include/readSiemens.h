// Siemens image files: header and information records, and series scans.
#ifndef QUARN_READSIEMENS_H
#define QUARN_READSIEMENS_H

#include <string>
#include <vector>

#include "DicomHeaderInfo.h"
#include "MriSliceInformation.h"
#include "QuarnExport.h"
#include "RawHeaderInfo.h"

QUARN_API int FillRawHeaderFromSiemensFile(const char* fileName, ecRawHeaderInfo* header, ecMriSliceInformation* info,
                                 long* dataOffset, unsigned long flags);
QUARN_API int FindSiemensFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                              std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader,
                              unsigned long flags);

#endif
