// The slice factory: reads one slice file into a new plain or display slice.
#ifndef QUARN_READMRISLICE_H
#define QUARN_READMRISLICE_H

#include "MriSlice.h"
#include "RawHeaderInfo.h"

ecMriSliceBase* ReadMriSlice(const char* name, MriFileType type, ecRawHeaderInfo* hdr, bool display,
                             unsigned long options);
int FindGEM_PixelDepth(const char* name);

#endif
