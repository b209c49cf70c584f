#ifndef VELORAN_SEARCH_POSITION_SCAN_H_
#define VELORAN_SEARCH_POSITION_SCAN_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "astro/position_conversion.h"
#include "catalogue/star_records.h"

// A star's own position row as every search sees it, and the one reading
// of all of them that the classic search is made of.  The other sources of
// the same rows, which read only those near what a search asks, are in
// position_source.h.

namespace veloran {

enum class ScanOutcome {
  kRead,         // every row was read
  kNotExecuted,  // the statement did not execute with SQL_SUCCESS
  kIncomplete,   // a row could not be fetched: the rows seen are not all
};

// A star's own position row.  The decimal RA and Dec are computed for
// every row (they are cheap); the galactic point, which takes
// trigonometry, only where a search asks for it (GalacticPointOf), except
// for rows read from an index or kept in memory, which have it ahead.
struct StarPosition {
  int32_t starId;  // the row's OwnerID, a multiple of 100
  // The row's place in the order in which the statement of Positions
  // returns the star rows, from 0: a search that meets the rows in another
  // order ranks ties by it, as the classic scan does by their arrival.
  int64_t order;
  bool hasRA;
  bool hasDec;
  bool hasDistance;
  // Whether "placed" and "point" below hold the galactic point.  Otherwise
  // "row" is the row as read.
  bool pointComputed;
  bool placed;                // PositionToCartesian found a point
  double distance;            // light-years from the Sun, when hasDistance
  double raHours;             // DecimalHours of the row; 0 without RA
  double decDegrees;          // DecimalDegrees of the row; 0 without Dec
  CartesianPoint point;       // galactic, when pointComputed and placed
  const PositionRecord* row;  // RA_hr .. Distance with their flags, or null
};

// The galactic point of "position" (PositionToCartesian of its row, the
// galactic flag set); false when the row gives none.
inline bool GalacticPointOf(const StarPosition& position,
                            CartesianPoint* point) {
  if (position.pointComputed) {
    *point = position.point;
    return position.placed;
  }
  return PositionToCartesian(*position.row, true, point);
}

// Receives the star rows of a search.
using PositionVisitor = void (*)(void* context, const StarPosition& position);

// The columns that the statement of Positions reads, in its order, as the
// driver delivered them: "row" holds RA_hr .. Distance (a NULL one left at
// 0), "present" says which of RA_hr, Dec_deg, Distance and OwnerID were not
// NULL.
struct FetchedPositionRow {
  PositionRecord* row;
  int32_t ownerId;
  bool present[4];  // RA_hr, Dec_deg, Distance, OwnerID
};

// Whether the fetched row is a star's own position (it has an owner, a
// multiple of 100); if so, fills *position from it, its row pointing at
// fetched.row and its place "order".
bool StarPositionOfRow(const FetchedPositionRow& fetched, int64_t order,
                       StarPosition* position);

// Reads every row of Positions once with the classic search's statement,
// in the order the data source returns them, passes over the rows that
// are no star's own position and hands the others, in that order, to
// "visit".  A failure is kept as the read fault (read_fault.h): a
// statement that executes with information, too.
ScanOutcome ReadStarPositions(SQLHSTMT statement, PositionVisitor visit,
                              void* context);

}  // namespace veloran

#endif  // VELORAN_SEARCH_POSITION_SCAN_H_
