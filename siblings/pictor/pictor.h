// pictor: display images. This is the part every slice needs to know of: the
// image base class and its gray-value translation methods.
#ifndef QUARN_PICTOR_H
#define QUARN_PICTOR_H

#include "ecBase.h"

class ecImageBase : public ecBase {
public:
    // How pixel values are mapped to the 256 display gray levels.
    enum GrayTranslationMethod {
        GrayLinear = 0,   // linear from [low, high] to 0..255, clamped
        GrayMinMax = 1,   // linear over the image's own minimum and maximum
    };
    ecImageBase();
    ~ecImageBase() override;
};

#endif
