#include "index/position_index_builder.h"

#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "catalogue/position_index.h"
#include "catalogue/star_records.h"
#include "driver/conversions.h"
#include "search/position_scan.h"

namespace veloran {

namespace {

// The classic scan's statement: the rows in the order the searches meet
// them.
constexpr char kPositionsStatement[] =
    "SELECT RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin, Dec_arcsec, "
    "Distance, OwnerID FROM Positions";

// The index's tables.  PositionIndex keeps its rows in the order of their
// cells (a table without rowid is its primary key's B-tree), so that the
// rows near a point lie together; the pixel index finds those of a cone.
constexpr char kCreateIndex[] =
    "CREATE TABLE PositionIndex (\n"
    "  Cell INTEGER NOT NULL,\n"
    "  RowOrder INTEGER NOT NULL,\n"
    "  OwnerID INTEGER NOT NULL,\n"
    "  Pixel INTEGER NOT NULL,\n"
    "  X REAL, Y REAL, Z REAL,\n"
    "  RAHours REAL, DecDegrees REAL, Distance REAL,\n"
    "  PRIMARY KEY (Cell, RowOrder)\n"
    ") WITHOUT ROWID;\n"
    "CREATE TABLE PositionIndexInfo (\n"
    "  Layout INTEGER NOT NULL,\n"
    "  Stars INTEGER NOT NULL,\n"
    "  ConversionCheck INTEGER NOT NULL,\n"
    "  DoubleCheck REAL NOT NULL\n"
    ");\n";

constexpr char kCreateStaging[] =
    "CREATE TEMP TABLE PositionIndexStaging (\n"
    "  Cell INTEGER, RowOrder INTEGER, OwnerID INTEGER, Pixel INTEGER,\n"
    "  X REAL, Y REAL, Z REAL, RAHours REAL, DecDegrees REAL, Distance REAL)";

constexpr char kStage[] =
    "INSERT INTO temp.PositionIndexStaging VALUES (?,?,?,?,?,?,?,?,?,?)";

// The rows in the order of the table's key, sorted by SQLite (on the disk
// when they do not fit in memory), then the pixel index.
constexpr char kFill[] =
    "INSERT INTO PositionIndex (Cell, RowOrder, OwnerID, Pixel, X, Y, Z, "
    "RAHours, DecDegrees, Distance) SELECT Cell, RowOrder, OwnerID, Pixel, X, "
    "Y, Z, RAHours, DecDegrees, Distance FROM temp.PositionIndexStaging "
    "ORDER BY Cell, RowOrder;\n"
    "DROP TABLE temp.PositionIndexStaging;\n"
    "CREATE INDEX PositionIndexBySky ON PositionIndex(Pixel);\n";

// Any change of Positions deletes the row that says the index is current.
constexpr const char* kTriggers[] = {"PositionIndexStaleOnInsert",
                                     "PositionIndexStaleOnUpdate",
                                     "PositionIndexStaleOnDelete"};
constexpr const char* kTriggerEvents[] = {"INSERT", "UPDATE", "DELETE"};

bool Fail(sqlite3* db, const std::string& what, std::string* error) {
  *error = what + ": " + sqlite3_errmsg(db);
  return false;
}

bool Exec(sqlite3* db, const std::string& sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) {
    return true;
  }
  *error = message != nullptr ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  return false;
}

// One column of the current row as the project's driver delivers it into
// a bound column of type "cType": false (with *status) when the driver
// would fail the fetch; *present false for a NULL, the target untouched.
bool ReadColumn(sqlite3_stmt* statement, int index, SQLSMALLINT cType,
                void* target, bool* present, odbc::ConversionStatus* status) {
  sqlite3_value* column = sqlite3_column_value(statement, index);
  odbc::SqliteValue value;
  value.type = sqlite3_value_type(column);
  switch (value.type) {
    case SQLITE_NULL:
      *present = false;
      return true;
    case SQLITE_INTEGER:
      value.integer = sqlite3_value_int64(column);
      break;
    case SQLITE_FLOAT:
      value.real = sqlite3_value_double(column);
      break;
    case SQLITE_TEXT:
      value.bytes = sqlite3_value_text(column);
      value.size = static_cast<size_t>(sqlite3_value_bytes(column));
      break;
    default:
      value.bytes = static_cast<const unsigned char*>(sqlite3_value_blob(column));
      value.size = static_cast<size_t>(sqlite3_value_bytes(column));
      break;
  }
  odbc::ConversionResult result = odbc::ConvertValue(value, cType, target, 0, 0);
  *status = result.status;
  *present = true;
  return odbc::Delivered(result.status);
}

struct PositionColumn {
  const char* name;
  SQLSMALLINT cType;
};

constexpr PositionColumn kColumns[] = {
    {"RA_hr", SQL_C_UTINYINT},    {"RA_min", SQL_C_UTINYINT},
    {"RA_sec", SQL_C_FLOAT},      {"Dec_deg", SQL_C_SHORT},
    {"Dec_arcmin", SQL_C_UTINYINT}, {"Dec_arcsec", SQL_C_FLOAT},
    {"Distance", SQL_C_DOUBLE},   {"OwnerID", SQL_C_LONG},
};

int64_t CountRows(sqlite3* db) {
  sqlite3_stmt* count = nullptr;
  int64_t rows = -1;
  if (sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM Positions", -1, &count,
                         nullptr) == SQLITE_OK &&
      sqlite3_step(count) == SQLITE_ROW) {
    rows = sqlite3_column_int64(count, 0);
  }
  sqlite3_finalize(count);
  return rows;
}

// Writes "done of total" in place on a terminal, and otherwise a line
// each tenth of a table of a million rows or more.
struct Progress {
  FILE* out;
  int64_t total;
  bool terminal;
  int64_t next = 0;
  int64_t step = 1;

  void Start() {
    if (out == nullptr) return;
    step = terminal ? 50000 : total / 10;
    next = terminal || total >= 1000000 ? step : INT64_MAX;
  }
  void Show(int64_t done) {
    if (out == nullptr || done < next) return;
    next += step;
    std::fprintf(out, terminal ? "\rindexing Positions: %lld of %lld rows"
                               : "indexing Positions: %lld of %lld rows\n",
                 static_cast<long long>(done), static_cast<long long>(total));
    std::fflush(out);
  }
  void Finish(int64_t done) {
    if (out == nullptr) return;
    std::fprintf(out, "%sindexed Positions: %lld rows\n", terminal ? "\r" : "",
                 static_cast<long long>(done));
  }
};

bool IsTerminal(FILE* file) { return file != nullptr && isatty(fileno(file)); }

}  // namespace

bool ComputeIndexRows(sqlite3* db, void (*emit)(void*, const IndexRow&),
                      void* context, FILE* progress, IndexBuildCounts* counts,
                      std::string* error) {
  *counts = IndexBuildCounts{};
  Progress shown{progress, CountRows(db), IsTerminal(progress)};
  shown.Start();
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, kPositionsStatement, -1, &statement, nullptr) !=
      SQLITE_OK) {
    return Fail(db, "cannot read Positions", error);
  }
  PositionRecord row{};
  FetchedPositionRow fetched{&row, 0, {}};
  void* targets[] = {&row.RA_hr,      &row.RA_min,     &row.RA_sec,
                     &row.Dec_deg,    &row.Dec_arcmin, &row.Dec_arcsec,
                     &row.Distance,   &fetched.ownerId};
  bool present[8];
  bool read = true;
  int step;
  while (read && (step = sqlite3_step(statement)) == SQLITE_ROW) {
    ++counts->positionRows;
    // As the scan reads a row: the minutes and seconds of a NULL read as 0.
    row.RA_min = 0;
    row.RA_sec = 0.0f;
    row.Dec_arcmin = 0;
    row.Dec_arcsec = 0.0f;
    for (int i = 0; i < 8 && read; ++i) {
      odbc::ConversionStatus status;
      if (!ReadColumn(statement, i, kColumns[i].cType, targets[i], &present[i],
                      &status)) {
        *error = "row " + std::to_string(counts->positionRows) +
                 " of Positions: " + kColumns[i].name +
                 " holds a value that the ODBC driver cannot read (SQLSTATE " +
                 odbc::ConversionState(status) +
                 "), so no search could read the table either";
        read = false;
      }
    }
    if (!read) break;
    fetched.present[0] = present[0];
    fetched.present[1] = present[3];
    fetched.present[2] = present[6];
    fetched.present[3] = present[7];
    StarPosition position;
    if (StarPositionOfRow(fetched, counts->stars, &position)) {
      ++counts->stars;
      emit(context, IndexRowOf(position));
    }
    shown.Show(counts->positionRows);
  }
  if (read && step != SQLITE_DONE) {
    read = Fail(db, "cannot read Positions", error);
  }
  sqlite3_finalize(statement);
  if (read) shown.Finish(counts->positionRows);
  return read;
}

namespace {

struct Staging {
  sqlite3* db;
  sqlite3_stmt* insert;
  bool failed = false;
};

void BindReal(sqlite3_stmt* statement, int index, bool present, double value) {
  if (present) {
    sqlite3_bind_double(statement, index, value);
  } else {
    sqlite3_bind_null(statement, index);
  }
}

void Stage(void* context, const IndexRow& row) {
  auto* staging = static_cast<Staging*>(context);
  if (staging->failed) return;
  sqlite3_stmt* s = staging->insert;
  sqlite3_bind_int64(s, 1, row.cell);
  sqlite3_bind_int64(s, 2, row.order);
  sqlite3_bind_int64(s, 3, row.starId);
  sqlite3_bind_int64(s, 4, row.pixel);
  BindReal(s, 5, row.hasPoint, row.point.x);
  BindReal(s, 6, row.hasPoint, row.point.y);
  BindReal(s, 7, row.hasPoint, row.point.z);
  BindReal(s, 8, row.hasRA, row.raHours);
  BindReal(s, 9, row.hasDec, row.decDegrees);
  BindReal(s, 10, row.hasDistance, row.distance);
  staging->failed = sqlite3_step(s) != SQLITE_DONE;
  sqlite3_reset(s);
}

}  // namespace

bool DropPositionIndex(sqlite3* db, std::string* error) {
  std::string sql;
  for (const char* trigger : kTriggers) {
    sql += std::string("DROP TRIGGER IF EXISTS ") + trigger + ";\n";
  }
  sql +=
      "DROP TABLE IF EXISTS PositionIndexInfo;\n"
      "DROP TABLE IF EXISTS PositionIndex;\n";
  return Exec(db, sql, error);
}

bool BuildPositionIndex(sqlite3* db, FILE* progress, IndexBuildCounts* counts,
                        std::string* error) {
  if (!DropPositionIndex(db, error) || !Exec(db, kCreateIndex, error) ||
      !Exec(db, "DROP TABLE IF EXISTS temp.PositionIndexStaging", error) ||
      !Exec(db, kCreateStaging, error)) {
    return false;
  }
  Staging staging{db, nullptr};
  if (sqlite3_prepare_v2(db, kStage, -1, &staging.insert, nullptr) !=
      SQLITE_OK) {
    return Fail(db, "cannot stage the index", error);
  }
  bool computed = ComputeIndexRows(db, Stage, &staging, progress, counts, error);
  sqlite3_finalize(staging.insert);
  if (!computed) return false;
  if (staging.failed) return Fail(db, "cannot stage the index", error);
  if (progress != nullptr) {
    std::fprintf(progress, "sorting the index by cell and by sky pixel\n");
  }
  if (!Exec(db, kFill, error)) return false;

  sqlite3_stmt* info = nullptr;
  if (sqlite3_prepare_v2(db,
                         "INSERT INTO PositionIndexInfo (Layout, Stars, "
                         "ConversionCheck, DoubleCheck) VALUES (?,?,?,?)",
                         -1, &info, nullptr) != SQLITE_OK) {
    return Fail(db, "cannot write PositionIndexInfo", error);
  }
  double doubleCheck;
  std::memcpy(&doubleCheck, &kDoubleCheckBits, sizeof(doubleCheck));
  sqlite3_bind_int(info, 1, kPositionIndexLayout);
  sqlite3_bind_int64(info, 2, counts->stars);
  sqlite3_bind_int64(info, 3, IndexConversionCheck());
  sqlite3_bind_double(info, 4, doubleCheck);
  bool written = sqlite3_step(info) == SQLITE_DONE;
  sqlite3_finalize(info);
  if (!written) return Fail(db, "cannot write PositionIndexInfo", error);

  std::string triggers;
  for (int i = 0; i < 3; ++i) {
    triggers += std::string("CREATE TRIGGER ") + kTriggers[i] + " AFTER " +
                kTriggerEvents[i] +
                " ON Positions BEGIN DELETE FROM PositionIndexInfo; END;\n";
  }
  return Exec(db, triggers, error);
}

bool CheckPositionIndex(sqlite3* db, IndexFileState* state,
                        std::string* error) {
  sqlite3_stmt* tables = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT COUNT(*) FROM sqlite_master WHERE type = "
                         "'table' AND name IN ('PositionIndex', "
                         "'PositionIndexInfo')",
                         -1, &tables, nullptr) != SQLITE_OK ||
      sqlite3_step(tables) != SQLITE_ROW) {
    sqlite3_finalize(tables);
    return Fail(db, "cannot read the schema", error);
  }
  int64_t present = sqlite3_column_int64(tables, 0);
  sqlite3_finalize(tables);
  if (present != 2) {
    *state = IndexFileState::kMissing;
    return true;
  }
  sqlite3_stmt* info = nullptr;
  if (sqlite3_prepare_v2(
          db,
          "SELECT Layout, ConversionCheck, DoubleCheck, (SELECT COUNT(*) FROM "
          "sqlite_master WHERE type = 'trigger' AND tbl_name = 'Positions' "
          "AND name IN ('PositionIndexStaleOnInsert', "
          "'PositionIndexStaleOnUpdate', 'PositionIndexStaleOnDelete')) FROM "
          "PositionIndexInfo",
          -1, &info, nullptr) != SQLITE_OK) {
    return Fail(db, "cannot read PositionIndexInfo", error);
  }
  int step = sqlite3_step(info);
  if (step == SQLITE_DONE) {
    *state = IndexFileState::kStale;
  } else if (step != SQLITE_ROW) {
    sqlite3_finalize(info);
    return Fail(db, "cannot read PositionIndexInfo", error);
  } else {
    double doubleCheck = sqlite3_column_double(info, 2);
    uint64_t bits;
    std::memcpy(&bits, &doubleCheck, sizeof(bits));
    if (sqlite3_column_int64(info, 0) != kPositionIndexLayout ||
        sqlite3_column_int64(info, 1) != IndexConversionCheck() ||
        bits != kDoubleCheckBits) {
      *state = IndexFileState::kForeign;
    } else if (sqlite3_column_int64(info, 3) != 3) {
      *state = IndexFileState::kUnguarded;
    } else {
      *state = IndexFileState::kCurrent;
    }
  }
  sqlite3_finalize(info);
  return true;
}

}  // namespace veloran
