// The name finder, run by the web server once per request.

#include <cstdlib>

#include "site/name_finder.h"
#include "site/site_request.h"

int main() {
  // A status of -1 is seen by the shell as 255.
  return veloran::ServeSiteRequest("find_star", veloran::AnswerFindRequest,
                                   std::getenv("QUERY_STRING"));
}
