#include "astro/magnitudes.h"

#include <cmath>

#include <gtest/gtest.h>

namespace veloran {
namespace {

// Worked examples: the Sun from the Earth and from Tau Ceti, Sirius from
// the Sun and from 10 parsecs, and distances that stand for no view.
TEST(MagnitudesTest, FromAnotherPlace) {
  const struct {
    const char* what;
    double vMag;
    double lightYears;       // from the Sun
    double fromLightYears;   // the place it is seen from
    double expected;
  } cases[] = {
      {"the Sun from 10 pc", -26.74, 0, 10 * kLightYearsPerParsec, 4.83},
      {"the Sun from Tau Ceti", -26.74, 0, 11.91, 2.64},
      {"Sirius from 10 pc", -1.46, 8.60, 10 * kLightYearsPerParsec, 1.43},
      {"Sirius from twice as far", -1.46, 8.60, 17.20, 0.045},
      {"Sirius from the Sun", -1.46, 8.60, 8.60, -1.46},
  };
  for (const auto& c : cases) {
    double absolute = 0;
    ASSERT_TRUE(AbsoluteMagnitude(c.vMag, c.lightYears, &absolute)) << c.what;
    double apparent = 0;
    ASSERT_TRUE(MagnitudeFrom(absolute, c.fromLightYears, &apparent))
        << c.what;
    EXPECT_NEAR(apparent, c.expected, 0.01) << c.what;
  }
  double value = 0;
  EXPECT_FALSE(AbsoluteMagnitude(1.0, -1, &value));
  EXPECT_FALSE(AbsoluteMagnitude(1.0, std::nan(""), &value));
  EXPECT_FALSE(MagnitudeFrom(1.0, 0, &value));
  EXPECT_FALSE(MagnitudeFrom(1.0, -3, &value));
  EXPECT_FALSE(MagnitudeFrom(std::nan(""), 3, &value));
}

}  // namespace
}  // namespace veloran
