// Nothing through the driver writes: every kind of writing statement is
// refused before it runs, and the file and its directory stay as they
// were, byte for byte, although the file's permissions would allow writes.
#include <gtest/gtest.h>

#include "tests/driver/driver_session.h"

namespace veloran::driver_testing {
namespace {

struct Refusal {
  const char* sql;
  const char* state;
};

const Refusal kRefusals[] = {
    {"INSERT INTO Stars VALUES (300, 'Vega')", "25000"},
    {"INSERT INTO Stars VALUES (300, 'Vega') RETURNING ID", "25000"},
    {"UPDATE Stars SET Name = 'Sun' WHERE ID = 100", "25000"},
    {"DELETE FROM Stars", "25000"},
    {"REPLACE INTO Stars VALUES (100, 'Sun')", "25000"},
    {"CREATE TABLE Planets(Name TEXT)", "25000"},
    {"CREATE TEMP TABLE Scratch(x)", "25000"},
    {"CREATE INDEX StarsByName ON Stars(Name)", "25000"},
    {"CREATE VIEW Named AS SELECT Name FROM Stars", "25000"},
    {"DROP TABLE Stars", "25000"},
    {"DROP INDEX StarsByID", "25000"},
    {"ALTER TABLE Stars ADD COLUMN Mass REAL", "25000"},
    {"ATTACH 'other.db' AS other", "25000"},
    {"DETACH main", "25000"},
    {"PRAGMA user_version = 7", "25000"},
    {"PRAGMA query_only = 0", "25000"},
    {"PRAGMA journal_mode = WAL", "25000"},
    {"PRAGMA main.journal_mode = DELETE", "25000"},
    {"BEGIN IMMEDIATE", "25000"},
    {"BEGIN EXCLUSIVE", "25000"},
    {"BEGIN", "25000"},
    {"VACUUM", "25000"},
    {"VACUUM INTO 'copy.db'", "25000"},
    {"REINDEX", "25000"},
    {"ANALYZE", "25000"},
    {"SELECT load_extension('" VELORAN_DIALECT_PATH "')", "42000"},
    // A reading statement cannot carry a writing one behind it.
    {"SELECT 1; DELETE FROM Stars", "42000"},
    {"SELECT 1; SELECT 2", "42000"},
};

class ReadOnlyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = FreshDirectory("read-only");
    path_ = dir_ + "/stars.db";
    CreateDatabase(path_,
                   "CREATE TABLE Stars(ID INTEGER, Name TEXT);"
                   "CREATE INDEX StarsByID ON Stars(ID);"
                   "INSERT INTO Stars VALUES (100, 'Sol'), (200, 'Sirius');");
    bytes_ = FileBytes(path_);
    listing_ = DirectoryListing(dir_);
  }

  void ExpectUnchanged() {
    EXPECT_EQ(FileBytes(path_), bytes_);
    EXPECT_EQ(DirectoryListing(dir_), listing_);
  }

  std::string dir_;
  std::string path_;
  std::string bytes_;
  std::string listing_;
};

TEST_F(ReadOnlyTest, WritingStatementsAreRefusedWhateverTheCall) {
  Session session;
  // The extension is loaded, so load_extension() is refused for what it
  // is, not for a missing file.
  ASSERT_EQ(session.ConnectString("Database=" + path_ +
                                  ";LoadExt=" + DialectPath() + ";"),
            SQL_SUCCESS);
  SQLHSTMT statement = session.NewStatement();
  for (const Refusal& refusal : kRefusals) {
    SCOPED_TRACE(refusal.sql);
    EXPECT_EQ(Execute(statement, refusal.sql), SQL_ERROR);
    std::vector<Diagnostic> records = DiagnosticsOf(SQL_HANDLE_STMT, statement);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].state, refusal.state);
    if (std::string(refusal.state) == "25000") {
      EXPECT_NE(
          records[0].message.find(
              "[Veloran][SQLite]invalid transaction state: statement would "
              "write to the database; "
              "this driver is read-only"),
          std::string::npos)
          << records[0].message;
    }
    EXPECT_EQ(
        SQLPrepare(statement,
                   reinterpret_cast<SQLCHAR*>(const_cast<char*>(refusal.sql)),
                   SQL_NTS),
        SQL_ERROR);
  }
  // Still readable, still the same rows.
  ASSERT_EQ(Execute(statement, "SELECT Name FROM Stars ORDER BY ID"),
            SQL_SUCCESS);
  EXPECT_EQ(FirstColumn(statement),
            (std::vector<std::string>{"Sol", "Sirius"}));
  SQLFreeStmt(statement, SQL_CLOSE);
  ASSERT_EQ(Execute(statement, "PRAGMA query_only"), SQL_SUCCESS);
  EXPECT_EQ(FirstColumn(statement), (std::vector<std::string>{"1"}));
  ExpectUnchanged();
}

TEST_F(ReadOnlyTest, ReadingStatementsThatLookLikeWritesRun) {
  Session session;
  ASSERT_EQ(session.ConnectString("Database=" + path_ + ";"), SQL_SUCCESS);
  SQLHSTMT statement = session.NewStatement();
  const char* reads[] = {
      "PRAGMA table_info(Stars)",
      "SELECT * FROM pragma_table_xinfo('Stars')",
      "PRAGMA user_version",
      "PRAGMA journal_mode",
      "PRAGMA main.journal_mode",
      "WITH t(n) AS (SELECT 1) SELECT n FROM t",
      "SELECT 1; -- a comment after the statement",
      "EXPLAIN QUERY PLAN SELECT * FROM Stars WHERE ID = 1",
  };
  for (const char* sql : reads) {
    SCOPED_TRACE(sql);
    SQLFreeStmt(statement, SQL_CLOSE);
    EXPECT_EQ(Execute(statement, sql), SQL_SUCCESS)
        << StatesOf(SQL_HANDLE_STMT, statement);
  }
  ExpectUnchanged();
}

TEST_F(ReadOnlyTest, NoTokenizerFromAPointer) {
  // SQLite as Debian builds it would register an FTS3 tokenizer from a
  // pointer that SQL gives: a way to make the process jump anywhere.
  Session session;
  ASSERT_EQ(session.ConnectString("Database=" + path_ + ";"), SQL_SUCCESS);
  SQLHSTMT statement = session.NewStatement();
  EXPECT_EQ(
      Execute(statement, "SELECT fts3_tokenizer('evil', x'4141414141414141')"),
      SQL_ERROR);
  EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, statement), "HY000");
  ExpectUnchanged();
}

}  // namespace
}  // namespace veloran::driver_testing
