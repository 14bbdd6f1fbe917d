// The DICOM element reader never allocates by a value length the file cannot
// hold. This program counts the largest single allocation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "DicomTestFiles.h"
#include "Quarn.h"
#include "TestUtil.h"

namespace {
size_t gLargest = 0;
}

// The replacement pairs malloc with free on purpose.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(size_t n)
{
    if (n > gLargest) gLargest = n;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

TEST(DicomReaderAllocation, HugeLengthsFailWithoutBeingAllocated)
{
    testutil::TempDir dir;
    for (uint16_t element : {0x0050, 0x1234}) {  // slice thickness (kept) and an element that is dropped
        dicomtest::Elements e;
        e.group(0x0008).text(0x0008, 0x0060, "MR").raw(0x0018, element, 0x7FFFFFF0u, "2.5").pixels(16);
        testutil::WriteFile(dir.file("big.dcm"), e.bytes);
        ecRawHeaderInfo h;
        gLargest = 0;
        EXPECT_EQ(dicomtest::ReadOutcome(dir.file("big.dcm"), &h), "DICOM:Unable to read data");
        EXPECT_LT(gLargest, 1u << 20) << "element " << element;
    }
    // A whole real file: nothing close to its size is held at once.
    ecRawHeaderInfo h;
    gLargest = 0;
    EXPECT_EQ(dicomtest::ReadOutcome(testutil::DataPath("dicom/itk/OT-PAL-8-face.dcm"), &h), "1");
    EXPECT_LT(gLargest, 1u << 16);
}
