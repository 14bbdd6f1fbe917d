// GDCM's side of the benchmark.
//   header   gdcm::Reader::ReadUpToTag with the pixel data in the skip set,
//            then the values a series scan needs
//   scanner  gdcm::Scanner over the whole list for the same values
//   full     gdcm::ImageReader and the decoded pixel buffer
#include <gdcmAttribute.h>
#include <gdcmImage.h>
#include <gdcmImageReader.h>
#include <gdcmReader.h>
#include <gdcmScanner.h>

#include <cstdlib>
#include <set>

#include "BenchCommon.h"

namespace {

const gdcm::Tag kPixelData(0x7fe0, 0x0010);

long long HeaderValues(const gdcm::DataSet& ds)
{
    gdcm::Attribute<0x0028, 0x0010> rows{};
    gdcm::Attribute<0x0028, 0x0011> cols{};
    gdcm::Attribute<0x0028, 0x0100> bits{};
    gdcm::Attribute<0x0020, 0x0013> number{};
    gdcm::Attribute<0x0018, 0x0050> thickness{};
    gdcm::Attribute<0x0018, 0x0088> spacing{};
    gdcm::Attribute<0x0028, 0x0030> pixelSpacing{};
    gdcm::Attribute<0x0020, 0x0032> position{};
    gdcm::Attribute<0x0020, 0x0037> orientation{};
    rows.SetFromDataSet(ds);
    cols.SetFromDataSet(ds);
    bits.SetFromDataSet(ds);
    number.SetFromDataSet(ds);
    thickness.SetFromDataSet(ds);
    spacing.SetFromDataSet(ds);
    pixelSpacing.SetFromDataSet(ds);
    position.SetFromDataSet(ds);
    orientation.SetFromDataSet(ds);
    if (rows.GetValue() == 0 || cols.GetValue() == 0 || bits.GetValue() == 0) bench::Die("GDCM found no image size");
    return number.GetValue();
}

}  // namespace

int main(int argc, char** argv)
{
    return bench::Run(argc, argv, {
        {"header", [](const std::vector<std::string>& names) {
             long long sum = 0;
             const std::set<gdcm::Tag> skip{kPixelData};
             for (const std::string& name : names) {
                 gdcm::Reader reader;
                 reader.SetFileName(name.c_str());
                 if (!reader.ReadUpToTag(kPixelData, skip)) bench::Die("GDCM cannot read " + name);
                 sum += HeaderValues(reader.GetFile().GetDataSet());
             }
             return sum;
         }},
        {"scanner", [](const std::vector<std::string>& names) {
             gdcm::Scanner scanner;
             const gdcm::Tag tags[] = {{0x0028, 0x0010}, {0x0028, 0x0011}, {0x0028, 0x0100},
                                       {0x0020, 0x0013}, {0x0018, 0x0050}, {0x0018, 0x0088},
                                       {0x0028, 0x0030}, {0x0020, 0x0032}, {0x0020, 0x0037}};
             for (const gdcm::Tag& t : tags) scanner.AddTag(t);
             gdcm::Directory::FilenamesType files(names.begin(), names.end());
             if (!scanner.Scan(files)) bench::Die("GDCM Scanner failed");
             long long sum = 0;
             for (const std::string& name : names) {
                 const char* v = scanner.GetValue(name.c_str(), gdcm::Tag(0x0020, 0x0013));
                 if (!v) bench::Die("GDCM Scanner has no instance number for " + name);
                 sum += std::atoi(v);
             }
             return sum;
         }},
        {"full", [](const std::vector<std::string>& names) {
             long long sum = 0;
             std::vector<char> buffer;
             for (const std::string& name : names) {
                 gdcm::ImageReader reader;
                 reader.SetFileName(name.c_str());
                 if (!reader.Read()) bench::Die("GDCM cannot read " + name);
                 const gdcm::Image& image = reader.GetImage();
                 buffer.resize(image.GetBufferLength());
                 if (!image.GetBuffer(buffer.data())) bench::Die("GDCM cannot decode " + name);
                 const unsigned* dims = image.GetDimensions();
                 sum += bench::Centre(reinterpret_cast<const unsigned short*>(buffer.data()),
                                      static_cast<int>(dims[1]), static_cast<int>(dims[0]));
             }
             return sum;
         }},
    });
}
