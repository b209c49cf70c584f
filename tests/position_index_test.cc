// The position index gives every page the answer that the scan of all of
// Positions gives, byte for byte: random requests of every program that
// reads it (the page of a search with its downloads, the entry page's map,
// the cone search) on the same database with and without its index.  The
// catalogue is made for the edges of the index: stars a unit in the last
// place from the borders of cells, on the borders of sky pixels, at the
// poles and at right ascension 0 and 24 hours, stars at the same places
// (ties of distance), and rows that are no star or have no position.  The
// cone search is also held against separations computed here from the
// stored columns, and a stale or missing index against the scan.

#include <sqlite3.h>

#include <healpix_cxx/healpix_base.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "astro/position_conversion.h"
#include "catalogue/star_records.h"
#include "tests/test_support.h"

namespace veloran::testing {
namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

// One Positions row as it is stored.
struct StoredRow {
  bool hasOwner = true;
  long ownerId = 0;
  bool hasSky = true;
  int raHours = 0, raMinutes = 0;
  float raSeconds = 0;
  int decDegrees = 0, decArcminutes = 0;
  float decArcseconds = 0;
  bool hasDistance = true;
  double distance = 0;
};

PositionRecord RecordOf(const StoredRow& row) {
  PositionRecord record{};
  record.HasRA = record.HasDec = row.hasSky;
  record.HasDistance = row.hasDistance;
  record.RA_hr = static_cast<uint8_t>(row.raHours);
  record.RA_min = static_cast<uint8_t>(row.raMinutes);
  record.RA_sec = row.raSeconds;
  record.Dec_deg = static_cast<int16_t>(row.decDegrees);
  record.Dec_arcmin = static_cast<uint8_t>(row.decArcminutes);
  record.Dec_arcsec = row.decArcseconds;
  record.Distance = row.distance;
  return record;
}

// The sexagesimal parts of a direction, as the schema stores them (the
// seconds as floats, a declination between 0 and -1 degree as negative
// arcseconds).
StoredRow RowAt(long ownerId, double raDegrees, double decDegrees,
                double distance) {
  StoredRow row;
  row.ownerId = ownerId;
  double hours = std::fmod(raDegrees / 15.0 + 24.0, 24.0);
  row.raHours = static_cast<int>(hours);
  double minutes = (hours - row.raHours) * 60.0;
  row.raMinutes = static_cast<int>(minutes);
  row.raSeconds = std::min(static_cast<float>((minutes - row.raMinutes) * 60.0),
                           59.999f);
  if (row.raHours > 23) row.raHours = 23;
  double magnitude = std::fabs(decDegrees);
  int degrees = static_cast<int>(magnitude);
  double arcminutes = (magnitude - degrees) * 60.0;
  int whole = static_cast<int>(arcminutes);
  float arcseconds =
      std::min(static_cast<float>((arcminutes - whole) * 60.0), 59.999f);
  if (decDegrees < 0 && degrees == 0) {
    row.decDegrees = 0;
    row.decArcminutes = 0;
    row.decArcseconds = -(whole * 60.0f + arcseconds);
  } else {
    row.decDegrees = decDegrees < 0 ? -degrees : degrees;
    row.decArcminutes = whole;
    row.decArcseconds = arcseconds;
  }
  row.distance = distance;
  return row;
}

// The catalogue's rows and the star IDs to search around.
struct Edges {
  std::vector<StoredRow> rows;
  std::vector<long> stars;
  std::vector<long> borderStars;  // a unit from the border of a cell
};

Edges MakeEdges() {
  Edges edges;
  std::mt19937_64 random(20261209);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  long id = 100;
  auto add = [&](StoredRow row) {
    row.ownerId = id;
    edges.rows.push_back(row);
    edges.stars.push_back(id);
    id += 100;
    return id - 100;
  };
  // The Sun, at the origin without a direction.
  StoredRow sun;
  sun.hasSky = false;
  sun.distance = 0;
  add(sun);
  // Stars about the Sun, densest near it.
  for (int i = 0; i < 1500; ++i) {
    double ra = 360 * unit(random);
    double dec = std::asin(2 * unit(random) - 1) * kDegrees;
    add(RowAt(0, ra, dec, 1 + 80 * unit(random) * unit(random)));
  }
  // Stars whose galactic x, y or z comes out a unit in the last place
  // either side of a whole light-year: the border of a cell.
  for (int i = 0; i < 600; ++i) {
    double ra = 360 * unit(random);
    double dec = std::asin(2 * unit(random) - 1) * kDegrees;
    StoredRow row = RowAt(0, ra, dec, 1.0);
    CartesianPoint axis;
    if (!PositionToCartesian(RecordOf(row), true, &axis)) {
      ADD_FAILURE() << "a direction of the catalogue has no point";
      continue;
    }
    double along[] = {axis.x, axis.y, axis.z};
    double component = along[i % 3];
    if (std::fabs(component) < 0.2) continue;
    double target = std::round(40 * (2 * unit(random) - 1));
    if (target == 0) target = 1;
    row.distance = target / component;
    if (row.distance < 0) continue;
    // The nearest representable distances, so that some land below the
    // border and some on or above it.
    for (int step = -2; step <= 2; ++step) {
      StoredRow near = row;
      near.distance = row.distance;
      for (int k = 0; k < std::abs(step); ++k) {
        near.distance = std::nextafter(near.distance, step < 0 ? 0.0 : 1e9);
      }
      edges.borderStars.push_back(add(near));
    }
  }
  // The poles, and right ascensions of 0 and nearly 24 hours.
  for (double distance : {3.0, 7.5, 12.0, 19.99}) {
    for (int sign : {1, -1}) {
      StoredRow pole;
      pole.decDegrees = 90 * sign;
      pole.distance = distance;
      add(pole);
      StoredRow below = RowAt(0, 0, sign * (90 - 1e-6), distance);
      add(below);
    }
    add(RowAt(0, 0, 0, distance));
    StoredRow last = RowAt(0, 0, 0, distance);
    last.raHours = 23;
    last.raMinutes = 59;
    last.raSeconds = 59.999f;
    add(last);
    add(RowAt(0, 0, -0.5, distance));  // 0 degrees, negative arcseconds
  }
  // Stars on the borders of sky pixels of the orders that cones use.
  for (int order : {4, 6, 9, 12}) {
    T_Healpix_Base<int64> base(order, NEST);
    for (int i = 0; i < 40; ++i) {
      std::vector<vec3> border;
      base.boundaries(static_cast<int64>(unit(random) * base.Npix()), 1, border);
      for (const vec3& v : border) {
        pointing p(v);
        add(RowAt(0, p.phi * kDegrees, 90 - p.theta * kDegrees,
                  2 + 30 * unit(random)));
      }
    }
  }
  // Ties: stars at the very places of others, later in the table.
  size_t stars = edges.rows.size();
  for (size_t i = 1; i < stars; i += 7) {
    StoredRow copy = edges.rows[i];
    add(copy);
  }
  // Rows that are no star's own position, or have no place.
  for (int i = 0; i < 50; ++i) {
    StoredRow component = edges.rows[1 + i];
    component.ownerId = edges.rows[1 + i].ownerId + 10;
    edges.rows.push_back(component);
    StoredRow orphan = edges.rows[2 + i];
    orphan.hasOwner = false;
    edges.rows.push_back(orphan);
  }
  StoredRow noDistance = RowAt(0, 10, 10, 0);
  noDistance.hasDistance = false;
  add(noDistance);
  StoredRow noSky;
  noSky.hasSky = false;
  noSky.distance = 5;
  add(noSky);
  return edges;
}

void Exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
      << (error != nullptr ? error : "") << "\n" << sql.substr(0, 200);
}

// Writes "edges" into a new database at "path" with the schema and a name
// for every star.
void WriteEdges(const Edges& edges, const std::string& path) {
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_enable_load_extension(db, 1);
  ASSERT_EQ(sqlite3_load_extension(db, VELORAN_DIALECT_PATH, nullptr, nullptr),
            SQLITE_OK);
  Exec(db, ReadFile(std::string(VELORAN_SOURCE_DIR) + "/db/schema.sql"));
  Exec(db, "BEGIN");
  Exec(db,
       "INSERT INTO CatalogNames (Abbreviation, LongName) VALUES ('HIP', "
       "'HIP')");
  sqlite3_stmt* insert = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(
                db,
                "INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, "
                "Dec_deg, Dec_arcmin, Dec_arcsec, Distance) VALUES "
                "(?,?,?,?,?,?,?,?)",
                -1, &insert, nullptr),
            SQLITE_OK);
  for (const StoredRow& row : edges.rows) {
    sqlite3_reset(insert);
    sqlite3_clear_bindings(insert);
    if (row.hasOwner) sqlite3_bind_int64(insert, 1, row.ownerId);
    if (row.hasSky) {
      sqlite3_bind_int(insert, 2, row.raHours);
      sqlite3_bind_int(insert, 3, row.raMinutes);
      sqlite3_bind_double(insert, 4, row.raSeconds);
      sqlite3_bind_int(insert, 5, row.decDegrees);
      sqlite3_bind_int(insert, 6, row.decArcminutes);
      sqlite3_bind_double(insert, 7, row.decArcseconds);
    }
    if (row.hasDistance) sqlite3_bind_double(insert, 8, row.distance);
    ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE) << sqlite3_errmsg(db);
  }
  sqlite3_finalize(insert);
  Exec(db,
       "INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName) "
       "SELECT OwnerID + 5, 'HIP', CAST(OwnerID / 100 AS TEXT), 1 FROM "
       "Positions WHERE OwnerID % 100 = 0");
  Exec(db, "COMMIT");
  sqlite3_close(db);
}

struct Twins {
  std::string indexed;  // data source directories
  std::string scanned;
};

// The database "name" from "sql" run on a new copy of "source", indexed,
// and a copy of it without the index.
Twins MakeTwins(const std::string& name, const std::string& source) {
  std::string dir = TestDataDir() + "/" + name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::string indexed = dir + "/indexed.db";
  std::string scanned = dir + "/scanned.db";
  std::filesystem::copy_file(source, indexed);
  ProgramResult built = RunTool({VELORAN_INDEX_DATABASE, "--quiet", indexed});
  EXPECT_EQ(built.status, 0) << built.output;
  std::filesystem::copy_file(indexed, scanned);
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(scanned.c_str(), &db), SQLITE_OK);
  Exec(db, kDropPositionIndex);
  sqlite3_close(db);
  WriteDataSource(dir + "/odbc-indexed", indexed);
  WriteDataSource(dir + "/odbc-scanned", scanned);
  return {dir + "/odbc-indexed", dir + "/odbc-scanned"};
}

// A random request of "program" about the catalogue's stars.
std::string RandomQuery(const std::string& program, std::mt19937_64& random,
                        const std::vector<long>& stars) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  auto pick = [&](const std::vector<double>& values) {
    return values[static_cast<size_t>(unit(random) * values.size())];
  };
  char text[256];
  long star = stars[static_cast<size_t>(unit(random) * stars.size())];
  if (program == "entry") {
    std::snprintf(text, sizeof(text), "ID=%ld", star);
    return text;
  }
  if (program == "cone") {
    double ra = pick({0, 359.9999999, 360 * unit(random), 90, 180.25});
    double dec = pick({90, -90, 89.999, -89.5, 0, 180 * unit(random) - 90,
                       60 * unit(random) - 30});
    double radius = pick({1.0 / 3600, 0.05, 0.5, 1, 3, 10});
    std::snprintf(text, sizeof(text), "RA=%.9g&DEC=%.9g&SR=%g&VERB=3", ra, dec,
                  radius);
    return text;
  }
  std::string query;
  if (unit(random) < 0.6) {
    std::snprintf(text, sizeof(text), "ID=%ld", star);
  } else if (unit(random) < 0.5) {
    // A point on the border of cells, whole light-years.
    std::snprintf(text, sizeof(text), "X=%.0f&Y=%.0f&Z=%.0f",
                  std::round(60 * unit(random) - 30),
                  std::round(60 * unit(random) - 30),
                  std::round(60 * unit(random) - 30));
  } else {
    std::snprintf(text, sizeof(text), "X=%.4f&Y=%.4f&Z=%.4f",
                  80 * unit(random) - 40, 80 * unit(random) - 40,
                  80 * unit(random) - 40);
  }
  query = text;
  double radius = pick({0.25, 1, 2.5, 5, 10, 20, 37.3, 60, 1e4});
  std::snprintf(text, sizeof(text), "&ly=%g", radius);
  query += text;
  if (unit(random) < 0.3) {
    std::snprintf(text, sizeof(text), "&minLY=%g", radius * unit(random));
    query += text;
  }
  if (unit(random) < 0.2) query += pick({0, 1}) ? "&maxRAHour=0&maxRAMin=30"
                                                : "&minRAHour=23&minRAMin=30";
  if (unit(random) < 0.2) query += "&minDecDeg=60";
  if (unit(random) < 0.3) {
    query += pick({0, 1, 2}) == 0   ? "&format=csv"
             : pick({0, 1}) == 0    ? "&format=json"
                                    : "&format=votable";
  }
  if (unit(random) < 0.2) query += "&size=7&page=3";
  if (unit(random) < 0.1) query += "&sort=mag&order=desc";
  return query;
}

std::string PathOf(const std::string& program) {
  if (program == "entry") return EntryPagePath();
  if (program == "cone") return VELORAN_CONE_SEARCH;
  return NeighboursPath();
}

// Runs "requests" random requests of each program on both twins and
// expects the same replies; returns how many replies listed a star.
int CompareTwins(const Twins& twins, const std::vector<long>& stars,
                 int requests, uint64_t seed) {
  std::mt19937_64 random(seed);
  int listing = 0;
  for (const char* program : {"neighbours", "entry", "cone"}) {
    for (int i = 0; i < requests; ++i) {
      std::string query = RandomQuery(program, random, stars);
      ProgramResult indexed =
          RunProgram(PathOf(program), query.c_str(), twins.indexed);
      ProgramResult scanned =
          RunProgram(PathOf(program), query.c_str(), twins.scanned);
      EXPECT_EQ(indexed.status, scanned.status) << program << "?" << query;
      EXPECT_EQ(indexed.errors, scanned.errors) << program << "?" << query;
      if (indexed.output != scanned.output) {
        ADD_FAILURE() << program << "?" << query
                      << ": the pages differ with and without the index";
      }
      if (indexed.output.find("entry_page.exe?ID=") != std::string::npos ||
          indexed.output.find("<TR><TD>") != std::string::npos) {
        ++listing;
      }
    }
  }
  return listing;
}

const Edges& EdgeCatalogue() {
  static Edges edges = MakeEdges();
  return edges;
}

std::string EdgeDatabase() {
  static std::string path;
  if (path.empty()) {
    path = TestDataDir() + "/index_edges_" + std::to_string(getpid()) + ".db";
    WriteEdges(EdgeCatalogue(), path);
  }
  return path;
}

TEST(PositionIndexTest, EdgesOfTheIndexGiveTheScansPages) {
  if (!ReadsPositionIndex("PositionIndex")) {
    GTEST_SKIP() << "Debian's driver reads no index";
  }
  Twins twins = MakeTwins("index_edges", EdgeDatabase());
  std::vector<long> stars = EdgeCatalogue().stars;
  // The stars by the cells' borders, more often.
  for (long id : EdgeCatalogue().borderStars) {
    if (id % 3 == 0) stars.push_back(id);
  }
  int listing = CompareTwins(twins, stars, 120, 7);
  EXPECT_GT(listing, 200);
}

TEST(PositionIndexTest, SampleGivesTheScansPages) {
  if (!ReadsPositionIndex("PositionIndex")) {
    GTEST_SKIP() << "Debian's driver reads no index";
  }
  Twins twins = MakeTwins("index_sample", SampleDatabase().path);
  std::vector<long> stars = {100,       14750000,  323490000, 372790000,
                             708900000, 917680100, 1108930100};
  EXPECT_GT(CompareTwins(twins, stars, 40, 11), 40);
}

// Hipparcos, when scripts/check-hipparcos (CI runs it before the tests)
// or scripts/import-hipparcos has imported it.
TEST(PositionIndexTest, HipparcosGivesTheScansPages) {
  std::string build = std::string(VELORAN_SOURCE_DIR) + "/build";
  std::string path = build + "/check-hipparcos/hipparcos.db";
  if (!std::filesystem::exists(path)) path = build + "/hipparcos.db";
  if (!std::filesystem::exists(path)) {
    GTEST_SKIP() << "no Hipparcos catalogue in " << build
                 << " (scripts/check-hipparcos imports it)";
  }
  if (!ReadsPositionIndex("PositionIndex")) {
    GTEST_SKIP() << "Debian's driver reads no index";
  }
  Twins twins = MakeTwins("index_hipparcos", path);
  std::vector<long> stars = {100,       323490000, 708900000, 1108930100,
                             916810000, 40810000,  1150200000};
  EXPECT_GT(CompareTwins(twins, stars, 25, 13), 25);
}

// The stars of a cone against separations computed here, in another way,
// from the stored columns: every star well inside is listed, none well
// outside.
TEST(PositionIndexTest, ConesHoldTheStarsOfTheirSeparations) {
  if (!ReadsPositionIndex("PositionIndex")) {
    GTEST_SKIP() << "Debian's driver reads no index";
  }
  Twins twins = MakeTwins("index_cones", EdgeDatabase());
  struct Direction {
    long id;
    double x, y, z;  // unit vector
  };
  std::vector<Direction> directions;
  for (const StoredRow& row : EdgeCatalogue().rows) {
    if (!row.hasOwner || row.ownerId % 100 != 0 || !row.hasSky) continue;
    double ra = 15.0 * (row.raHours + row.raMinutes / 60.0 +
                        static_cast<double>(row.raSeconds) / 3600.0);
    int sign = row.decDegrees < 0 ? -1 : 1;
    double dec = row.decDegrees + sign * (row.decArcminutes / 60.0 +
                                          row.decArcseconds / 3600.0);
    directions.push_back({row.ownerId, std::cos(dec / kDegrees) * std::cos(ra / kDegrees),
                          std::cos(dec / kDegrees) * std::sin(ra / kDegrees),
                          std::sin(dec / kDegrees)});
  }
  std::mt19937_64 random(17);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 60; ++i) {
    double ra = i % 4 == 0 ? 0.0 : 360 * unit(random);
    double dec = i % 5 == 0 ? (i % 10 == 0 ? 90.0 : -89.9)
                            : std::asin(2 * unit(random) - 1) * kDegrees;
    double radius = std::vector<double>{0.5, 2, 8, 10}[i % 4];
    char query[128];
    std::snprintf(query, sizeof(query), "RA=%.9g&DEC=%.9g&SR=%g&VERB=1", ra,
                  dec, radius);
    ProgramResult cone = RunProgram(VELORAN_CONE_SEARCH, query, twins.indexed);
    ASSERT_EQ(cone.status, 0) << query;
    std::set<long> listed;
    for (size_t at = cone.output.find("<TR><TD>"); at != std::string::npos;
         at = cone.output.find("<TR><TD>", at + 1)) {
      listed.insert(std::atol(cone.output.c_str() + at + 8));
    }
    double cx = std::cos(dec / kDegrees) * std::cos(ra / kDegrees);
    double cy = std::cos(dec / kDegrees) * std::sin(ra / kDegrees);
    double cz = std::sin(dec / kDegrees);
    for (const Direction& d : directions) {
      double chord = std::hypot(d.x - cx, d.y - cy, d.z - cz);
      double separation = 2 * std::asin(std::min(chord / 2, 1.0)) * kDegrees;
      // A star within a micro-degree of the edge may go either way.
      if (separation < radius - 1e-6) {
        EXPECT_EQ(listed.count(d.id), 1u) << query << ": star " << d.id;
      } else if (separation > radius + 1e-6) {
        EXPECT_EQ(listed.count(d.id), 0u) << query << ": star " << d.id;
      }
    }
  }
}

// A stale index (Positions changed after it was built) and a missing one
// give the scan's pages; the stale one is not read.
TEST(PositionIndexTest, StaleOrMissingIndexGivesTheScansPages) {
  if (!ReadsPositionIndex("PositionIndex")) {
    GTEST_SKIP() << "Debian's driver reads no index";
  }
  const struct {
    const char* name;
    const char* change;
  } cases[] = {
      {"moved", "UPDATE Positions SET Distance = 4.2 WHERE OwnerID = 323490000"},
      {"added",
       "INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, "
       "Dec_arcmin, Dec_arcsec, Distance) VALUES (99999900, 6, 45, 8.9, -16, "
       "42, 58.0, 8.6)"},
      {"removed", "DELETE FROM Positions WHERE OwnerID = 708900000"},
      {"dropped", kDropPositionIndex},
  };
  for (const auto& c : cases) {
    TestDatabase changed =
        SampleCopy(std::string("index_changed_") + c.name, c.change);
    TestDatabase scanned = SampleCopy(std::string("index_changed_scan_") + c.name,
                                      std::string(c.change) + ";" +
                                          (std::string(c.name) == "dropped"
                                               ? ""
                                               : kDropPositionIndex));
    for (const char* query : {"ID=100&ly=20", "X=-5&Y=-1&Z=2&ly=10",
                              "ID=372790000&ly=12&format=csv"}) {
      ProgramResult a = RunProgram(NeighboursPath(), query, changed.odbcDir);
      ProgramResult b = RunProgram(NeighboursPath(), query, scanned.odbcDir);
      EXPECT_EQ(a.output, b.output) << c.name << ": " << query;
    }
    ProgramResult a =
        RunProgram(VELORAN_CONE_SEARCH, "RA=101.3&DEC=-16.7&SR=20", changed.odbcDir);
    ProgramResult b =
        RunProgram(VELORAN_CONE_SEARCH, "RA=101.3&DEC=-16.7&SR=20", scanned.odbcDir);
    EXPECT_EQ(a.output, b.output) << c.name;
  }
}

}  // namespace
}  // namespace veloran::testing
