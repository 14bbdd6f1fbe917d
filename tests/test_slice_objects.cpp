// The root object, slice labels, header records held by slices, storage set-up,
// pixel access, the library error and the slice information record.
#include <gtest/gtest.h>

#include <vector>

#include "Quarn.h"
#include "TestUtil.h"

namespace {
// Opens the protected storage set-up for the tests.
template <class T>
class StorageSlice : public ecMriSlice<T> {
public:
    using ecMriSlice<T>::SetupStorage;
};
}  // namespace

TEST(SliceLabels, SequenceAndReplacement)
{
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
