// The site's page of a neighbour search, run by the web server once per
// request.

#include <cstdlib>

#include "site/neighbours_page.h"
#include "site/site_request.h"

int main() {
  // A status of -1 is seen by the shell as 255.
  return veloran::ServeSiteRequest("neighbours",
                                   veloran::AnswerNeighboursRequest,
                                   std::getenv("QUERY_STRING"));
}
