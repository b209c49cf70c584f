#include "names/name_keys.h"

#include <cstdint>
#include <cstring>

#include "text/html_text.h"
#include "text/text_encoding.h"

namespace veloran {

namespace {

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
  if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return kGreekLetterNames[c - 0x0391];
  if (c >= 0x03B1 && c <= 0x03C9) return kGreekLetterNames[c - 0x03B1];
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
        text[i] == '&' && ReadCharacterReference(text + i, length - i, &size, &c);
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
  for (const char* name : kGreekLetterNames) {
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
