// Internal to the library: the byte cursor over a file read in blocks. It
// reads a FILE* or a file descriptor through an 8 KiB buffer (one read per
// block instead of one call per byte) and, like the cursor over a buffer,
// refuses to move past the end of the file: Take, Skip and the number reads
// answer false and consume nothing they cannot complete.
#ifndef QUARN_SRC_BYTES_STREAMCURSOR_H
#define QUARN_SRC_BYTES_STREAMCURSOR_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "bytes/ByteCursor.h"

namespace quarn::bytes {

class StreamCursor {
public:
    static constexpr long kUnknownSize = -1;

    // A file descriptor at offset 0. Its size is asked only when a value
    // reaches past the buffered bytes (a typical header never does).
    explicit StreamCursor(int fd);
    // A stream at its current position; its size bounds every skip.
    explicit StreamCursor(FILE* fp);
    StreamCursor(const StreamCursor&) = delete;
    StreamCursor& operator=(const StreamCursor&) = delete;

    long Tell() const { return base_ + static_cast<long>(pos_); }
    // Bytes left from the current position to the end of the file, or kUnknownSize.
    long Remaining();
    // Bytes buffered from the current position on.
    size_t Buffered() const { return len_ - pos_; }
    // Makes the first read of a descriptor; true when it failed because the
    // name is a folder.
    bool OpensAFolder();
    // The size of a regular file's descriptor, from a stat the caller made
    // already: the cursor then never asks for it.
    void KnowSize(long size)
    {
        if (fd_ >= 0 && size >= 0) size_ = size;
    }

    void Seek(long offset);
    // Copies up to n bytes; returns how many were available.
    size_t Read(unsigned char* dst, size_t n);
    // Moves n bytes on; false (position unchanged) when fewer are left.
    bool Skip(long n);
    // Copies up to n bytes as Read does, but what the buffer does not hold
    // goes straight from the file into dst; returns how many were copied.
    size_t ReadDirect(unsigned char* dst, size_t n);
    // The buffered bytes from the current position on, as a cursor; moving
    // it does not move this one (Advance does).
    Cursor Window() const { return Cursor(buf_ + pos_, len_ - pos_); }
    // The next n bytes when the buffer holds them, without moving on.
    const unsigned char* Peek(size_t n) const { return len_ - pos_ >= n ? buf_ + pos_ : nullptr; }
    void Advance(size_t n) { pos_ += n < len_ - pos_ ? n : len_ - pos_; }
    // Advance for n bytes known to be buffered (Peek(n) answered them).
    void AdvanceBuffered(size_t n) { pos_ += n; }

    bool ReadU16(uint16_t& v, Order o);
    bool ReadU32(uint32_t& v, Order o);

    // Leaves a FILE* itself at the logical position.
    void Sync();

private:
    bool Refill();
    long SizeOfDescriptor() const;

    static constexpr long kNotAsked = -2;

    FILE* fp_;
    int fd_ = -1;
    bool bad_ = false;     // a seek of the descriptor failed: nothing more can be read
    bool folder_ = false;  // the descriptor's first read found a folder
    long base_ = 0;        // file offset of buf_[0]
    long size_ = kUnknownSize;
    size_t pos_ = 0, len_ = 0;
    unsigned char buf_[8192];
};

// Puts the stream at the cursor's position on every way out.
struct SyncOnExit {
    StreamCursor& s;
    ~SyncOnExit() { s.Sync(); }
};

}  // namespace quarn::bytes

#endif
