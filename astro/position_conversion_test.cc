#include "astro/position_conversion.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

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

}  // namespace
}  // namespace veloran
