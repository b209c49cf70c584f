#ifndef VELORAN_TEXT_TEXT_ENCODING_H_
#define VELORAN_TEXT_TEXT_ENCODING_H_

#include <cstddef>
#include <cstdint>

// The two encodings of the system's texts: UTF-8, as visitors type them and
// SQLite's own functions write them, and windows-1252, as the database
// stores names and the pages are served.  One table and one decoder for the
// name keys, the ODBC driver and the importer, which must all read a text
// the same way.  Plain functions on bytes: no allocation, no locale, no
// exceptions.

namespace veloran {

// What decoding gives for a byte that is no character.
inline constexpr uint32_t kNoCharacter = 0xFFFFFFFF;

// The longest UTF-8 sequence and the longest numeric character reference
// ("&#1114111;"), in bytes.
inline constexpr size_t kMaxUtf8Sequence = 4;
inline constexpr size_t kMaxNumericReference = 10;

// Reads the UTF-8 sequence at the start of the "length" bytes at "text"
// (length > 0).  Returns its length, 1 to 4, with its character in
// *codePoint; returns 0, leaving *codePoint as it was, when the bytes start
// no valid sequence: a continuation byte, an overlong form, a surrogate,
// a character beyond U+10FFFF or a sequence cut short by the end.
size_t DecodeUtf8(const unsigned char* text, size_t length,
                  uint32_t* codePoint);

// True when all "length" bytes at "text" are valid UTF-8 (true for none).
bool IsUtf8(const unsigned char* text, size_t length);

// Writes the UTF-8 form of "codePoint" (at most U+10FFFF, no surrogate)
// into "out" and returns its length, 1 to 4.
size_t EncodeUtf8(uint32_t codePoint, char out[kMaxUtf8Sequence]);

// The character of a windows-1252 byte: the byte itself but for 0x80-0x9F,
// which windows-1252 gives to the euro sign, quotation marks, dashes and a
// few letters; kNoCharacter for the five bytes it leaves undefined, 0x81,
// 0x8D, 0x8F, 0x90 and 0x9D.
uint32_t Windows1252ToCodePoint(unsigned char byte);

// The windows-1252 byte of "codePoint" in *byte.  Returns false when
// windows-1252 has no byte for it (the C1 controls U+0080-U+009F among
// them); *byte is then as it was.
bool CodePointToWindows1252(uint32_t codePoint, unsigned char* byte);

// Converts a text typed by a visitor, the "length" bytes at "in", into the
// windows-1252 text that a browser sends from a form of a windows-1252
// page: when all of "in" is valid UTF-8, every character that windows-1252
// holds becomes its byte and every other one a numeric character reference
// ("\xE2\x82\xAC" gives the byte 0x80, "\xCE\xB1" gives "&#945;");
// otherwise the text is taken to be windows-1252 already and copied
// unchanged.  Nothing else is escaped: a caller that puts the result into
// a page escapes "&", "<" and ">" of "in" first, so that the references
// stay references.
// Writes the result and a terminating 0 into "out", which holds "outSize"
// bytes, and its length without the terminator into *outLength when
// "outLength" is not nullptr ("in" may hold 0 bytes, and so may the
// result).  Returns false when the result does not fit; "out" then holds
// an empty text (when outSize > 0) and *outLength is 0.  Never writes
// beyond out[outSize - 1].
bool Utf8ToWindows1252Html(const char* in, size_t length, char* out,
                           size_t outSize, size_t* outLength = nullptr);

}  // namespace veloran

#endif  // VELORAN_TEXT_TEXT_ENCODING_H_
