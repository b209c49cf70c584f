#include "site/neighbour_listing.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "catalogue/batched_lookups.h"
#include "catalogue/catalogue_names.h"
#include "catalogue/read_fault.h"
#include "cgi/number_reading.h"
#include "cgi/output.h"
#include "cgi/query_params.h"
#include "cgi/whole_number.h"
#include "search/neighbour_ranking.h"
#include "search/search_pages.h"
#include "site/star_id.h"
#include "site/star_lookup.h"
#include "site/star_order.h"

namespace veloran {

namespace {

// At most this many proper names and designations of the centre star are
// read for its known name (the most that its block of IDs holds).
constexpr int kMaxCentreNames = 98;

struct ColumnName {
  SortColumn column;
  const char* name;
};

constexpr ColumnName kColumnNames[] = {
    {SortColumn::kDistance, "distance"},
    {SortColumn::kName, "name"},
    {SortColumn::kClass, "class"},
    {SortColumn::kMagnitude, "mag"},
    {SortColumn::kEarthMagnitude, "vmag"},
    {SortColumn::kConstellation, "constellation"},
};

constexpr char kIdMessage[] =
    "A star's ID must be a multiple of 100 greater than 0 (the Sun is 100).";

// A present but empty value counts as absent here, as the classic page
// reads ID, X, Y and Z.
const char* FindNonEmptyParam(const char* name) {
  const char* value = FindQueryParam(name);
  return (value != nullptr && value[0] != '\0') ? value : nullptr;
}

// A star given by digits alone is given by its ID; anything else, by name.
bool IsDigits(const char* text) {
  size_t length = std::strspn(text, "0123456789");
  return length > 0 && text[length] == '\0';
}

// A whole number (whole_number.h) from "low" to "high".
bool ReadCount(const char* text, int low, int high, int* count) {
  int64_t value = 0;
  if (!ReadWholeNumber(text, low, high, &value)) return false;
  *count = static_cast<int>(value);
  return true;
}

// The pairs of a query written into a buffer, each after the first headed
// by the separator.
class QueryWriter {
 public:
  QueryWriter(const char* separator, char* out, size_t size)
      : separator_(separator), out_(out), size_(size) {
    assert(size > 0);
    out_[0] = '\0';
  }

  size_t length() const { return length_; }

  void Name(const char* name) {
    Append(first_ ? "" : separator_);
    first_ = false;
    Append(name);
    Append("=");
  }
  void Text(const char* name, const char* value) {
    Name(name);
    Append(value);
  }
  void Integer(const char* name, long value) {
    char text[24];
    std::snprintf(text, sizeof(text), "%ld", value);
    Text(name, text);
  }
  void Number(const char* name, double value) {
    assert(!std::isnan(value));
    Name(name);
    // The reading gives infinity for 1e999, and nothing reads "inf".
    if (std::isinf(value)) {
      Append(value > 0 ? "1e999" : "-1e999");
      return;
    }
    // The shortest text that reads back to the value.
    char text[32];
    std::to_chars_result written =
        std::to_chars(text, text + sizeof(text) - 1, value);
    assert(written.ec == std::errc());
    *written.ptr = '\0';
    // The plus sign of an exponent would be read as a blank.
    for (char* c = text; *c != '\0'; ++c) {
      if (*c == '+') {
        Append("%2B");
      } else {
        char one[2] = {*c, '\0'};
        Append(one);
      }
    }
  }

 private:
  void Append(const char* text) {
    size_t length = std::strlen(text);
    // The buffer is sized for the longest query: only a fault overruns it.
    assert(length_ + length < size_);
    if (length_ + length >= size_) return;
    std::memcpy(out_ + length_, text, length + 1);
    length_ += length;
  }

  const char* separator_;
  char* out_;
  size_t size_;
  size_t length_ = 0;
  bool first_ = true;
};

// Writes the parameters of a bound (names[0..2]: hours or degrees, minutes,
// seconds) when it is not the default: its hours or degrees, which reset
// its minutes and seconds to 0, then those that are not 0.
void WriteBound(QueryWriter* query, const char* const* names, int32_t unit,
                int32_t minutes, double seconds, int32_t defaultUnit,
                int32_t defaultMinutes, double defaultSeconds) {
  if (unit == defaultUnit && minutes == defaultMinutes &&
      seconds == defaultSeconds) {
    return;
  }
  query->Integer(names[0], unit);
  if (minutes != 0) query->Integer(names[1], minutes);
  if (seconds != 0.0) query->Number(names[2], seconds);
}

constexpr char kDegreeSign[] = "\xB0";

}  // namespace

bool ReadSortColumn(const char* value, SortColumn* column) {
  for (const ColumnName& entry : kColumnNames) {
    if (std::strcmp(value, entry.name) == 0) {
      *column = entry.column;
      return true;
    }
  }
  return false;
}

const char* SortColumnName(SortColumn column) {
  for (const ColumnName& entry : kColumnNames) {
    if (entry.column == column) return entry.name;
  }
  return "distance";
}

namespace {

// What the site's page says of a window parameter that is no number (the
// classic page reads it as 0 and answers with the rule it then breaks).
// In the order of kWindowParameters.
constexpr const char* kNotANumber[kWindowParameterCount] = {
    "The largest distance (ly) is not a number.",
    "The smallest distance (minLY) is not a number.",
    "The hours of the smallest right ascension (minRAHour) are not a number.",
    "The minutes of the smallest right ascension (minRAMin) are not a "
    "number.",
    "The seconds of the smallest right ascension (minRASec) are not a "
    "number.",
    "The hours of the largest right ascension (maxRAHour) are not a number.",
    "The minutes of the largest right ascension (maxRAMin) are not a number.",
    "The seconds of the largest right ascension (maxRASec) are not a number.",
    "The degrees of the smallest declination (minDecDeg) are not a number.",
    "The minutes of the smallest declination (minDecMin) are not a number.",
    "The seconds of the smallest declination (minDecSec) are not a number.",
    "The degrees of the largest declination (maxDecDeg) are not a number.",
    "The minutes of the largest declination (maxDecMin) are not a number.",
    "The seconds of the largest declination (maxDecSec) are not a number.",
};

// False, with its sentence, at the first window parameter whose value is
// neither empty (read as 0, as the classic page reads it) nor a number.
bool WindowValuesAreNumbers(const char** rejection) {
  for (int i = 0; i < kWindowParameterCount; ++i) {
    const char* value = FindQueryParam(kWindowParameters[i]);
    if (value != nullptr && value[0] != '\0' && !IsDecimalNumber(value)) {
      *rejection = kNotANumber[i];
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReadNeighbourRequest(NeighbourRequest* request, const char** rejection) {
  *request = NeighbourRequest{};
  SearchWindow& window = request->window;
  if (const char* id = FindNonEmptyParam("ID")) {
    if (!ParseStarId(id, &request->starId)) {
      *rejection = kIdMessage;
      return false;
    }
  } else if (const char* star = FindNonEmptyParam("star")) {
    if (IsDigits(star)) {
      if (!ParseStarId(star, &request->starId)) {
        *rejection = kIdMessage;
        return false;
      }
    } else {
      NameKeyFault fault = NameKeyFault::kNone;
      if (!IsSearchableName(star, &fault)) {
        *rejection = fault == NameKeyFault::kTooLong
                         ? "The star's name is too long."
                         : "The star's name has no letter or digit to search "
                           "by.";
        return false;
      }
      // The name is passed on to the finder as one value, which its
      // decoder takes only up to 511 bytes.
      char encoded[kMaxQueryValueSize];
      if (FormatQueryValue(star, encoded, sizeof(encoded)) >
          static_cast<size_t>(kMaxRawValueLength)) {
        *rejection = "The star's name is too long.";
        return false;
      }
      request->starName = star;
    }
  } else if (const char* x = FindNonEmptyParam("X")) {
    // As the classic page reads them: Y only after X, Z only after Y.
    window.centre.x = ReadReal(x);
    if (const char* y = FindNonEmptyParam("Y")) {
      window.centre.y = ReadReal(y);
      if (const char* z = FindNonEmptyParam("Z")) window.centre.z = ReadReal(z);
    }
  }

  if (!WindowValuesAreNumbers(rejection) ||
      !ReadSearchWindow(&window, rejection)) {
    return false;
  }

  if (const char* page = FindNonEmptyParam("page")) {
    if (!ReadCount(page, 1, kMaxPageNumber, &request->page)) {
      *rejection = "The page must be a whole number from 1 to 2000000.";
      return false;
    }
  }
  if (const char* size = FindNonEmptyParam("size")) {
    if (!ReadCount(size, 1, kMaxPageSize, &request->size)) {
      *rejection =
          "The number of stars on a page (size) must be a whole number from "
          "1 to 1000.";
      return false;
    }
  }
  if (const char* sort = FindNonEmptyParam("sort")) {
    if (!ReadSortColumn(sort, &request->sort)) {
      *rejection =
          "The column to sort by must be distance, name, class, mag, vmag "
          "or constellation.";
      return false;
    }
  }
  if (const char* order = FindNonEmptyParam("order")) {
    if (std::strcmp(order, "asc") == 0) {
      request->order = SortOrder::kAscending;
    } else if (std::strcmp(order, "desc") == 0) {
      request->order = SortOrder::kDescending;
    } else {
      *rejection = "The order must be asc or desc.";
      return false;
    }
  }
  if (const char* plane = FindNonEmptyParam("plane")) {
    if (!ReadMapPlane(plane, &request->plane)) {
      *rejection = "The map's plane must be xy, xz, yz or sky.";
      return false;
    }
  }
  if (const char* classes = FindNonEmptyParam("class")) {
    size_t length = std::strlen(classes);
    bool letters = length < sizeof(request->classes);
    for (size_t i = 0; letters && i < length; ++i) {
      char c = classes[i];
      letters = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
      request->classes[i] = static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c);
    }
    if (!letters) {
      request->classes[0] = '\0';
      *rejection =
          "The classes to keep (class) must be spectral letters, such as GK.";
      return false;
    }
    request->classes[length] = '\0';
  }
  if (const char* magnitude = FindNonEmptyParam("maxMag")) {
    if (!IsDecimalNumber(magnitude) ||
        !std::isfinite(std::strtod(magnitude, nullptr))) {
      *rejection =
          "The faintest magnitude to keep (maxMag) must be a number, such as "
          "6.5.";
      return false;
    }
    request->hasMaxMagnitude = true;
    request->maxMagnitude = std::strtod(magnitude, nullptr);
  }
  if (const char* doubtful = FindNonEmptyParam("doubtful")) {
    if (std::strcmp(doubtful, "hide") == 0) {
      request->hideDoubtful = true;
    } else if (std::strcmp(doubtful, "show") != 0) {
      *rejection = "Doubtful distances (doubtful) are hide or show.";
      return false;
    }
  }
  if (const char* format = FindNonEmptyParam("format")) {
    if (!ReadDownloadFormat(format, &request->format)) {
      *rejection = "The download format must be csv, json or votable.";
      return false;
    }
    request->download = true;
  }
  return true;
}

bool FiltersOrSorts(const NeighbourRequest& request) {
  return request.sort != SortColumn::kDistance || request.classes[0] != '\0' ||
         request.hasMaxMagnitude || request.hideDoubtful;
}

bool KeptByFilters(const NeighbourRequest& request, const ListedStar& star) {
  if (request.classes[0] != '\0') {
    // The class's letter follows any prefix in small letters: "sdM4" is an
    // M star, "DA2" a white dwarf, D.
    if (!star.hasSpectrum || !star.spectrum.HasSpectralClass) return false;
    const char* letter = star.spectrum.SpectralClass;
    while (*letter >= 'a' && *letter <= 'z') ++letter;
    if (*letter == '\0' || std::strchr(request.classes, *letter) == nullptr) {
      return false;
    }
  }
  if (request.hasMaxMagnitude) {
    // To the hundredth that the page shows.
    double magnitude = 0;
    if (!MagnitudeFromCentre(star, &magnitude) ||
        std::round(magnitude * 100) / 100 > request.maxMagnitude) {
      return false;
    }
  }
  return !(request.hideDoubtful && HasDoubtfulDistance(star));
}

namespace {

// A star of the whole result that the filters keep: its place in the
// ranking and what it is sorted by.
struct OrderedStar {
  int index;
  SortValues values;
};

struct OrderedResult {
  OrderedStar* stars = nullptr;
  size_t count = 0;
  size_t capacity = 0;
};

// Reads the values of every match, keeps those that the filters pass, and
// sorts them as asked: those without a value of the column last either
// way, equal values in the ranking's order.
ListingOutcome OrderWholeResult(SQLHSTMT statement,
                                const NeighbourRequest& request,
                                NeighbourMatches* matches,
                                OrderedResult* result) {
  result->count = 0;
  int count = matches->count();
  matches->RankRange(0, count);
  // Read a batch at a time (batched_lookups.h): a few statements for
  // every kLookupBatchSize stars rather than a few a star.
  static ListedStar batch[kLookupBatchSize];
  for (int first = 0; first < count; first += kLookupBatchSize) {
    int size = std::min(count - first, kLookupBatchSize);
    for (int i = 0; i < size; ++i) batch[i].match = (*matches)[first + i];
    if (!ReadListedStars(statement, batch, size)) {
      return ListingOutcome::kReadFailed;
    }
    for (int i = 0; i < size; ++i) {
      const ListedStar& star = batch[i];
      if (!KeptByFilters(request, star)) continue;
      if (result->count == result->capacity) {
        size_t grown = result->capacity == 0 ? 1024 : result->capacity * 2;
        void* moved = std::realloc(result->stars, grown * sizeof(OrderedStar));
        if (moved == nullptr) return ListingOutcome::kOutOfMemory;
        result->stars = static_cast<OrderedStar*>(moved);
        result->capacity = grown;
      }
      OrderedStar& kept = result->stars[result->count++];
      kept.index = first + i;
      ReadSortValues(star, &kept.values);
    }
  }
  SortColumn column = request.sort;
  bool descending = request.order == SortOrder::kDescending;
  std::stable_sort(
      result->stars, result->stars + result->count,
      [column, descending](const OrderedStar& a, const OrderedStar& b) {
        bool hasA = HasValue(column, a.values);
        if (hasA != HasValue(column, b.values)) return hasA;
        if (!hasA) return false;
        int order = CompareValues(column, a.values, a.index, b.values, b.index);
        return descending ? order > 0 : order < 0;
      });
  return ListingOutcome::kListed;
}

}  // namespace

ListingOutcome ReadNeighbourListing(SQLHSTMT statement,
                                    const NeighbourRequest& request,
                                    int32_t centreId,
                                    NeighbourListing* listing) {
  listing->centreId = centreId;
  listing->centreHasName = false;
  listing->centreName[0] = '\0';
  listing->centreKnownName[0] = '\0';
  listing->allCount = 0;
  listing->matchCount = 0;
  listing->pageCount = 1;
  listing->firstRank = 1;
  listing->count = 0;
  if (centreId != 0) {
    if (!ReadStarCentre(statement, centreId, &listing->centre)) {
      return ReadFailed() ? ListingOutcome::kReadFailed
                          : ListingOutcome::kUnknownCentre;
    }
  } else {
    listing->centre = request.window.centre;
  }

  // The whole ranking of a large search is a few megabytes: its storage is
  // kept for the process (a resident worker reuses it for the next
  // request; CollectNeighbours empties it first).
  static NeighbourMatches matches;
  ListingOutcome outcome = ListingOutcome::kListed;
  if (!LoadCatalogueNames(statement)) outcome = ListingOutcome::kReadFailed;
  if (outcome == ListingOutcome::kListed && centreId != 0) {
    listing->centreHasName =
        GetStarDisplayName(statement, centreId, listing->centreName);
    static char names[kMaxCentreNames][kNameValueSize];
    const char* pointers[kMaxCentreNames];
    int count = 0;
    if (ReadFailed() || (listing->centreHasName &&
                         !GetSystemProperNames(statement, centreId, names,
                                               kMaxCentreNames, &count))) {
      outcome = ListingOutcome::kReadFailed;
    }
    for (int i = 0; i < count; ++i) pointers[i] = names[i];
    if (listing->centreHasName) {
      FormatKnownName(listing->centreName, pointers, count,
                      listing->centreKnownName,
                      sizeof(listing->centreKnownName));
    }
  }
  if (outcome == ListingOutcome::kListed) {
    NeighbourQuery query =
        MakeWindowQuery(request.window, listing->centre, centreId);
    if (CollectNeighbours(statement, query, &matches) != ScanOutcome::kRead) {
      outcome = ListingOutcome::kReadFailed;
    } else if (!matches.complete()) {
      outcome = ListingOutcome::kOutOfMemory;
    }
  }
  // The whole result filtered and sorted, kept for the process as the
  // ranking is.
  static OrderedResult ordered;
  bool reordered = FiltersOrSorts(request);
  if (outcome == ListingOutcome::kListed) {
    listing->allCount = matches.count();
    if (reordered) {
      outcome = OrderWholeResult(statement, request, &matches, &ordered);
    }
  }
  if (outcome == ListingOutcome::kListed) {
    int count = reordered ? static_cast<int>(ordered.count) : matches.count();
    listing->matchCount = count;
    listing->pageCount = count == 0 ? 1 : (count - 1) / request.size + 1;
    if (request.page > listing->pageCount) {
      outcome = ListingOutcome::kPastLastPage;
    }
  }
  if (outcome == ListingOutcome::kListed) {
    int first = (request.page - 1) * request.size;
    if (!reordered) matches.RankRange(first, request.size);
    listing->firstRank = first + 1;
    int count = listing->matchCount - first;
    if (count > request.size) count = request.size;
    assert(count <= kMaxPageSize);
    for (int i = 0; i < count; ++i) {
      int index = reordered ? ordered.stars[first + i].index : first + i;
      listing->stars[i].match = matches[index];
      listing->ranks[i] = index + 1;
    }
    if (ReadListedStars(statement, listing->stars, count)) {
      listing->count = count;
    } else {
      outcome = ListingOutcome::kReadFailed;
    }
  }
  listing->centreAstrometry = StarAstrometry{};
  listing->hasProvenance = false;
  listing->provenance[0] = '\0';
  if (outcome == ListingOutcome::kListed && request.download &&
      (!ReadListedAstrometry(statement, listing->stars, listing->count) ||
       (centreId != 0 && !ReadAstrometryOfStars(statement, &centreId, 1,
                                                &listing->centreAstrometry)) ||
       !FetchProvenance(statement, listing->provenance,
                        &listing->hasProvenance))) {
    outcome = ListingOutcome::kReadFailed;
  }
  FreeCatalogueNames();
  return outcome;
}

void FormatSearchHeading(const NeighbourRequest& request,
                         const NeighbourListing& listing, char* text,
                         size_t size) {
  char centre[kKnownNameSize + 32];
  if (listing.centreId == 0) {
    const CartesianPoint& c = listing.centre;
    std::snprintf(centre, sizeof(centre), "(%s, %s, %s)", GNumber(c.x).text,
                  GNumber(c.y).text, GNumber(c.z).text);
  } else if (listing.centreHasName) {
    std::snprintf(centre, sizeof(centre), "%s", listing.centreKnownName);
  } else {
    std::snprintf(centre, sizeof(centre), "star %ld",
                  static_cast<long>(listing.centreId));
  }
  const SearchWindow& window = request.window;
  if (window.minRadius > 0.0) {
    std::snprintf(text, size, "Stars between %s and %s light-years from %s",
                  GNumber(window.minRadius).text,
                  GNumber(window.maxRadius).text, centre);
  } else {
    std::snprintf(text, size, "Stars within %s light-years of %s",
                  GNumber(window.maxRadius).text, centre);
  }
}

void FormatWindowLimits(const SearchWindow& window, char* text, size_t size) {
  text[0] = '\0';
  int length = 0;
  bool ra = WindowLimitsRightAscension(window);
  if (ra) {
    length = std::snprintf(
        text, size, "with right ascensions between %dh%dm%ss and %dh%dm%ss",
        window.minRA.hours, window.minRA.minutes,
        GNumber(window.minRA.seconds).text, window.maxRA.hours,
        window.maxRA.minutes, GNumber(window.maxRA.seconds).text);
  }
  if (WindowLimitsDeclination(window) && length >= 0 &&
      static_cast<size_t>(length) < size) {
    std::snprintf(text + length, size - length,
                  "%s declinations between %+d%s%d'%s\" and %+d%s%d'%s\"",
                  ra ? ", and" : "with", window.minDec.degrees, kDegreeSign,
                  window.minDec.arcminutes,
                  GNumber(window.minDec.arcseconds).text, window.maxDec.degrees,
                  kDegreeSign, window.maxDec.arcminutes,
                  GNumber(window.maxDec.arcseconds).text);
  }
}

SearchLink SameSearch(const NeighbourRequest& request) {
  return {request.page, request.sort, request.order, request.plane, nullptr};
}

size_t FormatQueryValue(const char* value, char* text, size_t size) {
  size_t length = 0;
  for (const char* c = value; *c != '\0'; ++c) {
    unsigned char byte = static_cast<unsigned char>(*c);
    bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                 (byte >= '0' && byte <= '9') ||
                 std::strchr("-._~", byte) != nullptr;
    assert(length + 4 <= size);
    if (plain) {
      text[length++] = static_cast<char>(byte);
    } else if (byte == ' ') {
      text[length++] = '+';
    } else {
      std::snprintf(text + length, size - length, "%%%02X", byte);
      length += 3;
    }
  }
  text[length] = '\0';
  return length;
}

size_t FormatSearchQuery(const NeighbourRequest& request, int32_t centreId,
                         const SearchLink& link, const char* separator,
                         char* text, size_t size, bool classic) {
  QueryWriter query(separator, text, size);
  const SearchWindow& window = request.window;
  if (centreId != 0) {
    query.Integer("ID", centreId);
  } else {
    const CartesianPoint& c = window.centre;
    bool origin = c.x == 0.0 && c.y == 0.0 && c.z == 0.0 &&
                  !std::signbit(c.x) && !std::signbit(c.y) &&
                  !std::signbit(c.z);
    if (!origin) {
      query.Number("X", c.x);
      query.Number("Y", c.y);
      query.Number("Z", c.z);
    }
  }
  // In the order ReadSearchWindow reads them: the minimum distance after
  // the maximum, which it must not exceed.
  const SearchWindow defaults;
  const char* const* names = kWindowParameters;
  if (window.maxRadius != defaults.maxRadius) {
    query.Number(names[0], window.maxRadius);
  }
  if (window.minRadius != defaults.minRadius) {
    query.Number(names[1], window.minRadius);
  }
  WriteBound(&query, names + 2, window.minRA.hours, window.minRA.minutes,
             window.minRA.seconds, defaults.minRA.hours, defaults.minRA.minutes,
             defaults.minRA.seconds);
  WriteBound(&query, names + 5, window.maxRA.hours, window.maxRA.minutes,
             window.maxRA.seconds, defaults.maxRA.hours, defaults.maxRA.minutes,
             defaults.maxRA.seconds);
  WriteBound(&query, names + 8, window.minDec.degrees, window.minDec.arcminutes,
             window.minDec.arcseconds, defaults.minDec.degrees,
             defaults.minDec.arcminutes, defaults.minDec.arcseconds);
  WriteBound(&query, names + 11, window.maxDec.degrees,
             window.maxDec.arcminutes, window.maxDec.arcseconds,
             defaults.maxDec.degrees, defaults.maxDec.arcminutes,
             defaults.maxDec.arcseconds);
  if (classic) return query.length();
  if (request.size != kDefaultPageSize) query.Integer("size", request.size);
  if (link.page != 1) query.Integer("page", link.page);
  if (link.sort != SortColumn::kDistance) {
    query.Text("sort", SortColumnName(link.sort));
  }
  if (link.order != SortOrder::kAscending) query.Text("order", "desc");
  if (link.plane != MapPlane::kGalacticXY) {
    query.Text("plane", MapPlaneName(link.plane));
  }
  if (request.classes[0] != '\0') query.Text("class", request.classes);
  if (request.hasMaxMagnitude) query.Number("maxMag", request.maxMagnitude);
  if (request.hideDoubtful) query.Text("doubtful", "hide");
  if (link.format != nullptr) query.Text("format", link.format);
  return query.length();
}

}  // namespace veloran
