#ifndef VELORAN_DRIVER_CONVERSIONS_H_
#define VELORAN_DRIVER_CONVERSIONS_H_

#include <sql.h>
#include <sqlext.h>

#include <cassert>
#include <cstddef>
#include <cstdint>

#include "driver/c_types.h"

// The conversion of one SQLite column value into one C buffer of the
// application, by the rules ODBC gives for SQL-to-C conversions: numbers are
// read straight from the stored integer or double (never through text),
// texts are read exactly (numbers with surrounding blanks, dates as
// yyyy-mm-dd, times as hh:mm:ss, timestamps as both), and anything that
// does not fit is reported instead of wrapped or rounded away.
//
// The functions touch no SQLite or ODBC handle and allocate nothing; their
// result depends on their arguments alone, except that a time of day read
// as a timestamp takes today's date from the clock, as ODBC asks.

namespace veloran::odbc {

// One value of a result row, as the sqlite3_column_* functions give it.
// "bytes" and "size" describe a text (not terminated) or a blob; they are
// read only for SQLITE_TEXT and SQLITE_BLOB.
struct SqliteValue {
  int type = 0;  // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB
  int64_t integer = 0;
  double real = 0.0;
  const unsigned char* bytes = nullptr;
  size_t size = 0;
};

// The outcome of a conversion, one SQLSTATE each.
enum class ConversionStatus {
  kOk,               // the value was written whole
  kTruncated,        // 01004: text or bytes cut to the buffer
  kFractionDropped,  // 01S07: a fraction or a time of day was dropped
  kOutOfRange,       // 22003: the value does not fit the C type
  kNotAValue,        // 22018: a text that is no number, date or time
  kRestricted,       // 07006: no conversion between these types
  kUnknownType,      // HY003: a C type this driver does not know
};

// What each status means to SQLGetData and to a bound column, one line
// each, in the order of ConversionStatus: its SQLSTATE (the text is
// StandardText's), and whether the value was delivered: the buffer and the
// length indicator written, the call successful (with the state as a
// warning unless kOk).  An error leaves both untouched.
struct ConversionStatusRule {
  ConversionStatus status;
  const char* state;
  bool delivered;
};

inline constexpr ConversionStatusRule kConversionStatusRules[] = {
    {ConversionStatus::kOk, "00000", true},
    {ConversionStatus::kTruncated, "01004", true},
    {ConversionStatus::kFractionDropped, "01S07", true},
    {ConversionStatus::kOutOfRange, "22003", false},
    {ConversionStatus::kNotAValue, "22018", false},
    {ConversionStatus::kRestricted, "07006", false},
    {ConversionStatus::kUnknownType, "HY003", false},
};

inline const ConversionStatusRule& RuleOf(ConversionStatus status) {
  const ConversionStatusRule& rule =
      kConversionStatusRules[static_cast<int>(status)];
  assert(rule.status == status);
  return rule;
}

// The SQLSTATE of a status ("00000" for kOk).
inline const char* ConversionState(ConversionStatus status) {
  return RuleOf(status).state;
}

// True when a conversion that ended in "status" delivered its value.
inline bool Delivered(ConversionStatus status) {
  return RuleOf(status).delivered;
}

struct ConversionResult {
  ConversionStatus status = ConversionStatus::kOk;
  // For kOk, kTruncated and kFractionDropped: what goes into the length
  // indicator.  For texts and bytes, the length of what remained from
  // "offset" before this call (bytes; for SQL_C_WCHAR, bytes of UTF-16);
  // for fixed-size types, the size of the C type.
  SQLLEN indicator = 0;
  // Source bytes delivered by this call (for texts and bytes in pieces).
  size_t consumed = 0;
  // True when everything from "offset" on was delivered: a further
  // SQLGetData on the column then has no more data.
  bool complete = true;
};

// Writes "value" converted to "cType" into "target", a buffer of
// "bufferLength" bytes (read only for SQL_C_CHAR, SQL_C_WCHAR and
// SQL_C_BINARY; fixed-size types use their own size).  "offset" is the
// number of source bytes already delivered by earlier calls (texts and
// bytes retrieved in pieces); 0 otherwise.  "target" may be null when only
// the length is wanted.  Never writes outside the buffer; on an error
// status the buffer's contents are unspecified but stay within it.
// "cType" must be resolved: SQL_C_DEFAULT is the caller's business.
ConversionResult ConvertValue(const SqliteValue& value, SQLSMALLINT cType,
                              void* target, SQLLEN bufferLength, size_t offset);

// True for the C types that ConvertValue knows.
bool IsKnownCType(SQLSMALLINT cType);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_CONVERSIONS_H_
