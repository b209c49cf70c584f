#ifndef VELORAN_SITE_HTML_PAGE_H_
#define VELORAN_SITE_HTML_PAGE_H_

#include <cstddef>
#include <cstdint>

// The frame of the pages of the star entry and the name finder: an HTML5
// page in windows-1252 with a viewport for phones, a short stylesheet, a
// <main> landmark and a footer that leads back to the search form.  Names
// from the database are HTML fragments and are written as they are; every
// other text that is not a fragment goes through WriteEscapedText.

namespace veloran {

// The replies of the site's programs.
enum class HttpStatus {
  kOk,                    // 200, written without a Status line
  kFound,                 // 302
  kBadRequest,            // 400
  kNotFound,              // 404
  kMethodNotAllowed,      // 405
  kPayloadTooLarge,       // 413
  kUnsupportedMediaType,  // 415
  kInternalError,         // 500
  kServiceUnavailable,    // 503
};

// Writes the Status line of "status" (none for kOk).
void WriteStatusLine(HttpStatus status);

// Writes the Status line (none for kOk), "Location: " and "location" when it
// is not nullptr, the text/html content type with its charset, and the
// empty line that ends the header.
void WriteHtmlHeader(HttpStatus status, const char* location = nullptr);

// Writes the page from "<!DOCTYPE html>" up to the opening "<main>", with
// the title "title - Veloran" ("title" is an HTML fragment) and, when
// "head" is not nullptr, the page's own elements of the head (its styles and
// scripts) after the site's.
void WritePageStart(const char* title, const char* head = nullptr);

// Writes the end of <main>, the footer with the links back to the search
// form ("../", the site's front page) and to the name finder, and the end of
// the page.
void WritePageEnd();

// Writes the HTML fragment "fragment" (a name from the database) as it is,
// but for an unfinished tag at its end, which a value cut to its buffer can
// leave and which would swallow the markup that follows, and then for a
// character reference that the end cuts short (IsCutCharacterReference,
// html_text.h: "&alp", but not the "&" of "A & B").
void WriteFragment(const char* fragment);

// How the byte "c" of a text that is no fragment stands in an element or
// an attribute value: &, <, >, " and ' as their character references; a
// tab, line feed or form feed as its numeric reference, which HTML reads
// as the same whitespace and which keeps a value on its line; "" for every
// other control byte (1 to 31, and 127), which HTML allows neither as
// itself nor as a reference, so it is left out (a carriage return too: a
// line end keeps its line feed); nullptr for a byte written as it is.
const char* EscapedByte(char c);

// The longest text a visitor typed that a page shows back.
inline constexpr size_t kMaxTypedValueLength = 100;

// Writes the query value "value" as the visitor typed it, for an element
// or an attribute value: escaped as WriteEscapedText escapes, and, when it
// is UTF-8 (as from the address bar), each character as its windows-1252
// byte or else as a numeric character reference.  Returns false, writing
// nothing, for a value longer than kMaxTypedValueLength, which a page does
// not show.
bool WriteTypedValue(const char* value);

// Writes "text" with each byte as EscapedByte says, so that it stands as
// text in an element or an attribute value.
void WriteEscapedText(const char* text);

// Writes the short page of a failed request: the header, the title and
// heading "heading" (an HTML fragment), and "explanation" (an HTML fragment,
// one or more whole elements).
void WriteMessagePage(HttpStatus status, const char* heading,
                      const char* explanation);

}  // namespace veloran

#endif  // VELORAN_SITE_HTML_PAGE_H_
