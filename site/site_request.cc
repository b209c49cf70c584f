#include "site/site_request.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cgi/output.h"

namespace veloran {

namespace {

void ReportLostReply(const char* program, int error) {
  std::fprintf(stderr, "%s: the reply did not reach standard output%s%s\n",
               program, error != 0 ? ": " : "",
               error != 0 ? std::strerror(error) : "");
}

}  // namespace

int ServeSiteRequest(const char* program, int (*answer)(const char*),
                     const char* queryString) {
  // Nothing is done for a reply that cannot be delivered.
  if (!StandardOutputIsOpen()) {
    ReportLostReply(program, EBADF);
    return kExitFailed;
  }
  int status = answer(queryString);
  int error = 0;
  if (!FlushReply(&error)) {
    ReportLostReply(program, error);
    return kExitFailed;
  }
  return status;
}

void ReportRefusedConnection(const char* program,
                             const DatabaseHandles& handles) {
  char state[6];
  char message[512];
  if (ReadConnectionDiagnostic(handles, state, message, sizeof(message))) {
    std::fprintf(stderr,
                 "%s: the data source Veloran refused the connection: %s %s\n",
                 program, state, message);
  } else {
    std::fprintf(stderr, "%s: the data source Veloran refused the connection\n",
                 program);
  }
}

void ReportDatabaseFault(const char* program, const char* what) {
  std::fprintf(stderr, "%s: %s\n", program, what);
}

}  // namespace veloran
