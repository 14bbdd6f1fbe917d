// The modern path's DICOM and ACR-NEMA reader: the element walk with its own
// table of what it takes, the transfer syntax checked first, sequences passed
// over whole, and the stored values of every frame.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "bytes/StreamCursor.h"
#include "mri_slice/PixelRange.h"
#include "image/Readers.h"
#include "read_dicom/ElementWalk.h"

namespace quarn::image {

namespace {

using bytes::Order;
using bytes::StreamCursor;
using dicom::ElementHeader;
using dicom::ElementWalk;
using dicom::HeaderRead;
using dicom::Tag;

constexpr uint32_t kUndefined = 0xFFFFFFFFu;
constexpr uint32_t kItem = Tag(0xFFFE, 0xE000);
constexpr uint32_t kItemEnd = Tag(0xFFFE, 0xE00D);
constexpr uint32_t kSequenceEnd = Tag(0xFFFE, 0xE0DD);
// Values longer than this are not texts or numbers the reader takes.
constexpr uint32_t kLongestTakenValue = 1u << 20;

std::string Trimmed(const char* p, size_t n)
{
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
    size_t i = 0;
    while (i < n && p[i] == ' ') ++i;
    return std::string(p + i, n - i);
}

// The backslash-separated numbers of a DS or IS value; empty when any of
// them is not a number.
std::vector<double> Numbers(const std::string& text)
{
    std::vector<double> out;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\\', start);
        const std::string part = Trimmed(text.data() + start, (end == std::string::npos ? text.size() : end) - start);
        char* stop = nullptr;
        const double v = std::strtod(part.c_str(), &stop);
        if (part.empty() || *stop != '\0' || !std::isfinite(v)) return {};
        out.push_back(v);
        if (end == std::string::npos) return out;
        start = end + 1;
    }
}

std::optional<double> First(const std::string& text)
{
    const std::vector<double> v = Numbers(text);
    if (v.empty()) return std::nullopt;
    return v[0];
}

std::optional<int> FirstInt(const std::string& text)
{
    const std::optional<double> v = First(text);
    if (!v || *v < -2147483648.0 || *v > 2147483647.0 || *v != std::floor(*v)) return std::nullopt;
    return static_cast<int>(*v);
}

struct Reader {
    const std::string& path;
    StreamCursor& in;
    ElementWalk walk;
    Image image;
    // What the file states, before it is checked.
    std::optional<int> rows, columns, bitsAllocated, bitsStored, highBit, pixelRepresentation, samples, planar;
    std::optional<std::array<uint16_t, 3>> paletteDescriptor[3];
    std::vector<uint16_t> paletteData[3];
    std::vector<char> value;

    Reader(const std::string& p, StreamCursor& s) : path(p), in(s), walk(s, Order::Little, false, dicom::VrRules::Standard)
    {
        image.file = path;
    }

    [[noreturn]] void Refuse(Reason reason, const std::string& cause) { throw Error(reason, path, cause); }

    ElementHeader Next(const char* where)
    {
        ElementHeader h;
        if (walk.Next(h) != HeaderRead::Ok)
            Refuse(Reason::Truncated, std::string("the file ends inside an element header ") + where);
        return h;
    }

    // The value's bytes (with a NUL after them).
    const char* Take(const ElementHeader& h)
    {
        if (h.length == kUndefined || h.length > kLongestTakenValue || !walk.Holds(h.length))
            Refuse(Reason::Truncated, "element " + TagText(h) + " claims " + std::to_string(h.length) +
                                          " bytes, more than the file holds");
        try {
            if (!walk.Take(h.length, value, 1))
                Refuse(Reason::Truncated, "the file ends inside element " + TagText(h));
        } catch (const std::bad_alloc&) {
            Refuse(Reason::Malformed, "element " + TagText(h) + " is too large");
        }
        return value.data();
    }

    std::string Text(const ElementHeader& h) { return Trimmed(Take(h), h.length); }

    std::optional<int> UnsignedShort(const ElementHeader& h)
    {
        const char* v = Take(h);
        if (h.length < 2) return std::nullopt;
        return bytes::U16(reinterpret_cast<const unsigned char*>(v), walk.ByteOrder());
    }

    void Skip(const ElementHeader& h)
    {
        if (h.length == 0 || h.length == kUndefined) return;
        if (!in.Skip(static_cast<long>(h.length)))
            Refuse(Reason::Truncated, "element " + TagText(h) + " claims " + std::to_string(h.length) +
                                          " bytes, more than the file holds");
    }

    static std::string TagText(const ElementHeader& h)
    {
        char t[16];
        std::snprintf(t, sizeof t, "(%04X,%04X)", h.group, h.element);
        return t;
    }

    bool IsSequence(const ElementHeader& h) const
    {
        return (h.vr[0] == 'S' && h.vr[1] == 'Q') || (h.length == kUndefined && h.tag() != dicom::kPixelDataTag);
    }

    // Passes over a sequence of undefined length: items and nested
    // sequences up to its delimiter.
    void SkipSequence()
    {
        int depth = 1;
        while (depth > 0) {
            const ElementHeader h = Next("inside a sequence");
            if (h.tag() == kSequenceEnd) {
                --depth;
            } else if (h.tag() == kItem || h.tag() == kItemEnd) {
                if (h.tag() == kItem && h.length != kUndefined) Skip(h);
            } else if (h.length == kUndefined) {
                ++depth;
            } else {
                Skip(h);
            }
            if (depth > 64) Refuse(Reason::Malformed, "sequences nested more than 64 deep");
        }
    }

    void ReadMeta(long metaStart)
    {
        in.Seek(metaStart);
        walk.SetSyntax(Order::Little, true);
        for (;;) {
            const long at = in.Tell();
            ElementHeader h;
            if (walk.Next(h) != HeaderRead::Ok) Refuse(Reason::Truncated, "the file ends inside its file meta group");
            if (h.group != 0x0002) {
                in.Seek(at);
                return;
            }
            if (h.element == 0x0010)
                image.transferSyntaxUID = Text(h);
            else if (IsSequence(h) && h.length == kUndefined)
                SkipSequence();
            else
                Skip(h);
        }
    }

    // The transfer syntax decides the byte order and VR form of the data set,
    // before anything else about the file is read.
    void ApplyTransferSyntax()
    {
        const std::string& uid = *image.transferSyntaxUID;
        if (uid == "1.2.840.10008.1.2") return walk.SetSyntax(Order::Little, false);
        if (uid == "1.2.840.10008.1.2.1") return walk.SetSyntax(Order::Little, true);
        if (uid == "1.2.840.10008.1.2.2") return walk.SetSyntax(Order::Big, true);
        const char* name = TransferSyntaxName(uid);
        const std::string what = name ? std::string(name) + " (" + uid + ")" : "transfer syntax " + uid;
        if (uid.rfind("1.2.840.10008.1.2.", 0) == 0)
            Refuse(Reason::Compressed,
                   "pixel data compressed as " + what +
                       " cannot be read; an uncompressed copy can be made with `gdcmconv --raw IN OUT` "
                       "(GDCM) or `dcmdjpeg IN OUT` / `dcmdrle IN OUT` (DCMTK)");
        Refuse(Reason::Unsupported, "unknown " + what);
    }

    // A file without file meta: the first element tells the byte order and
    // whether its VR is explicit.
    void SettleSyntaxFromFirstElement(long start)
    {
        in.Seek(start);
        const unsigned char* b = in.Peek(8);
        if (!b) Refuse(Reason::Truncated, "the file is too short for a DICOM element");
        const uint16_t le = bytes::U16(b, Order::Little);
        Order order = le >= 0x0001 && le <= 0x0008 ? Order::Little : Order::Big;
        if (le == 0) order = bytes::U32(b + 4, Order::Little) == 4 ? Order::Little : Order::Big;
        const bool explicitVR = b[4] >= 'A' && b[4] <= 'Z' && b[5] >= 'A' && b[5] <= 'Z';
        walk.SetSyntax(order, explicitVR);
    }

    void Act(const ElementHeader& h)
    {
        switch (h.tag()) {
        case Tag(0x0008, 0x103E): image.seriesDescription = Text(h); break;
        case Tag(0x0018, 0x0050): image.sliceThickness = First(Text(h)); break;
        case Tag(0x0018, 0x0088): image.spacingBetweenSlices = First(Text(h)); break;
        case Tag(0x0020, 0x000D): image.studyInstanceUID = Text(h); break;
        case Tag(0x0020, 0x000E): image.seriesInstanceUID = Text(h); break;
        case Tag(0x0020, 0x0011): image.seriesNumber = FirstInt(Text(h)); break;
        case Tag(0x0020, 0x0013): image.instanceNumber = FirstInt(Text(h)); break;
        case Tag(0x0020, 0x0032): {
            const std::vector<double> v = Numbers(Text(h));
            if (v.size() == 3) image.imagePosition = std::array<double, 3>{v[0], v[1], v[2]};
            break;
        }
        case Tag(0x0020, 0x0037): {
            const std::vector<double> v = Numbers(Text(h));
            if (v.size() == 6) image.imageOrientation = std::array<double, 6>{v[0], v[1], v[2], v[3], v[4], v[5]};
            break;
        }
        case Tag(0x0028, 0x0002): samples = UnsignedShort(h); break;
        case Tag(0x0028, 0x0004): image.photometricInterpretation = Text(h); break;
        case Tag(0x0028, 0x0006): planar = UnsignedShort(h); break;
        case Tag(0x0028, 0x0008): image.numberOfFrames = FirstInt(Text(h)); break;
        case Tag(0x0028, 0x0010): rows = UnsignedShort(h); break;
        case Tag(0x0028, 0x0011): columns = UnsignedShort(h); break;
        case Tag(0x0028, 0x0030): {
            const std::vector<double> v = Numbers(Text(h));
            if (v.size() == 2) image.pixelSpacing = std::array<double, 2>{v[0], v[1]};
            break;
        }
        case Tag(0x0028, 0x0100): bitsAllocated = UnsignedShort(h); break;
        case Tag(0x0028, 0x0101): bitsStored = UnsignedShort(h); break;
        case Tag(0x0028, 0x0102): highBit = UnsignedShort(h); break;
        case Tag(0x0028, 0x0103): pixelRepresentation = UnsignedShort(h); break;
        case Tag(0x0028, 0x1050): image.windowCenter = First(Text(h)); break;
        case Tag(0x0028, 0x1051): image.windowWidth = First(Text(h)); break;
        case Tag(0x0028, 0x1052): image.rescaleIntercept = First(Text(h)); break;
        case Tag(0x0028, 0x1053): image.rescaleSlope = First(Text(h)); break;
        case Tag(0x0028, 0x1101):
        case Tag(0x0028, 0x1102):
        case Tag(0x0028, 0x1103): {
            const char* v = Take(h);
            if (h.length == 6) {
                const auto* u = reinterpret_cast<const unsigned char*>(v);
                const Order o = walk.ByteOrder();
                paletteDescriptor[h.element - 0x1101] =
                    std::array<uint16_t, 3>{bytes::U16(u, o), bytes::U16(u + 2, o), bytes::U16(u + 4, o)};
            }
            break;
        }
        case Tag(0x0028, 0x1201):
        case Tag(0x0028, 0x1202):
        case Tag(0x0028, 0x1203): {
            const char* v = Take(h);
            std::vector<uint16_t>& table = paletteData[h.element - 0x1201];
            table.resize(h.length / 2);
            for (size_t i = 0; i < table.size(); ++i)
                table[i] = bytes::U16(reinterpret_cast<const unsigned char*>(v) + 2 * i, walk.ByteOrder());
            break;
        }
        default:
            if (IsSequence(h) && h.length == kUndefined)
                SkipSequence();
            else
                Skip(h);
        }
    }

    void CheckPixelDescription()
    {
        if (!rows || !columns || *rows < 1 || *columns < 1)
            Refuse(Reason::Malformed, "no Rows and Columns before the pixel data");
        if (!bitsAllocated) Refuse(Reason::Malformed, "no Bits Allocated before the pixel data");
        image.rows = *rows;
        image.columns = *columns;
        image.bitsAllocated = *bitsAllocated;
        if (image.bitsAllocated != 8 && image.bitsAllocated != 16 && image.bitsAllocated != 32)
            Refuse(Reason::Unsupported, "Bits Allocated " + std::to_string(image.bitsAllocated) +
                                            " (the reader takes 8, 16 and 32)");
        image.bitsStored = bitsStored.value_or(image.bitsAllocated);
        image.highBit = highBit.value_or(image.bitsStored - 1);
        image.pixelRepresentation = pixelRepresentation.value_or(0);
        if (image.bitsStored < 1 || image.bitsStored > image.bitsAllocated || image.highBit < image.bitsStored - 1 ||
            image.highBit >= image.bitsAllocated)
            Refuse(Reason::Malformed, "Bits Stored " + std::to_string(image.bitsStored) + " and High Bit " +
                                          std::to_string(image.highBit) + " do not fit Bits Allocated " +
                                          std::to_string(image.bitsAllocated));
        if (image.pixelRepresentation != 0 && image.pixelRepresentation != 1)
            Refuse(Reason::Malformed, "Pixel Representation " + std::to_string(image.pixelRepresentation));
        image.samplesPerPixel = samples.value_or(1);
        if (image.samplesPerPixel != 1 && image.samplesPerPixel != 3)
            Refuse(Reason::Unsupported, "Samples per Pixel " + std::to_string(image.samplesPerPixel));
        image.planarConfiguration = planar.value_or(0);
        image.frames = image.numberOfFrames.value_or(1);
        if (image.frames < 1) Refuse(Reason::Malformed, "Number of Frames " + std::to_string(image.frames));
        const bool sign = image.pixelRepresentation == 1;
        image.pixelType = image.bitsAllocated == 8    ? (sign ? PixelType::S8 : PixelType::U8)
                          : image.bitsAllocated == 16 ? (sign ? PixelType::S16 : PixelType::U16)
                                                      : (sign ? PixelType::S32 : PixelType::U32);
        if (paletteDescriptor[0] && paletteDescriptor[1] && paletteDescriptor[2]) {
            std::array<PaletteChannel, 3> palette;
            for (int c = 0; c < 3; ++c) {
                const auto& d = *paletteDescriptor[c];
                palette[c].firstMapped = image.pixelRepresentation == 1 ? static_cast<int16_t>(d[1]) : d[1];
                palette[c].bits = d[2];
                palette[c].entries = std::move(paletteData[c]);
                const size_t count = d[0] == 0 ? 65536 : d[0];
                if (palette[c].entries.size() < count) palette[c].entries.clear();
                else palette[c].entries.resize(count);
            }
            image.palette = std::move(palette);
        }
    }

    // Whether words of type T need more than to be read: another byte order
    // or bits outside Bits Stored.
    template <class T>
    bool NeedsDecoding() const
    {
        return (sizeof(T) > 1 && walk.ByteOrder() != bytes::HostOrder()) || image.bitsStored != int(8 * sizeof(T));
    }

    // The stored values of `count` words at `p`, in place: each word put into
    // host order, then Bits Stored bits from High Bit down, sign-extended
    // when the representation is signed.
    template <class T>
    void Decode(unsigned char* p, size_t count)
    {
        using U = typename std::make_unsigned<T>::type;
        if (sizeof(T) > 1) bytes::Cursor(p, count * sizeof(T)).CopyWords(p, count * sizeof(T), sizeof(T), walk.ByteOrder());
        const int shift = image.highBit + 1 - image.bitsStored;
        const int bits = image.bitsStored;
        if (shift == 0 && bits == int(8 * sizeof(T))) return;
        KeepStoredBits(reinterpret_cast<U*>(p), count, shift, bits, std::is_signed<T>::value);
    }

    // Reads the pixel bytes into place in one read, then decodes them there
    // when they need it. (Reading in pieces and decoding each while it is in
    // the cache measured no faster: the kernel's copy of a large read does
    // not leave the bytes in the cache.)
    template <class T>
    void ReadWords()
    {
        unsigned char* p = image.pixelBytes.data();
        const size_t size = image.pixelBytes.size();
        if (in.ReadDirect(p, size) != size) Refuse(Reason::Truncated, "the file ends inside the pixel data");
        if (NeedsDecoding<T>()) Decode<T>(p, size / sizeof(T));
    }

    void ReadPixels(const ElementHeader& h)
    {
        if (h.length == kUndefined)
            Refuse(Reason::Malformed, "encapsulated pixel data in an uncompressed transfer syntax");
        const uint64_t count = uint64_t(image.rows) * uint64_t(image.columns) * uint64_t(image.frames) *
                               uint64_t(image.samplesPerPixel);
        const uint64_t need = count * uint64_t(image.bitsAllocated / 8);
        if (h.length < need)
            Refuse(Reason::Truncated, "the pixel data holds " + std::to_string(h.length) + " bytes; " +
                                          std::to_string(image.rows) + " rows x " + std::to_string(image.columns) +
                                          " columns x " + std::to_string(image.frames) + " frames need " +
                                          std::to_string(need));
        if (!walk.Holds(static_cast<uint32_t>(need)))
            Refuse(Reason::Truncated, "the file ends inside the pixel data (" + std::to_string(need) +
                                          " bytes needed, " + std::to_string(in.Remaining()) + " left)");
        try {
            image.pixelBytes.resize(need);
        } catch (const std::bad_alloc&) {
            Refuse(Reason::Malformed, "the pixel data is too large to hold");
        }
        switch (image.pixelType) {
        case PixelType::U8: ReadWords<uint8_t>(); break;
        case PixelType::S8: ReadWords<int8_t>(); break;
        case PixelType::U16: ReadWords<uint16_t>(); break;
        case PixelType::S16: ReadWords<int16_t>(); break;
        case PixelType::U32: ReadWords<uint32_t>(); break;
        case PixelType::S32: ReadWords<int32_t>(); break;
        case PixelType::F32:  // no DICOM pixel description gives it
            Refuse(Reason::Unsupported, "float pixel data");
        }
    }

    Image Run(Format format, bool pixels)
    {
        image.format = format;
        const unsigned char* head = nullptr;
        in.Seek(0);
        unsigned char first[132];
        const size_t got = in.Read(first, sizeof first);
        head = first;
        long dataStart = 0;
        if (got >= 132 && std::memcmp(head + 128, "DICM", 4) == 0) {
            ReadMeta(132);
        } else if (got >= 4 && std::memcmp(head, "DICM", 4) == 0) {
            ReadMeta(4);
        } else {
            SettleSyntaxFromFirstElement(0);
        }
        dataStart = in.Tell();
        if (image.transferSyntaxUID)
            ApplyTransferSyntax();
        else if (dataStart != 0)
            SettleSyntaxFromFirstElement(dataStart);
        for (;;) {
            const long at = in.Tell();
            ElementHeader h;
            const HeaderRead r = walk.Next(h);
            if (r != HeaderRead::Ok) {
                if (in.Remaining() == 0 && in.Tell() == at)
                    Refuse(Reason::Unsupported, "not an image: the file has no pixel data");
                Refuse(Reason::Truncated, "the file ends inside an element header at byte " + std::to_string(at) +
                                              ", before any pixel data");
            }
            if (h.tag() == dicom::kPixelDataTag) {
                CheckPixelDescription();
                if (pixels) ReadPixels(h);
                return std::move(image);
            }
            if (h.group == 0xFFFE) {  // a stray item or delimiter at the top level
                if (h.tag() == kItem && h.length != kUndefined) Skip(h);
                continue;
            }
            Act(h);
        }
    }
};

}  // namespace

Image ReadDicom(const std::string& path, Format format, const ReadOptions& options, StreamCursor& in)
{
    Reader reader(path, in);
    return reader.Run(format, options.pixels);
}

}  // namespace quarn::image
