// histra: histograms over the pixels of a slice. A histogram has a fixed number
// of equal bins over a closed value range [low, high]; a value below the range
// counts in the first bin, a value above it in the last, so the counts always
// add up to the number of pixels given.
#ifndef QUARN_HISTRA_H
#define QUARN_HISTRA_H

#include <cstddef>
#include <vector>

#include "QuarnExport.h"

class QUARN_API ecHistogramBase {
public:
    ecHistogramBase(int nBins, double low, double high);
    virtual ~ecHistogramBase();
    // Ready when it has at least one bin and a range with low < high (both finite).
    virtual bool IsReady(unsigned long options) const;
    int GetNumBins() const { return static_cast<int>(vCounts.size()); }
    double GetLow() const { return dLow; }
    double GetHigh() const { return dHigh; }
    // Count in bin i (0 outside the bins).
    unsigned long long GetCount(int bin) const;
    // Sum of all counts.
    unsigned long long GetTotal() const;
    // Bin of a value (clamped into the bins).
    int BinOf(double value) const;
    void Clear();

protected:
    void Add(double value);

private:
    std::vector<unsigned long long> vCounts;
    double dLow;
    double dHigh;
};

template <class T>
class QUARN_API ecHistogram : public ecHistogramBase {
public:
    ecHistogram(int nBins, double low, double high) : ecHistogramBase(nBins, low, high) {}
    // Clears the counts and counts the n values; false when not ready, when
    // `data` is null or n is negative.
    bool FillHistogramData(const T* data, int n)
    {
        if (!IsReady(0) || !data || n < 0) return false;
        Clear();
        for (int i = 0; i < n; ++i) Add(static_cast<double>(data[i]));
        return true;
    }
};

#endif
