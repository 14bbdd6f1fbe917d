// The process-wide DICOM scan state and the plane of an image orientation.
#include "readnema/DicomScanState.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "read_raw/DecimalText.h"
#include "readnema.h"

namespace {
const char kUnusedDicomField[] = "*Unused DICOM*";

struct SlotKeyword {
    int slot;
    const char* keyword;
};
const SlotKeyword kSlotKeywords[] = {
    {1, "INSTITUTION_NAME"}, {2, "REF_PHY"},         {3, "READING_PHY"},  {4, "OPERATOR"},
    {5, "AQ_TIME"},          {6, "PATNAME"},         {7, "PAT_ID"},       {8, "PAT_SEX"},
    {9, "PAT_AGE"},          {10, "PAT_WEIGHT"},     {11, "PAT_HIST"},    {12, "SRC_DET_DIST"},
    {13, "SRC_PAT_DIST"},    {14, "MAG_FIELD"},      {15, "SCAN_SPACE"},  {16, "SL_THICK"},
    {17, "HEARTRATE"},       {18, "SER_NUM"},        {19, "IM_NUM"},      {20, "NROWS"},
    {21, "NCOLS"},           {22, "PIXSIZE"},        {23, "FOV"},         {24, "PIX_DATA"},
    {25, "PIXELSIZE"},       {29, "EXTRA_SLICE"},    {30, "EXTRA_SLICE_GAP"},
    {31, "EXTRA_SLICE_THICKNESS"}, {32, "EXTRA_FOV"},
};

void PointAllKeywordsAtPlaceholder()
{
    for (auto& name : DicomFieldName) name = kUnusedDicomField;
}

// Index (0 = x, 1 = y, 2 = z) of the component with the largest magnitude; a
// later component wins only when strictly larger. -1 when all are zero.
int DominantAxis(const double* v)
{
    int best = -1;
    double bestAbs = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double a = std::fabs(v[i]);
        if (a > bestAbs) {
            bestAbs = a;
            best = i;
        }
    }
    return best;
}
}  // namespace

bool DicomFieldFound[kDicomFieldSlotCount] = {};
const char* DicomFieldName[kDicomFieldSlotCount] = {
    kUnusedDicomField, kUnusedDicomField, kUnusedDicomField, kUnusedDicomField, kUnusedDicomField,
    kUnusedDicomField, kUnusedDicomField, kUnusedDicomField, kUnusedDicomField, kUnusedDicomField,
    kUnusedDicomField, kUnusedDicomField, kUnusedDicomField, kUnusedDicomField, kUnusedDicomField,
    kUnusedDicomField, kUnusedDicomField, kUnusedDicomField, kUnusedDicomField, kUnusedDicomField,
    kUnusedDicomField, kUnusedDicomField, kUnusedDicomField, kUnusedDicomField, kUnusedDicomField,
    kUnusedDicomField, kUnusedDicomField, kUnusedDicomField, kUnusedDicomField, kUnusedDicomField,
    kUnusedDicomField, kUnusedDicomField, kUnusedDicomField, kUnusedDicomField,
};
bool bDicomFieldTableReady = false;
int iExtraSlice = 0;
float fExtraSliceGap = 0.0f;

void ClearDicomFieldFlags()
{
    std::fill(std::begin(DicomFieldFound), std::end(DicomFieldFound), false);
}

void ResetDicomFieldState()
{
    ClearDicomFieldFlags();
    PointAllKeywordsAtPlaceholder();
}

void InitDicomFieldTable()
{
    if (bDicomFieldTableReady) return;
    ClearDicomFieldFlags();
    PointAllKeywordsAtPlaceholder();
    for (const SlotKeyword& k : kSlotKeywords) DicomFieldName[k.slot] = k.keyword;
    bDicomFieldTableReady = true;
}

bool RequiredDicomValuesSet(bool withOrientation)
{
    if (!DicomFieldFound[kDicomRows] || !DicomFieldFound[kDicomColumns]) return false;
    if (withOrientation && !DicomFieldFound[kDicomOrientation]) return false;
    return DicomFieldFound[kDicomSliceThickness] && DicomFieldFound[kDicomPixelSpacing];
}

SliceType GetDicomSliceType(const char* orientationText, unsigned long&)
{
    if (!orientationText) return SliceAxial;
    double d[6];
    const int plain = decimal_text::ScanPlainList(orientationText, d, 6);
    if (plain >= 0 && plain < 6) return SliceAxial;
    if (plain < 0) {
        std::string text(orientationText);
        std::replace(text.begin(), text.end(), '\\', ' ');
        if (std::sscanf(text.c_str(), "%lf%lf%lf%lf%lf%lf", &d[0], &d[1], &d[2], &d[3], &d[4], &d[5]) < 6)
            return SliceAxial;
    }
    const int row = DominantAxis(d);
    const int col = DominantAxis(d + 3);
    if (row == 0 && col == 1) return SliceAxial;
    if (row == 0 && col == 2) return SliceCoronal;
    if (row == 1 && col == 2) return SliceSagittal;
    return SliceAxial;
}
