// Diagnostic records: each returned once, cleared by the next call on the
// handle, and in the "[vendor][component]" form.
#include <gtest/gtest.h>

#include "tests/driver/driver_session.h"

namespace veloran::driver_testing {
namespace {

class DiagnosticsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string dir = FreshDirectory("diagnostics");
    CreateDatabase(dir + "/stars.db",
                   "CREATE TABLE Stars(ID INTEGER, Name TEXT);"
                   "INSERT INTO Stars VALUES (300, 'Vega with a long name');");
    ASSERT_EQ(session_.ConnectString("Database=" + dir + "/stars.db;"),
              SQL_SUCCESS);
    statement_ = session_.NewStatement();
  }

  // A row with two columns in error and one cut: three records.
  SQLRETURN FetchBadRow() {
    EXPECT_EQ(Execute(statement_, "SELECT ID, ID, Name FROM Stars"),
              SQL_SUCCESS);
    SQLBindCol(statement_, 1, SQL_C_UTINYINT, &tiny_, 0, &indicators_[0]);
    SQLBindCol(statement_, 2, SQL_C_STINYINT, &tiny_, 0, &indicators_[1]);
    SQLBindCol(statement_, 3, SQL_C_CHAR, name_, sizeof(name_),
               &indicators_[2]);
    return SQLFetch(statement_);
  }

  Session session_;
  SQLHSTMT statement_ = SQL_NULL_HSTMT;
  unsigned char tiny_ = 0;
  char name_[5] = "";
  SQLLEN indicators_[3] = {};
};

TEST_F(DiagnosticsTest, GetDiagRecGivesEachRecordThenNoData) {
  EXPECT_EQ(FetchBadRow(), SQL_ERROR);
  std::vector<Diagnostic> records = DiagnosticsOf(SQL_HANDLE_STMT, statement_);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].state, "22003");
  EXPECT_EQ(records[1].state, "22003");
  EXPECT_EQ(records[2].state, "01004");
  // Each message is the state's standard text, then what went wrong.
  const char* const heads[] = {
      "[Veloran][ODBC driver]numeric value out of range: column ",
      "[Veloran][ODBC driver]numeric value out of range: column ",
      "[Veloran][ODBC driver]string data, right truncated: column ",
  };
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].message.find(heads[i]), 0u) << records[i].message;
  }
  // The cut text is there with its full length.
  EXPECT_STREQ(name_, "Vega");
  EXPECT_EQ(indicators_[2], 21);
  SQLINTEGER column = 0;
  EXPECT_EQ(SQLGetDiagField(SQL_HANDLE_STMT, statement_, 2,
                            SQL_DIAG_COLUMN_NUMBER, &column, 0, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(column, 2);
  SQLINTEGER count = 0;
  EXPECT_EQ(SQLGetDiagField(SQL_HANDLE_STMT, statement_, 0, SQL_DIAG_NUMBER,
                            &count, 0, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(count, 3);
  // Asked again, the same records: SQLGetDiagRec does not use them up.
  EXPECT_EQ(DiagnosticsOf(SQL_HANDLE_STMT, statement_).size(), 3u);
}

TEST_F(DiagnosticsTest, ErrorGivesEachRecordOnceThenNoData) {
  EXPECT_EQ(FetchBadRow(), SQL_ERROR);
  std::string states;
  int calls = 0;
  for (;;) {
    SQLCHAR state[6] = "";
    SQLINTEGER native = 0;
    SQLCHAR message[512];
    SQLSMALLINT length = 0;
    SQLRETURN result =
        SQLError(session_.environment(), session_.connection(), statement_,
                 state, &native, message, sizeof(message), &length);
    if (result == SQL_NO_DATA) break;
    ASSERT_EQ(result, SQL_SUCCESS);
    states += reinterpret_cast<char*>(state);
    states += " ";
    ASSERT_LT(++calls, 10);
  }
  EXPECT_EQ(states, "22003 22003 01004 ");
}

TEST_F(DiagnosticsTest, TheNextCallClearsTheRecords) {
  EXPECT_EQ(FetchBadRow(), SQL_ERROR);
  SQLSMALLINT columns = 0;
  EXPECT_EQ(SQLNumResultCols(statement_, &columns), SQL_SUCCESS);
  EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, statement_), "");
  // A failed connect leaves one record, which the driver manager takes
  // from the driver with SQLError until SQL_NO_DATA.
  Session failed;
  EXPECT_EQ(failed.ConnectString("Database=/nonexistent/dir/x.db;"), SQL_ERROR);
  EXPECT_EQ(StatesOf(SQL_HANDLE_DBC, failed.connection()), "08001");
}

}  // namespace
}  // namespace veloran::driver_testing
