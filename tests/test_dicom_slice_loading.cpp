// Whole DICOM and NEMA slices read into a plain slice: pixels against pydicom,
// the element rules of the slice reader, the fallbacks, the half-size read,
// byte order, and bad input.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DicomTestFiles.h"
#include "Quarn.h"
#include "TestUtil.h"

namespace {

using dicomtest::Elements;

std::string SliceData(const std::string& name) { return testutil::DataPath("dicom_slices/" + name); }

// A slice whose storage and header the test can look at and preset.
template <class T>
class Slice : public ecMriSlice<T> {
public:
    void SetCounts(int rows, int cols) { this->iNumRows = rows, this->iNumCols = cols; }
    const ecRawHeaderInfo& Hdr() const { return *this->pRawHeader; }
    ecRawHeaderInfo*& HdrPtr() { return this->pRawHeader; }
    int Read(const std::string& path) { return this->ReadDICOMFile(path.c_str(), 0, nullptr); }
    std::vector<T> Pixels() const
    {
        const size_t n = static_cast<size_t>(this->iNumRows) * static_cast<size_t>(this->iNumCols);
        return this->pImageData ? std::vector<T>(this->pImageData, this->pImageData + n) : std::vector<T>();
    }
    bool RowTableFits() const
    {
        for (int r = 0; r < this->iNumRows; ++r)
            if (this->ppRowPtrs[r] != this->pImageData + static_cast<size_t>(r) * this->iNumCols) return false;
        return true;
    }
    // The message a whole-slice read throws, "" when it throws nothing.
    std::string ErrorOf(const std::string& path, int* result = nullptr)
    {
        try {
            const int r = Read(path);
            if (result) *result = r;
        } catch (const ecError& e) {
            return e.what();
        }
        return "";
    }
};

// NEMA style from byte 0 (or part 10 with `preamble`), opening with a group
// 0008 element long enough to pass the 132 bytes the file classification reads.
Elements Stream(bool preamble = false)
{
    Elements e;
    if (preamble) e.bytes.assign(128, 0), e.bytes.insert(e.bytes.end(), {'D', 'I', 'C', 'M'});
    return e.text(0x0008, 0x0016, std::string(124, '1'));
}

FILE* OpenAtEnd(const std::string& path, long back)
{
    FILE* fp = std::fopen(path.c_str(), "rb");
    if (fp) std::fseek(fp, -back, SEEK_END);
    return fp;
}

class DicomSliceLoading : public ::testing::Test {
protected:
    std::string Put(const Elements& e, const std::string& name)
    {
        testutil::WriteFile(dir.file(name), e.bytes);
        return dir.file(name);
    }
    testutil::TempDir dir;
    Slice<short> s;
};

struct TableRow {
    std::string file, type, fnv, spacing, thickness;  // "-" when the file has no spacing or thickness
    int rows = 0, cols = 0, valid = 0;
    long long sum = 0;
    std::vector<std::pair<size_t, long>> samples;
};

// pixel_table.txt: the little-endian rows, or the one "# big-endian: " row.
std::vector<TableRow> PixelTable(bool bigEndianRows)
{
    std::ifstream in(SliceData("pixel_table.txt"));
    std::vector<TableRow> rows;
    const std::string bigTag = "# big-endian: ";
    for (std::string line; std::getline(in, line);) {
        const bool big = line.compare(0, bigTag.size(), bigTag) == 0;
        if (big != bigEndianRows || (!big && (line.empty() || line[0] == '#'))) continue;
        std::istringstream ls(big ? line.substr(bigTag.size()) : line);
        TableRow r;
        ls >> r.file >> r.type >> r.rows >> r.cols >> r.fnv >> r.sum >> r.valid >> r.spacing >> r.thickness;
        for (std::string sample; ls >> sample;)
            r.samples.emplace_back(std::stoul(sample), std::stol(sample.substr(sample.find(':') + 1)));
        rows.push_back(r);
    }
    return rows;
}

template <class T>
void CheckPixels(const TableRow& row, const std::vector<T>& px)
{
    ASSERT_EQ(px.size(), static_cast<size_t>(row.rows) * row.cols) << row.file;
    const uint64_t h = sizeof(T) == 1 ? testutil::Fnv1a64(px.data(), px.size())
                                      : testutil::Fnv1a64Le16(reinterpret_cast<const short*>(px.data()), px.size());
    char fnv[17];
    std::snprintf(fnv, sizeof fnv, "%016llx", static_cast<unsigned long long>(h));
    EXPECT_EQ(fnv, row.fnv) << row.file;
    long long sum = 0;
    for (T v : px) sum += v;
    EXPECT_EQ(sum, row.sum) << row.file;
    for (const auto& s : row.samples) EXPECT_EQ(static_cast<long>(px[s.first]), s.second) << row.file << " @" << s.first;
}

template <class T>
void ReadAndCheck(const TableRow& row)
{
    Slice<T> s;
    ASSERT_EQ(s.Read(SliceData(row.file)), 1) << row.file;
    EXPECT_EQ(s.GetNumRows(), row.rows) << row.file;
    EXPECT_EQ(s.GetNumCols(), row.cols) << row.file;
    EXPECT_TRUE(s.RowTableFits() && s.OwnsData());
    CheckPixels(row, s.Pixels());
    const ecRawHeaderInfo& h = s.Hdr();
    EXPECT_EQ(h.bIsValid, row.valid != 0) << row.file;
    EXPECT_NEAR(h.fSizePix, row.spacing == "-" ? h.fSizePix : std::stod(row.spacing), 1e-6) << row.file;
    EXPECT_NEAR(h.fSliceThickness, row.thickness == "-" ? h.fSliceThickness : std::stod(row.thickness), 1e-6);
    EXPECT_EQ(h.iNumPix, row.cols);
    EXPECT_EQ(h.iNumPixY, row.rows);
    EXPECT_EQ(h.DataType, static_cast<int>(GetBaseDataType(T())));
    EXPECT_EQ(h.FileType, ecRawHeaderInfo().FileType);
}

}  // namespace

TEST_F(DicomSliceLoading, PixelsEqualPydicom)
{
    const std::vector<TableRow> table = PixelTable(false);
    ASSERT_GE(table.size(), 6u);
    for (const TableRow& row : table) row.type == "uchar" ? ReadAndCheck<unsigned char>(row) : ReadAndCheck<short>(row);

    // This fixture has image number 7, so (0021,1020) = 17 is not used; it has
    // no slice spacing, so (0021,1221) = 5.5 is. The orientation is sagittal.
    Slice<unsigned char> b;
    ASSERT_EQ(b.Read(SliceData("synthetic_8bit_37x23.dcm")), 1);
    EXPECT_EQ(b.Hdr().iImageNum, 7);
    EXPECT_DOUBLE_EQ(b.Hdr().fSliceSpacing, 5.5);
    EXPECT_EQ(b.Hdr().ImagePlane, SliceSagittal);
    EXPECT_EQ(b.Hdr().PlaneType, SliceCoronal);
}

TEST_F(DicomSliceLoading, BigEndianPixelsFollowTheElementReadersByteOrder)
{
    const std::vector<TableRow> big = PixelTable(true);
    ASSERT_EQ(big.size(), 1u);
    const std::string bigPath = SliceData(big[0].file);

    // The element reader finds big-endian data; the pixel read then swaps.
    ecRawHeaderInfo h;
    long offset = 0;
    ASSERT_EQ(read_dicom_data_raw_header(bigPath.c_str(), &h, &offset, 0), 1);
    ASSERT_EQ(h.iNumPix, 64);
    s.SetCounts(h.iNumPixY, h.iNumPix);
    FILE* fp = std::fopen(bigPath.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    ASSERT_EQ(std::fseek(fp, offset, SEEK_SET), 0);
    EXPECT_EQ(s.ReadDICOM_Image(fp, 64 * 64, 0, nullptr), 1);
    CheckPixels(big[0], s.Pixels());

    // The whole-slice reader does not run the element reader: the byte order
    // last found applies to a little-endian file too.
    ASSERT_EQ(s.Read(SliceData("mr_small_nema.dcm")), 1);
    std::vector<short> px = s.Pixels();
    SwapBytePairs(px.data(), px.size() * 2);
    CheckPixels(big[0], px);

    // Reading a little-endian NEMA header sets the order back.
    ASSERT_EQ(read_dicom_data_raw_header(Put(Elements().group(8).size(8, 8).pixels16(64), "le.dcm").c_str(), &h,
                                         nullptr, 0), 1);
    ASSERT_EQ(s.Read(SliceData("mr_small_nema.dcm")), 1);
    CheckPixels(big[0], s.Pixels());
}

TEST_F(DicomSliceLoading, HalfSizeReadEqualsDecimateForEvenAndOddSizes)
{
    // Each fixture read whole, then halved by Decimate, and read at half size
    // with and without a header record describing the full-size image.
    auto check = [&](auto tag, const char* file, int rows, int cols) {
        using T = decltype(tag);
        SCOPED_TRACE(file);
        const std::string path = SliceData(file);
        Slice<T> full;
        ASSERT_EQ(full.Read(path), 1);
        std::vector<T> src = full.Pixels(), expected(static_cast<size_t>(rows / 2) * (cols / 2));
        ASSERT_EQ(full.Decimate(src.data(), rows, cols, expected.data(), rows / 2, cols / 2, 2, 0), 1);
        for (bool withHeader : {true, false}) {
            Slice<T> half;
            if (withHeader) half.HdrPtr() = new ecRawHeaderInfo(full.Hdr());
            half.SetCounts(rows / 2, cols / 2);
            FILE* fp = OpenAtEnd(path, static_cast<long>(rows * cols * sizeof(T)));
            ASSERT_NE(fp, nullptr);
            ASSERT_EQ(half.ReadDICOM_Image(fp, static_cast<unsigned long>(rows * cols), 0x10000, nullptr), 1);
            EXPECT_EQ(half.Pixels(), expected) << withHeader;
            EXPECT_TRUE(half.RowTableFits());
        }
    };
    check(short(), "synthetic_16bit_40x48.dcm", 40, 48);
    check((unsigned char)0, "synthetic_8bit_37x23.dcm", 37, 23);

    // A full-size image of fewer than 8 rows is refused by the halving.
    const std::string small = Put(Stream().geometry(6, 8).pixels16(48), "small.dcm");
    s.SetCounts(3, 4);
    EXPECT_EQ(s.ReadDICOM_Image(OpenAtEnd(small, 96), 48, 0x10000, nullptr), -51);
    EXPECT_TRUE(s.Pixels().empty());
}

TEST_F(DicomSliceLoading, ImageNumbersAndTheirSiemensStandIns)
{
    // (0021,1020) stands in for a missing or out-of-range image number and
    // (0021,1221) for a missing slice spacing.
    const struct {
        std::vector<std::string> numbers;
        bool siemens;
        int expected;
    } cases[] = {{{"512"}, false, 512}, {{"513"}, false, 0},       {{"-1"}, false, 0},  {{"0"}, false, 0},
                 {{"12", "513"}, false, 0}, {{"513", "12"}, false, 12}, {{}, true, 17}, {{"900"}, true, 17}};
    for (const auto& c : cases) {
        Elements st = Stream();
        for (const std::string& n : c.numbers) st.text(0x0020, 0x0013, n);
        if (c.siemens) st.text(0x0021, 0x1020, "17");
        if (c.numbers.empty()) st.text(0x0021, 0x1221, "5.5");
        ASSERT_EQ(s.Read(Put(st.geometry(8, 8).pixels16(64), "n.dcm")), 1);
        EXPECT_EQ(s.Hdr().iImageNum, c.expected) << c.numbers.size() << c.siemens;
        EXPECT_EQ(s.Hdr().fSliceSpacing, c.numbers.empty() ? 5.5 : ecRawHeaderInfo().fSliceSpacing);
    }
}

TEST_F(DicomSliceLoading, HeaderValuesAndValidity)
{
    // Complete geometry, no orientation: valid and axial; a backslash does not separate.
    ASSERT_EQ(s.Read(Put(Stream().geometry(8, 8).pixels16(64), "a.dcm")), 1);
    EXPECT_TRUE(s.Hdr().bIsValid);
    EXPECT_EQ(s.Hdr().PlaneType, SliceAxial);
    EXPECT_DOUBLE_EQ(s.Hdr().fSliceThickness, 4.0);
    EXPECT_DOUBLE_EQ(s.Hdr().fSizePix, 0.8);
    EXPECT_DOUBLE_EQ(s.Hdr().fSizePixY, 0.8);

    // No thickness: pixels are read, the record is not valid, thickness keeps
    // its default; the number after a 0 byte is the pixel height.
    ASSERT_EQ(s.Read(Put(Stream().size(8, 8).text(0x0028, 0x0030, std::string("0.5\0 0.6", 8)).pixels16(64), "b")), 1);
    EXPECT_FALSE(s.Hdr().bIsValid);
    EXPECT_EQ(s.Hdr().fSliceThickness, ecRawHeaderInfo().fSliceThickness);
    EXPECT_DOUBLE_EQ(s.Hdr().fSizePix, 0.5);
    EXPECT_DOUBLE_EQ(s.Hdr().fSizePixY, 0.6);
    EXPECT_EQ(s.Pixels()[63], Elements::Pixel16(63));

    // Coronal rows/columns give ImagePlane coronal, PlaneType sagittal.
    ASSERT_EQ(s.Read(Put(Stream().text(0x0020, 0x0037, "1\\0\\0\\0\\0\\-1").geometry(8, 8).pixels16(64), "c")), 1);
    EXPECT_EQ(s.Hdr().ImagePlane, SliceCoronal);
    EXPECT_EQ(s.Hdr().PlaneType, SliceSagittal);
    EXPECT_TRUE(s.Hdr().bIsValid);

    // The Siemens geometry text gives the matrix only when it precedes the
    // columns, and its values are not marked as found.
    std::string text;
    for (int i = 0; i < 13; ++i) text += "f\\";
    text += "16*4\\tail";
    ASSERT_EQ(s.Read(Put(Stream().text(0x0051, 0x1010, text).text(0x0018, 0x0050, "1").text(0x0028, 0x0030, "1")
                             .pixels16(64), "d")), 1);
    EXPECT_EQ(s.GetNumCols(), 16);
    EXPECT_EQ(s.GetNumRows(), 4);
    EXPECT_FALSE(s.Hdr().bIsValid);
    ASSERT_EQ(s.Read(Put(Stream().size(8, 8).text(0x0051, 0x1010, text).pixels16(64), "e")), 1);
    EXPECT_EQ(s.GetNumCols(), 8);

    // A part 10 layout: the elements start at byte 132.
    ASSERT_EQ(s.Read(Put(Stream(true).geometry(8, 8).pixels16(64), "f.dcm")), 1);
    EXPECT_TRUE(s.Hdr().bIsValid);
}

TEST_F(DicomSliceLoading, HostFallbackValues)
{
    ecDicomSliceFallback& fb = DicomSliceFallback<short>();
    EXPECT_FALSE(fb.bReqValuesAreSet);  // nothing set at load
    fb = {8, SliceCoronal, 4, 16, 2.5f, 1.5f, 0.7f, 0.6f, true};
    // An image number and no spacing: the fallback is copied, and its counts
    // (4 columns, 16 rows) decide the pixels read; nothing is marked as found.
    const std::string noSpacing = Put(Stream().text(0x0020, 0x0013, "3").text(0x0018, 0x0050, "4").size(8, 8)
                                          .pixels16(64), "a.dcm");
    ASSERT_EQ(s.Read(noSpacing), 1);
    const ecRawHeaderInfo& h = s.Hdr();
    EXPECT_EQ(h.PlaneType, SliceCoronal);
    EXPECT_EQ(h.ImagePlane, SliceCoronal);
    EXPECT_EQ(h.iNumPix, 4);
    EXPECT_EQ(h.iNumPixY, 16);
    EXPECT_EQ(s.GetNumCols(), 4);
    EXPECT_EQ(s.GetNumRows(), 16);
    EXPECT_FLOAT_EQ(static_cast<float>(h.fSliceSpacing), 2.5f);
    EXPECT_FLOAT_EQ(static_cast<float>(h.fSliceThickness), 1.5f);
    EXPECT_FLOAT_EQ(static_cast<float>(h.fSizePix), 0.7f);
    EXPECT_FLOAT_EQ(static_cast<float>(h.fSizePixY), 0.6f);
    EXPECT_FALSE(h.bIsValid);

    // No image number, the host's switch off, or another pixel type: nothing is copied.
    ASSERT_EQ(s.Read(Put(Stream().text(0x0018, 0x0050, "4").size(8, 8).pixels16(64), "b.dcm")), 1);
    EXPECT_EQ(s.Hdr().PlaneType, SliceAxial);
    EXPECT_EQ(s.GetNumCols(), 8);
    ecMriSliceBase::bInferUnsetDicomFields = false;
    ASSERT_EQ(s.Read(noSpacing), 1);
    EXPECT_EQ(s.GetNumCols(), 8);
    ecMriSliceBase::bInferUnsetDicomFields = true;
    Slice<unsigned char> bytes;
    ASSERT_EQ(bytes.Read(noSpacing), 1);
    EXPECT_EQ(bytes.GetNumCols(), 8);
    fb = ecDicomSliceFallback{};
}

TEST_F(DicomSliceLoading, OnlyTheFirst500ElementsAreExamined)
{
    // The opening element, rows, columns and n fillers (every other one of
    // length 0) come before the pixel element.
    auto file = [&](int fillers) {
        Elements st = Stream().size(8, 8);
        for (int i = 0; i < fillers; ++i) i % 2 ? st.raw(0x0009, 0x1000, 0) : st.text(0x0009, 0x1001, "ab");
        return Put(st.pixels16(64), "e" + std::to_string(fillers) + ".dcm");
    };
    EXPECT_EQ(s.Read(file(496)), 1);  // the pixel element is the 500th
    EXPECT_EQ(s.GetNumCols(), 8);
    const std::vector<short> before = s.Pixels();
    EXPECT_EQ(s.Read(file(497)), -1);  // it would be the 501st
    EXPECT_EQ(s.Pixels(), before);     // the slice keeps its pixels and counts
}

TEST_F(DicomSliceLoading, FailuresGiveTheirErrors)
{
    EXPECT_EQ(s.ErrorOf(dir.file("missing.dcm")), "Unable to open file : " + dir.file("missing.dcm"));
    EXPECT_THROW(s.ReadDICOMFile(nullptr, 0, nullptr), ecError);
    std::vector<unsigned char> notNema(200, 0);
    notNema[0] = 0x09;
    testutil::WriteFile(dir.file("g9.dcm"), notNema);
    EXPECT_EQ(s.ErrorOf(dir.file("g9.dcm")), "Unable to identify file :  -4");

    // Lengths that cannot be buffered, or that the file cannot fill.
    EXPECT_EQ(s.ErrorOf(Put(Stream().size(8, 8).raw(0x0009, 0x0010, 0xFFFFFFFEu), "h1")), "DICOM:Data Element too large ");
    EXPECT_EQ(s.ErrorOf(Put(Stream().raw(0x0008, 0x1111, 0xFFFFFFFFu).pixels16(4), "h2")), "DICOM:Data Element too large ");
    for (uint32_t len : {0xFFFFFFFDu, 0x7FFFFFFFu, 1000u}) {
        Elements st = Stream().size(8, 8);
        char where[64];
        std::snprintf(where, sizeof where, "DICOM:Unable to read data element at %zx", st.bytes.size() + 8);
        EXPECT_EQ(s.ErrorOf(Put(st.raw(0x0010, 0x0010, len).pixels16(64), "long")), where) << len;
    }

    // No rows (a pixel count of zero), or a pixel element shorter than rows x
    // columns; the header keeps what was read before the failure.
    EXPECT_EQ(s.ErrorOf(Put(Stream().us(0x0028, 0x0011, 8).pixels16(64), "r")), "Short count on image read");
    EXPECT_EQ(s.ErrorOf(Put(Stream().size(8, 8).pixels16(63, 128), "p")), "Short count on image read");
    EXPECT_EQ(s.Hdr().iNumPix, 8);
    EXPECT_TRUE(s.Pixels().empty());
}

TEST_F(DicomSliceLoading, TruncatedFilesFailCleanlyAtEveryOffset)
{
    const std::vector<unsigned char> whole = Stream().text(0x0020, 0x0013, "5").text(0x0051, 0x1010, "a\\b\\c")
                                                 .text(0x0020, 0x0037, "0\\1\\0\\0\\0\\-1").geometry(8, 8).pixels16(64)
                                                 .bytes;
    testutil::WriteFile(dir.file("full.dcm"), whole);
    ASSERT_EQ(s.Read(dir.file("full.dcm")), 1);
    const std::vector<short> pixels = s.Pixels();
    ASSERT_EQ(pixels.size(), 64u);
    for (size_t n = 0; n < whole.size(); ++n) {
        testutil::WriteFile(dir.file("cut.dcm"), std::vector<unsigned char>(whole.begin(), whole.begin() + n));
        int result = 0;
        const std::string msg = s.ErrorOf(dir.file("cut.dcm"), &result);
        const bool known = msg.rfind("Unable to identify file : ", 0) == 0 ||
                           msg.rfind("Unable to read header element : ", 0) == 0 ||
                           msg.rfind("DICOM:Unable to read data element at ", 0) == 0 || msg == "Short count on image read";
        ASSERT_TRUE(known) << "cut at " << n << ": '" << msg << "' result " << result;
        // The slice still holds the pixels of the last good read, with counts to match.
        ASSERT_EQ(s.GetNumRows(), 8) << n;
        ASSERT_EQ(s.GetNumCols(), 8) << n;
        ASSERT_EQ(s.Pixels(), pixels) << n;
    }
}

TEST_F(DicomSliceLoading, ReplacedPixelBuffersAreNeitherLeakedNorFreedTwice)
{
    ASSERT_EQ(s.Read(Put(Stream().geometry(8, 8).pixels16(64), "a.dcm")), 1);
    const std::string b = Put(Stream().geometry(16, 8).pixels16(128), "b.dcm");
    ASSERT_EQ(s.Read(b), 1);  // the first buffer is released
    EXPECT_EQ(s.GetNumRows(), 16);
    EXPECT_TRUE(s.OwnsData() && s.RowTableFits());

    // A caller's buffer: used, never released by the slice, left alone on a short read.
    std::vector<short> mine(128, 42), spare(256, 42);
    EXPECT_EQ(s.ReadDICOM_Image(OpenAtEnd(b, 256), 128, 0, mine.data()), 1);
    EXPECT_FALSE(s.OwnsData());
    EXPECT_EQ(s.GetPixels(), mine.data());
    EXPECT_EQ(mine[127], Elements::Pixel16(127));
    EXPECT_THROW(s.ReadDICOM_Image(OpenAtEnd(b, 256), 256, 0, spare.data()), ecError);  // more than the file holds
    EXPECT_EQ(spare[0], 42);
    EXPECT_EQ(s.GetPixels(), mine.data());

    // Reading into the slice's own buffer keeps it owned.
    ASSERT_EQ(s.Read(b), 1);
    short* own = const_cast<short*>(s.GetPixels());
    EXPECT_EQ(s.ReadDICOM_Image(OpenAtEnd(b, 256), 128, 0, own), 1);
    EXPECT_EQ(s.GetPixels(), own);
    EXPECT_TRUE(s.OwnsData());

    // Counts the pixel count cannot fill are refused before anything is read.
    s.SetCounts(16, 16);
    EXPECT_THROW(s.ReadDICOM_Image(OpenAtEnd(b, 256), 128, 0, nullptr), ecError);
    s.SetCounts(16, 8);
    EXPECT_EQ(s.GetPixels(), own);
}
