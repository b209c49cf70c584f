#include "db/geodesic_grid.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace veloran {

namespace {

Vector3 Add(const Vector3& a, const Vector3& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}

Vector3 Subtract(const Vector3& a, const Vector3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vector3 Scale(const Vector3& a, double factor) {
  return {a.x * factor, a.y * factor, a.z * factor};
}

double Dot(const Vector3& a, const Vector3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vector3 Cross(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vector3 Normalise(const Vector3& a) {
  return Scale(a, 1.0 / std::sqrt(Dot(a, a)));
}

Zone MakeZone(const Vector3& c0, const Vector3& c1, const Vector3& c2) {
  Zone zone;
  zone.corners[0] = c0;
  zone.corners[1] = c1;
  zone.corners[2] = c2;
  zone.centre = Normalise(Add(Add(c0, c1), c2));
  zone.axis0 = Normalise(Cross({0.0, 0.0, 1.0}, zone.centre));
  zone.axis1 = Cross(zone.centre, zone.axis0);
  return zone;
}

// The icosahedron's corners and its twenty faces, in the files' numbering.
void LevelZero(std::vector<Zone>* zones) {
  const double g = (1.0 + std::sqrt(5.0)) / 2.0;
  const double b = 1.0 / std::sqrt(1.0 + g * g);
  const double a = b * g;
  const Vector3 corners[12] = {{a, -b, 0}, {a, b, 0}, {-a, b, 0}, {-a, -b, 0},
                               {0, a, -b}, {0, a, b}, {0, -a, b}, {0, -a, -b},
                               {-b, 0, a}, {b, 0, a}, {b, 0, -a}, {-b, 0, -a}};
  static constexpr int kFaces[20][3] = {
      {1, 0, 10}, {0, 1, 9},  {0, 9, 6},   {9, 8, 6},   {0, 7, 10},
      {6, 7, 0},  {7, 6, 3},  {6, 8, 3},   {11, 10, 7}, {7, 3, 11},
      {3, 2, 11}, {2, 3, 8},  {10, 11, 4}, {2, 4, 11},  {5, 4, 2},
      {2, 8, 5},  {4, 1, 10}, {4, 5, 1},   {5, 9, 1},   {8, 9, 5}};
  zones->clear();
  for (const auto& face : kFaces) {
    zones->push_back(
        MakeZone(corners[face[0]], corners[face[1]], corners[face[2]]));
  }
}

void Subdivide(const std::vector<Zone>& parents, std::vector<Zone>* children) {
  children->clear();
  children->reserve(parents.size() * 4);
  for (const Zone& parent : parents) {
    const Vector3& c0 = parent.corners[0];
    const Vector3& c1 = parent.corners[1];
    const Vector3& c2 = parent.corners[2];
    Vector3 e0 = Normalise(Add(c1, c2));
    Vector3 e1 = Normalise(Add(c2, c0));
    Vector3 e2 = Normalise(Add(c0, c1));
    children->push_back(MakeZone(c0, e2, e1));
    children->push_back(MakeZone(e2, c1, e0));
    children->push_back(MakeZone(e1, e0, c2));
    children->push_back(MakeZone(e0, e1, e2));
  }
}

}  // namespace

uint32_t ZoneCount(int level) { return 20u << (2 * level); }

void BuildGeodesicGrid(int level, GeodesicGrid* grid) {
  grid->level = level;
  LevelZero(&grid->zones);
  std::vector<Zone> next;
  for (int i = 0; i < level; ++i) {
    Subdivide(grid->zones, &next);
    grid->zones.swap(next);
  }
  double largest = 0.0;
  for (const Zone& zone : grid->zones) {
    for (const Vector3& corner : zone.corners) {
      Vector3 offset = Subtract(corner, zone.centre);
      double mu0 = Dot(offset, zone.axis0);
      double mu1 = Dot(offset, zone.axis1);
      double h = std::max(std::fabs(mu0), std::fabs(mu1)) /
                 std::sqrt(1.0 - mu0 * mu0 - mu1 * mu1);
      largest = std::max(largest, h);
    }
  }
  grid->scale = largest / 2147483647.0;
}

Vector3 ZonePoint(const GeodesicGrid& grid, uint32_t zone, int32_t x0,
                  int32_t x1) {
  const Zone& z = grid.zones[zone];
  return Add(Add(z.centre, Scale(z.axis0, x0 * grid.scale)),
             Scale(z.axis1, x1 * grid.scale));
}

bool ZoneContains(const Zone& zone, const Vector3& direction) {
  // Allowance for directions on an edge: 5e-12 radians, 1e-6 arcseconds.
  constexpr double kEdgeAllowance = 5e-12;
  const Vector3* c = zone.corners;
  double orientation = Dot(c[0], Cross(c[1], c[2])) > 0.0 ? 1.0 : -1.0;
  double length = std::sqrt(Dot(direction, direction));
  for (int i = 0; i < 3; ++i) {
    Vector3 normal = Cross(c[i], c[(i + 1) % 3]);
    double side = orientation * Dot(direction, normal) /
                  (length * std::sqrt(Dot(normal, normal)));
    if (side < -kEdgeAllowance) return false;
  }
  return true;
}

void DirectionToRaDec(const Vector3& direction, double* ra, double* dec) {
  double alpha = std::atan2(direction.y, direction.x);
  if (alpha < 0.0) alpha += 2.0 * std::numbers::pi;
  // A tiny negative angle plus 2 pi rounds to 2 pi itself.
  if (alpha >= 2.0 * std::numbers::pi) alpha = 0.0;
  *ra = alpha;
  *dec = std::atan2(direction.z, std::sqrt(direction.x * direction.x +
                                           direction.y * direction.y));
}

}  // namespace veloran
