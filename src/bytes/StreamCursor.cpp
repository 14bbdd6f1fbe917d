// The byte cursor over a file read in blocks.
#include "bytes/StreamCursor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quarn::bytes {

StreamCursor::StreamCursor(int fd) : fp_(nullptr), fd_(fd), size_(kNotAsked) {}

StreamCursor::StreamCursor(FILE* fp) : fp_(fp)
{
    base_ = std::ftell(fp_);
    if (base_ < 0) base_ = 0;
    if (std::fseek(fp_, 0, SEEK_END) == 0) {
        size_ = std::ftell(fp_);
        if (size_ < 0) size_ = kUnknownSize;
    }
    std::fseek(fp_, base_, SEEK_SET);
}

long StreamCursor::Remaining()
{
    if (size_ == kNotAsked) size_ = SizeOfDescriptor();
    return size_ == kUnknownSize ? kUnknownSize : size_ - Tell();
}

bool StreamCursor::OpensAFolder()
{
    if (len_ == 0 && !bad_) Refill();
    return folder_;
}

void StreamCursor::Seek(long offset)
{
    if (offset >= base_ && offset <= base_ + static_cast<long>(len_)) {
        pos_ = static_cast<size_t>(offset - base_);
        return;
    }
    // A failed seek shows as a short read later.
    if (fp_)
        std::fseek(fp_, offset, SEEK_SET);
    else if (::lseek(fd_, offset, SEEK_SET) < 0)
        bad_ = true;
    base_ = offset;
    pos_ = len_ = 0;
}

size_t StreamCursor::Read(unsigned char* dst, size_t n)
{
    if (len_ - pos_ >= n) {  // the common case: all of it in the buffer
        std::memcpy(dst, buf_ + pos_, n);
        pos_ += n;
        return n;
    }
    size_t done = 0;
    while (done < n) {
        if (pos_ == len_ && !Refill()) break;
        const size_t take = std::min(n - done, len_ - pos_);
        std::memcpy(dst + done, buf_ + pos_, take);
        pos_ += take;
        done += take;
    }
    return done;
}

bool StreamCursor::Skip(long n)
{
    if (n >= 0 && static_cast<size_t>(n) <= len_ - pos_) {  // inside the buffer
        pos_ += static_cast<size_t>(n);
        return true;
    }
    if (n < 0) return false;
    if (Remaining() != kUnknownSize) {
        if (n > Remaining()) return false;
        Seek(Tell() + n);
        return true;
    }
    const long start = Tell();
    unsigned char scratch[512];
    long left = n;
    while (left > 0) {
        const size_t want = static_cast<size_t>(std::min<long>(left, sizeof scratch));
        if (Read(scratch, want) != want) {
            Seek(start);
            return false;
        }
        left -= static_cast<long>(want);
    }
    return true;
}

size_t StreamCursor::ReadDirect(unsigned char* dst, size_t n)
{
    size_t done = std::min(n, len_ - pos_);
    std::memcpy(dst, buf_ + pos_, done);
    pos_ += done;
    if (done == n) return n;
    base_ += static_cast<long>(len_);  // the file stands right after the buffer
    pos_ = len_ = 0;
    if (fp_) {
        const size_t got = std::fread(dst + done, 1, n - done, fp_);
        base_ += static_cast<long>(got);
        return done + got;
    }
    while (done < n && !bad_) {
        const ssize_t got = ::read(fd_, dst + done, n - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
        base_ += static_cast<long>(got);
    }
    return done;
}

bool StreamCursor::ReadU16(uint16_t& v, Order o)
{
    unsigned char b[2];
    if (Read(b, 2) != 2) return false;
    v = U16(b, o);
    return true;
}

bool StreamCursor::ReadU32(uint32_t& v, Order o)
{
    unsigned char b[4];
    if (Read(b, 4) != 4) return false;
    v = U32(b, o);
    return true;
}

void StreamCursor::Sync()
{
    if (fp_) std::fseek(fp_, Tell(), SEEK_SET);
}

bool StreamCursor::Refill()
{
    base_ += static_cast<long>(len_);
    pos_ = len_ = 0;
    if (fp_) {
        len_ = std::fread(buf_, 1, sizeof buf_, fp_);
    } else if (!bad_) {
        // The first read asks for 4 KiB, which holds a typical header whole;
        // later reads fill the buffer. A pipe may deliver less than asked
        // before its end, so reading goes on to the end.
        const size_t want = base_ == 0 ? 4096 : sizeof buf_;
        while (len_ < want) {
            const ssize_t got = ::read(fd_, buf_ + len_, want - len_);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 && errno == EISDIR) folder_ = true;
            if (got <= 0) break;
            len_ += static_cast<size_t>(got);
        }
    }
    return len_ > 0;
}

long StreamCursor::SizeOfDescriptor() const
{
    struct stat st;
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return kUnknownSize;
    return static_cast<long>(st.st_size);
}

}  // namespace quarn::bytes
