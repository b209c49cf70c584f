#include "names/name_keys.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace veloran {
namespace {

std::string KeyOf(const std::string& text) {
  char key[kNameKeySize];
  if (!NameKey(text.data(), text.size(), key, sizeof(key))) return "<none>";
  return key;
}

// Names that must meet: every text of a row gives the row's key.
TEST(NameKeyTest, SpellingsMeet) {
  static const struct {
    const char* key;
    const char* texts[8];
  } cases[] = {
      {"sirius", {"Sirius", "sirius", "SIRIUS", " Sirius ", "S i r i u s"}},
      {"hd48915", {"HD 48915", "HD48915", "hd-48915", "H.D. 48 915"}},
      {"hip32349", {"HIP 32349", "hip32349", "HIP\t32349"}},
      {"alphacma",
       {"&alpha; CMa", "alpha CMa", "alf CMa", "Alf CMa", "alp cma",
        "\xCE\xB1 CMa", "&#945; CMa", "&#x3B1; CMa"}},
      {"alphacma", {"&Alpha; CMa", "\xCE\x91 CMa", "\xCE\xAC CMa", "ALF CMA"}},
      {"alpha1cen",
       {"&alpha;1 Cen", "alf1 Cen", "\xCE\xB1\xC2\xB9 Cen", "&alpha;&sup1; Cen",
        "\xCE\xB1\xE2\x82\x81 Cen"}},
      {"barnardsstar",
       {"Barnard's Star", "Barnard&apos;s Star", "Barnard&#39;s Star",
        "barnards star", "Barnard\x92s Star", "Barnard\xE2\x80\x99s Star"}},
      {"alnitak",
       {"Alnit&aacute;k", "Alnit\xE1k", "Alnit\xC3\xA1k", "Alnita\xCC\x81k",
        "Alnit&#225;k", "ALNIT&Aacute;K"}},
      {"samaya", {"S&#257;maya", "S\xC4\x81maya", "Samaya"}},
      {"61cyga", {"61 Cyg A", "61cyga", "61 CYG-A"}},
      {"kruger60a", {"Kruger 60 A", "Kr\xFCger 60A", "KRUGER60a"}},
      {"ab", {"A &amp; B", "A & B", "a&b"}},
  };
  for (const auto& c : cases) {
    for (const char* text : c.texts) {
      if (text == nullptr) break;
      EXPECT_EQ(KeyOf(text), c.key) << text;
    }
  }
}

// Each Greek letter: its character (capital and small, UTF-8), its entity,
// its name and its Bayer abbreviation.
TEST(NameKeyTest, GreekLetters) {
  static const struct {
    const char* name;
    const char* abbreviation;
    const char* entity;
    const char* small;
    const char* capital;
  } letters[] = {
      {"alpha", "alf", "&alpha;", "\xCE\xB1", "\xCE\x91"},
      {"beta", "bet", "&beta;", "\xCE\xB2", "\xCE\x92"},
      {"gamma", "gam", "&gamma;", "\xCE\xB3", "\xCE\x93"},
      {"delta", "del", "&delta;", "\xCE\xB4", "\xCE\x94"},
      {"epsilon", "eps", "&epsilon;", "\xCE\xB5", "\xCE\x95"},
      {"zeta", "zet", "&zeta;", "\xCE\xB6", "\xCE\x96"},
      {"eta", "eta", "&eta;", "\xCE\xB7", "\xCE\x97"},
      {"theta", "tet", "&theta;", "\xCE\xB8", "\xCE\x98"},
      {"iota", "iot", "&iota;", "\xCE\xB9", "\xCE\x99"},
      {"kappa", "kap", "&kappa;", "\xCE\xBA", "\xCE\x9A"},
      {"lambda", "lam", "&lambda;", "\xCE\xBB", "\xCE\x9B"},
      {"mu", "mu", "&mu;", "\xCE\xBC", "\xCE\x9C"},
      {"nu", "nu", "&nu;", "\xCE\xBD", "\xCE\x9D"},
      {"xi", "ksi", "&xi;", "\xCE\xBE", "\xCE\x9E"},
      {"omicron", "omi", "&omicron;", "\xCE\xBF", "\xCE\x9F"},
      {"pi", "pi", "&pi;", "\xCF\x80", "\xCE\xA0"},
      {"rho", "rho", "&rho;", "\xCF\x81", "\xCE\xA1"},
      {"sigma", "sig", "&sigma;", "\xCF\x83", "\xCE\xA3"},
      {"tau", "tau", "&tau;", "\xCF\x84", "\xCE\xA4"},
      {"upsilon", "ups", "&upsilon;", "\xCF\x85", "\xCE\xA5"},
      {"phi", "phi", "&phi;", "\xCF\x86", "\xCE\xA6"},
      {"chi", "chi", "&chi;", "\xCF\x87", "\xCE\xA7"},
      {"psi", "psi", "&psi;", "\xCF\x88", "\xCE\xA8"},
      {"omega", "ome", "&omega;", "\xCF\x89", "\xCE\xA9"},
  };
  for (const auto& letter : letters) {
    std::string key = std::string(letter.name) + "2ori";
    std::string capitalEntity = letter.entity;
    capitalEntity[1] = static_cast<char>(capitalEntity[1] - 'a' + 'A');
    for (std::string form :
         {std::string(letter.name), std::string(letter.abbreviation),
          std::string(letter.entity), capitalEntity, std::string(letter.small),
          std::string(letter.capital)}) {
      EXPECT_EQ(KeyOf(form + "2 Ori"), key) << form;
      EXPECT_EQ(KeyOf(form + "\xC2\xB2 Ori"), key) << form;
      if (static_cast<unsigned char>(form[0]) < 0x80) {
        EXPECT_EQ(KeyOf(form + "\xB2 Ori"), key) << form << " (windows-1252)";
      }
    }
  }
  EXPECT_EQ(KeyOf("&sigmaf;"), "sigma");
  EXPECT_EQ(KeyOf("\xCF\x82"), "sigma");
  EXPECT_EQ(KeyOf("\xCF\x91 &thetasym;"), "thetatheta");
  EXPECT_EQ(KeyOf("\xC2\xB5 &micro;"), "mumu");
  EXPECT_EQ(KeyOf("\xB5 &micro;"), "mumu");
  EXPECT_EQ(KeyOf("\xCE\xAE \xCF\x8E \xCE\xB0"), "etaomegaupsilon");
  EXPECT_EQ(KeyOf("tet Ori the Ori"), "thetaorithetaori");
  EXPECT_EQ(KeyOf("alp1 CMa"), "alpha1cma");
}

TEST(NameKeyTest, Words) {
  static const struct {
    const char* text;
    const char* key;
  } cases[] = {
      {"alfCen", "alfcen"},      // one word
      {"alf1cen", "alpha1cen"},  // a digit ends a word
      {"a lf", "alpha"},         // the key of "alf"
      {"a-l-f 2", "alpha2"},    {"x alf", "xalpha"},          {"alfa", "alfa"},
      {"12 alf 3", "12alpha3"}, {"Betelgeuse", "betelgeuse"}, {"the", "theta"},
  };
  for (const auto& c : cases) EXPECT_EQ(KeyOf(c.text), c.key) << c.text;
}

TEST(NameKeyTest, Letters) {
  static const struct {
    const char* text;
    const char* key;
  } cases[] = {
      // Every letter of windows-1252's upper half, as its bytes.
      {"\x8A\x8C\x8E\x9A\x9C\x9E\x9F\x83", "soezsoezyf"},
      {"\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF",
       "aaaaaaaeceeeeiiii"},
      {"\xD0\xD1\xD2\xD3\xD4\xD5\xD6\xD7\xD8\xD9\xDA\xDB\xDC\xDD\xDE\xDF",
       "dnoooooouuuuythss"},
      {"\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF",
       "aaaaaaaeceeeeiiii"},
      {"\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF",
       "dnoooooouuuuythy"},
      {"\xAA\xBA", "ao"},
      // Latin Extended-A, a sample across the block, in UTF-8.
      {"\xC4\x80\xC4\x87\xC4\x90\xC4\x9B\xC4\x9F\xC4\xA7\xC4\xB1\xC4\xB3\xC4"
       "\xB5\xC4\xB8\xC5\x82\xC5\x89\xC5\x91\xC5\x93\xC5\x99\xC5\xA1\xC5\xA7"
       "\xC5\xAF\xC5\xB5\xC5\xB7\xC5\xBE\xC5\xBF",
       "acdeghiijjklnooerstuwyzs"},
      {"\xC8\x98\xC8\x9B \xC7\x8E\xC7\x9C", "stau"},
      {"\xEF\xBC\xA1\xEF\xBD\x82\xEF\xBC\x91", "ab1"},    // fullwidth
      {"x\xE2\x81\xB0\xE2\x81\xB9\xE2\x82\x80", "x090"},  // super-, subscripts
      {"&OElig;&oelig;&Scaron;&scaron;&Yuml;&fnof;&szlig;&THORN;",
       "oeoessyfssth"},
  };
  for (const auto& c : cases) EXPECT_EQ(KeyOf(c.text), c.key) << c.text;
}

TEST(NameKeyTest, References) {
  static const struct {
    const char* text;
    const char* key;
  } cases[] = {
      {"a&amp;alpha;b", "aalphab"},  // decoded once: "a&alpha;b"
      {"&foo; x", "foox"},           // no such entity: as written
      {"&alpha x", "alphax"},        // no ";": the word "alpha"
      {"&#945 x", "945x"},           // no ";": as written
      {"& x", "x"},
      {"&#0;x", "x"},        // no character
      {"&#xD800;x", "x"},    // a surrogate
      {"&#1114112;x", "x"},  // beyond U+10FFFF
      {"&#99999999999999999999;x", "x"},
      {"&#4294967393;x", "x"},  // 2^32 + "a"
      {"&#150;x&#138;", "xs"},  // windows-1252: en dash, S caron
      {"&#129;x", "x"},
      {"&#X3b1;&#x3B1;", "alphaalpha"},
      {"&ALPHA; &Alpha; &alpha;", "alphaalphaalpha"},  // "&ALPHA;" stays
      {"&eacute;&Eacute;&EACUTE;", "eeeacute"},
      {"&hearts;x&nbsp;y", "xy"},
      {"&#;x&#x;y", "xxy"},
      {"A &AMP; B", "aampb"},
  };
  for (const auto& c : cases) EXPECT_EQ(KeyOf(c.text), c.key) << c.text;
}

// Invalid UTF-8 anywhere makes the whole text windows-1252.
TEST(NameKeyTest, Encodings) {
  static const struct {
    const char* text;
    const char* key;
  } cases[] = {
      {"\xC3\xA9", "e"},          // é in UTF-8
      {"\xC3\xA9\xE9", "ae"},     // Ã, ©, é in windows-1252
      {"\xC0\xAF x", "ax"},       // overlong: À and ¯
      {"\xED\xA0\x80", "i"},      // a surrogate: í, no-break space, €
      {"\xF4\x90\x80\x80", "o"},  // beyond U+10FFFF
      {"\xE2\x82", "a"},          // cut short
      {"\x81\x8D\x8F\x90\x9D"
       "a",
       "a"},
  };
  for (const auto& c : cases) EXPECT_EQ(KeyOf(c.text), c.key) << c.text;
  std::string withZero("ab\0cd", 5);
  EXPECT_EQ(KeyOf(withZero), "abcd");
}

TEST(NameKeyTest, KeyOfKeyIsKey) {
  for (const char* text :
       {"&alpha; CMa", "a lf", "alf1 Cen", "Alnit&aacute;k", "x alf y 2",
        "the 1 the", "ups", "\xCE\xB1\xC2\xB9 Cen", "del-ta", "k s i", "Pi"}) {
    std::string key = KeyOf(text);
    EXPECT_EQ(KeyOf(key), key) << text;
  }
}

TEST(NameKeyTest, NoKey) {
  static const struct {
    const char* text;
    NameKeyFault fault;
  } cases[] = {
      {"", NameKeyFault::kNothingToSearchBy},
      {"  -.,' ", NameKeyFault::kNothingToSearchBy},
      {"&hearts;&#0;\xE2\x98\x85", NameKeyFault::kNothingToSearchBy},
      {"\xD0\x91\xD0\xB5", NameKeyFault::kNothingToSearchBy},  // Cyrillic
  };
  for (const auto& c : cases) {
    char key[8] = "garbage";
    NameKeyFault fault = NameKeyFault::kNone;
    EXPECT_FALSE(NameKey(c.text, std::strlen(c.text), key, sizeof(key), &fault))
        << c.text;
    EXPECT_EQ(fault, c.fault) << c.text;
    EXPECT_STREQ(key, "") << c.text;
  }
}

// The key and its terminator fill the buffer exactly, or do not fit; a
// spelled-out abbreviation counts at its full length.  Bytes beyond the
// buffer stay untouched.
TEST(NameKeyTest, Bounds) {
  static const struct {
    const char* text;
    size_t keySize;
    bool fits;
  } cases[] = {
      {"abcd", 5, true},      {"abcd", 4, false},     {"abcd", 0, false},
      {"alf", 6, true},       {"alf", 5, false},      {"a lf", 6, true},
      {"a lf", 5, false},     {"\xC3\x9F", 3, true},  {"\xC3\x9F", 2, false},
      {"omi omi", 15, true},  {"omi omi", 14, false}, {"\xCE\xBF", 8, true},
      {"\xCE\xBF", 7, false},
  };
  for (const auto& c : cases) {
    char buffer[32];
    std::memset(buffer, '#', sizeof(buffer));
    NameKeyFault fault = NameKeyFault::kNone;
    bool fits = NameKey(c.text, std::strlen(c.text), buffer, c.keySize, &fault);
    EXPECT_EQ(fits, c.fits) << c.text << " in " << c.keySize;
    EXPECT_EQ(fault, c.fits ? NameKeyFault::kNone : NameKeyFault::kTooLong)
        << c.text << " in " << c.keySize;
    if (fits) {
      EXPECT_EQ(std::strlen(buffer) + 1, c.keySize) << c.text;
    }
    for (size_t i = c.keySize; i < sizeof(buffer); ++i) {
      ASSERT_EQ(buffer[i], '#') << c.text << " in " << c.keySize << " at " << i;
    }
  }
  std::string longest(255, 'x');
  EXPECT_EQ(KeyOf(longest), longest);
  EXPECT_EQ(KeyOf(longest + "x"), "<none>");
  EXPECT_EQ(KeyOf(longest + std::string(100000, ' ')), longest);
}

TEST(NameKeyTest, PrefixEnd) {
  static const struct {
    const char* prefix;
    size_t endSize;
    const char* end;  // nullptr: none
  } cases[] = {
      {"barnard", 16, "barnare"}, {"a", 2, "b"},       {"z", 2, "{"},
      {"hd9", 4, "hd:"},          {"abc", 3, nullptr}, {"", 16, nullptr},
  };
  for (const auto& c : cases) {
    char end[16] = "garbage";
    bool made = NameKeyPrefixEnd(c.prefix, end, c.endSize);
    EXPECT_EQ(made, c.end != nullptr) << c.prefix;
    EXPECT_STREQ(end, c.end == nullptr ? "" : c.end) << c.prefix;
  }
}

}  // namespace
}  // namespace veloran
