#include "astro/position_conversion.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>

#include <gtest/gtest.h>

#include "catalogue/star_records.h"

namespace veloran {
namespace {

PositionRecord Position(int raHr, int raMin, float raSec, int decDeg,
                        int decArcmin, float decArcsec, double distance) {
  PositionRecord record{};
  record.HasRA = record.HasDec = record.HasDistance = true;
  record.RA_hr = static_cast<uint8_t>(raHr);
  record.RA_min = static_cast<uint8_t>(raMin);
  record.RA_sec = raSec;
  record.Dec_deg = static_cast<int16_t>(decDeg);
  record.Dec_arcmin = static_cast<uint8_t>(decArcmin);
  record.Dec_arcsec = decArcsec;
  record.Distance = distance;
  return record;
}

TEST(PositionConversionTest, ConstantsByBitPattern) {
  EXPECT_EQ(std::bit_cast<uint64_t>(kOneSixtieth), 0x3F91111111111111ull);
  EXPECT_EQ(std::bit_cast<uint64_t>(kOne3600th), 0x3F323456789ABCDFull);
  EXPECT_EQ(std::bit_cast<uint64_t>(kHoursToRadians), 0x3FD0C152382D7360ull);
  EXPECT_EQ(std::bit_cast<uint64_t>(kDegreesToRadians), 0x3F91DF46A2529D34ull);
  EXPECT_EQ(kOneSixtieth, 0.016666666666666666);
  EXPECT_EQ(kOne3600th, 0.0002777777777777778);
}

TEST(PositionConversionTest, WorkedExamples) {
  const struct {
    PositionRecord record;
    bool galactic;
    double x, y, z;
  } cases[] = {
      {Position(0, 0, 0, 0, 0, 0, 10), false, 10, 0, 1.6e-14},
      {Position(0, 0, 0, 0, 0, 0, 10), true, -0.672, 4.927, -8.676},
      {Position(0, 0, 0, 90, 0, 0, 10), false, 0, 0, 10},
      {Position(0, 0, 0, 90, 0, 0, 10), true, -4.835, 7.445, 4.602},
      {Position(6, 0, 0, 0, 0, 0, 10), false, 0, 10, 0},
      {Position(6, 0, 0, 0, 0, 0, 10), true, -8.727, -4.504, -1.884},
      {Position(12, 0, 0, -30, 0, 0, 10), false, -8.660, 0, -5.000},
      {Position(12, 0, 0, -30, 0, 0, 10), true, 2.999, -7.989, 5.213},
  };
  for (const auto& c : cases) {
    CartesianPoint point{99, 99, 99};
    ASSERT_TRUE(PositionToCartesian(c.record, c.galactic, &point));
    EXPECT_NEAR(point.x, c.x, 0.0006)
        << c.record.RA_hr << " " << c.record.Dec_deg;
    EXPECT_NEAR(point.y, c.y, 0.0006)
        << c.record.RA_hr << " " << c.record.Dec_deg;
    EXPECT_NEAR(point.z, c.z, 0.0006)
        << c.record.RA_hr << " " << c.record.Dec_deg;
  }
}

TEST(PositionConversionTest, ExactBits) {
  // The summation orders and constants as written, checked to the last bit
  // against values worked out by hand from the same formulas.
  PositionRecord record = Position(14, 29, 47.591f, -62, 40, 52.55f, 4.244);
  CartesianPoint point;
  ASSERT_TRUE(PositionToCartesian(record, true, &point));
  double alpha = ((static_cast<double>(47.591f) * 0.0002777777777777778 +
                   29 * 0.016666666666666666) +
                  14) *
                 0.26179938779914913;
  double delta = ((-1 * static_cast<double>(52.55f)) * 0.0002777777777777778 +
                  (-40) * 0.016666666666666666) +
                 -62;
  double theta = (90 - delta) * 0.017453292519943278;
  double x0 = (std::cos(alpha) * std::sin(theta)) * 4.244;
  double y0 = (std::sin(alpha) * std::sin(theta)) * 4.244;
  double z0 = std::cos(theta) * 4.244;
  EXPECT_EQ(point.x, (-0.0672 * x0 + -0.8727 * y0) + -0.4835 * z0);
  EXPECT_EQ(point.y, (0.4927 * x0 + -0.4504 * y0) + 0.7445 * z0);
  EXPECT_EQ(point.z, 0.4602 * z0 - (0.8676 * x0 + 0.1884 * y0));
}

TEST(PositionConversionTest, DeclinationSign) {
  // Zero degrees count as positive; the arcminutes and arcseconds take the
  // sign of the degrees.
  const struct {
    int degrees, arcminutes;
    float arcseconds;
    double declination;
  } cases[] = {
      {0, 30, 0, 0.5},
      {-10, 30, 0, -10.5},
      {0, 0, -1800.0f, -0.5},
      {-1, 0, 0, -1.0},
  };
  for (const auto& c : cases) {
    CartesianPoint point;
    ASSERT_TRUE(PositionToCartesian(
        Position(0, 0, 0, c.degrees, c.arcminutes, c.arcseconds, 1), false,
        &point));
    double declination = 90 - std::acos(point.z) / 0.017453292519943278;
    EXPECT_NEAR(declination, c.declination, 1e-9) << c.degrees;
  }
}

TEST(PositionConversionTest, MissingFields) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    bool hasRA, hasDec, hasDistance;
    double distance;
    bool converts;
    bool origin;
  } cases[] = {
      {true, true, false, 10, false, false},
      {true, true, false, 0, false, false},
      {false, false, true, 0, true, true},
      {false, false, true, -0.0, true, true},
      {false, false, true, nan, true, true},
      {true, false, true, 10, false, false},
      {false, true, true, 10, false, false},
      {true, true, true, 10, true, false},
  };
  for (const auto& c : cases) {
    PositionRecord record = Position(3, 4, 5, 6, 7, 8, c.distance);
    record.HasRA = c.hasRA;
    record.HasDec = c.hasDec;
    record.HasDistance = c.hasDistance;
    CartesianPoint point{7, 8, 9};
    EXPECT_EQ(PositionToCartesian(record, true, &point), c.converts);
    if (!c.converts) {
      EXPECT_EQ(point.x, 7);  // left as it was
      EXPECT_EQ(point.y, 8);
      EXPECT_EQ(point.z, 9);
    } else if (c.origin) {
      EXPECT_EQ(point.x, 0);
      EXPECT_EQ(point.y, 0);
      EXPECT_EQ(point.z, 0);
    }
  }
}

TEST(DistanceRangeTest, Table) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double distance, centreNorm, minDistance, maxDistance;
    bool excluded;
  } cases[] = {
      {500, 0, 0, 30, true},     // far beyond the radius
      {30, 0, 0, 30, false},     // at the radius, whatever the direction
      {30.02, 0, 0, 30, false},  // within the matrix's stretch and margin
      {30.1, 0, 0, 30, true},
      {-500, 0, 0, 30, true},  // the length counts
      {5, 0, 10, 30, true},    // nearer than the minimum
      {9.995, 0, 10, 30, false},
      {0, 100, 0, 30, true},  // the Sun, from a centre 100 away
      {0, 100, 0, 100, false},
      {100, 100, 0, 2, false},   // could be at the centre itself
      {250, 100, 0, 140, true},  // at least 150 away in every direction
      {1e9, 0, 0, inf, false},
      // Infinities leave it to the full computation.
      {inf, 0, 0, 30, false},
      {inf, 0, 0, inf, false},
      {10, inf, 0, 30, false},
      {nan, 0, 0, 30, false},
      {10, nan, 0, 30, false},
      {10, 0, nan, nan, false},
      {10, 0, -5, 30, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DistanceRangeExcludes(c.distance, c.centreNorm, c.minDistance,
                                    c.maxDistance),
              c.excluded)
        << c.distance << " " << c.centreNorm << " " << c.minDistance << " "
        << c.maxDistance;
  }
}

// A star is never passed over when its distance from the centre, computed
// as the scan computes it, lies in the range: here the range is exactly that
// distance, at either end, for stars and centres all over the sky and at
// every scale.
TEST(DistanceRangeTest, NeverExcludesAStarInRange) {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int checked = 0;
  for (int i = 0; i < 300000; ++i) {
    double scale = std::pow(10.0, unit(random) * 12 - 3);
    PositionRecord record =
        Position(static_cast<uint8_t>(unit(random) * 24),
                 static_cast<uint8_t>(unit(random) * 60),
                 static_cast<float>(unit(random) * 60),
                 static_cast<int16_t>(unit(random) * 181 - 90),
                 static_cast<uint8_t>(unit(random) * 60),
                 static_cast<float>(unit(random) * 60), unit(random) * scale);
    CartesianPoint point;
    ASSERT_TRUE(PositionToCartesian(record, true, &point));
    // Centres near the star, near the Sun, or anywhere.
    double spread = (i % 3 == 0 ? 1e-6 : i % 3 == 1 ? 1.0 : 1e3) * scale;
    CartesianPoint centre = {
        (i % 2 ? point.x : 0.0) + (unit(random) - 0.5) * spread,
        (i % 2 ? point.y : 0.0) + (unit(random) - 0.5) * spread,
        (i % 2 ? point.z : 0.0) + (unit(random) - 0.5) * spread};
    double dx = point.x - centre.x;
    double dy = point.y - centre.y;
    double dz = point.z - centre.z;
    double d = std::sqrt((dz * dz + dy * dy) + dx * dx);
    double centreNorm = DistanceFromSun(centre);
    ASSERT_FALSE(DistanceRangeExcludes(record.Distance, centreNorm, d, d))
        << record.Distance << " " << centreNorm << " " << d;
    ASSERT_FALSE(DistanceRangeExcludes(record.Distance, centreNorm, 0, d));
    ASSERT_FALSE(DistanceRangeExcludes(record.Distance, centreNorm, d, 1e300));
    ++checked;
  }
  EXPECT_EQ(checked, 300000);
}

// The angle between two directions given in right ascension (hours) and
// declination (degrees), in degrees.
double Separation(double ra1, double dec1, double ra2, double dec2) {
  const double h = std::numbers::pi / 12, d = std::numbers::pi / 180;
  double a[3] = {std::cos(dec1 * d) * std::cos(ra1 * h),
                 std::cos(dec1 * d) * std::sin(ra1 * h), std::sin(dec1 * d)};
  double b[3] = {std::cos(dec2 * d) * std::cos(ra2 * h),
                 std::cos(dec2 * d) * std::sin(ra2 * h), std::sin(dec2 * d)};
  double cross = std::hypot(a[1] * b[2] - a[2] * b[1],
                            a[2] * b[0] - a[0] * b[2],
                            a[0] * b[1] - a[1] * b[0]);
  double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  return std::atan2(cross, dot) / d;
}

// The direction of one star seen from another, against the same direction
// worked out without the galactic frame: the difference of their
// equatorial points.  Seen from the Sun, a star keeps its own right
// ascension and declination; seen from a star, the Sun lies opposite the
// star in the Sun's sky.
TEST(EquatorialDirectionTest, SeenFromAnotherStar) {
  const PositionRecord sun = Position(0, 0, 0, 0, 0, 0, 0);
  const PositionRecord tauCeti = Position(1, 44, 4.08f, -15, 56, 14.9f, 11.9);
  const PositionRecord sirius = Position(6, 45, 8.92f, -16, 42, 58.0f, 8.6);
  const PositionRecord polaris = Position(2, 31, 49.1f, 89, 15, 51.0f, 433);
  const PositionRecord nearZero = Position(23, 59, 59.99f, 0, 0, 1.0f, 5);
  const struct {
    PositionRecord star;
    PositionRecord from;
    double raHours, decDegrees;  // expected, where known beforehand
  } cases[] = {
      {tauCeti, sun, DecimalHours(1, 44, 4.08f),
       DecimalDegrees(-15, 56, 14.9f)},
      {sun, tauCeti, DecimalHours(13, 44, 4.08f),
       DecimalDegrees(15, 56, 14.9f)},
      {sun, sirius, DecimalHours(18, 45, 8.92f), DecimalDegrees(16, 42, 58.0f)},
      {polaris, sun, DecimalHours(2, 31, 49.1f), DecimalDegrees(89, 15, 51.0f)},
      {nearZero, sun, DecimalHours(23, 59, 59.99f), DecimalDegrees(0, 0, 1)},
      {sirius, tauCeti, NAN, NAN},
      {tauCeti, sirius, NAN, NAN},
      {polaris, tauCeti, NAN, NAN},
      {tauCeti, polaris, NAN, NAN},
  };
  for (const auto& c : cases) {
    CartesianPoint star, from, starEq, fromEq;
    ASSERT_TRUE(PositionToCartesian(c.star, true, &star));
    ASSERT_TRUE(PositionToCartesian(c.from, true, &from));
    ASSERT_TRUE(PositionToCartesian(c.star, false, &starEq));
    ASSERT_TRUE(PositionToCartesian(c.from, false, &fromEq));
    double ra = -1, dec = -1;
    ASSERT_TRUE(EquatorialDirection(
        {star.x - from.x, star.y - from.y, star.z - from.z}, &ra, &dec));
    EXPECT_GE(ra, 0);
    EXPECT_LT(ra, 24);
    double dx = starEq.x - fromEq.x, dy = starEq.y - fromEq.y;
    double dz = starEq.z - fromEq.z;
    double independentRA = std::atan2(dy, dx) * 12 / std::numbers::pi;
    double independentDec =
        std::atan2(dz, std::hypot(dx, dy)) * 180 / std::numbers::pi;
    EXPECT_LT(Separation(ra, dec, independentRA, independentDec), 1e-9)
        << ra << " " << dec << " against " << independentRA << " "
        << independentDec;
    if (!std::isnan(c.raHours)) {
      EXPECT_LT(Separation(ra, dec, c.raHours, c.decDegrees), 1e-9)
          << ra << " " << dec << " against " << c.raHours << " "
          << c.decDegrees;
    }
  }
}

// Seen from the Sun, every star has its own right ascension and
// declination again, all over the sky and at every distance.
TEST(EquatorialDirectionTest, FromTheSunTheStarsOwnDirection) {
  std::mt19937_64 random(20261209);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 100000; ++i) {
    PositionRecord record =
        Position(static_cast<uint8_t>(unit(random) * 24),
                 static_cast<uint8_t>(unit(random) * 60),
                 static_cast<float>(unit(random) * 60),
                 static_cast<int16_t>(unit(random) * 181 - 90),
                 static_cast<uint8_t>(unit(random) * 60),
                 static_cast<float>(unit(random) * 60),
                 std::pow(10.0, unit(random) * 8 - 2));
    CartesianPoint point;
    ASSERT_TRUE(PositionToCartesian(record, true, &point));
    double ra = 0, dec = 0;
    ASSERT_TRUE(EquatorialDirection(point, &ra, &dec));
    double ownRA = DecimalHours(record.RA_hr, record.RA_min, record.RA_sec);
    double ownDec =
        DecimalDegrees(record.Dec_deg, record.Dec_arcmin, record.Dec_arcsec);
    ASSERT_LT(Separation(ra, dec, ownRA, ownDec), 1e-9)
        << ownRA << " " << ownDec << " " << record.Distance;
  }
}

TEST(EquatorialDirectionTest, NoDirection) {
  const double inf = std::numeric_limits<double>::infinity();
  const CartesianPoint cases[] = {
      {0, 0, 0}, {inf, 0, 0}, {0, -inf, 1}, {NAN, 1, 1}, {1, 1, NAN}};
  for (const CartesianPoint& c : cases) {
    double ra = 7, dec = 7;
    EXPECT_FALSE(EquatorialDirection(c, &ra, &dec)) << c.x << " " << c.z;
    EXPECT_EQ(ra, 7);
    EXPECT_EQ(dec, 7);
  }
}

}  // namespace
}  // namespace veloran
