#include "cgi/request.h"

#include <sql.h>
#include <sqlext.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cgi/number_reading.h"
#include "cgi/output.h"
#include "cgi/page_frame.h"
#include "cgi/query_params.h"
#include "cgi/search_window.h"
#include "search/search_pages.h"

namespace veloran {

namespace {

constexpr int kExitFailure = -1;

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

  void Release() {
    if (statement != SQL_NULL_HSTMT) SQLFreeStmt(statement, SQL_DROP);
    if (connected) SQLDisconnect(connection);
    if (connection != SQL_NULL_HDBC) SQLFreeConnect(connection);
    if (environment != SQL_NULL_HENV) SQLFreeEnv(environment);
    statement = SQL_NULL_HSTMT;
    connected = false;
    connection = SQL_NULL_HDBC;
    environment = SQL_NULL_HENV;
  }

  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
  bool connected = false;
  SQLHSTMT statement = SQL_NULL_HSTMT;
};

void WriteUsageReply() {
  WriteLine("Content-type: text/plain");
  WriteLine("");
  WriteLine(
      "This CGI program must be passed a query string containing either an "
      "\"ID=###00\" clause,");
  WriteLine("or \"X=###\", \"Y=###\", and \"Z=###\" clauses,");
  WriteLine("or clauses for min. and max. RA and Dec components.");
}

void WriteConnectionRefusedReply(const DatabaseHandles& handles) {
  WriteText("Content-type: text/plain\n\n");
  WriteText("SQLConnect() failed!!\n");
  SQLCHAR state[20] = "";
  SQLINTEGER nativeError = 0;
  SQLCHAR message[512] = "";
  SQLSMALLINT messageLength = 0;
  SQLRETURN result =
      SQLError(handles.environment, handles.connection, SQL_NULL_HSTMT, state,
               &nativeError, message, 511, &messageLength);
  if (result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO) {
    // The driver manager terminates both texts; the last bytes make sure.
    state[sizeof(state) - 1] = '\0';
    message[sizeof(message) - 1] = '\0';
    std::printf("SQLSTATE = '%s'\n", reinterpret_cast<char*>(state));
    std::printf("Error message = '%s'\n", reinterpret_cast<char*>(message));
  }
}

// A present but empty value counts as absent here.
const char* FindNonEmptyParam(const char* name) {
  const char* value = FindQueryParam(name);
  return (value != nullptr && value[0] != '\0') ? value : nullptr;
}

// Answers the request and returns the exit status, as if every byte of the
// reply had reached standard output.
int AnswerRequest(const char* queryString) {
  if (queryString == nullptr) {
    WriteUsageReply();
    return kExitFailure;
  }
  DecodeQueryString(queryString);

  int32_t starId = 0;
  SearchWindow& window = searchWindow;
  if (const char* id = FindNonEmptyParam("ID")) {
    starId = ReadInteger(id);
    if (starId <= 0 || starId % 100 != 0) {
      WritePlainReply(
          "Invalid \"ID=###\" clause.  Must be a multiple of 100 greater "
          "than 0.");
      return kExitFailure;
    }
  } else if (const char* x = FindNonEmptyParam("X")) {
    window.centre.x = ReadReal(x);
    if (const char* y = FindNonEmptyParam("Y")) {
      window.centre.y = ReadReal(y);
      if (const char* z = FindNonEmptyParam("Z")) window.centre.z = ReadReal(z);
    }
  }

  if (!ParseSearchWindow(&window)) return kExitFailure;

  // Every reply that follows a failure is written after the handles are
  // released, except the refused connection's, which reads the diagnostic
  // from them first.
  DatabaseHandles handles;
  if (SQLAllocEnv(&handles.environment) != SQL_SUCCESS) {
    handles.environment = SQL_NULL_HENV;
    WriteNoMatchPage(starId);
    return kExitFailure;
  }
  if (SQLAllocConnect(handles.environment, &handles.connection) !=
      SQL_SUCCESS) {
    handles.connection = SQL_NULL_HDBC;
    handles.Release();
    WriteNoMatchPage(starId);
    return kExitFailure;
  }
  SQLSetConnectOption(handles.connection, SQL_LOGIN_TIMEOUT, 2);
  SQLSetConnectOption(handles.connection, SQL_ACCESS_MODE, SQL_MODE_READ_ONLY);
  SQLRETURN connected =
      SQLConnect(handles.connection,
                 reinterpret_cast<SQLCHAR*>(const_cast<char*>("Veloran")),
                 SQL_NTS, reinterpret_cast<SQLCHAR*>(const_cast<char*>("")), 0,
                 reinterpret_cast<SQLCHAR*>(const_cast<char*>("")), 0);
  if (connected != SQL_SUCCESS && connected != SQL_SUCCESS_WITH_INFO) {
    WriteConnectionRefusedReply(handles);
    handles.Release();
    return 0;
  }
  handles.connected = true;
  if (SQLAllocStmt(handles.connection, &handles.statement) != SQL_SUCCESS) {
    handles.statement = SQL_NULL_HSTMT;
    handles.Release();
    WriteNoMatchPage(starId);
    return kExitFailure;
  }

  int status = kExitFailure;
  if (starId != 0) {
    if (WriteStarSearchPage(handles.statement, starId, window)) status = 0;
  } else {
    WriteCoordinateSearchPage(handles.statement, window);
    status = 0;
  }

  handles.Release();
  if (status != 0) WriteNoMatchPage(starId);
  return status;
}

void ReportLostReply(int error) {
  std::fprintf(stderr,
               "neighbor_search: the reply did not reach standard output%s%s\n",
               error != 0 ? ": " : "", error != 0 ? std::strerror(error) : "");
}

}  // namespace

int ServeRequest(const char* queryString) {
  // Nothing is done for a reply that cannot be delivered.
  if (!StandardOutputIsOpen()) {
    ReportLostReply(EBADF);
    return kExitFailure;
  }
  int status = AnswerRequest(queryString);
  int error = 0;
  if (!FlushReply(&error)) {
    ReportLostReply(error);
    return kExitFailure;
  }
  return status;
}

}  // namespace veloran
