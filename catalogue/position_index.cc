#include "catalogue/position_index.h"

#include <cassert>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "catalogue/fetched_text.h"
#include "catalogue/read_fault.h"
#include "catalogue/statements.h"

namespace veloran {

namespace {

// For each database engine, as its driver names it (SQL_DBMS_NAME): the
// reading of the index's row with the number of its triggers on Positions
// that are in place, and how many there must be.  A Positions table that
// was dropped and made anew has lost them, and its index says nothing of
// it.
struct EngineCheck {
  const char* engine;
  const char* statement;
  int32_t triggers;
};

constexpr EngineCheck kEngineChecks[] = {
    {"SQLite",
     "SELECT i.Layout, i.Stars, i.ConversionCheck, i.DoubleCheck, "
     "(SELECT COUNT(*) FROM sqlite_master m WHERE m.type = 'trigger' AND "
     "m.tbl_name = 'Positions' AND m.name IN ('PositionIndexStaleOnInsert', "
     "'PositionIndexStaleOnUpdate', 'PositionIndexStaleOnDelete')) "
     "FROM PositionIndexInfo i",
     3},
    // One trigger for every statement that writes, TRUNCATE included; a
    // disabled trigger does not count.
    {"PostgreSQL",
     "SELECT i.Layout, i.Stars, i.ConversionCheck, i.DoubleCheck, "
     "(SELECT COUNT(*) FROM pg_trigger t WHERE t.tgrelid = "
     "'positions'::regclass AND t.tgname = 'positionindexstale' AND "
     "t.tgenabled <> 'D') FROM PositionIndexInfo i",
     1},
    // information_schema shows a table's triggers only to whoever may
    // change them, never to the reader: the loader's view counts them with
    // its own rights (the three PositionIndexStaleOn... on Positions).
    {"MariaDB",
     "SELECT i.Layout, i.Stars, i.ConversionCheck, i.DoubleCheck, "
     "(SELECT g.Triggers FROM PositionIndexGuards g) "
     "FROM PositionIndexInfo i",
     3},
};

const EngineCheck* CheckOf(SQLHDBC connection) {
  char engine[64] = "";
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(connection, SQL_DBMS_NAME, engine,
                                sizeof(engine), &length))) {
    return nullptr;
  }
  TerminateFetchedText(engine, sizeof(engine), length);
  for (const EngineCheck& check : kEngineChecks) {
    if (std::strcmp(engine, check.engine) == 0) return &check;
  }
  return nullptr;
}

constexpr const char* kKeyColumns[] = {"Cell", "Pixel"};

// "SELECT ... WHERE key BETWEEN a AND b OR ...": the columns, then up to
// kMaxIndexRanges runs of two 20-digit numbers.
constexpr size_t kSelectionSize = 256 + kMaxIndexRanges * 64;

bool FormatSelection(IndexKey key, const KeyRange* ranges, int count,
                     char* text, size_t size) {
  const char* column = kKeyColumns[static_cast<int>(key)];
  int length = std::snprintf(text, size,
                             "SELECT RowOrder, OwnerID, X, Y, Z, RAHours, "
                             "DecDegrees, Distance FROM PositionIndex WHERE ");
  for (int i = 0; i < count; ++i) {
    if (length < 0 || static_cast<size_t>(length) >= size) return false;
    length += std::snprintf(text + length, size - length,
                            "%s%s BETWEEN %" PRId64 " AND %" PRId64,
                            i == 0 ? "" : " OR ", column, ranges[i].first,
                            ranges[i].last);
  }
  return length >= 0 && static_cast<size_t>(length) < size;
}

}  // namespace

IndexReading ReadPositionIndexInfo(SQLHDBC connection, SQLHSTMT statement,
                                   PositionIndexInfo* info) {
  const EngineCheck* check = CheckOf(connection);
  if (check == nullptr) return IndexReading::kMissing;
  CloseCursor(statement);
  if (!ExecuteStatement(statement, check->statement)) {
    if (ReadFaultIsMissingTable()) {
      ForgetReadFault();
      return IndexReading::kMissing;
    }
    // Executed with information, it is no failure of the database, but no
    // reading to trust either.
    return ReadFailed() ? IndexReading::kFailed : IndexReading::kMissing;
  }
  SQLINTEGER layout = 0;
  SQLBIGINT stars = 0;
  SQLBIGINT conversionCheck = 0;
  double doubleCheck = 0.0;
  SQLBIGINT triggers = 0;
  SQLLEN indicators[5];
  SQLBindCol(statement, 1, SQL_C_LONG, &layout, 0, &indicators[0]);
  SQLBindCol(statement, 2, SQL_C_SBIGINT, &stars, 0, &indicators[1]);
  SQLBindCol(statement, 3, SQL_C_SBIGINT, &conversionCheck, 0,
             &indicators[2]);
  SQLBindCol(statement, 4, SQL_C_DOUBLE, &doubleCheck, 0, &indicators[3]);
  SQLBindCol(statement, 5, SQL_C_SBIGINT, &triggers, 0, &indicators[4]);
  bool fetched = FetchRow(statement);
  UnbindColumns(statement);
  CloseCursor(statement);
  if (!fetched) return ReadFailed() ? IndexReading::kFailed
                                    : IndexReading::kStale;
  for (SQLLEN indicator : indicators) {
    if (indicator == SQL_NULL_DATA) return IndexReading::kStale;
  }
  info->layout = layout;
  info->stars = stars;
  info->conversionCheck = conversionCheck;
  std::memcpy(&info->doubleCheckBits, &doubleCheck, sizeof(doubleCheck));
  info->guarded = triggers == check->triggers;
  return IndexReading::kRead;
}

IndexRowsRead ReadIndexedPositions(SQLHSTMT statement, IndexKey key,
                                   const KeyRange* ranges, int count,
                                   IndexedPositionVisitor visit,
                                   void* context) {
  assert(count >= 1 && count <= kMaxIndexRanges);
  char text[kSelectionSize];
  bool formatted = FormatSelection(key, ranges, count, text, sizeof(text));
  assert(formatted);
  if (!formatted) return IndexRowsRead::kNotExecuted;
  CloseCursor(statement);
  if (!ExecuteStatement(statement, text)) return IndexRowsRead::kNotExecuted;
  SQLBIGINT rowOrder = 0;
  SQLINTEGER ownerId = 0;
  double values[6] = {};  // X, Y, Z, RAHours, DecDegrees, Distance
  SQLLEN indicators[8];
  SQLBindCol(statement, 1, SQL_C_SBIGINT, &rowOrder, 0, &indicators[0]);
  SQLBindCol(statement, 2, SQL_C_LONG, &ownerId, 0, &indicators[1]);
  for (int i = 0; i < 6; ++i) {
    SQLBindCol(statement, static_cast<SQLUSMALLINT>(3 + i), SQL_C_DOUBLE,
               &values[i], 0, &indicators[2 + i]);
  }
  while (FetchRow(statement)) {
    // The builder writes no row without them.
    if (indicators[0] == SQL_NULL_DATA || indicators[1] == SQL_NULL_DATA) {
      continue;
    }
    IndexedPosition position{};
    position.rowOrder = rowOrder;
    position.starId = ownerId;
    position.hasPoint = indicators[2] != SQL_NULL_DATA &&
                        indicators[3] != SQL_NULL_DATA &&
                        indicators[4] != SQL_NULL_DATA;
    if (position.hasPoint) {
      position.x = values[0];
      position.y = values[1];
      position.z = values[2];
    }
    position.hasRA = indicators[5] != SQL_NULL_DATA;
    position.raHours = position.hasRA ? values[3] : 0.0;
    position.hasDec = indicators[6] != SQL_NULL_DATA;
    position.decDegrees = position.hasDec ? values[4] : 0.0;
    position.hasDistance = indicators[7] != SQL_NULL_DATA;
    position.distance = position.hasDistance ? values[5] : 0.0;
    visit(context, position);
  }
  UnbindColumns(statement);
  return ReadFailed() ? IndexRowsRead::kIncomplete : IndexRowsRead::kAll;
}

}  // namespace veloran
