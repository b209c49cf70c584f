// Writes a synthetic Veloran database for the benchmarks: the Sun and STARS
// more stars, built with db/schema.sql (its indexes included), the dialect
// extension loaded because the name indexes use INT().  The same STARS and
// SEED always give the same database (the generator is its own, not the
// C++ library's distributions, whose results differ between libraries).
//
// What it holds, roughly as a real catalogue does:
//  - Positions: one row per star (OwnerID = ID), in ID order; about 3% more
//    rows that are not stars (OwnerID = ID + 10, a component's position),
//    0.5% rows without an OwnerID, 0.3% stars without RA/Dec and 1% without
//    a distance; the other columns filled.  Right ascension and declination
//    are uniform over the sky; log10 of the distance is normal around 2.4
//    (250 light-years, spread 0.45), as for a magnitude-limited catalogue.
//  - Spectra (OwnerID = ID + 1) for 85% of the stars, a third of them
//    without a luminosity class.
//  - Names: a proper name for 1% (ID + 2), a Bayer-style name for 5%
//    (ID + 3), an HD number for 60% (ID + 4), a HIP number for 90% (ID + 5);
//    the first of these in that order is the system name; about 4% of the
//    stars have no name at all, so both name lookups miss.
//  - The position index, when INDEXER (veloran-index-database) is given:
//    the one builder of the index runs on the file before it is moved into
//    place.
//
// Usage: make_bench_db OUT.db STARS SEED SCHEMA.sql EXTENSION.so [INDEXER]
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// splitmix64: small, fast and the same everywhere.
struct Random {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Uniform() { return (Next() >> 11) * (1.0 / 9007199254740992.0); }
  bool Chance(double p) { return Uniform() < p; }
  int Below(int n) { return static_cast<int>(Uniform() * n); }
  double Normal() {  // Box-Muller
    double u = Uniform(), v = Uniform();
    if (u < 1e-300) u = 1e-300;
    return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
  }
};

sqlite3* db = nullptr;

void Check(int result, const char* what) {
  if (result != SQLITE_OK && result != SQLITE_DONE && result != SQLITE_ROW) {
    std::fprintf(stderr, "make_bench_db: %s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

void Exec(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "make_bench_db: %s\n", error ? error : "exec failed");
    std::exit(1);
  }
}

sqlite3_stmt* Prepare(const char* sql) {
  sqlite3_stmt* statement = nullptr;
  Check(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), sql);
  return statement;
}

void Step(sqlite3_stmt* statement) {
  Check(sqlite3_step(statement), "insert");
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
}

void BindText(sqlite3_stmt* s, int i, const std::string& text) {
  sqlite3_bind_text(s, i, text.c_str(), static_cast<int>(text.size()),
                    SQLITE_TRANSIENT);
}

double Round(double value, double unit) {
  return std::round(value / unit) * unit;
}

const char* const kGreek[] = {"&alpha;",   "&beta;", "&gamma;", "&delta;",
                              "&epsilon;", "&zeta;", "&eta;",   "&theta;"};
const char* const kConstellations[] = {"Cen", "CMa", "Eri", "Ori", "Cyg",
                                       "UMa", "Lyr", "Tau", "Sco", "Aql"};
const char* const kClasses[] = {"O9", "B3", "B8", "A0", "A5", "F2",   "F8",
                                "G2", "G8", "K0", "K5", "M0", "M3.5", "M5"};
const char* const kLuminosities[] = {"V", "IV", "III", "II", "Ib"};

void InsertPosition(sqlite3_stmt* s, Random& random, bool hasOwner,
                    int64_t ownerId, bool hasSky, bool hasDistance) {
  if (hasOwner) sqlite3_bind_int64(s, 1, ownerId);
  if (hasSky) {
    double ra = random.Uniform() * 24.0;
    int hours = static_cast<int>(ra);
    double minutesAll = (ra - hours) * 60.0;
    int minutes = static_cast<int>(minutesAll);
    double seconds = Round((minutesAll - minutes) * 60.0, 0.01);
    if (seconds >= 60.0) seconds = 59.99;
    sqlite3_bind_int(s, 2, hours);
    sqlite3_bind_int(s, 3, minutes);
    sqlite3_bind_double(s, 4, seconds);
    double dec = std::asin(2.0 * random.Uniform() - 1.0) * 57.29577951308232;
    double magnitude = std::fabs(dec);
    int degrees = static_cast<int>(magnitude);
    double arcminAll = (magnitude - degrees) * 60.0;
    int arcmin = static_cast<int>(arcminAll);
    double arcsec = Round((arcminAll - arcmin) * 60.0, 0.1);
    if (arcsec >= 60.0) arcsec = 59.9;
    if (dec < 0 && degrees == 0) {
      // Between 0 and -1 degrees: 0 degrees, 0 arcminutes, negative arcseconds.
      sqlite3_bind_int(s, 5, 0);
      sqlite3_bind_int(s, 6, 0);
      sqlite3_bind_double(s, 7, -(arcmin * 60.0 + arcsec));
    } else {
      sqlite3_bind_int(s, 5, dec < 0 ? -degrees : degrees);
      sqlite3_bind_int(s, 6, arcmin);
      sqlite3_bind_double(s, 7, arcsec);
    }
  }
  if (hasDistance) {
    double distance = std::pow(10.0, 2.4 + 0.45 * random.Normal());
    if (distance < 3.5) distance = 3.5 + random.Uniform() * 3.0;
    sqlite3_bind_double(s, 8, Round(distance, 0.001));
    sqlite3_bind_double(
        s, 9, Round(distance * (0.01 + 0.1 * random.Uniform()), 0.001));
  }
  sqlite3_bind_text(s, 10, "Synthetic", -1, SQLITE_STATIC);
  sqlite3_bind_text(s, 11, "2026-12-07", -1, SQLITE_STATIC);
  sqlite3_bind_double(s, 12, 2000.0);
  Step(s);
}

// Runs "indexer" on "path" and waits for it; true when it succeeded.
bool RunIndexer(const char* indexer, const std::string& path) {
  char quiet[] = "--quiet";
  std::string file = path;
  char* arguments[] = {const_cast<char*>(indexer), quiet, file.data(), nullptr};
  pid_t child;
  if (posix_spawn(&child, indexer, nullptr, nullptr, arguments, ::environ) !=
      0) {
    std::perror("make_bench_db: cannot run the indexer");
    return false;
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6 && argc != 7) {
    std::fprintf(stderr,
                 "usage: make_bench_db OUT.db STARS SEED SCHEMA.sql "
                 "EXTENSION.so [INDEXER]\n");
    return 2;
  }
  std::string out = argv[1];
  long stars = std::atol(argv[2]);
  Random random{std::strtoull(argv[3], nullptr, 10)};
  std::ifstream schemaFile(argv[4]);
  if (stars < 1 || !schemaFile) {
    std::fprintf(stderr,
                 "make_bench_db: bad star count or unreadable schema\n");
    return 2;
  }
  std::stringstream schema;
  schema << schemaFile.rdbuf();

  std::string staging = out + ".tmp";
  std::remove(staging.c_str());
  Check(sqlite3_open(staging.c_str(), &db), "open");
  Check(sqlite3_enable_load_extension(db, 1), "enable extensions");
  char* error = nullptr;
  if (sqlite3_load_extension(db, argv[5], nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "make_bench_db: %s\n",
                 error ? error : "cannot load extension");
    return 1;
  }
  Exec(
      "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA "
      "cache_size=-65536;");
  Exec(schema.str());
  Exec("BEGIN");
  Exec(
      "INSERT INTO CatalogNames (Abbreviation, LongName, Description, "
      "HasNoCatNumbers) VALUES "
      "('HIP', 'HIP', 'Hipparcos Catalogue (ESA 1997)', 0),"
      "('HD', 'HD', 'Henry Draper Catalogue', 0),"
      "('GJ', 'Gliese', 'Catalogue of Nearby Stars', 0),"
      "('NAME', '', 'Proper names', 1)");
  // No StarFacts rows, so no motions; the provenance says what the stars
  // are, for the descriptions of the site's tables.
  Exec(
      "INSERT INTO DatabaseInfo (Name, Value) VALUES ('Provenance', "
      "'Synthetic stars made up for the benchmarks, not a catalogue of real "
      "ones')");

  sqlite3_stmt* position = Prepare(
      "INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, "
      "Dec_arcmin, "
      "Dec_arcsec, Distance, DistanceError, DistanceSource, LastUpdated, "
      "Epoch) "
      "VALUES (?,?,?,?,?,?,?,?,?,?,?,?)");
  sqlite3_stmt* spectrum = Prepare(
      "INSERT INTO Spectra (OwnerID, SpectralClass, LuminosityClass, "
      "SpectrumSource, "
      "LastUpdated) VALUES (?,?,?,'Synthetic','2026-12-07')");
  sqlite3_stmt* properName = Prepare(
      "INSERT INTO ProperNames (OwnerID, Name, IsSystemName) VALUES (?,?,?)");
  sqlite3_stmt* catalogNumber = Prepare(
      "INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName) "
      "VALUES (?,?,?,?)");

  // The Sun: ID 100, at distance 0.
  {
    sqlite3_stmt* s = position;
    sqlite3_bind_int64(s, 1, 100);
    for (int i = 2; i <= 7; ++i) sqlite3_bind_int(s, i, 0);
    sqlite3_bind_double(s, 8, 0.0);
    sqlite3_bind_double(s, 9, 0.0);
    sqlite3_bind_text(s, 10, "Synthetic", -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 11, "2026-12-07", -1, SQLITE_STATIC);
    sqlite3_bind_double(s, 12, 2000.0);
    Step(s);
    sqlite3_bind_int64(spectrum, 1, 101);
    sqlite3_bind_text(spectrum, 2, "G2", -1, SQLITE_STATIC);
    sqlite3_bind_text(spectrum, 3, "V", -1, SQLITE_STATIC);
    Step(spectrum);
    sqlite3_bind_int64(properName, 1, 102);
    sqlite3_bind_text(properName, 2, "Sun", -1, SQLITE_STATIC);
    sqlite3_bind_int(properName, 3, 1);
    Step(properName);
  }

  int64_t id = 100;
  for (long k = 0; k < stars; ++k) {
    id += 100 * (1 + random.Below(3));
    InsertPosition(position, random, true, id, !random.Chance(0.003),
                   !random.Chance(0.01));
    if (random.Chance(0.03)) {
      InsertPosition(position, random, true, id + 10, true, true);
    }
    if (random.Chance(0.005)) {
      InsertPosition(position, random, false, 0, true, true);
    }
    if (random.Chance(0.85)) {
      sqlite3_bind_int64(spectrum, 1, id + 1);
      sqlite3_bind_text(spectrum, 2, kClasses[random.Below(14)], -1,
                        SQLITE_STATIC);
      if (!random.Chance(0.33)) {
        sqlite3_bind_text(spectrum, 3, kLuminosities[random.Below(5)], -1,
                          SQLITE_STATIC);
      }
      Step(spectrum);
    }
    bool named = false;
    if (random.Chance(0.01)) {
      sqlite3_bind_int64(properName, 1, id + 2);
      BindText(properName, 2, "Veloran " + std::to_string(id / 100));
      sqlite3_bind_int(properName, 3, 1);
      Step(properName);
      named = true;
    }
    if (random.Chance(0.05)) {
      sqlite3_bind_int64(properName, 1, id + 3);
      BindText(properName, 2,
               std::string(kGreek[random.Below(8)]) + " " +
                   kConstellations[random.Below(10)]);
      sqlite3_bind_int(properName, 3, named ? 0 : 1);
      Step(properName);
      named = true;
    }
    if (random.Chance(0.6)) {
      sqlite3_bind_int64(catalogNumber, 1, id + 4);
      sqlite3_bind_text(catalogNumber, 2, "HD", -1, SQLITE_STATIC);
      BindText(catalogNumber, 3, std::to_string(1 + k * 3 / 2));
      sqlite3_bind_int(catalogNumber, 4, named ? 0 : 1);
      Step(catalogNumber);
      named = true;
    }
    if (random.Chance(0.9)) {
      sqlite3_bind_int64(catalogNumber, 1, id + 5);
      sqlite3_bind_text(catalogNumber, 2, "HIP", -1, SQLITE_STATIC);
      BindText(catalogNumber, 3, std::to_string(1 + k));
      sqlite3_bind_int(catalogNumber, 4, named ? 0 : 1);
      Step(catalogNumber);
    }
  }
  sqlite3_finalize(position);
  sqlite3_finalize(spectrum);
  sqlite3_finalize(properName);
  sqlite3_finalize(catalogNumber);
  Exec("COMMIT");
  Check(sqlite3_close(db), "close");
  if (argc == 7 && !RunIndexer(argv[6], staging)) {
    std::fprintf(stderr, "make_bench_db: indexing %s failed\n",
                 staging.c_str());
    return 1;
  }
  if (std::rename(staging.c_str(), out.c_str()) != 0) {
    std::perror("make_bench_db: rename");
    return 1;
  }
  return 0;
}
