#include "site/health_check.h"

#include <cstdio>

#include "catalogue/data_source.h"
#include "catalogue/read_fault.h"
#include "catalogue/statements.h"
#include "cgi/output.h"
#include "search/stored_index.h"
#include "site/page_reads.h"
#include "site/site_request.h"

namespace veloran {

namespace {

// Writes the failure of "table" into "reason" and on standard error: what
// the driver said when it said something, else that the row was not there.
void ReportTableFailure(const char* program, const char* table, bool failed,
                        char (&reason)[96]) {
  std::snprintf(reason, sizeof(reason), "the table %s %s", table,
                failed ? "could not be read" : "has no row to read");
  ReportReadFault(program, reason);
}

// Reads the first row of "read" as a page reads it: a table that the
// pages read whole, whole.  Returns false, having reported why, when it
// could not be read or has no row that the pages need.
bool CheckFirstRow(const char* program, SQLHSTMT statement,
                   const PageRead& read, char (&reason)[96]) {
  RowKey key{};
  if (read.keys != nullptr) {
    SQLLEN indicator = 0;
    switch (ListKeys(statement, read, true, &key, &indicator)) {
      case KeyListing::kListed:
        break;
      case KeyListing::kAbsent:
        return true;
      case KeyListing::kFailed:
        ReportTableFailure(program, read.table, true, reason);
        return false;
    }
    bool listed = NextKey(statement, read, &key, &indicator);
    CloseCursor(statement);
    if (!listed) {
      if (read.optional && !ReadFailed()) return true;
      ReportTableFailure(program, read.table, ReadFailed(), reason);
      return false;
    }
  }
  if (read.read != nullptr && !read.read(statement, key)) {
    ReportTableFailure(program, read.table, ReadFailed(), reason);
    return false;
  }
  return true;
}

bool CheckTables(const char* program, SQLHSTMT statement,
                 char (&reason)[96]) {
  for (const PageRead& read : PageReads()) {
    if (!CheckFirstRow(program, statement, read, reason)) return false;
  }
  return true;
}

void WriteHealthReply(bool healthy, StoredIndexState index) {
  if (!healthy) WriteLine("Status: 503 Service Unavailable");
  WriteLine("Content-Type: text/plain; charset=us-ascii");
  // A balancer, or a cache between, must ask every time.
  WriteLine("Cache-Control: no-store");
  if (healthy) {
    std::printf("Veloran-Position-Index: %s\n", StoredIndexStateWord(index));
  }
  WriteLine("");
  WriteLine(healthy ? "ok" : "unavailable");
  if (healthy && index != StoredIndexState::kUsable) {
    WriteLine(DescribeStoredIndexState(index));
  }
}

}  // namespace

DatabaseHealth CheckSiteDatabase(const char* program) {
  DatabaseHandles handles;
  DatabaseHealth health{false, "", StoredIndexState::kMissing};
  switch (OpenDataSource(&handles, Reading::kOneSnapshot)) {
    case Connection::kOpened:
      health.healthy = CheckTables(program, handles.statement, health.reason);
      if (health.healthy) {
        health.index = CheckStoredIndex(handles.connection, handles.statement);
        // The pages read Positions whole then, and meet any fault of it.
        ForgetReadFault();
      }
      break;
    case Connection::kNoHandle:
      std::snprintf(health.reason, sizeof(health.reason),
                    "no ODBC handle could be allocated");
      ReportDatabaseFault(program, health.reason);
      break;
    case Connection::kRefused:
      std::snprintf(health.reason, sizeof(health.reason),
                    "the data source cannot be reached");
      ReportRefusedConnection(program, handles);
      break;
  }
  handles.Release();
  return health;
}

int AnswerHealthRequest(const char*) {
  DatabaseHealth health = CheckSiteDatabase("health");
  WriteHealthReply(health.healthy, health.index);
  return health.healthy ? kExitAnswered : kExitFailed;
}

}  // namespace veloran
