// The star entry page, run by the web server once per request.

#include <cstdlib>

#include "site/entry_page.h"
#include "site/site_request.h"

int main() {
  // A status of -1 is seen by the shell as 255.
  return veloran::ServeSiteRequest("entry_page.exe",
                                   veloran::AnswerEntryRequest,
                                   std::getenv("QUERY_STRING"));
}
