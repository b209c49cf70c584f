#include "text/text_encoding.h"

#include <cassert>
#include <cstring>

namespace veloran {

namespace {

// The characters of the windows-1252 bytes 0x80-0x9F; 0 where the byte is
// no character.
constexpr uint16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Writes "&#N;" for "codePoint" into "out"; returns its length.
size_t NumericReference(uint32_t codePoint, char out[kMaxNumericReference]) {
  char digits[7];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + codePoint % 10);
    codePoint /= 10;
  } while (codePoint != 0);
  size_t size = 0;
  out[size++] = '&';
  out[size++] = '#';
  while (count > 0) out[size++] = digits[--count];
  out[size++] = ';';
  return size;
}

}  // namespace

size_t DecodeUtf8(const unsigned char* text, size_t length,
                  uint32_t* codePoint) {
  assert(length > 0);
  unsigned char lead = text[0];
  size_t size;
  uint32_t value;
  uint32_t smallest;
  if (lead < 0x80) {
    *codePoint = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2, value = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3, value = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4, value = lead & 0x07, smallest = 0x10000;
  } else {
    return 0;
  }
  if (size > length) return 0;
  for (size_t i = 1; i < size; ++i) {
    if ((text[i] & 0xC0) != 0x80) return 0;
    value = value << 6 | (text[i] & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  *codePoint = value;
  return size;
}

bool IsUtf8(const unsigned char* text, size_t length) {
  uint32_t ignored;
  for (size_t i = 0; i < length;) {
    size_t size = DecodeUtf8(text + i, length - i, &ignored);
    if (size == 0) return false;
    i += size;
  }
  return true;
}

size_t EncodeUtf8(uint32_t codePoint, char out[kMaxUtf8Sequence]) {
  assert(codePoint <= 0x10FFFF &&
         !(codePoint >= 0xD800 && codePoint <= 0xDFFF));
  if (codePoint < 0x80) {
    out[0] = static_cast<char>(codePoint);
    return 1;
  }
  if (codePoint < 0x800) {
    out[0] = static_cast<char>(0xC0 | codePoint >> 6);
    out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 2;
  }
  if (codePoint < 0x10000) {
    out[0] = static_cast<char>(0xE0 | codePoint >> 12);
    out[1] = static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
    out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | codePoint >> 18);
  out[1] = static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
  out[2] = static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
  out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
  return 4;
}

uint32_t Windows1252ToCodePoint(unsigned char byte) {
  if (byte < 0x80 || byte > 0x9F) return byte;
  uint16_t c = kWindows1252High[byte - 0x80];
  return c == 0 ? kNoCharacter : c;
}

bool CodePointToWindows1252(uint32_t codePoint, unsigned char* byte) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
    *byte = static_cast<unsigned char>(codePoint);
    return true;
  }
  // The table's 0s, its undefined bytes, match no code point from here on.
  for (size_t i = 0; i < 32; ++i) {
    if (kWindows1252High[i] == codePoint) {
      *byte = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

bool Utf8ToWindows1252Html(const char* in, size_t length, char* out,
                           size_t outSize, size_t* outLength) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(in);
  bool utf8 = IsUtf8(bytes, length);
  size_t size = 0;
  bool fits = true;
  for (size_t i = 0; i < length && fits;) {
    char piece[kMaxNumericReference];
    size_t pieceSize = 1;
    uint32_t codePoint = bytes[i];
    unsigned char byte = bytes[i];
    if (utf8) {
      i += DecodeUtf8(bytes + i, length - i, &codePoint);
    } else {
      ++i;
    }
    if (!utf8 || CodePointToWindows1252(codePoint, &byte)) {
      piece[0] = static_cast<char>(byte);
    } else {
      pieceSize = NumericReference(codePoint, piece);
    }
    // The terminator needs one byte more.
    fits = size + pieceSize < outSize;
    if (fits) {
      std::memcpy(out + size, piece, pieceSize);
      size += pieceSize;
    }
  }
  fits = fits && size < outSize;
  if (!fits) size = 0;
  if (outSize > 0) out[size] = '\0';
  if (outLength != nullptr) *outLength = size;
  return fits;
}

}  // namespace veloran
