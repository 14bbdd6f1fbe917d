// The library functions the tool calls by name. A build of the library may be
// made without some of its readers; these wrappers then answer -100, the
// library's code for an operation that is not supported, instead of keeping
// the tool from starting.
#ifndef QUARN_TOOL_LIBRARYCALLS_H
#define QUARN_TOOL_LIBRARYCALLS_H

#include <cstdio>
#include <string>
#include <vector>

#include "Quarn.h"

namespace tool {

constexpr int kNotSupported = -100;

int LibSeekDicomHeader(FILE* stream);
int LibFillRawHeaderFromDicomFile(const char* name, ecRawHeaderInfo* header, long* dataOffset);
int LibFindDICOM_PixelDepth(const char* name);
int LibFillRawHeaderFromSiemensFile(const char* name, ecRawHeaderInfo* header, ecMriSliceInformation* info,
                                 long* dataOffset);
int LibFillRawHeaderFromSignaFile(const char* name, ecRawHeaderInfo* header, long* dataOffset);
int LibFindSigna_PixelDepth(const char* name);

using RangeScan = int (*)(std::vector<std::string>&, int&, int&, std::vector<ecDicomHeaderInfo>&,
                          ecRawHeaderInfo*, unsigned long);
// The series scans; null when the library lacks it.
RangeScan DicomRangeScan();
RangeScan SiemensRangeScan();
RangeScan SignaRangeScan();
RangeScan XImgRangeScan();

// DICOM_ValuesAreConsistant with validity flags 3; kNotSupported when absent.
int ValuesAreConsistent(const std::vector<ecDicomHeaderInfo>& headers);
// Sets the comparison switches of the series check; false when the library
// does not have them.
bool SetComparisonTolerance(bool use, double tolerance);

// The factory, asking for a display slice; `available` tells whether the
// library has one (when not, the result is null and nothing was tried).
ecMriSliceBase* ReadDisplaySlice(const char* name, MriFileType type, ecRawHeaderInfo* hdr, unsigned long options,
                                 bool& available);

}  // namespace tool

#endif
