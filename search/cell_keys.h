#ifndef VELORAN_SEARCH_CELL_KEYS_H_
#define VELORAN_SEARCH_CELL_KEYS_H_

#include <cstdint>

#include "astro/position_conversion.h"
#include "search/key_ranges.h"

// The cells of space by which the position index finds the stars near a
// point: cubes of kCellSize light-years in galactic coordinates, one corner
// at the Sun, numbered along a Morton curve (the bits of the three cell
// numbers interleaved), so that every aligned cube of 2^k cells a side is
// one run of consecutive keys.  A key is a plain integer that a B-tree of
// any database serves.

namespace veloran {

inline constexpr double kCellSize = 1.0;  // light-years
inline constexpr int kCellBits = 21;      // per axis: 63 bits in all
// The key of a row without a point, or with a coordinate that is not a
// number: no covering holds it, and no search by distance matches it.
inline constexpr int64_t kNoCell = -1;

// The key of the cell that holds "point".  A coordinate beyond +-2^20
// cells counts as in the outermost cell, which so reaches to infinity.
int64_t CellKeyOf(const CartesianPoint& point);

// Covers the galactic points whose distance from "centre" may come out, as
// the searches compute it, between minDistance and maxDistance light-years
// (both inclusive): fills *ranges with at most "budget" runs of keys (at
// most kMaxKeyRanges) whose cells hold every such point, splitting the
// cells that the shell only partly covers, largest first, while the budget
// allows.  No run at all when no distance can be in range.  Returns false
// when the region has no such bounds (a maximum or a centre that is not a
// finite number, or a shell that takes in all of space): every row must be
// read then.
bool CoverBall(const CartesianPoint& centre, double minDistance,
               double maxDistance, int budget, KeyRanges* ranges);

}  // namespace veloran

#endif  // VELORAN_SEARCH_CELL_KEYS_H_
