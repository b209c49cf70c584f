// The query decoder and its lookups.

#include <cstdlib>
#include <cstring>
#include <string>

#include "cgi/query_params.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  using namespace veloran;
  std::string query = fuzzing::InputText(data, size);
  ClearQueryParams();
  int appended = DecodeQueryString(query.c_str());

  int count = 0;
  for (const QueryParam* p = queryParams.first; p != nullptr; p = p->next) {
    ++count;
    size_t nameLength = std::strlen(p->name);
    // Names are taken raw: 1 to 255 bytes, never holding a delimiter.
    if (nameLength == 0 || nameLength > 255 ||
        std::strpbrk(p->name, "=&") != nullptr) {
      std::abort();
    }
    // A raw value of 511 bytes decodes to at most 1022 (doubled quotes).
    if (std::strlen(p->value) > 1022) std::abort();
    // The first pair of a name is the one that is found.
    const char* found = FindQueryParam(p->name);
    if (found == nullptr) std::abort();
  }
  if (count != appended) std::abort();
  for (const char* name :
       {"ID", "X", "Y", "Z", "ly", "minLY", "minRAHour", "maxDecSec", ""}) {
    FindQueryParam(name);
  }
  ClearQueryParams();
  return 0;
}
