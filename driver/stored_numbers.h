#ifndef VELORAN_DRIVER_STORED_NUMBERS_H_
#define VELORAN_DRIVER_STORED_NUMBERS_H_

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "driver/conversions.h"

// The conversions of a stored INTEGER or REAL into the fixed-size numeric C
// types: the one path of every row that a scan of numbers takes, defined
// here, inline, so that the fetch of bound columns pays no call for it.
// ConvertValue uses the same functions for these cases.

namespace veloran::odbc {

// 2^k for a type whose largest value is 2^k - 1, as a double (exact).
template <typename T>
constexpr double UpperBoundOf() {
  return static_cast<double>(std::numeric_limits<T>::max() / 2 + 1) * 2.0;
}

// A stored integer into integer type T: out of range is an error, never a
// wrapped value.
template <typename T>
inline ConversionStatus IntegerFromInteger(int64_t value, T* out) {
  constexpr __int128 kMin = std::numeric_limits<T>::min();
  constexpr __int128 kMax = std::numeric_limits<T>::max();
  if (value < kMin || value > kMax) return ConversionStatus::kOutOfRange;
  *out = static_cast<T>(value);
  return ConversionStatus::kOk;
}

// A stored real into integer type T: the fraction is dropped (01S07), and
// a whole part out of range, or not a number, is an error.
template <typename T>
inline ConversionStatus IntegerFromReal(double value, T* out) {
  if (std::isnan(value)) return ConversionStatus::kOutOfRange;
  double whole = std::trunc(value);
  if (!(whole >= static_cast<double>(std::numeric_limits<T>::min()) &&
        whole < UpperBoundOf<T>())) {
    return ConversionStatus::kOutOfRange;
  }
  *out = static_cast<T>(whole);
  return whole != value ? ConversionStatus::kFractionDropped
                        : ConversionStatus::kOk;
}

// A stored real into a float: the nearest float, in one rounding; a finite
// value beyond the float's range is an error.
inline ConversionStatus FloatFromReal(double value, float* out) {
  float real = static_cast<float>(value);
  if (std::isinf(real) && !std::isinf(value)) {
    return ConversionStatus::kOutOfRange;
  }
  *out = real;
  return ConversionStatus::kOk;
}

namespace stored_numbers_internal {

template <typename T>
inline bool Deliver(ConversionStatus status, T number, void* target,
                    ConversionResult* result) {
  bool written = status == ConversionStatus::kOk ||
                 status == ConversionStatus::kFractionDropped;
  if (written && target != nullptr) std::memcpy(target, &number, sizeof(T));
  result->status = status;
  result->indicator = written ? static_cast<SQLLEN>(sizeof(T)) : 0;
  result->consumed = 0;
  result->complete = true;
  return true;
}

template <typename T>
inline bool ToIntegerType(const SqliteValue& value, void* target,
                          ConversionResult* result) {
  T number = 0;
  ConversionStatus status = value.type == SQLITE_INTEGER
                                ? IntegerFromInteger(value.integer, &number)
                                : IntegerFromReal(value.real, &number);
  return Deliver(status, number, target, result);
}

}  // namespace stored_numbers_internal

// Converts "value", a stored INTEGER or REAL, into "cType" if that is an
// integer type, SQL_C_FLOAT or SQL_C_DOUBLE, writing *result as
// ConvertValue would, and returns true.  Returns false, doing nothing, for
// any other value or type.
inline bool ConvertStoredNumber(const SqliteValue& value, SQLSMALLINT cType,
                                void* target, ConversionResult* result) {
  using namespace stored_numbers_internal;
  if (value.type != SQLITE_INTEGER && value.type != SQLITE_FLOAT) return false;
  switch (cType) {
    case SQL_C_STINYINT:
    case SQL_C_TINYINT:
      return ToIntegerType<int8_t>(value, target, result);
    case SQL_C_UTINYINT:
      return ToIntegerType<uint8_t>(value, target, result);
    case SQL_C_SSHORT:
    case SQL_C_SHORT:
      return ToIntegerType<int16_t>(value, target, result);
    case SQL_C_USHORT:
      return ToIntegerType<uint16_t>(value, target, result);
    case SQL_C_SLONG:
    case SQL_C_LONG:
      return ToIntegerType<int32_t>(value, target, result);
    case SQL_C_ULONG:
      return ToIntegerType<uint32_t>(value, target, result);
    case SQL_C_SBIGINT:
      return ToIntegerType<int64_t>(value, target, result);
    case SQL_C_UBIGINT:
      return ToIntegerType<uint64_t>(value, target, result);
    case SQL_C_DOUBLE: {
      double real = value.type == SQLITE_INTEGER
                        ? static_cast<double>(value.integer)
                        : value.real;
      return Deliver(ConversionStatus::kOk, real, target, result);
    }
    case SQL_C_FLOAT: {
      float real = 0.0f;
      ConversionStatus status = ConversionStatus::kOk;
      if (value.type == SQLITE_INTEGER) {
        real = static_cast<float>(value.integer);
      } else {
        status = FloatFromReal(value.real, &real);
      }
      return Deliver(status, real, target, result);
    }
    default:
      return false;
  }
}

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_STORED_NUMBERS_H_
