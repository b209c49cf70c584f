// One prepared statement executed again and again on one connection, as a
// resident program runs its check before each request: execute, fetch the
// one row, read its first column as text, close the cursor.  Prints the
// count and the last value (so that a wrong statement shows).
// Usage (with ODBCSYSINI and ODBCINI naming the data source's files):
//   statement_loop CONNECTION COUNT STATEMENT
// CONNECTION is a connection string for SQLDriverConnect ("DSN=Veloran;",
// or "Driver=...;Database=...;").  bench/data-version times it with COUNT
// 0 (connecting alone) and COUNT N to give the cost of one execution.
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstdlib>

namespace {

SQLCHAR* Text(const char* text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text));
}

int Fail(const char* what) {
  std::fprintf(stderr, "statement_loop: %s failed\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: statement_loop CONNECTION COUNT STATEMENT\n");
    return 2;
  }
  long count = std::atol(argv[2]);
  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (SQLAllocEnv(&environment) != SQL_SUCCESS) return Fail("SQLAllocEnv");
  if (SQLAllocConnect(environment, &connection) != SQL_SUCCESS) {
    return Fail("SQLAllocConnect");
  }
  SQLCHAR completed[1024];
  SQLSMALLINT completedLength = 0;
  if (!SQL_SUCCEEDED(SQLDriverConnect(connection, nullptr, Text(argv[1]),
                                      SQL_NTS, completed, sizeof(completed),
                                      &completedLength, SQL_DRIVER_NOPROMPT))) {
    return Fail("SQLDriverConnect");
  }
  if (SQLAllocStmt(connection, &statement) != SQL_SUCCESS) {
    return Fail("SQLAllocStmt");
  }
  if (SQLPrepare(statement, Text(argv[3]), SQL_NTS) != SQL_SUCCESS) {
    return Fail("SQLPrepare");
  }
  char value[256] = "";
  for (long i = 0; i < count; ++i) {
    SQLLEN indicator = 0;
    if (!SQL_SUCCEEDED(SQLExecute(statement))) return Fail("SQLExecute");
    if (!SQL_SUCCEEDED(SQLFetch(statement))) return Fail("SQLFetch");
    if (!SQL_SUCCEEDED(SQLGetData(statement, 1, SQL_C_CHAR, value,
                                  sizeof(value), &indicator))) {
      return Fail("SQLGetData");
    }
    if (indicator == SQL_NULL_DATA) value[0] = '\0';
    SQLFreeStmt(statement, SQL_CLOSE);
  }
  std::printf("%ld executions, last value \"%s\"\n", count, value);
  SQLFreeStmt(statement, SQL_DROP);
  SQLDisconnect(connection);
  SQLFreeConnect(connection);
  SQLFreeEnv(environment);
  return 0;
}
