#include "site/neighbour_map.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <numbers>

#include "catalogue/star_records.h"
#include "cgi/output.h"
#include "site/html_page.h"
#include "text/html_text.h"

namespace veloran {

namespace {

// The picture's coordinates are SVG user units: 360 across, which the
// page scales to its width; a phone of 375 pixels shows them nearly one
// to one, so the texts' sizes are about their sizes in pixels there.
constexpr double kWidth = 360.0;

// A plane: the circle of the search's radius.
constexpr double kPlaneCentreX = 180.0;
constexpr double kPlaneCentreY = 180.0;
constexpr double kPlaneRadius = 160.0;
constexpr double kPlaneHeight = 360.0;

// The sky chart: the window fits a box this wide and at most this high,
// with room for the declinations on its left (the widest, such as -10
// degrees 30 arcminutes, whole) and the right ascensions below.
constexpr double kSkyLeft = 42.0;
constexpr double kSkyTop = 14.0;
constexpr double kSkyWidth = 306.0;
constexpr double kSkyMaxHeight = 324.0;
constexpr double kSkyLabelsHeight = 22.0;

// At most this many stars are named beside their dots, tried in the order
// of RankStars among the first this many.  The script that turns the map
// names them again in the same order.
constexpr int kMaxNames = 10;
constexpr int kRankedStars = 40;

// The texts' sizes, and an estimate of a character's width in a sans-serif
// font, to keep the names apart: DejaVu Sans, the widest of the usual ones
// (Debian's and many phones'), takes 0.57 to 0.64 of the size for a
// character of a name.
constexpr double kNameSize = 13.0;
constexpr double kSmallSize = 11.5;
constexpr double kCharacterWidth = 0.62;
// How far a text's box reaches above and below its baseline, a share of
// its size: the ascent and descent of DejaVu Sans (0.93 and 0.24), which a
// browser's box of the text spans, and more for its rounding to whole
// pixels on a phone's screen.
constexpr double kAscent = 0.97;
constexpr double kDescent = 0.27;

// Dot radii: 6 for magnitude 0, 0.3 smaller for each magnitude fainter.
constexpr double kDotRadiusAtZero = 6.0;
constexpr double kDotRadiusPerMagnitude = 0.3;
// A name may cover the dots of stars that the eye would not see from the
// map's place (fainter than magnitude 6.5: smaller dots than this) where
// no place beside its own dot is clear of dots, the fewest such dots.
constexpr double kNakedEyeLimit = 6.5;
constexpr double kFaintDot =
    kDotRadiusAtZero - kDotRadiusPerMagnitude * kNakedEyeLimit;
constexpr double kSmallestDot = 2.0;
constexpr double kLargestDot = 7.5;
constexpr double kUnknownMagnitudeDot = 2.5;

// Below this share of the radius for the farthest star, the map shows the
// stars' space rather than the radius.
constexpr double kLeastFilledShare = 0.5;

// The background and the texts.
const char kStyle[] =
    "<style>\n"
    ".neighbour-map{font-family:sans-serif}\n"
    ".neighbour-map text{fill:#e9edf5;font-size:13px}\n"
    ".neighbour-map .small{font-size:11.5px;fill:#bcc6db}\n"
    ".neighbour-map .name{paint-order:stroke;stroke:#0e1730;"
    "stroke-width:3px;stroke-linejoin:round}\n"
    ".neighbour-map a circle{stroke:transparent;stroke-width:8px}\n"
    ".neighbour-map a:hover circle,.neighbour-map a:focus circle"
    "{stroke:#fff;stroke-width:1.5px}\n"
    ".neighbour-map a:hover .name,.neighbour-map a:focus .name"
    "{text-decoration:underline}\n"
    ".neighbour-map .tip{visibility:hidden}\n"
    ".neighbour-map a:hover .tip,.neighbour-map a:focus .tip"
    "{visibility:visible}\n"
    ".neighbour-map .doubt{fill:none;stroke:#e9edf5;stroke-width:1px;"
    "stroke-dasharray:2 2}\n"
    ".neighbour-map .line{fill:none;stroke:#34446b;stroke-width:1px}\n"
    ".neighbour-map .radius{fill:none;stroke:#8a9bc4;stroke-width:1.2px;"
    "stroke-dasharray:5 4}\n"
    ".neighbour-map .mark{stroke:#fff;stroke-width:1.5px;fill:none}\n"
    "</style>\n";
const char kBackground[] = "#0e1730";

// The map's planes: the galactic axes (0: X, 1: Y, 2: Z) to the right and
// upwards, and what the map shows.  The sky has none.
struct PlaneEntry {
  MapPlane plane;
  const char* name;
  int right;
  int up;
  const char* view;
};

constexpr PlaneEntry kPlanes[] = {
    {MapPlane::kGalacticXY, "xy", 0, 1,
     "the galactic plane seen from the north galactic pole, X towards the "
     "galactic centre and Y in the direction of the Galaxy's rotation"},
    {MapPlane::kGalacticXZ, "xz", 0, 2,
     "the galactic plane seen edge-on, X towards the galactic centre and Z "
     "towards the north galactic pole"},
    {MapPlane::kGalacticYZ, "yz", 1, 2,
     "the galactic plane seen edge-on from the galactic centre, Y in the "
     "direction of the Galaxy's rotation and Z towards the north galactic "
     "pole"},
    {MapPlane::kSky, "sky", -1, -1,
     "the sky seen from the Sun, right ascension increasing to the left "
     "(east) and declination upwards"},
};

const PlaneEntry& FindPlane(MapPlane plane) {
  for (const PlaneEntry& entry : kPlanes) {
    if (entry.plane == plane) return entry;
  }
  return kPlanes[0];
}

const char kAxisNames[] = "XYZ";

// The dots' colours, by the class's first letter; the last entry stands
// for every other class and for stars without one.
struct ClassColour {
  const char* letters;
  const char* colour;
  const char* legend;  // plain text
};

constexpr ClassColour kClassColours[] = {
    {"O", "#7c98ff", "O"},
    {"B", "#9db8ff", "B"},
    {"A", "#d6e2ff", "A"},
    {"F", "#ffffff", "F"},
    {"G", "#fff07a", "G"},
    {"K", "#ffb45a", "K"},
    {"M", "#ff6e4a", "M"},
    {"D", "#c59cff", "white dwarf"},
    {"CRNS", "#ff3f8e", "carbon or S star"},
    {"", "#8d939f", "other or not known"},
};
constexpr int kClassColourCount =
    static_cast<int>(sizeof(kClassColours) / sizeof(kClassColours[0]));

const ClassColour& FindClassColour(const char* spectralClass) {
  const ClassColour& other = kClassColours[kClassColourCount - 1];
  if (spectralClass == nullptr) return other;
  const char* p = spectralClass;
  // "sd" (subdwarf), "d", "g", "c" and the like come before the letter.
  while (*p >= 'a' && *p <= 'z') ++p;
  if (*p == '\0') return other;
  for (const ClassColour& entry : kClassColours) {
    if (entry.letters[0] != '\0' && std::strchr(entry.letters, *p) != nullptr) {
      return entry;
    }
  }
  return other;
}

const char* StarClass(const ListedStar& star) {
  return star.hasSpectrum && star.spectrum.HasSpectralClass
             ? star.spectrum.SpectralClass
             : nullptr;
}

// The length of a whole character reference at "p", as html_text.h reads
// it ("&alpha;", "&#945;", "&#x3B1;"), or 0 when none starts there.
int ReferenceLength(const char* p) {
  assert(*p == '&');
  size_t size = 0;
  uint32_t character = 0;
  return ReadCharacterReference(p, std::strlen(p), &size, &character)
             ? static_cast<int>(size)
             : 0;
}

// The length of a whole tag at "p" ("<b>", "</sup>"), or 0 when none
// starts there.
int TagLength(const char* p) {
  assert(*p == '<');
  char next = p[1];
  if (!(std::isalpha(static_cast<unsigned char>(next)) || next == '/' ||
        next == '!')) {
    return 0;
  }
  const char* end = std::strchr(p, '>');
  return end == nullptr ? 0 : static_cast<int>(end - p) + 1;
}

// Writes the HTML fragment "fragment" (a name from the database) as the
// text of an SVG element or an attribute value: its tags left out, since
// most HTML tags inside an SVG element would end the picture, its complete
// character references kept, and every other byte as EscapedByte says.
// Returns how many characters it shows.
int WriteFragmentAsText(const char* fragment) {
  int shown = 0;
  for (const char* p = fragment; *p != '\0';) {
    if (*p == '<') {
      if (int length = TagLength(p)) {
        p += length;
        continue;
      }
    } else if (*p == '&') {
      if (int length = ReferenceLength(p)) {
        std::fwrite(p, 1, length, stdout);
        p += length;
        ++shown;
        continue;
      }
    }
    if (const char* escaped = EscapedByte(*p)) {
      WriteText(escaped);
      if (escaped[0] != '\0') ++shown;
    } else {
      std::fputc(*p, stdout);
      ++shown;
    }
    ++p;
  }
  return shown;
}

// How many characters WriteFragmentAsText shows of "fragment".
int ShownLength(const char* fragment) {
  int shown = 0;
  for (const char* p = fragment; *p != '\0';) {
    int length = 1;
    if (*p == '<' && TagLength(p) > 0) {
      p += TagLength(p);
      continue;
    }
    if (*p == '&' && ReferenceLength(p) > 0) length = ReferenceLength(p);
    const char* escaped = length == 1 ? EscapedByte(*p) : nullptr;
    if (escaped == nullptr || escaped[0] != '\0') ++shown;
    p += length;
  }
  return shown;
}

// A star's name as the map shows it: its display name, or "Star N".
void WriteStarName(const ListedStar& star) {
  if (star.hasName && star.name[0] != '\0') {
    WriteFragmentAsText(star.name);
  } else {
    std::printf("Star %ld", static_cast<long>(star.match.starId));
  }
}

int StarNameLength(const ListedStar& star) {
  if (star.hasName && star.name[0] != '\0') return ShownLength(star.name);
  char text[32];
  return std::snprintf(text, sizeof(text), "Star %ld",
                       static_cast<long>(star.match.starId));
}

double Coordinate(const CartesianPoint& point, int axis) {
  return axis == 0 ? point.x : axis == 1 ? point.y : point.z;
}

// Where the map puts things, in the picture's units.
struct Projection {
  const PlaneEntry* plane;
  double height;  // of the picture above the legend
  // A plane.
  CartesianPoint centre;
  double extent;  // light-years from the centre to the circle
  double scale;   // units per light-year
  bool radiusDrawn;
  // The sky chart: the box, and the right ascension and declination at
  // its left and top edges.
  double left, top, width, boxHeight;
  double leftRA, topDec, lowRA, lowDec;
  double unitsPerHour, unitsPerDegree;
};

// 1, 2 or 5 times a power of ten, at most "limit".
double NiceLength(double limit) {
  double power = std::pow(10.0, std::floor(std::log10(limit)));
  for (double factor : {5.0, 2.0, 1.0}) {
    if (factor * power <= limit) return factor * power;
  }
  return power;
}

void ProjectPlane(const ListedStar* stars, int count, const MapFrame& frame,
                  Projection* projection) {
  double farthest = 0;
  for (int i = 0; i < count; ++i) {
    // A distance that is no finite number would make the whole map so.
    if (std::isfinite(stars[i].match.distance)) {
      farthest = std::max(farthest, stars[i].match.distance);
    }
  }
  bool usable = frame.radius > 0 && std::isfinite(frame.radius);
  projection->radiusDrawn =
      usable && !(farthest > 0 && farthest < frame.radius * kLeastFilledShare);
  if (projection->radiusDrawn) {
    projection->extent = frame.radius;
  } else {
    // A little room beyond the farthest, so that its dot is whole.
    projection->extent = farthest > 0 ? farthest * 1.05 : 1.0;
  }
  projection->centre = frame.centre;
  projection->scale = kPlaneRadius / projection->extent;
  projection->height = kPlaneHeight;
}

void ProjectSky(const MapFrame& frame, Projection* projection) {
  // The window with a margin of a twentieth of it on each side, at least a
  // degree across, within the sky.
  double lowRA = frame.minRAHours, highRA = frame.maxRAHours;
  double lowDec = frame.minDecDegrees, highDec = frame.maxDecDegrees;
  double marginRA =
      std::max((highRA - lowRA) / 20, (1.0 / 15 - (highRA - lowRA)) / 2);
  double marginDec =
      std::max((highDec - lowDec) / 20, (1.0 - (highDec - lowDec)) / 2);
  lowRA = std::max(0.0, lowRA - marginRA);
  highRA = std::min(24.0, highRA + marginRA);
  lowDec = std::max(-90.0, lowDec - marginDec);
  highDec = std::min(90.0, highDec + marginDec);
  // Equal lengths for equal angles at the middle declination (never less
  // than a tenth, near the poles).
  double squeeze = std::max(
      0.1, std::cos((lowDec + highDec) / 2 * std::numbers::pi / 180.0));
  double across = (highRA - lowRA) * 15 * squeeze;
  double unitsPerDegree =
      std::min(kSkyWidth / across, kSkyMaxHeight / (highDec - lowDec));
  projection->unitsPerDegree = unitsPerDegree;
  projection->unitsPerHour = 15 * squeeze * unitsPerDegree;
  projection->width = (highRA - lowRA) * projection->unitsPerHour;
  projection->boxHeight = (highDec - lowDec) * unitsPerDegree;
  projection->left = kSkyLeft + (kSkyWidth - projection->width) / 2;
  projection->top = kSkyTop;
  projection->leftRA = highRA;
  projection->lowRA = lowRA;
  projection->topDec = highDec;
  projection->lowDec = lowDec;
  projection->height = kSkyTop + projection->boxHeight + kSkyLabelsHeight;
  projection->radiusDrawn = false;
}

// Where a star lands; false when the sky chart has no place for it (a star
// at the Sun).
bool PlaceStar(const Projection& projection, const NeighbourMatch& match,
               double* x, double* y) {
  // A point that is no finite number has no place on any map, nor in the
  // dot's data; nor has any star on the plane of a centre that is none (a
  // search around a point at infinity).
  const CartesianPoint& point = match.point;
  if (!std::isfinite(point.x) || !std::isfinite(point.y) ||
      !std::isfinite(point.z)) {
    return false;
  }
  const PlaneEntry& plane = *projection.plane;
  if (plane.plane == MapPlane::kSky) {
    const CartesianPoint& p = match.point;
    if (p.x == 0 && p.y == 0 && p.z == 0) return false;
    *x = projection.left +
         (projection.leftRA - match.raHours) * projection.unitsPerHour;
    *y = projection.top +
         (projection.topDec - match.decDegrees) * projection.unitsPerDegree;
    return true;
  }
  *x = kPlaneCentreX + (Coordinate(match.point, plane.right) -
                        Coordinate(projection.centre, plane.right)) *
                           projection.scale;
  *y = kPlaneCentreY - (Coordinate(match.point, plane.up) -
                        Coordinate(projection.centre, plane.up)) *
                           projection.scale;
  return std::isfinite(*x) && std::isfinite(*y);
}

// What the map works out once for each star: where its dot goes, how
// large it is, and how bright the star looks from the map's place.
struct MapStar {
  bool placed;
  double x, y;
  double radius;
  bool hasMagnitude;
  double magnitude;
};

// The stars of one map, in the order given, with the places in that order
// of the stars by distance (the order of their links, nearest first) and
// by RankStars.
struct MapStars {
  MapStar stars[kMaxMapStars];
  int count;
  int byDistance[kMaxMapStars];
  int byRank[kMaxMapStars];
  int rankOf[kMaxMapStars];  // from 1 among the first kRankedStars, else 0
};

// The magnitude that sizes a star's dot: as seen from the centre on a
// plane, and from the Earth on the sky chart, which shows the sky from
// there.
bool ViewMagnitude(const ListedStar& star, MapPlane plane, double* magnitude) {
  if (plane != MapPlane::kSky) return MagnitudeFromCentre(star, magnitude);
  if (!star.hasFacts || !star.facts.hasVMag) return false;
  *magnitude = star.facts.vMag;
  return std::isfinite(*magnitude);
}

// Whether two dots touch (the stars of a system, say).
bool Touch(const MapStar& a, const MapStar& b) {
  return std::hypot(a.x - b.x, a.y - b.y) <= a.radius + b.radius + 1;
}

// The groups of stars in the order in which they are named: the Sun, the
// stars with a proper name (or a Bayer or Flamsteed designation, which
// ProperNames also holds), the rest.
int NameGroup(const ListedStar& star) {
  if (DistanceFromSun(star.match.point) == 0) return 0;
  return star.hasName && star.hasProperName ? 1 : 2;
}

// A star's magnitude as the order of brightness takes it: one not known
// (or no number) last.
double BrightnessKey(const MapStar& star) {
  return star.hasMagnitude && !std::isnan(star.magnitude) ? star.magnitude
                                                          : INFINITY;
}

// Ranks the first kRankedStars of the placed stars in the order in which
// they are named: group by group (NameGroup), the brightest as seen from
// the map's place and the nearest of the group not yet ranked in turn, so
// that the stars that catch the eye there and the nearest ones are both
// named; and for a star whose dot touches those of others of its group
// not yet ranked (a system), the brightest of them first, which names
// the system.  Wants map->byDistance.
void RankStars(const ListedStar* stars, MapStars* map) {
  static int byBrightness[kMaxMapStars];
  static bool ranked[kMaxMapStars];
  int placed = 0;
  // Every place of byRank, not only the first count: the map is reused
  // from one request to the next, and NameStars stops at the first -1.
  std::fill(std::begin(map->byRank), std::end(map->byRank), -1);
  for (int i = 0; i < map->count; ++i) {
    ranked[i] = false;
    map->rankOf[i] = 0;
    if (map->stars[i].placed) byBrightness[placed++] = i;
  }
  std::stable_sort(byBrightness, byBrightness + placed, [&](int a, int b) {
    return BrightnessKey(map->stars[a]) < BrightnessKey(map->stars[b]);
  });
  int rank = 0;
  for (int group = 0; group <= 2; ++group) {
    // The next candidate in each order, and whose turn it is.
    const int* orders[2] = {byBrightness, map->byDistance};
    const int counts[2] = {placed, map->count};
    int next[2] = {0, 0};
    bool left[2] = {true, true};
    for (int turn = 0; rank < kRankedStars && (left[0] || left[1]);
         turn = 1 - turn) {
      int& k = next[turn];
      while (k < counts[turn]) {
        int i = orders[turn][k];
        if (map->stars[i].placed && !ranked[i] &&
            NameGroup(stars[i]) == group) {
          break;
        }
        ++k;
      }
      left[turn] = k < counts[turn];
      if (!left[turn]) continue;
      int chosen = orders[turn][k];
      for (int j = 0; j < map->count; ++j) {
        const MapStar& other = map->stars[j];
        if (other.placed && !ranked[j] && NameGroup(stars[j]) == group &&
            Touch(other, map->stars[chosen]) &&
            BrightnessKey(other) < BrightnessKey(map->stars[chosen])) {
          chosen = j;
        }
      }
      ranked[chosen] = true;
      map->byRank[rank] = chosen;
      map->rankOf[chosen] = ++rank;
    }
  }
}

void MeasureStars(const ListedStar* stars, int count,
                  const Projection& projection, MapStars* map) {
  map->count = std::min(count, kMaxMapStars);
  for (int i = 0; i < map->count; ++i) {
    MapStar& drawn = map->stars[i];
    drawn.placed = PlaceStar(projection, stars[i].match, &drawn.x, &drawn.y);
    drawn.hasMagnitude =
        ViewMagnitude(stars[i], projection.plane->plane, &drawn.magnitude);
    drawn.radius = MagnitudeDotRadius(drawn.hasMagnitude, drawn.magnitude);
    map->byDistance[i] = i;
  }
  // A distance that is no number goes last, as it would in no order.
  auto distanceKey = [stars](int i) {
    double d = stars[i].match.distance;
    return std::isnan(d) ? INFINITY : d;
  };
  std::stable_sort(
      map->byDistance, map->byDistance + map->count,
      [&](int a, int b) { return distanceKey(a) < distanceKey(b); });
  RankStars(stars, map);
}

// The boxes of the texts placed so far, which no name may overlap, and the
// stars, whose dots a name covers only where they are faint.
struct Box {
  double left, top, right, bottom;
};
// The names, and the centre's cross and name, the rings' lengths, the axes
// and the scale bar.
constexpr int kMaxBoxes = kMaxNames + 16;
struct Obstacles {
  const MapStars* map;
  Box space;  // for names
  Box boxes[kMaxBoxes] = {};
  int boxCount = 0;
  // The stars named, whose dots no name covers, and the faint stars whose
  // dots a name covers, which are not named.
  bool named[kMaxMapStars] = {};
  bool covered[kMaxMapStars] = {};
};

bool Overlaps(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom &&
         b.top < a.bottom;
}

void AddBox(Obstacles* obstacles, const Box& box) {
  assert(obstacles->boxCount < kMaxBoxes);
  if (obstacles->boxCount < kMaxBoxes) {
    obstacles->boxes[obstacles->boxCount++] = box;
  }
}

Box DotBox(const MapStar& star) {
  double r = star.radius;
  return {star.x - r, star.y - r, star.x + r, star.y + r};
}

// How many dots a name in "box" would cover; -1 where it may not go:
// beyond the space for names, over another text, over a dot that is not
// faint or whose star is named.
int CoveredDots(const Obstacles& obstacles, const Box& box) {
  const Box& space = obstacles.space;
  if (box.left < space.left || box.right > space.right || box.top < space.top ||
      box.bottom > space.bottom) {
    return -1;
  }
  for (int i = 0; i < obstacles.boxCount; ++i) {
    if (Overlaps(box, obstacles.boxes[i])) return -1;
  }
  const MapStars& map = *obstacles.map;
  int covered = 0;
  for (int i = 0; i < map.count; ++i) {
    const MapStar& star = map.stars[i];
    if (!star.placed || !Overlaps(box, DotBox(star))) continue;
    if (star.radius >= kFaintDot || obstacles.named[i]) return -1;
    ++covered;
  }
  return covered;
}

// Where a name goes beside its dot: the first of the places around it that
// lies within the picture and overlaps no other text and no dot, else the
// one that covers the fewest faint dots (CoveredDots).
struct Label {
  double x, y;
  bool start;  // text-anchor start, else end
};

double NameWidth(int length) { return length * kNameSize * kCharacterWidth; }

bool PlaceLabel(double x, double y, double radius, int length,
                Obstacles* obstacles, Label* label) {
  double width = NameWidth(length);
  // The dots that touch this one are passed as one: the name goes beside
  // them all.
  double reach = radius;
  const MapStars& map = *obstacles->map;
  for (int i = 0; i < map.count; ++i) {
    const MapStar& star = map.stars[i];
    if (!star.placed) continue;
    double apart = std::hypot(star.x - x, star.y - y);
    if (apart <= radius + star.radius + 1) {
      reach = std::max(reach, apart + star.radius);
    }
  }
  double gap = reach + 2.5;
  // Beside the dot, level with it, above or below, on the side with more
  // room first; then centred above or below it; then the other side.
  Label places[8];
  int count = 0;
  auto beside = [&](bool right) {
    double dx = right ? gap : -gap;
    places[count++] = {x + dx, y + 4, right};
    places[count++] = {x + dx, y - gap - 1, right};
    places[count++] = {x + dx, y + gap + 9, right};
  };
  bool rightFirst = x < kWidth * 0.6;
  beside(rightFirst);
  places[count++] = {x - width / 2, y - gap - 3, true};
  places[count++] = {x - width / 2, y + gap + 12, true};
  beside(!rightFirst);
  int best = -1;
  int fewest = 0;
  Box boxes[8];
  for (int k = 0; k < count; ++k) {
    // At the tenths the picture writes, so that the boxes kept are the
    // texts' own.
    Label& place = places[k];
    place.x = std::round(place.x * 10) / 10;
    place.y = std::round(place.y * 10) / 10;
    boxes[k] = {place.start ? place.x : place.x - width,
                place.y - kNameSize * kAscent,
                place.start ? place.x + width : place.x,
                place.y + kNameSize * kDescent};
    int covered = CoveredDots(*obstacles, boxes[k]);
    if (covered >= 0 && (best < 0 || covered < fewest)) {
      best = k;
      fewest = covered;
    }
    if (covered == 0) break;
  }
  if (best < 0) return false;
  AddBox(obstacles, boxes[best]);
  for (int i = 0; i < map.count; ++i) {
    if (map.stars[i].placed && Overlaps(boxes[best], DotBox(map.stars[i]))) {
      obstacles->covered[i] = true;
    }
  }
  *label = places[best];
  return true;
}

// Where a star's name shows when its dot is focused or pointed at, for a
// star that is not named: beside it, on the side with more room, over
// whatever lies there.
Label TipPlace(const MapStar& star) {
  bool right = star.x < kWidth * 0.6;
  double gap = star.radius + 3;
  return {right ? star.x + gap : star.x - gap, star.y + 4, right};
}

// Names the stars in the order of RankStars, as many as find room; no
// star whose dot a name covers, nor one whose dot touches that of one
// named already: a system is named once.  obstacles->named[i] says whether
// star i is named, at labels[i].
void NameStars(const ListedStar* stars, const MapStars& map,
               Obstacles* obstacles, Label (&labels)[kMaxMapStars]) {
  bool* named = obstacles->named;
  int namedCount = 0;
  for (int k = 0; k < kRankedStars && k < map.count && namedCount < kMaxNames;
       ++k) {
    int i = map.byRank[k];
    if (i < 0) break;
    assert(i < map.count);
    bool touches = false;
    for (int j = 0; j < map.count && !touches; ++j) {
      touches = named[j] && Touch(map.stars[i], map.stars[j]);
    }
    if (touches || obstacles->covered[i]) continue;
    const MapStar& star = map.stars[i];
    named[i] = PlaceLabel(star.x, star.y, star.radius, StarNameLength(stars[i]),
                          obstacles, &labels[i]);
    if (named[i]) ++namedCount;
  }
}

void WriteCentreName(const MapFrame& frame) {
  if (frame.centreName != nullptr) {
    WriteFragmentAsText(frame.centreName);
  } else {
    std::printf("(%s, %s, %s)", GNumber(frame.centre.x).text,
                GNumber(frame.centre.y).text, GNumber(frame.centre.z).text);
  }
}

int CentreNameLength(const MapFrame& frame) {
  if (frame.centreName != nullptr) return ShownLength(frame.centreName);
  char text[128];
  return std::snprintf(
      text, sizeof(text), "(%s, %s, %s)", GNumber(frame.centre.x).text,
      GNumber(frame.centre.y).text, GNumber(frame.centre.z).text);
}

void WriteTitle(int count, const MapFrame& frame, const PlaneEntry& plane) {
  WriteText("<title>");
  std::printf("%s of %d star%s around ",
              plane.plane == MapPlane::kSky ? "Sky chart" : "Map", count,
              count == 1 ? "" : "s");
  WriteCentreName(frame);
  std::printf(": %s</title>\n", plane.view);
}

// The centre's cross with its name beside it, in a group of their own
// that the script moves with the map.
void WriteCentre(double x, double y, const MapFrame& frame,
                 Obstacles* obstacles) {
  std::printf(
      "<g class=\"centre\"><path class=\"mark\" "
      "d=\"M%.1f %.1fh14M%.1f %.1fv14\"/>\n",
      x - 7, y, x, y - 7);
  Label label;
  AddBox(obstacles, {x - 7, y - 7, x + 7, y + 7});
  if (PlaceLabel(x, y, 6, CentreNameLength(frame), obstacles, &label)) {
    std::printf("<text class=\"name\" x=\"%.1f\" y=\"%.1f\"%s>", label.x,
                label.y, label.start ? "" : " text-anchor=\"end\"");
    WriteCentreName(frame);
    WriteText("</text>");
  }
  WriteText("</g>\n");
}

// A ring's length beside it, at its lower right, where the search's radius
// has always had its own.
void WriteRingLength(double lightYears, double units, Obstacles* obstacles) {
  double x = kPlaneCentreX + units * 0.7071 + 4;
  double y = kPlaneCentreY + units * 0.7071 + 10;
  char text[48];
  int length =
      std::snprintf(text, sizeof(text), "%s ly", GNumber(lightYears).text);
  std::printf(
      "<text class=\"small\" data-ly=\"%s\" x=\"%.1f\" y=\"%.1f\">%s</text>\n",
      GNumber(lightYears).text, x, y, text);
  AddBox(obstacles, {x, y - kSmallSize * kAscent,
                     x + length * kSmallSize * kCharacterWidth + 2,
                     y + kSmallSize * kDescent});
}

// The circle of the radius, the rings within it at each scale length, each
// with its length, and the small axes that say which way the map looks
// (which the script turns).
void WritePlaneFrame(const Projection& projection, const MapFrame& frame,
                     double scaleLength, Obstacles* obstacles) {
  for (double ring = scaleLength; ring < projection.extent * 0.999;
       ring += scaleLength) {
    std::printf(
        "<circle class=\"line\" data-ly=\"%s\" cx=\"%.1f\" cy=\"%.1f\" "
        "r=\"%.1f\"/>\n",
        GNumber(ring).text, kPlaneCentreX, kPlaneCentreY,
        ring * projection.scale);
    WriteRingLength(ring, ring * projection.scale, obstacles);
  }
  if (projection.radiusDrawn) {
    std::printf(
        "<circle class=\"radius\" data-ly=\"%s\" cx=\"%.1f\" cy=\"%.1f\" "
        "r=\"%.1f\"/>\n",
        GNumber(frame.radius).text, kPlaneCentreX, kPlaneCentreY, kPlaneRadius);
    WriteRingLength(frame.radius, kPlaneRadius, obstacles);
  }
  // The axes, from a corner: the right and upward ones drawn, the third
  // pointing at the viewer (a dot in a ring).
  const PlaneEntry& plane = *projection.plane;
  const double ox = 24, oy = 44, length = 20;
  int towards = 3 - plane.right - plane.up;
  std::printf(
      "<g class=\"axes\" data-origin=\"%.0f %.0f\" data-length=\"%.0f\">\n"
      "<path class=\"mark\" data-axis=\"%c\" d=\"M%.0f %.0fh%.0f\"/>"
      "<path class=\"mark\" data-axis=\"%c\" d=\"M%.0f %.0fv%.0f\"/>"
      "<circle class=\"mark\" data-axis=\"%c\" cx=\"%.0f\" cy=\"%.0f\" "
      "r=\"3\"/>\n"
      "<text class=\"small\" data-axis=\"%c\" x=\"%.0f\" y=\"%.0f\">%c</text>"
      "<text class=\"small\" data-axis=\"%c\" x=\"%.0f\" y=\"%.0f\">%c</text>"
      "<text class=\"small\" data-axis=\"%c\" x=\"%.0f\" y=\"%.0f\">%c</text>\n"
      "</g>\n",
      ox, oy, length, kAxisNames[plane.right], ox, oy, length,
      kAxisNames[plane.up], ox, oy, -length, kAxisNames[towards], ox, oy,
      kAxisNames[plane.right], ox + length + 3, oy + 4, kAxisNames[plane.right],
      kAxisNames[plane.up], ox - 3, oy - length - 4, kAxisNames[plane.up],
      kAxisNames[towards], ox - 14, oy + 14, kAxisNames[towards]);
  AddBox(obstacles, {0, 0, ox + length + 14, oy + 18});
}

// The scale bar in the lower left corner, "scaleLength" light-years long.
void WriteScaleBar(const Projection& projection, double scaleLength,
                   Obstacles* obstacles) {
  const double x = 10, y = kPlaneHeight - 10;
  double length = scaleLength * projection.scale;
  std::printf(
      "<g class=\"scale\">"
      "<path class=\"mark\" d=\"M%.1f %.1fv-6v3h%.1fv3v-6\"/>\n"
      "<text class=\"small\" x=\"%.1f\" y=\"%.1f\">%s light-year%s</text>"
      "</g>\n",
      x, y, length, x, y - 9, GNumber(scaleLength).text,
      scaleLength == 1 ? "" : "s");
  AddBox(obstacles, {0, y - 22, std::max(length, 90.0) + x, kPlaneHeight});
}

// Minutes of right ascension and arcminutes of declination between the
// sky chart's grid lines: the least that draws few enough lines.
constexpr int kRASteps[] = {1, 2, 5, 10, 15, 20, 30, 60, 120, 180, 360};
constexpr int kDecSteps[] = {1,  2,   5,   10,  15,  20,  30,
                             60, 120, 300, 600, 900, 1800};

int GridStep(const int* steps, int count, double span, double lines) {
  for (int i = 0; i < count; ++i) {
    if (span / steps[i] <= lines) return steps[i];
  }
  return steps[count - 1];
}

void WriteSkyGrid(const Projection& p) {
  double right = p.left + p.width, bottom = p.top + p.boxHeight;
  std::printf(
      "<rect class=\"line\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" "
      "height=\"%.1f\"/>\n",
      p.left, p.top, p.width, p.boxHeight);
  // Room for each line's label: "5h30m" across, a line of text up.
  int raStep =
      GridStep(kRASteps, std::size(kRASteps), (p.leftRA - p.lowRA) * 60,
               std::max(2.0, std::min(8.0, p.width / 42)));
  for (int m = static_cast<int>(std::ceil(p.lowRA * 60 / raStep)) * raStep;
       m <= p.leftRA * 60 + 1e-9; m += raStep) {
    double x = p.left + (p.leftRA - m / 60.0) * p.unitsPerHour;
    std::printf("<path class=\"line\" d=\"M%.1f %.1fV%.1f\"/>", x, p.top,
                bottom);
    char label[16];
    int length =
        m % 60 != 0
            ? std::snprintf(label, sizeof(label), "%dh%dm", m / 60, m % 60)
            : std::snprintf(label, sizeof(label), "%dh", m / 60);
    // Centred under its line, below the label of the lowest declination,
    // but whole within the picture.
    double half = length * kSmallSize * kCharacterWidth * 0.5 + 3;
    std::printf(
        "<text class=\"small\" x=\"%.1f\" y=\"%.1f\" "
        "text-anchor=\"middle\">%s</text>\n",
        std::clamp(x, half, kWidth - half), bottom + 18.5, label);
  }
  int decStep =
      GridStep(kDecSteps, std::size(kDecSteps), (p.topDec - p.lowDec) * 60,
               std::max(2.0, std::min(6.0, p.boxHeight / 24)));
  for (int a = static_cast<int>(std::ceil(p.lowDec * 60 / decStep)) * decStep;
       a <= p.topDec * 60 + 1e-9; a += decStep) {
    double y = p.top + (p.topDec - a / 60.0) * p.unitsPerDegree;
    std::printf("<path class=\"line\" d=\"M%.1f %.1fH%.1f\"/>", p.left, y,
                right);
    std::printf(
        "<text class=\"small\" x=\"%.1f\" y=\"%.1f\" "
        "text-anchor=\"end\">%s%d&deg;",
        p.left - 3, y + 3.5,
        a > 0   ? "+"
        : a < 0 ? "&minus;"
                : "",
        std::abs(a) / 60);
    if (a % 60 != 0) std::printf("%d&prime;", std::abs(a) % 60);
    WriteText("</text>\n");
  }
}

// Whether any star drawn has a doubtful distance: the legend says what
// marks it.
bool AnyDoubtful(const ListedStar* stars, const MapStars& map) {
  for (int i = 0; i < map.count; ++i) {
    if (map.stars[i].placed && HasDoubtfulDistance(stars[i])) return true;
  }
  return false;
}

// The place that the dots' sizes are seen from, as the legend names it:
// false when its name is too long for the line, which then names no place.
constexpr int kMaxSeenFromLength = 30;

void WriteSeenFrom(const MapFrame& frame) {
  if (frame.plane == MapPlane::kSky) {
    WriteText(", as seen from the Earth");
  } else if (CentreNameLength(frame) <= kMaxSeenFromLength) {
    WriteText(", as seen from ");
    WriteCentreName(frame);
  } else {
    WriteText(", as seen from the centre");
  }
}

// The legend below the picture: the colours of the classes, the dots'
// sizes and the place they are seen from, the mark of a doubtful distance
// when a star has one, and the radius when the map does not reach it.
// Returns the picture's whole height; writes the legend only when "draw"
// is set, so that the height can be known before the picture is begun.
double Legend(const Projection& projection, const MapFrame& frame,
              bool doubtful, bool draw) {
  const double lineHeight = 17;
  double y = projection.height + 16;
  double x = 10;
  for (const ClassColour& entry : kClassColours) {
    double width =
        16 + std::strlen(entry.legend) * kSmallSize * kCharacterWidth;
    if (x + width > kWidth - 4) {
      x = 10;
      y += lineHeight;
    }
    if (draw) {
      std::printf(
          "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"4\" fill=\"%s\"/>"
          "<text class=\"small\" x=\"%.1f\" y=\"%.1f\">%s</text>\n",
          x + 4, y - 3.5, entry.colour, x + 11, y, entry.legend);
    }
    x += width + 6;
  }
  y += lineHeight + 2;
  if (draw) {
    std::printf("<text class=\"small\" x=\"10\" y=\"%.1f\">Brightness", y);
    WriteSeenFrom(frame);
    WriteText(":</text>\n");
  }
  y += lineHeight + 2;
  if (draw) {
    x = 10;
    for (int magnitude : {0, 5, 10}) {
      double radius = MagnitudeDotRadius(true, magnitude);
      char text[16];
      int length = std::snprintf(text, sizeof(text), "%s%d",
                                 magnitude == 0 ? "magnitude " : "", magnitude);
      std::printf(
          "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"#d8deea\"/>"
          "<text class=\"small\" x=\"%.1f\" y=\"%.1f\">%s</text>\n",
          x + radius, y - 3.5, radius, x + 2 * radius + 4, y, text);
      x += 2 * radius + 4 + length * kSmallSize * kCharacterWidth + 14;
    }
    if (doubtful) {
      const double radius = 3;
      std::printf(
          "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"#d8deea\"/>"
          "<circle class=\"doubt\" cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\"/>"
          "<text class=\"small\" x=\"%.1f\" y=\"%.1f\">distance "
          "doubtful</text>\n",
          x + 6, y - 3.5, radius, x + 6, y - 3.5, radius + 2.5, x + 16, y);
    }
  }
  if (projection.plane->plane != MapPlane::kSky && !projection.radiusDrawn) {
    y += lineHeight;
    if (draw) {
      std::printf("<text class=\"small\" x=\"10\" y=\"%.1f\">", y);
      if (std::isfinite(frame.radius)) {
        std::printf("The search reaches %s light-years, beyond the map.",
                    GNumber(frame.radius).text);
      } else {
        WriteText("The search reaches beyond the map.");
      }
      WriteText("</text>\n");
    }
  }
  return y + 8;
}

// One star: its dot, linked to its entry page, with its name and distance
// as the link's title, a dashed ring when its distance is doubtful, and its
// name beside it: shown when "named", else only while the dot is focused or
// pointed at.  A star among the first kRankedStars by RankStars carries its
// rank, for the script that names the stars again.
void WriteStar(const ListedStar& star, const MapStar& drawn, int rank,
               bool named, const Label& label) {
  const NeighbourMatch& match = star.match;
  std::printf(
      "<a href=\"entry_page.exe?ID=%ld\" data-x=\"%.3f\" data-y=\"%.3f\" "
      "data-z=\"%.3f\"><title>",
      static_cast<long>(match.starId), match.point.x, match.point.y,
      match.point.z);
  WriteStarName(star);
  std::printf(
      ", %s light-years</title><circle cx=\"%.1f\" cy=\"%.1f\" "
      "r=\"%.1f\" fill=\"%s\"/>",
      GNumber(match.distance).text, drawn.x, drawn.y, drawn.radius,
      SpectralClassColour(StarClass(star)));
  if (HasDoubtfulDistance(star)) {
    std::printf("<circle class=\"doubt\" cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\"/>",
                drawn.x, drawn.y, drawn.radius + 2.5);
  }
  std::printf("<text class=\"name%s\"", named ? "" : " tip");
  if (rank > 0) std::printf(" data-rank=\"%d\"", rank);
  std::printf(" x=\"%.1f\" y=\"%.1f\"%s>", label.x, label.y,
              label.start ? "" : " text-anchor=\"end\"");
  WriteStarName(star);
  WriteText("</text></a>\n");
}

MapStars mapStars;

}  // namespace

bool ReadMapPlane(const char* value, MapPlane* plane) {
  for (const PlaneEntry& entry : kPlanes) {
    if (std::strcmp(value, entry.name) == 0) {
      *plane = entry.plane;
      return true;
    }
  }
  return false;
}

const char* MapPlaneName(MapPlane plane) { return FindPlane(plane).name; }

const char* MapPlaneView(MapPlane plane) { return FindPlane(plane).view; }

const char* SpectralClassColour(const char* spectralClass) {
  return FindClassColour(spectralClass).colour;
}

double MagnitudeDotRadius(bool known, double magnitude) {
  if (!known || !std::isfinite(magnitude)) return kUnknownMagnitudeDot;
  double radius = kDotRadiusAtZero - kDotRadiusPerMagnitude * magnitude;
  return std::clamp(radius, kSmallestDot, kLargestDot);
}

void WriteSvgText(const char* fragment) { WriteFragmentAsText(fragment); }

int SvgTextLength(const char* fragment) { return ShownLength(fragment); }

void WriteNeighbourMap(const ListedStar* stars, int count,
                       const MapFrame& frame) {
  assert(count >= 0);
  Projection projection{};
  projection.plane = &FindPlane(frame.plane);
  bool sky = frame.plane == MapPlane::kSky;
  if (sky) {
    ProjectSky(frame, &projection);
  } else {
    ProjectPlane(stars, count, frame, &projection);
  }
  MapStars& map = mapStars;
  MeasureStars(stars, count, projection, &map);
  bool doubtful = AnyDoubtful(stars, map);

  double height = Legend(projection, frame, doubtful, false);
  std::printf(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"neighbour-map\" "
      "role=\"group\" viewBox=\"0 0 %.0f %.0f\" width=\"100%%\" "
      "style=\"max-width:36em;height:auto;display:block\" "
      "data-plane=\"%s\"",
      kWidth, height, projection.plane->name);
  if (!sky) {
    std::printf(
        " data-centre=\"%.3f %.3f %.3f\" data-scale=\"%.6g\" "
        "data-origin=\"%.1f %.1f\" data-circle=\"%.0f\" data-height=\"%.0f\" "
        "data-right=\"%c\" data-up=\"%c\" data-names=\"%d\" "
        "data-faint=\"%.2f\"",
        frame.centre.x, frame.centre.y, frame.centre.z, projection.scale,
        kPlaneCentreX, kPlaneCentreY, kPlaneRadius, projection.height,
        kAxisNames[projection.plane->right], kAxisNames[projection.plane->up],
        kMaxNames, kFaintDot);
  }
  WriteText(">\n");
  WriteTitle(count, frame, *projection.plane);
  WriteText(kStyle);
  std::printf("<rect width=\"100%%\" height=\"100%%\" fill=\"%s\"/>\n",
              kBackground);

  // Names within the picture above the legend, on the sky chart within its
  // box, clear of the grid's labels.
  Obstacles obstacles{&map, {2, 2, kWidth - 2, projection.height}};
  if (sky) {
    WriteSkyGrid(projection);
    obstacles.space = {projection.left, projection.top,
                       projection.left + projection.width,
                       projection.top + projection.boxHeight};
    double ra = 0, dec = 0;
    if (EquatorialDirection(frame.centre, &ra, &dec)) {
      NeighbourMatch centre{0, 0, frame.centre, ra, dec, 0};
      double x = 0, y = 0;
      PlaceStar(projection, centre, &x, &y);
      WriteCentre(x, y, frame, &obstacles);
    }
  } else {
    double scaleLength = NiceLength(projection.extent * 0.6);
    WritePlaneFrame(projection, frame, scaleLength, &obstacles);
    WriteScaleBar(projection, scaleLength, &obstacles);
    WriteCentre(kPlaneCentreX, kPlaneCentreY, frame, &obstacles);
  }

  static Label labels[kMaxMapStars];
  NameStars(stars, map, &obstacles, labels);
  const bool* named = obstacles.named;
  // Nearest first, the order in which the keyboard visits the dots.
  WriteText("<g class=\"stars\">\n");
  for (int k = 0; k < map.count; ++k) {
    int i = map.byDistance[k];
    const MapStar& drawn = map.stars[i];
    if (!drawn.placed) continue;
    WriteStar(stars[i], drawn, map.rankOf[i], named[i],
              named[i] ? labels[i] : TipPlace(drawn));
  }
  WriteText("</g>\n");
  Legend(projection, frame, doubtful, true);
  WriteText(
      "</svg>\n"
      "<script src=\"../neighbour-map-3d.js\" defer></script>\n");
}

}  // namespace veloran
