#include "catalogue/kept_connection.h"

#include <cassert>
#include <cstring>

#include "catalogue/fetched_text.h"
#include "catalogue/statements.h"

namespace veloran {

namespace {

constexpr char kVersionQuery[] = "SELECT veloran_data_version()";
constexpr int kVersionSize = 512;

enum class Version {
  kText,  // the database's version
  kNull,  // the connection no longer reads the data source's database
  kNone,  // the driver gives none, or the statement failed
};

struct KeptConnection {
  bool keeping = false;
  DatabaseHandles handles;  // connected, or holding nothing
  bool lent = false;
  SQLHSTMT versionStatement = SQL_NULL_HSTMT;
  bool versioned = false;
  char version[kVersionSize] = "";
  uint64_t generation = 0;  // 0 unless versioned
};

KeptConnection kept;
uint64_t lastGeneration = 0;
int64_t keptRowLimit = kDefaultKeptRows;

Version ReadVersion(char* text) {
  SQLHSTMT statement = kept.versionStatement;
  text[0] = '\0';
  if (statement == SQL_NULL_HSTMT) return Version::kNone;
  SQLFreeStmt(statement, SQL_CLOSE);
  SQLLEN indicator = 0;
  SQLBindCol(statement, 1, SQL_C_CHAR, text, kVersionSize, &indicator);
  // A version cut to the buffer (success with information) is no version.
  bool read = SQLExecute(statement) == SQL_SUCCESS &&
              SQLFetch(statement) == SQL_SUCCESS;
  SQLFreeStmt(statement, SQL_CLOSE);
  SQLFreeStmt(statement, SQL_UNBIND);
  TerminateFetchedText(text, kVersionSize, indicator);
  if (!read) return Version::kNone;
  return indicator == SQL_NULL_DATA ? Version::kNull : Version::kText;
}

void CloseKept() {
  assert(!kept.lent);
  UseLookupConnection(SQL_NULL_HDBC);
  if (kept.versionStatement != SQL_NULL_HSTMT) {
    SQLFreeStmt(kept.versionStatement, SQL_DROP);
    kept.versionStatement = SQL_NULL_HSTMT;
  }
  kept.handles.Release();
  kept.versioned = false;
  kept.version[0] = '\0';
  kept.generation = 0;
}

// Hands what a failed connect left (for its diagnostic) to "handles",
// which then releases it.
void HandOver(DatabaseHandles* from, DatabaseHandles* to) {
  to->environment = from->environment;
  to->connection = from->connection;
  to->connected = from->connected;
  to->statement = from->statement;
  from->environment = SQL_NULL_HENV;
  from->connection = SQL_NULL_HDBC;
  from->connected = false;
  from->statement = SQL_NULL_HSTMT;
}

// Connects the kept connection and reads its version.  A version of NULL
// straight after connecting means that the file was replaced while the
// connection was made: it is made once more.
Connection ConnectKept() {
  for (int attempt = 0;; ++attempt) {
    Connection connection = ConnectDataSource(&kept.handles);
    if (connection != Connection::kOpened) return connection;
    // Each request reads one snapshot: the version read when it is lent,
    // and everything after it, until it is returned.
    ReadOneSnapshot(&kept.handles);
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (SQLAllocStmt(kept.handles.connection, &statement) == SQL_SUCCESS) {
      if (SQLPrepare(
              statement,
              reinterpret_cast<SQLCHAR*>(const_cast<char*>(kVersionQuery)),
              SQL_NTS) == SQL_SUCCESS) {
        kept.versionStatement = statement;
      } else {
        SQLFreeStmt(statement, SQL_DROP);
      }
    }
    Version version = ReadVersion(kept.version);
    if (version == Version::kNull && attempt == 0) {
      CloseKept();
      continue;
    }
    kept.versioned = version == Version::kText;
    kept.generation = kept.versioned ? ++lastGeneration : 0;
    UseLookupConnection(kept.handles.connection);
    return Connection::kOpened;
  }
}

// Whether the kept connection still reads the database it read when it
// was made.
bool VersionHolds() {
  if (!kept.versioned) return false;
  char now[kVersionSize];
  return ReadVersion(now) == Version::kText &&
         std::strcmp(now, kept.version) == 0;
}

}  // namespace

void KeepConnection() { kept.keeping = true; }

bool KeepingConnection() { return kept.keeping; }

Connection LendKeptConnection(DatabaseHandles* handles) {
  assert(kept.keeping && !kept.lent);
  if (kept.handles.connected && !VersionHolds()) CloseKept();
  if (!kept.handles.connected) {
    Connection connection = ConnectKept();
    if (connection != Connection::kOpened) {
      HandOver(&kept.handles, handles);
      return connection;
    }
  }
  handles->environment = kept.handles.environment;
  handles->connection = kept.handles.connection;
  handles->connected = true;
  handles->statement = kept.handles.statement;
  handles->oneSnapshot = kept.handles.oneSnapshot;
  handles->lent = true;
  kept.lent = true;
  return Connection::kOpened;
}

void ReturnKeptConnection(DatabaseHandles* handles) {
  assert(kept.lent && handles->statement == kept.handles.statement);
  CloseCursor(handles->statement);
  SQLFreeStmt(handles->statement, SQL_RESET_PARAMS);
  CloseLookupCursors();
  EndSnapshot(&kept.handles);
  handles->environment = SQL_NULL_HENV;
  handles->connection = SQL_NULL_HDBC;
  handles->connected = false;
  handles->statement = SQL_NULL_HSTMT;
  handles->oneSnapshot = false;
  handles->lent = false;
  kept.lent = false;
  if (!kept.versioned) CloseKept();
}

uint64_t KeptDatabaseGeneration() {
  return kept.handles.connected ? kept.generation : 0;
}

void DropKeptConnection() {
  if (kept.handles.connected || kept.handles.environment != SQL_NULL_HENV) {
    CloseKept();
  }
}

void SetKeptRowLimit(int64_t rows) { keptRowLimit = rows; }

int64_t KeptRowLimit() { return keptRowLimit; }

}  // namespace veloran
