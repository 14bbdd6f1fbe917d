// Header records for tests that read raw slices.
#ifndef QUARN_TESTS_RECORDUTIL_H
#define QUARN_TESTS_RECORDUTIL_H

#include "RawHeaderInfo.h"

namespace testutil {

// A valid axial record of cols x rows pixels of the given type code, with the
// pixels at `offset` (0: the start of the file, -1: its last bytes).
inline ecRawHeaderInfo RawRecord(int cols, int rows, int dataType, long offset = 0)
{
    ecRawHeaderInfo h;
    h.bIsValid = true;
    h.ImagePlane = SliceAxial;
    h.iNumPix = cols;
    h.iNumPixY = rows;
    h.DataType = dataType;
    h.lDataOffset = offset;
    return h;
}

}  // namespace testutil

#endif
