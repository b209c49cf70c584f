#include "driver/wide_text.h"

#include "text/text_encoding.h"

namespace veloran::odbc {

bool IsValidUtf8(const unsigned char* bytes, size_t size) {
  return IsUtf8(bytes, size);
}

size_t DecodeCharacter(const unsigned char* bytes, size_t size, bool utf8,
                       uint32_t* codePoint) {
  if (!utf8) {
    // An undefined byte becomes the C1 control of its number.
    uint32_t c = Windows1252ToCodePoint(bytes[0]);
    *codePoint = c == kNoCharacter ? bytes[0] : c;
    return 1;
  }
  size_t length = DecodeUtf8(bytes, size, codePoint);
  if (length == 0) {  // not reached for a text checked by IsValidUtf8
    *codePoint = 0xFFFD;
    return 1;
  }
  return length;
}

void AppendUtf16AsUtf8(const uint16_t* text, size_t units, std::string* out) {
  for (size_t i = 0; i < units; ++i) {
    uint32_t codePoint = text[i];
    if (codePoint >= 0xD800 && codePoint <= 0xDBFF && i + 1 < units &&
        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      codePoint =
          0x10000 + ((codePoint - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {
      codePoint = 0xFFFD;
    }
    char encoded[kMaxUtf8Sequence];
    size_t length = EncodeUtf8(codePoint, encoded);
    out->append(encoded, length);
  }
}

}  // namespace veloran::odbc
