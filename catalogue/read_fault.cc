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
  char column[64] = "";
};

ReadFault readFault;

// The name of column "number" of the rows of "statement" into "name",
// or an empty text when the driver cannot describe it.
void DescribeColumn(SQLHSTMT statement, SQLINTEGER number,
                    char (&name)[64]) {
  name[0] = '\0';
  if (number <= 0 || number > 0x7fff) return;
  SQLSMALLINT length = 0;
  SQLSMALLINT type = 0;
  SQLULEN size = 0;
  SQLSMALLINT digits = 0;
  SQLSMALLINT nullable = 0;
  if (!SQL_SUCCEEDED(SQLDescribeCol(
          statement, static_cast<SQLUSMALLINT>(number),
          reinterpret_cast<SQLCHAR*>(name), sizeof(name), &length, &type,
          &size, &digits, &nullable))) {
    name[0] = '\0';
    return;
  }
  TerminateFetchedText(name, length);
}

}  // namespace

void NoteReadFault(SQLHSTMT statement) {
  if (readFault.failed) return;
  readFault.failed = true;
  // Asked before the diagnostic is read, which may take it from the
  // statement.
  SQLINTEGER column = 0;
  if (!SQL_SUCCEEDED(SQLGetDiagField(SQL_HANDLE_STMT, statement, 1,
                                     SQL_DIAG_COLUMN_NUMBER, &column, 0,
                                     nullptr))) {
    column = 0;
  }
  // The error log takes one line per fault.
  readFault.hasDiagnostic =
      FetchDiagnostic(SQL_NULL_HENV, SQL_NULL_HDBC, statement, readFault.state,
                      readFault.message, sizeof(readFault.message));
  DescribeColumn(statement, column, readFault.column);
}

bool ReadFailed() { return readFault.failed; }

const char* ReadFaultColumn() { return readFault.column; }

void ReportReadFault(const char* program, const char* what) {
  if (readFault.hasDiagnostic) {
    std::fprintf(stderr, "%s: %s: %s %s\n", program, what, readFault.state,
                 readFault.message);
  } else {
    std::fprintf(stderr, "%s: %s\n", program, what);
  }
}

void WriteReadFault(FILE* stream, const char* what) {
  if (readFault.hasDiagnostic) {
    std::fprintf(stream, "%s: %s %s\n", what, readFault.state,
                 readFault.message);
  } else {
    std::fprintf(stream, "%s\n", what);
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
