// Internal to the library: numbers in DICOM decimal texts ("0.9765625",
// "-12.5\3.25\40"), read quickly in the plain forms scanners write and left to
// the C library in every other form.
//
// A plain number is [+-]digits[.digits] (or [+-].digits) with at most 19
// significant digits whose value fits in 53 bits and at most 22 digits after
// the point, followed by the end of the text, a blank or a backslash. Its value
// is the integer of its digits divided by a power of ten, both exact doubles,
// and one IEEE division rounds correctly: the very double strtod gives.
#ifndef QUARN_SRC_READ_RAW_DECIMALTEXT_H
#define QUARN_SRC_READ_RAW_DECIMALTEXT_H

#include <cstdint>
#include <cstdlib>

namespace decimal_text {

inline bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads one plain number at p (no blanks before it). True with the value and
// the end of the number; false when the text there is not a plain number.
inline bool ParsePlain(const char* p, double& value, const char*& end)
{
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    uint64_t mantissa = 0;
    int digits = 0, significant = 0, fraction = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
        if (significant == 0 && *p == '0') continue;
        if (++significant > 19) return false;
        mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    }
    if (*p == '.') {
        for (++p; *p >= '0' && *p <= '9'; ++p, ++digits) {
            if (++fraction > 22) return false;
            if (significant == 0 && *p == '0') continue;
            if (++significant > 19) return false;
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
        }
    }
    if (digits == 0 || mantissa > (uint64_t(1) << 53)) return false;
    if (*p != '\0' && *p != '\\' && !IsBlank(*p)) return false;  // an exponent, a hex number, text...
    const double v = static_cast<double>(mantissa) / kPow10[fraction];
    value = negative ? -v : v;
    end = p;
    return true;
}

// Reads up to `want` numbers separated by blanks and backslashes. Returns how
// many it read before the text ended, or -1 when a number has a form that is
// not plain (the caller then reads the text the slow way).
inline int ScanPlainList(const char* text, double* out, int want)
{
    const char* p = text;
    int found = 0;
    while (found < want) {
        while (*p == '\\' || IsBlank(*p)) ++p;
        if (*p == '\0') return found;
        const char* end = nullptr;
        if (!ParsePlain(p, out[found], end)) return -1;
        ++found;
        p = end;
    }
    return found;
}

// strtod(text, nullptr), the plain forms read without it.
inline double ParseDouble(const char* text)
{
    const char* p = text;
    while (IsBlank(*p)) ++p;
    double v;
    const char* end;
    if (ParsePlain(p, v, end)) return v;
    return std::strtod(text, nullptr);
}

}  // namespace decimal_text

#endif
