// Display slices of the scanner formats: DICOM reads at full and half size, and
// display and plain slices of one file agreeing in pixels and header record
// (Genesis display slices are checked against the written images in the
// Genesis tests).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Quarn.h"
#include "ScannerFileWriter.h"
#include "TestUtil.h"

using testutil::DataPath;

namespace {

std::string SliceData(const std::string& name) { return DataPath("dicom_slices/" + name); }
std::string Sample(const std::string& name) { return std::string(QUARN_SOURCE_DIR) + "/samples/" + name; }

template <class T>
std::vector<T> PixelsOf(const ecMriSlice<T>& s)
{
    std::vector<T> v;
    for (int r = 0; r < s.GetNumRows(); ++r)
        v.insert(v.end(), s.GetRowPointers()[r], s.GetRowPointers()[r] + s.GetNumCols());
    return v;
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

            // Half size: the 2 x 2 means, halves rounded away from zero (an odd last row or column dropped).
            std::vector<T> expected;
            for (int r = 0; r + 1 < c.rows; r += 2)
                for (int k = 0; k + 1 < c.cols; k += 2) {
                    const T* p = full.data() + r * c.cols + k;
                    expected.push_back(static_cast<T>(std::lround((p[0] + p[1] + p[c.cols] + p[c.cols + 1]) / 4.0)));
                }
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

    // The same image stored big-endian gives the same pixels.
    ecMriSliceImg<short> little, swapped;
    ASSERT_EQ(little.ReadDICOMFile(SliceData("mr_small_nema.dcm").c_str(), 0, nullptr), 1);
    ASSERT_EQ(swapped.ReadDICOMFile(SliceData("mr_small_nema_bigendian.dcm").c_str(), 0, nullptr), 1);
    EXPECT_TRUE(PixelsOf(swapped) == PixelsOf(little));

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
}
