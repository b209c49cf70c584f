#ifndef VELORAN_SEARCH_SEARCH_REGION_H_
#define VELORAN_SEARCH_SEARCH_REGION_H_

#include "astro/position_conversion.h"

// What a search says of the rows it can match, so that a source of rows
// (position_source.h) hands it those and as few others as it can.  A
// region is a promise of the search: every row it can match lies in the
// region; rows outside may be handed over too, and the search passes over
// them by its own exact test.

namespace veloran {

struct SearchRegion {
  enum class Kind {
    kEverything,  // any row may match
    kShell,       // galactic points from minDistance to maxDistance of centre
    kCone,        // directions within radiusDegrees of (raDegrees, decDegrees)
  };
  Kind kind = Kind::kEverything;
  CartesianPoint centre{0.0, 0.0, 0.0};  // galactic, light-years
  double minDistance = 0.0;              // light-years, both inclusive
  double maxDistance = 0.0;
  double raDegrees = 0.0;
  double decDegrees = 0.0;
  double radiusDegrees = 0.0;
  // A second promise, which a source may keep instead of the first: every
  // row it can match that has RA and Dec has its direction within
  // windowRadius degrees of (windowRA, windowDec) (a search of a window of
  // the sky).  Rows without RA or Dec are not bounded by it.
  bool hasWindow = false;
  double windowRA = 0.0;  // degrees
  double windowDec = 0.0;
  double windowRadius = 0.0;
};

inline SearchRegion EverywhereRegion() { return SearchRegion{}; }

// The stars whose distance from "centre", as the searches compute it, may
// lie between minDistance and maxDistance.
inline SearchRegion ShellRegion(const CartesianPoint& centre,
                                double minDistance, double maxDistance) {
  SearchRegion region;
  region.kind = SearchRegion::Kind::kShell;
  region.centre = centre;
  region.minDistance = minDistance;
  region.maxDistance = maxDistance;
  return region;
}

// The stars whose direction (their decimal right ascension times 15 and
// declination) may lie within radiusDegrees of (raDegrees, decDegrees), as
// the cone search computes separations.
inline SearchRegion ConeRegion(double raDegrees, double decDegrees,
                               double radiusDegrees) {
  SearchRegion region;
  region.kind = SearchRegion::Kind::kCone;
  region.raDegrees = raDegrees;
  region.decDegrees = decDegrees;
  region.radiusDegrees = radiusDegrees;
  return region;
}

}  // namespace veloran

#endif  // VELORAN_SEARCH_SEARCH_REGION_H_
