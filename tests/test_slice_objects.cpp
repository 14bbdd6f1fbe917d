// The root object, slice labels, header records held by slices, storage set-up,
// pixel access, the library error and the slice information record.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "Quarn.h"
#include "RecordUtil.h"

namespace {
// Opens the protected storage set-up for the tests.
template <class T>
class StorageSlice : public ecMriSlice<T> {
public:
    using ecMriSlice<T>::SetupStorage;
};
}  // namespace

TEST(BaseObject, FlagsCopyAndComparison)
{
    ecBase a;
    a.SetStateFlag(0x5);
    a.ClearStateFlag(0x1);
    EXPECT_EQ(a.GetState(), 0x4);
    a.SetOptionFlag(0x30);
    a.ClearOptionFlag(0x10);
    EXPECT_EQ(a.GetOption(), 0x20);
    a.SetInstanceType(3);
    a.SetDirty(true);

    ecBase b(a);
    EXPECT_EQ(b.GetInstanceType(), 3);
    EXPECT_TRUE(b.IsDirty());
    EXPECT_EQ(b == a, 1);
    b.SetDirty(false);
    EXPECT_EQ(b == a, 1);  // the dirty flag takes no part
    b.SetInstanceType(4);
    EXPECT_EQ(b == a, 0);
    ecBase c;
    c = a;
    EXPECT_EQ(c == a, 1);
    ecBase typed(ecBase::itBase);
    EXPECT_EQ(typed.GetInstanceType(), 0);
}

TEST(BaseObject, XmlFormWritesUnsigned32BitNumbers)
{
    ecBase a;
    std::ostringstream os, os2;
    EXPECT_TRUE(a.WriteXml(os));
    EXPECT_EQ(os.str(), "<state>0</state><option>0</option><ErrorCode>0</ErrorCode><InstanceType>0</InstanceType>"
                        "<bDirtyFlag>0</bDirtyFlag>");
    a.SetState(-1);
    a.SetOption(0x7FFFFFFF);
    a.SetDirty(true);
    a.WriteXml(os2);
    EXPECT_EQ(os2.str(),
              "<state>4294967295</state><option>2147483647</option><ErrorCode>0</ErrorCode>"
              "<InstanceType>0</InstanceType><bDirtyFlag>1</bDirtyFlag>");
}

TEST(SliceLabels, SequenceAndReplacement)
{
    const int before = ecMriSliceBase::iSeqNum;
    ecMriSlice<float> a;
    ecMriSliceBase b;
    EXPECT_EQ(a.GetLabel(), "Slice-" + std::to_string(before + 1));
    EXPECT_EQ(b.GetLabel(), "Slice-" + std::to_string(before + 2));
    EXPECT_EQ(a.SetLabel("T1 axial", false), 1);
    EXPECT_EQ(a.GetLabel(), "T1 axial");
    EXPECT_EQ(a.SetLabel("", false), -1);
    EXPECT_EQ(a.GetLabel(), "T1 axial");
    EXPECT_EQ(a.SetLabel("", true), 2);
    EXPECT_EQ(a.GetLabel(), "");
    EXPECT_TRUE(ecMriSliceBase::bInferUnsetDicomFields);
}

TEST(SliceObjects, HeaderRecordHeldBySlice)
{
    ecMriSlice<short> s;
    ecRawHeaderInfo out;
    EXPECT_EQ(s.GetRawHeaderInfo(out, 0), -2);
    ecRawHeaderInfo rec = testutil::RawRecord(320, 200, 0);
    ecRawHeaderInfo bad;
    EXPECT_EQ(s.SetRawHeaderInfo(bad, 1), -1);
    EXPECT_EQ(s.SetRawHeaderInfo(rec, 0), -2);
    EXPECT_EQ(s.SetRawHeaderInfo(rec, 1), 2);
    EXPECT_EQ(s.GetRawHeaderInfo(out, 0), 1);
    EXPECT_EQ(out.iNumPix, 320);
    rec.iNumPix = 64;
    EXPECT_EQ(s.SetRawHeaderInfo(rec, 0), 1);
    EXPECT_EQ(s.GetRawHeaderInfo()->iNumPix, 64);
}

TEST(SliceObjects, BaseVersionsAnswerNotSupported)
{
    ecMriSliceBase b;
    ecImageBase::GrayTranslationMethod m;
    double lo, hi;
    const int codes[] = {b.Decimate(2, nullptr, 0), b.SetMaxMinValues(0), b.SetRotationFlags(1),
                         b.GetGrayValTranslation(m, lo, hi), b.SetGrayValTranslation(ecImageBase::GrayLinear, 0, 1, 0),
                         b.FillHistogram(nullptr, 0), b.SaveImageData("x", 0), b.ReadDICOMFile("x", 0, nullptr),
                         b.ReadDICOM_Image(nullptr, 0, 0, nullptr), b.GetGEMImage(nullptr, 0, nullptr),
                         b.ReadGEMFile("x", nullptr), b.GetSignaFile("x", 0, nullptr),
                         b.GetSignaImage(nullptr, 0, 0, nullptr), b.GetSiemensFile("x", 0, nullptr),
                         b.GetSiemensImage(nullptr, 0, 0, nullptr), b.FindDICOM_PixelDepth("x")};
    for (const int& c : codes) EXPECT_EQ(c, -100) << &c - codes;
    EXPECT_FALSE(b.Resize(64, 64, 0) || b.MaxMinValuesAreSet());
    EXPECT_EQ(b.GetCurrentImage(), nullptr);
    EXPECT_EQ(b.GetRotationFlags(), 0u);
}

TEST(SliceObjects, StorageSetUpModes)
{
    StorageSlice<short> s;
    EXPECT_EQ(s.SetupStorage(nullptr, 0, nullptr), -1);
    ecRawHeaderInfo invalid;
    EXPECT_EQ(s.SetupStorage(&invalid, 0, nullptr), -1);
    ecRawHeaderInfo h = testutil::RawRecord(256, 256, 0);
    EXPECT_EQ(s.SetupStorage(&h, 0x10000, nullptr), 16384);
    EXPECT_EQ(s.GetNumRows(), 128);
    EXPECT_EQ(s.GetNumCols(), 128);
    EXPECT_TRUE(s.OwnsData());
    EXPECT_EQ(s.SetupStorage(&h, 0, nullptr), -5);
    std::vector<short> mine(256 * 256);
    EXPECT_EQ(s.SetupStorage(&h, 0, mine.data()), -5);  // it owns its buffer

    StorageSlice<short> c;
    std::vector<short> first(64 * 32), second(64 * 32);
    ecRawHeaderInfo small = testutil::RawRecord(64, 32, 0);
    EXPECT_EQ(c.SetupStorage(&small, 0, first.data()), 2048);
    EXPECT_FALSE(c.OwnsData());
    short* const* table = c.GetRowPointers();
    EXPECT_EQ(table[31], first.data() + 31 * 64);
    EXPECT_EQ(c.SetupStorage(&small, 0, second.data()), 2048);
    EXPECT_EQ(c.GetPixels(), second.data());
    EXPECT_EQ(c.GetRowPointers()[31], second.data() + 31 * 64);
    ecRawHeaderInfo taller = testutil::RawRecord(16, 40, 0);
    EXPECT_EQ(c.SetupStorage(&taller, 0, first.data()), 640);
    EXPECT_EQ(c.GetRowPointers()[39], first.data() + 39 * 16);
    EXPECT_EQ(c.SetupStorage(&small, 0, nullptr), -5);
}

TEST(SliceObjects, PixelAccess)
{
    StorageSlice<unsigned char> s;
    std::vector<unsigned char> dst(256);
    EXPECT_EQ(s.GetImageData(dst.data(), 256, 0), -10);
    EXPECT_FALSE(s.MaxMinValuesAreSet());
    EXPECT_EQ(s.GetMinVal(), 0);
    EXPECT_EQ(s.GetMaxVal(), 255);
    ecRawHeaderInfo h = testutil::RawRecord(16, 16, 0);
    ASSERT_EQ(s.SetupStorage(&h, 0, nullptr), 256);
    EXPECT_EQ(s.GetImageData(nullptr, 256, 0), -1);
    EXPECT_EQ(s.GetImageData(dst.data(), 100, 0), -2);
    EXPECT_EQ(s.GetImageData(dst.data(), 256, 0), 256);
    ecMriSlice<float> f;
    EXPECT_FLOAT_EQ(f.GetMaxVal(), 255.0f);
}

TEST(LibraryError, MessageAndCopies)
{
    EXPECT_STREQ(ecError(static_cast<const char*>(nullptr), 1, 0, -1, -1).what(), "");
    const ecError e(std::string("DICOM:Unable to read data"), 1, 0, -1, -1), copy(e);
    const std::exception& base = copy;
    EXPECT_STREQ(base.what(), "DICOM:Unable to read data");
}

TEST(SliceInformationRecord, TextFormAndReset)
{
    ecMriSliceInformation info;
    EXPECT_EQ(info.Ascii(0),
              "sManufacturer=\nsInstitutionName=\nsAnnotation=\nsModelName=\nsPatientName=\nsPatientID=\n"
              "sTextPatientPosition=\n");
    EXPECT_EQ(info.Ascii(1), "");
    info.sPatientID = "12345";
    EXPECT_EQ(info.Ascii(1), "sPatientID=12345\n");
    info.sAnnotation = "two\nlines";
    EXPECT_EQ(info.Ascii(1), "sAnnotation=two\nlines\nsPatientID=12345\n");
    ecMriSliceInformation copy(info);
    EXPECT_EQ(copy.Ascii(0), info.Ascii(0));
    info.Reset(0);
    EXPECT_EQ(info.Ascii(0), ecMriSliceInformation().Ascii(0));
}
