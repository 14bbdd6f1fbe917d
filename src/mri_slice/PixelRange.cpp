// The smallest and largest pixel of a block, the pass every display slice
// makes over its pixels after reading them; the stored bits of each pixel,
// the pass the modern DICOM reader makes.
#include "mri_slice/PixelRange.h"

#include <cstring>

// Built by GCC for x86-64 Linux, the integer forms exist for several
// instruction sets and the loader picks the best one the processor runs.
// Clang 14 leaves such functions undefined in a static library, so its builds
// (the fuzzers) take the one baseline form. Under ThreadSanitizer the clone
// chooser would run, instrumented, while the library is being loaded, before
// the sanitizer's run-time is ready. QUARN_NO_TARGET_CLONES leaves them out
// (the benchmark's plain -O2 build).
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_THREAD__) && !defined(QUARN_NO_TARGET_CLONES)
#define QUARN_PIXEL_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define QUARN_PIXEL_CLONES
#endif

namespace {

template <class T>
inline void ScalarRange(const T* pixels, size_t n, T& lo, T& hi)
{
    T l = lo, h = hi;
    for (size_t i = 0; i < n; ++i) {
        T v;
        std::memcpy(&v, pixels + i, sizeof v);  // the pixels may be bytes of a buffer
        if (v < l) l = v;
        if (v > h) h = v;
    }
    lo = l;
    hi = h;
}

// 16 bytes of pixels as one vector value, two of them per step. The loop is
// written with vector operations because GCC does not vectorize the scalar
// loop at -O2 (its cheap cost model leaves loops of unknown length alone),
// and -O2 is the optimisation level of the default build and of
// distributions' builds. 16 bytes is the baseline's register width: wider
// vector values would be kept on the stack there.
template <class T>
struct Vector16 {
    typedef T Type __attribute__((vector_size(16)));
};

template <class V>
inline V Min(V a, V b)
{
    return a < b ? a : b;
}

template <class V>
inline V Max(V a, V b)
{
    return a > b ? a : b;
}

template <class T>
inline void VectorRange(const T* pixels, size_t n, T& lo, T& hi)
{
    using V = typename Vector16<T>::Type;
    constexpr size_t kLanes = sizeof(V) / sizeof(T);
    size_t i = 0;
    if (n >= 2 * kLanes) {
        V lo0, lo1;
        std::memcpy(&lo0, pixels, sizeof lo0);
        std::memcpy(&lo1, pixels + kLanes, sizeof lo1);
        V hi0 = lo0, hi1 = lo1;
        for (i = 2 * kLanes; i + 2 * kLanes <= n; i += 2 * kLanes) {
            V a, b;
            std::memcpy(&a, pixels + i, sizeof a);
            std::memcpy(&b, pixels + i + kLanes, sizeof b);
            lo0 = Min(a, lo0);
            hi0 = Max(a, hi0);
            lo1 = Min(b, lo1);
            hi1 = Max(b, hi1);
        }
        lo0 = Min(lo0, lo1);
        hi0 = Max(hi0, hi1);
        for (size_t k = 0; k < kLanes; ++k) {
            if (lo0[k] < lo) lo = lo0[k];
            if (hi0[k] > hi) hi = hi0[k];
        }
    }
    ScalarRange(pixels + i, n - i, lo, hi);
}

// Bits [shift, shift + bits) of each word, moved down and sign-extended from
// the top bit kept when `sign` is set; in place, `pixels` possibly bytes of a
// buffer.
template <class T>
inline void ScalarStoredBits(T* pixels, size_t n, int shift, T mask, T top, bool sign)
{
    for (size_t i = 0; i < n; ++i) {
        T v;
        std::memcpy(&v, pixels + i, sizeof v);
        v = static_cast<T>((v >> shift) & mask);
        if (sign) v = static_cast<T>((v ^ top) - top);
        std::memcpy(pixels + i, &v, sizeof v);
    }
}

// Whether every one of the n words already is its stored value: with no
// shift, the bits above the kept ones all clear (unsigned) or all copies of
// the top bit kept (signed; adding that bit's value clears them). A pass that
// only reads, so a block that needs nothing (the usual case: nothing stored
// above High Bit) is not written.
template <class T>
inline bool AlreadyStored(const T* pixels, size_t n, T mask, T top, bool sign)
{
    using V = typename Vector16<T>::Type;
    constexpr size_t kLanes = sizeof(V) / sizeof(T);
    const T add = sign ? top : T(0);
    const V vadd = V{} + add;
    V any0 = V{}, any1 = V{};
    size_t i = 0;
    for (; i + 2 * kLanes <= n; i += 2 * kLanes) {
        V a, b;
        std::memcpy(&a, pixels + i, sizeof a);
        std::memcpy(&b, pixels + i + kLanes, sizeof b);
        any0 |= a + vadd;
        any1 |= b + vadd;
    }
    any0 |= any1;
    T any = 0;
    for (size_t k = 0; k < kLanes; ++k) any = static_cast<T>(any | any0[k]);
    for (; i < n; ++i) {
        T v;
        std::memcpy(&v, pixels + i, sizeof v);
        any = static_cast<T>(any | static_cast<T>(v + add));
    }
    return (any & static_cast<T>(~mask)) == 0;
}

template <class T>
inline void VectorStoredBits(T* pixels, size_t n, int shift, int bits, bool sign)
{
    using V = typename Vector16<T>::Type;
    constexpr size_t kLanes = sizeof(V) / sizeof(T);
    const T mask = static_cast<T>(bits >= int(8 * sizeof(T)) ? T(~T(0)) : T((T(1) << bits) - 1));
    const T top = static_cast<T>(T(1) << (bits - 1));
    if (shift == 0 && AlreadyStored(pixels, n, mask, top, sign)) return;
    const V vmask = V{} + mask, vtop = V{} + top;
    size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        V v;
        std::memcpy(&v, pixels + i, sizeof v);
        v = (v >> shift) & vmask;
        if (sign) v = (v ^ vtop) - vtop;
        std::memcpy(pixels + i, &v, sizeof v);
    }
    ScalarStoredBits(pixels + i, n - i, shift, mask, top, sign);
}

// The clones are local to this file: GCC 12 gives the chooser of the clones of
// a function with external linkage default visibility, whatever the build
// says, and the library would export it.
template <class T>
QUARN_PIXEL_CLONES void IntegerRange(const T* pixels, size_t n, T& lo, T& hi)
{
    VectorRange(pixels, n, lo, hi);
}

template <class T>
QUARN_PIXEL_CLONES void StoredBits(T* pixels, size_t n, int shift, int bits, bool sign)
{
    VectorStoredBits(pixels, n, shift, bits, sign);
}

}  // namespace

void KeepStoredBits(unsigned char* words, size_t n, int shift, int bits, bool sign)
{
    StoredBits(words, n, shift, bits, sign);
}
void KeepStoredBits(unsigned short* words, size_t n, int shift, int bits, bool sign)
{
    StoredBits(words, n, shift, bits, sign);
}
void KeepStoredBits(unsigned int* words, size_t n, int shift, int bits, bool sign)
{
    StoredBits(words, n, shift, bits, sign);
}

void PixelRange(const unsigned char* pixels, size_t n, unsigned char& lo, unsigned char& hi)
{
    IntegerRange(pixels, n, lo, hi);
}
void PixelRange(const signed char* pixels, size_t n, signed char& lo, signed char& hi)
{
    IntegerRange(pixels, n, lo, hi);
}
void PixelRange(const short* pixels, size_t n, short& lo, short& hi) { IntegerRange(pixels, n, lo, hi); }
void PixelRange(const unsigned short* pixels, size_t n, unsigned short& lo, unsigned short& hi)
{
    IntegerRange(pixels, n, lo, hi);
}
void PixelRange(const int* pixels, size_t n, int& lo, int& hi) { IntegerRange(pixels, n, lo, hi); }
void PixelRange(const unsigned int* pixels, size_t n, unsigned int& lo, unsigned int& hi)
{
    IntegerRange(pixels, n, lo, hi);
}
void PixelRange(const float* pixels, size_t n, float& lo, float& hi) { ScalarRange(pixels, n, lo, hi); }
