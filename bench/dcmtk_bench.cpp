// DCMTK's side of the benchmark.
//   header  DcmFileFormat::loadFileUntilTag up to the pixel data, then the
//           values a series scan needs
//   full    DcmFileFormat::loadFile and the pixel array
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctk.h>
#include <dcmtk/oflog/oflog.h>

#include "BenchCommon.h"

namespace {

// The values the series scan keeps for each file.
long long HeaderValues(DcmDataset& ds)
{
    Uint16 rows = 0, cols = 0, bits = 0;
    Sint32 number = 0;
    Float64 thickness = 0, spacing = 0, px = 0, py = 0, pos = 0, dir = 0;
    ds.findAndGetUint16(DCM_Rows, rows);
    ds.findAndGetUint16(DCM_Columns, cols);
    ds.findAndGetUint16(DCM_BitsAllocated, bits);
    ds.findAndGetSint32(DCM_InstanceNumber, number);
    ds.findAndGetFloat64(DCM_SliceThickness, thickness);
    ds.findAndGetFloat64(DCM_SpacingBetweenSlices, spacing);
    ds.findAndGetFloat64(DCM_PixelSpacing, px, 0);
    ds.findAndGetFloat64(DCM_PixelSpacing, py, 1);
    for (unsigned long i = 0; i < 3; ++i) ds.findAndGetFloat64(DCM_ImagePositionPatient, pos, i);
    for (unsigned long i = 0; i < 6; ++i) ds.findAndGetFloat64(DCM_ImageOrientationPatient, dir, i);
    if (rows == 0 || cols == 0 || bits == 0) bench::Die("DCMTK found no image size");
    return number;
}

}  // namespace

int main(int argc, char** argv)
{
    // DCMTK warns on stderr for every file read up to a tag; the warnings
    // would be timed with the reads.
    OFLog::configure(OFLogger::ERROR_LOG_LEVEL);
    return bench::Run(argc, argv, {
        {"header", [](const std::vector<std::string>& names) {
             long long sum = 0;
             for (const std::string& name : names) {
                 DcmFileFormat ff;
                 if (ff.loadFileUntilTag(name.c_str(), EXS_Unknown, EGL_noChange, DCM_MaxReadLength,
                                         ERM_autoDetect, DCM_PixelData).bad())
                     bench::Die("DCMTK cannot read " + name);
                 sum += HeaderValues(*ff.getDataset());
             }
             return sum;
         }},
        {"full", [](const std::vector<std::string>& names) {
             long long sum = 0;
             for (const std::string& name : names) {
                 DcmFileFormat ff;
                 if (ff.loadFile(name.c_str()).bad()) bench::Die("DCMTK cannot read " + name);
                 DcmDataset& ds = *ff.getDataset();
                 Uint16 rows = 0, cols = 0;
                 ds.findAndGetUint16(DCM_Rows, rows);
                 ds.findAndGetUint16(DCM_Columns, cols);
                 const Uint16* pixels = nullptr;
                 unsigned long count = 0;
                 if (ds.findAndGetUint16Array(DCM_PixelData, pixels, &count).bad() || !pixels ||
                     count < static_cast<unsigned long>(rows) * cols)
                     bench::Die("DCMTK found no pixels in " + name);
                 sum += bench::Centre(pixels, rows, cols);
             }
             return sum;
         }},
    });
}
