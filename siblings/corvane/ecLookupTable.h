// corvane: the colour lookup table, which maps a data value to a packed
// colour. Packed colour: the first colour component (red) in bits 0..7, the
// second (green) in bits 8..15, the third (blue) in bits 16..23.
#ifndef QUARN_ECLOOKUPTABLE_H
#define QUARN_ECLOOKUPTABLE_H

#include <vector>

#include "QuarnExport.h"
#include "ecBase.h"

class QUARN_API ecLookupTable : public ecBase {
public:
    // A table of `numberOfColors` entries (256 by default), all 0 until Build
    // runs. Defaults: linear ramp and scale, hue 0..0.6667, saturation 1..1,
    // value 1..1, alpha 1..1, table range 0..1, not reversed. A count below 0
    // gives an empty table.
    explicit ecLookupTable(int numberOfColors = 256);
    ecLookupTable(const ecLookupTable& other);
    ~ecLookupTable() override;
    // Copies everything from `other`, which is taken by non-const reference.
    ecLookupTable& operator=(ecLookupTable& other);

    // Fills the table: entry i of n stands at t = i / (n - 1) along the ramp
    // (bent by 0.5 - 0.5 cos(pi t) for the S-curve, reversed when the table
    // runs high to low); hue, saturation and value are interpolated over their
    // ranges at t and turned into red, green and blue bytes. Clears the dirty
    // flag.
    virtual void Build();
    // The data values mapped to the first and the last entry.
    void SetTableRange(float low, float high);
    // The packed colour for `value`: the entry at floor((value - low) / (high
    // - low) * n), clamped to the table; 0 for an empty table; with low =
    // high, the first entry below low and the last one from low on.
    void MapValue(float value, unsigned long& color) const;

    void SetRampToLinear();
    void SetRampToSCurve();
    int GetRampType() { return iRampType; }
    void SetScaleToLinear();
    int GetScaleType() { return iScaleType; }
    void SetHueRange(float low, float high);
    void SetSaturationRange(float low, float high);
    void SetValueRange(float low, float high);
    void SetAlphaRange(float low, float high);
    float* GetHueRange() { return fHueRange; }
    float* GetSaturationRange() { return fSaturationRange; }
    float* GetValueRange() { return fValueRange; }
    float* GetAlphaRange() { return fAlphaRange; }
    float* GetTableRange() { return fTableRange; }
    // Weighted brightness 0..1 of the colour that `value` maps to.
    float GetLuminance(float value);
    int GetNumberOfTableValues();
    bool IsReversed() { return bReversed; }
    // Sets the direction of the table (takes effect at the next Build).
    void SetReversed(bool reversed);
    // The packed colour of entry `index`; 0 outside the table.
    unsigned long GetTableValue(int index) const;

protected:
    int iRampType;
    int iScaleType;
    float fHueRange[2];
    float fSaturationRange[2];
    float fValueRange[2];
    float fAlphaRange[2];
    float fTableRange[2];
    std::vector<unsigned long> vTable;
    bool bReversed;
};

#endif
