// Helpers for the DICOM tests: implicit little-endian element streams built
// byte by byte, the messages the header reader may throw, its outcome on a file.
#ifndef QUARN_TESTS_DICOMTESTFILES_H
#define QUARN_TESTS_DICOMTESTFILES_H

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "Quarn.h"
#include "TestUtil.h"

namespace dicomtest {

// Implicit-VR elements in little-endian order; a NEMA file when it starts
// with group(0x0008).
class Elements {
public:
    Elements& raw(uint16_t g, uint16_t e, uint32_t length, const std::string& value = "")
    {
        u16(g), u16(e), u32(length);
        bytes.insert(bytes.end(), value.begin(), value.end());
        return *this;
    }
    Elements& text(uint16_t g, uint16_t e, std::string value)  // padded to an even length
    {
        if (value.size() % 2) value += ' ';
        return raw(g, e, static_cast<uint32_t>(value.size()), value);
    }
    Elements& us(uint16_t g, uint16_t e, uint16_t v) { return raw(g, e, 2), u16(v), *this; }
    // The group length element an ACR-NEMA file opens with.
    Elements& group(uint16_t g) { return raw(g, 0, 4), u32(0), *this; }
    Elements& pixels(uint32_t n)
    {
        raw(0x7FE0, 0x0010, n);
        bytes.insert(bytes.end(), n, 0x5A);
        return *this;
    }
    Elements& size(int rows, int cols) { return us(0x0028, 0x0010, uint16_t(rows)).us(0x0028, 0x0011, uint16_t(cols)); }
    // Thickness 4, rows, columns and pixel spacing 0.8: a complete geometry.
    Elements& geometry(int rows, int cols) { return text(0x0018, 0x0050, "4.0").size(rows, cols).text(0x0028, 0x0030, "0.8\\0.9"); }
    // `count` 16-bit pixels Pixel16(i) in a pixel element of `declared` bytes (default: all of them).
    Elements& pixels16(size_t count, uint32_t declared = 0)
    {
        raw(0x7FE0, 0x0010, declared ? declared : static_cast<uint32_t>(count * 2));
        for (size_t i = 0; i < count; ++i) u16(static_cast<uint16_t>(Pixel16(i)));
        return *this;
    }
    static short Pixel16(size_t i) { return static_cast<short>(static_cast<int>(i) * 7 - 300); }
    std::vector<unsigned char> bytes;

private:
    void u16(uint16_t v) { bytes.push_back(uint8_t(v & 0xFF)), bytes.push_back(uint8_t(v >> 8)); }
    void u32(uint32_t v) { u16(uint16_t(v & 0xFFFF)), u16(uint16_t(v >> 16)); }
};

// Every message the header reader throws (the formatted ones by prefix).
inline bool IsReaderMessage(const std::string& m)
{
    static const std::set<std::string> fixed = {
        "read16 : short read", "read32 : short read", "DICOM:Short read on header",
        "read_dicom_data_raw_header : Not a proper DICOM part 10 file.", "DICOM:Bad length",
        "DICOM:Unable to allocate memory", "DICOM: Unable to allocate memory", "DICOM:Short read",
        "DICOM:Unable to read data", "DICOM:Unable to allocate red table", "DICOM:Unable to allocate green table",
        "DICOM:Unable to allocate blue table", "DICOM:Unable to read red table", "DICOM:Unable to read green table",
        "DICOM:Unable to read blue table"};
    return fixed.count(m) || m.rfind("DICOM:Bad bytes_per_pixel : ", 0) == 0 ||
           m.rfind("DICOM:Bad data store length : ", 0) == 0;
}

// The header reader's outcome on a file (see testutil::Outcome).
inline std::string ReadOutcome(const std::string& path, ecRawHeaderInfo* header, long* offset = nullptr)
{
    return testutil::Outcome([&] { return read_dicom_data_raw_header(path.c_str(), header, offset, 0); });
}

}  // namespace dicomtest

#endif
