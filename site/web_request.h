#ifndef VELORAN_SITE_WEB_REQUEST_H_
#define VELORAN_SITE_WEB_REQUEST_H_

#include <cstddef>

// What the site's services (the cone search and the downloads of a search)
// read of an HTTP request beyond its query, and the headers that let a page
// on another site ask them from a browser (CORS): every reply may be read
// by any origin, since the services hold nothing private and take no
// credentials.

namespace veloran {

enum class RequestMethod { kGet, kPost, kOptions, kOther };

// The method of the request (REQUEST_METHOD): HEAD counts as GET (the
// server drops the body), and a program run by hand, without the variable,
// is asked with GET.
RequestMethod ReadRequestMethod();

// Writes the header lines that let a page of any origin read the reply,
// and the site's own header lines among them.
void WriteCorsHeaders();

// Writes the whole reply to a browser's preflight (OPTIONS): no content
// (204), the methods "methods" ("GET, POST, OPTIONS"), the headers a page
// may send, and how long the browser may keep the answer.
void WritePreflightReply(const char* methods);

// The longest body of a form sent with POST, without its terminator.
constexpr size_t kMaxFormBodyLength = 4096;

enum class FormBody {
  kRead,
  kNotAForm,  // another CONTENT_TYPE than a form, or a NUL byte in it
  kTooLong,   // over kMaxFormBodyLength (not read)
  kCut,       // fewer bytes than CONTENT_LENGTH said, or no number there
};

// Reads the body of a POST request from standard input into "body", a
// form (application/x-www-form-urlencoded) of CONTENT_LENGTH bytes, and
// terminates it; "body" is empty unless the result is kRead.
FormBody ReadFormBody(char (&body)[kMaxFormBodyLength + 1]);

}  // namespace veloran

#endif  // VELORAN_SITE_WEB_REQUEST_H_
