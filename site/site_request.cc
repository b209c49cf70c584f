#include "site/site_request.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cgi/output.h"
#include "site/html_page.h"

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
  IgnoreBrokenPipes();
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
                 "%s: the data source %s refused the connection: %s %s\n",
                 program, DataSourceName(), state, message);
  } else {
    std::fprintf(stderr, "%s: the data source %s refused the connection\n",
                 program, DataSourceName());
  }
}

void ReportDatabaseFault(const char* program, const char* what) {
  std::fprintf(stderr, "%s: %s\n", program, what);
}

bool OpenSiteDataSource(const char* program, DatabaseHandles* handles,
                        FailureWriter writeFailure) {
  switch (OpenDataSource(handles, Reading::kOneSnapshot)) {
    case Connection::kOpened:
      return true;
    case Connection::kNoHandle:
      ReportDatabaseFault(program, "no ODBC handle could be allocated");
      if (writeFailure != nullptr) {
        writeFailure(HttpStatus::kInternalError,
                     "The star database could not be read.");
      } else {
        WriteDatabaseFaultPage();
      }
      return false;
    case Connection::kRefused:
      ReportRefusedConnection(program, *handles);
      handles->Release();
      if (writeFailure != nullptr) {
        writeFailure(HttpStatus::kServiceUnavailable,
                     "The star database cannot be reached just now.");
      } else {
        WriteMessagePage(HttpStatus::kServiceUnavailable,
                         "The star database cannot be reached",
                         "<p>The star database cannot be reached just now. "
                         "Please try again later.</p>\n");
      }
      return false;
  }
  return false;
}

void WriteDatabaseFaultPage() {
  WriteMessagePage(HttpStatus::kInternalError,
                   "The star database could not be read",
                   "<p>The star database could not be read. Please try "
                   "again later.</p>\n");
}

}  // namespace veloran
