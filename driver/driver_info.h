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

SQLRETURN GetFunctions(SQLUSMALLINT function, SQLUSMALLINT* supported);

// SQLGetInfo on a connection (the caller holds its lock).
SQLRETURN GetInfo(Connection* connection, SQLUSMALLINT infoType,
                  SQLPOINTER value, SQLSMALLINT bufferLength,
                  SQLSMALLINT* length);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_DRIVER_INFO_H_
