// Weak stand-in for the Signa pixel-depth probe: it answers -100 (not
// supported) only in a build that lacks the Signa module; the module's own
// definition replaces it at link time.
#include "readSigna.h"

__attribute__((weak)) int FindSigna_PixelDepth(const char*) { return -100; }
