#ifndef VELORAN_DB_NEARBY_DESIGNATIONS_H_
#define VELORAN_DB_NEARBY_DESIGNATIONS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The names that visitors type for the nearby stars beyond those of the
// Hipparcos tables, from db/nearby_designations.psv (its header tells the
// format and the sources): catalogue and Bayer designations of stars of the
// catalogue, each line with the position and parallax that its source
// gives, and the nearby stars that the catalogue lacks, with why.  A line's
// names are only added where its position and parallax fit the catalogue's
// (FitListedPosition): a list that names the wrong star is refused, never
// guessed at.

namespace veloran {

// Where a list puts a star: right ascension and declination in radians
// (J2000), the total proper motion in mas/yr, the parallax in mas.
struct ListedPosition {
  double ra;
  double dec;
  double properMotion;
  double parallax;
};

// A "star" line: the names of the catalogue's star HIP "hip" (component
// "component", "" for none).
struct ListedStar {
  int line;
  uint32_t hip;
  std::string component;
  ListedPosition position;
  std::vector<std::string> names;  // as the file writes them
  std::string source;
};

// An "absent" line: a nearby star that the catalogue lacks.
struct ListedAbsentStar {
  int line;
  ListedPosition position;
  std::vector<std::string> names;  // the first names it on the pages
  std::string why;                 // an HTML fragment
  std::string source;
};

struct NearbyList {
  std::vector<ListedStar> stars;
  std::vector<ListedAbsentStar> absent;
};

// Parses the content of the file into *list.  Returns false, with the line
// and the fault in *error, on a line that does not follow the format: a
// kind other than "star" and "absent", a field missing, a number or angle
// that does not read, a byte that is not printable ASCII.
bool ParseNearbyList(std::string_view text, NearbyList* list,
                     std::string* error);

// How far a listed position may lie from the catalogue's: this many
// arcseconds for the rounding of either, and the star's listed proper
// motion over this many years, which covers the epochs of the two (the
// lists give positions at J2000; the catalogue at J2000, or at J1991.25,
// the Hipparcos epoch, for some stars of large proper motion).
inline constexpr double kPositionSlackArcsec = 5.0;
inline constexpr double kEpochSpanYears = 10.0;
// How far a listed parallax may lie from the catalogue's, as a part of the
// listed one: room for a Hipparcos parallax against a Gaia one.
inline constexpr double kParallaxTolerance = 0.05;

// Whether "listed" fits a star of the catalogue at "ra" and "dec" (radians)
// with parallax "parallax" (mas): within the tolerances above.  When it
// does not, *why says by how much it misses ("95.2 arcsec from its
// position, 10.4 allowed").
bool FitListedPosition(const ListedPosition& listed, double ra, double dec,
                       double parallax, std::string* why);

// Writes into *key the search key that the finder looks "name" up by when
// a visitor types it (names/name_keys.h, with a constellation named in
// full abbreviated).  Returns false when it has none.
bool TypedNameKey(const std::string& name, std::string* key);

}  // namespace veloran

#endif  // VELORAN_DB_NEARBY_DESIGNATIONS_H_
