// The program through the project's ODBC driver and through Debian's:
// byte-identical pages wherever a stored value survives Debian's text
// round trip, and, where it does not, stored ties and radius bounds kept
// exact only by the project's driver.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "astro/position_conversion.h"
#include "catalogue/star_records.h"
#include "tests/test_support.h"

namespace veloran::testing {
namespace {

// Runs "query" against "database" through the named driver ("veloran" or
// "sqliteodbc"), with a data source written by scripts/write-dsn.
ProgramResult RunThrough(const std::string& driver, const std::string& database,
                         const char* query) {
  std::string dir = database + "-odbc-" + driver;
  setenv("VELORAN_TEST_DRIVER", driver.c_str(), 1);
  WriteDataSource(dir, database);
  unsetenv("VELORAN_TEST_DRIVER");
  return RunProgram(ProgramPath(), query, dir);
}

void ExpectSamePages(const std::string& database,
                     const std::vector<std::string>& queries) {
  for (const std::string& query : queries) {
    ProgramResult native = RunThrough("veloran", database, query.c_str());
    ProgramResult debian = RunThrough("sqliteodbc", database, query.c_str());
    EXPECT_EQ(native.output, debian.output) << query;
    EXPECT_EQ(native.status, debian.status) << query;
    EXPECT_NE(native.output.find("</HTML>"), std::string::npos) << query;
  }
}

// The listed star IDs of a page, in order.
std::vector<std::string> ListedIds(const std::string& page) {
  std::vector<std::string> ids;
  const std::string link = "entry_page.exe?ID=";
  for (size_t at = page.find(link); at != std::string::npos;
       at = page.find(link, at + 1)) {
    size_t start = at + link.size();
    ids.push_back(page.substr(start, page.find('"', start) - start));
  }
  return ids;
}

TEST(DriverDifferentialTest, SampleDatabase) {
  std::string database = DatabasePath("differential_sample");
  std::filesystem::create_directories(
      std::filesystem::path(database).parent_path());
  std::string build = std::string(VELORAN_SOURCE_DIR) +
                      "/scripts/build-sample-db " + database + " " +
                      VELORAN_DIALECT_PATH;
  ASSERT_EQ(std::system(build.c_str()), 0);
  ExpectSamePages(database,
                  {"", "ID=100&ly=20", "ID=323490000&minLY=5&ly=20",
                   "ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10",
                   "X=10&Y=10&Z=10&ly=20&minDecDeg=0", "ID=716830100&ly=5",
                   "ly=1000000", "ID=999900", "ID=100&ly=2"});
}

// 3,000 stars spread over the sky by fixed arithmetic, distances in
// thousandths of a light-year, a third of them named by a catalogue, with
// spectra, and rows of the stars' blocks that are no stars of their own.
const char kSynthetic[] = R"sql(
  INSERT INTO CatalogNames (Abbreviation, LongName) VALUES ('HD', 'HD');
  INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
                         Dec_arcsec, Distance)
  VALUES (100, NULL, NULL, NULL, NULL, NULL, NULL, 0);
  WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)
  INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
                         Dec_arcsec, Distance)
  SELECT (i + 1) * 100 + (CASE WHEN i % 17 = 0 THEN 7 ELSE 0 END),
         (i * 7) % 24, (i * 13) % 60, ((i * 37) % 60000) / 1000.0,
         (i * 11) % 179 - 89, (i * 17) % 60, ((i * 29) % 60000) / 1000.0,
         1 + ((i * 7919) % 200000) / 1000.0
  FROM n;
  WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)
  INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
  SELECT (i + 1) * 100 + 4, 'HD', CAST(i * 31 AS TEXT), 1 FROM n
  WHERE i % 3 = 0;
  WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)
  INSERT INTO Spectra (OwnerID, SpectralClass, LuminosityClass)
  SELECT (i + 1) * 100 + 1, substr('OBAFGKM', i % 7 + 1, 1) || (i % 10),
         CASE WHEN i % 4 = 0 THEN NULL ELSE substr('V  IV III', i % 3 * 3 + 1, 3) END
  FROM n WHERE i % 5 <> 0;
)sql";

TEST(DriverDifferentialTest, SyntheticDatabase) {
  auto database = CreateTestDatabase("differential_synthetic", kSynthetic);
  ExpectSamePages(
      database.path,
      {"ly=30", "ly=120&minLY=100", "ID=100&ly=50", "ID=1200&ly=40",
       "ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10",
       "X=50&Y=-20&Z=10&ly=60&minDecDeg=-30&maxDecDeg=30&minDecSec=30.5",
       "ly=1000000", "ly=300&minRAHour=23&minRAMin=30&minRASec=12.345"});
}

// The galactic distance from the Sun of a star at RA 6h 45m 9s, Dec
// -16 deg 43' and "distance", as the program computes it.
double GalacticDistance(double distance) {
  PositionRecord record{};
  record.HasRA = record.HasDec = record.HasDistance = true;
  record.RA_hr = 6;
  record.RA_min = 45;
  record.RA_sec = 9.0f;
  record.Dec_deg = -16;
  record.Dec_arcmin = 43;
  record.Distance = distance;
  CartesianPoint point{};
  PositionToCartesian(record, true, &point);
  return std::sqrt((point.z * point.z + point.y * point.y) + point.x * point.x);
}

// 10.000000000000002 is the double after 10; at 15 significant digits, as
// Debian's driver reads a REAL through text, it is 10.
const char kJustAboveTen[] = "10.000000000000002";

std::string StarAt(int id, const char* distance) {
  return "INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, "
         "Dec_arcmin, Dec_arcsec, Distance) VALUES (" +
         std::to_string(id) + ", 6, 45, 9, -16, 43, 0, " + distance + ");";
}

TEST(DriverDifferentialTest, StoredTiesAndBoundsAreExactOnlyNatively) {
  double above = GalacticDistance(std::strtod(kJustAboveTen, nullptr));
  double ten = GalacticDistance(10.0);
  ASSERT_GT(above, ten) << "the two stored distances must stay apart";

  // Two stars in one direction, the farther one's row first: a tie only
  // when the distances arrive rounded, and then listed in row order.
  auto ties =
      CreateTestDatabase("differential_ties",
                         "INSERT INTO Positions (OwnerID, Distance) VALUES "
                         "(100, 0);" +
                             StarAt(200, kJustAboveTen) + StarAt(300, "10"));
  EXPECT_EQ(ListedIds(RunThrough("veloran", ties.path, "ID=100&ly=20").output),
            (std::vector<std::string>{"300", "200"}));
  EXPECT_EQ(
      ListedIds(RunThrough("sqliteodbc", ties.path, "ID=100&ly=20").output),
      (std::vector<std::string>{"200", "300"}));

  // A radius of exactly the rounded star's distance: the star stored just
  // beyond it lies outside.
  auto bound = CreateTestDatabase(
      "differential_bound",
      "INSERT INTO Positions (OwnerID, Distance) VALUES (100, 0);" +
          StarAt(200, kJustAboveTen));
  char query[64];
  std::snprintf(query, sizeof(query), "ID=100&ly=%.17g", ten);
  EXPECT_EQ(ListedIds(RunThrough("veloran", bound.path, query).output),
            std::vector<std::string>{})
      << query;
  EXPECT_EQ(ListedIds(RunThrough("sqliteodbc", bound.path, query).output),
            std::vector<std::string>{"200"})
      << query;
}

}  // namespace
}  // namespace veloran::testing
