// The search's scan statement through the SQLite C API, without ODBC: what
// reading the rows costs SQLite itself.  The columns are read into the same
// C types the program binds, and the row count and a checksum are printed.
// Usage: sqlite_scan DATABASE.db [STATEMENT]
// STATEMENT, which must select the same eight columns, replaces the scan's
// statement (with LIMIT 0, what opening and preparing cost without a row).
#include <sqlite3.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: sqlite_scan DATABASE.db [STATEMENT]\n");
    return 2;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, nullptr) !=
      SQLITE_OK) {
    std::fprintf(stderr, "sqlite_scan: cannot open %s\n", argv[1]);
    return 1;
  }
  const char* text = argc > 2
                         ? argv[2]
                         : "SELECT RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin, "
                           "Dec_arcsec, Distance, OwnerID FROM Positions";
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, text, -1, &statement, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite_scan: %s\n", sqlite3_errmsg(db));
    return 1;
  }
  long rows = 0;
  long columnSum = 0;
  double checksum = 0;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    unsigned char raHours =
        static_cast<unsigned char>(sqlite3_column_int(statement, 0));
    unsigned char raMinutes =
        static_cast<unsigned char>(sqlite3_column_int(statement, 1));
    float raSeconds = static_cast<float>(sqlite3_column_double(statement, 2));
    short decDegrees = static_cast<short>(sqlite3_column_int(statement, 3));
    unsigned char decArcmin =
        static_cast<unsigned char>(sqlite3_column_int(statement, 4));
    float decArcsec = static_cast<float>(sqlite3_column_double(statement, 5));
    bool hasDistance = sqlite3_column_type(statement, 6) != SQLITE_NULL;
    double distance = sqlite3_column_double(statement, 6);
    int ownerId = sqlite3_column_int(statement, 7);
    ++rows;
    if (hasDistance) checksum += distance;
    // Keeps every column read.
    columnSum += raHours + raMinutes + decArcmin + decDegrees + ownerId % 7 +
                 static_cast<long>(raSeconds + decArcsec);
  }
  std::printf("%ld rows, distance sum %.6f (column sum %ld)\n", rows, checksum,
              columnSum);
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return argc > 2 || rows > 0 ? 0 : 1;
}
