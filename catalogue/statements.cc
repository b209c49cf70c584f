#include "catalogue/statements.h"

#include <cassert>
#include <cstdio>
#include <cstring>

#include "catalogue/read_fault.h"

namespace veloran {

namespace {

constexpr int kStatementSize = 512;

// A look-up prepared on the worker's connection: its text with a "?" for
// the number, on a handle of its own, the number bound from "id".
struct PreparedLookup {
  const char* format;  // the look-up's text with "%ld", as the caller wrote it
  SQLHSTMT statement;  // SQL_NULL_HSTMT: it could not be prepared
  SQLINTEGER id;
};

// The program has a dozen look-ups; a text beyond the table is sent as a
// program serving one request sends it.
constexpr int kMaxPreparedLookups = 24;

struct PreparedLookups {
  SQLHDBC connection = SQL_NULL_HDBC;
  PreparedLookup lookups[kMaxPreparedLookups];
  int count = 0;
};

PreparedLookups prepared;

// Prepares "format" with "?" in place of its "%ld" on a new handle of the
// worker's connection.  A handle that cannot be had, or a text the driver
// will not prepare, leaves the look-up unprepared: it is then sent as text.
PreparedLookup* Prepare(const char* format) {
  if (prepared.count == kMaxPreparedLookups) return nullptr;
  PreparedLookup& lookup = prepared.lookups[prepared.count++];
  lookup = {format, SQL_NULL_HSTMT, 0};
  const char* number = std::strstr(format, "%ld");
  assert(number != nullptr && std::strstr(number + 1, "%ld") == nullptr);
  char text[kStatementSize];
  int written =
      std::snprintf(text, sizeof(text), "%.*s?%s",
                    static_cast<int>(number - format), format, number + 3);
  if (written < 0 || written >= kStatementSize) return &lookup;
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (SQLAllocStmt(prepared.connection, &statement) != SQL_SUCCESS) {
    return &lookup;
  }
  if (SQLPrepare(statement, reinterpret_cast<SQLCHAR*>(text), SQL_NTS) !=
          SQL_SUCCESS ||
      !SQL_SUCCEEDED(SQLBindParameter(statement, 1, SQL_PARAM_INPUT, SQL_C_LONG,
                                      SQL_INTEGER, 0, 0, &lookup.id, 0,
                                      nullptr))) {
    SQLFreeStmt(statement, SQL_DROP);
    return &lookup;
  }
  lookup.statement = statement;
  return &lookup;
}

PreparedLookup* FindPrepared(const char* format) {
  for (int i = 0; i < prepared.count; ++i) {
    PreparedLookup& lookup = prepared.lookups[i];
    if (lookup.format == format || std::strcmp(lookup.format, format) == 0) {
      return &lookup;
    }
  }
  return Prepare(format);
}

}  // namespace

void CloseCursor(SQLHSTMT statement) {
  SQLFreeStmt(statement, SQL_CLOSE);
  SQLFreeStmt(statement, SQL_UNBIND);
}

void UnbindColumns(SQLHSTMT statement) { SQLFreeStmt(statement, SQL_UNBIND); }

bool ExecuteStatement(SQLHSTMT statement, const char* text) {
  SQLRETURN result = SQLExecDirect(
      statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text)), SQL_NTS);
  if (!SQL_SUCCEEDED(result)) NoteReadFault(statement);
  return result == SQL_SUCCESS;
}

bool ExecuteStatementForId(SQLHSTMT statement, const char* format, int32_t id) {
  char text[kStatementSize];
  std::snprintf(text, sizeof(text), format, static_cast<long>(id));
  return ExecuteStatement(statement, text);
}

SQLHSTMT ExecuteLookup(SQLHSTMT statement, const char* format, int32_t id) {
  CloseCursor(statement);
  PreparedLookup* lookup =
      prepared.connection != SQL_NULL_HDBC ? FindPrepared(format) : nullptr;
  if (lookup == nullptr || lookup->statement == SQL_NULL_HSTMT) {
    return ExecuteStatementForId(statement, format, id) ? statement
                                                        : SQL_NULL_HSTMT;
  }
  SQLFreeStmt(lookup->statement, SQL_CLOSE);
  lookup->id = id;
  SQLRETURN result = SQLExecute(lookup->statement);
  if (!SQL_SUCCEEDED(result)) NoteReadFault(lookup->statement);
  return result == SQL_SUCCESS ? lookup->statement : SQL_NULL_HSTMT;
}

void UseLookupConnection(SQLHDBC connection) {
  if (connection == prepared.connection) return;
  for (int i = 0; i < prepared.count; ++i) {
    SQLHSTMT statement = prepared.lookups[i].statement;
    if (statement != SQL_NULL_HSTMT) SQLFreeStmt(statement, SQL_DROP);
  }
  prepared.count = 0;
  prepared.connection = connection;
}

SQLHSTMT ExecuteOnOwnHandle(const char* text) {
  if (prepared.connection == SQL_NULL_HDBC) return SQL_NULL_HSTMT;
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (SQLAllocStmt(prepared.connection, &statement) != SQL_SUCCESS) {
    return SQL_NULL_HSTMT;
  }
  if (!ExecuteStatement(statement, text)) {
    SQLFreeStmt(statement, SQL_DROP);
    return SQL_NULL_HSTMT;
  }
  return statement;
}

void CloseLookupCursors() {
  for (int i = 0; i < prepared.count; ++i) {
    SQLHSTMT statement = prepared.lookups[i].statement;
    if (statement != SQL_NULL_HSTMT) SQLFreeStmt(statement, SQL_CLOSE);
  }
}

bool FetchRow(SQLHSTMT statement) {
  SQLRETURN result = SQLFetch(statement);
  if (result == SQL_NO_DATA) return false;
  if (!SQL_SUCCEEDED(result)) {
    NoteReadFault(statement);
    return false;
  }
  return true;
}

}  // namespace veloran
