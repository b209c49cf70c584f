#include "cgi/request_variables.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

namespace veloran {

namespace {

const RequestVariableList* requestList = nullptr;

[[maybe_unused]] bool IsRequestVariable(const char* name) {
  for (const char* known : kRequestVariableNames) {
    if (std::strcmp(known, name) == 0) return true;
  }
  return false;
}

}  // namespace

const char* RequestVariable(const char* name) {
  assert(IsRequestVariable(name));
  if (requestList == nullptr) return std::getenv(name);
  for (int i = 0; i < requestList->count; ++i) {
    if (std::strcmp(requestList->names[i], name) == 0) {
      return requestList->values[i];
    }
  }
  return nullptr;
}

void UseRequestVariables(const RequestVariableList* list) {
  requestList = list;
}

}  // namespace veloran
