// The length or indicator of a parameter, by C type: each valid one binds
// exactly the bytes it gives, each invalid one is refused with the state
// the ODBC reference names, and nothing is read past the buffer (the
// buffers are heap blocks of their exact size, for the sanitizers).
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/driver/driver_session.h"

namespace veloran::driver_testing {
namespace {

class ParameterLengthTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = FreshDirectory("parameter-length") + "/empty.db";
    CreateDatabase(path_, "CREATE TABLE t(x);");
    ASSERT_EQ(session_.ConnectString("Database=" + path_ + ";"), SQL_SUCCESS);
    statement_ = session_.NewStatement();
  }

  std::string path_;
  Session session_;
  SQLHSTMT statement_ = SQL_NULL_HSTMT;
};

struct LengthCase {
  SQLSMALLINT cType;
  SQLLEN bufferLength;  // of the bound buffer, passed to SQLBindParameter
  SQLLEN indicator;
  const char* states;  // "" when it binds
  const char* bound;   // what "SELECT quote(?)" gives then
};

// The buffers: "abcd" without a terminator, as bytes, UTF-16 units or an
// integer of 4 bytes.
std::vector<unsigned char> Buffer(SQLSMALLINT cType, SQLLEN size) {
  std::vector<unsigned char> buffer(static_cast<size_t>(size));
  if (cType == SQL_C_WCHAR) {
    const char16_t units[] = u"abcd";
    std::memcpy(buffer.data(), units, static_cast<size_t>(size));
  } else if (cType == SQL_C_SLONG) {
    int32_t number = 42;
    std::memcpy(buffer.data(), &number, sizeof(number));
  } else {
    std::memcpy(buffer.data(), "abcd", static_cast<size_t>(size));
  }
  return buffer;
}

TEST_F(ParameterLengthTest, EveryLengthAndIndicatorByCType) {
  const LengthCase cases[] = {
      // Lengths within the buffer bind just those bytes.
      {SQL_C_CHAR, 4, 4, "", "'abcd'"},
      {SQL_C_CHAR, 4, 2, "", "'ab'"},
      {SQL_C_CHAR, 4, 0, "", "''"},
      {SQL_C_BINARY, 4, 3, "", "X'616263'"},
      {SQL_C_BINARY, 4, 0, "", "X''"},
      {SQL_C_WCHAR, 8, 8, "", "'abcd'"},
      {SQL_C_WCHAR, 8, 2, "", "'a'"},
      {SQL_C_SLONG, 4, 0, "", "42"},
      {SQL_C_SLONG, 4, 4, "", "42"},
      {SQL_C_SLONG, 4, SQL_NTS, "", "42"},
      {SQL_C_CHAR, 4, SQL_NULL_DATA, "", "NULL"},
      {SQL_C_WCHAR, 8, SQL_NULL_DATA, "", "NULL"},
      // A text without its terminator within the buffer: not read beyond.
      {SQL_C_CHAR, 4, SQL_NTS, "HY090", nullptr},
      {SQL_C_WCHAR, 8, SQL_NTS, "HY090", nullptr},
      // Half a UTF-16 unit; a binary value has no terminator.
      {SQL_C_WCHAR, 8, 3, "HY090", nullptr},
      {SQL_C_BINARY, 4, SQL_NTS, "HY090", nullptr},
      // A default parameter: SQLite's have no defaults.
      {SQL_C_CHAR, 4, SQL_DEFAULT_PARAM, "07S01", nullptr},
      {SQL_C_WCHAR, 8, SQL_DEFAULT_PARAM, "07S01", nullptr},
      {SQL_C_BINARY, 4, SQL_DEFAULT_PARAM, "07S01", nullptr},
      {SQL_C_SLONG, 4, SQL_DEFAULT_PARAM, "07S01", nullptr},
      // Data at execution is not supported.
      {SQL_C_CHAR, 4, SQL_DATA_AT_EXEC, "HYC00", nullptr},
      {SQL_C_WCHAR, 8, SQL_LEN_DATA_AT_EXEC(10), "HYC00", nullptr},
      {SQL_C_BINARY, 4, SQL_LEN_DATA_AT_EXEC(0), "HYC00", nullptr},
  };
  // Negative values that are no indicator at all.
  std::vector<LengthCase> all(std::begin(cases), std::end(cases));
  for (SQLSMALLINT cType :
       {SQL_C_CHAR, SQL_C_WCHAR, SQL_C_BINARY, SQL_C_SLONG}) {
    SQLLEN size = cType == SQL_C_WCHAR ? 8 : 4;
    for (SQLLEN indicator : {SQLLEN{SQL_NO_TOTAL}, SQLLEN{SQL_COLUMN_IGNORE},
                             SQLLEN{-7}, SQLLEN{-99}}) {
      all.push_back({cType, size, indicator, "HY090", nullptr});
    }
  }
  for (const LengthCase& c : all) {
    SCOPED_TRACE("C type " + std::to_string(c.cType) + ", indicator " +
                 std::to_string(c.indicator));
    std::vector<unsigned char> buffer = Buffer(c.cType, c.bufferLength);
    SQLLEN indicator = c.indicator;
    ASSERT_EQ(
        SQLBindParameter(statement_, 1, SQL_PARAM_INPUT, c.cType, SQL_VARCHAR,
                         10, 0, buffer.data(), c.bufferLength, &indicator),
        SQL_SUCCESS);
    SQLRETURN result = Execute(statement_, "SELECT quote(?)");
    if (c.bound == nullptr) {
      EXPECT_EQ(result, SQL_ERROR);
      EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, statement_), c.states);
    } else {
      ASSERT_EQ(result, SQL_SUCCESS) << StatesOf(SQL_HANDLE_STMT, statement_);
      EXPECT_EQ(FirstColumn(statement_), std::vector<std::string>{c.bound});
    }
    SQLFreeStmt(statement_, SQL_CLOSE);
    SQLFreeStmt(statement_, SQL_RESET_PARAMS);
  }
}

// With no buffer length to bound it, a terminated text is read to its end.
TEST_F(ParameterLengthTest, ATerminatedTextWithoutBufferLength) {
  char text[] = "Sirius";
  char16_t wide[] = u"Vega";
  SQLLEN nts = SQL_NTS;
  ASSERT_EQ(SQLBindParameter(statement_, 1, SQL_PARAM_INPUT, SQL_C_CHAR,
                             SQL_VARCHAR, 10, 0, text, 0, &nts),
            SQL_SUCCESS);
  ASSERT_EQ(SQLBindParameter(statement_, 2, SQL_PARAM_INPUT, SQL_C_WCHAR,
                             SQL_WVARCHAR, 10, 0, wide, 0, nullptr),
            SQL_SUCCESS);
  ASSERT_EQ(Execute(statement_, "SELECT ? || ' ' || ?"), SQL_SUCCESS)
      << StatesOf(SQL_HANDLE_STMT, statement_);
  EXPECT_EQ(FirstColumn(statement_), std::vector<std::string>{"Sirius Vega"});
}

}  // namespace
}  // namespace veloran::driver_testing
