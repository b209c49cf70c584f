// The number reader, checked against the C library on the texts where the
// two must agree.

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cgi/number_reading.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  using namespace veloran;
  std::string text = fuzzing::InputText(data, size);
  int32_t integer = ReadInteger(text.c_str());
  double real = ReadReal(text.c_str());

  // Base-10 strtoll reads the same integers; beyond 32 bits ours saturates.
  errno = 0;
  long long expected = std::strtoll(text.c_str(), nullptr, 10);
  if (errno == 0) {
    if (expected > INT32_MAX) expected = INT32_MAX;
    if (expected < INT32_MIN) expected = INT32_MIN;
    if (integer != expected) std::abort();
  }

  // Without the letters that give strtod other forms (inf, nan, hexadecimal)
  // and without the d exponent that strtod does not know, both read the
  // same value.
  if (text.find_first_not_of("0123456789+-.eE \t\n\v\f\r") ==
      std::string::npos) {
    double c = std::strtod(text.c_str(), nullptr);
    if (!(real == c)) std::abort();
  }
  if (std::isnan(real)) std::abort();  // no text reads as not-a-number
  return 0;
}
