// scripts/write-dsn with hostile paths: a path is either refused with a
// message, before anything is written, or written so that the data source
// opens exactly that file, read-only, with no line added or lost; with the
// driver that the tests run through.

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace veloran::testing {
namespace {

namespace fs = std::filesystem;

const char kStars[] = R"sql(
  INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
                         Dec_arcsec, Distance, Epoch)
  VALUES (100, NULL, NULL, NULL, NULL, NULL, NULL, 0, 2000),
         (200, 14, 29, 47.591, -62, 40, 52.55, 4.244, 2000);
  INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
  VALUES (100, 'Sol', 1), (200, 'Proxima', 1);
)sql";

// The keys of the data source section, each with how often it occurs.
std::map<std::string, int> DataSourceKeys(const std::string& ini) {
  std::map<std::string, int> keys;
  std::istringstream lines(ini);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == ';' || line[0] == '[') continue;
    ++keys[line.substr(0, line.find('='))];
  }
  return keys;
}

std::string DataSourceValue(const std::string& ini, const std::string& key) {
  size_t at = ini.find("\n" + key + "=");
  if (at == std::string::npos) return "";
  at += key.size() + 2;
  return ini.substr(at, ini.find('\n', at) - at);
}

TEST(WriteDsnTest, HostilePaths) {
  auto plain = CreateTestDatabase("write_dsn", kStars);
  const std::string query = "ID=100&ly=20";
  const std::string expected =
      RunProgram(ProgramPath(), query.c_str(), plain.odbcDir).output;
  ASSERT_NE(expected.find("Proxima"), std::string::npos);
  std::map<std::string, int> expectedKeys = {{"Description", 1},
                                             {"Driver", 1},
                                             {"Database", 1},
                                             {"Timeout", 1},
                                             {"LoadExt", 1}};
  if (TestDriver() == "sqliteodbc") {
    expectedKeys["NoCreat"] = 1;
    expectedKeys["StepAPI"] = 1;
  }

  const char kControl[] = "holds a control byte";
  const struct {
    std::string databaseDir;   // a directory name for the database
    std::string extensionDir;  // one for the dialect extension
    std::string extensionName;
    const char* refusal;  // nullptr: written, and it must work
  } cases[] = {
      {"newline\nLoadExt=/tmp/evil.so\nDatabase=/tmp/x", "e", "", kControl},
      {"cr\rx", "e", "", kControl},
      {"tab\tx", "e", "", kControl},
      {"bell\x07x", "e", "", kControl},
      {"escape\x1b[31m", "e", "", kControl},
      {"delete\x7fx", "e", "", kControl},
      {"d", "newline\nDatabase=/tmp/x", "", kControl},
      {"d", "comma,x", "", "holds a comma"},
      {"d", "e", "veloran_dialect.so ", "ends with a blank"},
      {"space x", "e", "", nullptr},
      {" leading", "e", "", nullptr},
      {"trailing ", "e", "", nullptr},
      {"hash#x", "e", "", nullptr},
      {"query?mode=rwc", "e", "", nullptr},
      {"amp&mode=rw&x", "e", "", nullptr},
      {"percent%41", "e", "", nullptr},
      {"percent%", "e", "", nullptr},
      {"percent%2", "e", "", nullptr},
      {"semicolon;x", "e", "", nullptr},
      {"[Veloran]", "e", "", nullptr},
      {"equals=x", "e", "", nullptr},
      {"quote\"x", "e", "", nullptr},
      {"apostrophe'x", "e", "", nullptr},
      {"backslash\\x", "e", "", nullptr},
      {"comma,x", "e", "", nullptr},
      {"file:x", "e", "", nullptr},
      {"utf8-\xc3\xa9", "e", "", nullptr},
      {"latin1-\xe9", "e", "", nullptr},
      {"d", "space x", "", nullptr},
      {"d", "semicolon;x", "", nullptr},
      {"d", "hash#x", "", nullptr},
      {"d", "percent%41", "", nullptr},
  };
  std::string root = TestDataDir() + "/write_dsn/";
  int index = 0;
  for (const auto& c : cases) {
    std::string where = "case " + std::to_string(index);
    std::string base = root + std::to_string(index++);
    fs::remove_all(base);
    std::string databaseDir = base + "/" + c.databaseDir;
    std::string extensionDir = base + "/" + c.extensionDir;
    fs::create_directories(databaseDir);
    fs::create_directories(extensionDir);
    std::string database = databaseDir + "/veloran.db";
    std::string extension =
        extensionDir + "/" +
        (c.extensionName.empty() ? "veloran_dialect.so" : c.extensionName);
    fs::copy_file(plain.path, database);
    fs::copy_file(VELORAN_DIALECT_PATH, extension);
    // The project's driver is taken from beside the extension.
    fs::copy_file(VELORAN_DRIVER_PATH, extensionDir + "/veloran_odbc.so");
    std::string odbcDir = base + "/odbc";
    ProgramResult written =
        RunTool({std::string(VELORAN_SOURCE_DIR) + "/scripts/write-dsn",
                 "--driver", TestDriver(), database, odbcDir, extension});
    if (c.refusal != nullptr) {
      EXPECT_EQ(written.status, 1) << where;
      EXPECT_NE(written.output.find(c.refusal), std::string::npos)
          << where << ": " << written.output;
      EXPECT_FALSE(fs::exists(odbcDir)) << where;
      continue;
    }
    ASSERT_EQ(written.status, 0) << where << ": " << written.output;
    std::string ini = ReadFile(odbcDir + "/odbc.ini");
    EXPECT_EQ(DataSourceKeys(ini), expectedKeys) << where << ":\n" << ini;
    std::string uri = DataSourceValue(ini, "Database");
    EXPECT_EQ(uri.find('?'), uri.size() - 8) << where << ": " << uri;
    EXPECT_TRUE(uri.ends_with("?mode=ro")) << where << ": " << uri;
    EXPECT_EQ(RunProgram(ProgramPath(), query.c_str(), odbcDir).output,
              expected)
        << where << ": " << uri;

    // SQLite itself refuses to write through the data source.
    std::string before = ReadFile(database);
    {
      OdbcSession session({database, odbcDir});
      SQLCHAR sql[] = "CREATE TABLE Scratch (a)";
      EXPECT_NE(SQLExecDirect(session.statement(), sql, SQL_NTS), SQL_SUCCESS)
          << where;
    }
    EXPECT_EQ(ReadFile(database), before) << where;
  }
}

}  // namespace
}  // namespace veloran::testing
