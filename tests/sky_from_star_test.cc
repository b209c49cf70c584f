// The sky seen from a star, run as a web server runs it, against the sky
// computed here from the database's own columns, in the equatorial frame
// and without the programs' conversions: which stars are brighter than
// magnitude 6.5 from there, how bright, and where they lie on the chart.

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace veloran::testing {
namespace {

struct Star {
  long id;
  double x, y, z;  // equatorial, light-years
  double distance;
  double vMag;
};

std::vector<Star> ReadStars(const std::string& path) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
  sqlite3_stmt* rows = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(
                db,
                "SELECT p.OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin, "
                "Dec_arcsec, Distance, VMag FROM Positions p JOIN StarFacts f "
                "ON f.OwnerID = p.OwnerID WHERE p.OwnerID % 100 = 0 AND "
                "VMag IS NOT NULL AND Distance IS NOT NULL",
                -1, &rows, nullptr),
            SQLITE_OK);
  std::vector<Star> stars;
  while (sqlite3_step(rows) == SQLITE_ROW) {
    double ra =
        (sqlite3_column_double(rows, 1) + sqlite3_column_double(rows, 2) / 60 +
         sqlite3_column_double(rows, 3) / 3600) *
        15 * std::numbers::pi / 180;
    double degrees = sqlite3_column_double(rows, 4);
    double minutes = sqlite3_column_double(rows, 5);
    double seconds = sqlite3_column_double(rows, 6);
    double sign = degrees < 0 || minutes < 0 || seconds < 0 ? -1 : 1;
    double dec = sign *
                 (std::fabs(degrees) + std::fabs(minutes) / 60 +
                  std::fabs(seconds) / 3600) *
                 std::numbers::pi / 180;
    double d = sqlite3_column_double(rows, 7);
    stars.push_back({static_cast<long>(sqlite3_column_int64(rows, 0)),
                     d * std::cos(dec) * std::cos(ra),
                     d * std::cos(dec) * std::sin(ra), d * std::sin(dec), d,
                     sqlite3_column_double(rows, 8)});
  }
  sqlite3_finalize(rows);
  sqlite3_close(db);
  return stars;
}

struct Seen {
  long id;
  double magnitude;
  double raHours, decDegrees;
};

// The stars brighter than 6.5 seen from "from", brightest first.
std::vector<Seen> SkyFrom(const std::vector<Star>& stars, const Star& from) {
  std::vector<Seen> sky;
  for (const Star& star : stars) {
    double dx = star.x - from.x, dy = star.y - from.y, dz = star.z - from.z;
    double r = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (r == 0) continue;
    // Distance 0 is the Sun, seen from one astronomical unit.
    double parsecs =
        star.distance == 0 ? 1 / 206264.806 : star.distance / 3.26156;
    double absolute = star.vMag - 5 * std::log10(parsecs / 10);
    double magnitude = absolute + 5 * std::log10(r / 3.26156 / 10);
    if (magnitude >= 6.5) continue;
    double ra = std::atan2(dy, dx) * 12 / std::numbers::pi;
    if (ra < 0) ra += 24;
    sky.push_back(
        {star.id, magnitude, ra, std::asin(dz / r) * 180 / std::numbers::pi});
  }
  std::sort(sky.begin(), sky.end(), [](const Seen& a, const Seen& b) {
    return a.magnitude < b.magnitude;
  });
  return sky;
}

// Where the chart puts a direction: its Hammer-Aitoff projection, 0h at
// the centre (380, 196), 127 units to the projection's unit, east left.
void ChartPlace(double raHours, double decDegrees, double* x, double* y) {
  double longitude = raHours * 15 > 180 ? raHours * 15 - 360 : raHours * 15;
  double lambda = -longitude * std::numbers::pi / 180;
  double phi = decDegrees * std::numbers::pi / 180;
  double z = std::sqrt(1 + std::cos(phi) * std::cos(lambda / 2));
  *x = 380 + 127 * 2 * std::sqrt(2) * std::cos(phi) * std::sin(lambda / 2) / z;
  *y = 196 - 127 * std::sqrt(2) * std::sin(phi) / z;
}

double ReadMagnitude(const std::string& text) {
  if (text.rfind("&minus;", 0) == 0) return -std::stod(text.substr(7));
  return std::stod(text);
}

TEST(SkyFromStarTest, StarsMagnitudesAndPlacesAsComputedHere) {
  const TestDatabase& database = SampleDatabase();
  std::vector<Star> stars = ReadStars(database.path);
  ASSERT_GT(stars.size(), 20u);
  // The Sun, a near star, a far one and one of a system.
  for (long id : {100L, 323490000L, 279890000L, 716830100L}) {
    auto from = std::find_if(stars.begin(), stars.end(),
                             [id](const Star& s) { return s.id == id; });
    ASSERT_NE(from, stars.end()) << id;
    std::vector<Seen> sky = SkyFrom(stars, *from);
    std::string query = "ID=" + std::to_string(id) + "&view=sky";
    ProgramResult result =
        RunProgram(EntryPagePath(), query.c_str(), database.odbcDir);
    ASSERT_EQ(result.status, 0) << query;
    const std::string& page = result.output;
    EXPECT_NE(page.find("): " + std::to_string(sky.size()) + " star"),
              std::string::npos)
        << query << ": " << sky.size() << " stars brighter than 6.5";

    // The list: the brightest, each with its magnitude from there.
    static const std::regex row(
        "<tr><td><a href=\"entry_page\\.exe\\?ID=(\\d+)\">[^<]*</a></td>"
        "<td>([^<]*)</td>");
    std::vector<long> listed;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), row);
         it != std::sregex_iterator(); ++it) {
      long star = std::stol((*it)[1]);
      listed.push_back(star);
      auto seen = std::find_if(sky.begin(), sky.end(),
                               [star](const Seen& s) { return s.id == star; });
      ASSERT_NE(seen, sky.end()) << query << ": " << star << " is listed";
      EXPECT_NEAR(ReadMagnitude((*it)[2]), seen->magnitude, 0.051)
          << query << ": " << star;
    }
    size_t brightest = std::min<size_t>(sky.size(), 20);
    ASSERT_GE(listed.size(), brightest) << query;
    for (size_t i = 0; i < brightest; ++i) {
      // Equal magnitudes may come in either order.
      EXPECT_NEAR(std::find_if(sky.begin(), sky.end(),
                               [&](const Seen& s) { return s.id == listed[i]; })
                      ->magnitude,
                  sky[i].magnitude, 1e-6)
          << query << ": place " << i;
    }

    // The named dots lie where their directions project.
    static const std::regex dot(
        "<a href=\"entry_page\\.exe\\?ID=(\\d+)\"><title>[^<]*</title>"
        "<circle[^>]* cx=\"([-0-9.]+)\" cy=\"([-0-9.]+)\"");
    int dots = 0;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), dot);
         it != std::sregex_iterator(); ++it) {
      long star = std::stol((*it)[1]);
      auto seen = std::find_if(sky.begin(), sky.end(),
                               [star](const Seen& s) { return s.id == star; });
      ASSERT_NE(seen, sky.end()) << query << ": " << star << " is drawn";
      double x = 0, y = 0;
      ChartPlace(seen->raHours, seen->decDegrees, &x, &y);
      EXPECT_NEAR(std::stod((*it)[2]), x, 0.15) << query << ": " << star;
      EXPECT_NEAR(std::stod((*it)[3]), y, 0.15) << query << ": " << star;
      ++dots;
    }
    EXPECT_EQ(dots, static_cast<int>(listed.size())) << query;
    bool sunSeen = std::any_of(sky.begin(), sky.end(),
                               [](const Seen& s) { return s.id == 100; });
    EXPECT_EQ(page.find("class=\"sun\"") != std::string::npos, sunSeen)
        << query;
  }
}

// The whole page, seen from a star of a system whose companion shines at
// magnitude -20 from there.
TEST(SkyFromStarTest, WholePage) {
  const PageCase cases[] = {
      {"ID=716830100&view=sky", "entry_sky_rigil_kentaurus.html", 0}};
  ExpectPages(EntryPagePath(), SampleDatabase(), cases, std::size(cases));
}

// What the sky's page says where it cannot draw, and a view it does not
// know.
TEST(SkyFromStarTest, PagesWithoutAChart) {
  TestDatabase noFacts =
      SampleCopy("sky_without_facts", "DROP TABLE StarFacts;");
  TestDatabase noPlace = SampleCopy(
      "sky_without_place",
      "UPDATE Positions SET Distance = NULL WHERE OwnerID = 323490000;");
  const struct {
    const TestDatabase* database;
    const char* query;
    int status;
    const char* says;
  } cases[] = {
      {&noFacts, "ID=323490000&view=sky", 0,
       "The database holds no magnitudes of its stars"},
      {&noPlace, "ID=323490000&view=sky", 0,
       "gives no place for Sirius in space"},
      {&noFacts, "ID=323490000&view=map", 255, "No such view of a star"},
      {&noFacts, "ID=323490000&view=", 255, "No such view of a star"},
  };
  for (const auto& c : cases) {
    ProgramResult result =
        RunProgram(EntryPagePath(), c.query, c.database->odbcDir);
    EXPECT_EQ(result.status, c.status) << c.query;
    EXPECT_NE(result.output.find(c.says), std::string::npos) << c.query << "\n"
                                                             << result.output;
    EXPECT_EQ(result.output.find("<svg class=\"sky-chart\""), std::string::npos)
        << c.query;
  }
}

// A failed read of the magnitudes or of the positions is the page of a
// database fault, with one line in the server's error log.
TEST(SkyFromStarTest, FailedReads) {
  const TestDatabase& database = SampleDatabase();
  const std::string sky =
      "entry_page.exe: the magnitudes or positions of the stars could not "
      "be read";
  const struct {
    const char* faults;
    std::string line;  // how the one line of the error log begins
  } cases[] = {
      {"ExecFail:OwnerID, VMag FROM StarFacts", sky},
      {"ExecInfo:OwnerID, VMag FROM StarFacts", sky},
      {"FetchFail:OwnerID, VMag FROM StarFacts:5", sky},
      // A driver that cannot use the position index meets it in the scan
      // for the entry's neighbours, before the sky's.
      {"FetchFail:FROM Positions:7", "entry_page.exe: "},
  };
  for (const auto& c : cases) {
    std::vector<std::string> env = {std::string("VELORAN_ODBC_FAULTS=") +
                                    c.faults};
    const char* query = "ID=323490000&view=sky";
    ProgramResult result =
        RunProgram(EntryPageDoublePath(), query, database.odbcDir, env);
    EXPECT_TRUE(MatchesGolden(result.output, "entry_database_fault.html"))
        << c.faults;
    EXPECT_EQ(result.status, 255) << c.faults;
    result = RunProgramToSink(EntryPageDoublePath(), query, database.odbcDir,
                              OutputSink::kPipe, env);
    EXPECT_EQ(result.output.compare(0, c.line.size(), c.line), 0)
        << c.faults << ": " << result.output;
    EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1)
        << c.faults;
  }
}

}  // namespace
}  // namespace veloran::testing
