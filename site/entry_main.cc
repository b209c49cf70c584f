// The star entry page, run by the web server once per request,
// or as a FastCGI responder that answers request after request.

#include <cstdlib>

#include "cgi/request_variables.h"
#include "resident/fastcgi_service.h"
#include "site/entry_page.h"
#include "site/site_request.h"

int main() {
  if (veloran::StartedAsFastCgi()) {
    return veloran::ServeFastCgi("entry_page.exe", veloran::AnswerEntryRequest);
  }
  // A status of -1 is seen by the shell as 255.
  return veloran::ServeSiteRequest("entry_page.exe",
                                   veloran::AnswerEntryRequest,
                                   veloran::RequestVariable("QUERY_STRING"));
}
