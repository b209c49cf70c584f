#ifndef VELORAN_DRIVER_STORED_NUMBERS_H_
#define VELORAN_DRIVER_STORED_NUMBERS_H_

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "driver/c_types.h"
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

// A stored integer, or a stored real, into T: an integer type, float or
// double, by the rules above.
template <typename T>
inline ConversionStatus NumberFromInteger(int64_t value, T* out) {
  if constexpr (std::is_floating_point_v<T>) {
    *out = static_cast<T>(value);
    return ConversionStatus::kOk;
  } else {
    return IntegerFromInteger(value, out);
  }
}

template <typename T>
inline ConversionStatus NumberFromReal(double value, T* out) {
  if constexpr (std::is_same_v<T, double>) {
    *out = value;
    return ConversionStatus::kOk;
  } else if constexpr (std::is_same_v<T, float>) {
    return FloatFromReal(value, out);
  } else {
    return IntegerFromReal(value, out);
  }
}

namespace stored_numbers_internal {

template <typename T>
inline bool Deliver(ConversionStatus status, T number, void* target,
                    ConversionResult* result) {
  bool written = Delivered(status);
  assert(status != ConversionStatus::kTruncated);  // a number is never cut
  if (written && target != nullptr) std::memcpy(target, &number, sizeof(T));
  result->status = status;
  result->indicator = written ? static_cast<SQLLEN>(sizeof(T)) : 0;
  result->consumed = 0;
  result->complete = true;
  return true;
}

template <typename T>
inline bool ToNumber(const SqliteValue& value, void* target,
                     ConversionResult* result) {
  T number = 0;
  ConversionStatus status = value.type == SQLITE_INTEGER
                                ? NumberFromInteger(value.integer, &number)
                                : NumberFromReal(value.real, &number);
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
  return VisitCNumberType(cType, [&](auto number) {
    ToNumber<typename decltype(number)::Type>(value, target, result);
  });
}

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_STORED_NUMBERS_H_
