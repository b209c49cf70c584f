#include "site/position_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

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

}  // namespace veloran
