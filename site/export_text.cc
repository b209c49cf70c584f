#include "site/export_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cgi/output.h"
#include "text/text_encoding.h"

namespace veloran {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// Reads the characters of "text" one by one and hands each to "write"
// with its UTF-8 bytes, or kNoCharacter and the replacement character's
// bytes for a byte that starts no sequence.  Runs that "write" passes
// over (returns false for) are written as they are.
template <typename Write>
void WriteCharacters(const char* text, Write write) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  size_t length = std::strlen(text);
  size_t plainStart = 0;
  for (size_t i = 0; i < length;) {
    uint32_t c = kNoCharacter;
    size_t size = DecodeUtf8(bytes + i, length - i, &c);
    bool valid = size != 0;
    if (!valid) size = 1;
    const char* replacement = nullptr;
    if (!valid) {
      replacement = kReplacement;
    } else {
      replacement = write(c);
    }
    if (replacement != nullptr) {
      std::fwrite(text + plainStart, 1, i - plainStart, stdout);
      WriteText(replacement);
      plainStart = i + size;
    }
    i += size;
  }
  std::fwrite(text + plainStart, 1, length - plainStart, stdout);
}

}  // namespace

void WriteCsvText(const char* text) {
  WriteText("\"");
  WriteCharacters(text, [](uint32_t c) -> const char* {
    return c == '"' ? "\"\"" : nullptr;
  });
  WriteText("\"");
}

void WriteJsonString(const char* text) {
  // The escapes of the controls, written once for the whole process.
  static char controls[32][7];
  if (controls[1][0] == '\0') {
    for (int c = 0; c < 32; ++c) {
      std::snprintf(controls[c], sizeof(controls[c]), "\\u%04X", c);
    }
    std::strcpy(controls['\b'], "\\b");
    std::strcpy(controls['\f'], "\\f");
    std::strcpy(controls['\n'], "\\n");
    std::strcpy(controls['\r'], "\\r");
    std::strcpy(controls['\t'], "\\t");
  }
  WriteText("\"");
  WriteCharacters(text, [](uint32_t c) -> const char* {
    if (c < 32) return controls[c];
    switch (c) {
      case '"':
        return "\\\"";
      case '\\':
        return "\\\\";
      case 0x2028:
        return "\\u2028";
      case 0x2029:
        return "\\u2029";
    }
    return nullptr;
  });
  WriteText("\"");
}

void WriteXmlText(const char* text) {
  WriteCharacters(text, [](uint32_t c) -> const char* {
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
      case '\r':
        return "&#13;";
    }
    if (c < 32 || c == 0xFFFE || c == 0xFFFF) return kReplacement;
    return nullptr;
  });
}

bool FormatReal(double value, char (&text)[kRealTextSize]) {
  text[0] = '\0';
  if (!std::isfinite(value)) return false;
  // The shortest form of a double is at most 24 characters ("-2.2250738585072014e-308").
  std::to_chars_result result = std::to_chars(text, text + kRealTextSize - 1, value);
  if (result.ec != std::errc()) return false;
  *result.ptr = '\0';
  return true;
}

}  // namespace veloran
