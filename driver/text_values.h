#ifndef VELORAN_DRIVER_TEXT_VALUES_H_
#define VELORAN_DRIVER_TEXT_VALUES_H_

#include <cstddef>
#include <cstdint>

// Numbers, dates and times read exactly from the text a column holds, for
// the conversions of text to numeric and date-time C types.  Hand-written
// rather than strtod and sscanf: those depend on the process's locale,
// which the driver does not own, and accept forms ("inf", "nan", "0x10")
// that are no numeric literals.

namespace veloran::odbc {

// A numeric literal: optional blanks, an optional sign, digits with an
// optional decimal point (at least one digit in all), an optional exponent
// (e or E, optional sign, digits), optional blanks.
struct NumericLiteral {
  bool negative = false;
  const char* integerDigits = nullptr;  // the digits before the point
  size_t integerCount = 0;
  const char* fractionDigits = nullptr;  // the digits after the point
  size_t fractionCount = 0;
  int64_t exponent = 0;  // clamped to +-2^40, far beyond any finite value
  const char* number = nullptr;  // the literal without blanks and '+'
  size_t numberSize = 0;
};

// Reads "text" as a whole.  False when it is not a numeric literal.
bool ParseNumericLiteral(const char* text, size_t size, NumericLiteral* out);

// The literal's integer part, truncated toward zero.  Returns false when
// its magnitude is 2^64 or more.  *fractionDropped tells whether a nonzero
// fraction was cut off.
bool LiteralIntegerPart(const NumericLiteral& literal, __int128* value,
                        bool* fractionDropped);

// The nearest double or float, rounded once.  Returns false when the
// magnitude is beyond the type's largest finite value; a magnitude below
// its smallest becomes a zero of the literal's sign.
bool LiteralToDouble(const NumericLiteral& literal, double* value);
bool LiteralToFloat(const NumericLiteral& literal, float* value);

// A date, a time of day or both, as written by SQLite's date and time
// functions: "yyyy-mm-dd", "hh:mm:ss" with an optional fraction of up to
// any number of digits, or "yyyy-mm-dd hh:mm:ss[.fff]" (or with a T),
// surrounded by optional blanks.  Dates are checked against the calendar
// (2023-02-29 is none), hours 0-23, minutes and seconds 0-59.
struct DateTimeText {
  bool hasDate = false;
  bool hasTime = false;
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
  uint32_t nanoseconds = 0;  // the fraction's first nine digits
  bool fractionCut = false;  // nonzero digits beyond the ninth
};

// False when "text" is none of the three forms.
bool ParseDateTimeText(const char* text, size_t size, DateTimeText* out);

// The days of "month" (1-12) in "year" of the Gregorian calendar, leap
// years (every fourth, but not every hundredth unless every four hundredth)
// counted.
int DaysInMonth(int year, int month);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_TEXT_VALUES_H_
