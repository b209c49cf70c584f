#include "site/html_page.h"

#include <string>

#include <gtest/gtest.h>

#include "site/neighbour_map.h"
#include "tests/test_support.h"

namespace veloran {
namespace {

using ::veloran::testing::CaptureOutput;

// Each control byte between two letters, and what the pages write of it:
// the whitespace that HTML reads as such as a numeric reference, every
// other control left out.
const struct {
  char byte;
  const char* written;
} kControlCases[] = {
    {'\x01', "ab"},
    {'\x02', "ab"},
    {'\x03', "ab"},
    {'\x04', "ab"},
    {'\x05', "ab"},
    {'\x06', "ab"},
    {'\x07', "ab"},
    {'\x08', "ab"},
    {'\t', "a&#9;b"},
    {'\n', "a&#10;b"},
    {'\x0B', "ab"},
    {'\f', "a&#12;b"},
    {'\r', "ab"},
    {'\x0E', "ab"},
    {'\x0F', "ab"},
    {'\x10', "ab"},
    {'\x11', "ab"},
    {'\x12', "ab"},
    {'\x13', "ab"},
    {'\x14', "ab"},
    {'\x15', "ab"},
    {'\x16', "ab"},
    {'\x17', "ab"},
    {'\x18', "ab"},
    {'\x19', "ab"},
    {'\x1A', "ab"},
    {'\x1B', "ab"},
    {'\x1C', "ab"},
    {'\x1D', "ab"},
    {'\x1E', "ab"},
    {'\x1F', "ab"},
    {'\x7F', "ab"},
    // The bytes next to them stand as they are.
    {' ', "a b"},
    {'~', "a~b"},
};

// The three ways a page writes a text that is no markup of its own, each
// with the same rule for control bytes: the escaped text, the visitor's
// typed value, and a name from the database as the text of a map's label.
TEST(HtmlPageTest, ControlBytes) {
  for (const auto& c : kControlCases) {
    const std::string text = std::string("a") + c.byte + "b";
    const int code = static_cast<unsigned char>(c.byte);
    EXPECT_EQ(CaptureOutput([&] { WriteEscapedText(text.c_str()); }), c.written)
        << code;
    bool shown = false;
    EXPECT_EQ(CaptureOutput([&] { shown = WriteTypedValue(text.c_str()); }),
              c.written)
        << code;
    EXPECT_TRUE(shown) << code;
    EXPECT_EQ(CaptureOutput([&] { WriteSvgText(text.c_str()); }), c.written)
        << code;
    // A control left out takes no room on the map.
    EXPECT_EQ(SvgTextLength(text.c_str()),
              std::string(c.written) == "ab" ? 2 : 3)
        << code;
  }
}

// The markup characters and the control bytes together, in a text as a
// visitor may send it.
TEST(HtmlPageTest, EscapedText) {
  const struct {
    const char* text;
    const char* written;
  } cases[] = {
      {"", ""},
      {"Sirius", "Sirius"},
      {"<b>\"O'Neil\" & 100%", "&lt;b&gt;&quot;O&#39;Neil&quot; &amp; 100%"},
      {"\"\x01><\x1F\"", "&quot;&gt;&lt;&quot;"},
      {"line\r\nbreak", "line&#10;break"},
      {"\t\t", "&#9;&#9;"},
      {"\x7F\x7F\x7F", ""},
      {"Zuben\xE9lgenubi \x80", "Zuben\xE9lgenubi \x80"},  // windows-1252
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CaptureOutput([&] { WriteEscapedText(c.text); }), c.written)
        << c.text;
  }
}

// Each case: a name from the database and what the pages write of it: all
// of it, but for a tag or a character reference that its end cuts short.
TEST(HtmlPageTest, Fragments) {
  const struct {
    const char* fragment;
    const char* written;
  } cases[] = {
      {"", ""},
      {"Sirius", "Sirius"},
      {"&alpha; Cen", "&alpha; Cen"},
      {"Alnit&aacute;k", "Alnit&aacute;k"},
      {"&#945; &#x3B1;", "&#945; &#x3B1;"},
      {"54 Psc<sup>b</sup>", "54 Psc<sup>b</sup>"},
      // An "&" that starts no reference stays.
      {"Smith & Jones", "Smith & Jones"},
      {"Ben&Jerry", "Ben&Jerry"},
      {"&foo; B", "&foo; B"},
      // Cut short at the end.
      {"&alpha; C&", "&alpha; C"},
      {"x &alph", "x "},
      {"x &alpha", "x "},
      {"x &#94", "x "},
      {"x &#x", "x "},
      {"AT&T", "AT"},  // "&T" may have been "&Tau;"
      {"a<su", "a"},
      {"a<sup", "a"},
      {"a &alp<su", "a "},
      {"a & b<su", "a & b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CaptureOutput([&] { WriteFragment(c.fragment); }), c.written)
        << c.fragment;
  }
}

}  // namespace
}  // namespace veloran
