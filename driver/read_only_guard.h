#ifndef VELORAN_DRIVER_READ_ONLY_GUARD_H_
#define VELORAN_DRIVER_READ_ONLY_GUARD_H_

#include <sqlite3.h>

// What keeps every connection read-only, whatever the file's permissions:
// the database is opened with SQLITE_OPEN_READONLY (a URI's mode= cannot
// widen it), PRAGMA query_only is set, and this authorizer refuses at
// prepare time what sqlite3_stmt_readonly lets through: ATTACH and DETACH,
// transaction statements (transactions are the ODBC API's business and
// BEGIN IMMEDIATE takes a writer's lock), PRAGMAs that set a value (which
// could switch query_only off) and the SQL function load_extension().  The
// statement layer refuses anything sqlite3_stmt_readonly calls a write
// (the authorizer's own write actions are no guide: SQLite reports reads of
// sqlite_schema by table-valued functions as SQLITE_UPDATE).

namespace veloran::odbc {

// What the authorizer saw of the statement being prepared; the statement
// layer resets it before each prepare.  "what" says why it was refused,
// for the message (null when nothing was).  "readsPragma" is set for a
// PRAGMA that only reports its value when given none, but that
// sqlite3_stmt_readonly calls a write (journal_mode).
struct Refusal {
  const char* what = nullptr;
  bool isWrite = true;  // false for load_extension()
  bool readsPragma = false;
  // Set while the driver itself begins or ends a read transaction (the
  // ODBC API's, in manual-commit mode): its BEGIN and COMMIT pass.
  bool ownTransaction = false;
};

// Installs the authorizer on "database"; it records refusals in "refusal",
// which must outlive the connection.
void InstallReadOnlyGuard(sqlite3* database, Refusal* refusal);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_READ_ONLY_GUARD_H_
