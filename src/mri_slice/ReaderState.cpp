#include "mri_slice/ReaderState.h"

#include "read_dicom/DicomState.h"
#include "readGEM.h"

void ResetReaderState()
{
    ResetDicomReadState();
    GEMHeaderBlocks() = ecGEMHeaderBlocks{};
    ecGEMFileCounters<unsigned char>::file_val_ReadGEMFile = 0;
    ecGEMFileCounters<unsigned char>::file_val_GetGEMImage = 0;
    ecGEMFileCounters<short>::file_val_ReadGEMFile = 0;
    ecGEMFileCounters<short>::file_val_GetGEMImage = 0;
    ecGEMFileCounters<float>::file_val_ReadGEMFile = 0;
    ecGEMFileCounters<float>::file_val_GetGEMImage = 0;
}
