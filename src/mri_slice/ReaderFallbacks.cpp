// Weak stand-ins for format probes that live in the DICOM and Signa modules.
// They answer -100 (not supported) only in a build that lacks those modules;
// the modules' own definitions replace them at link time. Remove this file once
// both modules are part of every build.
#include "readSigna.h"
#include "readnema.h"

__attribute__((weak)) int FillRawHeaderFromDicomFile(const char*, ecRawHeaderInfo*, long*, unsigned long)
{
    return -100;
}
__attribute__((weak)) int FindDICOM_PixelDepth(const char*, int*) { return -100; }
__attribute__((weak)) int FindSigna_PixelDepth(const char*) { return -100; }
