#include "search/key_ranges.h"

#include <algorithm>

#include "search/cell_keys.h"
#include "search/sky_pixels.h"

namespace veloran {

void JoinKeyRanges(KeyRanges* ranges) {
  KeyRange* begin = ranges->ranges;
  KeyRange* end = begin + ranges->count;
  std::sort(begin, end, [](const KeyRange& a, const KeyRange& b) {
    return a.first < b.first;
  });
  int joined = 0;
  for (const KeyRange* range = begin; range != end; ++range) {
    // Touching: the run starts just after the last one ends (written so
    // that nothing overflows at the ends of the key space).
    if (joined > 0 && range->first - 1 <= ranges->ranges[joined - 1].last) {
      KeyRange& last = ranges->ranges[joined - 1];
      last.last = std::max(last.last, range->last);
    } else {
      ranges->ranges[joined++] = *range;
    }
  }
  ranges->count = joined;
}

bool CoverRegion(const SearchRegion& region, int budget, IndexKey* key,
                 KeyRanges* ranges) {
  ranges->count = 0;
  switch (region.kind) {
    case SearchRegion::Kind::kEverything:
      return false;
    case SearchRegion::Kind::kShell:
      *key = IndexKey::kCell;
      return CoverBall(region.centre, region.minDistance, region.maxDistance,
                       budget, ranges);
    case SearchRegion::Kind::kCone:
      *key = IndexKey::kPixel;
      return CoverCone(region.raDegrees, region.decDegrees,
                       region.radiusDegrees, budget, ranges);
  }
  return false;
}

}  // namespace veloran
