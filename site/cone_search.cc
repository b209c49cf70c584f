#include "site/cone_search.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <numbers>

#include "astro/position_conversion.h"
#include "catalogue/catalogue_names.h"
#include "catalogue/data_source.h"
#include "catalogue/read_fault.h"
#include "cgi/number_reading.h"
#include "cgi/output.h"
#include "cgi/query_params.h"
#include "search/position_source.h"
#include "site/export_text.h"
#include "site/listed_star.h"
#include "site/site_request.h"
#include "site/star_table.h"

namespace veloran {

namespace {

constexpr const char* kProgram = "cone_search";

// The columns of each verbosity: a column is listed from its level up.
struct LevelledColumn {
  StarColumn column;
  int verbosity;
};
constexpr LevelledColumn kConeColumns[] = {
    {StarColumn::kId, 1},
    {StarColumn::kHip, 2},
    {StarColumn::kName, 2},
    {StarColumn::kRa, 1},
    {StarColumn::kDec, 1},
    {StarColumn::kEpoch, 2},
    {StarColumn::kPmRa, 2},
    {StarColumn::kPmDec, 2},
    {StarColumn::kSeparation, 2},
    {StarColumn::kDistance, 2},
    {StarColumn::kSpectralClass, 2},
    {StarColumn::kLuminosityClass, 3},
    {StarColumn::kVMag, 2},
    {StarColumn::kColourIndex, 3},
    {StarColumn::kParallax, 3},
    {StarColumn::kParallaxError, 3},
    {StarColumn::kDistanceSource, 3},
    {StarColumn::kConstellation, 3},
    {StarColumn::kEntryPage, 3},
};

struct ConeColumns {
  StarColumn columns[std::size(kConeColumns)];
  size_t count;
};

ConeColumns ColumnsOf(int verbosity) {
  ConeColumns chosen{};
  for (const LevelledColumn& entry : kConeColumns) {
    if (entry.verbosity <= verbosity)
      chosen.columns[chosen.count++] = entry.column;
  }
  return chosen;
}

// --- The request -----------------------------------------------------

bool SameNameIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 'a' + 'A') : *a;
    char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 'a' + 'A') : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

// The value of the first parameter called "name" in any letter case, or
// nullptr.
const char* FindParameter(const char* name) {
  for (const QueryParam* p = queryParams.first; p != nullptr; p = p->next) {
    if (SameNameIgnoringCase(p->name, name)) return p->value;
  }
  return nullptr;
}

// How a value is shown in a message: the text as it was sent (the query
// decoder doubles each single quote), in quotes, at most kShownLength
// bytes, every byte that is no printable ASCII and every "%" as %XX, so
// that the message is plain ASCII whatever was sent; a longer text is
// described by its length.
constexpr size_t kShownLength = 40;
struct ShownValue {
  explicit ShownValue(const char* value) {
    size_t length = 0;
    for (const char* c = value; *c != '\0'; ++c, ++length) {
      if (c[0] == '\'' && c[1] == '\'') ++c;
    }
    if (length > kShownLength) {
      std::snprintf(text, sizeof(text), "(a text of %zu bytes)", length);
      return;
    }
    size_t at = 0;
    text[at++] = '\'';
    for (const char* c = value; *c != '\0'; ++c) {
      if (c[0] == '\'' && c[1] == '\'') ++c;
      unsigned char byte = static_cast<unsigned char>(*c);
      if (byte >= 0x20 && byte <= 0x7E && byte != '%') {
        text[at++] = *c;
      } else {
        at += std::snprintf(text + at, sizeof(text) - at, "%%%02X", byte);
      }
    }
    text[at++] = '\'';
    text[at] = '\0';
    assert(at < sizeof(text));
  }
  char text[3 * kShownLength + 3];
};

// Reads the decimal degrees of the parameter "name" into *value; false
// with the message of a missing value, or of one that is no finite
// number.
bool ReadDegrees(const char* name, const char* meaning, double* value,
                 char (&message)[kConeMessageSize]) {
  const char* text = FindParameter(name);
  if (text == nullptr) {
    std::snprintf(message, sizeof(message),
                  "The parameter %s is missing: %s, in decimal degrees", name,
                  meaning);
    return false;
  }
  if (!IsDecimalNumber(text)) {
    std::snprintf(message, sizeof(message),
                  "%s %s is no number: give %s in decimal degrees (%s=12.5)",
                  name, ShownValue(text).text, meaning, name);
    return false;
  }
  *value = ReadReal(text);
  if (!std::isfinite(*value)) {
    std::snprintf(message, sizeof(message), "%s %s is too large a number", name,
                  ShownValue(text).text);
    return false;
  }
  return true;
}

// A real number as the messages and INFOs write it.
struct RealText {
  explicit RealText(double value) { FormatReal(value, text); }
  char text[kRealTextSize];
};

// --- The scan ----------------------------------------------------------

// A star in the cone, with what the scan read of it.
struct ConeMatch {
  int32_t starId;
  int64_t order;  // its row's StarPosition::order
  double ra;    // degrees
  double dec;
  double separation;  // degrees from the centre
  bool hasDistance;
  double distance;  // light-years from the Sun, as stored
};

// Every star in the cone; grows as the scan needs.
struct ConeMatches {
  ConeMatches() = default;
  ConeMatches(const ConeMatches&) = delete;
  ConeMatches& operator=(const ConeMatches&) = delete;
  ~ConeMatches() { std::free(items); }

  void Append(const ConeMatch& match) {
    if (count == capacity) {
      int grown = capacity == 0 ? 256 : capacity * 2;
      void* more = capacity > INT_MAX / 2
                       ? nullptr
                       : std::realloc(items, sizeof(ConeMatch) * grown);
      if (more == nullptr) {
        lost = true;
        return;
      }
      items = static_cast<ConeMatch*>(more);
      capacity = grown;
    }
    items[count++] = match;
  }

  ConeMatch* items = nullptr;
  int count = 0;
  int capacity = 0;
  bool lost = false;  // a star found no memory: the list is short
};

struct ConeScan {
  double ra;  // the centre, degrees
  double dec;
  double radius;
  ConeMatches* matches;
};

// The cone's share of the scan: the rows with a direction within the
// radius.
void VisitPosition(void* context, const StarPosition& position) {
  auto* scan = static_cast<ConeScan*>(context);
  if (!position.hasRA || !position.hasDec) return;
  double dec = position.decDegrees;
  // No separation is less than the difference of the declinations: for a
  // small cone, nearly every row is passed over here, before the
  // trigonometry.  The margin keeps a star on the edge for the exact test.
  if (std::fabs(dec - scan->dec) > scan->radius + 1e-9) return;
  double ra = position.raHours * 15.0;
  double separation = AngularSeparation(scan->ra, scan->dec, ra, dec);
  if (!(separation <= scan->radius)) return;  // NaN too
  scan->matches->Append({position.starId, position.order, ra, dec, separation,
                         position.hasDistance,
                         position.hasDistance ? position.distance : 0.0});
}

// Puts the nearest "limit" matches first, in their order: nearer first,
// at equal separations the earlier row.
void RankNearest(ConeMatches* matches, int limit) {
  auto nearer = [](const ConeMatch& a, const ConeMatch& b) {
    if (a.separation != b.separation) return a.separation < b.separation;
    return a.order < b.order;
  };
  ConeMatch* begin = matches->items;
  ConeMatch* end = begin + matches->count;
  ConeMatch* kept = begin + std::min(limit, matches->count);
  if (kept < end) std::nth_element(begin, kept, end, nearer);
  std::sort(begin, kept, nearer);
}

// --- The replies -------------------------------------------------------

enum class ReplyStatus { kOk, kInternalError, kServiceUnavailable };

void WriteHeader(ReplyStatus status) {
  switch (status) {
    case ReplyStatus::kOk:
      break;
    case ReplyStatus::kInternalError:
      WriteLine("Status: 500 Internal Server Error");
      break;
    case ReplyStatus::kServiceUnavailable:
      WriteLine("Status: 503 Service Unavailable");
      break;
  }
  WriteLine("Content-type: text/xml; charset=UTF-8");
  WriteLine("");
}

void WriteDocumentStart() {
  WriteText(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<VOTABLE version=\"1.1\" xmlns=\"http://www.ivoa.net/xml/VOTable/v1.1\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:schemaLocation=\"http://www.ivoa.net/xml/VOTable/v1.1 "
      "http://www.ivoa.net/xml/VOTable/v1.1\">\n"
      "<DESCRIPTION>Simple Cone Search of the Veloran star database: the "
      "stars within SR degrees of (RA, DEC), nearest first</DESCRIPTION>\n");
}

// The reply to a request that is an error, or that met a fault: the
// message in an Error INFO and in the results RESOURCE's QUERY_STATUS.
void WriteErrorDocument(ReplyStatus status, const char* message) {
  WriteHeader(status);
  WriteDocumentStart();
  WriteText("<INFO name=\"Error\" value=\"");
  WriteXmlText(message);
  WriteText(
      "\"/>\n<RESOURCE type=\"results\">\n"
      "<INFO name=\"QUERY_STATUS\" value=\"ERROR\">");
  WriteXmlText(message);
  WriteText("</INFO>\n</RESOURCE>\n</VOTABLE>\n");
}

// What a table's reply says of the search besides its rows.
struct ConeAnswer {
  const ConeRequest* request;
  const ConeLimits* limits;
  bool overflow;  // more stars in the cone than are listed
  int found;      // the stars in the cone (0 when not searched)
  int listed;
  const ListedStar* stars;  // the listed, with their astrometry
  const char* provenance;   // as FormatDataDescription takes it
};

void WriteResourceStart(const ConeAnswer& answer) {
  const ConeRequest& request = *answer.request;
  char data[kDataDescriptionSize];
  FormatDataDescription(answer.provenance, data);
  WriteText("<RESOURCE type=\"results\">\n<DESCRIPTION>");
  WriteXmlText(data);
  WriteText(
      " A star without right ascension or declination is in no "
      "cone.</DESCRIPTION>\n");
  if (!answer.overflow) {
    WriteText("<INFO name=\"QUERY_STATUS\" value=\"OK\"/>\n");
  } else if (answer.listed == 0 && answer.found == 0) {
    WriteText(
        "<INFO name=\"QUERY_STATUS\" value=\"OVERFLOW\">MAXREC=0: the "
        "columns alone</INFO>\n");
  } else {
    std::printf(
        "<INFO name=\"QUERY_STATUS\" value=\"OVERFLOW\">The cone holds %d "
        "stars; the nearest %d are listed</INFO>\n",
        answer.found, answer.listed);
  }
  // The request as read, and the service's limits.
  std::printf(
      "<INFO name=\"RA\" value=\"%s\"/>\n<INFO name=\"DEC\" value=\"%s\"/>\n"
      "<INFO name=\"SR\" value=\"%s\"/>\n<INFO name=\"VERB\" value=\"%d\"/>\n"
      "<INFO name=\"MaxSR\" value=\"%s\">The largest radius, degrees</INFO>\n"
      "<INFO name=\"MaxRecords\" value=\"%d\">The most rows of a "
      "reply</INFO>\n",
      RealText(request.ra).text, RealText(request.dec).text,
      RealText(request.radius).text, request.verbosity,
      RealText(answer.limits->maxRadius).text, answer.limits->maxRecords);
  WriteText(AllAtJ2000(answer.stars, answer.listed)
                ? "<COOSYS ID=\"system\" system=\"ICRS\" epoch=\"J2000\"/>\n"
                : "<COOSYS ID=\"system\" system=\"ICRS\"/>\n");
  WriteText("<TABLE name=\"cone\">\n");
}

void WriteTable(const ConeAnswer& answer, const ConeMatch* matches) {
  const ListedStar* stars = answer.stars;
  WriteHeader(ReplyStatus::kOk);
  WriteDocumentStart();
  WriteResourceStart(answer);
  ConeColumns columns = ColumnsOf(answer.request->verbosity);
  WriteVoTableFields(columns.columns, columns.count, UcdSet::kConeSearch103,
                     "system");
  WriteText("<DATA><TABLEDATA>\n");
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  for (int i = 0; i < answer.listed; ++i) {
    const ConeMatch& match = matches[i];
    StarRow row{&stars[i], 0,
                true,      match.ra,
                match.dec, match.separation,
                kNone,     false,
                kNone,     match.hasDistance,
                match.distance, false};
    WriteVoTableRow(columns.columns, columns.count, UcdSet::kConeSearch103,
                    row);
  }
  WriteText("</TABLEDATA></DATA>\n</TABLE>\n</RESOURCE>\n</VOTABLE>\n");
}

// Reads what the table shows of each of the first "count" matches into
// "stars", and the database's provenance into "provenance" (*hasProvenance
// says whether it has one).  False when a read failed (kept as the read
// fault).
bool ReadStars(SQLHSTMT statement, const ConeMatch* matches, int count,
               ListedStar* stars, char (&provenance)[kProvenanceSize],
               bool* hasProvenance) {
  if (!FetchProvenance(statement, provenance, hasProvenance)) return false;
  if (count == 0) return true;
  if (!LoadCatalogueNames(statement)) return false;
  for (int i = 0; i < count; ++i) {
    const ConeMatch& match = matches[i];
    stars[i].match = {match.starId,      match.distance, {0, 0, 0},
                      match.ra / 15.0,   match.dec,      match.order,
                      match.hasDistance, match.distance};
  }
  bool read = ReadListedStars(statement, stars, count) &&
              ReadListedAstrometry(statement, stars, count);
  FreeCatalogueNames();
  return read;
}

// Searches the database and writes the table, or the reply of a fault.
int AnswerFromDatabase(const ConeRequest& request, const ConeLimits& limits) {
  DatabaseHandles handles;
  switch (OpenDataSource(&handles, Reading::kOneSnapshot)) {
    case Connection::kOpened:
      break;
    case Connection::kNoHandle:
      ReportDatabaseFault(kProgram, "no ODBC handle could be allocated");
      WriteErrorDocument(ReplyStatus::kInternalError,
                         "The star database could not be read");
      return kExitFailed;
    case Connection::kRefused:
      ReportRefusedConnection(kProgram, handles);
      WriteErrorDocument(ReplyStatus::kServiceUnavailable,
                         "The star database cannot be reached just now");
      return kExitFailed;
  }
  ConeMatches matches;
  ConeScan scan{request.ra, request.dec, request.radius, &matches};
  bool read = VisitCandidates(handles.statement,
                              ConeRegion(request.ra, request.dec, request.radius),
                              VisitPosition, &scan) == ScanOutcome::kRead;
  int listed = std::min(matches.count, request.maxRecords);
  ListedStar* stars = nullptr;
  static char provenance[kProvenanceSize];
  bool hasProvenance = false;
  bool stored = !matches.lost;
  if (read && stored) {
    RankNearest(&matches, listed);
    stars = static_cast<ListedStar*>(std::malloc(
        sizeof(ListedStar) * static_cast<size_t>(std::max(listed, 1))));
    stored = stars != nullptr;
    read = !stored || ReadStars(handles.statement, matches.items, listed,
                                stars, provenance, &hasProvenance);
  }
  handles.Release();
  if (!read || !stored) {
    if (!read) {
      ReportReadFault(kProgram, "the star database could not be read");
    } else {
      ReportDatabaseFault(kProgram, "the stars of the cone found no memory");
    }
    std::free(stars);
    WriteErrorDocument(ReplyStatus::kInternalError,
                       "The star database could not be read");
    return kExitFailed;
  }
  ConeAnswer answer{&request,      &limits,
                    matches.count > listed,
                    matches.count, listed,
                    stars,         hasProvenance ? provenance : kNoProvenance};
  WriteTable(answer, matches.items);
  std::free(stars);
  return kExitAnswered;
}

}  // namespace

double AngularSeparation(double ra1, double dec1, double ra2, double dec2) {
  constexpr double kRadians = std::numbers::pi / 180.0;
  double deltaRa = (ra2 - ra1) * kRadians;
  double sinDelta = std::sin(deltaRa);
  double cosDelta = std::cos(deltaRa);
  double sin1 = std::sin(dec1 * kRadians);
  double cos1 = std::cos(dec1 * kRadians);
  double sin2 = std::sin(dec2 * kRadians);
  double cos2 = std::cos(dec2 * kRadians);
  double x = cos2 * sinDelta;
  double y = cos1 * sin2 - sin1 * cos2 * cosDelta;
  double z = sin1 * sin2 + cos1 * cos2 * cosDelta;
  return std::atan2(std::hypot(x, y), z) / kRadians;
}

ConeLimits ReadConeLimits(const char* maxRadius, const char* maxRecords) {
  ConeLimits limits = kDefaultConeLimits;
  if (maxRadius != nullptr) {
    double radius = IsDecimalNumber(maxRadius) ? ReadReal(maxRadius) : 0.0;
    if (radius > 0.0 && radius <= 180.0) {
      limits.maxRadius = radius;
    } else {
      std::fprintf(stderr,
                   "%s: VELORAN_CONE_MAX_SR is no radius above 0 and at most "
                   "180 degrees; %s is used\n",
                   kProgram, RealText(limits.maxRadius).text);
    }
  }
  if (maxRecords != nullptr) {
    int32_t records = IsCount(maxRecords) ? ReadInteger(maxRecords) : 0;
    if (records >= 1 && records <= kMostConeRecords) {
      limits.maxRecords = records;
    } else {
      std::fprintf(stderr,
                   "%s: VELORAN_CONE_MAX_RECORDS is no number of rows from 1 "
                   "to %d; %d is used\n",
                   kProgram, kMostConeRecords, limits.maxRecords);
    }
  }
  return limits;
}

bool ReadConeRequest(const ConeLimits& limits, ConeRequest* request,
                     char (&message)[kConeMessageSize]) {
  message[0] = '\0';
  ConeRequest read{0.0, 0.0, 0.0, 2, limits.maxRecords};
  if (!ReadDegrees("RA", "the right ascension of the cone's centre", &read.ra,
                   message) ||
      !ReadDegrees("DEC", "the declination of the cone's centre", &read.dec,
                   message) ||
      !ReadDegrees("SR", "the radius of the cone", &read.radius, message)) {
    return false;
  }
  const char* dec = FindParameter("DEC");
  const char* sr = FindParameter("SR");
  if (read.dec < -90.0 || read.dec > 90.0) {
    std::snprintf(message, sizeof(message),
                  "DEC %s is out of range: a declination lies between -90 "
                  "and 90 degrees",
                  ShownValue(dec).text);
    return false;
  }
  if (read.radius < 0.0) {
    std::snprintf(message, sizeof(message),
                  "SR %s is out of range: a radius is at least 0 degrees",
                  ShownValue(sr).text);
    return false;
  }
  if (read.radius > limits.maxRadius) {
    std::snprintf(message, sizeof(message),
                  "SR %s is larger than the largest radius of this service, "
                  "%s degrees",
                  ShownValue(sr).text, RealText(limits.maxRadius).text);
    return false;
  }
  if (const char* verb = FindParameter("VERB")) {
    int32_t level = IsCount(verb) ? ReadInteger(verb) : 0;
    if (level < 1 || level > 3) {
      std::snprintf(message, sizeof(message),
                    "VERB %s is not 1, 2 or 3: the fewest, the usual or all "
                    "columns",
                    ShownValue(verb).text);
      return false;
    }
    read.verbosity = level;
  }
  if (const char* maxrec = FindParameter("MAXREC")) {
    if (!IsCount(maxrec)) {
      std::snprintf(message, sizeof(message),
                    "MAXREC %s is no whole number of at least 0",
                    ShownValue(maxrec).text);
      return false;
    }
    read.maxRecords = std::min(ReadInteger(maxrec), limits.maxRecords);
  }
  *request = read;
  return true;
}

int AnswerConeRequest(const char* queryString) {
  ConeLimits limits = ReadConeLimits(std::getenv("VELORAN_CONE_MAX_SR"),
                                     std::getenv("VELORAN_CONE_MAX_RECORDS"));
  DecodeQueryString(queryString != nullptr ? queryString : "");
  ConeRequest request;
  char message[kConeMessageSize];
  if (!ReadConeRequest(limits, &request, message)) {
    WriteErrorDocument(ReplyStatus::kOk, message);
    return kExitFailed;
  }
  // SR=0 and MAXREC=0 ask for the columns: no database is read.
  if (request.radius == 0.0 || request.maxRecords == 0) {
    ConeAnswer answer{&request, &limits, request.maxRecords == 0, 0, 0,
                      nullptr,  nullptr};
    WriteTable(answer, nullptr);
    return kExitAnswered;
  }
  return AnswerFromDatabase(request, limits);
}

}  // namespace veloran
