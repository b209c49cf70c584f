#ifndef VELORAN_SITE_LISTED_STAR_H_
#define VELORAN_SITE_LISTED_STAR_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "catalogue/display_names.h"
#include "catalogue/star_records.h"
#include "search/neighbour_scan.h"

// One star as the site's lists of a search show it: the match with its
// distance and position, and what the database says of the star.

namespace veloran {

struct ListedStar {
  NeighbourMatch match;  // the ID, distance, galactic point, RA and Dec
  bool hasName;
  char name[kDisplayNameSize];  // the display name, an HTML fragment
  bool hasProperName;  // the name is from ProperNames, no catalogue number
  bool hasSpectrum;             // a Spectra row
  SpectrumRecord spectrum;
  bool hasFacts;  // a StarFacts row
  StarFacts facts;
  // Its distance is doubtful, by the entry page's rule: the maps mark it.
  bool doubtfulDistance = false;
};

// Reads the name, spectrum and facts of the star of "match" into *star,
// with the catalogue table loaded (LoadCatalogueNames).  Returns false when
// a read failed (kept as the read fault); what the database does not hold
// is left out of a star that is still read.
bool ReadListedStar(SQLHSTMT statement, const NeighbourMatch& match,
                    ListedStar* star);

// The star's class as the classic listing writes it: "G2 V", or the
// spectral class followed by a blank when there is no luminosity class;
// empty without a spectral class.  "text" has room for both classes.
constexpr int kClassTextSize = 104;
void FormatStarClass(const ListedStar& star, char (&text)[kClassTextSize]);

}  // namespace veloran

#endif  // VELORAN_SITE_LISTED_STAR_H_
