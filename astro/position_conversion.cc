#include "astro/position_conversion.h"

#include <cmath>
#include <numbers>

#include "catalogue/star_records.h"

namespace veloran {

namespace {

// The matrix from equatorial to galactic coordinates, as
// PositionToCartesian applies it, and its inverse.  Its four decimals make
// it no exact rotation (it stretches lengths by up to 0.014 %), so its
// transpose would not undo it.
struct Matrix {
  double m[3][3];
};

constexpr Matrix kToGalactic = {{{-0.0672, -0.8727, -0.4835},
                                 {0.4927, -0.4504, 0.7445},
                                 {-0.8676, -0.1884, 0.4602}}};

constexpr Matrix Inverse(const Matrix& a) {
  const auto& m = a.m;
  Matrix cofactors{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
      int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
      // The cofactor of (i, j), transposed into the adjugate.
      cofactors.m[j][i] = m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1];
    }
  }
  double determinant = m[0][0] * cofactors.m[0][0] +
                       m[0][1] * cofactors.m[1][0] +
                       m[0][2] * cofactors.m[2][0];
  for (auto& row : cofactors.m) {
    for (double& value : row) value /= determinant;
  }
  return cofactors;
}

constexpr Matrix kToEquatorial = Inverse(kToGalactic);

}  // namespace

bool EquatorialDirection(const CartesianPoint& galactic, double* raHours,
                         double* decDegrees) {
  const double g[3] = {galactic.x, galactic.y, galactic.z};
  double e[3];
  for (int i = 0; i < 3; ++i) {
    if (!std::isfinite(g[i])) return false;
    e[i] = kToEquatorial.m[i][0] * g[0] + kToEquatorial.m[i][1] * g[1] +
           kToEquatorial.m[i][2] * g[2];
  }
  if (e[0] == 0 && e[1] == 0 && e[2] == 0) return false;
  double hours = std::atan2(e[1], e[0]) * 12.0 / std::numbers::pi;
  if (hours < 0) hours += 24.0;
  // A direction a hair below 0h rounds up to 24h: 0h is the same place.
  *raHours = hours < 24.0 ? hours : 0.0;
  *decDegrees =
      std::atan2(e[2], std::hypot(e[0], e[1])) * 180.0 / std::numbers::pi;
  return true;
}

bool PositionToCartesian(const PositionRecord& record, bool galactic,
                         CartesianPoint* point) {
  if (!record.HasDistance) return false;
  double d = record.Distance;
  if (d == 0.0 || std::isnan(d)) {
    *point = {0.0, 0.0, 0.0};
    return true;
  }
  if (!record.HasRA || !record.HasDec) return false;

  double alpha =
      DecimalHours(record.RA_hr, record.RA_min, record.RA_sec) *
      kHoursToRadians;
  double delta =
      DecimalDegrees(record.Dec_deg, record.Dec_arcmin, record.Dec_arcsec);
  double theta = (90.0 - delta) * kDegreesToRadians;

  double sinTheta = std::sin(theta);
  double x0 = (std::cos(alpha) * sinTheta) * d;
  double y0 = (std::sin(alpha) * sinTheta) * d;
  double z0 = std::cos(theta) * d;
  if (!galactic) {
    *point = {x0, y0, z0};
    return true;
  }
  // The same numbers as kToGalactic, summed in this order so that every
  // point is the same to the last bit as before.
  point->x = (-0.0672 * x0 - 0.8727 * y0) - 0.4835 * z0;
  point->y = (0.4927 * x0 - 0.4504 * y0) + 0.7445 * z0;
  point->z = 0.4602 * z0 - (0.8676 * x0 + 0.1884 * y0);
  return true;
}

}  // namespace veloran
