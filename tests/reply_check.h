#ifndef VELORAN_TESTS_REPLY_CHECK_H_
#define VELORAN_TESTS_REPLY_CHECK_H_

#include <string>

// Whether a reply of the program is whole, for the robustness tests and the
// fuzzers alike (which have no GoogleTest).

namespace veloran::testing {

// True when "reply" is exactly one complete reply: a text/plain one that
// ends with a newline and holds no page, or an HTML page that ends with its
// tail, the only "</HTML>" in it.  Otherwise false, with *why saying what
// is wrong.
inline bool IsCompleteReply(const std::string& reply, std::string* why) {
  const std::string plain = "Content-type: text/plain\n\n";
  const std::string html = "Content-type: text/html\n\n<HTML>\n";
  const std::string tail = "</BODY>\n</HTML>\n";
  if (reply.compare(0, plain.size(), plain) == 0) {
    if (reply.size() > plain.size() && reply.back() == '\n' &&
        reply.find("<HTML>") == std::string::npos) {
      return true;
    }
    *why = "a text/plain reply that is empty, unfinished or holds a page";
  } else if (reply.compare(0, html.size(), html) == 0) {
    if (reply.size() >= tail.size() &&
        reply.compare(reply.size() - tail.size(), tail.size(), tail) == 0 &&
        reply.find("</HTML>") == reply.size() - 8) {
      return true;
    }
    *why = "a page without its tail, or with more after it";
  } else {
    *why = "neither a text/plain reply nor a page";
  }
  return false;
}

}  // namespace veloran::testing

#endif  // VELORAN_TESTS_REPLY_CHECK_H_
