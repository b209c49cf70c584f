// Whole imports of small packages written by the tests, read back with
// SQLite and through the program.

#include "db/hipparcos_import.h"

#include <sqlite3.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <tuple>

#include <gtest/gtest.h>

#include "tests/import/synthetic_package.h"
#include "tests/test_support.h"

namespace veloran {
namespace {

using testing::ReadFile;
using testing::SyntheticPackage;
using testing::SyntheticRecord;

double Hours(int h, int m, double s) { return h + m / 60.0 + s / 3600.0; }
double Degrees(int d, int m, double s) {
  double magnitude = std::abs(d) + m / 60.0 + s / 3600.0;
  return d < 0 ? -magnitude : magnitude;
}

// Spectral index: 1 M5.5Ve, 2 G2V, 3 the blank line inside the table, 4 K5V,
// 5 A1V+DA, 6 DA.  Components: 1 A, 2 B, 3 C.
SyntheticPackage NearbyStars() {
  SyntheticPackage package = testing::EmptyPackage();
  package.levels[0] = {
      {70890, 0, Hours(14, 29, 47.591), Degrees(-62, 40, 52.55), 1, 76850},
      {32349, 0, Hours(6, 45, 8.917), Degrees(-16, 42, 58.02), 5, 37921},
      {0, 0, Hours(1, 0, 0), 10.0, 0, 0},  // not a Hipparcos star
  };
  package.levels[1] = {
      {110893, 1, Hours(22, 28, 0.377), Degrees(57, 41, 49.09), 4, 24952},
      {110893, 2, Hours(22, 27, 59.972), Degrees(57, 41, 44.36), 0, 24952},
      {55555, 3, Hours(1, 0, 0), -Degrees(0, 30, 15), 3, 50000},
      {55556, 0, Hours(1, 0, 0), Degrees(0, 30, 15), 6, 50000},
  };
  package.levels[2] = {
      {114046, 0, Hours(23, 5, 47.303), Degrees(-35, 51, 22.21), 2, 30422},
      {92403, 0, Hours(18, 49, 49.367), Degrees(-23, 50, 10.48), 1, 33612},
      {108870, 0, Hours(22, 3, 21.655), Degrees(-56, 47, 9.51), 4, 27480},
      {104214, 0, Hours(21, 6, 50.969), Degrees(38, 44, 30.96), 4, 28595},
      {60000, 0, Hours(12, 0, 0), 0.0, 2, 0},  // no parallax
      {55555, 1, Hours(2, 0, 0), 20.0, 2, 40000},
      {55555, 2, Hours(2, 0, 1), 20.0, 0, 40000},
      {72845, 0, Hours(15, 0, 0), 30.0, 2, 10000},
      {106824, 0, Hours(21, 0, 0), -30.0, 2, 9000},
  };
  auto& files = package.files;
  files[kSpectralTypesFile] = "\nM5.5Ve\nG2V\n\nK5V\nA1V+DA\nDA\n";
  files[kCrossIdFile] +=
      "32349\t\t151881\t48915\t2491\n"
      "110893\t\t\t239960\t\n"
      "114046\t\t214301\t217987\t\n"
      "55555\tA\t1\t11\t\n"
      "55555\tB\t2\t22\t\n"
      "55555\t\t3\t33\t\n"
      "108870\t\t247287\t209100\t8387\n";
  files[kParallaxErrorFile] += "70890\t0.2030\n32349\t1.58\n";
  // Proxima and Sirius fast, 55555 slow, 110893 fast and unchecked; 55556
  // without a motion.
  files[kProperMotionFile] +=
      "70890\t-3775.64\t768.16\n"
      "32349\t-546.01\t-1223.07\n"
      "55555\t60.00\t-60.00\n"
      "110893\t-870.23\t-471.10\n";
  // Proxima at an earlier epoch, Sirius at J2000, 55556 at an earlier one
  // without a motion to move it by.
  package.checkedEpochs =
      "# checked\n70890|1991.54\n32349|2000\n55556|1995.5\n";
  files[kDesignationFile] =
      " 70890|\u03b1_Cen_C\n"
      " 32349|\u03b1_CMa\n"
      " 32349|9_CMa\n"
      "108870|\u03b5_Ind\n"
      "104214|61_Cyg_A\n";
  files[kVariableStarFile] =
      "70890\tV645 Cen\tUV:\t11.3\t0\t13.0\t\tV\t\t\t\tM5.5Ve\n";
  files[kDoubleStarFile] += "32349\t06451-1643\t2015\t69\t11.1\n";
  files[kProperNameFile] +=
      " 70890|_(\"Proxima\") 1,2\n"
      " 32349|_(\"Sirius\") 1,2,6\n"
      " 32349|_(\"Canicula\")\n"
      "110893|_(\"Kruger 60\")\n"
      " 72845|_(\"Arcal\u00eds\") 36\n"
      " 72845|_(\"A&B <x>\")\n"
      "106824|_(\"S\u0101maya\") 36\n";
  return package;
}

struct Imported {
  std::string dataDir;
  std::string database;
};

// Writes "package" for test "name" and imports it.  Returns false, with
// the importer's message in *error, when the import fails.
// With "designations", a designations file of that content is read too,
// and its refusals are left in *refusals.
bool Import(
    const std::string& name, const SyntheticPackage& package,
    Imported* imported, std::string* error,
    const std::function<void(const std::string& dataDir)>& change = nullptr,
    const char* designations = nullptr,
    std::vector<std::string>* refusals = nullptr) {
  std::string dir = testing::FreshDirectory(name);
  imported->dataDir = dir + "/usr/share/stellarium";
  imported->database = dir + "/hipparcos.db";
  testing::WritePackage(imported->dataDir, package);
  if (change) change(imported->dataDir);
  std::string designationsPath;
  if (designations != nullptr) {
    designationsPath = dir + "/designations.psv";
    std::ofstream(designationsPath) << designations;
  }
  ImportOptions options{imported->dataDir, imported->database,
                        VELORAN_DIALECT_PATH, "2026-12-07", nullptr,
                        designationsPath, "", "stellarium-data"};
  if (!package.checkedEpochs.empty()) {
    options.epochsPath = dir + "/epochs.psv";
    std::ofstream(options.epochsPath) << package.checkedEpochs;
  }
  ImportCounts counts;
  bool done = ImportHipparcos(options, &counts, error);
  if (refusals != nullptr) *refusals = counts.refusals;
  return done;
}

// The rows of "sql" on "database", columns separated by "|", NULL as "NULL".
std::vector<std::string> Rows(const std::string& database,
                              const std::string& sql) {
  std::vector<std::string> rows;
  sqlite3* db = nullptr;
  EXPECT_EQ(
      sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
      SQLITE_OK);
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr),
            SQLITE_OK)
      << sqlite3_errmsg(db) << "\n"
      << sql;
  while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      if (i > 0) row += "|";
      const unsigned char* text = sqlite3_column_text(statement, i);
      row += text != nullptr ? reinterpret_cast<const char*>(text) : "NULL";
    }
    rows.push_back(row);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

// Each test imports the package into a directory of its own, since CTest
// runs the tests side by side.
class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    const char* name =
        ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(Import(name, NearbyStars(), &imported_, &error)) << error;
  }
  std::vector<std::string> Query(const std::string& sql) {
    return Rows(imported_.database, sql);
  }
  Imported imported_;
};

TEST_F(ImportTest, OneStarPerHipparcosRecordWithParallaxNearestFirst) {
  EXPECT_EQ(
      Query("SELECT PositionID, OwnerID FROM Positions ORDER BY PositionID"),
      (std::vector<std::string>{
          "1|100",        // the Sun at 0
          "2|708900000",  // 4.244 ly
          "3|555550300",  // 6.523 ly, equal distances by ID
          "4|555560000",
          "5|555550100",  // 8.154 ly
          "6|555550200",
          "7|323490000",    // 8.601
          "8|924030000",    // 9.704
          "9|1140460000",   // 10.721
          "10|1042140000",  // 11.406
          "11|1088700000",  // 11.869
          "12|1108930100",  // 13.071
          "13|1108930200",
          "14|728450000",   // 32.616
          "15|1068240000",  // 36.240
      }));
}

TEST_F(ImportTest, PositionRowsInSexagesimalParts) {
  EXPECT_EQ(
      Query("SELECT OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin, "
            "Dec_arcsec, "
            "printf('%.6f', Distance), DistanceError IS NULL, DistanceSource, "
            "LastUpdated, Epoch FROM Positions WHERE OwnerID IN "
            "(100, 708900000, 323490000, 555550300, 555560000, 1108930200) "
            "ORDER BY PositionID"),
      (std::vector<std::string>{
          "100|NULL|NULL|NULL|NULL|NULL|NULL|0.000000|0|NULL|2026-12-07|2000.0",
          // Moved from its checked epoch 1991.54 to J2000.
          "708900000|14|29|42.951|-62|40|46.05|4.244060|0|GaiaDR2|2026-12-07|"
          "2000.0",
          // -0 deg 30' 15" as 0 degrees and -1815 arcseconds; slow, so its
          // place is within 1" of J2000 whatever its epoch.
          "555550300|1|0|0.0|0|0|-1815.0|6.523120|1|NULL|2026-12-07|2000.0",
          // Without a motion to move it: left at its epoch.
          "555560000|1|0|0.0|0|30|15.0|6.523120|1|NULL|2026-12-07|1995.5",
          // Checked at J2000: left where it is.
          "323490000|6|45|8.917|-16|42|58.02|8.600934|0|HIP|2026-12-07|2000.0",
          // Fast and not checked: no epoch.
          "1108930200|22|27|59.972|57|41|44.36|13.071337|1|NULL|2026-12-07|"
          "NULL",
      }));
  EXPECT_EQ(Query("SELECT OwnerID, PmRA, PmDec FROM StarFacts WHERE OwnerID "
                  "IN (100, 708900000, 555560000) ORDER BY OwnerID"),
            (std::vector<std::string>{"100|NULL|NULL",
                                      "555560000|NULL|NULL",
                                      "708900000|-3775.64|768.16"}));
  EXPECT_EQ(Query("SELECT Value LIKE '%Debian''s stellarium-data package%' "
                  "FROM DatabaseInfo WHERE Name = 'Provenance'"),
            (std::vector<std::string>{"1"}));
  // The error follows from the parallax's: distance * sigma / parallax.
  EXPECT_EQ(
      Query("SELECT printf('%.6f', DistanceError) FROM Positions "
            "WHERE OwnerID IN (708900000, 323490000) ORDER BY PositionID"),
      (std::vector<std::string>{"0.001121", "0.035836"}));
}

TEST_F(ImportTest, SpectraSplitIntoClasses) {
  EXPECT_EQ(
      Query("SELECT OwnerID, SpectralClass, LuminosityClass, SpectrumSource "
            "FROM Spectra ORDER BY SpectrumID"),
      (std::vector<std::string>{
          "101|G2|V|NULL",
          "708900001|M5.5e|V|HIP",
          // 555550301 has the blank type
          "555560001|DA|NULL|HIP",  // no luminosity class
          "555550101|G2|V|HIP",     // 555550201 has none
          "323490001|A1+DA|V|HIP",
          "924030001|M5.5e|V|HIP",
          "1140460001|G2|V|HIP",
          "1042140001|K5|V|HIP",
          "1088700001|K5|V|HIP",
          "1108930101|K5|V|HIP",
          "728450001|G2|V|HIP",
          "1068240001|G2|V|HIP",
      }));
}

TEST_F(ImportTest, EveryStarHasExactlyOneSystemName) {
  EXPECT_EQ(Query("SELECT COUNT(*) FROM Positions"),
            std::vector<std::string>{"15"});
  EXPECT_EQ(
      Query(
          "SELECT p.OwnerID, "
          "  (SELECT COUNT(*) FROM ProperNames n WHERE n.IsSystemName = 1 AND "
          "     n.OwnerID / 100 = p.OwnerID / 100) + "
          "  (SELECT COUNT(*) FROM CatalogNumbers c WHERE c.IsSystemName = 1 "
          "AND "
          "     c.OwnerID / 100 = p.OwnerID / 100) AS n "
          "FROM Positions p WHERE n <> 1"),
      std::vector<std::string>{});
  // Every name row lies in its star's block, after the position and spectrum.
  EXPECT_EQ(Query("SELECT OwnerID FROM ProperNames WHERE OwnerID % 100 < 2 OR "
                  "OwnerID / 100 NOT IN (SELECT OwnerID / 100 FROM Positions) "
                  "UNION ALL SELECT OwnerID FROM CatalogNumbers WHERE OwnerID "
                  "% 100 < 2 OR "
                  "OwnerID / 100 NOT IN (SELECT OwnerID / 100 FROM Positions)"),
            std::vector<std::string>{});
}

// The display name: the system's ProperNames row, else its CatalogNumbers
// row spelled with the catalogue's long name.
TEST_F(ImportTest, SystemNamesReadAsAstronomersWriteThem) {
  EXPECT_EQ(
      Query(
          "SELECT p.OwnerID, COALESCE("
          "  (SELECT Name FROM ProperNames n WHERE n.IsSystemName = 1 AND "
          "     n.OwnerID / 100 = p.OwnerID / 100), "
          "  (SELECT COALESCE(NULLIF(LongName, ''), CatAbbrev) || ' ' || Value "
          "     FROM CatalogNumbers c JOIN CatalogNames ON Abbreviation = "
          "CatAbbrev "
          "     WHERE c.IsSystemName = 1 AND c.OwnerID / 100 = p.OwnerID / "
          "100)) "
          "FROM Positions p ORDER BY PositionID"),
      (std::vector<std::string>{
          "100|Sol",
          "708900000|Proxima",    // proper name before Bayer
          "555550300|HD 33",      // the HIP's own cross-id row
          "555560000|HIP 55556",  // nothing else
          "555550100|HD 11",      // the component's row
          "555550200|HD 22",
          "323490000|Sirius",  // the IAU's name
          "924030000|HIP 92403",
          "1140460000|HD 217987",      // HD before HIP
          "1042140000|61 Cyg A",       // Flamsteed
          "1088700000|&epsilon; Ind",  // Bayer
          "1108930100|Kruger 60",      // the primary: the HIP's names
          "1108930200|Kruger 60 B",    // its companion after it
          "728450000|Arcal\xeds",      // windows-1252
          "1068240000|S&#257;maya",    // outside windows-1252
      }));
}

TEST_F(ImportTest, FurtherDesignationsAreKept) {
  EXPECT_EQ(Query("SELECT OwnerID, Name, IsSystemName FROM ProperNames "
                  "WHERE OwnerID / 100 IN (3234900, 7284500, 7089000) ORDER BY "
                  "ProperNameID"),
            (std::vector<std::string>{
                "708900002|Proxima|1",
                "708900003|&alpha; Cen C|0",
                "323490002|Sirius|1",
                "323490003|Canicula|0",
                "323490004|&alpha; CMa|0",
                "323490005|9 CMa|0",
                "728450002|Arcal\xeds|1",
                "728450003|A&amp;B &lt;x&gt;|0",
            }));
  EXPECT_EQ(
      Query(
          "SELECT OwnerID, CatAbbrev, Value, IsSystemName FROM CatalogNumbers "
          "WHERE OwnerID / 100 IN (3234900, 7089000, 11089302) "
          "ORDER BY CatalogNumberID"),
      (std::vector<std::string>{
          "708900004|HIP|70890|0",
          "708900005|GCVS|V645 Cen|0",
          "323490006|HIP|32349|0",
          "323490007|HD|48915|0",
          "323490008|HR|2491|0",
          "323490009|SAO|151881|0",
          "323490010|WDS|J06451-1643|0",
          "1108930203|HIP|110893 B|0",
      }));
  EXPECT_EQ(Query("SELECT Abbreviation || '=' || LongName FROM CatalogNames "
                  "ORDER BY Abbreviation"),
            (std::vector<std::string>{"GCVS=GCVS", "HD=HD", "HIP=HIP", "HR=HR",
                                      "SAO=SAO", "WDS=WDS"}));
}

// The lines of a result page that list stars.
std::vector<std::string> ListedLines(const std::string& page) {
  std::vector<std::string> lines;
  std::istringstream in(page);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("<BR><A HREF=", 0) == 0) lines.push_back(line);
  }
  return lines;
}

// The listing with each distance cut to "digits" decimals, which the
// program computes in its own galactic frame.
std::vector<std::string> Listing(const Imported& imported,
                                 const std::string& query, int digits = 2) {
  std::string odbcDir = imported.database + "-odbc";
  testing::WriteDataSource(odbcDir, imported.database);
  testing::ProgramResult result =
      testing::RunProgram(testing::ProgramPath(), query.c_str(), odbcDir);
  EXPECT_EQ(result.status, 0) << query;
  std::vector<std::string> lines;
  for (const std::string& line : ListedLines(result.output)) {
    size_t colon = line.find("</A>: ");
    size_t unit = line.find(" light-years");
    if (colon == std::string::npos || unit == std::string::npos) {
      lines.push_back(line);
      continue;
    }
    double distance = std::strtod(line.c_str() + colon + 6, nullptr);
    char rounded[32];
    std::snprintf(rounded, sizeof rounded, "%.*f", digits, distance);
    lines.push_back(line.substr(0, colon + 6) + rounded + line.substr(unit));
  }
  return lines;
}

TEST_F(ImportTest, TheProgramListsTheImportedStars) {
  EXPECT_EQ(Listing(imported_, "ID=100&ly=20"),
            (std::vector<std::string>{
                "<BR><A HREF=\"entry_page.exe?ID=708900000\">Proxima</A>: 4.24 "
                "light-years, class M5.5e V",
                "<BR><A HREF=\"entry_page.exe?ID=555550300\">HD 33</A>: 6.52 "
                "light-years",
                "<BR><A HREF=\"entry_page.exe?ID=555560000\">HIP 55556</A>: "
                "6.52 light-years, class DA ",
                "<BR><A HREF=\"entry_page.exe?ID=555550100\">HD 11</A>: 8.15 "
                "light-years, class G2 V",
                "<BR><A HREF=\"entry_page.exe?ID=555550200\">HD 22</A>: 8.15 "
                "light-years",
                "<BR><A HREF=\"entry_page.exe?ID=323490000\">Sirius</A>: 8.60 "
                "light-years, class A1+DA V",
                "<BR><A HREF=\"entry_page.exe?ID=924030000\">HIP 92403</A>: "
                "9.70 light-years, class M5.5e V",
                "<BR><A HREF=\"entry_page.exe?ID=1140460000\">HD 217987</A>: "
                "10.72 light-years, class G2 V",
                "<BR><A HREF=\"entry_page.exe?ID=1042140000\">61 Cyg A</A>: "
                "11.41 light-years, class K5 V",
                "<BR><A HREF=\"entry_page.exe?ID=1088700000\">&epsilon; "
                "Ind</A>: 11.87 light-years, class K5 V",
                "<BR><A HREF=\"entry_page.exe?ID=1108930100\">Kruger 60</A>: "
                "13.07 light-years, class K5 V",
                "<BR><A HREF=\"entry_page.exe?ID=1108930200\">Kruger 60 B</A>: "
                "13.07 light-years",
            }));
}

TEST_F(ImportTest, ComponentsTakeTheirOwnNames) {
  EXPECT_EQ(Query("SELECT OwnerID, CatAbbrev, Value FROM CatalogNumbers "
                  "WHERE OwnerID / 10000 IN (110893, 55555) "
                  "ORDER BY CatalogNumberID"),
            (std::vector<std::string>{
                "555550302|HIP|55555 C",  // the brightest: the HIP's row
                "555550303|HD|33",
                "555550304|SAO|3",
                "555550102|HIP|55555 A",  // the rows of their letters
                "555550103|HD|11",
                "555550104|SAO|1",
                "555550202|HIP|55555 B",
                "555550203|HD|22",
                "555550204|SAO|2",
                "1108930103|HIP|110893 A",
                "1108930104|HD|239960",  // as the catalogue writes it
                "1108930203|HIP|110893 B",
            }));
  EXPECT_EQ(Query("SELECT COUNT(*) FROM (SELECT Name FROM ProperNames "
                  "GROUP BY Name HAVING COUNT(DISTINCT OwnerID / 100) > 1)"),
            (std::vector<std::string>{"0"}));
}

// The rank a name of the MakeSystemNamesUnique cases has: by its catalogue.
StarName Ranked(StarName name) {
  name.rank = name.catalogue.empty()    ? NameRank::kProperName
              : name.catalogue == "HD"  ? NameRank::kHd
              : name.catalogue == "HIP" ? NameRank::kHip
                                        : NameRank::kOther;
  return name;
}

TEST(MakeSystemNamesUniqueTest, Cases) {
  const std::vector<std::string> letters = {"", "A", "B", "C"};
  const struct {
    const char* about;
    std::vector<std::tuple<int32_t, double, std::vector<StarName>>> stars;
    std::vector<std::string> names;  // "ID catalogue:text:system", in order
  } cases[] = {
      {"components of distinct letters: a catalogue number stays unlettered",
       {{869610200, 9.0, {{"HD", "318327", true}, {"HIP", "86961 B", false}}},
        {869630100, 8.0, {{"HD", "318327", true}, {"HIP", "86963 A", false}}}},
       {"869610200 HD:318327:0", "869610200 HIP:86961 B:1",
        "869630100 HD:318327:1", "869630100 HIP:86963 A:0"}},
      {"components of distinct letters: a proper name takes them",
       {{10100, 9.0, {{"", "X", true}, {"HIP", "1 A", false}}},
        {20200, 8.0, {{"", "X", true}, {"HIP", "2 B", false}}}},
       {"10100 :X A:1", "10100 HIP:1 A:0", "20200 :X B:1", "20200 HIP:2 B:0"}},
      {"the brightest keeps the name, the other its next unique one",
       {{10000, 5.0, {{"", "X", true}, {"", "Y", false}, {"HD", "1", false}}},
        {20000, 2.0, {{"", "X", true}, {"HIP", "2", false}}}},
       {"10000 :X:0", "10000 :Y:1", "10000 HD:1:0", "20000 :X:1",
        "20000 HIP:2:0"}},
      {"between equals the lowest ID keeps the name",
       {{20000, 3.0, {{"", "X", true}, {"HIP", "2", false}}},
        {10000, 3.0, {{"", "X", true}, {"HIP", "1", false}}}},
       {"20000 :X:0", "20000 HIP:2:1", "10000 :X:1", "10000 HIP:1:0"}},
      {"names that another star holds are passed over",
       {{10000, 1.0, {{"", "X", true}, {"", "Z", false}}},
        {20000,
         2.0,
         {{"", "X", true},
          {"", "Z", false},
          {"HIP", "2", false},
          {"SAO", "7", false},
          {"HD", "2", false}}}},
       {"10000 :X:1", "10000 :Z:0", "20000 :X:0", "20000 :Z:0", "20000 HIP:2:0",
        "20000 SAO:7:0", "20000 HD:2:1"}},
      {"one letter missing: the brightest keeps the name",
       {{10000, 4.0, {{"HD", "5", true}, {"HIP", "1", false}}},
        {20100, 6.0, {{"HD", "5", true}, {"HIP", "2 A", false}}}},
       {"10000 HD:5:1", "10000 HIP:1:0", "20100 HD:5:0", "20100 HIP:2 A:1"}},
      {"same letters: the brightest keeps the name",
       {{10100, 7.0, {{"", "X", true}, {"HIP", "1 A", false}}},
        {20100, 6.0, {{"", "X", true}, {"HIP", "2 A", false}}},
        {30100, 6.5, {{"", "X", true}, {"HIP", "3 A", false}}}},
       {"10100 :X:0", "10100 HIP:1 A:1", "20100 :X:1", "20100 HIP:2 A:0",
        "30100 :X:0", "30100 HIP:3 A:1"}},
      {"a lettered name that a third star holds: the brightest keeps it",
       {{10100, 5.0, {{"", "X", true}, {"HIP", "1 A", false}}},
        {20200, 4.0, {{"", "X", true}, {"HIP", "2 B", false}}},
        {30000, 3.0, {{"", "X A", true}, {"HIP", "3", false}}}},
       {"10100 :X:0", "10100 HIP:1 A:1", "20200 :X:1", "20200 HIP:2 B:0",
        "30000 :X A:1", "30000 HIP:3:0"}},
      {"the same text in two catalogues is not shared",
       {{10000, 1.0, {{"HD", "5", true}}}, {20000, 2.0, {{"HIP", "5", true}}}},
       {"10000 HD:5:1", "20000 HIP:5:1"}},
  };
  for (const auto& c : cases) {
    std::vector<StarRow> stars;
    for (const auto& [id, magnitude, names] : c.stars) {
      StarRow row{};
      row.id = id;
      row.magnitude = magnitude;
      for (const StarName& name : names) row.names.push_back(Ranked(name));
      stars.push_back(row);
    }
    MakeSystemNamesUnique(letters, &stars);
    std::vector<std::string> names;
    for (const StarRow& star : stars) {
      for (const StarName& name : star.names) {
        names.push_back(std::to_string(star.id) + " " + name.catalogue + ":" +
                        name.text + ":" + (name.isSystemName ? "1" : "0"));
      }
    }
    EXPECT_EQ(names, c.names) << c.about;
  }
}

// Stars of different Hipparcos numbers named alike in the package: each is
// listed under a name of its own, and every one is still found by the
// shared name.  Level 0 magnitudes are -2 + byte / 20.
TEST(ImportSharedSystemNamesTest, EveryStarHasASystemNameOfItsOwn) {
  SyntheticPackage package = testing::EmptyPackage();
  package.levels[0] = {
      {1000, 0, Hours(1, 0, 0), 10.0, 0, 10000, 150},
      {2000, 0, Hours(2, 0, 0), 10.0, 0, 10000, 50},
      {3000, 0, Hours(3, 0, 0), 10.0, 0, 10000, 50},
      {4000, 2, Hours(4, 0, 0), 10.0, 0, 10000, 90},
      {5000, 1, Hours(4, 0, 1), 10.0, 0, 10000, 80},
      {6000, 0, Hours(6, 0, 0), 10.0, 0, 10000, 120},
      {7000, 0, Hours(7, 0, 0), 10.0, 0, 10000, 110},
  };
  package.files[kProperNameFile] +=
      "1000|_(\"Shared\")\n"
      "2000|_(\"Shared\")\n"
      "3000|_(\"Shared\")\n";
  package.files[kCrossIdFile] +=
      "3000\t\t\t33\t\n"
      "4000\tB\t\t44\t\n"
      "5000\tA\t\t44\t\n"
      "6000\t\t\t66\t\n"
      "7000\t\t\t66\t\n";
  Imported imported;
  std::string error;
  ASSERT_TRUE(Import("SharedSystemNames", package, &imported, &error)) << error;
  EXPECT_EQ(Rows(imported.database,
                 "SELECT OwnerID / 100, Name FROM ProperNames "
                 "WHERE IsSystemName = 1 UNION ALL "
                 "SELECT OwnerID / 100, CatAbbrev || ' ' || Value "
                 "FROM CatalogNumbers WHERE IsSystemName = 1 ORDER BY 1"),
            (std::vector<std::string>{
                "1|Sol",
                "100000|HIP 1000",    // the faintest
                "200000|Shared",      // as bright as 3000, lower HIP
                "300000|HD 33",       // its HD number next
                "400002|HIP 4000 B",  // fainter than 5000 A
                "500001|HD 44",       // catalogue numbers stay unlettered
                "600000|HIP 6000",    // fainter than 7000
                "700000|HD 66",
            }));
  EXPECT_EQ(Rows(imported.database,
                 "SELECT OwnerID / 10000 FROM NameLookup WHERE Key = 'shared' "
                 "ORDER BY OwnerID"),
            (std::vector<std::string>{"1000", "2000", "3000"}));
}

// Stars named as an astronomer names them, from a package whose name
// references say which are the IAU's (2 and 3 of EmptyPackage).  Level 2
// magnitudes are 7.5 + byte / 20; all parallaxes alike unless told.
SyntheticPackage NamedStars() {
  SyntheticPackage package = testing::EmptyPackage();
  package.levels[2] = {
      {8102, 0, 1.7, -16.0, 0, 27000},          // tau Cet
      {1001, 0, 2.0, 10.0, 0, 27000},           // IAU name listed second
      {1002, 0, 2.1, 10.0, 0, 27000},           // Flamsteed listed first
      {104214, 0, 21.1, 38.7, 0, 28595},        // 61 Cyg A
      {104217, 0, 21.1, 38.8, 0, 28595, 110},   // 61 Cyg B, fainter
      {1003, 0, 2.2, 10.0, 0, 27000},           // by references
      {65378, 1, 13.4, 54.9, 0, 27000, 20},     // Mizar A
      {65378, 3, 13.4, 54.95, 0, 27000, 60},    // Mizar C
      {65477, 0, 13.42, 54.98, 0, 27000, 80},   // Alcor
      {71683, 1, 14.66, -60.8, 0, 74212, 10},   // alpha Cen A
      {71681, 2, 14.66, -60.81, 0, 74212, 30},  // alpha Cen B
      {70890, 0, 14.5, -62.7, 0, 76850, 200},   // Proxima
      {73136, 0, 15.0, 77.0, 0, 27000},         // an exoplanet host's name
      {69673, 1, 14.26, 19.2, 0, 27000, 0},     // Arcturus and a companion
      {69673, 2, 14.26, 19.21, 0, 27000, 150},
      {10176, 1, 2.2, 37.0, 0, 27000, 90},  // 59 And: B the brighter
      {10176, 2, 2.2, 37.01, 0, 27000, 40},
      {55555, 1, 3.0, 10.0, 0, 27000, 50},  // no names: HD rows of letters
      {55555, 2, 3.0, 10.01, 0, 27000, 60},
  };
  auto& files = package.files;
  files[kDesignationFile] =
      "  8102|52_Cet\n"
      "  8102|\u03c4_Cet\n"
      "  1001|1_Ori\n"
      "  1002|2_Ori\n"
      "  1002|b_Ori\n"
      "104214|61_Cyg_A\n"
      "104217|61_Cyg_B\n"
      " 65378|\u03b6_UMa\n"
      " 71683|\u03b11_Cen\n"
      " 71681|\u03b12_Cen\n"
      " 70890|\u03b1_Cen_C\n"
      " 73136|8_UMi\n"
      " 69673|\u03b1_Boo\n"
      " 10176|59_And_A\n";
  files[kCrossIdFile] +=
      "69673\t\t100944\t124897\t5340\n"
      "55555\tA\t\t11\t\n"
      "55555\tB\t\t22\t\n";
  files[kDoubleStarFile] +=
      "71683\t14396-6050\t2015\t1\t1\n"
      "70890\t14396-6050\t2015\t1\t1\n"
      "104214\t21069+3845\t2015\t1\t1\n"
      "104217\t21069+3845\t2015\t1\t1\n";
  files[kProperNameFile] +=
      "  8102|_(\"Al Naymat II\") 1\n"
      "  1001|_(\"Old Name\") 1,4\n"
      "  1001|_(\"New Name\") 2\n"
      "104217|_(\"Bessel's Star\") 1\n"
      "  1003|_(\"Few\") 1\n"
      "  1003|_(\"Many\") 1,4\n"
      " 65378|_(\"Mizar\") 1,2\n"
      " 65378|_(\"Alcor\") 1\n"
      " 65477|_(\"Alcor\") 1,2\n"
      " 71683|_(\"Rigil Kentaurus\") 1,2\n"
      " 71683|_(\"Toliman\") 1\n"
      " 71681|_(\"Toliman\") 2\n"
      " 70890|_(\"Proxima\") 2\n"
      " 73136|_(\"Baekdu\") 3\n"
      " 69673|_(\"Arcturus\") 1,2\n";
  return package;
}

TEST(ImportNamesTest, DisplayNamesFollowTheRule) {
  Imported imported;
  std::string error;
  ASSERT_TRUE(Import("DisplayNames", NamedStars(), &imported, &error)) << error;
  const struct {
    int32_t id;
    const char* name;  // the system name
    const char* why;
  } kCases[] = {
      {81020000, "&tau; Cet",
       "Greek Bayer before Flamsteed and a name one reference gives"},
      {10010000, "New Name", "the IAU's name, though listed second"},
      {10020000, "2 Ori", "Flamsteed before a Latin Bayer letter"},
      {1042140000, "61 Cyg A", "Flamsteed, lettered by the catalogue"},
      {1042170000, "61 Cyg B", "Flamsteed before a name not the IAU's"},
      {10030000, "Many", "more references; an iau.org in the path is not it"},
      {653780100, "Mizar", "the primary takes the names of the HIP"},
      {653780300, "Mizar C", "its companion is named after it"},
      {654770000, "Alcor", "Alcor is its own star's name only"},
      {716830100, "Rigil Kentaurus", "the IAU's name"},
      {716810200, "Toliman", "the IAU gives Toliman to alpha Cen B"},
      {708900000, "Proxima", "an IAU name before a Bayer designation"},
      {731360000, "Baekdu", "an exoplanet host's name is the IAU's too"},
      {696730100, "Arcturus", "no letter for the primary"},
      {696730200, "Arcturus B", "the companion after its primary"},
      {101760200, "HIP 10176 B", "the brighter; the designation is A's"},
      {101760100, "59 And A", "the designation lettered for it"},
      {555550100, "HD 11", "the cross-id row of its letter"},
      {555550200, "HD 22", "the cross-id row of its letter"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Rows(imported.database,
                   "SELECT Name FROM ProperNames WHERE IsSystemName = 1 AND "
                   "OwnerID / 100 = " +
                       std::to_string(c.id / 100) +
                       " UNION ALL SELECT CatAbbrev || ' ' || Value FROM "
                       "CatalogNumbers WHERE IsSystemName = 1 AND OwnerID / "
                       "100 = " +
                       std::to_string(c.id / 100)),
              std::vector<std::string>{c.name})
        << c.why;
  }
  // Names of the whole HIP are the primary's alone; catalogue numbers
  // stay unlettered.
  EXPECT_EQ(
      Rows(imported.database,
           "SELECT OwnerID, Name FROM ProperNames WHERE OwnerID / 10000 "
           "IN (69673, 65378, 71683) ORDER BY OwnerID"),
      (std::vector<std::string>{
          "653780102|Mizar", "653780103|&zeta; UMa", "653780302|Mizar C",
          "696730102|Arcturus", "696730103|&alpha; Boo", "696730202|Arcturus B",
          "716830102|Rigil Kentaurus", "716830103|&alpha;1 Cen"}));
  EXPECT_EQ(
      Rows(imported.database,
           "SELECT OwnerID, CatAbbrev || ' ' || Value FROM "
           "CatalogNumbers WHERE OwnerID / 10000 = 69673 "
           "ORDER BY CatalogNumberID"),
      (std::vector<std::string>{"696730104|HIP 69673 A", "696730105|HD 124897",
                                "696730106|HR 5340", "696730107|SAO 100944",
                                "696730203|HIP 69673 B"}));
}

TEST(ImportNamesTest, SystemsAcrossHipparcosNumbers) {
  Imported imported;
  std::string error;
  ASSERT_TRUE(Import("Systems", NamedStars(), &imported, &error)) << error;
  const struct {
    int32_t id;
    const char* system;  // SystemID, "NULL" for a single star
  } kCases[] = {
      {716830100, "716830100"},    // alpha Cen A, the brightest
      {716810200, "716830100"},    // B: one parallax with A, 36" away
      {708900000, "716830100"},    // Proxima
      {1042140000, "1042140000"},  // 61 Cyg A, brighter than B
      {1042170000, "1042140000"},
      {653780100, "653780100"},  // components of one HIP
      {653780300, "653780100"},
      {654770000, "NULL"},       // Alcor: no shared designation here
      {101760200, "101760200"},  // the brighter component, though B
      {101760100, "101760200"},
      {81020000, "NULL"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Rows(imported.database,
                   "SELECT SystemID FROM StarFacts WHERE OwnerID = " +
                       std::to_string(c.id)),
              std::vector<std::string>{c.system})
        << c.id;
  }
  // At one distance the primary's row comes first, whatever its ID.
  EXPECT_EQ(Rows(imported.database,
                 "SELECT OwnerID FROM Positions WHERE OwnerID / 10000 IN "
                 "(71681, 71683, 10176) ORDER BY PositionID"),
            (std::vector<std::string>{"716830100", "716810200", "101760200",
                                      "101760100"}));
}

// The designations file: each line's names go to its star only where its
// position and parallax fit the star's; everything else is refused, line
// by line, and the import goes on.
TEST(ImportDesignationsTest, NamesOnlyWhereTheListFitsTheStar) {
  const struct {
    const char* line;
    const char* refusal;  // "" for none; else what the refusal says
  } kLines[] = {
      // tau Cet at 1h42m, -16 deg, 270 mas: within 5" + 10 years of 1.9"/yr.
      {"star|8102|01 42 00.0|-16 00 20.0|1900|270.0|GJ 71,BD-16 295|T", ""},
      {"star|8102|01 42 00.0|-16 01 00.0|1900|270.0|GJ 9999|T",
       "GJ 9999 does not fit HIP 8102: 60.0 arcsec from its position, 24.0 "
       "allowed"},
      {"star|71683 A|14 39 36.0|-60 48 00.0|3700|742.0|&alpha; Cen A,GJ 559 "
       "A|T",
       ""},
      {"star|71681 B|14 39 36.0|-60 48 36.0|3700|820.0|GJ 559 B|T",
       "GJ 559 B does not fit HIP 71681 B: parallax 820.00 mas against its "
       "742.12, 9.5 % off, 5 % allowed"},
      {"star|71683|14 39 36.0|-60 48 00.0|3700|742.0|GJ 559|T",
       "GJ 559: no star HIP 71683 in the catalogue"},
      {"star|70890|14 30 00.0|-62 42 00.0|3850|768.5|GJ 551,XYZ 12,GJ 71|T",
       "XYZ 12 is of no catalogue that the list knows"},
      {"", "GJ 71 is already star 81020000's"},  // the line before
      {"absent|14 30 00.0|-62 42 00.0|3850|768.5|Proxima Twin|a twin.|T",
       "Proxima Twin is listed as absent, but the catalogue's star 708900000 "
       "fits it"},
      {"absent|05 00 00.0|+10 00 00.0|100|400|Wolf 359,GJ 406,Gliese "
       "406|too faint.|T",
       ""},
  };
  std::string file = "# a test list\n";
  std::vector<std::string> expected;
  int line = 1;
  for (const auto& l : kLines) {
    if (l.line[0] != '\0') {
      file += std::string(l.line) + "\n";
      ++line;
    }
    if (l.refusal[0] != '\0') {
      expected.push_back(std::to_string(line) + ": " + l.refusal);
    }
  }
  Imported imported;
  std::string error;
  std::vector<std::string> refusals;
  ASSERT_TRUE(Import("Designations", NamedStars(), &imported, &error, nullptr,
                     file.c_str(), &refusals))
      << error;
  ASSERT_EQ(refusals.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NE(refusals[i].find(expected[i]), std::string::npos)
        << refusals[i] << "\n  expected the end " << expected[i];
  }
  // The names added, none of them a system name, the nearest star's first.
  EXPECT_EQ(Rows(imported.database,
                 "SELECT OwnerID / 100 * 100, CatAbbrev || ' ' || Value, "
                 "IsSystemName FROM CatalogNumbers WHERE CatAbbrev IN ('GJ', "
                 "'BD') ORDER BY CatalogNumberID"),
            (std::vector<std::string>{"708900000|GJ 551|0",
                                      "716830100|GJ 559 A|0",
                                      "81020000|GJ 71|0",
                                      "81020000|BD -16 295|0"}));
  EXPECT_EQ(Rows(imported.database,
                 "SELECT Name, IsSystemName FROM ProperNames WHERE OwnerID / "
                 "100 = 7168301 ORDER BY ProperNameID"),
            (std::vector<std::string>{"Rigil Kentaurus|1", "&alpha;1 Cen|0",
                                      "&alpha; Cen A|0"}));
  EXPECT_EQ(Rows(imported.database,
                 "SELECT Key, OwnerID, Name FROM NameLookup WHERE Key IN "
                 "('gj71', 'alphacena', 'gj559a') ORDER BY Key"),
            (std::vector<std::string>{"alphacena|716830100|&alpha; Cen A",
                                      "gj559a|716830100|GJ 559 A",
                                      "gj71|81020000|GJ 71"}));
  EXPECT_EQ(Rows(imported.database,
                 "SELECT Key, Name, Reason FROM AbsentStars ORDER BY Key"),
            (std::vector<std::string>{"gj406|Wolf 359|too faint.",
                                      "gliese406|Wolf 359|too faint.",
                                      "wolf359|Wolf 359|too faint."}));
  EXPECT_EQ(Rows(imported.database,
                 "SELECT LongName FROM CatalogNames WHERE Abbreviation = "
                 "'Grb'"),
            std::vector<std::string>{"Groombridge"});
}

// A file that does not follow its format stops the import, as the
// package's files do.
TEST(ImportDesignationsTest, StopsOnALineThatDoesNotRead) {
  const char* kFiles[] = {
      "star|8102|01 42 00.0|-16 00 00.0|1900|270.0|GJ 71\n",  // no source
      "star|8102|01 42 00.0|16 00 00.0|1900|270.0|GJ 71|T\n",  // no sign
      "star|8102|01 42 00.0|-16 00 00.0|1900|0|GJ 71|T\n",
      "star|8102 AB|01 42 00.0|-16 00 00.0|1900|270.0|GJ 71|T\n",
      "star|8102|01 42 00.0|-16 00 00.0|1900|270.0|GJ 71,|T\n",
      "planet|8102|01 42 00.0|-16 00 00.0|1900|270.0|GJ 71|T\n",
      "star|8102|01 42 00.0|-16 00 00.0|1900|270.0|\xce\xb1 Cen|T\n",
      "absent|01 42 00.0|-16 00 00.0|1900|270.0|X||T\n",
  };
  for (const char* file : kFiles) {
    Imported imported;
    std::string error;
    EXPECT_FALSE(Import("DesignationsFormat", NamedStars(), &imported, &error,
                        nullptr, file))
        << file;
    EXPECT_NE(error.find("designations.psv: line 1 "), std::string::npos)
        << error;
  }
}

TEST(ImportFactsTest, MagnitudeColourParallaxAndConstellation) {
  SyntheticPackage package = testing::EmptyPackage();
  // Level 0: V = -2 + byte / 20; B-V = byte * 4 / 127 - 0.5.
  package.levels[0] = {
      {32349, 0, Hours(6, 45, 8.917), Degrees(-16, 42, 58.02), 0, 37921, 11},
      {1, 0, 3.0, 75.0, 0, 1000, 100},   // north of the +60 ring
      {2, 0, 3.0, -75.0, 0, 1000, 100},  // south of the -60 ring
      {3, 0, 0.5, 59.9, 0, 1000, 100},   // just inside the middle band
      {4, 0, 0.5, 60.3, 0, 1000, 100},   // just north of its ring in B1875
  };
  package.files[kParallaxErrorFile] += "32349\t1.58\n";
  Imported imported;
  std::string error;
  ASSERT_TRUE(Import("Facts", package, &imported, &error)) << error;
  EXPECT_EQ(Rows(imported.database,
                 "SELECT OwnerID, printf('%.2f', VMag), "
                 "printf('%.3f', ColourIndex), Parallax, ParallaxError, "
                 "Constellation, SystemID FROM StarFacts ORDER BY OwnerID"),
            (std::vector<std::string>{
                "100|-26.74|0.650|NULL|NULL|NULL|NULL",
                "10000|3.00|0.004|10.0|NULL|Dra|NULL",
                "20000|3.00|0.004|10.0|NULL|Oct|NULL",
                "30000|3.00|0.004|10.0|NULL|Ori|NULL",
                "40000|3.00|0.004|10.0|NULL|Dra|NULL",
                "323490000|-1.45|0.004|379.21|1.58|Ori|NULL",
            }));
}

// Vertices of the boundary file, J2000 positions of the B1875 boundaries:
// precessed back they fall on whole B1875 hours, minutes and degrees.
TEST(PrecessJ2000ToB1875Test, BoundaryVerticesReturnToTheirB1875Places) {
  const struct {
    double ra, dec;            // J2000, hours and degrees
    double raB1875, decB1875;  // B1875
  } kCases[] = {
      {20.6386585, 2.4360874, 20.0 + 32.0 / 60.0, 2.0},
      {20.6399231, 0.4361772, 20.0 + 32.0 / 60.0, 0.0},
      {17.7183819, -67.5711060, 17.5, -67.5},
      {17.6515274, -67.5831985, 17.0 + 26.0 / 60.0, -67.5},
  };
  for (const auto& c : kCases) {
    double ra, dec;
    PrecessJ2000ToB1875(c.ra, c.dec, &ra, &dec);
    EXPECT_NEAR(ra, c.raB1875, 1e-5) << c.ra << " " << c.dec;
    EXPECT_NEAR(dec, c.decB1875, 1e-4) << c.ra << " " << c.dec;
  }
}

// The lookup holds every name and designation by its key.
TEST_F(ImportTest, NameLookupHoldsEveryName) {
  EXPECT_EQ(Query("SELECT Key, OwnerID, Name, IsProperName FROM NameLookup "
                  "WHERE OwnerID IN (323490000, 1108930100) ORDER BY rowid"),
            (std::vector<std::string>{
                "9cma|323490000|9 CMa|1",
                "alphacma|323490000|&alpha; CMa|1",
                "canicula|323490000|Canicula|1",
                "hd239960|1108930100|HD 239960|0",
                "hd48915|323490000|HD 48915|0",
                "hip110893a|1108930100|HIP 110893 A|0",
                "hip32349|323490000|HIP 32349|0",
                "hr2491|323490000|HR 2491|0",
                "kruger60|1108930100|Kruger 60|1",
                "sao151881|323490000|SAO 151881|0",
                "sirius|323490000|Sirius|1",
                "wdsj064511643|323490000|WDS J06451-1643|0",
            }));
  EXPECT_EQ(Query("SELECT COUNT(*) FROM NameLookup"),
            Query("SELECT (SELECT COUNT(*) FROM ProperNames) + "
                  "(SELECT COUNT(*) FROM CatalogNumbers)"));
}

// In WAL mode (bytes 18 and 19 of the header are 2), only those who may
// write the database's directory could read it.
TEST_F(ImportTest, LeftInRollbackJournalMode) {
  std::string header = ReadFile(imported_.database).substr(0, 20);
  ASSERT_EQ(header.size(), 20u);
  EXPECT_EQ(header[18], 1) << "write version";
  EXPECT_EQ(header[19], 1) << "read version";
  EXPECT_EQ(Query("PRAGMA journal_mode"), (std::vector<std::string>{"delete"}));
}

// A star at -0 deg 30' 15" stays in the south: its twin at +0 deg 30' 15"
// is 2 d sin(0.504 deg) = 0.115 ly away, not at the same place.
TEST_F(ImportTest, SmallSouthernDeclinationIsNotMirrored) {
  EXPECT_EQ(Listing(imported_, "ID=555550300&ly=2", 3),
            (std::vector<std::string>{
                "<BR><A HREF=\"entry_page.exe?ID=555560000\">HIP 55556</A>: "
                "0.115 light-years, class DA ",
            }));
  EXPECT_EQ(Listing(imported_, "minLY=1&ly=10&minDecDeg=-1&maxDecDeg=0"),
            (std::vector<std::string>{
                "<BR><A HREF=\"entry_page.exe?ID=555550300\">HD 33</A>: 6.52 "
                "light-years",
            }));
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Replaces the level-0 file by one whose only record, in zone 3, lies at
// the corner of the offsets' range, outside every triangle.
void PutRecordOutsideItsZone(const std::string& dataDir) {
  std::string bytes = testing::StarFileHeader(0);
  for (int z = 0; z < 20; ++z)
    bytes += std::string(1, z == 3 ? 1 : 0) + std::string(3, 0);
  bytes += testing::StarRecordBytes(70890, 0, 2147483647, 2147483647, 1, 76850);
  WriteFile(dataDir + "/" + kStarFiles[0], bytes);
}

TEST(ImportFailureTest, StopsOnFilesThatDoNotMatch) {
  static const SyntheticRecord kStar = {70890, 0, 14.5, -62.7, 1, 76850};
  const struct {
    const char* what;
    std::function<void(SyntheticPackage*)> changePackage;
    std::function<void(const std::string&)> changeFiles;
    const char* message;
  } kCases[] = {
      {"wrong magic", nullptr,
       [](const std::string& dir) {
         std::string path = dir + "/" + kStarFiles[1];
         WriteFile(path, "\x0b" + ReadFile(path).substr(1));
       },
       "stars_1_0v0_8.cat: not a star file: magic 0x835F040B"},
      {"truncated", nullptr,
       [](const std::string& dir) {
         std::string path = dir + "/" + kStarFiles[2];
         std::string bytes = ReadFile(path);
         WriteFile(path, bytes.substr(0, bytes.size() - 10));
       },
       "stars_2_0v0_8.cat: 1330 bytes, but the zone table counts 1 records, "
       "which take 1340"},
      {"record outside its zone", nullptr, PutRecordOutsideItsZone,
       "stars_0_0v0_8.cat: the record at offset 112 lies outside its zone 3"},
      {"missing star file", nullptr,
       [](const std::string& dir) {
         std::filesystem::remove(dir + "/" + kStarFiles[2]);
       },
       "stars_2_0v0_8.cat: No such file or directory"},
      {"missing name.fab", nullptr,
       [](const std::string& dir) {
         std::filesystem::remove(dir + "/" + kDesignationFile);
       },
       "stars/default/name.fab: No such file or directory"},
      {"cross-id with four fields",
       [](SyntheticPackage* p) { p->files[kCrossIdFile] += "70890\t\t1\t2\n"; },
       nullptr, "cross-id.dat: line 2: not the five fields"},
      {"proper names not UTF-8",
       [](SyntheticPackage* p) {
         p->files[kProperNameFile] += "70890|_(\"Caf\xe9\")\n";
       },
       nullptr, "star_names.fab: line 2: not UTF-8"},
      {"proper motion not a number",
       [](SyntheticPackage* p) {
         p->files[kProperMotionFile] += "70890\t-3775.64\tfast\n";
       },
       nullptr, "hip_pm.dat: line 3: not HIP and two proper motions"},
      {"checked epoch not a year",
       [](SyntheticPackage* p) { p->checkedEpochs = "70890|J1991\n"; },
       nullptr, "epochs.psv: line 1: not HIP|epoch"},
      {"parallax error not a number",
       [](SyntheticPackage* p) {
         p->files[kParallaxErrorFile] += "70890\t0,2\n";
       },
       nullptr, "hip_plx_err.dat: line 2: the parallax error is not a number"},
      {"spectral index beyond the table",
       [](SyntheticPackage* p) {
         p->levels[2] = {{1, 0, 1.0, 1.0, 7, 100}};
       },
       nullptr, "stars_2_0v0_8.cat: HIP 1 has spectral index 7"},
      {"component index beyond the table",
       [](SyntheticPackage* p) {
         p->levels[2] = {{1, 4, 1.0, 1.0, 0, 100}};
       },
       nullptr, "stars_2_0v0_8.cat: HIP 1 has component index 4"},
      {"HIP too large for an ID",
       [](SyntheticPackage* p) {
         p->levels[2] = {{214748, 0, 1.0, 1.0, 0, 100}};
       },
       nullptr, "HIP 214748 is above 214747"},
      {"one component twice",
       [](SyntheticPackage* p) {
         p->levels[2] = {{7, 1, 1.0, 1.0, 0, 100}, {7, 1, 3.0, 1.0, 0, 200}};
       },
       nullptr, "share the ID 70100"},
  };
  for (const auto& c : kCases) {
    SyntheticPackage package = testing::EmptyPackage();
    package.files[kSpectralTypesFile] = "\nM5.5Ve\n";
    package.levels[0] = {kStar};
    package.levels[1] = {{70891, 0, 14.5, -62.8, 1, 76000}};
    package.levels[2] = {{1, 0, 1.0, 1.0, 0, 100}};
    if (c.changePackage) c.changePackage(&package);
    Imported imported;
    std::string error;
    EXPECT_FALSE(Import("failure", package, &imported, &error, c.changeFiles))
        << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos)
        << c.what << ": " << error;
    EXPECT_FALSE(std::filesystem::exists(imported.database)) << c.what;
    EXPECT_FALSE(std::filesystem::exists(imported.database + ".tmp")) << c.what;
  }
}

// The program: exit status 0 and a summary, or 1 and the fault, with an
// earlier database left as it was.
TEST(ImportProgramTest, ReportsTheFaultAndKeepsTheOldDatabase) {
  std::string dir = testing::FreshDirectory("program");
  std::string dataDir = dir + "/usr/share/stellarium";
  std::string database = dir + "/hipparcos.db";
  testing::WritePackage(dataDir, NearbyStars());
  auto run = [&](std::string* output) {
    std::string command = std::string(VELORAN_IMPORTER) + " --data " + dataDir +
                          " --out " + database + " --date 2026-12-07 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    output->clear();
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
      output->append(buffer, n);
    }
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  std::string output;
  ASSERT_EQ(run(&output), 0) << output;
  EXPECT_NE(output.find("hipparcos.db: 14 stars and the Sun, 11 spectra"),
            std::string::npos)
      << output;
  std::string before = ReadFile(database);

  std::string path = dataDir + "/" + kStarFiles[1];
  std::string bytes = ReadFile(path);
  WriteFile(path, bytes.substr(0, bytes.size() - 1));
  EXPECT_EQ(run(&output), 1);
  EXPECT_NE(output.find("import_hipparcos: " + path + ": "), std::string::npos)
      << output;
  EXPECT_EQ(ReadFile(database), before);
}

// The new database reaches the disk before it replaces the earlier one,
// and the rename reaches it after: the system calls, as strace sees them,
// are fsync of the temporary file, its rename, and fsync of the directory.
TEST(ImportProgramTest, SyncsTheFileBeforeTheRenameAndTheDirectoryAfter) {
  if (std::system("command -v strace >/dev/null") != 0) {
    FAIL() << "strace is missing: apt-get install strace (scripts/test does)";
  }
  std::string dir = testing::FreshDirectory("synced");
  std::string dataDir = dir + "/usr/share/stellarium";
  std::string database = dir + "/hipparcos.db";
  std::string trace = dir + "/trace";
  testing::WritePackage(dataDir, NearbyStars());
  // LeakSanitizer cannot run under ptrace: a sanitizer build's importer
  // looks for no leaks here.
  std::string command = "ASAN_OPTIONS=detect_leaks=0 strace -f -y -o " + trace +
                        " -e trace=fsync,rename,renameat,renameat2 " +
                        VELORAN_IMPORTER + " --quiet --data " + dataDir +
                        " --out " + database + " --date 2026-12-07";
  ASSERT_EQ(std::system(command.c_str()), 0);
  // strace -y shows a descriptor with its file's canonical path.
  std::string real = std::filesystem::canonical(dir).string();
  std::string calls = ReadFile(trace);
  size_t fileSynced = calls.find("<" + real + "/hipparcos.db.tmp>) = 0");
  size_t renamed = calls.find("\"" + database + ".tmp\", ");
  ASSERT_NE(fileSynced, std::string::npos) << calls;
  ASSERT_NE(renamed, std::string::npos) << calls;
  EXPECT_LT(fileSynced, renamed) << calls;
  EXPECT_NE(calls.find("fsync(", renamed), std::string::npos) << calls;
  EXPECT_NE(calls.find("<" + real + ">) = 0", renamed), std::string::npos)
      << calls;
}

}  // namespace
}  // namespace veloran
