// The reading entry points that take bytes from a file, each wrapped as one
// function of a byte string. The libFuzzer harnesses and the file driver
// (quarn_read_file) share them, so a fuzzing finding replays through the
// same code in the ordinary test suite. Before each read an entry puts back
// the process-wide state that the reader consults (as a freshly loaded
// library has it), so an input reads the same way whatever came before it.
#ifndef QUARN_FUZZ_READERENTRIES_H
#define QUARN_FUZZ_READERENTRIES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quarn_fuzz {

struct ReaderEntry {
    const char* name;
    const char* what;  // one line for the driver's listing
    void (*run)(const uint8_t* data, size_t size);
};

// Every entry this build has, in a fixed order.
const std::vector<ReaderEntry>& Entries();
// The entry of the given name, or null.
const ReaderEntry* FindEntry(const std::string& name);

// Private working folder of this process (created on first use, removed at
// exit) and the file every entry hands to the readers.
const std::string& ScratchDir();
const char* WriteInputFile(const uint8_t* data, size_t size);

}  // namespace quarn_fuzz

#endif
