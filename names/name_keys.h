#ifndef VELORAN_NAMES_NAME_KEYS_H_
#define VELORAN_NAMES_NAME_KEYS_H_

#include <cstddef>

// Search keys of star names.  One function turns a name as the database
// stores it (a windows-1252 HTML fragment: "&alpha; CMa", "Alnit&aacute;k")
// and a name as a visitor types it (UTF-8 or windows-1252 bytes, with
// numeric references for characters outside the page's code page:
// "&#945; CMa") into the same key, so that a lookup by key finds a star
// whatever the letter case, spacing, punctuation, accents or spelling of a
// Greek letter: "Sirius" and "sirius" give "sirius"; "&alpha; CMa",
// "alpha CMa", "alf CMa" and "α CMa" give "alphacma"; "HD 48915",
// "HD48915" and "hd-48915" give "hd48915"; "Barnard's Star" gives
// "barnardsstar".
//
// The rules, in this order:
//  1. Bytes: the text is read as UTF-8 when all of it is valid UTF-8, else
//     as windows-1252 (where 0x81, 0x8D, 0x8F, 0x90 and 0x9D are no
//     character).  Byte 0 is a character like any other.
//  2. References, each only with its closing ";": the named entities of
//     HTML 4 ("&alpha;", "&Aacute;", "&amp;", "&apos;"; case matters, as in
//     HTML) and numeric ones ("&#945;", "&#x3B1;", "&#X3b1;").  As browsers
//     read them, "&#128;" to "&#159;" mean the windows-1252 characters of
//     those bytes; a reference to 0, to a surrogate or beyond U+10FFFF
//     means no character.  Anything else stays as written: a lone "&",
//     "&foo;", "&#945" without its ";".  References are decoded once:
//     "&amp;alpha;" is the text "&alpha;".
//  3. Greek letters become their names, capital or small, with or without
//     accents: α → alpha, Ω → omega, ς → sigma, ϑ → theta, and the micro
//     sign µ → mu.
//  4. Latin letters lose their accents and their case: é → e, Å → a,
//     ß → ss, æ → ae, œ → oe, ø → o, ł → l, đ and ð → d, þ → th, ĳ → ij,
//     ª → a, º → o; this covers every letter of windows-1252, Latin-1 and
//     Latin Extended-A, the pinyin vowels, ș and ț, and fullwidth letters.
//     Superscript, subscript and fullwidth digits become digits: α¹ → alpha1.
//  5. A word, a run of letters between other characters, that is a Bayer
//     abbreviation becomes the name of its Greek letter: alf and alp →
//     alpha, bet → beta, gam → gamma, del → delta, eps → epsilon, zet →
//     zeta, tet and the → theta, iot → iota, kap → kappa, lam → lambda,
//     ksi → xi, omi → omicron, sig → sigma, ups → upsilon, ome → omega;
//     eta, mu, nu, xi, pi, rho, tau, phi, chi and psi are names already.
//     Case does not matter ("Alf CMa"), and a digit ends a word ("alf1
//     Cen" → alpha1cen), but "alfCen" is one word and stays alfcen.  So
//     does a run of letters between digits or the ends of the text that
//     spells an abbreviation once spaces and punctuation are left out ("a
//     lf" → alpha), so that the key of a key is the key itself.
//  6. Only the letters a-z and the digits 0-9 are kept.  Everything else is
//     left out: spaces, punctuation, symbols, combining accents, and
//     letters of other scripts.
//
// The rules are this code's own rather than a library's (ICU's
// transliterators, iconv's //TRANSLIT) because a key stored in the
// database must equal the key computed for a query later, on another
// machine or after an upgrade: a change of any rule means filling the
// NameLookup table again (db/name_lookup.sql, with the rebuilt dialect
// extension).

namespace veloran {

// A key buffer of this size holds every key that NameLookup stores (at most
// 255 characters) and its terminator.
inline constexpr size_t kNameKeySize = 256;

// Why NameKey gave no key.
enum class NameKeyFault {
  kNone,
  kNothingToSearchBy,  // no letter or digit in the text
  kTooLong,            // the key and its terminator need more than keySize
};

// Writes the key of the "length" bytes at "text" (any bytes, 0 among them)
// into "key", which holds "keySize" bytes, followed by a terminating 0.
// Returns false when the text has no letter or digit to search by or its
// key does not fit (while it is written, each Bayer "ksi" takes one byte
// more than the "xi" it becomes, so a key with one may be refused by a
// buffer of exactly its size; kNameKeySize is far above any real name);
// "key" then holds an empty text (when keySize > 0), and
// *fault, when "fault" is not nullptr, says which.  Never writes beyond
// key[keySize - 1]; allocates nothing and throws nothing.
bool NameKey(const char* text, size_t length, char* key, size_t keySize,
             NameKeyFault* fault = nullptr);

// Writes into "end", which holds "endSize" bytes, the smallest text above
// every key that starts with the key "prefix": the prefix with its last
// character raised by one ("barnard" gives "barnare").  The keys that start
// with "prefix" are then those with  key >= prefix AND key < end  in byte
// order, which an index on the key serves.  Returns false, with "end"
// empty when endSize > 0, when "prefix" is empty or "end" does not fit.
bool NameKeyPrefixEnd(const char* prefix, char* end, size_t endSize);

// The length of the name of a Greek letter ("alpha", "omicron") that the
// key "key" starts with, or 0 when it starts with none.
size_t GreekLetterLength(const char* key);

}  // namespace veloran

#endif  // VELORAN_NAMES_NAME_KEYS_H_
