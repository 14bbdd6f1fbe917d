// libFuzzer harness for one reader entry; the entry's name is given at build
// time (QUARN_FUZZ_ENTRY).
#include <cstdio>
#include <cstdlib>

#include "ReaderEntries.h"

namespace {
const quarn_fuzz::ReaderEntry& Entry()
{
    static const quarn_fuzz::ReaderEntry* entry = quarn_fuzz::FindEntry(QUARN_FUZZ_ENTRY);
    if (!entry) {
        std::fprintf(stderr, "no reader entry named %s in this build\n", QUARN_FUZZ_ENTRY);
        std::abort();
    }
    return *entry;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    (void)Entry();
    (void)quarn_fuzz::ScratchDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Entry().run(data, size);
    return 0;
}
