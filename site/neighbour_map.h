#ifndef VELORAN_SITE_NEIGHBOUR_MAP_H_
#define VELORAN_SITE_NEIGHBOUR_MAP_H_

#include "astro/position_conversion.h"
#include "site/listed_star.h"

// The map of a neighbour search: an SVG picture of the listed stars,
// drawn without any script.

namespace veloran {

enum class MapPlane {
  kGalacticXY,  // the galactic plane, seen from galactic north (default)
  kGalacticXZ,
  kGalacticYZ,
  kSky,  // a sky chart in right ascension and declination
};

// The plane named by a "plane" parameter: "xy", "xz", "yz" or "sky".
// False for any other text.
bool ReadMapPlane(const char* value, MapPlane* plane);

// The parameter's value of "plane", as ReadMapPlane reads it.
const char* MapPlaneName(MapPlane plane);

struct MapFrame {
  CartesianPoint centre;  // galactic, light-years
  double radius;          // the search's largest distance, light-years
  MapPlane plane;
  const char* centreName;  // an HTML fragment, or nullptr for a point
};

// Writes the <svg> element of the map of "stars" (count of them) around
// the frame's centre: one dot per star, linked to its entry page, sized by
// brightness and coloured by spectral class, the centre marked, the radius
// drawn, the nearest few named and a scale in light-years.
void WriteNeighbourMap(const ListedStar* stars, int count,
                       const MapFrame& frame);

}  // namespace veloran

#endif  // VELORAN_SITE_NEIGHBOUR_MAP_H_
