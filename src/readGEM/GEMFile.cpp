// GE Genesis image files: the module state, the header block conversions,
// pixel decoding for the four storage methods, the temporary files and the
// XImg series scan.
#include "GEMFile.h"
#include "read_raw/SeriesScan.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "corvane.h"
#include "readGEM.h"

// ---------------------------------------------------------------- module state

ecGEMHeaderBlocks& GEMHeaderBlocks()
{
    static ecGEMHeaderBlocks blocks{};
    return blocks;
}

template <class T>
int ecGEMFileCounters<T>::file_val_ReadGEMFile = 0;
template <class T>
int ecGEMFileCounters<T>::file_val_GetGEMImage = 0;
template struct ecGEMFileCounters<unsigned char>;
template struct ecGEMFileCounters<short>;
template struct ecGEMFileCounters<float>;

// ------------------------------------------------------------ block conversion

namespace {

void Convert16(unsigned char* block, int offset)
{
    const uint16_t v = ReadU16BE(block + offset);
    std::memcpy(block + offset, &v, sizeof v);
}

// 32-bit integers and floats alike: the bit pattern is reordered.
void Convert32(unsigned char* block, int offset)
{
    const uint32_t v = ReadU32BE(block + offset);
    std::memcpy(block + offset, &v, sizeof v);
}

void Convert64(unsigned char* block, int offset)
{
    const uint64_t v = (uint64_t(ReadU32BE(block + offset)) << 32) | ReadU32BE(block + offset + 4);
    std::memcpy(block + offset, &v, sizeof v);
}

int32_t HostS32(const unsigned char* block, int offset)
{
    int32_t v;
    std::memcpy(&v, block + offset, sizeof v);
    return v;
}

}  // namespace

void ConvertGEMImageFileHeader(unsigned char* block)
{
    for (int off = 0; off <= 48; off += 4) Convert32(block, off);
    Convert16(block, 52);
    Convert16(block, 54);
    for (int off = 56; off <= 152; off += 4) Convert32(block, off);
}

void ConvertGEMExamHeader(unsigned char* block)
{
    for (int off : {8, 44, 68, 70, 72, 74, 76, 78, 80, 126, 128, 130, 136, 312}) Convert16(block, off);
    for (int off : {48, 84, 132, 212, 52, 56, 60, 64}) Convert32(block, off);
    Convert64(block, 320);
}

void ConvertGEMImageHeader(unsigned char* block)
{
    for (int off : {8, 10, 12, 32, 34, 108, 110, 112, 114, 116, 230, 252, 272, 416, 598}) Convert16(block, off);
    for (int off : {24, 28, 36, 40, 44, 48, 52, 56, 120, 248}) Convert32(block, off);
}

// ------------------------------------------------------- compressed pixel data

long DecodeGEMCompressed(unsigned short* out, long count, FILE* fp)
{
    if (!out || !fp || count < 0) return -1;
    uint16_t current = 0;
    for (long i = 0; i < count; ++i) {
        const int b = std::getc(fp);
        if (b == EOF) return -1;
        if (b < 0x40) {
            current = static_cast<uint16_t>(current + b);
        } else if (b < 0x80) {
            current = static_cast<uint16_t>(current + (b - 128));
        } else if (b < 0xC0) {
            const int next = std::getc(fp);
            if (next == EOF) return -1;
            const int high = (b < 0xA0) ? (b & 0x1F) : ((b & 0x3F) - 64);
            current = static_cast<uint16_t>(current + high * 256 + next);
        } else {
            const int hi = std::getc(fp);
            const int lo = std::getc(fp);
            if (hi == EOF || lo == EOF) return -1;
            current = static_cast<uint16_t>((hi << 8) | lo);
        }
        out[i] = current;
    }
    return count;
}

// -------------------------------------------------------------- temporary files

namespace {

std::string& HostTempDirectory()
{
    static std::string dir;
    return dir;
}

#ifdef _WIN32
const char kSeparator = '\\';
#else
const char kSeparator = '/';

std::string DefaultTempDirectory()
{
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec || base.empty()) base = "/tmp";
    return (base / ("quarn-genesis-" + std::to_string(static_cast<unsigned long>(getuid())))).string();
}

// The default folder lives in a directory that every user may write to: it is
// created private to this user, and used only when it is a real directory
// (not a link) owned by this user.
bool PrivateDirectoryReady(const std::string& dir)
{
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st;
    if (::lstat(dir.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == getuid();
}
#endif

}  // namespace

void SetGEMTempDirectory(const char* path) { HostTempDirectory() = path ? path : ""; }

std::string GetGEMTempDirectory()
{
    if (!HostTempDirectory().empty()) return HostTempDirectory();
#ifdef _WIN32
    return "C:\\Odra\\Temp";
#else
    return DefaultTempDirectory();
#endif
}

namespace gem {

std::string TempPath(const std::string& name, bool fileReader)
{
    const std::string& host = HostTempDirectory();
    if (!host.empty()) return host + kSeparator + name;
#ifdef _WIN32
    // The file reader's folder and, for the image decoder, the drive root.
    return fileReader ? std::string("C:\\Odra\\Temp\\") + name : std::string("\\") + name;
#else
    (void)fileReader;
    const std::string dir = DefaultTempDirectory();
    if (!PrivateDirectoryReady(dir)) return std::string();
    return dir + kSeparator + name;
#endif
}

void ReadBack(const std::string& path, const Layout& layout)
{
    FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp) return;
    std::vector<unsigned char> block(static_cast<size_t>(layout.width) * static_cast<size_t>(layout.height));
    const size_t got = std::fread(block.data(), block.size(), 1, fp);
    (void)got;  // a short block is not a failure
    std::fclose(fp);
}

// ------------------------------------------------------------------- decoding

Layout LayoutFromConverted(const unsigned char* block)
{
    Layout l;
    l.magic = HostS32(block, 0);
    l.dataOffset = HostS32(block, 4);
    l.width = HostS32(block, 8);
    l.height = HostS32(block, 12);
    l.depth = HostS32(block, 16);
    l.compression = HostS32(block, 20);
    l.background = HostS32(block, 32);
    l.lineTableOffset = HostS32(block, 64);
    l.lineTableLength = HostS32(block, 68);
    l.examOffset = HostS32(block, 132);
    l.imageHeaderOffset = HostS32(block, 148);
    return l;
}

bool LayoutIsDecodable(const Layout& l)
{
    return l.width >= 16 && l.width <= 1024 && l.height >= 16 && l.height <= 1024 &&
           (l.depth == 8 || l.depth == 16) && l.compression >= 1 && l.compression <= 4;
}

long StreamSize(FILE* fp)
{
    const long here = std::ftell(fp);
    if (std::fseek(fp, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(fp);
    if (here >= 0) std::fseek(fp, here, SEEK_SET);
    return size;
}

namespace {

struct Run {
    int start;
    int length;
};

// Reads the line table: one entry per row, a big-endian signed 16-bit start
// column and run length. Every row must be covered and every run must lie
// within its row.
bool ReadLineTable(FILE* in, long fileSize, const Layout& l, std::vector<Run>& runs, long& total)
{
    const long need = 4L * l.height;
    if (l.lineTableOffset < 0 || l.lineTableLength < need || l.lineTableOffset > fileSize - need) return false;
    std::vector<unsigned char> table(static_cast<size_t>(need));
    if (std::fseek(in, l.lineTableOffset, SEEK_SET) != 0) return false;
    if (std::fread(table.data(), 1, table.size(), in) != table.size()) return false;
    runs.resize(static_cast<size_t>(l.height));
    total = 0;
    for (int r = 0; r < l.height; ++r) {
        const int start = ReadS16BE(&table[4 * static_cast<size_t>(r)]);
        const int length = ReadS16BE(&table[4 * static_cast<size_t>(r) + 2]);
        if (start < 0 || length < 0 || start + length > l.width) return false;
        runs[static_cast<size_t>(r)] = {start, length};
        total += length;
    }
    return true;
}

// The value of a pixel outside the runs of a packed row: every byte of it is
// the low byte of the background shade.
int16_t GapValue(const Layout& l)
{
    const unsigned b = static_cast<unsigned>(l.background) & 0xFFu;
    return l.depth == 8 ? static_cast<int16_t>(b) : static_cast<int16_t>((b << 8) | b);
}

void AppendHostBytes(std::vector<unsigned char>& bytes, const std::vector<int16_t>& values, size_t count)
{
    const size_t n = std::min(count, values.size() * sizeof(int16_t));
    bytes.resize(n);
    if (n) std::memcpy(bytes.data(), values.data(), n);
}

}  // namespace

bool DecodePixels(FILE* in, long fileSize, const Layout& l, Decoded& out)
{
    if (!LayoutIsDecodable(l) || fileSize < 0) return false;
    const size_t width = static_cast<size_t>(l.width);
    const size_t height = static_cast<size_t>(l.height);
    const size_t n = width * height;
    // The size of the decode buffer of the file's own layout: depth x height x width / 8 bytes.
    const size_t s = static_cast<size_t>(l.depth) * n / 8;
    if (l.dataOffset < 0 || l.dataOffset > fileSize) return false;
    const long available = fileSize - l.dataOffset;

    std::vector<Run> runs;
    long total = 0;
    if ((l.compression == 2 || l.compression == 4) && !ReadLineTable(in, fileSize, l, runs, total)) return false;

    std::vector<int16_t>& pixels = out.pixels;
    switch (l.compression) {
    case 1: {  // uncompressed, big-endian
        const size_t bytesPerPixel = static_cast<size_t>(l.depth) / 8;
        if (static_cast<unsigned long>(available) < n * bytesPerPixel) return false;
        std::vector<unsigned char> raw(n * bytesPerPixel);
        if (std::fseek(in, l.dataOffset, SEEK_SET) != 0) return false;
        if (std::fread(raw.data(), 1, raw.size(), in) != raw.size()) return false;
        pixels.resize(n);
        if (l.depth == 8) {
            for (size_t i = 0; i < n; ++i) pixels[i] = raw[i];
            out.tempBytes.assign(raw.begin(), raw.begin() + static_cast<long>(s / 2));
        } else {
            for (size_t i = 0; i < n; ++i) pixels[i] = ReadS16BE(&raw[2 * i]);
            AppendHostBytes(out.tempBytes, pixels, s / 2);
        }
        return true;
    }
    case 2: {  // packed: the runs of each row, big-endian 16-bit values
        if (total > available / 2) return false;
        if (std::fseek(in, l.dataOffset, SEEK_SET) != 0) return false;
        pixels.assign(n, GapValue(l));
        std::vector<unsigned char> row(2 * width);
        for (size_t r = 0; r < height; ++r) {
            const size_t len = static_cast<size_t>(runs[r].length);
            if (std::fread(row.data(), 1, 2 * len, in) != 2 * len) return false;
            int16_t* dst = &pixels[r * width + static_cast<size_t>(runs[r].start)];
            for (size_t i = 0; i < len; ++i) dst[i] = ReadS16BE(&row[2 * i]);
        }
        AppendHostBytes(out.tempBytes, pixels, s);
        break;
    }
    case 3: {  // compressed: every pixel of the image
        if (static_cast<unsigned long>(available) < n) return false;  // a value takes at least one byte
        if (std::fseek(in, l.dataOffset, SEEK_SET) != 0) return false;
        pixels.resize(n);
        if (DecodeGEMCompressed(reinterpret_cast<unsigned short*>(pixels.data()), static_cast<long>(n), in) !=
            static_cast<long>(n))
            return false;
        AppendHostBytes(out.tempBytes, pixels, s / 2);
        break;
    }
    case 4: {  // compressed and packed: the runs' pixels, then expanded row by row
        if (total > available) return false;
        if (std::fseek(in, l.dataOffset, SEEK_SET) != 0) return false;
        std::vector<int16_t> stream(static_cast<size_t>(total));
        if (DecodeGEMCompressed(reinterpret_cast<unsigned short*>(stream.data()), total, in) != total) return false;
        pixels.assign(n, GapValue(l));
        size_t src = 0;
        for (size_t r = 0; r < height; ++r) {
            const size_t len = static_cast<size_t>(runs[r].length);
            std::memcpy(&pixels[r * width + static_cast<size_t>(runs[r].start)], &stream[src], len * sizeof(int16_t));
            src += len;
        }
        AppendHostBytes(out.tempBytes, pixels, s);
        break;
    }
    default:
        return false;
    }
    // Packed and compressed data hold 16-bit values; an 8-bit image keeps them within 0..255.
    if (l.depth == 8)
        for (int16_t& v : pixels) v = static_cast<int16_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    return true;
}

void FillRawHeader(ecRawHeaderInfo& hdr, const Layout& l, const unsigned char* img)
{
    hdr.SetFromSliceInfo(nullptr);
    hdr.iNumPix = l.width;
    hdr.iNumPixY = l.height;
    hdr.DataType = l.depth == 8 ? ecBaseData::UnsignedChar : ecBaseData::Short;
    hdr.FileType = MriGenesis;
    hdr.iNumFrames = 1;
    hdr.iImageNum = ReadS16BE(img + 12);
    hdr.fSliceThickness = ReadF32BE(img + 26);
    hdr.fSizePix = ReadF32BE(img + 50);
    hdr.fSizePixY = ReadF32BE(img + 54);
    hdr.fSliceSpacing = ReadF32BE(img + 116);
    const int plane = ReadS16BE(img + 114);
    const SliceType st = (plane == SliceAxial || plane == SliceSagittal || plane == SliceCoronal)
                             ? static_cast<SliceType>(plane)
                             : SliceAxial;
    hdr.PlaneType = st;
    hdr.ImagePlane = st;
    hdr.lDataOffset = l.dataOffset;
    hdr.bIsValid = true;
}

}  // namespace gem

// ------------------------------------------------------------ XImg series scan

namespace {

int ReadXImgFileHeader(const std::string* name, ecDicomHeaderInfo* header)
{
    if (!name || !header) return -1;
    FILE* fp = std::fopen(name->c_str(), "rb");
    if (!fp) return -2;
    std::fclose(fp);
    header->SetFromSliceInfo(nullptr);
    return 1;
}

}  // namespace

int FindXImgFileImageRange(std::vector<std::string>& fileNames, int& firstImage, int& lastImage,
                           std::vector<ecDicomHeaderInfo>& headers, ecRawHeaderInfo* firstHeader, unsigned long)
{
    return ScanSeriesFiles(fileNames, firstImage, lastImage, headers, firstHeader, 1025, -1025,
                           [](const std::string& name, ecDicomHeaderInfo& h, long&) {
                               return ReadXImgFileHeader(&name, &h);
                           });
}

int FindXImageFileImageRange(std::vector<std::string>&, int&, int&, std::vector<ecDicomHeaderInfo>&,
                             ecRawHeaderInfo*, unsigned long)
{
    return -100;
}
