#include "catalogue/statements.h"

#include <cstdio>

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
  return result == SQL_SUCCESS;
}

bool ExecuteStatementForId(SQLHSTMT statement, const char* format, int32_t id) {
  char text[kStatementSize];
  std::snprintf(text, sizeof(text), format, static_cast<long>(id));
  return ExecuteStatement(statement, text);
}

bool FetchRow(SQLHSTMT statement) {
  SQLRETURN result = SQLFetch(statement);
  return result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO;
}

}  // namespace veloran
