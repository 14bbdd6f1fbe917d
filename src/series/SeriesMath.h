// Internal to the library: the little vector arithmetic of the series code.
#ifndef QUARN_SRC_SERIES_SERIESMATH_H
#define QUARN_SRC_SERIES_SERIESMATH_H

#include <array>

#include "QuarnImage.h"

namespace quarn::series {

using Vec3 = std::array<double, 3>;

inline Vec3 Cross(const Vec3& a, const Vec3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Whether the slice gives both position and orientation.
bool Positioned(const Image& image);
// The slice normal: the row direction times the column direction.
Vec3 Normal(const Image& image);

}  // namespace quarn::series

#endif
