#ifndef VELORAN_SEARCH_POSITION_SCAN_H_
#define VELORAN_SEARCH_POSITION_SCAN_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

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

// Receives each star's own position row, in the order the rows arrive:
// "ownerId" is the star's ID (a multiple of 100) and "row" has RA_hr,
// RA_min, RA_sec, Dec_deg, Dec_arcmin, Dec_arcsec and Distance with their
// flags; every other field is zero.
using PositionVisitor = void (*)(void* context, int32_t ownerId,
                                 const PositionRecord& row);

// Reads every row of Positions once, passes over the rows that are no
// star's own position (no owner, or an owner that is not a multiple of
// 100) and hands the others to "visit".  A failure is kept as the read
// fault (read_fault.h): a statement that executes with information, too.
ScanOutcome ScanStarPositions(SQLHSTMT statement, PositionVisitor visit,
                              void* context);

}  // namespace veloran

#endif  // VELORAN_SEARCH_POSITION_SCAN_H_
