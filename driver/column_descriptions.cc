// The descriptions of a result's columns: SQLNumResultCols,
// SQLDescribeCol and SQLColAttribute.
#include "driver/statement.h"

#include <cassert>
#include <cstring>
#include <string>

#include "driver/conversions.h"
#include "driver/sql_types.h"
#include "driver/statement_parts.h"
#include "driver/text_output.h"

namespace veloran::odbc {

// The columns' descriptions, worked out on first use after execution.
void DescribeColumns(Statement* statement) {
  if (!statement->columnTypes.empty() || statement->columnCount == 0) return;
  bool hasRow = statement->cursor == CursorState::kRowPending ||
                statement->cursor == CursorState::kOnRow;
  statement->columnTypes.resize(statement->columnCount);
  for (int i = 0; i < statement->columnCount; ++i) {
    ColumnType& type = statement->columnTypes[i];
    if (DescribeDeclaredType(sqlite3_column_decltype(statement->prepared, i),
                             &type)) {
      continue;
    }
    type = DescribeStorageClass(
        hasRow ? sqlite3_column_type(statement->prepared, i) : SQLITE_TEXT);
  }
}

SQLRETURN NumResultColumns(Statement* statement, SQLSMALLINT* count) {
  if (count != nullptr) {
    *count = static_cast<SQLSMALLINT>(statement->columnCount);
  }
  return SQL_SUCCESS;
}

namespace {

bool CheckColumn(Statement* statement, SQLUSMALLINT column) {
  if (statement->prepared == nullptr) {
    PostDiagnostic(&statement->diagnostics, "HY010", "no prepared statement");
    return false;
  }
  if (column == 0 || column > statement->columnCount) {
    PostDiagnostic(&statement->diagnostics, "07009",
                   "column %u does not exist (the result has %d)", column,
                   statement->columnCount);
    return false;
  }
  DescribeColumns(statement);
  return true;
}

// The longest name or attribute text given out, in bytes: its length goes
// into a 16-bit field, and clients add one for the terminator there
// (pyodbc fails with MemoryError on 32767).  A longer one is cut at a
// character's start.
constexpr size_t kMaxDescriptionText = 32766;

SQLRETURN WriteText(Statement* statement, const char* text, SQLCHAR* buffer,
                    SQLLEN bufferLength, SQLSMALLINT* length) {
  if (text == nullptr) text = "";
  size_t size = std::strlen(text);
  if (size > kMaxDescriptionText) {
    size = kMaxDescriptionText;
    while (size > 0 &&
           (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) {
      --size;
    }
  }
  if (WriteOutputText(text, size, buffer, bufferLength, length)) {
    return SQL_SUCCESS;
  }
  PostDiagnostic(&statement->diagnostics, "01004");
  return SQL_SUCCESS_WITH_INFO;
}

}  // namespace

SQLRETURN DescribeColumn(Statement* statement, SQLUSMALLINT column,
                         SQLCHAR* name, SQLSMALLINT bufferLength,
                         SQLSMALLINT* nameLength, SQLSMALLINT* sqlType,
                         SQLULEN* columnSize, SQLSMALLINT* decimalDigits,
                         SQLSMALLINT* nullable) {
  if (!CheckColumn(statement, column)) return SQL_ERROR;
  const ColumnType& type = statement->columnTypes[column - 1];
  if (sqlType != nullptr) *sqlType = type.sqlType;
  if (columnSize != nullptr) *columnSize = type.columnSize;
  if (decimalDigits != nullptr) *decimalDigits = type.decimalDigits;
  if (nullable != nullptr) *nullable = SQL_NULLABLE_UNKNOWN;
  return WriteText(statement,
                   sqlite3_column_name(statement->prepared, column - 1), name,
                   bufferLength, nameLength);
}

SQLRETURN ColumnAttribute(Statement* statement, SQLUSMALLINT column,
                          SQLUSMALLINT field, SQLPOINTER text,
                          SQLSMALLINT bufferLength, SQLSMALLINT* textLength,
                          SQLLEN* number) {
  if (field == SQL_DESC_COUNT || field == SQL_COLUMN_COUNT) {
    if (number != nullptr) *number = statement->columnCount;
    return SQL_SUCCESS;
  }
  if (!CheckColumn(statement, column)) return SQL_ERROR;
  const ColumnType& type = statement->columnTypes[column - 1];
  sqlite3_stmt* prepared = statement->prepared;
  int index = column - 1;
  auto* buffer = static_cast<SQLCHAR*>(text);
  SQLLEN value = 0;
  switch (field) {
    case SQL_DESC_NAME:
    case SQL_DESC_LABEL:
    case SQL_COLUMN_NAME:
      return WriteText(statement, sqlite3_column_name(prepared, index), buffer,
                       bufferLength, textLength);
    case SQL_DESC_BASE_COLUMN_NAME:
      return WriteText(statement, sqlite3_column_origin_name(prepared, index),
                       buffer, bufferLength, textLength);
    case SQL_DESC_TABLE_NAME:
    case SQL_DESC_BASE_TABLE_NAME:
      return WriteText(statement, sqlite3_column_table_name(prepared, index),
                       buffer, bufferLength, textLength);
    case SQL_DESC_TYPE_NAME:
    case SQL_DESC_LOCAL_TYPE_NAME: {
      const char* declared = sqlite3_column_decltype(prepared, index);
      return WriteText(statement,
                       declared != nullptr ? declared : type.typeName, buffer,
                       bufferLength, textLength);
    }
    case SQL_DESC_SCHEMA_NAME:
    case SQL_DESC_CATALOG_NAME:
    case SQL_DESC_LITERAL_PREFIX:
    case SQL_DESC_LITERAL_SUFFIX:
      return WriteText(statement, "", buffer, bufferLength, textLength);
    case SQL_DESC_CONCISE_TYPE:
    case SQL_DESC_TYPE:
      value = type.sqlType;
      if (field == SQL_DESC_TYPE &&
          (type.sqlType == SQL_TYPE_DATE || type.sqlType == SQL_TYPE_TIME ||
           type.sqlType == SQL_TYPE_TIMESTAMP)) {
        value = SQL_DATETIME;
      }
      break;
    case SQL_DESC_LENGTH:
    case SQL_COLUMN_LENGTH:
    case SQL_DESC_PRECISION:
    case SQL_COLUMN_PRECISION:
      value = static_cast<SQLLEN>(type.columnSize);
      break;
    case SQL_DESC_OCTET_LENGTH:
      value = type.sqlType == SQL_VARCHAR || type.sqlType == SQL_VARBINARY
                  ? static_cast<SQLLEN>(type.columnSize)
                  : FixedCTypeSize(type.defaultCType);
      break;
    case SQL_DESC_DISPLAY_SIZE:
      value = type.displaySize;
      break;
    case SQL_DESC_SCALE:
    case SQL_COLUMN_SCALE:
      value = type.decimalDigits;
      break;
    case SQL_DESC_NULLABLE:
    case SQL_COLUMN_NULLABLE:
      value = SQL_NULLABLE_UNKNOWN;
      break;
    case SQL_DESC_UNSIGNED:
      value = type.sqlType == SQL_BIGINT || type.sqlType == SQL_DOUBLE
                  ? SQL_FALSE
                  : SQL_TRUE;
      break;
    case SQL_DESC_NUM_PREC_RADIX:
      value = type.sqlType == SQL_BIGINT   ? 10
              : type.sqlType == SQL_DOUBLE ? 2
                                           : 0;
      break;
    case SQL_DESC_AUTO_UNIQUE_VALUE:
    case SQL_DESC_FIXED_PREC_SCALE:
      value = SQL_FALSE;
      break;
    case SQL_DESC_CASE_SENSITIVE:
      value = type.sqlType == SQL_VARCHAR ? SQL_TRUE : SQL_FALSE;
      break;
    case SQL_DESC_SEARCHABLE:
      value = SQL_PRED_SEARCHABLE;
      break;
    case SQL_DESC_UPDATABLE:
      value = SQL_ATTR_READONLY;
      break;
    case SQL_DESC_UNNAMED:
      value = SQL_NAMED;
      break;
    default:
      PostDiagnostic(&statement->diagnostics, "HY091",
                     "column attribute %u is not known", field);
      return SQL_ERROR;
  }
  if (number != nullptr) *number = value;
  return SQL_SUCCESS;
}

}  // namespace veloran::odbc
