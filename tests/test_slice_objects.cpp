// The root object, slice labels, header records held by slices, storage set-up,
// pixel access, the library error and the slice information record.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "Quarn.h"
#include "RecordUtil.h"

namespace {
// The first slice a host creates, built before any test runs.
ecMriSlice<short> firstSliceOfTheHost;

// Opens the protected storage set-up for the tests.
template <class T>
class StorageSlice : public ecMriSlice<T> {
public:
    using ecMriSlice<T>::SetupStorage;
};
}  // namespace

TEST(SliceLabels, SequenceAndReplacement)
{
    // Three slices exist from the moment the library is loaded.
    EXPECT_EQ(firstSliceOfTheHost.GetLabel(), "Slice-4");
    const int before = ecMriSliceBase::iSeqNum;
    ecMriSlice<float> a;
    ecMriSliceBase b;
    EXPECT_EQ(a.GetLabel(), "Slice-" + std::to_string(before + 1));
    EXPECT_EQ(b.GetLabel(), "Slice-" + std::to_string(before + 2));
    EXPECT_EQ(a.SetLabel("T1 axial", false), 1);
    EXPECT_EQ(a.GetLabel(), "T1 axial");
    EXPECT_EQ(a.SetLabel("", false), -1);
    EXPECT_EQ(a.GetLabel(), "T1 axial");
    EXPECT_EQ(a.SetLabel("", true), 2);
    EXPECT_EQ(a.GetLabel(), "");
    EXPECT_TRUE(ecMriSliceBase::bInferUnsetDicomFields);
}

TEST(SliceObjects, HeaderRecordHeldBySlice)
{
    ecMriSlice<short> s;
    ecRawHeaderInfo out;
    EXPECT_EQ(s.GetRawHeaderInfo(out, 0), -2);
    ecRawHeaderInfo rec = testutil::RawRecord(320, 200, 0);
    ecRawHeaderInfo bad;
    EXPECT_EQ(s.SetRawHeaderInfo(bad, 1), -1);
    EXPECT_EQ(s.SetRawHeaderInfo(rec, 0), -2);
    EXPECT_EQ(s.SetRawHeaderInfo(rec, 1), 2);
    EXPECT_EQ(s.GetRawHeaderInfo(out, 0), 1);
    EXPECT_EQ(out.iNumPix, 320);
    rec.iNumPix = 64;
    EXPECT_EQ(s.SetRawHeaderInfo(rec, 0), 1);
    EXPECT_EQ(s.GetRawHeaderInfo()->iNumPix, 64);
}

TEST(SliceObjects, StorageSetUpModes)
{
    StorageSlice<short> s;
    EXPECT_EQ(s.SetupStorage(nullptr, 0, nullptr), -1);
    ecRawHeaderInfo invalid;
    EXPECT_EQ(s.SetupStorage(&invalid, 0, nullptr), -1);
    ecRawHeaderInfo h = testutil::RawRecord(256, 256, 0);
    EXPECT_EQ(s.SetupStorage(&h, 0x10000, nullptr), 16384);
    EXPECT_EQ(s.GetNumRows(), 128);
    EXPECT_EQ(s.GetNumCols(), 128);
    EXPECT_TRUE(s.OwnsData());
    EXPECT_EQ(s.SetupStorage(&h, 0, nullptr), -5);
    std::vector<short> mine(256 * 256);
    EXPECT_EQ(s.SetupStorage(&h, 0, mine.data()), -5);  // it owns its buffer

    StorageSlice<short> c;
    std::vector<short> first(64 * 32), second(64 * 32);
    ecRawHeaderInfo small = testutil::RawRecord(64, 32, 0);
    EXPECT_EQ(c.SetupStorage(&small, 0, first.data()), 2048);
    EXPECT_FALSE(c.OwnsData());
    short* const* table = c.GetRowPointers();
    EXPECT_EQ(table[31], first.data() + 31 * 64);
    EXPECT_EQ(c.SetupStorage(&small, 0, second.data()), 2048);
    EXPECT_EQ(c.GetPixels(), second.data());
    EXPECT_EQ(c.GetRowPointers()[31], second.data() + 31 * 64);
    ecRawHeaderInfo taller = testutil::RawRecord(16, 40, 0);
    EXPECT_EQ(c.SetupStorage(&taller, 0, first.data()), 640);
    EXPECT_EQ(c.GetRowPointers()[39], first.data() + 39 * 16);
    EXPECT_EQ(c.SetupStorage(&small, 0, nullptr), -5);
}
