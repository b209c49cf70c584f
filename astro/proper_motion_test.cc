#include "astro/proper_motion.h"

#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

namespace veloran {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kArcsecond = kDegree / 3600.0;

// The angle between two places, in arcseconds.
double ArcsecondsBetween(const SkyPlace& a, const SkyPlace& b) {
  double cosine = std::sin(a.dec) * std::sin(b.dec) +
                  std::cos(a.dec) * std::cos(b.dec) * std::cos(a.ra - b.ra);
  double sine =
      std::hypot(std::cos(b.dec) * std::sin(b.ra - a.ra),
                 std::cos(a.dec) * std::sin(b.dec) -
                     std::sin(a.dec) * std::cos(b.dec) * std::cos(b.ra - a.ra));
  return std::atan2(sine, cosine) / kArcsecond;
}

// Worked examples.  Wolf 1061 (HIP 80824) from its Hipparcos place at
// J1991.25 to J2000, against its J2000 place from Gaia's astrometry; a
// star moving east one degree from the pole, which a naive step in right
// ascension (pm / cos Dec) puts on the wrong circle; a star that crosses
// the pole and comes out at the opposite right ascension.
TEST(ProperMotionTest, MovedPlace) {
  // 1 degree from the pole: a great circle tangent to the parallel there.
  const double near = 89.0 * kDegree;
  const double theta = 100.0 * kArcsecond;  // 1000 mas/yr for 100 years
  const struct {
    const char* what;
    SkyPlace from;
    double pmRaCosDec;
    double pmDec;
    double years;
    SkyPlace expected;
    double toleranceArcsec;
  } cases[] = {
      {"no motion", {1.0, 0.5}, 0, 0, 8.75, {1.0, 0.5}, 1e-9},
      {"no time", {1.0, 0.5}, 5000, -3000, 0, {1.0, 0.5}, 1e-9},
      {"Wolf 1061, J1991.25 to J2000",
       {247.57547824 * kDegree, -12.65971367 * kDegree},
       -93.61,
       -1184.90,
       8.75,
       {(16 + 30 / 60.0 + 18.0584 / 3600) * 15 * kDegree,
        -(12 + 39 / 60.0 + 45.325 / 3600) * kDegree},
       0.03},
      {"east along a great circle near the pole",
       {0.0, near},
       1000,
       0,
       100,
       {std::atan(std::tan(theta) / std::cos(near)),
        std::asin(std::sin(near) /
                  std::sqrt(1 + std::tan(theta) * std::tan(theta)))},
       1e-4},
      {"across the north pole",
       {0.0, 90 * kDegree - 2 * kArcsecond},
       0,
       1000,
       4,
       {std::numbers::pi, 90 * kDegree - 2 * kArcsecond},
       1e-6},
      {"backwards into the previous turn of right ascension",
       {0.5 * kArcsecond, 0.0},
       -1000,
       0,
       1,
       {2 * std::numbers::pi - 0.5 * kArcsecond, 0.0},
       1e-6},
  };
  for (const auto& c : cases) {
    SkyPlace moved = MovedPlace(c.from, c.pmRaCosDec, c.pmDec, c.years);
    EXPECT_LT(ArcsecondsBetween(moved, c.expected), c.toleranceArcsec)
        << c.what << ": " << moved.ra / kDegree << " " << moved.dec / kDegree;
    EXPECT_GE(moved.ra, 0) << c.what;
    EXPECT_LT(moved.ra, 2 * std::numbers::pi) << c.what;
  }
}

}  // namespace
}  // namespace veloran
