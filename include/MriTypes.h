// The file-type and slice-plane enumerations shared by every reader.
#ifndef QUARN_MRITYPES_H
#define QUARN_MRITYPES_H

// Source file formats. The library reads 1, 4, 5, 6, 8, 9, 11 and 13; the other
// values up to 20 exist but no reader handles them.
enum MriFileType : int {
    MriNone = 0,
    MriGenesis = 1,
    MriFileType2 = 2,
    MriFileType3 = 3,
    MriDicom = 4,
    MriSigna = 5,
    MriSiemens = 6,
    MriFileType7 = 7,
    MriRaw8 = 8,
    MriRaw16 = 9,
    MriFileType10 = 10,
    MriRaw16Swapped = 11,
    MriFileType12 = 12,
    MriRawFloat = 13,
    MriFileType14 = 14,
    MriFileType15 = 15,
    MriFileType16 = 16,
    MriFileType17 = 17,
    MriFileType18 = 18,
    MriFileType19 = 19,
    MriFileType20 = 20,
};

// Slice planes; single bits.
enum SliceType : int {
    SliceUnknown = 0,
    SliceAxial = 2,
    SliceSagittal = 4,
    SliceCoronal = 8,
};

#endif
