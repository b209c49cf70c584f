// The site's page of a search run as a web server runs it, through the real
// driver manager and driver: the stars it lists against the classic page's
// and against a ranking computed here, its pages, its order, its messages,
// and its faults through the ODBC double.

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/reply_check.h"
#include "tests/test_support.h"

namespace veloran::testing {
namespace {

// A reply of the page: its status ("200" without a Status line), its
// Location, and its rows in the order shown, each with its rank, star ID
// and cells' texts.
struct Row {
  int rank;
  std::string id;
  // name, distance, class, magnitude from the centre and from the Earth,
  // constellation
  std::vector<std::string> cells;
};

struct Page {
  std::string status;
  std::string location;
  int matchCount = -1;  // from the caption, -1 without one
  std::vector<Row> rows;
  std::vector<std::string> Ids() const {
    std::vector<std::string> ids;
    for (const Row& row : rows) ids.push_back(row.id);
    return ids;
  }
  std::vector<int> Ranks() const {
    std::vector<int> ranks;
    for (const Row& row : rows) ranks.push_back(row.rank);
    return ranks;
  }
};

std::string Header(const std::string& output, const std::string& name) {
  std::string header = output.substr(0, output.find("\n\n") + 1);
  size_t at = header.find(name + ": ");
  if (at == std::string::npos) return "";
  size_t start = at + name.size() + 2;
  return header.substr(start, header.find('\n', start) - start);
}

// (No std::regex: GCC 12 warns of its internals in the sanitizer build.)

std::string ReplaceAll(std::string text, const std::string& from,
                       const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The texts between each "open" and the next "close" after it.
std::vector<std::string> Between(const std::string& text,
                                 const std::string& open,
                                 const std::string& close) {
  std::vector<std::string> found;
  for (size_t at = text.find(open); at != std::string::npos;
       at = text.find(open, at + 1)) {
    size_t start = at + open.size();
    size_t end = text.find(close, start);
    if (end == std::string::npos) break;
    found.push_back(text.substr(start, end - start));
  }
  return found;
}

// The text of an HTML fragment without its tags.
std::string TextOf(const std::string& html) {
  std::string text;
  bool inTag = false;
  for (char c : html) {
    if (c == '<') inTag = true;
    if (!inTag) text += c;
    if (c == '>') inTag = false;
  }
  return text;
}

// The leading digits of "text" as a number, -1 without any.
int LeadingNumber(const std::string& text) {
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
    ++digits;
  }
  return digits == 0 ? -1 : std::stoi(text.substr(0, digits));
}

// The paragraph of the map's links to other radii, "" without one.
std::string RadiusLinks(const std::string& output) {
  std::vector<std::string> found = Between(output, "<p>Within ", "</p>");
  EXPECT_LE(found.size(), 1u);
  return found.empty() ? "" : "<p>Within " + found[0] + "</p>";
}

Page ReadPage(const std::string& output) {
  Page page;
  page.status = Header(output, "Status").substr(0, 3);
  if (page.status.empty()) page.status = "200";
  page.location = Header(output, "Location");
  for (const std::string& caption :
       Between(output, "<caption id=\"stars-caption\">", "</caption>")) {
    size_t of = caption.find(" of ");
    if (of != std::string::npos) {
      page.matchCount = LeadingNumber(caption.substr(of + 4));
    }
  }
  for (const std::string& row : Between(output, "<tr data-rank=\"", "</tr>")) {
    Row r;
    r.rank = LeadingNumber(row);
    std::string rankCell =
        "\"><td class=\"n\">" + std::to_string(r.rank) + "</td>";
    EXPECT_EQ(row.find(rankCell), std::to_string(r.rank).size()) << row;
    std::string cells = row.substr(row.find("</td>") + 5);
    std::vector<std::string> ids = Between(cells, "entry_page.exe?ID=", "\"");
    if (!ids.empty()) r.id = ids[0];
    for (const std::string& cell : Between(cells, "<td", "</td>")) {
      r.cells.push_back(TextOf(cell.substr(cell.find('>') + 1)));
    }
    page.rows.push_back(r);
  }
  return page;
}

// The classic page's list of the same request: the IDs in order, and the
// count of matches it reports (the IDs listed when it reports none).
struct ClassicList {
  bool accepted;  // a page, not a text/plain message
  std::vector<std::string> ids;
  int matchCount;
};

ClassicList RunClassic(const char* query, const TestDatabase& database) {
  ProgramResult result = RunProgram(ProgramPath(), query, database.odbcDir);
  ClassicList list{
      result.output.rfind("Content-type: text/html", 0) == 0, {}, 0};
  list.ids = Between(result.output, "<A HREF=\"entry_page.exe?ID=", "\">");
  std::vector<std::string> found =
      Between(result.output, "<BR>", " stars were found");
  list.matchCount = found.empty() ? static_cast<int>(list.ids.size())
                                  : LeadingNumber(found[0]);
  return list;
}

Page RunPage(const std::string& query, const TestDatabase& database,
             int* status = nullptr) {
  ProgramResult result =
      RunProgram(NeighboursPath(), query.c_str(), database.odbcDir);
  std::string why;
  EXPECT_TRUE(IsCompleteSitePage(result.output, "200 302 400 404", &why))
      << query << ": " << why;
  if (status != nullptr) *status = result.status;
  return ReadPage(result.output);
}

// 600 stars in 53 places around the Sun: each place, at its own distance
// from the Sun, holds about 11 stars, whose rows arrive in ID order, so
// that many stars share a distance exactly.  Some have names, classes,
// magnitudes and constellations.  Built once for each test (the tests
// of one driver may run at once, each in its own process).
const TestDatabase& ManyStars() {
  static const TestDatabase database = CreateTestDatabase(
      std::string("neighbours_many_") +
          ::testing::UnitTest::GetInstance()->current_test_info()->name(),
      R"sql(
    INSERT INTO Positions (OwnerID, Distance) VALUES (100, 0);
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600)
    INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
                           Dec_arcsec, Distance)
      SELECT i * 1000 + 100000, (i % 53) % 24, (i % 53) * 7 % 60,
             ((i % 53) * 13 % 600) / 10.0, (i % 53) * 37 % 179 - 89,
             (i % 53) % 60, 0.0, 2 + (i % 53) * 0.37
      FROM n;
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600)
    INSERT INTO ProperNames (OwnerID, Name)
      SELECT i * 1000 + 100000, 'Star ' || (i * 7919 % 601) FROM n WHERE i % 3 = 0;
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600)
    INSERT INTO Spectra (OwnerID, SpectralClass, LuminosityClass)
      SELECT i * 1000 + 100001, substr('OBAFGKM', i % 7 + 1, 1) || (i % 10), 'V'
      FROM n WHERE i % 4 <> 0;
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600)
    INSERT INTO StarFacts (OwnerID, VMag, Constellation)
      SELECT i * 1000 + 100000, (i * 37 % 150) / 10.0 - 1,
             substr('OriCMaUMaLyrCen', (i % 5) * 3 + 1, 3)
      FROM n WHERE i % 5 <> 0;
  )sql");
  return database;
}

// The stars of ManyStars around the Sun within "ly", ranked as the
// ranking must: by distance, then in the order the rows arrive.
std::vector<std::string> RankedAroundTheSun(double ly) {
  struct Star {
    double distance;
    int arrival;
    std::string id;
  };
  std::vector<Star> stars;
  for (int i = 1; i <= 600; ++i) {
    double distance = 2 + (i % 53) * 0.37;
    if (distance <= ly) {
      stars.push_back({distance, i, std::to_string(i * 1000 + 100000)});
    }
  }
  std::stable_sort(
      stars.begin(), stars.end(),
      [](const Star& a, const Star& b) { return a.distance < b.distance; });
  std::vector<std::string> ids;
  for (const Star& star : stars) ids.push_back(star.id);
  return ids;
}

// Page 1 lists the classic page's stars in its order, with the count it
// reports, for every request both accept; what the classic page rejects,
// so does the site's.  A star ID the site's page reads as the entry page
// does (StarIdsAsTheEntryPageReadsThem), not as far as it is a number.
TEST(NeighboursTest, FirstPageIsTheClassicList) {
  const struct {
    const TestDatabase* database;
    const char* query;
  } cases[] = {
      {&SampleDatabase(), "ID=100&ly=20"},
      {&SampleDatabase(), "ID=100"},
      {&SampleDatabase(), "ID=323490000&minLY=5&ly=20"},
      {&SampleDatabase(), "ID=716830100&ly=10"},  // a member of a system
      {&SampleDatabase(), "ID=1108930100&ly=10"},
      {&SampleDatabase(),
       "ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10"},
      {&SampleDatabase(), "X=10&Y=10&Z=10&ly=20"},
      {&SampleDatabase(), "X=10&Z=10&ly=20"},  // Z without Y is not read
      {&SampleDatabase(), "Y=10&ly=20"},       // nor Y without X
      {&SampleDatabase(), "ID=&X=1&ly=1e999"},
      {&SampleDatabase(), "ID=100&ly=20&minLY="},
      {&SampleDatabase(), "ID=100&ly=2000&maxRAHour=12&minDecDeg=0"},
      {&SampleDatabase(), "ID=100&ly=2000&minDecDeg=0&minDecMin=30"},
      {&SampleDatabase(), "ID=100&ly=2000&minRASec=59.999999999"},
      {&SampleDatabase(), "ID=100&ly=2000&maxRAHour=&maxDecDeg="},
      {&SampleDatabase(), "ID=999900&ly=20"},  // no such star
      {&SampleDatabase(), "X=1e6&ly=2"},       // no match
      {&SampleDatabase(), "ID=150"},           // rejected, from here on
      {&SampleDatabase(), "ID=-100"},
      {&SampleDatabase(), "ly="},
      {&SampleDatabase(), "ly=1.999"},
      {&SampleDatabase(), "ly=10&minLY=11"},
      {&SampleDatabase(), "minRAHour=24"},
      {&SampleDatabase(), "maxRAMin=60"},
      {&SampleDatabase(), "minDecSec=60"},
      {&SampleDatabase(), "maxDecDeg=90"},
      {&SampleDatabase(), "minRAHour=7&maxRAHour=6"},
      {&SampleDatabase(), "minDecDeg=10&maxDecDeg=-10"},
      {&ManyStars(), "ID=100&ly=1000"},
      {&ManyStars(), "ID=100&ly=10"},
      {&ManyStars(), "ID=100&ly=10&minLY=5"},
      {&ManyStars(), "X=3&Y=-2&Z=1&ly=12"},
      {&ManyStars(), "ID=100&ly=1000&minDecDeg=-30&maxDecDeg=30"},
      {&ManyStars(), "ID=100&ly=1000&minRAHour=3&maxRAHour=17&maxRAMin=30"},
  };
  for (const auto& c : cases) {
    ClassicList classic = RunClassic(c.query, *c.database);
    int status = 0;
    Page page = RunPage(c.query, *c.database, &status);
    if (!classic.accepted) {
      EXPECT_EQ(page.status, "400") << c.query;
      EXPECT_EQ(status, 255) << c.query;
      continue;
    }
    EXPECT_EQ(page.Ids(), classic.ids) << c.query;
    if (!classic.ids.empty()) {
      EXPECT_EQ(page.matchCount, classic.matchCount) << c.query;
    }
    EXPECT_EQ(page.status,
              std::string(c.query).find("999900") != std::string::npos ? "404"
                                                                       : "200")
        << c.query;
  }
}

// The pages of any size list the whole ranking once, in order: the
// classic page's 100 first, then at equal distances in the order the rows
// arrive, as ranked here independently.  A page past the last is a 404
// that leads to the last.
TEST(NeighboursTest, PagesListEveryMatchOnce) {
  const TestDatabase& database = ManyStars();
  std::vector<std::string> ranked = RankedAroundTheSun(1000);
  ASSERT_EQ(ranked.size(), 600u);
  ClassicList classic = RunClassic("ID=100&ly=1000", database);
  ASSERT_EQ(classic.ids.size(), 100u);
  EXPECT_EQ(classic.ids,
            std::vector<std::string>(ranked.begin(), ranked.begin() + 100));
  for (int size : {37, 100, 250, 1000}) {
    std::vector<std::string> listed;
    std::vector<int> ranks;
    int pages = (600 + size - 1) / size;
    for (int number = 1; number <= pages; ++number) {
      std::string query = "ID=100&ly=1000&size=" + std::to_string(size) +
                          "&page=" + std::to_string(number);
      Page page = RunPage(query, database);
      EXPECT_EQ(page.status, "200") << query;
      EXPECT_EQ(page.matchCount, 600) << query;
      std::vector<std::string> ids = page.Ids();
      listed.insert(listed.end(), ids.begin(), ids.end());
      std::vector<int> r = page.Ranks();
      ranks.insert(ranks.end(), r.begin(), r.end());
    }
    EXPECT_EQ(listed, ranked) << "size " << size;
    std::vector<int> expectedRanks(600);
    for (int i = 0; i < 600; ++i) expectedRanks[i] = i + 1;
    EXPECT_EQ(ranks, expectedRanks) << "size " << size;
    std::string past = "ID=100&ly=1000&size=" + std::to_string(size) +
                       "&page=" + std::to_string(pages + 1);
    ProgramResult result =
        RunProgram(NeighboursPath(), past.c_str(), database.odbcDir);
    EXPECT_EQ(ReadPage(result.output).status, "404") << past;
    EXPECT_EQ(result.status, 0) << past;
    std::vector<std::string> last =
        Between(result.output, "href=\"neighbours?", "\">The last page</a>");
    ASSERT_EQ(last.size(), 1u) << past;
    Page lastPage = RunPage(ReplaceAll(last[0], "&amp;", "&"), database);
    ASSERT_FALSE(lastPage.rows.empty()) << past;
    EXPECT_EQ(lastPage.rows.back().rank, 600) << past;
  }
  // Pages of one star, on a smaller search.
  std::vector<std::string> near = RankedAroundTheSun(3.2);
  ASSERT_GT(near.size(), 30u);
  std::vector<std::string> listed;
  for (size_t number = 1; number <= near.size(); ++number) {
    Page page = RunPage("ID=100&ly=3.2&size=1&page=" + std::to_string(number),
                        database);
    ASSERT_EQ(page.rows.size(), 1u) << number;
    listed.push_back(page.rows[0].id);
  }
  EXPECT_EQ(listed, near);
}

// Filters keep the stars of the whole result whose values pass, checked
// here against the unfiltered list: the class's letter, the magnitude from
// the centre computed here from V and the two distances, and the entry
// page's word on a doubtful distance.  The caption counts what is kept.
TEST(NeighboursTest, FiltersTheWholeResult) {
  TestDatabase database = SampleCopy(
      "neighbours_filters",
      // Procyon's parallax, 285.93 mas, known to within 200 mas: doubtful.
      "UPDATE StarFacts SET ParallaxError = 200 WHERE OwnerID = 372790000;");
  const std::string base = "ID=323490000&ly=30&size=1000";
  std::vector<Row> all = RunPage(base, database).rows;
  ASSERT_GT(all.size(), 15u);
  // The list marks the doubtful distance, and only that one.
  for (const Row& row : all) {
    EXPECT_EQ(row.cells[1].find("doubtful") != std::string::npos,
              row.id == "372790000")
        << row.id << ": " << row.cells[1];
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(database.path.c_str(), &db, SQLITE_OPEN_READONLY,
                            nullptr),
            SQLITE_OK);
  auto sunDistance = [db](const std::string& id) {
    sqlite3_stmt* row = nullptr;
    std::string sql =
        "SELECT Distance FROM Positions WHERE OwnerID = " + id + " LIMIT 1";
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &row, nullptr),
              SQLITE_OK);
    double distance =
        sqlite3_step(row) == SQLITE_ROW ? sqlite3_column_double(row, 0) : -1;
    sqlite3_finalize(row);
    return distance;
  };
  auto number = [](std::string text) {
    bool minus = text.rfind("&minus;", 0) == 0;
    if (minus) text = text.substr(7);
    return text.empty() ? std::nan("")
                        : (minus ? -1 : 1) * std::strtod(text.c_str(), nullptr);
  };
  struct Kept {
    const char* filter;
    std::function<bool(const Row&)> keeps;
  };
  auto magnitude = [&](const Row& row) {
    double v = number(row.cells[4]);
    double fromSun = sunDistance(row.id);
    double fromCentre = std::strtod(row.cells[1].c_str(), nullptr);
    if (std::isnan(v) || fromSun < 0 || fromCentre <= 0) return std::nan("");
    // The Sun, at distance 0, has its V from the Earth, one au away.
    double parsecs = fromSun == 0 ? 1 / 206264.806 : fromSun / 3.26156;
    return v - 5 * std::log10(parsecs / 10) +
           5 * std::log10(fromCentre / 32.6156);
  };
  auto letter = [](const Row& row) {
    size_t at = row.cells[2].find_first_not_of("abcdefghijklmnopqrstuvwxyz");
    return at == std::string::npos ? '\0' : row.cells[2][at];
  };
  auto doubtful = [&](const Row& row) {
    std::string query = "ID=" + row.id;
    return RunProgram(EntryPagePath(), query.c_str(), database.odbcDir)
               .output.find("<strong>Doubtful:</strong>") != std::string::npos;
  };
  const Kept cases[] = {
      {"class=M", [&](const Row& r) { return letter(r) == 'M'; }},
      {"class=gk",
       [&](const Row& r) { return letter(r) == 'G' || letter(r) == 'K'; }},
      {"maxMag=6.5", [&](const Row& r) { return magnitude(r) <= 6.5 + 0.005; }},
      {"doubtful=hide", [&](const Row& r) { return !doubtful(r); }},
      {"class=KM&maxMag=9&doubtful=hide",
       [&](const Row& r) {
         return (letter(r) == 'K' || letter(r) == 'M') &&
                magnitude(r) <= 9.005 && !doubtful(r);
       }},
  };
  for (const Kept& c : cases) {
    std::vector<std::string> expected;
    for (const Row& row : all) {
      if (c.keeps(row)) expected.push_back(row.id);
    }
    Page page = RunPage(base + "&" + c.filter, database);
    EXPECT_EQ(page.Ids(), expected) << c.filter;
    EXPECT_EQ(page.matchCount, static_cast<int>(expected.size())) << c.filter;
    EXPECT_LT(expected.size(), all.size()) << c.filter << " keeps every star";
    // Sorted by magnitude from the centre, brightest first, as computed
    // here.
    Page bright = RunPage(base + "&" + c.filter + "&sort=mag", database);
    ASSERT_EQ(bright.rows.size(), expected.size()) << c.filter;
    for (size_t i = 1; i < bright.rows.size(); ++i) {
      EXPECT_LE(magnitude(bright.rows[i - 1]), magnitude(bright.rows[i]) + 0.01)
          << c.filter << " " << i;
    }
  }
  sqlite3_close(db);
  // Filters stay in the pages' links.
  std::string output = RunProgram(NeighboursPath(),
                                  "ID=323490000&ly=30&size=2&class=M&maxMag=14",
                                  database.odbcDir)
                           .output;
  EXPECT_NE(output.find("page=2&amp;class=M&amp;maxMag=14\""),
            std::string::npos);
  EXPECT_NE(output.find(" M stars up to magnitude 14 from the centre (of "),
            std::string::npos);
}

// Sorting orders the whole result, which the pages then cut: by each
// column, either way, a star without a value last, equal values in the
// ranking's order.
TEST(NeighboursTest, SortsTheWholeResult) {
  const TestDatabase& database = SampleDatabase();
  const std::string base = "ID=100&ly=20";
  Page plain = RunPage(base, database);
  ASSERT_EQ(plain.rows.size(), 26u);
  auto rowsOf = [&](const std::string& sort) {
    return RunPage(base + sort, database).rows;
  };
  auto ids = [](const std::vector<Row>& rows) {
    std::vector<std::string> out;
    for (const Row& row : rows) out.push_back(row.id);
    return out;
  };
  auto sorted = [](std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  };

  // Distance, descending: the ranking reversed.
  std::vector<std::string> reversed = plain.Ids();
  std::reverse(reversed.begin(), reversed.end());
  EXPECT_EQ(ids(rowsOf("&order=desc")), reversed);
  EXPECT_EQ(ids(rowsOf("&sort=distance&order=asc")), plain.Ids());

  // Magnitude: by value, then rank; Kruger 60 A and Luyten's Star share
  // 9.80, and 11.10 is shared too.
  for (const char* order : {"asc", "desc"}) {
    std::vector<Row> rows = rowsOf(std::string("&sort=mag&order=") + order);
    EXPECT_EQ(sorted(ids(rows)), sorted(plain.Ids()));
    for (size_t i = 1; i < rows.size(); ++i) {
      double a = std::strtod(rows[i - 1].cells[3].c_str(), nullptr);
      double b = std::strtod(rows[i].cells[3].c_str(), nullptr);
      if (rows[i - 1].cells[3].find("minus") != std::string::npos) a = -a;
      if (rows[i].cells[3].find("minus") != std::string::npos) b = -b;
      if (a == b) {
        EXPECT_LT(rows[i - 1].rank, rows[i].rank) << order << " " << i;
      } else {
        EXPECT_EQ(a < b, std::string(order) == "asc") << order << " " << i;
      }
    }
  }
  // Names, naturally ordered: digits by their value.
  std::vector<std::string> names;
  for (const Row& row : rowsOf("&sort=name")) names.push_back(row.cells[0]);
  const std::vector<std::string> expectedNames = {
      "61 Cyg A",      "Al Naymat II",  "Altair",        "Barnard's Star",
      "Bessel's Star", "&epsilon; Ind", "HD 1326",       "HD 173739",
      "HD 173740",     "HD 202560",     "HD 217987",     "HIP 5643",
      "HIP 30920",     "HIP 57548",     "HIP 92403",     "Kapteyn's Star",
      "Kruger 60 A",   "Kruger 60 B",   "Lalande 21185", "Luyten's Star",
      "Procyon",       "Proxima",       "Ran",           "Rigil Kentaurus",
      "Sirius",        "Toliman"};
  EXPECT_EQ(names, expectedNames);
  std::vector<std::string> backwards;
  for (const Row& row : rowsOf("&sort=name&order=desc")) {
    backwards.push_back(row.cells[0]);
  }
  EXPECT_EQ(backwards, std::vector<std::string>(expectedNames.rbegin(),
                                                expectedNames.rend()));
  // Classes by temperature, hottest first; Kruger 60 B, without one, last
  // either way.
  std::vector<std::string> classes;
  for (const Row& row : rowsOf("&sort=class")) classes.push_back(row.cells[2]);
  ASSERT_EQ(classes.size(), 26u);
  EXPECT_EQ(std::vector<std::string>(classes.begin(), classes.begin() + 6),
            (std::vector<std::string>{"A1 V+DA", "A7 V", "F5 IV-V+DQZ", "G2 V",
                                      "G8 V", "K1 V"}));
  EXPECT_EQ(classes.back(), "");
  std::vector<Row> coolest = rowsOf("&sort=class&order=desc");
  EXPECT_EQ(coolest.front().cells[2], "M5.5 Ve");
  EXPECT_EQ(coolest.back().cells[2], "");
  // Constellations: the three in Centaurus in the ranking's order, either
  // way.
  for (const char* order : {"asc", "desc"}) {
    std::vector<std::string> centaurus;
    for (const Row& row :
         rowsOf(std::string("&sort=constellation&order=") + order)) {
      if (row.cells[5] == "Centaurus") centaurus.push_back(row.id);
    }
    EXPECT_EQ(centaurus,
              (std::vector<std::string>{"708900000", "716810200", "716830100"}))
        << order;
  }
  // The whole result: page 2 of 10 sorted holds the 11th to the 20th of
  // the whole list sorted, for each column and order.
  for (const char* sort : {"name", "class", "mag", "vmag", "constellation"}) {
    for (const char* order : {"asc", "desc"}) {
      std::string sorting = std::string("&sort=") + sort + "&order=" + order;
      std::vector<std::string> whole = ids(rowsOf(sorting));
      Page second = RunPage(base + "&size=10&page=2" + sorting, database);
      EXPECT_EQ(second.Ids(), std::vector<std::string>(whole.begin() + 10,
                                                       whole.begin() + 20))
          << sorting;
    }
  }
  // ManyStars, with many equal values: ties keep the ranking's order.
  for (const char* sort : {"name", "class", "mag", "vmag", "constellation"}) {
    for (const char* order : {"asc", "desc"}) {
      std::string query = std::string("ID=100&ly=1000&size=1000&sort=") + sort +
                          "&order=" + order;
      Page page = RunPage(query, ManyStars());
      ASSERT_EQ(page.rows.size(), 600u) << query;
      int column = std::string(sort) == "name"    ? 0
                   : std::string(sort) == "class" ? 2
                   : std::string(sort) == "mag"   ? 3
                   : std::string(sort) == "vmag"  ? 4
                                                  : 5;
      bool empties = false;
      for (size_t i = 0; i < page.rows.size(); ++i) {
        const std::string& value = page.rows[i].cells[column];
        // A star without a name is shown as "star N".
        if (value.empty() || value == "star " + page.rows[i].id) {
          empties = true;
        } else {
          EXPECT_FALSE(empties) << query << ": a value after an empty one";
        }
        if (i > 0 && value == page.rows[i - 1].cells[column]) {
          EXPECT_LT(page.rows[i - 1].rank, page.rows[i].rank) << query;
        }
      }
      EXPECT_TRUE(empties) << query;
    }
  }
}

// The entry page and the search around a star take the same star IDs:
// a link to one made from the other, or shared, leads to the same star or
// to the same refusal (400).  Only digits without a leading zero are an ID.
TEST(NeighboursTest, StarIdsAsTheEntryPageReadsThem) {
  const TestDatabase& database = SampleDatabase();
  const struct {
    const char* id;  // the value sent, encoded
    bool taken;
  } cases[] = {
      {"100", true},
      {"323490000", true},
      {"999900", true},  // no such star: 404 from both
      {"0100", false},
      {"00100", false},
      {"%2B100", false},
      {"%20100", false},
      {"100%20", false},
      {"100abc", false},
      {"100.0", false},
      {"1e2", false},
      {"150", false},
      {"0", false},
      {"2147483700", false},
  };
  for (const auto& c : cases) {
    // "star" takes a name too: only digits are read as an ID there, and
    // anything else goes to the finder (302).
    bool digits = std::strspn(c.id, "0123456789") == std::strlen(c.id);
    for (const char* name : {"ID", "star"}) {
      std::string query = std::string(name) + "=" + c.id;
      ProgramResult neighbours =
          RunProgram(NeighboursPath(), query.c_str(), database.odbcDir);
      std::string status = ReadPage(neighbours.output).status;
      if (name[0] == 's' && !digits) {
        EXPECT_EQ(status, "302") << query;
        continue;
      }
      EXPECT_EQ(status != "400", c.taken) << query << ": " << status;
      if (!c.taken) {
        EXPECT_NE(neighbours.output.find("A star&#39;s ID must be"),
                  std::string::npos)
            << query;
      }
    }
    std::string query = std::string("ID=") + c.id;
    ProgramResult entry =
        RunProgram(EntryPagePath(), query.c_str(), database.odbcDir);
    std::string status = ReadPage(entry.output).status;
    EXPECT_EQ(status != "400", c.taken) << "entry page " << query << ": "
                                        << status;
  }
}

// Each rejected parameter is answered with its message on a page of the
// site (400), with the form; the window's messages are the classic page's.
TEST(NeighboursTest, RejectedRequests) {
  const TestDatabase& database = SampleDatabase();
  const std::string kId =
      "A star&#39;s ID must be a multiple of 100 greater than 0 (the Sun is "
      "100).";
  const std::string longName = "star=" + std::string(256, 'x');
  const struct {
    std::string query;
    std::string message;  // as the page writes it, escaped
    bool classic;         // the classic page's message too
  } cases[] = {
      {"ID=150", kId, false},
      {"ID=0", kId, false},
      {"ID=-100", kId, false},
      {"ID=2147483700", kId, false},
      {"star=150", kId, false},
      {"star=0", kId, false},
      {"star=%25%25",
       "The star&#39;s name has no letter or digit to search by.", false},
      {longName, "The star&#39;s name is too long.", false},
      // Short, but too long once written into the finder's address.
      {"star=a" + std::string(200, '*'), "The star&#39;s name is too long.",
       false},
      {"ly=1", "Search radius must be at least 2 light-years.", true},
      {"ID=100&ly=", "Search radius must be at least 2 light-years.", true},
      // Where the classic page reads a value that is no number as 0, the
      // site's page says what is wrong.
      {"ID=100&ly=abc", "The largest distance (ly) is not a number.", false},
      {"ly=20&minLY=1x", "The smallest distance (minLY) is not a number.",
       false},
      {"maxDecSec=nan",
       "The seconds of the largest declination (maxDecSec) are not a number.",
       false},
      {"ly=10&minLY=11",
       "Minimum search radius cannot be greater than maximum search radius.",
       true},
      {"minRAHour=-1",
       "Minimum right ascension hours must be between 0 and 23 inclusive.",
       true},
      {"maxRASec=60",
       "Maximum right ascension seconds must be &gt;= 0 and "
       "&lt; 60.",
       true},
      {"minDecDeg=-90",
       "Minimum declination degrees must be between -89 and +89 inclusive.",
       true},
      {"minRAHour=7&maxRAHour=6",
       "Minimum right ascension cannot be greater than maximum right "
       "ascension.",
       true},
      {"ID=100&page=0", "The page must be a whole number from 1 to 2000000.",
       false},
      {"ID=100&page=2000001",
       "The page must be a whole number from 1 to 2000000.", false},
      {"ID=100&page=%2B2", "The page must be a whole number from 1 to 2000000.",
       false},
      {"ID=100&page=1.0", "The page must be a whole number from 1 to 2000000.",
       false},
      {"ID=100&page=02", "The page must be a whole number from 1 to 2000000.",
       false},
      {"ID=100&size=0",
       "The number of stars on a page (size) must be a whole number from 1 "
       "to 1000.",
       false},
      {"ID=100&size=1001",
       "The number of stars on a page (size) must be a whole number from 1 "
       "to 1000.",
       false},
      {"ID=100&size=050",
       "The number of stars on a page (size) must be a whole number from 1 "
       "to 1000.",
       false},
      {"ID=100&size=1e2",
       "The number of stars on a page (size) must be a whole number from 1 "
       "to 1000.",
       false},
      {"ID=100&sort=Name",
       "The column to sort by must be distance, name, class, mag, vmag "
       "or constellation.",
       false},
      {"ID=100&class=G2",
       "The classes to keep (class) must be spectral letters, such as GK.",
       false},
      {"ID=100&class=ABCDEFGHIJKLMNOP",
       "The classes to keep (class) must be spectral letters, such as GK.",
       false},
      {"ID=100&maxMag=bright",
       "The faintest magnitude to keep (maxMag) must be a number, such as "
       "6.5.",
       false},
      {"ID=100&maxMag=1e999",
       "The faintest magnitude to keep (maxMag) must be a number, such as "
       "6.5.",
       false},
      {"ID=100&doubtful=no", "Doubtful distances (doubtful) are hide or show.",
       false},
      {"ID=100&order=up", "The order must be asc or desc.", false},
      {"ID=100&plane=zx", "The map&#39;s plane must be xy, xz, yz or sky.",
       false},
      {"ID=100&format=pdf", "The download format must be csv, json or votable.",
       false},
  };
  for (const auto& c : cases) {
    ProgramResult result =
        RunProgram(NeighboursPath(), c.query.c_str(), database.odbcDir);
    EXPECT_EQ(ReadPage(result.output).status, "400") << c.query;
    EXPECT_EQ(result.status, 255) << c.query;
    EXPECT_NE(result.output.find("<p class=\"error\">" + c.message + "</p>"),
              std::string::npos)
        << c.query;
    EXPECT_NE(
        result.output.find("<form class=\"search\" action=\"neighbours\""),
        std::string::npos)
        << c.query;
    std::string why;
    EXPECT_TRUE(IsCompleteSitePage(result.output, "400", &why))
        << c.query << ": " << why;
    if (c.classic) {
      std::string plain =
          ReplaceAll(ReplaceAll(c.message, "&gt;", ">"), "&lt;", "<");
      EXPECT_EQ(
          RunProgram(ProgramPath(), c.query.c_str(), database.odbcDir).output,
          "Content-type: text/plain\n\n" + plain + "\n")
          << c.query;
    }
  }
}

// A star by its name: one star is searched around at once; a name of
// several stars or none goes to the finder with the window's parameters,
// which the redirect writes as one header line, whatever the name holds.
TEST(NeighboursTest, StarByName) {
  const TestDatabase& database = SampleDatabase();
  const struct {
    const char* query;
    const char* status;
    const char* location;  // or the classic query of the same search
  } cases[] = {
      {"star=Sirius&ly=10", "200", "ID=323490000&ly=10"},
      {"star=%CE%B1+CMa&ly=10", "200", "ID=323490000&ly=10"},
      {"star=alpha+Canis+Majoris&ly=10", "200", "ID=323490000&ly=10"},
      {"star=the+Sun&ly=20", "200", "ID=100&ly=20"},
      {"star=100&ly=20", "200", "ID=100&ly=20"},
      {"star=Sirius&ID=100&ly=20", "200", "ID=100&ly=20"},
      {"star=&ID=&X=10&Y=10&Z=10&ly=20", "200", "X=10&Y=10&Z=10&ly=20"},
      {"star=Sirius&X=10&Y=10&Z=10&ly=20", "200", "ID=323490000&ly=20"},
      {"star=alpha+Cen&ly=10&maxDecDeg=-10", "302",
       "find_star?ly=10&maxDecDeg=-10&star=alpha+Cen"},
      {"star=Nosuchstar", "302", "find_star?star=Nosuchstar"},
      {"star=Sirus&minLY=2.50&ly=20", "302",
       "find_star?ly=20&minLY=2.5&star=Sirus"},
      {"star=No%0D%0ALocation:+x%27%22", "302",
       "find_star?star=No%0D%0ALocation%3A+x%27%22"},
  };
  for (const auto& c : cases) {
    ProgramResult result =
        RunProgram(NeighboursPath(), c.query, database.odbcDir);
    Page page = ReadPage(result.output);
    EXPECT_EQ(page.status, c.status) << c.query;
    EXPECT_EQ(result.status, 0) << c.query;
    if (std::string(c.status) == "302") {
      EXPECT_EQ(page.location, c.location) << c.query;
    } else {
      EXPECT_EQ(page.Ids(), RunClassic(c.location, database).ids) << c.query;
    }
  }
  // The finder's list then leads back here, to each star's search.
  ProgramResult list = RunProgram(
      FindStarPath(), "ly=10&maxDecDeg=-10&star=alpha+Cen", database.odbcDir);
  EXPECT_NE(
      list.output.find(
          "<a href=\"neighbours?ID=708900000&amp;ly=10&amp;maxDecDeg=-10\">"),
      std::string::npos);
}

// The page's links ask for the same search: the classic page's link gives
// the classic page of the request byte for byte, however its values were
// written, and the links to other pages and orders keep the window.
TEST(NeighboursTest, LinksAskForTheSameSearch) {
  const TestDatabase& database = SampleDatabase();
  // Each with the classic page's query as the link writes it: every value
  // that differs from its default, and to the last digit.
  const struct {
    const char* query;
    const char* classic;
  } cases[] = {
      {"ID=100&ly=20", "ID=100&ly=20"},
      {"ID=%31%300&ly=20.000&minLY=+2&maxRAHour=23&maxRAMin=0",
       "ID=100&ly=20&minLY=2&maxRAHour=23"},
      {"X=1e1&Y=-0&Z=&ly=2e1", "X=10&Y=-0&Z=0&ly=20"},
      {"X=-1.5&Y=3.25&Z=1e-7&ly=1e999&minLY=-1e999",
       "X=-1.5&Y=3.25&Z=1e-07&ly=1e999&minLY=-1e999"},
      {"ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10&"
       "maxDecSec=0.5",
       "ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10&"
       "maxDecSec=0.5"},
      {"ly=2000&minDecDeg=-0&minDecMin=30&minRASec=12.345678901234567&"
       "X=1234567.25",
       "X=1234567.25&Y=0&Z=0&ly=2000&minRAHour=0&minRASec=12.345678901234567&"
       "minDecDeg=0&minDecMin=30"},
      {"X=1e300&Y=1e-300&ly=1e22", "X=1e%2B300&Y=1e-300&Z=0&ly=1e%2B22"},
      {"star=Sirius&ly=25&minDecMin=1&maxDecMin=",
       "ID=323490000&ly=25&minDecDeg=-89&minDecMin=1&maxDecDeg=89"},
  };

  for (const auto& c : cases) {
    const char* query = c.query;
    ProgramResult page = RunProgram(NeighboursPath(), query, database.odbcDir);
    std::vector<std::string> classic =
        Between(page.output, "href=\"neighbor_search?", "\"");
    ASSERT_EQ(classic.size(), 1u) << query;
    std::string linked = ReplaceAll(classic[0], "&amp;", "&");
    EXPECT_EQ(linked, c.classic) << query;
    std::string original = query;
    if (original.rfind("star=Sirius", 0) == 0) {
      original.replace(0, 11, "ID=323490000");
    }
    EXPECT_EQ(
        RunProgram(ProgramPath(), linked.c_str(), database.odbcDir).output,
        RunProgram(ProgramPath(), original.c_str(), database.odbcDir).output)
        << query << " -> " << linked;
    int links = 0;
    Page first = ReadPage(page.output);
    // All but the links to other radii (RadiusLinksZoomTheMap).
    std::string radii = RadiusLinks(page.output);
    std::string output = page.output;
    if (!radii.empty()) output.erase(output.find(radii), radii.size());
    for (std::string href : Between(output, "href=\"neighbours?", "\"")) {
      if (href.size() > 4 && href.compare(href.size() - 4, 4, "#map") == 0) {
        href.resize(href.size() - 4);
      }
      std::string next = ReplaceAll(href, "&amp;", "&");
      if (next.find("format=") != std::string::npos) continue;
      ++links;
      Page linkedPage = RunPage(next, database);
      EXPECT_EQ(linkedPage.matchCount, first.matchCount) << next;
      std::vector<std::string> a = linkedPage.Ids();
      std::vector<std::string> b = first.Ids();
      std::sort(a.begin(), a.end());
      std::sort(b.begin(), b.end());
      EXPECT_EQ(a, b) << next;
    }
    EXPECT_GE(links, first.rows.empty() ? 0 : 8) << query;
  }
}

// The map's links to the same search within other radii, which zoom it
// without a script: the two radii of 2, 5, 10, 20, 50 ... below the
// search's (above its smallest distance) and the two above, the search's
// own between them, each link the search's own address with its radius
// and at its map; each lists the stars of the search within its radius.
TEST(NeighboursTest, RadiusLinksZoomTheMap) {
  const TestDatabase& database = SampleDatabase();
  const struct {
    const char* query;
    const char* links;  // with "{R}" for each radius
    std::vector<std::string> radii;
    const char* shown;  // the search's own, "" for no links
  } cases[] = {
      {"ID=100&ly=20", "ID=100&ly={R}", {"5", "10", "50", "100"}, "20"},
      {"ID=100&ly=15&minLY=5&sort=name&order=desc&plane=xz",
       "ID=100&ly={R}&minLY=5&sort=name&order=desc&plane=xz",
       {"10", "20", "50"},
       "15"},
      {"ID=100&ly=4.4&size=2&page=2", "ID=100&ly={R}&size=2", {"2", "5", "10"},
       "4.4"},
      {"ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10",
       "ly={R}&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10",
       {"200", "500", "2000", "5000"},
       "1000"},
      {"ID=100&ly=1e999", "", {}, ""},
  };
  for (const auto& c : cases) {
    ProgramResult result =
        RunProgram(NeighboursPath(), c.query, database.odbcDir);
    std::string radii = RadiusLinks(result.output);
    if (c.shown[0] == '\0') {
      EXPECT_EQ(radii, "") << c.query;
      continue;
    }
    EXPECT_NE(radii.find(std::string("<strong>") + c.shown + "</strong>"),
              std::string::npos)
        << c.query << "\n" << radii;
    std::vector<std::string> expected;
    for (const std::string& radius : c.radii) {
      expected.push_back(ReplaceAll(ReplaceAll(c.links, "{R}", radius), "&",
                                    "&amp;") +
                         "#map\">" + radius + "</a>");
    }
    std::vector<std::string> links =
        Between(radii, "<a class=\"same-order\" href=\"neighbours?", " ");
    EXPECT_EQ(links, expected) << c.query;
    // Within a smaller radius, the search's stars up to it; within a
    // larger one, every star of the search's first page and more.
    Page whole = RunPage(ReplaceAll(c.query, "page=2", "page=1"), database);
    double radius = std::stod(c.shown);
    for (const std::string& within : c.radii) {
      std::string query = ReplaceAll(c.links, "{R}", within);
      Page linked = RunPage(query, database);
      std::vector<std::string> ids = linked.Ids();
      std::sort(ids.begin(), ids.end());
      std::vector<std::string> nearer;
      for (const Row& row : whole.rows) {
        if (std::stod(row.cells[1]) <= std::stod(within)) {
          nearer.push_back(row.id);
        }
      }
      std::sort(nearer.begin(), nearer.end());
      if (std::stod(within) < radius) {
        EXPECT_EQ(ids, nearer) << query;
      } else {
        EXPECT_TRUE(std::includes(ids.begin(), ids.end(), nearer.begin(),
                                  nearer.end()))
            << query;
        EXPECT_GE(linked.matchCount, whole.matchCount) << query;
      }
    }
  }
}

// A download is the list's own reply, written whole by the downloads,
// never the page; a page past the last is the page's 404 all the same.
TEST(NeighboursTest, Downloads) {
  const TestDatabase& database = SampleDatabase();
  for (const char* query :
       {"ID=100&ly=20&format=csv", "ID=100&ly=20&format=json&size=10&page=3",
        "X=1e6&ly=2&format=votable", "star=Sirius&format=csv"}) {
    ProgramResult result =
        RunProgram(NeighboursPath(), query, database.odbcDir);
    EXPECT_EQ(result.status, 0) << query;
    EXPECT_EQ(result.output.find("<!DOCTYPE html>"), std::string::npos)
        << query;
    EXPECT_NE(result.output.find("\n\n"), std::string::npos) << query;
  }
  // The files byte for byte: around Proxima (the errors of the distances
  // from a star), and around the Sun, whose list has stars of an earlier
  // epoch and of no known epoch.
  const PageCase files[] = {
      {"ID=708900000&ly=2&format=votable", "download_proxima.vot", 0},
      {"ID=100&ly=12&format=csv", "download_sun_12ly.csv", 0},
      {"ID=100&ly=6&format=json", "download_sun_6ly.json", 0},
  };
  ExpectPages(NeighboursPath(), database, files, std::size(files));
}

// A download that cannot be made is answered in the format asked for, never
// by an HTML page, with the page's status; a database fault too.
TEST(NeighboursTest, DownloadErrorsInTheirFormat) {
  const TestDatabase& database = SampleDatabase();
  const struct {
    const char* query;
    const char* faults;  // nullptr: the real program
    const char* golden;
    int status;
  } cases[] = {
      {"ID=100&ly=20&format=csv&page=2", nullptr, "download_past_last.csv", 0},
      {"ID=100&ly=abc&format=json", nullptr, "download_rejected.json", 255},
      {"star=nosuchstarxyz&format=votable", nullptr, "download_no_star.vot", 0},
      {"star=alpha+Cen&ly=10&format=csv", nullptr, "download_which_star.csv",
       0},
      {"ID=999900&format=json", nullptr, "download_unknown_star.json", 0},
      {"ID=100&ly=20&format=json", "Connect", "download_unavailable.json",
       255},
      {"ID=100&ly=20&format=votable", "ExecFail:FROM Spectra",
       "download_database_fault.vot", 255},
      // No format chosen: the page.
      {"ID=100&ly=abc&format=xls", nullptr, "download_unknown_format.html",
       255},
  };
  for (const auto& c : cases) {
    ProgramResult result =
        c.faults == nullptr
            ? RunProgram(NeighboursPath(), c.query, database.odbcDir)
            : RunProgram(NeighboursDoublePath(), c.query, database.odbcDir,
                         {std::string("VELORAN_ODBC_FAULTS=") + c.faults});
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << c.query;
    EXPECT_EQ(result.status, c.status) << c.query;
  }
}

TEST(NeighboursTest, SamplePages) {
  const PageCase cases[] = {
      {"ID=100&ly=20", "neighbours_sun_20ly.html", 0},
      {"ID=100&ly=20&size=10&page=2&sort=name&order=desc&plane=sky",
       "neighbours_sun_page2_by_name.html", 0},
      {"ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10&size=1",
       "neighbours_orion_first.html", 0},
      {"ID=100&ly=20&page=3&size=25", "neighbours_past_last.html", 0},
      {"X=1e6&ly=2", "neighbours_no_match.html", 0},
      {"ID=999900", "neighbours_unknown_star.html", 0},
      {"star=alpha+Cen&ly=10&maxDecDeg=-10", "neighbours_which_star.html", 0},
      {"star=%3Cb%3E%22O%27Neil%22&X=1&ly=1&maxRAHour=6&minDecMin=5&sort=mag&"
       "plane=bad",
       "neighbours_rejected.html", 255},
      // The form shows the fields' control bytes as the finder does.
      {"star=Sx%01ri%09u%0As%7F&X=1&ly=1%0D%1F&maxRAHour=6",
       "neighbours_rejected_controls.html", 255},
  };
  ExpectPages(NeighboursPath(), SampleDatabase(), cases, std::size(cases));
}

TEST(NeighboursTest, HostileQueries) {
  const TestDatabase& database = SampleDatabase();
  std::string before = ReadFile(database.path);
  for (const std::string& query : HostileQueries()) {
    ProgramResult result =
        RunProgram(NeighboursPath(), query.c_str(), database.odbcDir);
    std::string why;
    EXPECT_TRUE(IsCompleteSitePage(result.output, "200 302 400 404", &why))
        << query.substr(0, 80) << ": " << why;
    EXPECT_TRUE(result.status == 0 || result.status == 255)
        << query.substr(0, 80);
    // What of the request a page shows, it shows escaped.
    EXPECT_EQ(result.output.find("<script>"), std::string::npos);
    EXPECT_EQ(result.output.find("<b>"), std::string::npos);
    std::string header = result.output.substr(0, result.output.find("\n\n"));
    EXPECT_EQ(header.find('\r'), std::string::npos) << query.substr(0, 80);
  }
  EXPECT_EQ(ReadFile(database.path), before);
}

// The paging line names the first and last pages and two either side of
// the current one, a gap of one page by its number, a longer one by an
// ellipsis; Previous and Next where there are such pages.
TEST(NeighboursTest, PagingLine) {
  const TestDatabase& database = SampleDatabase();
  const struct {
    int page;
    const char* line;  // "[n]" the current page, "..." a gap
  } cases[] = {
      {1, "(Previous) [1] 2 3 ... 10 Next"},
      {2, "Previous 1 [2] 3 4 ... 10 Next"},
      {4, "Previous 1 2 3 [4] 5 6 ... 10 Next"},
      {5, "Previous 1 2 3 4 [5] 6 7 ... 10 Next"},
      {6, "Previous 1 ... 4 5 [6] 7 8 9 10 Next"},
      {10, "Previous 1 ... 8 9 [10] (Next)"},
  };
  for (const auto& c : cases) {
    std::string query = "ly=30&size=3&page=" + std::to_string(c.page);
    ProgramResult result =
        RunProgram(NeighboursPath(), query.c_str(), database.odbcDir);
    size_t start = result.output.find("<nav class=\"pages\"");
    ASSERT_NE(start, std::string::npos) << query;
    std::string nav = result.output.substr(
        start, result.output.find("</nav>", start) - start);
    std::string line;
    for (size_t at = nav.find('\n'); at != std::string::npos;
         at = nav.find('\n', at + 1)) {
      std::string item = nav.substr(at + 1, nav.find('\n', at + 1) - at - 1);
      if (item.empty()) continue;
      std::string word;
      if (item.rfind("<strong>", 0) == 0) {
        word = "[" + std::to_string(c.page) + "]";
      } else if (item.find("&hellip;") != std::string::npos) {
        word = "...";
      } else {
        size_t close = item.rfind("</");
        size_t open = item.rfind('>', close) + 1;
        word = item.substr(open, close - open);
        if (item.rfind("<span>", 0) == 0) word = "(" + word + ")";
      }
      line += (line.empty() ? "" : " ") + word;
    }
    EXPECT_EQ(line, c.line) << query;
  }
}

// Faults that a real driver cannot be made to produce: each gives one whole
// error page (the site's, as the entry page writes it), never a part of a
// list, and one line on standard error.  The stars around the centre come
// from the position index of the sample, or, without it, from the scan of
// Positions; a reading of the index that fails before any row leaves the
// reading to the scan, and the page is whole.
TEST(NeighboursTest, InjectedFaults) {
  const TestDatabase& indexed = SampleDatabase();
  const TestDatabase& scanned = SampleWithoutIndex();
  auto unread = [](const std::string& fault) {
    return "neighbours: the star database could not be read: HY000 [odbc "
           "double] injected fault " +
           fault + "\n";
  };
  const struct {
    const char* faults;
    const char* query;
    const char* golden;
    std::string log;
    const TestDatabase& database;
  } cases[] = {
      {"AllocEnv", "ID=100&ly=20", "entry_database_fault.html",
       "neighbours: no ODBC handle could be allocated\n", indexed},
      {"Connect", "ID=100&ly=20", "entry_unavailable.html",
       "neighbours: the data source Veloran refused the connection\n", indexed},
      // The centre star's position, the scan, mid-scan.
      {"ExecFail:Positions WHERE OwnerID", "ID=100&ly=20",
       "entry_database_fault.html", unread("ExecFail:Positions WHERE OwnerID"),
       indexed},
      {"ExecFail:OwnerID FROM Positions", "ID=100&ly=20",
       "entry_database_fault.html", unread("ExecFail:OwnerID FROM Positions"),
       scanned},
      {"ExecInfo:OwnerID FROM Positions", "X=1&ly=20",
       "entry_database_fault.html",
       "neighbours: the star database could not be read: 01000 [odbc "
       "double] injected fault ExecInfo:OwnerID FROM Positions\n",
       scanned},
      {"FetchFail:OwnerID FROM Positions:7", "X=1&ly=20",
       "entry_database_fault.html", unread("FetchFail after 7 rows"), scanned},
      // The index: a reading that fails part-way is a fault; one that does
      // not begin (or begins with information) leaves it to the scan.
      {"FetchFail:FROM PositionIndex WHERE:3", "ID=100&ly=20",
       "entry_database_fault.html", unread("FetchFail after 3 rows"), indexed},
      {"ExecFail:FROM PositionIndex WHERE", "ID=100&ly=20",
       "neighbours_sun_20ly.html", "", indexed},
      {"ExecInfo:FROM PositionIndex WHERE", "ID=100&ly=20",
       "neighbours_sun_20ly.html", "", indexed},
      {"ExecFail:FROM PositionIndexInfo", "ID=100&ly=20",
       "neighbours_sun_20ly.html", "", indexed},
      {"ExecFail:FROM PositionIndex WHERE;ExecFail:OwnerID FROM Positions",
       "ID=100&ly=20", "entry_database_fault.html",
       unread("ExecFail:OwnerID FROM Positions"), indexed},
      // The catalogue table, names, spectra and facts of the listed stars.
      {"FetchFail:COUNT(*):0", "ID=100&ly=20", "entry_database_fault.html",
       unread("FetchFail after 0 rows"), indexed},
      {"ExecFail:FROM ProperNames", "X=1&ly=20", "entry_database_fault.html",
       unread("ExecFail:FROM ProperNames"), indexed},
      {"ExecFail:FROM Spectra", "ID=100&ly=20", "entry_database_fault.html",
       unread("ExecFail:FROM Spectra"), indexed},
      {"ExecFail:FROM StarFacts", "ID=100&ly=20", "entry_database_fault.html",
       unread("ExecFail:FROM StarFacts"), indexed},
      // The same of every star of a result that is filtered or sorted
      // whole, read a batch at a time before the page's: a filter that
      // keeps none of them (class Q) leaves no star on the page to fail.
      {"ExecFail:FROM Spectra WHERE OwnerID IN (", "ID=100&ly=20&class=Q",
       "entry_database_fault.html",
       unread("ExecFail:FROM Spectra WHERE OwnerID IN ("), indexed},
      {"ExecFail:FROM ProperNames WHERE INT(OwnerID/100) IN (",
       "X=1&ly=20&class=Q", "entry_database_fault.html",
       unread("ExecFail:FROM ProperNames WHERE INT(OwnerID/100) IN ("),
       indexed},
      {"FetchFail:FROM StarFacts WHERE OwnerID IN (:3",
       "ID=100&ly=20&maxMag=-30", "entry_database_fault.html",
       unread("FetchFail after 3 rows"), indexed},
      // A star by its name.
      {"ExecFail:WHERE n.Key = ?", "star=Sirius&ly=20",
       "entry_database_fault.html",
       "neighbours: the NameLookup table could not be read (for a database "
       "without one, see \"Names for the finder\" in the README, or NAMES "
       "in veloran-site(7)): HY000 [odbc double] injected fault "
       "ExecFail:WHERE n.Key = ?\n",
       indexed},
      // No fault: the page, and nothing on standard error.
      {"", "ID=100&ly=20", "neighbours_sun_20ly.html", "", indexed},
      {"", "ID=100&ly=20", "neighbours_sun_20ly.html", "", scanned},
  };
  for (const auto& c : cases) {
    if (!ReadsPositionIndex(c.faults)) continue;
    std::vector<std::string> env = {std::string("VELORAN_ODBC_FAULTS=") +
                                    c.faults};
    ProgramResult result =
        RunProgram(NeighboursDoublePath(), c.query, c.database.odbcDir, env);
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << c.faults;
    EXPECT_EQ(result.status, c.log.empty() ? 0 : 255) << c.faults;
    result = RunProgramToSink(NeighboursDoublePath(), c.query,
                              c.database.odbcDir, OutputSink::kPipe, env);
    EXPECT_EQ(result.output, c.log) << c.faults;
  }
  const TestDatabase& database = indexed;
  // A reply that cannot be delivered.
  ProgramResult lost = RunProgramToSink(NeighboursPath(), "ID=100&ly=20",
                                        database.odbcDir, OutputSink::kDevFull);
  EXPECT_EQ(lost.status, 255);
  EXPECT_EQ(lost.output,
            "neighbours: the reply did not reach standard output: No space "
            "left on device\n");
}

}  // namespace
}  // namespace veloran::testing
