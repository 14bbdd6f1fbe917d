// The DICOM element reader: walks a DICOM part 10 or ACR-NEMA header element
// by element, fills a header record from the elements it knows, and stops at
// the pixel data with the stream standing at the first pixel byte.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "DicomHeaderInfo.h"
#include "corvane.h"
#include "ecError.h"
#include "read_raw/DecimalText.h"
#include "read_dicom.h"
#include "read_dicom/DicomOpenFile.h"
#include "readnema.h"
#include "readnema/DicomScanState.h"

namespace {

// Byte order and explicit-VR mode of the last read. Every read starts from
// little-endian with explicit VR off; what a read ends with stays here for
// IsDicomDataLittleEndian.
bool bLittleEndian = true;
bool bExplicitVR = false;

[[noreturn]] void Fail(const std::string& message) { throw ecError(message, 1, 0, -1, -1); }

void DicomCheck(bool condition, const char* message)
{
    if (!condition) Fail(message);
}

// Reads a FILE* or a file descriptor through a small buffer: one read per
// chunk instead of one call per byte. Seeks inside the buffered chunk cost
// nothing. Sync() puts a FILE* itself at the logical position.
class BufferedStream {
public:
    // A file descriptor at offset 0. Its size is asked only when a value
    // reaches past the buffered bytes (a typical header never does).
    explicit BufferedStream(int fd) : fp_(nullptr), fd_(fd), size_(kNotAsked) {}

    explicit BufferedStream(FILE* fp) : fp_(fp)
    {
        base_ = std::ftell(fp_);
        if (base_ < 0) base_ = 0;
        // The size bounds every value length, so that no length larger than
        // the rest of the file is ever read or allocated.
        if (std::fseek(fp_, 0, SEEK_END) == 0) {
            size_ = std::ftell(fp_);
            if (size_ < 0) size_ = kUnknownSize;
        }
        std::fseek(fp_, base_, SEEK_SET);
    }
    BufferedStream(const BufferedStream&) = delete;
    BufferedStream& operator=(const BufferedStream&) = delete;

    long Tell() const { return base_ + static_cast<long>(pos_); }

    // Bytes left from the current position to the end of the file.
    long Remaining()
    {
        if (size_ == kNotAsked) size_ = SizeOfDescriptor();
        return size_ == kUnknownSize ? kUnknownSize : size_ - Tell();
    }

    // Bytes buffered from the current position on.
    size_t Buffered() const { return len_ - pos_; }

    // Makes the first read of a descriptor; true when it failed because the
    // name is a folder.
    bool OpensAFolder()
    {
        if (len_ == 0 && !bad_) Refill();
        return folder_;
    }

    void Seek(long offset)
    {
        if (offset >= base_ && offset <= base_ + static_cast<long>(len_)) {
            pos_ = static_cast<size_t>(offset - base_);
            return;
        }
        // A failed seek shows as a short read later.
        if (fp_)
            std::fseek(fp_, offset, SEEK_SET);
        else if (::lseek(fd_, offset, SEEK_SET) < 0)
            bad_ = true;
        base_ = offset;
        pos_ = len_ = 0;
    }

    // Copies up to n bytes; returns how many were available.
    size_t Read(unsigned char* dst, size_t n)
    {
        if (len_ - pos_ >= n) {  // the common case: all of it in the buffer
            std::memcpy(dst, buf_ + pos_, n);
            pos_ += n;
            return n;
        }
        size_t done = 0;
        while (done < n) {
            if (pos_ == len_ && !Refill()) break;
            const size_t take = std::min(n - done, len_ - pos_);
            std::memcpy(dst + done, buf_ + pos_, take);
            pos_ += take;
            done += take;
        }
        return done;
    }

    // Moves n bytes on; false (position unchanged) when fewer are left.
    bool Skip(long n)
    {
        if (n >= 0 && static_cast<size_t>(n) <= len_ - pos_) {  // inside the buffer
            pos_ += static_cast<size_t>(n);
            return true;
        }
        if (Remaining() != kUnknownSize) {
            if (n > Remaining()) return false;
            Seek(Tell() + n);
            return true;
        }
        const long start = Tell();
        unsigned char scratch[512];
        long left = n;
        while (left > 0) {
            const size_t want = static_cast<size_t>(std::min<long>(left, sizeof scratch));
            if (Read(scratch, want) != want) {
                Seek(start);
                return false;
            }
            left -= static_cast<long>(want);
        }
        return true;
    }

    // Copies up to n bytes as Read does, but what the buffer does not hold
    // goes straight from the file into dst; returns how many were copied.
    size_t ReadDirect(unsigned char* dst, size_t n)
    {
        size_t done = std::min(n, len_ - pos_);
        std::memcpy(dst, buf_ + pos_, done);
        pos_ += done;
        if (done == n) return n;
        base_ += static_cast<long>(len_);  // the file stands right after the buffer
        pos_ = len_ = 0;
        if (fp_) {
            const size_t got = std::fread(dst + done, 1, n - done, fp_);
            base_ += static_cast<long>(got);
            return done + got;
        }
        while (done < n && !bad_) {
            const ssize_t got = ::read(fd_, dst + done, n - done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += static_cast<size_t>(got);
            base_ += static_cast<long>(got);
        }
        return done;
    }

    // The next n bytes, when the buffer holds them, without moving on.
    const unsigned char* Peek(size_t n) const { return len_ - pos_ >= n ? buf_ + pos_ : nullptr; }
    void Advance(size_t n) { pos_ += n; }

    // Leaves a FILE* itself at the logical position.
    void Sync()
    {
        if (fp_) std::fseek(fp_, Tell(), SEEK_SET);
    }

    static constexpr long kUnknownSize = -1;

private:
    bool Refill()
    {
        base_ += static_cast<long>(len_);
        pos_ = len_ = 0;
        if (fp_) {
            len_ = std::fread(buf_, 1, sizeof buf_, fp_);
        } else if (!bad_) {
            // The first read asks for 4 KiB, which holds a typical header
            // whole; later reads fill the buffer. A pipe may deliver less
            // than asked before its end, so reading goes on to the end.
            const size_t want = base_ == 0 ? 4096 : sizeof buf_;
            while (len_ < want) {
                const ssize_t got = ::read(fd_, buf_ + len_, want - len_);
                if (got < 0 && errno == EINTR) continue;
                if (got < 0 && errno == EISDIR) folder_ = true;
                if (got <= 0) break;
                len_ += static_cast<size_t>(got);
            }
        }
        return len_ > 0;
    }

    long SizeOfDescriptor() const
    {
        struct stat st;
        if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return kUnknownSize;
        return static_cast<long>(st.st_size);
    }

    static constexpr long kNotAsked = -2;

    FILE* fp_;
    int fd_ = -1;
    bool bad_ = false;  // a seek of the descriptor failed: nothing more can be read
    bool folder_ = false;  // the descriptor's first read found a folder
    long base_ = 0;  // file offset of buf_[0]
    long size_ = kUnknownSize;
    size_t pos_ = 0, len_ = 0;
    unsigned char buf_[8192];
};

// Puts the stream at the reader's position on every way out.
struct SyncOnExit {
    BufferedStream& s;
    ~SyncOnExit() { s.Sync(); }
};

uint16_t Compose16(const unsigned char* b) { return bLittleEndian ? ReadU16LE(b) : ReadU16BE(b); }
uint32_t Compose32(const unsigned char* b) { return bLittleEndian ? ReadU32LE(b) : ReadU32BE(b); }

uint16_t read16(BufferedStream& in)
{
    unsigned char b[2];
    DicomCheck(in.Read(b, 2) == 2, "read16 : short read");
    return Compose16(b);
}

// The four bytes after an element number: raw (for the VR test) and as a number.
void read32(BufferedStream& in, unsigned char raw[4])
{
    DicomCheck(in.Read(raw, 4) == 4, "read32 : short read");
}

uint32_t read32(BufferedStream& in)
{
    unsigned char b[4];
    read32(in, b);
    return Compose32(b);
}

enum class VrKind : unsigned char { None, Long, Short };

// The kind of every pair of capital letters, indexed by (first - 'A') * 26 +
// (second - 'A'): the explicit value representations with a four-byte length,
// those with a two-byte length, and none.
struct VrTable {
    VrKind kind[26 * 26] = {};
    constexpr VrTable()
    {
        const char* const longForm[] = {"OB", "OW", "SQ", "UN"};
        const char* const shortForm[] = {"AE", "AS", "AT", "CS", "DA", "DS", "DT", "FD", "FL", "IS", "LO",
                                         "LT", "PN", "SH", "SL", "SS", "ST", "TM", "UI", "UL", "US"};
        for (const char* vr : longForm) kind[(vr[0] - 'A') * 26 + (vr[1] - 'A')] = VrKind::Long;
        for (const char* vr : shortForm) kind[(vr[0] - 'A') * 26 + (vr[1] - 'A')] = VrKind::Short;
    }
};
constexpr VrTable kVrTable;

VrKind ClassifyVr(const unsigned char* c)
{
    const unsigned a = c[0] - unsigned('A'), b = c[1] - unsigned('A');
    if (a >= 26 || b >= 26) return VrKind::None;
    return kVrTable.kind[a * 26 + b];
}

struct ElementHeader {
    uint16_t group = 0;
    uint16_t element = 0;
    uint32_t length = 0;  // as read; a length with the top bit set counts as negative
};

// Reads group, element number and the four bytes after them; with the VR test
// on, a recognised VR turns them into a short or long explicit length.
// Returns whether a VR was recognised. This form reads near the end of the
// buffer; ReadElementHeader below does the same where 12 bytes are buffered.
[[gnu::noinline]] bool ReadElementHeaderNearEnd(BufferedStream& in, ElementHeader& h, bool testVr)
{
    unsigned char raw[4];
    if (const unsigned char* b = in.Peek(8)) {  // the whole 8 bytes are buffered
        h.group = Compose16(b);
        h.element = Compose16(b + 2);
        std::memcpy(raw, b + 4, 4);
        in.Advance(8);
    } else {
        h.group = read16(in);
        h.element = read16(in);
        read32(in, raw);
    }
    h.length = Compose32(raw);
    if (!testVr) return false;
    switch (ClassifyVr(raw)) {
    case VrKind::Long:
        h.length = read32(in);
        return true;
    case VrKind::Short:
        h.length = Compose16(raw + 2);
        return true;
    default:
        return false;
    }
}

inline bool ReadElementHeader(BufferedStream& in, ElementHeader& h, bool testVr)
{
    const unsigned char* b = in.Peek(12);
    if (!b) return ReadElementHeaderNearEnd(in, h, testVr);
    const bool little = bLittleEndian;
    h.group = little ? ReadU16LE(b) : ReadU16BE(b);
    h.element = little ? ReadU16LE(b + 2) : ReadU16BE(b + 2);
    switch (testVr ? ClassifyVr(b + 4) : VrKind::None) {
    case VrKind::Long:
        h.length = little ? ReadU32LE(b + 8) : ReadU32BE(b + 8);
        in.Advance(12);
        return true;
    case VrKind::Short:
        h.length = little ? ReadU16LE(b + 6) : ReadU16BE(b + 6);
        in.Advance(8);
        return true;
    default:
        h.length = little ? ReadU32LE(b + 4) : ReadU32BE(b + 4);
        in.Advance(8);
        return false;
    }
}

void ReadImplicitHeader(BufferedStream& in, ElementHeader& h) { ReadElementHeader(in, h, false); }

bool IsNegative(uint32_t length) { return (length & 0x80000000u) != 0; }

// Reads the 4 bytes at `offset`; true when they are "DICM".
bool DicmAt(BufferedStream& in, long offset)
{
    in.Seek(offset);
    unsigned char b[4];
    DicomCheck(in.Read(b, 4) == 4, "DICOM:Short read on header");
    return std::memcmp(b, "DICM", 4) == 0;
}

// The first element decides the byte order and the kind of file.
void ReadFirstElement(BufferedStream& in, ElementHeader& h)
{
    const long start = in.Tell();
    ReadImplicitHeader(in, h);
    if (h.group != 0 && h.element == 0 && h.length == 4) return;  // NEMA group length
    if (h.length == 0x04000000u) {                                   // 4 in the other order
        bLittleEndian = !bLittleEndian;
        in.Seek(start);
        ReadImplicitHeader(in, h);
        return;
    }
    long next = -1;
    if (DicmAt(in, 128))
        next = 132;
    else if (DicmAt(in, 0))
        next = 4;
    if (next < 0) {
        const bool nemaOpening =
            (h.group == 0 && h.element == 0 && h.length == 4) ||
            (h.group == 0x0008 &&
             (h.element == 0x0001 || h.element == 0x0005 || h.element == 0x0008 || h.element == 0x0016));
        DicomCheck(nemaOpening, "read_dicom_data_raw_header : Not a proper DICOM part 10 file.");
        in.Seek(start);
        ReadImplicitHeader(in, h);
        return;
    }
    in.Seek(next);
    if (ReadElementHeader(in, h, true)) bExplicitVR = true;
    if (h.length == 0x04000000u) {
        bLittleEndian = !bLittleEndian;
        in.Seek(next);
        ReadImplicitHeader(in, h);
    }
}

constexpr uint32_t Tag(uint16_t g, uint16_t e) { return (uint32_t(g) << 16) | e; }

// Tags whose values the text rules act on; every other generic value is dropped unread.
bool HasTextRule(uint32_t tag)
{
    switch (tag) {
    case Tag(0x0018, 0x0050): case Tag(0x0018, 0x0088): case Tag(0x0018, 0x5100):
    case Tag(0x0020, 0x0013): case Tag(0x0020, 0x0032): case Tag(0x0020, 0x0035):
    case Tag(0x0020, 0x0037): case Tag(0x0028, 0x0008): case Tag(0x0028, 0x0030):
        return true;
    default:
        return false;
    }
}

// A value the reader does not keep: it must lie inside the file.
void DropValue(BufferedStream& in, uint32_t length, const char* shortMessage)
{
    if (length == 0 || IsNegative(length)) return;
    DicomCheck(in.Skip(static_cast<long>(length)), shortMessage);
}

// A two-byte element: length 2, value in the current byte order.
unsigned TwoByteValue(BufferedStream& in, const ElementHeader& h)
{
    DicomCheck(h.length == 2, "DICOM:Bad length");
    return read16(in);
}

// atoi as the run-time library reads it, clamped to int.
int ParseInt(const char* text)
{
    const long long v = std::strtoll(text, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int>(v);
}

using decimal_text::ParseDouble;

// `text` holds the value's `length` bytes and a NUL after them.
// `dicom` is the header record as a DICOM record (holding a position record), or null.
void ApplyTextRule(uint32_t tag, const char* text, size_t length, ecRawHeaderInfo* header,
                   ecDicomHeaderInfo* dicom)
{
    const int len = static_cast<int>(length);
    switch (tag) {
    case Tag(0x0018, 0x0050):
        header->fSliceThickness = ParseDouble(text);
        DicomFieldFound[kDicomSliceThickness] = true;
        break;
    case Tag(0x0018, 0x0088):
        header->fSliceSpacing = ParseDouble(text);
        DicomFieldFound[kDicomSliceSpacing] = true;
        break;
    case Tag(0x0018, 0x5100):
        if (dicom) dicom->Position.SetOrientation(text, len);
        break;
    case Tag(0x0020, 0x0013): {
        if (DicomFieldFound[kDicomImageNumber]) break;
        const int n = ParseInt(text);
        if (n >= 0 && n <= 8192) {
            header->iImageNum = n;
            DicomFieldFound[kDicomImageNumber] = true;
        } else {
            header->iImageNum = 0;
        }
        break;
    }
    case Tag(0x0020, 0x0032):
        if (dicom) dicom->Position.SetPosition(text, len);
        break;
    case Tag(0x0020, 0x0035):
    case Tag(0x0020, 0x0037): {
        unsigned long reserved = 0;
        switch (GetDicomSliceType(text, reserved)) {
        case SliceSagittal:
            header->ImagePlane = SliceSagittal;
            header->PlaneType = SliceCoronal;
            break;
        case SliceCoronal:
            header->ImagePlane = SliceCoronal;
            header->PlaneType = SliceSagittal;
            break;
        default:
            header->ImagePlane = SliceAxial;
            header->PlaneType = SliceAxial;
            break;
        }
        if (dicom) dicom->Position.SetDirection(text, len);
        DicomFieldFound[kDicomOrientation] = true;
        break;
    }
    case Tag(0x0028, 0x0008): {
        const int n = ParseInt(text);
        if (n >= 1) header->iNumFrames = n;
        break;
    }
    case Tag(0x0028, 0x0030): {
        header->fSizePix = ParseDouble(text);
        // A NUL inside the value (not its last byte) separates a second size.
        const void* nul = length > 1 ? std::memchr(text, '\0', length - 1) : nullptr;
        header->fSizePixY = nul ? ParseDouble(static_cast<const char*>(nul) + 1) : header->fSizePix;
        DicomFieldFound[kDicomPixelSpacing] = true;
        break;
    }
    default:
        break;
    }
}

// The generic way: values with a text rule are read (NUL appended) and
// applied; all others are passed over without being stored.
void ReadGenericValue(BufferedStream& in, const ElementHeader& h, ecRawHeaderInfo* header,
                      ecDicomHeaderInfo* dicom)
{
    if (h.length == 0 || IsNegative(h.length)) return;
    const uint32_t tag = Tag(h.group, h.element);
    if (!HasTextRule(tag)) {
        DropValue(in, h.length, "DICOM:Unable to read data");
        return;
    }
    const size_t length = h.length;
    // The values with a rule are short texts: they are copied out of the
    // buffer onto the stack; a longer one gets a buffer of its own.
    if (length < 256 && length <= in.Buffered()) {
        char text[256];
        DicomCheck(in.Read(reinterpret_cast<unsigned char*>(text), length) == length, "DICOM:Unable to read data");
        text[length] = '\0';
        ApplyTextRule(tag, text, length, header, dicom);
        return;
    }
    const long remaining = in.Remaining();
    DicomCheck(remaining == BufferedStream::kUnknownSize || static_cast<long>(length) <= remaining,
               "DICOM:Unable to read data");
    std::vector<char> value;
    try {
        if (remaining != BufferedStream::kUnknownSize) {
            value.assign(length + 1, '\0');
            DicomCheck(in.Read(reinterpret_cast<unsigned char*>(value.data()), length) == length,
                       "DICOM:Unable to read data");
        } else {
            // Size unknown: grow with what is actually there, never by the claimed length.
            size_t done = 0;
            while (done < length) {
                const size_t step = std::min<size_t>(length - done, 65536);
                value.resize(done + step);
                DicomCheck(in.Read(reinterpret_cast<unsigned char*>(value.data()) + done, step) == step,
                           "DICOM:Unable to read data");
                done += step;
            }
            value.push_back('\0');
        }
    } catch (const std::bad_alloc&) {
        Fail("DICOM:Unable to allocate memory");
    }
    ApplyTextRule(tag, value.data(), length, header, dicom);
}

// Groups that hold an element the reader acts on.
bool GroupHasRules(uint16_t group) { return group == 0x0018 || group == 0x0020 || group == 0x0028 || group == 0x7FE0; }

// Acts on one element; true when it was the pixel data element.
bool ActOnElement(BufferedStream& in, const ElementHeader& h, ecRawHeaderInfo* header, ecDicomHeaderInfo* dicom)
{
    if (!GroupHasRules(h.group)) {  // most elements belong to groups without a rule
        DropValue(in, h.length, "DICOM:Unable to read data");
        return false;
    }
    switch (Tag(h.group, h.element)) {
    case Tag(0x7FE0, 0x0010):
        return true;
    case Tag(0x0028, 0x0010):
        header->iNumPixY = static_cast<int>(TwoByteValue(in, h));
        DicomFieldFound[kDicomRows] = true;
        return false;
    case Tag(0x0028, 0x0011):
        header->iNumPix = static_cast<int>(TwoByteValue(in, h));
        DicomFieldFound[kDicomColumns] = true;
        return false;
    case Tag(0x0028, 0x0100): {
        const unsigned bits = TwoByteValue(in, h);
        if (bits == 8)
            header->DataType = ecBaseData::UnsignedChar;
        else if (bits == 16)
            header->DataType = ecBaseData::Short;
        else
            Fail(StringPrintf("DICOM:Bad bytes_per_pixel : %d", static_cast<int>(bits)));
        return false;
    }
    case Tag(0x0028, 0x0101): {
        const unsigned bits = TwoByteValue(in, h);
        if (bits > 16) Fail(StringPrintf("DICOM:Bad data store length : %d", static_cast<int>(bits)));
        return false;
    }
    case Tag(0x0028, 0x0102):
    case Tag(0x0028, 0x0103):
        TwoByteValue(in, h);
        return false;
    case Tag(0x0028, 0x0004):  // photometric interpretation: checked, then the generic way
    case Tag(0x0028, 0x1050):  // window center
    case Tag(0x0028, 0x1051):  // window width
    case Tag(0x0028, 0x1052):  // rescale intercept
    case Tag(0x0028, 0x1053):  // rescale slope
        DropValue(in, h.length, "DICOM:Short read");
        return false;
    case Tag(0x0028, 0x1201):
        DropValue(in, h.length, "DICOM:Unable to read red table");
        return false;
    case Tag(0x0028, 0x1202):
        DropValue(in, h.length, "DICOM:Unable to read green table");
        return false;
    case Tag(0x0028, 0x1203):
        DropValue(in, h.length, "DICOM:Unable to read blue table");
        return false;
    default:
        ReadGenericValue(in, h, header, dicom);
        return false;
    }
}

int ReadElements(BufferedStream& in, ecRawHeaderInfo* header, long* dataOffset);

// What every read does first.
void StartRead(ecRawHeaderInfo* header)
{
    bLittleEndian = true;
    bExplicitVR = false;
    ResetDicomFieldState();
    header->PlaneType = SliceAxial;
    header->ImagePlane = SliceAxial;
}

}  // namespace

bool IsDicomDataLittleEndian() { return bLittleEndian; }

int read_dicom_data_raw_header(FILE* fp, ecRawHeaderInfo* header, long* dataOffset, unsigned long)
{
    if (!fp) return -1;
    if (!header) return -2;
    StartRead(header);
    BufferedStream in(fp);
    SyncOnExit sync{in};
    return ReadElements(in, header, dataOffset);
}

namespace {

int ReadElements(BufferedStream& in, ecRawHeaderInfo* header, long* dataOffset)
{
    ElementHeader h;
    ReadFirstElement(in, h);
    ecDicomHeaderInfo* const dicom = dynamic_cast<ecDicomHeaderInfo*>(header);
    const bool explicitVR = bExplicitVR;  // settled by the first element
    for (;;) {
        if (ActOnElement(in, h, header, dicom)) break;
        for (;;) {
            ReadElementHeader(in, h, explicitVR);
            if (GroupHasRules(h.group)) break;
            // An element of a group without rules is passed over here while
            // its value lies in the buffer; otherwise ActOnElement drops it.
            if (h.length == 0 || IsNegative(h.length)) continue;
            if (h.length > in.Buffered()) break;
            in.Advance(h.length);
        }
    }
    const long offset = in.Tell();
    header->lDataOffset = offset;
    if (dataOffset) *dataOffset = offset;
    header->bIsValid = RequiredDicomValuesSet(true);
    return 1;
}

}  // namespace

// ---- one open file for the header and the pixels

struct DicomOpenFile::Stream {
    explicit Stream(int fd) : in(fd) {}
    BufferedStream in;
};

namespace {
thread_local DicomOpenFile* tSharedFile = nullptr;
}  // namespace

static_assert(sizeof(DicomOpenFile::Stream) <= sizeof(unsigned char[8256]), "the stream fits its space");

DicomOpenFile::DicomOpenFile(const char* fileName) : pName(fileName), iFd(-1), pStream(nullptr)
{
    if (!fileName) return;
    int fd;
    do fd = ::open(fileName, O_RDONLY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return;
    pStream = new (aStreamSpace) Stream(fd);
    // A folder opens on some systems but is never a file to read: its first
    // read tells.
    if (pStream->in.OpensAFolder()) {
        pStream->~Stream();
        pStream = nullptr;
        ::close(fd);
        return;
    }
    iFd = fd;
}

DicomOpenFile::~DicomOpenFile()
{
    if (pStream) pStream->~Stream();
    if (iFd >= 0) ::close(iFd);
}

bool DicomOpenFile::IsOpen() const { return iFd >= 0; }

int DicomOpenFile::ReadHeader(ecRawHeaderInfo* header, long* dataOffset)
{
    if (!IsOpen()) return -1;
    BufferedStream& in = pStream->in;
    in.Seek(0);
    StartRead(header);
    return ReadElements(in, header, dataOffset);
}

size_t DicomOpenFile::ReadBytes(long offset, void* dst, size_t n)
{
    if (!IsOpen() || offset < 0) return 0;
    BufferedStream& in = pStream->in;
    in.Seek(offset);
    return in.ReadDirect(static_cast<unsigned char*>(dst), n);
}

long long DicomOpenFile::BytesFrom(long offset)
{
    if (!IsOpen() || offset < 0) return -1;
    BufferedStream& in = pStream->in;
    in.Seek(offset);
    return in.Remaining();
}

DicomOpenFile* SharedDicomFile(const char* fileName)
{
    return tSharedFile && fileName && std::strcmp(tSharedFile->Name(), fileName) == 0 ? tSharedFile : nullptr;
}

ShareDicomFile::ShareDicomFile(DicomOpenFile& file) : bShared(!tSharedFile && file.IsOpen())
{
    if (bShared) tSharedFile = &file;
}

ShareDicomFile::~ShareDicomFile()
{
    if (bShared) tSharedFile = nullptr;
}

int read_dicom_data_raw_header(const char* fileName, ecRawHeaderInfo* header, long* dataOffset,
                               unsigned long)
{
    if (!fileName) return -3;
    if (!header) return -2;
    // The file is read straight from its descriptor and closed right after,
    // so no stream needs to be left at the pixel data.
    if (DicomOpenFile* shared = SharedDicomFile(fileName)) return shared->ReadHeader(header, dataOffset);
    DicomOpenFile file(fileName);
    return file.ReadHeader(header, dataOffset);
}
