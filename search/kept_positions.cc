#include "search/kept_positions.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "catalogue/kept_connection.h"
#include "search/index_rows.h"
#include "search/key_ranges.h"
#include "search/sky_pixels.h"

namespace veloran {

namespace {

// The most runs of keys that a search of the kept rows looks up: each is a
// binary search of the sorted keys.
constexpr int kKeptBudget = kMaxKeyRanges;

// A ball is covered by a few runs first: finding 64 costs more than the
// rows they leave out when those are few (bench/INDEX-RESULTS.md: on
// Hipparcos 34 us a 20-light-year search with 64 runs, 6 with 8; at
// 10,000,000 stars 64 are better).  Past this many rows the 64 are found.
constexpr int kFirstCellBudget = 8;
constexpr size_t kRefineAbove = 4096;

// A kept row: what a search reads of it, in 64 bytes.
struct KeptRow {
  CartesianPoint point;  // galactic; the origin when not placed
  double raHours;
  double decDegrees;
  double distance;
  int64_t order;
  int32_t starId;
  uint8_t flags;
};

enum : uint8_t {
  kHasRA = 1,
  kHasDec = 2,
  kHasDistance = 4,
  kPlaced = 8,
};

// The rows of the database of "generation", sorted by cell (then by
// order), with their cells beside them; and the places of the rows sorted
// by sky pixel (then by order), with their pixels beside them.
struct Kept {
  KeptRow* rows = nullptr;
  int64_t* cells = nullptr;
  int64_t* pixels = nullptr;      // while reading: the pixel of rows[i]
  uint32_t* pixelRows = nullptr;  // rows[pixelRows[k]] has pixels[k]
  size_t count = 0;
  size_t capacity = 0;
  bool lost = false;  // a row found no memory
  uint64_t generation = 0;
};

Kept kept;

template <typename T>
bool Grow(T** array, size_t capacity) {
  void* grown = std::realloc(*array, capacity * sizeof(T));
  if (grown == nullptr) return false;
  *array = static_cast<T*>(grown);
  return true;
}

void Keep(void* context, const StarPosition& position) {
  auto* kept = static_cast<Kept*>(context);
  if (kept->lost) return;
  if (static_cast<int64_t>(kept->count) >= KeptRowLimit()) {
    kept->lost = true;  // more than a worker may keep
    return;
  }
  if (kept->count == kept->capacity) {
    size_t capacity = kept->capacity == 0 ? 4096 : kept->capacity * 2;
    if (capacity > UINT32_MAX || !Grow(&kept->rows, capacity) ||
        !Grow(&kept->cells, capacity) || !Grow(&kept->pixels, capacity)) {
      kept->lost = true;
      return;
    }
    kept->capacity = capacity;
  }
  IndexRow index = IndexRowOf(position);
  uint8_t flags = (index.hasRA ? kHasRA : 0) | (index.hasDec ? kHasDec : 0) |
                  (index.hasDistance ? kHasDistance : 0) |
                  (index.hasPoint ? kPlaced : 0);
  kept->rows[kept->count] = {index.point,    index.raHours, index.decDegrees,
                             index.distance, index.order,   index.starId,
                             flags};
  kept->cells[kept->count] = index.cell;
  kept->pixels[kept->count] = index.pixel;
  ++kept->count;
}

// Puts the rows, and their cells and pixels, in the order of "places"
// (the row that goes to place k is at places[k]), moving each once;
// "places" is left as 0, 1, 2, ...
void Reorder(Kept* kept, uint32_t* places) {
  for (size_t start = 0; start < kept->count; ++start) {
    if (places[start] == start) continue;
    KeptRow row = kept->rows[start];
    int64_t cell = kept->cells[start];
    int64_t pixel = kept->pixels[start];
    size_t at = start;
    while (places[at] != start) {
      size_t from = places[at];
      kept->rows[at] = kept->rows[from];
      kept->cells[at] = kept->cells[from];
      kept->pixels[at] = kept->pixels[from];
      places[at] = static_cast<uint32_t>(at);
      at = from;
    }
    kept->rows[at] = row;
    kept->cells[at] = cell;
    kept->pixels[at] = pixel;
    places[at] = static_cast<uint32_t>(at);
  }
}

// Sorts the rows read by cell and orders them by pixel.  False when there
// was no memory for it.
bool IndexKept(Kept* kept) {
  size_t count = kept->count;
  auto* places =
      static_cast<uint32_t*>(std::malloc(std::max<size_t>(count, 1) * 4));
  if (places == nullptr) return false;
  for (size_t i = 0; i < count; ++i) places[i] = static_cast<uint32_t>(i);
  // The rows arrived in order, so a place is also an order.
  const int64_t* cells = kept->cells;
  std::sort(places, places + count, [cells](uint32_t a, uint32_t b) {
    return cells[a] != cells[b] ? cells[a] < cells[b] : a < b;
  });
  Reorder(kept, places);

  const int64_t* pixels = kept->pixels;
  const KeptRow* rows = kept->rows;
  std::sort(places, places + count, [pixels, rows](uint32_t a, uint32_t b) {
    return pixels[a] != pixels[b] ? pixels[a] < pixels[b]
                                  : rows[a].order < rows[b].order;
  });
  auto* sorted =
      static_cast<int64_t*>(std::malloc(std::max<size_t>(count, 1) * 8));
  if (sorted == nullptr) {
    std::free(places);
    return false;
  }
  for (size_t k = 0; k < count; ++k) sorted[k] = pixels[places[k]];
  std::free(kept->pixels);
  kept->pixels = sorted;
  kept->pixelRows = places;
  return true;
}

StarPosition PositionOf(const KeptRow& row) {
  StarPosition position{};
  position.starId = row.starId;
  position.order = row.order;
  position.hasRA = (row.flags & kHasRA) != 0;
  position.hasDec = (row.flags & kHasDec) != 0;
  position.hasDistance = (row.flags & kHasDistance) != 0;
  position.pointComputed = true;
  position.placed = (row.flags & kPlaced) != 0;
  position.distance = row.distance;
  position.raHours = row.raHours;
  position.decDegrees = row.decDegrees;
  position.point = row.point;
  position.row = nullptr;
  return position;
}

// The first place in "keys" (sorted, "count" of them) whose key is at least
// "key".
size_t FirstAtLeast(const int64_t* keys, size_t count, int64_t key) {
  return static_cast<size_t>(std::lower_bound(keys, keys + count, key) -
                             keys);
}

}  // namespace

KeptState KeepStarPositions(SQLHSTMT statement, ScanOutcome* outcome) {
  uint64_t generation = KeptDatabaseGeneration();
  if (generation == 0 || KeptRowLimit() == 0) return KeptState::kNotKept;
  if (generation == kept.generation) {
    return kept.lost ? KeptState::kNotKept : KeptState::kKept;
  }
  FreeKeptPositions();
  *outcome = ReadStarPositions(statement, Keep, &kept);
  if (*outcome != ScanOutcome::kRead) {
    FreeKeptPositions();
    return KeptState::kReadFailed;
  }
  if (!kept.lost) kept.lost = !IndexKept(&kept);
  if (kept.lost) {
    // Kept as lost for this database: its rows are read for each search.
    FreeKeptPositions();
    kept.lost = true;
  }
  kept.generation = generation;
  return kept.lost ? KeptState::kNotKept : KeptState::kKept;
}

namespace {

// The rows of "ranges" of the keys "keys" (sorted).
size_t CountInRanges(const int64_t* keys, size_t count,
                     const KeyRanges& ranges) {
  size_t rows = 0;
  for (int r = 0; r < ranges.count; ++r) {
    const int64_t* end = keys + count;
    rows += static_cast<size_t>(
        std::upper_bound(keys, end, ranges.ranges[r].last) -
        std::lower_bound(keys, end, ranges.ranges[r].first));
  }
  return rows;
}

// Hands over the rows of "ranges" of "key".
void VisitRanges(IndexKey key, const KeyRanges& ranges, PositionVisitor visit,
                 void* context) {
  const int64_t* keys = key == IndexKey::kCell ? kept.cells : kept.pixels;
  for (int r = 0; r < ranges.count; ++r) {
    const KeyRange& range = ranges.ranges[r];
    for (size_t k = FirstAtLeast(keys, kept.count, range.first);
         k < kept.count && keys[k] <= range.last; ++k) {
      size_t row = key == IndexKey::kCell ? k : kept.pixelRows[k];
      visit(context, PositionOf(kept.rows[row]));
    }
  }
}

// A search of a window of the sky may reach far and yet hold few rows: its
// cone's pixels, and the rows without a direction, which it does not bound,
// are handed over instead of the shell's cells when they are clearly fewer
// (the rows of pixels lie apart in memory).  True when they were.
bool VisitWindow(const SearchRegion& region, size_t cellRows,
                 PositionVisitor visit, void* context) {
  KeyRanges ranges;
  if (!region.hasWindow ||
      !CoverCone(region.windowRA, region.windowDec, region.windowRadius,
                 kKeptBudget, &ranges)) {
    return false;
  }
  KeyRanges undirected;
  undirected.ranges[0] = {kNoPixel, kNoPixel};
  undirected.count = 1;
  size_t pixelRows = CountInRanges(kept.pixels, kept.count, ranges) +
                     CountInRanges(kept.pixels, kept.count, undirected);
  if (pixelRows * 2 >= cellRows) return false;
  VisitRanges(IndexKey::kPixel, undirected, visit, context);
  VisitRanges(IndexKey::kPixel, ranges, visit, context);
  return true;
}

// Covers "region" as CoverRegion does, a ball by few runs when they hold
// few rows.
bool CoverKept(const SearchRegion& region, IndexKey* key, KeyRanges* ranges) {
  if (region.kind != SearchRegion::Kind::kShell) {
    return CoverRegion(region, kKeptBudget, key, ranges);
  }
  // A few runs may take in all of space where more would not.
  if (CoverRegion(region, kFirstCellBudget, key, ranges) &&
      CountInRanges(kept.cells, kept.count, *ranges) <= kRefineAbove) {
    return true;
  }
  return CoverRegion(region, kKeptBudget, key, ranges);
}

}  // namespace

void VisitKeptPositions(const SearchRegion& region, PositionVisitor visit,
                        void* context) {
  IndexKey key;
  KeyRanges ranges;
  if (!CoverKept(region, &key, &ranges)) {
    if (VisitWindow(region, kept.count, visit, context)) return;
    for (size_t i = 0; i < kept.count; ++i) {
      visit(context, PositionOf(kept.rows[i]));
    }
    return;
  }
  if (key == IndexKey::kCell && region.hasWindow) {
    const int64_t* keys = kept.cells;
    if (VisitWindow(region, CountInRanges(keys, kept.count, ranges), visit,
                    context)) {
      return;
    }
  }
  VisitRanges(key, ranges, visit, context);
}

void FreeKeptPositions() {
  std::free(kept.rows);
  std::free(kept.cells);
  std::free(kept.pixels);
  std::free(kept.pixelRows);
  kept = Kept{};
}

}  // namespace veloran
