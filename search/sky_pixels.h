#ifndef VELORAN_SEARCH_SKY_PIXELS_H_
#define VELORAN_SEARCH_SKY_PIXELS_H_

#include <cstdint>

#include "search/key_ranges.h"

// The pixels of the sky by which the position index finds the stars in a
// cone: HEALPix in its nested numbering (Debian's libhealpix-cxx), at order
// kPixelOrder (pixels of about 0.2 arcseconds), so that every pixel of a
// coarser order is one run of consecutive fine pixels.  A key is a plain
// integer that a B-tree of any database serves.

namespace veloran {

inline constexpr int kPixelOrder = 20;
// The key of a row without right ascension or declination: no cone holds
// it.
inline constexpr int64_t kNoPixel = -1;

// The pixel of the direction (raDegrees, decDegrees), as the cone search
// takes a star's direction: any finite angles, a declination beyond 90
// degrees being one past the pole.  kNoPixel when either is not finite.
int64_t SkyPixelOf(double raDegrees, double decDegrees);

// Covers the directions whose separation from (raDegrees, decDegrees), as
// the cone search computes it, may come out at most radiusDegrees: fills
// *ranges with at most "budget" runs of pixels (at least 12, at most
// kMaxKeyRanges) at the finest order whose covering fits, each holding
// every such direction.  No run at all when no separation can be that
// small.  Returns false when every row must be read: the cone takes in the
// whole sky, or the pixels could not be worked out.
bool CoverCone(double raDegrees, double decDegrees, double radiusDegrees,
               int budget, KeyRanges* ranges);

}  // namespace veloran

#endif  // VELORAN_SEARCH_SKY_PIXELS_H_
