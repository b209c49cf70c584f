#include "site/position_text.h"

#include <cmath>

#include <gtest/gtest.h>

namespace veloran {
namespace {

TEST(PositionTextTest, RightAscension) {
  const struct {
    int hours;
    int minutes;
    float seconds;
    const char* text;
  } cases[] = {
      {6, 45, 8.917f, "6h 45m 8.917s"},
      {0, 0, 0.0f, "0h 0m 0.000s"},
      {14, 29, 47.591f, "14h 29m 47.591s"},
      {22, 57, 39.05f, "22h 57m 39.050s"},
      {1, 2, 0.0004f, "1h 2m 0.000s"},
      {1, 2, 0.0005f, "1h 2m 0.001s"},
      // Roundings that reach 60 carry, and 24 hours is 0.
      {1, 2, 59.9996f, "1h 3m 0.000s"},
      {1, 59, 59.9999f, "2h 0m 0.000s"},
      {23, 59, 59.9999f, "0h 0m 0.000s"},
  };
  for (const auto& c : cases) {
    char text[kAngleTextSize];
    FormatRightAscension(c.hours, c.minutes, c.seconds, text, sizeof(text));
    EXPECT_STREQ(text, c.text)
        << c.hours << " " << c.minutes << " " << c.seconds;
  }
}

TEST(PositionTextTest, Declination) {
  const struct {
    int degrees;
    int arcminutes;
    float arcseconds;
    const char* text;
  } cases[] = {
      {-16, 42, 58.02f, "&minus;16&deg; 42&prime; 58.02&Prime;"},
      {38, 47, 1.29f, "+38&deg; 47&prime; 1.29&Prime;"},
      {0, 48, 26.71f, "+0&deg; 48&prime; 26.71&Prime;"},
      {90, 0, 0.0f, "+90&deg; 0&prime; 0.00&Prime;"},
      {-90, 0, 0.0f, "&minus;90&deg; 0&prime; 0.00&Prime;"},
      // Between 0 and -1 degrees: 0, 0 and the whole declination in
      // negative arcseconds.
      {0, 0, -1815.0f, "&minus;0&deg; 30&prime; 15.00&Prime;"},
      {0, 0, -0.5f, "&minus;0&deg; 0&prime; 0.50&Prime;"},
      {0, 0, -3599.99f, "&minus;0&deg; 59&prime; 59.99&Prime;"},
      {0, 0, -3599.999f, "&minus;1&deg; 0&prime; 0.00&Prime;"},
      {0, 0, 12.5f, "+0&deg; 0&prime; 12.50&Prime;"},
      {-2, 59, 59.996f, "&minus;3&deg; 0&prime; 0.00&Prime;"},
      {5, 13, 59.996f, "+5&deg; 14&prime; 0.00&Prime;"},
  };
  for (const auto& c : cases) {
    char text[kAngleTextSize];
    FormatDeclination(c.degrees, c.arcminutes, c.arcseconds, text,
                      sizeof(text));
    EXPECT_STREQ(text, c.text)
        << c.degrees << " " << c.arcminutes << " " << c.arcseconds;
  }
}

// A value is given to the place of its error, rounded to one significant
// digit, or two when they begin with 1 or 2.
TEST(PositionTextTest, Measurement) {
  const struct {
    double value;
    bool hasError;
    double error;
    const char* text;
  } cases[] = {
      {8.60093, true, 0.0358363, "8.60 &plusmn; 0.04"},
      {4.2465, true, 0.0011, "4.2465 &plusmn; 0.0011"},
      {4.2465, true, 0.0029, "4.2465 &plusmn; 0.0029"},
      {4.2466, true, 0.003, "4.247 &plusmn; 0.003"},
      {11.4, true, 0.25, "11.40 &plusmn; 0.25"},
      // Errors that round up to the next power of ten.
      {5.4321, true, 0.0996, "5.43 &plusmn; 0.10"},
      {5.4321, true, 0.096, "5.43 &plusmn; 0.10"},
      {5.4321, true, 0.00999, "5.432 &plusmn; 0.010"},
      {5.4321, true, 0.001, "5.4321 &plusmn; 0.0010"},
      {5.4321, true, 1.0, "5.4 &plusmn; 1.0"},
      // Values of 1000 light-years and more: places left of the point.
      {1234.6, true, 12, "1235 &plusmn; 12"},
      {1234.6, true, 56, "1230 &plusmn; 60"},
      {15432.1, true, 2500, "15400 &plusmn; 2500"},
      {15432.1, true, 7300, "15000 &plusmn; 7000"},
      // An error larger than the value.
      {0.7, true, 3.7, "1 &plusmn; 4"},
      {12.4, true, 25, "12 &plusmn; 25"},
      // No usable error: three significant digits, never fewer than the
      // integer's.
      {4.2465, true, 0, "4.25"},
      {4.2465, false, 0.5, "4.25"},
      {4.2465, true, -0.5, "4.25"},
      {4.2465, true, NAN, "4.25"},
      {4.2465, true, INFINITY, "4.25"},
      {0.0123456, false, 0, "0.0123"},
      {123456.7, false, 0, "123457"},
      {0, false, 0, "0"},
      // Signs, and a value that rounds to zero.
      {-8.72, true, 0.036, "&minus;8.72 &plusmn; 0.04"},
      {-0.001, true, 0.036, "0.00 &plusmn; 0.04"},
      // Extremes stay within the text.
      {1e-300, true, 1e-300, "0.000000000000 &plusmn; 0.000000000000"},
      {1e20, true, 1, "1e+20 &plusmn; 1.0"},
      {INFINITY, true, 1, "inf &plusmn; 1.0"},
  };
  for (const auto& c : cases) {
    char text[kMeasurementTextSize];
    FormatMeasurement(c.value, c.hasError, c.error, text, sizeof(text));
    EXPECT_STREQ(text, c.text)
        << c.value << " " << c.hasError << " " << c.error;
  }
}

TEST(PositionTextTest, Separation) {
  const struct {
    double lightYears;
    const char* text;
  } cases[] = {
      {0.000364, "0.00036 light-years (23 AU)"},
      {0.0000150, "0.000015 light-years (0.95 AU)"},
      {0.00000150, "0.0000015 light-years (0.095 AU)"},
      {0.2098, "0.21 light-years (13000 AU)"},
      // A rounding up to the next power of ten keeps its places.
      {0.999, "1.00 light-years (63000 AU)"},
      {1.234, "1.2 light-years"},
      {12.34, "12 light-years"},
      {1234.4, "1234 light-years"},
      {0, "0 light-years (the same position)"},
      {NAN, "not known"},
      {INFINITY, "not known"},
  };
  for (const auto& c : cases) {
    char text[kMeasurementTextSize];
    FormatSeparation(c.lightYears, text, sizeof(text));
    EXPECT_STREQ(text, c.text) << c.lightYears;
  }
}

TEST(PositionTextTest, FixedInAnAddress) {
  char text[kMeasurementTextSize];
  FormatFixed(-1.2345, 2, "-", text, sizeof(text));
  EXPECT_STREQ(text, "-1.23");
  FormatFixed(-0.0001, 2, "-", text, sizeof(text));
  EXPECT_STREQ(text, "0.00");
  FormatFixed(-1234.5, -2, "-", text, sizeof(text));
  EXPECT_STREQ(text, "-1200");
}

}  // namespace
}  // namespace veloran
