// Binding columns, fetching rows into them, and SQLGetData.
#include "driver/statement.h"

#include <cassert>
#include <cstring>
#include <string>

#include "driver/conversions.h"
#include "driver/interruption.h"
#include "driver/statement_parts.h"
#include "driver/stored_numbers.h"

namespace veloran::odbc {

namespace {

SQLSMALLINT ResolveCType(Statement* statement, int index, SQLSMALLINT cType) {
  if (cType == SQL_C_DEFAULT) {
    DescribeColumns(statement);
    return statement->columnTypes[index].defaultCType;
  }
  if (cType == SQL_ARD_TYPE) {
    if (index < static_cast<int>(statement->columns.size()) &&
        statement->columns[index].cType != 0) {
      return ResolveCType(statement, index, statement->columns[index].cType);
    }
    return ResolveCType(statement, index, SQL_C_DEFAULT);
  }
  return cType;
}

// The value of column "index" of the current row.  One sqlite3_column_value
// and the sqlite3_value_* accessors cost a fraction of a sqlite3_column_*
// call each for its type and its value.  The value is "unprotected", which
// matters only to a connection with a mutex of SQLite's; ours are opened
// without one and guarded by the driver's own lock.
SqliteValue ReadValue(sqlite3_stmt* prepared, int index) {
  sqlite3_value* column = sqlite3_column_value(prepared, index);
  SqliteValue value;
  value.type = sqlite3_value_type(column);
  switch (value.type) {
    case SQLITE_NULL:
      break;
    case SQLITE_INTEGER:
      value.integer = sqlite3_value_int64(column);
      break;
    case SQLITE_FLOAT:
      value.real = sqlite3_value_double(column);
      break;
    case SQLITE_TEXT:
      value.bytes = sqlite3_value_text(column);
      value.size = static_cast<size_t>(sqlite3_value_bytes(column));
      break;
    default:
      value.bytes =
          static_cast<const unsigned char*>(sqlite3_value_blob(column));
      value.size = static_cast<size_t>(sqlite3_value_bytes(column));
      break;
  }
  return value;
}

SQLRETURN PostConversion(Statement* statement, int index,
                         ConversionStatus status, SQLSMALLINT cType) {
  const char* name = sqlite3_column_name(statement->prepared, index);
  PostDiagnosticAt(&statement->diagnostics, ConversionState(status), index + 1,
                   statement->rowNumber, "column %d (%s), C type %d", index + 1,
                   name != nullptr ? name : "?", cType);
  assert(status != ConversionStatus::kOk);
  return Delivered(status) ? SQL_SUCCESS_WITH_INFO : SQL_ERROR;
}

// Converts one column of the current row into its binding.
SQLRETURN DeliverColumn(Statement* statement, int index,
                        const ColumnBinding& binding) {
  SqliteValue value = ReadValue(statement->prepared, index);
  if (value.type == SQLITE_NULL) {
    if (binding.indicator == nullptr) {
      PostDiagnosticAt(&statement->diagnostics, "22002", index + 1,
                       statement->rowNumber,
                       "column %d is NULL and has no indicator", index + 1);
      return SQL_ERROR;
    }
    *binding.indicator = SQL_NULL_DATA;
    return SQL_SUCCESS;
  }
  SQLSMALLINT cType = binding.cType;
  if (cType == SQL_C_DEFAULT) cType = ResolveCType(statement, index, cType);
  ConversionResult result =
      ConvertValue(value, cType, binding.target, binding.bufferLength, 0);
  if (Delivered(result.status) && binding.indicator != nullptr) {
    *binding.indicator = result.indicator;
  }
  if (result.status == ConversionStatus::kOk) return SQL_SUCCESS;
  return PostConversion(statement, index, result.status, cType);
}

// A bound integer, float or double column: a stored number goes straight
// into its C type, without the value and result records of DeliverColumn,
// which takes every other case (NULL, text, blob).
template <typename T>
SQLRETURN DeliverNumber(Statement* statement, int index,
                        const ColumnBinding& binding) {
  sqlite3_value* column = sqlite3_column_value(statement->prepared, index);
  int type = sqlite3_value_type(column);
  T number = 0;
  ConversionStatus status;
  if (type == SQLITE_INTEGER) {
    status = NumberFromInteger(sqlite3_value_int64(column), &number);
  } else if (type == SQLITE_FLOAT) {
    status = NumberFromReal(sqlite3_value_double(column), &number);
  } else {
    return DeliverColumn(statement, index, binding);
  }
  if (!Delivered(status)) {
    return PostConversion(statement, index, status, binding.cType);
  }
  if (binding.target != nullptr) {
    std::memcpy(binding.target, &number, sizeof(T));
  }
  if (binding.indicator != nullptr) *binding.indicator = sizeof(T);
  if (status == ConversionStatus::kOk) return SQL_SUCCESS;
  return PostConversion(statement, index, status, binding.cType);
}

// The delivery of a column bound as "cType".
ColumnDeliverer DelivererFor(SQLSMALLINT cType) {
  ColumnDeliverer deliver = DeliverColumn;
  VisitCNumberType(cType, [&deliver](auto number) {
    deliver = DeliverNumber<typename decltype(number)::Type>;
  });
  return deliver;
}

SQLRETURN Worse(SQLRETURN a, SQLRETURN b) {
  if (a == SQL_ERROR || b == SQL_ERROR) return SQL_ERROR;
  if (a == SQL_SUCCESS_WITH_INFO || b == SQL_SUCCESS_WITH_INFO) {
    return SQL_SUCCESS_WITH_INFO;
  }
  return SQL_SUCCESS;
}

SQLRETURN NoCursor(Statement* statement) {
  PostDiagnostic(&statement->diagnostics, "24000", "no result set is open");
  return SQL_ERROR;
}

}  // namespace

SQLRETURN Fetch(Statement* statement) {
  if (statement->cursor == CursorState::kClosed ||
      statement->columnCount == 0) {
    return NoCursor(statement);
  }
  // An open cursor is a stepped SQLite statement.
  assert(statement->prepared != nullptr);
  if (statement->cursor != CursorState::kRowPending) {
    if (statement->cursor == CursorState::kAtEnd) return SQL_NO_DATA;
    assert(statement->cursor == CursorState::kOnRow);
    int rc = StepStatement(statement);
    if (rc != SQLITE_ROW) {
      statement->cursor = CursorState::kAtEnd;
      if (statement->rowsFetched != nullptr) *statement->rowsFetched = 0;
      if (rc == SQLITE_DONE) return SQL_NO_DATA;
      return PostSqliteError(statement, rc);
    }
  }
  statement->cursor = CursorState::kOnRow;
  ++statement->rowNumber;
  statement->dataColumn = 0;
  if (statement->boundColumns > statement->columnCount) {
    PostDiagnostic(&statement->diagnostics, "07009",
                   "column %d is bound, but the result has %d",
                   statement->boundColumns, statement->columnCount);
    return SQL_ERROR;
  }
  assert(statement->boundColumns >= 0 &&
         static_cast<size_t>(statement->boundColumns) <=
             statement->columns.size());
  SQLRETURN result = SQL_SUCCESS;
  const ColumnBinding* bindings = statement->columns.data();
  for (int i = 0; i < statement->boundColumns; ++i) {
    if (bindings[i].cType == 0) continue;
    SQLRETURN column = bindings[i].deliver(statement, i, bindings[i]);
    if (column != SQL_SUCCESS) result = Worse(result, column);
  }
  if (statement->rowsFetched != nullptr) *statement->rowsFetched = 1;
  if (statement->rowStatus != nullptr) {
    *statement->rowStatus = result == SQL_SUCCESS ? SQL_ROW_SUCCESS
                            : result == SQL_ERROR ? SQL_ROW_ERROR
                                                  : SQL_ROW_SUCCESS_WITH_INFO;
  }
  return result;
}

SQLRETURN BindColumn(Statement* statement, SQLUSMALLINT column,
                     SQLSMALLINT cType, SQLPOINTER target, SQLLEN bufferLength,
                     SQLLEN* indicator) {
  if (column == 0) {
    PostDiagnostic(&statement->diagnostics, "07009",
                   "bookmarks are not supported: columns count from 1");
    return SQL_ERROR;
  }
  if (bufferLength < 0) {
    PostDiagnostic(&statement->diagnostics, "HY090", "buffer length %ld",
                   static_cast<long>(bufferLength));
    return SQL_ERROR;
  }
  bool unbind = target == nullptr && indicator == nullptr;
  if (!unbind && cType != SQL_C_DEFAULT && !IsKnownCType(cType)) {
    PostDiagnostic(&statement->diagnostics, "HYC00",
                   "C type %d is not supported", cType);
    return SQL_ERROR;
  }
  if (unbind) {
    if (column <= statement->columns.size()) {
      statement->columns[column - 1] = ColumnBinding();
    }
  } else {
    if (statement->columns.size() < column) statement->columns.resize(column);
    ColumnBinding& binding = statement->columns[column - 1];
    binding.cType = cType;
    binding.target = target;
    binding.bufferLength = bufferLength;
    binding.indicator = indicator;
    binding.deliver = DelivererFor(cType);
  }
  // Fetch visits the columns up to the last bound one.
  int last = 0;
  for (size_t i = 0; i < statement->columns.size(); ++i) {
    if (statement->columns[i].cType != 0) last = static_cast<int>(i) + 1;
  }
  statement->boundColumns = last;
  return SQL_SUCCESS;
}

SQLRETURN GetData(Statement* statement, SQLUSMALLINT column, SQLSMALLINT cType,
                  SQLPOINTER target, SQLLEN bufferLength, SQLLEN* indicator) {
  if (statement->cursor != CursorState::kOnRow) {
    PostDiagnostic(&statement->diagnostics, "24000", "no current row");
    return SQL_ERROR;
  }
  if (column == 0 || column > statement->columnCount) {
    PostDiagnostic(&statement->diagnostics, "07009",
                   "column %u does not exist (the result has %d)", column,
                   statement->columnCount);
    return SQL_ERROR;
  }
  if (bufferLength < 0) {
    PostDiagnostic(&statement->diagnostics, "HY090", "buffer length %ld",
                   static_cast<long>(bufferLength));
    return SQL_ERROR;
  }
  // A current row was fetched from a prepared statement.
  assert(statement->prepared != nullptr && statement->rowNumber > 0);
  int index = column - 1;
  cType = ResolveCType(statement, index, cType);
  if (!IsKnownCType(cType)) {
    PostDiagnostic(&statement->diagnostics, "HYC00",
                   "C type %d is not supported", cType);
    return SQL_ERROR;
  }
  if (statement->dataColumn != column) {
    statement->dataColumn = column;
    statement->dataOffset = 0;
    statement->dataDone = false;
  } else if (statement->dataDone) {
    return SQL_NO_DATA;
  }
  SqliteValue value = ReadValue(statement->prepared, index);
  if (value.type == SQLITE_NULL) {
    if (indicator == nullptr) {
      PostDiagnosticAt(&statement->diagnostics, "22002", column,
                       statement->rowNumber,
                       "column %u is NULL and has no indicator", column);
      return SQL_ERROR;
    }
    *indicator = SQL_NULL_DATA;
    statement->dataDone = true;
    return SQL_SUCCESS;
  }
  ConversionResult result =
      ConvertValue(value, cType, target, bufferLength, statement->dataOffset);
  if (Delivered(result.status)) {
    if (indicator != nullptr) *indicator = result.indicator;
    statement->dataOffset += result.consumed;
    statement->dataDone = result.complete;
    if (result.status == ConversionStatus::kOk) return SQL_SUCCESS;
  }
  return PostConversion(statement, index, result.status, cType);
}

}  // namespace veloran::odbc
