#include "driver/text_values.h"

#include <cassert>
#include <charconv>
#include <system_error>

namespace veloran::odbc {

namespace {

constexpr int64_t kExponentLimit = int64_t{1} << 40;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' ||
         c == '\v';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Strips blanks from both ends of [*begin, *end).
void Trim(const char** begin, const char** end) {
  while (*begin < *end && IsBlank(**begin)) ++*begin;
  while (*end > *begin && IsBlank((*end)[-1])) --*end;
}

// The digit at "index" of the literal's digits, integer digits first.
char DigitAt(const NumericLiteral& literal, size_t index) {
  return index < literal.integerCount
             ? literal.integerDigits[index]
             : literal.fractionDigits[index - literal.integerCount];
}

// True when every digit of the literal is 0.
bool IsZero(const NumericLiteral& literal) {
  size_t count = literal.integerCount + literal.fractionCount;
  for (size_t i = 0; i < count; ++i) {
    if (DigitAt(literal, i) != '0') return false;
  }
  return true;
}

}  // namespace

bool ParseNumericLiteral(const char* text, size_t size, NumericLiteral* out) {
  const char* p = text;
  const char* end = text + size;
  Trim(&p, &end);
  NumericLiteral literal;
  if (p < end && (*p == '+' || *p == '-')) {
    literal.negative = *p == '-';
    ++p;
  }
  // from_chars reads a '-' but no '+'.
  literal.number = literal.negative ? p - 1 : p;
  literal.integerDigits = p;
  while (p < end && IsDigit(*p)) ++p;
  literal.integerCount = static_cast<size_t>(p - literal.integerDigits);
  literal.fractionDigits = p;
  if (p < end && *p == '.') {
    ++p;
    literal.fractionDigits = p;
    while (p < end && IsDigit(*p)) ++p;
    literal.fractionCount = static_cast<size_t>(p - literal.fractionDigits);
  }
  if (literal.integerCount + literal.fractionCount == 0) return false;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool negativeExponent = false;
    if (p < end && (*p == '+' || *p == '-')) {
      negativeExponent = *p == '-';
      ++p;
    }
    if (p == end || !IsDigit(*p)) return false;
    int64_t exponent = 0;
    for (; p < end && IsDigit(*p); ++p) {
      if (exponent < kExponentLimit) exponent = exponent * 10 + (*p - '0');
    }
    if (exponent > kExponentLimit) exponent = kExponentLimit;
    literal.exponent = negativeExponent ? -exponent : exponent;
  }
  if (p != end) return false;
  literal.numberSize = static_cast<size_t>(end - literal.number);
  *out = literal;
  return true;
}

bool LiteralIntegerPart(const NumericLiteral& literal, __int128* value,
                        bool* fractionDropped) {
  *value = 0;
  *fractionDropped = false;
  if (IsZero(literal)) return true;
  const int64_t count =
      static_cast<int64_t>(literal.integerCount + literal.fractionCount);
  // Digits before the decimal point once the exponent is applied.
  const int64_t point =
      static_cast<int64_t>(literal.integerCount) + literal.exponent;
  int64_t first = 0;  // the first nonzero digit
  while (DigitAt(literal, static_cast<size_t>(first)) == '0') ++first;
  if (point - first > 20) return false;  // at least 10^20
  unsigned __int128 magnitude = 0;
  constexpr unsigned __int128 kLimit = static_cast<unsigned __int128>(1) << 64;
  for (int64_t i = first; i < point; ++i) {
    int digit = i < count ? DigitAt(literal, static_cast<size_t>(i)) - '0' : 0;
    magnitude = magnitude * 10 + static_cast<unsigned>(digit);
    if (magnitude >= kLimit) return false;
  }
  for (int64_t i = point < 0 ? 0 : point; i < count; ++i) {
    if (DigitAt(literal, static_cast<size_t>(i)) != '0') {
      *fractionDropped = true;
      break;
    }
  }
  *value = literal.negative ? -static_cast<__int128>(magnitude)
                            : static_cast<__int128>(magnitude);
  return true;
}

namespace {

template <typename Real>
bool LiteralToReal(const NumericLiteral& literal, Real* value) {
  const char* end = literal.number + literal.numberSize;
  std::from_chars_result result =
      std::from_chars(literal.number, end, *value, std::chars_format::general);
  if (result.ec == std::errc() && result.ptr == end) return true;
  if (result.ec != std::errc::result_out_of_range) return false;
  // Out of range either way: decide by the position of the first nonzero
  // digit whether the value is too large or too small.
  int64_t count =
      static_cast<int64_t>(literal.integerCount + literal.fractionCount);
  int64_t first = 0;
  while (first < count && DigitAt(literal, static_cast<size_t>(first)) == '0') {
    ++first;
  }
  int64_t leading =
      static_cast<int64_t>(literal.integerCount) + literal.exponent - first;
  if (leading > 0) return false;
  *value = literal.negative ? -Real(0) : Real(0);
  return true;
}

}  // namespace

bool LiteralToDouble(const NumericLiteral& literal, double* value) {
  return LiteralToReal(literal, value);
}

bool LiteralToFloat(const NumericLiteral& literal, float* value) {
  return LiteralToReal(literal, value);
}

int DaysInMonth(int year, int month) {
  assert(month >= 1 && month <= 12);
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leapYear = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leapYear ? 29 : kDays[month - 1];
}

namespace {

// Reads exactly "count" digits at *p into *value.
bool ReadDigits(const char** p, const char* end, int count, int* value) {
  int result = 0;
  for (int i = 0; i < count; ++i) {
    if (*p == end || !IsDigit(**p)) return false;
    result = result * 10 + (**p - '0');
    ++*p;
  }
  *value = result;
  return true;
}

bool Expect(const char** p, const char* end, char c) {
  if (*p == end || **p != c) return false;
  ++*p;
  return true;
}

bool ReadDate(const char** p, const char* end, DateTimeText* out) {
  if (!ReadDigits(p, end, 4, &out->year) || !Expect(p, end, '-') ||
      !ReadDigits(p, end, 2, &out->month) || !Expect(p, end, '-') ||
      !ReadDigits(p, end, 2, &out->day)) {
    return false;
  }
  if (out->year < 1 || out->month < 1 || out->month > 12 || out->day < 1 ||
      out->day > DaysInMonth(out->year, out->month)) {
    return false;
  }
  out->hasDate = true;
  return true;
}

bool ReadTime(const char** p, const char* end, DateTimeText* out) {
  if (!ReadDigits(p, end, 2, &out->hour) || !Expect(p, end, ':') ||
      !ReadDigits(p, end, 2, &out->minute) || !Expect(p, end, ':') ||
      !ReadDigits(p, end, 2, &out->second)) {
    return false;
  }
  if (out->hour > 23 || out->minute > 59 || out->second > 59) return false;
  if (*p < end && **p == '.') {
    ++*p;
    if (*p == end || !IsDigit(**p)) return false;
    int digits = 0;
    for (; *p < end && IsDigit(**p); ++*p) {
      if (digits < 9) {
        out->nanoseconds = out->nanoseconds * 10 + (**p - '0');
        ++digits;
      } else if (**p != '0') {
        out->fractionCut = true;
      }
    }
    for (; digits < 9; ++digits) out->nanoseconds *= 10;
  }
  out->hasTime = true;
  return true;
}

}  // namespace

bool ParseDateTimeText(const char* text, size_t size, DateTimeText* out) {
  const char* p = text;
  const char* end = text + size;
  Trim(&p, &end);
  DateTimeText value;
  // A date starts with four digits and a '-', a time with two and a ':'.
  if (end - p >= 3 && p[2] == ':') {
    if (!ReadTime(&p, end, &value)) return false;
  } else {
    if (!ReadDate(&p, end, &value)) return false;
    if (p < end && (*p == ' ' || *p == 'T')) {
      ++p;
      if (!ReadTime(&p, end, &value)) return false;
    }
  }
  if (p != end) return false;
  *out = value;
  return true;
}

}  // namespace veloran::odbc
