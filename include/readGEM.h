// GE Genesis image files ("IMGF"): the module state shared by the Genesis
// readers of the slices, the decoder of compressed pixel data, the folder of
// the readers' temporary files, and the XImg series scans.
//
// The slice members ecMriSlice<T>::ReadGEMFile and ecMriSlice<T>::GetGEMImage
// (MriSlice.h) read the files themselves.
#ifndef QUARN_READGEM_H
#define QUARN_READGEM_H

#include <cstdio>
#include <string>
#include <vector>

#include "DicomHeaderInfo.h"
#include "QuarnExport.h"
#include "RawHeaderInfo.h"

QUARN_API int FindXImgFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                           std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader,
                           unsigned long flags);
// Not supported: returns -100 and touches nothing.
QUARN_API int FindXImageFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                             std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader,
                             unsigned long flags);

// Sizes of the blocks the readers keep.
enum {
    GEM_IMAGE_FILE_HEADER_SIZE = 156,
    GEM_EXAM_HEADER_SIZE = 1040,
    GEM_IMAGE_HEADER_SIZE = 1044,
    GEM_MAGIC = 0x494D4746  // "IMGF"
};

// The header blocks that the last ReadGEMFile of this thread read, with their
// numeric fields converted to host byte order; zero when the thread starts.
// GetGEMImage decodes with the image file header found here. Shared by both
// readers and all pixel types; each thread has its own.
struct QUARN_API ecGEMHeaderBlocks {
    unsigned char ImageFile[GEM_IMAGE_FILE_HEADER_SIZE];
    unsigned char Exam[GEM_EXAM_HEADER_SIZE];
    unsigned char Image[GEM_IMAGE_HEADER_SIZE];
};
QUARN_API ecGEMHeaderBlocks& GEMHeaderBlocks();

// Convert the numeric fields of a block, as read from a file (big-endian),
// to host byte order in place. Bytes outside those fields stay as read.
QUARN_API void ConvertGEMImageFileHeader(unsigned char* block);
QUARN_API void ConvertGEMExamHeader(unsigned char* block);
QUARN_API void ConvertGEMImageHeader(unsigned char* block);

// Decodes `count` 16-bit values of the Genesis compressed pixel encoding from
// `fp` into `out`. Returns `count`, or -1 when the stream ends before the
// last value is complete (or for a null argument or a negative count).
QUARN_API long DecodeGEMCompressed(unsigned short* out, long count, FILE* fp);

// The temporary-file counters `file_val`: one per reader, pixel type and
// thread, zero when the thread starts. Each call of a reader names its file
// "tmp_img.<counter>" and then increments its counter, whatever happens later.
template <class T>
struct QUARN_API ecGEMFileCounters {
    static inline thread_local int file_val_ReadGEMFile = 0;
    static inline thread_local int file_val_GetGEMImage = 0;
};

// The folder that receives the readers' temporary files. The default is the
// folder "quarn-genesis-<user id>" of the platform's temporary directory,
// created (private to the user) when first needed. A host may name another,
// existing folder; an empty or null name restores the default.
QUARN_API void SetGEMTempDirectory(const char* path);
QUARN_API std::string GetGEMTempDirectory();

#endif
