#ifndef VELORAN_SEARCH_NEIGHBOUR_SCAN_H_
#define VELORAN_SEARCH_NEIGHBOUR_SCAN_H_

#include <sql.h>
#include <sqlext.h>

#include <cmath>
#include <cstdint>

#include "astro/position_conversion.h"
#include "catalogue/star_records.h"
#include "search/position_scan.h"
#include "search/search_region.h"

// The scan of all positions, the ranking of the nearest stars and their
// listing on the result page.

namespace veloran {

constexpr int kMaxListedStars = 100;

// What makes a star a match of a neighbour search: its galactic point lies
// within [minDistance, maxDistance] light-years of "centre", its decimal RA
// and Dec within the inclusive bounds, and it is not star "excludedId" (0:
// none).
struct NeighbourQuery {
  double minRA;  // hours
  double maxRA;
  double minDec;  // degrees
  double maxDec;
  CartesianPoint centre;  // galactic, light-years
  double maxDistance;
  double minDistance;
  int32_t excludedId;
  double centreNorm;  // the centre's distance from the Sun, as DistanceFromSun
};

NeighbourQuery MakeNeighbourQuery(double minRA, double maxRA, double minDec,
                                  double maxDec, const CartesianPoint& centre,
                                  double maxDistance, double minDistance,
                                  int32_t excludedId);

// A star that matched, with what the scan computed of it.
struct NeighbourMatch {
  int32_t starId;
  double distance;       // from the centre, light-years
  CartesianPoint point;  // galactic, light-years from the Sun
  double raHours;        // 0 for a row without RA (at distance 0)
  double decDegrees;     // 0 for a row without Dec
  int64_t order;         // the row's StarPosition::order
  // The distance from the Sun as Positions holds it, when it holds one.
  bool hasSunDistance = false;
  double sunDistance = 0.0;
};

// The largest distance times this bounds a match's distance from the
// centre along one axis, rounding included.
constexpr double kAxisMargin = 1.0 + 1e-9;

// The region of space that every match of "query" lies in.
SearchRegion RegionOf(const NeighbourQuery& query);

// The rest of MatchNeighbour, after its quick tests: the row's point and
// its exact distance from the centre.
bool MatchNeighbourRow(const NeighbourQuery& query,
                       const StarPosition& position, NeighbourMatch* match);

// Whether the position row "position" (as ScanStarPositions hands it over)
// matches "query"; fills *match when it does.
inline bool MatchNeighbour(const NeighbourQuery& query,
                           const StarPosition& position,
                           NeighbourMatch* match) {
  // A row kept in memory has its point: one farther from the centre along
  // x than the largest distance is farther in all, and is passed over here,
  // in the scan's own loop, for nearly every row of a small search.  The
  // computed distance is at least |dx| less a few units of rounding, which
  // the margin covers; a NaN goes on to the exact test.
  //
  // The window of RA and Dec comes first: both are known for every row,
  // and a window of the sky passes over most rows before any trigonometry.
  // A row without RA or Dec is tested as 0h or 0 degrees.
  double ra = position.raHours;
  double dec = position.decDegrees;
  if (ra < query.minRA || ra > query.maxRA) return false;
  if (dec < query.minDec || dec > query.maxDec) return false;
  if (position.pointComputed &&
      std::fabs(position.point.x - query.centre.x) >
          query.maxDistance * kAxisMargin) {
    return false;
  }
  return MatchNeighbourRow(query, position, match);
}

struct NeighbourEntry {
  int32_t starId;
  double distance;  // from the centre, light-years
  int64_t order;    // the row's StarPosition::order
};

// Nearest first; entries at equal distance in the order of their rows.
// One place beyond the 100 takes the entry pushed out before it drops.
struct NeighbourList {
  NeighbourEntry entries[kMaxListedStars + 1];
  int count = 0;
};

// Ranks (starId, distance) of the row in place "order" into "list": it goes
// before the first entry that is strictly farther, or as far and of a later
// row, so a full list takes it only if it is nearer than the farthest
// entry, which then drops out.  With the rows ranked in their order, an
// entry as far as it is always of an earlier row: it goes after every
// entry that is not farther, as the classic listing ranks.
void RankNeighbour(NeighbourList* list, int32_t starId, double distance,
                   int64_t order);

// Reads every row of Positions once (in a resident worker: the kept rows
// near the centre) and lists, nearest first, up to 100
// stars whose distance from the galactic point (centreX, centreY, centreZ)
// lies in [minDistance, maxDistance] and whose decimal RA and Dec lie in the
// given inclusive bounds, passing over rows that are no star's own position
// and the row of "excludedId".  Writes the listing lines, with each star's
// display name, distance and class, to standard output.  A failed read
// ends the listing and is kept as the read fault (read_fault.h): a Positions
// statement that does not execute with SQL_SUCCESS with the line
// "<BR>Internal error: Database query failed.", a failed fetch of a row, a
// name or a class with the line of WriteIncompleteReadLine, after the
// listing lines written so far.
void ScanNeighbours(SQLHSTMT statement, double minRA, double maxRA,
                    double minDec, double maxDec, double centreX,
                    double centreY, double centreZ, double maxDistance,
                    double minDistance, int32_t excludedId);

// Writes the line that ends a page whose reading of the star database
// failed, so that what it lists does not pass for the whole answer.
void WriteIncompleteReadLine();

}  // namespace veloran

#endif  // VELORAN_SEARCH_NEIGHBOUR_SCAN_H_
