// The site's page of a neighbour search, run by the web server once per
// request, or as a FastCGI responder that answers request after request.

#include <cstdlib>

#include "cgi/request_variables.h"
#include "resident/fastcgi_service.h"
#include "site/neighbours_page.h"
#include "site/site_request.h"

int main() {
  if (veloran::StartedAsFastCgi()) {
    return veloran::ServeFastCgi("neighbours",
                                 veloran::AnswerNeighboursRequest);
  }
  // A status of -1 is seen by the shell as 255.
  return veloran::ServeSiteRequest("neighbours",
                                   veloran::AnswerNeighboursRequest,
                                   veloran::RequestVariable("QUERY_STRING"));
}
