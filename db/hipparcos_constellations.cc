#include "db/hipparcos_constellations.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace veloran {

namespace {

constexpr int kBins = 24 * 60;

// "x" brought into (-12, 12] hours.
double WrapHours(double x) {
  x = std::fmod(x, 24.0);
  if (x <= -12.0) x += 24.0;
  if (x > 12.0) x -= 24.0;
  return x;
}

// Whether the meridian of "ra" crosses "edge" north of "dec", and at which
// declination.  An edge counts over right ascensions from its lower end up
// to but without its upper end, so that a vertex where the boundary turns
// back counts twice or not at all, and one it passes through counts once.
bool CrossesNorthOf(const BoundaryEdge& edge, double ra, double dec,
                    double* at) {
  double span = WrapHours(edge.ra2 - edge.ra1);
  double offset = WrapHours(ra - edge.ra1);
  if (!(std::fmin(0.0, span) <= offset && offset < std::fmax(0.0, span))) {
    return false;
  }
  *at = edge.dec1 + (edge.dec2 - edge.dec1) * offset / span;
  return *at > dec;
}

int BinOf(double raHours) {
  int bin = static_cast<int>(std::floor(raHours * 60.0));
  return ((bin % kBins) + kBins) % kBins;
}

// Reads the next number of "text" from *pos.
bool NextNumber(std::string_view text, size_t* pos, double* value) {
  while (*pos < text.size() &&
         std::isspace(static_cast<unsigned char>(text[*pos])))
    ++*pos;
  if (*pos >= text.size()) return false;
  std::string token;
  while (*pos < text.size() &&
         !std::isspace(static_cast<unsigned char>(text[*pos])))
    token += text[(*pos)++];
  char* end = nullptr;
  *value = std::strtod(token.c_str(), &end);
  return !token.empty() && *end == '\0';
}

bool NextWord(std::string_view text, size_t* pos, std::string* word) {
  while (*pos < text.size() &&
         std::isspace(static_cast<unsigned char>(text[*pos])))
    ++*pos;
  word->clear();
  while (*pos < text.size() &&
         !std::isspace(static_cast<unsigned char>(text[*pos])))
    *word += text[(*pos)++];
  return !word->empty();
}

}  // namespace

void PrecessJ2000ToB1875(double raHours, double decDegrees, double* raB1875,
                         double* decB1875) {
  // Julian centuries from J2000 to B1875.0 (JD 2405889.25855).
  constexpr double kT = (2405889.258550475 - 2451545.0) / 36525.0;
  constexpr double kArcsecond = std::numbers::pi / 180.0 / 3600.0;
  const double zeta =
      (2306.2181 * kT + 0.30188 * kT * kT + 0.017998 * kT * kT * kT) *
      kArcsecond;
  const double z =
      (2306.2181 * kT + 1.09468 * kT * kT + 0.018203 * kT * kT * kT) *
      kArcsecond;
  const double theta =
      (2004.3109 * kT - 0.42665 * kT * kT - 0.041833 * kT * kT * kT) *
      kArcsecond;
  double a = raHours * std::numbers::pi / 12.0 + zeta;
  double d = decDegrees * std::numbers::pi / 180.0;
  double x = std::cos(theta) * std::cos(d) * std::cos(a) -
             std::sin(theta) * std::sin(d);
  double y = std::cos(d) * std::sin(a);
  double w = std::sin(theta) * std::cos(d) * std::cos(a) +
             std::cos(theta) * std::sin(d);
  double ra = (std::atan2(y, x) + z) * 12.0 / std::numbers::pi;
  *raB1875 = std::fmod(ra + 24.0, 24.0);
  *decB1875 =
      std::asin(std::fmax(-1.0, std::fmin(1.0, w))) * 180.0 / std::numbers::pi;
}

bool ParseConstellationBoundaries(
    std::string_view text, const std::map<std::string, std::string>& spelling,
    ConstellationBoundaries* boundaries, std::string* error) {
  *boundaries = {};
  boundaries->edgesByMinute.resize(kBins);
  std::map<std::string, int> index;
  auto constellation = [&](std::string name, int* found) {
    while (!name.empty() &&
           std::isdigit(static_cast<unsigned char>(name.back())))
      name.pop_back();  // SER1 and SER2 are both Serpens
    if (name.empty()) {
      *error = "a constellation without a name";
      return false;
    }
    auto spelt = spelling.find(name);
    std::string abbreviation = name;
    if (spelt != spelling.end()) {
      abbreviation = spelt->second;
    } else {
      for (size_t i = 1; i < abbreviation.size(); ++i) {
        abbreviation[i] = static_cast<char>(
            std::tolower(static_cast<unsigned char>(abbreviation[i])));
      }
    }
    auto [entry, added] = index.emplace(abbreviation, boundaries->names.size());
    if (added) boundaries->names.push_back(abbreviation);
    *found = entry->second;
    return true;
  };
  size_t pos = 0;
  int segment = 0;
  double count;
  while (NextNumber(text, &pos, &count)) {
    ++segment;
    std::string where = "segment " + std::to_string(segment) + ": ";
    if (count < 2 || count > 10000 || count != std::floor(count)) {
      *error = where + "a vertex count that is not 2 .. 10000";
      return false;
    }
    std::vector<std::pair<double, double>> vertices;
    for (int i = 0; i < static_cast<int>(count); ++i) {
      double ra, dec;
      if (!NextNumber(text, &pos, &ra) || !NextNumber(text, &pos, &dec) ||
          ra < 0 || ra > 24 || dec < -90 || dec > 90) {
        *error =
            where + "a vertex that is not hours 0-24 and degrees -90 .. 90";
        return false;
      }
      double raB1875, decB1875;
      PrecessJ2000ToB1875(ra, dec, &raB1875, &decB1875);
      vertices.push_back({raB1875, decB1875});
    }
    double sides;
    std::string first, second;
    if (!NextNumber(text, &pos, &sides) || sides != 2 ||
        !NextWord(text, &pos, &first) || !NextWord(text, &pos, &second)) {
      *error = where + "not the two constellations after the vertices";
      return false;
    }
    int left, right;
    if (!constellation(first, &left) || !constellation(second, &right)) {
      *error = where + *error;
      return false;
    }
    for (size_t i = 0; i + 1 < vertices.size(); ++i) {
      BoundaryEdge edge{vertices[i].first,
                        vertices[i].second,
                        vertices[i + 1].first,
                        vertices[i + 1].second,
                        left,
                        right};
      int id = static_cast<int>(boundaries->edges.size());
      boundaries->edges.push_back(edge);
      double span = WrapHours(edge.ra2 - edge.ra1);
      double low = span >= 0 ? edge.ra1 : edge.ra1 + span;
      int bins = static_cast<int>(std::ceil(std::fabs(span) * 60.0)) + 1;
      for (int b = 0; b <= bins && b < kBins; ++b) {
        boundaries->edgesByMinute[BinOf(low + b / 60.0)].push_back(id);
      }
    }
  }
  if (pos < text.size() &&
      !std::isspace(static_cast<unsigned char>(text[pos]))) {
    *error = "segment " + std::to_string(segment + 1) + ": not a vertex count";
    return false;
  }
  // Along one meridian from the south pole to the north, only the
  // constellations around a pole are crossed an odd number of times; the
  // one crossed nearest the north pole holds it.
  std::vector<int> crossings(boundaries->names.size());
  std::vector<double> highest(boundaries->names.size(), -91.0);
  const double kMeridian = 0.0123;  // hours; clear of the vertices
  for (const BoundaryEdge& edge : boundaries->edges) {
    double at;
    if (!CrossesNorthOf(edge, kMeridian, -90.0, &at)) continue;
    for (int side : {edge.left, edge.right}) {
      ++crossings[side];
      highest[side] = std::fmax(highest[side], at);
    }
  }
  boundaries->northPole = -1;
  for (size_t c = 0; c < crossings.size(); ++c) {
    if (crossings[c] % 2 == 1 && (boundaries->northPole < 0 ||
                                  highest[c] > highest[boundaries->northPole]))
      boundaries->northPole = static_cast<int>(c);
  }
  if (boundaries->northPole < 0) {
    *error =
        "no constellation encloses the north pole: the boundaries are not "
        "closed";
    return false;
  }
  return true;
}

std::string ConstellationAt(const ConstellationBoundaries& boundaries,
                            double raRadians, double decRadians) {
  double ra, dec;
  PrecessJ2000ToB1875(raRadians * 12.0 / std::numbers::pi,
                      decRadians * 180.0 / std::numbers::pi, &ra, &dec);
  // Going north from the star, each boundary crossed toggles both its
  // sides; the star lies in the one constellation whose parity differs from
  // that of the pole's.
  std::vector<char> odd(boundaries.names.size(), 0);
  for (int id : boundaries.edgesByMinute[BinOf(ra)]) {
    const BoundaryEdge& edge = boundaries.edges[id];
    double at;
    if (CrossesNorthOf(edge, ra, dec, &at)) {
      odd[edge.left] ^= 1;
      odd[edge.right] ^= 1;
    }
  }
  int found = -1;
  for (size_t c = 0; c < odd.size(); ++c) {
    bool inside =
        (odd[c] != 0) != (static_cast<int>(c) == boundaries.northPole);
    if (!inside) continue;
    if (found >= 0) return "";
    found = static_cast<int>(c);
  }
  return found < 0 ? "" : boundaries.names[found];
}

}  // namespace veloran
