#include "driver/statement.h"

#include <cassert>
#include <cstring>
#include <string>

#include "driver/conversions.h"
#include "driver/interruption.h"
#include "driver/parameters.h"
#include "driver/sql_types.h"
#include "driver/stored_numbers.h"
#include "driver/text_output.h"

namespace veloran::odbc {

namespace {

// The SQLSTATE of a failed SQLite call.
const char* SqliteState(int code, const char* message) {
  switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "HYT00";
    case SQLITE_INTERRUPT:
      return "HY008";
    case SQLITE_NOMEM:
      return "HY001";
    case SQLITE_READONLY:
      return "25000";
    case SQLITE_ERROR:
      if (std::strncmp(message, "no such table", 13) == 0) return "42S02";
      if (std::strncmp(message, "no such column", 14) == 0) return "42S22";
      if (std::strstr(message, "syntax error") != nullptr) return "42000";
      return "HY000";
    default:
      return "HY000";
  }
}

SQLRETURN PostSqliteError(Statement* statement, int code) {
  Connection* connection = statement->connection;
  // What the driver's handlers stopped, whatever SQLite's code (an
  // interrupt, or a lock no longer waited for).
  if (connection->stop == Stop::kCancelled) {
    connection->stop = Stop::kNone;
    PostDiagnostic(&statement->diagnostics, "HY008", kDriverComponent,
                   "operation canceled: SQLCancel of this statement");
    return SQL_ERROR;
  }
  if (connection->stop == Stop::kTimedOut) {
    connection->stop = Stop::kNone;
    PostDiagnostic(&statement->diagnostics, "HYT00", kDriverComponent,
                   "timeout expired: the statement ran longer than its "
                   "SQL_ATTR_QUERY_TIMEOUT (%lu s)",
                   static_cast<unsigned long>(statement->queryTimeout));
    return SQL_ERROR;
  }
  sqlite3* database = connection->database;
  const char* message = sqlite3_errmsg(database);
  const char* state = SqliteState(code, message);
  DiagnosticRecord* record;
  if (std::strcmp(state, "HYT00") == 0) {
    record = PostDiagnostic(
        &statement->diagnostics, state, kSqliteComponent,
        "%s: a writer held the database for longer than Timeout (%d ms)",
        message, connection->busyTimeout);
  } else {
    record = PostDiagnostic(&statement->diagnostics, state, kSqliteComponent,
                            "%s", message);
  }
  if (record != nullptr) record->nativeError = code;
  return SQL_ERROR;
}

void Reset(Statement* statement) {
  if (statement->prepared != nullptr &&
      statement->cursor != CursorState::kClosed) {
    sqlite3_reset(statement->prepared);
  }
  statement->cursor = CursorState::kClosed;
  statement->rowNumber = 0;
  statement->dataColumn = 0;
}

void Unprepare(Statement* statement) {
  Reset(statement);
  sqlite3_finalize(statement->prepared);
  statement->prepared = nullptr;
  statement->columnCount = 0;
  statement->columnTypes.clear();
}

// True when the rest of a text is only blanks and comments.
bool IsEmptyTail(sqlite3* database, const char* tail, const char* end) {
  const char* p = tail;
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' ||
                     *p == '\f' || *p == ';')) {
    ++p;
  }
  if (p == end) return true;
  // Comments: SQLite's parser knows them best; a tail that prepares to no
  // statement holds nothing else.
  sqlite3_stmt* next = nullptr;
  int rc = sqlite3_prepare_v2(database, p, static_cast<int>(end - p), &next,
                              nullptr);
  bool empty = rc == SQLITE_OK && next == nullptr;
  sqlite3_finalize(next);
  return empty;
}

// "what" names the refused part when the statement itself would not write.
SQLRETURN RefuseWrite(Statement* statement, const char* what) {
  PostDiagnostic(&statement->diagnostics, "25000", kSqliteComponent,
                 "statement would write to the database; this driver is "
                 "read-only%s%s%s",
                 what != nullptr ? " (" : "", what != nullptr ? what : "",
                 what != nullptr ? ")" : "");
  return SQL_ERROR;
}

}  // namespace

SQLRETURN Prepare(Statement* statement, const SQLCHAR* text,
                  SQLINTEGER length) {
  Unprepare(statement);
  if (text == nullptr) {
    PostDiagnostic(&statement->diagnostics, "HY009", kDriverComponent,
                   "no statement text");
    return SQL_ERROR;
  }
  const char* sql = reinterpret_cast<const char*>(text);
  size_t size;
  if (length == SQL_NTS) {
    size = std::strlen(sql);
  } else if (length >= 0) {
    size = static_cast<size_t>(length);
  } else {
    PostDiagnostic(&statement->diagnostics, "HY090", kDriverComponent,
                   "invalid text length %d", static_cast<int>(length));
    return SQL_ERROR;
  }
  Connection* connection = statement->connection;
  connection->refusal = Refusal();
  sqlite3_stmt* prepared = nullptr;
  const char* tail = nullptr;
  BeginStatementWork(statement);
  int rc = sqlite3_prepare_v2(connection->database, sql, static_cast<int>(size),
                              &prepared, &tail);
  EndStatementWork(statement);
  if (rc != SQLITE_OK) {
    if (connection->refusal.what != nullptr) {
      if (!connection->refusal.isWrite) {
        PostDiagnostic(&statement->diagnostics, "42000", kSqliteComponent,
                       "%s is refused: extensions are loaded only through "
                       "the data source's LoadExt",
                       connection->refusal.what);
        return SQL_ERROR;
      }
      return RefuseWrite(statement, connection->refusal.what);
    }
    return PostSqliteError(statement, rc);
  }
  if (prepared == nullptr) {
    PostDiagnostic(&statement->diagnostics, "42000", kDriverComponent,
                   "the text holds no statement");
    return SQL_ERROR;
  }
  if (!IsEmptyTail(connection->database, tail, sql + size)) {
    sqlite3_finalize(prepared);
    PostDiagnostic(&statement->diagnostics, "42000", kDriverComponent,
                   "only one statement per call: the text goes on after its "
                   "first statement, and none of it was run");
    return SQL_ERROR;
  }
  if (!sqlite3_stmt_readonly(prepared) && !connection->refusal.readsPragma) {
    sqlite3_finalize(prepared);
    return RefuseWrite(statement, nullptr);
  }
  statement->prepared = prepared;
  statement->columnCount = sqlite3_column_count(prepared);
  return SQL_SUCCESS;
}

SQLRETURN Execute(Statement* statement) {
  if (statement->prepared == nullptr) {
    PostDiagnostic(&statement->diagnostics, "HY010", kDriverComponent,
                   "no prepared statement");
    return SQL_ERROR;
  }
  Reset(statement);
  statement->columnTypes.clear();
  sqlite3_clear_bindings(statement->prepared);
  SQLRETURN bound = ApplyParameters(statement);
  if (bound != SQL_SUCCESS) return bound;
  int rc = StepStatement(statement);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    SQLRETURN failed = PostSqliteError(statement, rc);
    sqlite3_reset(statement->prepared);
    return failed;
  }
  statement->cursor =
      rc == SQLITE_ROW ? CursorState::kRowPending : CursorState::kAtEnd;
  return SQL_SUCCESS;
}

SQLRETURN ExecuteDirect(Statement* statement, const SQLCHAR* text,
                        SQLINTEGER length) {
  SQLRETURN prepared = Prepare(statement, text, length);
  if (prepared != SQL_SUCCESS) return prepared;
  return Execute(statement);
}

SQLRETURN ExecuteOwnQuery(Statement* statement, const char* sql,
                          const char* const* parameters, int count) {
  Unprepare(statement);
  sqlite3_stmt* prepared = nullptr;
  BeginStatementWork(statement);
  int rc = sqlite3_prepare_v2(statement->connection->database, sql, -1,
                              &prepared, nullptr);
  EndStatementWork(statement);
  if (rc != SQLITE_OK) return PostSqliteError(statement, rc);
  for (int i = 0; i < count; ++i) {
    sqlite3_bind_text(prepared, i + 1, parameters[i], -1, SQLITE_TRANSIENT);
  }
  statement->prepared = prepared;
  statement->columnCount = sqlite3_column_count(prepared);
  rc = StepStatement(statement);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    SQLRETURN failed = PostSqliteError(statement, rc);
    sqlite3_reset(prepared);
    return failed;
  }
  statement->cursor =
      rc == SQLITE_ROW ? CursorState::kRowPending : CursorState::kAtEnd;
  return SQL_SUCCESS;
}

namespace {

// The columns' descriptions, worked out on first use after execution.
void Describe(Statement* statement) {
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

SQLSMALLINT ResolveCType(Statement* statement, int index, SQLSMALLINT cType) {
  if (cType == SQL_C_DEFAULT) {
    Describe(statement);
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
                   statement->rowNumber, kDriverComponent,
                   "%s: column %d (%s), C type %d", ConversionMessage(status),
                   index + 1, name != nullptr ? name : "?", cType);
  bool warning = status == ConversionStatus::kTruncated ||
                 status == ConversionStatus::kFractionDropped;
  return warning ? SQL_SUCCESS_WITH_INFO : SQL_ERROR;
}

// Converts one column of the current row into its binding.
SQLRETURN DeliverColumn(Statement* statement, int index,
                        const ColumnBinding& binding) {
  SqliteValue value = ReadValue(statement->prepared, index);
  if (value.type == SQLITE_NULL) {
    if (binding.indicator == nullptr) {
      PostDiagnosticAt(&statement->diagnostics, "22002", index + 1,
                       statement->rowNumber, kDriverComponent,
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
  if (result.status == ConversionStatus::kOk) {
    if (binding.indicator != nullptr) *binding.indicator = result.indicator;
    return SQL_SUCCESS;
  }
  if (result.status == ConversionStatus::kTruncated ||
      result.status == ConversionStatus::kFractionDropped) {
    if (binding.indicator != nullptr) *binding.indicator = result.indicator;
  }
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
  if (status != ConversionStatus::kOk &&
      status != ConversionStatus::kFractionDropped) {
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
  switch (cType) {
    case SQL_C_STINYINT:
    case SQL_C_TINYINT:
      return DeliverNumber<int8_t>;
    case SQL_C_UTINYINT:
      return DeliverNumber<uint8_t>;
    case SQL_C_SSHORT:
    case SQL_C_SHORT:
      return DeliverNumber<int16_t>;
    case SQL_C_USHORT:
      return DeliverNumber<uint16_t>;
    case SQL_C_SLONG:
    case SQL_C_LONG:
      return DeliverNumber<int32_t>;
    case SQL_C_ULONG:
      return DeliverNumber<uint32_t>;
    case SQL_C_SBIGINT:
      return DeliverNumber<int64_t>;
    case SQL_C_UBIGINT:
      return DeliverNumber<uint64_t>;
    case SQL_C_FLOAT:
      return DeliverNumber<float>;
    case SQL_C_DOUBLE:
      return DeliverNumber<double>;
    default:
      return DeliverColumn;
  }
}

SQLRETURN Worse(SQLRETURN a, SQLRETURN b) {
  if (a == SQL_ERROR || b == SQL_ERROR) return SQL_ERROR;
  if (a == SQL_SUCCESS_WITH_INFO || b == SQL_SUCCESS_WITH_INFO) {
    return SQL_SUCCESS_WITH_INFO;
  }
  return SQL_SUCCESS;
}

SQLRETURN NoCursor(Statement* statement) {
  PostDiagnostic(&statement->diagnostics, "24000", kDriverComponent,
                 "invalid cursor state: no result set is open");
  return SQL_ERROR;
}

}  // namespace

SQLRETURN Fetch(Statement* statement) {
  if (statement->cursor == CursorState::kClosed ||
      statement->columnCount == 0) {
    return NoCursor(statement);
  }
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
    PostDiagnostic(&statement->diagnostics, "07009", kDriverComponent,
                   "column %d is bound, but the result has %d",
                   statement->boundColumns, statement->columnCount);
    return SQL_ERROR;
  }
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
    PostDiagnostic(&statement->diagnostics, "07009", kDriverComponent,
                   "bookmarks are not supported: columns count from 1");
    return SQL_ERROR;
  }
  if (bufferLength < 0) {
    PostDiagnostic(&statement->diagnostics, "HY090", kDriverComponent,
                   "invalid buffer length %ld",
                   static_cast<long>(bufferLength));
    return SQL_ERROR;
  }
  bool unbind = target == nullptr && indicator == nullptr;
  if (!unbind && cType != SQL_C_DEFAULT && !IsKnownCType(cType)) {
    PostDiagnostic(&statement->diagnostics, "HYC00", kDriverComponent,
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
    PostDiagnostic(&statement->diagnostics, "24000", kDriverComponent,
                   "invalid cursor state: no current row");
    return SQL_ERROR;
  }
  if (column == 0 || column > statement->columnCount) {
    PostDiagnostic(&statement->diagnostics, "07009", kDriverComponent,
                   "column %u does not exist (the result has %d)", column,
                   statement->columnCount);
    return SQL_ERROR;
  }
  if (bufferLength < 0) {
    PostDiagnostic(&statement->diagnostics, "HY090", kDriverComponent,
                   "invalid buffer length %ld",
                   static_cast<long>(bufferLength));
    return SQL_ERROR;
  }
  int index = column - 1;
  cType = ResolveCType(statement, index, cType);
  if (!IsKnownCType(cType)) {
    PostDiagnostic(&statement->diagnostics, "HYC00", kDriverComponent,
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
                       statement->rowNumber, kDriverComponent,
                       "column %u is NULL and has no indicator", column);
      return SQL_ERROR;
    }
    *indicator = SQL_NULL_DATA;
    statement->dataDone = true;
    return SQL_SUCCESS;
  }
  ConversionResult result =
      ConvertValue(value, cType, target, bufferLength, statement->dataOffset);
  switch (result.status) {
    case ConversionStatus::kOk:
    case ConversionStatus::kTruncated:
    case ConversionStatus::kFractionDropped:
      if (indicator != nullptr) *indicator = result.indicator;
      statement->dataOffset += result.consumed;
      statement->dataDone = result.complete;
      if (result.status == ConversionStatus::kOk) return SQL_SUCCESS;
      return PostConversion(statement, index, result.status, cType);
    default:
      return PostConversion(statement, index, result.status, cType);
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
    PostDiagnostic(&statement->diagnostics, "HY010", kDriverComponent,
                   "no prepared statement");
    return false;
  }
  if (column == 0 || column > statement->columnCount) {
    PostDiagnostic(&statement->diagnostics, "07009", kDriverComponent,
                   "column %u does not exist (the result has %d)", column,
                   statement->columnCount);
    return false;
  }
  Describe(statement);
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
  PostDiagnostic(&statement->diagnostics, "01004", kDriverComponent,
                 "string data, right truncated");
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
      PostDiagnostic(&statement->diagnostics, "HY091", kDriverComponent,
                     "column attribute %u is not known", field);
      return SQL_ERROR;
  }
  if (number != nullptr) *number = value;
  return SQL_SUCCESS;
}

SQLRETURN RowCount(Statement* statement, SQLLEN* count) {
  if (count != nullptr) *count = DiagnosticRowCount(statement);
  return SQL_SUCCESS;
}

SQLLEN DiagnosticRowCount(const Statement* statement) {
  return statement->columnCount > 0 ? -1 : 0;
}

SQLRETURN NumParameters(Statement* statement, SQLSMALLINT* count) {
  if (statement->prepared == nullptr) {
    PostDiagnostic(&statement->diagnostics, "HY010", kDriverComponent,
                   "no prepared statement");
    return SQL_ERROR;
  }
  if (count != nullptr) {
    *count = static_cast<SQLSMALLINT>(
        sqlite3_bind_parameter_count(statement->prepared));
  }
  return SQL_SUCCESS;
}

void CloseCursor(Statement* statement) { Reset(statement); }

namespace {

// Statement attributes whose value is fixed.  Asking for another either
// keeps the fixed one with 01S02 or is refused with HYC00.
struct FixedAttribute {
  SQLINTEGER attribute;
  SQLULEN value;
  bool refuseOthers;
};

constexpr FixedAttribute kFixedAttributes[] = {
    {SQL_ATTR_ROW_ARRAY_SIZE, 1, true},
    {SQL_ROWSET_SIZE, 1, true},
    {SQL_ATTR_PARAMSET_SIZE, 1, true},
    {SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, true},
    {SQL_ATTR_PARAM_BIND_TYPE, SQL_PARAM_BIND_BY_COLUMN, true},
    {SQL_ATTR_ROW_BIND_OFFSET_PTR, 0, true},
    {SQL_ATTR_PARAM_BIND_OFFSET_PTR, 0, true},
    {SQL_ATTR_PARAMS_PROCESSED_PTR, 0, true},
    {SQL_ATTR_PARAM_STATUS_PTR, 0, true},
    {SQL_ATTR_PARAM_OPERATION_PTR, 0, true},
    {SQL_ATTR_ROW_OPERATION_PTR, 0, true},
    {SQL_ATTR_USE_BOOKMARKS, SQL_UB_OFF, true},
    {SQL_ATTR_FETCH_BOOKMARK_PTR, 0, true},
    {SQL_ATTR_ASYNC_ENABLE, SQL_ASYNC_ENABLE_OFF, true},
    {SQL_ATTR_ENABLE_AUTO_IPD, SQL_FALSE, true},
    {SQL_ATTR_METADATA_ID, SQL_FALSE, true},
    {SQL_ATTR_KEYSET_SIZE, 0, true},
    {SQL_ATTR_CURSOR_SCROLLABLE, SQL_NONSCROLLABLE, true},
    {SQL_ATTR_SIMULATE_CURSOR, SQL_SC_UNIQUE, true},
    {SQL_ATTR_CURSOR_TYPE, SQL_CURSOR_FORWARD_ONLY, false},
    {SQL_ATTR_CONCURRENCY, SQL_CONCUR_READ_ONLY, false},
    {SQL_ATTR_CURSOR_SENSITIVITY, SQL_INSENSITIVE, false},
    {SQL_ATTR_MAX_ROWS, 0, false},
    {SQL_ATTR_MAX_LENGTH, 0, false},
    {SQL_ATTR_NOSCAN, SQL_NOSCAN_OFF, false},
    {SQL_ATTR_RETRIEVE_DATA, SQL_RD_ON, false},
};

const FixedAttribute* FindFixed(SQLINTEGER attribute) {
  for (const FixedAttribute& fixed : kFixedAttributes) {
    if (fixed.attribute == attribute) return &fixed;
  }
  return nullptr;
}

}  // namespace

SQLRETURN SetStatementAttribute(Statement* statement, SQLINTEGER attribute,
                                SQLPOINTER value) {
  auto number = static_cast<SQLULEN>(reinterpret_cast<uintptr_t>(value));
  switch (attribute) {
    case SQL_ATTR_ROWS_FETCHED_PTR:
      statement->rowsFetched = static_cast<SQLULEN*>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_ROW_STATUS_PTR:
      statement->rowStatus = static_cast<SQLUSMALLINT*>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_NOSCAN:
      // Escape sequences are never translated: scanning or not is the same.
      return SQL_SUCCESS;
    case SQL_ATTR_QUERY_TIMEOUT:
      statement->queryTimeout = number;
      return SQL_SUCCESS;
    default:
      break;
  }
  const FixedAttribute* fixed = FindFixed(attribute);
  if (fixed == nullptr) {
    PostDiagnostic(&statement->diagnostics, "HY092", kDriverComponent,
                   "statement attribute %d is not known or not settable",
                   static_cast<int>(attribute));
    return SQL_ERROR;
  }
  if (number == fixed->value) return SQL_SUCCESS;
  if (attribute == SQL_ATTR_CURSOR_SENSITIVITY && number == SQL_UNSPECIFIED) {
    return SQL_SUCCESS;
  }
  if (fixed->refuseOthers) {
    PostDiagnostic(&statement->diagnostics, "HYC00", kDriverComponent,
                   "optional feature not implemented: statement attribute "
                   "%d = %lu (only %lu)",
                   static_cast<int>(attribute),
                   static_cast<unsigned long>(number),
                   static_cast<unsigned long>(fixed->value));
    return SQL_ERROR;
  }
  PostDiagnostic(&statement->diagnostics, "01S02", kDriverComponent,
                 "option value changed: statement attribute %d stays %lu",
                 static_cast<int>(attribute),
                 static_cast<unsigned long>(fixed->value));
  return SQL_SUCCESS_WITH_INFO;
}

SQLRETURN GetStatementAttribute(Statement* statement, SQLINTEGER attribute,
                                SQLPOINTER value) {
  SQLULEN number = 0;
  switch (attribute) {
    case SQL_ATTR_ROWS_FETCHED_PTR:
      if (value != nullptr) {
        std::memcpy(value, &statement->rowsFetched, sizeof(SQLPOINTER));
      }
      return SQL_SUCCESS;
    case SQL_ATTR_ROW_STATUS_PTR:
      if (value != nullptr) {
        std::memcpy(value, &statement->rowStatus, sizeof(SQLPOINTER));
      }
      return SQL_SUCCESS;
    case SQL_ATTR_QUERY_TIMEOUT:
      number = statement->queryTimeout;
      break;
    case SQL_ATTR_ROW_NUMBER:
      number = statement->cursor == CursorState::kOnRow
                   ? static_cast<SQLULEN>(statement->rowNumber)
                   : 0;
      break;
    case SQL_ATTR_APP_ROW_DESC:
    case SQL_ATTR_APP_PARAM_DESC:
    case SQL_ATTR_IMP_ROW_DESC:
    case SQL_ATTR_IMP_PARAM_DESC:
      PostDiagnostic(&statement->diagnostics, "HYC00", kDriverComponent,
                     "descriptors are not supported");
      return SQL_ERROR;
    default: {
      const FixedAttribute* fixed = FindFixed(attribute);
      if (fixed == nullptr) {
        PostDiagnostic(&statement->diagnostics, "HY092", kDriverComponent,
                       "statement attribute %d is not known",
                       static_cast<int>(attribute));
        return SQL_ERROR;
      }
      number = fixed->value;
    }
  }
  if (value != nullptr) std::memcpy(value, &number, sizeof(number));
  return SQL_SUCCESS;
}

}  // namespace veloran::odbc
