// Internal to the library: what every reader remembers between calls lives in
// per-thread state objects (the DICOM state, the Genesis header blocks and
// temporary-file counters). This puts all of this thread's reader state back
// to a freshly loaded library's, for hosts such as the fuzzers that must read
// every input as the first.
#ifndef QUARN_SRC_MRI_SLICE_READERSTATE_H
#define QUARN_SRC_MRI_SLICE_READERSTATE_H

void ResetReaderState();

#endif
