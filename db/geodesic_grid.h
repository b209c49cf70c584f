#ifndef VELORAN_DB_GEODESIC_GRID_H_
#define VELORAN_DB_GEODESIC_GRID_H_

#include <cstdint>
#include <vector>

// The zones of the binary star files: the triangles of an icosahedron,
// subdivided "level" times, on the unit sphere of J2000 equatorial
// directions (x towards 0h, y towards 6h, z towards the north pole).  A
// star is stored as two integer offsets on the tangent plane at its zone's
// centre.

namespace veloran {

struct Vector3 {
  double x;
  double y;
  double z;
};

// One triangle with its frame: the corners, the centre (the normalised sum
// of the corners), axis0 = N(pole x centre) and axis1 = centre x axis0.
struct Zone {
  Vector3 corners[3];
  Vector3 centre;
  Vector3 axis0;
  Vector3 axis1;
};

// The zones of one level, numbered as the files number them: zone n of
// level L has the children 4n .. 4n+3 at level L+1.
struct GeodesicGrid {
  int level;
  std::vector<Zone> zones;  // 20 * 4^level
  // The length of one unit of the stored offsets: the largest tangent-plane
  // offset of any corner divided by 2^31 - 1.
  double scale;
};

// The number of zones of a level, 20 * 4^level.
uint32_t ZoneCount(int level);

// Builds the grid of "level" (0 .. kMaxGridLevel) into *grid.
inline constexpr int kMaxGridLevel = 6;
void BuildGeodesicGrid(int level, GeodesicGrid* grid);

// The direction stored as offsets x0, x1 in zone "zone" of "grid": a point
// of the tangent plane, not of unit length.
Vector3 ZonePoint(const GeodesicGrid& grid, uint32_t zone, int32_t x0,
                  int32_t x1);

// True when "direction" (of any length) points into the triangle of "zone"
// or onto its edges, within about a millionth of an arcsecond.
bool ZoneContains(const Zone& zone, const Vector3& direction);

// Right ascension in [0, 2 pi) and declination in [-pi/2, pi/2] of
// "direction", in radians.
void DirectionToRaDec(const Vector3& direction, double* ra, double* dec);

}  // namespace veloran

#endif  // VELORAN_DB_GEODESIC_GRID_H_
