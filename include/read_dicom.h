// The DICOM element reader: reads a DICOM part 10 or ACR-NEMA header element
// by element into a header record and stops at the pixel data.
#ifndef QUARN_READ_DICOM_H
#define QUARN_READ_DICOM_H

#include <cstdio>

#include "QuarnExport.h"
#include "RawHeaderInfo.h"

// Stream form: 1 when the pixel data element was reached (the stream then
// stands at its first byte), -1 without a stream, -2 without a record; any
// other failure throws ecError.
QUARN_API int read_dicom_data_raw_header(FILE* fp, ecRawHeaderInfo* header, long* dataOffset, unsigned long options);
// File-name form: -3 without a name, -2 without a record, -1 when the file
// cannot be opened; otherwise as the stream form.
QUARN_API int read_dicom_data_raw_header(const char* fileName, ecRawHeaderInfo* header, long* dataOffset,
                               unsigned long options);

// The plane of an image orientation text (six numbers separated by
// backslashes or blanks): axial, coronal or sagittal by the axes the row and
// column directions mostly follow; axial for anything else.
QUARN_API SliceType GetDicomSliceType(const char* orientationText, unsigned long& reserved);

#endif
