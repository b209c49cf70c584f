#ifndef VELORAN_CGI_REQUEST_H_
#define VELORAN_CGI_REQUEST_H_

// One request, from QUERY_STRING to the finished reply on standard output.

namespace veloran {

// Serves the request given by "queryString" (nullptr when QUERY_STRING is
// absent) and returns the exit status: 0 when a result page or the
// connection-failure reply was written, -1 otherwise.  A page written after
// a failed read of the star database is a failure, with one line on
// standard error that gives the diagnostic.  A reply counts as written only
// when all of it reached standard output; when it did not, one line on
// standard error says so.  SIGPIPE is ignored from the start.
int ServeRequest(const char* queryString);

// Answers the request as ServeRequest does, on standard output as it is,
// and returns the exit status as if every byte of the reply had reached
// it: for a process that serves many requests.
int AnswerSearchRequest(const char* queryString);

}  // namespace veloran

#endif  // VELORAN_CGI_REQUEST_H_
