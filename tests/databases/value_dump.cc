// Writes every value that the programs read from a star database, as the
// bytes the driver put into the program's buffer, one row a line: the
// statements of the programs' kinds (the unordered scan of Positions
// among them, in the order the rows come) with each column bound to the C
// type the programs bind it to.  Two databases give the same output only
// when every value arrives bit for bit the same, and the rows in the same
// order.
// Usage: value_dump (through the data source Veloran)
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstring>

namespace {

struct Column {
  SQLSMALLINT type;
  SQLLEN size;  // of the buffer; 0 for a fixed-size type
};

struct Query {
  const char* sql;
  Column columns[12];
};

constexpr Column kTiny{SQL_C_UTINYINT, 0}, kShort{SQL_C_SHORT, 0},
    kLong{SQL_C_LONG, 0}, kFloat{SQL_C_FLOAT, 0}, kDouble{SQL_C_DOUBLE, 0},
    kDate{SQL_C_DATE, 0}, kBit{SQL_C_BIT, 0}, kText{SQL_C_CHAR, 256};

const Query kQueries[] = {
    {"SELECT RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin, Dec_arcsec, "
     "Distance, OwnerID FROM Positions",
     {kTiny, kTiny, kFloat, kShort, kTiny, kFloat, kDouble, kLong}},
    {"SELECT DistanceError, DistanceSource, LastUpdated, Epoch FROM Positions",
     {kDouble, kText, kDate, kDouble}},
    {"SELECT OwnerID, SpectralClass, LuminosityClass, SpectrumSource, "
     "LastUpdated FROM Spectra",
     {kLong, kText, kText, kText, kDate}},
    {"SELECT OwnerID, VMag, ColourIndex, Parallax, ParallaxError, "
     "Constellation, SystemID FROM StarFacts",
     {kLong, kDouble, kDouble, kDouble, kDouble, kText, kLong}},
    {"SELECT OwnerID, Name, IsSystemName FROM ProperNames",
     {kLong, kText, kLong}},
    {"SELECT OwnerID, CatAbbrev, Value, IsSystemName FROM CatalogNumbers",
     {kLong, kText, kText, kLong}},
    {"SELECT Abbreviation, LongName, Description, HasNoCatNumbers FROM "
     "CatalogNames",
     {kText, kText, kText, kBit}},
    {"SELECT Key, OwnerID, Name, IsProperName FROM NameLookup",
     {kText, kLong, kText, kLong}},
};

bool Dump(SQLHSTMT statement, const Query& query) {
  if (!SQL_SUCCEEDED(SQLExecDirect(
          statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(query.sql)),
          SQL_NTS))) {
    std::fprintf(stderr, "value_dump: failed: %s\n", query.sql);
    return false;
  }
  unsigned char buffers[12][256];
  SQLLEN indicators[12];
  int count = 0;
  while (count < 12 && query.columns[count].type != 0) {
    const Column& column = query.columns[count];
    SQLBindCol(statement, static_cast<SQLUSMALLINT>(count + 1), column.type,
               buffers[count], column.size, &indicators[count]);
    ++count;
  }
  std::printf("%s\n", query.sql);
  for (;;) {
    std::memset(buffers, 0, sizeof(buffers));
    SQLRETURN fetched = SQLFetch(statement);
    if (fetched == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(fetched)) {
      std::fprintf(stderr, "value_dump: a fetch failed: %s\n", query.sql);
      return false;
    }
    for (int i = 0; i < count; ++i) {
      if (indicators[i] == SQL_NULL_DATA) {
        std::printf(" NULL");
        continue;
      }
      size_t length = 0;
      switch (query.columns[i].type) {
        case SQL_C_UTINYINT: case SQL_C_BIT: length = 1; break;
        case SQL_C_SHORT: length = 2; break;
        case SQL_C_LONG: case SQL_C_FLOAT: length = 4; break;
        case SQL_C_DOUBLE: length = 8; break;
        case SQL_C_DATE: length = sizeof(SQL_DATE_STRUCT); break;
        default: length = static_cast<size_t>(indicators[i]);
      }
      if (length > sizeof(buffers[i])) length = sizeof(buffers[i]);
      std::printf(" ");
      for (size_t b = 0; b < length; ++b) std::printf("%02x", buffers[i][b]);
    }
    std::printf("\n");
  }
  SQLFreeStmt(statement, SQL_CLOSE);
  SQLFreeStmt(statement, SQL_UNBIND);
  return true;
}

}  // namespace

int main() {
  SQLHENV environment;
  SQLHDBC connection;
  SQLHSTMT statement;
  SQLAllocEnv(&environment);
  SQLAllocConnect(environment, &connection);
  if (!SQL_SUCCEEDED(SQLConnect(connection,
                                reinterpret_cast<SQLCHAR*>(const_cast<char*>("Veloran")),
                                SQL_NTS, nullptr, 0, nullptr, 0))) {
    std::fprintf(stderr, "value_dump: cannot connect to the data source Veloran\n");
    return 1;
  }
  SQLAllocStmt(connection, &statement);
  bool dumped = true;
  for (const Query& query : kQueries) dumped = Dump(statement, query) && dumped;
  SQLFreeStmt(statement, SQL_DROP);
  SQLDisconnect(connection);
  SQLFreeConnect(connection);
  SQLFreeEnv(environment);
  return dumped ? 0 : 1;
}
