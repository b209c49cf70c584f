#ifndef VELORAN_CATALOGUE_STATEMENTS_H_
#define VELORAN_CATALOGUE_STATEMENTS_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

// The steps that every statement of the request takes on the one shared
// statement handle.

namespace veloran {

// Closes the cursor that the previous statement left open and releases its
// column bindings, which may point at storage that no longer exists.
void CloseCursor(SQLHSTMT statement);

// Releases the column bindings of the current statement; called by every
// operation that bound columns to its own storage before it returns.
void UnbindColumns(SQLHSTMT statement);

// Sends "text" with SQL_NTS.  True only on SQL_SUCCESS: SQL_SUCCESS_WITH_INFO
// is a failure here, though no read fault (read_fault.h); an error is both.
bool ExecuteStatement(SQLHSTMT statement, const char* text);

// Formats "format", which holds one "%ld", with "id" into a 512-byte buffer
// and sends it as ExecuteStatement does.
bool ExecuteStatementForId(SQLHSTMT statement, const char* format, int32_t id);

// Fetches the next row.  True on SQL_SUCCESS or SQL_SUCCESS_WITH_INFO (a
// text cut to its buffer); false at the end of the rows, and on a failed
// fetch, which is kept as the read fault (read_fault.h).
bool FetchRow(SQLHSTMT statement);

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_STATEMENTS_H_
