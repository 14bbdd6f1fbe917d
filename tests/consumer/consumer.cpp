// A program outside the project that links the installed library.
#include <Quarn.h>

#include <cstdio>

int main()
{
    ecRawHeaderInfo h;
    if (!h.Evaluate(std::string("<Axial: short>(16,16,1,1,1,1,1)"))) return 1;
    ecMriSlice<short> s;
    if (!s.Resize(h.iNumPix, h.iNumPixY, 0)) return 2;
    std::printf("%s %d\n", s.GetLabel().c_str(), s.GetNumRows() * s.GetNumCols());
    return 0;
}
