// What the readers stand on: the bounded byte cursor in both byte orders, its
// word copies and the file blocks they decode from (stated as bytes in memory,
// so that every expectation holds on a host of either byte order), the Genesis
// reader's blocks at the very end of a file, the Genesis module state that
// each thread has for itself, and reading from several threads at once. (Cut
// files through both DICOM walks are in the element reader and slice loading
// tests.)
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../src/bytes/ByteCursor.h"
#include "MriSlice.h"
#include "Quarn.h"
#include "ScannerFileWriter.h"
#include "TestUtil.h"
#include "readGEM.h"

using quarn::bytes::Cursor;
using quarn::bytes::FileBlock;
using quarn::bytes::Order;
using Bytes = std::vector<unsigned char>;

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

TEST(ByteBlocks, WordsComeOutInHostOrderWholeOrNotAtAll)
{
    const Order host = quarn::bytes::HostOrder(), other = host == Order::Little ? Order::Big : Order::Little;
    const Bytes in = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    struct Case {
        size_t n, width;
        Order order;
        bool inPlace;
        Bytes out;  // the destination afterwards (it starts as 0xEE bytes)
    };
    const Case cases[] = {
        {9, 2, other, false, {2, 1, 4, 3, 6, 5, 8, 7, 9}},  // a part word at the end stays as it stands
        {9, 4, other, false, {4, 3, 2, 1, 8, 7, 6, 5, 9}},
        {8, 8, other, false, {8, 7, 6, 5, 4, 3, 2, 1, 0xEE}},
        {7, 4, other, true, {4, 3, 2, 1, 5, 6, 7, 8, 9}},  // turned in place
        {9, 2, host, false, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {9, 1, other, false, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {10, 2, other, false, Bytes(9, 0xEE)},  // more than the block holds: nothing is copied
    };
    for (const Case& c : cases) {
        Bytes block = in, out(9, 0xEE);
        Cursor cursor(block.data(), block.size());
        const bool whole = cursor.CopyWords(c.inPlace ? block.data() : out.data(), c.n, c.width, c.order);
        EXPECT_EQ(whole, c.n <= in.size()) << c.n << " " << c.width;
        EXPECT_EQ(c.inPlace ? block : out, c.out) << c.n << " " << c.width;
        EXPECT_EQ(cursor.Tell(), whole ? c.n : 0u);
    }
}

TEST(ByteBlocks, FileBlocksHoldWhatTheFileHasFromTheirOffset)
{
    testutil::TempDir dir;
    const std::string path = dir.file("ten");
    testutil::WriteFile(path, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    struct Case {
        long offset;  // -1: from where the stream stands (byte 3)
        size_t n;
        bool into;  // read into the caller's memory
        Bytes bytes;
        bool reached;
    };
    const Case cases[] = {
        {0, 4, false, {0, 1, 2, 3}, true},  {8, 4, false, {8, 9}, true},   {10, 4, false, {}, true},
        {11, 4, false, {}, false},          {-1, 2, false, {3, 4}, true},   {6, 8, true, {6, 7, 8, 9}, true},
        {2000000, 1, true, {}, false},
    };
    FILE* fp = std::fopen(path.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    for (const Case& c : cases) {
        std::fseek(fp, 3, SEEK_SET);
        Bytes mine(c.n, 0xEE);
        FileBlock block;
        ASSERT_TRUE(block.Read(fp, c.offset, c.n, c.into ? mine.data() : nullptr));
        const Cursor view = block.View();
        EXPECT_EQ(Bytes(view.Data(), view.Data() + view.Size()), c.bytes) << c.offset;
        EXPECT_EQ(block.Reached(), c.reached) << c.offset;
        EXPECT_TRUE(!c.into || view.Size() == 0 || view.Data() == mine.data()) << c.offset;
    }
    EXPECT_EQ(FileBlock::OffsetOfLast(fp, 4), 6);
    EXPECT_EQ(FileBlock::OffsetOfLast(fp, 11), 0);
    std::fclose(fp);

    // A stream that cannot tell its size or position is read on from where it stands.
    FILE* pipe = popen("printf abcdef", "r");
    ASSERT_NE(pipe, nullptr);
    ASSERT_EQ(std::fgetc(pipe), 'a');
    FileBlock block;
    ASSERT_TRUE(block.Read(pipe, -1, 3));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.Bytes()), block.Size()), "bcd");
    EXPECT_FALSE(block.Reached());
    pclose(pipe);
}

TEST(GenesisBlocks, PackedRunsWithoutPixelsTakeNoBytes)
{
    // A 16-bit packed (2) or compressed-and-packed (4) image of 16 rows: file header, exam and
    // image headers, a line table whose runs are empty but for `oneRun`, then the pixel data.
    const size_t table = 156 + 1040 + 1044, data = table + 4 * 16;
    struct Case {
        int method;
        bool oneRun;       // row 9 holds one pixel (0x1234) at column 5
        long dataOffset;   // from the end of the line table
        int result;
        int pixel;         // row 9, column 5 afterwards
        int width = 16;
    };
    const Case cases[] = {
        {2, false, 0, 1, 0x4141},   // the background shade 0x41 in both bytes
        {2, false, 1, 0, 0},        // pixel data past the end of the file
        {2, true, 0, 1, 0x1234},
        {2, true, 1, 0, 0},         // the run's value cut off
        {4, false, 0, 0, 0},        // nothing for the decoder to decode
        {2, false, 0, 1, 0x4141, 1024},  // the widest image read
        {2, false, 0, 0, 0, 1025},
    };
    testutil::TempDir dir;
    SetGEMTempDirectory(dir.path().c_str());
    for (const Case& c : cases) {
        scanfiles::Bytes b(data, 0);
        scanfiles::PutText(b, 0, "IMGF", 4);
        for (auto [offset, value] : {std::pair<size_t, uint64_t>{4, data + c.dataOffset}, {8, c.width}, {12, 16}, {16, 16},
                                     {20, c.method}, {32, 0x41}, {64, table}, {68, 4 * 16}, {132, 156}, {148, 1196}})
            scanfiles::PutBE(b, offset, value, 4);
        if (c.oneRun) {
            scanfiles::PutBE(b, table + 4 * 9, 0x00050001, 4);
            scanfiles::PutBE(b, data, c.method == 2 ? 0x1234 : 0xC01234, c.method == 2 ? 2 : 3);
        }
        testutil::WriteFile(dir.file("packed"), b);
        ecMriSlice<short> s;
        ASSERT_EQ(s.ReadGEMFile(dir.file("packed").c_str(), nullptr), c.result) << c.method << " " << c.dataOffset << " " << c.width;
        EXPECT_EQ(c.result == 1 ? s.GetRowPointers()[9][5] : 0, static_cast<short>(c.pixel)) << c.method;
    }
    SetGEMTempDirectory(nullptr);
}

TEST(GenesisState, EachThreadKeepsItsOwnHeaderBlocksAndCounters)
{
    testutil::TempDir temps;
    SetGEMTempDirectory(temps.path().c_str());
    const std::string ct = testutil::DataPath("genesis/c_vf1122.fre");
    ecMriSlice<short> s;
    ASSERT_EQ(s.ReadGEMFile(ct.c_str(), nullptr), 1);
    const ecGEMHeaderBlocks mine = GEMHeaderBlocks();
    const int myCount = ecGEMFileCounters<short>::file_val_ReadGEMFile;

    // A new thread starts from zero, as a freshly loaded library does, and its reads stay its own.
    std::vector<int> seen;
    std::thread other([&] {
        const ecGEMHeaderBlocks zero{};
        seen.push_back(std::memcmp(&GEMHeaderBlocks(), &zero, sizeof zero) == 0);
        seen.push_back(ecGEMFileCounters<short>::file_val_ReadGEMFile);
        ecMriSlice<short> t;
        seen.push_back(t.ReadGEMFile(ct.c_str(), nullptr));
        seen.push_back(ecGEMFileCounters<short>::file_val_ReadGEMFile);
        seen.push_back(std::memcmp(&GEMHeaderBlocks(), &mine, sizeof mine) == 0);
    });
    other.join();
    EXPECT_EQ(seen, (std::vector<int>{1, 0, 1, 1, 1}));
    EXPECT_EQ(ecGEMFileCounters<short>::file_val_ReadGEMFile, myCount);
    EXPECT_EQ(std::memcmp(&GEMHeaderBlocks(), &mine, sizeof mine), 0);
    SetGEMTempDirectory(nullptr);
}

namespace {

// A slice's geometry and a hash of its pixels.
template <class T>
bool Describe(ecMriSliceBase* base, std::string& out)
{
    auto* s = dynamic_cast<ecMriSlice<T>*>(base);
    if (!s) return false;
    const std::vector<T> px = testutil::RowsOf(*s);
    const uint64_t h = testutil::Fnv1a64(px.data(), px.size() * sizeof(T));
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
        {testutil::DataPath("dicom/pydicom/MR_small.dcm"), MriDicom, Way::Display},
        {testutil::DataPath("dicom/pydicom/MR_small_implicit.dcm"), MriDicom, Way::Display},
        {testutil::DataPath("dicom_slices/mr_small_nema_bigendian.dcm"), MriDicom, Way::Display},
        {testutil::DataPath("genesis/c_vf1122.fre"), MriGenesis, Way::Display},
        {testutil::DataPath("dicom_slices/mr_small_nema.dcm"), MriDicom, Way::PlainDicom},
        {testutil::DataPath("genesis/c_vf1210.fre"), MriGenesis, Way::PlainGenesis}};
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
