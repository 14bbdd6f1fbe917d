// Shared by the scanner-format tests: the real GE Genesis CT slices with the
// values an independent reader gives for them (tests/data/genesis/PROVENANCE.md),
// writing a generated file, and catching the readers' ecError.
#ifndef QUARN_TESTS_SCANNERSAMPLES_H
#define QUARN_TESTS_SCANNERSAMPLES_H

#include <cstdint>
#include <string>

#include "TestUtil.h"
#include "ecError.h"

namespace scansamples {

struct GenesisCt {
    const char* name;
    int imageNum;
    double pixelSize;
    short maxVal;  // the minimum is 0 in all four
    uint64_t hash;  // testutil::Fnv1a64Le16 of the 512 x 512 pixels
};
inline const GenesisCt kGenesisCt[] = {
    {"c_vf1122.fre", 122, 0.48828125, 3199, 0xb1e6792f4c251fe9ull},
    {"c_vf1123.fre", 123, 0.48828125, 3174, 0xa631a22bd9994f06ull},
    {"c_vf1210.fre", 214, 0.72265625, 2667, 0x3d100ee233d1f90aull},
    {"c_vf1211.fre", 215, 0.72265625, 2573, 0x2b9a4f0e634c3b6cull},
};
inline std::string PathOf(const GenesisCt& g) { return testutil::DataPath(std::string("genesis/") + g.name); }

// Writes `file.Build()` as `name` in `dir` and gives its path.
template <class File>
std::string Write(const testutil::TempDir& dir, const std::string& name, const File& file)
{
    testutil::WriteFile(dir.file(name), file.Build());
    return dir.file(name);
}

// The call's result, or 1000 when it threw ecError (whose message goes to `message`).
template <class Call>
int ResultOrThrown(Call&& call, std::string* message = nullptr)
{
    try {
        return call();
    } catch (const ecError& e) {
        if (message) *message = e.what();
        return 1000;
    }
}

}  // namespace scansamples

#endif
