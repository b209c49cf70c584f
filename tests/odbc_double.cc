// A stand-in for the ODBC driver manager, linked into the program in place
// of the real one.  Every call is passed on to the real driver manager,
// except where the environment asks for a fault:
//
//   VELORAN_ODBC_FAULTS   faults separated by ";":
//     AllocEnv, AllocConnect, AllocStmt   the allocation fails
//     Connect                             SQLConnect fails
//     Error                               SQLError has no diagnostic
//     ExecInfo:TEXT     a statement containing TEXT returns
//                       SQL_SUCCESS_WITH_INFO (having been executed)
//     ExecFail:TEXT     a statement containing TEXT fails unexecuted, by
//                       SQLExecDirect or by SQLExecute once prepared
//     PrepareFail:TEXT  SQLPrepare of a statement containing TEXT fails
//     FetchFail:TEXT:N  after N rows of a statement containing TEXT, SQLFetch
//                       returns SQL_ERROR
//   A statement call that the double failed (or, for ExecInfo, answered with
//   information) leaves a diagnostic, as a driver would, which SQLError on
//   the statement returns once, until the next call on it: SQLSTATE HY000
//   (01000 for ExecInfo) and a message of two lines that names the fault.
//   VELORAN_ODBC_LOG      a file to which every call is appended, one a line

#include <dlfcn.h>
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

void* RealFunction(const char* name) {
  static void* library = dlopen("libodbc.so.2", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "odbc double: cannot load libodbc.so.2: %s\n",
                 dlerror());
    std::abort();
  }
  void* function = dlsym(library, name);
  if (function == nullptr) {
    std::fprintf(stderr, "odbc double: no %s in libodbc.so.2\n", name);
    std::abort();
  }
  return function;
}

#define REAL(name) reinterpret_cast<decltype(&::name)>(RealFunction(#name))

std::string Faults() {
  const char* faults = std::getenv("VELORAN_ODBC_FAULTS");
  return faults ? std::string(";") + faults + ";" : std::string();
}

bool HasFault(const char* fault) {
  return Faults().find(std::string(";") + fault + ";") != std::string::npos;
}

// The argument of the first fault "KIND:ARG" whose ARG is found in "text",
// or nullptr.
bool FindFault(const char* kind, const char* text, std::string* argument) {
  std::string faults = Faults();
  std::string prefix = std::string(";") + kind + ":";
  for (size_t at = faults.find(prefix); at != std::string::npos;
       at = faults.find(prefix, at + 1)) {
    size_t start = at + prefix.size();
    std::string fault = faults.substr(start, faults.find(';', start) - start);
    std::string needle = fault.substr(0, fault.find(':'));
    if (std::strstr(text, needle.c_str()) != nullptr) {
      *argument = fault;
      return true;
    }
  }
  return false;
}

void Log(const char* call, const char* detail = "") {
  const char* path = std::getenv("VELORAN_ODBC_LOG");
  if (path == nullptr) return;
  if (FILE* log = std::fopen(path, "a")) {
    std::fprintf(log, "%s%s%s\n", call, detail[0] ? " " : "", detail);
    std::fclose(log);
  }
}

// For FetchFail, of each statement handle: the rows it may fetch (-1: no
// limit) and the rows it has fetched since it was executed.  A resident
// worker fetches from several handles in turn.
struct Fetching {
  long rowsBeforeFailure = -1;
  long rowsFetched = 0;
};
std::map<SQLHSTMT, Fetching> fetching;

// The text prepared on each statement handle, for SQLExecute.
std::map<SQLHSTMT, std::string> preparedSql;

// The diagnostic of the fault injected last, while it is pending.
struct InjectedDiagnostic {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  std::string state;
  std::string message;
};
InjectedDiagnostic injected;

// Every call on a statement clears its diagnostic.
void ClearDiagnostic() { injected = InjectedDiagnostic{}; }

// Answers "result" for the fault "fault" injected into a call on
// "statement", leaving its diagnostic.
SQLRETURN Inject(SQLHSTMT statement, SQLRETURN result,
                 const std::string& fault) {
  injected.statement = statement;
  injected.state = result == SQL_SUCCESS_WITH_INFO ? "01000" : "HY000";
  injected.message = "[odbc double] injected fault\n" + fault;
  return result;
}

// Starts the count of rows for FetchFail on "statement", executing "sql".
void StartFetching(SQLHSTMT statement, const char* sql) {
  std::string fault;
  Fetching& rows = fetching[statement];
  rows = Fetching{};
  if (FindFault("FetchFail", sql, &fault)) {
    rows.rowsBeforeFailure =
        std::atol(fault.substr(fault.rfind(':') + 1).c_str());
  }
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocEnv(SQLHENV* environment) {
  Log("SQLAllocEnv");
  if (HasFault("AllocEnv")) return SQL_ERROR;
  return REAL(SQLAllocEnv)(environment);
}

SQLRETURN SQL_API SQLAllocConnect(SQLHENV environment, SQLHDBC* connection) {
  Log("SQLAllocConnect");
  if (HasFault("AllocConnect")) return SQL_ERROR;
  return REAL(SQLAllocConnect)(environment, connection);
}

SQLRETURN SQL_API SQLSetConnectOption(SQLHDBC connection, SQLUSMALLINT option,
                                      SQLULEN value) {
  Log("SQLSetConnectOption", std::to_string(option).c_str());
  return REAL(SQLSetConnectOption)(connection, option, value);
}

SQLRETURN SQL_API SQLConnect(SQLHDBC connection, SQLCHAR* dsn,
                             SQLSMALLINT dsnLength, SQLCHAR* user,
                             SQLSMALLINT userLength, SQLCHAR* password,
                             SQLSMALLINT passwordLength) {
  Log("SQLConnect", reinterpret_cast<char*>(dsn));
  if (HasFault("Connect")) return SQL_ERROR;
  return REAL(SQLConnect)(connection, dsn, dsnLength, user, userLength,
                          password, passwordLength);
}

SQLRETURN SQL_API SQLError(SQLHENV environment, SQLHDBC connection,
                           SQLHSTMT statement, SQLCHAR* state,
                           SQLINTEGER* nativeError, SQLCHAR* message,
                           SQLSMALLINT messageSize,
                           SQLSMALLINT* messageLength) {
  Log("SQLError");
  if (HasFault("Error")) return SQL_NO_DATA;
  if (statement != SQL_NULL_HSTMT && statement == injected.statement) {
    std::snprintf(reinterpret_cast<char*>(state), 6, "%s",
                  injected.state.c_str());
    if (nativeError != nullptr) *nativeError = 0;
    if (message != nullptr && messageSize > 0) {
      std::snprintf(reinterpret_cast<char*>(message), messageSize, "%s",
                    injected.message.c_str());
    }
    if (messageLength != nullptr) {
      *messageLength = static_cast<SQLSMALLINT>(injected.message.size());
    }
    ClearDiagnostic();
    return SQL_SUCCESS;
  }
  return REAL(SQLError)(environment, connection, statement, state, nativeError,
                        message, messageSize, messageLength);
}

SQLRETURN SQL_API SQLAllocStmt(SQLHDBC connection, SQLHSTMT* statement) {
  Log("SQLAllocStmt");
  if (HasFault("AllocStmt")) return SQL_ERROR;
  return REAL(SQLAllocStmt)(connection, statement);
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT statement, SQLCHAR* text,
                                SQLINTEGER length) {
  const char* sql = reinterpret_cast<const char*>(text);
  Log("SQLExecDirect", sql);
  ClearDiagnostic();
  std::string fault;
  StartFetching(statement, sql);
  if (FindFault("ExecFail", sql, &fault)) {
    return Inject(statement, SQL_ERROR, "ExecFail:" + fault);
  }
  SQLRETURN result = REAL(SQLExecDirect)(statement, text, length);
  if (result == SQL_SUCCESS && FindFault("ExecInfo", sql, &fault)) {
    return Inject(statement, SQL_SUCCESS_WITH_INFO, "ExecInfo:" + fault);
  }
  return result;
}

SQLRETURN SQL_API SQLPrepare(SQLHSTMT statement, SQLCHAR* text,
                             SQLINTEGER length) {
  const char* sql = reinterpret_cast<const char*>(text);
  Log("SQLPrepare", sql);
  preparedSql[statement] = sql;
  ClearDiagnostic();
  std::string fault;
  if (FindFault("PrepareFail", sql, &fault)) {
    return Inject(statement, SQL_ERROR, "PrepareFail:" + fault);
  }
  return REAL(SQLPrepare)(statement, text, length);
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT statement, SQLUSMALLINT number,
                                   SQLSMALLINT direction, SQLSMALLINT cType,
                                   SQLSMALLINT sqlType, SQLULEN size,
                                   SQLSMALLINT digits, SQLPOINTER value,
                                   SQLLEN bufferSize, SQLLEN* indicator) {
  ClearDiagnostic();
  return REAL(SQLBindParameter)(statement, number, direction, cType, sqlType,
                                size, digits, value, bufferSize, indicator);
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT statement) {
  const std::string& sql = preparedSql[statement];
  Log("SQLExecute", sql.c_str());
  ClearDiagnostic();
  std::string fault;
  StartFetching(statement, sql.c_str());
  if (FindFault("ExecFail", sql.c_str(), &fault)) {
    return Inject(statement, SQL_ERROR, "ExecFail:" + fault);
  }
  SQLRETURN result = REAL(SQLExecute)(statement);
  if (result == SQL_SUCCESS && FindFault("ExecInfo", sql.c_str(), &fault)) {
    return Inject(statement, SQL_SUCCESS_WITH_INFO, "ExecInfo:" + fault);
  }
  return result;
}

SQLRETURN SQL_API SQLBindCol(SQLHSTMT statement, SQLUSMALLINT column,
                             SQLSMALLINT type, SQLPOINTER value, SQLLEN size,
                             SQLLEN* indicator) {
  ClearDiagnostic();
  return REAL(SQLBindCol)(statement, column, type, value, size, indicator);
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT statement) {
  ClearDiagnostic();
  Fetching& rows = fetching[statement];
  if (rows.rowsBeforeFailure >= 0 &&
      rows.rowsFetched >= rows.rowsBeforeFailure) {
    Log("SQLFetch", "failed");
    return Inject(statement, SQL_ERROR,
                  "FetchFail after " + std::to_string(rows.rowsFetched) +
                      " rows");
  }
  ++rows.rowsFetched;
  return REAL(SQLFetch)(statement);
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT statement, SQLUSMALLINT option) {
  ClearDiagnostic();
  if (option == SQL_DROP) {
    Log("SQLFreeStmt", "SQL_DROP");
    fetching.erase(statement);
    preparedSql.erase(statement);
  }
  return REAL(SQLFreeStmt)(statement, option);
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC connection) {
  Log("SQLDisconnect");
  return REAL(SQLDisconnect)(connection);
}

SQLRETURN SQL_API SQLFreeConnect(SQLHDBC connection) {
  Log("SQLFreeConnect");
  return REAL(SQLFreeConnect)(connection);
}

SQLRETURN SQL_API SQLFreeEnv(SQLHENV environment) {
  Log("SQLFreeEnv");
  return REAL(SQLFreeEnv)(environment);
}

}  // extern "C"
