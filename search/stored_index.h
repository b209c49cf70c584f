#ifndef VELORAN_SEARCH_STORED_INDEX_H_
#define VELORAN_SEARCH_STORED_INDEX_H_

#include <sql.h>
#include <sqlext.h>

#include "catalogue/position_index.h"
#include "search/key_ranges.h"
#include "search/position_scan.h"

// The position index stored in the database (catalogue/position_index.h),
// as a source of a search's rows: whether it may be used, and the reading
// of the rows in runs of its keys.

namespace veloran {

enum class StoredIndexState {
  kUsable,
  kMissing,         // the database has no index
  kStale,           // Positions changed after the index was built
  kUnguarded,       // a trigger that marks it stale is missing or disabled
  kOtherLayout,     // built by a version of the builder that this one
                    // does not read
  kInexactDriver,   // the driver does not deliver doubles bit for bit
  kOtherArithmetic, // built by a program that computes other values
  kUnreadable,      // its reading failed (kept as the read fault)
};

// The state of the index of the database that "connection" reads, read
// through its statement handle "statement".  Only kUsable lets a search
// read it; the searches read Positions whole otherwise.
StoredIndexState CheckStoredIndex(SQLHDBC connection, SQLHSTMT statement);

// A word for "state" ("in-use", "missing", "stale", ...), and one sentence
// for the operator on it that says what to do.
const char* StoredIndexStateWord(StoredIndexState state);
const char* DescribeStoredIndexState(StoredIndexState state);

// Reads the rows of the index whose "key" lies in "ranges" (at least one
// run) and hands each, as a StarPosition with its point, to "visit", in
// no particular order.
ScanOutcome VisitStoredIndex(SQLHSTMT statement, IndexKey key,
                             const KeyRanges& ranges, PositionVisitor visit,
                             void* context);

}  // namespace veloran

#endif  // VELORAN_SEARCH_STORED_INDEX_H_
