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

// The facts of the StarFacts table: Sirius with every fact, the three stars
// of alpha Centauri in one system, Betelgeuse with a parallax error of 24 %,
// Vega with a constellation the table does not know and no magnitude, and
// the Sun without a distance to take an absolute magnitude from, and the
// two components of Kruger 60 in one system.  Procyon
// has no row.  A star without a parallax of its own but a distance error of
// 30 % is doubtful too, and so is an F5 V star that its distance would
// make ten magnitudes fainter than such stars are.
const char kStarFacts[] = R"sql(
  DELETE FROM StarFacts;
  INSERT INTO StarFacts (OwnerID, VMag, ColourIndex, Parallax, ParallaxError,
                         Constellation, SystemID)
  VALUES (323490000, -1.46, 0.0, 379.21, 1.58, 'CMa', 323490000),
         (716830100, -0.01, 0.71, 742.12, 1.40, 'Cen', 716830100),
         (716810200, 1.33, 0.88, 742.12, 1.40, 'Cen', 716830100),
         (708900000, 11.01, 1.81, 768.07, 0.03, 'Cen', 716830100),
         (279890000, 0.45, 1.5, 6.55, 1.6, 'Ori', NULL),
         (912620000, NULL, 0.0, NULL, NULL, 'Zzz', NULL),
         (100, -26.74, 0.65, NULL, NULL, NULL, NULL),
         (20000, 9.5, NULL, NULL, NULL, NULL, NULL),
         (1108930100, 9.59, 1.62, 249.4, 1.8, 'Cep', 1108930100),
         (1108930200, 11.4, 1.8, 249.4, 1.8, 'Cep', 1108930100);
  INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
                         Dec_arcsec, Distance, DistanceError)
  VALUES (20000, 1, 0, 0, 10, 0, 0, 100.0, 30.0),
         (30000, 3, 22, 0.0, -9, 30, 0.0, 14.34, 0.03);
  INSERT INTO Spectra (OwnerID, SpectralClass, LuminosityClass)
  VALUES (30001, 'F5', 'V');
  INSERT INTO StarFacts (OwnerID, VMag, ColourIndex, Parallax, ParallaxError,
                         Constellation)
  VALUES (30000, 11.5, 0.45, 227.4, 0.5, 'Eri');
)sql";

TEST(EntryPageTest, StarFacts) {
  TestDatabase database = SampleCopy("entry_facts", kStarFacts);
  const PageCase cases[] = {
      {"ID=323490000", "entry_sirius_facts.html", 0},
      // Not the primary of its system: the primary first, then by
      // separation.
      {"ID=716810200", "entry_toliman_system.html", 0},
      {"ID=708900000", "entry_proxima_system.html", 0},
      // The system lists the other component of the Hipparcos number, which
      // is then not listed again.
      {"ID=1108930100", "entry_kruger60_a_system.html", 0},
      {"ID=716830100", "entry_rigil_kentaurus_primary.html", 0},
      {"ID=279890000", "entry_betelgeuse_doubtful.html", 0},
      {"ID=20000", "entry_doubtful_distance_error.html", 0},
      {"ID=30000", "entry_doubtful_faint_for_class.html", 0},
      {"ID=912620000", "entry_vega_some_facts.html", 0},
      {"ID=100", "entry_sun_facts.html", 0},
      // No row of its own: the page of a database without the facts.
      {"ID=372790000", "entry_procyon_without_facts.html", 0},
  };
  ExpectPages(EntryPagePath(), database, cases, std::size(cases));
}

// A database whose StarFacts table cannot be read answers 500, with one
// line in the server's error log, whether the statement or a fetch fails.
TEST(EntryPageTest, StarFactsFaults) {
  TestDatabase database = SampleCopy("entry_facts_faults", kStarFacts);
  const struct {
    const char* faults;
    const char* query;
    const char* golden;
    int status;
  } cases[] = {
      {"ExecFail:FROM StarFacts WHERE OwnerID", "ID=323490000",
       "entry_database_fault.html", 255},
      {"FetchFail:FROM StarFacts WHERE OwnerID:0", "ID=323490000",
       "entry_database_fault.html", 255},
      {"ExecFail:FROM StarFacts WHERE SystemID", "ID=716810200",
       "entry_database_fault.html", 255},
      {"FetchFail:FROM StarFacts WHERE SystemID:1", "ID=716810200",
       "entry_database_fault.html", 255},
      // No diagnostic says that the table is missing.
      {"ExecFail:FROM StarFacts WHERE OwnerID;Error", "ID=323490000",
       "entry_database_fault.html", 255},
      {"", "ID=716810200", "entry_toliman_system.html", 0},
  };
  for (const auto& c : cases) {
    std::vector<std::string> env = {std::string("VELORAN_ODBC_FAULTS=") +
                                    c.faults};
    ProgramResult result =
        RunProgram(EntryPageDoublePath(), c.query, database.odbcDir, env);
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << c.faults;
    EXPECT_EQ(result.status, c.status) << c.faults;
    result = RunProgramToSink(EntryPageDoublePath(), c.query, database.odbcDir,
                              OutputSink::kPipe, env);
    // One line, with the diagnostic where the driver gave one.
    const std::string line =
        "entry_page.exe: the StarFacts table could not be read";
    if (c.status == 0) {
      EXPECT_EQ(result.output, "") << c.faults;
    } else {
      EXPECT_EQ(result.output.compare(0, line.size(), line), 0) << c.faults;
      EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'),
                1)
          << c.faults;
      EXPECT_EQ(result.output.back(), '\n') << c.faults;
    }
  }
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
      // What the page would show of the star cannot all be read: it is not
      // shown in part.
      {"names_missing",
       "DROP TABLE ProperNames; DROP TABLE CatalogNumbers; DROP TABLE "
       "CatalogNames; DROP TABLE Spectra;",
       false, "entry_database_fault.html", 255},
      {"spectra_missing", "DROP TABLE Spectra;", false,
       "entry_database_fault.html", 255},
      {"column_missing", "ALTER TABLE Positions DROP COLUMN Epoch;", false,
       "entry_database_fault.html", 255},
      // An older database without the facts: the page without them.
      {"facts_missing", "DROP TABLE StarFacts;", false,
       "entry_sirius_without_facts.html", 0},
      // A table of that name that is not the facts' is a fault.
      {"facts_unreadable",
       "DROP TABLE StarFacts; CREATE TABLE StarFacts (OwnerID INTEGER);", false,
       "entry_database_fault.html", 255},
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
      // The names cannot be read beyond the first of a kind.
      {"FetchFail:ProperNameID:1", "entry_database_fault.html", 255},
      {"FetchFail:CatalogNumberID:1", "entry_database_fault.html", 255},
      {"ExecFail:FROM Spectra", "entry_database_fault.html", 255},
      {"FetchFail:BETWEEN:1", "entry_database_fault.html", 255},
      // Executed with information: left out of the page, as a spectrum that
      // the database does not hold.
      {"ExecInfo:FROM Spectra", "entry_sirius_without_spectrum.html", 0},
      {"", "entry_sirius.html", 0},
  };
  for (const auto& c : cases) {
    ProgramResult result =
        RunProgram(EntryPageDoublePath(), "ID=323490000", database.odbcDir,
                   {std::string("VELORAN_ODBC_FAULTS=") + c.faults});
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << c.faults;
    EXPECT_EQ(result.status, c.status) << c.faults;
    // A failed read is one line on standard error, with its diagnostic.
    if (c.status == 0) {
      EXPECT_EQ(result.errors, "") << c.faults;
    } else if (std::string(c.faults).find("Fail:") != std::string::npos) {
      EXPECT_EQ(result.errors.rfind("entry_page.exe: the star database could "
                                    "not be read: HY000 [odbc double] "
                                    "injected fault ",
                                    0),
                0u)
          << c.faults << ": " << result.errors;
      EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1)
          << c.faults << ": " << result.errors;
    }
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
