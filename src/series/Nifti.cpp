// NIfTI-1 single files: the 348-byte header, four bytes of no extension, the
// voxels; gzip-compressed by zlib for .nii.gz.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <future>
#include <optional>

#include "QuarnSeries.h"
#include "series/Parallel.h"
#include "series/Stacker.h"

namespace quarn {

namespace {

struct TypeCode {
    short datatype;
    short bitpix;
};

TypeCode NiftiType(PixelType t)
{
    switch (t) {
    case PixelType::U8: return {2, 8};
    case PixelType::S8: return {256, 8};
    case PixelType::U16: return {512, 16};
    case PixelType::S16: return {4, 16};
    case PixelType::U32: return {768, 32};
    case PixelType::S32: return {8, 32};
    case PixelType::F32: return {16, 32};
    }
    return {0, 0};
}

class Header {
public:
    Header() : bytes_(352, 0) {}
    template <class T>
    void Put(size_t at, T value)
    {
        std::memcpy(&bytes_[at], &value, sizeof value);
    }
    void PutFloat(size_t at, double value) { Put(at, static_cast<float>(value)); }
    void PutText(size_t at, const char* text, size_t room) { std::strncpy(reinterpret_cast<char*>(&bytes_[at]), text, room); }
    const std::vector<unsigned char>& Bytes() const { return bytes_; }

private:
    std::vector<unsigned char> bytes_;
};

// The quaternion of the affine's rotation, as NIfTI-1 defines it: the
// columns' lengths are the voxel sizes; a left-handed frame has qfac -1 and
// its third column negated.
void PutQuaternion(Header& h, const Affine& a)
{
    double r[3][3];
    double size[3];
    for (int col = 0; col < 3; ++col) {
        size[col] = std::sqrt(a[col] * a[col] + a[4 + col] * a[4 + col] + a[8 + col] * a[8 + col]);
        for (int row = 0; row < 3; ++row) r[row][col] = size[col] > 0 ? a[row * 4 + col] / size[col] : (row == col);
    }
    const double det = r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
                       r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
                       r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
    double qfac = 1;
    if (det < 0) {
        qfac = -1;
        for (int row = 0; row < 3; ++row) r[row][2] = -r[row][2];
    }
    double qa, qb, qc, qd;
    const double trace = r[0][0] + r[1][1] + r[2][2] + 1;
    if (trace > 0.5) {
        qa = 0.5 * std::sqrt(trace);
        qb = 0.25 * (r[2][1] - r[1][2]) / qa;
        qc = 0.25 * (r[0][2] - r[2][0]) / qa;
        qd = 0.25 * (r[1][0] - r[0][1]) / qa;
    } else {
        const double xd = 1 + r[0][0] - (r[1][1] + r[2][2]);
        const double yd = 1 + r[1][1] - (r[0][0] + r[2][2]);
        const double zd = 1 + r[2][2] - (r[0][0] + r[1][1]);
        if (xd > 1) {
            qb = 0.5 * std::sqrt(xd);
            qc = 0.25 * (r[0][1] + r[1][0]) / qb;
            qd = 0.25 * (r[0][2] + r[2][0]) / qb;
            qa = 0.25 * (r[2][1] - r[1][2]) / qb;
        } else if (yd > 1) {
            qc = 0.5 * std::sqrt(yd);
            qb = 0.25 * (r[0][1] + r[1][0]) / qc;
            qd = 0.25 * (r[1][2] + r[2][1]) / qc;
            qa = 0.25 * (r[0][2] - r[2][0]) / qc;
        } else {
            qd = 0.5 * std::sqrt(zd);
            qb = 0.25 * (r[0][2] + r[2][0]) / qd;
            qc = 0.25 * (r[1][2] + r[2][1]) / qd;
            qa = 0.25 * (r[1][0] - r[0][1]) / qd;
        }
        if (qa < 0) {
            qb = -qb;
            qc = -qc;
            qd = -qd;
        }
    }
    h.PutFloat(256, qb);
    h.PutFloat(260, qc);
    h.PutFloat(264, qd);
    h.PutFloat(76, qfac);
    for (int k = 0; k < 3; ++k) h.PutFloat(80 + 4 * k, size[k]);
}

std::vector<unsigned char> MakeHeader(const Volume& v)
{
    const TypeCode type = NiftiType(v.pixelType);
    Header h;
    h.Put<int32_t>(0, 348);
    h.Put<char>(38, 'r');
    const short dims[8] = {3, static_cast<short>(v.columns), static_cast<short>(v.rows), static_cast<short>(v.slices),
                           1, 1, 1, 1};
    for (int k = 0; k < 8; ++k) h.Put<int16_t>(40 + 2 * k, dims[k]);
    h.Put<int16_t>(70, type.datatype);
    h.Put<int16_t>(72, type.bitpix);
    for (int k = 4; k < 8; ++k) h.PutFloat(76 + 4 * k, 1.0);
    h.PutFloat(108, 352);
    h.PutFloat(112, v.slope);
    h.PutFloat(116, v.intercept);
    h.Put<char>(123, 2);  // millimetres
    h.PutText(148, "quarn", 80);
    h.Put<int16_t>(252, 1);  // qform: scanner coordinates
    h.Put<int16_t>(254, 1);  // sform: scanner coordinates
    PutQuaternion(h, v.affine);
    for (int row = 0; row < 3; ++row) {
        h.PutFloat(268 + 4 * row, v.affine[row * 4 + 3]);
        for (int col = 0; col < 4; ++col) h.PutFloat(280 + 16 * row + 4 * col, v.affine[row * 4 + col]);
    }
    h.PutText(344, "n+1", 4);
    return h.Bytes();
}

bool EndsWith(const std::string& s, const char* tail)
{
    const size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// One piece of the gzip stream: the raw deflate data of a stretch of bytes
// (primed with the 32 KiB before it, so the ratio stays that of one
// stream), ending on a byte boundary unless it is the last.
struct Deflated {
    std::vector<unsigned char> bytes;
    bool ok = false;
};

constexpr size_t kStretch = size_t{1} << 20;
constexpr size_t kWindow = size_t{1} << 15;
constexpr int kLevel = 6;

Deflated DeflateStretch(const unsigned char* dict, size_t dictSize, const unsigned char* data, size_t size, bool last)
{
    Deflated d;
    z_stream z{};
    if (deflateInit2(&z, kLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return d;
    bool ok = dictSize == 0 || deflateSetDictionary(&z, dict, static_cast<uInt>(dictSize)) == Z_OK;
    d.bytes.resize(deflateBound(&z, size) + 16);
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    size_t used = 0;
    while (ok) {  // until all input is taken and flushed, the output grown as it fills
        if (used == d.bytes.size()) d.bytes.resize(d.bytes.size() * 2);
        z.next_out = d.bytes.data() + used;
        z.avail_out = static_cast<uInt>(d.bytes.size() - used);
        const int r = deflate(&z, flush);
        used = d.bytes.size() - z.avail_out;
        if (r == Z_STREAM_ERROR) ok = false;
        else if (last ? r == Z_STREAM_END : (z.avail_in == 0 && z.avail_out > 0)) break;
    }
    deflateEnd(&z);
    d.bytes.resize(used);
    d.ok = ok;
    return d;
}

void PutLE32(unsigned char* at, uLong v)
{
    for (int k = 0; k < 4; ++k) at[k] = static_cast<unsigned char>(v >> (8 * k));
}

// One gzip member of the bytes appended, deflated in stretches of 1 MiB
// (counted from the start of the stream) on up to `threads` threads and
// written in order: the same bytes whatever the number of threads and
// however the bytes were cut into appends. Holds a few stretches per thread.
class GzipWriter {
public:
    GzipWriter(std::FILE* fp, unsigned threads)
        : fp_(fp), threads_(threads), cap_((4 * size_t{series::ThreadCount(threads)} + 1) * kStretch),
          crc_(crc32(0, nullptr, 0))
    {
        static const unsigned char kHeader[10] = {0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 0, 3};
        ok_ = std::fwrite(kHeader, 1, sizeof kHeader, fp_) == sizeof kHeader;
    }

    bool Append(const unsigned char* p, size_t n)
    {
        while (ok_ && n > 0) {
            const size_t take = std::min(n, cap_ - pending_.size());
            pending_.insert(pending_.end(), p, p + take);
            crc_ = crc32(crc_, p, static_cast<uInt>(take));
            total_ += take;
            p += take;
            n -= take;
            if (pending_.size() == cap_) Flush(false);
        }
        return ok_;
    }

    bool Finish()
    {
        Flush(true);
        unsigned char trailer[8];
        PutLE32(trailer, crc_);
        PutLE32(trailer + 4, static_cast<uLong>(total_ & 0xffffffffu));
        return ok_ && std::fwrite(trailer, 1, sizeof trailer, fp_) == sizeof trailer;
    }

private:
    // Deflates and writes the whole stretches held, keeping at least one byte
    // back (the last stretch ends the stream), or everything when `last`.
    void Flush(bool last)
    {
        const size_t count = last ? std::max<size_t>(1, (pending_.size() + kStretch - 1) / kStretch)
                                  : (pending_.size() - 1) / kStretch;
        std::vector<Deflated> done(count);
        series::ForEachIndex(count, threads_, [&](size_t i) {
            const size_t from = i * kStretch, to = std::min(pending_.size(), from + kStretch);
            const bool ends = last && i + 1 == count;
            if (i == 0)
                done[i] = DeflateStretch(dict_.data(), dict_.size(), pending_.data(), to - from, ends);
            else
                done[i] = DeflateStretch(pending_.data() + from - kWindow, kWindow, pending_.data() + from, to - from, ends);
        });
        for (const Deflated& d : done)
            ok_ = ok_ && d.ok && std::fwrite(d.bytes.data(), 1, d.bytes.size(), fp_) == d.bytes.size();
        const size_t used = std::min(pending_.size(), count * kStretch);
        const size_t keep = std::min(used, kWindow);
        dict_.assign(pending_.begin() + static_cast<long>(used - keep), pending_.begin() + static_cast<long>(used));
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(used));
    }

    std::FILE* fp_;
    unsigned threads_;
    size_t cap_;
    uLong crc_;
    size_t total_ = 0;
    bool ok_ = false;
    std::vector<unsigned char> pending_;
    std::vector<unsigned char> dict_;
};

void CheckOutputName(const std::string& path)
{
    if (!EndsWith(path, ".nii.gz") && !EndsWith(path, ".nii"))
        throw Error(Reason::WriteFailed, path, "a NIfTI volume is written to a name ending in .nii or .nii.gz");
}

void CheckShape(const Volume& v, const std::string& path)
{
    if (v.columns < 1 || v.rows < 1 || v.slices < 1 || v.columns > 32767 || v.rows > 32767 || v.slices > 32767)
        throw Error(Reason::WriteFailed, path, "a NIfTI-1 volume holds 1 to 32767 voxels along each axis");
}

// Writes the header and then the voxels `next` gives, a block at a time
// (each call the next block's bytes, none at the end), to `path` as a whole,
// compressed for .nii.gz.
void WriteBlocks(const Volume& shape, const std::string& path, unsigned threads,
                 const std::function<std::pair<const unsigned char*, size_t>()>& next)
{
    const std::vector<unsigned char> header = MakeHeader(shape);
    const bool gz = EndsWith(path, ".nii.gz");
    WriteWhole(path, [&](std::FILE* fp) {
        std::optional<GzipWriter> zipped;
        if (gz) zipped.emplace(fp, threads);
        auto put = [&](const unsigned char* p, size_t n) {
            return zipped ? zipped->Append(p, n) : std::fwrite(p, 1, n, fp) == n;
        };
        bool ok = put(header.data(), header.size());
        for (auto block = next(); ok && block.second > 0; block = next()) ok = put(block.first, block.second);
        return ok && (!zipped || zipped->Finish());
    });
}

}  // namespace

void WriteNifti(const Volume& v, const std::string& path, unsigned threads)
{
    CheckOutputName(path);
    CheckShape(v, path);
    const size_t expected = static_cast<size_t>(v.columns) * static_cast<size_t>(v.rows) *
                            static_cast<size_t>(v.slices) * PixelTypeSize(v.pixelType);
    if (v.voxels.size() != expected)
        throw Error(Reason::WriteFailed, path, "the volume holds " + std::to_string(v.voxels.size()) +
                                                   " bytes of voxels where its size needs " + std::to_string(expected));
    bool given = false;
    WriteBlocks(v, path, threads, [&]() -> std::pair<const unsigned char*, size_t> {
        if (given) return {nullptr, 0};
        given = true;
        return {v.voxels.data(), v.voxels.size()};
    });
}

Volume WriteSeriesNifti(const Series& s, const std::string& path, const ReadOptions& options, unsigned threads)
{
    CheckOutputName(path);
    const series::Stacker stack(s, options);
    const Volume& shape = stack.Shape();
    CheckShape(shape, path);
    // A few slices per thread at a time, at least 8 MiB; the next block is
    // read while the last one is written.
    const size_t slices = s.headers.size();
    const size_t each = std::max<size_t>(2 * series::ThreadCount(threads), (size_t{8} << 20) / stack.SliceBytes() + 1);
    std::vector<unsigned char> blocks[2];
    for (auto& b : blocks) b.resize(std::min(each, slices) * stack.SliceBytes());
    auto fill = [&](size_t from, std::vector<unsigned char>& into) {
        const size_t to = std::min(slices, from + each);
        stack.Fill(from, to, into.data(), threads);
        return (to - from) * stack.SliceBytes();
    };
    size_t next = 0, turn = 0;
    std::future<size_t> reading = std::async(std::launch::async, fill, size_t{0}, std::ref(blocks[0]));
    WriteBlocks(shape, path, threads, [&]() -> std::pair<const unsigned char*, size_t> {
        if (next >= slices) return {nullptr, 0};
        const size_t bytes = reading.get();
        const std::vector<unsigned char>& ready = blocks[turn];
        next += each;
        turn ^= 1;
        if (next < slices) reading = std::async(std::launch::async, fill, next, std::ref(blocks[turn]));
        return {ready.data(), bytes};
    });
    return shape;
}

}  // namespace quarn
