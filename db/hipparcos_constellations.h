#ifndef VELORAN_DB_HIPPARCOS_CONSTELLATIONS_H_
#define VELORAN_DB_HIPPARCOS_CONSTELLATIONS_H_

#include <map>
#include <string>
#include <string_view>
#include <vector>

// The IAU constellation boundaries as the package's
// data/constellation_boundaries.dat gives them: segments of boundary, each
// a count of vertices, the vertices as right ascension in hours and
// declination in degrees (J2000 positions of the boundaries' B1875
// vertices), and the count and upper-case names of the constellations the
// segment separates ("2 AQL AQR"; Serpens as SER1 and SER2).  The
// boundaries run along B1875 meridians and parallels, so a star is placed
// after precessing its J2000 direction to B1875.

namespace veloran {

// One edge between two vertices, in B1875 hours and degrees.
struct BoundaryEdge {
  double ra1, dec1, ra2, dec2;
  int left, right;  // the constellations it separates, by index
};

struct ConstellationBoundaries {
  std::vector<std::string> names;  // IAU abbreviations ("CMa")
  std::vector<BoundaryEdge> edges;
  std::vector<std::vector<int>> edgesByMinute;  // 1440 bins of right ascension
  int northPole;  // the constellation around the north celestial pole
};

// Parses the boundary file "text" into *boundaries.  "spelling" maps the
// upper-case abbreviations to the IAU's spelling ("CMA" to "CMa"); one it
// lacks is written with its first letter only in upper case ("ORI" as
// "Ori").  Returns false, with the fault in *error, on a file that does not
// follow the format or a sky whose boundaries enclose the north pole in no
// constellation.
bool ParseConstellationBoundaries(
    std::string_view text, const std::map<std::string, std::string>& spelling,
    ConstellationBoundaries* boundaries, std::string* error);

// The IAU abbreviation of the constellation that holds the J2000 direction
// (right ascension and declination in radians); "" when the boundaries do
// not tell one constellation (a direction on a boundary itself).
std::string ConstellationAt(const ConstellationBoundaries& boundaries,
                            double raRadians, double decRadians);

// The B1875 right ascension (hours) and declination (degrees) of a J2000
// direction in hours and degrees: the precession of Lieske et al. (1977).
void PrecessJ2000ToB1875(double raHours, double decDegrees, double* raB1875,
                         double* decB1875);

}  // namespace veloran

#endif  // VELORAN_DB_HIPPARCOS_CONSTELLATIONS_H_
