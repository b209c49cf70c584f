#ifndef VELORAN_TEXT_HTML_TEXT_H_
#define VELORAN_TEXT_HTML_TEXT_H_

#include <cstddef>
#include <cstdint>

// The database's names are HTML fragments in windows-1252 ("&alpha; CMa",
// "Alnit&aacute;k"), written into the pages as they are.  Files that are
// no HTML (CSV, JSON, VOTable, SVG) need their plain text in UTF-8; the
// name keys need their characters.  Both read a reference the one way
// written here.

namespace veloran {

// The names of the Greek letters, small alpha (U+03B1) to omega (U+03C9),
// where U+03C2, the final sigma, is "sigma" too.  They are also the names
// of the letters' HTML entities, with a capital first letter for the
// capitals (U+0391-U+03A9, where U+03A2 is no character).
inline constexpr size_t kGreekLetterCount = 25;
extern const char* const kGreekLetterNames[kGreekLetterCount];

// Reads the character reference that starts with the "&" at text[0], among
// the "length" bytes at "text": a named entity of HTML 4 ("&alpha;",
// "&Aacute;", "&amp;", "&apos;"; case matters, as in HTML) or a numeric
// one ("&#945;", "&#x3B1;", "&#X3b1;"), each only with its closing ";".
// As browsers read them, "&#128;" to "&#159;" mean the windows-1252
// characters of those bytes; a reference to 0, to a surrogate or beyond
// U+10FFFF means no character (kNoCharacter).  Returns the reference's
// length with the ";" in *size and its character in *character, or false
// when text[0] starts no reference: a lone "&", "&foo;", "&#945" without
// its ";".
bool ReadCharacterReference(const char* text, size_t length, size_t* size,
                            uint32_t* character);

// Whether the "length" bytes at "text", from the "&" at text[0], are the
// start of a reference as ReadCharacterReference reads it that the end of
// the text cuts short, as a value cut to its buffer can leave it: "&",
// "&#", "&#x3B", "&alp", "&alpha" (its ";" cut off).  "&foo" and "& x" are
// none: no reference starts so.
bool IsCutCharacterReference(const char* text, size_t length);

// The most bytes that the UTF-8 text of "length" bytes of windows-1252
// (or of an HTML fragment in it) takes, without the terminator: each byte
// becomes at most three (the euro sign), and no reference more than it
// takes.
constexpr size_t Utf8SizeOf1252(size_t length) { return 3 * length; }

// Writes the windows-1252 text "in" (terminated) as UTF-8 into "out",
// which holds "outSize" bytes, with a terminating 0.  The five bytes that
// windows-1252 leaves undefined become U+FFFD, the replacement character.
// Returns false when the result does not fit; "out" then holds an empty
// text (when outSize > 0).  Never writes beyond out[outSize - 1].
bool Windows1252ToUtf8(const char* in, char* out, size_t outSize);

// Writes the plain text of the HTML fragment "fragment" (terminated,
// windows-1252) as UTF-8 into "out", as Windows1252ToUtf8 does, but with
// every character reference as its character (ReadCharacterReference; one
// to no character becomes U+FFFD) and every tag ("<sup>", "</b>", or one
// that the end of the text cuts short) left out.  Anything else stays as
// written, a lone "&" and a ">" among them.  References are decoded once:
// "&amp;alpha;" is the text "&alpha;".
bool HtmlFragmentToUtf8(const char* fragment, char* out, size_t outSize);

}  // namespace veloran

#endif  // VELORAN_TEXT_HTML_TEXT_H_
