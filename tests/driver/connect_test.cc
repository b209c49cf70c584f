// Connecting: data source keys, connection strings, and every way a
// database can fail to open.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>

#include <gtest/gtest.h>

#include "tests/driver/driver_session.h"

namespace veloran::driver_testing {
namespace {

constexpr char kStars[] =
    "CREATE TABLE Stars(ID INTEGER, Name TEXT);"
    "INSERT INTO Stars VALUES (100, 'Sol'), (200, 'Sirius');";

std::string Message(const Session& session) {
  std::vector<Diagnostic> records =
      DiagnosticsOf(SQL_HANDLE_DBC, session.connection());
  return records.empty() ? std::string() : records[0].message;
}

TEST(ConnectTest, ReadsTheDataSourceKeysAndIgnoresOthers) {
  std::string dir = FreshDirectory("connect-dsn");
  CreateDatabase(dir + "/stars.db", kStars);
  UseDataSource(dir + "/odbc", "Database=" + dir +
                                   "/stars.db\nNoCreat=1\nStepAPI=1\n"
                                   "Timeout=500\nLoadExt=" +
                                   DialectPath());
  Session session;
  ASSERT_EQ(session.ConnectDataSource(), SQL_SUCCESS) << Message(session);
  SQLHSTMT statement = session.NewStatement();
  // INT comes from the extension LoadExt names.
  ASSERT_EQ(Execute(statement, "SELECT INT(ID / 100.0 + 0.5) FROM Stars"),
            SQL_SUCCESS);
  EXPECT_EQ(FirstColumn(statement), (std::vector<std::string>{"1", "2"}));
  char name[64] = "";
  SQLSMALLINT length = 0;
  EXPECT_EQ(SQLGetInfo(session.connection(), SQL_DATA_SOURCE_NAME, name,
                       sizeof(name), &length),
            SQL_SUCCESS);
  EXPECT_STREQ(name, "Veloran");
}

TEST(ConnectTest, ConnectionStringsAndTheirForms) {
  std::string dir = FreshDirectory("connect-strings");
  CreateDatabase(dir + "/a;b.db", kStars);
  CreateDatabase(dir + "/stars.db", kStars);
  std::filesystem::create_directories(dir + "/with space");
  CreateDatabase(dir + "/with space/stars.db", kStars);
  UseDataSource(dir + "/odbc", "Database=" + dir + "/missing.db");
  struct {
    std::string keys;
    bool connects;
  } cases[] = {
      {"Database=" + dir + "/stars.db;", true},
      {"Database={" + dir + "/a;b.db};", true},
      {"DATABASE = " + dir + "/stars.db ; Timeout=100", true},
      {"Database=file:" + dir + "/st%61rs.db?mode=ro;", true},
      {"Database=file:" + dir + "/with%20space/stars.db;", true},
      // The string's Database wins over the data source's.
      {"DSN=Veloran;Database=" + dir + "/stars.db;", true},
      {"DSN=Veloran;", false},
      {"Database={" + dir + "/a;b.db;", false},
      {"Database=" + dir + "/stars.db;Timeout=soon;", false},
      {"Timeout=100;", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    Session session;
    SQLRETURN result = session.ConnectString(c.keys);
    EXPECT_EQ(SQL_SUCCEEDED(result), c.connects) << Message(session);
    if (!c.connects) {
      EXPECT_EQ(StatesOf(SQL_HANDLE_DBC, session.connection()), "08001");
      continue;
    }
    // What reconnects: the completed string names the database.
    EXPECT_NE(session.completed().find("Database="), std::string::npos)
        << session.completed();
    SQLHSTMT statement = session.NewStatement();
    ASSERT_EQ(Execute(statement, "SELECT Name FROM Stars ORDER BY ID"),
              SQL_SUCCESS);
    EXPECT_EQ(FirstColumn(statement),
              (std::vector<std::string>{"Sol", "Sirius"}));
  }
}

// What the calls between construction and Text() write to standard error,
// through a file that takes the place of descriptor 2.
class StandardErrorCapture {
 public:
  explicit StandardErrorCapture(const std::string& path) : path_(path) {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, STDERR_FILENO);
    close(fd);
  }
  ~StandardErrorCapture() { Restore(); }
  StandardErrorCapture(const StandardErrorCapture&) = delete;
  StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

  std::string Text() {
    Restore();
    return FileBytes(path_);
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
  }

  std::string path_;
  int saved_ = -1;
};

constexpr char kCannotOpen[] =
    "cannot open the database named by the data source key Database: ";

// Every way a file can be no readable database: each is refused with 08001
// and its reason before SQLite could hang on it, take it for an empty
// database or create files beside it.  The message names the Database key
// and never the path (a web page may show it to its visitor); the path and
// the whole cause go to standard error in one line.
TEST(ConnectTest, FilesThatAreNoDatabaseFailWithTheirCause) {
  Watchdog watchdog(60);
  std::string dir = FreshDirectory("connect-failures");
  std::string data = dir + "/data";
  std::filesystem::create_directories(data + "/a-directory.db");
  {
    std::ofstream random(data + "/random.db", std::ios::binary);
    std::mt19937 generator(7);
    for (int i = 0; i < 4096; ++i) random.put(static_cast<char>(generator()));
  }
  std::ofstream(data + "/empty.db").close();
  ASSERT_EQ(mkfifo((data + "/fifo.db").c_str(), 0600), 0);
  CreateDatabase(data + "/stars.db", kStars);
  CreateDatabase(data + "/wal.db", kStars);
  {
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open((data + "/wal.db").c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "PRAGMA journal_mode=WAL", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(writer);
    std::ofstream(data + "/truncated.db", std::ios::binary)
        << FileBytes(data + "/stars.db").substr(0, 50);
  }
  const std::string notAFile = "not a database file";
  struct {
    std::string database;
    std::string reason;
  } cases[] = {
      {data + "/missing.db", "no such file"},
      {data + "/missing/stars.db", "no such file"},
      {data + "/stars.db/x", "a part of its path is not a directory"},
      {data + "/a-directory.db", "it is a directory, " + notAFile},
      {data + "/fifo.db", "it is a FIFO, " + notAFile},
      {"file:" + data + "/fi%66o.db?mode=ro", "it is a FIFO, " + notAFile},
      {"file://localhost" + data + "/fifo.db", "it is a FIFO, " + notAFile},
      {"/dev/null", "it is a character device, " + notAFile},
      {"/dev/zero", "it is a character device, " + notAFile},
      {data + "/empty.db", "the file is empty, so it is not a database"},
      {data + "/random.db", "the file is not a database"},
      {data + "/truncated.db", "the file is not a database"},
      {data + "/wal.db",
       "the database is in WAL mode, whose readers create files beside it; "
       "switch it to a rollback journal, as its owner: sqlite3 FILE 'PRAGMA "
       "journal_mode=DELETE'"},
      {"file:" + data + "/stars.db?mode=rwc", "access mode not allowed"},
      {"file:" + data + "/stars.db?mode=rw", "access mode not allowed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.database);
    std::string listing = DirectoryListing(data);
    Session session;
    StandardErrorCapture capture(dir + "/stderr");
    EXPECT_EQ(session.ConnectString("Database={" + c.database + "};"),
              SQL_ERROR);
    std::string logged = capture.Text();
    EXPECT_EQ(StatesOf(SQL_HANDLE_DBC, session.connection()), "08001");
    std::string message = Message(session);
    EXPECT_NE(message.find(kCannotOpen + c.reason), std::string::npos)
        << message;
    EXPECT_EQ(message.find(data), std::string::npos) << message;
    EXPECT_EQ(message.find("/dev/"), std::string::npos) << message;
    // One line, the driver's name first, with the path.
    EXPECT_EQ(logged.rfind("veloran_odbc: ", 0), 0u) << logged;
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 1) << logged;
    EXPECT_NE(logged.find("\"" + c.database + "\""), std::string::npos)
        << logged;
    // Never created, never changed.
    EXPECT_EQ(DirectoryListing(data), listing);
  }
}

TEST(ConnectTest, AFailedExtensionFailsTheConnectAndLogsItsPath) {
  std::string dir = FreshDirectory("connect-extension");
  CreateDatabase(dir + "/stars.db", kStars);
  Session session;
  std::string missing = dir + "/no_such_extension.so";
  StandardErrorCapture capture(dir + "/stderr");
  EXPECT_EQ(session.ConnectString("Database=" + dir + "/stars.db;LoadExt=" +
                                  DialectPath() + "," + missing + ";"),
            SQL_ERROR);
  std::string logged = capture.Text();
  EXPECT_EQ(StatesOf(SQL_HANDLE_DBC, session.connection()), "08001");
  EXPECT_NE(Message(session).find(
                "cannot load extension 2 named by the data source key LoadExt"),
            std::string::npos)
      << Message(session);
  EXPECT_EQ(Message(session).find(dir), std::string::npos) << Message(session);
  EXPECT_EQ(logged.rfind("veloran_odbc: ", 0), 0u) << logged;
  EXPECT_NE(logged.find(missing), std::string::npos) << logged;
}

TEST(ConnectTest, AttributesSetBeforeConnectingAreKept) {
  std::string dir = FreshDirectory("connect-attributes");
  CreateDatabase(dir + "/stars.db", kStars);
  Session session;
  SQLHDBC connection = session.connection();
  EXPECT_EQ(SQLSetConnectAttr(connection, SQL_ATTR_LOGIN_TIMEOUT,
                              reinterpret_cast<SQLPOINTER>(3), 0),
            SQL_SUCCESS);
  EXPECT_EQ(
      SQLSetConnectOption(connection, SQL_ACCESS_MODE, SQL_MODE_READ_ONLY),
      SQL_SUCCESS);
  ASSERT_EQ(session.ConnectString("Database=" + dir + "/stars.db;"),
            SQL_SUCCESS);
  SQLUINTEGER value = 0;
  EXPECT_EQ(
      SQLGetConnectAttr(connection, SQL_ATTR_LOGIN_TIMEOUT, &value, 0, nullptr),
      SQL_SUCCESS);
  EXPECT_EQ(value, 3u);
  // Asking for read-write is answered, and the connection stays read-only.
  EXPECT_EQ(
      SQLSetConnectAttr(connection, SQL_ATTR_ACCESS_MODE,
                        reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_WRITE), 0),
      SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(StatesOf(SQL_HANDLE_DBC, connection), "01S02");
  EXPECT_EQ(
      SQLGetConnectAttr(connection, SQL_ATTR_ACCESS_MODE, &value, 0, nullptr),
      SQL_SUCCESS);
  EXPECT_EQ(value, static_cast<SQLUINTEGER>(SQL_MODE_READ_ONLY));
  for (SQLULEN mode : {SQL_AUTOCOMMIT_OFF, SQL_AUTOCOMMIT_ON}) {
    EXPECT_EQ(SQLSetConnectAttr(connection, SQL_ATTR_AUTOCOMMIT,
                                reinterpret_cast<SQLPOINTER>(mode), 0),
              SQL_SUCCESS);
    EXPECT_EQ(
        SQLGetConnectAttr(connection, SQL_ATTR_AUTOCOMMIT, &value, 0, nullptr),
        SQL_SUCCESS);
    EXPECT_EQ(value, mode);
    EXPECT_EQ(SQLEndTran(SQL_HANDLE_DBC, connection, SQL_COMMIT), SQL_SUCCESS);
    EXPECT_EQ(SQLEndTran(SQL_HANDLE_DBC, connection, SQL_ROLLBACK),
              SQL_SUCCESS);
  }
}

TEST(ConnectTest, ALockedDatabaseConnectsAndItsStatementGivesUpInTime) {
  std::string dir = FreshDirectory("connect-locked");
  std::string path = dir + "/stars.db";
  CreateDatabase(path, kStars);
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
            SQLITE_OK);
  Session session;
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(session.ConnectString("Database=" + path + ";Timeout=1000;"),
            SQL_SUCCESS)
      << Message(session);
  auto connected = std::chrono::steady_clock::now();
  SQLHSTMT statement = session.NewStatement();
  EXPECT_EQ(Execute(statement, "SELECT Name FROM Stars"), SQL_ERROR);
  auto failed = std::chrono::steady_clock::now();
  std::vector<Diagnostic> records = DiagnosticsOf(SQL_HANDLE_STMT, statement);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].state, "HYT00");
  EXPECT_NE(records[0].message.find("locked"), std::string::npos)
      << records[0].message;
  // Connecting does not wait; the statement waits its Timeout, and well
  // under 5 s in all.
  EXPECT_LT(connected - start, std::chrono::milliseconds(800));
  EXPECT_GE(failed - connected, std::chrono::milliseconds(950));
  EXPECT_LT(failed - connected, std::chrono::seconds(5));
  // Once the writer is done, the same connection reads.
  sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(writer);
  ASSERT_EQ(Execute(statement, "SELECT Name FROM Stars ORDER BY ID"),
            SQL_SUCCESS)
      << StatesOf(SQL_HANDLE_STMT, statement);
  EXPECT_EQ(FirstColumn(statement),
            (std::vector<std::string>{"Sol", "Sirius"}));
  // The second guard was set although the file was locked at connect.
  SQLFreeStmt(statement, SQL_CLOSE);
  ASSERT_EQ(Execute(statement, "PRAGMA query_only"), SQL_SUCCESS);
  EXPECT_EQ(FirstColumn(statement), (std::vector<std::string>{"1"}));
}

// In manual-commit mode the statements read one snapshot: a read
// transaction from the first statement to SQLEndTran (a commit or a
// rollback alike), a switch back to autocommit, or the disconnect.  While
// it lasts a writer cannot commit (the file is in rollback-journal mode);
// in autocommit mode nothing is held between statements.
TEST(ConnectTest, ManualCommitReadsOneSnapshot) {
  std::string dir = FreshDirectory("connect-snapshot");
  std::string path = dir + "/stars.db";
  CreateDatabase(path, kStars);
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
  int row = 300;
  auto write = [&]() {
    std::string sql =
        "INSERT INTO Stars VALUES (" + std::to_string(row++) + ", 'Vega')";
    return sqlite3_exec(writer, sql.c_str(), nullptr, nullptr, nullptr);
  };
  const struct {
    const char* name;
    SQLULEN mode;
    SQLRETURN (*end)(SQLHDBC);  // ends the snapshot
  } cases[] = {
      {"commit", SQL_AUTOCOMMIT_OFF,
       [](SQLHDBC c) { return SQLEndTran(SQL_HANDLE_DBC, c, SQL_COMMIT); }},
      {"rollback", SQL_AUTOCOMMIT_OFF,
       [](SQLHDBC c) { return SQLEndTran(SQL_HANDLE_DBC, c, SQL_ROLLBACK); }},
      {"back to autocommit", SQL_AUTOCOMMIT_OFF,
       [](SQLHDBC c) {
         return SQLSetConnectAttr(c, SQL_ATTR_AUTOCOMMIT,
                                  reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON),
                                  0);
       }},
      {"disconnect", SQL_AUTOCOMMIT_OFF,
       [](SQLHDBC c) { return SQLDisconnect(c); }},
  };
  for (const auto& c : cases) {
    Session session;
    ASSERT_EQ(SQLSetConnectAttr(session.connection(), SQL_ATTR_AUTOCOMMIT,
                                reinterpret_cast<SQLPOINTER>(c.mode), 0),
              SQL_SUCCESS);
    ASSERT_EQ(session.ConnectString("Database=" + path + ";Timeout=100;"),
              SQL_SUCCESS)
        << Message(session);
    SQLHSTMT statement = session.NewStatement();
    ASSERT_EQ(Execute(statement, "SELECT COUNT(*) FROM Stars"), SQL_SUCCESS);
    std::vector<std::string> before = FirstColumn(statement);
    SQLFreeStmt(statement, SQL_CLOSE);
    // The cursor is closed, and the snapshot still holds.
    EXPECT_EQ(write(), SQLITE_BUSY) << c.name;
    ASSERT_EQ(Execute(statement, "SELECT COUNT(*) FROM Stars"), SQL_SUCCESS);
    EXPECT_EQ(FirstColumn(statement), before) << c.name;
    SQLFreeStmt(statement, SQL_CLOSE);
    if (std::string(c.name) == "disconnect") SQLFreeStmt(statement, SQL_DROP);
    EXPECT_EQ(c.end(session.connection()), SQL_SUCCESS) << c.name;
    EXPECT_EQ(write(), SQLITE_OK) << c.name;
    if (std::string(c.name) == "disconnect") continue;
    // The next statement begins the next snapshot, which sees the write.
    ASSERT_EQ(Execute(statement, "SELECT COUNT(*) FROM Stars"), SQL_SUCCESS);
    EXPECT_NE(FirstColumn(statement), before) << c.name;
    SQLFreeStmt(statement, SQL_CLOSE);
    SQLEndTran(SQL_HANDLE_DBC, session.connection(), SQL_COMMIT);
  }
  // In autocommit mode a closed cursor holds nothing.
  Session session;
  ASSERT_EQ(session.ConnectString("Database=" + path + ";Timeout=100;"),
            SQL_SUCCESS);
  SQLHSTMT statement = session.NewStatement();
  ASSERT_EQ(Execute(statement, "SELECT COUNT(*) FROM Stars"), SQL_SUCCESS);
  FirstColumn(statement);
  SQLFreeStmt(statement, SQL_CLOSE);
  EXPECT_EQ(write(), SQLITE_OK);
  // The application's own transaction statements are still refused.
  for (const char* sql : {"BEGIN", "COMMIT", "BEGIN IMMEDIATE", "SAVEPOINT a"}) {
    EXPECT_EQ(Execute(statement, sql), SQL_ERROR) << sql;
    SQLFreeStmt(statement, SQL_CLOSE);
  }
  sqlite3_close(writer);
}

}  // namespace
}  // namespace veloran::driver_testing

