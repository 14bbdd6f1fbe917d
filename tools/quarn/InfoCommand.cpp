// quarn info: the format, header record, slice information, position and
// pixel range of each file, as text or JSON.
#include <cmath>
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

std::string Num(double v)
{
    char b[40];
    std::snprintf(b, sizeof b, "%.10g", v);
    return b;
}

template <class T, class F>
std::string Said(const std::optional<T>& v, F show)
{
    return v ? show(*v) : std::string("not in the file");
}

// What the file says, for people.
std::string ImageText(const quarn::Image& im)
{
    const auto num = [](double v) { return Num(v); };
    const auto mm = [](double v) { return Num(v) + " mm"; };
    const auto text = [](const std::string& v) { return v; };
    std::string t = "Image (what the file says):\n";
    t += "  Rows x columns: " + std::to_string(im.rows) + " x " + std::to_string(im.columns) + "\n";
    t += "  Number of frames: " + Said(im.numberOfFrames, num) + "\n";
    t += "  Pixel spacing (row, column): " +
         Said(im.pixelSpacing, [](const std::array<double, 2>& a) { return Num(a[0]) + " x " + Num(a[1]) + " mm"; }) +
         "\n";
    t += "  Slice thickness: " + Said(im.sliceThickness, mm) + "\n";
    t += "  Spacing between slices: " + Said(im.spacingBetweenSlices, mm) + "\n";
    t += "  Image position: " +
         Said(im.imagePosition,
              [](const std::array<double, 3>& a) { return Num(a[0]) + ", " + Num(a[1]) + ", " + Num(a[2]) + " mm"; }) +
         "\n";
    t += "  Image orientation: " + Said(im.imageOrientation, [](const std::array<double, 6>& a) {
             std::string o;
             for (size_t i = 0; i < 6; ++i) o += (i ? ", " : "") + Num(a[i]);
             return o;
         }) + "\n";
    t += "  Instance number: " + Said(im.instanceNumber, num) + "\n";
    t += "  Series: " + Said(im.seriesNumber, num) + ", " + Said(im.seriesDescription, text) + ", UID " +
         Said(im.seriesInstanceUID, text) + "\n";
    t += "  Bits allocated / stored: " + std::to_string(im.bitsAllocated) + " / " + std::to_string(im.bitsStored) +
         ", " + (im.pixelRepresentation ? "signed" : "unsigned") + "\n";
    t += "  Photometric interpretation: " + Said(im.photometricInterpretation, text) + "\n";
    t += "  Rescale slope / intercept: " + Said(im.rescaleSlope, num) + " / " + Said(im.rescaleIntercept, num) + "\n";
    t += "  Window centre / width: " + Said(im.windowCenter, num) + " / " + Said(im.windowWidth, num) + "\n";
    std::string ts = "not in the file";
    if (im.transferSyntaxUID) {
        const char* name = quarn::TransferSyntaxName(*im.transferSyntaxUID);
        ts = *im.transferSyntaxUID + (name ? std::string(" (") + name + ")" : "");
    }
    t += "  Transfer syntax: " + ts + "\n";
    const auto range = im.Range();
    t += "  Stored values: " + Num(range.first) + " to " + Num(range.second) + " (" +
         quarn::PixelTypeWord(im.pixelType) + ")\n";
    return t;
}

// Values the legacy record shows that the file does not state, or states
// otherwise: one warning each.
void WarnAboutStandIns(const std::string& file, const quarn::Image& im, const ecRawHeaderInfo& h)
{
    auto warn = [&](const std::string& what) {
        std::fprintf(stderr, "quarn: %s: warning: the legacy header record %s\n", file.c_str(), what.c_str());
    };
    if (!im.pixelSpacing) {
        if (h.fSizePix != 0 || h.fSizePixY != 0)
            warn("shows pixel size " + Num(h.fSizePix) + " x " + Num(h.fSizePixY) +
                 " mm, which the file does not state");
    } else if (std::abs(h.fSizePix - (*im.pixelSpacing)[0]) > 1e-6 ||
               std::abs(h.fSizePixY - (*im.pixelSpacing)[1]) > 1e-6) {
        warn("shows pixel size " + Num(h.fSizePix) + " x " + Num(h.fSizePixY) + " mm; the file says " +
             Num((*im.pixelSpacing)[0]) + " (rows) x " + Num((*im.pixelSpacing)[1]) + " (columns) mm");
    }
    if (!im.sliceThickness && h.fSliceThickness != 0)
        warn("shows slice thickness " + Num(h.fSliceThickness) + " mm, which the file does not state");
    if (!im.spacingBetweenSlices && h.fSliceSpacing != 0 && im.format != quarn::Format::Raw)
        warn("shows slice spacing " + Num(h.fSliceSpacing) + " mm, which the file does not state");
    if (!im.instanceNumber && h.iImageNum != 0 && im.format != quarn::Format::Raw)
        warn("shows image number " + std::to_string(h.iImageNum) + ", which the file does not state");
    if (im.frames > 1) warn("describes frame 1 only; the file holds " + std::to_string(im.frames) + " frames");
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
            const quarn::Image image = ReadImageOf(file, format, request);
            j["image"] = nlohmann::json::parse(quarn::ImageJson(image));
            text += ImageText(image);
            const auto range = image.Range();
            j["pixels"] = {{"columns", image.columns}, {"rows", image.rows},         {"frames", image.frames},
                           {"type", quarn::PixelTypeWord(image.pixelType)},           {"minimum", range.first},
                           {"maximum", range.second}};
            // The legacy record beside it, where the legacy readers can make one.
            j["header"] = nullptr;
            try {
                const HeaderRecord rec = ReadHeader(file, format, request);
                const ecRawHeaderInfo& h = rec.header;
                text += "Legacy header record:\n" + h.ecRawHeaderInfo::Ascii(0);
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
                WarnAboutStandIns(file, image, h);
            } catch (const FileError& e) {
                std::fprintf(stderr, "quarn: %s: note: no legacy header record: %s\n", file.c_str(),
                             e.message.c_str());
                text += "Legacy header record: none (" + e.message + ")\n";
            }
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
