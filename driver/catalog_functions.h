#ifndef VELORAN_DRIVER_CATALOG_FUNCTIONS_H_
#define VELORAN_DRIVER_CATALOG_FUNCTIONS_H_

#include "driver/handles.h"

// SQLTables, SQLColumns and SQLGetTypeInfo as plain read-only SELECTs on
// sqlite_schema and the pragma_table_xinfo() table-valued function, with
// the result columns ODBC prescribes.  Catalog and schema arguments are
// ignored (SQLite has neither); name arguments are search patterns with
// '%', '_' and the escape '\'.  The caller holds the connection's lock.

namespace veloran::odbc {

// Registers the SQL function the column listing uses to describe declared
// types as the result columns do.  False when SQLite could not.
bool RegisterCatalogFunctions(sqlite3* database);

// SQLTables: the tables and views whose names match "table", of the types
// the comma-separated "tableType" lists (all when empty); the special
// catalog, schema and type listings when those arguments ask for them.
SQLRETURN ListTables(Statement* statement, const SQLCHAR* catalog,
                     SQLSMALLINT catalogLength, const SQLCHAR* schema,
                     SQLSMALLINT schemaLength, const SQLCHAR* table,
                     SQLSMALLINT tableLength, const SQLCHAR* tableType,
                     SQLSMALLINT tableTypeLength);

// SQLColumns: the columns matching "column" of the tables matching
// "table", with the SQL types the result columns would report.
SQLRETURN ListColumns(Statement* statement, const SQLCHAR* table,
                      SQLSMALLINT tableLength, const SQLCHAR* column,
                      SQLSMALLINT columnLength);

// SQLGetTypeInfo: the SQL types the driver reports, or the one asked for
// (SQL_ALL_TYPES for all); an unknown type gives an empty result.
SQLRETURN ListTypes(Statement* statement, SQLSMALLINT sqlType);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_CATALOG_FUNCTIONS_H_
