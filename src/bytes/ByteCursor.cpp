// Blocks read from files for the byte cursor.
#include "bytes/ByteCursor.h"

#include <algorithm>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/stat.h>
#endif

#include "bytes/File.h"

namespace quarn::bytes {

namespace {

// The size of the stream, which is then at `offset`; -1 when it cannot tell.
long long SizeSeekingTo(FILE* fp, long offset)
{
#if defined(__unix__) || defined(__APPLE__)
    // A regular file tells its size without a seek to its end (which would
    // make the stream read its buffer again after the seek back).
    // The seek comes first, so that bytes still buffered for writing count.
    struct stat st;
    if (std::fseek(fp, offset, SEEK_SET) == 0 && fstat(fileno(fp), &st) == 0 && S_ISREG(st.st_mode))
        return static_cast<long long>(st.st_size);
#endif
    if (std::fseek(fp, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(fp);
    if (std::fseek(fp, offset, SEEK_SET) != 0 || end < 0) return -1;
    return end;
}

}  // namespace

bool FileBlock::Read(FILE* fp, long offset, size_t n, void* into)
{
    bytes_.clear();
    into_ = static_cast<unsigned char*>(into);
    size_ = 0;
    reached_ = false;
    if (!fp) return false;
    // Room for `size` bytes: the caller's memory has it, the block's own grows to it.
    const auto room = [&](size_t size) {
        if (!into_) bytes_.resize(size);
        return into_ ? into_ : bytes_.data();
    };
    if (offset < 0) offset = std::ftell(fp);
    const long long end = offset < 0 ? -1 : SizeSeekingTo(fp, offset);
    if (end >= 0) {
        reached_ = offset <= end;
        const size_t want = static_cast<size_t>(std::min<unsigned long long>(n, reached_ ? end - offset : 0));
        size_ = std::fread(room(want), 1, want, fp);
        room(size_);
        return true;
    }
    // A stream that cannot tell its size grows with what it delivers.
    while (size_ < n) {
        const size_t step = std::min<size_t>(n - size_, 65536);
        const size_t got = std::fread(room(size_ + step) + size_, 1, step, fp);
        size_ += got;
        if (got < step) break;
    }
    room(size_);
    return true;
}

long FileBlock::OffsetOfLast(FILE* fp, size_t n)
{
    const long long size = fp ? SizeSeekingTo(fp, 0) : -1;
    return size >= 0 && static_cast<unsigned long long>(size) >= n ? static_cast<long>(size - static_cast<long long>(n))
                                                                    : 0;
}

unsigned long long FileBlock::Held(FILE* fp, long long offset, unsigned long long n)
{
    if (!fp || offset < 0) return 0;
    const long long size = SizeSeekingTo(fp, 0);
    if (size < 0) return n;
    if (offset >= size) return 0;
    const unsigned long long left = static_cast<unsigned long long>(size - offset);
    return left < n ? left : n;
}

bool FileBlock::Read(const char* fileName, size_t n)
{
    File file(fileName, "rb");
    bytes_.clear();
    into_ = nullptr;
    size_ = 0;
    reached_ = false;
    return file && Read(file.get(), 0, n);
}

}  // namespace quarn::bytes
