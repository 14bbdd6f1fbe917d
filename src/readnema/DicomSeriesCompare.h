// Internal to the library: how the series scan compares two header records.
#ifndef QUARN_SRC_READNEMA_DICOMSERIESCOMPARE_H
#define QUARN_SRC_READNEMA_DICOMSERIESCOMPARE_H

#include "RawHeaderInfo.h"

// Series comparison: the number (1..9) of the first of iNumPix, PlaneType,
// ImagePlane, iNumPixY, DataType, fSizePix, fSliceSpacing, fSliceThickness,
// fSizePixY in which the two records differ, or 0. Exact unless
// bUseComparisonTolerance is set or `tolerance` is not 0.0; then each pair is
// compared with DicomValuesEqual (the value of `tolerance` is not used).
int CompareDicomHeaders(const ecRawHeaderInfo& a, const ecRawHeaderInfo& b, double tolerance);
// Exact equality, or with bUseComparisonTolerance set a relative difference of
// at most dComparisonTolerance (a zero `a` equals only an exact zero).
bool DicomValuesEqual(double a, double b);

#endif
