// The slice factory: reads one slice file into a new plain or display slice.
#ifndef QUARN_READMRISLICE_H
#define QUARN_READMRISLICE_H

#include "MriSlice.h"
#include "QuarnExport.h"
#include "RawHeaderInfo.h"

QUARN_API ecMriSliceBase* ReadMriSlice(const char* name, MriFileType type, ecRawHeaderInfo* hdr, bool display,
                             unsigned long options);
QUARN_API int FindGEM_PixelDepth(const char* name);

#endif
