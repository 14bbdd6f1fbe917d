// The test file writer's big-endian encoders agree with Python's struct module,
// an encoder that owes nothing to this project.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "ScannerFileWriter.h"

namespace {

std::string Hex(const scanfiles::Bytes& b)
{
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (unsigned char c : b) {
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

std::string RunPython(const std::string& program)
{
    const std::string cmd = "/usr/bin/python3 -c \"" + program + "\"";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return "";
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

}  // namespace

TEST(ScannerFileWriter, EncodersMatchPythonStruct)
{
    scanfiles::Bytes b;
    size_t at = 0;
    scanfiles::PutU16BE(b, at, 0x8000), at += 2;
    scanfiles::PutU16BE(b, at, static_cast<uint16_t>(-2)), at += 2;
    scanfiles::PutU32BE(b, at, 3416), at += 4;
    scanfiles::PutU32BE(b, at, static_cast<uint32_t>(-156)), at += 4;
    for (float f : {0.48828125f, 1.0f, -2.5f, 0.98f, std::numeric_limits<float>::infinity(), 1e-40f}) {
        scanfiles::PutF32BE(b, at, f);
        at += 4;
    }
    for (double d : {250.0, 0.98, 0.9765625, -0.0, 1e-310, -std::numeric_limits<double>::infinity()}) {
        scanfiles::PutF64BE(b, at, d);
        at += 8;
    }
    const std::string python = RunPython(
        "import struct,sys; inf=float('inf'); "
        "sys.stdout.write(struct.pack('>HhIi6f6d', 0x8000, -2, 3416, -156, "
        "0.48828125, 1.0, -2.5, 0.98, inf, 1e-40, "
        "250.0, 0.98, 0.9765625, -0.0, 1e-310, -inf).hex())");
    ASSERT_FALSE(python.empty()) << "/usr/bin/python3 did not answer";
    EXPECT_EQ(Hex(b), python);
}
