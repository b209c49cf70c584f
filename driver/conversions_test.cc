#include "driver/conversions.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace veloran::odbc {
namespace {

SqliteValue Integer(int64_t value) {
  SqliteValue v;
  v.type = SQLITE_INTEGER;
  v.integer = value;
  return v;
}

SqliteValue Real(double value) {
  SqliteValue v;
  v.type = SQLITE_FLOAT;
  v.real = value;
  return v;
}

SqliteValue Text(const char* text) {
  SqliteValue v;
  v.type = SQLITE_TEXT;
  v.bytes = reinterpret_cast<const unsigned char*>(text);
  v.size = std::strlen(text);
  return v;
}

// Each integer C type takes its whole range, from a stored integer and from
// a text alike, and refuses one beyond either end without writing its
// buffer.
TEST(ConversionsTest, EachIntegerTypeHoldsItsRangeAndNoMore) {
  struct Case {
    SQLSMALLINT cType;
    SQLLEN width;
    bool isSigned;
    int64_t min;
    int64_t max;  // of what a stored integer can hold
  };
  const Case cases[] = {
      {SQL_C_STINYINT, 1, true, -128, 127},
      {SQL_C_TINYINT, 1, true, -128, 127},
      {SQL_C_UTINYINT, 1, false, 0, 255},
      {SQL_C_SSHORT, 2, true, -32768, 32767},
      {SQL_C_SHORT, 2, true, -32768, 32767},
      {SQL_C_USHORT, 2, false, 0, 65535},
      {SQL_C_SLONG, 4, true, INT32_MIN, INT32_MAX},
      {SQL_C_LONG, 4, true, INT32_MIN, INT32_MAX},
      {SQL_C_ULONG, 4, false, 0, UINT32_MAX},
      {SQL_C_SBIGINT, 8, true, INT64_MIN, INT64_MAX},
      {SQL_C_UBIGINT, 8, false, 0, INT64_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cType);
    EXPECT_EQ(FixedCTypeSize(c.cType), c.width);
    for (int64_t edge : {c.min, c.max}) {
      std::string text = std::to_string(edge);
      for (const SqliteValue& value : {Integer(edge), Text(text.c_str())}) {
        unsigned char buffer[8];
        std::memset(buffer, 0xAB, sizeof(buffer));
        ConversionResult result = ConvertValue(value, c.cType, buffer, 0, 0);
        ASSERT_EQ(result.status, ConversionStatus::kOk) << edge;
        EXPECT_EQ(result.indicator, c.width);
        // The value in its width, little-endian, the rest untouched.
        for (SQLLEN i = 0; i < 8; ++i) {
          unsigned char expected =
              i < c.width ? static_cast<unsigned char>(
                                static_cast<uint64_t>(edge) >> (8 * i))
                          : 0xAB;
          EXPECT_EQ(buffer[i], expected) << edge << " byte " << i;
        }
      }
    }
    __int128 below = static_cast<__int128>(c.min) - 1;
    __int128 above = static_cast<__int128>(c.max) + 1;
    for (__int128 beyond : {below, above}) {
      if (beyond < INT64_MIN || beyond > INT64_MAX) continue;
      int64_t value = static_cast<int64_t>(beyond);
      std::string text = std::to_string(value);
      for (const SqliteValue& stored : {Integer(value), Text(text.c_str())}) {
        unsigned char buffer[8];
        std::memset(buffer, 0xAB, sizeof(buffer));
        ConversionResult result = ConvertValue(stored, c.cType, buffer, 0, 0);
        EXPECT_EQ(result.status, ConversionStatus::kOutOfRange) << value;
        EXPECT_FALSE(Delivered(result.status));
        for (unsigned char byte : buffer) EXPECT_EQ(byte, 0xAB) << value;
      }
    }
  }
}

TEST(ConversionsTest, ValuesThatNoStoredRowCanHold) {
  // SQLite turns NaN into NULL and -0.0 into 0 on the way in, so these
  // reach the driver only from expressions; the rules still hold.
  const double kNan = std::numeric_limits<double>::quiet_NaN();
  const double kInfinity = std::numeric_limits<double>::infinity();
  const double kHalfwayAboveFloatMax = 3.4028235677973366e38;
  struct {
    SqliteValue value;
    SQLSMALLINT cType;
    ConversionStatus status;
  } cases[] = {
      {Real(kNan), SQL_C_SLONG, ConversionStatus::kOutOfRange},
      {Real(kNan), SQL_C_UTINYINT, ConversionStatus::kOutOfRange},
      {Real(kNan), SQL_C_UBIGINT, ConversionStatus::kOutOfRange},
      {Real(kNan), SQL_C_BIT, ConversionStatus::kOutOfRange},
      {Real(kNan), SQL_C_DOUBLE, ConversionStatus::kOk},
      {Real(kNan), SQL_C_FLOAT, ConversionStatus::kOk},
      {Real(kInfinity), SQL_C_SBIGINT, ConversionStatus::kOutOfRange},
      {Real(-kInfinity), SQL_C_FLOAT, ConversionStatus::kOk},
      {Real(-0.0), SQL_C_UTINYINT, ConversionStatus::kOk},
      {Real(-0.5), SQL_C_UTINYINT, ConversionStatus::kFractionDropped},
      {Real(-1.0), SQL_C_UTINYINT, ConversionStatus::kOutOfRange},
      // Halfway between the largest float and 2^128 rounds to even, up.
      {Real(std::nextafter(kHalfwayAboveFloatMax, 0.0)), SQL_C_FLOAT,
       ConversionStatus::kOk},
      {Real(kHalfwayAboveFloatMax), SQL_C_FLOAT, ConversionStatus::kOutOfRange},
      {Integer(0), SQL_C_NUMERIC, ConversionStatus::kUnknownType},
  };
  int number = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(++number);
    unsigned char buffer[16];
    EXPECT_EQ(ConvertValue(c.value, c.cType, buffer, sizeof(buffer), 0).status,
              c.status);
  }
}

TEST(ConversionsTest, NegativeZeroKeepsItsSign) {
  double value = 1.0;
  ASSERT_EQ(ConvertValue(Real(-0.0), SQL_C_DOUBLE, &value, 0, 0).status,
            ConversionStatus::kOk);
  EXPECT_TRUE(std::signbit(value));
  float single = 1.0f;
  ASSERT_EQ(ConvertValue(Real(-0.0), SQL_C_FLOAT, &single, 0, 0).status,
            ConversionStatus::kOk);
  EXPECT_TRUE(std::signbit(single));
  char text[8];
  ASSERT_EQ(ConvertValue(Real(-0.0), SQL_C_CHAR, text, sizeof(text), 0).status,
            ConversionStatus::kOk);
  EXPECT_STREQ(text, "-0");
}

TEST(ConversionsTest, TextNumbersAreReadExactly) {
  struct {
    const char* text;
    ConversionStatus status;
    int64_t value;
  } cases[] = {
      {"9223372036854775807", ConversionStatus::kOk, INT64_MAX},
      {"-9223372036854775808", ConversionStatus::kOk, INT64_MIN},
      {"9223372036854775808", ConversionStatus::kOutOfRange, 0},
      {"  +42\t", ConversionStatus::kOk, 42},
      {"4.2e1", ConversionStatus::kOk, 42},
      {"4200e-2", ConversionStatus::kOk, 42},
      {"4201e-2", ConversionStatus::kFractionDropped, 42},
      {".5", ConversionStatus::kFractionDropped, 0},
      {"-0.000", ConversionStatus::kOk, 0},
      {"0e999999999999", ConversionStatus::kOk, 0},
      {"1e999999999999", ConversionStatus::kOutOfRange, 0},
      {"1e-999999999999", ConversionStatus::kFractionDropped, 0},
      {"0000000000000000000000000000042", ConversionStatus::kOk, 42},
      {"1.", ConversionStatus::kOk, 1},
      {".", ConversionStatus::kNotAValue, 0},
      {"1e", ConversionStatus::kNotAValue, 0},
      {"1 2", ConversionStatus::kNotAValue, 0},
      {"--1", ConversionStatus::kNotAValue, 0},
      {"Infinity", ConversionStatus::kNotAValue, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    int64_t value = -1;
    ConversionResult result =
        ConvertValue(Text(c.text), SQL_C_SBIGINT, &value, 0, 0);
    EXPECT_EQ(result.status, c.status);
    if (result.status == ConversionStatus::kOk ||
        result.status == ConversionStatus::kFractionDropped) {
      EXPECT_EQ(value, c.value);
    }
  }
}

TEST(ConversionsTest, PiecesNeverWritePastTheBuffer) {
  // A wide text whose characters take two units each, in a buffer of an
  // odd number of bytes: no character is split, nothing is written past.
  const char* stars = "\xf0\x9f\x8c\x9f\xf0\x9f\x8c\x9f\xf0\x9f\x8c\x9f";
  unsigned char buffer[16];
  size_t offset = 0;
  int pieces = 0;
  for (;;) {
    std::memset(buffer, 0xAA, sizeof(buffer));
    ConversionResult result =
        ConvertValue(Text(stars), SQL_C_WCHAR, buffer, 7, offset);
    ASSERT_NE(result.status, ConversionStatus::kOutOfRange);
    EXPECT_EQ(buffer[7], 0xAA);
    offset += result.consumed;
    ++pieces;
    if (result.complete) break;
    ASSERT_LT(pieces, 10);
  }
  EXPECT_EQ(pieces, 3);
  EXPECT_EQ(offset, std::strlen(stars));
}

}  // namespace
}  // namespace veloran::odbc
