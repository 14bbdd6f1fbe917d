// Whole DICOM and NEMA slices: pixels against pydicom through every entry
// point (the plain slice, the display slice at full and half size, the display
// slice's reading constructor), the element rules of the slice reader, the
// fallbacks, byte order, and bad input.
#include <gtest/gtest.h>

#include <cmath>
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
};

// NEMA style from byte 0 (or part 10 with `preamble`), opening with a group
// 0008 element long enough to pass the 132 bytes the file classification reads.
Elements Stream(bool preamble = false)
{
    Elements e;
    if (preamble) e.bytes.assign(128, 0), e.bytes.insert(e.bytes.end(), {'D', 'I', 'C', 'M'});
    return e.text(0x0008, 0x0016, std::string(124, '1'));
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

// The header record as pydicom's values give it; the display readers fill it
// with the element reader, which also sets the file type and the pixel data
// offset (the pixel data are the file's last bytes).
template <class T>
void CheckRecord(const TableRow& row, const ecRawHeaderInfo& h, bool display)
{
    EXPECT_EQ(h.bIsValid, row.valid != 0) << row.file;
    EXPECT_NEAR(h.fSizePix, row.spacing == "-" ? h.fSizePix : std::stod(row.spacing), 1e-6) << row.file;
    EXPECT_NEAR(h.fSliceThickness, row.thickness == "-" ? h.fSliceThickness : std::stod(row.thickness), 1e-6);
    EXPECT_EQ(h.iNumPix * 1000 + h.iNumPixY, row.cols * 1000 + row.rows) << row.file;
    EXPECT_EQ(h.DataType, static_cast<int>(GetBaseDataType(T())));
    EXPECT_EQ(h.FileType, display ? MriDicom : ecRawHeaderInfo().FileType);
    if (display) {
        EXPECT_EQ(static_cast<size_t>(h.lDataOffset) + sizeof(T) * row.rows * row.cols,
                  testutil::ReadFile(SliceData(row.file)).size());
    }
}

// A plain slice (with `plain`), then a display slice read at full size and at
// half size (the 2 x 2 means, halves rounded away from zero, an odd last row
// or column dropped), each time with a row table over the image's own buffer
// (`shown` is reused from file to file, so that it grows and shrinks), and one
// made by the display slice's reading constructor.
template <class T>
void ReadAndCheck(const TableRow& row, ecMriSliceImg<T>& shown, bool plain)
{
    const std::string path = SliceData(row.file);
    if (plain) {
        Slice<T> s;
        ASSERT_EQ(s.Read(path), 1) << row.file;
        EXPECT_TRUE(s.RowTableFits() && s.OwnsData());
        CheckPixels(row, s.Pixels());
        CheckRecord<T>(row, s.Hdr(), false);
    }
    // A record without thickness or spacing is not enough for a display slice.
    ASSERT_EQ(shown.ReadDICOMFile(path.c_str(), 0, nullptr), row.valid ? 1 : -101) << row.file;
    if (!row.valid) return;
    const std::vector<T> full = testutil::RowsOf(shown);
    CheckPixels(row, full);
    CheckRecord<T>(row, *shown.GetRawHeaderInfo(), true);
    std::vector<T> half;
    for (int r = 0; r + 1 < row.rows; r += 2)
        for (int k = 0; k + 1 < row.cols; k += 2) {
            const T* p = full.data() + r * row.cols + k;
            half.push_back(static_cast<T>(std::lround((p[0] + p[1] + p[row.cols] + p[row.cols + 1]) / 4.0)));
        }
    for (int div : {1, 2}) {
        if (div == 2) {
            ASSERT_EQ(shown.ReadDICOMFile(path.c_str(), 0x10000, nullptr), 1) << row.file;
        }
        EXPECT_EQ(shown.GetNumRows() * 1000 + shown.GetNumCols(), row.rows / div * 1000 + row.cols / div);
        EXPECT_EQ(shown.GetImageHeight() * 1000 + shown.GetImageWidth(), row.rows / div * 1000 + row.cols / div);
        EXPECT_EQ(shown.GetPixels(), shown.GetImagePixels());
        for (int r = 0; r < shown.GetNumRows(); ++r)
            ASSERT_EQ(shown.GetRowPointers()[r], shown.GetPixels() + static_cast<size_t>(r) * shown.GetNumCols());
    }
    EXPECT_TRUE(testutil::RowsOf(shown) == half) << row.file;
    EXPECT_EQ(shown.GetRawHeaderInfo()->iNumPixY, row.rows);  // the record keeps the file's size

    ecMriSliceImg<T> made(path.c_str(), MriDicom, nullptr, 0, nullptr);
    CheckPixels(row, testutil::RowsOf(made));
    CheckRecord<T>(row, *made.GetRawHeaderInfo(), true);

    // The factory's display slice: the depth probe's header read and the
    // slice's own share one open file.
    std::unique_ptr<ecMriSliceBase> byFactory(ReadMriSlice(path.c_str(), MriDicom, nullptr, true, 0));
    const auto* f = dynamic_cast<const ecMriSliceImg<T>*>(byFactory.get());
    ASSERT_NE(f, nullptr) << row.file;
    CheckPixels(row, testutil::RowsOf(*f));
    CheckRecord<T>(row, *f->GetRawHeaderInfo(), true);
}

}  // namespace

TEST_F(DicomSliceLoading, EveryEntryPointGivesPydicomsPixels)
{
    const std::vector<TableRow> table = PixelTable(false), big = PixelTable(true);
    ASSERT_GE(table.size(), 6u);
    ecMriSliceImg<short> shown16;
    ecMriSliceImg<unsigned char> shown8;
    for (const TableRow& row : table) {
        if (row.type == "uchar") ReadAndCheck(row, shown8, true);
        else ReadAndCheck(row, shown16, true);
    }
    // The display readers run the element reader, so they read the big-endian
    // file in its own order.
    ASSERT_EQ(big.size(), 1u);
    ReadAndCheck(big[0], shown16, false);

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
