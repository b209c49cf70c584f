// SQLCancel and the time-outs, with threads: a cancel stops only its own
// statement and never waits; a query time-out ends an endless query.
#include <sqlite3.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/driver/driver_session.h"

namespace veloran::driver_testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Runs until stopped: an aggregate never yields its row.
constexpr char kEndless[] =
    "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c) "
    "SELECT max(i) FROM c";

class CancelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = FreshDirectory("cancel") + "/numbers.db";
    CreateDatabase(path_,
                   "CREATE TABLE n(x INTEGER);"
                   "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                   "FROM c WHERE i < 100) INSERT INTO n SELECT i FROM c;");
  }

  // The rows still to come on "statement", or -1 after a failed fetch.
  static int RemainingRows(SQLHSTMT statement) {
    int rows = 0;
    SQLRETURN result;
    while ((result = SQLFetch(statement)) == SQL_SUCCESS) ++rows;
    return result == SQL_NO_DATA ? rows : -1;
  }

  // Starts the endless query on "statement" in a thread of its own, and
  // waits until it runs.
  static std::future<SQLRETURN> StartEndless(SQLHSTMT statement) {
    std::future<SQLRETURN> done = std::async(std::launch::async, [statement] {
      return Execute(statement, kEndless);
    });
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_EQ(done.wait_for(milliseconds(0)), std::future_status::timeout);
    return done;
  }

  // Cancels "statement" until its call in "done" returns (a cancel that
  // came before the call began only closed the cursor, as with nothing
  // running); false when it has not returned within 10 s.
  static bool CancelUntilDone(SQLHSTMT statement,
                              const std::future<SQLRETURN>& done) {
    for (int i = 0; i < 100; ++i) {
      EXPECT_EQ(SQLCancel(statement), SQL_SUCCESS);
      if (done.wait_for(milliseconds(100)) == std::future_status::ready) {
        return true;
      }
    }
    return false;
  }

  std::string path_;
};

TEST_F(CancelTest, ACancelFromAnotherThreadStopsOnlyItsStatement) {
  Watchdog watchdog(60);
  Session session;
  ASSERT_EQ(session.ConnectString("Database=" + path_ + ";"), SQL_SUCCESS);
  SQLHSTMT endless = session.NewStatement();
  SQLHSTMT other = session.NewStatement();
  // Another cursor of the same connection, open on its first row.
  ASSERT_EQ(Execute(other, "SELECT x FROM n"), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(other), SQL_SUCCESS);
  std::future<SQLRETURN> done = StartEndless(endless);
  ASSERT_TRUE(CancelUntilDone(endless, done));
  EXPECT_EQ(done.get(), SQL_ERROR);
  EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, endless), "HY008");
  // The other cursor goes on to its end.
  EXPECT_EQ(RemainingRows(other), 99);
  // And the cancelled statement runs again, uncancelled.
  ASSERT_EQ(Execute(endless, "SELECT count(*) FROM n"), SQL_SUCCESS);
  EXPECT_EQ(FirstColumn(endless), std::vector<std::string>{"100"});
}

TEST_F(CancelTest, ACancelOfAnIdleStatementReturnsAtOnce) {
  Watchdog watchdog(60);
  Session session;
  ASSERT_EQ(session.ConnectString("Database=" + path_ + ";"), SQL_SUCCESS);
  SQLHSTMT endless = session.NewStatement();
  SQLHSTMT idle = session.NewStatement();
  ASSERT_EQ(Execute(idle, "SELECT x FROM n"), SQL_SUCCESS);
  std::future<SQLRETURN> done = StartEndless(endless);
  // The running statement holds the connection's lock: the cancel of the
  // idle one does not wait for it, and stops nothing.
  Clock::time_point start = Clock::now();
  EXPECT_EQ(SQLCancel(idle), SQL_SUCCESS);
  EXPECT_LT(Clock::now() - start, milliseconds(500));
  EXPECT_EQ(done.wait_for(milliseconds(300)), std::future_status::timeout);
  ASSERT_TRUE(CancelUntilDone(endless, done));
  EXPECT_EQ(done.get(), SQL_ERROR);
  EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, endless), "HY008");
  // The idle statement's cursor was closed by its cancel, as with nothing
  // running; it runs again.
  ASSERT_EQ(Execute(idle, "SELECT count(*) FROM n"), SQL_SUCCESS);
  EXPECT_EQ(FirstColumn(idle), std::vector<std::string>{"100"});
}

TEST_F(CancelTest, ACancelEndsTheWaitForAWritersLock) {
  Watchdog watchdog(60);
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &writer), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
            SQLITE_OK);
  Session session;
  ASSERT_EQ(session.ConnectString("Database=" + path_ + ";Timeout=30000;"),
            SQL_SUCCESS);
  SQLHSTMT statement = session.NewStatement();
  std::future<SQLRETURN> done = std::async(std::launch::async, [statement] {
    return Execute(statement, "SELECT count(*) FROM n");
  });
  std::this_thread::sleep_for(milliseconds(200));
  Clock::time_point start = Clock::now();
  ASSERT_TRUE(CancelUntilDone(statement, done));
  // Well before the writer's lock would have been given up.
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(done.get(), SQL_ERROR);
  EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, statement), "HY008");
  sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(writer);
}

// The query time-out, set on the statement or by the data source's
// QueryTimeout for every statement, ends an endless query with HYT00.
TEST_F(CancelTest, TheQueryTimeOutEndsAnEndlessQuery) {
  Watchdog watchdog(60);
  struct {
    std::string keys;
    SQLULEN attribute;  // set on the statement; 0: left as it is
  } cases[] = {
      {"", 1},
      {"QueryTimeout=1;", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    Session session;
    ASSERT_EQ(session.ConnectString("Database=" + path_ + ";" + c.keys),
              SQL_SUCCESS);
    SQLHSTMT statement = session.NewStatement();
    if (c.attribute != 0) {
      ASSERT_EQ(SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT,
                               reinterpret_cast<SQLPOINTER>(c.attribute), 0),
                SQL_SUCCESS);
    }
    SQLULEN seconds = 0;
    EXPECT_EQ(
        SQLGetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT, &seconds, 0, nullptr),
        SQL_SUCCESS);
    EXPECT_EQ(seconds, 1u);
    Clock::time_point start = Clock::now();
    EXPECT_EQ(Execute(statement, kEndless), SQL_ERROR);
    Clock::duration took = Clock::now() - start;
    EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, statement), "HYT00");
    EXPECT_GE(took, milliseconds(990));
    EXPECT_LT(took, std::chrono::seconds(10));
    // Only that statement: the next one runs.
    ASSERT_EQ(Execute(statement, "SELECT count(*) FROM n"), SQL_SUCCESS);
    EXPECT_EQ(FirstColumn(statement), std::vector<std::string>{"100"});
  }
}

}  // namespace
}  // namespace veloran::driver_testing
