#include "cgi/search_window.h"

#include <cstdio>

#include "cgi/number_reading.h"
#include "cgi/output.h"
#include "cgi/page_frame.h"
#include "cgi/query_params.h"

namespace veloran {

SearchWindow searchWindow;

namespace {

// The largest seconds value accepted: 60 itself is not.
constexpr double kMaxSeconds = 59.999999999;

// Narrower bounds than these make the heading describe the window.
constexpr double kFullRaHours = 23.9999997;
constexpr double kFullDecDegrees = 89.9999997;

// The three parameters of one sexagesimal bound: hours or degrees, minutes,
// seconds.  Setting the first resets the other two; setting the minutes
// resets the seconds.
struct BoundParameters {
  const char* unitName;
  const char* minuteName;
  const char* secondName;
  int32_t* unit;
  int32_t* minutes;
  double* seconds;
  int32_t unitLow;
  int32_t unitHigh;
  const char* unitMessage;
  const char* minuteMessage;
  const char* secondMessage;
};

bool ReadBound(const BoundParameters& bound, const char** rejection) {
  if (const char* value = FindQueryParam(bound.unitName)) {
    int32_t unit = ReadInteger(value);
    if (unit < bound.unitLow || unit > bound.unitHigh) {
      *rejection = bound.unitMessage;
      return false;
    }
    *bound.unit = unit;
    *bound.minutes = 0;
    *bound.seconds = 0.0;
  }
  if (const char* value = FindQueryParam(bound.minuteName)) {
    int32_t minutes = ReadInteger(value);
    if (minutes < 0 || minutes > 59) {
      *rejection = bound.minuteMessage;
      return false;
    }
    *bound.minutes = minutes;
    *bound.seconds = 0.0;
  }
  if (const char* value = FindQueryParam(bound.secondName)) {
    double seconds = ReadReal(value);
    // Written so that not-a-number fails too.
    if (!(seconds >= 0.0 && seconds <= kMaxSeconds)) {
      *rejection = bound.secondMessage;
      return false;
    }
    *bound.seconds = seconds;
  }
  return true;
}

}  // namespace

const char* const kWindowParameters[kWindowParameterCount] = {
    "ly",        "minLY",     "minRAHour", "minRAMin",  "minRASec",
    "maxRAHour", "maxRAMin",  "maxRASec",  "minDecDeg", "minDecMin",
    "minDecSec", "maxDecDeg", "maxDecMin", "maxDecSec"};

bool ReadSearchWindow(SearchWindow* window, const char** rejection) {
  const char* const* names = kWindowParameters;
  if (const char* value = FindQueryParam(names[0])) {
    double radius = ReadReal(value);
    if (!(radius >= 2.0)) {
      *rejection = "Search radius must be at least 2 light-years.";
      return false;
    }
    window->maxRadius = radius;
  }
  if (const char* value = FindQueryParam(names[1])) {
    double radius = ReadReal(value);
    if (radius > window->maxRadius) {
      *rejection = "Minimum search radius cannot be greater than maximum search "
          "radius.";
      return false;
    }
    window->minRadius = radius;
  }

  const BoundParameters bounds[] = {
      {names[2], names[3], names[4], &window->minRA.hours,
       &window->minRA.minutes, &window->minRA.seconds, 0, 23,
       "Minimum right ascension hours must be between 0 and 23 inclusive.",
       "Minimum right ascension minutes must be between 0 and 59 inclusive.",
       "Minimum right ascension seconds must be >= 0 and < 60."},
      {names[5], names[6], names[7], &window->maxRA.hours,
       &window->maxRA.minutes, &window->maxRA.seconds, 0, 23,
       "Maximum right ascension hours must be between 0 and 23 inclusive.",
       "Maximum right ascension minutes must be between 0 and 59 inclusive.",
       "Maximum right ascension seconds must be >= 0 and < 60."},
      {names[8], names[9], names[10], &window->minDec.degrees,
       &window->minDec.arcminutes, &window->minDec.arcseconds, -89, 89,
       "Minimum declination degrees must be between -89 and +89 inclusive.",
       "Minimum declination minutes must be between 0 and 59 inclusive.",
       "Minimum declination seconds must be >= 0 and < 60"},
      {names[11], names[12], names[13], &window->maxDec.degrees,
       &window->maxDec.arcminutes, &window->maxDec.arcseconds, -89, 89,
       "Maxmimum declination degrees must be between -89 and +89 inclusive.",
       "Maximum declination minutes must be between 0 and 59 inclusive.",
       "Maximum declination seconds must be >= 0 and < 60"},
  };

  if (!ReadBound(bounds[0], rejection)) return false;
  window->minRAHours = RaBoundHours(window->minRA);
  if (!ReadBound(bounds[1], rejection)) return false;
  window->maxRAHours = RaBoundHours(window->maxRA);
  if (window->minRAHours > window->maxRAHours) {
    *rejection = "Minimum right ascension cannot be greater than maximum right "
        "ascension.";
    return false;
  }

  if (!ReadBound(bounds[2], rejection)) return false;
  window->minDecDegrees = DecBoundDegrees(window->minDec);
  if (!ReadBound(bounds[3], rejection)) return false;
  window->maxDecDegrees = DecBoundDegrees(window->maxDec);
  if (window->minDecDegrees > window->maxDecDegrees) {
    *rejection = "Minimum declination cannot be greater than maximum declination.";
    return false;
  }
  return true;
}

bool ParseSearchWindow(SearchWindow* window) {
  const char* rejection = nullptr;
  if (ReadSearchWindow(window, &rejection)) return true;
  WritePlainReply(rejection);
  return false;
}

bool WindowLimitsRightAscension(const SearchWindow& window) {
  return window.minRAHours > 0.0 || window.maxRAHours < kFullRaHours;
}

bool WindowLimitsDeclination(const SearchWindow& window) {
  return window.minDecDegrees > -kFullDecDegrees ||
         window.maxDecDegrees < kFullDecDegrees;
}

void WriteWindowClauses(const SearchWindow& window) {
  bool raClause = WindowLimitsRightAscension(window);
  if (raClause) {
    std::printf(", with Right Ascensions between %dh%dm%ss and %dh%dm%ss",
                window.minRA.hours, window.minRA.minutes,
                GNumber(window.minRA.seconds).text, window.maxRA.hours,
                window.maxRA.minutes, GNumber(window.maxRA.seconds).text);
  }
  if (WindowLimitsDeclination(window)) {
    WriteText(raClause ? ", and" : ", with");
    std::printf(" Declinations between %+d&deg;%d'%s\" and %+d&deg;%d'%s\"",
                window.minDec.degrees, window.minDec.arcminutes,
                GNumber(window.minDec.arcseconds).text, window.maxDec.degrees,
                window.maxDec.arcminutes,
                GNumber(window.maxDec.arcseconds).text);
  }
  WriteText(":</H3></CENTER>\n");
}

}  // namespace veloran
