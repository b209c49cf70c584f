#ifndef VELORAN_DRIVER_WIDE_TEXT_H_
#define VELORAN_DRIVER_WIDE_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Texts between the bytes SQLite stores and the UTF-16 of SQL_C_WCHAR
// buffers (unixODBC's SQLWCHAR is two bytes).
//
// A stored text is read as UTF-8 when all of it is valid UTF-8, and as
// windows-1252 otherwise: the Veloran database keeps windows-1252 bytes,
// while SQLite's own functions and most other databases write UTF-8.  The
// decision is made for the whole value, so every piece of a text read in
// pieces is decoded the same way.  The five bytes that windows-1252 leaves
// undefined become the C1 control characters of the same number.

namespace veloran::odbc {

// True when the bytes are valid UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(const unsigned char* bytes, size_t size);

// Decodes one character at "bytes" (utf8: a valid UTF-8 text; otherwise
// windows-1252).  Returns the bytes it took; *codePoint is the character.
size_t DecodeCharacter(const unsigned char* bytes, size_t size, bool utf8,
                       uint32_t* codePoint);

// The number of UTF-16 code units that "codePoint" takes (1 or 2).
inline size_t Utf16Units(uint32_t codePoint) {
  return codePoint >= 0x10000 ? 2 : 1;
}

// Appends the UTF-8 form of a UTF-16 text of "units" code units; an
// unpaired surrogate becomes U+FFFD.  Throws std::bad_alloc when the string
// cannot grow.
void AppendUtf16AsUtf8(const uint16_t* text, size_t units, std::string* out);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_WIDE_TEXT_H_
