#include "text/text_encoding.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace veloran {
namespace {

const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

// Each case: the bytes, the length of the sequence they start (0 for
// none) and its character.
TEST(TextEncodingTest, DecodesOneUtf8Sequence) {
  static const struct {
    std::string bytes;
    size_t size;
    uint32_t codePoint;
  } cases[] = {
      {"A", 1, 'A'},
      {std::string(1, '\0'), 1, 0},
      {"\x7F", 1, 0x7F},
      {"\xC2\x80", 2, 0x80},
      {"\xC3\xA9", 2, 0xE9},
      {"\xDF\xBF", 2, 0x7FF},
      {"\xE0\xA0\x80", 3, 0x800},
      {"\xE2\x82\xAC", 3, 0x20AC},
      {"\xED\x9F\xBF", 3, 0xD7FF},
      {"\xEE\x80\x80", 3, 0xE000},
      {"\xEF\xBF\xBF", 3, 0xFFFF},
      {"\xF0\x90\x80\x80", 4, 0x10000},
      {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
      {"\xCE\xB1 CMa", 2, 0x3B1},  // what follows is not read
      // Overlong forms.
      {"\xC0\x80", 0, 0},
      {"\xC1\xBF", 0, 0},
      {"\xE0\x9F\xBF", 0, 0},
      {"\xF0\x8F\xBF\xBF", 0, 0},
      // Surrogates.
      {"\xED\xA0\x80", 0, 0},
      {"\xED\xBF\xBF", 0, 0},
      // Beyond U+10FFFF, and leads that start nothing.
      {"\xF4\x90\x80\x80", 0, 0},
      {"\xF5\x80\x80\x80", 0, 0},
      {"\xF8\x88\x80\x80\x80", 0, 0},
      {"\xFF", 0, 0},
      // A continuation byte alone, a sequence cut short or broken.
      {"\x80", 0, 0},
      {"\xBF", 0, 0},
      {"\xC3", 0, 0},
      {"\xE2\x82", 0, 0},
      {"\xF0\x90\x80", 0, 0},
      {"\xC3 ", 0, 0},
      {"\xE2\x82\xC3", 0, 0},
  };
  for (const auto& c : cases) {
    const uint32_t kUntouched = 0x12345;
    uint32_t codePoint = kUntouched;
    EXPECT_EQ(DecodeUtf8(Bytes(c.bytes), c.bytes.size(), &codePoint), c.size)
        << testing::PrintToString(c.bytes);
    EXPECT_EQ(codePoint, c.size == 0 ? kUntouched : c.codePoint)
        << testing::PrintToString(c.bytes);
    EXPECT_EQ(IsUtf8(Bytes(c.bytes), c.size == 0 ? c.bytes.size() : c.size),
              c.size != 0)
        << testing::PrintToString(c.bytes);
  }
}

TEST(TextEncodingTest, WholeTextsAreUtf8OrNot) {
  static const struct {
    std::string text;
    bool utf8;
  } cases[] = {
      {"", true},
      {"Sirius", true},
      {"Alnit\xC3\xA1k", true},
      {"\xCE\xB1\xC2\xB9 Cen", true},
      {"Alnit\xE1k", false},         // windows-1252
      {"Barnard\x92s Star", false},  // windows-1252
      {"ok\xC3", false},             // cut at the end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsUtf8(Bytes(c.text), c.text.size()), c.utf8) << c.text;
  }
}

// Every character that UTF-8 can hold at the ends of each length, and a
// few between, read back as they were written.
TEST(TextEncodingTest, EncodesWhatItDecodes) {
  static const uint32_t codePoints[] = {
      0,      0x41,   0x7F,   0x80,   0x3B1,   0x7FF,   0x800,
      0x20AC, 0xD7FF, 0xE000, 0xFFFF, 0x10000, 0x1F31F, 0x10FFFF};
  static const size_t sizes[] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 3, 3, 4, 4, 4};
  for (size_t i = 0; i < std::size(codePoints); ++i) {
    char encoded[kMaxUtf8Sequence];
    size_t size = EncodeUtf8(codePoints[i], encoded);
    EXPECT_EQ(size, sizes[i]) << codePoints[i];
    uint32_t decoded = kNoCharacter;
    EXPECT_EQ(
        DecodeUtf8(reinterpret_cast<unsigned char*>(encoded), size, &decoded),
        size)
        << codePoints[i];
    EXPECT_EQ(decoded, codePoints[i]);
  }
}

// The whole of 0x80-0x9F, and the ends of the ranges around it.
TEST(TextEncodingTest, Windows1252Table) {
  static const struct {
    unsigned char byte;
    uint32_t codePoint;
  } cases[] = {
      {0x00, 0x00},   {0x41, 0x41},   {0x7F, 0x7F},   {0x80, 0x20AC},
      {0x81, 0},      {0x82, 0x201A}, {0x83, 0x0192}, {0x84, 0x201E},
      {0x85, 0x2026}, {0x86, 0x2020}, {0x87, 0x2021}, {0x88, 0x02C6},
      {0x89, 0x2030}, {0x8A, 0x0160}, {0x8B, 0x2039}, {0x8C, 0x0152},
      {0x8D, 0},      {0x8E, 0x017D}, {0x8F, 0},      {0x90, 0},
      {0x91, 0x2018}, {0x92, 0x2019}, {0x93, 0x201C}, {0x94, 0x201D},
      {0x95, 0x2022}, {0x96, 0x2013}, {0x97, 0x2014}, {0x98, 0x02DC},
      {0x99, 0x2122}, {0x9A, 0x0161}, {0x9B, 0x203A}, {0x9C, 0x0153},
      {0x9D, 0},      {0x9E, 0x017E}, {0x9F, 0x0178}, {0xA0, 0xA0},
      {0xE9, 0xE9},   {0xFF, 0xFF},
  };
  for (const auto& c : cases) {
    bool defined = c.codePoint != 0 || c.byte == 0;
    EXPECT_EQ(Windows1252ToCodePoint(c.byte),
              defined ? c.codePoint : kNoCharacter)
        << int{c.byte};
    if (!defined) continue;
    unsigned char byte = 0x81;
    EXPECT_TRUE(CodePointToWindows1252(c.codePoint, &byte)) << c.codePoint;
    EXPECT_EQ(byte, c.byte) << c.codePoint;
  }
}

TEST(TextEncodingTest, CharactersWindows1252Lacks) {
  // The C1 controls of the undefined bytes and of the defined ones, and
  // characters of other scripts.
  static const uint32_t codePoints[] = {0x80,   0x81,     0x8D,        0x9D,
                                        0x9F,   0x100,    0x3B1,       0x2042,
                                        0xFFFD, 0x10FFFF, kNoCharacter};
  for (uint32_t codePoint : codePoints) {
    unsigned char byte = 0x81;
    EXPECT_FALSE(CodePointToWindows1252(codePoint, &byte)) << codePoint;
    EXPECT_EQ(byte, 0x81) << codePoint;
  }
}

// Each case: the typed bytes, the size of the output buffer, and the text
// expected, or nullptr when it must not fit.
TEST(TextEncodingTest, Utf8ToWindows1252Html) {
  static const struct {
    std::string in;
    size_t outSize;
    const char* out;
  } cases[] = {
      {"", 1, ""},
      {"Sirius", 16, "Sirius"},
      {"A & B <b>", 16, "A & B <b>"},  // escaping is the caller's
      {"Alnit\xC3\xA1k", 16, "Alnit\xE1k"},
      {"caf\xC3\xA9", 16, "caf\xE9"},
      {"\xE2\x82\xAC 5", 16, "\x80 5"},
      {"Barnard\xE2\x80\x99s", 16, "Barnard\x92s"},
      {"\xC5\xA0", 16, "\x8A"},
      {"\xCE\xB1 CMa", 16, "&#945; CMa"},
      {"\xE2\x81\x82", 16, "&#8258;"},
      {"S\xC4\x81maya", 16, "S&#257;maya"},
      {"\xC2\x81", 16, "&#129;"},  // a C1 control is no windows-1252 byte
      {"\xF0\x9F\x8C\x9F", 16, "&#127775;"},
      {"\xF4\x8F\xBF\xBF", 16, "&#1114111;"},
      // Not UTF-8: windows-1252 bytes, unchanged, the undefined ones too.
      {"Alnit\xE1k", 16, "Alnit\xE1k"},
      {"\xCE\xB1 \xE9", 16, "\xCE\xB1 \xE9"},
      {"\x80\x81\x8D\x8F\x90\x9D", 16, "\x80\x81\x8D\x8F\x90\x9D"},
      {"\xC0\x80", 16, "\xC0\x80"},  // an overlong 0
      {"\xED\xA0\x80", 16, "\xED\xA0\x80"},
      // Buffers of exactly the size, and one byte short.
      {"Sirius", 7, "Sirius"},
      {"Sirius", 6, nullptr},
      {"\xCE\xB1", 7, "&#945;"},
      {"\xCE\xB1", 6, nullptr},
      {"ab\xCE\xB1", 3, nullptr},
      {"caf\xC3\xA9", 5, "caf\xE9"},
      {"caf\xC3\xA9", 4, nullptr},
      {"", 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.in) + " in " +
                 std::to_string(c.outSize) + " bytes");
    // The buffer is followed by bytes that must stay as they are.
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    size_t length = 99;
    bool fits = Utf8ToWindows1252Html(c.in.data(), c.in.size(), buffer,
                                      c.outSize, &length);
    EXPECT_EQ(fits, c.out != nullptr);
    const char* expected = c.out != nullptr ? c.out : "";
    EXPECT_EQ(length, std::strlen(expected));
    if (c.outSize > 0) {
      EXPECT_EQ(std::string(buffer), expected);
    }
    for (size_t i = c.outSize; i < sizeof buffer; ++i) {
      ASSERT_EQ(buffer[i], '#') << "written at " << i;
    }
  }
}

// A typed 0 is a character like any other; the length tells it.
TEST(TextEncodingTest, Utf8ToWindows1252HtmlKeepsZeroBytes) {
  const std::string in("a\0\xC3\xA9", 4);
  char out[8];
  size_t length = 0;
  ASSERT_TRUE(
      Utf8ToWindows1252Html(in.data(), in.size(), out, sizeof out, &length));
  EXPECT_EQ(std::string(out, length), std::string("a\0\xE9", 3));
  EXPECT_TRUE(Utf8ToWindows1252Html(in.data(), in.size(), out, sizeof out));
}

}  // namespace
}  // namespace veloran
