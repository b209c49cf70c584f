// The cone search, run by the web server once per request.

#include <cstdlib>

#include "site/cone_search.h"
#include "site/site_request.h"

int main() {
  // A status of -1 is seen by the shell as 255.
  return veloran::ServeSiteRequest("cone_search", veloran::AnswerConeRequest,
                                   std::getenv("QUERY_STRING"));
}
