// corvane: the support services the slice library relies on — pixel-type
// codes and limits, pixel conversion, type and file-type words, byte-order
// helpers and a few string helpers.
#ifndef QUARN_CORVANE_H
#define QUARN_CORVANE_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "MriTypes.h"

// Pixel type codes and their words.
class ecBaseData {
public:
    enum BaseDataType {
        Unknown = 0,
        Short = 98,          // 16-bit signed
        UnsignedChar = 105,  // 8-bit unsigned
        Float = 114,         // 32-bit IEEE float
    };
    // "uchar", "short", "float"; "unknown" for any other code.
    static std::string Ascii(BaseDataType code);
    // Reverse of Ascii (case-insensitive); Unknown (0) for any other word.
    static BaseDataType Parse(const std::string& word);
};

inline ecBaseData::BaseDataType GetBaseDataType(unsigned char) { return ecBaseData::UnsignedChar; }
inline ecBaseData::BaseDataType GetBaseDataType(short) { return ecBaseData::Short; }
inline ecBaseData::BaseDataType GetBaseDataType(float) { return ecBaseData::Float; }

unsigned char GetMaximumGrayValue(unsigned char);
short GetMaximumGrayValue(short);
float GetMaximumGrayValue(float);
unsigned char GetMinimumGrayValue(unsigned char);
short GetMinimumGrayValue(short);
float GetMinimumGrayValue(float);

// Rounds to the nearest integer (halves away from zero) and clamps to the
// range of the pixel type; NaN gives 0. Floats pass through unchanged.
unsigned char ConvertPixVal(double value, unsigned char);
short ConvertPixVal(double value, short);
float ConvertPixVal(double value, float);

// A fixed word per file type value; "MriUnknown(<n>)" outside 0..20.
std::string AsciiRepOfMriFileType(MriFileType type);

// Byte order. Each reverses the bytes of one value; source and destination may
// be the same object. `long` carries a 32-bit value whatever the host's size of
// long: only its low 32 bits are reversed, and the result is sign-extended.
void swal(long* src, long* dst);
void swaf(float* src, float* dst);
void swad(double* src, double* dst);
// Exchanges the bytes of each of `count` pixels (a no-op copy for 8-bit
// pixels). Returns the number of pixels handled, or -1 for a null buffer or a
// negative count.
int ByteSwapPixels(const unsigned char* src, unsigned char* dst, int count);
int ByteSwapPixels(const short* src, short* dst, int count);
int ByteSwapPixels(const float* src, float* dst, int count);
// Eight big-endian IEEE 754 bytes to a host double; 1 on success, -1 for a null source.
int ConvertFromBigEndian(const char* src, double& dst);

// Decoding of fixed-width big-endian and little-endian fields from a byte buffer.
inline uint16_t ReadU16BE(const unsigned char* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint16_t ReadU16LE(const unsigned char* p) { return static_cast<uint16_t>((p[1] << 8) | p[0]); }
inline uint32_t ReadU32BE(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline uint32_t ReadU32LE(const unsigned char* p) {
    return (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | uint32_t(p[0]);
}
inline int16_t ReadS16BE(const unsigned char* p) { return static_cast<int16_t>(ReadU16BE(p)); }
inline int32_t ReadS32BE(const unsigned char* p) { return static_cast<int32_t>(ReadU32BE(p)); }
float ReadF32BE(const unsigned char* p);
double ReadF64BE(const unsigned char* p);

// True when the host stores the low byte of a number first.
bool HostStoresLowByteFirst();
// Bytes from the current position of `fp` to its end, or -1 when the stream
// cannot tell (a pipe, say). The position is left where it was.
long long BytesLeftInStream(FILE* fp);
// False only when the stream tells that fewer than `bytes` bytes are left from
// its current position (a stream that cannot tell is given the benefit).
bool StreamHoldsAtLeast(FILE* fp, unsigned long long bytes);

// Exchanges adjacent bytes of `nbytes` bytes in place (an odd last byte stays).
void SwapBytePairs(void* data, size_t nbytes);

// Strings.
// printf-style formatting into a string of any length.
std::string StringPrintf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string SplitFirst(std::string& rest, const std::string& separator, bool unused = false);
int StripBlanks(std::string& text, bool leading, bool trailing);
int ToLower(std::string& text);

#endif
