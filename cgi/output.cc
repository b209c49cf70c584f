#include "cgi/output.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace veloran {

void WriteLine(const char* text) {
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
}

void WriteText(const char* text) { std::fputs(text, stdout); }

bool StandardOutputIsOpen() { return fcntl(STDOUT_FILENO, F_GETFL) != -1; }

void IgnoreBrokenPipes() { signal(SIGPIPE, SIG_IGN); }

bool FlushReply(int* error) {
  errno = 0;
  bool flushed = std::fflush(stdout) == 0;
  *error = errno;
  return flushed && !std::ferror(stdout);
}

GNumber::GNumber(double value) {
  std::snprintf(text, sizeof(text), "%g", value);
  // The C library writes at least two exponent digits; pad to three.
  char* exponent = std::strchr(text, 'e');
  if (exponent == nullptr) return;
  char* digits = exponent + 2;  // past the sign
  size_t digitCount = std::strlen(digits);
  if (digitCount >= 3) return;
  std::memmove(digits + 1, digits, digitCount + 1);
  digits[0] = '0';
}

}  // namespace veloran
