#include "astro/proper_motion.h"

#include <cmath>
#include <numbers>

namespace veloran {

namespace {

constexpr double kRadiansPerMilliarcsecond =
    std::numbers::pi / (180.0 * 3600.0 * 1000.0);

}  // namespace

SkyPlace MovedPlace(const SkyPlace& from, double pmRaCosDec, double pmDec,
                    double years) {
  double sinRa = std::sin(from.ra);
  double cosRa = std::cos(from.ra);
  double sinDec = std::sin(from.dec);
  double cosDec = std::cos(from.dec);
  // The direction, and the unit vectors towards the east and the north.
  double p[3] = {cosDec * cosRa, cosDec * sinRa, sinDec};
  double east[3] = {-sinRa, cosRa, 0.0};
  double north[3] = {-sinDec * cosRa, -sinDec * sinRa, cosDec};
  double alongEast = pmRaCosDec * kRadiansPerMilliarcsecond * years;
  double alongNorth = pmDec * kRadiansPerMilliarcsecond * years;
  double q[3];
  for (int i = 0; i < 3; ++i) {
    q[i] = p[i] + alongEast * east[i] + alongNorth * north[i];
  }
  double ra = std::atan2(q[1], q[0]);
  if (ra < 0) ra += 2 * std::numbers::pi;
  return {ra, std::atan2(q[2], std::hypot(q[0], q[1]))};
}

}  // namespace veloran
