#include "catalogue/read_fault.h"

#include <cstdio>
#include <cstring>

#include "catalogue/fetched_text.h"

namespace veloran {

namespace {

struct ReadFault {
  bool failed = false;
  bool hasDiagnostic = false;
  char state[6] = "";
  char message[512] = "";
};

ReadFault readFault;

}  // namespace

void NoteReadFault(SQLHSTMT statement) {
  if (readFault.failed) return;
  readFault.failed = true;
  // The error log takes one line per fault.
  readFault.hasDiagnostic =
      FetchDiagnostic(SQL_NULL_HENV, SQL_NULL_HDBC, statement, readFault.state,
                      readFault.message, sizeof(readFault.message));
}

bool ReadFailed() { return readFault.failed; }

void ReportReadFault(const char* program, const char* what) {
  if (readFault.hasDiagnostic) {
    std::fprintf(stderr, "%s: %s: %s %s\n", program, what, readFault.state,
                 readFault.message);
  } else {
    std::fprintf(stderr, "%s: %s\n", program, what);
  }
}

bool ReadFaultIsMissingTable() {
  return readFault.hasDiagnostic &&
         (std::strcmp(readFault.state, "42S02") == 0 ||
          std::strcmp(readFault.state, "42P01") == 0 ||
          std::strstr(readFault.message, "no such table") != nullptr);
}

bool ReadFaultIsMissingTableOrColumn() {
  return ReadFaultIsMissingTable() ||
         (readFault.hasDiagnostic &&
          (std::strcmp(readFault.state, "42S22") == 0 ||
           std::strcmp(readFault.state, "42703") == 0 ||
           std::strstr(readFault.message, "no such column") != nullptr));
}

void ForgetReadFault() { readFault = ReadFault{}; }

}  // namespace veloran
