// Siemens slices read into a plain slice.
// Not read by this build yet: these members answer -100 (not supported), as
// the type-independent slice does.
#include "MriSlice.h"


template <class T>
int ecMriSlice<T>::GetSiemensFile(const char*, unsigned long, void*) { return -100; }
template <class T>
int ecMriSlice<T>::GetSiemensImage(FILE*, unsigned long, unsigned long, void*) { return -100; }

#define QUARN_SIEMENS_SLICE(T) \
    template int ecMriSlice<T>::GetSiemensFile(const char*, unsigned long, void*); \
    template int ecMriSlice<T>::GetSiemensImage(FILE*, unsigned long, unsigned long, void*);
QUARN_SIEMENS_SLICE(unsigned char)
QUARN_SIEMENS_SLICE(short)
QUARN_SIEMENS_SLICE(float)
