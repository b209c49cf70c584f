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

namespace veloran {

void RankNeighbour(NeighbourList* list, int32_t starId, double distance) {
  int place = 0;
  while (place < list->count && list->entries[place].distance <= distance) {
    ++place;
  }
  if (place == kMaxListedStars) return;  // would drop out at once
  std::memmove(&list->entries[place + 1], &list->entries[place],
               (list->count - place) * sizeof(NeighbourEntry));
  list->entries[place] = {starId, distance};
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
  bool hasClass = FetchSpectrumRecord(statement, entry.starId + 1, &spectrum) &&
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

void ScanNeighbours(SQLHSTMT statement, double minRA, double maxRA,
                    double minDec, double maxDec, double centreX,
                    double centreY, double centreZ, double maxDistance,
                    double minDistance, int32_t excludedId) {
  CloseCursor(statement);
  if (!ExecuteStatement(statement,
                        "SELECT RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin, "
                        "Dec_arcsec, Distance, OwnerID FROM Positions")) {
    // Executed with information, too, this is a failure: the page says so.
    NoteReadFault(statement);
    WriteLine("<BR>Internal error: Database query failed.");
    return;
  }

  PositionRecord row{};
  int32_t ownerId = 0;
  SQLLEN indicators[8];
  SQLBindCol(statement, 1, SQL_C_UTINYINT, &row.RA_hr, 0, &indicators[0]);
  SQLBindCol(statement, 2, SQL_C_UTINYINT, &row.RA_min, 0, &indicators[1]);
  SQLBindCol(statement, 3, SQL_C_FLOAT, &row.RA_sec, 0, &indicators[2]);
  SQLBindCol(statement, 4, SQL_C_SHORT, &row.Dec_deg, 0, &indicators[3]);
  SQLBindCol(statement, 5, SQL_C_UTINYINT, &row.Dec_arcmin, 0, &indicators[4]);
  SQLBindCol(statement, 6, SQL_C_FLOAT, &row.Dec_arcsec, 0, &indicators[5]);
  SQLBindCol(statement, 7, SQL_C_DOUBLE, &row.Distance, 0, &indicators[6]);
  SQLBindCol(statement, 8, SQL_C_LONG, &ownerId, 0, &indicators[7]);

  // Rows too far from (or too near to) the centre for any direction to put
  // them in range are passed over before the trigonometry: for a search of
  // a few dozen light-years that is nearly every row.
  double centreNorm = DistanceFromSun({centreX, centreY, centreZ});
  NeighbourList list;
  int matchCount = 0;
  for (;;) {
    // A NULL column leaves its buffer unwritten, so the buffers are reset
    // for every row: a NULL RA_min, RA_sec, Dec_arcmin or Dec_arcsec reads
    // as 0, never as the previous row's value.
    row.RA_min = 0;
    row.RA_sec = 0.0f;
    row.Dec_arcmin = 0;
    row.Dec_arcsec = 0.0f;
    if (!FetchRow(statement)) break;
    // A row without an owner is no star.
    if (indicators[7] == SQL_NULL_DATA) continue;
    if (ownerId % 100 != 0) continue;  // belongs to a star, not its position
    if (ownerId == excludedId) continue;
    row.HasRA = indicators[0] != SQL_NULL_DATA;
    row.HasDec = indicators[3] != SQL_NULL_DATA;
    row.HasDistance = indicators[6] != SQL_NULL_DATA;
    if (row.HasDistance && DistanceRangeExcludes(row.Distance, centreNorm,
                                                 minDistance, maxDistance)) {
      continue;
    }
    CartesianPoint point;
    if (!PositionToCartesian(row, true, &point)) continue;

    double dx = point.x - centreX;
    double dy = point.y - centreY;
    double dz = point.z - centreZ;
    double d = std::sqrt((dz * dz + dy * dy) + dx * dx);
    if (std::isnan(d) || d > maxDistance || d < minDistance) continue;

    // A row at distance 0 may lack RA and Dec; they then read as 0.
    double ra =
        row.HasRA ? DecimalHours(row.RA_hr, row.RA_min, row.RA_sec) : 0.0;
    double dec =
        row.HasDec ? DecimalDegrees(row.Dec_deg, row.Dec_arcmin, row.Dec_arcsec)
                   : 0.0;
    if (ra < minRA || ra > maxRA) continue;
    if (dec < minDec || dec > maxDec) continue;

    RankNeighbour(&list, ownerId, d);
    ++matchCount;
  }
  UnbindColumns(statement);
  // The stars ranked so far are not the nearest of the table.
  if (ReadFailed()) {
    WriteIncompleteReadLine();
    return;
  }

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
