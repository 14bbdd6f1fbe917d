#include "ReaderEntries.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "LabeledState.h"
#include "QuarnImage.h"
#include "MriSlice.h"
#include "MriSliceImg.h"
#include "RawHeaderInfo.h"
#include "ReadMriSlice.h"
#include "ecError.h"
#include "ecXml.h"
#include "mri_slice/ReaderState.h"
#include "readGEM.h"
#include "readSiemens.h"
#include "readSigna.h"
#include "read_dicom.h"
#include "readnema.h"

namespace quarn_fuzz {
namespace {

void RemoveFilesIn(const std::string& dir)
{
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        unlink((dir + "/" + e->d_name).c_str());
    }
    closedir(d);
}

std::string& ScratchPath()
{
    static std::string path;
    return path;
}

void RemoveScratch()
{
    const std::string& dir = ScratchPath();
    if (dir.empty()) return;
    RemoveFilesIn(dir + "/genesis");
    rmdir((dir + "/genesis").c_str());
    RemoveFilesIn(dir);
    rmdir(dir.c_str());
}

std::string InputPath() { return ScratchDir() + "/input"; }

// Genesis reads leave temporary files behind; they go to a folder of their
// own inside the scratch folder and are removed after every input.
std::string GenesisTempDir() { return ScratchDir() + "/genesis"; }

// Puts the reader state back to a fresh library's and removes what an
// earlier Genesis read left in the scratch folder.
void ResetStateFor(MriFileType)
{
    ResetReaderState();
    RemoveFilesIn(GenesisTempDir());
}

// Touches every pixel of a slice that claims to hold some, so that a buffer
// smaller than its rows x columns or a wrong row table shows up under the
// address sanitizer, and exercises the text forms of its header.
template <class T>
void CheckSlice(ecMriSlice<T>& s)
{
    const int rows = s.GetNumRows();
    const int cols = s.GetNumCols();
    const T* pixels = s.GetPixels();
    T* const* table = s.GetRowPointers();
    if (pixels && rows > 0 && cols > 0) {
        volatile double sum = 0;
        for (int r = 0; r < rows; ++r) {
            const T* row = table ? table[r] : pixels + static_cast<size_t>(r) * static_cast<size_t>(cols);
            if (row != pixels + static_cast<size_t>(r) * static_cast<size_t>(cols)) std::abort();
            for (int c = 0; c < cols; ++c) sum = sum + static_cast<double>(row[c]);
        }
        s.SetMaxMinValues(0);
    }
    (void)s.GetHeaderInfo(0);
    (void)s.GetHeaderInfo(1);
}

void CheckAnySlice(ecMriSliceBase* base)
{
    if (auto* s8 = dynamic_cast<ecMriSlice<unsigned char>*>(base)) CheckSlice(*s8);
    else if (auto* s16 = dynamic_cast<ecMriSlice<short>*>(base)) CheckSlice(*s16);
    else if (auto* sf = dynamic_cast<ecMriSlice<float>*>(base)) CheckSlice(*sf);
}

void CheckHeader(const ecRawHeaderInfo& h)
{
    (void)h.Ascii(0);
    (void)h.Ascii(1);
    (void)h.Ascii(2);
    (void)h.IsValidForUse(3);
}

// The factory on one file, as a plain and as a display slice, and once more
// with the half-size option.
void ReadThroughFactory(const char* path, MriFileType type, ecRawHeaderInfo* hdr, size_t size)
{
    const struct {
        bool display;
        unsigned long options;
    } runs[] = {{false, 0}, {true, 0}, {(size & 1) != 0, 0x10000}};
    for (const auto& run : runs) {
        ResetStateFor(type);
        try {
            std::unique_ptr<ecMriSliceBase> slice(ReadMriSlice(path, type, hdr, run.display, run.options));
            if (slice) CheckAnySlice(slice.get());
        } catch (const ecError&) {
        }
    }
}

// --- the entries -----------------------------------------------------------

void RawHeaderText(const uint8_t* data, size_t size)
{
    ecRawHeaderInfo h;
    const bool ok = h.Evaluate(std::string(reinterpret_cast<const char*>(data), size));
    if (ok != h.bEvaluated) std::abort();
    CheckHeader(h);
    ecRawHeaderInfo g;
    (void)g.Evaluate(WriteInputFile(data, size));
}

// Raw files carry no header: the first byte chooses the file type, the first
// line after it is the caller's header record in its compact text form, and
// the rest is the file.
void SliceFactoryRaw(const uint8_t* data, size_t size)
{
    if (size < 1) return;
    static const MriFileType types[] = {MriRaw8, MriRaw16, MriRaw16Swapped, MriRawFloat};
    const uint8_t selector = data[0];
    const MriFileType type = types[selector & 3];
    const uint8_t* text = data + 1;
    const uint8_t* end = data + size;
    const uint8_t* nl = static_cast<const uint8_t*>(std::memchr(text, '\n', static_cast<size_t>(end - text)));
    const uint8_t* file = nl ? nl + 1 : end;
    ecRawHeaderInfo hdr;
    if (!hdr.Evaluate(std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(file - text)))) return;
    if (selector & 4) hdr.lDataOffset = -1;
    else if (selector & 8) hdr.lDataOffset = static_cast<long>(selector >> 4) * 64;
    const char* path = WriteInputFile(file, static_cast<size_t>(end - file));
    ReadThroughFactory(path, type, &hdr, size);
}

void SliceFactoryOf(MriFileType type, const uint8_t* data, size_t size)
{
    ReadThroughFactory(WriteInputFile(data, size), type, nullptr, size);
}

void SliceFactoryDicom(const uint8_t* d, size_t n) { SliceFactoryOf(MriDicom, d, n); }
void SliceFactorySigna(const uint8_t* d, size_t n) { SliceFactoryOf(MriSigna, d, n); }
void SliceFactorySiemens(const uint8_t* d, size_t n) { SliceFactoryOf(MriSiemens, d, n); }
void SliceFactoryGenesis(const uint8_t* d, size_t n) { SliceFactoryOf(MriGenesis, d, n); }

template <class T>
void ReadDicomSliceAs(const char* path)
{
    ResetStateFor(MriDicom);
    ecMriSlice<T> s;
    try {
        if (s.ReadDICOMFile(path, 0, nullptr) == 1) CheckSlice(s);
    } catch (const ecError&) {
    }
}

void DicomSlice(const uint8_t* data, size_t size)
{
    const char* path = WriteInputFile(data, size);
    ReadDicomSliceAs<unsigned char>(path);
    ReadDicomSliceAs<short>(path);
    ReadDicomSliceAs<float>(path);
}

void DicomHeaderProbe(const uint8_t* data, size_t size)
{
    const char* path = WriteInputFile(data, size);
    try {
        ecRawHeaderInfo h;
        long offset = 0;
        if (FillRawHeaderFromDicomFile(path, &h, &offset, 0) == 1) CheckHeader(h);
    } catch (const ecError&) {
    }
    try {
        int frames = 0;
        (void)FindDICOM_PixelDepth(path, &frames);
    } catch (const ecError&) {
    }
}

void DicomElementReader(const uint8_t* data, size_t size)
{
    const char* path = WriteInputFile(data, size);
    try {
        ecDicomHeaderInfo h;
        long offset = 0;
        if (read_dicom_data_raw_header(path, &h, &offset, 0) == 1) {
            CheckHeader(h);
            (void)h.Ascii(0);
        }
    } catch (const ecError&) {
    }
    try {
        ecRawHeaderInfo h;
        (void)read_dicom_data_raw_header(path, &h, nullptr, 0);
    } catch (const ecError&) {
    }
}

void SiemensFile(const uint8_t* data, size_t size)
{
    const char* path = WriteInputFile(data, size);
    try {
        ecRawHeaderInfo h;
        ecMriSliceInformation info;
        long offset = 0;
        if (FillRawHeaderFromSiemensFile(path, &h, &info, &offset, 0) >= 0) CheckHeader(h);
    } catch (const ecError&) {
    }
    for (unsigned long options : {0ul, 0x10000ul}) {
        ecMriSlice<short> s;
        try {
            if (s.GetSiemensFile(path, options, nullptr) >= 0) CheckSlice(s);
        } catch (const ecError&) {
        }
    }
}

void SignaFile(const uint8_t* data, size_t size)
{
    const char* path = WriteInputFile(data, size);
    int depth = 0;
    try {
        depth = FindSigna_PixelDepth(path);
    } catch (const ecError&) {
    }
    try {
        ecRawHeaderInfo h;
        ecMriSliceInformation info;
        long offset = 0;
        if (FillRawHeaderFromSignaFile(path, &h, &info, &offset, 0) >= 0) CheckHeader(h);
    } catch (const ecError&) {
    }
    const unsigned long options = (size & 1) ? 0x10000ul : 0ul;
    try {
        if (depth == 8) {
            ecMriSlice<unsigned char> s;
            if (s.GetSignaFile(path, options, nullptr) >= 0) CheckSlice(s);
        } else {
            ecMriSlice<short> s;
            if (s.GetSignaFile(path, options, nullptr) >= 0) CheckSlice(s);
        }
    } catch (const ecError&) {
    }
}

template <class T>
void ReadGenesisAs(const char* path)
{
    ResetStateFor(MriGenesis);
    ecMriSlice<T> s;
    if (s.ReadGEMFile(path, nullptr) == 1) CheckSlice(s);
    // The stream reader decodes with the header the file reader just left.
    if (FILE* fp = std::fopen(path, "rb")) {
        try {
            ecMriSlice<T> t;
            (void)t.GetGEMImage(fp, 0, nullptr);  // closes the stream
        } catch (const ecError&) {
        }
    }
    RemoveFilesIn(GenesisTempDir());
}

void GenesisFile(const uint8_t* data, size_t size)
{
    const char* path = WriteInputFile(data, size);
    ReadGenesisAs<unsigned char>(path);
    ReadGenesisAs<short>(path);
    ReadGenesisAs<float>(path);
}

void XmlLabeledState(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        ecXml x(text);
        ecLabeledState s;
        (void)s.ReadXml(x);
        ecXml again(text);
        ecBase b;
        (void)b.ReadXml(again);
    }
    ecXml x(text);
    static const char* const names[] = {"item", "l", "s", "DataUnit", "UseDataUnit", "UseSIPrefix", "a", ""};
    for (const char* name : names) {
        int begin = 0, end = 0;
        (void)x.GetBeginEnd(begin, end, name);
        (void)x.CharacterData(name);
        (void)x.CharacterDataNext(name);
        (void)x.TagExists(name);
        (void)x.GetInt(name);
        (void)x.GetBool(name);
        ecXml sub = x.Sub(name);
        (void)sub.CharacterData("l");
        (void)sub.IsEmpty();
    }
    x.Reset();
    (void)x.CharacterDataNext("item");
}

}  // namespace

const std::string& ScratchDir()
{
    std::string& dir = ScratchPath();
    if (dir.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quarn-fuzz-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) {
            std::perror("quarn fuzz: cannot make a scratch folder");
            std::abort();
        }
        dir = buf.data();
        std::atexit(RemoveScratch);
        const std::string gem = dir + "/genesis";
        if (mkdir(gem.c_str(), 0700) != 0) std::abort();
        SetGEMTempDirectory(gem.c_str());
    }
    return dir;
}

const char* WriteInputFile(const uint8_t* data, size_t size)
{
    static std::string path;
    path = InputPath();
    FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp || (size && std::fwrite(data, 1, size, fp) != size) || std::fclose(fp) != 0) {
        std::perror("quarn fuzz: cannot write the input file");
        std::abort();
    }
    return path.c_str();
}

// The modern path: the probe on the bytes, then the reader as probed and as
// each format it can be forced to; every pixel of an image read is touched.
void ImageReader(const uint8_t* data, size_t size)
{
    (void)quarn::ProbeBytes(data, size, size);
    const char* path = WriteInputFile(data, size);
    const std::optional<quarn::Format> ways[] = {std::nullopt, quarn::Format::Dicom, quarn::Format::Genesis,
                                                 quarn::Format::Signa, quarn::Format::Siemens};
    for (const auto& way : ways) {
        ResetStateFor(MriGenesis);
        quarn::ReadOptions options;
        options.format = way;
        try {
            const quarn::Image im = quarn::ReadImage(path, options);
            if (im.pixelBytes.size() < im.PixelCount() * quarn::PixelTypeSize(im.pixelType)) std::abort();
            volatile double sink = 0;
            for (size_t i = 0; i < im.PixelCount(); ++i) sink = sink + im.Value(i);
            (void)quarn::ImageJson(im);
        } catch (const quarn::Error&) {
        }
    }
}

const std::vector<ReaderEntry>& Entries()
{
    static const std::vector<ReaderEntry> entries = {
        {"raw_header_text", "ecRawHeaderInfo::Evaluate on a compact header text (and on a file holding it)",
         RawHeaderText},
        {"dicom_element_reader", "read_dicom_data_raw_header", DicomElementReader},
        {"dicom_header_probe", "FillRawHeaderFromDicomFile and FindDICOM_PixelDepth", DicomHeaderProbe},
        {"dicom_slice", "ecMriSlice<T>::ReadDICOMFile for all three pixel types", DicomSlice},
        {"siemens_file", "FillRawHeaderFromSiemensFile and GetSiemensFile", SiemensFile},
        {"signa_file", "FindSigna_PixelDepth, FillRawHeaderFromSignaFile and GetSignaFile", SignaFile},
        {"genesis_file", "ReadGEMFile and GetGEMImage for all three pixel types", GenesisFile},
        {"xml_labeled_state", "the XML cursor, ecLabeledState::ReadXml and ecBase::ReadXml", XmlLabeledState},
        {"slice_factory_raw", "ReadMriSlice on raw files: type byte, header text line, file bytes", SliceFactoryRaw},
        {"slice_factory_dicom", "ReadMriSlice on DICOM files, plain and display", SliceFactoryDicom},
        {"slice_factory_signa", "ReadMriSlice on Signa files, plain and display", SliceFactorySigna},
        {"slice_factory_siemens", "ReadMriSlice on Siemens files, plain and display", SliceFactorySiemens},
        {"slice_factory_genesis", "ReadMriSlice on Genesis files, plain and display", SliceFactoryGenesis},
        {"image_reader", "quarn::ProbeBytes and quarn::ReadImage, probed and forced to each format", ImageReader},
    };
    return entries;
}

const ReaderEntry* FindEntry(const std::string& name)
{
    for (const ReaderEntry& e : Entries())
        if (name == e.name) return &e;
    return nullptr;
}

}  // namespace quarn_fuzz
