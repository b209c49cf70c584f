#include "search/sky_pixels.h"

#include <healpix_cxx/healpix_base.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "site/cone_search.h"

namespace veloran {
namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

bool Covered(const KeyRanges& ranges, int64_t key) {
  for (int i = 0; i < ranges.count; ++i) {
    if (key >= ranges.ranges[i].first && key <= ranges.ranges[i].last) {
      return true;
    }
  }
  return false;
}

struct Direction {
  double ra;  // degrees
  double dec;
};

// The direction "angle" degrees from "from" along the bearing "bearing"
// (radians).
Direction Travel(Direction from, double bearing, double angle) {
  double dec1 = from.dec / kDegrees;
  double ra1 = from.ra / kDegrees;
  double d = angle / kDegrees;
  double dec2 = std::asin(std::sin(dec1) * std::cos(d) +
                          std::cos(dec1) * std::sin(d) * std::cos(bearing));
  double ra2 = ra1 + std::atan2(std::sin(bearing) * std::sin(d) * std::cos(dec1),
                                std::cos(d) - std::sin(dec1) * std::sin(dec2));
  double ra = std::fmod(ra2 * kDegrees + 720.0, 360.0);
  return {ra, dec2 * kDegrees};
}

TEST(SkyPixelsTest, PixelsOfDirections) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(SkyPixelOf(kNaN, 0), kNoPixel);
  EXPECT_EQ(SkyPixelOf(0, std::numeric_limits<double>::infinity()), kNoPixel);
  int64_t pixels = 12LL << (2 * kPixelOrder);
  for (Direction d : {Direction{0, 90}, Direction{0, -90}, Direction{359.9999, 0},
                      Direction{0, 0}, Direction{180, 91.5}}) {
    int64_t pixel = SkyPixelOf(d.ra, d.dec);
    EXPECT_GE(pixel, 0);
    EXPECT_LT(pixel, pixels);
  }
  // RA 0 and 360 are one direction; a declination past the pole is the
  // direction on the other side of it.
  EXPECT_EQ(SkyPixelOf(0, 10), SkyPixelOf(360, 10));
  EXPECT_EQ(SkyPixelOf(10, 89), SkyPixelOf(190, 91));
}

TEST(SkyPixelsTest, ConesWithoutBoundsOrMatches) {
  KeyRanges ranges;
  EXPECT_FALSE(CoverCone(10, 10, 180, 48, &ranges));
  EXPECT_FALSE(CoverCone(10, 10, 179.9999999, 48, &ranges));
  ASSERT_TRUE(CoverCone(10, 10, -1, 48, &ranges));
  EXPECT_EQ(ranges.count, 0);
  ASSERT_TRUE(
      CoverCone(10, 10, std::numeric_limits<double>::quiet_NaN(), 48, &ranges));
  EXPECT_EQ(ranges.count, 0);
}

// Every direction that the cone search finds within the radius is in a
// covered pixel: random cones, at the poles and across RA 0, with
// directions near their edges and on the borders of pixels.
struct ConeCase {
  double decLow, decHigh;  // the centre's declination between these
  double radius;           // degrees
  int budget;
};

class CoverConeTest : public testing::TestWithParam<ConeCase> {};

TEST_P(CoverConeTest, HoldsEveryDirectionInTheCone) {
  const ConeCase& c = GetParam();
  std::mt19937_64 random(static_cast<uint64_t>(c.radius * 1e6) + c.budget);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  T_Healpix_Base<int64> fine(kPixelOrder, NEST);
  int inside = 0;
  for (int trial = 0; trial < 30; ++trial) {
    Direction centre{360.0 * unit(random),
                     c.decLow + (c.decHigh - c.decLow) * unit(random)};
    if (trial % 5 == 0) centre.ra = trial % 10 == 0 ? 0.0 : 359.9999999;
    KeyRanges ranges;
    ASSERT_TRUE(CoverCone(centre.ra, centre.dec, c.radius, c.budget, &ranges));
    ASSERT_LE(ranges.count, c.budget);
    for (int i = 0; i < 400; ++i) {
      double bearing = 2 * std::numbers::pi * unit(random);
      double angle = c.radius * (1.0 + 1e-11 * (2 * unit(random) - 1));
      if (i % 4 == 0) angle = c.radius * unit(random);
      Direction star = Travel(centre, bearing, angle);
      std::vector<Direction> tried{star};
      // The corners and edges of the star's fine pixel: directions on the
      // borders of pixels.
      if (i % 3 == 0) {
        std::vector<vec3> border;
        fine.boundaries(SkyPixelOf(star.ra, star.dec), 2, border);
        for (const vec3& v : border) {
          pointing p(v);
          tried.push_back({p.phi * kDegrees, 90.0 - p.theta * kDegrees});
        }
      }
      for (const Direction& d : tried) {
        double separation = AngularSeparation(centre.ra, centre.dec, d.ra, d.dec);
        if (!(separation <= c.radius)) continue;
        ++inside;
        ASSERT_TRUE(Covered(ranges, SkyPixelOf(d.ra, d.dec)))
            << "cone (" << centre.ra << ", " << centre.dec << ") radius "
            << c.radius << ", star (" << d.ra << ", " << d.dec << ")";
      }
    }
  }
  EXPECT_GT(inside, 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Cones, CoverConeTest,
    testing::Values(ConeCase{-60, 60, 1.0, 48},
                    ConeCase{-89, 89, 1.0 / 3600, 48},  // a cross-match's
                    ConeCase{-89, 89, 0.1, 12},
                    ConeCase{85, 90, 3.0, 48},           // about a pole
                    ConeCase{-90, -88, 0.5, 48},
                    ConeCase{-30, 30, 10.0, 48},
                    ConeCase{-90, 90, 95.0, 48},         // past a hemisphere
                    ConeCase{-10, 10, 179.0, 48}));

// A small cone reads a small part of the sky.
TEST(SkyPixelsTest, SmallConesHaveTightCoverings) {
  KeyRanges ranges;
  ASSERT_TRUE(CoverCone(83.8, -5.4, 1.0, 48, &ranges));
  double pixels = 0;
  for (int i = 0; i < ranges.count; ++i) {
    pixels += static_cast<double>(ranges.ranges[i].last -
                                  ranges.ranges[i].first) + 1.0;
  }
  double sky = 12.0 * std::pow(4.0, kPixelOrder);
  double cone = (1 - std::cos(1.0 / kDegrees)) / 2;  // its share of the sky
  EXPECT_LT(pixels / sky, 8 * cone);
}

}  // namespace
}  // namespace veloran
