// Helpers for the DICOM tests: small implicit little-endian element streams
// built byte by byte, the messages the header reader may throw, and a read
// that turns a thrown error into its message.
#ifndef QUARN_TESTS_DICOMTESTFILES_H
#define QUARN_TESTS_DICOMTESTFILES_H

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "Quarn.h"

namespace dicomtest {

// Implicit-VR elements in little-endian order; a NEMA file when it starts
// with group(0x0008).
class Elements {
public:
    Elements& raw(uint16_t g, uint16_t e, uint32_t length, const std::string& value = "")
    {
        u16(g);
        u16(e);
        u32(length);
        bytes.insert(bytes.end(), value.begin(), value.end());
        return *this;
    }
    Elements& text(uint16_t g, uint16_t e, std::string value)
    {
        if (value.size() % 2) value += ' ';
        return raw(g, e, static_cast<uint32_t>(value.size()), value);
    }
    Elements& us(uint16_t g, uint16_t e, uint16_t v)
    {
        raw(g, e, 2);
        u16(v);
        return *this;
    }
    // The group length element an ACR-NEMA file opens with.
    Elements& group(uint16_t g)
    {
        raw(g, 0, 4);
        u32(0);
        return *this;
    }
    Elements& pixels(uint32_t n)
    {
        raw(0x7FE0, 0x0010, n);
        bytes.insert(bytes.end(), n, 0x5A);
        return *this;
    }
    std::vector<unsigned char> bytes;

private:
    void u16(uint16_t v)
    {
        bytes.push_back(static_cast<unsigned char>(v & 0xFF));
        bytes.push_back(static_cast<unsigned char>(v >> 8));
    }
    void u32(uint32_t v)
    {
        u16(static_cast<uint16_t>(v & 0xFFFF));
        u16(static_cast<uint16_t>(v >> 16));
    }
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

// The reader's result as text: "1", another code, or the message it threw.
inline std::string ReadOutcome(const std::string& path, ecRawHeaderInfo* header, long* offset = nullptr)
{
    try {
        return std::to_string(read_dicom_data_raw_header(path.c_str(), header, offset, 0));
    } catch (const ecError& e) {
        return e.what();
    }
}

}  // namespace dicomtest

#endif
