#include "cgi/whole_number.h"

#include <cassert>

namespace veloran {

bool IsWholeNumber(const char* text) {
  if (text[0] == '0') return text[1] == '\0';
  const char* p = text;
  while (*p >= '0' && *p <= '9') ++p;
  return p != text && *p == '\0';
}

bool ReadWholeNumber(const char* text, int64_t low, int64_t high,
                     int64_t* value) {
  assert(0 <= low && low <= high && high < 1000000000000000000);
  if (!IsWholeNumber(text)) return false;
  // Within the digits allowed the value cannot overflow; more are a value
  // above every "high", since no number starts with a zero.
  int64_t number = 0;
  for (int i = 0; text[i] != '\0'; ++i) {
    if (i == kMaxWholeNumberDigits) return false;
    number = number * 10 + (text[i] - '0');
  }
  if (number < low || number > high) return false;
  *value = number;
  return true;
}

}  // namespace veloran
