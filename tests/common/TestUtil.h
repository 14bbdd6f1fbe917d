// Helpers shared by the test programs.
#ifndef QUARN_TESTS_TESTUTIL_H
#define QUARN_TESTS_TESTUTIL_H

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "Quarn.h"

namespace testutil {

inline std::string DataPath(const std::string& rel) { return std::string(QUARN_TEST_DATA) + "/" + rel; }

// A fresh folder under the system's temporary folder, removed with its files.
class TempDir {
public:
    TempDir()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/quarn-test-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
        path_ = buf.data();
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::vector<unsigned char> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What a call gives, as text: its result, or the message of the ecError it threw.
template <class Call>
std::string Outcome(Call&& call)
{
    try {
        return std::to_string(call());
    } catch (const ecError& e) {
        return e.what();
    }
}

// A valid axial record of cols x rows pixels of the given type code, with the
// pixels at `offset` (0: the start of the file, -1: its last bytes).
inline ecRawHeaderInfo RawRecord(int cols, int rows, int dataType, long offset = 0)
{
    ecRawHeaderInfo h;
    h.bIsValid = true;
    h.ImagePlane = SliceAxial;
    h.iNumPix = cols, h.iNumPixY = rows, h.DataType = dataType, h.lDataOffset = offset;
    return h;
}

// A slice's pixels row by row, through its row table.
template <class T>
std::vector<T> RowsOf(const ecMriSlice<T>& s)
{
    std::vector<T> v;
    for (int r = 0; r < s.GetNumRows(); ++r)
        v.insert(v.end(), s.GetRowPointers()[r], s.GetRowPointers()[r] + s.GetNumCols());
    return v;
}

// FNV-1a 64 over bytes.
inline uint64_t Fnv1a64(const void* data, size_t n)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 0x100000001b3ull;
    }
    return h;
}

// FNV-1a 64 over 16-bit values written as little-endian bytes, whatever the host order.
inline uint64_t Fnv1a64Le16(const short* values, size_t n)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < n; ++i) {
        const uint16_t v = static_cast<uint16_t>(values[i]);
        for (unsigned char b : {static_cast<unsigned char>(v & 0xFF), static_cast<unsigned char>(v >> 8)}) {
            h ^= b;
            h *= 0x100000001b3ull;
        }
    }
    return h;
}

}  // namespace testutil

#endif
