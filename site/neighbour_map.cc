#include "site/neighbour_map.h"

#include <cstring>

#include "cgi/output.h"

namespace veloran {

namespace {

struct PlaneName {
  MapPlane plane;
  const char* name;
};

constexpr PlaneName kPlaneNames[] = {
    {MapPlane::kGalacticXY, "xy"},
    {MapPlane::kGalacticXZ, "xz"},
    {MapPlane::kGalacticYZ, "yz"},
    {MapPlane::kSky, "sky"},
};

}  // namespace

bool ReadMapPlane(const char* value, MapPlane* plane) {
  for (const PlaneName& entry : kPlaneNames) {
    if (std::strcmp(value, entry.name) == 0) {
      *plane = entry.plane;
      return true;
    }
  }
  return false;
}

const char* MapPlaneName(MapPlane plane) {
  for (const PlaneName& entry : kPlaneNames) {
    if (entry.plane == plane) return entry.name;
  }
  return "xy";
}

void WriteNeighbourMap(const ListedStar* stars, int count,
                       const MapFrame& frame) {
  // To be drawn.
  (void)stars;
  (void)count;
  (void)frame;
  WriteText("<svg xmlns=\"http://www.w3.org/2000/svg\"></svg>\n");
}

}  // namespace veloran
