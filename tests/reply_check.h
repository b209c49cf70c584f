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

// True when "reply" is exactly one complete page of the entry page or the
// name finder: the header (a Status line with one of "statuses", such as
// "200 404", where 200 stands for none; a Location line only with 302; the
// content type), then an HTML5 page that ends with its tail, the only
// "</html>" in it.  Otherwise false, with *why saying what is wrong.
inline bool IsCompleteSitePage(const std::string& reply,
                               const std::string& statuses, std::string* why) {
  const std::string type = "Content-type: text/html; charset=windows-1252\n\n";
  const std::string page = type + "<!DOCTYPE html>\n<html lang=\"en\">\n";
  const std::string tail = "</body>\n</html>\n";
  std::string status = "200";
  size_t at = 0;
  if (reply.compare(0, 8, "Status: ") == 0) {
    status = reply.substr(8, 3);
    at = reply.find('\n') + 1;
    if (status == "302") {
      if (reply.compare(at, 10, "Location: ") != 0) {
        *why = "a redirect without its Location";
        return false;
      }
      at = reply.find('\n', at) + 1;
    }
  }
  if (statuses.find(status) == std::string::npos) {
    *why = "status " + status + ", not one of " + statuses;
    return false;
  }
  if (reply.compare(at, page.size(), page) != 0) {
    *why = "no page after the header";
    return false;
  }
  if (reply.size() < tail.size() ||
      reply.compare(reply.size() - tail.size(), tail.size(), tail) != 0 ||
      reply.find("</html>") != reply.size() - 8) {
    *why = "a page without its tail, or with more after it";
    return false;
  }
  return true;
}

}  // namespace veloran::testing

#endif  // VELORAN_TESTS_REPLY_CHECK_H_
