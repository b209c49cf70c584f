// Compares three memory indexes of star points for the searches of a
// resident worker: the rows sorted by Morton cell key with the search's
// region covered by at most 64 runs of keys (what search/kept_positions.cc
// does, with search/cell_keys.cc itself), a uniform grid of cells about the
// query radius (rows sorted by cell, an open-addressing table of the cells
// that hold rows, 27 cells a query), and nanoflann's k-d tree (Debian's
// libnanoflann-dev, a radius search).  Each holds the same 64-byte rows as
// the worker keeps; each query hands every candidate row to the same exact
// distance test, and the three must find the same stars.
//
// The points: the Positions of a Veloran database (RA, Dec and distance,
// as a sphere around the Sun; Hipparcos is clustered as real stars are),
// or synthetic ones drawn as bench/make_bench_db draws them (uniform over
// the sky, log10 of the distance normal around 2.4, spread 0.45).  The
// query centres are random stars of the set.
//
// Prints one line per index: build seconds, bytes beyond the rows,
// microseconds a query (median of ROUNDS rounds of QUERIES queries,
// the three indexes interleaved round by round), candidates a query and
// matches a query.
//
// Usage: index_bench (--database FILE.db | --synthetic N) [--radius LY]
//                    [--queries Q] [--rounds R] [--seed S]
#include <malloc.h>
#include <sqlite3.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nanoflann.hpp>
#include <vector>

#include "search/cell_keys.h"
#include "search/key_ranges.h"

namespace {

using veloran::CartesianPoint;

// The worker's kept row, as search/kept_positions.cc lays it out.
struct Row {
  CartesianPoint point;
  double raHours;
  double decDegrees;
  double distance;
  int64_t order;
  int32_t starId;
  uint8_t flags;
};
static_assert(sizeof(Row) == 64);

struct Random {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Uniform() { return (Next() >> 11) * (1.0 / 9007199254740992.0); }
  double Normal() {
    double u = Uniform(), v = Uniform();
    if (u < 1e-300) u = 1e-300;
    return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
  }
};

double Seconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
}

size_t HeapInUse() { return mallinfo2().uordblks + mallinfo2().hblkhd; }

Row RowAt(int64_t order, double raHours, double decDegrees, double distance) {
  double ra = raHours * 15.0 * M_PI / 180.0;
  double dec = decDegrees * M_PI / 180.0;
  Row row{};
  row.point = {distance * std::cos(dec) * std::cos(ra),
               distance * std::cos(dec) * std::sin(ra),
               distance * std::sin(dec)};
  row.raHours = raHours;
  row.decDegrees = decDegrees;
  row.distance = distance;
  row.order = order;
  row.starId = static_cast<int32_t>(100 * (order + 1));
  row.flags = 15;
  return row;
}

std::vector<Row> SyntheticRows(long count, uint64_t seed) {
  Random random{seed};
  std::vector<Row> rows;
  rows.reserve(count);
  for (long k = 0; k < count; ++k) {
    double ra = random.Uniform() * 24.0;
    double dec = std::asin(2.0 * random.Uniform() - 1.0) * 57.29577951308232;
    double distance = std::pow(10.0, 2.4 + 0.45 * random.Normal());
    if (distance < 3.5) distance = 3.5 + random.Uniform() * 3.0;
    rows.push_back(RowAt(k, ra, dec, distance));
  }
  return rows;
}

std::vector<Row> DatabaseRows(const char* path) {
  std::vector<Row> rows;
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db,
                         "SELECT RA_hr + RA_min / 60.0 + RA_sec / 3600.0, "
                         "Dec_deg, Dec_arcmin, Dec_arcsec, Distance FROM "
                         "Positions WHERE OwnerID % 100 = 0 AND Distance IS "
                         "NOT NULL AND RA_hr IS NOT NULL AND Dec_deg IS NOT "
                         "NULL",
                         -1, &statement, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "index_bench: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
  while (sqlite3_step(statement) == SQLITE_ROW) {
    double degrees = sqlite3_column_double(statement, 1);
    double minutes = sqlite3_column_double(statement, 2);
    double seconds = sqlite3_column_double(statement, 3);
    bool south = degrees < 0 || (degrees == 0 && seconds < 0);
    double dec = std::fabs(degrees) + minutes / 60.0 + std::fabs(seconds) / 3600.0;
    rows.push_back(RowAt(static_cast<int64_t>(rows.size()),
                         sqlite3_column_double(statement, 0),
                         south ? -dec : dec,
                         sqlite3_column_double(statement, 4)));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

// The exact test every index hands its candidates to: the searches'
// distance, summed over the matches so that the three can be compared.
struct Found {
  long candidates = 0;
  long matches = 0;
  int64_t orders = 0;  // the sum of the matches' orders
};

inline void Test(const Row& row, const CartesianPoint& c, double radius,
                 Found* found) {
  ++found->candidates;
  if (std::fabs(row.point.x - c.x) > radius * (1.0 + 1e-9)) return;
  double dx = row.point.x - c.x;
  double dy = row.point.y - c.y;
  double dz = row.point.z - c.z;
  double d = std::sqrt((dz * dz + dy * dy) + dx * dx);
  if (d > radius) return;
  ++found->matches;
  found->orders += row.order;
}

// --- The Morton-sorted rows (the worker's index) -----------------------

struct MortonIndex {
  std::vector<Row> rows;
  std::vector<int64_t> cells;
  int budget = veloran::kMaxKeyRanges;

  explicit MortonIndex(const std::vector<Row>& from) {
    std::vector<std::pair<int64_t, uint32_t>> keyed(from.size());
    for (size_t i = 0; i < from.size(); ++i) {
      keyed[i] = {veloran::CellKeyOf(from[i].point), static_cast<uint32_t>(i)};
    }
    std::sort(keyed.begin(), keyed.end());
    rows.resize(from.size());
    cells.resize(from.size());
    for (size_t i = 0; i < keyed.size(); ++i) {
      rows[i] = from[keyed[i].second];
      cells[i] = keyed[i].first;
    }
  }

  size_t Bytes() const { return cells.size() * sizeof(int64_t); }

  void Query(const CartesianPoint& c, double radius, Found* found) const {
    veloran::KeyRanges ranges;
    if (!veloran::CoverBall(c, 0.0, radius, budget, &ranges)) {
      for (const Row& row : rows) Test(row, c, radius, found);
      return;
    }
    for (int r = 0; r < ranges.count; ++r) {
      size_t k = std::lower_bound(cells.begin(), cells.end(),
                                  ranges.ranges[r].first) -
                 cells.begin();
      for (; k < cells.size() && cells[k] <= ranges.ranges[r].last; ++k) {
        Test(rows[k], c, radius, found);
      }
    }
  }
};

// --- A uniform grid ----------------------------------------------------

struct GridIndex {
  double size;
  std::vector<Row> rows;
  // Open addressing: the cell's key and the first row of its run; the run
  // ends where the next cell's starts (starts of the cells in key order).
  std::vector<uint64_t> slotKeys;
  std::vector<uint32_t> slotRuns;  // index into runStarts
  std::vector<uint32_t> runStarts;
  uint64_t mask;

  static uint64_t KeyOf(int64_t ix, int64_t iy, int64_t iz) {
    auto part = [](int64_t v) {
      return static_cast<uint64_t>(std::clamp<int64_t>(v + (1 << 20), 0,
                                                       (1 << 21) - 1));
    };
    return (part(ix) << 42) | (part(iy) << 21) | part(iz);
  }
  int64_t CellOf(double v) const {
    return static_cast<int64_t>(std::floor(v / size));
  }
  static uint64_t Hash(uint64_t key) {
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdull;
    key ^= key >> 33;
    return key;
  }

  GridIndex(const std::vector<Row>& from, double cellSize) : size(cellSize) {
    std::vector<std::pair<uint64_t, uint32_t>> keyed(from.size());
    for (size_t i = 0; i < from.size(); ++i) {
      const CartesianPoint& p = from[i].point;
      keyed[i] = {KeyOf(CellOf(p.x), CellOf(p.y), CellOf(p.z)),
                  static_cast<uint32_t>(i)};
    }
    std::sort(keyed.begin(), keyed.end());
    rows.resize(from.size());
    std::vector<uint64_t> runKeys;
    for (size_t i = 0; i < keyed.size(); ++i) {
      rows[i] = from[keyed[i].second];
      if (i == 0 || keyed[i].first != keyed[i - 1].first) {
        runKeys.push_back(keyed[i].first);
        runStarts.push_back(static_cast<uint32_t>(i));
      }
    }
    runStarts.push_back(static_cast<uint32_t>(keyed.size()));
    size_t slots = 16;
    while (slots < runKeys.size() * 2) slots *= 2;
    mask = slots - 1;
    slotKeys.assign(slots, UINT64_MAX);
    slotRuns.assign(slots, 0);
    for (size_t r = 0; r < runKeys.size(); ++r) {
      uint64_t at = Hash(runKeys[r]) & mask;
      while (slotKeys[at] != UINT64_MAX) at = (at + 1) & mask;
      slotKeys[at] = runKeys[r];
      slotRuns[at] = static_cast<uint32_t>(r);
    }
  }

  size_t Bytes() const {
    return slotKeys.size() * 8 + slotRuns.size() * 4 + runStarts.size() * 4;
  }

  void Query(const CartesianPoint& c, double radius, Found* found) const {
    int64_t low[3] = {CellOf(c.x - radius), CellOf(c.y - radius),
                      CellOf(c.z - radius)};
    int64_t high[3] = {CellOf(c.x + radius), CellOf(c.y + radius),
                       CellOf(c.z + radius)};
    for (int64_t ix = low[0]; ix <= high[0]; ++ix) {
      for (int64_t iy = low[1]; iy <= high[1]; ++iy) {
        for (int64_t iz = low[2]; iz <= high[2]; ++iz) {
          uint64_t key = KeyOf(ix, iy, iz);
          uint64_t at = Hash(key) & mask;
          while (slotKeys[at] != UINT64_MAX && slotKeys[at] != key) {
            at = (at + 1) & mask;
          }
          if (slotKeys[at] != key) continue;
          uint32_t run = slotRuns[at];
          for (uint32_t k = runStarts[run]; k < runStarts[run + 1]; ++k) {
            Test(rows[k], c, radius, found);
          }
        }
      }
    }
  }
};

// The same rows and keys, covered by fewer runs; with "refineAbove", by
// 64 runs when the fewer hold more rows than that.
struct FewerRuns {
  MortonIndex* index;
  int budget;
  size_t refineAbove;  // 0: never
  void Query(const CartesianPoint& c, double radius, Found* found) const {
    index->budget = budget;
    if (refineAbove > 0) {
      veloran::KeyRanges ranges;
      if (veloran::CoverBall(c, 0.0, radius, budget, &ranges)) {
        const std::vector<int64_t>& cells = index->cells;
        size_t rows = 0;
        for (int r = 0; r < ranges.count; ++r) {
          rows += std::upper_bound(cells.begin(), cells.end(),
                                   ranges.ranges[r].last) -
                  std::lower_bound(cells.begin(), cells.end(),
                                   ranges.ranges[r].first);
        }
        if (rows > refineAbove) index->budget = veloran::kMaxKeyRanges;
      }
    }
    index->Query(c, radius, found);
    index->budget = veloran::kMaxKeyRanges;
  }
};

// --- nanoflann's k-d tree ----------------------------------------------

struct Cloud {
  const std::vector<Row>* rows;
  size_t kdtree_get_point_count() const { return rows->size(); }
  double kdtree_get_pt(size_t i, size_t dim) const {
    const CartesianPoint& p = (*rows)[i].point;
    return dim == 0 ? p.x : (dim == 1 ? p.y : p.z);
  }
  template <class Box>
  bool kdtree_get_bbox(Box&) const {
    return false;
  }
};

using KdTree = nanoflann::KDTreeSingleIndexAdaptor<
    nanoflann::L2_Simple_Adaptor<double, Cloud>, Cloud, 3, uint32_t>;

// The candidates within the radius (a little more, for the rounding of the
// tree's own distance) go to the same exact test.
struct KdCollector {
  const std::vector<Row>* rows;
  CartesianPoint centre;
  double radius;
  double limit;
  Found* found;
  size_t count = 0;
  size_t size() const { return count; }
  bool full() const { return true; }
  bool addPoint(double, uint32_t index) {
    ++count;
    Test((*rows)[index], centre, radius, found);
    return true;
  }
  double worstDist() const { return limit; }
};

struct KdIndex {
  std::vector<Row> rows;
  Cloud cloud;
  KdTree* tree;

  KdIndex(const std::vector<Row>& from, size_t leafSize) : rows(from) {
    cloud.rows = &rows;
    tree = new KdTree(3, cloud, nanoflann::KDTreeSingleIndexAdaptorParams(
                                    leafSize));
    tree->buildIndex();
    // The rows in the tree's own order, so that a leaf's rows lie together.
    std::vector<Row> ordered(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) ordered[i] = rows[tree->vAcc[i]];
    rows.swap(ordered);
    for (size_t i = 0; i < rows.size(); ++i) tree->vAcc[i] = i;
  }
  ~KdIndex() { delete tree; }

  void Query(const CartesianPoint& c, double radius, Found* found) const {
    double point[3] = {c.x, c.y, c.z};
    double limit = radius * (1.0 + 1e-6);
    KdCollector collector{&rows, c, radius, limit * limit, found};
    tree->findNeighbors(collector, point, nanoflann::SearchParams(32, 0, false));
  }
};

const char* Option(int argc, char** argv, const char* name) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
  }
  return nullptr;
}

template <typename Index>
double TimeQueries(const Index& index, const std::vector<CartesianPoint>& centres,
                   double radius, Found* found) {
  *found = Found{};
  double start = Seconds();
  for (const CartesianPoint& c : centres) index.Query(c, radius, found);
  return (Seconds() - start) * 1e6 / centres.size();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const char* database = Option(argc, argv, "--database");
  const char* synthetic = Option(argc, argv, "--synthetic");
  double radius = Option(argc, argv, "--radius") ? std::atof(Option(argc, argv, "--radius")) : 20.0;
  long queries = Option(argc, argv, "--queries") ? std::atol(Option(argc, argv, "--queries")) : 2000;
  int rounds = Option(argc, argv, "--rounds") ? std::atoi(Option(argc, argv, "--rounds")) : 5;
  uint64_t seed = Option(argc, argv, "--seed") ? std::strtoull(Option(argc, argv, "--seed"), nullptr, 10) : 7;
  if ((database == nullptr) == (synthetic == nullptr) || radius <= 0 ||
      queries < 1 || rounds < 1) {
    std::fprintf(stderr,
                 "usage: index_bench (--database FILE.db | --synthetic N) "
                 "[--radius LY] [--queries Q] [--rounds R] [--seed S]\n");
    return 2;
  }
  std::vector<Row> rows = database ? DatabaseRows(database)
                                   : SyntheticRows(std::atol(synthetic), seed);
  Random random{seed + 1};
  std::vector<CartesianPoint> centres(queries);
  for (auto& c : centres) c = rows[random.Next() % rows.size()].point;
  std::printf("%zu rows of %zu bytes, %ld queries of %g light-years, %d rounds\n",
              rows.size(), sizeof(Row), queries, radius, rounds);

  size_t before = HeapInUse();
  double start = Seconds();
  MortonIndex morton(rows);
  double mortonBuild = Seconds() - start;
  size_t mortonBytes = HeapInUse() - before - rows.size() * sizeof(Row);

  before = HeapInUse();
  start = Seconds();
  GridIndex grid(rows, radius);
  double gridBuild = Seconds() - start;
  size_t gridBytes = HeapInUse() - before - rows.size() * sizeof(Row);

  before = HeapInUse();
  start = Seconds();
  KdIndex kd(rows, 16);
  double kdBuild = Seconds() - start;
  size_t kdBytes = HeapInUse() - before - rows.size() * sizeof(Row);

  constexpr int kIndexes = 5;
  FewerRuns fewer{&morton, 8, 0};
  FewerRuns refined{&morton, 8, 4096};
  std::vector<double> times[kIndexes];
  Found found[kIndexes];
  for (int r = 0; r < rounds; ++r) {
    // The order turns each round, so that none is always first.
    for (int k = 0; k < kIndexes; ++k) {
      int which = (k + r) % kIndexes;
      double us = which == 0   ? TimeQueries(morton, centres, radius, &found[0])
                  : which == 1 ? TimeQueries(fewer, centres, radius, &found[1])
                  : which == 2 ? TimeQueries(grid, centres, radius, &found[2])
                  : which == 3 ? TimeQueries(kd, centres, radius, &found[3])
                               : TimeQueries(refined, centres, radius, &found[4]);
      times[which].push_back(us);
    }
  }
  const char* names[kIndexes] = {"Morton-sorted rows, 64 runs of keys",
                                 "Morton-sorted rows, 8 runs of keys",
                                 "uniform grid, cells of the radius",
                                 "nanoflann k-d tree, leaves of 16",
                                 "Morton, 8 runs, 64 past 4096 rows"};
  double builds[kIndexes] = {mortonBuild, mortonBuild, gridBuild, kdBuild,
                             mortonBuild};
  size_t bytes[kIndexes] = {mortonBytes, mortonBytes, gridBytes, kdBytes,
                            mortonBytes};
  bool same = true;
  for (int k = 0; k < kIndexes; ++k) {
    same = same && found[k].matches == found[0].matches &&
           found[k].orders == found[0].orders;
    std::printf(
        "%-38s build %7.3f s  index %8.1f MB  query %8.2f us (median)  "
        "candidates %8.1f  matches %7.1f  rounds:",
        names[k], builds[k], bytes[k] / 1e6, Median(times[k]),
        static_cast<double>(found[k].candidates) / queries,
        static_cast<double>(found[k].matches) / queries);
    for (double us : times[k]) std::printf(" %.2f", us);
    std::printf("\n");
  }
  std::printf("same matches in all: %s\n", same ? "yes" : "NO");
  return same ? 0 : 1;
}
