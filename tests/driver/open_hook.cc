#include "tests/driver/open_hook.h"

#include <dlfcn.h>
#include <fcntl.h>

#include <cstdarg>
#include <mutex>

namespace veloran::driver_testing {

namespace {

std::mutex mutex;
OpenSteps armed;

// Runs the armed step for an open of "path" with "flags", once.
void AfterOpen(const char* path, int flags) {
  std::function<void()> step;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (armed.path.empty() || armed.path != path) return;
    std::function<void()>& which =
        (flags & O_NONBLOCK) != 0 ? armed.afterCheck : armed.afterSqlite;
    step.swap(which);
  }
  if (step) step();
}

using OpenFunction = int (*)(const char*, int, ...);

int OpenThrough(const char* real, const char* path, int flags, mode_t mode) {
  auto open = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, real));
  int fd = open(path, flags, mode);
  if (fd >= 0) AfterOpen(path, flags);
  return fd;
}

}  // namespace

void ArmOpenSteps(const OpenSteps& steps) {
  std::lock_guard<std::mutex> lock(mutex);
  armed = steps;
}

void DisarmOpenSteps() {
  std::lock_guard<std::mutex> lock(mutex);
  armed = OpenSteps();
}

}  // namespace veloran::driver_testing

extern "C" int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  mode_t mode =
      (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(arguments, mode_t) : 0;
  va_end(arguments);
  return veloran::driver_testing::OpenThrough("open", path, flags, mode);
}

extern "C" int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  mode_t mode =
      (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(arguments, mode_t) : 0;
  va_end(arguments);
  return veloran::driver_testing::OpenThrough("open64", path, flags, mode);
}
