#include "histra.h"

#include <cmath>

ecHistogramBase::ecHistogramBase(int nBins, double low, double high)
    : vCounts(nBins > 0 ? static_cast<size_t>(nBins) : 0u, 0), dLow(low), dHigh(high)
{
}

ecHistogramBase::~ecHistogramBase() = default;

bool ecHistogramBase::IsReady(unsigned long) const
{
    return !vCounts.empty() && std::isfinite(dLow) && std::isfinite(dHigh) && dLow < dHigh;
}

unsigned long long ecHistogramBase::GetCount(int bin) const
{
    if (bin < 0 || static_cast<size_t>(bin) >= vCounts.size()) return 0;
    return vCounts[static_cast<size_t>(bin)];
}

unsigned long long ecHistogramBase::GetTotal() const
{
    unsigned long long total = 0;
    for (unsigned long long c : vCounts) total += c;
    return total;
}

int ecHistogramBase::BinOf(double value) const
{
    const int n = GetNumBins();
    if (n <= 0) return -1;
    if (!(value > dLow)) return 0;  // below the range, at low, or NaN
    if (value >= dHigh) return n - 1;
    const int bin = static_cast<int>((value - dLow) / (dHigh - dLow) * n);
    return bin < n ? bin : n - 1;
}

void ecHistogramBase::Clear()
{
    for (auto& c : vCounts) c = 0;
}

void ecHistogramBase::Add(double value)
{
    const int bin = BinOf(value);
    if (bin >= 0) ++vCounts[static_cast<size_t>(bin)];
}
