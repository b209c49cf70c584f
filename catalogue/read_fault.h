#ifndef VELORAN_CATALOGUE_READ_FAULT_H_
#define VELORAN_CATALOGUE_READ_FAULT_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdio>

// The first read of the star database that failed in this request, kept
// for the server's error log.  A read fails when a statement does not
// execute (an error; a success with information is no failure here, each
// operation treats it as it says) or when a fetch fails; the end of the
// rows is no failure.  A request that meets a failed read says so on its
// page, writes the fault on standard error and exits with a failure
// status.

namespace veloran {

// Keeps the diagnostic of "statement" (its SQLSTATE and message) as the
// request's read fault, unless one is kept already.  Call it at once after
// the call that failed: the next call on the statement clears the
// diagnostic.
void NoteReadFault(SQLHSTMT statement);

// Whether a read of this request has failed.
bool ReadFailed();

// The name of the column whose value the kept read fault could not
// convert, when the driver said which (SQL_DIAG_COLUMN_NUMBER); otherwise,
// and when nothing failed, an empty text.  The text lives until the fault
// is forgotten.
const char* ReadFaultColumn();

// Writes one line on standard error: "program: what", then ": ", the
// SQLSTATE, a blank and the message of the kept diagnostic when there is
// one.  A message of several lines is written on one, each line end a
// blank.
void ReportReadFault(const char* program, const char* what);

// Writes the same line, without the program's name, on "stream": "what",
// then the kept diagnostic when there is one.
void WriteReadFault(FILE* stream, const char* what);

// Whether the kept read fault is a table that the database lacks (SQLSTATE
// 42S02, PostgreSQL's 42P01, or SQLite's "no such table" from a driver
// that says HY000): an older database without a table that a page can do
// without.
bool ReadFaultIsMissingTable();

// Whether the kept read fault is a table or a column that the database
// lacks: a missing table as above, or SQLSTATE 42S22, PostgreSQL's 42703
// or SQLite's "no such column" (a column added after the database was
// written).
bool ReadFaultIsMissingTableOrColumn();

// Forgets the read fault, for a process that serves more than one request,
// or after a fault that a caller can do without.
void ForgetReadFault();

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_READ_FAULT_H_
