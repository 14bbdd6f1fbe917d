// Internal to the library: the smallest and largest of a block of pixels,
// and the stored bits of each.
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

// Keeps of each of the n words the `bits` bits from bit `shift` up, moved
// down, sign-extended from the top bit kept when `sign` is set (1 <= bits,
// shift + bits <= the word's width). In place; `words` may point into a
// byte buffer.
void KeepStoredBits(unsigned char* words, size_t n, int shift, int bits, bool sign);
void KeepStoredBits(unsigned short* words, size_t n, int shift, int bits, bool sign);
void KeepStoredBits(unsigned int* words, size_t n, int shift, int bits, bool sign);

#endif
