#ifndef VELORAN_DRIVER_STATEMENT_H_
#define VELORAN_DRIVER_STATEMENT_H_

#include "driver/handles.h"

// Statements: preparing (with the read-only refusals), executing, fetching
// into bound columns, SQLGetData, descriptions of the result columns, and
// the statement attributes.  The caller holds the connection's lock.
//
// One statement per text: a text that goes on after its first statement
// (anything but blanks and comments) is refused whole with 42000, so that
// nothing of it runs.  Execution steps to the first row, so that a locked
// database or any other failure of the statement shows at SQLExecute or
// SQLExecDirect, not at the first fetch.

namespace veloran::odbc {

// SQLPrepare.  "length" may be SQL_NTS.
SQLRETURN Prepare(Statement* statement, const SQLCHAR* text, SQLINTEGER length);

// SQLExecute of the prepared statement.
SQLRETURN Execute(Statement* statement);

// SQLExecDirect: Prepare, then Execute.
SQLRETURN ExecuteDirect(Statement* statement, const SQLCHAR* text,
                        SQLINTEGER length);

// Runs one of the driver's own queries (the catalog functions) with its
// text parameters, bound in order (a null entry binds NULL), and leaves its
// result set open as SQLExecDirect does.
SQLRETURN ExecuteOwnQuery(Statement* statement, const char* sql,
                          const char* const* parameters, int count);

// SQLFetch: the next row into the bound columns.  Allocates nothing.
SQLRETURN Fetch(Statement* statement);

// SQLBindCol: "column" (from 1) goes into "target" at each fetch, converted
// to "cType"; a null target and indicator unbind it.  HYC00 for a C type
// the conversions do not know, HY090 for a negative buffer length.
SQLRETURN BindColumn(Statement* statement, SQLUSMALLINT column,
                     SQLSMALLINT cType, SQLPOINTER target, SQLLEN bufferLength,
                     SQLLEN* indicator);

// SQLGetData: one column of the current row.  A text or binary value too
// long for the buffer comes in pieces, each call going on where the last
// one stopped (01004 while some is left), then SQL_NO_DATA.
SQLRETURN GetData(Statement* statement, SQLUSMALLINT column, SQLSMALLINT cType,
                  SQLPOINTER target, SQLLEN bufferLength, SQLLEN* indicator);

// SQLNumResultCols: the columns of the prepared statement's result (0 for
// none).
SQLRETURN NumResultColumns(Statement* statement, SQLSMALLINT* count);

// SQLDescribeCol and SQLColAttribute: a result column's name and type, as
// the declared type or, without one, the first row's storage class gives
// it.  Texts longer than their buffer are cut (01004); unknown fields of
// SQLColAttribute are HY091.
SQLRETURN DescribeColumn(Statement* statement, SQLUSMALLINT column,
                         SQLCHAR* name, SQLSMALLINT bufferLength,
                         SQLSMALLINT* nameLength, SQLSMALLINT* sqlType,
                         SQLULEN* columnSize, SQLSMALLINT* decimalDigits,
                         SQLSMALLINT* nullable);

SQLRETURN ColumnAttribute(Statement* statement, SQLUSMALLINT column,
                          SQLUSMALLINT field, SQLPOINTER text,
                          SQLSMALLINT bufferLength, SQLSMALLINT* textLength,
                          SQLLEN* number);

// SQLRowCount: -1 for a result set, 0 otherwise (nothing is ever changed).
SQLRETURN RowCount(Statement* statement, SQLLEN* count);

// SQLNumParams: the parameters of the prepared statement.
SQLRETURN NumParameters(Statement* statement, SQLSMALLINT* count);

// SQLFreeStmt with SQL_CLOSE (and SQLCloseCursor, SQLMoreResults' end):
// the cursor is closed, the prepared statement kept.
void CloseCursor(Statement* statement);

// SQLSetStmtAttr and SQLGetStmtAttr.  The rows-fetched and row-status
// pointers and the query time-out are kept; other attributes have one
// fixed value, and asking for another either keeps it (01S02) or is
// refused (HYC00).
SQLRETURN SetStatementAttribute(Statement* statement, SQLINTEGER attribute,
                                SQLPOINTER value);
SQLRETURN GetStatementAttribute(Statement* statement, SQLINTEGER attribute,
                                SQLPOINTER value);

// The rows a finished statement changed (always 0) or -1 for a result set.
SQLLEN DiagnosticRowCount(const Statement* statement);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_STATEMENT_H_
