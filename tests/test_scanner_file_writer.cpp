// The test file writer's big-endian encoders agree with Python's struct module,
// an encoder that owes nothing to this project.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

#include "ScannerFileWriter.h"

TEST(ScannerFileWriter, EncodersMatchPythonStruct)
{
    scanfiles::Bytes b;
    scanfiles::PutU16BE(b, 0, 0x8000);
    scanfiles::PutU16BE(b, 2, static_cast<uint16_t>(-2));
    scanfiles::PutU32BE(b, 4, 3416);
    scanfiles::PutU32BE(b, 8, static_cast<uint32_t>(-156));
    for (float f : {0.48828125f, 1.0f, -2.5f, 0.98f, std::numeric_limits<float>::infinity(), 1e-40f})
        scanfiles::PutF32BE(b, b.size(), f);
    for (double d : {250.0, 0.98, 0.9765625, -0.0, 1e-310, -std::numeric_limits<double>::infinity()})
        scanfiles::PutF64BE(b, b.size(), d);
    std::string hex;
    for (unsigned char c : b) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];

    FILE* p = popen("/usr/bin/python3 -c \"import struct,sys; inf=float('inf'); "
                    "sys.stdout.write(struct.pack('>HhIi6f6d', 0x8000, -2, 3416, -156, "
                    "0.48828125, 1.0, -2.5, 0.98, inf, 1e-40, 250.0, 0.98, 0.9765625, -0.0, 1e-310, -inf).hex())\"",
                    "r");
    ASSERT_NE(p, nullptr);
    std::string python;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) python += buf;
    pclose(p);
    ASSERT_FALSE(python.empty()) << "/usr/bin/python3 did not answer";
    EXPECT_EQ(hex, python);
}
