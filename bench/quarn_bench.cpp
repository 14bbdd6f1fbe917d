// Quarn's side of the benchmark.
//   scan     the series scan FindDicomFileImageRange over the whole list
//   display  ReadMriSlice(name, MriDicom, nullptr, true, 0): whole display slices
//   plain    ecMriSlice<short>::ReadDICOMFile: whole slices of implicit little-endian files
//   modern   quarn::ReadImage(name): the modern reading path, pixels and all
//   genesis  ecMriSlice<short>::ReadGEMFile of every listed Genesis file
//   scanmem  one series scan, then the sizes that bound its memory (no timing)
#include <cstdio>
#include <string>
#include <vector>

#include "BenchCommon.h"
#include "Quarn.h"
#include "QuarnImage.h"

namespace {

long long CentreOf(const ecMriSlice<short>& s)
{
    return bench::Centre(reinterpret_cast<const unsigned short*>(s.GetPixels()), s.GetNumRows(), s.GetNumCols());
}

long long Scan(const std::vector<std::string>& list)
{
    // The scan takes the list by reference but leaves it as it is.
    std::vector<std::string>& names = const_cast<std::vector<std::string>&>(list);
    std::vector<ecDicomHeaderInfo> headers;
    int first = 0, last = 0;
    const int n = FindDicomFileImageRange(names, first, last, headers, nullptr, 0);
    if (n != static_cast<int>(names.size())) bench::Die("series scan answered " + std::to_string(n));
    long long sum = 0;
    for (const ecDicomHeaderInfo& h : headers) sum += h.iImageNum;
    return sum;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::string(argv[1]) == "scanmem") {
        // Prints the sizes that the peak memory of a scan is held against.
        std::vector<std::string> names = bench::ReadList(argv[2]);
        std::vector<ecDicomHeaderInfo> headers;
        int first = 0, last = 0;
        const int n = FindDicomFileImageRange(names, first, last, headers, nullptr, 0);
        size_t nameBytes = 0;
        for (const ecDicomHeaderInfo& h : headers) nameBytes += h.sFileName.capacity() + 1;
        std::printf("files %d\nrecord_bytes %zu\nrecords_capacity %zu\nname_bytes %zu\n", n,
                    sizeof(ecDicomHeaderInfo), headers.capacity(), nameBytes);
        return n == static_cast<int>(names.size()) ? 0 : 1;
    }
    return bench::Run(argc, argv, {
        {"scan", Scan},
        {"display", [](const std::vector<std::string>& names) {
             long long sum = 0;
             for (const std::string& name : names) {
                 ecMriSliceBase* s = ReadMriSlice(name.c_str(), MriDicom, nullptr, true, 0);
                 auto* slice = dynamic_cast<ecMriSlice<short>*>(s);
                 if (!slice || !slice->GetPixels()) bench::Die("no display slice from " + name);
                 sum += CentreOf(*slice);
                 delete s;
             }
             return sum;
         }},
        {"plain", [](const std::vector<std::string>& names) {
             long long sum = 0;
             for (const std::string& name : names) {
                 ecMriSlice<short> slice;
                 const int r = slice.ReadDICOMFile(name.c_str(), 0, nullptr);
                 if (r != 1 || !slice.GetPixels()) bench::Die("ReadDICOMFile answered " + std::to_string(r));
                 sum += CentreOf(slice);
             }
             return sum;
         }},
        {"modern", [](const std::vector<std::string>& names) {
             long long sum = 0;
             for (const std::string& name : names) {
                 const quarn::Image im = quarn::ReadImage(name);
                 if (im.pixelBytes.size() < im.PixelCount() * 2) bench::Die("no 16-bit pixels from " + name);
                 sum += bench::Centre(reinterpret_cast<const unsigned short*>(im.pixelBytes.data()), im.rows,
                                      im.columns);
             }
             return sum;
         }},
        {"genesis", [](const std::vector<std::string>& names) {
             long long sum = 0;
             for (const std::string& name : names) {
                 ecMriSlice<short> slice;
                 const int r = slice.ReadGEMFile(name.c_str(), nullptr);
                 if (r != 1 || !slice.GetPixels()) bench::Die("ReadGEMFile answered " + std::to_string(r));
                 sum += CentreOf(slice);
             }
             return sum;
         }},
    });
}
