// GE Signa slices read into a plain slice.
// Not read by this build yet: these members answer -100 (not supported), as
// the type-independent slice does.
#include "MriSlice.h"


template <class T>
int ecMriSlice<T>::GetSignaFile(const char*, unsigned long, void*) { return -100; }
template <class T>
int ecMriSlice<T>::GetSignaImage(FILE*, unsigned long, unsigned long, void*) { return -100; }

#define QUARN_SIGNA_SLICE(T) \
    template int ecMriSlice<T>::GetSignaFile(const char*, unsigned long, void*); \
    template int ecMriSlice<T>::GetSignaImage(FILE*, unsigned long, unsigned long, void*);
QUARN_SIGNA_SLICE(unsigned char)
QUARN_SIGNA_SLICE(short)
QUARN_SIGNA_SLICE(float)
