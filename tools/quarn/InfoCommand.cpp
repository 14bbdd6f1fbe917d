// quarn info: the format, header record, slice information, position and
// pixel range of each file, as text or JSON.
#include <cstdio>
#include <iostream>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "Slices.h"

namespace tool {

void ReportFileError(const std::string& file, const std::string& message)
{
    std::fprintf(stderr, "quarn: %s: %s\n", file.c_str(), message.c_str());
}

namespace {

std::string PlaneWord(SliceType t)
{
    switch (t) {
    case SliceAxial: return "Axial";
    case SliceSagittal: return "Sagittal";
    case SliceCoronal: return "Coronal";
    default: return "Unknown";
    }
}

nlohmann::json HeaderJson(const ecRawHeaderInfo& h)
{
    return {{"iNumPix", h.iNumPix},
            {"iNumPixY", h.iNumPixY},
            {"fSizePix", h.fSizePix},
            {"fSizePixY", h.fSizePixY},
            {"fSliceThickness", h.fSliceThickness},
            {"fSliceSpacing", h.fSliceSpacing},
            {"iImageNum", h.iImageNum},
            {"iNumFrames", h.iNumFrames},
            {"PlaneType", PlaneWord(h.PlaneType)},
            {"ImagePlane", PlaneWord(h.ImagePlane)},
            {"DataType", h.DataType},
            {"DataTypeWord", PixelTypeWord(h.DataType)},
            {"FileType", AsciiRepOfMriFileType(h.FileType)},
            {"lDataOffset", h.lDataOffset},
            {"bIsValid", h.bIsValid}};
}

nlohmann::json PositionJson(const ecDicomPositionInfo& p)
{
    nlohmann::json j;
    if (p.vPosition.size() == 3) j["position"] = {p.vPosition[0], p.vPosition[1], p.vPosition[2]};
    else j["position"] = nullptr;
    if (p.mRowColDirs.rows() == 2 && p.mRowColDirs.cols() == 3) {
        j["row_direction"] = {p.mRowColDirs(0, 0), p.mRowColDirs(0, 1), p.mRowColDirs(0, 2)};
        j["column_direction"] = {p.mRowColDirs(1, 0), p.mRowColDirs(1, 1), p.mRowColDirs(1, 2)};
    } else {
        j["row_direction"] = nullptr;
        j["column_direction"] = nullptr;
    }
    j["patient_position"] = p.sOrientation;
    return j;
}

nlohmann::json InformationJson(const ecMriSliceInformation& i)
{
    return {{"sManufacturer", i.sManufacturer},   {"sInstitutionName", i.sInstitutionName},
            {"sAnnotation", i.sAnnotation},       {"sModelName", i.sModelName},
            {"sPatientName", i.sPatientName},     {"sPatientID", i.sPatientID},
            {"sTextPatientPosition", i.sTextPatientPosition}};
}

std::string FormatLine(Format f, const ReadRequest& request)
{
    std::string line = FormatDescription(f);
    if (f == Format::Raw) line += " (" + AsciiRepOfMriFileType(request.rawType) + ")";
    return line;
}

}  // namespace

int RunInfo(const std::vector<std::string>& files, const ReadRequest& request, bool json)
{
    int status = 0;
    nlohmann::json all = nlohmann::json::array();
    bool first = true;
    for (const std::string& file : files) {
        nlohmann::json j;
        j["file"] = file;
        std::string text;
        try {
            const Format format = ResolveFormat(file, request);
            j["format"] = FormatWord(format);
            j["description"] = FormatLine(format, request);
            text += "File: " + file + "\nFormat: " + FormatLine(format, request) + "\n";
            const HeaderRecord rec = ReadHeader(file, format, request);
            const ecRawHeaderInfo& h = rec.header;
            text += "Header record:\n" + h.ecRawHeaderInfo::Ascii(0);
            text += "Pixel data offset: " + std::to_string(rec.header.iImageOffset) + "\n";
            j["header"] = HeaderJson(h);
            j["compact"] = h.ecRawHeaderInfo::Ascii(1);
            j["pixel_data_offset"] = rec.header.iImageOffset;
            if (rec.hasPosition) {
                text += "Position:\n" + rec.header.Position.Ascii(0);
                if (!rec.header.Position.sOrientation.empty()) text += "\n";
                j["position"] = PositionJson(rec.header.Position);
            }
            if (rec.hasInformation) {
                text += "Slice information:\n" + rec.information.Ascii(0);
                j["slice_information"] = InformationJson(rec.information);
            }
            const SliceImage image = ReadSlice(file, format, request, 0);
            char line[200];
            std::snprintf(line, sizeof line, "Pixels: %d x %d %s, minimum %g, maximum %g\n", image.cols, image.rows,
                          PixelTypeWord(image.dataType).c_str(), image.minimum, image.maximum);
            text += line;
            j["pixels"] = {{"columns", image.cols},
                           {"rows", image.rows},
                           {"type", PixelTypeWord(image.dataType)},
                           {"minimum", image.minimum},
                           {"maximum", image.maximum}};
        } catch (const FileError& e) {
            ReportFileError(file, e.message);
            j["error"] = e.message;
            status = 1;
        }
        if (json) {
            all.push_back(j);
        } else {
            if (text.empty()) continue;
            if (!first) std::cout << "\n";
            std::cout << text;
            std::cout.flush();
            first = false;
        }
    }
    if (json) std::cout << all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    std::cout.flush();
    return status;
}

}  // namespace tool
