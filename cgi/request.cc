#include "cgi/request.h"

#include <sql.h>
#include <sqlext.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "catalogue/data_source.h"
#include "catalogue/read_fault.h"
#include "cgi/number_reading.h"
#include "cgi/output.h"
#include "cgi/page_frame.h"
#include "cgi/query_params.h"
#include "cgi/search_window.h"
#include "search/search_pages.h"

namespace veloran {

namespace {

constexpr char kProgram[] = "neighbor_search";
constexpr int kExitFailure = -1;

void WriteUsageReply() {
  WriteLine("Content-type: text/plain");
  WriteLine("");
  WriteLine(
      "This CGI program must be passed a query string containing either an "
      "\"ID=###00\" clause,");
  WriteLine("or \"X=###\", \"Y=###\", and \"Z=###\" clauses,");
  WriteLine("or clauses for min. and max. RA and Dec components.");
}

void WriteConnectionRefusedReply(const DatabaseHandles& handles) {
  WriteText("Content-type: text/plain\n\n");
  WriteText("SQLConnect() failed!!\n");
  char state[6];
  char message[512];
  if (ReadConnectionDiagnostic(handles, state, message, sizeof(message))) {
    std::printf("SQLSTATE = '%s'\n", state);
    std::printf("Error message = '%s'\n", message);
  }
}

// A present but empty value counts as absent here.
const char* FindNonEmptyParam(const char* name) {
  const char* value = FindQueryParam(name);
  return (value != nullptr && value[0] != '\0') ? value : nullptr;
}

}  // namespace

int AnswerSearchRequest(const char* queryString) {
  if (queryString == nullptr) {
    WriteUsageReply();
    return kExitFailure;
  }
  DecodeQueryString(queryString);

  int32_t starId = 0;
  SearchWindow& window = searchWindow;
  if (const char* id = FindNonEmptyParam("ID")) {
    starId = ReadInteger(id);
    if (starId <= 0 || starId % 100 != 0) {
      WritePlainReply(
          "Invalid \"ID=###\" clause.  Must be a multiple of 100 greater "
          "than 0.");
      return kExitFailure;
    }
  } else if (const char* x = FindNonEmptyParam("X")) {
    window.centre.x = ReadReal(x);
    if (const char* y = FindNonEmptyParam("Y")) {
      window.centre.y = ReadReal(y);
      if (const char* z = FindNonEmptyParam("Z")) window.centre.z = ReadReal(z);
    }
  }

  if (!ParseSearchWindow(&window)) return kExitFailure;

  // Every reply that follows a failure is written after the handles are
  // released, except the refused connection's, which reads the diagnostic
  // from them first.
  DatabaseHandles handles;
  switch (OpenDataSource(&handles)) {
    case Connection::kOpened:
      break;
    case Connection::kNoHandle:
      WriteNoMatchPage(starId);
      return kExitFailure;
    case Connection::kRefused:
      WriteConnectionRefusedReply(handles);
      handles.Release();
      return 0;
  }

  bool written = true;
  if (starId != 0) {
    written = WriteStarSearchPage(handles.statement, starId, window);
  } else {
    WriteCoordinateSearchPage(handles.statement, window);
  }

  handles.Release();
  if (!written) WriteNoMatchPage(starId);
  // The page says that it is not the whole answer; the status says so too.
  if (ReadFailed()) {
    ReportReadFault(kProgram, "the star database could not be read");
    return kExitFailure;
  }
  return written ? 0 : kExitFailure;
}

namespace {

void ReportLostReply(int error) {
  std::fprintf(stderr, "%s: the reply did not reach standard output%s%s\n",
               kProgram, error != 0 ? ": " : "",
               error != 0 ? std::strerror(error) : "");
}

}  // namespace

int ServeRequest(const char* queryString) {
  IgnoreBrokenPipes();
  // Nothing is done for a reply that cannot be delivered.
  if (!StandardOutputIsOpen()) {
    ReportLostReply(EBADF);
    return kExitFailure;
  }
  int status = AnswerSearchRequest(queryString);
  int error = 0;
  if (!FlushReply(&error)) {
    ReportLostReply(error);
    return kExitFailure;
  }
  return status;
}

}  // namespace veloran
