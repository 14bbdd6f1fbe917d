// Descriptive, non-geometric text of a slice.
#ifndef QUARN_MRISLICEINFORMATION_H
#define QUARN_MRISLICEINFORMATION_H

#include <string>

#include "QuarnExport.h"

class QUARN_API ecMriSliceInformation {
public:
    ecMriSliceInformation() = default;
    ecMriSliceInformation(const ecMriSliceInformation&) = default;
    ecMriSliceInformation& operator=(const ecMriSliceInformation&) = default;
    ~ecMriSliceInformation() = default;

    // Empties all seven texts.
    void Reset(unsigned long options);
    // One "key=value\n" line per field; option bit 0 skips empty fields.
    std::string Ascii(unsigned long options) const;

    std::string sManufacturer;
    std::string sInstitutionName;
    std::string sAnnotation;
    std::string sModelName;
    std::string sPatientName;
    std::string sPatientID;
    std::string sTextPatientPosition;
};

#endif
