#ifndef VELORAN_SEARCH_POSITION_SOURCE_H_
#define VELORAN_SEARCH_POSITION_SOURCE_H_

#include <sql.h>
#include <sqlext.h>

#include "search/position_scan.h"
#include "search/search_region.h"

// Where a search's rows come from.  Every search asks the same way, with
// the region its matches lie in, and gets the star rows that may lie there
// from the best source at hand:
//   - in a resident worker, the rows it keeps in memory, through their
//     index in memory (kept_positions.h);
//   - else the position index stored in the database, when it is there,
//     matches Positions and may be trusted (stored_index.h);
//   - else every row of Positions, by the classic scan.
// The rows are the same rows with the same values whichever source hands
// them over; only how many others come with them differs, and their
// order: a search ranks equal distances by StarPosition::order.

namespace veloran {

// Hands "visit" every star row that may lie in "region" (and perhaps
// others), from the best source at hand.  A failed read is kept as the
// read fault (read_fault.h) and given as the outcome, as
// ReadStarPositions gives it.
ScanOutcome VisitCandidates(SQLHSTMT statement, const SearchRegion& region,
                            PositionVisitor visit, void* context);

// As VisitCandidates, but never from the stored index: the kept rows or
// the classic scan of every row.
ScanOutcome VisitStarPositions(SQLHSTMT statement, const SearchRegion& region,
                               PositionVisitor visit, void* context);

}  // namespace veloran

#endif  // VELORAN_SEARCH_POSITION_SOURCE_H_
