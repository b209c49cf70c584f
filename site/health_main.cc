// The health check of a node, asked by a load balancer; run by the web
// server once per request, or as a FastCGI responder that answers request
// after request.

#include <cstdlib>

#include "cgi/request_variables.h"
#include "resident/fastcgi_service.h"
#include "site/health_check.h"
#include "site/site_request.h"

int main() {
  if (veloran::StartedAsFastCgi()) {
    return veloran::ServeFastCgi("health", veloran::AnswerHealthRequest);
  }
  // A status of -1 is seen by the shell as 255.
  return veloran::ServeSiteRequest("health", veloran::AnswerHealthRequest,
                                   veloran::RequestVariable("QUERY_STRING"));
}
