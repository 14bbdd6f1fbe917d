// Quarn: reads single 2-D MRI slices and hands them to the host as typed slice
// objects with a record of each slice's geometry. Include this header to get
// every public declaration of the library.
#ifndef QUARN_QUARN_H
#define QUARN_QUARN_H

#include "MriTypes.h"
#include "ecBase.h"
#include "ecError.h"
#include "MriSliceInformation.h"
#include "RawHeaderInfo.h"
#include "MriSlice.h"
#include "ecLookupTable.h"
#include "MriSliceImg.h"
#include "DicomHeaderInfo.h"
#include "read_dicom.h"
#include "readnema.h"
#include "readSiemens.h"
#include "readSigna.h"
#include "readGEM.h"
#include "ReadMriSlice.h"

#endif
