// Preparing and executing statements, and closing their cursors.
#include "driver/statement.h"

#include <cassert>
#include <cstring>
#include <string>

#include "driver/connection.h"
#include "driver/interruption.h"
#include "driver/parameters.h"
#include "driver/statement_parts.h"

namespace veloran::odbc {

namespace {

// The SQLSTATE of a failed SQLite call.
const char* SqliteState(int code, const char* message) {
  switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "HYT00";
    case SQLITE_INTERRUPT:
      return "HY008";
    case SQLITE_NOMEM:
      return "HY001";
    case SQLITE_READONLY:
      return "25000";
    case SQLITE_ERROR:
      if (std::strncmp(message, "no such table", 13) == 0) return "42S02";
      if (std::strncmp(message, "no such column", 14) == 0) return "42S22";
      if (std::strstr(message, "syntax error") != nullptr) return "42000";
      return "HY000";
    default:
      return "HY000";
  }
}

void Reset(Statement* statement) {
  if (statement->prepared != nullptr &&
      statement->cursor != CursorState::kClosed) {
    sqlite3_reset(statement->prepared);
  }
  statement->cursor = CursorState::kClosed;
  statement->rowNumber = 0;
  statement->dataColumn = 0;
}

void Unprepare(Statement* statement) {
  Reset(statement);
  sqlite3_finalize(statement->prepared);
  statement->prepared = nullptr;
  statement->columnCount = 0;
  statement->columnTypes.clear();
}

// True when the rest of a text is only blanks and comments.
bool IsEmptyTail(sqlite3* database, const char* tail, const char* end) {
  const char* p = tail;
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' ||
                     *p == '\f' || *p == ';')) {
    ++p;
  }
  if (p == end) return true;
  // Comments: SQLite's parser knows them best; a tail that prepares to no
  // statement holds nothing else.
  sqlite3_stmt* next = nullptr;
  int rc = sqlite3_prepare_v2(database, p, static_cast<int>(end - p), &next,
                              nullptr);
  bool empty = rc == SQLITE_OK && next == nullptr;
  sqlite3_finalize(next);
  return empty;
}

// "what" names the refused part when the statement itself would not write.
SQLRETURN RefuseWrite(Statement* statement, const char* what) {
  PostSqliteDiagnostic(&statement->diagnostics, "25000",
                       "statement would write to the database; this driver is "
                       "read-only%s%s%s",
                       what != nullptr ? " (" : "", what != nullptr ? what : "",
                       what != nullptr ? ")" : "");
  return SQL_ERROR;
}

}  // namespace

SQLRETURN PostSqliteError(Statement* statement, int code) {
  Connection* connection = statement->connection;
  // What the driver's handlers stopped, whatever SQLite's code (an
  // interrupt, or a lock no longer waited for).
  if (connection->stop == Stop::kCancelled) {
    connection->stop = Stop::kNone;
    PostDiagnostic(&statement->diagnostics, "HY008",
                   "SQLCancel of this statement");
    return SQL_ERROR;
  }
  if (connection->stop == Stop::kTimedOut) {
    connection->stop = Stop::kNone;
    PostDiagnostic(&statement->diagnostics, "HYT00",
                   "the statement ran longer than its "
                   "SQL_ATTR_QUERY_TIMEOUT (%lu s)",
                   static_cast<unsigned long>(statement->queryTimeout));
    return SQL_ERROR;
  }
  sqlite3* database = connection->database;
  const char* message = sqlite3_errmsg(database);
  const char* state = SqliteState(code, message);
  DiagnosticRecord* record;
  if (std::strcmp(state, "HYT00") == 0) {
    record = PostSqliteDiagnostic(
        &statement->diagnostics, state,
        "%s: a writer held the database for longer than Timeout (%d ms)",
        message, connection->busyTimeout);
  } else {
    record =
        PostSqliteDiagnostic(&statement->diagnostics, state, "%s", message);
  }
  if (record != nullptr) record->nativeError = code;
  return SQL_ERROR;
}

SQLRETURN Prepare(Statement* statement, const SQLCHAR* text,
                  SQLINTEGER length) {
  Unprepare(statement);
  if (text == nullptr) {
    PostDiagnostic(&statement->diagnostics, "HY009", "no statement text");
    return SQL_ERROR;
  }
  const char* sql = reinterpret_cast<const char*>(text);
  size_t size;
  if (length == SQL_NTS) {
    size = std::strlen(sql);
  } else if (length >= 0) {
    size = static_cast<size_t>(length);
  } else {
    PostDiagnostic(&statement->diagnostics, "HY090", "text length %d",
                   static_cast<int>(length));
    return SQL_ERROR;
  }
  Connection* connection = statement->connection;
  connection->refusal = Refusal();
  sqlite3_stmt* prepared = nullptr;
  const char* tail = nullptr;
  BeginStatementWork(statement);
  int rc = sqlite3_prepare_v2(connection->database, sql, static_cast<int>(size),
                              &prepared, &tail);
  EndStatementWork(statement);
  if (rc != SQLITE_OK) {
    if (connection->refusal.what != nullptr) {
      if (!connection->refusal.isWrite) {
        PostSqliteDiagnostic(
            &statement->diagnostics, "42000",
            "%s is refused: extensions are loaded only through "
            "the data source's LoadExt",
            connection->refusal.what);
        return SQL_ERROR;
      }
      return RefuseWrite(statement, connection->refusal.what);
    }
    return PostSqliteError(statement, rc);
  }
  if (prepared == nullptr) {
    PostDiagnostic(&statement->diagnostics, "42000",
                   "the text holds no statement");
    return SQL_ERROR;
  }
  if (!IsEmptyTail(connection->database, tail, sql + size)) {
    sqlite3_finalize(prepared);
    PostDiagnostic(&statement->diagnostics, "42000",
                   "only one statement per call: the text goes on after its "
                   "first statement, and none of it was run");
    return SQL_ERROR;
  }
  if (!sqlite3_stmt_readonly(prepared) && !connection->refusal.readsPragma) {
    sqlite3_finalize(prepared);
    return RefuseWrite(statement, nullptr);
  }
  statement->prepared = prepared;
  statement->columnCount = sqlite3_column_count(prepared);
  return SQL_SUCCESS;
}

SQLRETURN Execute(Statement* statement) {
  if (statement->prepared == nullptr) {
    PostDiagnostic(&statement->diagnostics, "HY010", "no prepared statement");
    return SQL_ERROR;
  }
  Reset(statement);
  statement->columnTypes.clear();
  sqlite3_clear_bindings(statement->prepared);
  SQLRETURN bound = ApplyParameters(statement);
  if (bound != SQL_SUCCESS) return bound;
  if (!BeginReadTransaction(statement->connection, &statement->diagnostics)) {
    return SQL_ERROR;
  }
  int rc = StepStatement(statement);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    SQLRETURN failed = PostSqliteError(statement, rc);
    sqlite3_reset(statement->prepared);
    return failed;
  }
  statement->cursor =
      rc == SQLITE_ROW ? CursorState::kRowPending : CursorState::kAtEnd;
  return SQL_SUCCESS;
}

SQLRETURN ExecuteDirect(Statement* statement, const SQLCHAR* text,
                        SQLINTEGER length) {
  SQLRETURN prepared = Prepare(statement, text, length);
  if (prepared != SQL_SUCCESS) return prepared;
  return Execute(statement);
}

SQLRETURN ExecuteOwnQuery(Statement* statement, const char* sql,
                          const char* const* parameters, int count) {
  Unprepare(statement);
  sqlite3_stmt* prepared = nullptr;
  BeginStatementWork(statement);
  int rc = sqlite3_prepare_v2(statement->connection->database, sql, -1,
                              &prepared, nullptr);
  EndStatementWork(statement);
  if (rc != SQLITE_OK) return PostSqliteError(statement, rc);
  for (int i = 0; i < count; ++i) {
    sqlite3_bind_text(prepared, i + 1, parameters[i], -1, SQLITE_TRANSIENT);
  }
  statement->prepared = prepared;
  statement->columnCount = sqlite3_column_count(prepared);
  if (!BeginReadTransaction(statement->connection, &statement->diagnostics)) {
    return SQL_ERROR;
  }
  rc = StepStatement(statement);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    SQLRETURN failed = PostSqliteError(statement, rc);
    sqlite3_reset(prepared);
    return failed;
  }
  statement->cursor =
      rc == SQLITE_ROW ? CursorState::kRowPending : CursorState::kAtEnd;
  return SQL_SUCCESS;
}

SQLRETURN RowCount(Statement* statement, SQLLEN* count) {
  if (count != nullptr) *count = DiagnosticRowCount(statement);
  return SQL_SUCCESS;
}

SQLLEN DiagnosticRowCount(const Statement* statement) {
  return statement->columnCount > 0 ? -1 : 0;
}

SQLRETURN NumParameters(Statement* statement, SQLSMALLINT* count) {
  if (statement->prepared == nullptr) {
    PostDiagnostic(&statement->diagnostics, "HY010", "no prepared statement");
    return SQL_ERROR;
  }
  if (count != nullptr) {
    *count = static_cast<SQLSMALLINT>(
        sqlite3_bind_parameter_count(statement->prepared));
  }
  return SQL_SUCCESS;
}

void CloseCursor(Statement* statement) { Reset(statement); }

}  // namespace veloran::odbc
