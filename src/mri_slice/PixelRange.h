// Internal to the library: the smallest and largest of a block of pixels.
#ifndef QUARN_SRC_MRI_SLICE_PIXELRANGE_H
#define QUARN_SRC_MRI_SLICE_PIXELRANGE_H

#include <cstddef>

// Lowers `lo` to the smallest and raises `hi` to the largest of the n pixels
// (a float NaN changes neither). The integer forms use the widest vector
// instructions the processor has.
void PixelRange(const unsigned char* pixels, size_t n, unsigned char& lo, unsigned char& hi);
void PixelRange(const short* pixels, size_t n, short& lo, short& hi);
void PixelRange(const float* pixels, size_t n, float& lo, float& hi);

#endif
