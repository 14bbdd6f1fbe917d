// The DICOM position record and the per-file header record of the series scans.
#ifndef QUARN_DICOMHEADERINFO_H
#define QUARN_DICOMHEADERINFO_H

#include <string>

#include "QuarnExport.h"
#include "RawHeaderInfo.h"
#include "matrona.h"

class QUARN_API ecDicomPositionInfo {
public:
    ecDicomPositionInfo();
    ecDicomPositionInfo(const ecDicomPositionInfo& other) = default;
    ecDicomPositionInfo& operator=(const ecDicomPositionInfo& other) = default;
    ~ecDicomPositionInfo() = default;

    bool operator==(const ecDicomPositionInfo& other) const;
    // "x\y\z": 1, or -1 without text, -2 when fewer than three numbers.
    int SetPosition(const char* text, int length);
    // Six direction cosines, rows then columns: 1, -1 or -2.
    int SetDirection(const char* text, int length);
    // The patient position text: 1, or -1 without text.
    int SetOrientation(const char* text, int length);
    std::string Ascii(unsigned long options) const;

    ecVector<double> vPosition;
    ecMatrix<double> mRowColDirs;
    std::string sOrientation;
};

class QUARN_API ecDicomHeaderInfo : public ecRawHeaderInfo {
public:
    ecDicomHeaderInfo();
    ecDicomHeaderInfo(const ecDicomHeaderInfo& other);
    ecDicomHeaderInfo& operator=(const ecDicomHeaderInfo& other);
    ~ecDicomHeaderInfo() override;
    // Assigning a raw record copies the base part only.
    using ecRawHeaderInfo::operator=;

    std::string Ascii(unsigned long options) const;

    int iImageOffset;
    std::string sFileName;
    ecDicomPositionInfo Position;
};

#endif
