#ifndef VELORAN_SEARCH_KEY_RANGES_H_
#define VELORAN_SEARCH_KEY_RANGES_H_

#include <cstdint>

#include "catalogue/position_index.h"
#include "search/search_region.h"

// The runs of index keys that hold every row a search can match: what a
// covering of a region of space (cell_keys.h) or of the sky (sky_pixels.h)
// gives, and what the sources of rows read (position_source.h).

namespace veloran {

// The most runs a covering may give.
inline constexpr int kMaxKeyRanges = 64;

// Runs of keys in increasing order, none overlapping or touching another.
struct KeyRanges {
  KeyRange ranges[kMaxKeyRanges];
  int count = 0;
};

// Sorts ranges->ranges and joins those that overlap or touch, so that they
// are in increasing order with gaps between them.
void JoinKeyRanges(KeyRanges* ranges);

// Covers "region" with at most "budget" runs of the key that serves it
// (cells for a shell, pixels for a cone): *key says which, *ranges holds
// them, none when no row can be in the region.  False when every row must
// be read (the region is everything, or has no bounds that keys can
// give).
bool CoverRegion(const SearchRegion& region, int budget, IndexKey* key,
                 KeyRanges* ranges);

}  // namespace veloran

#endif  // VELORAN_SEARCH_KEY_RANGES_H_
