#include "text/html_text.h"

#include <cstring>

#include "text/text_encoding.h"

namespace veloran {

const char* const kGreekLetterNames[kGreekLetterCount] = {
    "alpha",   "beta", "gamma", "delta",  "epsilon", "zeta", "eta",
    "theta",   "iota", "kappa", "lambda", "mu",      "nu",   "xi",
    "omicron", "pi",   "rho",   "sigma",  "sigma",   "tau",  "upsilon",
    "phi",     "chi",  "psi",   "omega"};

namespace {

// The HTML 4 entities of U+00A0-U+00FF, in order.
constexpr const char* kLatin1Entities[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar",
    "sect",   "uml",    "copy",   "ordf",   "laquo",  "not",    "shy",
    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",
    "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",
    "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",
    "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute",
    "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",
    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",
    "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
    "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute",
    "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave", "uacute",
    "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// The other HTML 4 entities but the Greek letters.
constexpr struct {
  const char* name;
  uint16_t character;
} kOtherEntities[] = {
    {"quot", 34},     {"amp", 38},       {"apos", 39},     {"lt", 60},
    {"gt", 62},       {"OElig", 338},    {"oelig", 339},   {"Scaron", 352},
    {"scaron", 353},  {"Yuml", 376},     {"fnof", 402},    {"circ", 710},
    {"tilde", 732},   {"thetasym", 977}, {"upsih", 978},   {"piv", 982},
    {"ensp", 8194},   {"emsp", 8195},    {"thinsp", 8201}, {"zwnj", 8204},
    {"zwj", 8205},    {"lrm", 8206},     {"rlm", 8207},    {"ndash", 8211},
    {"mdash", 8212},  {"lsquo", 8216},   {"rsquo", 8217},  {"sbquo", 8218},
    {"ldquo", 8220},  {"rdquo", 8221},   {"bdquo", 8222},  {"dagger", 8224},
    {"Dagger", 8225}, {"bull", 8226},    {"hellip", 8230}, {"permil", 8240},
    {"prime", 8242},  {"Prime", 8243},   {"lsaquo", 8249}, {"rsaquo", 8250},
    {"oline", 8254},  {"frasl", 8260},   {"euro", 8364},   {"image", 8465},
    {"weierp", 8472}, {"real", 8476},    {"trade", 8482},  {"alefsym", 8501},
    {"larr", 8592},   {"uarr", 8593},    {"rarr", 8594},   {"darr", 8595},
    {"harr", 8596},   {"crarr", 8629},   {"lArr", 8656},   {"uArr", 8657},
    {"rArr", 8658},   {"dArr", 8659},    {"hArr", 8660},   {"forall", 8704},
    {"part", 8706},   {"exist", 8707},   {"empty", 8709},  {"nabla", 8711},
    {"isin", 8712},   {"notin", 8713},   {"ni", 8715},     {"prod", 8719},
    {"sum", 8721},    {"minus", 8722},   {"lowast", 8727}, {"radic", 8730},
    {"prop", 8733},   {"infin", 8734},   {"ang", 8736},    {"and", 8743},
    {"or", 8744},     {"cap", 8745},     {"cup", 8746},    {"int", 8747},
    {"there4", 8756}, {"sim", 8764},     {"cong", 8773},   {"asymp", 8776},
    {"ne", 8800},     {"equiv", 8801},   {"le", 8804},     {"ge", 8805},
    {"sub", 8834},    {"sup", 8835},     {"nsub", 8836},   {"sube", 8838},
    {"supe", 8839},   {"oplus", 8853},   {"otimes", 8855}, {"perp", 8869},
    {"sdot", 8901},   {"lceil", 8968},   {"rceil", 8969},  {"lfloor", 8970},
    {"rfloor", 8971}, {"lang", 9001},    {"rang", 9002},   {"loz", 9674},
    {"spades", 9824}, {"clubs", 9827},   {"hearts", 9829}, {"diams", 9830},
};

bool SameName(const char* name, const char* text, size_t length) {
  return std::strlen(name) == length && std::memcmp(name, text, length) == 0;
}

bool BeginsName(const char* name, const char* text, size_t length) {
  return std::strlen(name) >= length && std::memcmp(name, text, length) == 0;
}

// The longest name of an entity ("thetasym"); no longer name is read.
constexpr size_t kLongestEntityName = 8;

// Calls "match" with each name of an HTML 4 entity and its character,
// until it returns true; returns whether one did.  Every question about
// the names goes through here, so that they are listed once.
template <typename Match>
bool AnyEntity(Match match) {
  for (size_t i = 0; i < 96; ++i) {
    if (match(kLatin1Entities[i], 0xA0 + i)) return true;
  }
  for (const auto& entity : kOtherEntities) {
    if (match(entity.name, entity.character)) return true;
  }
  for (size_t i = 0; i < kGreekLetterCount; ++i) {
    // Only the small final sigma has an entity: "sigmaf".
    if (i == 0x03C2 - 0x03B1) continue;
    char capital[kLongestEntityName + 1];
    std::strcpy(capital, kGreekLetterNames[i]);
    capital[0] = static_cast<char>(capital[0] - 'a' + 'A');
    if (match(kGreekLetterNames[i], 0x03B1 + i) ||
        match(capital, 0x0391 + i)) {
      return true;
    }
  }
  return match("sigmaf", 0x03C2);
}

// The character of the named entity "text" (without "&" and ";"), or
// kNoCharacter when HTML 4 has no entity of that name.
uint32_t NamedEntity(const char* text, size_t length) {
  uint32_t found = kNoCharacter;
  AnyEntity([&](const char* name, uint32_t character) {
    if (!SameName(name, text, length)) return false;
    found = character;
    return true;
  });
  return found;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
         (c >= 'A' && c <= 'F');
}

bool IsNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9');
}

enum class Scanned { kNone, kWhole, kCut };

// The one reading of a reference at the "&" of text[0], among "length"
// bytes: whole, with its size and character; cut short by the end of the
// text; or none.
Scanned ScanReference(const char* text, size_t length, size_t* size,
                      uint32_t* character) {
  size_t i = 1;
  if (i < length && text[i] == '#') {
    ++i;
    bool hex = i < length && (text[i] == 'x' || text[i] == 'X');
    if (hex) ++i;
    size_t digits = i;
    uint32_t value = 0;
    for (; i < length && (hex ? IsHexDigit(text[i])
                              : text[i] >= '0' && text[i] <= '9');
         ++i) {
      char d = text[i];
      uint32_t digit = d <= '9' ? d - '0' : (d | 0x20) - 'a' + 10;
      // Anything beyond U+10FFFF is no character; stop counting there.
      value = value > 0x10FFFF ? value : value * (hex ? 16 : 10) + digit;
    }
    if (i >= length) return Scanned::kCut;
    if (i == digits || text[i] != ';') return Scanned::kNone;
    *size = i + 1;
    if (value == 0 || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF)) {
      *character = kNoCharacter;
    } else if (value >= 0x80 && value <= 0x9F) {
      *character = Windows1252ToCodePoint(static_cast<unsigned char>(value));
    } else {
      *character = value;
    }
    return Scanned::kWhole;
  }
  size_t start = i;
  while (i < length && i - start <= kLongestEntityName &&
         IsNameByte(text[i])) {
    ++i;
  }
  size_t nameLength = i - start;
  if (i >= length) {
    return AnyEntity([&](const char* name, uint32_t) {
             return BeginsName(name, text + start, nameLength);
           })
               ? Scanned::kCut
               : Scanned::kNone;
  }
  if (nameLength == 0 || text[i] != ';') return Scanned::kNone;
  uint32_t named = NamedEntity(text + start, nameLength);
  if (named == kNoCharacter) return Scanned::kNone;
  *size = i + 1;
  *character = named;
  return Scanned::kWhole;
}

}  // namespace

bool ReadCharacterReference(const char* text, size_t length, size_t* size,
                            uint32_t* character) {
  return ScanReference(text, length, size, character) == Scanned::kWhole;
}

bool IsCutCharacterReference(const char* text, size_t length) {
  size_t size = 0;
  uint32_t character = 0;
  return ScanReference(text, length, &size, &character) == Scanned::kCut;
}

namespace {

constexpr uint32_t kReplacementCharacter = 0xFFFD;

// Appends the UTF-8 form of "c" to out[*length], keeping room for the
// terminator; false when it does not fit.
bool Append(uint32_t c, char* out, size_t outSize, size_t* length) {
  char sequence[kMaxUtf8Sequence];
  size_t size = EncodeUtf8(c, sequence);
  if (*length + size >= outSize) return false;
  std::memcpy(out + *length, sequence, size);
  *length += size;
  return true;
}

// The character of a windows-1252 byte, the undefined ones replaced.
uint32_t CharacterOf(unsigned char byte) {
  uint32_t c = Windows1252ToCodePoint(byte);
  return c == kNoCharacter ? kReplacementCharacter : c;
}

// Ends the conversion: the terminator, or an empty text when it failed.
bool Finish(bool fits, char* out, size_t outSize, size_t length) {
  if (outSize == 0) return false;
  out[fits ? length : 0] = '\0';
  return fits;
}

}  // namespace

bool Windows1252ToUtf8(const char* in, char* out, size_t outSize) {
  size_t length = 0;
  bool fits = outSize > 0;
  for (const char* c = in; fits && *c != '\0'; ++c) {
    fits = Append(CharacterOf(static_cast<unsigned char>(*c)), out, outSize,
                  &length);
  }
  return Finish(fits, out, outSize, length);
}

bool HtmlFragmentToUtf8(const char* fragment, char* out, size_t outSize) {
  size_t length = 0;
  bool fits = outSize > 0;
  size_t total = std::strlen(fragment);
  for (size_t i = 0; fits && i < total;) {
    if (fragment[i] == '<') {
      // A tag is left out up to its ">", or to the end of a text cut short.
      const char* end = std::strchr(fragment + i, '>');
      i = end == nullptr ? total : static_cast<size_t>(end - fragment) + 1;
      continue;
    }
    size_t size = 1;
    uint32_t c = kNoCharacter;
    if (fragment[i] == '&' &&
        ReadCharacterReference(fragment + i, total - i, &size, &c)) {
      if (c == kNoCharacter) c = kReplacementCharacter;
    } else {
      c = CharacterOf(static_cast<unsigned char>(fragment[i]));
    }
    fits = Append(c, out, outSize, &length);
    i += size;
  }
  return Finish(fits, out, outSize, length);
}

}  // namespace veloran
