// The shared pieces under the readers: the bounded byte cursor in both byte
// orders, and reading from several threads. (Cut files through both DICOM
// walks are in the element reader and slice loading tests.)
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DicomTestFiles.h"
#include "Quarn.h"
#include "TestUtil.h"
#include "../src/bytes/ByteCursor.h"

using quarn::bytes::Cursor;
using quarn::bytes::Order;

TEST(ByteCursor, ReadsBothOrdersAndRefusesToPassTheEnd)
{
    const unsigned char b[] = {0x12, 0x34, 0x56, 0x78, 0x3F, 0x80, 0x00, 0x00};
    struct Row {
        Order order;
        uint16_t u16;
        uint32_t u32;
    } rows[] = {{Order::Little, 0x3412, 0x78563412}, {Order::Big, 0x1234, 0x12345678}};
    for (const Row& r : rows) {
        Cursor c(b, sizeof b);
        uint16_t v16 = 0;
        uint32_t v32 = 0;
        EXPECT_TRUE(c.U16At(0, v16, r.order));
        EXPECT_EQ(v16, r.u16);
        EXPECT_TRUE(c.ReadU32(v32, r.order));
        EXPECT_EQ(v32, r.u32);
        EXPECT_EQ(c.Tell(), 4u);
        EXPECT_FALSE(c.Skip(5));  // 4 left: refused, no move
        EXPECT_FALSE(c.U32At(5, v32, r.order));
        EXPECT_EQ(c.Take(5), nullptr);
        EXPECT_EQ(c.Tell(), 4u);
        EXPECT_FALSE(c.Seek(9));
        EXPECT_EQ(c.Sub(6, 3).Size(), 0u);
    }
    float f = 0;
    EXPECT_TRUE(Cursor(b, sizeof b).F32At(4, f, Order::Big));
    EXPECT_EQ(f, 1.0f);
    Cursor empty(nullptr, 100);  // no bytes: nothing to read
    EXPECT_FALSE(empty.Has(1));
}

namespace {

using testutil::DataPath;

// A slice's geometry and a hash of its pixels.
template <class T>
bool Describe(ecMriSliceBase* base, std::string& out)
{
    auto* s = dynamic_cast<ecMriSlice<T>*>(base);
    if (!s) return false;
    uint64_t h = 1469598103934665603ull;
    const size_t n = static_cast<size_t>(s->GetNumRows()) * static_cast<size_t>(s->GetNumCols()) * sizeof(T);
    const auto* p = reinterpret_cast<const unsigned char*>(s->GetPixels());
    for (size_t i = 0; p && i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    const ecRawHeaderInfo* r = s->GetRawHeaderInfo();
    char text[160];
    std::snprintf(text, sizeof text, "%dx%d %.6g %.6g %d %016llx", s->GetNumCols(), s->GetNumRows(),
                  r ? r->fSizePix : 0.0, r ? r->fSizePixY : 0.0, r ? r->iImageNum : -1,
                  static_cast<unsigned long long>(h));
    out = text;
    return true;
}

// A file read through the factory as a display slice, or into a plain slice
// by the DICOM slice loader or the Genesis reader.
enum class Way { Display, PlainDicom, PlainGenesis };
struct Input {
    std::string path;
    MriFileType type;
    Way way;
};

std::string Read(const Input& in)
{
    try {
        std::string out = "null";
        if (in.way == Way::Display) {
            std::unique_ptr<ecMriSliceBase> s(ReadMriSlice(in.path.c_str(), in.type, nullptr, true, 0));
            if (s && !Describe<short>(s.get(), out)) Describe<unsigned char>(s.get(), out);
            return out;
        }
        ecMriSlice<short> s;
        const int r = in.way == Way::PlainDicom ? s.ReadDICOMFile(in.path.c_str(), 0, nullptr)
                                                : s.ReadGEMFile(in.path.c_str(), nullptr);
        Describe<short>(&s, out);
        return std::to_string(r) + " " + out;
    } catch (const ecError& e) {
        return e.what();
    }
}

}  // namespace

// Four threads read explicit and implicit little-endian DICOM, big-endian
// ACR-NEMA and Genesis files, as display and plain slices, at once; every
// read gives exactly what one thread reading alone gives.
TEST(ReadingThreads, GiveWhatOneThreadGives)
{
    const std::vector<Input> inputs = {
        {DataPath("dicom/pydicom/MR_small.dcm"), MriDicom, Way::Display},
        {DataPath("dicom/pydicom/MR_small_implicit.dcm"), MriDicom, Way::Display},
        {DataPath("dicom_slices/mr_small_nema_bigendian.dcm"), MriDicom, Way::Display},
        {DataPath("genesis/c_vf1122.fre"), MriGenesis, Way::Display},
        {DataPath("dicom_slices/mr_small_nema.dcm"), MriDicom, Way::PlainDicom},
        {DataPath("genesis/c_vf1210.fre"), MriGenesis, Way::PlainGenesis}};
    // What a thread reads depends on what it read before (the slice loader
    // swaps by the byte order of the thread's last header read), so each
    // thread's whole sequence is first read alone, in a fresh thread.
    constexpr int kThreads = 4, kRounds = 12;
    auto sequence = [&](int t) {
        std::vector<std::string> out;
        for (int round = 0; round < kRounds; ++round)
            for (size_t i = 0; i < inputs.size(); ++i)  // each thread starts at another file
                out.push_back(Read(inputs[(i + static_cast<size_t>(t)) % inputs.size()]));
        return out;
    };
    std::vector<std::vector<std::string>> alone(kThreads), together(kThreads);
    for (int t = 0; t < kThreads; ++t) std::thread([&, t] { alone[t] = sequence(t); }).join();
    for (const std::string& a : alone[0]) ASSERT_EQ(a.find("null"), std::string::npos) << a;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back([&, t] { together[t] = sequence(t); });
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(together[t], alone[t]) << "thread " << t;
}
