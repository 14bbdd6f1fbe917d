// The loop shared by the series scans: one header record per file, in the
// order given, with the smallest and largest image numbers.
#ifndef QUARN_SRC_SERIESSCAN_H
#define QUARN_SRC_SERIESSCAN_H

#include <string>
#include <vector>

#include "DicomHeaderInfo.h"
#include "core/ReadOptions.h"

// `readOne(name, record, offset)` fills one record and the pixel offset and
// returns a status; the first negative status r ends the scan with r - 100,
// keeping the records read before it. Otherwise returns the number of files.
// `firstHeader`, when given, receives the base part of the first record.
template <class ReadOne>
int ScanSeriesFiles(const std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                    std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader, int firstStart,
                    int lastStart, ReadOne readOne)
{
    headers.clear();
    firstImage = firstStart;
    lastImage = lastStart;
    for (const std::string& name : fileNames) {
        ecDicomHeaderInfo h;
        long offset = 0;
        const int r = readOne(name, h, offset);
        if (r < 0) return quarn::StageStatus(r, 100);
        h.iImageOffset = static_cast<int>(offset);  // a 32-bit field
        h.sFileName = name;
        headers.push_back(h);
        if (h.iImageNum < firstImage) firstImage = h.iImageNum;
        if (h.iImageNum > lastImage) lastImage = h.iImageNum;
    }
    if (firstHeader && !headers.empty()) *firstHeader = static_cast<const ecRawHeaderInfo&>(headers.front());
    return static_cast<int>(headers.size());
}

#endif
