#include "driver/diagnostics.h"

#include <cassert>
#include <cstdio>
#include <cstring>

#include "driver/text_output.h"

namespace veloran::odbc {

namespace {

// The states the driver posts, with their standard texts, in order.
struct StandardState {
  const char* state;
  const char* text;
};

constexpr StandardState kStandardStates[] = {
    {"01004", "string data, right truncated"},
    {"01S02", "option value changed"},
    {"01S07", "fractional truncation"},
    {"07002", "COUNT field incorrect"},
    {"07006", "restricted data type attribute violation"},
    {"07009", "invalid descriptor index"},
    {"07S01", "invalid use of default parameter"},
    {"08001", "client unable to establish connection"},
    {"08002", "connection name in use"},
    {"08003", "connection not open"},
    {"22002", "indicator variable required but not supplied"},
    {"22003", "numeric value out of range"},
    {"22007", "invalid datetime format"},
    {"22018", "invalid character value for the conversion"},
    {"24000", "invalid cursor state"},
    {"25000", "invalid transaction state"},
    {"42000", "syntax error or access violation"},
    {"42S02", "base table or view not found"},
    {"42S22", "column not found"},
    {"HY000", "general error"},
    {"HY001", "memory allocation error"},
    {"HY003", "invalid application buffer type"},
    {"HY008", "operation canceled"},
    {"HY009", "invalid use of null pointer"},
    {"HY010", "function sequence error"},
    {"HY012", "invalid transaction operation code"},
    {"HY024", "invalid attribute value"},
    {"HY090", "invalid string or buffer length"},
    {"HY091", "invalid descriptor field identifier"},
    {"HY092", "invalid attribute/option identifier"},
    {"HY096", "information type out of range"},
    {"HY105", "invalid parameter type"},
    {"HYC00", "optional feature not implemented"},
    {"HYT00", "timeout expired"},
};

// Takes the next record, or null when the handle is full.
DiagnosticRecord* NewRecord(Diagnostics* diagnostics, const char* state,
                            SQLINTEGER columnNumber, SQLLEN rowNumber) {
  assert(std::strlen(state) == 5);
  assert(diagnostics->count >= 0 &&
         diagnostics->count <= kMaxDiagnosticRecords);
  if (diagnostics->count >= kMaxDiagnosticRecords) return nullptr;
  DiagnosticRecord& record = diagnostics->records[diagnostics->count++];
  std::snprintf(record.state, sizeof(record.state), "%s", state);
  record.nativeError = 0;
  record.columnNumber = columnNumber;
  record.rowNumber = rowNumber;
  record.message[0] = '\0';
  return &record;
}

// Appends to the record's message, cut to its size.
void AppendMessage(DiagnosticRecord* record, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
void AppendMessage(DiagnosticRecord* record, const char* format, ...) {
  size_t used = std::strlen(record->message);
  assert(used < sizeof(record->message));
  va_list args;
  va_start(args, format);
  std::vsnprintf(record->message + used, sizeof(record->message) - used, format,
                 args);
  va_end(args);
}

void AppendDetail(DiagnosticRecord* record, const char* format, va_list args) {
  AppendMessage(record, ": ");
  size_t used = std::strlen(record->message);
  assert(used < sizeof(record->message));
  std::vsnprintf(record->message + used, sizeof(record->message) - used, format,
                 args);
}

DiagnosticRecord* PostStandard(Diagnostics* diagnostics, const char* state,
                               SQLINTEGER columnNumber, SQLLEN rowNumber,
                               const char* component) {
  DiagnosticRecord* record =
      NewRecord(diagnostics, state, columnNumber, rowNumber);
  if (record != nullptr) {
    AppendMessage(record, "%s%s", component, StandardText(state));
  }
  return record;
}

// Class and subclass origins: ODBC's own states against ISO's.
bool IsOdbcSubclass(const char* state) {
  return std::strncmp(state, "IM", 2) == 0 ||
         std::strncmp(state, "HY", 2) == 0 || state[2] == 'S';
}

}  // namespace

const char* StandardText(const char* state) {
  for (const StandardState& standard : kStandardStates) {
    if (std::strcmp(standard.state, state) == 0) return standard.text;
  }
  assert(!"a state without a standard text");
  return "general error";
}

DiagnosticRecord* PostDiagnostic(Diagnostics* diagnostics, const char* state) {
  return PostStandard(diagnostics, state, SQL_NO_COLUMN_NUMBER,
                      SQL_NO_ROW_NUMBER, kDriverComponent);
}

DiagnosticRecord* PostDiagnostic(Diagnostics* diagnostics, const char* state,
                                 const char* detailFormat, ...) {
  DiagnosticRecord* record =
      PostStandard(diagnostics, state, SQL_NO_COLUMN_NUMBER, SQL_NO_ROW_NUMBER,
                   kDriverComponent);
  if (record != nullptr) {
    va_list args;
    va_start(args, detailFormat);
    AppendDetail(record, detailFormat, args);
    va_end(args);
  }
  return record;
}

DiagnosticRecord* PostDiagnosticAt(Diagnostics* diagnostics, const char* state,
                                   SQLINTEGER columnNumber, SQLLEN rowNumber,
                                   const char* detailFormat, ...) {
  DiagnosticRecord* record = PostStandard(diagnostics, state, columnNumber,
                                          rowNumber, kDriverComponent);
  if (record != nullptr) {
    va_list args;
    va_start(args, detailFormat);
    AppendDetail(record, detailFormat, args);
    va_end(args);
  }
  return record;
}

DiagnosticRecord* PostSqliteDiagnostic(Diagnostics* diagnostics,
                                       const char* state,
                                       const char* detailFormat, ...) {
  DiagnosticRecord* record =
      PostStandard(diagnostics, state, SQL_NO_COLUMN_NUMBER, SQL_NO_ROW_NUMBER,
                   kSqliteComponent);
  if (record != nullptr) {
    va_list args;
    va_start(args, detailFormat);
    AppendDetail(record, detailFormat, args);
    va_end(args);
  }
  return record;
}

DiagnosticRecord* PostConnectFailure(Diagnostics* diagnostics,
                                     const char* state, const char* component,
                                     const char* format, ...) {
  assert(std::strcmp(state, "08001") == 0 || std::strcmp(state, "HYT00") == 0);
  DiagnosticRecord* record =
      NewRecord(diagnostics, state, SQL_NO_COLUMN_NUMBER, SQL_NO_ROW_NUMBER);
  if (record != nullptr) {
    AppendMessage(record, "%s", component);
    size_t used = std::strlen(record->message);
    va_list args;
    va_start(args, format);
    std::vsnprintf(record->message + used, sizeof(record->message) - used,
                   format, args);
    va_end(args);
  }
  return record;
}

namespace {

SQLRETURN WriteRecord(const DiagnosticRecord& record, SQLCHAR* state,
                      SQLINTEGER* nativeError, SQLCHAR* message,
                      SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
  if (state != nullptr) std::memcpy(state, record.state, 6);
  if (nativeError != nullptr) *nativeError = record.nativeError;
  bool whole = WriteOutputText(record.message, std::strlen(record.message),
                               message, bufferLength, textLength);
  return whole ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
}

}  // namespace

SQLRETURN GetDiagnosticRecord(const Diagnostics& diagnostics,
                              SQLSMALLINT recordNumber, SQLCHAR* state,
                              SQLINTEGER* nativeError, SQLCHAR* message,
                              SQLSMALLINT bufferLength,
                              SQLSMALLINT* textLength) {
  if (recordNumber <= 0 || bufferLength < 0) return SQL_ERROR;
  if (recordNumber > diagnostics.count) return SQL_NO_DATA;
  return WriteRecord(diagnostics.records[recordNumber - 1], state, nativeError,
                     message, bufferLength, textLength);
}

SQLRETURN TakeNextError(Diagnostics* diagnostics, SQLCHAR* state,
                        SQLINTEGER* nativeError, SQLCHAR* message,
                        SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
  if (diagnostics->errorCursor >= diagnostics->count) {
    if (state != nullptr) std::memcpy(state, "00000", 6);
    return SQL_NO_DATA;
  }
  return WriteRecord(diagnostics->records[diagnostics->errorCursor++], state,
                     nativeError, message, bufferLength, textLength);
}

namespace {

SQLRETURN WriteFieldText(const char* text, SQLPOINTER value,
                         SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
  if (bufferLength < 0) return SQL_ERROR;
  bool whole =
      WriteOutputText(text, std::strlen(text), static_cast<SQLCHAR*>(value),
                      bufferLength, textLength);
  return whole ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
}

template <typename T>
SQLRETURN WriteFieldValue(T field, SQLPOINTER value) {
  if (value != nullptr) std::memcpy(value, &field, sizeof(T));
  return SQL_SUCCESS;
}

}  // namespace

SQLRETURN GetDiagnosticField(const Diagnostics& diagnostics,
                             SQLSMALLINT handleType, SQLSMALLINT recordNumber,
                             SQLSMALLINT field, SQLPOINTER value,
                             SQLSMALLINT bufferLength, SQLSMALLINT* textLength,
                             SQLLEN rowCount, const char* serverName) {
  bool statement = handleType == SQL_HANDLE_STMT;
  // Header fields.
  switch (field) {
    case SQL_DIAG_NUMBER:
      return WriteFieldValue<SQLINTEGER>(diagnostics.count, value);
    case SQL_DIAG_RETURNCODE:
      return WriteFieldValue<SQLRETURN>(diagnostics.returnCode, value);
    case SQL_DIAG_CURSOR_ROW_COUNT:
    case SQL_DIAG_ROW_COUNT:
      if (!statement) return SQL_ERROR;
      return WriteFieldValue<SQLLEN>(rowCount, value);
    case SQL_DIAG_DYNAMIC_FUNCTION:
      if (!statement) return SQL_ERROR;
      return WriteFieldText("", value, bufferLength, textLength);
    case SQL_DIAG_DYNAMIC_FUNCTION_CODE:
      if (!statement) return SQL_ERROR;
      return WriteFieldValue<SQLINTEGER>(SQL_DIAG_UNKNOWN_STATEMENT, value);
    default:
      break;
  }
  // Record fields.
  if (recordNumber <= 0) return SQL_ERROR;
  if (recordNumber > diagnostics.count) return SQL_NO_DATA;
  const DiagnosticRecord& record = diagnostics.records[recordNumber - 1];
  switch (field) {
    case SQL_DIAG_SQLSTATE:
      return WriteFieldText(record.state, value, bufferLength, textLength);
    case SQL_DIAG_NATIVE:
      return WriteFieldValue<SQLINTEGER>(record.nativeError, value);
    case SQL_DIAG_MESSAGE_TEXT:
      return WriteFieldText(record.message, value, bufferLength, textLength);
    case SQL_DIAG_CLASS_ORIGIN:
      return WriteFieldText(
          std::strncmp(record.state, "IM", 2) == 0 ? "ODBC 3.0" : "ISO 9075",
          value, bufferLength, textLength);
    case SQL_DIAG_SUBCLASS_ORIGIN:
      return WriteFieldText(
          IsOdbcSubclass(record.state) ? "ODBC 3.0" : "ISO 9075", value,
          bufferLength, textLength);
    case SQL_DIAG_CONNECTION_NAME:
    case SQL_DIAG_SERVER_NAME:
      return WriteFieldText(serverName, value, bufferLength, textLength);
    case SQL_DIAG_COLUMN_NUMBER:
      if (!statement) return SQL_ERROR;
      return WriteFieldValue<SQLINTEGER>(record.columnNumber, value);
    case SQL_DIAG_ROW_NUMBER:
      if (!statement) return SQL_ERROR;
      return WriteFieldValue<SQLLEN>(record.rowNumber, value);
    default:
      return SQL_ERROR;
  }
}

}  // namespace veloran::odbc
