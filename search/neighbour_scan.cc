#include "search/neighbour_scan.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "astro/position_conversion.h"
#include "catalogue/display_names.h"
#include "catalogue/read_fault.h"
#include "catalogue/star_records.h"
#include "catalogue/statements.h"
#include "cgi/output.h"
#include "search/position_scan.h"
#include "search/position_source.h"

namespace veloran {

void RankNeighbour(NeighbourList* list, int32_t starId, double distance,
                   int64_t order) {
  // Most matches of a large search are not nearer than the farthest of a
  // full list: they are told so before the list is walked.
  if (list->count == kMaxListedStars) {
    const NeighbourEntry& last = list->entries[kMaxListedStars - 1];
    if (last.distance < distance ||
        (last.distance == distance && last.order < order)) {
      return;
    }
  }
  int place = 0;
  while (place < list->count &&
         (list->entries[place].distance < distance ||
          (list->entries[place].distance == distance &&
           list->entries[place].order < order))) {
    ++place;
  }
  if (place == kMaxListedStars) return;  // would drop out at once
  std::memmove(&list->entries[place + 1], &list->entries[place],
               (list->count - place) * sizeof(NeighbourEntry));
  list->entries[place] = {starId, distance, order};
  if (list->count < kMaxListedStars) ++list->count;
}

namespace {

// Writes one listing line: the link, the distance and, where known, the
// spectral and luminosity class.  Both are read before the line is written,
// so that a failed read leaves no part of a line; then it writes nothing
// and returns false.
bool WriteListingLine(SQLHSTMT statement, const NeighbourEntry& entry) {
  // A star without a name is listed with an empty one, never with the name
  // of the star before it.
  char name[kDisplayNameSize] = "";
  GetStarDisplayName(statement, entry.starId, name);
  SpectrumRecord spectrum;
  bool hasClass = FetchStarSpectrum(statement, entry.starId, &spectrum) &&
                  spectrum.HasSpectralClass;
  if (ReadFailed()) return false;
  std::printf("<BR><A HREF=\"entry_page.exe?ID=%d\">%s</A>: %s light-years",
              entry.starId, name, GNumber(entry.distance).text);
  if (hasClass) {
    std::printf(", class %s %s", spectrum.SpectralClass,
                spectrum.HasLuminosityClass ? spectrum.LuminosityClass : "");
  }
  WriteText("\n");
  return true;
}

}  // namespace

NeighbourQuery MakeNeighbourQuery(double minRA, double maxRA, double minDec,
                                  double maxDec, const CartesianPoint& centre,
                                  double maxDistance, double minDistance,
                                  int32_t excludedId) {
  return {minRA,       maxRA,      minDec,
          maxDec,      centre,     maxDistance,
          minDistance, excludedId, DistanceFromSun(centre)};
}

namespace {

// A window narrower than this is also promised as a cone: a source can
// then find its rows by their sky pixels when that is quicker.
constexpr double kWindowConeLimit = 60.0;  // degrees
constexpr double kDegrees = 180.0 / 3.14159265358979323846;

// The cone around the window's middle that holds every direction of the
// window, when the window is a plain part of the sky: a point dDec and
// dRA from the middle lies at most 2 asin(sqrt(sin^2(dDec/2) +
// sin^2(dRA/2))) from it (haversines; the cosines are at most 1).
bool WindowCone(const NeighbourQuery& query, SearchRegion* region) {
  if (!(query.minRA >= 0.0 && query.minRA <= query.maxRA &&
        query.maxRA <= 24.0 && query.minDec >= -90.0 &&
        query.minDec <= query.maxDec && query.maxDec <= 90.0)) {
    return false;
  }
  double halfRA = (query.maxRA - query.minRA) * 15.0 / 2.0 / kDegrees;
  double halfDec = (query.maxDec - query.minDec) / 2.0 / kDegrees;
  double a = std::sin(halfRA / 2.0);
  double b = std::sin(halfDec / 2.0);
  double haversine = a * a + b * b;
  if (haversine >= 1.0) return false;
  // A little more than the bound, for its rounding.
  double radius = 2.0 * std::asin(std::sqrt(haversine)) * kDegrees + 1e-6;
  if (radius >= kWindowConeLimit) return false;
  region->hasWindow = true;
  region->windowRA = (query.minRA + query.maxRA) * 15.0 / 2.0;
  region->windowDec = (query.minDec + query.maxDec) / 2.0;
  region->windowRadius = radius;
  return true;
}

}  // namespace

SearchRegion RegionOf(const NeighbourQuery& query) {
  SearchRegion region =
      ShellRegion(query.centre, query.minDistance, query.maxDistance);
  WindowCone(query, &region);
  return region;
}

bool MatchNeighbourRow(const NeighbourQuery& query,
                       const StarPosition& position, NeighbourMatch* match) {
  if (position.starId == query.excludedId) return false;
  if (position.pointComputed) {
    if (!position.placed) return false;
  } else if (position.hasDistance &&
             DistanceRangeExcludes(position.distance, query.centreNorm,
                                   query.minDistance, query.maxDistance)) {
    // Rows too far from (or too near to) the centre for any direction to
    // put them in range are passed over before the trigonometry: for a
    // search of a few dozen light-years that is nearly every row.
    return false;
  }
  CartesianPoint point;
  if (!GalacticPointOf(position, &point)) return false;

  double dx = point.x - query.centre.x;
  double dy = point.y - query.centre.y;
  double dz = point.z - query.centre.z;
  double d = std::sqrt((dz * dz + dy * dy) + dx * dx);
  if (std::isnan(d) || d > query.maxDistance || d < query.minDistance) {
    return false;
  }

  // A row at distance 0 may lack RA and Dec; they then read as 0 (the
  // window was tested by MatchNeighbour).
  *match = {position.starId,    d,
            point,               position.raHours,
            position.decDegrees, position.order,
            position.hasDistance, position.distance};
  return true;
}

namespace {

// The classic listing's share of the scan: the nearest 100 and the count.
struct ClassicRanking {
  const NeighbourQuery* query;
  NeighbourList list;
  int matchCount = 0;
};

void RankClassic(void* context, const StarPosition& position) {
  auto* ranking = static_cast<ClassicRanking*>(context);
  NeighbourMatch match;
  if (!MatchNeighbour(*ranking->query, position, &match)) return;
  RankNeighbour(&ranking->list, match.starId, match.distance, match.order);
  ++ranking->matchCount;
}

}  // namespace

void ScanNeighbours(SQLHSTMT statement, double minRA, double maxRA,
                    double minDec, double maxDec, double centreX,
                    double centreY, double centreZ, double maxDistance,
                    double minDistance, int32_t excludedId) {
  NeighbourQuery query = MakeNeighbourQuery(
      minRA, maxRA, minDec, maxDec, {centreX, centreY, centreZ}, maxDistance,
      minDistance, excludedId);
  ClassicRanking ranking;
  ranking.query = &query;
  // Never the stored index: the classic reads Positions whole.
  switch (VisitStarPositions(statement, RegionOf(query), RankClassic,
                             &ranking)) {
    case ScanOutcome::kRead:
      break;
    case ScanOutcome::kNotExecuted:
      // Executed with information, too, this is a failure: the page says so.
      WriteLine("<BR>Internal error: Database query failed.");
      return;
    case ScanOutcome::kIncomplete:
      // The stars ranked so far are not the nearest of the table.
      WriteIncompleteReadLine();
      return;
  }
  const NeighbourList& list = ranking.list;
  int matchCount = ranking.matchCount;

  if (matchCount > kMaxListedStars) {
    std::printf(
        "<BR>%d stars were found.&nbsp; Only the nearest %d will be "
        "displayed.\n<BR>\n",
        matchCount, kMaxListedStars);
  }
  if (list.count == 0) {
    WriteLine("<BR>No neighboring stars were found in the Veloran.");
    return;
  }
  for (int i = 0; i < list.count; ++i) {
    if (!WriteListingLine(statement, list.entries[i])) {
      WriteIncompleteReadLine();
      return;
    }
  }
}

void WriteIncompleteReadLine() {
  WriteLine("<BR>The star database could not be read completely.");
}

}  // namespace veloran
