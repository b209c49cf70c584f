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

// Sends a look-up: "format", which holds one "%ld", with "id", after the
// cursor of "statement" has been closed.  Returns the statement handle that
// holds its rows, or SQL_NULL_HSTMT when it did not execute with SQL_SUCCESS
// (an error is also kept as the read fault).  A program serving one request
// sends the text with the number in it on "statement" itself, which it
// returns; a resident worker (UseLookupConnection) executes the look-up
// prepared once, with the number as a bound parameter, on a handle of its
// own.  The caller binds, fetches and unbinds on the handle returned.
SQLHSTMT ExecuteLookup(SQLHSTMT statement, const char* format, int32_t id);

// From now on, look-ups are prepared on "connection", each on a handle of
// its own, the first time each is sent; SQL_NULL_HDBC goes back to sending
// them on the request's statement.  The handles prepared on the connection
// used before are freed first.
void UseLookupConnection(SQLHDBC connection);

// For a resident worker that reads a whole table: executes "text" on a
// new handle of the look-ups' connection (UseLookupConnection).  Returns
// the handle, which the caller fetches from and then frees (SQL_DROP), or
// SQL_NULL_HSTMT when there is no such connection or handle or the
// statement did not execute with SQL_SUCCESS (an error is also kept as the
// read fault).
SQLHSTMT ExecuteOnOwnHandle(const char* text);

// Closes the cursors of the prepared look-ups, so that nothing holds the
// database open between requests.
void CloseLookupCursors();

// Fetches the next row.  True on SQL_SUCCESS or SQL_SUCCESS_WITH_INFO (a
// text cut to its buffer); false at the end of the rows, and on a failed
// fetch, which is kept as the read fault (read_fault.h).
bool FetchRow(SQLHSTMT statement);

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_STATEMENTS_H_
