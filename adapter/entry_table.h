#ifndef VELORAN_ADAPTER_ENTRY_TABLE_H_
#define VELORAN_ADAPTER_ENTRY_TABLE_H_

#include <sql.h>
#include <sqlext.h>

// Every ODBC function the adapter exports, once.  X(id, name, on, params,
// args): "on" says how the call reaches the target driver:
//   Statement, Connection, Descriptor  passed on unchanged, the handle (the
//       first parameter, always named h) swapped for the target's own
//   Own  written by hand in entry_points.cc: the handles the adapter keeps
//       itself (environments, connections before their connect), the
//       texts it rewrites, and the calls that carry a handle elsewhere than
//       in their first parameter
// "args" are the parameters after the handle, as passed on.  The table
// also gives the target's function pointers (TargetDriver) and the answer
// of SQLGetFunctions.  Only ANSI functions: unixODBC converts an
// application's wide calls to them.
#define VELORAN_ADAPTER_ENTRIES(X)                                               \
  X(SQL_API_SQLALLOCHANDLE, SQLAllocHandle, Own,                                 \
    (SQLSMALLINT type, SQLHANDLE h, SQLHANDLE* out), ())                         \
  X(SQL_API_SQLBINDCOL, SQLBindCol, Statement,                                   \
    (SQLHSTMT h, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER value,       \
     SQLLEN length, SQLLEN* indicator),                                          \
    (column, cType, value, length, indicator))                                   \
  X(SQL_API_SQLBINDPARAMETER, SQLBindParameter, Statement,                       \
    (SQLHSTMT h, SQLUSMALLINT number, SQLSMALLINT direction, SQLSMALLINT cType,  \
     SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits, SQLPOINTER value,    \
     SQLLEN length, SQLLEN* indicator),                                          \
    (number, direction, cType, sqlType, size, digits, value, length, indicator)) \
  X(SQL_API_SQLBULKOPERATIONS, SQLBulkOperations, Statement,                     \
    (SQLHSTMT h, SQLSMALLINT operation), (operation))                            \
  X(SQL_API_SQLCANCEL, SQLCancel, Statement, (SQLHSTMT h), ())                   \
  X(SQL_API_SQLCLOSECURSOR, SQLCloseCursor, Statement, (SQLHSTMT h), ())         \
  X(SQL_API_SQLCOLATTRIBUTE, SQLColAttribute, Statement,                         \
    (SQLHSTMT h, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,       \
     SQLSMALLINT length, SQLSMALLINT* textLength, SQLLEN* number),               \
    (column, field, text, length, textLength, number))                           \
  X(SQL_API_SQLCOLUMNPRIVILEGES, SQLColumnPrivileges, Statement,                 \
    (SQLHSTMT h, SQLCHAR* catalog, SQLSMALLINT catalogLength, SQLCHAR* schema,   \
     SQLSMALLINT schemaLength, SQLCHAR* table, SQLSMALLINT tableLength,          \
     SQLCHAR* column, SQLSMALLINT columnLength),                                 \
    (catalog, catalogLength, schema, schemaLength, table, tableLength, column,   \
     columnLength))                                                              \
  X(SQL_API_SQLCOLUMNS, SQLColumns, Statement,                                   \
    (SQLHSTMT h, SQLCHAR* catalog, SQLSMALLINT catalogLength, SQLCHAR* schema,   \
     SQLSMALLINT schemaLength, SQLCHAR* table, SQLSMALLINT tableLength,          \
     SQLCHAR* column, SQLSMALLINT columnLength),                                 \
    (catalog, catalogLength, schema, schemaLength, table, tableLength, column,   \
     columnLength))                                                              \
  X(SQL_API_SQLCONNECT, SQLConnect, Own,                                         \
    (SQLHDBC h, SQLCHAR* dsn, SQLSMALLINT dsnLength, SQLCHAR* user,              \
     SQLSMALLINT userLength, SQLCHAR* password, SQLSMALLINT passwordLength), ())  \
  X(SQL_API_SQLCOPYDESC, SQLCopyDesc, Own, (SQLHDESC h, SQLHDESC to), ())        \
  X(SQL_API_SQLDESCRIBECOL, SQLDescribeCol, Statement,                           \
    (SQLHSTMT h, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT length,         \
     SQLSMALLINT* nameLength, SQLSMALLINT* sqlType, SQLULEN* size,               \
     SQLSMALLINT* digits, SQLSMALLINT* nullable),                                \
    (column, name, length, nameLength, sqlType, size, digits, nullable))         \
  X(SQL_API_SQLDESCRIBEPARAM, SQLDescribeParam, Statement,                       \
    (SQLHSTMT h, SQLUSMALLINT number, SQLSMALLINT* sqlType, SQLULEN* size,       \
     SQLSMALLINT* digits, SQLSMALLINT* nullable),                                \
    (number, sqlType, size, digits, nullable))                                   \
  X(SQL_API_SQLDISCONNECT, SQLDisconnect, Own, (SQLHDBC h), ())                  \
  X(SQL_API_SQLDRIVERCONNECT, SQLDriverConnect, Own,                             \
    (SQLHDBC h, SQLHWND window, SQLCHAR* in, SQLSMALLINT inLength, SQLCHAR* out, \
     SQLSMALLINT outMax, SQLSMALLINT* outLength, SQLUSMALLINT completion), ())   \
  X(SQL_API_SQLENDTRAN, SQLEndTran, Own,                                         \
    (SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT completion), ())                 \
  X(SQL_API_SQLEXECDIRECT, SQLExecDirect, Own,                                   \
    (SQLHSTMT h, SQLCHAR* text, SQLINTEGER length), ())                          \
  X(SQL_API_SQLEXECUTE, SQLExecute, Statement, (SQLHSTMT h), ())                 \
  X(SQL_API_SQLEXTENDEDFETCH, SQLExtendedFetch, Statement,                       \
    (SQLHSTMT h, SQLUSMALLINT orientation, SQLLEN offset, SQLULEN* rows,         \
     SQLUSMALLINT* statuses),                                                    \
    (orientation, offset, rows, statuses))                                       \
  X(SQL_API_SQLFETCH, SQLFetch, Statement, (SQLHSTMT h), ())                     \
  X(SQL_API_SQLFETCHSCROLL, SQLFetchScroll, Statement,                           \
    (SQLHSTMT h, SQLSMALLINT orientation, SQLLEN offset), (orientation, offset)) \
  X(SQL_API_SQLFOREIGNKEYS, SQLForeignKeys, Statement,                           \
    (SQLHSTMT h, SQLCHAR* pkCatalog, SQLSMALLINT pkCatalogLength,                \
     SQLCHAR* pkSchema, SQLSMALLINT pkSchemaLength, SQLCHAR* pkTable,            \
     SQLSMALLINT pkTableLength, SQLCHAR* fkCatalog, SQLSMALLINT fkCatalogLength, \
     SQLCHAR* fkSchema, SQLSMALLINT fkSchemaLength, SQLCHAR* fkTable,            \
     SQLSMALLINT fkTableLength),                                                 \
    (pkCatalog, pkCatalogLength, pkSchema, pkSchemaLength, pkTable,              \
     pkTableLength, fkCatalog, fkCatalogLength, fkSchema, fkSchemaLength,        \
     fkTable, fkTableLength))                                                    \
  X(SQL_API_SQLFREEHANDLE, SQLFreeHandle, Own,                                   \
    (SQLSMALLINT type, SQLHANDLE h), ())                                         \
  X(SQL_API_SQLFREESTMT, SQLFreeStmt, Own, (SQLHSTMT h, SQLUSMALLINT option), ()) \
  X(SQL_API_SQLGETCONNECTATTR, SQLGetConnectAttr, Own,                           \
    (SQLHDBC h, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length,       \
     SQLINTEGER* valueLength), ())                                               \
  X(SQL_API_SQLGETCURSORNAME, SQLGetCursorName, Statement,                       \
    (SQLHSTMT h, SQLCHAR* name, SQLSMALLINT length, SQLSMALLINT* nameLength),    \
    (name, length, nameLength))                                                  \
  X(SQL_API_SQLGETDATA, SQLGetData, Statement,                                   \
    (SQLHSTMT h, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER value,       \
     SQLLEN length, SQLLEN* indicator),                                          \
    (column, cType, value, length, indicator))                                   \
  X(SQL_API_SQLGETDESCFIELD, SQLGetDescField, Descriptor,                        \
    (SQLHDESC h, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,        \
     SQLINTEGER length, SQLINTEGER* valueLength),                                \
    (record, field, value, length, valueLength))                                 \
  X(SQL_API_SQLGETDESCREC, SQLGetDescRec, Descriptor,                            \
    (SQLHDESC h, SQLSMALLINT record, SQLCHAR* name, SQLSMALLINT length,          \
     SQLSMALLINT* nameLength, SQLSMALLINT* type, SQLSMALLINT* subType,           \
     SQLLEN* octets, SQLSMALLINT* precision, SQLSMALLINT* scale,                 \
     SQLSMALLINT* nullable),                                                     \
    (record, name, length, nameLength, type, subType, octets, precision, scale,  \
     nullable))                                                                  \
  X(SQL_API_SQLGETDIAGFIELD, SQLGetDiagField, Own,                               \
    (SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT record, SQLSMALLINT field,       \
     SQLPOINTER value, SQLSMALLINT length, SQLSMALLINT* valueLength), ())        \
  X(SQL_API_SQLGETDIAGREC, SQLGetDiagRec, Own,                                   \
    (SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT record, SQLCHAR* state,          \
     SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT length,                   \
     SQLSMALLINT* messageLength), ())                                            \
  X(SQL_API_SQLGETENVATTR, SQLGetEnvAttr, Own,                                   \
    (SQLHENV h, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length,       \
     SQLINTEGER* valueLength), ())                                               \
  X(SQL_API_SQLGETFUNCTIONS, SQLGetFunctions, Own,                               \
    (SQLHDBC h, SQLUSMALLINT function, SQLUSMALLINT* supported), ())             \
  X(SQL_API_SQLGETINFO, SQLGetInfo, Connection,                                  \
    (SQLHDBC h, SQLUSMALLINT info, SQLPOINTER value, SQLSMALLINT length,         \
     SQLSMALLINT* valueLength),                                                  \
    (info, value, length, valueLength))                                          \
  X(SQL_API_SQLGETSTMTATTR, SQLGetStmtAttr, Own,                                 \
    (SQLHSTMT h, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length,      \
     SQLINTEGER* valueLength), ())                                               \
  X(SQL_API_SQLGETTYPEINFO, SQLGetTypeInfo, Statement,                           \
    (SQLHSTMT h, SQLSMALLINT sqlType), (sqlType))                                \
  X(SQL_API_SQLMORERESULTS, SQLMoreResults, Statement, (SQLHSTMT h), ())         \
  X(SQL_API_SQLNATIVESQL, SQLNativeSql, Own,                                     \
    (SQLHDBC h, SQLCHAR* in, SQLINTEGER inLength, SQLCHAR* out,                  \
     SQLINTEGER outMax, SQLINTEGER* outLength), ())                              \
  X(SQL_API_SQLNUMPARAMS, SQLNumParams, Statement,                               \
    (SQLHSTMT h, SQLSMALLINT* count), (count))                                   \
  X(SQL_API_SQLNUMRESULTCOLS, SQLNumResultCols, Statement,                       \
    (SQLHSTMT h, SQLSMALLINT* count), (count))                                   \
  X(SQL_API_SQLPARAMDATA, SQLParamData, Statement,                               \
    (SQLHSTMT h, SQLPOINTER* value), (value))                                    \
  X(SQL_API_SQLPREPARE, SQLPrepare, Own,                                         \
    (SQLHSTMT h, SQLCHAR* text, SQLINTEGER length), ())                          \
  X(SQL_API_SQLPRIMARYKEYS, SQLPrimaryKeys, Statement,                           \
    (SQLHSTMT h, SQLCHAR* catalog, SQLSMALLINT catalogLength, SQLCHAR* schema,   \
     SQLSMALLINT schemaLength, SQLCHAR* table, SQLSMALLINT tableLength),         \
    (catalog, catalogLength, schema, schemaLength, table, tableLength))          \
  X(SQL_API_SQLPROCEDURECOLUMNS, SQLProcedureColumns, Statement,                 \
    (SQLHSTMT h, SQLCHAR* catalog, SQLSMALLINT catalogLength, SQLCHAR* schema,   \
     SQLSMALLINT schemaLength, SQLCHAR* procedure, SQLSMALLINT procedureLength,  \
     SQLCHAR* column, SQLSMALLINT columnLength),                                 \
    (catalog, catalogLength, schema, schemaLength, procedure, procedureLength,   \
     column, columnLength))                                                      \
  X(SQL_API_SQLPROCEDURES, SQLProcedures, Statement,                             \
    (SQLHSTMT h, SQLCHAR* catalog, SQLSMALLINT catalogLength, SQLCHAR* schema,   \
     SQLSMALLINT schemaLength, SQLCHAR* procedure, SQLSMALLINT procedureLength), \
    (catalog, catalogLength, schema, schemaLength, procedure, procedureLength))  \
  X(SQL_API_SQLPUTDATA, SQLPutData, Statement,                                   \
    (SQLHSTMT h, SQLPOINTER data, SQLLEN length), (data, length))                \
  X(SQL_API_SQLROWCOUNT, SQLRowCount, Statement,                                 \
    (SQLHSTMT h, SQLLEN* count), (count))                                        \
  X(SQL_API_SQLSETCONNECTATTR, SQLSetConnectAttr, Own,                           \
    (SQLHDBC h, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length), ())  \
  X(SQL_API_SQLSETCURSORNAME, SQLSetCursorName, Statement,                       \
    (SQLHSTMT h, SQLCHAR* name, SQLSMALLINT length), (name, length))             \
  X(SQL_API_SQLSETDESCFIELD, SQLSetDescField, Descriptor,                        \
    (SQLHDESC h, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,        \
     SQLINTEGER length),                                                         \
    (record, field, value, length))                                              \
  X(SQL_API_SQLSETDESCREC, SQLSetDescRec, Descriptor,                            \
    (SQLHDESC h, SQLSMALLINT record, SQLSMALLINT type, SQLSMALLINT subType,      \
     SQLLEN octets, SQLSMALLINT precision, SQLSMALLINT scale, SQLPOINTER data,   \
     SQLLEN* length, SQLLEN* indicator),                                         \
    (record, type, subType, octets, precision, scale, data, length, indicator))  \
  X(SQL_API_SQLSETENVATTR, SQLSetEnvAttr, Own,                                   \
    (SQLHENV h, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length), ())  \
  X(SQL_API_SQLSETPOS, SQLSetPos, Statement,                                     \
    (SQLHSTMT h, SQLSETPOSIROW row, SQLUSMALLINT operation, SQLUSMALLINT lock),  \
    (row, operation, lock))                                                      \
  X(SQL_API_SQLSETSTMTATTR, SQLSetStmtAttr, Own,                                 \
    (SQLHSTMT h, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length), ())  \
  X(SQL_API_SQLSPECIALCOLUMNS, SQLSpecialColumns, Statement,                     \
    (SQLHSTMT h, SQLUSMALLINT kind, SQLCHAR* catalog, SQLSMALLINT catalogLength, \
     SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* table,                  \
     SQLSMALLINT tableLength, SQLUSMALLINT scope, SQLUSMALLINT nullable),        \
    (kind, catalog, catalogLength, schema, schemaLength, table, tableLength,     \
     scope, nullable))                                                           \
  X(SQL_API_SQLSTATISTICS, SQLStatistics, Statement,                             \
    (SQLHSTMT h, SQLCHAR* catalog, SQLSMALLINT catalogLength, SQLCHAR* schema,   \
     SQLSMALLINT schemaLength, SQLCHAR* table, SQLSMALLINT tableLength,          \
     SQLUSMALLINT unique, SQLUSMALLINT reserved),                                \
    (catalog, catalogLength, schema, schemaLength, table, tableLength, unique,   \
     reserved))                                                                  \
  X(SQL_API_SQLTABLEPRIVILEGES, SQLTablePrivileges, Statement,                   \
    (SQLHSTMT h, SQLCHAR* catalog, SQLSMALLINT catalogLength, SQLCHAR* schema,   \
     SQLSMALLINT schemaLength, SQLCHAR* table, SQLSMALLINT tableLength),         \
    (catalog, catalogLength, schema, schemaLength, table, tableLength))          \
  X(SQL_API_SQLTABLES, SQLTables, Statement,                                     \
    (SQLHSTMT h, SQLCHAR* catalog, SQLSMALLINT catalogLength, SQLCHAR* schema,   \
     SQLSMALLINT schemaLength, SQLCHAR* table, SQLSMALLINT tableLength,          \
     SQLCHAR* types, SQLSMALLINT typesLength),                                   \
    (catalog, catalogLength, schema, schemaLength, table, tableLength, types,    \
     typesLength))

#endif  // VELORAN_ADAPTER_ENTRY_TABLE_H_
