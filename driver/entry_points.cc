// The ODBC functions the driver exports, the only symbols it exports.  Each
// finds its handle, takes the lock that guards it, clears the handle's
// diagnostics and calls the driver's own function; an exception (an
// exhausted heap) becomes SQL_ERROR with HY001 and never leaves the driver.
// There are no wide-character (W) functions: unixODBC converts an
// application's wide calls (pyodbc makes them) to these, and passes
// SQL_C_WCHAR buffers through, which the conversions fill.
#include <sql.h>
#include <sqlext.h>

#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <string>

#include "driver/catalog_functions.h"
#include "driver/connection.h"
#include "driver/data_source.h"
#include "driver/driver_info.h"
#include "driver/handles.h"
#include "driver/parameters.h"
#include "driver/statement.h"
#include "driver/text_output.h"

#define VELORAN_EXPORT extern "C" __attribute__((visibility("default")))

namespace veloran::odbc {
namespace {

// Runs "body" under "mutex" with the handle's diagnostics cleared first.
template <typename Body>
SQLRETURN Guarded(std::mutex* mutex, Diagnostics* diagnostics, Body body) {
  SQLRETURN result;
  try {
    std::lock_guard<std::mutex> lock(*mutex);
    ClearDiagnostics(diagnostics);
    result = body();
    if (diagnostics->count != 0) diagnostics->returnCode = result;
  } catch (const std::bad_alloc&) {
    PostDiagnostic(diagnostics, "HY001");
    diagnostics->returnCode = SQL_ERROR;
    result = SQL_ERROR;
  } catch (const std::exception& error) {
    PostDiagnostic(diagnostics, "HY000", "%s", error.what());
    diagnostics->returnCode = SQL_ERROR;
    result = SQL_ERROR;
  }
  return result;
}

// A cancel that came while another call held the lock closes the cursor
// before the statement's next call.
template <typename Body>
SQLRETURN OnStatement(SQLHSTMT handle, Body body) {
  Statement* statement = AsStatement(handle);
  if (statement == nullptr) return SQL_INVALID_HANDLE;
  return Guarded(&statement->connection->mutex, &statement->diagnostics,
                 [&]() -> SQLRETURN {
                   if (statement->cancelRequested.exchange(
                           false, std::memory_order_relaxed)) {
                     CloseCursor(statement);
                   }
                   return body(statement);
                 });
}

template <typename Body>
SQLRETURN OnConnection(SQLHDBC handle, Body body) {
  Connection* connection = AsConnection(handle);
  if (connection == nullptr) return SQL_INVALID_HANDLE;
  return Guarded(&connection->mutex, &connection->diagnostics,
                 [&]() -> SQLRETURN { return body(connection); });
}

template <typename Body>
SQLRETURN OnEnvironment(SQLHENV handle, Body body) {
  Environment* environment = AsEnvironment(handle);
  if (environment == nullptr) return SQL_INVALID_HANDLE;
  return Guarded(&environment->mutex, &environment->diagnostics,
                 [&]() -> SQLRETURN { return body(environment); });
}

// For the calls that lock by themselves: nothing may leave the driver.
template <typename Body>
SQLRETURN NoThrow(Body body) {
  try {
    return body();
  } catch (...) {
    return SQL_ERROR;
  }
}

SQLRETURN NotConnected(Connection* connection) {
  PostDiagnostic(&connection->diagnostics, "08003");
  return SQL_ERROR;
}

SQLRETURN AllocateEnvironment(SQLHANDLE* output) {
  if (output == nullptr) return SQL_ERROR;
  Environment* environment = NewEnvironment();
  *output = environment;
  return environment != nullptr ? SQL_SUCCESS : SQL_ERROR;
}

SQLRETURN AllocateConnection(SQLHANDLE input, SQLHANDLE* output) {
  return OnEnvironment(input, [&](Environment* environment) -> SQLRETURN {
    if (output == nullptr) {
      PostDiagnostic(&environment->diagnostics, "HY009", "no output handle");
      return SQL_ERROR;
    }
    Connection* connection = NewConnection(environment);
    *output = connection;
    if (connection == nullptr) {
      PostDiagnostic(&environment->diagnostics, "HY001");
      return SQL_ERROR;
    }
    ++environment->connectionCount;
    return SQL_SUCCESS;
  });
}

SQLRETURN AllocateStatement(SQLHANDLE input, SQLHANDLE* output) {
  return OnConnection(input, [&](Connection* connection) -> SQLRETURN {
    if (output == nullptr) {
      PostDiagnostic(&connection->diagnostics, "HY009", "no output handle");
      return SQL_ERROR;
    }
    if (connection->database == nullptr) return NotConnected(connection);
    Statement* statement = NewStatement(connection);
    *output = statement;
    if (statement == nullptr) {
      PostDiagnostic(&connection->diagnostics, "HY001");
      return SQL_ERROR;
    }
    return SQL_SUCCESS;
  });
}

SQLRETURN FreeEnvironment(SQLHANDLE handle) {
  Environment* environment = AsEnvironment(handle);
  if (environment == nullptr) return SQL_INVALID_HANDLE;
  return NoThrow([&]() -> SQLRETURN {
    {
      std::lock_guard<std::mutex> lock(environment->mutex);
      ClearDiagnostics(&environment->diagnostics);
      if (environment->connectionCount > 0) {
        PostDiagnostic(&environment->diagnostics, "HY010",
                       "the environment still has connections");
        return SQL_ERROR;
      }
    }
    DeleteEnvironment(environment);
    return SQL_SUCCESS;
  });
}

SQLRETURN FreeConnection(SQLHANDLE handle) {
  Connection* connection = AsConnection(handle);
  if (connection == nullptr) return SQL_INVALID_HANDLE;
  return NoThrow([&]() -> SQLRETURN {
    {
      std::lock_guard<std::mutex> lock(connection->mutex);
      ClearDiagnostics(&connection->diagnostics);
      if (connection->database != nullptr) {
        PostDiagnostic(&connection->diagnostics, "HY010",
                       "the connection is still open");
        return SQL_ERROR;
      }
    }
    Environment* environment = connection->environment;
    {
      std::lock_guard<std::mutex> lock(environment->mutex);
      --environment->connectionCount;
    }
    DeleteConnection(connection);
    return SQL_SUCCESS;
  });
}

SQLRETURN FreeStatement(SQLHSTMT handle, SQLUSMALLINT option) {
  Statement* statement = AsStatement(handle);
  if (statement == nullptr) return SQL_INVALID_HANDLE;
  if (option == SQL_DROP) {
    return NoThrow([&]() -> SQLRETURN {
      std::lock_guard<std::mutex> lock(statement->connection->mutex);
      DeleteStatement(statement);
      return SQL_SUCCESS;
    });
  }
  return OnStatement(handle, [&](Statement* s) -> SQLRETURN {
    switch (option) {
      case SQL_CLOSE:
        CloseCursor(s);
        return SQL_SUCCESS;
      case SQL_UNBIND:
        s->columns.clear();
        s->boundColumns = 0;
        return SQL_SUCCESS;
      case SQL_RESET_PARAMS:
        s->parameters.clear();
        return SQL_SUCCESS;
      default:
        PostDiagnostic(&s->diagnostics, "HY092", "option %u", option);
        return SQL_ERROR;
    }
  });
}

std::string Text(const SQLCHAR* text, SQLSMALLINT length) {
  if (text == nullptr) return std::string();
  const char* chars = reinterpret_cast<const char*>(text);
  if (length == SQL_NTS) return std::string(chars);
  if (length < 0) return std::string();
  return std::string(chars, static_cast<size_t>(length));
}

Diagnostics* DiagnosticsOf(SQLSMALLINT handleType, SQLHANDLE handle,
                           std::mutex** mutex) {
  switch (handleType) {
    case SQL_HANDLE_ENV: {
      Environment* environment = AsEnvironment(handle);
      if (environment == nullptr) return nullptr;
      *mutex = &environment->mutex;
      return &environment->diagnostics;
    }
    case SQL_HANDLE_DBC: {
      Connection* connection = AsConnection(handle);
      if (connection == nullptr) return nullptr;
      *mutex = &connection->mutex;
      return &connection->diagnostics;
    }
    case SQL_HANDLE_STMT: {
      Statement* statement = AsStatement(handle);
      if (statement == nullptr) return nullptr;
      *mutex = &statement->connection->mutex;
      return &statement->diagnostics;
    }
    default:
      return nullptr;
  }
}

}  // namespace
}  // namespace veloran::odbc

using namespace veloran::odbc;

// --- handles -------------------------------------------------------------

VELORAN_EXPORT SQLRETURN SQLAllocHandle(SQLSMALLINT handleType, SQLHANDLE input,
                                        SQLHANDLE* output) {
  switch (handleType) {
    case SQL_HANDLE_ENV:
      return AllocateEnvironment(output);
    case SQL_HANDLE_DBC:
      return AllocateConnection(input, output);
    case SQL_HANDLE_STMT:
      return AllocateStatement(input, output);
    default:
      return SQL_ERROR;
  }
}

VELORAN_EXPORT SQLRETURN SQLAllocEnv(SQLHENV* environment) {
  return AllocateEnvironment(environment);
}

VELORAN_EXPORT SQLRETURN SQLAllocConnect(SQLHENV environment,
                                         SQLHDBC* connection) {
  return AllocateConnection(environment, connection);
}

VELORAN_EXPORT SQLRETURN SQLAllocStmt(SQLHDBC connection, SQLHSTMT* statement) {
  return AllocateStatement(connection, statement);
}

VELORAN_EXPORT SQLRETURN SQLFreeHandle(SQLSMALLINT handleType,
                                       SQLHANDLE handle) {
  switch (handleType) {
    case SQL_HANDLE_ENV:
      return FreeEnvironment(handle);
    case SQL_HANDLE_DBC:
      return FreeConnection(handle);
    case SQL_HANDLE_STMT:
      return FreeStatement(handle, SQL_DROP);
    default:
      return SQL_INVALID_HANDLE;
  }
}

VELORAN_EXPORT SQLRETURN SQLFreeEnv(SQLHENV environment) {
  return FreeEnvironment(environment);
}

VELORAN_EXPORT SQLRETURN SQLFreeConnect(SQLHDBC connection) {
  return FreeConnection(connection);
}

VELORAN_EXPORT SQLRETURN SQLFreeStmt(SQLHSTMT statement, SQLUSMALLINT option) {
  return FreeStatement(statement, option);
}

// --- attributes ----------------------------------------------------------

VELORAN_EXPORT SQLRETURN SQLSetEnvAttr(SQLHENV handle, SQLINTEGER attribute,
                                       SQLPOINTER value,
                                       SQLINTEGER /*length*/) {
  return OnEnvironment(handle, [&](Environment* environment) -> SQLRETURN {
    return SetEnvironmentAttribute(
        environment, attribute,
        static_cast<SQLULEN>(reinterpret_cast<uintptr_t>(value)));
  });
}

VELORAN_EXPORT SQLRETURN SQLGetEnvAttr(SQLHENV handle, SQLINTEGER attribute,
                                       SQLPOINTER value,
                                       SQLINTEGER /*bufferLength*/,
                                       SQLINTEGER* /*length*/) {
  return OnEnvironment(handle, [&](Environment* environment) -> SQLRETURN {
    return GetEnvironmentAttribute(environment, attribute, value);
  });
}

VELORAN_EXPORT SQLRETURN SQLSetConnectAttr(SQLHDBC handle, SQLINTEGER attribute,
                                           SQLPOINTER value,
                                           SQLINTEGER /*length*/) {
  return OnConnection(handle, [&](Connection* connection) -> SQLRETURN {
    return SetConnectionAttribute(
        connection, attribute,
        static_cast<SQLULEN>(reinterpret_cast<uintptr_t>(value)));
  });
}

VELORAN_EXPORT SQLRETURN SQLSetConnectOption(SQLHDBC handle,
                                             SQLUSMALLINT option,
                                             SQLULEN value) {
  return OnConnection(handle, [&](Connection* connection) -> SQLRETURN {
    return SetConnectionAttribute(connection, option, value);
  });
}

VELORAN_EXPORT SQLRETURN SQLGetConnectAttr(SQLHDBC handle, SQLINTEGER attribute,
                                           SQLPOINTER value,
                                           SQLINTEGER bufferLength,
                                           SQLINTEGER* length) {
  return OnConnection(handle, [&](Connection* connection) -> SQLRETURN {
    return GetConnectionAttribute(connection, attribute, value, bufferLength,
                                  length);
  });
}

VELORAN_EXPORT SQLRETURN SQLSetStmtAttr(SQLHSTMT handle, SQLINTEGER attribute,
                                        SQLPOINTER value,
                                        SQLINTEGER /*length*/) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return SetStatementAttribute(statement, attribute, value);
  });
}

VELORAN_EXPORT SQLRETURN SQLGetStmtAttr(SQLHSTMT handle, SQLINTEGER attribute,
                                        SQLPOINTER value,
                                        SQLINTEGER /*bufferLength*/,
                                        SQLINTEGER* /*length*/) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return GetStatementAttribute(statement, attribute, value);
  });
}

// --- connections ---------------------------------------------------------

VELORAN_EXPORT SQLRETURN SQLConnect(SQLHDBC handle, SQLCHAR* dataSource,
                                    SQLSMALLINT dataSourceLength,
                                    SQLCHAR* /*user*/,
                                    SQLSMALLINT /*userLength*/,
                                    SQLCHAR* /*password*/,
                                    SQLSMALLINT /*passwordLength*/) {
  return OnConnection(handle, [&](Connection* connection) -> SQLRETURN {
    DataSourceSettings settings;
    ReadDataSource(Text(dataSource, dataSourceLength), &settings);
    return Connect(connection, settings);
  });
}

VELORAN_EXPORT SQLRETURN SQLDriverConnect(
    SQLHDBC handle, SQLHWND /*window*/, SQLCHAR* input, SQLSMALLINT inputLength,
    SQLCHAR* output, SQLSMALLINT bufferLength, SQLSMALLINT* outputLength,
    SQLUSMALLINT /*completion*/) {
  // No dialogs: every completion mode connects with what the string gives.
  return OnConnection(handle, [&](Connection* connection) -> SQLRETURN {
    DataSourceSettings settings;
    std::string error;
    if (!ReadConnectionString(Text(input, inputLength), &settings, &error)) {
      PostDiagnostic(&connection->diagnostics, "08001",
                     "invalid connection string: %s", error.c_str());
      return SQL_ERROR;
    }
    SQLRETURN result = Connect(connection, settings);
    if (result != SQL_SUCCESS) return result;
    std::string completed = CompletedConnectionString(settings);
    if (!WriteOutputText(completed.data(), completed.size(), output,
                         bufferLength, outputLength)) {
      PostDiagnostic(&connection->diagnostics, "01004",
                     "the completed connection string was cut");
      return SQL_SUCCESS_WITH_INFO;
    }
    return SQL_SUCCESS;
  });
}

VELORAN_EXPORT SQLRETURN SQLDisconnect(SQLHDBC handle) {
  return OnConnection(handle, [&](Connection* connection) -> SQLRETURN {
    if (connection->database == nullptr) return NotConnected(connection);
    return Disconnect(connection);
  });
}

VELORAN_EXPORT SQLRETURN SQLEndTran(SQLSMALLINT handleType, SQLHANDLE handle,
                                    SQLSMALLINT completionType) {
  if (handleType == SQL_HANDLE_ENV) {
    return OnEnvironment(
        handle, [&](Environment*) -> SQLRETURN { return SQL_SUCCESS; });
  }
  if (handleType != SQL_HANDLE_DBC) return SQL_INVALID_HANDLE;
  return OnConnection(handle, [&](Connection* connection) -> SQLRETURN {
    return EndTransaction(connection, completionType);
  });
}

VELORAN_EXPORT SQLRETURN SQLGetInfo(SQLHDBC handle, SQLUSMALLINT infoType,
                                    SQLPOINTER value, SQLSMALLINT bufferLength,
                                    SQLSMALLINT* length) {
  return OnConnection(handle, [&](Connection* connection) -> SQLRETURN {
    return GetInfo(connection, infoType, value, bufferLength, length);
  });
}

VELORAN_EXPORT SQLRETURN SQLGetFunctions(SQLHDBC handle, SQLUSMALLINT function,
                                         SQLUSMALLINT* supported) {
  return OnConnection(handle, [&](Connection*) -> SQLRETURN {
    return GetFunctions(function, supported);
  });
}

// --- statements ----------------------------------------------------------

VELORAN_EXPORT SQLRETURN SQLPrepare(SQLHSTMT handle, SQLCHAR* text,
                                    SQLINTEGER length) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return Prepare(statement, text, length);
  });
}

VELORAN_EXPORT SQLRETURN SQLExecute(SQLHSTMT handle) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return Execute(statement);
  });
}

VELORAN_EXPORT SQLRETURN SQLExecDirect(SQLHSTMT handle, SQLCHAR* text,
                                       SQLINTEGER length) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return ExecuteDirect(statement, text, length);
  });
}

VELORAN_EXPORT SQLRETURN SQLBindParameter(
    SQLHSTMT handle, SQLUSMALLINT number, SQLSMALLINT ioType, SQLSMALLINT cType,
    SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT decimalDigits,
    SQLPOINTER value, SQLLEN bufferLength, SQLLEN* indicator) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return BindParameter(statement, number, ioType, cType, sqlType, columnSize,
                         decimalDigits, value, bufferLength, indicator);
  });
}

VELORAN_EXPORT SQLRETURN SQLNumParams(SQLHSTMT handle, SQLSMALLINT* count) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return NumParameters(statement, count);
  });
}

VELORAN_EXPORT SQLRETURN SQLNumResultCols(SQLHSTMT handle, SQLSMALLINT* count) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return NumResultColumns(statement, count);
  });
}

VELORAN_EXPORT SQLRETURN SQLDescribeCol(
    SQLHSTMT handle, SQLUSMALLINT column, SQLCHAR* name,
    SQLSMALLINT bufferLength, SQLSMALLINT* nameLength, SQLSMALLINT* sqlType,
    SQLULEN* columnSize, SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return DescribeColumn(statement, column, name, bufferLength, nameLength,
                          sqlType, columnSize, decimalDigits, nullable);
  });
}

VELORAN_EXPORT SQLRETURN SQLColAttribute(SQLHSTMT handle, SQLUSMALLINT column,
                                         SQLUSMALLINT field, SQLPOINTER text,
                                         SQLSMALLINT bufferLength,
                                         SQLSMALLINT* textLength,
                                         SQLLEN* number) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return ColumnAttribute(statement, column, field, text, bufferLength,
                           textLength, number);
  });
}

VELORAN_EXPORT SQLRETURN SQLBindCol(SQLHSTMT handle, SQLUSMALLINT column,
                                    SQLSMALLINT cType, SQLPOINTER target,
                                    SQLLEN bufferLength, SQLLEN* indicator) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return BindColumn(statement, column, cType, target, bufferLength,
                      indicator);
  });
}

VELORAN_EXPORT SQLRETURN SQLFetch(SQLHSTMT handle) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return Fetch(statement);
  });
}

VELORAN_EXPORT SQLRETURN SQLGetData(SQLHSTMT handle, SQLUSMALLINT column,
                                    SQLSMALLINT cType, SQLPOINTER target,
                                    SQLLEN bufferLength, SQLLEN* indicator) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return GetData(statement, column, cType, target, bufferLength, indicator);
  });
}

VELORAN_EXPORT SQLRETURN SQLRowCount(SQLHSTMT handle, SQLLEN* count) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return RowCount(statement, count);
  });
}

VELORAN_EXPORT SQLRETURN SQLMoreResults(SQLHSTMT handle) {
  // One result per statement: the cursor ends here.
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    CloseCursor(statement);
    return SQL_NO_DATA;
  });
}

VELORAN_EXPORT SQLRETURN SQLCloseCursor(SQLHSTMT handle) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    if (statement->cursor == CursorState::kClosed) {
      PostDiagnostic(&statement->diagnostics, "24000", "no cursor is open");
      return SQL_ERROR;
    }
    CloseCursor(statement);
    return SQL_SUCCESS;
  });
}

VELORAN_EXPORT SQLRETURN SQLCancel(SQLHSTMT handle) {
  // Never waits for the connection's lock, which another statement's work
  // may hold for long: the statement's flag is raised, and whoever holds
  // the lock answers it (driver/interruption.h).  When nobody does, the
  // cursor is closed now, as the driver manager takes SQLCancel to do
  // with nothing running.
  Statement* statement = AsStatement(handle);
  if (statement == nullptr) return SQL_INVALID_HANDLE;
  statement->cancelRequested.store(true, std::memory_order_relaxed);
  return NoThrow([&]() -> SQLRETURN {
    std::unique_lock<std::mutex> lock(statement->connection->mutex,
                                      std::try_to_lock);
    if (lock.owns_lock()) {
      ClearDiagnostics(&statement->diagnostics);
      statement->cancelRequested.store(false, std::memory_order_relaxed);
      CloseCursor(statement);
    }
    return SQL_SUCCESS;
  });
}

VELORAN_EXPORT SQLRETURN SQLTables(SQLHSTMT handle, SQLCHAR* catalog,
                                   SQLSMALLINT catalogLength, SQLCHAR* schema,
                                   SQLSMALLINT schemaLength, SQLCHAR* table,
                                   SQLSMALLINT tableLength, SQLCHAR* tableType,
                                   SQLSMALLINT tableTypeLength) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return ListTables(statement, catalog, catalogLength, schema, schemaLength,
                      table, tableLength, tableType, tableTypeLength);
  });
}

VELORAN_EXPORT SQLRETURN SQLColumns(SQLHSTMT handle, SQLCHAR* /*catalog*/,
                                    SQLSMALLINT /*catalogLength*/,
                                    SQLCHAR* /*schema*/,
                                    SQLSMALLINT /*schemaLength*/,
                                    SQLCHAR* table, SQLSMALLINT tableLength,
                                    SQLCHAR* column, SQLSMALLINT columnLength) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return ListColumns(statement, table, tableLength, column, columnLength);
  });
}

VELORAN_EXPORT SQLRETURN SQLGetTypeInfo(SQLHSTMT handle, SQLSMALLINT sqlType) {
  return OnStatement(handle, [&](Statement* statement) -> SQLRETURN {
    return ListTypes(statement, sqlType);
  });
}

// --- diagnostics ---------------------------------------------------------
// These read a handle's records and never clear them.

VELORAN_EXPORT SQLRETURN SQLGetDiagRec(SQLSMALLINT handleType, SQLHANDLE handle,
                                       SQLSMALLINT recordNumber, SQLCHAR* state,
                                       SQLINTEGER* nativeError,
                                       SQLCHAR* message,
                                       SQLSMALLINT bufferLength,
                                       SQLSMALLINT* textLength) {
  std::mutex* mutex = nullptr;
  Diagnostics* diagnostics = DiagnosticsOf(handleType, handle, &mutex);
  if (diagnostics == nullptr) return SQL_INVALID_HANDLE;
  return NoThrow([&]() -> SQLRETURN {
    std::lock_guard<std::mutex> lock(*mutex);
    return GetDiagnosticRecord(*diagnostics, recordNumber, state, nativeError,
                               message, bufferLength, textLength);
  });
}

VELORAN_EXPORT SQLRETURN SQLGetDiagField(SQLSMALLINT handleType,
                                         SQLHANDLE handle,
                                         SQLSMALLINT recordNumber,
                                         SQLSMALLINT field, SQLPOINTER value,
                                         SQLSMALLINT bufferLength,
                                         SQLSMALLINT* textLength) {
  std::mutex* mutex = nullptr;
  Diagnostics* diagnostics = DiagnosticsOf(handleType, handle, &mutex);
  if (diagnostics == nullptr) return SQL_INVALID_HANDLE;
  return NoThrow([&]() -> SQLRETURN {
    std::lock_guard<std::mutex> lock(*mutex);
    SQLLEN rowCount = -1;
    const char* serverName = "";
    if (handleType == SQL_HANDLE_STMT) {
      Statement* statement = AsStatement(handle);
      rowCount = DiagnosticRowCount(statement);
      serverName = statement->connection->dataSourceName.c_str();
    } else if (handleType == SQL_HANDLE_DBC) {
      serverName = AsConnection(handle)->dataSourceName.c_str();
    }
    return GetDiagnosticField(*diagnostics, handleType, recordNumber, field,
                              value, bufferLength, textLength, rowCount,
                              serverName);
  });
}

VELORAN_EXPORT SQLRETURN SQLError(SQLHENV environment, SQLHDBC connection,
                                  SQLHSTMT statement, SQLCHAR* state,
                                  SQLINTEGER* nativeError, SQLCHAR* message,
                                  SQLSMALLINT bufferLength,
                                  SQLSMALLINT* textLength) {
  // The most specific handle given is the one read.
  SQLSMALLINT handleType = SQL_HANDLE_ENV;
  SQLHANDLE handle = environment;
  if (statement != SQL_NULL_HSTMT) {
    handleType = SQL_HANDLE_STMT;
    handle = statement;
  } else if (connection != SQL_NULL_HDBC) {
    handleType = SQL_HANDLE_DBC;
    handle = connection;
  }
  std::mutex* mutex = nullptr;
  Diagnostics* diagnostics = DiagnosticsOf(handleType, handle, &mutex);
  if (diagnostics == nullptr) return SQL_INVALID_HANDLE;
  return NoThrow([&]() -> SQLRETURN {
    std::lock_guard<std::mutex> lock(*mutex);
    return TakeNextError(diagnostics, state, nativeError, message, bufferLength,
                         textLength);
  });
}
