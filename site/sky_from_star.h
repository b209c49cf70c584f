#ifndef VELORAN_SITE_SKY_FROM_STAR_H_
#define VELORAN_SITE_SKY_FROM_STAR_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "astro/position_conversion.h"
#include "catalogue/display_names.h"

// The sky as seen from a star: every catalogued star that shines brighter
// than kSkyMagnitudeLimit from there, at its direction seen from there, on
// a chart of the whole sky.  A star's magnitude from there follows from its
// V, its distance from the Sun and its distance from the star
// (astro/magnitudes.h); the Sun is the row at distance 0, whose V is seen
// from the Earth.  It takes one pass over every star: the kept rows in a
// resident worker, else the classic scan.

namespace veloran {

constexpr double kSkyMagnitudeLimit = 6.5;
// The brightest stars that a chart draws; a sky with more has the rest
// counted, not drawn.
constexpr int kMaxSkyStars = 12000;
// The brightest stars named on the chart and listed under it.
constexpr int kSkyNamedStars = 20;

struct SkyStar {
  int32_t id;
  double raHours;  // the direction seen from the star, equatorial
  double decDegrees;
  double magnitude;  // as seen from the star
  double vMag;       // as seen from the Earth
  double distance;   // light-years from the star
  bool sun;          // the Sun (the star at distance 0)
};

struct SkyView {
  bool hasMagnitudes;  // the database has magnitudes (StarFacts)
  int total;           // stars brighter than the limit from there
  int count;           // the brightest of them, brightest first
  SkyStar stars[kMaxSkyStars];
  int sunAt;  // the Sun's place in "stars", or -1
  // The Sun's magnitude from there, drawn or too faint.
  bool hasSunMagnitude;
  double sunMagnitude;
  // The display names of the first kSkyNamedStars stars and of the Sun.
  bool hasName[kSkyNamedStars + 1];
  char names[kSkyNamedStars + 1][kDisplayNameSize];
};

// Reads the sky seen from galactic point "from" into *view, with the
// catalogue table loaded (LoadCatalogueNames); a star at that very point
// (the star itself) has no direction and is left out.  False when a read
// failed (kept as the read fault, read_fault.h) or memory ran out.
bool ReadSkyFrom(SQLHSTMT statement, const CartesianPoint& from, SkyView* view);

// The place of direction (raHours, decDegrees) on the chart's Hammer-Aitoff
// projection of the whole sky, right ascension 0h at the centre and
// increasing to the left, as the sky is seen from inside: *x within
// [-2 sqrt 2, 2 sqrt 2] to the right, *y within [-sqrt 2, sqrt 2] upwards.
void HammerAitoff(double raHours, double decDegrees, double* x, double* y);

// The index of the name of view.stars[i] in view.names, or -1.
int SkyNameIndex(const SkyView& view, int i);

// A magnitude as the sky's chart and list write it: one decimal, with its
// sign ("+2.6", "&minus;1.4", "0.0").
void WriteSkyMagnitude(double magnitude);

// The name that the chart and its list give view.stars[i]: its display
// name (as SVG text when "svg"), "the Sun", or "Star N".
void WriteSkyStarName(const SkyView& view, int i, bool svg);

// Writes the chart (an <svg> element, no script needed) of "view" seen
// from the star named by the HTML fragment "fromName": a dot for each star
// sized by its magnitude from there, the Sun marked and named with its
// magnitude, the brightest named, each named dot linked to its entry page.
void WriteSkyChart(const SkyView& view, const char* fromName);

}  // namespace veloran

#endif  // VELORAN_SITE_SKY_FROM_STAR_H_
