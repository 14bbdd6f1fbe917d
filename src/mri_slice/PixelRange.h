// Internal to the library: the smallest and largest of a block of pixels.
#ifndef QUARN_SRC_MRI_SLICE_PIXELRANGE_H
#define QUARN_SRC_MRI_SLICE_PIXELRANGE_H

#include <cstddef>

// Lowers `lo` to the smallest and raises `hi` to the largest of the n pixels
// (a float NaN changes neither). The integer forms use the widest vector
// instructions the processor has. `pixels` may point into a byte buffer.
void PixelRange(const unsigned char* pixels, size_t n, unsigned char& lo, unsigned char& hi);
void PixelRange(const signed char* pixels, size_t n, signed char& lo, signed char& hi);
void PixelRange(const short* pixels, size_t n, short& lo, short& hi);
void PixelRange(const unsigned short* pixels, size_t n, unsigned short& lo, unsigned short& hi);
void PixelRange(const int* pixels, size_t n, int& lo, int& hi);
void PixelRange(const unsigned int* pixels, size_t n, unsigned int& lo, unsigned int& hi);
void PixelRange(const float* pixels, size_t n, float& lo, float& hi);

#endif
