#include "text/html_text.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "text/text_encoding.h"

namespace veloran {
namespace {

// Each case: the text that starts with "&", the length of its reference
// (0 for none) and its character.
TEST(HtmlTextTest, ReadsOneReference) {
  static const struct {
    const char* text;
    size_t size;
    uint32_t character;
  } cases[] = {
      {"&alpha; CMa", 7, 0x3B1},
      {"&Alpha;", 7, 0x391},
      {"&omega;", 7, 0x3C9},
      {"&Omega;", 7, 0x3A9},
      {"&sigmaf;", 8, 0x3C2},
      {"&eacute;", 8, 0xE9},
      {"&nbsp;", 6, 0xA0},
      {"&yuml;", 6, 0xFF},
      {"&amp;alpha;", 5, '&'},  // decoded once
      {"&apos;", 6, '\''},
      {"&euro;", 6, 0x20AC},
      {"&diams;", 7, 0x2666},
      {"&#945;", 6, 0x3B1},
      {"&#x3B1;", 7, 0x3B1},
      {"&#X3b1;", 7, 0x3B1},
      {"&#128;", 6, 0x20AC},  // a windows-1252 byte, as browsers read it
      {"&#x92;", 6, 0x2019},
      {"&#129;", 6, kNoCharacter},  // undefined in windows-1252
      {"&#0;", 4, kNoCharacter},
      {"&#xD800;", 8, kNoCharacter},
      {"&#1114111;", 10, 0x10FFFF},
      {"&#1114112;", 10, kNoCharacter},
      {"&#99999999999999999999;", 23, kNoCharacter},
      {"&#1;", 4, 1},
      // No reference.
      {"&", 0, 0},
      {"& x", 0, 0},
      {"&alpha", 0, 0},
      {"&ALPHA;", 0, 0},  // case matters
      {"&Sigmaf;", 0, 0},
      {"&foo;", 0, 0},
      {"&#945", 0, 0},
      {"&#;", 0, 0},
      {"&#x;", 0, 0},
      {"&#xG;", 0, 0},
      {"&;", 0, 0},
      {"&averyverylongname;", 0, 0},
  };
  for (const auto& c : cases) {
    size_t size = 0;
    uint32_t character = 0;
    bool read =
        ReadCharacterReference(c.text, std::strlen(c.text), &size, &character);
    EXPECT_EQ(read, c.size != 0) << c.text;
    if (!read) continue;
    EXPECT_EQ(size, c.size) << c.text;
    EXPECT_EQ(character, c.character) << c.text;
  }
}

// The reference ends where the text's length says, whatever follows.
TEST(HtmlTextTest, ReadsNoFurtherThanTheLength) {
  size_t size = 0;
  uint32_t character = 0;
  EXPECT_FALSE(ReadCharacterReference("&alpha;", 6, &size, &character));
  EXPECT_FALSE(ReadCharacterReference("&#945;", 5, &size, &character));
  EXPECT_TRUE(ReadCharacterReference("&#945;", 6, &size, &character));
}

// Each case: a text that starts with "&" and whether it is a reference
// cut short by its end, one that more bytes could still make whole.
TEST(HtmlTextTest, ReferencesCutShort) {
  static const struct {
    const char* text;
    bool cut;
  } cases[] = {
      {"&", true},
      {"&#", true},
      {"&#x", true},
      {"&#X3b", true},
      {"&#945", true},
      {"&#99999999999999999999", true},
      {"&a", true},
      {"&alp", true},
      {"&alpha", true},
      {"&Alph", true},
      {"&Omicron", true},
      {"&sigmaf", true},
      {"&thetasym", true},
      {"&sup", true},  // "&sup;" and "&sup1;"
      {"&T", true},    // "&THORN;", "&Tau;", "&Theta;"
      // Whole references, or none however the text goes on.
      {"&alpha;", false},
      {"&#945;", false},
      {"&#0;", false},
      {"& x", false},
      {"&;", false},
      {"&#;", false},
      {"&#x;", false},
      {"&#xG", false},
      {"&#945 ", false},
      {"&alpha ", false},
      {"&foo", false},
      {"&ALPHA", false},  // case matters
      {"&Sigmaf", false},
      {"&1", false},
      {"&thetasymx", false},
      {"&averyverylongname", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsCutCharacterReference(c.text, std::strlen(c.text)), c.cut)
        << c.text;
    // No text is both cut short and a whole reference.
    size_t size = 0;
    uint32_t character = 0;
    if (c.cut) {
      EXPECT_FALSE(ReadCharacterReference(c.text, std::strlen(c.text), &size,
                                          &character))
          << c.text;
    }
  }
  // The end is where the length says.
  EXPECT_TRUE(IsCutCharacterReference("&alpha;", 6));
  EXPECT_TRUE(IsCutCharacterReference("&#945;", 1));
}

// Each case: a name as the database holds it and its plain text in UTF-8.
TEST(HtmlTextTest, PlainTextOfFragments) {
  static const struct {
    const char* fragment;
    const char* text;
  } cases[] = {
      {"Sirius", "Sirius"},
      {"", ""},
      {"&alpha; CMa", "\xCE\xB1 CMa"},
      {"&alpha;2 Cen",
       "\xCE\xB1"
       "2 Cen"},
      {"Alnit&aacute;k", "Alnit\xC3\xA1k"},
      {"Alnit\xE1k", "Alnit\xC3\xA1k"},  // windows-1252 bytes
      {"Barnard\x92s Star", "Barnard\xE2\x80\x99s Star"},
      {"\x80 \x9F", "\xE2\x82\xAC \xC5\xB8"},
      {"a\x81"
       "b",
       "a\xEF\xBF\xBD"
       "b"},  // undefined: U+FFFD
      {"&#0;", "\xEF\xBF\xBD"},
      {"&amp;alpha;", "&alpha;"},
      {"R&amp;D &lt;b&gt;", "R&D <b>"},
      {"A & B", "A & B"},  // a lone "&" stays
      {"&foo; &alpha", "&foo; &alpha"},
      {"&alpha;<sup>1</sup> Cen",
       "\xCE\xB1"
       "1 Cen"},
      {"<b>Sirius</b>", "Sirius"},
      {"Sirius <i", "Sirius "},  // a tag cut short
      {"1 > 0", "1 > 0"},
      {"\"Q\",x\ny\t\x01",
       "\"Q\",x\ny\t\x01"},  // controls stay; writers escape
      {"&#8232;&#x1F600;", "\xE2\x80\xA8\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    char out[64];
    ASSERT_TRUE(HtmlFragmentToUtf8(c.fragment, out, sizeof(out))) << c.fragment;
    EXPECT_EQ(std::string(out), c.text) << c.fragment;
    EXPECT_TRUE(
        IsUtf8(reinterpret_cast<const unsigned char*>(out), std::strlen(out)))
        << c.fragment;
  }
}

TEST(HtmlTextTest, PlainTextOfWindows1252) {
  static const struct {
    const char* in;
    const char* text;
  } cases[] = {
      {"M5.5", "M5.5"},
      {"", ""},
      {"&alpha;", "&alpha;"},  // no fragment: a reference is text
      {"<b>", "<b>"},
      {"\xE9\x80\x9D", "\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    char out[32];
    ASSERT_TRUE(Windows1252ToUtf8(c.in, out, sizeof(out))) << c.in;
    EXPECT_EQ(std::string(out), c.text) << c.in;
  }
}

// The bound on the size holds for the worst texts, and a text that does
// not fit leaves an empty one and never writes past the buffer.
TEST(HtmlTextTest, SizesAndOverflow) {
  static const char* const worst[] = {"\x80\x80\x80\x80", "&#0;&#0;",
                                      "&#65536;", "\x81"};
  for (const char* in : worst) {
    size_t bound = Utf8SizeOf1252(std::strlen(in)) + 1;
    char out[64];
    std::memset(out, 'x', sizeof(out));
    EXPECT_TRUE(HtmlFragmentToUtf8(in, out, bound)) << in;
    EXPECT_LE(std::strlen(out) + 1, bound) << in;
  }
  static const struct {
    const char* in;
    size_t outSize;
    bool fits;
  } cases[] = {
      {"abc", 4, true},   {"abc", 3, false}, {"\xE9", 3, true},
      {"\xE9", 2, false}, {"", 1, true},     {"", 0, false},
  };
  for (const auto& c : cases) {
    char out[8];
    std::memset(out, 'x', sizeof(out));
    EXPECT_EQ(Windows1252ToUtf8(c.in, out, c.outSize), c.fits) << c.in;
    EXPECT_EQ(HtmlFragmentToUtf8(c.in, out, c.outSize), c.fits) << c.in;
    if (c.outSize > 0 && !c.fits) {
      EXPECT_EQ(out[0], '\0') << c.in;
    }
    for (size_t i = c.outSize; i < sizeof(out); ++i) {
      EXPECT_EQ(out[i], 'x') << c.in << " wrote byte " << i;
    }
  }
}

}  // namespace
}  // namespace veloran
