#ifndef VELORAN_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define VELORAN_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <string>

namespace veloran::fuzzing {

// The input as a terminated text, cut at its first byte 0 (a query string
// cannot hold one).
inline std::string InputText(const unsigned char* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  return text.substr(0, text.find('\0'));
}

}  // namespace veloran::fuzzing

#endif  // VELORAN_TESTS_FUZZ_FUZZ_SUPPORT_H_
