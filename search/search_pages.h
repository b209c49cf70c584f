#ifndef VELORAN_SEARCH_SEARCH_PAGES_H_
#define VELORAN_SEARCH_SEARCH_PAGES_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "cgi/search_window.h"

// The two result pages.

namespace veloran {

// Writes the complete page that lists the stars around the window's centre,
// a point in galactic light-years.
void WriteCoordinateSearchPage(SQLHSTMT statement, const SearchWindow& window);

// Writes the complete page that lists the stars around star "starId", never
// the star itself.  Returns false, having written and loaded nothing, when
// the star's position cannot be read or has no usable distance, RA or Dec.
bool WriteStarSearchPage(SQLHSTMT statement, int32_t starId,
                         const SearchWindow& window);

}  // namespace veloran

#endif  // VELORAN_SEARCH_SEARCH_PAGES_H_
