#ifndef VELORAN_SEARCH_SEARCH_PAGES_H_
#define VELORAN_SEARCH_SEARCH_PAGES_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "cgi/search_window.h"
#include "search/neighbour_scan.h"

// The two result pages.

namespace veloran {

// The search of "window" around "centre", leaving out star "excludedId" (0:
// none).
NeighbourQuery MakeWindowQuery(const SearchWindow& window,
                               const CartesianPoint& centre,
                               int32_t excludedId);

// Reads the galactic point of star "starId" into *centre.  False when its
// position cannot be read (a failed read is kept as the read fault) or has
// no usable distance, RA or Dec.
bool ReadStarCentre(SQLHSTMT statement, int32_t starId, CartesianPoint* centre);

// The pages are written whole even when a read of the star database fails
// (read_fault.h): they then end with what was read so far and the line of
// WriteIncompleteReadLine, or the scan's message, before the page's tail.
// A failure before the heading leaves the heading out.

// Writes the complete page that lists the stars around the window's centre,
// a point in galactic light-years.
void WriteCoordinateSearchPage(SQLHSTMT statement, const SearchWindow& window);

// Writes the complete page that lists the stars around star "starId", never
// the star itself.  Returns false, having written and loaded nothing, when
// the star's position cannot be read (a failed read is kept as the read
// fault) or has no usable distance, RA or Dec.
bool WriteStarSearchPage(SQLHSTMT statement, int32_t starId,
                         const SearchWindow& window);

}  // namespace veloran

#endif  // VELORAN_SEARCH_SEARCH_PAGES_H_
