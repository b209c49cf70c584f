#include "catalogue/data_source.h"

#include <cstring>

#include "catalogue/fetched_text.h"
#include "catalogue/kept_connection.h"
#include "catalogue/statements.h"

namespace veloran {

namespace {

SQLHDBC requestConnection = SQL_NULL_HDBC;

const char* dataSourceName = "Veloran";

// The database engines (by SQL_DBMS_NAME) on which manual-commit mode
// reads a request in one snapshot, and cheaply: SQLite through the
// project's driver, in one read transaction with one lock and one check of
// the file; MariaDB, at its REPEATABLE READ, for two statements more (SET
// autocommit=0 and the ROLLBACK).  Not PostgreSQL: at its READ COMMITTED a
// transaction's statements each read a snapshot of their own all the same,
// and psqlODBC sends a SAVEPOINT before each execution in a transaction,
// some 270 more round trips for a page of neighbours.
constexpr const char* kOneSnapshotEngines[] = {"SQLite", "MariaDB"};

bool ReadsOneSnapshot(SQLHDBC connection) {
  char engine[64] = "";
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(connection, SQL_DBMS_NAME, engine,
                                sizeof(engine), &length))) {
    return false;
  }
  TerminateFetchedText(engine, sizeof(engine), length);
  for (const char* name : kOneSnapshotEngines) {
    if (std::strcmp(engine, name) == 0) return true;
  }
  return false;
}

}  // namespace

SQLHDBC RequestConnection() { return requestConnection; }

void ChooseDataSource(const char* name) { dataSourceName = name; }

const char* DataSourceName() { return dataSourceName; }

void DatabaseHandles::Release() {
  if (connection != SQL_NULL_HDBC && connection == requestConnection) {
    requestConnection = SQL_NULL_HDBC;
  }
  if (lent) {
    ReturnKeptConnection(this);
    return;
  }
  if (preparedLookups) UseLookupConnection(SQL_NULL_HDBC);
  if (statement != SQL_NULL_HSTMT) SQLFreeStmt(statement, SQL_DROP);
  EndSnapshot(this);
  if (connected) SQLDisconnect(connection);
  if (connection != SQL_NULL_HDBC) SQLFreeConnect(connection);
  if (environment != SQL_NULL_HENV) SQLFreeEnv(environment);
  statement = SQL_NULL_HSTMT;
  connected = false;
  oneSnapshot = false;
  preparedLookups = false;
  connection = SQL_NULL_HDBC;
  environment = SQL_NULL_HENV;
}

Connection OpenDataSource(DatabaseHandles* handles, Reading reading) {
  Connection opened = KeepingConnection() ? LendKeptConnection(handles)
                                          : ConnectDataSource(handles);
  if (opened != Connection::kOpened) return opened;
  requestConnection = handles->connection;
  if (reading == Reading::kOneSnapshot && !handles->lent) {
    ReadOneSnapshot(handles);
    UseLookupConnection(handles->connection);
    handles->preparedLookups = true;
  }
  return opened;
}

void ReadOneSnapshot(DatabaseHandles* handles) {
  handles->oneSnapshot =
      ReadsOneSnapshot(handles->connection) &&
      SQL_SUCCEEDED(SQLSetConnectAttr(
          handles->connection, SQL_ATTR_AUTOCOMMIT,
          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0));
}

void EndSnapshot(DatabaseHandles* handles) {
  // Nothing was written: a rollback ends a read as a commit does.
  if (handles->oneSnapshot && handles->connected) {
    SQLEndTran(SQL_HANDLE_DBC, handles->connection, SQL_ROLLBACK);
  }
}

Connection ConnectDataSource(DatabaseHandles* handles) {
  if (SQLAllocEnv(&handles->environment) != SQL_SUCCESS) {
    handles->environment = SQL_NULL_HENV;
    return Connection::kNoHandle;
  }
  if (SQLAllocConnect(handles->environment, &handles->connection) !=
      SQL_SUCCESS) {
    handles->connection = SQL_NULL_HDBC;
    handles->Release();
    return Connection::kNoHandle;
  }
  SQLSetConnectOption(handles->connection, SQL_LOGIN_TIMEOUT, 2);
  SQLSetConnectOption(handles->connection, SQL_ACCESS_MODE, SQL_MODE_READ_ONLY);
  SQLRETURN connected =
      SQLConnect(handles->connection,
                 reinterpret_cast<SQLCHAR*>(const_cast<char*>(dataSourceName)),
                 SQL_NTS, reinterpret_cast<SQLCHAR*>(const_cast<char*>("")), 0,
                 reinterpret_cast<SQLCHAR*>(const_cast<char*>("")), 0);
  if (connected != SQL_SUCCESS && connected != SQL_SUCCESS_WITH_INFO) {
    return Connection::kRefused;
  }
  handles->connected = true;
  if (SQLAllocStmt(handles->connection, &handles->statement) != SQL_SUCCESS) {
    handles->statement = SQL_NULL_HSTMT;
    handles->Release();
    return Connection::kNoHandle;
  }
  return Connection::kOpened;
}

bool ReadConnectionDiagnostic(const DatabaseHandles& handles, char* state,
                              char* message, int messageSize) {
  return FetchDiagnostic(handles.environment, handles.connection,
                         SQL_NULL_HSTMT, state, message,
                         static_cast<size_t>(messageSize));
}

}  // namespace veloran
