#ifndef VELORAN_SITE_NEIGHBOUR_LISTING_H_
#define VELORAN_SITE_NEIGHBOUR_LISTING_H_

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <cstdint>

#include "astro/position_conversion.h"
#include "catalogue/display_names.h"
#include "cgi/search_window.h"
#include "names/known_names.h"
#include "site/listed_star.h"
#include "site/neighbour_downloads.h"
#include "site/neighbour_map.h"

// A neighbour search as the site's page and its downloads ask for it: the
// request's parameters read and checked, and one page of the whole ranking
// read from the database.

namespace veloran {

inline constexpr int kDefaultPageSize = 100;
inline constexpr int kMaxPageSize = 1000;
// So that the first rank of any page, (page - 1) * size, is an int.
inline constexpr int kMaxPageNumber = 2000000;

// The columns a search's stars can be sorted by: "sort=distance" (the
// ranking's own order, the default), "name", "class", "mag" (the magnitude
// as seen from the search's centre), "vmag" (as seen from the Earth) and
// "constellation"; "order=asc" (the default) or "desc".
enum class SortColumn {
  kDistance,
  kName,
  kClass,
  kMagnitude,
  kEarthMagnitude,
  kConstellation
};
enum class SortOrder { kAscending, kDescending };

// The column named by a "sort" parameter; false for any other text.
bool ReadSortColumn(const char* value, SortColumn* column);
const char* SortColumnName(SortColumn column);

// What a request asks for.  The centre is a star given by its ID (starId),
// else a star given by its name (starName), else the window's centre, a
// point (0, 0, 0 unless X, Y and Z say otherwise).
struct NeighbourRequest {
  int32_t starId = 0;
  // The "star" parameter as sent, or nullptr.
  const char* starName = nullptr;
  SearchWindow window;
  int page = 1;
  int size = kDefaultPageSize;
  SortColumn sort = SortColumn::kDistance;
  SortOrder order = SortOrder::kAscending;
  MapPlane plane = MapPlane::kGalacticXY;
  // Filters: the spectral class letters kept ("class=GK"; empty: every
  // star, with a class or not), the faintest magnitude kept as seen from
  // the centre ("maxMag"), and the doubtful distances left out
  // ("doubtful=hide").  A star without the value a filter reads is left
  // out by it.
  char classes[16] = "";
  bool hasMaxMagnitude = false;
  double maxMagnitude = 0.0;
  bool hideDoubtful = false;
  bool download = false;
  DownloadFormat format = DownloadFormat::kCsv;
};

// Reads the request's parameters (DecodeQueryStringAsSent) into *request: "ID",
// "X", "Y", "Z" and the window's with the classic page's defaults, reading
// and checks (an empty ID, X, Y or Z counts as missing, as does an empty
// "star"); "star" a name, or digits alone, which are read as an ID;
// "page", "size", "sort", "order", "plane", "class", "maxMag", "doubtful"
// and "format", empty ones counting as missing.  Returns false at the first
// rejected parameter, with its message, a text without markup, in *rejection.
bool ReadNeighbourRequest(NeighbourRequest* request, const char** rejection);

// One page of a search's ranking, with what the page shows of each star.
struct NeighbourListing {
  CartesianPoint centre;  // galactic, light-years
  int32_t centreId;       // 0 for a point
  bool centreHasName;
  char centreName[kDisplayNameSize];  // an HTML fragment
  // The centre's name as visitors know it (names/known_names.h).
  char centreKnownName[kKnownNameSize];
  int allCount;    // the stars within the search
  int matchCount;  // of them, those the filters keep
  int pageCount;   // at least 1, even without a match
  int firstRank;   // of stars[0] in the list asked for
  int count;
  // In the order asked for, each with its rank by distance among all the
  // search's stars, counting from 1.
  ListedStar stars[kMaxPageSize];
  int ranks[kMaxPageSize];
  // Read for a download only, with the stars' astrometry: the centre
  // star's, and the database's provenance.
  StarAstrometry centreAstrometry;
  bool hasProvenance;
  char provenance[kProvenanceSize];  // windows-1252
};

// Whether the request filters the search's stars or sorts them by another
// column than their distance: its list is then the whole result filtered
// and sorted, before it is cut into pages.
bool FiltersOrSorts(const NeighbourRequest& request);

// Whether "star" passes the request's filters.
bool KeptByFilters(const NeighbourRequest& request, const ListedStar& star);

enum class ListingOutcome {
  kListed,
  kUnknownCentre,  // the centre star has no position with a usable distance
  kPastLastPage,   // only matchCount and pageCount are read
  kReadFailed,     // kept as the read fault
  kOutOfMemory,    // the whole ranking did not fit
};

// Reads page request.page of the search around star "centreId" (0: the
// window's centre) into *listing: the centre's name, every match ranked
// (CollectNeighbours), and the name, spectrum and facts of each star of the
// page; for a download also their astrometry, the centre star's, and the
// database's provenance.  With filters or another order (FiltersOrSorts), the
// values of every match are read to filter and sort the whole result first. The
// catalogue table is loaded and freed here.
ListingOutcome ReadNeighbourListing(SQLHSTMT statement,
                                    const NeighbourRequest& request,
                                    int32_t centreId,
                                    NeighbourListing* listing);

// Room for the heading of any search and its window.
constexpr size_t kDescriptionSize = kKnownNameSize + 512;

// The heading of the search, an HTML fragment: "Stars within 20 light-years
// of Sol", "Stars between 5 and 20 light-years from (10, 10, 10)"; the
// centre star's name as visitors know it, "star N" without one.
void FormatSearchHeading(const NeighbourRequest& request,
                         const NeighbourListing& listing, char* text,
                         size_t size);

// The limits of the window in right ascension and declination as a text
// without markup, in windows-1252 (the degree sign is byte 0xB0): "with
// right ascensions between 5h0m0s and 6h0m0s, and declinations between
// -10 deg 0'0" and +10 deg 0'0"" with the sign for "deg"; an empty text for
// the whole sky.
void FormatWindowLimits(const SearchWindow& window, char* text, size_t size);

// A parameter of a search's address that a link changes.
struct SearchLink {
  int page;  // 1 leaves the parameter out
  SortColumn sort;
  SortOrder order;
  MapPlane plane;
  const char* format;  // nullptr: none
};

// The link's parameters as the request has them.
SearchLink SameSearch(const NeighbourRequest& request);

// Room for the longest value that the query decoder passes on (511 bytes)
// written as FormatQueryValue writes it.
constexpr size_t kMaxQueryValueSize = 3 * 511 + 1;

// Writes into "text" (of "size" bytes, at least the length of the result
// and its terminator) "value" as sent as one query value: letters, digits and "-._~" as they are, a blank as "+",
// every other byte percent-encoded.  Returns its length.
size_t FormatQueryValue(const char* value, char* text, size_t size);

// Room for the longest query of FormatSearchQuery.
constexpr size_t kSearchQuerySize = 2048;

// Writes into "text" (of "size" bytes, at least kSearchQuerySize) the query
// of the search around "centreId" (0: the window's centre, as X, Y and Z
// unless it is the origin) with the request's window and "link", each pair
// after the first headed by "separator" ("&amp;" in a page, "&" in a
// header): "ID=100&amp;ly=20&amp;page=2".  Only what differs from the
// defaults is written, each value as a number that reads back to the same
// value, so that the address asks for the very same search.  With
// "classic", only the centre and the window: the classic page's query.
// Returns the query's length (0 for none).
size_t FormatSearchQuery(const NeighbourRequest& request, int32_t centreId,
                         const SearchLink& link, const char* separator,
                         char* text, size_t size, bool classic = false);

}  // namespace veloran

#endif  // VELORAN_SITE_NEIGHBOUR_LISTING_H_
