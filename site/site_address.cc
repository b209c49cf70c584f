#include "site/site_address.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cgi/request_variables.h"

namespace veloran {

namespace {

// The longest public address: room is left for the program's name.
constexpr size_t kLongestPublicUrl = 300;

// Whether "text" is 1 to "longest" bytes of letters, digits and the
// characters of "others".
bool MadeOf(const char* text, const char* others, size_t longest) {
  size_t length = std::strlen(text);
  if (length == 0 || length > longest) return false;
  for (const char* c = text; *c != '\0'; ++c) {
    bool alphanumeric = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') ||
                        (*c >= '0' && *c <= '9');
    if (!alphanumeric && std::strchr(others, *c) == nullptr) return false;
  }
  return true;
}

// A host name, an IPv4 address or an IPv6 address in brackets.
bool IsHost(const char* host) {
  if (host[0] == '[') {
    size_t length = std::strlen(host);
    return length > 2 && host[length - 1] == ']' && MadeOf(host + 1, ":.]", 60);
  }
  return MadeOf(host, ".-", 100);
}

bool IsPort(const char* port) {
  return std::strspn(port, "0123456789") == std::strlen(port) &&
         MadeOf(port, "", 5);
}

// The directory of the program from the request, with its "/":
// "http://host:8080/cgi-bin/".  False when the variables give none.
bool FormatRequestDirectory(char* text, size_t size) {
  const char* host = RequestVariable("SERVER_NAME");
  const char* port = RequestVariable("SERVER_PORT");
  const char* script = RequestVariable("SCRIPT_NAME");
  const char* https = RequestVariable("HTTPS");
  if (host == nullptr || !IsHost(host) || script == nullptr ||
      script[0] != '/' || !MadeOf(script, "/._~-", 200)) {
    return false;
  }
  bool secure = https != nullptr &&
                (std::strcmp(https, "on") == 0 || std::strcmp(https, "1") == 0);
  bool showPort = port != nullptr && IsPort(port) &&
                  std::strcmp(port, secure ? "443" : "80") != 0;
  int directory = static_cast<int>(std::strrchr(script, '/') - script + 1);
  int written = std::snprintf(
      text, size, "%s://%s%s%s%.*s", secure ? "https" : "http", host,
      showPort ? ":" : "", showPort ? port : "", directory, script);
  return written > 0 && static_cast<size_t>(written) < size;
}

}  // namespace

bool IsPublicUrl(const char* url) {
  const char* rest = nullptr;
  if (std::strncmp(url, "https://", 8) == 0) {
    rest = url + 8;
  } else if (std::strncmp(url, "http://", 7) == 0) {
    rest = url + 7;
  } else {
    return false;
  }
  size_t length = std::strlen(url);
  return rest[0] != '/' && std::strchr(rest, '/') != nullptr &&
         url[length - 1] == '/' && MadeOf(rest, "-._~:/[]%", kLongestPublicUrl);
}

bool FormatProgramAddress(const char* program,
                          char (&text)[kProgramAddressSize]) {
  assert(MadeOf(program, "._-", 40));
  const char* configured = std::getenv("VELORAN_PUBLIC_URL");
  char directory[kLongestPublicUrl + 16];
  bool known = false;
  if (configured != nullptr && IsPublicUrl(configured)) {
    std::snprintf(directory, sizeof(directory), "%s", configured);
    known = true;
  } else {
    known = FormatRequestDirectory(directory, sizeof(directory));
  }
  int written = std::snprintf(text, sizeof(text), "%s%s",
                              known ? directory : "", program);
  assert(written > 0 && static_cast<size_t>(written) < sizeof(text));
  (void)written;
  return known;
}

}  // namespace veloran
