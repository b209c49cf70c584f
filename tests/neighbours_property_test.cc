// The site's view of a search against the classic page, on random
// requests: its first page lists the classic page's stars in the classic
// order, and its pages together list every match exactly once.  The site
// reads the position index of the databases, the classic program every
// row.  Run on the
// sample database and on a synthetic catalogue of 10,000 stars with stars
// at equal distances (copies of other stars' positions), so that the order
// of ties is tested too.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace veloran::testing {
namespace {

// The stars of a classic page in its order, and the count of matches it
// reports ("552 stars were found"), or the number listed when it lists all.
struct ClassicListing {
  std::vector<long> ids;
  long matchCount = 0;
};

// The numbers that follow each "marker" in "page", in their order.
std::vector<long> NumbersAfter(const std::string& page,
                               const std::string& marker) {
  std::vector<long> numbers;
  for (size_t at = page.find(marker); at != std::string::npos;
       at = page.find(marker, at + marker.size())) {
    numbers.push_back(std::atol(page.c_str() + at + marker.size()));
  }
  return numbers;
}

ClassicListing ReadClassic(const std::string& page) {
  ClassicListing listing;
  listing.ids = NumbersAfter(page, "<BR><A HREF=\"entry_page.exe?ID=");
  size_t at = page.find(" stars were found.");
  listing.matchCount = static_cast<long>(listing.ids.size());
  if (at != std::string::npos) {
    size_t start = page.rfind("<BR>", at) + 4;
    listing.matchCount = std::atol(page.c_str() + start);
  }
  return listing;
}

// The rows of one page of the view: each row's rank and the star it links.
struct ViewRow {
  long rank;
  long id;
};

std::vector<ViewRow> ReadView(const std::string& page) {
  std::vector<ViewRow> rows;
  const std::string row = "<tr data-rank=\"";
  const std::string link = "<a href=\"entry_page.exe?ID=";
  for (size_t at = page.find(row); at != std::string::npos;
       at = page.find(row, at + row.size())) {
    size_t linked = page.find(link, at);
    EXPECT_NE(linked, std::string::npos);
    if (linked == std::string::npos) break;
    rows.push_back({std::atol(page.c_str() + at + row.size()),
                    std::atol(page.c_str() + linked + link.size())});
  }
  return rows;
}

// The total of the caption "Stars 101&ndash;200 of 552" ("Star 1 of 1").
long ViewTotal(const std::string& page) {
  size_t caption = page.find("<caption id=\"stars-caption\">");
  if (caption == std::string::npos) return -1;
  size_t of = page.find(" of ", caption);
  return of == std::string::npos ? -1 : std::atol(page.c_str() + of + 4);
}

struct Catalogue {
  std::string odbcDir;
  std::vector<long> starIds;  // stars to search around
  double spread;              // light-years: where the points are drawn
};

// Runs "sql" on the database "path"; returns the first column of its rows.
std::vector<long> RunSql(const std::string& path, const std::string& sql) {
  std::vector<long> values;
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  auto collect = [](void* out, int columns, char** texts, char**) {
    if (columns > 0 && texts[0] != nullptr) {
      static_cast<std::vector<long>*>(out)->push_back(std::atol(texts[0]));
    }
    return 0;
  };
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), collect, &values, &error), SQLITE_OK)
      << (error != nullptr ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
  return values;
}

// The synthetic catalogue of the benchmarks, with "stars" stars, changed by
// "sql", then given its position index (which the site's page reads, and
// the classic program does not), and its data source.
Catalogue SyntheticCatalogue(const std::string& name, int stars,
                             const std::string& sql, double spread) {
  std::string dir = TestDataDir() + "/" + name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::string path = dir + "/veloran.db";
  ProgramResult made = RunTool({VELORAN_MAKE_BENCH_DB, path,
                                std::to_string(stars), "7",
                                std::string(VELORAN_SOURCE_DIR) + "/db/schema.sql",
                                VELORAN_DIALECT_PATH});
  EXPECT_EQ(made.status, 0) << made.output;
  RunSql(path, sql);
  ProgramResult indexed = RunTool({VELORAN_INDEX_DATABASE, "--quiet", path});
  EXPECT_EQ(indexed.status, 0) << indexed.output;
  WriteDataSource(dir + "/odbc", path);
  // Stars to search around: the Sun and every 1,500th star with a distance.
  std::vector<long> ids = RunSql(
      path,
      "SELECT OwnerID FROM Positions WHERE OwnerID % 100 = 0 AND Distance IS "
      "NOT NULL AND RA_hr IS NOT NULL AND (OwnerID = 100 OR rowid % 1500 = 0)");
  return {dir + "/odbc", ids, spread};
}

// A random request both programs accept: around a star or a point, a
// distance range, and now and then a window in RA and Dec.
std::string RandomRequest(std::mt19937& random, const Catalogue& catalogue) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  char text[512];
  std::string query;
  if (unit(random) < 0.5) {
    long id = catalogue.starIds[random() % catalogue.starIds.size()];
    std::snprintf(text, sizeof(text), "ID=%ld", id);
  } else {
    double s = catalogue.spread;
    std::snprintf(text, sizeof(text), "X=%.2f&Y=%.2f&Z=%.2f",
                  (unit(random) * 2 - 1) * s, (unit(random) * 2 - 1) * s,
                  (unit(random) * 2 - 1) * s);
  }
  query = text;
  double radius = 2.0 + unit(random) * catalogue.spread;
  std::snprintf(text, sizeof(text), "&ly=%.3f", radius);
  query += text;
  if (unit(random) < 0.3) {
    std::snprintf(text, sizeof(text), "&minLY=%.3f", unit(random) * radius);
    query += text;
  }
  if (unit(random) < 0.3) {
    int low = static_cast<int>(random() % 24);
    int high = low + static_cast<int>(random() % (24 - low));
    std::snprintf(text, sizeof(text), "&minRAHour=%d&maxRAHour=%d", low, high);
    query += text;
  }
  if (unit(random) < 0.3) {
    int low = -89 + static_cast<int>(random() % 179);
    int high = low + static_cast<int>(random() % (90 - low));
    std::snprintf(text, sizeof(text), "&minDecDeg=%d&maxDecDeg=%d", low, high);
    query += text;
  }
  return query;
}

// Counts in *pastOneHundred the requests that matched more than 100 stars.
void CheckRequests(const Catalogue& catalogue, int requests, unsigned seed,
                   int* pastOneHundred) {
  std::mt19937 random(seed);
  int listedSomething = 0;
  for (int r = 0; r < requests; ++r) {
    std::string query = RandomRequest(random, catalogue);
    SCOPED_TRACE(query);
    ProgramResult classic =
        RunProgram(ProgramPath(), query.c_str(), catalogue.odbcDir);
    ASSERT_EQ(classic.status, 0);
    ClassicListing expected = ReadClassic(classic.output);

    ProgramResult first =
        RunProgram(NeighboursPath(), query.c_str(), catalogue.odbcDir);
    ASSERT_EQ(first.status, 0);
    std::vector<ViewRow> rows = ReadView(first.output);
    std::vector<long> firstIds;
    for (const ViewRow& row : rows) firstIds.push_back(row.id);
    ASSERT_EQ(firstIds, expected.ids);
    if (expected.ids.empty()) continue;
    ++listedSomething;
    ASSERT_EQ(ViewTotal(first.output), expected.matchCount);

    // All the pages, in a page size of its own, list every match once,
    // ranked 1, 2, 3 ... without a gap, and begin with the classic's stars.
    if (expected.matchCount > 100) ++*pastOneHundred;
    // At most a dozen pages a request.
    long size = 1 + static_cast<long>(random() % 150);
    size = std::max(size, (expected.matchCount + 11) / 12);
    ASSERT_LE(size, 1000);
    std::vector<long> all;
    for (long page = 1; (page - 1) * size < expected.matchCount; ++page) {
      std::string paged = query + "&size=" + std::to_string(size) +
                          "&page=" + std::to_string(page);
      ProgramResult result =
          RunProgram(NeighboursPath(), paged.c_str(), catalogue.odbcDir);
      ASSERT_EQ(result.status, 0) << paged;
      for (const ViewRow& row : ReadView(result.output)) {
        ASSERT_EQ(row.rank, static_cast<long>(all.size()) + 1) << paged;
        all.push_back(row.id);
      }
    }
    ASSERT_EQ(static_cast<long>(all.size()), expected.matchCount);
    ASSERT_TRUE(std::equal(expected.ids.begin(), expected.ids.end(),
                           all.begin()));
    std::set<long> distinct(all.begin(), all.end());
    ASSERT_EQ(distinct.size(), all.size());
  }
  // The random requests must not all miss, or nothing was compared.
  EXPECT_GT(listedSomething, requests / 3);
}

TEST(NeighboursPropertyTest, SampleDatabase) {
  const TestDatabase& sample = SampleDatabase();
  Catalogue catalogue{sample.odbcDir,
                      {100, 14750000, 323490000, 372790000, 1108930100,
                       708900000, 917680100},
                      30.0};
  int pastOneHundred = 0;
  CheckRequests(catalogue, 100, 20261208, &pastOneHundred);
}

TEST(NeighboursPropertyTest, SyntheticCatalogueWithTies) {
  Catalogue catalogue =
      SyntheticCatalogue("property", 10000,
                         // A star at the very position of each of 600
                         // others: equal distances from every centre.
                         "INSERT INTO Positions (OwnerID, RA_hr, RA_min, "
                         "RA_sec, Dec_deg, Dec_arcmin, Dec_arcsec, Distance) "
                         "SELECT OwnerID + 90000000, RA_hr, RA_min, RA_sec, "
                         "Dec_deg, Dec_arcmin, Dec_arcsec, Distance FROM "
                         "Positions WHERE OwnerID % 100 = 0 AND OwnerID > 100 "
                         "ORDER BY OwnerID LIMIT 600;",
                         150.0);
  ASSERT_GE(catalogue.starIds.size(), 5u);
  int pastOneHundred = 0;
  CheckRequests(catalogue, 100, 8, &pastOneHundred);
  // Many go past the first page of the classic listing.
  EXPECT_GT(pastOneHundred, 20);
}

}  // namespace
}  // namespace veloran::testing
