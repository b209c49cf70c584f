#include "catalogue/statements.h"

#include <cstdio>

#include "catalogue/read_fault.h"

namespace veloran {

namespace {
constexpr int kStatementSize = 512;
}

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
