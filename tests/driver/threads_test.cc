// Threads on connections of their own, and threads sharing one connection
// (each with its own statement, or all on one statement), checked by what
// every thread reads.
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/driver/driver_session.h"

namespace veloran::driver_testing {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 40;
constexpr int kRows = 500;

class ThreadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = FreshDirectory("threads") + "/numbers.db";
    CreateDatabase(path_,
                   "CREATE TABLE n(x INTEGER, y REAL, z TEXT);"
                   "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                   "FROM c WHERE i < 500) INSERT INTO n SELECT i, i / 4.0, "
                   "printf('row %d', i) FROM c;");
  }

  // Scans the table with bound columns; returns the sum of x, or -1.
  static long Scan(SQLHSTMT statement) {
    if (Execute(statement, "SELECT x, y, z FROM n") != SQL_SUCCESS) return -1;
    SQLINTEGER x = 0;
    double y = 0;
    char z[16];
    SQLLEN indicators[3];
    SQLBindCol(statement, 1, SQL_C_SLONG, &x, 0, &indicators[0]);
    SQLBindCol(statement, 2, SQL_C_DOUBLE, &y, 0, &indicators[1]);
    SQLBindCol(statement, 3, SQL_C_CHAR, z, sizeof(z), &indicators[2]);
    long sum = 0;
    int rows = 0;
    SQLRETURN result;
    while ((result = SQLFetch(statement)) == SQL_SUCCESS) {
      if (y * 4 != x || std::string(z) != "row " + std::to_string(x)) {
        return -1;
      }
      sum += x;
      ++rows;
    }
    SQLFreeStmt(statement, SQL_UNBIND);
    SQLFreeStmt(statement, SQL_CLOSE);
    return result == SQL_NO_DATA && rows == kRows ? sum : -1;
  }

  std::string path_;
};

constexpr long kSum = kRows * (kRows + 1) / 2;

TEST_F(ThreadsTest, ConnectionsOfTheirOwn) {
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      Session session;
      if (session.ConnectString("Database=" + path_ + ";") != SQL_SUCCESS) {
        return;
      }
      SQLHSTMT statement = session.NewStatement();
      for (int i = 0; i < kRounds; ++i) {
        if (Scan(statement) == kSum) ++good;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(good.load(), kThreads * kRounds);
}

TEST_F(ThreadsTest, OneConnectionAStatementEach) {
  Session session;
  ASSERT_EQ(session.ConnectString("Database=" + path_ + ";"), SQL_SUCCESS);
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    SQLHSTMT statement = session.NewStatement();
    threads.emplace_back([&, statement] {
      for (int i = 0; i < kRounds; ++i) {
        if (Scan(statement) == kSum) ++good;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(good.load(), kThreads * kRounds);
}

TEST_F(ThreadsTest, OneStatementSharedRowByRow) {
  Session session;
  ASSERT_EQ(session.ConnectString("Database=" + path_ + ";"), SQL_SUCCESS);
  SQLHSTMT statement = session.NewStatement();
  ASSERT_EQ(Execute(statement, "SELECT x FROM n"), SQL_SUCCESS);
  // Every row goes to exactly one thread.
  std::atomic<long> sum{0};
  std::atomic<int> rows{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      SQLINTEGER x = 0;
      SQLLEN indicator = 0;
      for (;;) {
        // Fetch and read as one step: the connection's lock covers each
        // call, not the pair, so the pair is serialised here.
        static std::mutex pair;
        std::lock_guard<std::mutex> lock(pair);
        if (SQLFetch(statement) != SQL_SUCCESS) break;
        if (SQLGetData(statement, 1, SQL_C_SLONG, &x, 0, &indicator) !=
            SQL_SUCCESS) {
          break;
        }
        sum += x;
        ++rows;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(rows.load(), kRows);
  EXPECT_EQ(sum.load(), kSum);
}

}  // namespace
}  // namespace veloran::driver_testing
