#ifndef VELORAN_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define VELORAN_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <cstdlib>
#include <string>

#include "cgi/query_params.h"

namespace veloran::fuzzing {

// The input as a terminated text, cut at its first byte 0 (a query string
// cannot hold one).
inline std::string InputText(const unsigned char* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  return text.substr(0, text.find('\0'));
}

// Releases the process-wide query parameter list between inputs.
inline void ClearQueryParams() {
  QueryParam* param = queryParams.first;
  while (param != nullptr) {
    QueryParam* next = param->next;
    std::free(param->name);
    std::free(param->value);
    std::free(param);
    param = next;
  }
  queryParams = QueryParamList{};
}

}  // namespace veloran::fuzzing

#endif  // VELORAN_TESTS_FUZZ_FUZZ_SUPPORT_H_
