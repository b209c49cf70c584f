#include "site/position_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace veloran {

void FormatRightAscension(int hours, int minutes, float seconds, char* text,
                          size_t size) {
  long milliseconds = std::lround(static_cast<double>(seconds) * 1000.0);
  if (milliseconds >= 60000) {
    milliseconds -= 60000;
    ++minutes;
  }
  if (minutes >= 60) {
    minutes -= 60;
    ++hours;
  }
  if (hours >= 24) hours -= 24;
  std::snprintf(text, size, "%dh %dm %ld.%03lds", hours, minutes,
                milliseconds / 1000, milliseconds % 1000);
}

void FormatDeclination(int degrees, int arcminutes, float arcseconds,
                       char* text, size_t size) {
  bool negative = degrees < 0;
  long hundredths =
      std::lround(std::fabs(static_cast<double>(arcseconds)) * 100.0);
  if (degrees == 0 && arcminutes == 0 && arcseconds < 0) {
    // The whole declination in arcseconds.
    negative = true;
    arcminutes = static_cast<int>(hundredths / 6000);
    hundredths %= 6000;
  }
  degrees = std::abs(degrees);
  if (hundredths >= 6000) {
    hundredths -= 6000;
    ++arcminutes;
  }
  if (arcminutes >= 60) {
    arcminutes -= 60;
    ++degrees;
  }
  std::snprintf(text, size, "%s%d&deg; %d&prime; %ld.%02ld&Prime;",
                negative ? "&minus;" : "+", degrees, arcminutes,
                hundredths / 100, hundredths % 100);
}

namespace {

// More places than any measurement of a star has; they keep the text of a
// tiny value within its buffer.
constexpr int kMaxDecimals = 12;

bool IsUsableError(bool hasError, double error) {
  return hasError && std::isfinite(error) && error > 0;
}

// 10 to the power "exponent", exactly for the powers that matter here.
double PowerOfTen(int exponent) { return std::pow(10.0, exponent); }

}  // namespace

int MeasuredDecimals(double value, bool hasError, double error) {
  if (!IsUsableError(hasError, error)) {
    if (!std::isfinite(value) || value == 0) return 0;
    int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    return std::clamp(2 - exponent, 0, kMaxDecimals);
  }
  // The error's first two significant digits, 10 to 99, decide; log10 may
  // be off by one at a power of ten, which the rounding to 100 mends.
  int exponent = static_cast<int>(std::floor(std::log10(error)));
  double leading = std::round(error / PowerOfTen(exponent - 1));
  if (leading >= 100) {
    ++exponent;
    leading = std::round(error / PowerOfTen(exponent - 1));
  } else if (leading < 10) {
    --exponent;
    leading = std::round(error / PowerOfTen(exponent - 1));
  }
  int significantDigits = leading < 30 ? 2 : 1;
  return std::min(kMaxDecimals, significantDigits - 1 - exponent);
}

void FormatFixed(double value, int decimals, const char* minus, char* text,
                 size_t size) {
  if (!std::isfinite(value) || std::fabs(value) >= 1e15) {
    std::snprintf(text, size, "%g", value);
    return;
  }
  double rounded = value;
  int shownDecimals = decimals;
  if (decimals < 0) {
    double unit = PowerOfTen(-decimals);
    rounded = std::round(value / unit) * unit;
    shownDecimals = 0;
  }
  char digits[kMeasurementTextSize];
  std::snprintf(digits, sizeof(digits), "%.*f", shownDecimals,
                std::fabs(rounded));
  bool zero = std::strspn(digits, "0.") == std::strlen(digits);
  std::snprintf(text, size, "%s%s", rounded < 0 && !zero ? minus : "", digits);
}

void FormatMeasurement(double value, bool hasError, double error, char* text,
                       size_t size) {
  int decimals = MeasuredDecimals(value, hasError, error);
  char valueText[kMeasurementTextSize];
  FormatFixed(value, decimals, "&minus;", valueText, sizeof(valueText));
  if (!IsUsableError(hasError, error)) {
    std::snprintf(text, size, "%s", valueText);
    return;
  }
  char errorText[kMeasurementTextSize];
  FormatFixed(error, decimals, "&minus;", errorText, sizeof(errorText));
  std::snprintf(text, size, "%s &plusmn; %s", valueText, errorText);
}

namespace {

constexpr double kAstronomicalUnitsPerLightYear = 63241.077;

// The places of two significant digits of "value", a positive number.
int TwoSignificantDecimals(double value) {
  int exponent = static_cast<int>(std::floor(std::log10(value)));
  return std::min(kMaxDecimals, 1 - exponent);
}

}  // namespace

void FormatSeparation(double lightYears, char* text, size_t size) {
  if (!std::isfinite(lightYears)) {
    std::snprintf(text, size, "not known");
    return;
  }
  if (lightYears <= 0) {
    std::snprintf(text, size, "0 light-years (the same position)");
    return;
  }
  char years[kMeasurementTextSize];
  FormatFixed(lightYears, std::max(0, TwoSignificantDecimals(lightYears)),
              "&minus;", years, sizeof(years));
  if (lightYears >= 1) {
    std::snprintf(text, size, "%s light-years", years);
    return;
  }
  double units = lightYears * kAstronomicalUnitsPerLightYear;
  char unitsText[kMeasurementTextSize];
  FormatFixed(units, TwoSignificantDecimals(units), "&minus;", unitsText,
              sizeof(unitsText));
  std::snprintf(text, size, "%s light-years (%s AU)", years, unitsText);
}

}  // namespace veloran
