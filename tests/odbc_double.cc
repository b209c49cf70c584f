// A stand-in for the ODBC driver manager, linked into the program in place
// of the real one.  Every call is passed on to the real driver manager,
// except where the environment asks for a fault:
//
//   VELORAN_ODBC_FAULTS   faults separated by ";":
//     AllocEnv, AllocConnect, AllocStmt   the allocation fails
//     Connect                             SQLConnect fails
//     ConnectMessage    SQLConnect fails and leaves a diagnostic of three
//                       lines (SQLSTATE 08001), as a network driver does;
//     ConnectMessage:N  the same, its last line padded to N bytes in all
//     Error                               SQLError has no diagnostic
//     ExecInfo:TEXT     a statement containing TEXT returns
//                       SQL_SUCCESS_WITH_INFO (having been executed)
//     ExecFail:TEXT     a statement containing TEXT fails unexecuted, by
//                       SQLExecDirect or by SQLExecute once prepared
//     PrepareFail:TEXT  SQLPrepare of a statement containing TEXT fails
//     FetchFail:TEXT:N  after N rows of a statement containing TEXT, SQLFetch
//                       returns SQL_ERROR
//     NoTerminator      no text ends with a terminator: after each fetch,
//                       every bound character column's buffer is filled
//                       with "#" after its text (a text cut to its buffer
//                       fills it all), and so is SQLError's message buffer
//   A prepared statement is matched, and logged, as its text with each "?"
//   replaced by the value bound to it when it is executed (a number as
//   digits, a text in quotes), and also as prepared: "ExecFail:OwnerID =
//   101" fails the look-up of one spectrum, "ExecFail:OwnerID = ?" all.
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

// The faults of VELORAN_ODBC_FAULTS, or else those written in the file
// VELORAN_ODBC_FAULTS_FILE names, read at each call: a test changes them
// between the requests that one resident worker answers.
std::string Faults() {
  const char* faults = std::getenv("VELORAN_ODBC_FAULTS");
  if (faults != nullptr) return std::string(";") + faults + ";";
  const char* path = std::getenv("VELORAN_ODBC_FAULTS_FILE");
  if (path == nullptr) return std::string();
  std::string written;
  if (FILE* file = std::fopen(path, "r")) {
    char chunk[256];
    size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
      written.append(chunk, read);
    }
    std::fclose(file);
  }
  while (!written.empty() && written.back() == '\n') written.pop_back();
  return written.empty() ? std::string() : ";" + written + ";";
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

// The parameters bound on each statement handle, by number.
struct BoundParameter {
  SQLSMALLINT cType = 0;
  const void* value = nullptr;
  const SQLLEN* indicator = nullptr;
};
std::map<SQLHSTMT, std::map<SQLUSMALLINT, BoundParameter>> boundParameters;

std::string ParameterText(const BoundParameter& parameter) {
  if (parameter.value == nullptr ||
      (parameter.indicator != nullptr && *parameter.indicator == SQL_NULL_DATA)) {
    return "NULL";
  }
  switch (parameter.cType) {
    case SQL_C_LONG:
    case SQL_C_SLONG:
      return std::to_string(*static_cast<const SQLINTEGER*>(parameter.value));
    case SQL_C_SBIGINT:
      return std::to_string(*static_cast<const SQLBIGINT*>(parameter.value));
    case SQL_C_CHAR:
      return "'" + std::string(static_cast<const char*>(parameter.value)) + "'";
    default:
      return "?";
  }
}

// The prepared text of "statement" with its parameters' values in place
// of the "?" (none stands inside a quoted text in the programs' look-ups).
std::string SentText(SQLHSTMT statement) {
  const std::string& sql = preparedSql[statement];
  const auto& parameters = boundParameters[statement];
  std::string text;
  SQLUSMALLINT number = 0;
  for (char c : sql) {
    if (c != '?') {
      text += c;
      continue;
    }
    auto bound = parameters.find(++number);
    text += bound == parameters.end() ? "?" : ParameterText(bound->second);
  }
  return text;
}

// FindFault for a prepared statement: its text as sent, or as prepared.
bool FindPreparedFault(const char* kind, SQLHSTMT statement,
                       std::string* argument) {
  return FindFault(kind, SentText(statement).c_str(), argument) ||
         FindFault(kind, preparedSql[statement].c_str(), argument);
}

// The character columns bound on each statement handle, by column, for
// NoTerminator.
struct TextBinding {
  char* buffer = nullptr;
  SQLLEN size = 0;
  SQLLEN* indicator = nullptr;
};
std::map<SQLHSTMT, std::map<SQLUSMALLINT, TextBinding>> textBindings;

// Overwrites the terminator of "text" (a buffer of "size" bytes holding
// "length" bytes of text, or fewer when it was cut) and every byte after it.
void Unterminate(char* text, SQLLEN size, SQLLEN length) {
  if (size <= 0) return;
  SQLLEN end = length >= 0 && length < size ? length : size - 1;
  std::memset(text + end, '#', static_cast<size_t>(size - end));
}

// Writes "text" into SQLError's buffers as a driver would, or with
// NoTerminator, as one that writes no terminator does.
void WriteDiagnostic(const std::string& state, const std::string& text,
                     SQLCHAR* stateBuffer, SQLCHAR* message,
                     SQLSMALLINT messageSize, SQLSMALLINT* messageLength) {
  bool unterminated = HasFault("NoTerminator");
  std::snprintf(reinterpret_cast<char*>(stateBuffer), 6, "%s", state.c_str());
  if (unterminated) stateBuffer[5] = '#';
  if (message != nullptr && messageSize > 0) {
    std::snprintf(reinterpret_cast<char*>(message),
                  static_cast<size_t>(messageSize), "%s", text.c_str());
    if (unterminated) {
      Unterminate(reinterpret_cast<char*>(message), messageSize,
                  static_cast<SQLLEN>(text.size()));
    }
  }
  if (messageLength != nullptr) {
    *messageLength = static_cast<SQLSMALLINT>(text.size());
  }
}

// The diagnostic that ConnectMessage leaves on the connection, while it is
// pending.
SQLHDBC refusedConnection = SQL_NULL_HDBC;

std::string RefusedConnectionMessage() {
  std::string message =
      "could not connect to server: Connection refused\n"
      "\tIs the server running on host \"127.0.0.1\" and accepting\n"
      "\tTCP/IP connections on port 5432?";
  std::string faults = Faults();
  size_t at = faults.find(";ConnectMessage:");
  if (at != std::string::npos) {
    size_t length = std::strtoul(
        faults.c_str() + at + std::strlen(";ConnectMessage:"), nullptr, 10);
    if (length > message.size()) message.append(length - message.size(), 'x');
  }
  return message;
}

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

// Starts the count of rows for FetchFail on "statement", executing "sql"
// (a prepared statement: nullptr).
void StartFetching(SQLHSTMT statement, const char* sql) {
  std::string fault;
  Fetching& rows = fetching[statement];
  rows = Fetching{};
  if (sql != nullptr ? FindFault("FetchFail", sql, &fault)
                     : FindPreparedFault("FetchFail", statement, &fault)) {
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
  if (Faults().find(";ConnectMessage") != std::string::npos) {
    refusedConnection = connection;
    return SQL_ERROR;
  }
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
    if (nativeError != nullptr) *nativeError = 0;
    WriteDiagnostic(injected.state, injected.message, state, message,
                    messageSize, messageLength);
    ClearDiagnostic();
    return SQL_SUCCESS;
  }
  if (statement == SQL_NULL_HSTMT && connection != SQL_NULL_HDBC &&
      connection == refusedConnection) {
    if (nativeError != nullptr) *nativeError = 101;
    WriteDiagnostic("08001", RefusedConnectionMessage(), state, message,
                    messageSize, messageLength);
    refusedConnection = SQL_NULL_HDBC;
    return SQL_SUCCESS;
  }
  return REAL(SQLError)(environment, connection, statement, state, nativeError,
                        message, messageSize, messageLength);
}

// What a read fault asks of a failed statement besides its diagnostic:
// passed on, unlogged, leaving an injected diagnostic as it is.
SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT type, SQLHANDLE handle,
                                  SQLSMALLINT record, SQLSMALLINT field,
                                  SQLPOINTER value, SQLSMALLINT size,
                                  SQLSMALLINT* length) {
  return REAL(SQLGetDiagField)(type, handle, record, field, value, size,
                               length);
}

SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT statement, SQLUSMALLINT column,
                                 SQLCHAR* name, SQLSMALLINT size,
                                 SQLSMALLINT* length, SQLSMALLINT* type,
                                 SQLULEN* columnSize, SQLSMALLINT* digits,
                                 SQLSMALLINT* nullable) {
  return REAL(SQLDescribeCol)(statement, column, name, size, length, type,
                              columnSize, digits, nullable);
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC connection, SQLUSMALLINT type,
                             SQLPOINTER value, SQLSMALLINT size,
                             SQLSMALLINT* length) {
  Log("SQLGetInfo", std::to_string(type).c_str());
  return REAL(SQLGetInfo)(connection, type, value, size, length);
}

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC connection, SQLINTEGER attribute,
                                    SQLPOINTER value, SQLINTEGER length) {
  Log("SQLSetConnectAttr", std::to_string(attribute).c_str());
  return REAL(SQLSetConnectAttr)(connection, attribute, value, length);
}

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE handle,
                             SQLSMALLINT completion) {
  Log("SQLEndTran");
  return REAL(SQLEndTran)(type, handle, completion);
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
  boundParameters[statement][number] = {cType, value, indicator};
  return REAL(SQLBindParameter)(statement, number, direction, cType, sqlType,
                                size, digits, value, bufferSize, indicator);
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT statement) {
  Log("SQLExecute", SentText(statement).c_str());
  ClearDiagnostic();
  std::string fault;
  StartFetching(statement, nullptr);
  if (FindPreparedFault("ExecFail", statement, &fault)) {
    return Inject(statement, SQL_ERROR, "ExecFail:" + fault);
  }
  SQLRETURN result = REAL(SQLExecute)(statement);
  if (result == SQL_SUCCESS &&
      FindPreparedFault("ExecInfo", statement, &fault)) {
    return Inject(statement, SQL_SUCCESS_WITH_INFO, "ExecInfo:" + fault);
  }
  return result;
}

SQLRETURN SQL_API SQLBindCol(SQLHSTMT statement, SQLUSMALLINT column,
                             SQLSMALLINT type, SQLPOINTER value, SQLLEN size,
                             SQLLEN* indicator) {
  ClearDiagnostic();
  if (type == SQL_C_CHAR && value != nullptr) {
    textBindings[statement][column] =
        TextBinding{static_cast<char*>(value), size, indicator};
  } else {
    textBindings[statement].erase(column);
  }
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
  SQLRETURN result = REAL(SQLFetch)(statement);
  if (SQL_SUCCEEDED(result) && HasFault("NoTerminator")) {
    for (const auto& [column, binding] : textBindings[statement]) {
      SQLLEN length = binding.indicator ? *binding.indicator : SQL_NO_TOTAL;
      if (length == SQL_NULL_DATA) continue;  // the buffer is not written
      Unterminate(binding.buffer, binding.size, length);
    }
  }
  return result;
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT statement, SQLUSMALLINT option) {
  ClearDiagnostic();
  if (option == SQL_UNBIND) textBindings.erase(statement);
  if (option == SQL_RESET_PARAMS) boundParameters.erase(statement);
  if (option == SQL_DROP) {
    textBindings.erase(statement);
    boundParameters.erase(statement);
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
