#ifndef VELORAN_INDEX_POSITION_INDEX_BUILDER_H_
#define VELORAN_INDEX_POSITION_INDEX_BUILDER_H_

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "search/index_rows.h"

// The building of the position index (catalogue/position_index.h) of a
// SQLite star database: the one code path that computes its rows, for the
// importer, the benchmarks' generator, veloran-index-database and, through
// that command, the loader of the database servers.
//
// The rows are computed from Positions as the searches read it through
// the project's ODBC driver: the same statement, each column converted to
// the same C type by the driver's own conversions, a NULL read as the scan
// reads it, and the searches' own functions for the point, the angles and
// the keys.  A value that the driver could not convert (the scan would
// fail on it) is refused, with its row and column.

namespace veloran {

struct IndexBuildCounts {
  int64_t positionRows = 0;  // every row of Positions
  int64_t stars = 0;         // the star rows: the index's rows
};

// Reads Positions of "db" and hands each star row's index row to "emit",
// in the order of the rows.  "progress", when given, gets a line of
// progress now and then.  False with *error when a value does not convert
// or the reading fails.
bool ComputeIndexRows(sqlite3* db, void (*emit)(void*, const IndexRow&),
                      void* context, FILE* progress, IndexBuildCounts* counts,
                      std::string* error);

// Writes the position index of "db" anew (dropping the one there was): the
// tables PositionIndex and PositionIndexInfo and the triggers on Positions
// that delete the row of PositionIndexInfo at any change of it.  Runs in
// the caller's transaction, which makes the change whole or none.
bool BuildPositionIndex(sqlite3* db, FILE* progress, IndexBuildCounts* counts,
                        std::string* error);

// Drops the position index of "db", if it has one, in the caller's
// transaction.
bool DropPositionIndex(sqlite3* db, std::string* error);

// The states of a SQLite database's index that CheckPositionIndex tells.
enum class IndexFileState {
  kCurrent,    // it matches Positions and this program's arithmetic
  kMissing,    // there is none
  kStale,      // Positions changed after it was built
  kUnguarded,  // a trigger that marks it stale is missing
  kForeign,    // another layout, or built by other arithmetic
};

// The state of the index of "db", from its tables alone (no row of
// Positions is read).  False with *error when they cannot be read.
bool CheckPositionIndex(sqlite3* db, IndexFileState* state,
                        std::string* error);

}  // namespace veloran

#endif  // VELORAN_INDEX_POSITION_INDEX_BUILDER_H_
