#ifndef VELORAN_SEARCH_KEPT_POSITIONS_H_
#define VELORAN_SEARCH_KEPT_POSITIONS_H_

#include <sql.h>
#include <sqlext.h>

#include "search/position_scan.h"
#include "search/search_region.h"

// The star rows that a resident worker keeps in memory for the database its
// kept connection reads (kept_connection.h), each with its galactic point,
// and an index of them in memory by the same keys as the stored index: the
// rows sorted by cell, and their order by sky pixel.  Read once for each
// database, with the statement of the classic scan.

namespace veloran {

enum class KeptState {
  kKept,       // the rows of the kept connection's database are at hand
  kNotKept,    // nothing is kept: no kept connection, or no memory for it
  kReadFailed, // reading them failed; the outcome says how
};

// Makes sure that the rows of the kept connection's database are kept,
// reading them through "statement" when they are not.  *outcome is the
// reading's outcome for kReadFailed.
KeptState KeepStarPositions(SQLHSTMT statement, ScanOutcome* outcome);

// Hands the kept rows that may lie in "region" to "visit", in no
// particular order; only after KeepStarPositions said kKept.
void VisitKeptPositions(const SearchRegion& region, PositionVisitor visit,
                        void* context);

// Frees the kept rows.
void FreeKeptPositions();

}  // namespace veloran

#endif  // VELORAN_SEARCH_KEPT_POSITIONS_H_
