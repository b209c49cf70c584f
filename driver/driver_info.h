#ifndef VELORAN_DRIVER_DRIVER_INFO_H_
#define VELORAN_DRIVER_DRIVER_INFO_H_

#include "driver/handles.h"

// SQLGetInfo and SQLGetFunctions: what the driver says about itself.  The
// function list is exactly the ODBC functions the library exports (a test
// compares it with the library's symbols); the driver manager disables
// whatever is reported missing.

namespace veloran::odbc {

// The SQL_API_ identifiers of the exported functions.
extern const SQLUSMALLINT kExportedFunctions[];
extern const int kExportedFunctionCount;

// SQLGetFunctions: one function's SQL_TRUE or SQL_FALSE, or the whole
// ODBC 2 list (SQL_API_ALL_FUNCTIONS, 100 entries) or ODBC 3 bitmap
// (SQL_API_ODBC3_ALL_FUNCTIONS) in "supported".
SQLRETURN GetFunctions(SQLUSMALLINT function, SQLUSMALLINT* supported);

// SQLGetInfo on a connection (the caller holds its lock).
SQLRETURN GetInfo(Connection* connection, SQLUSMALLINT infoType,
                  SQLPOINTER value, SQLSMALLINT bufferLength,
                  SQLSMALLINT* length);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_DRIVER_INFO_H_
