#include "catalogue/data_source.h"

#include "catalogue/fetched_text.h"
#include "catalogue/kept_connection.h"

namespace veloran {

void DatabaseHandles::Release() {
  if (lent) {
    ReturnKeptConnection(this);
    return;
  }
  if (statement != SQL_NULL_HSTMT) SQLFreeStmt(statement, SQL_DROP);
  if (connected) SQLDisconnect(connection);
  if (connection != SQL_NULL_HDBC) SQLFreeConnect(connection);
  if (environment != SQL_NULL_HENV) SQLFreeEnv(environment);
  statement = SQL_NULL_HSTMT;
  connected = false;
  connection = SQL_NULL_HDBC;
  environment = SQL_NULL_HENV;
}

Connection OpenDataSource(DatabaseHandles* handles) {
  if (KeepingConnection()) return LendKeptConnection(handles);
  return ConnectDataSource(handles);
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
                 reinterpret_cast<SQLCHAR*>(const_cast<char*>("Veloran")),
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
