// corvane: construction, building and mapping of the colour lookup table.
#include "ecLookupTable.h"

#include <cmath>

namespace {
const int kMaxColors = 65536;

unsigned long ToByte(double c)
{
    if (!(c > 0.0)) return 0;
    if (c >= 1.0) return 255;
    return static_cast<unsigned long>(std::floor(c * 255.0 + 0.5));
}

// Hue, saturation and value in 0..1 to a packed colour (hue 0 and 1 are red).
unsigned long PackHsv(double h, double s, double v)
{
    h -= std::floor(h);
    double r = v, g = v, b = v;
    if (s > 0.0) {
        const double sector = h * 6.0;
        const int i = static_cast<int>(std::floor(sector)) % 6;
        const double f = sector - std::floor(sector);
        const double p = v * (1.0 - s), q = v * (1.0 - s * f), t = v * (1.0 - s * (1.0 - f));
        switch (i) {
        case 0: r = v; g = t; b = p; break;
        case 1: r = q; g = v; b = p; break;
        case 2: r = p; g = v; b = t; break;
        case 3: r = p; g = q; b = v; break;
        case 4: r = t; g = p; b = v; break;
        default: r = v; g = p; b = q; break;
        }
    }
    return ToByte(r) | (ToByte(g) << 8) | (ToByte(b) << 16);
}
}  // namespace

ecLookupTable::ecLookupTable(int numberOfColors)
    : iRampType(0),
      iScaleType(0),
      fHueRange{0.0f, 0.6667f},
      fSaturationRange{1.0f, 1.0f},
      fValueRange{1.0f, 1.0f},
      fAlphaRange{1.0f, 1.0f},
      fTableRange{0.0f, 1.0f},
      bReversed(false)
{
    if (numberOfColors > 0) vTable.assign(static_cast<size_t>(numberOfColors < kMaxColors ? numberOfColors : kMaxColors), 0);
}

ecLookupTable::~ecLookupTable() = default;

void ecLookupTable::Build()
{
    const size_t n = vTable.size();
    for (size_t i = 0; i < n; ++i) {
        double t = n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) : 0.0;
        if (iRampType == 1) t = 0.5 - 0.5 * std::cos(M_PI * t);
        if (bReversed) t = 1.0 - t;
        const double h = fHueRange[0] + t * (fHueRange[1] - fHueRange[0]);
        const double s = fSaturationRange[0] + t * (fSaturationRange[1] - fSaturationRange[0]);
        const double v = fValueRange[0] + t * (fValueRange[1] - fValueRange[0]);
        vTable[i] = PackHsv(h, s, v);
    }
    SetDirty(false);
}

void ecLookupTable::SetTableRange(float low, float high)
{
    fTableRange[0] = low;
    fTableRange[1] = high;
    SetDirty(true);
}

void ecLookupTable::MapValue(float value, unsigned long& color) const
{
    const size_t n = vTable.size();
    if (n == 0) {
        color = 0;
        return;
    }
    const double low = fTableRange[0], high = fTableRange[1];
    double index;
    if (high == low) index = value < low ? 0.0 : static_cast<double>(n - 1);
    else index = std::floor((value - low) / (high - low) * static_cast<double>(n));
    if (!(index > 0.0)) index = 0.0;  // also NaN
    if (index > static_cast<double>(n - 1)) index = static_cast<double>(n - 1);
    color = vTable[static_cast<size_t>(index)];
}

void ecLookupTable::SetReversed(bool reversed)
{
    bReversed = reversed;
    SetDirty(true);
}

unsigned long ecLookupTable::GetTableValue(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= vTable.size()) return 0;
    return vTable[static_cast<size_t>(index)];
}
