#ifndef VELORAN_CGI_REQUEST_VARIABLES_H_
#define VELORAN_CGI_REQUEST_VARIABLES_H_

// The CGI variables of the request being answered (QUERY_STRING,
// REQUEST_METHOD and the others of kRequestVariableNames).  A program run
// once per request finds them in its environment, where the web server
// put them; a resident worker has each request's own list, and its
// environment stays the operator's: what a client sends never stands for a
// setting (ODBCINI, VELORAN_*), which are read with getenv.

namespace veloran {

// The variables a page may read of a request, and only these.
constexpr const char* kRequestVariableNames[] = {
    "QUERY_STRING",   "REQUEST_METHOD", "CONTENT_TYPE",
    "CONTENT_LENGTH", "PATH_INFO",      "SCRIPT_NAME",
    "SERVER_NAME",    "SERVER_PORT",    "HTTPS",
};

// A request's own variables: "count" names and their values.
struct RequestVariableList {
  int count = 0;
  const char* const* names = nullptr;
  const char* const* values = nullptr;
};

// The value of the request's variable "name" (one of
// kRequestVariableNames), or nullptr when the request has none.
const char* RequestVariable(const char* name);

// From now on RequestVariable reads "list" (nullptr: the environment
// again), which must outlive its use.
void UseRequestVariables(const RequestVariableList* list);

}  // namespace veloran

#endif  // VELORAN_CGI_REQUEST_VARIABLES_H_
