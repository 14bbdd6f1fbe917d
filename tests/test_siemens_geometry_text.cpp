// The geometry text of the Siemens private element (0051,1010): matrix in
// field 13, slice thickness in field 21, plane in field 23, applied only to
// values still unset and only when another field follows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Quarn.h"

namespace {

// A slice whose counts and header record the test can set and look at.
class TextSlice : public ecMriSlice<short> {
public:
    TextSlice(bool withHeader = true)
    {
        if (withHeader) {
            pRawHeader = new ecRawHeaderInfo;
            pRawHeader->fSliceThickness = 0.0;
            pRawHeader->PlaneType = SliceUnknown;
            pRawHeader->ImagePlane = SliceUnknown;
        }
    }
    int Rows() const { return iNumRows; }
    int Cols() const { return iNumCols; }
    void SetCols(int c) { iNumCols = c; }
    ecRawHeaderInfo* Header() { return pRawHeader; }
    void Apply(std::string text) { SetUsingExtraSiemansInfo(&text[0]); }
};

// A text of `count` fields "f0", "f1", ... with the given fields replaced.
std::string Fields(int count, const std::vector<std::pair<int, std::string>>& set)
{
    std::vector<std::string> f;
    for (int i = 0; i < count; ++i) f.push_back("f" + std::to_string(i));
    for (const auto& s : set) f[s.first] = s.second;
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? "\\" : "") + f[i];
    return text;
}

}  // namespace

TEST(SiemensGeometryText, MatrixFieldNeedsAFollowingFieldAndUnsetColumns)
{
    TextSlice s;
    s.Apply(Fields(15, {{13, "256*192"}}));
    EXPECT_EQ(s.Cols(), 256);
    EXPECT_EQ(s.Rows(), 192);
    // The header's pixel counts are not touched.
    EXPECT_EQ(s.Header()->iNumPix, ecRawHeaderInfo().iNumPix);

    TextSlice last;  // field 13 is the last field: never applied
    last.Apply(Fields(14, {{13, "256*192"}}));
    EXPECT_EQ(last.Cols(), 0);
    EXPECT_EQ(last.Rows(), 0);

    TextSlice square;
    square.Apply(Fields(14 + 1, {{13, "320"}}));
    EXPECT_EQ(square.Cols(), 320);
    EXPECT_EQ(square.Rows(), 320);

    TextSlice known;  // columns already read
    known.SetCols(64);
    known.Apply(Fields(20, {{13, "256*192"}}));
    EXPECT_EQ(known.Cols(), 64);
    EXPECT_EQ(known.Rows(), 0);
}

TEST(SiemensGeometryText, ThicknessOnlyFromCapitalSlAndWhenZero)
{
    TextSlice s;
    s.Apply(Fields(23, {{21, "SL5.5"}}));
    EXPECT_DOUBLE_EQ(s.Header()->fSliceThickness, 5.5);

    for (const char* field : {"sl5.5", " SL5.5", "5.5"}) {
        TextSlice other;
        other.Apply(Fields(23, {{21, field}}));
        EXPECT_EQ(other.Header()->fSliceThickness, 0.0) << field;
    }

    TextSlice set;
    set.Header()->fSliceThickness = 3.0;
    set.Apply(Fields(23, {{21, "SL5.5"}}));
    EXPECT_EQ(set.Header()->fSliceThickness, 3.0);

    TextSlice last;
    last.Apply(Fields(22, {{21, "SL5.5"}}));
    EXPECT_EQ(last.Header()->fSliceThickness, 0.0);
}

TEST(SiemensGeometryText, PlaneFromFirstLetterWhenUnset)
{
    const struct {
        const char* word;
        SliceType plane;
    } cases[] = {{"  Sagittal", SliceSagittal}, {"AXIAL ", SliceAxial}, {"coronal", SliceCoronal},
                 {"Transverse", SliceUnknown}, {"", SliceUnknown}};
    for (const auto& c : cases) {
        TextSlice s;
        s.Apply(Fields(25, {{23, c.word}}));
        EXPECT_EQ(s.Header()->PlaneType, c.plane) << c.word;
        EXPECT_EQ(s.Header()->ImagePlane, c.plane) << c.word;
    }

    TextSlice set;
    set.Header()->PlaneType = SliceAxial;
    set.Apply(Fields(25, {{23, "Sagittal"}}));
    EXPECT_EQ(set.Header()->PlaneType, SliceAxial);
    EXPECT_EQ(set.Header()->ImagePlane, SliceUnknown);

    TextSlice last;
    last.Apply(Fields(24, {{23, "Sagittal"}}));
    EXPECT_EQ(last.Header()->PlaneType, SliceUnknown);
}

TEST(SiemensGeometryText, TextsThatChangeNothing)
{
    TextSlice s;
    s.Apply("256*192 SL5.5 Sagittal");  // no backslash: one field, the last
    s.SetUsingExtraSiemansInfo(nullptr);
    EXPECT_EQ(s.Cols(), 0);
    EXPECT_EQ(s.Header()->fSliceThickness, 0.0);
    EXPECT_EQ(s.Header()->PlaneType, SliceUnknown);

    // Without a header record only the slice's counts can change.
    TextSlice bare(false);
    bare.Apply(Fields(60, {{13, "128*96"}, {21, "SL2"}, {23, "coronal"}}));
    EXPECT_EQ(bare.Cols(), 128);
    EXPECT_EQ(bare.Rows(), 96);
    EXPECT_EQ(bare.Header(), nullptr);

    // The three rules together in a long text.
    TextSlice all;
    all.Apply(Fields(60, {{13, "128*96"}, {21, "SL2"}, {23, "coronal"}}));
    EXPECT_EQ(all.Cols(), 128);
    EXPECT_DOUBLE_EQ(all.Header()->fSliceThickness, 2.0);
    EXPECT_EQ(all.Header()->PlaneType, SliceCoronal);
}
