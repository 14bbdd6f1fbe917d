#include "MriSliceInformation.h"

void ecMriSliceInformation::Reset(unsigned long)
{
    *this = ecMriSliceInformation();
}

std::string ecMriSliceInformation::Ascii(unsigned long options) const
{
    const bool skipEmpty = (options & 1u) != 0;
    const std::pair<const char*, const std::string*> fields[] = {
        {"sManufacturer=", &sManufacturer},   {"sInstitutionName=", &sInstitutionName},
        {"sAnnotation=", &sAnnotation},       {"sModelName=", &sModelName},
        {"sPatientName=", &sPatientName},     {"sPatientID=", &sPatientID},
        {"sTextPatientPosition=", &sTextPatientPosition},
    };
    std::string out;
    for (const auto& f : fields) {
        if (skipEmpty && f.second->empty()) continue;
        out += f.first;
        out += *f.second;
        out += '\n';
    }
    return out;
}
