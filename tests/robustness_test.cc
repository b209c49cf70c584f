// Hostile requests and database faults: every one ends with exit status 0
// or 255 and one complete reply, and nothing touches the database.

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/reply_check.h"
#include "tests/test_support.h"

namespace veloran::testing {
namespace {

namespace fs = std::filesystem;

const char kStars[] = R"sql(
  INSERT INTO CatalogNames (Abbreviation, LongName) VALUES ('HD', 'HD');
  INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
                         Dec_arcsec, Distance, Epoch)
  VALUES (100, NULL, NULL, NULL, NULL, NULL, NULL, 0, 2000),
         (200, 14, 29, 47.591, -62, 40, 52.55, 4.244, 2000),
         (300, 6, 45, 8.917, -16, 42, 58.02, 8.601, 2000),
         (400, 18, 36, 56.336, 38, 47, 1.29, 25.045, 2000);
  INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
  VALUES (100, 'Sol', 1), (200, 'Proxima', 1);
  INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
  VALUES (304, 'HD', '48915', 1), (404, 'HD', '172167', 1);
  INSERT INTO Spectra (OwnerID, SpectralClass, LuminosityClass)
  VALUES (101, 'G2', 'V'), (201, 'M5.5', 'Ve'), (301, 'A1', 'V+DA');
)sql";

// One complete reply, and the program's own exit status 0 or 255.
::testing::AssertionResult IsCompleteReply(const ProgramResult& result) {
  if (result.status != 0 && result.status != 255) {
    return ::testing::AssertionFailure() << "exit status " << result.status;
  }
  std::string why;
  if (veloran::testing::IsCompleteReply(result.output, &why)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << why << ":\n"
                                       << result.output.substr(0, 400);
}

std::set<std::string> DirectoryEntries(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(RobustnessTest, HostileQueriesGetOneCompleteReply) {
  auto database = CreateTestDatabase("robust_hostile", kStars);
  std::string before = ReadFile(database.path);
  auto entries = DirectoryEntries(fs::path(database.path).parent_path());
  for (const std::string& query : HostileQueries()) {
    ProgramResult result =
        RunProgram(ProgramPath(), query.c_str(), database.odbcDir);
    EXPECT_TRUE(IsCompleteReply(result)) << query.substr(0, 80);
    // Request text is never echoed into a page.
    EXPECT_EQ(result.output.find("<script>"), std::string::npos);
    EXPECT_EQ(result.output.find("<b>"), std::string::npos);
    EXPECT_EQ(result.output.find("DROP"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(database.path), before);
  EXPECT_EQ(DirectoryEntries(fs::path(database.path).parent_path()), entries);
}

// A database copied for each fault, spoiled by "spoil".
struct FaultCase {
  const char* name;
  std::function<void(const std::string& path)> spoil;
  const char* query;
  std::string output;
  int status;
};

void Exec(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_enable_load_extension(db, 1);
  sqlite3_load_extension(db, VELORAN_DIALECT_PATH, nullptr, nullptr);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK)
      << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

const char kFailedScanPage[] =
    "<CENTER><H3>Stars within 15 light-years of (0, 0, 0):</H3></CENTER>\n"
    "<BR>Internal error: Database query failed.\n";

const char kIncompleteLine[] =
    "<BR>The star database could not be read completely.\n";

TEST(RobustnessTest, DatabaseFaults) {
  const std::string noMatch100 = NoMatchPage("100");
  const std::string failedScan =
      PageHead("Veloran near-coordinate search results") + kFailedScanPage +
      kPageTail;
  // The catalogue table, read first, could not be read.
  const std::string unreadCatalogue =
      PageHead("Veloran near-coordinate search results") + kIncompleteLine +
      kPageTail;
  // A file that is not a database: the project's driver refuses the
  // connection; Debian's connects, and then every statement fails.
  const bool refusesNonDatabase = TestDriver() != "sqliteodbc";
  auto notADatabase = [&](const std::string& other) {
    return refusesNonDatabase ? FileRefusedReply("the file is not a database")
                              : other;
  };
  const FaultCase cases[] = {
      {"not_a_database",
       [](const std::string& path) {
         std::ofstream out(path, std::ios::binary | std::ios::trunc);
         std::mt19937 random(7);
         for (int i = 0; i < 8192; ++i) out.put(static_cast<char>(random()));
       },
       "", notADatabase(unreadCatalogue), refusesNonDatabase ? 0 : 255},
      {"not_a_database_star",
       [](const std::string& path) {
         std::ofstream(path, std::ios::trunc) << "not a database at all";
       },
       "ID=100", notADatabase(noMatch100), refusesNonDatabase ? 0 : 255},
      {"empty_file",
       [](const std::string& path) { std::ofstream(path, std::ios::trunc); },
       "",
       refusesNonDatabase
           ? FileRefusedReply("the file is empty, so it is not a database")
           : unreadCatalogue,
       refusesNonDatabase ? 0 : 255},
      {"positions_missing",
       [](const std::string& path) { Exec(path, "DROP TABLE Positions;"); }, "",
       failedScan, 255},
      {"positions_missing_star",
       [](const std::string& path) { Exec(path, "DROP TABLE Positions;"); },
       "ID=100", noMatch100, 255},
      {"names_missing",
       [](const std::string& path) {
         Exec(path,
              "DROP TABLE ProperNames; DROP TABLE CatalogNumbers; DROP TABLE "
              "CatalogNames; DROP TABLE Spectra;");
       },
       "ly=5", unreadCatalogue, 255},
      // The position fetch reads Epoch, the scan does not.
      {"column_missing_star",
       [](const std::string& path) {
         Exec(path, "ALTER TABLE Positions DROP COLUMN Epoch;");
       },
       "ID=100", noMatch100, 255},
      {"column_missing_scan",
       [](const std::string& path) {
         Exec(path, "ALTER TABLE Positions DROP COLUMN Dec_arcsec;");
       },
       "", failedScan, 255},
      {"luminosity_missing",
       [](const std::string& path) {
         Exec(path, "ALTER TABLE Spectra DROP COLUMN LuminosityClass;");
       },
       "ly=5",
       PageHead("Veloran near-coordinate search results") +
           "<CENTER><H3>Stars within 5 light-years of (0, 0, 0):</H3>"
           "</CENTER>\n" +
           kIncompleteLine + kPageTail,
       255},
      {"file_missing", [](const std::string& path) { fs::remove(path); },
       "ID=100", FileRefusedReply("no such file"), 0},
  };
  for (const FaultCase& c : cases) {
    auto database = CreateTestDatabase(std::string("robust_") + c.name, kStars);
    c.spoil(database.path);
    bool existed = fs::exists(database.path);
    ProgramResult result = RunProgram(ProgramPath(), c.query, database.odbcDir);
    EXPECT_EQ(result.output, c.output) << c.name;
    EXPECT_EQ(result.status, c.status) << c.name;
    // A page that could not be read whole, or not at all, says why in one
    // line on standard error.
    if (c.status == 255) {
      EXPECT_EQ(
          result.errors.rfind(
              "neighbor_search: the star database could not be read: ", 0),
          0u)
          << c.name << ": " << result.errors;
      EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1)
          << c.name << ": " << result.errors;
    }
    EXPECT_EQ(fs::exists(database.path), existed) << c.name;  // none created
  }
}

TEST(RobustnessTest, LockedDatabaseDoesNotHang) {
  auto database = CreateTestDatabase("robust_locked", kStars);
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(database.path.c_str(), &writer), SQLITE_OK);
  sqlite3_enable_load_extension(writer, 1);
  sqlite3_load_extension(writer, VELORAN_DIALECT_PATH, nullptr, nullptr);
  // A writer in the middle of a transaction holds the file exclusively.
  ASSERT_EQ(sqlite3_exec(writer,
                         "BEGIN EXCLUSIVE; INSERT INTO Positions (OwnerID, "
                         "Distance) VALUES (900, 1);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  ProgramResult result = RunProgram(ProgramPath(), "", database.odbcDir);
  // The catalogue table, read first, waits for the lock in vain.
  EXPECT_EQ(result.output, PageHead("Veloran near-coordinate search results") +
                               kIncompleteLine + kPageTail);
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.errors.rfind(
                "neighbor_search: the star database could not be read: ", 0),
            0u)
      << result.errors;
  sqlite3_exec(writer, "ROLLBACK;", nullptr, nullptr, nullptr);
  sqlite3_close(writer);
}

// The program and its extension, copied where the user nobody can reach
// them, with a database that nobody may only read in a directory that
// nobody could write to.
struct NobodySite {
  std::string dir;
  std::string program;
  std::string database;
  std::string odbcDir;
};

NobodySite MakeNobodySite(const std::string& name) {
  auto built = CreateTestDatabase(name, kStars);
  NobodySite site;
  site.dir = "/tmp/veloran-" + name + "-" + std::to_string(getpid());
  fs::remove_all(site.dir);
  fs::create_directories(site.dir);
  site.program = site.dir + "/neighbor_search";
  site.database = site.dir + "/veloran.db";
  site.odbcDir = site.dir + "/odbc";
  fs::copy_file(ProgramPath(), site.program);
  fs::copy_file(VELORAN_DIALECT_PATH, site.dir + "/veloran_dialect.so");
  fs::copy_file(VELORAN_DRIVER_PATH, site.dir + "/veloran_odbc.so");
  fs::copy_file(built.path, site.database);
  WriteDataSource(site.odbcDir, site.database,
                  site.dir + "/veloran_dialect.so");
  chmod(site.dir.c_str(), 0777);
  chmod(site.database.c_str(), 0444);
  return site;
}

TEST(RobustnessTest, ReadOnlyAsNobody) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the program as nobody";
  NobodySite site = MakeNobodySite("nobody");
  std::string before = ReadFile(site.database);
  auto entries = DirectoryEntries(site.dir);

  std::vector<std::string> queries = HostileQueries();
  std::mt19937 random(1000);
  const char* fixed[] = {"",
                         "ID=100",
                         "ID=200&ly=30",
                         "ly=30&minLY=1",
                         "X=1&Y=2&Z=3&ly=100&minRAHour=6&maxDecDeg=10",
                         "ID=400&ly=50&minDecDeg=-70"};
  int complete = 0;
  for (int i = 0; i < 1000; ++i) {
    std::string query =
        i % 2 == 0 ? fixed[(i / 2) % 6] : queries[random() % queries.size()];
    ProgramResult result =
        RunProgramAsNobody(site.program, query.c_str(), site.odbcDir);
    if (IsCompleteReply(result)) ++complete;
    if (i < 6) {
      EXPECT_EQ(result.output.find("SQLConnect() failed"), std::string::npos)
          << query;
    }
  }
  EXPECT_EQ(complete, 1000);
  EXPECT_EQ(ReadFile(site.database), before);
  EXPECT_EQ(DirectoryEntries(site.dir), entries);

  // A database that nobody may not read at all is a refused connection.
  chmod(site.database.c_str(), 0000);
  ProgramResult result = RunProgramAsNobody(site.program, "", site.odbcDir);
  EXPECT_EQ(result.output, FileRefusedReply("permission denied"));
  fs::remove_all(site.dir);
}

TEST(RobustnessTest, SixteenAtOnce) {
  auto database = CreateTestDatabase("robust_concurrent", kStars);
  const char* queries[] = {"ID=100&ly=30", "ly=30&minRAHour=5", "ID=999900"};
  std::string expected[3];
  for (int q = 0; q < 3; ++q) {
    expected[q] =
        RunProgram(ProgramPath(), queries[q], database.odbcDir).output;
  }
  std::vector<int> mismatches(16, 0);
  std::vector<std::thread> workers;
  for (int w = 0; w < 16; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < 50; ++i) {
        int q = (w + i) % 3;
        ProgramResult result =
            RunProgram(ProgramPath(), queries[q], database.odbcDir);
        if (result.output != expected[q]) ++mismatches[w];
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  for (int w = 0; w < 16; ++w) EXPECT_EQ(mismatches[w], 0) << "worker " << w;
}

}  // namespace
}  // namespace veloran::testing
