// The map of the entry page, run as a web server runs it: the stars it
// links are those that the search around the star lists, and a failed read
// of them is the page of a database fault.

#include <sqlite3.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace veloran::testing {
namespace {

// The IDs that "page" links to its entry pages, in "pattern"'s first group,
// in the order they appear.
std::vector<std::string> LinkedIds(const std::string& page,
                                   const std::regex& pattern) {
  std::vector<std::string> ids;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), pattern);
       it != std::sregex_iterator(); ++it) {
    ids.push_back((*it)[1]);
  }
  return ids;
}

// The stars that the search neighbor_search?ID=N&ly=20 lists.
std::vector<std::string> ClassicNeighbours(const TestDatabase& database,
                                           const std::string& id) {
  static const std::regex link("<BR><A HREF=\"entry_page\\.exe\\?ID=(\\d+)\">");
  std::string query = "ID=" + id + "&ly=20";
  ProgramResult result =
      RunProgram(ProgramPath(), query.c_str(), database.odbcDir);
  EXPECT_EQ(result.status, 0) << query;
  return LinkedIds(result.output, link);
}

// The stars that the map of the entry page of star "id" links, or none when
// the page has no map.
std::vector<std::string> MappedNeighbours(const TestDatabase& database,
                                          const std::string& id,
                                          std::string* page = nullptr) {
  static const std::regex link("<a href=\"entry_page\\.exe\\?ID=(\\d+)\"");
  std::string query = "ID=" + id;
  ProgramResult result =
      RunProgram(EntryPagePath(), query.c_str(), database.odbcDir);
  EXPECT_EQ(result.status, 0) << query;
  size_t start = result.output.find("<svg");
  size_t end = result.output.find("</svg>");
  if (page != nullptr) *page = result.output;
  if (start == std::string::npos) {
    EXPECT_EQ(end, std::string::npos) << query;
    return {};
  }
  EXPECT_NE(end, std::string::npos) << query;
  EXPECT_EQ(result.output.find("<svg", start + 1), std::string::npos) << query;
  return LinkedIds(result.output.substr(start, end - start), link);
}

std::vector<std::string> StarIds(const TestDatabase& database) {
  sqlite3* db = nullptr;
  std::vector<std::string> ids;
  if (sqlite3_open_v2(database.path.c_str(), &db, SQLITE_OPEN_READONLY,
                      nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << database.path;
    sqlite3_close(db);
    return ids;
  }
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT DISTINCT OwnerID FROM Positions WHERE OwnerID % "
                     "100 = 0 AND OwnerID > 0 ORDER BY OwnerID",
                     -1, &statement, nullptr);
  while (sqlite3_step(statement) == SQLITE_ROW) {
    ids.push_back(
        reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return ids;
}

std::vector<std::string> Sorted(std::vector<std::string> ids) {
  std::sort(ids.begin(), ids.end());
  return ids;
}

// Every star of the sample: its map links each star that the search
// around it within 20 light-years lists, and no other, each once.
TEST(EntryMapTest, SampleMapsLinkTheListedNeighbours) {
  const TestDatabase& database = SampleDatabase();
  std::vector<std::string> ids = StarIds(database);
  ASSERT_GE(ids.size(), 30u);
  int mapped = 0;
  for (const std::string& id : ids) {
    std::vector<std::string> listed = ClassicNeighbours(database, id);
    std::vector<std::string> drawn = MappedNeighbours(database, id);
    EXPECT_EQ(Sorted(drawn), Sorted(listed)) << "star " << id;
    mapped += drawn.empty() ? 0 : 1;
  }
  // The nearby stars have maps; the far ones (Betelgeuse, Rigel) none.
  EXPECT_GE(mapped, 25);
}

// More than 100 stars within 20 light-years, in groups of three at one
// place each, so that the 100th and 101st are at one distance: the map
// shows the 100 that the search lists, the earlier rows first at equal
// distances, and says how many there are.
TEST(EntryMapTest, NearestHundredAsListed) {
  std::string sql =
      "INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, "
      "Dec_arcmin, Dec_arcsec, Distance) VALUES (100, NULL, NULL, NULL, NULL, "
      "NULL, NULL, 0.0)";
  for (int group = 0; group < 50; ++group) {
    for (int member = 2; member >= 0; --member) {
      // IDs falling within a group, so that the rows' order is not the IDs'.
      sql += ", (" + std::to_string((group * 3 + member + 1) * 10000) + ", " +
             std::to_string(group % 24) + ", " +
             std::to_string(group * 7 % 60) + ", 0.0, " +
             std::to_string(group * 13 % 179 - 89) + ", 0, 0.0, " +
             std::to_string(5 + group % 7) + ".5)";
    }
  }
  TestDatabase database = CreateTestDatabase("entry_map_hundred", sql + ";");
  std::string page;
  std::vector<std::string> listed = ClassicNeighbours(database, "100");
  ASSERT_EQ(listed.size(), 100u);
  EXPECT_EQ(Sorted(MappedNeighbours(database, "100", &page)), Sorted(listed));
  EXPECT_NE(page.find("<figcaption>The nearest 100 of the 150 stars within "
                      "20 light-years of Star 100,"),
            std::string::npos);
  // Around a star of the first group and one of the last, whose
  // companions lie at distance 0.
  for (const char* id : {"10000", "1500000"}) {
    listed = ClassicNeighbours(database, id);
    EXPECT_GE(listed.size(), 2u) << id;
    EXPECT_EQ(Sorted(MappedNeighbours(database, id)), Sorted(listed)) << id;
  }
}

// A failed read of the stars around the star (around Sirius), of their
// positions or of what is shown of them, is the page of a database fault
// with one line in the server's error log; a look-up of them all that
// succeeds with information is asked again star by star.
TEST(EntryMapTest, FailedReadsOfTheNeighbours) {
  // The stars around it come from the sample's position index, or, without
  // it, from the scan of Positions.
  const TestDatabase& indexed = SampleDatabase();
  const TestDatabase& scanned = SampleWithoutIndex();
  const char kScan[] = "Dec_arcsec, Distance, OwnerID FROM Positions";
  const char kIndex[] = "FROM PositionIndex WHERE";
  const struct {
    std::string faults;
    const char* golden;
    int status;
    const TestDatabase& database;
  } cases[] = {
      {std::string("ExecFail:") + kScan, "entry_database_fault.html", 255,
       scanned},
      {std::string("FetchFail:") + kScan + ":0", "entry_database_fault.html",
       255, scanned},
      {std::string("FetchFail:") + kScan + ":20", "entry_database_fault.html",
       255, scanned},
      {std::string("FetchFail:") + kIndex + ":0", "entry_database_fault.html",
       255, indexed},
      {std::string("FetchFail:") + kIndex + ":2", "entry_database_fault.html",
       255, indexed},
      // The look-ups of the stars around it, all of them at once: the
      // statement of each kind, and a fetch after some of its rows.
      {"ExecFail:FROM Spectra WHERE OwnerID IN (", "entry_database_fault.html",
       255, indexed},
      {"FetchFail:FROM Spectra WHERE OwnerID IN (:3",
       "entry_database_fault.html", 255, indexed},
      {"ExecFail:FROM ProperNames WHERE INT(OwnerID/100) IN (",
       "entry_database_fault.html", 255, indexed},
      {"FetchFail:FROM ProperNames WHERE INT(OwnerID/100) IN (:1",
       "entry_database_fault.html", 255, indexed},
      {"ExecFail:FROM CatalogNumbers WHERE INT(OwnerID/100) IN (",
       "entry_database_fault.html", 255, indexed},
      {"FetchFail:FROM StarFacts WHERE OwnerID IN (:0",
       "entry_database_fault.html", 255, indexed},
      {"ExecFail:FROM StarFacts WHERE OwnerID IN (;Error",
       "entry_database_fault.html", 255, indexed},
      {"ExecInfo:FROM Spectra WHERE OwnerID IN (", "entry_sirius.html", 0,
       indexed},
      {"ExecInfo:FROM ProperNames WHERE INT(OwnerID/100) IN (",
       "entry_sirius.html", 0, indexed},
      {"", "entry_sirius.html", 0, indexed},
      {"", "entry_sirius.html", 0, scanned},
  };
  for (const auto& c : cases) {
    if (!ReadsPositionIndex(c.faults)) continue;
    ProgramResult result =
        RunProgram(EntryPageDoublePath(), "ID=323490000", c.database.odbcDir,
                   {"VELORAN_ODBC_FAULTS=" + c.faults});
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << c.faults;
    EXPECT_EQ(result.status, c.status) << c.faults;
    if (c.status == 0) {
      EXPECT_EQ(result.errors, "") << c.faults;
      continue;
    }
    const std::string line =
        "entry_page.exe: the stars around it could not be read";
    EXPECT_EQ(result.errors.compare(0, line.size(), line), 0)
        << c.faults << ": " << result.errors;
    EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1)
        << c.faults << ": " << result.errors;
  }
}

// Names of neighbours with markup of every kind: the map keeps their text
// and escapes the rest, and the page stays valid HTML (the golden page is
// checked by tests/html_check.sh).
TEST(EntryMapTest, HostileNeighbourNames) {
  TestDatabase database = SampleCopy("entry_map_hostile", R"sql(
    UPDATE ProperNames SET Name = '<b>Pro</b>&cyon "x" &alpha'
      WHERE OwnerID = 372790002;
    UPDATE ProperNames SET Name = '</svg><script>alert(1)</script>x<y'
      WHERE OwnerID = 362080002;
    UPDATE ProperNames SET Name = 'Ran & <i>co''</i> &copy'
      WHERE OwnerID / 100 = 1653700;
  )sql");
  ProgramResult result =
      RunProgram(EntryPagePath(), "ID=323490000", database.odbcDir);
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(MatchesGolden(result.output, "entry_map_hostile_names.html"));
  size_t start = result.output.find("<svg");
  size_t end = result.output.find("</svg>");
  ASSERT_NE(start, std::string::npos);
  std::string svg = result.output.substr(start, end - start);
  for (const char* text :
       {"<title>Pro&amp;cyon &quot;x&quot; &amp;alpha, 5.26165 light-years",
        "<title>alert(1)x&lt;y, 5.77422 light-years",
        "<title>Ran &amp; co&#39; &amp;copy, 7.84416 light-years"}) {
    EXPECT_NE(svg.find(text), std::string::npos) << text;
  }
  for (const char* markup : {"<b>", "<i>", "<script", "x<y"}) {
    EXPECT_EQ(svg.find(markup), std::string::npos) << markup;
  }
}

}  // namespace
}  // namespace veloran::testing
