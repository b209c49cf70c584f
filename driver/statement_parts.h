#ifndef VELORAN_DRIVER_STATEMENT_PARTS_H_
#define VELORAN_DRIVER_STATEMENT_PARTS_H_

#include "driver/handles.h"

// What the files of the statement calls share (statement.cc: prepare and
// execute; statement_fetch.cc: bind, fetch and get data;
// column_descriptions.cc; statement_attributes.cc).  The caller holds the
// connection's lock.

namespace veloran::odbc {

// Posts the diagnostic of a failed SQLite call on the statement ("code" is
// SQLite's result; a cancel or a time-out of the driver's handlers is
// reported as such whatever it is) and returns SQL_ERROR.
SQLRETURN PostSqliteError(Statement* statement, int code);

// Works out the result columns' descriptions once per execution, from the
// declared types or, without one, the pending or current row's storage
// classes.
void DescribeColumns(Statement* statement);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_STATEMENT_PARTS_H_
