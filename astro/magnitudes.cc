#include "astro/magnitudes.h"

#include <cmath>

namespace veloran {

bool AbsoluteMagnitude(double vMag, double lightYears, double* absolute) {
  if (!std::isfinite(vMag) || !std::isfinite(lightYears) || lightYears < 0) {
    return false;
  }
  double parsecs = lightYears > 0 ? lightYears / kLightYearsPerParsec
                                  : kParsecsPerAstronomicalUnit;
  *absolute = vMag + 5 - 5 * std::log10(parsecs);
  return true;
}

bool MagnitudeFrom(double absolute, double lightYears, double* apparent) {
  if (!std::isfinite(absolute) || !std::isfinite(lightYears) ||
      !(lightYears > 0)) {
    return false;
  }
  *apparent = absolute - 5 + 5 * std::log10(lightYears / kLightYearsPerParsec);
  return true;
}

}  // namespace veloran
