#ifndef VELORAN_DRIVER_HANDLES_H_
#define VELORAN_DRIVER_HANDLES_H_

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "driver/data_version.h"
#include "driver/diagnostics.h"
#include "driver/read_only_guard.h"

// The driver's three kinds of handle.  An environment holds connections, a
// connection one SQLite database and its statements.  Each connection has
// one lock, taken by every call on the connection or on any of its
// statements, because SQLite is opened without its own locking and the
// driver manager takes none by default.  SQLCancel is the one call that
// works without it: it only raises its statement's cancel flag, which the
// thread that holds the lock reads (driver/interruption.h).

namespace veloran::odbc {

inline constexpr uint32_t kEnvironmentMagic = 0x56454e56;  // "VENV"
inline constexpr uint32_t kConnectionMagic = 0x5644424b;   // "VDBK"
inline constexpr uint32_t kStatementMagic = 0x5653544d;    // "VSTM"

// An environment: its attributes, and how many connections it holds.
struct Environment {
  Environment() = default;
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

  uint32_t magic = kEnvironmentMagic;
  std::mutex mutex;
  Diagnostics diagnostics;
  SQLINTEGER odbcVersion = SQL_OV_ODBC3;
  int connectionCount = 0;
};

struct Statement;

// Why SQLite's work stopped before its end, when the driver stopped it.
enum class Stop {
  kNone,
  kCancelled,  // SQLCancel of the statement
  kTimedOut,   // its SQL_ATTR_QUERY_TIMEOUT, or the login time-out
};

// A connection: its SQLite database once connected, its statements, and
// the attributes and settings it was opened with.
struct Connection {
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  uint32_t magic = kConnectionMagic;
  Environment* environment = nullptr;
  std::mutex mutex;
  Diagnostics diagnostics;
  sqlite3* database = nullptr;
  Refusal refusal;          // what the read-only guard refused last
  DataVersion dataVersion;  // veloran_data_version()'s, while connected
  std::vector<Statement*> statements;
  // Attributes, settable before and after connecting.
  SQLUINTEGER loginTimeout = 0;       // seconds; 0: none
  SQLUINTEGER connectionTimeout = 0;  // seconds; 0: none
  SQLUINTEGER autocommit = SQL_AUTOCOMMIT_ON;
  // What the connection was opened with.
  int busyTimeout = 2000;           // milliseconds
  SQLULEN defaultQueryTimeout = 0;  // seconds, for new statements; 0: none
  std::string dataSourceName;
  std::string databasePath;
  // The work in progress under the lock, for the handlers that stop it:
  // the statement being stepped (null at connect), the time it must end
  // by, and why it was stopped.
  Statement* stepping = nullptr;
  std::chrono::steady_clock::time_point deadline =
      std::chrono::steady_clock::time_point::max();
  Stop stop = Stop::kNone;
};

// One column binding of SQLBindCol; cType 0 when the column is unbound.
struct ColumnBinding;

// Converts column "index" of the current row into its binding; chosen for
// the binding's C type when it is bound.
using ColumnDeliverer = SQLRETURN (*)(Statement* statement, int index,
                                      const ColumnBinding& binding);

struct ColumnBinding {
  SQLSMALLINT cType = 0;
  SQLPOINTER target = nullptr;
  SQLLEN bufferLength = 0;
  SQLLEN* indicator = nullptr;
  ColumnDeliverer deliver = nullptr;
};

// One parameter binding of SQLBindParameter.
struct ParameterBinding {
  bool bound = false;
  SQLSMALLINT cType = 0;
  SQLSMALLINT sqlType = 0;
  SQLULEN columnSize = 0;
  SQLSMALLINT decimalDigits = 0;
  SQLPOINTER value = nullptr;
  SQLLEN bufferLength = 0;
  SQLLEN* indicator = nullptr;
};

// A column's description, worked out once per execution.
struct ColumnType {
  SQLSMALLINT sqlType = SQL_VARCHAR;
  SQLULEN columnSize = 0;
  SQLSMALLINT decimalDigits = 0;
  SQLLEN displaySize = 0;
  SQLSMALLINT defaultCType = SQL_C_CHAR;
  const char* typeName = "";
};

// Where a statement's cursor is.  Execution steps to the first row, so a
// result set begins with its row pending or at its end.
enum class CursorState {
  kClosed,      // not executed, or closed: no cursor, no result
  kRowPending,  // the first row was stepped but not yet fetched
  kOnRow,       // a fetched row is current (for SQLGetData)
  kAtEnd,       // no row is left (or the statement gave none)
};

// A statement: its prepared SQLite statement, cursor, bindings and
// attributes.
struct Statement {
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  uint32_t magic = kStatementMagic;
  Connection* connection = nullptr;
  Diagnostics diagnostics;
  sqlite3_stmt* prepared = nullptr;
  int columnCount = 0;
  CursorState cursor = CursorState::kClosed;
  SQLLEN rowNumber = 0;  // of the current row, from 1
  // Raised by SQLCancel from any thread; lowered by the thread that holds
  // the lock, which stops the statement's work or closes its cursor.
  std::atomic<bool> cancelRequested{false};
  SQLULEN queryTimeout = 0;            // seconds; 0: none
  std::vector<ColumnBinding> columns;  // index 0 is column 1
  int boundColumns = 0;                // the highest bound column
  std::vector<ParameterBinding> parameters;
  std::vector<ColumnType> columnTypes;  // empty until described
  // SQLGetData's progress through the current row's last column.
  int dataColumn = 0;
  size_t dataOffset = 0;
  bool dataDone = false;
  // Statement attributes.
  SQLULEN* rowsFetched = nullptr;
  SQLUSMALLINT* rowStatus = nullptr;
};

// The handle as the driver's own structure, or null when it is not one.
Environment* AsEnvironment(SQLHANDLE handle);
Connection* AsConnection(SQLHANDLE handle);
Statement* AsStatement(SQLHANDLE handle);

// Allocation and release.  Allocation returns null when the heap is
// exhausted; release of a statement finalizes its SQLite statement and takes
// it off its connection's list (the caller holds the connection's lock).
Environment* NewEnvironment();
void DeleteEnvironment(Environment* environment);
Connection* NewConnection(Environment* environment);
void DeleteConnection(Connection* connection);
Statement* NewStatement(Connection* connection);
void DeleteStatement(Statement* statement);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_HANDLES_H_
