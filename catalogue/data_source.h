#ifndef VELORAN_CATALOGUE_DATA_SOURCE_H_
#define VELORAN_CATALOGUE_DATA_SOURCE_H_

#include <sql.h>
#include <sqlext.h>

// The connection of one request to the data source Veloran, and the ODBC
// handles that hold it.

namespace veloran {

// The request's ODBC handles, allocated in this order and released in
// reverse by Release (or at the latest when the holder goes): the statement
// dropped, the connection closed, then the connection and the environment
// freed.  Only what was allocated, or connected, is released.
class DatabaseHandles {
 public:
  DatabaseHandles() = default;
  ~DatabaseHandles() { Release(); }
  DatabaseHandles(const DatabaseHandles&) = delete;
  DatabaseHandles& operator=(const DatabaseHandles&) = delete;

  void Release();

  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
  bool connected = false;
  SQLHSTMT statement = SQL_NULL_HSTMT;
  // The handles are the resident worker's kept connection, lent for one
  // request: Release gives them back rather than freeing them.
  bool lent = false;
  // The connection is in manual-commit mode: its statements read one
  // snapshot, which Release ends.
  bool oneSnapshot = false;
  // The look-ups (statements.h) are prepared on the connection; Release
  // frees them.
  bool preparedLookups = false;
};

enum class Connection {
  kOpened,    // connected, with a statement handle
  kNoHandle,  // a handle could not be allocated; everything is released
  kRefused,   // the data source refused the connection; the environment
              // and connection handles are kept for its diagnostic
};

// How a request's statements read the database: each on its own, sent as
// text, as the classic program reads it; or all in one snapshot (one read
// transaction, in manual-commit mode), which also spares each statement
// its own lock and check of the file, with the look-ups prepared once
// (statements.h).  A driver that cannot leave autocommit, and PostgreSQL,
// on which the snapshot would cost a round trip a statement and give none
// (data_source.cc), read statement by statement, the look-ups prepared.
enum class Reading { kStatementByStatement, kOneSnapshot };

// Connects *handles, which hold nothing yet, to the data source Veloran as
// every program of the site does (a login time-out of 2 seconds, read-only)
// and allocates the one statement handle.  In a resident worker that keeps
// its connection (kept_connection.h), lends it instead, connecting first
// when it has none or the database has changed; a kept connection reads
// each request in one snapshot.
Connection OpenDataSource(DatabaseHandles* handles,
                          Reading reading = Reading::kStatementByStatement);

// Puts the connected *handles in manual-commit mode, so that the
// statements read one snapshot until Release, where the database engine
// reads one so (SQLite, MariaDB).
void ReadOneSnapshot(DatabaseHandles* handles);

// Ends the snapshot of *handles, if they read one: the next statement
// begins another.
void EndSnapshot(DatabaseHandles* handles);

// The connection of the handles that OpenDataSource opened last and that
// are not yet released: the request's connection.  SQL_NULL_HDBC when
// there is none.
SQLHDBC RequestConnection();

// Connects as OpenDataSource does, always anew.
Connection ConnectDataSource(DatabaseHandles* handles);

// The data source that the connections of this process open: "Veloran",
// the site's, unless an operator's command chose another.  "name" is not
// copied and must live as long as the process connects.
void ChooseDataSource(const char* name);
const char* DataSourceName();

// Reads the diagnostic of a refused connection into "state" (6 bytes with
// the terminator) and "message" (up to "messageSize" bytes, terminated, on
// one line: a driver's message of several lines has each line end a blank).
// Returns false, leaving both empty, when there is none.
bool ReadConnectionDiagnostic(const DatabaseHandles& handles, char* state,
                              char* message, int messageSize);

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_DATA_SOURCE_H_
