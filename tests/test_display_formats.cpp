// Display slices of the scanner formats: the factory's choice of pixel type
// for DICOM and Signa files, display DICOM reads at full and half size, and
// display and plain slices of one file agreeing in pixels and header record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Quarn.h"
#include "RecordUtil.h"
#include "ScannerFileWriter.h"
#include "TestUtil.h"

using testutil::DataPath;

namespace {

std::string SliceData(const std::string& name) { return DataPath("dicom_slices/" + name); }
std::string Sample(const std::string& name) { return std::string(QUARN_SOURCE_DIR) + "/samples/" + name; }

// What pydicom reads from a file of dicom_slices/ (its pixel_table.txt): the
// FNV-1a 64 of the pixels, as text.
std::string PydicomHash(const std::string& file)
{
    std::ifstream in(SliceData("pixel_table.txt"));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string name, type, hash;
        int rows = 0, cols = 0;
        if (ls >> name >> type >> rows >> cols >> hash && name == file) return hash;
    }
    return "<not in the table>";
}

template <class T>
std::vector<T> PixelsOf(const ecMriSlice<T>& s)
{
    std::vector<T> v;
    for (int r = 0; r < s.GetNumRows(); ++r)
        v.insert(v.end(), s.GetRowPointers()[r], s.GetRowPointers()[r] + s.GetNumCols());
    return v;
}

std::string HashText(const std::vector<unsigned char>& v)
{
    char b[17];
    std::snprintf(b, sizeof b, "%016llx", static_cast<unsigned long long>(testutil::Fnv1a64(v.data(), v.size())));
    return b;
}
std::string HashText(const std::vector<short>& v)
{
    char b[17];
    std::snprintf(b, sizeof b, "%016llx", static_cast<unsigned long long>(testutil::Fnv1a64Le16(v.data(), v.size())));
    return b;
}

// Every field of a header record, or "<none>".
std::string Fields(const ecRawHeaderInfo* h)
{
    if (!h) return "<none>";
    std::string s = StringPrintf("%d%d%d%d%d%d%d %d|%d %d %d %d|%d %d %d %d|%.17g %.17g %.17g %.17g %.17g|%ld|",
                                 h->bIsValid, h->bEvaluated, h->bDefaults, h->bFlag7, h->bFlag8, h->bFlag9,
                                 h->bFlag10, h->iFlagCode, h->iNumPix, h->iNumPixY, h->iImageNum, h->iNumFrames,
                                 int(h->PlaneType), int(h->ImagePlane), h->DataType, int(h->FileType), h->fSizePix,
                                 h->fSizePixY, h->fSliceThickness, h->fSliceSpacing, h->fAttenFact, h->lDataOffset);
    for (int32_t v : h->iSpare) s += std::to_string(v) + " ";
    return s;
}

// What the factory gives: the kind and pixel type of the slice, "<null>",
// or the message of the error that left it.
std::string FactoryResult(const std::string& name, MriFileType type, ecRawHeaderInfo* hdr, bool display)
{
    std::unique_ptr<ecMriSliceBase> s;
    try {
        s.reset(ReadMriSlice(name.c_str(), type, hdr, display, 0));
    } catch (const ecError& e) {
        return e.what();
    }
    if (!s) return "<null>";
    if (dynamic_cast<ecMriSliceImg<unsigned char>*>(s.get())) return "display uchar";
    if (dynamic_cast<ecMriSliceImg<short>*>(s.get())) return "display short";
    if (dynamic_cast<ecMriSliceImg<float>*>(s.get())) return "display float";
    if (dynamic_cast<ecMriSlice<unsigned char>*>(s.get())) return "plain uchar";
    if (dynamic_cast<ecMriSlice<short>*>(s.get())) return "plain short";
    return "plain float";
}

std::string RawMessage(const std::string& name, int status)
{
    return "? Unable to open raw mri file <" + name + "> status = " + std::to_string(status);
}

// An 8-bit Signa file of 16 x 16 pixels 0, 1, ..., 255.
std::string WriteSigna8(const testutil::TempDir& dir)
{
    scanfiles::SignaFile f;
    f.depth = 8;
    for (int i = 0; i < 256; ++i) f.pixels.push_back(i);
    const std::string path = dir.file("depth8.imgf");
    testutil::WriteFile(path, f.Build());
    return path;
}

// Reads `name` into a plain slice with `read` and through the display slice's
// reading constructor, and expects the same pixels, header and information.
// The display slice's DICOM reader fills its record with the element reader
// (which also sets the file type and the pixel data offset and reads the
// slice spacing element); the plain slice's own element walk sets neither and
// takes the spacing only from the Siemens private gap. Their records agree in
// everything else.
std::string DicomFieldsBothReadersSet(const ecRawHeaderInfo* h)
{
    if (!h) return "<none>";
    ecRawHeaderInfo copy(*h);
    copy.FileType = MriNone;
    copy.lDataOffset = 0;
    copy.fSliceSpacing = 0;
    return Fields(&copy);
}

template <class T, class Read>
void ExpectDisplayEqualsPlain(const std::string& name, MriFileType type, Read read)
{
    SCOPED_TRACE(name);
    ecMriSlice<T> plain;
    ASSERT_EQ(read(plain), 1);
    std::unique_ptr<ecMriSliceImg<T>> shown;
    ASSERT_NO_THROW(shown.reset(new ecMriSliceImg<T>(name.c_str(), type, nullptr, 0, nullptr)));
    ASSERT_GT(plain.GetNumRows() * plain.GetNumCols(), 0);
    EXPECT_EQ(shown->GetNumRows(), plain.GetNumRows());
    EXPECT_EQ(shown->GetNumCols(), plain.GetNumCols());
    EXPECT_TRUE(PixelsOf(*shown) == PixelsOf(plain));
    if (type == MriDicom) {
        EXPECT_EQ(DicomFieldsBothReadersSet(shown->GetRawHeaderInfo()),
                  DicomFieldsBothReadersSet(plain.GetRawHeaderInfo()));
        EXPECT_EQ(shown->GetRawHeaderInfo()->FileType, MriDicom);
        // The pixel data are the file's last bytes.
        EXPECT_EQ(static_cast<size_t>(shown->GetRawHeaderInfo()->lDataOffset),
                  testutil::ReadFile(name).size() - PixelsOf(plain).size() * sizeof(T));
    } else {
        EXPECT_EQ(Fields(shown->GetRawHeaderInfo()), Fields(plain.GetRawHeaderInfo()));
    }
    const ecMriSliceInformation* a = plain.GetSliceInformation();
    const ecMriSliceInformation* b = shown->GetSliceInformation();
    EXPECT_EQ(a ? a->Ascii(0) : "<none>", b ? b->Ascii(0) : "<none>");
    // One buffer, seen by the image part and the slice.
    EXPECT_EQ(shown->GetImagePixels(), shown->GetPixels());
    EXPECT_EQ(shown->GetImageWidth(), plain.GetNumCols());
    EXPECT_EQ(shown->GetImageHeight(), plain.GetNumRows());
}

}  // namespace

TEST(DisplayFormats, DicomFactoryChoosesThePixelTypeByDepth)
{
    testutil::TempDir dir;
    const std::string u8 = SliceData("synthetic_8bit_37x23.dcm"), s16 = SliceData("mr_small_nema.dcm");
    const std::string incomplete = SliceData("synthetic_16bit_40x48.dcm");  // no slice thickness
    const std::string depth32 = DataPath("dicom/pydicom/rtdose_1frame.dcm");  // 32 bits allocated
    const std::string missing = dir.file("missing.dcm"), empty = dir.file("empty.dcm");
    testutil::WriteFile(empty, {});
    const std::string notDicom = Sample("siemens/ramp.ima");
    ASSERT_EQ(FindDICOM_PixelDepth(u8.c_str(), nullptr), 8);
    ASSERT_EQ(FindDICOM_PixelDepth(s16.c_str(), nullptr), 16);

    // Display slices: the probe's depth gives the pixel type; the pixels are
    // pydicom's, from big-endian files too.
    for (const std::string& name : {u8, s16, SliceData("mr_small_nema_bigendian.dcm")}) {
        SCOPED_TRACE(name);
        std::unique_ptr<ecMriSliceBase> base(ReadMriSlice(name.c_str(), MriDicom, nullptr, true, 0));
        if (name == u8) {
            auto* s = dynamic_cast<ecMriSliceImg<unsigned char>*>(base.get());
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(HashText(PixelsOf(*s)), PydicomHash("synthetic_8bit_37x23.dcm"));
        } else {
            auto* s = dynamic_cast<ecMriSliceImg<short>*>(base.get());
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(HashText(PixelsOf(*s)), PydicomHash("mr_small_nema.dcm"));
        }
    }
    // A given record plays no part in a DICOM read.
    ecRawHeaderInfo h8 = testutil::RawRecord(23, 37, 105), h16 = testutil::RawRecord(64, 64, 98);
    EXPECT_EQ(FactoryResult(s16, MriDicom, &h8, true), "display short");
    // The constructor's errors leave the factory.
    EXPECT_EQ(FactoryResult(incomplete, MriDicom, nullptr, true),
              "ecMriSliceImg:Error opening DICOM file <" + incomplete + "> -101");
    // A file that cannot be opened gives the probe's -1, so no slice.
    EXPECT_EQ(FactoryResult(missing, MriDicom, nullptr, true), "<null>");
    // The probe's own errors (a depth no slice takes, files that are not
    // DICOM) are not caught, whichever kind of slice was asked for.
    for (bool display : {true, false}) {
        EXPECT_EQ(FactoryResult(depth32, MriDicom, &h16, display), "DICOM:Bad bytes_per_pixel : 32");
        EXPECT_EQ(FactoryResult(empty, MriDicom, &h16, display), "read16 : short read");
        EXPECT_EQ(FactoryResult(notDicom, MriDicom, &h16, display),
                  "read_dicom_data_raw_header : Not a proper DICOM part 10 file.");
    }

    // Plain slices read raw files only: the 16-bit attempt's error is caught
    // and only an 8-bit answer of the probe tries again, with its error
    // reaching the caller.
    EXPECT_EQ(FactoryResult(u8, MriDicom, &h8, false), RawMessage(u8, -15));
    EXPECT_EQ(FactoryResult(u8, MriDicom, nullptr, false), RawMessage(u8, -1));
    for (const std::string& name : {s16, incomplete, missing})
        EXPECT_EQ(FactoryResult(name, MriDicom, &h16, false), "<null>") << name;
}

TEST(DisplayFormats, SignaFactoryChoosesThePixelTypeByDepth)
{
    testutil::TempDir dir;
    const std::string s16 = DataPath("genesis/c_vf1122.fre"), u8 = WriteSigna8(dir);
    ASSERT_EQ(FindSigna_PixelDepth(u8.c_str()), 8);
    {
        std::unique_ptr<ecMriSliceBase> base(ReadMriSlice(u8.c_str(), MriSigna, nullptr, true, 0));
        auto* s = dynamic_cast<ecMriSliceImg<unsigned char>*>(base.get());
        ASSERT_NE(s, nullptr);
        const std::vector<unsigned char> px = PixelsOf(*s);
        ASSERT_EQ(px.size(), 256u);
        for (int i = 0; i < 256; ++i) EXPECT_EQ(px[static_cast<size_t>(i)], i);
        EXPECT_EQ(s->GetMaxVal(), 255);
    }
    EXPECT_EQ(FactoryResult(s16, MriSigna, nullptr, true), "display short");
    // The plain slices of both depths are made, and their raw reader refuses the type.
    ecRawHeaderInfo h8 = testutil::RawRecord(16, 16, 105), h16 = testutil::RawRecord(512, 512, 98);
    EXPECT_EQ(FactoryResult(u8, MriSigna, &h8, false), RawMessage(u8, -15));
    EXPECT_EQ(FactoryResult(s16, MriSigna, &h16, false), RawMessage(s16, -15));
    // Any other probe answer gives nothing, for both kinds.
    scanfiles::SignaFile twelve;
    twelve.depth = 12;
    const std::string odd = dir.file("depth12.imgf");
    testutil::WriteFile(odd, twelve.Build());
    for (bool display : {true, false})
        for (const std::string& name : {odd, DataPath("ge_other/I.001"), dir.file("missing.imgf")})
            EXPECT_EQ(FactoryResult(name, MriSigna, &h16, display), "<null>") << name << " " << display;
}

TEST(DisplayFormats, DicomReadIntoADisplaySliceAtFullAndHalfSize)
{
    struct Case {
        const char* file;
        int rows, cols;
    };
    for (const Case c : {Case{"mr_small_nema.dcm", 64, 64}, Case{"synthetic_8bit_37x23.dcm", 37, 23}}) {
        SCOPED_TRACE(c.file);
        const std::string path = SliceData(c.file);
        auto run = [&](auto tag) {
            using T = decltype(tag);
            ecMriSlice<T> plain;
            ASSERT_EQ(plain.ReadDICOMFile(path.c_str(), 0, nullptr), 1);
            std::vector<T> full = PixelsOf(plain);

            ecMriSliceImg<T> shown;
            ASSERT_EQ(shown.ReadDICOMFile(path.c_str(), 0, nullptr), 1);
            EXPECT_TRUE(PixelsOf(shown) == full);
            // The row table has a row for each of the file's rows, over the image's buffer.
            ASSERT_EQ(shown.GetNumRows(), c.rows);
            for (int r = 0; r < c.rows; ++r) EXPECT_EQ(shown.GetRowPointers()[r], shown.GetPixels() + r * c.cols);
            EXPECT_EQ(shown.GetPixels(), shown.GetImagePixels());

            // Half size: the 2 x 2 means, as the plain slice's halving gives them.
            std::vector<T> expected(static_cast<size_t>(c.rows / 2) * (c.cols / 2));
            ASSERT_EQ(plain.Decimate(full.data(), c.rows, c.cols, expected.data(), c.rows / 2, c.cols / 2, 2, 0), 1);
            ecMriSliceImg<T> half;
            ASSERT_EQ(half.ReadDICOMFile(path.c_str(), 0x10000, nullptr), 1);
            EXPECT_EQ(half.GetNumRows(), c.rows / 2);
            EXPECT_EQ(half.GetNumCols(), c.cols / 2);
            EXPECT_TRUE(PixelsOf(half) == expected);
            EXPECT_EQ(half.GetImageWidth(), c.cols / 2);
            EXPECT_EQ(half.GetImagePixels(), half.GetPixels());
            // The header record keeps the file's size.
            EXPECT_EQ(half.GetRawHeaderInfo()->iNumPixY, c.rows);

            // The same slices read again at the other size.
            ASSERT_EQ(half.ReadDICOMFile(path.c_str(), 0, nullptr), 1);
            EXPECT_TRUE(PixelsOf(half) == full);
            ASSERT_EQ(shown.ReadDICOMFile(path.c_str(), 0x10000, nullptr), 1);
            EXPECT_TRUE(PixelsOf(shown) == expected);
        };
        if (c.cols == 23)
            run((unsigned char)0);
        else
            run((short)0);
    }

    // A larger file after a smaller one, and back: the row table follows the
    // file (the sanitizer build sees a table that is too short).
    ecMriSliceImg<short> s;
    const std::string big = SliceData("dicom-sc_cs-1.dcm"), small = SliceData("mr_small_nema.dcm");
    for (const std::string& name : {small, big, small}) {
        ASSERT_EQ(s.ReadDICOMFile(name.c_str(), 0, nullptr), 1) << name;
        const int rows = s.GetRawHeaderInfo()->iNumPixY, cols = s.GetRawHeaderInfo()->iNumPix;
        ASSERT_EQ(s.GetNumRows(), rows);
        ASSERT_EQ(s.GetNumCols(), cols);
        EXPECT_EQ(s.GetImageHeight(), rows);
        short* const* table = s.GetRowPointers();
        for (int r = 0; r < rows; ++r) {
            ASSERT_EQ(table[r], s.GetPixels() + static_cast<size_t>(r) * cols) << name << " row " << r;
            table[r][cols - 1] = 1;  // each row is writable to its end
        }
    }
}

TEST(DisplayFormats, DicomReadsThatCannotStartGiveMinus101)
{
    testutil::TempDir dir;
    // The element reader cannot open the file (its -1, minus 100), and a header without slice thickness.
    for (const std::string& name : {dir.file("missing.dcm"), SliceData("synthetic_16bit_40x48.dcm")}) {
        ecMriSliceImg<short> s;
        EXPECT_EQ(s.ReadDICOMFile(name.c_str(), 0, nullptr), -101) << name;
        EXPECT_EQ(s.GetPixels(), nullptr);
        EXPECT_EQ(s.GetRowPointers(), nullptr);
    }
    // A slice that holds pixels keeps them.
    ecMriSliceImg<short> s;
    ASSERT_EQ(s.ReadDICOMFile(SliceData("mr_small_nema.dcm").c_str(), 0, nullptr), 1);
    const std::vector<short> before = PixelsOf(s);
    EXPECT_EQ(s.ReadDICOMFile(SliceData("synthetic_16bit_40x48.dcm").c_str(), 0, nullptr), -101);
    EXPECT_EQ(s.GetNumRows(), 64);
    EXPECT_TRUE(PixelsOf(s) == before);
}

TEST(DisplayFormats, ACutPixelBlockLeavesAFreshDisplaySliceZero)
{
    // The header is whole, the pixel block (64 x 64 shorts at the end of the
    // file, given pixels unlike the original's) lacks its last 100 bytes: the
    // read throws, and the storage it set up holds zeros, not the part it read.
    testutil::TempDir dir;
    std::vector<unsigned char> bytes = testutil::ReadFile(SliceData("mr_small_nema.dcm"));
    const size_t block = 64 * 64 * sizeof(short);
    ASSERT_GT(bytes.size(), block + 200);
    for (size_t i = bytes.size() - block; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 1);
    bytes.resize(bytes.size() - 100);
    const std::string cut = dir.file("cut.dcm");
    testutil::WriteFile(cut, bytes);
    ecMriSliceImg<short> s;
    try {
        s.ReadDICOMFile(cut.c_str(), 0, nullptr);
        ADD_FAILURE() << "a cut pixel block was read";
    } catch (const ecError& e) {
        EXPECT_STREQ(e.what(), "Short count on image read");
    }
    ASSERT_NE(s.GetPixels(), nullptr);
    const std::vector<short> pixels = PixelsOf(s);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), short(0)), static_cast<long>(pixels.size()));

    // A slice that already shows an image of the same size keeps it whole:
    // the cut file is refused before any of its pixels is written.
    ASSERT_EQ(s.ReadDICOMFile(SliceData("mr_small_nema.dcm").c_str(), 0, nullptr), 1);
    const std::vector<short> before = PixelsOf(s);
    EXPECT_THROW(s.ReadDICOMFile(cut.c_str(), 0, nullptr), ecError);
    EXPECT_TRUE(PixelsOf(s) == before);
}

TEST(DisplayFormats, DisplayAndPlainSlicesOfOneFileAgree)
{
    // DICOM and NEMA files the plain slice's implicit little-endian walk reads.
    auto dicom = [](auto& s, const std::string& name) { return s.ReadDICOMFile(name.c_str(), 0, nullptr); };
    for (const std::string& name : {SliceData("mr_small_nema.dcm"), SliceData("mr_small_preamble.dcm"),
                                    SliceData("dicom-sc_cs-1.dcm"), Sample("dicom/acr_nema_ramp.img")})
        ExpectDisplayEqualsPlain<short>(name, MriDicom, [&](ecMriSlice<short>& s) { return dicom(s, name); });
    const std::string u8 = SliceData("synthetic_8bit_37x23.dcm");
    ExpectDisplayEqualsPlain<unsigned char>(u8, MriDicom, [&](ecMriSlice<unsigned char>& s) { return dicom(s, u8); });

    // Signa files of both depths.
    testutil::TempDir dir;
    const std::string signa8 = WriteSigna8(dir);
    for (const std::string& name : {DataPath("genesis/c_vf1122.fre"), Sample("ge/ramp.imgf")})
        ExpectDisplayEqualsPlain<short>(name, MriSigna, [&](ecMriSlice<short>& s) {
            return s.GetSignaFile(name.c_str(), 0, nullptr);
        });
    ExpectDisplayEqualsPlain<unsigned char>(signa8, MriSigna, [&](ecMriSlice<unsigned char>& s) {
        return s.GetSignaFile(signa8.c_str(), 0, nullptr);
    });

    // Siemens.
    const std::string siemens = Sample("siemens/ramp.ima");
    ExpectDisplayEqualsPlain<short>(siemens, MriSiemens, [&](ecMriSlice<short>& s) {
        return s.GetSiemensFile(siemens.c_str(), 0, nullptr);
    });

    // Genesis, whose reader turns the stored values into the slice's pixel
    // type (answering 1 when the slice holds the image): 16-bit files into
    // short and float slices, an 8-bit one (compressed and packed, written
    // by tests/make_genesis_fixtures.py) into 8-bit slices.
    const std::string cmd =
        "/usr/bin/python3 '" QUARN_SOURCE_DIR "/tests/make_genesis_fixtures.py' '" + dir.path() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    SetGEMTempDirectory(dir.path().c_str());
    const auto gem = [](auto& s, const std::string& name) { return s.ReadGEMFile(name.c_str(), nullptr); };
    for (const std::string& name : {DataPath("genesis/c_vf1211.fre"), Sample("ge/ramp.imgf")}) {
        ExpectDisplayEqualsPlain<short>(name, MriGenesis, [&](ecMriSlice<short>& s) { return gem(s, name); });
        ExpectDisplayEqualsPlain<float>(name, MriGenesis, [&](ecMriSlice<float>& s) { return gem(s, name); });
    }
    const std::string gem8 = dir.file("gem_4_8.fre");
    ExpectDisplayEqualsPlain<unsigned char>(gem8, MriGenesis,
                                            [&](ecMriSlice<unsigned char>& s) { return gem(s, gem8); });
    SetGEMTempDirectory(nullptr);
}
