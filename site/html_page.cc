#include "site/html_page.h"

#include <cassert>
#include <cstdio>
#include <cstring>

#include "cgi/output.h"
#include "text/html_text.h"
#include "text/text_encoding.h"

namespace veloran {

namespace {

const char* StatusLine(HttpStatus status) {
  switch (status) {
    case HttpStatus::kOk:
      return nullptr;
    case HttpStatus::kFound:
      return "Status: 302 Found";
    case HttpStatus::kBadRequest:
      return "Status: 400 Bad Request";
    case HttpStatus::kNotFound:
      return "Status: 404 Not Found";
    case HttpStatus::kMethodNotAllowed:
      return "Status: 405 Method Not Allowed";
    case HttpStatus::kPayloadTooLarge:
      return "Status: 413 Content Too Large";
    case HttpStatus::kUnsupportedMediaType:
      return "Status: 415 Unsupported Media Type";
    case HttpStatus::kInternalError:
      return "Status: 500 Internal Server Error";
    case HttpStatus::kServiceUnavailable:
      return "Status: 503 Service Unavailable";
  }
  return nullptr;
}

const char kStyle[] =
    "<style>\n"
    "body { font-family: sans-serif; max-width: 46em; margin: 1.5em auto; "
    "padding: 0 1em; line-height: 1.45; color: #1d1d1d; background: #fff; }\n"
    "h1 { font-size: 1.6em; margin-bottom: 0.3em; }\n"
    "h2 { font-size: 1.2em; margin: 1.4em 0 0.4em; }\n"
    "a { color: #1a4b9c; }\n"
    "table { border-collapse: collapse; margin: 0.4em 0; }\n"
    "caption { text-align: left; font-style: italic; padding-bottom: 0.2em; "
    "}\n"
    "th, td { text-align: left; vertical-align: top; padding: 0.2em 1em "
    "0.2em 0; border-bottom: 1px solid #ddd; }\n"
    "dl { display: grid; grid-template-columns: max-content 1fr; gap: 0.2em "
    "1em; }\n"
    "dt { font-weight: bold; }\n"
    "dd { margin: 0; }\n"
    "label { font-weight: bold; }\n"
    "input, button { font: inherit; }\n"
    "footer { margin-top: 2em; padding-top: 0.5em; border-top: 1px solid "
    "#ccc; }\n"
    "</style>\n";

// The site's icon, a yellow star on the maps' dark blue, written into each
// page so that no request and no server set-up is needed for it.  The same
// line is in web/index.html.
const char kIcon[] =
    "<link rel=\"icon\" href=\"data:image/svg+xml,"
    "%3Csvg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 32 32'%3E"
    "%3Ccircle cx='16' cy='16' r='15' fill='%230e1730'/%3E"
    "%3Cpath d='M16 4l2.6 9.4L28 16l-9.4 2.6L16 28l-2.6-9.4L4 16l9.4-2.6z' "
    "fill='%23ffd75e'/%3E%3C/svg%3E\">\n";

}  // namespace

void WriteStatusLine(HttpStatus status) {
  if (const char* line = StatusLine(status)) WriteLine(line);
}

void WriteHtmlHeader(HttpStatus status, const char* location) {
  WriteStatusLine(status);
  if (location != nullptr) {
    WriteText("Location: ");
    WriteLine(location);
  }
  WriteLine("Content-type: text/html; charset=windows-1252");
  WriteLine("");
}

void WritePageStart(const char* title, const char* head) {
  WriteText(
      "<!DOCTYPE html>\n"
      "<html lang=\"en\">\n"
      "<head>\n"
      "<meta charset=\"windows-1252\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, "
      "initial-scale=1\">\n");
  WriteText(kIcon);
  WriteText("<title>");
  WriteFragment(title);
  WriteText(" - Veloran</title>\n");
  WriteText(kStyle);
  if (head != nullptr) WriteText(head);
  WriteText("</head>\n<body>\n<main>\n");
}

void WritePageEnd() {
  WriteText(
      "</main>\n"
      "<footer>\n"
      "<nav aria-label=\"Site\">\n"
      "<p><a href=\"../\">Back to the neighbour search form</a> | <a "
      "href=\"find_star\">Find a star by name</a></p>\n"
      "</nav>\n"
      "</footer>\n"
      "</body>\n"
      "</html>\n");
}

void WriteFragment(const char* fragment) {
  size_t length = std::strlen(fragment);
  const char* tag = std::strrchr(fragment, '<');
  if (tag != nullptr && std::strchr(tag, '>') == nullptr) {
    length = static_cast<size_t>(tag - fragment);
  }
  // Then a reference cut short at the end of what is left: it holds no
  // "&", so it starts at the last one.
  for (size_t i = length; i > 0; --i) {
    if (fragment[i - 1] != '&') continue;
    if (IsCutCharacterReference(fragment + i - 1, length - (i - 1))) {
      length = i - 1;
    }
    break;
  }
  std::fwrite(fragment, 1, length, stdout);
}

const char* EscapedByte(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return "&#39;";
    case '\t':
      return "&#9;";
    case '\n':
      return "&#10;";
    case '\f':
      return "&#12;";
  }
  unsigned char byte = static_cast<unsigned char>(c);
  return (byte >= 1 && byte < 0x20) || byte == 0x7F ? "" : nullptr;
}

void WriteEscapedText(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    if (const char* escaped = EscapedByte(*p)) {
      WriteText(escaped);
    } else {
      std::fputc(*p, stdout);
    }
  }
}

void WriteMessagePage(HttpStatus status, const char* heading,
                      const char* explanation) {
  WriteHtmlHeader(status);
  WritePageStart(heading);
  WriteText("<h1>");
  WriteText(heading);
  WriteText("</h1>\n");
  WriteText(explanation);
  WritePageEnd();
}

bool WriteTypedValue(const char* typed) {
  if (std::strlen(typed) > kMaxTypedValueLength) return false;
  // Each byte escaped takes at most 6 ("&quot;"), each character converted
  // at most 10 ("&#1114111;") for its 4 bytes.
  char escaped[kMaxTypedValueLength * 6 + 1];
  char converted[sizeof(escaped) * 3];
  size_t length = 0;
  for (const char* c = typed; *c != '\0'; ++c) {
    const char* entity = EscapedByte(*c);
    if (entity == nullptr) {
      escaped[length++] = *c;
    } else {
      size_t size = std::strlen(entity);
      assert(size <= 6);
      std::memcpy(escaped + length, entity, size);
      length += size;
    }
  }
  assert(length < sizeof(escaped));
  escaped[length] = '\0';
  bool fits =
      Utf8ToWindows1252Html(escaped, length, converted, sizeof(converted));
  assert(fits);
  (void)fits;
  WriteText(converted);
  return true;
}

}  // namespace veloran
