// The lookup table's accessors, copy operations and luminance.
#include "ecLookupTable.h"

namespace {
// Range setters store without checking order or bounds.
inline void StoreRangeValues(float* range, float low, float high)
{
    range[0] = low;
    range[1] = high;
}
}  // namespace

void ecLookupTable::SetRampToLinear()
{
    iRampType = 0;
    SetDirty(true);
}

void ecLookupTable::SetRampToSCurve()
{
    iRampType = 1;
    SetDirty(true);
}

void ecLookupTable::SetScaleToLinear()
{
    iScaleType = 0;
    SetDirty(true);
}

void ecLookupTable::SetHueRange(float low, float high)
{
    StoreRangeValues(fHueRange, low, high);
    SetDirty(true);
}

void ecLookupTable::SetSaturationRange(float low, float high)
{
    StoreRangeValues(fSaturationRange, low, high);
    SetDirty(true);
}

void ecLookupTable::SetValueRange(float low, float high)
{
    StoreRangeValues(fValueRange, low, high);
    SetDirty(true);
}

void ecLookupTable::SetAlphaRange(float low, float high)
{
    StoreRangeValues(fAlphaRange, low, high);
    SetDirty(true);
}

float ecLookupTable::GetLuminance(float value)
{
    unsigned long c = 0;
    MapValue(value, c);
    const double k = 0.00392156862745098;
    const double blue = 0.11 * (static_cast<double>((c >> 16) & 255) * k);
    const double green = 0.59 * (static_cast<double>((c >> 8) & 255) * k);
    const double red = 0.3 * (static_cast<double>(c & 255) * k);
    return static_cast<float>((blue + green) + red);
}

int ecLookupTable::GetNumberOfTableValues()
{
    return vTable.empty() ? 0 : static_cast<int>(vTable.size());
}

ecLookupTable::ecLookupTable(const ecLookupTable& other)
    : ecBase(),
      iRampType(other.iRampType),
      iScaleType(other.iScaleType),
      fHueRange{other.fHueRange[0], other.fHueRange[1]},
      fSaturationRange{other.fSaturationRange[0], other.fSaturationRange[1]},
      fValueRange{other.fValueRange[0], other.fValueRange[1]},
      fAlphaRange{other.fAlphaRange[0], other.fAlphaRange[1]},
      fTableRange{other.fTableRange[0], other.fTableRange[1]},
      vTable(other.vTable),
      bReversed(other.bReversed)
{
    ecBase::operator=(other);
}

ecLookupTable& ecLookupTable::operator=(ecLookupTable& other)
{
    if (this == &other) return *this;
    ecBase::operator=(other);
    iRampType = other.iRampType;
    iScaleType = other.iScaleType;
    bReversed = other.bReversed;
    for (int i = 0; i < 2; ++i) {
        fHueRange[i] = other.fHueRange[i];
        fSaturationRange[i] = other.fSaturationRange[i];
        fValueRange[i] = other.fValueRange[i];
        fAlphaRange[i] = other.fAlphaRange[i];
        fTableRange[i] = other.fTableRange[i];
    }
    vTable.clear();
    for (unsigned long entry : other.vTable) vTable.push_back(entry);
    return *this;
}
