// The smallest and largest pixel of a block, the pass every display slice
// makes over its pixels after reading them.
#include "mri_slice/PixelRange.h"

// Built by GCC for x86-64 Linux, the integer forms exist for several
// instruction sets and the loader picks the best one the processor runs (a
// 512 x 512 slice then takes a few microseconds instead of some twenty).
// Clang 14 leaves such functions undefined in a static library, so its builds
// (the fuzzers) take the one baseline form.
// Under ThreadSanitizer the clone chooser would run, instrumented, while the
// library is being loaded, before the sanitizer's run-time is ready.
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_THREAD__)
#define QUARN_PIXEL_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define QUARN_PIXEL_CLONES
#endif

namespace {
template <class T>
inline void Range(const T* pixels, size_t n, T& lo, T& hi)
{
    T l = lo, h = hi;
    for (size_t i = 0; i < n; ++i) {
        const T v = pixels[i];
        if (v < l) l = v;
        if (v > h) h = v;
    }
    lo = l;
    hi = h;
}

// The clones are local to this file: GCC 12 gives the chooser of the clones of
// a function with external linkage default visibility, whatever the build
// says, and the library would export it.
QUARN_PIXEL_CLONES void BytesRange(const unsigned char* pixels, size_t n, unsigned char& lo, unsigned char& hi)
{
    Range(pixels, n, lo, hi);
}

QUARN_PIXEL_CLONES void ShortsRange(const short* pixels, size_t n, short& lo, short& hi)
{
    Range(pixels, n, lo, hi);
}
}  // namespace

void PixelRange(const unsigned char* pixels, size_t n, unsigned char& lo, unsigned char& hi)
{
    BytesRange(pixels, n, lo, hi);
}

void PixelRange(const short* pixels, size_t n, short& lo, short& hi) { ShortsRange(pixels, n, lo, hi); }

void PixelRange(const float* pixels, size_t n, float& lo, float& hi) { Range(pixels, n, lo, hi); }
