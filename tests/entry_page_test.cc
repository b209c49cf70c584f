// The star entry page run as a web server runs it, through the real driver
// manager and driver, its replies compared byte for byte.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/reply_check.h"
#include "tests/test_support.h"

namespace veloran::testing {
namespace {

namespace fs = std::filesystem;

// A star without any name, at a declination between 0 and -1 degrees.
const char kNamelessStar[] = R"sql(
  INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
                         Dec_arcsec, Distance)
  VALUES (10000, 0, 0, 0.5, 0, 0, -1815.0, 123.4);
)sql";

TEST(EntryPageTest, SamplePages) {
  TestDatabase database = SampleCopy("entry_sample", kNamelessStar);
  const PageCase cases[] = {
      // Proper name, Bayer designation, HD and HIP numbers.
      {"ID=323490000", "entry_sirius.html", 0},
      {"ID=10000", "entry_nameless.html", 0},
      // Two components of one Hipparcos number.
      {"ID=1108930100", "entry_kruger60_a.html", 0},
      {"ID=100", "entry_sun.html", 0},
      // Escapes decode to the same ID; the first ID counts.
      {"ID=%33%323490000", "entry_sirius.html", 0},
      {"foo=1&ID=323490000&ID=100", "entry_sirius.html", 0},
  };
  ExpectPages(EntryPagePath(), database, cases, std::size(cases));
}

TEST(EntryPageTest, RequestsWithoutAStarId) {
  const TestDatabase& database = SampleDatabase();
  const PageCase cases[] = {
      {nullptr, "entry_bad_request.html", 255},
      {"", "entry_bad_request.html", 255},
      {"ID=", "entry_bad_request.html", 255},
      {"id=100", "entry_bad_request.html", 255},
      {"ID=0", "entry_bad_request.html", 255},
      {"ID=150", "entry_bad_request.html", 255},
      {"ID=0100", "entry_bad_request.html", 255},
      {"ID=-100", "entry_bad_request.html", 255},
      {"ID=+100", "entry_bad_request.html", 255},
      {"ID=%20100", "entry_bad_request.html", 255},
      {"ID=100abc", "entry_bad_request.html", 255},
      {"ID=1e2", "entry_bad_request.html", 255},
      {"ID=2147483700", "entry_bad_request.html", 255},
      {"ID=%3Cscript%3E", "entry_bad_request.html", 255},
      {"ID=1%0000", "entry_bad_request.html", 255},
      // Not a star of the database: the ID is written back, as a number.
      {"ID=999900", "entry_unknown_999900.html", 0},
  };
  ExpectPages(EntryPagePath(), database, cases, std::size(cases));
}

// Names of every kind and state, and a system of several components.
TEST(EntryPageTest, NamesAndComponents) {
  auto database = CreateTestDatabase("entry_names", R"sql(
    INSERT INTO CatalogNames (Abbreviation, LongName, Description)
    VALUES ('HD', 'HD', 'Henry Draper Catalogue'),
           ('Gl', 'Gliese', NULL), ('X', '', '');
    INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
                           Dec_arcsec, Distance, DistanceError, DistanceSource)
    VALUES (12340200, 23, 59, 59.9999, -5, 0, 1.5, 1e-3, 1e-4, '<Gaia&>'),
           (12340100, 1, 2, 3, 4, 5, 6, 1000000, NULL, NULL),
           (12340150, NULL, NULL, NULL, NULL, NULL, NULL, 3, NULL, NULL),
           (12340000, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
           (12340000, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
           (12349900, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
           (12350000, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    INSERT INTO Spectra (OwnerID, SpectralClass, LuminosityClass)
    VALUES (12340201, 'M5.5', 'V<b>&');
    INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
    VALUES (12340203, '&beta; Test', 0), (12340202, 'Alpha &amp; Omega', 1),
           (12340204, NULL, 0), (12340205, CAST(X'416C6E69E96D' AS TEXT), 0),
           (12340101, 'Primary', 1),
           -- Cut by its buffer within "&alpha;": the cut reference goes.
           (12340206, 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx&alpha; and more', 0);
    INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
    VALUES (12340210, 'HD', '1234', 0), (12340211, 'Gl', '9 B', 0),
           (12340212, 'X', '7', 0), (12340213, 'Unknown', '8', 0),
           (12340214, NULL, '9', 0), (12340215, 'HD', NULL, 0),
           (12349904, 'HD', '99', 1);
  )sql");
  const PageCase cases[] = {
      {"ID=12340200", "entry_names.html", 0},
  };
  ExpectPages(EntryPagePath(), database, cases, std::size(cases));
}

TEST(EntryPageTest, DataSourceFaults) {
  // No data source at all.
  std::string dir = TestDataDir() + "/entry_no_dsn";
  fs::create_directories(dir);
  std::ofstream(dir + "/odbc.ini") << "";
  std::ofstream(dir + "/odbcinst.ini") << "";
  ProgramResult result = RunProgram(EntryPagePath(), "ID=100", dir);
  EXPECT_TRUE(MatchesGolden(result.output, "entry_unavailable.html"));
  EXPECT_EQ(result.status, 255);
  // The diagnostic goes to the server's error log, not into the page.
  result = RunProgramToSink(EntryPagePath(), "ID=100", dir, OutputSink::kPipe);
  EXPECT_EQ(result.output,
            "entry_page.exe: the data source Veloran refused the connection: "
            "IM002 [unixODBC][Driver Manager]Data source name not found and "
            "no default driver specified\n");

  const bool refusesNonDatabase = TestDriver() != "sqliteodbc";
  const struct {
    const char* name;
    const char* sql;     // run on a copy of the sample
    bool notADatabase;   // the file is overwritten with text instead
    const char* golden;  // nullptr: a page of status 200
    int status;
  } cases[] = {
      {"positions_missing", "DROP TABLE Positions;", false,
       "entry_database_fault.html", 255},
      {"not_a_database", "", true,
       refusesNonDatabase ? "entry_unavailable.html"
                          : "entry_database_fault.html",
       255},
      {"names_missing",
       "DROP TABLE ProperNames; DROP TABLE CatalogNumbers; DROP TABLE "
       "CatalogNames; DROP TABLE Spectra;",
       false, "entry_sirius_without_names.html", 0},
      {"column_missing", "ALTER TABLE Positions DROP COLUMN Epoch;", false,
       "entry_sirius_without_position.html", 0},
  };
  for (const auto& c : cases) {
    TestDatabase database =
        SampleCopy(std::string("entry_fault_") + c.name, c.sql);
    if (c.notADatabase) {
      std::ofstream(database.path, std::ios::trunc) << "not a database at all";
    }
    result = RunProgram(EntryPagePath(), "ID=323490000", database.odbcDir);
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << c.name;
    EXPECT_EQ(result.status, c.status) << c.name;
    // A failure is one line in the server's error log; a page is none.
    // (The project's driver adds a line of its own, with the path, for a
    // file it refuses.)
    result = RunProgramToSink(EntryPagePath(), "ID=323490000", database.odbcDir,
                              OutputSink::kPipe);
    if (result.output.rfind("veloran_odbc: ", 0) == 0) {
      result.output.erase(0, result.output.find('\n') + 1);
    }
    if (c.status == 0) {
      EXPECT_EQ(result.output, "") << c.name;
    } else {
      EXPECT_EQ(result.output.rfind("entry_page.exe: ", 0), 0u) << c.name;
      EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1)
          << c.name << ": " << result.output;
    }
  }
}

// Faults that a real driver cannot be made to produce, through the entry
// page linked with the ODBC double.
TEST(EntryPageTest, InjectedFaults) {
  const TestDatabase& database = SampleDatabase();
  const struct {
    const char* faults;
    const char* golden;
    int status;
  } cases[] = {
      {"AllocEnv", "entry_database_fault.html", 255},
      {"AllocConnect", "entry_database_fault.html", 255},
      {"AllocStmt", "entry_database_fault.html", 255},
      {"Connect", "entry_unavailable.html", 255},
      {"Connect;Error", "entry_unavailable.html", 255},
      {"ExecFail:FROM Positions WHERE OwnerID =", "entry_database_fault.html",
       255},
      // The names stop after the first of each kind.
      {"FetchFail:ProperNameID:1;FetchFail:CatalogNumberID:1",
       "entry_sirius_first_names.html", 0},
      {"", "entry_sirius.html", 0},
  };
  for (const auto& c : cases) {
    ProgramResult result =
        RunProgram(EntryPageDoublePath(), "ID=323490000", database.odbcDir,
                   {std::string("VELORAN_ODBC_FAULTS=") + c.faults});
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << c.faults;
    EXPECT_EQ(result.status, c.status) << c.faults;
  }
}

TEST(EntryPageTest, HostileQueries) {
  const TestDatabase& database = SampleDatabase();
  std::string before = ReadFile(database.path);
  for (const std::string& query : HostileQueries()) {
    ProgramResult result =
        RunProgram(EntryPagePath(), query.c_str(), database.odbcDir);
    std::string why;
    EXPECT_TRUE(IsCompleteSitePage(result.output, "200 400 404", &why))
        << query.substr(0, 80) << ": " << why;
    EXPECT_TRUE(result.status == 0 || result.status == 255)
        << query.substr(0, 80);
    EXPECT_EQ(result.output.find("<script>"), std::string::npos);
    EXPECT_EQ(result.output.find("<b>"), std::string::npos);
    EXPECT_EQ(result.output.find("DROP"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(database.path), before);
}

}  // namespace
}  // namespace veloran::testing
