#include "search/search_pages.h"

#include <cstdio>

#include "astro/position_conversion.h"
#include "catalogue/catalogue_names.h"
#include "catalogue/display_names.h"
#include "catalogue/read_fault.h"
#include "catalogue/star_records.h"
#include "cgi/output.h"
#include "cgi/page_frame.h"
#include "search/neighbour_scan.h"

namespace veloran {

namespace {

void ScanAround(SQLHSTMT statement, const SearchWindow& window,
                const CartesianPoint& centre, int32_t excludedId) {
  ScanNeighbours(statement, window.minRAHours, window.maxRAHours,
                 window.minDecDegrees, window.maxDecDegrees, centre.x, centre.y,
                 centre.z, window.maxRadius, window.minRadius, excludedId);
}

}  // namespace

NeighbourQuery MakeWindowQuery(const SearchWindow& window,
                               const CartesianPoint& centre,
                               int32_t excludedId) {
  return MakeNeighbourQuery(window.minRAHours, window.maxRAHours,
                            window.minDecDegrees, window.maxDecDegrees, centre,
                            window.maxRadius, window.minRadius, excludedId);
}

bool ReadStarCentre(SQLHSTMT statement, int32_t starId,
                    CartesianPoint* centre) {
  PositionRecord position;
  if (!FetchPositionRecord(statement, starId, &position)) return false;
  return PositionToCartesian(position, true, centre);
}

void WriteCoordinateSearchPage(SQLHSTMT statement, const SearchWindow& window) {
  bool loaded = LoadCatalogueNames(statement);
  WritePageHead("<TITLE>Veloran near-coordinate search results</TITLE>");
  if (loaded) {
    const CartesianPoint& c = window.centre;
    if (window.minRadius > 0.0) {
      std::printf(
          "<CENTER><H3>Stars between %s and %s light-years from (%s, %s, %s)",
          GNumber(window.minRadius).text, GNumber(window.maxRadius).text,
          GNumber(c.x).text, GNumber(c.y).text, GNumber(c.z).text);
    } else {
      std::printf("<CENTER><H3>Stars within %s light-years of (%s, %s, %s)",
                  GNumber(window.maxRadius).text, GNumber(c.x).text,
                  GNumber(c.y).text, GNumber(c.z).text);
    }
    WriteWindowClauses(window);
    ScanAround(statement, window, c, 0);
  } else {
    WriteIncompleteReadLine();
  }
  FreeCatalogueNames();
  WritePageTail();
}

bool WriteStarSearchPage(SQLHSTMT statement, int32_t starId,
                         const SearchWindow& window) {
  CartesianPoint centre;
  if (!ReadStarCentre(statement, starId, &centre)) return false;

  // A star without a name is shown with an empty one.
  char name[kHeadingNameSize] = "";
  bool read = LoadCatalogueNames(statement);
  if (read) {
    GetStarDisplayName(statement, starId, name);
    read = !ReadFailed();
  }

  WritePageHead("<TITLE>Veloran neighbor search results</TITLE>");
  if (read) {
    if (window.minRadius > 0.0) {
      std::printf("<CENTER><H3>Stars between %s and %s light-years from %s",
                  GNumber(window.minRadius).text,
                  GNumber(window.maxRadius).text, name);
    } else {
      std::printf("<CENTER><H3>Stars within %s light-years of %s",
                  GNumber(window.maxRadius).text, name);
    }
    WriteWindowClauses(window);
    ScanAround(statement, window, centre, starId);
  } else {
    WriteIncompleteReadLine();
  }
  FreeCatalogueNames();
  WritePageTail();
  return true;
}

}  // namespace veloran
