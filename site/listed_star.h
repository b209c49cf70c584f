#ifndef VELORAN_SITE_LISTED_STAR_H_
#define VELORAN_SITE_LISTED_STAR_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "catalogue/batched_lookups.h"
#include "catalogue/display_names.h"
#include "catalogue/star_records.h"
#include "search/neighbour_scan.h"
#include "site/doubtful_distance.h"

// One star as the site's lists of a search show it: the match with its
// distance and position, and what the database says of the star.

namespace veloran {

struct ListedStar {
  NeighbourMatch match;  // the ID, distance, galactic point, RA and Dec
  bool hasName;
  char name[kDisplayNameSize];  // the display name, an HTML fragment
  bool hasProperName;  // the name is from ProperNames, no catalogue number
  bool hasSpectrum;    // a Spectra row
  SpectrumRecord spectrum;
  bool hasFacts;  // a StarFacts row
  StarFacts facts;
  bool hasAstrometry;  // read by ReadListedAstrometry, for the site's tables
  StarAstrometry astrometry;
};

// Reads the name, spectrum and facts of each of the "count" stars of
// "stars", whose matches are set, with the catalogue table loaded
// (LoadCatalogueNames) and no read fault kept: a statement of each kind
// for many stars at once (batched_lookups.h).  Returns false when a read
// failed (kept as the read fault); the stars are then not to be shown.
// What the database does not hold is left out of a star that is read.
bool ReadListedStars(SQLHSTMT statement, ListedStar* stars, int count);

// Reads the astrometry (batched_lookups.h) of each of the "count" stars of
// "stars", whose matches are set, for the site's tables of stars.  Returns
// false when a read failed (kept as the read fault).
bool ReadListedAstrometry(SQLHSTMT statement, ListedStar* stars, int count);

// What the star's record says of its distance, for DoubtAbout: the
// relative error of its parallax (the entry page also takes a stored
// distance's error where the facts give no parallax; a list reads no
// distance error), and its absolute magnitude from V and its stored
// distance.
DistanceEvidence DistanceEvidenceOf(const ListedStar& star);

// The star's apparent visual magnitude as seen from the search's centre,
// from its absolute magnitude (V and its stored distance from the Sun; at
// distance 0 the Sun, seen from the Earth) and its distance from the
// centre.  False without V or a stored distance, and for a star at the
// centre's very place.
bool MagnitudeFromCentre(const ListedStar& star, double* magnitude);

// Whether the star's distance is doubtful, as its entry page says.
inline bool HasDoubtfulDistance(const ListedStar& star) {
  return DoubtAbout(DistanceEvidenceOf(star)) != DistanceDoubt::kNone;
}

// The star's class as the classic listing writes it: "G2 V", or the
// spectral class followed by a blank when there is no luminosity class;
// empty without a spectral class.  "text" has room for both classes.
constexpr int kClassTextSize = 104;
void FormatStarClass(const ListedStar& star, char (&text)[kClassTextSize]);

}  // namespace veloran

#endif  // VELORAN_SITE_LISTED_STAR_H_
