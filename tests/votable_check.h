#ifndef VELORAN_TESTS_VOTABLE_CHECK_H_
#define VELORAN_TESTS_VOTABLE_CHECK_H_

#include <string>

#include "text/text_encoding.h"

// Whether a reply of the cone search is whole, for its tests and its fuzz
// target alike (which has no GoogleTest).

namespace veloran::testing {

// True when "reply" is one whole VOTable reply: an optional Status line
// with one of "statuses" (such as "200 500 503", where 200 stands for
// none), an XML content type (text/xml or VOTable's) and any other header
// lines, then one
// document from its declaration to
// its only "</VOTABLE>", all of it UTF-8 with no control character but the
// line feed (XML 1.0 allows no other, and the program writes tab and
// carriage return as references).  Otherwise false, with *why saying what
// is wrong.
inline bool IsCompleteVoTable(const std::string& reply,
                              const std::string& statuses, std::string* why) {
  std::string status = "200";
  size_t at = 0;
  if (reply.compare(0, 8, "Status: ") == 0) {
    status = reply.substr(8, 3);
    at = reply.find('\n') + 1;
  }
  if (statuses.find(status) == std::string::npos) {
    *why = "status " + status + ", not one of " + statuses;
    return false;
  }
  const std::string type = "Content-type: text/xml; charset=UTF-8\n";
  const std::string voType =
      "Content-type: application/x-votable+xml; charset=UTF-8\n";
  const std::string head =
      "\n\n<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<VOTABLE ";
  const std::string tail = "</VOTABLE>\n";
  if (reply.compare(at, type.size(), type) != 0 &&
      reply.compare(at, voType.size(), voType) != 0) {
    *why = "no XML content type";
    return false;
  }
  // The other header lines (the browsers' CORS) up to the empty line.
  size_t end = reply.find("\n\n", at);
  if (end == std::string::npos || reply.compare(end, head.size(), head) != 0) {
    *why = "no VOTable after the header";
    return false;
  }
  if (reply.size() < tail.size() ||
      reply.compare(reply.size() - tail.size(), tail.size(), tail) != 0 ||
      reply.find(tail) != reply.size() - tail.size()) {
    *why = "a document without its end, or with more after it";
    return false;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(reply.data());
  if (!IsUtf8(bytes + at, reply.size() - at)) {
    *why = "a document that is no UTF-8";
    return false;
  }
  for (size_t i = at; i < reply.size(); ++i) {
    if (bytes[i] < 0x20 && bytes[i] != '\n') {
      *why = "a control character in the document";
      return false;
    }
  }
  return true;
}

}  // namespace veloran::testing

#endif  // VELORAN_TESTS_VOTABLE_CHECK_H_
