#include "driver/read_only_guard.h"

#include <strings.h>

namespace veloran::odbc {

namespace {

// PRAGMAs that take an argument only to name what they report on.
constexpr const char* kReportingPragmas[] = {
    "table_info",  "table_xinfo",      "index_info",        "index_xinfo",
    "index_list",  "foreign_key_list", "foreign_key_check", "integrity_check",
    "quick_check", "table_list"};

// PRAGMAs that sqlite3_stmt_readonly calls writes even without a value,
// when they only report it.
constexpr const char* kValuelessReadPragmas[] = {"journal_mode"};

bool IsValuelessReadPragma(const char* name) {
  for (const char* pragma : kValuelessReadPragmas) {
    if (strcasecmp(name, pragma) == 0) return true;
  }
  return false;
}

bool IsReportingPragma(const char* name) {
  for (const char* pragma : kReportingPragmas) {
    if (strcasecmp(name, pragma) == 0) return true;
  }
  return false;
}

int Authorize(void* context, int action, const char* first, const char* second,
              const char* /*database*/, const char* /*trigger*/) {
  auto* refusal = static_cast<Refusal*>(context);
  const char* what = nullptr;
  bool isWrite = true;
  switch (action) {
    case SQLITE_ATTACH:
      what = "ATTACH";
      break;
    case SQLITE_DETACH:
      what = "DETACH";
      break;
    case SQLITE_TRANSACTION:
      if (refusal->ownTransaction) break;
      what = "a transaction statement";
      break;
    case SQLITE_SAVEPOINT:
      what = "a transaction statement";
      break;
    case SQLITE_PRAGMA:
      if (second != nullptr && !IsReportingPragma(first)) {
        what = "a PRAGMA that sets a value";
      } else if (second == nullptr && IsValuelessReadPragma(first)) {
        refusal->readsPragma = true;
      }
      break;
    case SQLITE_FUNCTION:
      if (second != nullptr && strcasecmp(second, "load_extension") == 0) {
        what = "load_extension()";
        isWrite = false;
      }
      break;
    default:
      break;
  }
  if (what == nullptr) return SQLITE_OK;
  refusal->what = what;
  refusal->isWrite = isWrite;
  return SQLITE_DENY;
}

}  // namespace

void InstallReadOnlyGuard(sqlite3* database, Refusal* refusal) {
  sqlite3_set_authorizer(database, Authorize, refusal);
}

}  // namespace veloran::odbc
