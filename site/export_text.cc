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

namespace {

// The JSON escapes of the controls that have no short one: "\u0001".
struct ControlEscapes {
  char text[32][7];
};
constexpr ControlEscapes MakeControlEscapes() {
  ControlEscapes escapes{};
  constexpr char kHex[] = "0123456789ABCDEF";
  for (int c = 0; c < 32; ++c) {
    char* text = escapes.text[c];
    text[0] = '\\';
    text[1] = 'u';
    text[2] = '0';
    text[3] = '0';
    text[4] = kHex[c >> 4];
    text[5] = kHex[c & 15];
  }
  return escapes;
}
constexpr ControlEscapes kControlEscapes = MakeControlEscapes();

}  // namespace

void WriteJsonString(const char* text) {
  WriteText("\"");
  WriteCharacters(text, [](uint32_t c) -> const char* {
    switch (c) {
      case '"':
        return "\\\"";
      case '\\':
        return "\\\\";
      case '\b':
        return "\\b";
      case '\f':
        return "\\f";
      case '\n':
        return "\\n";
      case '\r':
        return "\\r";
      case '\t':
        return "\\t";
      case 0x2028:
        return "\\u2028";
      case 0x2029:
        return "\\u2029";
    }
    return c < 32 ? kControlEscapes.text[c] : nullptr;
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
  // The shortest form of a double is at most 24 characters
  // ("-2.2250738585072014e-308").
  std::to_chars_result result =
      std::to_chars(text, text + kRealTextSize - 1, value);
  if (result.ec != std::errc()) return false;
  *result.ptr = '\0';
  return true;
}

}  // namespace veloran
