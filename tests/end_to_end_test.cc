// The program run as a web server runs it, through the real driver manager
// and driver, its replies compared byte for byte.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace veloran::testing {
namespace {

const char kUsage[] =
    "Content-type: text/plain\n\n"
    "This CGI program must be passed a query string containing either an "
    "\"ID=###00\" clause,\n"
    "or \"X=###\", \"Y=###\", and \"Z=###\" clauses,\n"
    "or clauses for min. and max. RA and Dec components.\n";

const char kInvalidId[] =
    "Content-type: text/plain\n\n"
    "Invalid \"ID=###\" clause.  Must be a multiple of 100 greater than 0.\n";

std::string CoordinatePage(const std::string& heading,
                           const std::string& listing) {
  return PageHead("Veloran near-coordinate search results") + "<CENTER><H3>" +
         heading + ":</H3></CENTER>\n" + listing + kPageTail;
}

std::string StarPage(const std::string& heading, const std::string& listing) {
  return PageHead("Veloran neighbor search results") + "<CENTER><H3>" +
         heading + ":</H3></CENTER>\n" + listing + kPageTail;
}

std::string Line(const std::string& id, const std::string& name,
                 const std::string& distance, const std::string& rest = "") {
  return "<BR><A HREF=\"entry_page.exe?ID=" + id + "\">" + name +
         "</A>: " + distance + " light-years" + rest + "\n";
}

const char kNoStars[] = "<BR>No neighboring stars were found in the Veloran.\n";

// Rows of Positions at the origin (distance 0, RA and Dec NULL) for the
// stars 100, 200, ... count x 100, in that order.
std::string OriginStars(int count) {
  return "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
         "WHERE i < " +
         std::to_string(count) +
         ") INSERT INTO Positions (OwnerID, Distance) SELECT i * 100, 0 "
         "FROM n;";
}

struct Case {
  const char* query;  // nullptr: QUERY_STRING absent
  std::string output;
  int status;
};

void ExpectReplies(const TestDatabase& database, const Case* cases, int count) {
  for (int i = 0; i < count; ++i) {
    const Case& c = cases[i];
    ProgramResult result = RunProgram(ProgramPath(), c.query, database.odbcDir);
    EXPECT_EQ(result.output, c.output) << (c.query ? c.query : "(absent)");
    EXPECT_EQ(result.status, c.status) << (c.query ? c.query : "(absent)");
  }
}

TEST(EndToEndTest, RequestPaths) {
  auto database = CreateTestDatabase("e2e_paths", R"sql(
    INSERT INTO Positions (OwnerID, Distance) VALUES (1200, 0);
    INSERT INTO Positions (OwnerID, RA_hr, Dec_deg, Distance)
    VALUES (1300, NULL, 5, 10), (1400, 5, NULL, 10);
    INSERT INTO Positions (OwnerID, RA_hr, Dec_deg) VALUES (1500, 1, 1);
    INSERT INTO ProperNames (OwnerID, Name, IsSystemName) VALUES (1200, 'Twelve', 1);
  )sql");
  const std::string origin = "Stars within 15 light-years of (0, 0, 0)";
  const Case cases[] = {
      {nullptr, kUsage, 255},
      {"", CoordinatePage(origin, Line("1200", "Twelve", "0")), 0},
      {"ID=150", kInvalidId, 255},
      {"ID=0", kInvalidId, 255},
      {"ID=-100", kInvalidId, 255},
      {"ID=abc", kInvalidId, 255},
      {"ID=+", kInvalidId, 255},
      {"ID=2147483648", kInvalidId, 255},
      {"ID=-2147483649", kInvalidId, 255},
      {"ID=4294967396", kInvalidId, 255},
      {"ID=150&ly=1", kInvalidId, 255},
      // An empty ID is coordinate-centred; the window is read next.
      {"ID=&ly=1",
       "Content-type: text/plain\n\nSearch radius must be at least 2 "
       "light-years.\n",
       255},
      {"ID=1200abc&X=5",
       StarPage("Stars within 15 light-years of Twelve", kNoStars), 0},
      {"ID=%31200", StarPage("Stars within 15 light-years of Twelve", kNoStars),
       0},
      // No position row; a non-zero distance without RA or Dec; no distance.
      {"ID=999900", NoMatchPage("999900"), 255},
      {"ID=1300", NoMatchPage("1300"), 255},
      {"ID=1400", NoMatchPage("1400"), 255},
      {"ID=1500", NoMatchPage("1500"), 255},
      {"Y=4&Z=5", CoordinatePage(origin, Line("1200", "Twelve", "0")), 0},
      {"X=&Y=4", CoordinatePage(origin, Line("1200", "Twelve", "0")), 0},
      {"X=3&Z=4",
       CoordinatePage("Stars within 15 light-years of (3, 0, 0)",
                      Line("1200", "Twelve", "3")),
       0},
      {"X=3&Y=&Z=4",
       CoordinatePage("Stars within 15 light-years of (3, 0, 0)",
                      Line("1200", "Twelve", "3")),
       0},
      {"X=1d6&Y=-2.5e-5&Z=1e400",
       CoordinatePage("Stars within 15 light-years of (1e+006, -2.5e-005, inf)",
                      kNoStars),
       0},
      {"X=3&Y=4&ly=5&minLY=5",
       CoordinatePage("Stars between 5 and 5 light-years from (3, 4, 0)",
                      Line("1200", "Twelve", "5")),
       0},
      {"X=3&Y=4&minLY=-2",
       CoordinatePage("Stars within 15 light-years of (3, 4, 0)",
                      Line("1200", "Twelve", "5")),
       0},
      {"X=-0",
       CoordinatePage("Stars within 15 light-years of (-0, 0, 0)",
                      Line("1200", "Twelve", "0")),
       0},
  };
  ExpectReplies(database, cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(EndToEndTest, ConnectionRefused) {
  // No data source at all.
  std::string dir = TestDataDir() + "/e2e_no_dsn";
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/odbc.ini") << "";
  std::ofstream(dir + "/odbcinst.ini") << "";
  ProgramResult result = RunProgram(ProgramPath(), "ID=100", dir);
  EXPECT_EQ(result.output, ConnectionRefusedReply(
                               "IM002",
                               "[unixODBC][Driver Manager]Data source name "
                               "not found and no default driver specified"));
  EXPECT_EQ(result.status, 0);

  // A data source whose file has gone: refused, and no file is created.
  std::string missing = dir + "/missing.db";
  std::ofstream(missing) << "";
  WriteDataSource(dir + "/missing", missing);
  std::filesystem::remove(missing);
  result = RunProgram(ProgramPath(), "", dir + "/missing");
  EXPECT_EQ(result.output, FileRefusedReply("no such file"));
  EXPECT_EQ(result.status, 0);
  EXPECT_FALSE(std::filesystem::exists(missing));

  // A window error is answered before any connection is tried.
  result = RunProgram(ProgramPath(), "minRAHour=24", dir);
  EXPECT_EQ(result.output,
            "Content-type: text/plain\n\nMinimum right ascension hours must "
            "be between 0 and 23 inclusive.\n");
  EXPECT_EQ(result.status, 255);
}

TEST(EndToEndTest, ListLimit) {
  auto hundred = CreateTestDatabase("e2e_hundred", OriginStars(100));
  auto hundredOne = CreateTestDatabase("e2e_hundred_one", OriginStars(101));
  std::string hundredLines;
  for (int i = 1; i <= 100; ++i) {
    hundredLines += Line(std::to_string(i * 100), "", "3");
  }
  const std::string heading = "Stars within 3 light-years of (3, 0, 0)";

  ProgramResult result = RunProgram(ProgramPath(), "X=3&ly=3", hundred.odbcDir);
  EXPECT_EQ(result.output, CoordinatePage(heading, hundredLines));
  EXPECT_EQ(result.status, 0);

  // The 101st star at the same distance arrived last and drops out.
  result = RunProgram(ProgramPath(), "X=3&ly=3", hundredOne.odbcDir);
  EXPECT_EQ(result.output,
            CoordinatePage(heading,
                           "<BR>101 stars were found.&nbsp; Only the nearest "
                           "100 will be displayed.\n<BR>\n" +
                               hundredLines));
}

TEST(EndToEndTest, FullListTakesOnlyNearerStars) {
  // 100 stars at distance 3 from (3, 0, 0); then one farther (counted, not
  // listed) and one nearer (listed first; the last of the 100 drops out).
  auto database = CreateTestDatabase("e2e_full", OriginStars(100) + R"sql(
    INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
                           Dec_arcsec, Distance)
    VALUES (20000, 0, 0, 0, 0, 0, 0, 1),
           (30000, 17, 45, 40.0, -29, 0, 28.0, 3.0);
  )sql");
  std::string lines = Line("30000", "", "0.0372732");
  for (int i = 1; i <= 99; ++i) lines += Line(std::to_string(i * 100), "", "3");
  ProgramResult result =
      RunProgram(ProgramPath(), "X=3&ly=3.3", database.odbcDir);
  EXPECT_EQ(result.output,
            CoordinatePage("Stars within 3.3 light-years of (3, 0, 0)",
                           "<BR>102 stars were found.&nbsp; Only the nearest "
                           "100 will be displayed.\n<BR>\n" +
                               lines));
}

TEST(EndToEndTest, RowFilters) {
  auto database = CreateTestDatabase("e2e_filters", R"sql(
    INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
                           Dec_arcsec, Distance)
    VALUES (150, NULL, NULL, NULL, NULL, NULL, NULL, 0),   -- not a star's own row
           (201, NULL, NULL, NULL, NULL, NULL, NULL, 0),
           (NULL, NULL, NULL, NULL, NULL, NULL, NULL, 0),  -- no owner
           (0, NULL, NULL, NULL, NULL, NULL, NULL, 0),     -- no star has ID 0
           (300, NULL, NULL, NULL, NULL, NULL, NULL, 0),   -- the origin
           (400, 0, 0, 0, 90, 0, 0, 2),                    -- the north pole
           (500, 0, 0, 0, -90, 0, 0, 2),                   -- the south pole
           (600, 0, 0, 0, NULL, 0, 0, 2),                  -- no declination
           (700, NULL, 0, 0, 10, 0, 0, 2),                 -- no right ascension
           (800, 1, 2, 3, 4, 5, 6, NULL),                  -- no distance
           (900, 0, 0, 0, 0, 0, 0, 1),
           (1000, 12, 0, 0, -30, 0, 0, 2.5),
           (1100, 6, 0, 0, 0, 0, 0, 1),
           (1200, 0, NULL, NULL, 0, NULL, NULL, 2);       -- NULL minutes read as 0
  )sql");
  const std::string all = Line("300", "", "0") + Line("1100", "", "0.99998") +
                          Line("900", "", "0.999999") + Line("1200", "", "2") +
                          Line("1000", "", "2.49999");
  const Case cases[] = {
      {"ly=1000",
       CoordinatePage("Stars within 1000 light-years of (0, 0, 0)", all), 0},
      // The origin lies at 0h and 0 degrees as far as the window goes.
      {"ly=1000&minRAHour=1",
       CoordinatePage(
           "Stars within 1000 light-years of (0, 0, 0), with Right "
           "Ascensions between 1h0m0s and 23h59m59.999s",
           Line("1100", "", "0.99998") + Line("1000", "", "2.49999")),
       0},
      {"ly=1000&minDecDeg=1",
       CoordinatePage("Stars within 1000 light-years of (0, 0, 0), with "
                      "Declinations between +1&deg;0'0\" and "
                      "+89&deg;59'59.999\"",
                      kNoStars),
       0},
      {"ly=1000&maxDecDeg=-1",
       CoordinatePage("Stars within 1000 light-years of (0, 0, 0), with "
                      "Declinations between -89&deg;59'59.999\" and "
                      "-1&deg;0'0\"",
                      Line("1000", "", "2.49999")),
       0},
      {"ly=2&minLY=1",
       CoordinatePage("Stars between 1 and 2 light-years from (0, 0, 0)",
                      Line("1200", "", "2")),
       0},
      // A star at the origin in a star-centred search: ID 0 is no longer
      // the excluded one, the star itself is.
      {"ID=300&ly=2",
       StarPage("Stars within 2 light-years of ",
                Line("0", "", "0") + Line("1100", "", "0.99998") +
                    Line("900", "", "0.999999") + Line("1200", "", "2")),
       0},
  };
  ExpectReplies(database, cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(EndToEndTest, NamesAndClasses) {
  auto database = CreateTestDatabase("e2e_names", OriginStars(6) + R"sql(
    INSERT INTO CatalogNames (Abbreviation, LongName) VALUES ('HD', 'HD');
    INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
    VALUES (102, 'Alpha &amp; Beta', 1), (302, CAST(X'416C6E69E96D' AS TEXT), 1);
    INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
    VALUES (504, 'HD', '1326', 1), (604, 'XY', '7', 1);
    INSERT INTO Spectra (OwnerID, SpectralClass, LuminosityClass)
    VALUES (101, 'G2', 'V'), (201, 'M3', NULL), (301, NULL, 'V'),
           (400, 'A0', 'V'), (501, 'K0', 'III'), (501, 'B0', 'I');
  )sql");
  // 200 has no name and is not listed under the name of 100; 400's spectrum
  // row belongs to no star's ID + 1.
  const std::string lines =
      Line("100", "Alpha &amp; Beta", "3", ", class G2 V") +
      Line("200", "", "3", ", class M3 ") + Line("300", "Alni\xE9m", "3") +
      Line("400", "", "3") + Line("500", "HD 1326", "3", ", class K0 III") +
      Line("600", "XY 7", "3");
  const Case cases[] = {
      {"X=3&ly=3",
       CoordinatePage("Stars within 3 light-years of (3, 0, 0)", lines), 0},
      {"ID=100&minLY=0.5",
       StarPage("Stars between 0.5 and 15 light-years from Alpha &amp; Beta",
                kNoStars),
       0},
      {"ID=200",
       StarPage("Stars within 15 light-years of ",
                Line("100", "Alpha &amp; Beta", "0", ", class G2 V") +
                    Line("300", "Alni\xE9m", "0") + Line("400", "", "0") +
                    Line("500", "HD 1326", "0", ", class K0 III") +
                    Line("600", "XY 7", "0")),
       0},
  };
  ExpectReplies(database, cases, sizeof(cases) / sizeof(cases[0]));
}

// Complete pages of both kinds on the bundled sample database.
TEST(EndToEndTest, SampleDatabasePages) {
  const std::string& odbcDir = SampleDatabase().odbcDir;
  const struct {
    const char* query;
    const char* golden;
  } cases[] = {
      {"ID=100&ly=12", "sample_sun_12ly.txt"},
      {"ID=323490000&minLY=5&ly=20", "sample_sirius_5_20ly.txt"},
      {"ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10",
       "sample_orion_window.txt"},
      {"X=10&Y=10&Z=10&ly=20&minDecDeg=0", "sample_point_north.txt"},
  };
  for (const auto& c : cases) {
    std::ifstream in(
        std::string(VELORAN_SOURCE_DIR) + "/tests/golden/" + c.golden,
        std::ios::binary);
    std::stringstream golden;
    golden << in.rdbuf();
    ProgramResult result = RunProgram(ProgramPath(), c.query, odbcDir);
    EXPECT_EQ(result.output, golden.str()) << c.query;
    EXPECT_EQ(result.status, 0) << c.query;
  }
}

}  // namespace
}  // namespace veloran::testing
