// GE Genesis image files: XImg series scans.
#ifndef QUARN_READGEM_H
#define QUARN_READGEM_H

#include <string>
#include <vector>

#include "DicomHeaderInfo.h"
#include "RawHeaderInfo.h"

int FindXImgFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                           std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader,
                           unsigned long flags);
int FindXImageFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                             std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader,
                             unsigned long flags);

#endif
