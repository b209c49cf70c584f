#include "driver/wide_text.h"

#include <string>

#include <gtest/gtest.h>

namespace veloran::odbc {
namespace {

// Each case: a stored text, whether it is read as UTF-8, and the
// characters it gives.
TEST(WideTextTest, StoredTextsDecode) {
  static const struct {
    std::string bytes;
    bool utf8;
    std::u32string characters;
  } cases[] = {
      {"Sirius", true, U"Sirius"},
      {"Alnit\xC3\xA1k", true, U"Alnit\u00E1k"},
      {"\xCE\xB1 Cen", true, U"\u03B1 Cen"},
      {"\xF0\x9F\x8C\x9F", true, U"\U0001F31F"},
      {"Alnit\xE1k", false, U"Alnit\u00E1k"},
      {"\x80\x92\x9F", false, U"\u20AC\u2019\u0178"},
      // The bytes windows-1252 leaves undefined stay the C1 controls of
      // their numbers.
      {"\x81\x8D\x8F\x90\x9D", false, U"\u0081\u008D\u008F\u0090\u009D"},
      // One invalid sequence makes the whole text windows-1252.
      {"\xC3\xA1\xE1", false, U"\u00C3\u00A1\u00E1"},
  };
  for (const auto& c : cases) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
    bool utf8 = IsValidUtf8(bytes, c.bytes.size());
    EXPECT_EQ(utf8, c.utf8) << c.bytes;
    std::u32string characters;
    for (size_t i = 0; i < c.bytes.size();) {
      uint32_t codePoint = 0;
      i += DecodeCharacter(bytes + i, c.bytes.size() - i, utf8, &codePoint);
      characters.push_back(codePoint);
    }
    EXPECT_EQ(characters, c.characters) << c.bytes;
  }
}

// Each case: UTF-16 code units and the UTF-8 they give.
TEST(WideTextTest, Utf16BecomesUtf8) {
  static const struct {
    std::u16string units;
    std::string utf8;
  } cases[] = {
      {u"", ""},
      {u"Sirius", "Sirius"},
      {u"\u00E1\u03B1\u20AC", "\xC3\xA1\xCE\xB1\xE2\x82\xAC"},
      {u"\U0001F31F", "\xF0\x9F\x8C\x9F"},
      {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      // Unpaired surrogates, alone, at the end or in the wrong order.
      {std::u16string(1, u'\xD800'), "\xEF\xBF\xBD"},
      {u"a" + std::u16string(1, u'\xDC00'), "a\xEF\xBF\xBD"},
      {std::u16string{u'\xDC00', u'\xD800'}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    std::string out = "x";
    AppendUtf16AsUtf8(reinterpret_cast<const uint16_t*>(c.units.data()),
                      c.units.size(), &out);
    EXPECT_EQ(out, "x" + c.utf8) << testing::PrintToString(c.utf8);
  }
}

}  // namespace
}  // namespace veloran::odbc
