#include "cgi/number_reading.h"

#include <cstdio>
#include <cstdlib>

namespace veloran {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Past the digits at "p"; *count says how many.
const char* SkipDigits(const char* p, size_t* count) {
  while (IsDigit(*p)) ++p, ++*count;
  return p;
}

// Significant digits kept for the conversion.  Any double is decided by its
// first 768 significant digits plus whether anything non-zero follows them,
// which a final sticky digit records.
constexpr int kKeptDigits = 780;

// Exponents are clamped far beyond the range of a double, so that adding the
// position of the decimal point cannot overflow.
constexpr long kExponentLimit = 100000;

}  // namespace

int32_t ReadInteger(const char* text) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  int64_t magnitude = 0;
  while (IsDigit(*p)) {
    if (magnitude <= INT32_MAX) magnitude = magnitude * 10 + (*p - '0');
    ++p;
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

double ReadReal(const char* text) {
  // The number is scanned here and rewritten as "0.DIGITSeEXP" for strtod,
  // which then only ever sees that canonical form: strtod on the raw text
  // would take "inf", "nan" and hexadecimal forms, and not the d exponent.
  const char* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');

  char canonical[kKeptDigits + 40];
  int length = 0;
  canonical[length++] = negative ? '-' : '+';
  canonical[length++] = '0';
  canonical[length++] = '.';
  int keptDigits = 0;
  bool sticky = false;     // a non-zero digit was dropped
  long pointPosition = 0;  // decimal exponent of 0.DIGITS
  bool anyDigit = false;
  auto takeDigit = [&](char c, bool beforePoint) {
    anyDigit = true;
    if (keptDigits == 0 && c == '0') {
      if (!beforePoint) --pointPosition;  // a leading zero of the fraction
      return;
    }
    if (beforePoint && pointPosition < kExponentLimit) ++pointPosition;
    if (keptDigits < kKeptDigits) {
      canonical[length++] = c;
      ++keptDigits;
    } else if (c != '0') {
      sticky = true;
    }
  };
  while (IsDigit(*p)) takeDigit(*p++, true);
  if (*p == '.') {
    ++p;
    while (IsDigit(*p)) takeDigit(*p++, false);
  }
  // A sign without digits, or "." alone, is no number and reads as +0.
  if (!anyDigit) return 0.0;
  if (pointPosition < -kExponentLimit) pointPosition = -kExponentLimit;

  long exponent = 0;
  if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
    const char* q = p + 1;
    bool negativeExponent = false;
    if (*q == '+' || *q == '-') negativeExponent = (*q++ == '-');
    if (IsDigit(*q)) {
      while (IsDigit(*q)) {
        if (exponent < kExponentLimit) exponent = exponent * 10 + (*q - '0');
        ++q;
      }
      if (negativeExponent) exponent = -exponent;
    }
  }
  if (sticky) canonical[length++] = '1';
  if (keptDigits == 0) canonical[length++] = '0';
  std::snprintf(canonical + length, sizeof(canonical) - length, "e%ld",
                exponent + pointPosition);
  return std::strtod(canonical, nullptr);
}

bool IsDecimalNumber(const char* text) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  if (*p == '+' || *p == '-') ++p;
  size_t digits = 0;
  p = SkipDigits(p, &digits);
  if (*p == '.') p = SkipDigits(p + 1, &digits);
  if (digits == 0) return false;
  if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
    ++p;
    if (*p == '+' || *p == '-') ++p;
    size_t exponent = 0;
    p = SkipDigits(p, &exponent);
    if (exponent == 0) return false;
  }
  while (IsSpace(*p)) ++p;
  return *p == '\0';
}

bool IsCount(const char* text) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  if (*p == '+') ++p;
  size_t digits = 0;
  p = SkipDigits(p, &digits);
  while (IsSpace(*p)) ++p;
  return digits > 0 && *p == '\0';
}

}  // namespace veloran
