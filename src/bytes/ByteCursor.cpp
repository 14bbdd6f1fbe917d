// Blocks read from files for the byte cursor.
#include "bytes/ByteCursor.h"

#include <algorithm>

#include "bytes/File.h"

namespace quarn::bytes {

namespace {

// Bytes from `offset` to the end of the stream, or -1 when it cannot tell.
long long BytesAfter(FILE* fp, long offset)
{
    if (std::fseek(fp, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(fp);
    if (std::fseek(fp, offset, SEEK_SET) != 0 || end < 0) return -1;
    return end > offset ? end - offset : 0;
}

}  // namespace

bool FileBlock::Read(FILE* fp, long offset, size_t n)
{
    bytes_.clear();
    if (!fp) return false;
    if (offset < 0) offset = std::ftell(fp);
    if (offset < 0) return false;
    const long long left = BytesAfter(fp, offset);
    if (left >= 0) {
        bytes_.resize(std::min<unsigned long long>(n, static_cast<unsigned long long>(left)));
        bytes_.resize(std::fread(bytes_.data(), 1, bytes_.size(), fp));
        return true;
    }
    // A stream that cannot tell its size grows with what it delivers.
    size_t done = 0;
    while (done < n) {
        const size_t step = std::min<size_t>(n - done, 65536);
        bytes_.resize(done + step);
        const size_t got = std::fread(bytes_.data() + done, 1, step, fp);
        done += got;
        if (got < step) break;
    }
    bytes_.resize(done);
    return true;
}

bool FileBlock::Read(const char* fileName, size_t n)
{
    File file(fileName, "rb");
    bytes_.clear();
    return file && Read(file.get(), 0, n);
}

}  // namespace quarn::bytes
