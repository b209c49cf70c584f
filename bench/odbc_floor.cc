// The floor the driver sets: the search's scan statement fetched through
// ODBC with nothing done to the rows.  It connects to the data source
// "Veloran" exactly as neighbor_search does, binds the same eight columns to
// the same C types, fetches until the driver reports no more rows, and
// prints the row count and a checksum (so that the fetches cannot be
// optimised away and a wrong database shows).
// Usage: ODBCSYSINI=DIR ODBCINI=DIR/odbc.ini odbc_floor [STATEMENT]
// STATEMENT, which must select the same eight columns, replaces the scan's
// statement (to measure what a narrower statement would cost).
#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <cstdio>

namespace {

SQLCHAR* Text(const char* text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text));
}

int Fail(const char* what) {
  std::fprintf(stderr, "odbc_floor: %s failed\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* text = argc > 1
                         ? argv[1]
                         : "SELECT RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin, "
                           "Dec_arcsec, Distance, OwnerID FROM Positions";
  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (SQLAllocEnv(&environment) != SQL_SUCCESS) return Fail("SQLAllocEnv");
  if (SQLAllocConnect(environment, &connection) != SQL_SUCCESS) {
    return Fail("SQLAllocConnect");
  }
  SQLSetConnectOption(connection, SQL_LOGIN_TIMEOUT, 2);
  SQLSetConnectOption(connection, SQL_ACCESS_MODE, SQL_MODE_READ_ONLY);
  SQLRETURN connected = SQLConnect(connection, Text("Veloran"), SQL_NTS,
                                   Text(""), 0, Text(""), 0);
  if (connected != SQL_SUCCESS && connected != SQL_SUCCESS_WITH_INFO) {
    return Fail("SQLConnect");
  }
  if (SQLAllocStmt(connection, &statement) != SQL_SUCCESS) {
    return Fail("SQLAllocStmt");
  }
  if (SQLExecDirect(statement, Text(text), SQL_NTS) != SQL_SUCCESS) {
    return Fail("SQLExecDirect");
  }

  unsigned char raHours = 0, raMinutes = 0, decArcmin = 0;
  float raSeconds = 0, decArcsec = 0;
  short decDegrees = 0;
  double distance = 0;
  SQLINTEGER ownerId = 0;
  SQLLEN indicators[8];
  SQLBindCol(statement, 1, SQL_C_UTINYINT, &raHours, 0, &indicators[0]);
  SQLBindCol(statement, 2, SQL_C_UTINYINT, &raMinutes, 0, &indicators[1]);
  SQLBindCol(statement, 3, SQL_C_FLOAT, &raSeconds, 0, &indicators[2]);
  SQLBindCol(statement, 4, SQL_C_SHORT, &decDegrees, 0, &indicators[3]);
  SQLBindCol(statement, 5, SQL_C_UTINYINT, &decArcmin, 0, &indicators[4]);
  SQLBindCol(statement, 6, SQL_C_FLOAT, &decArcsec, 0, &indicators[5]);
  SQLBindCol(statement, 7, SQL_C_DOUBLE, &distance, 0, &indicators[6]);
  SQLBindCol(statement, 8, SQL_C_LONG, &ownerId, 0, &indicators[7]);

  long rows = 0;
  double checksum = 0;
  for (;;) {
    SQLRETURN fetched = SQLFetch(statement);
    if (fetched != SQL_SUCCESS && fetched != SQL_SUCCESS_WITH_INFO) break;
    ++rows;
    if (indicators[6] != SQL_NULL_DATA) checksum += distance;
  }
  std::printf("%ld rows, distance sum %.6f\n", rows, checksum);

  SQLFreeStmt(statement, SQL_DROP);
  SQLDisconnect(connection);
  SQLFreeConnect(connection);
  SQLFreeEnv(environment);
  return argc > 1 || rows > 0 ? 0 : 1;
}
