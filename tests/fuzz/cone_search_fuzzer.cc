// The cone search's whole request, from a query string to the finished
// VOTable, in-process against a small real database through the real
// driver manager and driver (the data source that ODBCSYSINI and ODBCINI
// name): every reply must be one whole VOTable, UTF-8, with nothing of the
// query written back but escaped.

#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalogue/catalogue_names.h"
#include "catalogue/read_fault.h"
#include "cgi/query_params.h"
#include "site/cone_search.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/votable_check.h"

namespace {

// A scratch file that standard output is redirected to.
int replyFd = -1;

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

// Reaches a function of its own for each kind of reply, so that the
// fuzzer keeps an input for each: a table (with rows or not, overflowing
// or not) and an error.
template <int kind>
__attribute__((noinline)) void ReachKind() {
  asm volatile("");
}

void ReachReplyKind(const std::string& reply) {
  if (reply.find("<INFO name=\"Error\"") != std::string::npos) {
    ReachKind<0>();
  } else if (reply.find("value=\"OVERFLOW\"") != std::string::npos) {
    ReachKind<1>();
  } else if (reply.find("<TR>") != std::string::npos) {
    ReachKind<2>();
  } else {
    ReachKind<3>();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::getenv("ODBCSYSINI") == nullptr) {
    std::fprintf(stderr,
                 "cone_search_fuzzer: set ODBCSYSINI and ODBCINI to a data "
                 "source Veloran (scripts/fuzz does)\n");
    std::exit(1);
  }
  // One connection held open for the whole run keeps the driver loaded.
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
                 "cone_search_fuzzer: cannot connect to the data source "
                 "Veloran\n");
    std::exit(1);
  }
  // The whole sky is allowed, so that every radius reaches the scan.
  setenv("VELORAN_CONE_MAX_SR", "180", 1);
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
  ForgetReadFault();
  int status = AnswerConeRequest(query.c_str());
  if (status != 0 && status != -1) std::abort();
  if (catalogueNames.names != nullptr) std::abort();  // freed by the answer
  std::string reply = TakeReply();
  std::string why;
  // RESPONSEFORMAT=csv gets CSV, or its error as plain text (400): a whole
  // header, then its body.
  std::string header = reply.substr(0, reply.find("\n\n"));
  if (header.find("\nContent-type: text/csv") != std::string::npos ||
      header.rfind("Content-type: text/csv", 0) == 0 ||
      header.find("Content-type: text/plain") != std::string::npos) {
    if (header.size() == reply.size()) std::abort();
  } else if (!testing::IsCompleteVoTable(reply, "200", &why)) {
    std::fprintf(stderr, "cone_search_fuzzer: %s\n", why.c_str());
    std::abort();
  }
  // Markup of the query comes back only escaped.
  if (reply.find("<script") != std::string::npos ||
      reply.find("<x>") != std::string::npos) {
    std::abort();
  }
  ReachReplyKind(reply);
  return 0;
}
