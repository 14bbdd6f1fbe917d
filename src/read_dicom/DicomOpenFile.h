// Internal to the library: one open DICOM file whose header and pixels are
// read through one descriptor. The slice factory opens the file once for its
// depth probe and the display slice's own read; a display slice opens it once
// for its header and its pixels. Whatever reads it, every header read gives
// exactly what a read of its own would give: the first walks the header from
// the start of the file, and while the file is shared the reads after it act
// on the elements the first one acted on, from the same bytes.
#ifndef QUARN_SRC_READ_DICOM_DICOMOPENFILE_H
#define QUARN_SRC_READ_DICOM_DICOMOPENFILE_H

#include "RawHeaderInfo.h"

class DicomOpenFile {
public:
    // Opens the file; a name that cannot be opened, or a folder, leaves it
    // closed. The name is kept by reference: it must outlive the object.
    explicit DicomOpenFile(const char* fileName);
    ~DicomOpenFile();
    DicomOpenFile(const DicomOpenFile&) = delete;
    DicomOpenFile& operator=(const DicomOpenFile&) = delete;

    bool IsOpen() const;
    const char* Name() const { return pName; }
    // As read_dicom_data_raw_header with the file's name (-1 when closed).
    int ReadHeader(ecRawHeaderInfo* header, long* dataOffset);
    // Copies up to n bytes from `offset` on into dst, the bytes already in
    // memory first and the rest straight from the file; returns the count.
    size_t ReadBytes(long offset, void* dst, size_t n);
    // The number of bytes from `offset` to the end of the file, or -1 when it
    // cannot be told.
    long long BytesFrom(long offset);

    struct Stream;
    // Room for the stream: its 8 KiB buffer and the memo of the first walk.
    using StreamSpace = unsigned char[8256 + 3072];

private:
    const char* pName;
    int iFd;
    Stream* pStream;  // built in aStreamSpace: an open file costs no allocation
    alignas(16) StreamSpace aStreamSpace;
};

// The open file of `fileName` that a caller up the stack shares, or null.
DicomOpenFile* SharedDicomFile(const char* fileName);

// Shares an open file with the reads below it for as long as it lives (only
// when no other file is shared already and the file is open).
class ShareDicomFile {
public:
    explicit ShareDicomFile(DicomOpenFile& file);
    ~ShareDicomFile();
    ShareDicomFile(const ShareDicomFile&) = delete;
    ShareDicomFile& operator=(const ShareDicomFile&) = delete;

private:
    bool bShared;
};

#endif
