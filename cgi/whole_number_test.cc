#include "cgi/whole_number.h"

#include <cstdint>

#include <gtest/gtest.h>

namespace veloran {
namespace {

// Each case: a text, the range it is read in, and the value read, or -1
// for a text refused.
TEST(WholeNumberTest, Read) {
  constexpr int64_t kLargest = 999999999999999999;  // 18 digits
  const struct {
    const char* text;
    int64_t low, high;
    int64_t value;
  } cases[] = {
      {"0", 0, 10, 0},
      {"7", 0, 10, 7},
      {"10", 0, 10, 10},
      {"100", 100, 2147483647, 100},
      {"2147483647", 1, 2147483647, 2147483647},
      {"999999999999999999", 0, kLargest, kLargest},
      // The range, at both ends.
      {"0", 1, 10, -1},
      {"11", 0, 10, -1},
      {"2147483648", 1, 2147483647, -1},
      {"1000000000000000000", 0, kLargest, -1},
      {"99999999999999999999999999999999", 0, kLargest, -1},
      // Digits alone: no sign, blank, point, exponent or other digit.
      {"", 0, 10, -1},
      {"+1", 0, 10, -1},
      {"-1", 0, 10, -1},
      {"-0", 0, 10, -1},
      {" 1", 0, 10, -1},
      {"1 ", 0, 10, -1},
      {"1\n", 0, 10, -1},
      {"\t1", 0, 10, -1},
      {"1.0", 0, 10, -1},
      {"1.", 0, 10, -1},
      {"1e1", 0, 100, -1},
      {"0x1", 0, 10, -1},
      {"1a", 0, 100, -1},
      {"\xD9\xA1", 0, 10, -1},  // ARABIC-INDIC DIGIT ONE
      {"\xEF\xBC\x91", 0, 10, -1},  // FULLWIDTH DIGIT ONE
      // No leading zeros, however the number would read.
      {"00", 0, 10, -1},
      {"01", 0, 10, -1},
      {"0100", 0, 1000, -1},
      {"000000000000000000000000000100", 0, 1000, -1},
  };
  for (const auto& c : cases) {
    int64_t value = -1;
    EXPECT_EQ(ReadWholeNumber(c.text, c.low, c.high, &value), c.value >= 0)
        << "\"" << c.text << "\" in " << c.low << ".." << c.high;
    EXPECT_EQ(value, c.value)
        << "\"" << c.text << "\" in " << c.low << ".." << c.high;
    // A number read in a range is a whole number at all.
    if (c.value >= 0) {
      EXPECT_TRUE(IsWholeNumber(c.text)) << c.text;
    }
  }
}

// Of any size: the range is the reader's business.
TEST(WholeNumberTest, AnySize) {
  const struct {
    const char* text;
    bool whole;
  } cases[] = {
      {"0", true},
      {"99999999999999999999999999999999", true},
      {"10000000000000000000000000000000", true},
      {"", false},
      {"00", false},
      {"099999999999999999999999999999999", false},
      {"+99999999999999999999999999999999", false},
      {"99999999999999999999999999999999 ", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsWholeNumber(c.text), c.whole) << "\"" << c.text << "\"";
  }
}

}  // namespace
}  // namespace veloran
