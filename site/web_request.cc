#include "site/web_request.h"

#include <strings.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cgi/output.h"
#include "cgi/request_variables.h"

namespace veloran {

namespace {

constexpr char kFormType[] = "application/x-www-form-urlencoded";

}  // namespace

RequestMethod ReadRequestMethod() {
  const char* method = RequestVariable("REQUEST_METHOD");
  if (method == nullptr || std::strcmp(method, "GET") == 0 ||
      std::strcmp(method, "HEAD") == 0) {
    return RequestMethod::kGet;
  }
  if (std::strcmp(method, "POST") == 0) return RequestMethod::kPost;
  if (std::strcmp(method, "OPTIONS") == 0) return RequestMethod::kOptions;
  return RequestMethod::kOther;
}

void WriteCorsHeaders() {
  WriteLine("Access-Control-Allow-Origin: *");
  // A script may read the file's name and the status of a cut list.
  WriteLine(
      "Access-Control-Expose-Headers: Content-Disposition, "
      "Veloran-Query-Status");
}

void WritePreflightReply(const char* methods) {
  WriteLine("Status: 204 No Content");
  WriteLine("Access-Control-Allow-Origin: *");
  std::printf("Access-Control-Allow-Methods: %s\n", methods);
  WriteLine(
      "Access-Control-Allow-Headers: Accept, Content-Type, "
      "X-Requested-With");
  // A day; browsers keep it at most as long as they allow.
  WriteLine("Access-Control-Max-Age: 86400");
  WriteLine("");
}

FormBody ReadFormBody(char (&body)[kMaxFormBodyLength + 1]) {
  body[0] = '\0';
  const char* type = RequestVariable("CONTENT_TYPE");
  size_t typeLength = sizeof(kFormType) - 1;
  if (type == nullptr || strncasecmp(type, kFormType, typeLength) != 0 ||
      (type[typeLength] != '\0' && type[typeLength] != ';' &&
       type[typeLength] != ' ')) {
    return FormBody::kNotAForm;
  }
  const char* length = RequestVariable("CONTENT_LENGTH");
  if (length == nullptr || length[0] == '\0') return FormBody::kRead;
  size_t digits = std::strspn(length, "0123456789");
  if (digits != std::strlen(length)) return FormBody::kCut;
  if (digits > 5 || std::strtoul(length, nullptr, 10) > kMaxFormBodyLength) {
    return FormBody::kTooLong;
  }
  size_t wanted = std::strtoul(length, nullptr, 10);
  size_t read = std::fread(body, 1, wanted, stdin);
  body[read] = '\0';
  if (read != wanted) {
    body[0] = '\0';
    return FormBody::kCut;
  }
  if (std::strlen(body) != read) {
    body[0] = '\0';
    return FormBody::kNotAForm;
  }
  return FormBody::kRead;
}

}  // namespace veloran
