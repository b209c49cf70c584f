#include "search/cell_keys.h"

#include <cassert>
#include <cmath>
#include <limits>

namespace veloran {

namespace {

constexpr uint32_t kCellsPerAxis = uint32_t{1} << kCellBits;
// The Sun's corner: cell numbers run from -kCellOffset to kCellOffset - 1.
constexpr double kCellOffset = static_cast<double>(kCellsPerAxis / 2);
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Relative margins on the radii of a covering: far wider than the rounding
// of the searches' own distance (a few units in the last place), so that a
// point they find in range is in a covered cell.
constexpr double kOuterMargin = 1.0 + 1e-9;
constexpr double kInnerMargin = 1.0 - 1e-9;

// The cell number of one coordinate, counted from 0; "v" is a number.
uint32_t AxisCell(double v) {
  double cell = std::floor(v / kCellSize) + kCellOffset;
  if (cell < 0.0) return 0;
  if (cell >= kCellsPerAxis) return kCellsPerAxis - 1;
  return static_cast<uint32_t>(cell);
}

// The 21 bits of "v" moved to every third place.
uint64_t Spread(uint64_t v) {
  v &= kCellsPerAxis - 1;
  v = (v | v << 32) & 0x001F00000000FFFFull;
  v = (v | v << 16) & 0x001F0000FF0000FFull;
  v = (v | v << 8) & 0x100F00F00F00F00Full;
  v = (v | v << 4) & 0x10C30C30C30C30C3ull;
  v = (v | v << 2) & 0x1249249249249249ull;
  return v;
}

uint64_t MortonKey(uint32_t x, uint32_t y, uint32_t z) {
  return Spread(x) << 2 | Spread(y) << 1 | Spread(z);
}

// An aligned cube of 2^level cells a side, "low" its lowest cell on each
// axis.
struct Node {
  uint32_t low[3];
  int level;
  bool partial;  // the shell covers it only in part: worth splitting
};

enum class Cover { kNone, kWhole, kPart };

// The shell's reach: every point between "inner" and "outer" light-years of
// "centre"; inner 0 for a ball.
struct Shell {
  double centre[3];
  double outerSquared;
  double innerSquared;
};

// Where the coordinates of a node's cells lie along one axis.  The
// outermost cells reach to infinity.
double LowEdge(uint32_t low) {
  return low == 0 ? -kInfinity : (low - kCellOffset) * kCellSize;
}

double HighEdge(uint32_t low, int level) {
  uint64_t end = uint64_t{low} + (uint64_t{1} << level);
  return end >= kCellsPerAxis ? kInfinity : (end - kCellOffset) * kCellSize;
}

Cover Covers(const Shell& shell, const Node& node) {
  double nearest = 0.0;   // squared
  double farthest = 0.0;  // squared
  for (int axis = 0; axis < 3; ++axis) {
    double c = shell.centre[axis];
    double low = LowEdge(node.low[axis]);
    double high = HighEdge(node.low[axis], node.level);
    double gap = c < low ? low - c : (c > high ? c - high : 0.0);
    double far = std::fmax(c - low, high - c);
    nearest += gap * gap;
    farthest += far * far;
  }
  if (nearest > shell.outerSquared || farthest < shell.innerSquared) {
    return Cover::kNone;
  }
  if (farthest <= shell.outerSquared && nearest >= shell.innerSquared) {
    return Cover::kWhole;
  }
  return Cover::kPart;
}

KeyRange RangeOf(const Node& node) {
  uint64_t first = MortonKey(node.low[0], node.low[1], node.low[2]);
  uint64_t span = uint64_t{1} << (3 * node.level);  // 2^63 at most
  return {static_cast<int64_t>(first), static_cast<int64_t>(first + (span - 1))};
}

// The place of the partial node of the highest level above 0 that may
// still be split, or -1.
int LargestPartial(const Node* nodes, int count) {
  int best = -1;
  for (int i = 0; i < count; ++i) {
    if (nodes[i].partial && nodes[i].level > 0 &&
        (best < 0 || nodes[i].level > nodes[best].level)) {
      best = i;
    }
  }
  return best;
}

}  // namespace

int64_t CellKeyOf(const CartesianPoint& point) {
  if (std::isnan(point.x) || std::isnan(point.y) || std::isnan(point.z)) {
    return kNoCell;
  }
  return static_cast<int64_t>(
      MortonKey(AxisCell(point.x), AxisCell(point.y), AxisCell(point.z)));
}

bool CoverBall(const CartesianPoint& centre, double minDistance,
               double maxDistance, int budget, KeyRanges* ranges) {
  assert(budget >= 1 && budget <= kMaxKeyRanges);
  ranges->count = 0;
  if (!std::isfinite(maxDistance) || !std::isfinite(centre.x) ||
      !std::isfinite(centre.y) || !std::isfinite(centre.z)) {
    return false;
  }
  // No distance is below 0 or between a larger minimum and the maximum.
  if (maxDistance < 0.0 || minDistance > maxDistance) return true;
  double outer = maxDistance * kOuterMargin;
  double inner = minDistance > 0.0 ? minDistance * kInnerMargin : 0.0;
  Shell shell{{centre.x, centre.y, centre.z}, outer * outer, inner * inner};

  Node nodes[kMaxKeyRanges];
  Node root{{0, 0, 0}, kCellBits, false};
  Cover rootCover = Covers(shell, root);
  if (rootCover == Cover::kNone) return true;
  if (rootCover == Cover::kWhole) return false;
  root.partial = true;
  nodes[0] = root;
  int count = 1;
  for (int split = LargestPartial(nodes, count); split >= 0;
       split = LargestPartial(nodes, count)) {
    Node parent = nodes[split];
    Node children[8];
    int kept = 0;
    int level = parent.level - 1;
    uint32_t side = uint32_t{1} << level;
    for (int octant = 0; octant < 8; ++octant) {
      Node child{{parent.low[0] + ((octant & 4) ? side : 0),
                  parent.low[1] + ((octant & 2) ? side : 0),
                  parent.low[2] + ((octant & 1) ? side : 0)},
                 level, false};
      Cover cover = Covers(shell, child);
      if (cover == Cover::kNone) continue;
      child.partial = cover == Cover::kPart;
      children[kept++] = child;
    }
    if (count - 1 + kept > budget) {
      nodes[split].partial = false;  // kept whole: the budget is spent
      continue;
    }
    if (kept == 0) {  // rounding can leave a touched cube nothing
      nodes[split] = nodes[--count];
      continue;
    }
    // The parent's place takes its first child; the others go at the end.
    nodes[split] = children[0];
    for (int i = 1; i < kept; ++i) nodes[count++] = children[i];
  }
  for (int i = 0; i < count; ++i) ranges->ranges[i] = RangeOf(nodes[i]);
  ranges->count = count;
  JoinKeyRanges(ranges);
  const KeyRange& first = ranges->ranges[0];
  bool everything = ranges->count == 1 && first.first == 0 &&
                    first.last == RangeOf(root).last;
  return !everything;
}

}  // namespace veloran
