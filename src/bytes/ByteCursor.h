// Internal to the library: the one bounded byte cursor every reader decodes
// file bytes through. A cursor walks a block of bytes (a buffer, or a block
// read from a file) and refuses every read, take, skip or seek that would pass
// the end of the block: it answers false (or null) and stays where it was.
// Numbers are decoded by offset in either byte order; nothing is ever
// overlaid on the bytes.
#ifndef QUARN_SRC_BYTES_BYTECURSOR_H
#define QUARN_SRC_BYTES_BYTECURSOR_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace quarn::bytes {

enum class Order : unsigned char { Little, Big };

inline uint16_t U16(const unsigned char* p, Order o)
{
    return o == Order::Little ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : static_cast<uint16_t>((p[0] << 8) | p[1]);
}

inline uint32_t U32(const unsigned char* p, Order o)
{
    return o == Order::Little
               ? uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24)
               : (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline uint64_t U64(const unsigned char* p, Order o)
{
    const uint64_t a = U32(p, o), b = U32(p + 4, o);
    return o == Order::Little ? (b << 32) | a : (a << 32) | b;
}

inline float F32(const unsigned char* p, Order o)
{
    const uint32_t bits = U32(p, o);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

inline double F64(const unsigned char* p, Order o)
{
    const uint64_t bits = U64(p, o);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// The byte order of the host.
inline Order HostOrder()
{
    const uint16_t one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first ? Order::Little : Order::Big;
}

namespace detail {
inline uint16_t Reversed(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
inline uint32_t Reversed(uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
inline uint64_t Reversed(uint64_t v)
{
    return (uint64_t(Reversed(uint32_t(v))) << 32) | Reversed(uint32_t(v >> 32));
}
// Copies `count` words of type W from `src` to `dst` with their bytes
// reversed; `dst` may be `src` itself.
template <class W>
void CopyReversed(unsigned char* dst, const unsigned char* src, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        W v;
        std::memcpy(&v, src + i * sizeof(W), sizeof(W));
        v = Reversed(v);
        std::memcpy(dst + i * sizeof(W), &v, sizeof(W));
    }
}
}  // namespace detail

class Cursor {
public:
    Cursor() = default;
    Cursor(const unsigned char* data, size_t size) : data_(data), size_(data ? size : 0) {}

    size_t Size() const { return size_; }
    size_t Tell() const { return pos_; }
    size_t Left() const { return size_ - pos_; }
    bool Has(size_t n) const { return n <= size_ - pos_; }
    const unsigned char* Data() const { return data_; }

    bool Seek(size_t offset)
    {
        if (offset > size_) return false;
        pos_ = offset;
        return true;
    }
    bool Skip(size_t n)
    {
        if (!Has(n)) return false;
        pos_ += n;
        return true;
    }
    // The next n bytes, moving past them; null (and no move) when fewer are left.
    const unsigned char* Take(size_t n)
    {
        if (!Has(n)) return nullptr;
        const unsigned char* p = data_ + pos_;
        pos_ += n;
        return p;
    }
    // The next n bytes without moving on, or null.
    const unsigned char* Peek(size_t n) const { return Has(n) ? data_ + pos_ : nullptr; }
    bool Copy(void* dst, size_t n)
    {
        const unsigned char* p = Take(n);
        if (p && n) std::memcpy(dst, p, n);
        return p != nullptr;
    }

    // Copies the next n bytes to `dst` as words of `width` bytes (1, 2, 4 or
    // 8) stored in order `o`, each put into host order; a part word at the
    // end is copied as it stands. `dst` may be the very bytes the cursor
    // views (a block read into place is turned in place). One bounds check for
    // the whole block; false (nothing copied, no move) when fewer than n
    // bytes are left.
    bool CopyWords(void* dst, size_t n, size_t width, Order o)
    {
        const unsigned char* p = Take(n);
        if (!p) return false;
        unsigned char* d = static_cast<unsigned char*>(dst);
        size_t whole = 0;
        if (o != HostOrder() && (width == 2 || width == 4 || width == 8)) {
            whole = n / width;
            if (width == 2) detail::CopyReversed<uint16_t>(d, p, whole);
            else if (width == 4) detail::CopyReversed<uint32_t>(d, p, whole);
            else detail::CopyReversed<uint64_t>(d, p, whole);
            whole *= width;
        }
        if (n > whole && d != p) std::memmove(d + whole, p + whole, n - whole);
        return true;
    }

    bool ReadU8(uint8_t& v) { return Get(v, 1, [](const unsigned char* p, Order) { return uint8_t(*p); }); }
    bool ReadU16(uint16_t& v, Order o) { return Get(v, 2, U16, o); }
    bool ReadU32(uint32_t& v, Order o) { return Get(v, 4, U32, o); }
    bool ReadF32(float& v, Order o) { return Get(v, 4, F32, o); }
    bool ReadF64(double& v, Order o) { return Get(v, 8, F64, o); }

    // The n bytes at `offset` (from the start of the block), or null; no move.
    const unsigned char* At(size_t offset, size_t n) const
    {
        return offset <= size_ && n <= size_ - offset ? data_ + offset : nullptr;
    }
    // Fields at fixed offsets; false past the end.
    bool U16At(size_t offset, uint16_t& v, Order o) const { return GetAt(offset, v, 2, U16, o); }
    bool U32At(size_t offset, uint32_t& v, Order o) const { return GetAt(offset, v, 4, U32, o); }
    bool F32At(size_t offset, float& v, Order o) const { return GetAt(offset, v, 4, F32, o); }
    bool F64At(size_t offset, double& v, Order o) const { return GetAt(offset, v, 8, F64, o); }
    bool S16At(size_t offset, int16_t& v, Order o) const
    {
        uint16_t u;
        if (!U16At(offset, u, o)) return false;
        v = static_cast<int16_t>(u);
        return true;
    }
    bool S32At(size_t offset, int32_t& v, Order o) const
    {
        uint32_t u;
        if (!U32At(offset, u, o)) return false;
        v = static_cast<int32_t>(u);
        return true;
    }

    // The n bytes at `offset` as a cursor of their own; an empty cursor when
    // they do not lie inside this one.
    Cursor Sub(size_t offset, size_t n) const
    {
        const unsigned char* p = At(offset, n);
        return p ? Cursor(p, n) : Cursor();
    }

private:
    template <class V, class F>
    bool Get(V& v, size_t n, F decode, Order o = Order::Little)
    {
        const unsigned char* p = Take(n);
        if (p) v = decode(p, o);
        return p != nullptr;
    }
    template <class V, class F>
    bool GetAt(size_t offset, V& v, size_t n, F decode, Order o) const
    {
        const unsigned char* p = At(offset, n);
        if (p) v = decode(p, o);
        return p != nullptr;
    }

    const unsigned char* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
};

// A block read from a file, and the cursor over it. The block holds only the
// bytes the file really has: a short file gives a short block, and nothing is
// allocated beyond what the file can fill.
class FileBlock {
public:
    // Reads up to `n` bytes of `fp` from `offset` on (the stream's own
    // position when offset is negative; a stream that cannot tell its
    // position is read on from where it stands). The stream is left after the
    // bytes read. With `into` (room for n bytes, kept by the caller) the bytes
    // go straight there and the block views them in place: nothing is
    // allocated, and a short block has still filled what it holds. False only
    // without a stream.
    bool Read(FILE* fp, long offset, size_t n, void* into = nullptr);
    // Opens `fileName`, reads up to `n` bytes from its start and closes it;
    // false when it cannot be opened.
    bool Read(const char* fileName, size_t n);
    // The offset of the last `n` bytes of `fp`: 0 when the stream is shorter
    // or cannot tell its size.
    static long OffsetOfLast(FILE* fp, size_t n);
    // How many of the `n` bytes from `offset` on the stream holds: 0 for an
    // offset below 0 or past the end, `n` for a stream that cannot tell its
    // size. The stream's position is left at the start.
    static unsigned long long Held(FILE* fp, long long offset, unsigned long long n);

    size_t Size() const { return size_; }
    // Whether the last read knew the stream's size and started inside the
    // file or right at its end: false for an offset past the end and for a
    // stream that cannot tell its size (a pipe), whose block is what it
    // delivered from where it stood.
    bool Reached() const { return reached_; }
    Cursor View() const { return Cursor(into_ ? into_ : bytes_.data(), size_); }
    unsigned char* Bytes() { return into_ ? into_ : bytes_.data(); }

private:
    std::vector<unsigned char> bytes_;  // the block's own bytes
    unsigned char* into_ = nullptr;     // or the caller's memory
    size_t size_ = 0;
    bool reached_ = false;
};

}  // namespace quarn::bytes

#endif
