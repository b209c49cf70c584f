#ifndef VELORAN_SITE_EXPORT_TEXT_H_
#define VELORAN_SITE_EXPORT_TEXT_H_

#include <cstddef>

// Values written into the files that the site exports, CSV, JSON and XML
// (the VOTables), all in UTF-8: each writer makes any text stand as one
// value of its format, whatever bytes it holds.  The texts given are UTF-8
// (text/html_text.h makes them so); a byte that starts no UTF-8 sequence is
// written as U+FFFD, the replacement character, so that the file stays
// UTF-8.

namespace veloran {

// Writes "text" as one CSV field (RFC 4180): between double quotes, each
// double quote doubled.  Commas, line ends and every other character stand
// inside the quotes as they are.
void WriteCsvText(const char* text);

// Writes "text" as a JSON string: between double quotes, with the quote,
// the backslash and every control character escaped ("\n", "\u0001"),
// and U+2028 and U+2029 too, which JavaScript would read as line ends.
void WriteJsonString(const char* text);

// Writes "text" as XML character data that also stands in an attribute
// value: &, <, >, " and ' as references, tab, line feed and carriage return
// as numeric references (an attribute would read them as blanks), and the
// characters that XML 1.0 does not allow (the other controls, U+FFFE and
// U+FFFF) as U+FFFD.
void WriteXmlText(const char* text);

// A real number as the files write it: the shortest decimal that reads back
// as the same double ("4.2441", "1e-05", "-26.74").  False for infinity and
// NaN, which are no number in JSON and CSV: the value is then null.
constexpr size_t kRealTextSize = 32;
bool FormatReal(double value, char (&text)[kRealTextSize]);

}  // namespace veloran

#endif  // VELORAN_SITE_EXPORT_TEXT_H_
