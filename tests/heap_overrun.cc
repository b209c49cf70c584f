// A CGI program with a known memory error, one read past a heap block, and
// otherwise a well-behaved reply: the memory check must fail on it.

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main() {
  // The index is read at run time, so that the compiler cannot see the
  // overrun and refuse it.
  volatile size_t size = 16;
  char* block = static_cast<char*>(std::malloc(size));
  if (block == nullptr) return 1;
  std::memset(block, 'x', size);
  char past = block[size];
  std::printf("Content-type: text/plain\n\n%s\n", past == 'x' ? "x" : "-");
  std::free(block);
  return 0;
}
