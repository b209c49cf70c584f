#include "driver/catalog_functions.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "driver/sql_types.h"
#include "driver/statement.h"

namespace veloran::odbc {

namespace {

// veloran_column_type(declared type, field): the field of the declared
// type's description, as SQLDescribeCol gives it for such a column.
void ColumnTypeFunction(sqlite3_context* context, int /*argc*/,
                        sqlite3_value** argv) {
  const char* declared =
      reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  ColumnType type;
  if (!DescribeDeclaredType(declared, &type)) {
    type = DescribeStorageClass(SQLITE_TEXT);
  }
  switch (sqlite3_value_int(argv[1])) {
    case 0:
      sqlite3_result_int(context, type.sqlType);
      break;
    case 1:
      sqlite3_result_int64(context,
                           static_cast<sqlite3_int64>(type.columnSize));
      break;
    case 2:
      sqlite3_result_int(context, type.decimalDigits);
      break;
    default:  // the verbose type and datetime subcode
      if (type.sqlType == SQL_TYPE_DATE || type.sqlType == SQL_TYPE_TIME ||
          type.sqlType == SQL_TYPE_TIMESTAMP) {
        sqlite3_result_int(context, sqlite3_value_int(argv[1]) == 3
                                        ? SQL_DATETIME
                                        : type.sqlType - SQL_DATETIME * 10);
      } else if (sqlite3_value_int(argv[1]) == 3) {
        sqlite3_result_int(context, type.sqlType);
      } else {
        sqlite3_result_null(context);
      }
      break;
  }
}

// An argument as a terminated text; null (or SQL_NULL_DATA) as "%".
std::string Pattern(const SQLCHAR* text, SQLSMALLINT length) {
  if (text == nullptr) return "%";
  const char* chars = reinterpret_cast<const char*>(text);
  if (length == SQL_NTS) return std::string(chars);
  if (length < 0) return "%";
  return std::string(chars, static_cast<size_t>(length));
}

bool IsEmpty(const SQLCHAR* text, SQLSMALLINT length) {
  return text == nullptr || length == 0 ||
         (length == SQL_NTS && text[0] == '\0');
}

// Whether a comma-separated list of table types ("'TABLE','VIEW'") names
// "type"; an empty or "%" list names all.
bool NamesType(const std::string& list, const char* type) {
  if (list.empty() || list == "%") return true;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string item = list.substr(start, comma - start);
    std::string name;
    for (char c : item) {
      if (c != '\'' && c != ' ' && c != '\t') name += c;
    }
    if (strcasecmp(name.c_str(), type) == 0) return true;
    start = comma + 1;
  }
  return false;
}

}  // namespace

bool RegisterCatalogFunctions(sqlite3* database) {
  return sqlite3_create_function(
             database, "veloran_column_type", 2,
             SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, nullptr,
             ColumnTypeFunction, nullptr, nullptr) == SQLITE_OK;
}

SQLRETURN ListTables(Statement* statement, const SQLCHAR* catalog,
                     SQLSMALLINT catalogLength, const SQLCHAR* schema,
                     SQLSMALLINT schemaLength, const SQLCHAR* table,
                     SQLSMALLINT tableLength, const SQLCHAR* tableType,
                     SQLSMALLINT tableTypeLength) {
  static const char kNoRows[] =
      "SELECT NULL AS TABLE_CAT, NULL AS TABLE_SCHEM, NULL AS TABLE_NAME, "
      "NULL AS TABLE_TYPE, NULL AS REMARKS WHERE 0";
  std::string types = IsEmpty(tableType, tableTypeLength)
                          ? std::string()
                          : Pattern(tableType, tableTypeLength);
  bool noCatalog = IsEmpty(catalog, catalogLength);
  bool noSchema = IsEmpty(schema, schemaLength);
  bool noTable = IsEmpty(table, tableLength);
  // The enumerations: catalogs, schemas (none here) and table types.
  if (noSchema && noTable && !noCatalog &&
      Pattern(catalog, catalogLength) == SQL_ALL_CATALOGS) {
    return ExecuteOwnQuery(statement, kNoRows, nullptr, 0);
  }
  if (noCatalog && noTable && !noSchema &&
      Pattern(schema, schemaLength) == SQL_ALL_SCHEMAS) {
    return ExecuteOwnQuery(statement, kNoRows, nullptr, 0);
  }
  if (noCatalog && noSchema && noTable && types == SQL_ALL_TABLE_TYPES) {
    return ExecuteOwnQuery(
        statement,
        "SELECT NULL AS TABLE_CAT, NULL AS TABLE_SCHEM, NULL AS TABLE_NAME, "
        "column1 AS TABLE_TYPE, NULL AS REMARKS FROM (VALUES ('SYSTEM "
        "TABLE'), ('TABLE'), ('VIEW'))",
        nullptr, 0);
  }
  std::string name = Pattern(table, tableLength);
  const char* parameters[4] = {name.c_str(),
                               NamesType(types, "TABLE") ? "1" : "0",
                               NamesType(types, "VIEW") ? "1" : "0",
                               NamesType(types, "SYSTEM TABLE") ? "1" : "0"};
  return ExecuteOwnQuery(
      statement,
      "SELECT NULL AS TABLE_CAT, NULL AS TABLE_SCHEM, name AS TABLE_NAME, "
      "CASE WHEN name LIKE 'sqlite\\_%' ESCAPE '\\' THEN 'SYSTEM TABLE' "
      "WHEN type = 'table' THEN 'TABLE' ELSE 'VIEW' END AS TABLE_TYPE, "
      "NULL AS REMARKS FROM sqlite_schema "
      "WHERE type IN ('table', 'view') AND name LIKE ?1 ESCAPE '\\' "
      "AND ((TABLE_TYPE = 'TABLE' AND ?2) OR (TABLE_TYPE = 'VIEW' AND ?3) "
      "OR (TABLE_TYPE = 'SYSTEM TABLE' AND ?4)) "
      "ORDER BY TABLE_TYPE, TABLE_NAME",
      parameters, 4);
}

SQLRETURN ListColumns(Statement* statement, const SQLCHAR* table,
                      SQLSMALLINT tableLength, const SQLCHAR* column,
                      SQLSMALLINT columnLength) {
  std::string tableName = Pattern(table, tableLength);
  std::string columnName = Pattern(column, columnLength);
  const char* parameters[2] = {tableName.c_str(), columnName.c_str()};
  return ExecuteOwnQuery(
      statement,
      "SELECT NULL AS TABLE_CAT, NULL AS TABLE_SCHEM, m.name AS TABLE_NAME, "
      "p.name AS COLUMN_NAME, veloran_column_type(p.type, 0) AS DATA_TYPE, "
      "CASE WHEN p.type = '' THEN 'TEXT' ELSE p.type END AS TYPE_NAME, "
      "veloran_column_type(p.type, 1) AS COLUMN_SIZE, "
      "veloran_column_type(p.type, 1) AS BUFFER_LENGTH, "
      "veloran_column_type(p.type, 2) AS DECIMAL_DIGITS, "
      "CASE veloran_column_type(p.type, 0) WHEN -5 THEN 10 WHEN 8 THEN 2 "
      "END AS NUM_PREC_RADIX, "
      "CASE WHEN p.\"notnull\" THEN 0 ELSE 1 END AS NULLABLE, "
      "NULL AS REMARKS, p.dflt_value AS COLUMN_DEF, "
      "veloran_column_type(p.type, 3) AS SQL_DATA_TYPE, "
      "veloran_column_type(p.type, 4) AS SQL_DATETIME_SUB, "
      "CASE WHEN veloran_column_type(p.type, 0) IN (12, -3) "
      "THEN veloran_column_type(p.type, 1) END AS CHAR_OCTET_LENGTH, "
      "p.cid + 1 AS ORDINAL_POSITION, "
      "CASE WHEN p.\"notnull\" THEN 'NO' ELSE 'YES' END AS IS_NULLABLE "
      "FROM sqlite_schema AS m JOIN pragma_table_xinfo(m.name) AS p "
      "WHERE m.type IN ('table', 'view') AND m.name LIKE ?1 ESCAPE '\\' "
      "AND p.name LIKE ?2 ESCAPE '\\' ORDER BY m.name, p.cid",
      parameters, 2);
}

SQLRETURN ListTypes(Statement* statement, SQLSMALLINT sqlType) {
  char type[16];
  std::snprintf(type, sizeof(type), "%d", sqlType);
  const char* parameters[1] = {type};
  // One row a type the driver describes columns with.
  return ExecuteOwnQuery(
      statement,
      "SELECT column1 AS TYPE_NAME, column2 AS DATA_TYPE, column3 AS "
      "COLUMN_SIZE, column4 AS LITERAL_PREFIX, CASE WHEN column4 IS NOT NULL "
      "THEN '''' END AS "
      "LITERAL_SUFFIX, "
      "NULL AS CREATE_PARAMS, 1 AS NULLABLE, column5 AS CASE_SENSITIVE, "
      "3 AS SEARCHABLE, column6 AS UNSIGNED_ATTRIBUTE, 0 AS FIXED_PREC_SCALE, "
      "0 AS AUTO_UNIQUE_VALUE, column1 AS LOCAL_TYPE_NAME, "
      "column7 AS MINIMUM_SCALE, column7 AS MAXIMUM_SCALE, "
      "column8 AS SQL_DATA_TYPE, column9 AS SQL_DATETIME_SUB, "
      "column10 AS NUM_PREC_RADIX, NULL AS INTERVAL_PRECISION FROM (VALUES "
      "('INTEGER', -5, 19, NULL, 0, 0, 0, -5, NULL, 10), "
      "('REAL', 8, 15, NULL, 0, 0, NULL, 8, NULL, 2), "
      "('TEXT', 12, 255, '''', 1, NULL, NULL, 12, NULL, NULL), "
      "('BLOB', -3, 255, 'X''', 0, NULL, NULL, -3, NULL, NULL), "
      "('DATE', 91, 10, '''', 0, NULL, NULL, 9, 1, NULL), "
      "('TIME', 92, 8, '''', 0, NULL, NULL, 9, 2, NULL), "
      "('TIMESTAMP', 93, 23, '''', 0, NULL, 3, 9, 3, NULL)) "
      "WHERE ?1 = 0 OR column2 = CAST(?1 AS INTEGER) ORDER BY column2",
      parameters, 1);
}

}  // namespace veloran::odbc
