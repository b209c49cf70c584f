#include "site/sky_from_star.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "astro/magnitudes.h"
#include "catalogue/batched_lookups.h"
#include "catalogue/read_fault.h"
#include "catalogue/visual_magnitudes.h"
#include "cgi/output.h"
#include "search/position_source.h"
#include "site/neighbour_map.h"
#include "site/position_text.h"

namespace veloran {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSqrt2 = 1.41421356237309504880;

// The chart: the projection's ellipse around (kCentreX, kCentreY), kScale
// picture units to the projection's unit, and a row for the legend below.
constexpr double kWidth = 760.0;
constexpr double kHeight = 432.0;
constexpr double kCentreX = 380.0;
constexpr double kCentreY = 196.0;
constexpr double kScale = 127.0;
constexpr double kLegendY = 410.0;

// Dot radii: kDotAtZero for magnitude 0, kDotPerMagnitude smaller for each
// magnitude fainter, within bounds.
constexpr double kDotAtZero = 2.8;
constexpr double kDotPerMagnitude = 0.38;
constexpr double kSmallestDot = 0.5;
constexpr double kLargestDot = 5.5;

// The names' size, and an estimate of a character's width, to keep them
// apart.
constexpr double kNameSize = 12.0;
constexpr double kCharacterWidth = 0.56;

const char kStyle[] =
    "<style>\n"
    ".sky-chart{font-family:sans-serif}\n"
    ".sky-chart text{fill:#e9edf5;font-size:12px}\n"
    ".sky-chart .small{font-size:10.5px;fill:#bcc6db}\n"
    ".sky-chart .name{paint-order:stroke;stroke:#0e1730;stroke-width:3px;"
    "stroke-linejoin:round}\n"
    ".sky-chart .grid{fill:none;stroke:#34446b;stroke-width:0.8px}\n"
    ".sky-chart .edge{fill:#0e1730;stroke:#8a9bc4;stroke-width:1.2px}\n"
    ".sky-chart circle{fill:#f4f6fb}\n"
    ".sky-chart .sun{fill:#ffd75e}\n"
    ".sky-chart .sun-ring{fill:none;stroke:#ffd75e;stroke-width:1.5px}\n"
    ".sky-chart a:hover .name,.sky-chart a:focus .name"
    "{text-decoration:underline}\n"
    "</style>\n";

// The order of the chart's stars: brightest first, equal magnitudes by ID,
// so that the stars drawn are the same whatever order the rows come in.
bool Brighter(const SkyStar& a, const SkyStar& b) {
  if (a.magnitude != b.magnitude) return a.magnitude < b.magnitude;
  return a.id < b.id;
}

struct Collector {
  SQLHSTMT statement;
  const VisualMagnitudes* magnitudes;
  CartesianPoint from;
  SkyView* view;
  // Once the chart is full, only stars brighter than the faintest kept.
  bool full = false;
  SkyStar faintest{};
  bool failed = false;
};

// Keeps the brighter half of a full chart.
void KeepBrighterHalf(Collector* collector) {
  SkyView& view = *collector->view;
  std::sort(view.stars, view.stars + view.count, Brighter);
  view.count = kMaxSkyStars / 2;
  collector->full = true;
  collector->faintest = view.stars[view.count - 1];
}

void VisitStar(void* context, const StarPosition& position) {
  auto* collector = static_cast<Collector*>(context);
  if (collector->failed || !position.hasDistance) return;
  CartesianPoint point;
  if (!GalacticPointOf(position, &point)) return;
  double vMag = 0;
  if (!FindVisualMagnitude(collector->statement, *collector->magnitudes,
                           position.starId, &vMag)) {
    collector->failed = ReadFailed();
    return;
  }
  const CartesianPoint& from = collector->from;
  CartesianPoint seen{point.x - from.x, point.y - from.y, point.z - from.z};
  SkyStar star{};
  star.id = position.starId;
  star.vMag = vMag;
  star.distance = DistanceFromSun(seen);
  star.sun = position.distance == 0;
  double absolute = 0;
  if (!AbsoluteMagnitude(vMag, position.distance, &absolute) ||
      !MagnitudeFrom(absolute, star.distance, &star.magnitude)) {
    return;
  }
  SkyView& view = *collector->view;
  if (star.sun && !view.hasSunMagnitude) {
    view.hasSunMagnitude = true;
    view.sunMagnitude = star.magnitude;
  }
  if (!(star.magnitude < kSkyMagnitudeLimit) ||
      !EquatorialDirection(seen, &star.raHours, &star.decDegrees)) {
    return;
  }
  ++view.total;
  if (collector->full && !Brighter(star, collector->faintest)) return;
  if (view.count == kMaxSkyStars) KeepBrighterHalf(collector);
  view.stars[view.count++] = star;
}

void TakeName(void* context, int index, const char* name) {
  SkyView& view = *static_cast<SkyView*>(context);
  view.hasName[index] = true;
  std::snprintf(view.names[index], sizeof(view.names[index]), "%s", name);
}

// The display names of the brightest stars and of the Sun after them, by
// their places in view->names, all at once (batched_lookups.h).
bool ReadNames(SQLHSTMT statement, SkyView* view) {
  for (int at = 0; at <= kSkyNamedStars; ++at) {
    view->hasName[at] = false;
    view->names[at][0] = '\0';
  }
  int32_t ids[kSkyNamedStars + 1];
  int count = std::min(view->count, kSkyNamedStars);
  for (int i = 0; i < count; ++i) ids[i] = view->stars[i].id;
  if (view->sunAt >= kSkyNamedStars) {
    // The Sun fainter than the brightest: all of them are named before it.
    assert(count == kSkyNamedStars);
    ids[count++] = view->stars[view->sunAt].id;
  }
  return ReadNamesOfStars(statement, ids, count, TakeName, view);
}

struct Box {
  double left, top, right, bottom;
};

bool Overlap(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom &&
         b.top < a.bottom;
}

struct Point {
  double x, y;
};

Point PlaceOf(double raHours, double decDegrees) {
  double x = 0, y = 0;
  HammerAitoff(raHours, decDegrees, &x, &y);
  return {kCentreX + kScale * x, kCentreY - kScale * y};
}

double DotRadius(double magnitude) {
  return std::clamp(kDotAtZero - kDotPerMagnitude * magnitude, kSmallestDot,
                    kLargestDot);
}

int SkyStarNameLength(const SkyView& view, int i) {
  int at = SkyNameIndex(view, i);
  if (at >= 0 && view.hasName[at] && view.names[at][0] != '\0') {
    return SvgTextLength(view.names[at]);
  }
  char text[32];
  return view.stars[i].sun ? 7
                           : std::snprintf(text, sizeof(text), "Star %ld",
                                           static_cast<long>(view.stars[i].id));
}

// A polyline through the directions from (ra, dec) in "steps" steps of
// (raStep, decStep).
void WriteGridLine(double ra, double dec, double raStep, double decStep,
                   int steps) {
  WriteText("<path class=\"grid\" d=\"");
  for (int i = 0; i <= steps; ++i) {
    Point p = PlaceOf(ra + i * raStep, dec + i * decStep);
    std::printf("%c%.1f %.1f", i == 0 ? 'M' : 'L', p.x, p.y);
  }
  WriteText("\"/>\n");
}

void WriteGrid(Box* boxes, int* boxCount) {
  std::printf(
      "<ellipse class=\"edge\" cx=\"%.1f\" cy=\"%.1f\" rx=\"%.1f\" "
      "ry=\"%.1f\"/>\n",
      kCentreX, kCentreY, 2 * kSqrt2 * kScale, kSqrt2 * kScale);
  // Meridians every two hours but the edge (12h), from pole to pole; the
  // one at 12h just inside the edge would be drawn twice.
  for (int hours = 0; hours < 24; hours += 2) {
    if (hours == 12) continue;
    WriteGridLine(hours, -90, 0, 5, 36);
  }
  // Parallels every 30 degrees, across the whole width.
  for (int dec = -60; dec <= 60; dec += 30) {
    WriteGridLine(12.0001, dec, 23.9998 / 96, 0, 96);
  }
  // The hours along the equator, the degrees along the central meridian.
  for (int hours = 0; hours < 24; hours += 2) {
    if (hours == 12) continue;
    Point p = PlaceOf(hours, 0);
    std::printf(
        "<text class=\"small\" x=\"%.1f\" y=\"%.1f\" "
        "text-anchor=\"middle\">%dh</text>\n",
        p.x, p.y + 12, hours);
    boxes[(*boxCount)++] = {p.x - 10, p.y + 2, p.x + 10, p.y + 14};
  }
  for (int dec = -60; dec <= 60; dec += 30) {
    if (dec == 0) continue;
    Point p = PlaceOf(0, dec);
    std::printf(
        "<text class=\"small\" x=\"%.1f\" y=\"%.1f\">%s%d&deg;</text>\n",
        p.x + 3, p.y - 3, dec > 0 ? "+" : "&minus;", std::abs(dec));
    boxes[(*boxCount)++] = {p.x + 2, p.y - 14, p.x + 32, p.y};
  }
}

// The name of the star at "i" beside its dot where it overlaps no other
// name, with its magnitude from there; false when there is no room.
bool PlaceName(const SkyView& view, int i, Box* boxes, int* boxCount, double* x,
               double* y, bool* start) {
  const SkyStar& star = view.stars[i];
  Point p = PlaceOf(star.raHours, star.decDegrees);
  double r = DotRadius(star.magnitude);
  // The name, a blank and a magnitude of up to five characters.
  double width = (SkyStarNameLength(view, i) + 6) * kNameSize * kCharacterWidth;
  const struct {
    double dx, dy;
    bool start;
  } tries[] = {{r + 3, 4, true},
               {-r - 3, 4, false},
               {r + 2, -r - 2, true},
               {r + 2, r + kNameSize, true}};
  for (const auto& t : tries) {
    double left = t.start ? p.x + t.dx : p.x + t.dx - width;
    Box box{left, p.y + t.dy - kNameSize, left + width, p.y + t.dy + 3};
    if (box.left < 0 || box.right > kWidth || box.top < 0 ||
        box.bottom > kLegendY - 8) {
      continue;
    }
    bool free = true;
    for (int b = 0; free && b < *boxCount; ++b) {
      free = !Overlap(box, boxes[b]);
    }
    if (!free) continue;
    boxes[(*boxCount)++] = box;
    *x = p.x + t.dx;
    *y = p.y + t.dy;
    *start = t.start;
    return true;
  }
  return false;
}

void WriteDot(const SkyStar& star) {
  Point p = PlaceOf(star.raHours, star.decDegrees);
  double r = DotRadius(star.magnitude);
  if (star.sun) {
    std::printf(
        "<circle class=\"sun\" cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\"/>"
        "<circle class=\"sun-ring\" cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\"/>",
        p.x, p.y, r, p.x, p.y, r + 3.5);
  } else {
    std::printf("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\"/>", p.x, p.y, r);
  }
}

// The named stars: each dot linked to its entry page, with a title, and its
// name where there is room; the Sun first, so that it always has room.
void WriteNamedStars(const SkyView& view, Box* boxes, int* boxCount) {
  int named = std::min(view.count, kSkyNamedStars);
  int order[kSkyNamedStars + 1];
  int count = 0;
  if (view.sunAt >= 0) order[count++] = view.sunAt;
  for (int i = 0; i < named; ++i) {
    if (i != view.sunAt) order[count++] = i;
  }
  for (int n = 0; n < count; ++n) {
    int i = order[n];
    const SkyStar& star = view.stars[i];
    std::printf("<a href=\"entry_page.exe?ID=%ld\"><title>",
                static_cast<long>(star.id));
    WriteSkyStarName(view, i, true);
    WriteText(", magnitude ");
    WriteSkyMagnitude(star.magnitude);
    WriteText(" from here</title>");
    WriteDot(star);
    double x = 0, y = 0;
    bool start = true;
    if (PlaceName(view, i, boxes, boxCount, &x, &y, &start)) {
      std::printf("<text class=\"name\" x=\"%.1f\" y=\"%.1f\"%s>", x, y,
                  start ? "" : " text-anchor=\"end\"");
      WriteSkyStarName(view, i, true);
      WriteText(" ");
      WriteSkyMagnitude(star.magnitude);
      WriteText("</text>");
    }
    WriteText("</a>\n");
  }
}

// Dots for whole magnitudes from -1 to 6, each with its number to its right.
void WriteLegend() {
  double x = 120;
  std::printf(
      "<text class=\"small\" x=\"%.1f\" y=\"%.1f\" "
      "text-anchor=\"end\">Magnitude</text>\n",
      x - 12, kLegendY + 4);
  for (int magnitude = -1; magnitude <= 6; ++magnitude) {
    std::printf(
        "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\"/>"
        "<text class=\"small\" x=\"%.1f\" y=\"%.1f\">%s%d</text>\n",
        x, kLegendY, DotRadius(magnitude), x + kLargestDot + 3, kLegendY + 4,
        magnitude < 0 ? "&minus;" : "", std::abs(magnitude));
    x += 62;
  }
}

}  // namespace

void WriteSkyMagnitude(double magnitude) {
  char text[kMeasurementTextSize];
  FormatFixed(magnitude, 1, "&minus;", text, sizeof(text));
  // A star brighter than magnitude 0 has its sign; a fainter one has its
  // plus, as magnitudes are written.
  if (magnitude >= 0.05) WriteText("+");
  WriteText(text);
}

void WriteSkyStarName(const SkyView& view, int i, bool svg) {
  int at = SkyNameIndex(view, i);
  const SkyStar& star = view.stars[i];
  if (at >= 0 && view.hasName[at] && view.names[at][0] != '\0') {
    if (svg) {
      WriteSvgText(view.names[at]);
    } else {
      WriteText(view.names[at]);
    }
  } else if (star.sun) {
    WriteText("the Sun");
  } else {
    std::printf("Star %ld", static_cast<long>(star.id));
  }
}

int SkyNameIndex(const SkyView& view, int i) {
  if (i < kSkyNamedStars) return i;
  return i == view.sunAt ? kSkyNamedStars : -1;
}

void HammerAitoff(double raHours, double decDegrees, double* x, double* y) {
  // East, the way of increasing right ascension, is to the left.
  double longitude = std::fmod(raHours * 15.0, 360.0);
  if (longitude > 180.0) longitude -= 360.0;
  if (longitude < -180.0) longitude += 360.0;
  double lambda = -longitude * kPi / 180.0;
  double phi = decDegrees * kPi / 180.0;
  double z = std::sqrt(1.0 + std::cos(phi) * std::cos(lambda / 2.0));
  *x = 2.0 * kSqrt2 * std::cos(phi) * std::sin(lambda / 2.0) / z;
  *y = kSqrt2 * std::sin(phi) / z;
}

bool ReadSkyFrom(SQLHSTMT statement, const CartesianPoint& from,
                 SkyView* view) {
  view->hasMagnitudes = false;
  view->total = 0;
  view->count = 0;
  view->sunAt = -1;
  view->hasSunMagnitude = false;
  view->sunMagnitude = 0;
  VisualMagnitudes magnitudes;
  if (!ReadVisualMagnitudes(statement, &magnitudes)) {
    FreeVisualMagnitudes(&magnitudes);
    return false;
  }
  view->hasMagnitudes = magnitudes.hasTable;
  Collector collector{statement, &magnitudes, from, view};
  ScanOutcome outcome = ScanOutcome::kRead;
  if (magnitudes.hasTable) {
    outcome = VisitStarPositions(statement, EverywhereRegion(), VisitStar,
                                 &collector);
  }
  FreeVisualMagnitudes(&magnitudes);
  if (outcome != ScanOutcome::kRead || collector.failed) return false;
  std::sort(view->stars, view->stars + view->count, Brighter);
  for (int i = 0; i < view->count; ++i) {
    if (view->stars[i].sun) {
      view->sunAt = i;
      break;
    }
  }
  return ReadNames(statement, view);
}

void WriteSkyChart(const SkyView& view, const char* fromName) {
  std::printf(
      "<svg class=\"sky-chart\" xmlns=\"http://www.w3.org/2000/svg\" "
      "viewBox=\"0 0 %.0f %.0f\" width=\"%.0f\" height=\"%.0f\" "
      "style=\"display:block;max-width:100%%;height:auto\" role=\"img\" "
      "aria-labelledby=\"sky-chart-title\">\n"
      "<title id=\"sky-chart-title\">The sky seen from ",
      kWidth, kHeight, kWidth, kHeight);
  WriteSvgText(fromName);
  std::printf(
      ": %d star%s brighter than magnitude %.1f, on a Hammer-Aitoff "
      "projection in right ascension and declination</title>\n",
      view.total, view.total == 1 ? "" : "s", kSkyMagnitudeLimit);
  WriteText(kStyle);
  std::printf("<rect width=\"%.0f\" height=\"%.0f\" fill=\"#0e1730\"/>\n",
              kWidth, kHeight);
  // The names' boxes, the grid's labels first.
  Box boxes[64];
  int boxCount = 0;
  WriteGrid(boxes, &boxCount);
  assert(boxCount + kSkyNamedStars + 1 <= static_cast<int>(std::size(boxes)));
  // The fainter stars first, so that a bright dot lies on top.
  WriteText("<g>");
  for (int i = view.count - 1; i >= 0; --i) {
    if (SkyNameIndex(view, i) >= 0) continue;
    WriteDot(view.stars[i]);
    if (i % 8 == 0) WriteText("\n");
  }
  WriteText("</g>\n");
  WriteNamedStars(view, boxes, &boxCount);
  WriteLegend();
  WriteText("</svg>\n");
}

}  // namespace veloran
