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

#include "bytes/File.h"
#include "corvane.h"
#include "readGEM.h"

using quarn::bytes::Cursor;
using quarn::bytes::FileBlock;
using quarn::bytes::Order;

// ---------------------------------------------------------------- module state

ecGEMHeaderBlocks& GEMHeaderBlocks()
{
    static thread_local ecGEMHeaderBlocks blocks{};
    return blocks;
}

// ------------------------------------------------------------ block conversion

namespace {

void Convert16(unsigned char* block, int offset)
{
    const uint16_t v = quarn::bytes::U16(block + offset, Order::Big);
    std::memcpy(block + offset, &v, sizeof v);
}

// 32-bit integers and floats alike: the bit pattern is reordered.
void Convert32(unsigned char* block, int offset)
{
    const uint32_t v = quarn::bytes::U32(block + offset, Order::Big);
    std::memcpy(block + offset, &v, sizeof v);
}

void Convert64(unsigned char* block, int offset)
{
    const uint64_t v = quarn::bytes::U64(block + offset, Order::Big);
    std::memcpy(block + offset, &v, sizeof v);
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

namespace {

// Decodes `count` values from the bytes that `next` delivers (a negative
// answer when there are none left): `count`, or -1 when they end before the
// last value is complete.
template <class NextByte>
long DecodeCompressedValues(unsigned short* out, long count, NextByte next)
{
    uint16_t current = 0;
    for (long i = 0; i < count; ++i) {
        const int b = next();
        if (b < 0) return -1;
        if (b < 0x40) {
            current = static_cast<uint16_t>(current + b);
        } else if (b < 0x80) {
            current = static_cast<uint16_t>(current + (b - 128));
        } else if (b < 0xC0) {
            const int low = next();
            if (low < 0) return -1;
            const int high = (b < 0xA0) ? (b & 0x1F) : ((b & 0x3F) - 64);
            current = static_cast<uint16_t>(current + high * 256 + low);
        } else {
            const int hi = next();
            const int lo = next();
            if (hi < 0 || lo < 0) return -1;
            current = static_cast<uint16_t>((hi << 8) | lo);
        }
        out[i] = current;
    }
    return count;
}

long DecodeCompressed(Cursor& in, unsigned short* out, long count)
{
    return DecodeCompressedValues(out, count, [&in] {
        uint8_t b;
        return in.ReadU8(b) ? static_cast<int>(b) : -1;
    });
}

}  // namespace

long DecodeGEMCompressed(unsigned short* out, long count, FILE* fp)
{
    if (!out || !fp || count < 0) return -1;
    return DecodeCompressedValues(out, count, [fp] { return std::getc(fp); });
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
    FileBlock block;  // a short block is not a failure
    block.Read(path.c_str(), static_cast<size_t>(layout.width) * static_cast<size_t>(layout.height));
}

// ------------------------------------------------------------------- decoding

Layout LayoutFromConverted(const unsigned char* block)
{
    const Cursor c(block, GEM_IMAGE_FILE_HEADER_SIZE);
    const Order host = quarn::bytes::HostOrder();
    Layout l;
    c.S32At(0, l.magic, host);
    c.S32At(4, l.dataOffset, host);
    c.S32At(8, l.width, host);
    c.S32At(12, l.height, host);
    c.S32At(16, l.depth, host);
    c.S32At(20, l.compression, host);
    c.S32At(32, l.background, host);
    c.S32At(64, l.lineTableOffset, host);
    c.S32At(68, l.lineTableLength, host);
    c.S32At(132, l.examOffset, host);
    c.S32At(148, l.imageHeaderOffset, host);
    return l;
}

bool LayoutIsDecodable(const Layout& l)
{
    return l.width >= 16 && l.width <= 1024 && l.height >= 16 && l.height <= 1024 &&
           (l.depth == 8 || l.depth == 16) && l.compression >= 1 && l.compression <= 4;
}

bool ReadAt(FILE* in, int32_t offset, size_t n, FileBlock& block)
{
    return offset >= 0 && block.Read(in, offset, n) && block.Reached();
}

namespace {

struct Run {
    int start;
    int length;
};

// Reads the line table: one entry per row, a big-endian signed 16-bit start
// column and run length. Every row must be covered and every run must lie
// within its row.
bool ReadLineTable(FILE* in, const Layout& l, std::vector<Run>& runs, long& total)
{
    const size_t need = 4 * static_cast<size_t>(l.height);
    if (l.lineTableLength < static_cast<long>(need)) return false;
    FileBlock block;
    if (!ReadAt(in, l.lineTableOffset, need, block)) return false;
    const unsigned char* table = block.View().At(0, need);
    if (!table) return false;
    runs.resize(static_cast<size_t>(l.height));
    total = 0;
    for (size_t r = 0; r < runs.size(); ++r) {
        const int start = static_cast<int16_t>(quarn::bytes::U16(table + 4 * r, Order::Big));
        const int length = static_cast<int16_t>(quarn::bytes::U16(table + 4 * r + 2, Order::Big));
        if (start < 0 || length < 0 || start + length > l.width) return false;
        runs[r] = {start, length};
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

bool DecodePixels(FILE* in, const Layout& l, Decoded& out)
{
    if (!LayoutIsDecodable(l)) return false;
    const size_t width = static_cast<size_t>(l.width);
    const size_t height = static_cast<size_t>(l.height);
    const size_t n = width * height;
    // The size of the decode buffer of the file's own layout: depth x height x width / 8 bytes.
    const size_t s = static_cast<size_t>(l.depth) * n / 8;

    std::vector<Run> runs;
    long total = 0;
    if ((l.compression == 2 || l.compression == 4) && !ReadLineTable(in, l, runs, total)) return false;
    const size_t values = (l.compression == 2 || l.compression == 4) ? static_cast<size_t>(total) : n;
    // The most bytes the pixel data can take: a compressed value takes 1 to 3 bytes.
    const size_t bytesPerPixel = static_cast<size_t>(l.depth) / 8;
    const size_t most = l.compression == 1 ? n * bytesPerPixel : l.compression == 2 ? 2 * values : 3 * values;
    FileBlock block;
    if (!ReadAt(in, l.dataOffset, most, block)) return false;
    Cursor data = block.View();

    std::vector<int16_t>& pixels = out.pixels;
    switch (l.compression) {
    case 1: {  // uncompressed, big-endian
        const unsigned char* raw = data.Take(most);
        if (!raw) return false;
        pixels.resize(n);
        if (l.depth == 8) {
            for (size_t i = 0; i < n; ++i) pixels[i] = raw[i];
            out.tempBytes.assign(raw, raw + s / 2);
        } else {
            for (size_t i = 0; i < n; ++i) pixels[i] = static_cast<int16_t>(quarn::bytes::U16(raw + 2 * i, Order::Big));
            AppendHostBytes(out.tempBytes, pixels, s / 2);
        }
        return true;
    }
    case 2: {  // packed: the runs of each row, big-endian 16-bit values
        // Runs without a single pixel take no bytes: the image is the background shade.
        if (!data.Has(most)) return false;
        const unsigned char* raw = data.Data();
        pixels.assign(n, GapValue(l));
        size_t at = 0;
        for (size_t r = 0; r < height; ++r) {
            const size_t len = static_cast<size_t>(runs[r].length);
            int16_t* dst = &pixels[r * width + static_cast<size_t>(runs[r].start)];
            for (size_t i = 0; i < len; ++i)
                dst[i] = static_cast<int16_t>(quarn::bytes::U16(raw + 2 * (at + i), Order::Big));
            at += len;
        }
        AppendHostBytes(out.tempBytes, pixels, s);
        break;
    }
    case 3: {  // compressed: every pixel of the image
        if (!data.Has(n)) return false;  // a value takes at least one byte
        pixels.resize(n);
        if (DecodeCompressed(data, reinterpret_cast<unsigned short*>(pixels.data()), static_cast<long>(n)) !=
            static_cast<long>(n))
            return false;
        AppendHostBytes(out.tempBytes, pixels, s / 2);
        break;
    }
    case 4: {  // compressed and packed: the runs' pixels, then expanded row by row
        // Runs without a single pixel leave the decoder nothing to decode: the file is refused.
        if (values == 0 || !data.Has(values)) return false;
        std::vector<int16_t> stream(values);
        if (DecodeCompressed(data, reinterpret_cast<unsigned short*>(stream.data()), total) != total) return false;
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

void FillRawHeader(ecRawHeaderInfo& hdr, const Layout& l, const Cursor& img)
{
    const auto Short = [&img](size_t offset) {
        int16_t v = 0;
        img.S16At(offset, v, Order::Big);
        return v;
    };
    const auto Float = [&img](size_t offset) {
        float v = 0.0f;
        img.F32At(offset, v, Order::Big);
        return v;
    };
    hdr.SetFromSliceInfo(nullptr);
    hdr.iNumPix = l.width;
    hdr.iNumPixY = l.height;
    hdr.DataType = l.depth == 8 ? ecBaseData::UnsignedChar : ecBaseData::Short;
    hdr.FileType = MriGenesis;
    hdr.iNumFrames = 1;
    hdr.iImageNum = Short(12);
    hdr.fSliceThickness = Float(26);
    hdr.fSizePix = Float(50);
    hdr.fSizePixY = Float(54);
    hdr.fSliceSpacing = Float(116);
    const int plane = Short(114);
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
    if (!quarn::bytes::File(name->c_str(), "rb")) return -2;
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
