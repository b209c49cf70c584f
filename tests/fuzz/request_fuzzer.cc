// The whole request, from a query string to the finished reply, in-process
// against a small real database through the real driver manager and
// driver (the data source that ODBCSYSINI and ODBCINI name).

#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "catalogue/catalogue_names.h"
#include "catalogue/read_fault.h"
#include "cgi/query_params.h"
#include "cgi/request.h"
#include "cgi/search_window.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/reply_check.h"

namespace {

// A scratch file that standard output is redirected to.
int replyFd = -1;

// Takes what the request wrote and empties the scratch file for the next.
std::string TakeReply() {
  std::fflush(stdout);
  off_t size = lseek(replyFd, 0, SEEK_END);
  std::string text(static_cast<size_t>(size), '\0');
  if (pread(replyFd, text.data(), text.size(), 0) != size) std::abort();
  if (ftruncate(replyFd, 0) != 0 || lseek(replyFd, 0, SEEK_SET) != 0) {
    std::abort();
  }
  return text;
}

// Checks that the request ended with the program's own status and one
// complete reply, and returns the reply.
std::string CheckReply(int status) {
  std::string text = TakeReply();
  std::string why;
  if (status != 0 && status != -1) std::abort();
  if (!veloran::testing::IsCompleteReply(text, &why)) {
    std::fprintf(stderr, "request_fuzzer: %s\n", why.c_str());
    std::abort();
  }
  return text;
}

// The window's checks share their code, and so do the two pages' headings
// and listings: coverage alone does not tell one message, or one shape of
// page, from another, and the fuzzer would keep no input for most of them.
// Each kind of reply therefore reaches a function of its own.
template <size_t kind>
__attribute__((noinline)) void ReachKind() {
  asm volatile("");
}

template <size_t... kinds>
constexpr std::array<void (*)(), sizeof...(kinds)> KindFunctions(
    std::index_sequence<kinds...>) {
  return {&ReachKind<kinds>...};
}

// Texts that tell the plain replies apart.
constexpr const char* kPlainReplies[] = {
    "Invalid \"ID=###\" clause.",
    "Search radius must be at least",
    "Minimum search radius cannot be greater",
    "Minimum right ascension hours",
    "Minimum right ascension minutes",
    "Minimum right ascension seconds",
    "Maximum right ascension hours",
    "Maximum right ascension minutes",
    "Maximum right ascension seconds",
    "Minimum declination degrees",
    "Minimum declination minutes",
    "Minimum declination seconds",
    "Maxmimum declination degrees",
    "Maximum declination minutes",
    "Maximum declination seconds",
    "Minimum right ascension cannot be greater",
    "Minimum declination cannot be greater",
};
constexpr size_t kPlainKinds = sizeof(kPlainReplies) / sizeof(kPlainReplies[0]);
// After them: the no-match page, then the result pages by star or point,
// with or without a distance range, a sky window and neighbours (16).
constexpr size_t kKinds = kPlainKinds + 1 + 16;

void ReachReplyKind(const std::string& reply) {
  static constexpr auto reach =
      KindFunctions(std::make_index_sequence<kKinds>());
  for (size_t i = 0; i < kPlainKinds; ++i) {
    if (reply.find(kPlainReplies[i]) != std::string::npos) {
      reach[i]();
      return;
    }
  }
  if (reply.find("<TITLE>Veloran search results</TITLE>") !=
      std::string::npos) {
    reach[kPlainKinds]();
    return;
  }
  size_t shape = 0;
  if (reply.find("<TITLE>Veloran neighbor search results") !=
      std::string::npos) {
    shape |= 8;
  }
  if (reply.find("<H3>Stars between ") != std::string::npos) shape |= 4;
  if (reply.find(" Ascensions between ") != std::string::npos ||
      reply.find(" Declinations between ") != std::string::npos) {
    shape |= 2;
  }
  if (reply.find("No neighboring stars") != std::string::npos) shape |= 1;
  reach[kPlainKinds + 1 + shape]();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::getenv("ODBCSYSINI") == nullptr) {
    std::fprintf(stderr,
                 "request_fuzzer: set ODBCSYSINI and ODBCINI to a data source "
                 "Veloran (scripts/fuzz does)\n");
    std::exit(1);
  }
  // One connection held open for the whole run keeps the driver and the
  // dialect extension loaded, so that each request's own connection does
  // not load them afresh; the requests still connect and disconnect as the
  // program does.
  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
  SQLCHAR dsn[] = "Veloran";
  SQLCHAR empty[] = "";
  SQLRETURN connected = SQL_ERROR;
  if (SQLAllocEnv(&environment) == SQL_SUCCESS &&
      SQLAllocConnect(environment, &connection) == SQL_SUCCESS) {
    connected = SQLConnect(connection, dsn, SQL_NTS, empty, 0, empty, 0);
  }
  if (connected != SQL_SUCCESS && connected != SQL_SUCCESS_WITH_INFO) {
    std::fprintf(stderr,
                 "request_fuzzer: cannot connect to the data source Veloran\n");
    std::exit(1);
  }
  // The replies go to a scratch file instead of the terminal.
  FILE* scratch = std::tmpfile();
  if (scratch == nullptr) std::exit(1);
  replyFd = dup(fileno(scratch));
  if (dup2(replyFd, STDOUT_FILENO) < 0) std::exit(1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  using namespace veloran;
  std::string query = fuzzing::InputText(data, size);
  ClearQueryParams();
  searchWindow = SearchWindow{};
  ForgetReadFault();
  int status = ServeRequest(query.c_str());
  if (catalogueNames.names != nullptr) std::abort();  // freed by the page
  catalogueNames.count = 0;
  ReachReplyKind(CheckReply(status));
  return 0;
}
