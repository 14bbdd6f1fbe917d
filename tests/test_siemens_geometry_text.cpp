// The geometry text of the Siemens private element (0051,1010): matrix in
// field 13, slice thickness in field 21, plane in field 23, each applied only
// to a value still unset and only when another field follows it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Quarn.h"

namespace {

// A slice with a header record whose thickness and plane are unset.
class TextSlice : public ecMriSlice<short> {
public:
    explicit TextSlice(bool withHeader = true)
    {
        if (!withHeader) return;
        pRawHeader = new ecRawHeaderInfo;
        pRawHeader->fSliceThickness = 0.0;
        pRawHeader->PlaneType = pRawHeader->ImagePlane = SliceUnknown;
    }
    int Rows() const { return iNumRows; }
    int Cols() const { return iNumCols; }
    void SetCols(int c) { iNumCols = c; }
    ecRawHeaderInfo* Header() { return pRawHeader; }
    void Apply(std::string text) { SetUsingExtraSiemansInfo(&text[0]); }
};

// A text of `count` fields "f0\f1\..." with some fields replaced.
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

TEST(SiemensGeometryText, MatrixField)
{
    const struct {
        int fields;
        const char* value;
        int presetCols, cols, rows;
    } cases[] = {
        {15, "256*192", 0, 256, 192},  // columns * rows
        {14, "256*192", 0, 0, 0},      // field 13 is the last field: never applied
        {15, "320", 0, 320, 320},      // no "*": square
        {20, "256*192", 64, 64, 0},    // columns already read
    };
    for (const auto& c : cases) {
        TextSlice s;
        s.SetCols(c.presetCols);
        s.Apply(Fields(c.fields, {{13, c.value}}));
        EXPECT_EQ(s.Cols(), c.cols) << c.fields << " " << c.value;
        EXPECT_EQ(s.Rows(), c.rows) << c.fields << " " << c.value;
        EXPECT_EQ(s.Header()->iNumPix, ecRawHeaderInfo().iNumPix);  // the header's counts stay
    }
}

TEST(SiemensGeometryText, ThicknessAndPlaneFields)
{
    const struct {
        int fields, index;
        const char* value;
        double presetThickness;
        double thickness;
        SliceType plane;
    } cases[] = {
        {23, 21, "SL5.5", 0.0, 5.5, SliceUnknown},    {23, 21, "sl5.5", 0.0, 0.0, SliceUnknown},
        {23, 21, " SL5.5", 0.0, 0.0, SliceUnknown},   {23, 21, "SL5.5", 3.0, 3.0, SliceUnknown},
        {22, 21, "SL5.5", 0.0, 0.0, SliceUnknown},    {25, 23, "  Sagittal", 0, 0, SliceSagittal},
        {25, 23, "AXIAL ", 0, 0, SliceAxial},         {25, 23, "coronal", 0, 0, SliceCoronal},
        {25, 23, "Transverse", 0, 0, SliceUnknown},   {24, 23, "Sagittal", 0, 0, SliceUnknown},
        {60, 23, "coronal", 0, 0, SliceCoronal},
    };
    for (const auto& c : cases) {
        TextSlice s;
        s.Header()->fSliceThickness = c.presetThickness;
        s.Apply(Fields(c.fields, {{c.index, c.value}}));
        EXPECT_EQ(s.Header()->fSliceThickness, c.thickness) << c.fields << " '" << c.value << "'";
        EXPECT_EQ(s.Header()->PlaneType, c.plane) << c.fields << " '" << c.value << "'";
        EXPECT_EQ(s.Header()->ImagePlane, c.plane) << c.fields << " '" << c.value << "'";
    }
    TextSlice set;  // a plane already set stays
    set.Header()->PlaneType = SliceAxial;
    set.Apply(Fields(25, {{23, "Sagittal"}}));
    EXPECT_EQ(set.Header()->PlaneType, SliceAxial);
    EXPECT_EQ(set.Header()->ImagePlane, SliceUnknown);
}
