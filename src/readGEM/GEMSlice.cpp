// GE Genesis slices read into a plain slice.
// Not read by this build yet: these members answer -100 (not supported), as
// the type-independent slice does.
#include "MriSlice.h"


template <class T>
int ecMriSlice<T>::GetGEMImage(FILE*, unsigned long, void*) { return -100; }
template <class T>
int ecMriSlice<T>::ReadGEMFile(const char*, void*) { return -100; }

#define QUARN_GEM_SLICE(T) \
    template int ecMriSlice<T>::GetGEMImage(FILE*, unsigned long, void*); \
    template int ecMriSlice<T>::ReadGEMFile(const char*, void*);
QUARN_GEM_SLICE(unsigned char)
QUARN_GEM_SLICE(short)
QUARN_GEM_SLICE(float)
