#ifndef VELORAN_TESTS_DRIVER_OPEN_HOOK_H_
#define VELORAN_TESTS_DRIVER_OPEN_HOOK_H_

#include <functional>
#include <string>

// The test program's own open() and open64(), which the driver and SQLite
// call in its place: each call goes on to the C library's, and after the
// driver's check opens "path" (without blocking) or SQLite opens it, the
// armed step runs once, so that a test can replace the file at exactly
// those moments.  Unarmed, they only pass calls on.

namespace veloran::driver_testing {

struct OpenSteps {
  std::string path;
  std::function<void()> afterCheck;
  std::function<void()> afterSqlite;
};

// Arms the steps until Disarm (or the next Arm).
void ArmOpenSteps(const OpenSteps& steps);
void DisarmOpenSteps();

}  // namespace veloran::driver_testing

#endif  // VELORAN_TESTS_DRIVER_OPEN_HOOK_H_
