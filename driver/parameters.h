#ifndef VELORAN_DRIVER_PARAMETERS_H_
#define VELORAN_DRIVER_PARAMETERS_H_

#include "driver/handles.h"

// Input parameters: SQLBindParameter records where the application keeps
// a value, and each execution reads it from there and binds it to the
// SQLite statement by its C type (texts as text, integer types and bits as
// integers, float and double as reals, dates and times as SQLite's text
// forms, binary as a blob; SQL_C_WCHAR texts as UTF-8).

namespace veloran::odbc {

// SQLBindParameter.  Only input parameters; no data at execution.
SQLRETURN BindParameter(Statement* statement, SQLUSMALLINT number,
                        SQLSMALLINT ioType, SQLSMALLINT cType,
                        SQLSMALLINT sqlType, SQLULEN columnSize,
                        SQLSMALLINT decimalDigits, SQLPOINTER value,
                        SQLLEN bufferLength, SQLLEN* indicator);

// Binds every parameter of the prepared statement from its application
// buffer.  SQL_ERROR with 07002 when one is not bound, 22007 for a date or
// time that is none, HYC00 for data at execution.
SQLRETURN ApplyParameters(Statement* statement);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_PARAMETERS_H_
