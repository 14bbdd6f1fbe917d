// What the DICOM readers remember, one state per thread, and the helpers the
// element walks share: the plane of an orientation, clamped integers, pixel
// spacing.
#include "read_dicom/DicomState.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ecError.h"
#include "read_dicom.h"
#include "read_raw/DecimalText.h"

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

void PointAllKeywordsAtPlaceholder(DicomReadState& state)
{
    for (auto& name : state.name) name = kUnusedDicomField;
}

thread_local DicomReadState tState;

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

DicomReadState::DicomReadState()
    : found{}, tableReady(false), extraSlice(0), extraSliceGap(0.0f), littleEndian(true), explicitVR(false),
      sharedFile(nullptr)
{
    PointAllKeywordsAtPlaceholder(*this);
}

DicomReadState& DicomState() { return tState; }

void ResetDicomReadState() { tState = DicomReadState(); }

bool IsDicomDataLittleEndian() { return tState.littleEndian; }

void ShortImageRead() { throw ecError("Short count on image read", 1, 0, -1, -1); }

void ClearDicomFieldFlags()
{
    std::fill(std::begin(tState.found), std::end(tState.found), false);
}

void ResetDicomFieldState()
{
    ClearDicomFieldFlags();
    PointAllKeywordsAtPlaceholder(tState);
}

void InitDicomFieldTable()
{
    if (tState.tableReady) return;
    ClearDicomFieldFlags();
    PointAllKeywordsAtPlaceholder(tState);
    for (const SlotKeyword& k : kSlotKeywords) tState.name[k.slot] = k.keyword;
    tState.tableReady = true;
}

bool RequiredDicomValuesSet(bool withOrientation)
{
    const bool* found = tState.found;
    if (!found[kDicomRows] || !found[kDicomColumns]) return false;
    if (withOrientation && !found[kDicomOrientation]) return false;
    return found[kDicomSliceThickness] && found[kDicomPixelSpacing];
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

void SetPlanesFromOrientation(const char* orientationText, ecRawHeaderInfo& header)
{
    unsigned long reserved = 0;
    switch (GetDicomSliceType(orientationText, reserved)) {
    case SliceSagittal:
        header.ImagePlane = SliceSagittal;
        header.PlaneType = SliceCoronal;
        break;
    case SliceCoronal:
        header.ImagePlane = SliceCoronal;
        header.PlaneType = SliceSagittal;
        break;
    default:
        header.ImagePlane = SliceAxial;
        header.PlaneType = SliceAxial;
        break;
    }
}

int ClampedInt(const char* text)
{
    const long long v = std::strtoll(text, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int>(v);
}

void SetPixelSpacing(const char* text, size_t length, bool lastByteSplits, ecRawHeaderInfo& header)
{
    header.fSizePix = decimal_text::ParseDouble(text);
    const size_t searched = lastByteSplits ? length : (length > 1 ? length - 1 : 0);
    const void* nul = std::memchr(text, '\0', searched);
    header.fSizePixY = nul ? decimal_text::ParseDouble(static_cast<const char*>(nul) + 1) : header.fSizePix;
}
