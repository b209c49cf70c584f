#include "cgi/request.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <cstdio>

#include "cgi/number_reading.h"
#include "cgi/output.h"
#include "cgi/page_frame.h"
#include "cgi/query_params.h"
#include "cgi/search_window.h"
#include "search/search_pages.h"

namespace veloran {

namespace {

constexpr int kExitFailure = -1;

// The request's ODBC handles: allocated in this order, released in reverse.
struct DatabaseHandles {
  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
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

}  // namespace

int ServeRequest(const char* queryString) {
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

  DatabaseHandles handles;
  if (SQLAllocEnv(&handles.environment) != SQL_SUCCESS) {
    WriteNoMatchPage(starId);
    return kExitFailure;
  }
  if (SQLAllocConnect(handles.environment, &handles.connection) !=
      SQL_SUCCESS) {
    SQLFreeEnv(handles.environment);
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
    SQLFreeConnect(handles.connection);
    SQLFreeEnv(handles.environment);
    return 0;
  }
  if (SQLAllocStmt(handles.connection, &handles.statement) != SQL_SUCCESS) {
    SQLDisconnect(handles.connection);
    SQLFreeConnect(handles.connection);
    SQLFreeEnv(handles.environment);
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

  SQLFreeStmt(handles.statement, SQL_DROP);
  SQLDisconnect(handles.connection);
  SQLFreeConnect(handles.connection);
  SQLFreeEnv(handles.environment);
  if (status != 0) WriteNoMatchPage(starId);
  return status;
}

}  // namespace veloran
