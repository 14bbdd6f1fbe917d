// What a slice file says, through the modern reading path: the probe, the
// geometry it states (and what it does not), and the stored values.
//
//     quarn_image_info FILE...
#include <cstdio>

#include "QuarnImage.h"

int main(int argc, char** argv)
{
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        try {
            const quarn::Probe probe = quarn::ProbeFile(argv[i]);
            std::printf("%s: %s\n", argv[i], probe.why.c_str());
            const quarn::Image im = quarn::ReadImage(argv[i]);
            std::printf("  %d x %d pixels, %d frame(s), %s\n", im.columns, im.rows, im.frames,
                        quarn::PixelTypeWord(im.pixelType));
            if (im.pixelSpacing)
                std::printf("  pixel spacing %g mm (rows) x %g mm (columns)\n", (*im.pixelSpacing)[0],
                            (*im.pixelSpacing)[1]);
            else
                std::printf("  pixel spacing: not in the file\n");
            const auto range = im.Range();
            std::printf("  stored values %g to %g", range.first, range.second);
            if (im.rescaleSlope || im.rescaleIntercept)
                std::printf(", rescaled %g to %g", range.first * im.rescaleSlope.value_or(1) + im.rescaleIntercept.value_or(0),
                            range.second * im.rescaleSlope.value_or(1) + im.rescaleIntercept.value_or(0));
            std::printf("\n%s\n", quarn::ImageJson(im).c_str());
        } catch (const quarn::Error& e) {
            std::fprintf(stderr, "%s (%s)\n", e.what(), quarn::ReasonWord(e.reason()));
            status = 1;
        }
    }
    return status;
}
