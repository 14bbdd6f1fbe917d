// Whole DICOM and NEMA slices read into a plain slice.
// Not read by this build yet: these members answer -100 (not supported), as
// the type-independent slice does.
#include "MriSlice.h"


template <class T>
int ecMriSlice<T>::ReadDICOM_Image(FILE*, unsigned long, unsigned long, void*) { return -100; }
template <class T>
int ecMriSlice<T>::ReadDICOMFile(const char*, unsigned long, void*) { return -100; }
template <class T>
void ecMriSlice<T>::SetUsingExtraSiemansInfo(char*) {}

#define QUARN_DICOM_SLICE(T) \
    template int ecMriSlice<T>::ReadDICOM_Image(FILE*, unsigned long, unsigned long, void*); \
    template int ecMriSlice<T>::ReadDICOMFile(const char*, unsigned long, void*); \
    template void ecMriSlice<T>::SetUsingExtraSiemansInfo(char*);
QUARN_DICOM_SLICE(unsigned char)
QUARN_DICOM_SLICE(short)
QUARN_DICOM_SLICE(float)
