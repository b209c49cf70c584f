#ifndef VELORAN_SEARCH_POSITION_SCAN_H_
#define VELORAN_SEARCH_POSITION_SCAN_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "astro/position_conversion.h"
#include "catalogue/star_records.h"

// The one reading of every star's position that each search is made of:
// the neighbour search, its pages and the cone search differ only in what
// they keep of each row.

namespace veloran {

enum class ScanOutcome {
  kRead,         // every row was read
  kNotExecuted,  // the statement did not execute with SQL_SUCCESS
  kIncomplete,   // a row could not be fetched: the rows seen are not all
};

// A star's own position row as the searches see it.  The decimal RA and
// Dec are computed for every row (they are cheap); the galactic point,
// which takes trigonometry, only where a search asks for it
// (GalacticPointOf), except for rows kept in memory, which have it ahead.
struct StarPosition {
  int32_t starId;  // the row's OwnerID, a multiple of 100
  bool hasRA;
  bool hasDec;
  bool hasDistance;
  // Whether "placed" and "point" below hold the galactic point: for rows
  // kept in memory.  Otherwise "row" is the row as read.
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

// Receives each star's own position row, in the order the rows arrive.
using PositionVisitor = void (*)(void* context, const StarPosition& position);

// Reads every row of Positions once, passes over the rows that are no
// star's own position (no owner, or an owner that is not a multiple of
// 100) and hands the others to "visit".  A failure is kept as the read
// fault (read_fault.h): a statement that executes with information, too.
//
// In a resident worker (kept_connection.h) the rows are read through ODBC
// once for each database and kept in memory, in their order; each scan
// then hands over the kept rows, which are the same rows with the same
// values.  When the kept rows cannot be read, the scan fails as the
// reading failed; when they find no memory, the rows are read from the
// database for each scan.
//
// "bounds", when given, says that "visit" passes over every row whose
// galactic x lies outside [lowX, highX]: a scan of the kept rows then
// leaves those out, reading only a compact array of their x.  It is never
// needed for the result, only for speed.
struct ScanBounds {
  double lowX;
  double highX;
};
ScanOutcome ScanStarPositions(SQLHSTMT statement, PositionVisitor visit,
                              void* context,
                              const ScanBounds* bounds = nullptr);

// Frees the kept rows.
void FreeKeptPositions();

}  // namespace veloran

#endif  // VELORAN_SEARCH_POSITION_SCAN_H_
