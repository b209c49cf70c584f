#include "driver/diagnostics.h"

#include <cassert>
#include <cstdio>
#include <cstring>

#include "driver/text_output.h"

namespace veloran::odbc {

namespace {

DiagnosticRecord* PostRecord(Diagnostics* diagnostics, const char* state,
                             SQLINTEGER columnNumber, SQLLEN rowNumber,
                             const char* component, const char* format,
                             va_list args) {
  assert(std::strlen(state) == 5);
  if (diagnostics->count >= kMaxDiagnosticRecords) return nullptr;
  DiagnosticRecord& record = diagnostics->records[diagnostics->count++];
  std::snprintf(record.state, sizeof(record.state), "%s", state);
  record.nativeError = 0;
  record.columnNumber = columnNumber;
  record.rowNumber = rowNumber;
  int prefix =
      std::snprintf(record.message, sizeof(record.message), "%s", component);
  if (prefix < 0) prefix = 0;
  if (static_cast<size_t>(prefix) < sizeof(record.message)) {
    std::vsnprintf(record.message + prefix, sizeof(record.message) - prefix,
                   format, args);
  }
  return &record;
}

// Class and subclass origins: ODBC's own states against ISO's.
bool IsOdbcSubclass(const char* state) {
  return std::strncmp(state, "IM", 2) == 0 ||
         std::strncmp(state, "HY", 2) == 0 || state[2] == 'S';
}

}  // namespace

DiagnosticRecord* PostDiagnostic(Diagnostics* diagnostics, const char* state,
                                 const char* component, const char* format,
                                 ...) {
  va_list args;
  va_start(args, format);
  DiagnosticRecord* record =
      PostRecord(diagnostics, state, SQL_NO_COLUMN_NUMBER, SQL_NO_ROW_NUMBER,
                 component, format, args);
  va_end(args);
  return record;
}

DiagnosticRecord* PostDiagnosticAt(Diagnostics* diagnostics, const char* state,
                                   SQLINTEGER columnNumber, SQLLEN rowNumber,
                                   const char* component, const char* format,
                                   ...) {
  va_list args;
  va_start(args, format);
  DiagnosticRecord* record = PostRecord(diagnostics, state, columnNumber,
                                        rowNumber, component, format, args);
  va_end(args);
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
