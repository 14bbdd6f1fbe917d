#include "LibraryCalls.h"

// Weak references: null when the library in use does not define the function.
int SeekDicomHeader(FILE* stream) __attribute__((weak));
int FillRawHeaderFromDicomFile(const char*, ecRawHeaderInfo*, long*, unsigned long) __attribute__((weak));
int FindDICOM_PixelDepth(const char*, int*) __attribute__((weak));
int FindDicomFileImageRange(std::vector<std::string>&, int&, int&, std::vector<ecDicomHeaderInfo>&,
                            ecRawHeaderInfo*, unsigned long) __attribute__((weak));
int DICOM_ValuesAreConsistant(const std::vector<ecDicomHeaderInfo>&, unsigned long) __attribute__((weak));
int FillRawHeaderFromSiemensFile(const char*, ecRawHeaderInfo*, ecMriSliceInformation*, long*, unsigned long)
    __attribute__((weak));
int FindSiemensFileImageRange(std::vector<std::string>&, int&, int&, std::vector<ecDicomHeaderInfo>&,
                              ecRawHeaderInfo*, unsigned long) __attribute__((weak));
int FindSigna_PixelDepth(const char*) __attribute__((weak));
int FillRawHeaderFromSignaFile(const char*, ecRawHeaderInfo*, ecMriSliceInformation*, long*, unsigned long)
    __attribute__((weak));
int FindSignaFileImageRange(std::vector<std::string>&, int&, int&, std::vector<ecDicomHeaderInfo>&,
                            ecRawHeaderInfo*, unsigned long) __attribute__((weak));
int FindXImgFileImageRange(std::vector<std::string>&, int&, int&, std::vector<ecDicomHeaderInfo>&,
                           ecRawHeaderInfo*, unsigned long) __attribute__((weak));
ecMriSliceBase* ReadMriSlice(const char*, MriFileType, ecRawHeaderInfo*, bool, unsigned long) __attribute__((weak));
extern bool bUseComparisonTolerance __attribute__((weak));
extern double dComparisonTolerance __attribute__((weak));

namespace tool {

int LibSeekDicomHeader(FILE* stream)
{
    return ::SeekDicomHeader ? ::SeekDicomHeader(stream) : kNotSupported;
}

int LibFillRawHeaderFromDicomFile(const char* name, ecRawHeaderInfo* header, long* dataOffset)
{
    return ::FillRawHeaderFromDicomFile ? ::FillRawHeaderFromDicomFile(name, header, dataOffset, 0) : kNotSupported;
}

int LibFindDICOM_PixelDepth(const char* name)
{
    return ::FindDICOM_PixelDepth ? ::FindDICOM_PixelDepth(name, nullptr) : kNotSupported;
}

int LibFillRawHeaderFromSiemensFile(const char* name, ecRawHeaderInfo* header, ecMriSliceInformation* info,
                                 long* dataOffset)
{
    return ::FillRawHeaderFromSiemensFile ? ::FillRawHeaderFromSiemensFile(name, header, info, dataOffset, 0)
                                          : kNotSupported;
}

int LibFillRawHeaderFromSignaFile(const char* name, ecRawHeaderInfo* header, long* dataOffset)
{
    return ::FillRawHeaderFromSignaFile ? ::FillRawHeaderFromSignaFile(name, header, nullptr, dataOffset, 0)
                                        : kNotSupported;
}

int LibFindSigna_PixelDepth(const char* name)
{
    return ::FindSigna_PixelDepth ? ::FindSigna_PixelDepth(name) : kNotSupported;
}

RangeScan DicomRangeScan() { return ::FindDicomFileImageRange; }
RangeScan SiemensRangeScan() { return ::FindSiemensFileImageRange; }
RangeScan SignaRangeScan() { return ::FindSignaFileImageRange; }
RangeScan XImgRangeScan() { return ::FindXImgFileImageRange; }

int ValuesAreConsistent(const std::vector<ecDicomHeaderInfo>& headers)
{
    return ::DICOM_ValuesAreConsistant ? ::DICOM_ValuesAreConsistant(headers, 3) : kNotSupported;
}

bool SetComparisonTolerance(bool use, double tolerance)
{
    if (!&::bUseComparisonTolerance || !&::dComparisonTolerance) return false;
    ::bUseComparisonTolerance = use;
    ::dComparisonTolerance = tolerance;
    return true;
}

ecMriSliceBase* ReadDisplaySlice(const char* name, MriFileType type, ecRawHeaderInfo* hdr, unsigned long options,
                                 bool& available)
{
    available = ::ReadMriSlice != nullptr;
    return available ? ::ReadMriSlice(name, type, hdr, true, options) : nullptr;
}

}  // namespace tool
