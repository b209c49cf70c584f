#include "site/neighbours_page.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "catalogue/data_source.h"
#include "catalogue/read_fault.h"
#include "cgi/output.h"
#include "cgi/query_params.h"
#include "cgi/search_window.h"
#include "names/constellations.h"
#include "names/name_keys.h"
#include "site/html_page.h"
#include "site/listed_star.h"
#include "site/star_lookup.h"
#include "site/neighbour_downloads.h"
#include "site/neighbour_listing.h"
#include "site/neighbour_map.h"
#include "site/position_text.h"
#include "site/site_request.h"
#include "site/star_order.h"
#include "site/web_request.h"

namespace veloran {

namespace {

constexpr const char* kProgram = "neighbours";

// The page's own styles, and the script that sorts the list in place
// (web/neighbours.js, beside the search form; the page works without it).
constexpr const char kHead[] =
    "<style>\n"
    ".pages { display: flex; flex-wrap: wrap; gap: 0.2em 1.2em; margin: "
    "0.6em 0; }\n"
    ".table-scroll { overflow-x: auto; }\n"
    "table.stars th, table.stars td { padding-right: 0.8em; white-space: "
    "nowrap; }\n"
    "table.stars .n { text-align: right; }\n"
    "th[aria-sort=ascending] a::after { content: \" \\25B2\"; }\n"
    "th[aria-sort=descending] a::after { content: \" \\25BC\"; }\n"
    ".map svg { display: block; max-width: 100%; height: auto; }\n"
    ".sr { position: absolute; width: 1px; height: 1px; overflow: hidden; "
    "clip: rect(0 0 0 0); white-space: nowrap; }\n"
    ".error { border-left: 4px solid #b00; padding: 0.2em 0.8em; background: "
    "#fdecec; color: #700; }\n"
    "form.search fieldset { margin: 0.8em 0; }\n"
    "form.search .row { display: flex; flex-wrap: wrap; gap: 0.4em 1.2em; "
    "margin: 0.3em 0; }\n"
    "form.search .row > div { display: flex; flex-direction: column; }\n"
    "form.search input { width: 7em; }\n"
    "form.search #f-star { width: 16em; max-width: 100%; }\n"
    "form.search td input { width: 5em; }\n"
    // On a phone each star takes two lines, the headings a line of links
    // that sort: the rank, name and distance, then the class, magnitude
    // and constellation.
    "@media (max-width: 34em) {\n"
    "body { padding: 0 0.6em; }\n"
    "table.stars, table.stars tbody, table.stars caption { display: block; "
    "}\n"
    "table.stars thead tr { display: flex; flex-wrap: wrap; gap: 0.1em "
    "1em; border-bottom: 1px solid #ddd; padding-bottom: 0.2em; }\n"
    "table.stars th { border: 0; padding: 0; }\n"
    "table.stars th:first-child { display: none; }\n"
    "table.stars tbody tr { display: grid; grid-template-columns: 3em "
    "1fr auto auto; gap: 0 0.7em; padding: 0.25em 0; border-bottom: 1px "
    "solid #ddd; }\n"
    "table.stars td { border: 0; padding: 0; white-space: normal; }\n"
    "table.stars td:nth-child(1) { grid-row: span 2; }\n"
    "table.stars td:nth-child(2) { grid-column: 2 / span 2; }\n"
    "table.stars td:nth-child(3)::after { content: \" ly\"; }\n"
    "table.stars td:nth-child(4) { grid-column: 2; }\n"
    "table.stars td:nth-child(5):not(:empty)::before { content: \"mag \"; "
    "}\n"
    "form.search td input { width: 100%; box-sizing: border-box; }\n"
    "}\n"
    "</style>\n"
    "<script src=\"../neighbours.js\" defer></script>\n";

// The columns of the list after the rank, each sortable, in the order
// shown: the heading, and what the list's order is called each way.
struct Column {
  SortColumn column;
  const char* heading;
  bool numeric;  // aligned to the right
  const char* ascending;
  const char* descending;
};

constexpr Column kColumns[] = {
    {SortColumn::kName, "Name", false, "by name, A to Z", "by name, Z to A"},
    {SortColumn::kDistance, "Distance (ly)", true, "nearest first",
     "farthest first"},
    {SortColumn::kClass, "Class", false, "by class, hottest first",
     "by class, coolest first"},
    {SortColumn::kMagnitude, "Mag. from centre", true,
     "brightest from the centre first", "faintest from the centre first"},
    {SortColumn::kEarthMagnitude, "Mag. from Earth", true,
     "brightest from the Earth first", "faintest from the Earth first"},
    {SortColumn::kConstellation, "Constellation", false,
     "by constellation, A to Z", "by constellation, Z to A"},
};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));

const Column& ColumnOf(SortColumn column) {
  for (const Column& entry : kColumns) {
    if (entry.column == column) return entry;
  }
  assert(false);
  return kColumns[0];
}

const char* OrderText(SortColumn column, SortOrder order) {
  const Column& entry = ColumnOf(column);
  return order == SortOrder::kAscending ? entry.ascending : entry.descending;
}

// The planes of the map, as the links to them call them.
struct PlaneLink {
  MapPlane plane;
  const char* label;
};

constexpr PlaneLink kPlaneLinks[] = {
    {MapPlane::kGalacticXY, "the galactic plane (X, Y)"},
    {MapPlane::kGalacticXZ, "X and Z"},
    {MapPlane::kGalacticYZ, "Y and Z"},
    {MapPlane::kSky, "the sky (right ascension, declination)"},
};

// --- The order within the page ------------------------------------------

// The order of the page: for each column, each star's place among the
// page's values of the column (equal values share one, counting from 0;
// -1 without a value), which the page writes for its script; and the rows
// in the order asked for.  Without a value a star goes last either way;
// equal values keep the order of the ranking.
struct PageOrder {
  int places[kColumnCount][kMaxPageSize];
  int rows[kMaxPageSize];
};

int ColumnIndex(SortColumn column) {
  for (int i = 0; i < kColumnCount; ++i) {
    if (kColumns[i].column == column) return i;
  }
  assert(false);
  return 0;
}

void OrderPage(const NeighbourListing& listing, SortColumn sort,
               SortOrder order, PageOrder* page) {
  static SortValues values[kMaxPageSize];
  int count = listing.count;
  for (int i = 0; i < count; ++i) ReadSortValues(listing.stars[i], &values[i]);
  int byValue[kMaxPageSize];
  for (int c = 0; c < kColumnCount; ++c) {
    SortColumn column = kColumns[c].column;
    int present = 0;
    for (int i = 0; i < count; ++i) {
      if (HasValue(column, values[i])) {
        byValue[present++] = i;
      } else {
        page->places[c][i] = -1;
      }
    }
    const int* ranks = listing.ranks;
    std::stable_sort(byValue, byValue + present, [&](int a, int b) {
      return CompareValues(column, values[a], ranks[a], values[b], ranks[b]) <
             0;
    });
    int place = -1;
    for (int j = 0; j < present; ++j) {
      int a = byValue[j - (j > 0 ? 1 : 0)];
      int b = byValue[j];
      if (j == 0 || CompareValues(column, values[a], ranks[a], values[b],
                                  ranks[b]) != 0) {
        ++place;
      }
      page->places[c][byValue[j]] = place;
    }
  }
  const int* places = page->places[ColumnIndex(sort)];
  for (int i = 0; i < count; ++i) page->rows[i] = i;
  std::stable_sort(page->rows, page->rows + count, [&](int a, int b) {
    if ((places[a] < 0) != (places[b] < 0)) return places[b] < 0;
    if (places[a] == places[b]) return false;
    return order == SortOrder::kAscending ? places[a] < places[b]
                                          : places[a] > places[b];
  });
}

// --- Links ----------------------------------------------------------------

// Writes the address of this program with the request's search, centred
// on "centreId", and "link".
void WriteSearchHref(const NeighbourRequest& request, int32_t centreId,
                     const SearchLink& link) {
  char query[kSearchQuerySize];
  FormatSearchQuery(request, centreId, link, "&amp;", query, sizeof(query));
  WriteText("neighbours?");
  WriteText(query);
}

// A link to page "page" of the search: its text "text", or, for a link
// named by its number, "Page N" as its name for a reader.
void WritePageLink(const NeighbourRequest& request, int32_t centreId, int page,
                   const char* rel, const char* text) {
  SearchLink link = SameSearch(request);
  link.page = page;
  WriteText("<a class=\"same-order\" href=\"");
  WriteSearchHref(request, centreId, link);
  WriteText("\"");
  if (rel != nullptr) std::printf(" rel=\"%s\"", rel);
  if (text == nullptr) {
    std::printf(" aria-label=\"Page %d\">%d</a>", page, page);
  } else {
    std::printf(">%s</a>", text);
  }
}

// The pages a paging line names: the first and the last, and those up to
// kNearbyPages either side of the current one; a gap between two of them
// is written as an ellipsis.
constexpr int kNearbyPages = 2;

bool IsNamedPage(int page, int current, int last) {
  // A gap of a single page shows its number rather than an ellipsis.
  int low = current - kNearbyPages == 3 ? 2 : current - kNearbyPages;
  int high =
      current + kNearbyPages == last - 2 ? last - 1 : current + kNearbyPages;
  return page == 1 || page == last || (page >= low && page <= high);
}

// Previous, the pages' numbers (1 2 3 ... 6), next; where a link would
// lead to this page, its text alone.
void WritePageLinks(const NeighbourRequest& request,
                    const NeighbourListing& listing, const char* label) {
  if (listing.pageCount == 1) return;
  int page = request.page;
  int last = listing.pageCount;
  std::printf("<nav class=\"pages\" aria-label=\"%s\">\n", label);
  if (page > 1) {
    WritePageLink(request, listing.centreId, page - 1, "prev", "Previous");
  } else {
    WriteText("<span>Previous</span>");
  }
  WriteText("\n");
  bool gap = false;
  for (int n = 1; n <= last; ++n) {
    if (!IsNamedPage(n, page, last)) {
      // On to the last page before the next named one.
      n = n < page ? page - kNearbyPages - 1 : last - 1;
      gap = true;
      continue;
    }
    if (gap) WriteText("<span>&hellip;</span>\n");
    gap = false;
    if (n == page) {
      std::printf("<strong>Page %d of %d</strong>\n", n, last);
    } else {
      WritePageLink(request, listing.centreId, n, nullptr, nullptr);
      WriteText("\n");
    }
  }
  if (page < last) {
    WritePageLink(request, listing.centreId, page + 1, "next", "Next");
  } else {
    WriteText("<span>Next</span>");
  }
  WriteText("\n</nav>\n");
}

// --- The page -------------------------------------------------------------

void WriteHeading(const NeighbourRequest& request,
                  const NeighbourListing& listing) {
  char heading[kDescriptionSize];
  FormatSearchHeading(request, listing, heading, sizeof(heading));
  WriteText("<h1>");
  WriteFragment(heading);
  WriteText("</h1>\n");
  char limits[kDescriptionSize];
  FormatWindowLimits(request.window, limits, sizeof(limits));
  if (limits[0] != '\0') {
    // A sentence of its own here.
    assert(limits[0] >= 'a' && limits[0] <= 'z');
    limits[0] = static_cast<char>(limits[0] - 'a' + 'A');
    WriteText("<p>");
    WriteEscapedText(limits);
    WriteText(".</p>\n");
  }
}

// "Stars 1-23 of 23", with what the filters keep: "of 23 G or K stars up
// to magnitude 6 from the centre, without doubtful distances".
void WriteRanks(const NeighbourRequest& request,
                const NeighbourListing& listing) {
  int last = listing.firstRank + listing.count - 1;
  if (listing.count == 1) {
    std::printf("Star %d of %d", listing.firstRank, listing.matchCount);
  } else {
    std::printf("Stars %d&ndash;%d of %d", listing.firstRank, last,
                listing.matchCount);
  }
  bool filtered = request.classes[0] != '\0' || request.hasMaxMagnitude ||
                  request.hideDoubtful;
  if (!filtered) return;
  for (const char* c = request.classes; *c != '\0'; ++c) {
    std::printf("%s%c",
                c == request.classes ? " "
                : c[1] == '\0'       ? " or "
                                     : ", ",
                *c);
  }
  std::printf(" star%s", listing.matchCount == 1 ? "" : "s");
  if (request.hasMaxMagnitude) {
    std::printf(" up to magnitude %s from the centre",
                GNumber(request.maxMagnitude).text);
  }
  if (request.hideDoubtful) WriteText(" without doubtful distances");
  std::printf(" (of %d within the search)", listing.allCount);
}

void WriteColumnHeading(const NeighbourRequest& request,
                        const NeighbourListing& listing, const Column& column) {
  bool current = column.column == request.sort;
  WriteText("<th scope=\"col\"");
  if (column.numeric) WriteText(" class=\"n\"");
  if (current) {
    std::printf(" aria-sort=\"%s\"", request.order == SortOrder::kAscending
                                         ? "ascending"
                                         : "descending");
  }
  WriteText("><a href=\"");
  SearchLink link = SameSearch(request);
  link.sort = column.column;
  link.order = current && request.order == SortOrder::kAscending
                   ? SortOrder::kDescending
                   : SortOrder::kAscending;
  WriteSearchHref(request, listing.centreId, link);
  std::printf(
      "\" data-sort=\"%s\" data-asc=\"%s\" data-desc=\"%s\">%s</a></th>",
      SortColumnName(column.column), column.ascending, column.descending,
      column.heading);
}

void WriteRow(const NeighbourListing& listing, const PageOrder& order,
              int index) {
  const ListedStar& star = listing.stars[index];
  int rank = listing.ranks[index];
  std::printf("<tr data-rank=\"%d\"><td class=\"n\">%d</td>", rank, rank);
  for (int c = 0; c < kColumnCount; ++c) {
    const Column& column = kColumns[c];
    WriteText(column.numeric ? "<td class=\"n\"" : "<td");
    int place = order.places[c][index];
    if (place >= 0) std::printf(" data-k=\"%d\"", place);
    WriteText(">");
    switch (column.column) {
      case SortColumn::kName:
        std::printf("<a href=\"entry_page.exe?ID=%ld\">",
                    static_cast<long>(star.match.starId));
        if (star.hasName && star.name[0] != '\0') {
          WriteFragment(star.name);
        } else {
          std::printf("star %ld", static_cast<long>(star.match.starId));
        }
        WriteText("</a>");
        break;
      case SortColumn::kDistance:
        // As the classic listing writes it, marked where the star's entry
        // page calls its distance doubtful.
        WriteText(GNumber(star.match.distance).text);
        if (HasDoubtfulDistance(star)) {
          WriteText(" <small class=\"doubtful\">doubtful</small>");
        }
        break;
      case SortColumn::kClass: {
        char text[kClassTextSize];
        FormatStarClass(star, text);
        WriteEscapedText(text);
        break;
      }
      case SortColumn::kMagnitude: {
        double magnitude = 0;
        if (MagnitudeFromCentre(star, &magnitude)) {
          char text[kMeasurementTextSize];
          FormatFixed(magnitude, 2, "&minus;", text, sizeof(text));
          WriteText(text);
        }
        break;
      }
      case SortColumn::kEarthMagnitude:
        if (star.hasFacts && star.facts.hasVMag) {
          char text[kMeasurementTextSize];
          FormatFixed(star.facts.vMag, 2, "&minus;", text, sizeof(text));
          WriteText(text);
        }
        break;
      case SortColumn::kConstellation:
        if (const char* name = ConstellationName(star)) {
          WriteEscapedText(name);
        }
        break;
    }
    WriteText("</td>");
  }
  WriteText("</tr>\n");
}

void WriteTable(const NeighbourRequest& request,
                const NeighbourListing& listing) {
  static PageOrder order;
  OrderPage(listing, request.sort, request.order, &order);
  WriteText(
      "<div class=\"table-scroll\" role=\"region\" "
      "aria-labelledby=\"stars-caption\" tabindex=\"0\">\n"
      "<table class=\"stars\" id=\"stars\" data-pages=\"");
  std::printf("%d\">\n<caption id=\"stars-caption\">", listing.pageCount);
  WriteRanks(request, listing);
  std::printf(", <span id=\"stars-order\">%s</span></caption>\n",
              OrderText(request.sort, request.order));
  WriteText("<thead><tr><th scope=\"col\" class=\"n\">#</th>");
  for (const Column& column : kColumns) {
    WriteColumnHeading(request, listing, column);
  }
  WriteText("</tr></thead>\n<tbody>\n");
  for (int i = 0; i < listing.count; ++i) {
    WriteRow(listing, order, order.rows[i]);
  }
  WriteText("</tbody>\n</table>\n</div>\n");
}

// Every star of a page has its dot.
static_assert(kMaxPageSize <= kMaxMapStars);

// The radii that the map's links offer, which zoom it without a script:
// 1, 2 and 5 times the powers of ten, from 2 light-years (the least
// radius) on.  Radius k of the sequence, from 0 for 2 light-years.
double LinkedRadius(int k) {
  constexpr double kFactors[] = {2, 5, 10};
  return kFactors[k % 3] * std::pow(10.0, k / 3);
}

// A link to the same search within "radius" light-years, at its map.
void WriteRadiusLink(const NeighbourRequest& request,
                     const NeighbourListing& listing, double radius) {
  NeighbourRequest within = request;
  within.window.maxRadius = radius;
  SearchLink link = SameSearch(request);
  link.page = 1;
  WriteText("<a class=\"same-order\" href=\"");
  WriteSearchHref(within, listing.centreId, link);
  std::printf("#map\">%s</a>", GNumber(radius).text);
}

// The search's radius among links to the two radii of the sequence below
// it (above its smallest distance) and the two above it; nothing for a
// radius that is no finite number.
void WriteRadiusLinks(const NeighbourRequest& request,
                      const NeighbourListing& listing) {
  const SearchWindow& window = request.window;
  if (!std::isfinite(window.maxRadius)) return;
  int below = 0;  // the first radius of the sequence not below the search's
  while (LinkedRadius(below) < window.maxRadius) ++below;
  int above = LinkedRadius(below) == window.maxRadius ? below + 1 : below;
  WriteText("<p>Within ");
  for (int k = std::max(0, below - 2); k < below; ++k) {
    if (LinkedRadius(k) <= window.minRadius) continue;
    WriteRadiusLink(request, listing, LinkedRadius(k));
    WriteText(" &middot; ");
  }
  std::printf("<strong>%s</strong>", GNumber(window.maxRadius).text);
  for (int k = above; k < above + 2; ++k) {
    WriteText(" &middot; ");
    WriteRadiusLink(request, listing, LinkedRadius(k));
  }
  WriteText(" light-years</p>\n");
}

void WriteMap(const NeighbourRequest& request,
              const NeighbourListing& listing) {
  WriteText(
      "<section id=\"map\" aria-labelledby=\"map-heading\">\n"
      "<h2 id=\"map-heading\">Map</h2>\n"
      "<p>Seen on ");
  bool first = true;
  for (const PlaneLink& plane : kPlaneLinks) {
    if (!first) WriteText(" &middot; ");
    first = false;
    if (plane.plane == request.plane) {
      std::printf("<strong>%s</strong>", plane.label);
      continue;
    }
    SearchLink link = SameSearch(request);
    link.plane = plane.plane;
    WriteText("<a class=\"same-order\" href=\"");
    WriteSearchHref(request, listing.centreId, link);
    std::printf("#map\">%s</a>", plane.label);
  }
  WriteText("</p>\n");
  WriteRadiusLinks(request, listing);
  WriteText("<div class=\"map\">\n");
  char unnamed[32];
  const char* centreName = nullptr;
  if (listing.centreId != 0) {
    std::snprintf(unnamed, sizeof(unnamed), "star %ld",
                  static_cast<long>(listing.centreId));
    centreName = listing.centreHasName ? listing.centreName : unnamed;
  }
  const SearchWindow& window = request.window;
  MapFrame frame{listing.centre,       window.maxRadius,    request.plane,
                 centreName,           window.minRAHours,   window.maxRAHours,
                 window.minDecDegrees, window.maxDecDegrees};
  WriteNeighbourMap(listing.stars, listing.count, frame);
  WriteText("</div>\n</section>\n");
}

void WriteDownloadLinks(const NeighbourRequest& request,
                        const NeighbourListing& listing) {
  static const struct {
    const char* format;
    const char* label;
  } kDownloads[] = {{"csv", "CSV"}, {"json", "JSON"}, {"votable", "VOTable"}};
  WriteText(
      "<section aria-labelledby=\"downloads-heading\">\n"
      "<h2 id=\"downloads-heading\">Download this list</h2>\n<p>");
  bool first = true;
  for (const auto& download : kDownloads) {
    if (!first) WriteText(" &middot; ");
    first = false;
    // The list in the order of the ranking: the download has no sort.
    SearchLink link{request.page, SortColumn::kDistance, SortOrder::kAscending,
                    MapPlane::kGalacticXY, download.format};
    WriteText("<a href=\"");
    WriteSearchHref(request, listing.centreId, link);
    std::printf("\">%s</a>", download.label);
  }
  WriteText("</p>\n</section>\n");
}

void WriteClassicLink(const NeighbourRequest& request,
                      const NeighbourListing& listing) {
  char query[kSearchQuerySize];
  FormatSearchQuery(request, listing.centreId, SameSearch(request), "&amp;",
                    query, sizeof(query), true);
  std::printf(
      "<p><a href=\"neighbor_search?%s\">The same search on the classic "
      "page</a>, a plain list of the nearest %d.</p>\n",
      query, kMaxListedStars);
}

// Writes the value "text" of an address, "%XX" and "+" decoded, as the
// text of an attribute.
void WriteQueryValueAsText(const char* text, size_t length) {
  char decoded[kMaxQueryValueSize];
  size_t out = 0;
  for (size_t i = 0; i < length && out + 1 < sizeof(decoded); ++i) {
    if (text[i] == '%' && i + 2 < length &&
        std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      char hex[3] = {text[i + 1], text[i + 2], '\0'};
      decoded[out++] = static_cast<char>(std::strtol(hex, nullptr, 16));
      i += 2;
    } else {
      decoded[out++] = text[i] == '+' ? ' ' : text[i];
    }
  }
  decoded[out] = '\0';
  WriteEscapedText(decoded);
}

// The filters, a form of their own that asks for the search again with the
// filters chosen, from its first page: the search's other parameters go as
// hidden fields.
void WriteFilterForm(const NeighbourRequest& request,
                     const NeighbourListing& listing) {
  NeighbourRequest unfiltered = request;
  unfiltered.classes[0] = '\0';
  unfiltered.hasMaxMagnitude = false;
  unfiltered.hideDoubtful = false;
  SearchLink link = SameSearch(unfiltered);
  link.page = 1;
  char query[kSearchQuerySize];
  FormatSearchQuery(unfiltered, listing.centreId, link, "&", query,
                    sizeof(query));
  WriteText(
      "<form class=\"search filters\" action=\"neighbours\" method=\"get\">"
      "\n");
  for (const char* field = query; *field != '\0';) {
    const char* end = std::strchr(field, '&');
    size_t length =
        end != nullptr ? static_cast<size_t>(end - field) : std::strlen(field);
    const char* equals =
        static_cast<const char*>(std::memchr(field, '=', length));
    if (equals != nullptr) {
      WriteText("<input type=\"hidden\" name=\"");
      std::fwrite(field, 1, static_cast<size_t>(equals - field), stdout);
      WriteText("\" value=\"");
      WriteQueryValueAsText(equals + 1,
                            length - static_cast<size_t>(equals + 1 - field));
      WriteText("\">\n");
    }
    field += length + (end != nullptr ? 1 : 0);
  }
  WriteText(
      "<div class=\"row\"><div><label for=\"f-class\">Classes</label> "
      "<input id=\"f-class\" name=\"class\" type=\"text\" maxlength=\"15\" "
      "placeholder=\"GK\" value=\"");
  WriteText(request.classes);
  WriteText(
      "\"></div><div><label for=\"f-maxMag\">Faintest magnitude from the "
      "centre</label> <input id=\"f-maxMag\" name=\"maxMag\" "
      "type=\"number\" step=\"any\" value=\"");
  if (request.hasMaxMagnitude) WriteText(GNumber(request.maxMagnitude).text);
  std::printf(
      "\"></div><div><input id=\"f-doubtful\" name=\"doubtful\" "
      "type=\"checkbox\" value=\"hide\"%s> <label for=\"f-doubtful\">Leave "
      "out doubtful distances</label></div></div>\n"
      "<button type=\"submit\">Filter</button>\n</form>\n",
      request.hideDoubtful ? " checked" : "");
}

void WriteListPage(const NeighbourRequest& request,
                   const NeighbourListing& listing) {
  WriteHtmlHeader(HttpStatus::kOk);
  char title[kDescriptionSize];
  FormatSearchHeading(request, listing, title, sizeof(title));
  WritePageStart(title, kHead);
  WriteHeading(request, listing);
  WriteFilterForm(request, listing);
  if (listing.matchCount == 0) {
    WriteText(
        listing.allCount == 0
            ? "<p>No stars were found in this search.</p>\n"
            : "<p>The filters leave out every star of this search.</p>\n");
    WriteClassicLink(request, listing);
    WritePageEnd();
    return;
  }
  WritePageLinks(request, listing, "Pages");
  WriteTable(request, listing);
  WritePageLinks(request, listing, "Pages, after the list");
  WriteMap(request, listing);
  WriteDownloadLinks(request, listing);
  WriteClassicLink(request, listing);
  WritePageEnd();
}

void WritePastLastPage(const NeighbourRequest& request,
                       const NeighbourListing& listing) {
  char heading[64];
  std::snprintf(heading, sizeof(heading), "No page %d of this search",
                request.page);
  WriteHtmlHeader(HttpStatus::kNotFound);
  WritePageStart(heading, kHead);
  std::printf("<h1>%s</h1>\n<p>", heading);
  char description[kDescriptionSize];
  FormatSearchHeading(request, listing, description, sizeof(description));
  WriteFragment(description);
  std::printf(": %d %s, ", listing.matchCount,
              listing.matchCount == 1 ? "star" : "stars");
  std::printf("%d %s of %d.</p>\n<p>", listing.pageCount,
              listing.pageCount == 1 ? "page" : "pages", request.size);
  WritePageLink(request, listing.centreId, listing.pageCount, nullptr,
                "The last page");
  if (listing.pageCount > 1) {
    WriteText(" &middot; ");
    WritePageLink(request, listing.centreId, 1, nullptr, "the first page");
  }
  WriteText("</p>\n");
  WritePageEnd();
}

void WriteUnknownCentrePage(int32_t id) {
  char heading[64];
  std::snprintf(heading, sizeof(heading), "No position for star %ld",
                static_cast<long>(id));
  WriteMessagePage(HttpStatus::kNotFound, heading,
                   "<p>The star database has no star with this ID, or no "
                   "distance for it, so there is nothing to search around. "
                   "<a href=\"find_star\">Find the star by its name</a> "
                   "instead.</p>\n");
}

// --- A rejected request: its message and the form, filled in ------------

// Writes a text field of the form, with the value the request gave it
// (shown only when short), else "fallback".
void WriteField(const char* id, const char* name, const char* label,
                const char* value, const char* fallback) {
  std::printf(
      "<label for=\"%s\">%s</label> <input id=\"%s\" name=\"%s\" "
      "type=\"text\" value=\"",
      id, label, id, name);
  if (value == nullptr || !WriteTypedValue(value)) WriteText(fallback);
  WriteText("\">");
}

// The fields of the window's bounds, in the order of kWindowParameters,
// with the value each takes when it is not given: the default, or 0 when
// an earlier part of its bound is given (which resets it).
void WriteWindowFields() {
  const SearchWindow defaults;
  char values[12][32];
  const double parts[12] = {
      static_cast<double>(defaults.minRA.hours),
      static_cast<double>(defaults.minRA.minutes),
      defaults.minRA.seconds,
      static_cast<double>(defaults.maxRA.hours),
      static_cast<double>(defaults.maxRA.minutes),
      defaults.maxRA.seconds,
      static_cast<double>(defaults.minDec.degrees),
      static_cast<double>(defaults.minDec.arcminutes),
      defaults.minDec.arcseconds,
      static_cast<double>(defaults.maxDec.degrees),
      static_cast<double>(defaults.maxDec.arcminutes),
      defaults.maxDec.arcseconds,
  };
  for (int bound = 0; bound < 4; ++bound) {
    bool given = false;
    for (int part = 0; part < 3; ++part) {
      int i = bound * 3 + part;
      std::snprintf(values[i], sizeof(values[i]), "%s",
                    given ? "0" : GNumber(parts[i]).text);
      if (FindQueryParam(kWindowParameters[2 + i]) != nullptr) given = true;
    }
  }
  static const char* const kRows[4] = {
      "Lowest right ascension", "Highest right ascension", "Lowest declination",
      "Highest declination"};
  static const char* const kParts[2][3] = {
      {"hours", "minutes", "seconds"}, {"degrees", "arcminutes", "arcseconds"}};
  WriteText(
      "<fieldset>\n<legend>Sky window</legend>\n"
      "<p>The whole sky is 0h 0m 0s to 23h 59m 59.999s and &minus;89&deg; "
      "59&prime; 59.999&Prime; to +89&deg; 59&prime; 59.999&Prime;.</p>\n"
      "<table>\n<thead><tr><td></td>"
      "<th scope=\"col\">h or &deg;</th><th scope=\"col\">m or "
      "&prime;</th><th scope=\"col\">s or &Prime;</th></tr></thead>\n"
      "<tbody>\n");
  for (int bound = 0; bound < 4; ++bound) {
    std::printf("<tr><th scope=\"row\">%s</th>", kRows[bound]);
    for (int part = 0; part < 3; ++part) {
      int i = bound * 3 + part;
      const char* name = kWindowParameters[2 + i];
      std::printf(
          "<td><label class=\"sr\" for=\"f-%s\">%s, %s</label><input "
          "id=\"f-%s\" name=\"%s\" type=\"text\" value=\"",
          name, kRows[bound], kParts[bound / 2][part], name, name);
      const char* value = FindQueryParam(name);
      if (value == nullptr || !WriteTypedValue(value)) WriteText(values[i]);
      WriteText("\"></td>");
    }
    WriteText("</tr>\n");
  }
  WriteText("</tbody>\n</table>\n</fieldset>\n");
}

// The search's form, filled in as the request has it, so that the visitor
// can mend what was rejected.  The window's fields all carry values, so
// that a browser without scripts, which sends every field, sends the
// search as it was.
void WriteSearchForm() {
  WriteText(
      "<form class=\"search\" action=\"neighbours\" method=\"get\">\n"
      "<fieldset>\n<legend>Centre: a star, or else a point</legend>\n"
      "<div class=\"row\"><div>");
  const char* star = FindQueryParam("ID");
  if (star == nullptr || star[0] == '\0') star = FindQueryParam("star");
  WriteField("f-star", "star", "Star (a name or an ID)", star, "");
  WriteText("</div></div>\n<div class=\"row\">");
  for (const char* axis : {"X", "Y", "Z"}) {
    char id[8];
    std::snprintf(id, sizeof(id), "f-%s", axis);
    WriteText("<div>");
    WriteField(id, axis, axis, FindQueryParam(axis), "");
    WriteText("</div>");
  }
  WriteText(
      "</div>\n<p>X, Y and Z are galactic coordinates in light-years, "
      "centred on the Sun.</p>\n</fieldset>\n<div class=\"row\"><div>");
  WriteField("f-minLY", kWindowParameters[1], "Smallest distance (ly)",
             FindQueryParam(kWindowParameters[1]), "0");
  WriteText("</div><div>");
  WriteField("f-ly", kWindowParameters[0], "Largest distance (ly)",
             FindQueryParam(kWindowParameters[0]), "15");
  WriteText("</div><div>");
  WriteField("f-size", "size", "Stars per page", FindQueryParam("size"), "100");
  WriteText("</div></div>\n");
  WriteWindowFields();
  // The order and the map's plane, when they were not what was rejected.
  SortColumn column;
  MapPlane plane;
  const char* sort = FindQueryParam("sort");
  const char* order = FindQueryParam("order");
  const char* planeName = FindQueryParam("plane");
  if (sort != nullptr && ReadSortColumn(sort, &column)) {
    std::printf("<input type=\"hidden\" name=\"sort\" value=\"%s\">\n",
                SortColumnName(column));
  }
  if (order != nullptr &&
      (std::strcmp(order, "asc") == 0 || std::strcmp(order, "desc") == 0)) {
    std::printf("<input type=\"hidden\" name=\"order\" value=\"%s\">\n", order);
  }
  if (planeName != nullptr && ReadMapPlane(planeName, &plane)) {
    std::printf("<input type=\"hidden\" name=\"plane\" value=\"%s\">\n",
                MapPlaneName(plane));
  }
  WriteText("<button type=\"submit\">Search</button>\n</form>\n");
}

void WriteRejectionPage(const char* rejection) {
  WriteHtmlHeader(HttpStatus::kBadRequest);
  WritePageStart("The search cannot be made", kHead);
  WriteText("<h1>The search cannot be made</h1>\n<p class=\"error\">");
  WriteEscapedText(rejection);
  WriteText("</p>\n");
  WriteSearchForm();
  WritePageEnd();
}

// --- A star by its name ---------------------------------------------------

// A name of several stars or none: to the finder, which lists them (or the
// names close to it), each with its link to this page.
void WriteFinderRedirect(const NeighbourRequest& request) {
  char window[kSearchQuerySize];
  size_t length = FormatSearchQuery(request, 0, SameSearch(request), "&",
                                    window, sizeof(window), true);
  char name[kMaxQueryValueSize];
  FormatQueryValue(request.starName, name, sizeof(name));
  char location[sizeof(window) + sizeof(name) + 32];
  std::snprintf(location, sizeof(location), "find_star?%s%sstar=%s", window,
                length > 0 ? "&" : "", name);
  WriteHtmlHeader(HttpStatus::kFound, location);
  WritePageStart("Which star?");
  WriteText("<h1>Which star?</h1>\n<p><a href=\"");
  WriteEscapedText(location);
  WriteText("\">The stars of this name</a>, to choose from.</p>\n");
  WritePageEnd();
}

// The format of the download asked for, whose failures are answered in
// it: set for each request before anything can fail.
bool downloading = false;
DownloadFormat downloadFormat = DownloadFormat::kCsv;

void WriteDownloadFailure(HttpStatus status, const char* message) {
  WriteDownloadError(downloadFormat, status, message);
}

// The one line on standard error, and the page (or the download's error),
// of a failed read.
int AnswerReadFault(const char* what) {
  ReportReadFault(kProgram, what);
  if (downloading) {
    WriteDownloadFailure(HttpStatus::kInternalError,
                         "The star database could not be read.");
  } else {
    WriteDatabaseFaultPage();
  }
  return kExitFailed;
}

// A download that cannot be made for what the request asks: the message
// in the download's format, with "status".
int AnswerDownloadRefusal(HttpStatus status, const char* message) {
  WriteDownloadFailure(status, message);
  return status == HttpStatus::kBadRequest ? kExitFailed : kExitAnswered;
}

}  // namespace

int AnswerNeighboursRequest(const char* queryString) {
  if (ReadRequestMethod() == RequestMethod::kOptions) {
    WritePreflightReply("GET, OPTIONS");
    return kExitAnswered;
  }
  DecodeQueryStringAsSent(queryString != nullptr ? queryString : "");
  // A download answers every failure in its own format, from the first.
  const char* format = FindQueryParam("format");
  downloading =
      format != nullptr && ReadDownloadFormat(format, &downloadFormat);
  static NeighbourRequest request;
  const char* rejection = nullptr;
  if (!ReadNeighbourRequest(&request, &rejection)) {
    if (downloading)
      return AnswerDownloadRefusal(HttpStatus::kBadRequest, rejection);
    WriteRejectionPage(rejection);
    return kExitFailed;
  }

  DatabaseHandles handles;
  if (!OpenSiteDataSource(kProgram, &handles,
                          downloading ? WriteDownloadFailure : nullptr)) {
    return kExitFailed;
  }

  int32_t centreId = request.starId;
  if (request.starName != nullptr) {
    NameMatch match = NameMatch::kNone;
    if (!LookUpStarName(handles.statement, request.starName, &match,
                        &centreId)) {
      handles.Release();
      return AnswerReadFault(
          "the NameLookup table could not be read (for a database without "
          "one, see \"Names for the finder\" in the README, or NAMES in "
          "veloran-site(7))");
    }
    if (match != NameMatch::kOne) {
      handles.Release();
      // A file is of one star's neighbours: the finder's list is a page.
      if (downloading) {
        return AnswerDownloadRefusal(
            HttpStatus::kNotFound,
            match == NameMatch::kNone
                ? "No star of the database has this name."
                : "Several stars have this name: give the star's ID (find_star "
                  "lists them).");
      }
      WriteFinderRedirect(request);
      return kExitAnswered;
    }
  }

  // Read whole before any of it is written, so that the status is known.
  static NeighbourListing listing;
  ListingOutcome outcome =
      ReadNeighbourListing(handles.statement, request, centreId, &listing);
  handles.Release();
  switch (outcome) {
    case ListingOutcome::kListed:
      break;
    case ListingOutcome::kUnknownCentre:
      if (downloading) {
        return AnswerDownloadRefusal(
            HttpStatus::kNotFound,
            "The star database has no star with this ID, or no distance for "
            "it, so there is nothing to search around.");
      }
      WriteUnknownCentrePage(centreId);
      return kExitAnswered;
    case ListingOutcome::kPastLastPage:
      if (downloading) {
        char message[96];
        std::snprintf(message, sizeof(message),
                      "There is no page %d of this search: it has %d.",
                      request.page, listing.pageCount);
        return AnswerDownloadRefusal(HttpStatus::kNotFound, message);
      }
      WritePastLastPage(request, listing);
      return kExitAnswered;
    case ListingOutcome::kReadFailed:
      return AnswerReadFault("the star database could not be read");
    case ListingOutcome::kOutOfMemory:
      ReportDatabaseFault(kProgram,
                          "the search's matches did not fit in memory");
      if (downloading) {
        WriteDownloadFailure(HttpStatus::kInternalError,
                             "The star database could not be read.");
      } else {
        WriteDatabaseFaultPage();
      }
      return kExitFailed;
  }

  if (request.download) {
    char description[kDescriptionSize * 2 + 2];
    char heading[kDescriptionSize];
    char limits[kDescriptionSize];
    FormatSearchHeading(request, listing, heading, sizeof(heading));
    FormatWindowLimits(request.window, limits, sizeof(limits));
    std::snprintf(description, sizeof(description), "%s%s%s", heading,
                  limits[0] != '\0' ? ", " : "", limits);
    DownloadList list{listing.stars,      listing.count, listing.firstRank,
                      listing.matchCount, description,   listing.ranks};
    // A point has no error; a star's is its distance's.
    const StarAstrometry& centre = listing.centreAstrometry;
    list.centre = {listing.centre,
                   listing.centreId == 0 || centre.hasDistanceError,
                   listing.centreId == 0 ? 0.0 : centre.distanceError};
    list.provenance =
        listing.hasProvenance ? listing.provenance : kNoProvenance;
    WriteNeighbourDownload(request.format, list);
    return kExitAnswered;
  }
  WriteListPage(request, listing);
  return kExitAnswered;
}

}  // namespace veloran
