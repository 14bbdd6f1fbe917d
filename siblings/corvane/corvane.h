// corvane: the support services the slice library relies on — pixel-type
// codes and limits, pixel conversion, type and file-type words, byte-order
// helpers and a few string helpers.
#ifndef QUARN_CORVANE_H
#define QUARN_CORVANE_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "MriTypes.h"
#include "QuarnExport.h"

// Pixel type codes and their words.
class QUARN_API ecBaseData {
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

QUARN_API inline ecBaseData::BaseDataType GetBaseDataType(unsigned char) { return ecBaseData::UnsignedChar; }
QUARN_API inline ecBaseData::BaseDataType GetBaseDataType(short) { return ecBaseData::Short; }
QUARN_API inline ecBaseData::BaseDataType GetBaseDataType(float) { return ecBaseData::Float; }

QUARN_API unsigned char GetMaximumGrayValue(unsigned char);
QUARN_API short GetMaximumGrayValue(short);
QUARN_API float GetMaximumGrayValue(float);
QUARN_API unsigned char GetMinimumGrayValue(unsigned char);
QUARN_API short GetMinimumGrayValue(short);
QUARN_API float GetMinimumGrayValue(float);

// Rounds to the nearest integer (halves away from zero) and clamps to the
// range of the pixel type; NaN gives 0. Floats pass through unchanged.
QUARN_API unsigned char ConvertPixVal(double value, unsigned char);
QUARN_API short ConvertPixVal(double value, short);
QUARN_API float ConvertPixVal(double value, float);

// A fixed word per file type value; "MriUnknown(<n>)" outside 0..20.
QUARN_API std::string AsciiRepOfMriFileType(MriFileType type);

// Byte order. Each reverses the bytes of one value; source and destination may
// be the same object. `long` carries a 32-bit value whatever the host's size of
// long: only its low 32 bits are reversed, and the result is sign-extended.
QUARN_API void swal(long* src, long* dst);
QUARN_API void swaf(float* src, float* dst);
QUARN_API void swad(double* src, double* dst);
// Exchanges the bytes of each of `count` pixels (a no-op copy for 8-bit
// pixels). Returns the number of pixels handled, or -1 for a null buffer or a
// negative count.
QUARN_API int ByteSwapPixels(const unsigned char* src, unsigned char* dst, int count);
QUARN_API int ByteSwapPixels(const short* src, short* dst, int count);
QUARN_API int ByteSwapPixels(const float* src, float* dst, int count);
// Eight big-endian IEEE 754 bytes to a host double; 1 on success, -1 for a null source.
QUARN_API int ConvertFromBigEndian(const char* src, double& dst);

// Decoding of fixed-width big-endian and little-endian fields from a byte buffer.
QUARN_API inline uint16_t ReadU16BE(const unsigned char* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
QUARN_API inline uint16_t ReadU16LE(const unsigned char* p) { return static_cast<uint16_t>((p[1] << 8) | p[0]); }
QUARN_API inline uint32_t ReadU32BE(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
QUARN_API inline uint32_t ReadU32LE(const unsigned char* p) {
    return (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | uint32_t(p[0]);
}
QUARN_API inline int16_t ReadS16BE(const unsigned char* p) { return static_cast<int16_t>(ReadU16BE(p)); }
QUARN_API inline int32_t ReadS32BE(const unsigned char* p) { return static_cast<int32_t>(ReadU32BE(p)); }
QUARN_API float ReadF32BE(const unsigned char* p);
QUARN_API double ReadF64BE(const unsigned char* p);

// True when the host stores the low byte of a number first.
QUARN_API bool HostStoresLowByteFirst();
// Bytes from the current position of `fp` to its end, or -1 when the stream
// cannot tell (a pipe, say). The position is left where it was.
QUARN_API long long BytesLeftInStream(FILE* fp);
// False only when the stream tells that fewer than `bytes` bytes are left from
// its current position (a stream that cannot tell is given the benefit).
QUARN_API bool StreamHoldsAtLeast(FILE* fp, unsigned long long bytes);

// Exchanges adjacent bytes of `nbytes` bytes in place (an odd last byte stays).
QUARN_API void SwapBytePairs(void* data, size_t nbytes);

// Strings.
// printf-style formatting into a string of any length.
QUARN_API std::string StringPrintf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
QUARN_API std::string SplitFirst(std::string& rest, const std::string& separator, bool unused = false);
QUARN_API int StripBlanks(std::string& text, bool leading, bool trailing);
QUARN_API int ToLower(std::string& text);

#endif
