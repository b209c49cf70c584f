#ifndef VELORAN_SEARCH_INDEX_ROWS_H_
#define VELORAN_SEARCH_INDEX_ROWS_H_

#include <cstdint>

#include "astro/position_conversion.h"
#include "search/position_scan.h"

// What the position index holds of a star's row: the values that the
// searches compute of it, and its keys.  The index builder writes these
// rows to the database; a resident worker keeps the same in memory.

namespace veloran {

struct IndexRow {
  int64_t order;  // StarPosition::order
  int32_t starId;
  int64_t cell;   // CellKeyOf the point; kNoCell without one
  int64_t pixel;  // SkyPixelOf the direction; kNoPixel without RA or Dec
  bool hasPoint;
  CartesianPoint point;  // galactic, as GalacticPointOf gives it
  bool hasRA;
  double raHours;  // 0 without RA
  bool hasDec;
  double decDegrees;  // 0 without Dec
  bool hasDistance;
  double distance;  // as stored; 0 without one
};

// The index row of "position".
IndexRow IndexRowOf(const StarPosition& position);

// A number made of the bits of the galactic points, decimal angles, cells
// and pixels that this program computes for a fixed set of positions.  An
// index built by a program whose arithmetic gives another number (another
// compiler, mathematics library or sky pixel library) holds other values
// than this program would compute, and is not used.
int64_t IndexConversionCheck();

}  // namespace veloran

#endif  // VELORAN_SEARCH_INDEX_ROWS_H_
