// veloran_data_version(): NULL once the connection no longer reads the
// database its data source names, otherwise a text that changes with the
// file's content, whichever way an operator switches or changes it.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/driver/driver_session.h"
#include "tests/driver/open_hook.h"

namespace veloran::driver_testing {
namespace {

constexpr char kVersion[] = "SELECT veloran_data_version()";

// A database whose one row names it; databases made with the same name
// length have the same size.
void MakeDatabase(const std::string& path, const std::string& name) {
  CreateDatabase(path,
                 "CREATE TABLE Marker(Name TEXT);"
                 "INSERT INTO Marker VALUES ('" +
                     name + "');");
}

// The data source "Veloran" with "key" as its Database, written over the
// file in place (as an editor may) or renamed over it (as
// veloran-use-database does).
enum class Write { kInPlace, kByRename };

void WriteDataSource(const std::string& dir, const std::string& key,
                     Write how) {
  std::string ini = dir + "/odbc.ini";
  std::string target = how == Write::kInPlace ? ini : ini + ".new";
  std::ofstream(target) << "[Veloran]\nDriver=" << DriverPath()
                        << "\nDatabase=" << key << "\n";
  if (how == Write::kByRename) {
    ASSERT_EQ(std::rename(target.c_str(), ini.c_str()), 0);
  }
}

void Exec(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// A prepared "SELECT veloran_data_version()" executed again at each call,
// as a resident program does before each request: the value, "NULL", or
// "error" and the states.
class VersionQuery {
 public:
  explicit VersionQuery(Session* session)
      : statement_(session->NewStatement()) {
    EXPECT_EQ(
        SQLPrepare(statement_,
                   reinterpret_cast<SQLCHAR*>(const_cast<char*>(kVersion)),
                   SQL_NTS),
        SQL_SUCCESS);
  }

  std::string Value() {
    if (!SQL_SUCCEEDED(SQLExecute(statement_))) {
      return "error " + StatesOf(SQL_HANDLE_STMT, statement_);
    }
    std::vector<std::string> values = FirstColumn(statement_);
    SQLFreeStmt(statement_, SQL_CLOSE);
    return values.size() == 1 ? values[0]
                              : "rows: " + std::to_string(values.size());
  }

 private:
  SQLHSTMT statement_;
};

// The first row of Marker through the session.
std::string Marker(Session* session) {
  SQLHSTMT statement = session->NewStatement();
  if (!SQL_SUCCEEDED(Execute(statement, "SELECT Name FROM Marker"))) {
    return "error " + StatesOf(SQL_HANDLE_STMT, statement);
  }
  std::vector<std::string> values = FirstColumn(statement);
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return values.empty() ? "none" : values[0];
}

// Where a case's files are: the database connected to ("a", or a link to
// it), another one ("b"), and the data source's directory.
struct Files {
  std::string odbc;
  std::string a;
  std::string b;
  std::string opened;  // the path the key names: a, or a link to a
  bool uri = false;
  // The Database key for "path": the path itself or the file: URI the
  // project writes.
  std::string Key(const std::string& path) const {
    return uri ? "file:" + path + "?mode=ro" : path;
  }
};

enum class Expect { kSame, kOther, kNull };
enum class Via { kDataSource, kConnectionString };

struct Case {
  const char* what;
  Via via;
  bool linked;  // the key names a symbolic link to the database
  void (*change)(const Files&);
  Expect expect;
};

void Nothing(const Files&) {}

void ReplacedByRename(const Files& files) {
  MakeDatabase(files.a + ".new", "a");
  ASSERT_EQ(std::rename((files.a + ".new").c_str(), files.a.c_str()), 0);
}

void KeyRewrittenInPlace(const Files& files) {
  WriteDataSource(files.odbc, files.Key(files.b), Write::kInPlace);
}

void KeyRenamedOver(const Files& files) {
  WriteDataSource(files.odbc, files.Key(files.b), Write::kByRename);
}

void KeyChangedAndBack(const Files& files) {
  WriteDataSource(files.odbc, files.Key(files.b), Write::kInPlace);
  WriteDataSource(files.odbc, files.Key(files.opened), Write::kInPlace);
}

void WrittenByAnotherConnection(const Files& files) {
  Exec(files.a, "UPDATE Marker SET Name = 'c'");
}

// Another database of the same size copied over the file's bytes.
void CopiedInPlace(const Files& files) {
  MakeDatabase(files.a + ".copy", "c");
  std::string bytes = FileBytes(files.a + ".copy");
  ASSERT_EQ(bytes.size(), FileBytes(files.a).size());
  std::ofstream(files.a, std::ios::binary | std::ios::in | std::ios::out)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Removed(const Files& files) { ASSERT_EQ(std::remove(files.a.c_str()), 0); }

void LinkRetargeted(const Files& files) {
  std::string link = files.opened + ".new";
  ASSERT_EQ(symlink(files.b.c_str(), link.c_str()), 0);
  ASSERT_EQ(std::rename(link.c_str(), files.opened.c_str()), 0);
}

const Case kCases[] = {
    {"unchanged", Via::kDataSource, false, Nothing, Expect::kSame},
    {"replaced by a rename", Via::kDataSource, false, ReplacedByRename,
     Expect::kNull},
    {"key rewritten in place", Via::kDataSource, false, KeyRewrittenInPlace,
     Expect::kNull},
    {"key renamed over", Via::kDataSource, false, KeyRenamedOver,
     Expect::kNull},
    {"key changed and back", Via::kDataSource, false, KeyChangedAndBack,
     Expect::kSame},
    {"written by another connection", Via::kDataSource, false,
     WrittenByAnotherConnection, Expect::kOther},
    {"copied over in place", Via::kDataSource, false, CopiedInPlace,
     Expect::kOther},
    {"removed", Via::kDataSource, false, Removed, Expect::kNull},
    {"link unchanged", Via::kDataSource, true, Nothing, Expect::kSame},
    {"link retargeted", Via::kDataSource, true, LinkRetargeted, Expect::kNull},
    {"link's file written", Via::kDataSource, true, WrittenByAnotherConnection,
     Expect::kOther},
    // A connection string's Database is its own: the data source's key
    // does not matter, the file does.
    {"string: unchanged", Via::kConnectionString, false, Nothing,
     Expect::kSame},
    {"string: key changed", Via::kConnectionString, false, KeyRewrittenInPlace,
     Expect::kSame},
    {"string: replaced by a rename", Via::kConnectionString, false,
     ReplacedByRename, Expect::kNull},
    {"string: written by another connection", Via::kConnectionString, false,
     WrittenByAnotherConnection, Expect::kOther},
};

TEST(DataVersionTest, NullOnceTheDataSourceNamesAnotherFileOtherwiseItsState) {
  std::string dir = FreshDirectory("data-version");
  Files files;
  files.odbc = dir + "/odbc";
  UseDataSource(files.odbc, "");
  int number = 0;
  for (bool uri : {false, true}) {
    for (const Case& c : kCases) {
      SCOPED_TRACE(std::string(c.what) + (uri ? " (file: URI)" : " (path)"));
      std::string place = dir + "/" + std::to_string(++number);
      std::filesystem::create_directories(place);
      files.uri = uri;
      files.a = place + "/a.db";
      files.b = place + "/b.db";
      files.opened = c.linked ? place + "/current.db" : files.a;
      MakeDatabase(files.a, "a");
      MakeDatabase(files.b, "b");
      if (c.linked) {
        ASSERT_EQ(symlink(files.a.c_str(), files.opened.c_str()), 0);
      }
      WriteDataSource(files.odbc, files.Key(files.opened), Write::kInPlace);

      Session session;
      SQLRETURN connected =
          c.via == Via::kDataSource
              ? session.ConnectDataSource()
              : session.ConnectString("Database=" + files.Key(files.opened) +
                                      ";");
      ASSERT_EQ(connected, SQL_SUCCESS);
      ASSERT_EQ(Marker(&session), "a");
      VersionQuery version(&session);
      std::string before = version.Value();
      ASSERT_NE(before, "NULL");
      ASSERT_EQ(before.find("error"), std::string::npos) << before;
      c.change(files);
      std::string after = version.Value();
      switch (c.expect) {
        case Expect::kSame:
          EXPECT_EQ(after, before);
          break;
        case Expect::kOther:
          EXPECT_NE(after, before);
          EXPECT_NE(after, "NULL");
          EXPECT_EQ(after.find("error"), std::string::npos) << after;
          break;
        case Expect::kNull:
          EXPECT_EQ(after, "NULL");
          break;
      }
      // What it said, it says again until the next change.
      EXPECT_EQ(version.Value(), after);
    }
  }
}

// Writes closer together than the file times' tick leave the file's size
// and times as they were (where the kernel gives the times in ticks of a
// few milliseconds): SQLite's data version, the text's last field, tells
// them apart, so it is looked at by itself too.
TEST(DataVersionTest, EachOfQuickWritesChangesTheText) {
  std::string dir = FreshDirectory("data-version-quick");
  std::string path = dir + "/a.db";
  MakeDatabase(path, "a");
  Session session;
  ASSERT_EQ(session.ConnectString("Database=" + path + ";"), SQL_SUCCESS);
  VersionQuery version(&session);
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
  sqlite3_exec(writer, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
  std::string last = version.Value();
  auto dataVersion = [](const std::string& text) {
    return text.substr(text.rfind(':') + 1);
  };
  for (int i = 0; i < 20; ++i) {
    std::string update = "UPDATE Marker SET Name = '" +
                         std::string(1, static_cast<char>('b' + i)) + "'";
    ASSERT_EQ(sqlite3_exec(writer, update.c_str(), nullptr, nullptr, nullptr),
              SQLITE_OK);
    std::string value = version.Value();
    EXPECT_NE(value, last) << "write " << i;
    EXPECT_NE(dataVersion(value), dataVersion(last)) << value;
    last = value;
  }
  sqlite3_close(writer);
}

// A resident program connects again when the value is NULL: the new
// connection reads the key anew (unixODBC would answer from what it read
// up to 20 s before) and so opens the database it now names.
TEST(DataVersionTest, AConnectionAfterASwitchOpensTheNewDatabase) {
  std::string dir = FreshDirectory("data-version-switch");
  MakeDatabase(dir + "/a.db", "a");
  MakeDatabase(dir + "/b.db", "b");
  UseDataSource(dir + "/odbc", "Database=" + dir + "/a.db");
  Session first;
  ASSERT_EQ(first.ConnectDataSource(), SQL_SUCCESS);
  VersionQuery firstVersion(&first);
  ASSERT_NE(firstVersion.Value(), "NULL");
  for (const char* name : {"b", "a", "b"}) {
    SCOPED_TRACE(name);
    WriteDataSource(dir + "/odbc", dir + "/" + name + ".db", Write::kByRename);
    Session next;
    ASSERT_EQ(next.ConnectDataSource(), SQL_SUCCESS);
    EXPECT_EQ(Marker(&next), name);
    VersionQuery nextVersion(&next);
    EXPECT_NE(nextVersion.Value(), "NULL");
    EXPECT_EQ(firstVersion.Value() == "NULL", std::string(name) != "a");
  }
}

// The ini files' status stands for their bytes only once they are older
// than the clock's tick could hide: here they are, and a change is seen
// through their changed status.
TEST(DataVersionTest, AKeyChangedLongAfterTheLastIsSeen) {
  std::string dir = FreshDirectory("data-version-settled");
  MakeDatabase(dir + "/a.db", "a");
  MakeDatabase(dir + "/b.db", "b");
  UseDataSource(dir + "/odbc", "Database=" + dir + "/a.db");
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  Session session;
  ASSERT_EQ(session.ConnectDataSource(), SQL_SUCCESS);
  VersionQuery version(&session);
  std::string before = version.Value();
  ASSERT_NE(before, "NULL");
  EXPECT_EQ(version.Value(), before);
  WriteDataSource(dir + "/odbc", dir + "/b.db", Write::kInPlace);
  EXPECT_EQ(version.Value(), "NULL");
}

// The file the driver checked before SQLite opened it stands for the one
// SQLite opened only when it is: a file put in its place at the path just
// after the check, or just after SQLite's open, or put there after the
// check and the checked one put back after SQLite's open, makes the value
// NULL from the first call, whatever file SQLite reads.
struct Moment {
  const char* what;
  void (*afterCheck)(const std::string& dir);
  void (*afterSqlite)(const std::string& dir);
  const char* read;  // the marker of the file SQLite reads
  bool isNull;
};

void PutYInPlace(const std::string& dir) {
  ASSERT_EQ(std::rename((dir + "/y.db").c_str(), (dir + "/stars.db").c_str()),
            0);
}

void SetXAsideAndPutY(const std::string& dir) {
  ASSERT_EQ(std::rename((dir + "/stars.db").c_str(), (dir + "/x.db").c_str()),
            0);
  PutYInPlace(dir);
}

void PutXBack(const std::string& dir) {
  ASSERT_EQ(std::rename((dir + "/stars.db").c_str(), (dir + "/y.db").c_str()),
            0);
  ASSERT_EQ(std::rename((dir + "/x.db").c_str(), (dir + "/stars.db").c_str()),
            0);
}

const Moment kMoments[] = {
    {"none", nullptr, nullptr, "x", false},
    {"replaced after the check", PutYInPlace, nullptr, "y", true},
    {"replaced after SQLite's open", nullptr, PutYInPlace, "x", true},
    {"replaced after the check, put back after SQLite's open", SetXAsideAndPutY,
     PutXBack, "y", true},
};

TEST(DataVersionTest, AFileReplacedWhileConnectingIsNotTakenForTheOpenedOne) {
  std::string root = FreshDirectory("data-version-connect");
  int number = 0;
  for (const Moment& moment : kMoments) {
    SCOPED_TRACE(moment.what);
    std::string dir = root + "/" + std::to_string(++number);
    std::filesystem::create_directories(dir);
    dir = std::filesystem::canonical(dir).string();  // as SQLite names it
    MakeDatabase(dir + "/stars.db", "x");
    MakeDatabase(dir + "/y.db", "y");
    OpenSteps steps;
    steps.path = dir + "/stars.db";
    if (moment.afterCheck != nullptr) {
      steps.afterCheck = [&] { moment.afterCheck(dir); };
    }
    if (moment.afterSqlite != nullptr) {
      steps.afterSqlite = [&] { moment.afterSqlite(dir); };
    }
    Session session;
    ArmOpenSteps(steps);
    SQLRETURN connected = session.ConnectString("Database=" + steps.path + ";");
    DisarmOpenSteps();
    ASSERT_EQ(connected, SQL_SUCCESS);
    EXPECT_EQ(Marker(&session), moment.read);
    VersionQuery version(&session);
    std::string value = version.Value();
    EXPECT_EQ(value == "NULL", moment.isNull) << value;
    EXPECT_EQ(version.Value(), value);
  }
}

// A database that is no file has nothing to be replaced: a constant text
// until the data source names another database.
TEST(DataVersionTest, ADatabaseInMemoryKeepsItsTextUntilTheKeyChanges) {
  std::string dir = FreshDirectory("data-version-memory");
  MakeDatabase(dir + "/a.db", "a");
  std::string key = "file:" + dir + "/a.db?mode=memory";
  UseDataSource(dir + "/odbc", "Database=" + key);
  Session session;
  ASSERT_EQ(session.ConnectDataSource(), SQL_SUCCESS);
  VersionQuery version(&session);
  std::string before = version.Value();
  EXPECT_EQ(before.rfind("memory:", 0), 0u) << before;
  ASSERT_EQ(std::remove((dir + "/a.db").c_str()), 0);
  EXPECT_EQ(version.Value(), before);
  WriteDataSource(dir + "/odbc", key + "&cache=private", Write::kInPlace);
  EXPECT_EQ(version.Value(), "NULL");
}

// The value needs a read of the file's header: while a writer holds the
// file, the call waits up to Timeout and then fails as any read does.
TEST(DataVersionTest, AWriterHoldingTheFileTimesTheCallOut) {
  std::string dir = FreshDirectory("data-version-busy");
  std::string path = dir + "/a.db";
  MakeDatabase(path, "a");
  Session session;
  ASSERT_EQ(session.ConnectString("Database=" + path + ";Timeout=50;"),
            SQL_SUCCESS);
  VersionQuery version(&session);
  std::string before = version.Value();
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(version.Value(), "error HYT00");
  sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(writer);
  EXPECT_EQ(version.Value(), before);
}

// Only a statement of the application's calls it: not the file's own
// views (a database file cannot make the driver look at the file system
// on its behalf), and never with arguments.
TEST(DataVersionTest, OnlyAStatementOfItsOwnCallsIt) {
  std::string dir = FreshDirectory("data-version-direct");
  std::string path = dir + "/a.db";
  MakeDatabase(path, "a");
  Exec(path, "CREATE VIEW Version AS SELECT veloran_data_version() AS v");
  Session session;
  ASSERT_EQ(session.ConnectString("Database=" + path + ";"), SQL_SUCCESS);
  SQLHSTMT statement = session.NewStatement();
  for (const char* sql :
       {"SELECT v FROM Version", "SELECT veloran_data_version('main')"}) {
    SCOPED_TRACE(sql);
    EXPECT_EQ(Execute(statement, sql), SQL_ERROR);
    SQLFreeStmt(statement, SQL_CLOSE);
  }
  EXPECT_EQ(Execute(statement, kVersion), SQL_SUCCESS);
}

}  // namespace
}  // namespace veloran::driver_testing
