#ifndef VELORAN_CGI_SEARCH_WINDOW_H_
#define VELORAN_CGI_SEARCH_WINDOW_H_

#include <cstdint>

#include "astro/position_conversion.h"

// Everything besides the centre that limits a neighbour search: the distance
// range and a window in right ascension and declination.

namespace veloran {

struct RaBound {
  int32_t hours;
  int32_t minutes;
  double seconds;
};

// The degrees carry the sign of the whole bound; zero degrees count as
// positive.
struct DecBound {
  int32_t degrees;
  int32_t arcminutes;
  double arcseconds;
};

// Decimal hours and degrees of a bound, as a star's position has them.
inline double RaBoundHours(const RaBound& bound) {
  return DecimalHours(bound.hours, bound.minutes, bound.seconds);
}
inline double DecBoundDegrees(const DecBound& bound) {
  return DecimalDegrees(bound.degrees, bound.arcminutes, bound.arcseconds);
}

struct SearchWindow {
  CartesianPoint centre = {0.0, 0.0, 0.0};  // galactic, light-years
  double maxRadius = 15.0;                  // light-years
  double minRadius = 0.0;                   // light-years
  RaBound minRA = {0, 0, 0.0};
  RaBound maxRA = {23, 59, 59.999};
  DecBound minDec = {-89, 59, 59.999};
  DecBound maxDec = {89, 59, 59.999};
  double minRAHours = RaBoundHours(minRA);
  double maxRAHours = RaBoundHours(maxRA);
  double minDecDegrees = DecBoundDegrees(minDec);
  double maxDecDegrees = DecBoundDegrees(maxDec);
};

// The request's window: filled once, then only read.
extern SearchWindow searchWindow;

// The query parameters of the window, in the order ParseSearchWindow reads
// them: "ly", "minLY", then hours (degrees), minutes and seconds of the
// minimum and maximum right ascension and declination.
inline constexpr int kWindowParameterCount = 14;
extern const char* const kWindowParameters[kWindowParameterCount];

// Reads "ly", "minLY" and the twelve RA/Dec parameters, in that fixed order,
// into "window".  A present parameter is read even when empty (as 0); an
// absent one leaves its field unchanged.  Returns false at the first rejected
// parameter, after writing its text/plain reply; nothing later is read.
bool ParseSearchWindow(SearchWindow* window);

// The same without a reply: *rejection is then the rejected parameter's
// message, a text without markup ("Search radius must be at least 2
// light-years.").
bool ReadSearchWindow(SearchWindow* window, const char** rejection);

// Whether the window is narrower than the whole sky in right ascension, and
// in declination: the limits that a result heading describes.
bool WindowLimitsRightAscension(const SearchWindow& window);
bool WindowLimitsDeclination(const SearchWindow& window);

// Writes the right-ascension and declination clauses of the result heading
// where the window is narrower than the whole sky, then ":</H3></CENTER>"
// and a newline.
void WriteWindowClauses(const SearchWindow& window);

}  // namespace veloran

#endif  // VELORAN_CGI_SEARCH_WINDOW_H_
