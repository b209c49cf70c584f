#ifndef VELORAN_DRIVER_SQL_TYPES_H_
#define VELORAN_DRIVER_SQL_TYPES_H_

#include "driver/handles.h"

// The ODBC description of SQLite columns.  A column declared with a type
// gets the SQL type of its declaration, by SQLite's affinity rules (any
// INT is SQL_BIGINT, since SQLite integers have 64 bits) with DATE, TIME,
// DATETIME and TIMESTAMP as the date-time types; an expression, or a
// column declared without a type or NUMERIC, gets the type of the value in
// the row at hand.

namespace veloran::odbc {

// The description of a declared type ("INTEGER", "VARCHAR(20)", "DATE").
// False when the declaration does not decide the type (empty, NUMERIC).
bool DescribeDeclaredType(const char* declaredType, ColumnType* type);

// The description of a value's storage class (SQLITE_INTEGER, ...).
ColumnType DescribeStorageClass(int storageClass);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_SQL_TYPES_H_
