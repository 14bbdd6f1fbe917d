// Whole DICOM and NEMA slices read into a plain slice: pixels against pydicom,
// the element rules of the implicit little-endian walk, the fallbacks, the
// half-size read, byte order, and bad input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Quarn.h"
#include "TestUtil.h"

namespace {

using testutil::DataPath;

std::string SliceData(const std::string& name) { return DataPath("dicom_slices/" + name); }

// A slice whose storage and header the test can look at and preset.
template <class T>
class Slice : public ecMriSlice<T> {
public:
    void SetCounts(int rows, int cols)
    {
        this->iNumRows = rows;
        this->iNumCols = cols;
    }
    const ecRawHeaderInfo& Hdr() const { return *this->pRawHeader; }
    ecRawHeaderInfo*& HdrPtr() { return this->pRawHeader; }
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
};

// Implicit little-endian element streams, NEMA style (from byte 0) unless a
// preamble and "DICM" are asked for.
class Stream {
public:
    explicit Stream(bool preamble = false)
    {
        if (preamble) {
            bytes_.assign(128, 0);
            for (char c : std::string("DICM")) bytes_.push_back(static_cast<unsigned char>(c));
        }
        // An opening element of group 0008, long enough that every stream
        // passes the 132 bytes the file classification reads.
        Text(0x0008, 0x0016, std::string(124, '1'));
    }
    Stream& Header(uint16_t g, uint16_t e, uint32_t length)
    {
        Put16(g);
        Put16(e);
        Put16(static_cast<uint16_t>(length & 0xFFFF));
        Put16(static_cast<uint16_t>(length >> 16));
        return *this;
    }
    Stream& Raw(uint16_t g, uint16_t e, const std::vector<unsigned char>& v)
    {
        Header(g, e, static_cast<uint32_t>(v.size()));
        bytes_.insert(bytes_.end(), v.begin(), v.end());
        return *this;
    }
    Stream& Text(uint16_t g, uint16_t e, const std::string& s)
    {
        return Raw(g, e, std::vector<unsigned char>(s.begin(), s.end()));
    }
    Stream& U16(uint16_t g, uint16_t e, uint16_t v) { return Raw(g, e, {uint8_t(v & 0xFF), uint8_t(v >> 8)}); }
    Stream& Size(int rows, int cols) { return U16(0x0028, 0x0010, uint16_t(rows)).U16(0x0028, 0x0011, uint16_t(cols)); }
    // Rows, columns, thickness and pixel spacing: a complete geometry.
    Stream& Geometry(int rows, int cols)
    {
        return Text(0x0018, 0x0050, "4.0 ").Size(rows, cols).Text(0x0028, 0x0030, "0.8\\0.9 ");
    }
    // `count` 16-bit pixels p(i) = i * 7 - 300 as the pixel element.
    Stream& Pixels16(size_t count, size_t declared = 0)
    {
        Header(0x7FE0, 0x0010, static_cast<uint32_t>(declared ? declared : count * 2));
        for (size_t i = 0; i < count; ++i) Put16(static_cast<uint16_t>(Pixel(i)));
        return *this;
    }
    static short Pixel(size_t i) { return static_cast<short>(static_cast<int>(i) * 7 - 300); }
    const std::vector<unsigned char>& Bytes() const { return bytes_; }
    std::string Write(const testutil::TempDir& dir, const std::string& name) const
    {
        const std::string path = dir.file(name);
        testutil::WriteFile(path, bytes_);
        return path;
    }

private:
    void Put16(uint16_t v)
    {
        bytes_.push_back(uint8_t(v & 0xFF));
        bytes_.push_back(uint8_t(v >> 8));
    }
    std::vector<unsigned char> bytes_;
};

template <class T>
std::string ErrorOf(Slice<T>& s, const std::string& path, int* result = nullptr)
{
    try {
        const int r = s.ReadDICOMFile(path.c_str(), 0, nullptr);
        if (result) *result = r;
    } catch (const ecError& e) {
        return e.what();
    }
    return "";
}

uint64_t Hash(const std::vector<unsigned char>& v) { return testutil::Fnv1a64(v.data(), v.size()); }
uint64_t Hash(const std::vector<short>& v) { return testutil::Fnv1a64Le16(v.data(), v.size()); }

struct TableRow {
    std::string file, type;
    int rows = 0, cols = 0;
    std::string fnv;
    long long sum = 0;
    int valid = 0;
    std::string spacing, thickness;  // "-" when the file has none
    std::vector<std::pair<size_t, long>> samples;
};

std::vector<TableRow> PixelTable(bool bigEndianRows)
{
    std::ifstream in(SliceData("pixel_table.txt"));
    std::vector<TableRow> rows;
    std::string line;
    const std::string bigTag = "# big-endian: ";
    while (std::getline(in, line)) {
        if (line.compare(0, bigTag.size(), bigTag) == 0) {
            if (!bigEndianRows) continue;
            line = line.substr(bigTag.size());
        } else if (line.empty() || line[0] == '#' || bigEndianRows) {
            continue;
        }
        std::istringstream ls(line);
        TableRow r;
        ls >> r.file >> r.type >> r.rows >> r.cols >> r.fnv >> r.sum >> r.valid >> r.spacing >> r.thickness;
        std::string sample;
        while (ls >> sample) {
            const size_t colon = sample.find(':');
            r.samples.emplace_back(std::stoul(sample.substr(0, colon)), std::stol(sample.substr(colon + 1)));
        }
        rows.push_back(r);
    }
    return rows;
}

template <class T>
void CheckPixels(const TableRow& row, const std::vector<T>& px)
{
    ASSERT_EQ(px.size(), static_cast<size_t>(row.rows) * row.cols) << row.file;
    char fnv[17];
    std::snprintf(fnv, sizeof fnv, "%016llx", static_cast<unsigned long long>(Hash(px)));
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
    ASSERT_EQ(s.ReadDICOMFile(SliceData(row.file).c_str(), 0, nullptr), 1) << row.file;
    EXPECT_EQ(s.GetNumRows(), row.rows) << row.file;
    EXPECT_EQ(s.GetNumCols(), row.cols) << row.file;
    EXPECT_TRUE(s.RowTableFits());
    EXPECT_TRUE(s.OwnsData());
    CheckPixels(row, s.Pixels());
    const ecRawHeaderInfo& h = s.Hdr();
    EXPECT_EQ(h.bIsValid, row.valid != 0) << row.file;
    if (row.spacing != "-") {
        EXPECT_NEAR(h.fSizePix, std::stod(row.spacing), 1e-6) << row.file;
    }
    if (row.thickness != "-") {
        EXPECT_NEAR(h.fSliceThickness, std::stod(row.thickness), 1e-6) << row.file;
    }
    EXPECT_EQ(h.iNumPix, row.cols);
    EXPECT_EQ(h.iNumPixY, row.rows);
    EXPECT_EQ(h.DataType, static_cast<int>(GetBaseDataType(T())));
    EXPECT_EQ(h.FileType, ecRawHeaderInfo().FileType);
}

// Reads a little-endian NEMA file with the element reader, which leaves the
// process-wide byte order little-endian again.
void ResetByteOrderToLittleEndian()
{
    testutil::TempDir dir;
    Stream s;  // opens with (0008,0000) of length 4, as NEMA files do
    std::vector<unsigned char> bytes = {0x08, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0};
    bytes.insert(bytes.end(), s.Bytes().begin(), s.Bytes().end());
    const std::vector<unsigned char> tail = Stream().Size(8, 8).Pixels16(64).Bytes();
    bytes.insert(bytes.end(), tail.begin() + 132, tail.end());
    testutil::WriteFile(dir.file("le.dcm"), bytes);
    ecRawHeaderInfo h;
    ASSERT_EQ(read_dicom_data_raw_header(dir.file("le.dcm").c_str(), &h, nullptr, 0), 1);
}

}  // namespace

TEST(DicomSliceLoading, PixelsEqualPydicom)
{
    const std::vector<TableRow> table = PixelTable(false);
    ASSERT_GE(table.size(), 6u);
    for (const TableRow& row : table) {
        if (row.type == "uchar")
            ReadAndCheck<unsigned char>(row);
        else
            ReadAndCheck<short>(row);
    }
}

TEST(DicomSliceLoading, PydicomFixtureWithSiemensPrivateValues)
{
    // Image number 7 is present, so (0021,1020) = 17 is not used; there is no
    // slice spacing, so (0021,1221) = 5.5 is. The orientation is sagittal.
    Slice<unsigned char> s;
    ASSERT_EQ(s.ReadDICOMFile(SliceData("synthetic_8bit_37x23.dcm").c_str(), 0, nullptr), 1);
    EXPECT_EQ(s.Hdr().iImageNum, 7);
    EXPECT_DOUBLE_EQ(s.Hdr().fSliceSpacing, 5.5);
    EXPECT_EQ(s.Hdr().ImagePlane, SliceSagittal);
    EXPECT_EQ(s.Hdr().PlaneType, SliceCoronal);
}

TEST(DicomSliceLoading, BigEndianPixelsFollowTheElementReadersByteOrder)
{
    const std::vector<TableRow> big = PixelTable(true);
    ASSERT_EQ(big.size(), 1u);
    const std::string bigPath = SliceData(big[0].file);

    // The element reader finds big-endian data; the pixel read then swaps.
    ecRawHeaderInfo h;
    long offset = 0;
    ASSERT_EQ(read_dicom_data_raw_header(bigPath.c_str(), &h, &offset, 0), 1);
    ASSERT_EQ(h.iNumPix, 64);
    Slice<short> s;
    s.SetCounts(h.iNumPixY, h.iNumPix);
    FILE* fp = std::fopen(bigPath.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    ASSERT_EQ(std::fseek(fp, offset, SEEK_SET), 0);
    EXPECT_EQ(s.ReadDICOM_Image(fp, 64 * 64, 0, nullptr), 1);
    CheckPixels(big[0], s.Pixels());

    // The whole-slice reader does not run the element reader: the byte order
    // last found applies to a little-endian file too.
    Slice<short> swapped;
    ASSERT_EQ(swapped.ReadDICOMFile(SliceData("mr_small_nema.dcm").c_str(), 0, nullptr), 1);
    std::vector<short> px = swapped.Pixels();
    SwapBytePairs(px.data(), px.size() * 2);
    CheckPixels(big[0], px);

    ResetByteOrderToLittleEndian();
    Slice<short> plain;
    ASSERT_EQ(plain.ReadDICOMFile(SliceData("mr_small_nema.dcm").c_str(), 0, nullptr), 1);
    CheckPixels(big[0], plain.Pixels());
}

TEST(DicomSliceLoading, HalfSizeReadEqualsDecimateForEvenAndOddSizes)
{
    struct Case {
        const char* file;
        int rows, cols;
    };
    for (const Case c : {Case{"synthetic_16bit_40x48.dcm", 40, 48}, Case{"synthetic_8bit_37x23.dcm", 37, 23}}) {
        SCOPED_TRACE(c.file);
        const bool bytes = c.cols % 2 == 1;  // the odd fixture is the 8-bit one
        const size_t pixSize = bytes ? 1 : 2;
        const std::string path = SliceData(c.file);
        const long offset = static_cast<long>(testutil::ReadFile(path).size() - c.rows * c.cols * pixSize);
        auto run = [&](auto tag, bool withHeader) {
            using T = decltype(tag);
            Slice<T> full;
            ASSERT_EQ(full.ReadDICOMFile(path.c_str(), 0, nullptr), 1);
            std::vector<T> src = full.Pixels();
            std::vector<T> expected(static_cast<size_t>(c.rows / 2) * (c.cols / 2));
            ASSERT_EQ(full.Decimate(src.data(), c.rows, c.cols, expected.data(), c.rows / 2, c.cols / 2, 2, 0), 1);

            Slice<T> half;
            if (withHeader) {  // a header record describing the full-size image
                half.HdrPtr() = new ecRawHeaderInfo(full.Hdr());
            }
            half.SetCounts(c.rows / 2, c.cols / 2);
            FILE* fp = std::fopen(path.c_str(), "rb");
            ASSERT_NE(fp, nullptr);
            std::fseek(fp, offset, SEEK_SET);
            ASSERT_EQ(half.ReadDICOM_Image(fp, static_cast<unsigned long>(c.rows * c.cols), 0x10000, nullptr), 1);
            EXPECT_EQ(half.Pixels(), expected) << (withHeader ? "with header" : "without header");
            EXPECT_TRUE(half.RowTableFits());
        };
        for (bool withHeader : {true, false}) {
            if (bytes)
                run((unsigned char)0, withHeader);
            else
                run((short)0, withHeader);
        }
    }

    // A full-size image of fewer than 8 rows is refused by the halving.
    testutil::TempDir dir;
    const std::string small = Stream().Geometry(6, 8).Pixels16(48).Write(dir, "small.dcm");
    Slice<short> s;
    s.SetCounts(3, 4);
    FILE* fp = std::fopen(small.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    std::fseek(fp, -96, SEEK_END);
    EXPECT_EQ(s.ReadDICOM_Image(fp, 48, 0x10000, nullptr), -51);
    EXPECT_TRUE(s.Pixels().empty());
}

TEST(DicomSliceLoading, ImageNumbersAndTheirSiemensStandIns)
{
    testutil::TempDir dir;
    const struct {
        std::vector<std::string> numbers;
        int expected;
    } cases[] = {{{"512"}, 512}, {{"513"}, 0}, {{"-1"}, 0}, {{"0"}, 0}, {{"12", "513"}, 0}, {{"513", "12"}, 12}};
    for (const auto& c : cases) {
        Stream st;
        for (const std::string& n : c.numbers) st.Text(0x0020, 0x0013, n);
        const std::string path = st.Geometry(8, 8).Pixels16(64).Write(dir, "n.dcm");
        Slice<short> s;
        ASSERT_EQ(s.ReadDICOMFile(path.c_str(), 0, nullptr), 1);
        EXPECT_EQ(s.Hdr().iImageNum, c.expected) << c.numbers.back();
    }

    // No image number: (0021,1020) gives it; no spacing: (0021,1221) gives it.
    const std::string extra =
        Stream().Text(0x0021, 0x1020, "17").Text(0x0021, 0x1221, "5.5").Geometry(8, 8).Pixels16(64).Write(dir, "x.dcm");
    Slice<short> s;
    ASSERT_EQ(s.ReadDICOMFile(extra.c_str(), 0, nullptr), 1);
    EXPECT_EQ(s.Hdr().iImageNum, 17);
    EXPECT_DOUBLE_EQ(s.Hdr().fSliceSpacing, 5.5);

    // An out-of-range image number does not count as found either.
    const std::string both =
        Stream().Text(0x0020, 0x0013, "900").Text(0x0021, 0x1020, "17").Geometry(8, 8).Pixels16(64).Write(dir, "y.dcm");
    ASSERT_EQ(s.ReadDICOMFile(both.c_str(), 0, nullptr), 1);
    EXPECT_EQ(s.Hdr().iImageNum, 17);
    EXPECT_EQ(s.Hdr().fSliceSpacing, ecRawHeaderInfo().fSliceSpacing);  // no gap in this file
}

TEST(DicomSliceLoading, HeaderValuesAndValidity)
{
    testutil::TempDir dir;
    Slice<short> s;

    // Complete geometry, no orientation: valid and axial.
    ASSERT_EQ(s.ReadDICOMFile(Stream().Geometry(8, 8).Pixels16(64).Write(dir, "a.dcm").c_str(), 0, nullptr), 1);
    EXPECT_TRUE(s.Hdr().bIsValid);
    EXPECT_EQ(s.Hdr().PlaneType, SliceAxial);
    EXPECT_DOUBLE_EQ(s.Hdr().fSliceThickness, 4.0);
    EXPECT_DOUBLE_EQ(s.Hdr().fSizePix, 0.8);  // a backslash does not separate
    EXPECT_DOUBLE_EQ(s.Hdr().fSizePixY, 0.8);

    // No thickness: pixels are read, the record is not valid, thickness keeps its default.
    const std::string thin = Stream().Size(8, 8).Text(0x0028, 0x0030, std::string("0.5\0 0.6", 8)).Pixels16(64)
                                 .Write(dir, "b.dcm");
    ASSERT_EQ(s.ReadDICOMFile(thin.c_str(), 0, nullptr), 1);
    EXPECT_FALSE(s.Hdr().bIsValid);
    EXPECT_EQ(s.Hdr().fSliceThickness, ecRawHeaderInfo().fSliceThickness);
    EXPECT_DOUBLE_EQ(s.Hdr().fSizePix, 0.5);
    EXPECT_DOUBLE_EQ(s.Hdr().fSizePixY, 0.6);  // the number after the 0 byte
    EXPECT_EQ(s.Pixels()[63], Stream::Pixel(63));

    // Orientation: coronal rows/columns give ImagePlane coronal, PlaneType sagittal.
    const std::string cor =
        Stream().Text(0x0020, 0x0037, "1\\0\\0\\0\\0\\-1").Geometry(8, 8).Pixels16(64).Write(dir, "c.dcm");
    ASSERT_EQ(s.ReadDICOMFile(cor.c_str(), 0, nullptr), 1);
    EXPECT_EQ(s.Hdr().ImagePlane, SliceCoronal);
    EXPECT_EQ(s.Hdr().PlaneType, SliceSagittal);
    EXPECT_TRUE(s.Hdr().bIsValid);

    // The Siemens geometry text gives the matrix only when it precedes the columns.
    std::string text;
    for (int i = 0; i < 13; ++i) text += "f\\";
    text += "16*4\\tail";
    const std::string before = Stream().Text(0x0051, 0x1010, text).Text(0x0018, 0x0050, "1")
                                   .Text(0x0028, 0x0030, "1").Pixels16(64).Write(dir, "d.dcm");
    ASSERT_EQ(s.ReadDICOMFile(before.c_str(), 0, nullptr), 1);
    EXPECT_EQ(s.GetNumCols(), 16);
    EXPECT_EQ(s.GetNumRows(), 4);
    EXPECT_FALSE(s.Hdr().bIsValid);  // values from the text are not marked as found
    const std::string after = Stream().Size(8, 8).Text(0x0051, 0x1010, text).Pixels16(64).Write(dir, "e.dcm");
    ASSERT_EQ(s.ReadDICOMFile(after.c_str(), 0, nullptr), 1);
    EXPECT_EQ(s.GetNumCols(), 8);

    // A part 10 layout: the elements start at byte 132.
    ASSERT_EQ(s.ReadDICOMFile(Stream(true).Geometry(8, 8).Pixels16(64).Write(dir, "f.dcm").c_str(), 0, nullptr), 1);
    EXPECT_TRUE(s.Hdr().bIsValid);
}

TEST(DicomSliceLoading, HostFallbackValues)
{
    testutil::TempDir dir;
    ecDicomSliceFallback& fb = DicomSliceFallback<short>();
    EXPECT_FALSE(fb.bReqValuesAreSet);  // nothing set at load
    fb = {8, SliceCoronal, 4, 16, 2.5f, 1.5f, 0.7f, 0.6f, true};
    // The fallback counts (4 columns, 16 rows) decide the pixels read.
    const std::string noSpacing =
        Stream().Text(0x0020, 0x0013, "3").Text(0x0018, 0x0050, "4").Size(8, 8).Pixels16(64).Write(dir, "a.dcm");
    Slice<short> s;
    ASSERT_EQ(s.ReadDICOMFile(noSpacing.c_str(), 0, nullptr), 1);
    const ecRawHeaderInfo& h = s.Hdr();
    EXPECT_EQ(h.PlaneType, SliceCoronal);
    EXPECT_EQ(h.ImagePlane, SliceCoronal);
    EXPECT_EQ(h.iNumPix, 4);
    EXPECT_EQ(h.iNumPixY, 16);
    EXPECT_EQ(s.GetNumCols(), 4);
    EXPECT_EQ(s.GetNumRows(), 16);
    EXPECT_FLOAT_EQ(static_cast<float>(h.fSliceSpacing), 2.5f);
    EXPECT_FLOAT_EQ(static_cast<float>(h.fSliceThickness), 1.5f);  // replaces the 4 read
    EXPECT_FLOAT_EQ(static_cast<float>(h.fSizePix), 0.7f);
    EXPECT_FLOAT_EQ(static_cast<float>(h.fSizePixY), 0.6f);
    EXPECT_FALSE(h.bIsValid);  // the copy marks nothing as found

    // No image number (and no Siemens stand-in): nothing is copied.
    const std::string noNumber = Stream().Text(0x0018, 0x0050, "4").Size(8, 8).Pixels16(64).Write(dir, "b.dcm");
    ASSERT_EQ(s.ReadDICOMFile(noNumber.c_str(), 0, nullptr), 1);
    EXPECT_EQ(s.Hdr().PlaneType, SliceAxial);
    EXPECT_EQ(s.GetNumCols(), 8);

    // Switched off by the host, or set for another pixel type: nothing is copied.
    ecMriSliceBase::bInferUnsetDicomFields = false;
    ASSERT_EQ(s.ReadDICOMFile(noSpacing.c_str(), 0, nullptr), 1);
    EXPECT_EQ(s.GetNumCols(), 8);
    ecMriSliceBase::bInferUnsetDicomFields = true;
    Slice<unsigned char> bytes;
    ASSERT_EQ(bytes.ReadDICOMFile(noSpacing.c_str(), 0, nullptr), 1);
    EXPECT_EQ(bytes.GetNumCols(), 8);

    fb = ecDicomSliceFallback{};
    EXPECT_FALSE(DicomSliceFallback<short>().bReqValuesAreSet);
}

TEST(DicomSliceLoading, OnlyTheFirst500ElementsAreExamined)
{
    testutil::TempDir dir;
    // The opening element, rows, columns and n fillers (every other one of
    // length 0) come before the pixel element.
    auto file = [&](int fillers) {
        Stream st;
        st.Size(8, 8);
        for (int i = 0; i < fillers; ++i) {
            if (i % 2)
                st.Header(0x0009, 0x1000, 0);
            else
                st.Text(0x0009, 0x1001, "ab");
        }
        return st.Pixels16(64).Write(dir, "e" + std::to_string(fillers) + ".dcm");
    };
    Slice<short> s;
    EXPECT_EQ(s.ReadDICOMFile(file(496).c_str(), 0, nullptr), 1);  // pixel element is the 500th
    EXPECT_EQ(s.GetNumCols(), 8);
    const std::vector<short> before = s.Pixels();
    EXPECT_EQ(s.ReadDICOMFile(file(497).c_str(), 0, nullptr), -1);  // it would be the 501st
    EXPECT_EQ(s.Pixels(), before);  // the slice keeps its pixels and counts
}

TEST(DicomSliceLoading, FailuresGiveTheirErrors)
{
    testutil::TempDir dir;
    Slice<short> s;
    EXPECT_EQ(ErrorOf(s, dir.file("missing.dcm")), "Unable to open file : " + dir.file("missing.dcm"));
    EXPECT_THROW(s.ReadDICOMFile(nullptr, 0, nullptr), ecError);

    std::vector<unsigned char> notNema(200, 0);
    notNema[0] = 0x09;
    testutil::WriteFile(dir.file("g9.dcm"), notNema);
    EXPECT_EQ(ErrorOf(s, dir.file("g9.dcm")), "Unable to identify file :  -4");

    // Lengths that cannot be buffered, or that the file cannot fill.
    const std::string huge = Stream().Size(8, 8).Header(0x0009, 0x0010, 0xFFFFFFFEu).Write(dir, "h1.dcm");
    EXPECT_EQ(ErrorOf(s, huge), "DICOM:Data Element too large ");
    const std::string undefinedLength = Stream().Header(0x0008, 0x1111, 0xFFFFFFFFu).Pixels16(4).Write(dir, "h2.dcm");
    EXPECT_EQ(ErrorOf(s, undefinedLength), "DICOM:Data Element too large ");
    for (uint32_t len : {0xFFFFFFFDu, 0x7FFFFFFFu, 1000u}) {
        Stream st;
        st.Size(8, 8);
        const size_t valueAt = st.Bytes().size() + 8;
        const std::string path = st.Header(0x0010, 0x0010, len).Pixels16(64).Write(dir, "long.dcm");
        char where[16];
        std::snprintf(where, sizeof where, "%zx", valueAt);
        EXPECT_EQ(ErrorOf(s, path), std::string("DICOM:Unable to read data element at ") + where) << len;
    }

    // Missing rows: a pixel count of zero.
    const std::string noRows = Stream().U16(0x0028, 0x0011, 8).Pixels16(64).Write(dir, "r.dcm");
    EXPECT_EQ(ErrorOf(s, noRows), "Short count on image read");
    // A pixel element shorter than rows x columns.
    const std::string shortPixels = Stream().Size(8, 8).Pixels16(63, 128).Write(dir, "p.dcm");
    EXPECT_EQ(ErrorOf(s, shortPixels), "Short count on image read");
    // The header keeps what was read before the failure.
    EXPECT_EQ(s.Hdr().iNumPix, 8);
    EXPECT_TRUE(s.Pixels().empty());
}

TEST(DicomSliceLoading, TruncatedFilesFailCleanlyAtEveryOffset)
{
    testutil::TempDir dir;
    const std::vector<unsigned char> whole = Stream()
                                                 .Text(0x0020, 0x0013, "5")
                                                 .Text(0x0051, 0x1010, "a\\b\\c")
                                                 .Text(0x0020, 0x0037, "0\\1\\0\\0\\0\\-1")
                                                 .Geometry(8, 8)
                                                 .Pixels16(64)
                                                 .Bytes();
    const std::string full = dir.file("full.dcm");
    testutil::WriteFile(full, whole);
    Slice<short> s;
    ASSERT_EQ(s.ReadDICOMFile(full.c_str(), 0, nullptr), 1);
    const std::vector<short> pixels = s.Pixels();
    ASSERT_EQ(pixels.size(), 64u);

    const std::string cut = dir.file("cut.dcm");
    for (size_t n = 0; n < whole.size(); ++n) {
        testutil::WriteFile(cut, std::vector<unsigned char>(whole.begin(), whole.begin() + n));
        int result = 0;
        const std::string msg = ErrorOf(s, cut, &result);
        const bool known = msg.rfind("Unable to identify file : ", 0) == 0 ||
                           msg.rfind("Unable to read header element : ", 0) == 0 ||
                           msg.rfind("DICOM:Unable to read data element at ", 0) == 0 ||
                           msg == "Short count on image read";
        ASSERT_TRUE(known) << "cut at " << n << ": '" << msg << "' result " << result;
        // The slice still holds the pixels of the last good read, with counts to match.
        ASSERT_EQ(s.GetNumRows(), 8) << n;
        ASSERT_EQ(s.GetNumCols(), 8) << n;
        ASSERT_EQ(s.Pixels(), pixels) << n;
    }
}

TEST(DicomSliceLoading, ReplacedPixelBuffersAreNeitherLeakedNorFreedTwice)
{
    testutil::TempDir dir;
    const std::string a = Stream().Geometry(8, 8).Pixels16(64).Write(dir, "a.dcm");
    const std::string b = Stream().Geometry(16, 8).Pixels16(128).Write(dir, "b.dcm");
    auto open = [&](const std::string& path, long pixels) {
        FILE* fp = std::fopen(path.c_str(), "rb");
        std::fseek(fp, -2 * pixels, SEEK_END);
        return fp;
    };

    Slice<short> s;
    ASSERT_EQ(s.ReadDICOMFile(a.c_str(), 0, nullptr), 1);
    ASSERT_EQ(s.ReadDICOMFile(b.c_str(), 0, nullptr), 1);  // the first buffer is released
    EXPECT_EQ(s.GetNumRows(), 16);
    EXPECT_TRUE(s.OwnsData());
    EXPECT_TRUE(s.RowTableFits());

    // A caller's buffer: used, never released by the slice, left alone on a short read.
    std::vector<short> mine(128, 42);
    EXPECT_EQ(s.ReadDICOM_Image(open(b, 128), 128, 0, mine.data()), 1);
    EXPECT_FALSE(s.OwnsData());
    EXPECT_EQ(s.GetPixels(), mine.data());
    EXPECT_EQ(mine[127], Stream::Pixel(127));
    std::vector<short> spare(256, 42);
    FILE* fp = open(b, 128);
    EXPECT_THROW(s.ReadDICOM_Image(fp, 256, 0, spare.data()), ecError);  // asks for more than the file holds
    EXPECT_EQ(spare[0], 42);
    EXPECT_EQ(s.GetPixels(), mine.data());

    // Reading into the slice's own buffer keeps it owned.
    ASSERT_EQ(s.ReadDICOMFile(b.c_str(), 0, nullptr), 1);
    short* own = const_cast<short*>(s.GetPixels());
    EXPECT_EQ(s.ReadDICOM_Image(open(b, 128), 128, 0, own), 1);
    EXPECT_EQ(s.GetPixels(), own);
    EXPECT_TRUE(s.OwnsData());

    // Counts the pixel count cannot fill are refused before anything is read.
    s.SetCounts(16, 16);
    EXPECT_THROW(s.ReadDICOM_Image(open(b, 128), 128, 0, nullptr), ecError);
    s.SetCounts(16, 8);
    EXPECT_EQ(s.GetPixels(), own);
}
