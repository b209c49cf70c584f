// The name finder, run by the web server once per request,
// or as a FastCGI responder that answers request after request.

#include <cstdlib>

#include "cgi/request_variables.h"
#include "resident/fastcgi_service.h"
#include "site/name_finder.h"
#include "site/site_request.h"

int main() {
  if (veloran::StartedAsFastCgi()) {
    return veloran::ServeFastCgi("find_star", veloran::AnswerFindRequest);
  }
  // A status of -1 is seen by the shell as 255.
  return veloran::ServeSiteRequest("find_star", veloran::AnswerFindRequest,
                                   veloran::RequestVariable("QUERY_STRING"));
}
