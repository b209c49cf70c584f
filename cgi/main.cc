// The neighbour search, run by the web server once per request.

#include <cstdlib>

#include "cgi/request.h"

int main() {
  // A status of -1 is seen by the shell as 255.
  return veloran::ServeRequest(std::getenv("QUERY_STRING"));
}
