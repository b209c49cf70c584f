#include "cgi/number_reading.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace veloran {
namespace {

TEST(NumberReadingTest, Integers) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"", 0},
      {"0", 0},
      {"100", 100},
      {"+100", 100},
      {"-100", -100},
      {"1200abc", 1200},
      {"abc", 0},
      {" \t\n\v\f\r42", 42},
      {"\xA0"
       "42",
       0},  // only the six white-space bytes are skipped
      {"- 5", 0},
      {"-", 0},
      {"12.9", 12},
      {"1e3", 1},
      {"0x10", 0},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},
      {"99999999999999999999999", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"-99999999999999999999999", INT32_MIN},
      {"000000000000000000000000000100", 100},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadInteger(c.text), c.value) << c.text;
  }
}

TEST(NumberReadingTest, Reals) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"", 0.0},
      {"15", 15.0},
      {"  -2.5", -2.5},
      {"+7", 7.0},
      {".5", 0.5},
      {"5.", 5.0},
      {"-.25", -0.25},
      {".", 0.0},
      {"1e3", 1000.0},
      {"1E3", 1000.0},
      {"1d3", 1000.0},
      {"1D-3", 0.001},
      {"2.5e+2", 250.0},
      {"1e", 1.0},
      {"1e+", 1.0},
      {"1ex", 1.0},
      {"1.5.5", 1.5},
      {"12abc", 12.0},
      {"inf", 0.0},
      {"nan", 0.0},
      {"infinity", 0.0},
      {"0x10", 0.0},
      {"0x1p3", 0.0},
      {"1e400", inf},
      {"-1e400", -inf},
      {"1e-400", 0.0},
      {"59.999999999", 59.999999999},
      {"0.1", 0.1},
      {"23.99999972222222", 23.99999972222222},
      {"1e99999999999999999999", inf},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadReal(c.text), c.value) << c.text;
  }
}

TEST(NumberReadingTest, SignsOfZero) {
  EXPECT_TRUE(std::signbit(ReadReal("-0")));
  EXPECT_TRUE(std::signbit(ReadReal("-0.0e5")));
  EXPECT_FALSE(std::signbit(ReadReal("-")));  // a sign alone is +0
  EXPECT_FALSE(std::signbit(ReadReal("-x")));
  EXPECT_FALSE(std::signbit(ReadReal("0")));
}

TEST(NumberReadingTest, RealsAreCorrectlyRounded) {
  // Halfway between two doubles, decided only by a digit far to the right.
  EXPECT_EQ(ReadReal("9007199254740993"), 9007199254740992.0);
  EXPECT_EQ(ReadReal("9007199254740993.000000000000000000000000000001"),
            9007199254740994.0);
  // Beyond the digits kept, a non-zero digit still counts.
  std::string longHalf = "9007199254740993." + std::string(2000, '0') + "1";
  EXPECT_EQ(ReadReal(longHalf.c_str()), 9007199254740994.0);
  std::string smallOne = "0." + std::string(47, '0') + "1e48";
  EXPECT_EQ(ReadReal(smallOne.c_str()), 1.0);
  std::string largeTen = "1" + std::string(48, '0') + "e-47";
  EXPECT_EQ(ReadReal(largeTen.c_str()), 10.0);
  std::string manyDigits = "1" + std::string(1200, '0') + "e-1200";
  EXPECT_EQ(ReadReal(manyDigits.c_str()), 1.0);
}

// Whole texts that are one number, as a page that refuses anything else
// reads them.
TEST(NumberReadingTest, WholeNumbers) {
  const struct {
    const char* text;
    bool decimal;
    bool count;
  } cases[] = {
      {"20", true, true},     {" +7 ", true, true},   {"-3", true, false},
      {"2.5", true, false},   {".5", true, false},    {"5.", true, false},
      {"1e3", true, false},   {"1D-2", true, false},  {"1e", false, false},
      {"abc", false, false},  {"", false, false},     {" ", false, false},
      {"12abc", false, false}, {"inf", false, false}, {"nan", false, false},
      {"0x10", false, false}, {".", false, false},    {"+", false, false},
      {"1 2", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsDecimalNumber(c.text), c.decimal) << "'" << c.text << "'";
    EXPECT_EQ(IsCount(c.text), c.count) << "'" << c.text << "'";
  }
}

}  // namespace
}  // namespace veloran
