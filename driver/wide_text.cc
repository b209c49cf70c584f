#include "driver/wide_text.h"

namespace veloran::odbc {

namespace {

// windows-1252 bytes 0x80 to 0x9F; the undefined ones map to themselves.
constexpr uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The length of the UTF-8 sequence at "bytes", or 0 when it is invalid.
size_t Utf8SequenceLength(const unsigned char* bytes, size_t size) {
  unsigned char lead = bytes[0];
  if (lead < 0x80) return 1;
  size_t length;
  uint32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (size < length) return 0;
  uint32_t codePoint = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (bytes[i] & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF) return 0;
  if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
  return length;
}

}  // namespace

bool IsValidUtf8(const unsigned char* bytes, size_t size) {
  size_t i = 0;
  while (i < size) {
    if (bytes[i] < 0x80) {
      ++i;
      continue;
    }
    size_t length = Utf8SequenceLength(bytes + i, size - i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

size_t DecodeCharacter(const unsigned char* bytes, size_t size, bool utf8,
                       uint32_t* codePoint) {
  unsigned char lead = bytes[0];
  if (lead < 0x80) {
    *codePoint = lead;
    return 1;
  }
  if (!utf8) {
    *codePoint = lead < 0xA0 ? kWindows1252High[lead - 0x80] : lead;
    return 1;
  }
  size_t length = Utf8SequenceLength(bytes, size);
  if (length == 0) {  // not reached for a text checked by IsValidUtf8
    *codePoint = 0xFFFD;
    return 1;
  }
  uint32_t value = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) value = (value << 6) | (bytes[i] & 0x3F);
  *codePoint = value;
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
    char encoded[4];
    size_t length;
    if (codePoint < 0x80) {
      encoded[0] = static_cast<char>(codePoint);
      length = 1;
    } else if (codePoint < 0x800) {
      encoded[0] = static_cast<char>(0xC0 | (codePoint >> 6));
      encoded[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
      length = 2;
    } else if (codePoint < 0x10000) {
      encoded[0] = static_cast<char>(0xE0 | (codePoint >> 12));
      encoded[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
      encoded[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
      length = 3;
    } else {
      encoded[0] = static_cast<char>(0xF0 | (codePoint >> 18));
      encoded[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
      encoded[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
      encoded[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
      length = 4;
    }
    out->append(encoded, length);
  }
}

}  // namespace veloran::odbc
