#ifndef VELORAN_SITE_SITE_REQUEST_H_
#define VELORAN_SITE_SITE_REQUEST_H_

#include "catalogue/data_source.h"
#include "site/html_page.h"

// What the site's programs share around one request: the check that the
// reply reached standard output, and the messages for the server's error
// log.

namespace veloran {

// Exit statuses of an answer: a page that a visitor may expect (a result, a
// redirect, no match), or a failure (a bad request, a database fault).
constexpr int kExitAnswered = 0;
constexpr int kExitFailed = -1;

// Answers the request with "answer" unless standard output is closed, and
// returns its exit status, or -1 when the reply did not reach standard
// output; that is then said in one line on standard error, headed by
// "program".  "queryString" is passed on as it is (nullptr when
// QUERY_STRING is absent).  SIGPIPE is ignored from the start, so that a
// reader that has gone is reported like any other lost reply.
int ServeSiteRequest(const char* program, int (*answer)(const char*),
                     const char* queryString);

// Writes one line on standard error, headed by "program": the data source
// (Veloran, DataSourceName) refused the connection, with its diagnostic
// when there is one.
void ReportRefusedConnection(const char* program,
                             const DatabaseHandles& handles);

// Writes one line on standard error, headed by "program": "what" failed.
void ReportDatabaseFault(const char* program, const char* what);

// How a program answers a failure in a format of its own (a download, say)
// rather than the HTML page: given the status and a plain sentence.
using FailureWriter = void (*)(HttpStatus status, const char* message);

// Opens the data source Veloran into "handles".  When it cannot, answers
// for "program": one line on standard error and the page of the failure (503
// when the data source refused the connection, 500 when no ODBC handle could
// be allocated), or the reply of "writeFailure" when it is given, and
// returns false.
bool OpenSiteDataSource(const char* program, DatabaseHandles* handles,
                        FailureWriter writeFailure = nullptr);

// Writes the page of a database that could not be read (500).
void WriteDatabaseFaultPage();

}  // namespace veloran

#endif  // VELORAN_SITE_SITE_REQUEST_H_
