#include "site/star_id.h"

namespace veloran {

bool ParseStarId(const char* text, int32_t* id) {
  if (text[0] < '1' || text[0] > '9') return false;
  int64_t value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + (*p - '0');
    if (value > INT32_MAX) return false;
  }
  if (value % 100 != 0) return false;
  *id = static_cast<int32_t>(value);
  return true;
}

}  // namespace veloran
