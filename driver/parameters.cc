#include "driver/parameters.h"

#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "driver/c_types.h"
#include "driver/conversions.h"
#include "driver/text_values.h"
#include "driver/wide_text.h"

namespace veloran::odbc {

namespace {

// The C type to read for SQL_C_DEFAULT: the one that matches the SQL type.
SQLSMALLINT DefaultCType(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_TINYINT:
      return SQL_C_STINYINT;
    case SQL_SMALLINT:
      return SQL_C_SSHORT;
    case SQL_INTEGER:
      return SQL_C_SLONG;
    case SQL_BIGINT:
      return SQL_C_SBIGINT;
    case SQL_REAL:
      return SQL_C_FLOAT;
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return SQL_C_DOUBLE;
    case SQL_BIT:
      return SQL_C_BIT;
    case SQL_TYPE_DATE:
    case SQL_DATE:
      return SQL_C_TYPE_DATE;
    case SQL_TYPE_TIME:
    case SQL_TIME:
      return SQL_C_TYPE_TIME;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
      return SQL_C_TYPE_TIMESTAMP;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return SQL_C_BINARY;
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
      return SQL_C_WCHAR;
    default:
      return SQL_C_CHAR;
  }
}

template <typename T>
T Read(const void* value) {
  T result;
  std::memcpy(&result, value, sizeof(T));
  return result;
}

// Binds a number of C++ type T (see VisitCNumberType): an integer as
// SQLite's integer, a float or double as its real, into *rc.  Returns
// false, binding nothing, for an unsigned 64-bit value beyond SQLite's
// integers.
template <typename T>
bool BindNumber(sqlite3_stmt* prepared, int number, const void* value,
                int* rc) {
  T read = Read<T>(value);
  if constexpr (std::is_floating_point_v<T>) {
    *rc = sqlite3_bind_double(prepared, number, read);
  } else if constexpr (std::is_same_v<T, uint64_t>) {
    if (read > static_cast<uint64_t>(INT64_MAX)) return false;
    *rc = sqlite3_bind_int64(prepared, number, static_cast<int64_t>(read));
  } else {
    *rc = sqlite3_bind_int64(prepared, number, read);
  }
  return true;
}

bool ValidDate(int year, unsigned month, unsigned day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) {
    return false;
  }
  return day <=
         static_cast<unsigned>(DaysInMonth(year, static_cast<int>(month)));
}

bool ValidTime(unsigned hour, unsigned minute, unsigned second) {
  return hour <= 23 && minute <= 59 && second <= 59;
}

// "hh:mm:ss" followed by the fraction's significant digits, if any.
int FormatTime(char* text, size_t size, unsigned hour, unsigned minute,
               unsigned second, SQLUINTEGER nanoseconds) {
  int length =
      std::snprintf(text, size, "%02u:%02u:%02u", hour, minute, second);
  if (nanoseconds != 0 && nanoseconds < 1000000000u) {
    char fraction[16];
    std::snprintf(fraction, sizeof(fraction), ".%09u", nanoseconds);
    size_t digits = std::strlen(fraction);
    while (fraction[digits - 1] == '0') --digits;
    fraction[digits] = '\0';
    length += std::snprintf(text + length, size - length, "%s", fraction);
  }
  return length;
}

SQLRETURN BadDateTime(Statement* statement, int number) {
  PostDiagnostic(&statement->diagnostics, "22007",
                 "parameter %d is no valid date or time", number);
  return SQL_ERROR;
}

SQLRETURN BadLength(Statement* statement, int number, const char* what,
                    SQLLEN length) {
  PostDiagnostic(&statement->diagnostics, "HY090",
                 "parameter %d: length %ld (%s)", number,
                 static_cast<long>(length), what);
  return SQL_ERROR;
}

// The bytes of a text or binary value that "length" gives, or false with
// the diagnostic posted.  A terminated text (SQL_NTS) is sought within
// the buffer length when one is given, so nothing past it is read; a
// UTF-16 text is a whole number of units; a binary value has no
// terminator.
bool ValueSize(Statement* statement, int number, SQLSMALLINT cType,
               const ParameterBinding& binding, SQLLEN length, size_t* size) {
  const size_t unit = cType == SQL_C_WCHAR ? sizeof(uint16_t) : 1;
  if (length >= 0) {
    if (length % unit != 0) {
      BadLength(statement, number, "not a whole number of UTF-16 units",
                length);
      return false;
    }
    *size = static_cast<size_t>(length);
    return true;
  }
  assert(length == SQL_NTS);
  if (cType == SQL_C_BINARY) {
    BadLength(statement, number, "a binary value has no terminator", length);
    return false;
  }
  size_t limit = binding.bufferLength > 0
                     ? static_cast<size_t>(binding.bufferLength) / unit
                     : SIZE_MAX / unit;
  size_t units = 0;
  if (unit == 1) {
    const char* text = static_cast<const char*>(binding.value);
    while (units < limit && text[units] != '\0') ++units;
  } else {
    const auto* bytes = static_cast<const unsigned char*>(binding.value);
    while (units < limit && (bytes[2 * units] | bytes[2 * units + 1]) != 0) {
      ++units;
    }
  }
  if (units == limit) {
    BadLength(statement, number, "no terminator within the buffer length",
              binding.bufferLength);
    return false;
  }
  *size = units * unit;
  return true;
}

SQLRETURN BindOne(Statement* statement, int number,
                  const ParameterBinding& binding) {
  sqlite3_stmt* prepared = statement->prepared;
  SQLLEN length = binding.indicator != nullptr ? *binding.indicator : SQL_NTS;
  if (length == SQL_NULL_DATA || binding.value == nullptr) {
    sqlite3_bind_null(prepared, number);
    return SQL_SUCCESS;
  }
  // Every negative value but these four is no length at all.
  if (length == SQL_DATA_AT_EXEC || length <= SQL_LEN_DATA_AT_EXEC_OFFSET) {
    PostDiagnostic(&statement->diagnostics, "HYC00",
                   "parameter %d: data at execution is not supported", number);
    return SQL_ERROR;
  }
  if (length == SQL_DEFAULT_PARAM) {
    PostDiagnostic(&statement->diagnostics, "07S01",
                   "parameter %d (SQLite's parameters have no default)",
                   number);
    return SQL_ERROR;
  }
  if (length < 0 && length != SQL_NTS) {
    return BadLength(statement, number, "not a length nor an indicator",
                     length);
  }
  SQLSMALLINT cType = binding.cType == SQL_C_DEFAULT
                          ? DefaultCType(binding.sqlType)
                          : binding.cType;
  const void* value = binding.value;
  int rc = SQLITE_OK;
  bool fits = true;
  if (VisitCNumberType(cType, [&](auto type) {
        fits = BindNumber<typename decltype(type)::Type>(prepared, number,
                                                         value, &rc);
      })) {
    if (!fits) {
      PostDiagnostic(&statement->diagnostics, "22003",
                     "parameter %d: %llu is beyond SQLite's integers", number,
                     static_cast<unsigned long long>(Read<uint64_t>(value)));
      return SQL_ERROR;
    }
  } else {
    switch (cType) {
      case SQL_C_CHAR:
      case SQL_C_WCHAR:
      case SQL_C_BINARY: {
        size_t size = 0;
        if (!ValueSize(statement, number, cType, binding, length, &size)) {
          return SQL_ERROR;
        }
        if (cType == SQL_C_BINARY) {
          rc = sqlite3_bind_blob64(prepared, number, value, size,
                                   SQLITE_TRANSIENT);
        } else if (cType == SQL_C_CHAR) {
          rc = sqlite3_bind_text64(prepared, number,
                                   static_cast<const char*>(value), size,
                                   SQLITE_TRANSIENT, SQLITE_UTF8);
        } else {
          std::string utf8;
          AppendUtf16AsUtf8(static_cast<const uint16_t*>(value),
                            size / sizeof(uint16_t), &utf8);
          rc = sqlite3_bind_text64(prepared, number, utf8.data(), utf8.size(),
                                   SQLITE_TRANSIENT, SQLITE_UTF8);
        }
        break;
      }
      case SQL_C_BIT:
        rc = sqlite3_bind_int64(prepared, number, Read<unsigned char>(value));
        break;
      case SQL_C_DATE:
      case SQL_C_TYPE_DATE: {
        auto date = Read<SQL_DATE_STRUCT>(value);
        if (!ValidDate(date.year, date.month, date.day)) {
          return BadDateTime(statement, number);
        }
        char text[16];
        int size = std::snprintf(text, sizeof(text), "%04d-%02u-%02u",
                                 date.year, date.month, date.day);
        rc = sqlite3_bind_text(prepared, number, text, size, SQLITE_TRANSIENT);
        break;
      }
      case SQL_C_TIME:
      case SQL_C_TYPE_TIME: {
        auto time = Read<SQL_TIME_STRUCT>(value);
        if (!ValidTime(time.hour, time.minute, time.second)) {
          return BadDateTime(statement, number);
        }
        char text[16];
        int size = FormatTime(text, sizeof(text), time.hour, time.minute,
                              time.second, 0);
        rc = sqlite3_bind_text(prepared, number, text, size, SQLITE_TRANSIENT);
        break;
      }
      case SQL_C_TIMESTAMP:
      case SQL_C_TYPE_TIMESTAMP: {
        auto stamp = Read<SQL_TIMESTAMP_STRUCT>(value);
        if (!ValidDate(stamp.year, stamp.month, stamp.day) ||
            !ValidTime(stamp.hour, stamp.minute, stamp.second) ||
            stamp.fraction >= 1000000000u) {
          return BadDateTime(statement, number);
        }
        char text[48];
        int size = std::snprintf(text, sizeof(text), "%04d-%02u-%02u ",
                                 stamp.year, stamp.month, stamp.day);
        size += FormatTime(text + size, sizeof(text) - size, stamp.hour,
                           stamp.minute, stamp.second, stamp.fraction);
        rc = sqlite3_bind_text(prepared, number, text, size, SQLITE_TRANSIENT);
        break;
      }
      default:
        PostDiagnostic(&statement->diagnostics, "HYC00",
                       "parameter %d: C type %d is not supported", number,
                       cType);
        return SQL_ERROR;
    }
  }
  if (rc != SQLITE_OK) {
    PostSqliteDiagnostic(&statement->diagnostics,
                         rc == SQLITE_NOMEM ? "HY001" : "HY000",
                         "parameter %d: %s", number, sqlite3_errstr(rc));
    return SQL_ERROR;
  }
  return SQL_SUCCESS;
}

}  // namespace

SQLRETURN BindParameter(Statement* statement, SQLUSMALLINT number,
                        SQLSMALLINT ioType, SQLSMALLINT cType,
                        SQLSMALLINT sqlType, SQLULEN columnSize,
                        SQLSMALLINT decimalDigits, SQLPOINTER value,
                        SQLLEN bufferLength, SQLLEN* indicator) {
  if (number == 0) {
    PostDiagnostic(&statement->diagnostics, "07009",
                   "parameters are numbered from 1");
    return SQL_ERROR;
  }
  if (ioType != SQL_PARAM_INPUT) {
    PostDiagnostic(&statement->diagnostics, "HY105",
                   "only input parameters are supported");
    return SQL_ERROR;
  }
  if (cType != SQL_C_DEFAULT && !IsKnownCType(cType)) {
    PostDiagnostic(&statement->diagnostics, "HYC00",
                   "parameter %u: C type %d is not supported", number, cType);
    return SQL_ERROR;
  }
  if (statement->parameters.size() < number) {
    statement->parameters.resize(number);
  }
  ParameterBinding& binding = statement->parameters[number - 1];
  binding.bound = true;
  binding.cType = cType;
  binding.sqlType = sqlType;
  binding.columnSize = columnSize;
  binding.decimalDigits = decimalDigits;
  binding.value = value;
  binding.bufferLength = bufferLength;
  binding.indicator = indicator;
  return SQL_SUCCESS;
}

SQLRETURN ApplyParameters(Statement* statement) {
  int count = sqlite3_bind_parameter_count(statement->prepared);
  for (int number = 1; number <= count; ++number) {
    if (static_cast<size_t>(number) > statement->parameters.size() ||
        !statement->parameters[number - 1].bound) {
      PostDiagnostic(&statement->diagnostics, "07002",
                     "parameter %d of %d is not bound", number, count);
      return SQL_ERROR;
    }
    SQLRETURN result =
        BindOne(statement, number, statement->parameters[number - 1]);
    if (result != SQL_SUCCESS) return result;
  }
  return SQL_SUCCESS;
}

}  // namespace veloran::odbc
