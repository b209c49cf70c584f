#include "search/sky_pixels.h"

#include <healpix_cxx/healpix_base.h>

#include <cassert>
#include <cmath>
#include <numbers>

namespace veloran {

namespace {

constexpr double kRadians = std::numbers::pi / 180.0;
// Added to a cone's radius: far more than the rounding of the cone
// search's separations and of a star's pixel (about 2 milliarcseconds).
constexpr double kRadiusMargin = 1e-8;
// The covering tests pixels at this many times their resolution (a power
// of 2, as the nested numbering needs): fewer pixels that the cone only
// seems to touch.
constexpr int kOverlapResolution = 4;

vec3 DirectionOf(double raDegrees, double decDegrees) {
  double ra = raDegrees * kRadians;
  double dec = decDegrees * kRadians;
  return vec3(std::cos(dec) * std::cos(ra), std::cos(dec) * std::sin(ra),
              std::sin(dec));
}

// The pixels of order "order" that may hold a direction within "radius"
// radians of "centre", as runs of pixels of kPixelOrder.  False when they
// take more than "budget" runs.
bool CoverAtOrder(const vec3& centre, double radius, int order, int budget,
                  KeyRanges* ranges) {
  T_Healpix_Base<int64> base(order, NEST);
  rangeset<int64> pixels;
  base.query_disc_inclusive(pointing(centre), radius, pixels,
                            kOverlapResolution);
  if (pixels.nranges() > static_cast<tsize>(budget)) return false;
  int shift = 2 * (kPixelOrder - order);
  ranges->count = 0;
  for (tsize i = 0; i < pixels.nranges(); ++i) {
    // The set's runs are half open: [begin, end).
    ranges->ranges[ranges->count++] = {pixels.ivbegin(i) << shift,
                                       (pixels.ivend(i) << shift) - 1};
  }
  JoinKeyRanges(ranges);
  return true;
}

}  // namespace

int64_t SkyPixelOf(double raDegrees, double decDegrees) {
  if (!std::isfinite(raDegrees) || !std::isfinite(decDegrees)) {
    return kNoPixel;
  }
  static const T_Healpix_Base<int64> fine(kPixelOrder, NEST);
  return fine.vec2pix(DirectionOf(raDegrees, decDegrees));
}

bool CoverCone(double raDegrees, double decDegrees, double radiusDegrees,
               int budget, KeyRanges* ranges) {
  assert(budget >= 12 && budget <= kMaxKeyRanges);
  ranges->count = 0;
  // A separation is never below 0, and none is at most a radius or from a
  // centre that is not a number.
  if (std::isnan(radiusDegrees) || radiusDegrees < 0.0 ||
      !std::isfinite(raDegrees) || !std::isfinite(decDegrees)) {
    return true;
  }
  double radius = radiusDegrees * kRadians + kRadiusMargin;
  if (radius >= std::numbers::pi) return false;
  vec3 centre = DirectionOf(raDegrees, decDegrees);
  // Pixels of order k are about 1.02 / 2^k radians across: start where a
  // few of them span the cone, and go finer while the runs fit.
  int order = static_cast<int>(std::floor(std::log2(1.02 / radius)));
  order = std::clamp(order, 0, kPixelOrder);
  KeyRanges finer;
  try {
    while (!CoverAtOrder(centre, radius, order, budget, ranges)) {
      // Order 0 has 12 pixels: the covering always fits there.
      assert(order > 0);
      --order;
    }
    for (int next = order + 1;
         next <= std::min(order + 2, kPixelOrder) &&
         CoverAtOrder(centre, radius, next, budget, &finer);
         ++next) {
      *ranges = finer;
    }
  } catch (...) {
    // The library reports its failures by exceptions: none is expected for
    // these arguments, and whatever it was, reading every row is sound.
    ranges->count = 0;
    return false;
  }
  return true;
}

}  // namespace veloran
