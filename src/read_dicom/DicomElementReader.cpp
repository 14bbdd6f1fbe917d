// The DICOM element reader: walks a DICOM part 10 or ACR-NEMA header element
// by element, fills a header record from the elements it knows, and stops at
// the pixel data with the stream standing at the first pixel byte.
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
#include "bytes/File.h"
#include "corvane.h"
#include "ecError.h"
#include "read_raw/DecimalText.h"
#include "read_dicom.h"
#include "read_dicom/DicomOpenFile.h"
#include "read_dicom/DicomState.h"
#include "read_dicom/ElementWalk.h"

namespace {

using quarn::bytes::Order;
using quarn::bytes::StreamCursor;
using quarn::dicom::ElementHeader;
using quarn::dicom::ElementWalk;
using quarn::dicom::Fail;
using quarn::dicom::HeaderRead;
using quarn::dicom::Tag;

void DicomCheck(bool condition, const char* message)
{
    if (!condition) Fail(message);
}

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

using decimal_text::ParseDouble;

// `text` holds the value's `length` bytes and a NUL after them.
// `dicom` is the header record as a DICOM record (holding a position record), or null.
// `DicomFieldFound`: this thread's found marks.
void ApplyTextRule(uint32_t tag, const char* text, size_t length, ecRawHeaderInfo* header,
                   ecDicomHeaderInfo* dicom, bool* DicomFieldFound)
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
        const int n = ClampedInt(text);
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
        SetPlanesFromOrientation(text, *header);
        if (dicom) dicom->Position.SetDirection(text, len);
        DicomFieldFound[kDicomOrientation] = true;
        break;
    }
    case Tag(0x0028, 0x0008): {
        const int n = ClampedInt(text);
        if (n >= 1) header->iNumFrames = n;
        break;
    }
    case Tag(0x0028, 0x0030): {
        // A NUL inside the value (not its last byte) separates a second size.
        SetPixelSpacing(text, length, false, *header);
        DicomFieldFound[kDicomPixelSpacing] = true;
        break;
    }
    default:
        break;
    }
}

// The generic way: values with a text rule are read (NUL appended) and
// applied; all others are passed over without being stored. True when a rule
// was applied.
[[gnu::always_inline]] inline bool ReadGenericValue(ElementWalk& walk, const ElementHeader& h,
                                                    ecRawHeaderInfo* header, ecDicomHeaderInfo* dicom, bool* found)
{
    if (h.empty()) return false;
    const uint32_t tag = h.tag();
    if (!HasTextRule(tag)) {
        walk.Drop(h, "DICOM:Unable to read data");
        return false;
    }
    const size_t length = h.length;
    StreamCursor& in = walk.In();
    // The values with a rule are short texts: they are copied out of the
    // buffer onto the stack; a longer one gets a buffer of its own.
    if (length < 256 && length <= in.Buffered()) {
        char text[256];
        DicomCheck(in.Read(reinterpret_cast<unsigned char*>(text), length) == length, "DICOM:Unable to read data");
        text[length] = '\0';
        ApplyTextRule(tag, text, length, header, dicom, found);
        return true;
    }
    DicomCheck(walk.Holds(h.length), "DICOM:Unable to read data");
    std::vector<char> value;
    try {
        DicomCheck(walk.Take(h.length, value, 1), "DICOM:Unable to read data");
    } catch (const std::bad_alloc&) {
        Fail("DICOM:Unable to allocate memory");
    }
    ApplyTextRule(tag, value.data(), length, header, dicom, found);
    return true;
}

// Groups that hold an element the reader acts on.
bool GroupHasRules(uint16_t group) { return group == 0x0018 || group == 0x0020 || group == 0x0028 || group == 0x7FE0; }

// What acting on one element came to: its value passed over and nothing
// else, something taken from it, or the pixel data reached.
enum class Acted { Passed, Taken, PixelData };

// Acts on one element.
// `DicomFieldFound`: this thread's found marks (looked up once per file: a
// thread-local variable of a shared library costs a call each time).
[[gnu::always_inline]] inline Acted ActOnElement(ElementWalk& walk, const ElementHeader& h, ecRawHeaderInfo* header,
                                                 ecDicomHeaderInfo* dicom, bool* DicomFieldFound)
{
    if (!GroupHasRules(h.group)) {  // most elements belong to groups without a rule
        walk.Drop(h, "DICOM:Unable to read data");
        return Acted::Passed;
    }
    switch (Tag(h.group, h.element)) {
    case Tag(0x7FE0, 0x0010):
        return Acted::PixelData;
    case Tag(0x0028, 0x0010):
        header->iNumPixY = static_cast<int>(walk.TwoBytes(h));
        DicomFieldFound[kDicomRows] = true;
        return Acted::Taken;
    case Tag(0x0028, 0x0011):
        header->iNumPix = static_cast<int>(walk.TwoBytes(h));
        DicomFieldFound[kDicomColumns] = true;
        return Acted::Taken;
    case Tag(0x0028, 0x0100): {
        const unsigned bits = walk.TwoBytes(h);
        if (bits == 8)
            header->DataType = ecBaseData::UnsignedChar;
        else if (bits == 16)
            header->DataType = ecBaseData::Short;
        else
            Fail(StringPrintf("DICOM:Bad bytes_per_pixel : %d", static_cast<int>(bits)));
        return Acted::Taken;
    }
    case Tag(0x0028, 0x0101): {
        const unsigned bits = walk.TwoBytes(h);
        if (bits > 16) Fail(StringPrintf("DICOM:Bad data store length : %d", static_cast<int>(bits)));
        return Acted::Taken;
    }
    case Tag(0x0028, 0x0102):
    case Tag(0x0028, 0x0103):
        walk.TwoBytes(h);
        return Acted::Taken;
    case Tag(0x0028, 0x0004):  // photometric interpretation: checked, then the generic way
    case Tag(0x0028, 0x1050):  // window center
    case Tag(0x0028, 0x1051):  // window width
    case Tag(0x0028, 0x1052):  // rescale intercept
    case Tag(0x0028, 0x1053):  // rescale slope
        walk.Drop(h, "DICOM:Short read");
        return Acted::Passed;
    case Tag(0x0028, 0x1201):
        walk.Drop(h, "DICOM:Unable to read red table");
        return Acted::Passed;
    case Tag(0x0028, 0x1202):
        walk.Drop(h, "DICOM:Unable to read green table");
        return Acted::Passed;
    case Tag(0x0028, 0x1203):
        walk.Drop(h, "DICOM:Unable to read blue table");
        return Acted::Passed;
    default:
        return ReadGenericValue(walk, h, header, dicom, DicomFieldFound) ? Acted::Taken : Acted::Passed;
    }
}

// What every read does first.
void StartRead(ecRawHeaderInfo* header)
{
    DicomReadState& state = DicomState();
    state.littleEndian = true;
    state.explicitVR = false;
    ResetDicomFieldState();
    header->PlaneType = SliceAxial;
    header->ImagePlane = SliceAxial;
}

// The elements a whole walk of one open file took something from, and its
// pixel data element, in order, each with where its value starts, and the
// syntax the walk settled: a second read of the same open file acts on the
// same elements from the same bytes, without decoding the other element
// headers or passing over their values again (passing over a value the first
// walk passed over changes nothing but the position). Kept only for a walk
// that reached the pixel data and took from no more than kMax elements.
struct WalkMemo {
    static constexpr size_t kMax = 64;
    struct Element {  // an element header, and where its value starts
        uint16_t group;
        uint16_t element;
        uint32_t length;
        char vr[2];
        long valueAt;
    };
    bool complete = false;
    Order order = Order::Little;
    bool explicitVR = false;
    size_t count = 0;
    Element acted[kMax];
};

// Walks the header from the first element to the pixel data; with a complete
// memo of the same open file, acts on the elements it holds instead, which
// gives the same record and state (the same actions on the same bytes in the
// same order). The byte order and VR form the walk settles stay in this
// thread's state for IsDicomDataLittleEndian, on every way out. kMemo: with
// a memo (recorded on the first read of a shared file, replayed on the reads
// after it); without one, every other read.
template <bool kMemo>
int Walk(StreamCursor& in, ecRawHeaderInfo* header, long* dataOffset, WalkMemo* memo)
{
    ElementWalk walk(in);
    struct KeepSyntax {
        ElementWalk& walk;
        ~KeepSyntax()
        {
            DicomReadState& state = DicomState();
            state.littleEndian = walk.ByteOrder() == Order::Little;
            state.explicitVR = walk.ExplicitVR();
        }
    } keep{walk};
    ecDicomHeaderInfo* const dicom = dynamic_cast<ecDicomHeaderInfo*>(header);
    bool* const found = DicomState().found;
    const bool replay = kMemo && memo->complete;
    ElementHeader h;
    if (replay) {
        walk.SetSyntax(memo->order, memo->explicitVR);
    } else {
        if (kMemo) memo->count = 0;
        walk.ReadFirstElement(h);
    }
    for (size_t i = 0;; ++i) {
        long valueAt = 0;
        if (kMemo) {
            if (replay) {
                if (i == memo->count) break;  // not reached: the memo ends with the pixel data
                const WalkMemo::Element& e = memo->acted[i];
                h.group = e.group, h.element = e.element, h.length = e.length;
                h.vr[0] = e.vr[0], h.vr[1] = e.vr[1];
                in.Seek(e.valueAt);
            }
            valueAt = in.Tell();
        }
        const Acted acted = ActOnElement(walk, h, header, dicom, found);
        if (kMemo && !replay && acted != Acted::Passed) {
            if (memo->count < WalkMemo::kMax)
                memo->acted[memo->count] = {h.group, h.element, h.length, {h.vr[0], h.vr[1]}, valueAt};
            ++memo->count;
        }
        if (acted == Acted::PixelData) break;
        if (replay) continue;
        const HeaderRead r = walk.NextWanted(h, GroupHasRules);
        if (r != HeaderRead::Ok) Fail(r == HeaderRead::ShortTag ? "read16 : short read" : "read32 : short read");
    }
    if (kMemo && !replay && memo->count <= WalkMemo::kMax) {
        memo->complete = true;
        memo->order = walk.ByteOrder();
        memo->explicitVR = walk.ExplicitVR();
    }
    const long offset = in.Tell();
    header->lDataOffset = offset;
    if (dataOffset) *dataOffset = offset;
    header->bIsValid = RequiredDicomValuesSet(true);
    return 1;
}

int ReadElements(StreamCursor& in, ecRawHeaderInfo* header, long* dataOffset, WalkMemo* memo = nullptr)
{
    return memo ? Walk<true>(in, header, dataOffset, memo) : Walk<false>(in, header, dataOffset, nullptr);
}

}  // namespace

int read_dicom_data_raw_header(FILE* fp, ecRawHeaderInfo* header, long* dataOffset, unsigned long)
{
    if (!fp) return -1;
    if (!header) return -2;
    StartRead(header);
    StreamCursor in(fp);
    quarn::bytes::SyncOnExit sync{in};
    return ReadElements(in, header, dataOffset);
}

// ---- one open file for the header and the pixels

struct DicomOpenFile::Stream {
    explicit Stream(int fd) : in(fd) {}
    StreamCursor in;
    WalkMemo memo;  // what the first header read of the shared file acted on
};

static_assert(sizeof(DicomOpenFile::Stream) <= sizeof(DicomOpenFile::StreamSpace), "the stream fits its space");

DicomOpenFile::DicomOpenFile(const char* fileName) : pName(fileName), iFd(-1), pStream(nullptr)
{
    quarn::bytes::Descriptor fd(fileName);
    if (!fd) return;
    pStream = new (aStreamSpace) Stream(fd.get());
    // A folder opens on some systems but is never a file to read: its first
    // read tells.
    if (pStream->in.OpensAFolder()) {
        pStream->~Stream();
        pStream = nullptr;
        return;
    }
    iFd = fd.Release();
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
    StreamCursor& in = pStream->in;
    in.Seek(0);
    StartRead(header);
    // Only a shared file is read more than once.
    return ReadElements(in, header, dataOffset, DicomState().sharedFile == this ? &pStream->memo : nullptr);
}

size_t DicomOpenFile::ReadBytes(long offset, void* dst, size_t n)
{
    if (!IsOpen() || offset < 0) return 0;
    StreamCursor& in = pStream->in;
    in.Seek(offset);
    return in.ReadDirect(static_cast<unsigned char*>(dst), n);
}

long long DicomOpenFile::BytesFrom(long offset)
{
    if (!IsOpen() || offset < 0) return -1;
    StreamCursor& in = pStream->in;
    in.Seek(offset);
    return in.Remaining();
}

DicomOpenFile* SharedDicomFile(const char* fileName)
{
    DicomOpenFile* shared = DicomState().sharedFile;
    return shared && fileName && std::strcmp(shared->Name(), fileName) == 0 ? shared : nullptr;
}

ShareDicomFile::ShareDicomFile(DicomOpenFile& file) : bShared(!DicomState().sharedFile && file.IsOpen())
{
    if (bShared) DicomState().sharedFile = &file;
}

ShareDicomFile::~ShareDicomFile()
{
    if (bShared) DicomState().sharedFile = nullptr;
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
