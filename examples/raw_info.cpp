// quarn_raw_info: reads headerless raw slices described by a compact header
// text and prints each slice's header text, size, minimum, maximum and sum.
//
//   quarn_raw_info "<Axial: short>(512,512,0.49,0.49,1,1,0)" TYPE OFFSET FILE...
//
// TYPE is raw8, raw16, raw16swapped or float; OFFSET is the byte offset of
// the pixels, 0 for the start of the file or -1 for the last bytes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "Quarn.h"

namespace {
bool ParseType(const char* word, MriFileType& type)
{
    if (!std::strcmp(word, "raw8")) type = MriRaw8;
    else if (!std::strcmp(word, "raw16")) type = MriRaw16;
    else if (!std::strcmp(word, "raw16swapped")) type = MriRaw16Swapped;
    else if (!std::strcmp(word, "float")) type = MriRawFloat;
    else return false;
    return true;
}

template <class T>
int Show(const char* file, MriFileType type, ecRawHeaderInfo& hdr)
{
    ecMriSlice<T> slice(file, type, &hdr, 0, nullptr);
    slice.SetRawHeaderInfo(hdr, 1);
    slice.SetMaxMinValues(0);
    double sum = 0;
    const int n = slice.GetNumRows() * slice.GetNumCols();
    for (int i = 0; i < n; ++i) sum += slice.GetPixels()[i];
    std::printf("%s (%s, offset %ld)\n%s", file, AsciiRepOfMriFileType(type).c_str(), hdr.lDataOffset,
                slice.GetHeaderInfo(0).c_str());
    std::printf("size %d x %d, min %g, max %g, sum %.0f\n\n", slice.GetNumCols(), slice.GetNumRows(),
                static_cast<double>(slice.GetMinVal()), static_cast<double>(slice.GetMaxVal()), sum);
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s HEADER-TEXT raw8|raw16|raw16swapped|float OFFSET FILE...\n", argv[0]);
        return 2;
    }
    ecRawHeaderInfo hdr;
    if (!hdr.Evaluate(std::string(argv[1]))) {
        std::fprintf(stderr, "not a compact header text: %s\n", argv[1]);
        return 2;
    }
    MriFileType type;
    if (!ParseType(argv[2], type)) {
        std::fprintf(stderr, "unknown raw type: %s\n", argv[2]);
        return 2;
    }
    hdr.FileType = type;
    hdr.lDataOffset = std::strtol(argv[3], nullptr, 10);
    int status = 0;
    for (int i = 4; i < argc; ++i) {
        try {
            switch (hdr.DataType) {
            case 105: Show<unsigned char>(argv[i], type, hdr); break;
            case 114: Show<float>(argv[i], type, hdr); break;
            default: Show<short>(argv[i], type, hdr); break;
            }
        } catch (const ecError& e) {
            std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
            status = 1;
        }
    }
    return status;
}
