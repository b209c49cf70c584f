#include "catalogue/read_fault.h"

#include <cstdio>
#include <cstring>

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
  SQLCHAR state[20] = "";
  SQLINTEGER nativeError = 0;
  SQLSMALLINT messageLength = 0;
  SQLRETURN result = SQLError(
      SQL_NULL_HENV, SQL_NULL_HDBC, statement, state, &nativeError,
      reinterpret_cast<SQLCHAR*>(readFault.message),
      static_cast<SQLSMALLINT>(sizeof(readFault.message) - 1), &messageLength);
  if (result != SQL_SUCCESS && result != SQL_SUCCESS_WITH_INFO) {
    readFault.message[0] = '\0';
    return;
  }
  readFault.hasDiagnostic = true;
  std::snprintf(readFault.state, sizeof(readFault.state), "%s",
                reinterpret_cast<const char*>(state));
  readFault.message[sizeof(readFault.message) - 1] = '\0';
  // The error log takes one line per fault.
  for (char* c = readFault.message; *c != '\0'; ++c) {
    if (*c == '\n' || *c == '\r') *c = ' ';
  }
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
          std::strstr(readFault.message, "no such table") != nullptr);
}

void ForgetReadFault() { readFault = ReadFault{}; }

}  // namespace veloran
