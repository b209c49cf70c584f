// Values of every storage class into every C type, through the driver
// manager: SELECT one expression, read it with SQLGetData, compare the
// bytes, the indicator and the SQLSTATE.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "tests/driver/driver_session.h"

namespace veloran::driver_testing {
namespace {

template <typename T>
std::string Bytes(T value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof(T));
}

std::string Date(int year, int month, int day) {
  SQL_DATE_STRUCT date{static_cast<SQLSMALLINT>(year),
                       static_cast<SQLUSMALLINT>(month),
                       static_cast<SQLUSMALLINT>(day)};
  return Bytes(date);
}

std::string Time(int hour, int minute, int second) {
  SQL_TIME_STRUCT time{static_cast<SQLUSMALLINT>(hour),
                       static_cast<SQLUSMALLINT>(minute),
                       static_cast<SQLUSMALLINT>(second)};
  return Bytes(time);
}

std::string Stamp(int year, int month, int day, int hour, int minute,
                  int second, SQLUINTEGER fraction) {
  SQL_TIMESTAMP_STRUCT stamp{};
  stamp.year = static_cast<SQLSMALLINT>(year);
  stamp.month = static_cast<SQLUSMALLINT>(month);
  stamp.day = static_cast<SQLUSMALLINT>(day);
  stamp.hour = static_cast<SQLUSMALLINT>(hour);
  stamp.minute = static_cast<SQLUSMALLINT>(minute);
  stamp.second = static_cast<SQLUSMALLINT>(second);
  stamp.fraction = fraction;
  return Bytes(stamp);
}

// A text as SQL_C_CHAR writes it: the bytes and the terminator.
std::string Chars(const std::string& text) { return text + '\0'; }

std::string Wide(const std::u16string& text) {
  std::u16string terminated = text + u'\0';
  return std::string(reinterpret_cast<const char*>(terminated.data()),
                     terminated.size() * 2);
}

struct Case {
  const char* expression;
  SQLSMALLINT cType;
  SQLLEN bufferLength;   // for texts and bytes; fixed types use their size
  const char* state;     // "" for SQL_SUCCESS
  std::string expected;  // the buffer's leading bytes; unchecked when empty
  SQLLEN indicator;      // checked unless kAnyIndicator
};

constexpr SQLLEN kAnyIndicator = -999;
constexpr SQLLEN kNoIndicator = -998;  // the call is made without one

const Case kCases[] = {
    // Integers: the boundaries of every integer C type.
    {"255", SQL_C_UTINYINT, 0, "", Bytes<uint8_t>(255), 1},
    {"256", SQL_C_UTINYINT, 0, "22003", "", kAnyIndicator},
    {"300", SQL_C_UTINYINT, 0, "22003", "", kAnyIndicator},
    {"-1", SQL_C_UTINYINT, 0, "22003", "", kAnyIndicator},
    {"-128", SQL_C_STINYINT, 0, "", Bytes<int8_t>(-128), 1},
    {"127", SQL_C_STINYINT, 0, "", Bytes<int8_t>(127), 1},
    {"-129", SQL_C_STINYINT, 0, "22003", "", kAnyIndicator},
    {"128", SQL_C_TINYINT, 0, "22003", "", kAnyIndicator},
    {"-32768", SQL_C_SSHORT, 0, "", Bytes<int16_t>(-32768), 2},
    {"32767", SQL_C_SHORT, 0, "", Bytes<int16_t>(32767), 2},
    {"32768", SQL_C_SSHORT, 0, "22003", "", kAnyIndicator},
    {"65535", SQL_C_USHORT, 0, "", Bytes<uint16_t>(65535), 2},
    {"65536", SQL_C_USHORT, 0, "22003", "", kAnyIndicator},
    {"2147483647", SQL_C_SLONG, 0, "", Bytes<int32_t>(2147483647), 4},
    {"-2147483648", SQL_C_LONG, 0, "", Bytes<int32_t>(-2147483647 - 1), 4},
    {"2147483648", SQL_C_SLONG, 0, "22003", "", kAnyIndicator},
    {"4294967295", SQL_C_ULONG, 0, "", Bytes<uint32_t>(4294967295u), 4},
    {"4294967296", SQL_C_ULONG, 0, "22003", "", kAnyIndicator},
    {"9223372036854775807", SQL_C_SBIGINT, 0, "",
     Bytes<int64_t>(std::numeric_limits<int64_t>::max()), 8},
    {"-9223372036854775808", SQL_C_SBIGINT, 0, "",
     Bytes<int64_t>(std::numeric_limits<int64_t>::min()), 8},
    {"-1", SQL_C_UBIGINT, 0, "22003", "", kAnyIndicator},
    {"9223372036854775807", SQL_C_UBIGINT, 0, "",
     Bytes<uint64_t>(9223372036854775807ull), 8},
    // Reals into integers: truncated toward zero, 01S07 for a fraction.
    {"18446744073709551616.0", SQL_C_UBIGINT, 0, "22003", "", kAnyIndicator},
    {"18446744073709549568.0", SQL_C_UBIGINT, 0, "",
     Bytes<uint64_t>(18446744073709549568ull), 8},
    {"9223372036854775808.0", SQL_C_SBIGINT, 0, "22003", "", kAnyIndicator},
    {"-9223372036854775808.0", SQL_C_SBIGINT, 0, "",
     Bytes<int64_t>(std::numeric_limits<int64_t>::min()), 8},
    {"12.5", SQL_C_SLONG, 0, "01S07", Bytes<int32_t>(12), 4},
    {"-12.5", SQL_C_SLONG, 0, "01S07", Bytes<int32_t>(-12), 4},
    {"255.9", SQL_C_UTINYINT, 0, "01S07", Bytes<uint8_t>(255), 1},
    {"256.0", SQL_C_UTINYINT, 0, "22003", "", kAnyIndicator},
    {"1e999", SQL_C_SLONG, 0, "22003", "", kAnyIndicator},
    {"-1e999", SQL_C_SBIGINT, 0, "22003", "", kAnyIndicator},
    // Reals: the stored bits into double, one rounding into float.
    {"10.000000000000002", SQL_C_DOUBLE, 0, "",
     Bytes<double>(10.000000000000002), 8},
    {"0.1", SQL_C_DOUBLE, 0, "", Bytes<double>(0.1), 8},
    {"1e999", SQL_C_DOUBLE, 0, "",
     Bytes<double>(std::numeric_limits<double>::infinity()), 8},
    {"-1e999", SQL_C_FLOAT, 0, "",
     Bytes<float>(-std::numeric_limits<float>::infinity()), 4},
    {"59.999999999", SQL_C_FLOAT, 0, "", Bytes<float>(60.0f), 4},
    {"0.1", SQL_C_FLOAT, 0, "", Bytes<float>(0.1f), 4},
    {"16777217.0", SQL_C_FLOAT, 0, "", Bytes<float>(16777216.0f), 4},
    {"1e308", SQL_C_FLOAT, 0, "22003", "", kAnyIndicator},
    {"9007199254740993", SQL_C_DOUBLE, 0, "", Bytes<double>(9007199254740992.0),
     8},
    // Texts as numbers.
    {"' 12 '", SQL_C_SLONG, 0, "", Bytes<int32_t>(12), 4},
    {"'1e3'", SQL_C_SSHORT, 0, "", Bytes<int16_t>(1000), 2},
    {"'12.5'", SQL_C_SLONG, 0, "01S07", Bytes<int32_t>(12), 4},
    {"'300'", SQL_C_UTINYINT, 0, "22003", "", kAnyIndicator},
    {"'99999999999999999999'", SQL_C_UBIGINT, 0, "22003", "", kAnyIndicator},
    {"'abc'", SQL_C_SLONG, 0, "22018", "", kAnyIndicator},
    {"'0x10'", SQL_C_SLONG, 0, "22018", "", kAnyIndicator},
    {"'inf'", SQL_C_DOUBLE, 0, "22018", "", kAnyIndicator},
    {"'nan'", SQL_C_DOUBLE, 0, "22018", "", kAnyIndicator},
    {"''", SQL_C_DOUBLE, 0, "22018", "", kAnyIndicator},
    {"' 10.000000000000002 '", SQL_C_DOUBLE, 0, "",
     Bytes<double>(10.000000000000002), 8},
    {"'1e400'", SQL_C_DOUBLE, 0, "22003", "", kAnyIndicator},
    {"'59.999999999'", SQL_C_FLOAT, 0, "", Bytes<float>(60.0f), 4},
    // Bits.
    {"1", SQL_C_BIT, 0, "", Bytes<uint8_t>(1), 1},
    {"2", SQL_C_BIT, 0, "22003", "", kAnyIndicator},
    {"0.5", SQL_C_BIT, 0, "01S07", Bytes<uint8_t>(0), 1},
    {"1.5", SQL_C_BIT, 0, "01S07", Bytes<uint8_t>(1), 1},
    {"-1", SQL_C_BIT, 0, "22003", "", kAnyIndicator},
    {"'-0.5'", SQL_C_BIT, 0, "22003", "", kAnyIndicator},
    // Characters: exactly the buffer less one fits; one more is cut.
    {"'abcd'", SQL_C_CHAR, 5, "", Chars("abcd"), 4},
    {"'abcde'", SQL_C_CHAR, 5, "01004", Chars("abcd"), 5},
    {"'abcd'", SQL_C_CHAR, 4, "01004", Chars("abc"), 4},
    {"12345", SQL_C_CHAR, 6, "", Chars("12345"), 5},
    {"12345", SQL_C_CHAR, 5, "22003", "", kAnyIndicator},
    {"-2.5", SQL_C_CHAR, 3, "01004", Chars("-2"), 4},
    {"10.000000000000002", SQL_C_CHAR, 32, "", Chars("10.000000000000002"), 18},
    {"0.1", SQL_C_CHAR, 32, "", Chars("0.1"), 3},
    {"1e20", SQL_C_CHAR, 32, "", Chars("1e+20"), 5},
    {"1e20", SQL_C_CHAR, 4, "22003", "", kAnyIndicator},
    {"x'00ff10'", SQL_C_CHAR, 32, "", Chars("00FF10"), 6},
    {"CAST(x'e9' AS TEXT)", SQL_C_CHAR, 8, "", Chars("\xe9"), 1},
    // Wide characters: UTF-8 when valid, windows-1252 otherwise.
    {"'h\xc3\xa9llo'", SQL_C_WCHAR, 64, "", Wide(u"h\u00e9llo"), 10},
    {"CAST(x'e980' AS TEXT)", SQL_C_WCHAR, 64, "", Wide(u"\u00e9\u20ac"), 4},
    {"'\xf0\x9f\x8c\x9f'", SQL_C_WCHAR, 64, "", Wide(u"\U0001F31F"), 4},
    {"'abc'", SQL_C_WCHAR, 6, "01004", Wide(u"ab"), 6},
    {"42", SQL_C_WCHAR, 16, "", Wide(u"42"), 4},
    // Dates, times and timestamps from text.
    {"'2024-02-29'", SQL_C_TYPE_DATE, 0, "", Date(2024, 2, 29), 6},
    {"'2024-02-29'", SQL_C_DATE, 0, "", Date(2024, 2, 29), 6},
    {"'2023-02-29'", SQL_C_TYPE_DATE, 0, "22018", "", kAnyIndicator},
    {"'2023-13-01'", SQL_C_TYPE_DATE, 0, "22018", "", kAnyIndicator},
    {"'yesterday'", SQL_C_TYPE_DATE, 0, "22018", "", kAnyIndicator},
    {"'2024-02-29 12:00:00'", SQL_C_TYPE_DATE, 0, "01S07", Date(2024, 2, 29),
     6},
    {"'2024-02-29 00:00:00'", SQL_C_TYPE_DATE, 0, "", Date(2024, 2, 29), 6},
    {"20240229", SQL_C_TYPE_DATE, 0, "07006", "", kAnyIndicator},
    {"'12:34:56'", SQL_C_TYPE_TIME, 0, "", Time(12, 34, 56), 6},
    {"'12:34:56.5'", SQL_C_TIME, 0, "01S07", Time(12, 34, 56), 6},
    {"'24:00:00'", SQL_C_TYPE_TIME, 0, "22018", "", kAnyIndicator},
    {"'2024-02-29 12:34:56'", SQL_C_TYPE_TIME, 0, "", Time(12, 34, 56), 6},
    {"'2024-02-29 12:34:56.123456789'", SQL_C_TYPE_TIMESTAMP, 0, "",
     Stamp(2024, 2, 29, 12, 34, 56, 123456789), 16},
    {"'2024-02-29T01:02:03.5'", SQL_C_TIMESTAMP, 0, "",
     Stamp(2024, 2, 29, 1, 2, 3, 500000000), 16},
    {"'2024-02-29'", SQL_C_TYPE_TIMESTAMP, 0, "",
     Stamp(2024, 2, 29, 0, 0, 0, 0), 16},
    {"'2024-02-30 00:00:00'", SQL_C_TYPE_TIMESTAMP, 0, "22018", "",
     kAnyIndicator},
    {"1.5", SQL_C_TYPE_TIMESTAMP, 0, "07006", "", kAnyIndicator},
    // Blobs.
    {"x'00ff10'", SQL_C_BINARY, 3, "", std::string("\x00\xff\x10", 3), 3},
    {"x'00ff10'", SQL_C_BINARY, 2, "01004", std::string("\x00\xff", 2), 3},
    {"x'00ff10'", SQL_C_SLONG, 0, "07006", "", kAnyIndicator},
    {"x'00ff10'", SQL_C_TYPE_DATE, 0, "07006", "", kAnyIndicator},
    // The C type the column's own type asks for.
    {"CAST(7 AS INTEGER)", SQL_C_DEFAULT, 0, "", Bytes<int64_t>(7), 8},
    {"2.5", SQL_C_DEFAULT, 0, "", Bytes<double>(2.5), 8},
    // NULL: the indicator says so, and without one it is an error.
    {"NULL", SQL_C_SLONG, 0, "", "", SQL_NULL_DATA},
    {"NULL", SQL_C_CHAR, 8, "", "", SQL_NULL_DATA},
    {"NULL", SQL_C_SLONG, 0, "22002", "", kNoIndicator},
};

class ConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = FreshDirectory("conversion") + "/values.db";
    CreateDatabase(path_, "CREATE TABLE t(x);");
    ASSERT_TRUE(
        SQL_SUCCEEDED(session_.ConnectString("Database=" + path_ + ";")));
    statement_ = session_.NewStatement();
  }

  std::string path_;
  Session session_;
  SQLHSTMT statement_ = SQL_NULL_HSTMT;
};

std::string Describe(const Case& c) {
  return std::string(c.expression) + " as C type " + std::to_string(c.cType) +
         " into " + std::to_string(c.bufferLength) + " bytes";
}

// Reads every case through SQLGetData, or through a column bound before the
// fetch (the path a scan of bound columns takes), and compares the
// result, the SQLSTATE, the indicator and the bytes.
void ExpectConversionTable(SQLHSTMT statement, bool bound) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(Describe(c) + (bound ? ", bound" : ", SQLGetData"));
    SQLFreeStmt(statement, SQL_CLOSE);
    SQLFreeStmt(statement, SQL_UNBIND);
    ASSERT_EQ(Execute(statement, std::string("SELECT ") + c.expression),
              SQL_SUCCESS);
    unsigned char buffer[64];
    std::memset(buffer, 0xAA, sizeof(buffer));
    SQLLEN indicator = 12345;
    SQLLEN length = c.bufferLength > 0 ? c.bufferLength : sizeof(buffer);
    SQLLEN* indicatorTarget =
        c.indicator == kNoIndicator ? nullptr : &indicator;
    SQLRETURN result;
    if (bound) {
      ASSERT_EQ(
          SQLBindCol(statement, 1, c.cType, buffer, length, indicatorTarget),
          SQL_SUCCESS);
      result = SQLFetch(statement);
    } else {
      ASSERT_EQ(SQLFetch(statement), SQL_SUCCESS);
      result =
          SQLGetData(statement, 1, c.cType, buffer, length, indicatorTarget);
    }
    std::string state = StatesOf(SQL_HANDLE_STMT, statement);
    EXPECT_EQ(state, c.state);
    if (std::string(c.state).empty()) {
      EXPECT_EQ(result, SQL_SUCCESS);
    } else if (c.state[0] == '0' && c.state[1] == '1') {
      EXPECT_EQ(result, SQL_SUCCESS_WITH_INFO);
    } else {
      EXPECT_EQ(result, SQL_ERROR);
    }
    if (c.indicator != kAnyIndicator && c.indicator != kNoIndicator) {
      EXPECT_EQ(indicator, c.indicator);
    }
    if (!c.expected.empty()) {
      EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), c.expected.size()),
                c.expected);
    }
    if (c.bufferLength > 0 && c.bufferLength < 64) {
      // Nothing past the buffer.
      EXPECT_EQ(buffer[c.bufferLength], 0xAA);
    }
    if (c.indicator == SQL_NULL_DATA) {
      EXPECT_EQ(buffer[0], 0xAA);
    }
  }
  SQLFreeStmt(statement, SQL_UNBIND);
}

TEST_F(ConversionTest, GetDataFollowsTheConversionTable) {
  ExpectConversionTable(statement_, false);
}

TEST_F(ConversionTest, BoundColumnsFollowTheConversionTable) {
  ExpectConversionTable(statement_, true);
}

TEST_F(ConversionTest, BoundColumnErrorFailsOnlyItsRow) {
  CreateDatabase(
      path_, "INSERT INTO t VALUES (1), (300), ('abc'), (2.5), (NULL), (4);");
  ASSERT_EQ(Execute(statement_, "SELECT x FROM t ORDER BY rowid"), SQL_SUCCESS);
  unsigned char value = 0;
  SQLLEN indicator = 0;
  ASSERT_EQ(SQLBindCol(statement_, 1, SQL_C_UTINYINT, &value, 0, &indicator),
            SQL_SUCCESS);
  struct Row {
    SQLRETURN result;
    const char* state;
    int value;  // -1: NULL
  } rows[] = {{SQL_SUCCESS, "", 1},     {SQL_ERROR, "22003", -2},
              {SQL_ERROR, "22018", -2}, {SQL_SUCCESS_WITH_INFO, "01S07", 2},
              {SQL_SUCCESS, "", -1},    {SQL_SUCCESS, "", 4}};
  int number = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(++number);
    EXPECT_EQ(SQLFetch(statement_), row.result);
    EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, statement_), row.state);
    if (row.value == -1) {
      EXPECT_EQ(indicator, SQL_NULL_DATA);
    }
    if (row.value >= 0) {
      EXPECT_EQ(indicator, 1);
      EXPECT_EQ(value, row.value);
    }
  }
  EXPECT_EQ(SQLFetch(statement_), SQL_NO_DATA);
}

}  // namespace
}  // namespace veloran::driver_testing
