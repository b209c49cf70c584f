#include "astro/position_conversion.h"

#include <cmath>

#include "catalogue/star_records.h"

namespace veloran {

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
  point->x = (-0.0672 * x0 - 0.8727 * y0) - 0.4835 * z0;
  point->y = (0.4927 * x0 - 0.4504 * y0) + 0.7445 * z0;
  point->z = 0.4602 * z0 - (0.8676 * x0 + 0.1884 * y0);
  return true;
}

}  // namespace veloran
