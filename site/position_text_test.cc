#include "site/position_text.h"

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

}  // namespace
}  // namespace veloran
