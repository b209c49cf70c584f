#include "site/star_id.h"

#include "cgi/whole_number.h"

namespace veloran {

bool ParseStarId(const char* text, int32_t* id) {
  int64_t value = 0;
  if (!ReadWholeNumber(text, 100, INT32_MAX, &value) || value % 100 != 0) {
    return false;
  }
  *id = static_cast<int32_t>(value);
  return true;
}

}  // namespace veloran
