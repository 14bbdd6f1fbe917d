// Weak stand-ins for format probes that live in the DICOM module. They answer
// -100 (not supported) only in a build that lacks that module; its own
// definitions replace them at link time. Remove this file once the module is
// part of every build.
#include "readnema.h"

__attribute__((weak)) int FillRawHeaderFromDicomFile(const char*, ecRawHeaderInfo*, long*, unsigned long)
{
    return -100;
}
__attribute__((weak)) int FindDICOM_PixelDepth(const char*, int*) { return -100; }
