// Reading headerless raw slice files: one case list over every entry point
// (the plain and display slices' reading constructors, the factory for both
// kinds), the strict type check, and the 2 x 2 halving.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Quarn.h"
#include "TestUtil.h"

namespace {
using testutil::RawRecord;
using Bytes = std::vector<unsigned char>;
const int W = 32, H = 20;

enum class Entry { Plain, Display, FactoryPlain, FactoryDisplay };

// The slice `entry` reads (the display constructor into `caller`), checked for
// its kind and storage, or null.
template <class T>
std::unique_ptr<ecMriSlice<T>> Read(Entry entry, const std::string& path, MriFileType type, ecRawHeaderInfo* h,
                                    std::vector<T>& caller)
{
    std::unique_ptr<ecMriSlice<T>> s;
    if (entry == Entry::Plain) s.reset(new ecMriSlice<T>(path.c_str(), type, h, 0, nullptr));
    if (entry == Entry::Display) s.reset(new ecMriSliceImg<T>(path.c_str(), type, h, 0, caller.data()));
    if (entry >= Entry::FactoryPlain) {
        std::unique_ptr<ecMriSliceBase> base(ReadMriSlice(path.c_str(), type, h, entry == Entry::FactoryDisplay, 0));
        s.reset(dynamic_cast<ecMriSlice<T>*>(base.get()));
        if (!s) return s;
        base.release();
    }
    EXPECT_EQ(s->GetRawHeaderInfo(), nullptr);  // the caller's record is not kept
    EXPECT_EQ(s->GetRowPointers()[H - 1], s->GetPixels() + (H - 1) * W);
    auto* shown = dynamic_cast<ecMriSliceImg<T>*>(s.get());
    EXPECT_EQ(shown != nullptr, entry == Entry::Display || entry == Entry::FactoryDisplay);
    if (shown) {  // one buffer, seen through both row tables
        EXPECT_EQ(shown->GetPixels(), shown->GetImagePixels());
        EXPECT_EQ(shown->GetRowPointers()[H - 1], shown->GetImageRows()[H - 1]);
        EXPECT_EQ(shown->GetImageWidth() * 1000 + shown->GetImageHeight(), W * 1000 + H);
        EXPECT_EQ(shown->GetCurrentImage(), shown->GetDisplayImage());
    } else {
        EXPECT_EQ(s->GetMaxVal(), 255);  // not computed by the read
    }
    EXPECT_EQ(s->OwnsData(), !shown);  // a display slice's image owns the pixels
    EXPECT_TRUE(entry != Entry::Display || std::memcmp(caller.data(), s->GetPixels(), W * H * sizeof(T)) == 0);
    return s;
}

struct Case {
    MriFileType type;
    int dataType;
    long offset;
    size_t before, after, start;  // bytes around the block; where the pixels read start
    bool swapped, factory;        // each 16-bit half swapped; read through the factory too
};

template <class T>
void Check(const Case& c, const Bytes& block)
{
    testutil::TempDir dir;
    Bytes file(c.before, 0xAB);
    file.insert(file.end(), block.begin(), block.end());
    file.insert(file.end(), c.after, 0xCD);
    testutil::WriteFile(dir.file("s.raw"), file);
    Bytes expected(file.begin() + static_cast<long>(c.start), file.begin() + static_cast<long>(c.start + W * H * sizeof(T)));
    for (size_t i = 0; c.swapped && i < expected.size(); i += 2) std::swap(expected[i], expected[i + 1]);
    for (Entry e : {Entry::Plain, Entry::Display, Entry::FactoryPlain, Entry::FactoryDisplay}) {
        if (e >= Entry::FactoryPlain && !c.factory) continue;
        SCOPED_TRACE(testing::Message() << "type " << c.type << " offset " << c.offset << " entry " << int(e));
        ecRawHeaderInfo h = RawRecord(W, H, c.dataType, c.offset);
        std::vector<T> caller(W * H);
        const auto s = Read<T>(e, dir.file("s.raw"), c.type, &h, caller);
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(s->GetNumCols() * 1000 + s->GetNumRows(), W * 1000 + H);
        EXPECT_EQ(Bytes(reinterpret_cast<const unsigned char*>(s->GetPixels()),
                        reinterpret_cast<const unsigned char*>(s->GetPixels() + W * H)), expected);
    }
}

std::string StatusMessage(const std::string& name, int status)
{
    return "? Unable to open raw mri file <" + name + "> status = " + std::to_string(status);
}

}  // namespace

TEST(RawSliceReading, EveryEntryPointReadsEachTypeAtItsOffset)
{
    Bytes block(W * H * 4);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i * 7 + i / 256);
    const Bytes b8(block.begin(), block.begin() + W * H), b16(block.begin(), block.begin() + W * H * 2);
    std::vector<float> floats(W * H);
    for (size_t i = 0; i < floats.size(); ++i) floats[i] = static_cast<float>(i) * 0.25f - 3.0f;
    Bytes bf(floats.size() * 4);
    std::memcpy(bf.data(), floats.data(), bf.size());

    Check<unsigned char>({MriRaw8, 105, 0, 0, 0, 0, false, true}, b8);
    // An 8-bit slice reads any raw type without the strict check.
    Check<unsigned char>({MriRaw16, 105, 0, 0, 0, 0, false, false}, b8);
    Check<short>({MriRaw16, 98, 0, 0, 0, 0, false, true}, b16);
    Check<short>({MriRaw16, 98, 1000, 1000, 37, 1000, false, true}, b16);
    Check<short>({MriRaw16, 98, -1, 77, 0, 77, false, true}, b16);  // -1: the block is the file's last bytes
    Check<short>({MriRaw16, 98, -1, 0, 37, 37, false, true}, b16);  // so trailing bytes shift it
    Check<short>({MriRaw16Swapped, 98, 0, 0, 0, 0, true, true}, b16);
    Check<short>({MriRaw16Swapped, 98, -1, 77, 0, 77, true, true}, b16);
    Check<float>({MriRawFloat, 114, 5, 5, 0, 5, false, true}, bf);
    // The byte exchange of the swapped type runs on float pixels too, within each half.
    Check<float>({MriRaw16Swapped, 114, 0, 0, 0, 0, true, false}, bf);
}

TEST(RawSliceReading, TheStrictCheckWantsTheSliceType)
{
    testutil::TempDir dir;
    const std::string path = dir.file("f.raw");
    testutil::WriteFile(path, Bytes(W * H * 4, 1));
    ecRawHeaderInfo h8 = RawRecord(W, H, 105), hf = RawRecord(W, H, 114);
    EXPECT_EQ(testutil::Outcome([&] { return ecMriSlice<unsigned char>(path.c_str(), MriRaw16, &h8, 0x10, nullptr).GetNumCols(); }),
              StatusMessage(path, -13));
    EXPECT_EQ(testutil::Outcome([&] { return ecMriSlice<float>(path.c_str(), MriRaw8, &hf, 0x10, nullptr).GetNumCols(); }),
              StatusMessage(path, -13));
    EXPECT_EQ(testutil::Outcome([&] { return ecMriSlice<float>(path.c_str(), MriRawFloat, &hf, 0x10, nullptr).GetNumCols(); }),
              std::to_string(W));
    // Display storage is full size, so the halving read cannot decimate into it.
    ecRawHeaderInfo h = RawRecord(W, H, 98);
    EXPECT_EQ(testutil::Outcome([&] { return ecMriSliceImg<short>(path.c_str(), MriRaw16, &h, 0x10000, nullptr).GetNumCols(); }),
              StatusMessage(path, -53));
}

TEST(RawSliceReading, HalvingAveragesTwoByTwoBlocks)
{
    // An odd-sized 8-bit source (17 x 19, at the end of the file) drops its last
    // row and column, and 8-bit sums do not wrap.
    testutil::TempDir dir;
    std::vector<unsigned char> odd(17 * 19);
    for (size_t i = 0; i < odd.size(); ++i) odd[i] = static_cast<unsigned char>(i + 128);
    testutil::WriteFile(dir.file("odd.raw"), odd);
    ecRawHeaderInfo ho = RawRecord(17, 19, 105, -1);
    ecMriSlice<unsigned char> so(dir.file("odd.raw").c_str(), MriRaw8, &ho, 0x10000, nullptr);
    ASSERT_EQ(so.GetNumRows(), 9);
    ASSERT_EQ(so.GetNumCols(), 8);
    for (int i = 0; i < 9 * 8; ++i) {
        const int at = (i / 8) * 2 * 17 + (i % 8) * 2;  // the block's top left pixel
        const int sum = odd[at] + odd[at + 1] + odd[at + 17] + odd[at + 18];
        EXPECT_EQ(so.GetPixels()[i], (sum + 2) / 4) << i;  // the mean, halves rounded up
    }
}

TEST(RawSliceReading, DecimateChecksAndRounding)
{
    ecMriSlice<short> s;
    std::vector<short> src(512 * 256, 1), dst(256 * 128);
    src[1] = 10, src[256] = 11, src[257] = 12;  // block (0,0): (1 + 10 + 11 + 12) / 4 = 8.5
    EXPECT_EQ(s.Decimate(src.data(), 512, 256, dst.data(), 256, 128, 2, 0), 1);
    EXPECT_EQ(dst[0], 9);  // halves round away from zero
    EXPECT_EQ(dst[1], 1);
    short* p = src.data();
    EXPECT_EQ(s.Decimate(p, 512, 256, dst.data(), 256, 128, 3, 0), -2);
    EXPECT_EQ(s.Decimate(p, 512, 256, dst.data(), 255, 128, 2, 0), -3);
    EXPECT_EQ(s.Decimate(p, 512, 256, dst.data(), 256, 127, 2, 0), -3);
    EXPECT_EQ(s.Decimate(p, 1030, 256, dst.data(), 515, 128, 2, 0), -1);
    EXPECT_EQ(s.Decimate(p, 7, 256, dst.data(), 3, 128, 2, 0), -1);
    EXPECT_EQ(s.Decimate(nullptr, 512, 256, dst.data(), 256, 128, 2, 0), -1);
    EXPECT_EQ(s.Decimate(p, 512, 256, nullptr, 256, 128, 2, 0), -1);

    // 8-bit pixels add as unsigned values, 16-bit as signed.
    ecMriSlice<unsigned char> b;
    std::vector<unsigned char> sb(16 * 16, 250), db(8 * 8);
    EXPECT_EQ(b.Decimate(sb.data(), 16, 16, db.data(), 8, 8, 2, 0), 1);
    EXPECT_EQ(db[0], 250);
    std::vector<short> ss(16 * 16, -3), ds(8 * 8);
    ss[1] = -4;
    EXPECT_EQ(s.Decimate(ss.data(), 16, 16, ds.data(), 8, 8, 2, 0), 1);
    EXPECT_EQ(ds[0], -3);  // -3.25 rounds to -3
    ecMriSlice<float> f;
    std::vector<float> sf(16 * 16, 1.0f), df(8 * 8);
    sf[0] = 2.0f;
    EXPECT_EQ(f.Decimate(sf.data(), 16, 16, df.data(), 8, 8, 2, 0), 1);
    EXPECT_FLOAT_EQ(df[0], 1.25f);
}
