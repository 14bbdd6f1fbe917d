// Internal to the library: what the DICOM readers remember between calls
// (the found marks, the keyword table, the Siemens extra values, the byte
// order and explicit-VR switch the element reader last ended with, the open
// file shared down the stack). It lives in one state object per thread, so
// each thread sees exactly what a single thread sees.
#ifndef QUARN_SRC_READ_DICOM_DICOMSTATE_H
#define QUARN_SRC_READ_DICOM_DICOMSTATE_H

#include "RawHeaderInfo.h"

// The found-mark slots. Each value a reader looks for has a slot; a reader
// sets the slot's mark in DicomFieldFound when it met the value in the file
// read last. Slots 0, 26, 27, 28 and 33 have no keyword of their own.
enum DicomFieldSlot {
    kDicomInstitutionName = 1,   // (0008,0080)
    kDicomRefPhysician = 2,      // (0008,1050)
    kDicomReadingPhysician = 3,  // (0008,1060)
    kDicomOperator = 4,          // (0008,1070)
    kDicomAcqTime = 5,           // not marked by any reader
    kDicomPatientName = 6,       // (0010,0010)
    kDicomPatientId = 7,         // (0010,0020)
    kDicomPatientSex = 8,        // (0010,0040)
    kDicomPatientAge = 9,        // (0010,1010)
    kDicomPatientWeight = 10,    // (0010,1030)
    kDicomPatientHistory = 11,   // (0010,2180)
    kDicomSrcDetDist = 12,       // (0018,1110)
    kDicomSrcPatDist = 13,       // (0018,1111)
    kDicomMagField = 14,         // not marked
    kDicomSliceSpacing = 15,     // (0018,0088)
    kDicomSliceThickness = 16,   // (0018,0050)
    kDicomHeartRate = 17,        // not marked
    kDicomSeriesNumber = 18,     // (0020,0011)
    kDicomImageNumber = 19,      // (0020,0013), only when its value is in range
    kDicomRows = 20,             // (0028,0010)
    kDicomColumns = 21,          // (0028,0011)
    kDicomPixelSpacing = 22,     // (0028,0030)
    kDicomFov = 23,              // (0018,0090)
    kDicomPixData = 24,          // not marked
    kDicomPixelSize = 25,        // not marked
    kDicomOrientation = 26,      // (0020,0035) or (0020,0037)
    kDicomExtraSlice = 29,       // Siemens (0021,1020); value in iExtraSlice
    kDicomExtraSliceGap = 30,    // Siemens (0021,1221); value in fExtraSliceGap
    kDicomExtraSliceThickness = 31,  // (0019,100E)
    kDicomExtraFov = 32,             // (0019,0019)
};
constexpr int kDicomFieldSlotCount = 34;

class DicomOpenFile;

struct DicomReadState {
    DicomReadState();
    // One mark per slot; all false in a fresh state.
    bool found[kDicomFieldSlotCount];
    // One keyword per slot, for naming only; "*Unused DICOM*" until the table is filled.
    const char* name[kDicomFieldSlotCount];
    // Set once InitDicomFieldTable has filled the keywords.
    bool tableReady;
    // The last Siemens extra slice number and slice gap read; meaningful only
    // while the marks of kDicomExtraSlice and kDicomExtraSliceGap are set.
    int extraSlice;
    float extraSliceGap;
    // Byte order and explicit-VR switch the element reader last ended with.
    bool littleEndian;
    bool explicitVR;
    // The open file a caller up the stack shares with the reads below it.
    DicomOpenFile* sharedFile;
};

// This thread's state.
DicomReadState& DicomState();
// Puts this thread's DICOM state back to a fresh library's.
void ResetDicomReadState();

// Clears all marks; keywords, table flag and Siemens values stay.
void ClearDicomFieldFlags();
// Clears all marks and points every keyword back at "*Unused DICOM*"; the
// table flag stays as it is. The element reader calls it when it starts.
void ResetDicomFieldState();
// Fills the keyword table once (clearing the marks); later calls do nothing.
void InitDicomFieldTable();
// Rows, columns, slice thickness and pixel spacing found, and the
// orientation too when `withOrientation` is true.
bool RequiredDicomValuesSet(bool withOrientation);

// The byte order the DICOM element reader ended its last read with (true:
// little-endian, also before any read). The pixel loader asks it right after
// its own header read to decide whether to swap the pixel bytes.
bool IsDicomDataLittleEndian();

// Throws the pixel readers' error for a pixel block the file or the counts
// cannot fill: "Short count on image read".
[[noreturn]] void ShortImageRead();

// The plane of an orientation text as the readers set it: the image plane
// from GetDicomSliceType and the plane type that goes with it.
void SetPlanesFromOrientation(const char* orientationText, ecRawHeaderInfo& header);

// Decimal text as the C library's atoi reads it, clamped to the int range.
int ClampedInt(const char* text);

// Pixel Spacing: the first number, and a second one after a NUL inside the
// value. `lastByteSplits` tells whether a NUL in the value's last byte counts
// (the second size is then read from the empty text after it).
void SetPixelSpacing(const char* text, size_t length, bool lastByteSplits, ecRawHeaderInfo& header);

#endif
