// NIfTI-1 single files: the 348-byte header, four bytes of no extension, the
// voxels; gzip-compressed by zlib for .nii.gz.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "QuarnSeries.h"
#include "series/Parallel.h"

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

// The bytes to compress: the header, then the voxels, as one stream.
class Stream {
public:
    Stream(const std::vector<unsigned char>& header, const std::vector<unsigned char>& voxels)
        : pieces_{{header.data(), header.size()}, {voxels.data(), voxels.size()}}
    {
    }
    size_t Size() const { return pieces_[0].second + pieces_[1].second; }
    // Calls take(data, size) for the bytes [from, to), in order.
    template <class Take>
    bool Each(size_t from, size_t to, const Take& take) const
    {
        size_t at = 0;
        for (const auto& [data, size] : pieces_) {
            const size_t lo = std::max(from, at), hi = std::min(to, at + size);
            if (lo < hi && !take(data + (lo - at), hi - lo)) return false;
            at += size;
        }
        return true;
    }

private:
    std::pair<const unsigned char*, size_t> pieces_[2];
};

// One piece of the gzip stream: the raw deflate data of a stretch of bytes
// (primed with the 32 KiB before it, so the ratio stays that of one
// stream), ending on a byte boundary unless it is the last, and the CRC of
// the stretch.
struct Deflated {
    std::vector<unsigned char> bytes;
    uLong crc = 0;
    size_t size = 0;
    bool ok = false;
};

constexpr size_t kStretch = size_t{1} << 20;
constexpr size_t kWindow = size_t{1} << 15;
constexpr int kLevel = 6;

Deflated DeflateStretch(const Stream& in, size_t from, size_t to)
{
    Deflated d;
    d.size = to - from;
    z_stream z{};
    if (deflateInit2(&z, kLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return d;
    bool ok = true;
    if (from > 0) {
        std::vector<unsigned char> dict;
        const size_t start = from > kWindow ? from - kWindow : 0;
        in.Each(start, from, [&](const unsigned char* p, size_t n) {
            dict.insert(dict.end(), p, p + n);
            return true;
        });
        ok = deflateSetDictionary(&z, dict.data(), static_cast<uInt>(dict.size())) == Z_OK;
    }
    d.bytes.resize(deflateBound(&z, d.size) + 16);
    size_t used = 0;
    const bool last = to == in.Size();
    // Runs deflate over the input it was given, growing the output as it fills.
    auto pump = [&](int flush) {
        for (;;) {
            if (used == d.bytes.size()) d.bytes.resize(d.bytes.size() * 2);
            z.next_out = d.bytes.data() + used;
            z.avail_out = static_cast<uInt>(d.bytes.size() - used);
            const int r = deflate(&z, flush);
            used = d.bytes.size() - z.avail_out;
            if (r == Z_STREAM_ERROR) return false;
            if (flush == Z_FINISH ? r == Z_STREAM_END : (z.avail_in == 0 && z.avail_out > 0)) return true;
        }
    };
    d.crc = crc32(0, nullptr, 0);
    ok = ok && in.Each(from, to, [&](const unsigned char* p, size_t n) {
        d.crc = crc32(d.crc, p, static_cast<uInt>(n));
        z.next_in = const_cast<Bytef*>(p);
        z.avail_in = static_cast<uInt>(n);
        return pump(Z_NO_FLUSH);
    });
    ok = ok && pump(last ? Z_FINISH : Z_SYNC_FLUSH);
    deflateEnd(&z);
    d.bytes.resize(used);
    d.ok = ok;
    return d;
}

void PutLE32(unsigned char* at, uLong v)
{
    for (int k = 0; k < 4; ++k) at[k] = static_cast<unsigned char>(v >> (8 * k));
}

// One gzip member holding the stream, deflated in stretches of 1 MiB on up
// to `threads` threads and written in order. The bytes written are the same
// whatever the number of threads.
bool WriteGzip(std::FILE* fp, const Stream& in, unsigned threads)
{
    static const unsigned char kHeader[10] = {0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 0, 3};
    if (std::fwrite(kHeader, 1, sizeof kHeader, fp) != sizeof kHeader) return false;
    const size_t total = in.Size();
    const size_t stretches = (total + kStretch - 1) / kStretch;
    const size_t batch = 4 * static_cast<size_t>(series::ThreadCount(threads));
    uLong crc = crc32(0, nullptr, 0);
    for (size_t first = 0; first < stretches; first += batch) {
        const size_t n = std::min(batch, stretches - first);
        std::vector<Deflated> done(n);
        series::ForEachIndex(n, threads, [&](size_t i) {
            const size_t from = (first + i) * kStretch;
            done[i] = DeflateStretch(in, from, std::min(total, from + kStretch));
        });
        for (const Deflated& d : done) {
            if (!d.ok || std::fwrite(d.bytes.data(), 1, d.bytes.size(), fp) != d.bytes.size()) return false;
            crc = crc32_combine(crc, d.crc, static_cast<z_off_t>(d.size));
        }
    }
    unsigned char trailer[8];
    PutLE32(trailer, crc);
    PutLE32(trailer + 4, static_cast<uLong>(total & 0xffffffffu));
    return std::fwrite(trailer, 1, sizeof trailer, fp) == sizeof trailer;
}

}  // namespace

void WriteNifti(const Volume& v, const std::string& path, unsigned threads)
{
    const bool gz = EndsWith(path, ".nii.gz");
    if (!gz && !EndsWith(path, ".nii"))
        throw Error(Reason::WriteFailed, path, "a NIfTI volume is written to a name ending in .nii or .nii.gz");
    if (v.columns < 1 || v.rows < 1 || v.slices < 1 || v.columns > 32767 || v.rows > 32767 || v.slices > 32767)
        throw Error(Reason::WriteFailed, path, "a NIfTI-1 volume holds 1 to 32767 voxels along each axis");
    const size_t expected = static_cast<size_t>(v.columns) * static_cast<size_t>(v.rows) *
                            static_cast<size_t>(v.slices) * PixelTypeSize(v.pixelType);
    if (v.voxels.size() != expected)
        throw Error(Reason::WriteFailed, path, "the volume holds " + std::to_string(v.voxels.size()) +
                                                   " bytes of voxels where its size needs " + std::to_string(expected));
    const std::vector<unsigned char> header = MakeHeader(v);
    WriteWhole(path, [&](std::FILE* fp) {
        if (gz) return WriteGzip(fp, Stream(header, v.voxels), threads);
        return std::fwrite(header.data(), 1, header.size(), fp) == header.size() &&
               std::fwrite(v.voxels.data(), 1, v.voxels.size(), fp) == v.voxels.size();
    });
}

}  // namespace quarn
