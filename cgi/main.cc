// The neighbour search, run by the web server once per request,
// or as a FastCGI responder that answers request after request.

#include <cstdlib>

#include "cgi/request.h"
#include "resident/fastcgi_service.h"

int main() {
  if (veloran::StartedAsFastCgi()) {
    return veloran::ServeFastCgi("neighbor_search",
                                 veloran::AnswerSearchRequest);
  }
  // A status of -1 is seen by the shell as 255.
  return veloran::ServeRequest(std::getenv("QUERY_STRING"));
}
