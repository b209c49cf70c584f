#include "names/name_keys.h"

#include <cstdint>
#include <cstring>

#include "text/text_encoding.h"

namespace veloran {

namespace {

// The names of the Greek letters, small alpha (U+03B1) to omega (U+03C9);
// U+03C2 is the final sigma.  They are also the names of their HTML
// entities, with a capital first letter for the capitals (U+0391-U+03A9,
// where U+03A2 is no character).
constexpr const char* kGreekNames[25] = {
    "alpha",   "beta", "gamma", "delta",  "epsilon", "zeta", "eta",
    "theta",   "iota", "kappa", "lambda", "mu",      "nu",   "xi",
    "omicron", "pi",   "rho",   "sigma",  "sigma",   "tau",  "upsilon",
    "phi",     "chi",  "psi",   "omega"};

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

// The character of the named entity "text" (without "&" and ";"), or
// kNoCharacter when HTML 4 has no entity of that name.
uint32_t NamedEntity(const char* text, size_t length) {
  for (size_t i = 0; i < 96; ++i) {
    if (SameName(kLatin1Entities[i], text, length)) return 0xA0 + i;
  }
  for (const auto& entity : kOtherEntities) {
    if (SameName(entity.name, text, length)) return entity.character;
  }
  if (length >= 2 && length <= 7) {
    char small[8];
    std::memcpy(small, text, length);
    small[length] = '\0';
    bool capital = small[0] >= 'A' && small[0] <= 'Z';
    if (capital) small[0] = static_cast<char>(small[0] - 'A' + 'a');
    for (size_t i = 0; i < 25; ++i) {
      // Only the small final sigma has an entity: "sigmaf".
      if (i == 0x03C2 - 0x03B1) continue;
      if (SameName(kGreekNames[i], small, length)) {
        return (capital ? 0x0391 : 0x03B1) + i;
      }
    }
    if (SameName("sigmaf", text, length)) return 0x03C2;
  }
  return kNoCharacter;
}

// Reads the reference that starts with the "&" at text[0]: its length
// with the ";" into *size and its character (kNoCharacter for none) into
// *c.  Returns false when text[0] starts no reference.
bool ReadReference(const char* text, size_t length, size_t* size, uint32_t* c) {
  size_t i = 1;
  if (i < length && text[i] == '#') {
    ++i;
    int base = 10;
    if (i < length && (text[i] == 'x' || text[i] == 'X')) base = 16, ++i;
    size_t digits = i;
    uint32_t value = 0;
    for (; i < length; ++i) {
      char d = text[i];
      int digit;
      if (d >= '0' && d <= '9') {
        digit = d - '0';
      } else if (base == 16 && d >= 'a' && d <= 'f') {
        digit = d - 'a' + 10;
      } else if (base == 16 && d >= 'A' && d <= 'F') {
        digit = d - 'A' + 10;
      } else {
        break;
      }
      // Anything beyond U+10FFFF is no character; stop counting there.
      value = value > 0x10FFFF ? value : value * base + digit;
    }
    if (i == digits || i >= length || text[i] != ';') return false;
    *size = i + 1;
    if (value == 0 || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF)) {
      *c = kNoCharacter;
    } else if (value >= 0x80 && value <= 0x9F) {
      *c = Windows1252ToCodePoint(static_cast<unsigned char>(value));
    } else {
      *c = value;
    }
    return true;
  }
  size_t start = i;
  while (i < length && i - start <= 8 &&
         ((text[i] >= 'a' && text[i] <= 'z') ||
          (text[i] >= 'A' && text[i] <= 'Z') ||
          (text[i] >= '0' && text[i] <= '9'))) {
    ++i;
  }
  if (i == start || i >= length || text[i] != ';') return false;
  uint32_t named = NamedEntity(text + start, i - start);
  if (named == kNoCharacter) return false;
  *size = i + 1;
  *c = named;
  return true;
}

// The base letters of U+0100-U+017F; '*' where a letter becomes two.
constexpr char kLatinExtendedA[] =
    "aaaaaaccccccccdddd"
    "eeeeeeeeee"
    "gggggggghhhh"
    "iiiiiiiiii**jjkkk"
    "llllllllllnnnnnnnnn"
    "oooooo**rrrrrrssssssss"
    "tttttt"
    "uuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(sizeof(kLatinExtendedA) == 128 + 1);

// The letters of U+00C0-U+00FF; '*' where a letter becomes two, ' ' for
// the two signs.
constexpr char kLatin1Letters[] =
    "aaaaaa*ceeeeiiiidnooooo ouuuuy**"
    "aaaaaa*ceeeeiiiidnooooo ouuuuy*y";
static_assert(sizeof(kLatin1Letters) == 64 + 1);

// Texts of one letter or digit, for KeyText to return.
struct SingleTexts {
  char letters[26][2];
  char digits[10][2];
};
constexpr SingleTexts MakeSingleTexts() {
  SingleTexts texts{};
  for (int i = 0; i < 26; ++i) texts.letters[i][0] = static_cast<char>('a' + i);
  for (int i = 0; i < 10; ++i) texts.digits[i][0] = static_cast<char>('0' + i);
  return texts;
}
constexpr SingleTexts kSingle = MakeSingleTexts();

// What character "c" gives to a key: its letters a-z or its digit, or ""
// for none.  *isDigit says which.  The text lives as long as the process.
const char* KeyText(uint32_t c, bool* isDigit) {
  *isDigit = false;
  auto one = [](char letter) { return kSingle.letters[letter - 'a']; };
  auto digit = [&](uint32_t value) {
    *isDigit = true;
    return kSingle.digits[value];
  };
  if (c >= '0' && c <= '9') return digit(c - '0');
  if (c >= 'a' && c <= 'z') return one(static_cast<char>(c));
  if (c >= 'A' && c <= 'Z') return one(static_cast<char>(c - 'A' + 'a'));
  if (c < 0xAA) return "";
  switch (c) {
    case 0xAA:
      return "a";
    case 0xBA:
      return "o";
    case 0xB5:
      return "mu";
    case 0xB9:
      return digit(1);
    case 0xB2:
      return digit(2);
    case 0xB3:
      return digit(3);
    case 0xC6:
    case 0xE6:
      return "ae";
    case 0xDE:
    case 0xFE:
      return "th";
    case 0xDF:
      return "ss";
    case 0x0132:
    case 0x0133:
      return "ij";
    case 0x0152:
    case 0x0153:
      return "oe";
    case 0x0192:
      return "f";
    case 0x0218:
    case 0x0219:
      return "s";
    case 0x021A:
    case 0x021B:
      return "t";
    case 0x2070:
      return digit(0);
    case 0x0386:
    case 0x03AC:
      return "alpha";
    case 0x0388:
    case 0x03AD:
      return "epsilon";
    case 0x0389:
    case 0x03AE:
      return "eta";
    case 0x038A:
    case 0x0390:
    case 0x03AA:
    case 0x03AF:
    case 0x03CA:
      return "iota";
    case 0x038C:
    case 0x03CC:
      return "omicron";
    case 0x038E:
    case 0x03AB:
    case 0x03B0:
    case 0x03CB:
    case 0x03CD:
    case 0x03D2:
      return "upsilon";
    case 0x038F:
    case 0x03CE:
      return "omega";
    case 0x03D1:
      return "theta";
    case 0x03D6:
      return "pi";
  }
  if (c >= 0xC0 && c <= 0xFF) {
    char letter = kLatin1Letters[c - 0xC0];
    return letter == ' ' ? "" : one(letter);
  }
  if (c >= 0x0100 && c <= 0x017F) return one(kLatinExtendedA[c - 0x0100]);
  if (c >= 0x01CD && c <= 0x01DC) return one("aaiioouuuuuuuuuu"[c - 0x01CD]);
  if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return kGreekNames[c - 0x0391];
  if (c >= 0x03B1 && c <= 0x03C9) return kGreekNames[c - 0x03B1];
  if (c >= 0x2074 && c <= 0x2079) return digit(c - 0x2070);
  if (c >= 0x2080 && c <= 0x2089) return digit(c - 0x2080);
  if (c >= 0xFF10 && c <= 0xFF19) return digit(c - 0xFF10);
  if (c >= 0xFF21 && c <= 0xFF3A)
    return one(static_cast<char>('a' + c - 0xFF21));
  if (c >= 0xFF41 && c <= 0xFF5A)
    return one(static_cast<char>('a' + c - 0xFF41));
  return "";
}

// The Bayer abbreviations that are not the names of their letters.
constexpr struct {
  const char* abbreviation;
  const char* name;
} kAbbreviations[] = {
    {"alf", "alpha"}, {"alp", "alpha"},   {"bet", "beta"},  {"gam", "gamma"},
    {"del", "delta"}, {"eps", "epsilon"}, {"zet", "zeta"},  {"tet", "theta"},
    {"the", "theta"}, {"iot", "iota"},    {"kap", "kappa"}, {"lam", "lambda"},
    {"ksi", "xi"},    {"omi", "omicron"}, {"sig", "sigma"}, {"ups", "upsilon"},
    {"ome", "omega"},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The key being written: "size" bytes of "key" are in use.
struct KeyWriter {
  char* key;
  size_t keySize;
  size_t size;
  bool tooLong;

  void Append(const char* text) {
    size_t length = std::strlen(text);
    if (size + length + 1 > keySize) {
      tooLong = true;
      return;
    }
    std::memcpy(key + size, text, length);
    size += length;
  }

  // Spells out the letters from "start" to "end" when they are a Bayer
  // abbreviation, moving what follows them; returns where they end then.
  size_t SpellOutWithin(size_t start, size_t end) {
    if (tooLong || end - start != 3) return end;
    for (const auto& entry : kAbbreviations) {
      if (std::memcmp(key + start, entry.abbreviation, 3) != 0) continue;
      size_t length = std::strlen(entry.name);
      if (size - 3 + length + 1 > keySize) {
        tooLong = true;
        return end;
      }
      std::memmove(key + start + length, key + end, size - end);
      std::memcpy(key + start, entry.name, length);
      size = size - 3 + length;
      return start + length;
    }
    return end;
  }
};

}  // namespace

bool NameKey(const char* text, size_t length, char* key, size_t keySize,
             NameKeyFault* fault) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  bool utf8 = IsUtf8(bytes, length);
  KeyWriter out{key, keySize, 0, false};
  size_t wordStart = 0;
  bool inWord = false;
  for (size_t i = 0; i < length && !out.tooLong;) {
    uint32_t c = kNoCharacter;
    size_t size = 1;
    bool reference =
        text[i] == '&' && ReadReference(text + i, length - i, &size, &c);
    if (!reference && utf8) {
      size = DecodeUtf8(bytes + i, length - i, &c);
    } else if (!reference) {
      c = Windows1252ToCodePoint(bytes[i]);
    }
    i += size;
    bool isDigit = false;
    const char* letters = c == kNoCharacter ? "" : KeyText(c, &isDigit);
    if (*letters != '\0' && !isDigit) {
      if (!inWord) wordStart = out.size, inWord = true;
      out.Append(letters);
      continue;
    }
    if (inWord) out.SpellOutWithin(wordStart, out.size), inWord = false;
    out.Append(letters);
  }
  if (inWord) out.SpellOutWithin(wordStart, out.size);
  // Runs of letters that meet only once the separators are gone.
  for (size_t start = 0; start < out.size && !out.tooLong;) {
    size_t end = start;
    while (end < out.size && !IsDigit(key[end])) ++end;
    end = out.SpellOutWithin(start, end);
    start = end;
    while (start < out.size && IsDigit(key[start])) ++start;
  }
  NameKeyFault why = NameKeyFault::kNone;
  if (out.tooLong) {
    why = NameKeyFault::kTooLong;
  } else if (out.size == 0) {
    why = NameKeyFault::kNothingToSearchBy;
  }
  if (fault != nullptr) *fault = why;
  if (why != NameKeyFault::kNone) {
    if (keySize > 0) key[0] = '\0';
    return false;
  }
  key[out.size] = '\0';
  return true;
}

size_t GreekLetterLength(const char* key) {
  // No name is the beginning of another, so the first that fits is the one.
  for (const char* name : kGreekNames) {
    size_t length = std::strlen(name);
    if (std::strncmp(key, name, length) == 0) return length;
  }
  return 0;
}

bool NameKeyPrefixEnd(const char* prefix, char* end, size_t endSize) {
  size_t length = std::strlen(prefix);
  if (length == 0 || length + 1 > endSize) {
    if (endSize > 0) end[0] = '\0';
    return false;
  }
  std::memcpy(end, prefix, length + 1);
  // Keys hold only a-z and 0-9, so the last one never overflows a byte.
  end[length - 1] = static_cast<char>(end[length - 1] + 1);
  return true;
}

}  // namespace veloran
