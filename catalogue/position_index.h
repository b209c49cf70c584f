#ifndef VELORAN_CATALOGUE_POSITION_INDEX_H_
#define VELORAN_CATALOGUE_POSITION_INDEX_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

// The stored position index: a table beside Positions with one row for
// each star's own position row, holding what the searches compute of it
// (its galactic point, its decimal right ascension and declination) and
// two keys that a plain B-tree serves, a cell of space and a pixel of the
// sky, so that a search reads only the rows near what it asks.
//
//   PositionIndex      RowOrder (the row's place in the order in which
//                      "SELECT ... FROM Positions" returns the star rows,
//                      from 0), OwnerID, Cell, Pixel, X, Y, Z, RAHours,
//                      DecDegrees, Distance (each NULL where the row has
//                      none; Cell and Pixel -1)
//   PositionIndexInfo  one row while the index matches Positions: Layout,
//                      Stars (the index's rows), ConversionCheck and
//                      DoubleCheck (below); triggers on Positions delete it
//                      at any change of the table
//
// Building it is the index builder's (index/); this reads it.

namespace veloran {

// A run of keys, both ends included.  Keys are never negative.
struct KeyRange {
  int64_t first;
  int64_t last;
};

// The form of the index that this program reads.
inline constexpr int32_t kPositionIndexLayout = 1;

// A double that only a driver delivering stored doubles bit for bit gives
// back unchanged (0.1 + 0.2, 17 significant digits): the index's values
// are then the very values that a scan through the same driver computes.
inline constexpr uint64_t kDoubleCheckBits = 0x3FD3333333333334ull;

// What the row of PositionIndexInfo says, with whether the triggers that
// keep it honest are all in place.
struct PositionIndexInfo {
  int32_t layout;
  int64_t stars;
  int64_t conversionCheck;  // see position_source.h
  uint64_t doubleCheckBits;
  bool guarded;  // every trigger on Positions is there (and enabled)
};

enum class IndexReading {
  kRead,      // *info holds the row
  kStale,     // the table has no row: Positions changed since the build
  kMissing,   // no such table, or no check for this database engine
  kFailed,    // the statement failed otherwise (kept as the read fault)
};

// Reads the row of PositionIndexInfo through "statement", on the
// connection "connection", with the check of the triggers that the
// connection's database engine (SQLite, PostgreSQL, MariaDB) understands.
// A missing table is forgotten as a read fault: the database is one
// without an index.
IndexReading ReadPositionIndexInfo(SQLHDBC connection, SQLHSTMT statement,
                                   PositionIndexInfo* info);

// The key that a reading of the index goes by.
enum class IndexKey { kCell, kPixel };

// One row of PositionIndex.
struct IndexedPosition {
  int64_t rowOrder;
  int32_t starId;
  bool hasPoint;
  double x, y, z;  // galactic, light-years
  bool hasRA;
  double raHours;
  bool hasDec;
  double decDegrees;
  bool hasDistance;
  double distance;  // light-years, as Positions holds it
};

using IndexedPositionVisitor = void (*)(void* context,
                                        const IndexedPosition& position);

// The most runs one reading takes.
inline constexpr int kMaxIndexRanges = 64;

enum class IndexRowsRead {
  kAll,          // every row in the runs was handed over
  kNotExecuted,  // the statement did not execute with SQL_SUCCESS: none was
  kIncomplete,   // a row could not be fetched: the rows handed over are
                 // not all
};

// Reads the rows of PositionIndex whose "key" lies in one of the "count"
// runs (at most kMaxIndexRanges), in no particular order, handing each to
// "visit".  A failure of the database is kept as the read fault.
IndexRowsRead ReadIndexedPositions(SQLHSTMT statement, IndexKey key,
                                   const KeyRange* ranges, int count,
                                   IndexedPositionVisitor visit,
                                   void* context);

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_POSITION_INDEX_H_
