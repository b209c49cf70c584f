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
#include <cstring>
#include <iterator>
#include <limits>
#include <numbers>

#include "astro/position_conversion.h"
#include "catalogue/catalogue_names.h"
#include "catalogue/data_source.h"
#include "catalogue/read_fault.h"
#include "cgi/number_reading.h"
#include "cgi/output.h"
#include "cgi/request_variables.h"
#include "cgi/query_params.h"
#include "cgi/whole_number.h"
#include "search/position_source.h"
#include "site/export_text.h"
#include "site/cone_service.h"
#include "site/html_page.h"
#include "site/listed_star.h"
#include "site/site_request.h"
#include "site/star_table.h"
#include "site/web_request.h"

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

static_assert(std::size(kConeColumns) == kMostConeColumns);

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

// The parameters that the service reads, each of which takes one value.
constexpr const char* kSingleValued[] = {"RA",   "DEC",    "SR",
                                         "VERB", "MAXREC", "RESPONSEFORMAT"};

// False, with the message, when a parameter of kSingleValued is given more
// than once.
bool EachGivenOnce(char (&message)[kConeMessageSize]) {
  for (const char* name : kSingleValued) {
    int count = 0;
    for (const QueryParam* p = queryParams.first; p != nullptr; p = p->next) {
      if (SameNameIgnoringCase(p->name, name)) ++count;
    }
    if (count > 1) {
      std::snprintf(message, sizeof(message),
                    "The parameter %s is given %d times: it takes one value",
                    name, count);
      return false;
    }
  }
  return true;
}

// The values of RESPONSEFORMAT, as DALI names the formats, and the type of
// the reply to each: a media type asked for is the reply's.
struct ResponseFormat {
  const char* value;
  ConeFormat format;
  const char* contentType;
};
constexpr char kVoTableType[] = "text/xml; charset=UTF-8";
constexpr char kCsvType[] = "text/csv; charset=utf-8; header=present";
constexpr ResponseFormat kResponseFormats[] = {
    {"votable", ConeFormat::kVoTable, kVoTableType},
    {"text/xml", ConeFormat::kVoTable, kVoTableType},
    {"application/x-votable+xml", ConeFormat::kVoTable,
     "application/x-votable+xml; charset=UTF-8"},
    {"csv", ConeFormat::kCsv, kCsvType},
    {"text/csv", ConeFormat::kCsv, kCsvType},
};

// How a value is shown in a message: the text as it was sent, in quotes,
// at most kShownLength
// bytes, every byte that is no printable ASCII and every "%" as %XX, so
// that the message is plain ASCII whatever was sent; a longer text is
// described by its length.
constexpr size_t kShownLength = 40;
struct ShownValue {
  explicit ShownValue(const char* value) {
    size_t length = std::strlen(value);
    if (length > kShownLength) {
      std::snprintf(text, sizeof(text), "(a text of %zu bytes)", length);
      return;
    }
    size_t at = 0;
    text[at++] = '\'';
    for (const char* c = value; *c != '\0'; ++c) {
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

// The header of a reply of "status" and "contentType", readable by a page
// of any origin.
void WriteHeader(HttpStatus status, const char* contentType,
                 const char* allow = nullptr) {
  WriteStatusLine(status);
  if (allow != nullptr) std::printf("Allow: %s\n", allow);
  std::printf("Content-type: %s\n", contentType);
  WriteCorsHeaders();
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

// The reply to a request that is an error, or that met a fault, in the
// format of "request": a VOTable with the message in an Error INFO and in
// the results RESOURCE's QUERY_STATUS, or, for CSV, the message as plain
// text, a request's error with status 400 (the VOTable's is 200).  A
// method not allowed names those that are ("allow").
void WriteErrorDocument(HttpStatus status, const ConeRequest& request,
                        const char* message, const char* allow = nullptr) {
  if (request.format == ConeFormat::kCsv) {
    WriteHeader(status == HttpStatus::kOk ? HttpStatus::kBadRequest : status,
                "text/plain; charset=us-ascii", allow);
    std::printf("\nError: %s\n", message);
    return;
  }
  WriteHeader(status, request.contentType, allow);
  WriteLine("");
  WriteDocumentStart();
  WriteText("<INFO name=\"Error\" value=\"");
  WriteXmlText(message);
  WriteText(
      "\"/>\n<RESOURCE type=\"results\">\n"
      "<INFO name=\"QUERY_STATUS\" value=\"ERROR\">");
  WriteXmlText(message);
  WriteText("</INFO>\n</RESOURCE>\n</VOTABLE>\n");
}

// The error of a request whose format is not known: a VOTable.
void WriteVoTableError(HttpStatus status, const char* message,
                       const char* allow = nullptr) {
  ConeRequest request{};
  request.format = ConeFormat::kVoTable;
  request.contentType = kVoTableType;
  WriteErrorDocument(status, request, message, allow);
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

// The row of the "i"th match.
StarRow MatchRow(const ConeMatch* matches, const ListedStar* stars, int i) {
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  const ConeMatch& match = matches[i];
  return {&stars[i], 0,
          true,      match.ra,
          match.dec, match.separation,
          kNone,     false,
          kNone,     match.hasDistance,
          match.distance, false};
}

void WriteTable(const ConeAnswer& answer, const ConeMatch* matches) {
  const ConeRequest& request = *answer.request;
  const ListedStar* stars = answer.stars;
  StarColumn columns[kMostConeColumns];
  size_t count = ConeColumns(request.verbosity, columns);
  WriteHeader(HttpStatus::kOk, request.contentType);
  if (request.format == ConeFormat::kCsv) {
    // CSV has no place for the status: the header says it.
    std::printf("Veloran-Query-Status: %s\n\n",
                answer.overflow ? "OVERFLOW" : "OK");
    WriteCsvHeader(columns, count);
    for (int i = 0; i < answer.listed; ++i) {
      WriteCsvRow(columns, count, MatchRow(matches, stars, i));
    }
    return;
  }
  WriteLine("");
  WriteDocumentStart();
  WriteResourceStart(answer);
  WriteVoTableFields(columns, count, UcdSet::kConeSearch103, "system");
  WriteText("<DATA><TABLEDATA>\n");
  for (int i = 0; i < answer.listed; ++i) {
    WriteVoTableRow(columns, count, UcdSet::kConeSearch103,
                    MatchRow(matches, stars, i));
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
      WriteErrorDocument(HttpStatus::kInternalError, request,
                         "The star database could not be read");
      return kExitFailed;
    case Connection::kRefused:
      ReportRefusedConnection(kProgram, handles);
      WriteErrorDocument(HttpStatus::kServiceUnavailable, request,
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
    WriteErrorDocument(HttpStatus::kInternalError, request,
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
    int64_t records = 0;
    if (ReadWholeNumber(maxRecords, 1, kMostConeRecords, &records)) {
      limits.maxRecords = static_cast<int>(records);
    } else {
      std::fprintf(stderr,
                   "%s: VELORAN_CONE_MAX_RECORDS is no number of rows from 1 "
                   "to %d; %d is used\n",
                   kProgram, kMostConeRecords, limits.maxRecords);
    }
  }
  return limits;
}

ConeLimits ReadConeLimitsFromEnvironment() {
  return ReadConeLimits(std::getenv("VELORAN_CONE_MAX_SR"),
                        std::getenv("VELORAN_CONE_MAX_RECORDS"));
}

bool ReadConeRequest(const ConeLimits& limits, ConeRequest* request,
                     char (&message)[kConeMessageSize]) {
  message[0] = '\0';
  ConeRequest read{0.0,          0.0,          0.0, 2, limits.maxRecords,
                   ConeFormat::kVoTable, kVoTableType};
  // The format first, so that every later error is written in it.
  const char* format = FindParameter("RESPONSEFORMAT");
  if (format != nullptr && format[0] != '\0') {
    const ResponseFormat* chosen = nullptr;
    for (const ResponseFormat& entry : kResponseFormats) {
      if (std::strcmp(format, entry.value) == 0) chosen = &entry;
    }
    if (chosen == nullptr) {
      *request = read;
      std::snprintf(message, sizeof(message),
                    "RESPONSEFORMAT %s is not offered: votable (text/xml, "
                    "application/x-votable+xml) or csv (text/csv)",
                    ShownValue(format).text);
      return false;
    }
    read.format = chosen->format;
    read.contentType = chosen->contentType;
  }
  *request = read;
  if (!EachGivenOnce(message)) return false;
  if (!ReadDegrees("RA", "the right ascension of the cone's centre", &read.ra,
                   message) ||
      !ReadDegrees("DEC", "the declination of the cone's centre", &read.dec,
                   message) ||
      !ReadDegrees("SR", "the radius of the cone", &read.radius, message)) {
    return false;
  }
  const char* ra = FindParameter("RA");
  const char* dec = FindParameter("DEC");
  const char* sr = FindParameter("SR");
  // An RA beyond a turn is an error, not taken round: it is more likely a
  // mistake (hours for degrees, a sign) than a cone meant there.
  if (read.ra < 0.0 || read.ra > 360.0) {
    std::snprintf(message, sizeof(message),
                  "RA %s is out of range: a right ascension lies between 0 "
                  "and 360 degrees",
                  ShownValue(ra).text);
    return false;
  }
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
    int64_t level = 0;
    if (!ReadWholeNumber(verb, 1, 3, &level)) {
      std::snprintf(message, sizeof(message),
                    "VERB %s is not 1, 2 or 3: the fewest, the usual or all "
                    "columns",
                    ShownValue(verb).text);
      return false;
    }
    read.verbosity = static_cast<int>(level);
  }
  if (const char* maxrec = FindParameter("MAXREC")) {
    if (!IsWholeNumber(maxrec)) {
      std::snprintf(message, sizeof(message),
                    "MAXREC %s is no whole number of at least 0",
                    ShownValue(maxrec).text);
      return false;
    }
    // More than the service gives is its most, however many digits.
    int64_t records = 0;
    read.maxRecords =
        ReadWholeNumber(maxrec, 0, limits.maxRecords, &records)
            ? static_cast<int>(records)
            : limits.maxRecords;
  }
  *request = read;
  return true;
}

size_t ConeColumns(int verbosity, StarColumn (&columns)[kMostConeColumns]) {
  size_t count = 0;
  for (const LevelledColumn& entry : kConeColumns) {
    if (entry.verbosity <= verbosity) columns[count++] = entry.column;
  }
  return count;
}

namespace {

// The parameters of the request: the query string's, and a form's sent
// with POST.  False when the body could not be read, with the reply
// written.
bool DecodeParameters(const char* queryString, RequestMethod method) {
  DecodeQueryStringAsSent(queryString != nullptr ? queryString : "");
  if (method != RequestMethod::kPost) return true;
  static char body[kMaxFormBodyLength + 1];
  switch (ReadFormBody(body)) {
    case FormBody::kRead:
      DecodeQueryStringAsSent(body);
      return true;
    case FormBody::kNotAForm:
      WriteVoTableError(HttpStatus::kUnsupportedMediaType,
                        "A request sent with POST is a form "
                        "(application/x-www-form-urlencoded)");
      return false;
    case FormBody::kTooLong:
      WriteVoTableError(HttpStatus::kPayloadTooLarge,
                        "The form sent with POST is too long");
      return false;
    case FormBody::kCut:
      WriteVoTableError(HttpStatus::kBadRequest,
                        "The form sent with POST did not arrive whole");
      return false;
  }
  return false;
}

int AnswerSearch(const char* queryString, RequestMethod method) {
  ConeLimits limits = ReadConeLimitsFromEnvironment();
  if (!DecodeParameters(queryString, method)) return kExitFailed;
  ConeRequest request;
  char message[kConeMessageSize];
  if (!ReadConeRequest(limits, &request, message)) {
    WriteErrorDocument(HttpStatus::kOk, request, message);
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

void WriteMethodNotAllowed(const char* allowed) {
  WriteVoTableError(HttpStatus::kMethodNotAllowed,
                    "This address answers GET (and POST for a search)",
                    allowed);
}

}  // namespace

int AnswerConeRequest(const char* queryString) {
  RequestMethod method = ReadRequestMethod();
  const char* path = RequestVariable("PATH_INFO");
  ConeResource resource = ReadConeResource(path);
  if (method == RequestMethod::kOptions && resource != ConeResource::kNone) {
    WritePreflightReply(resource == ConeResource::kSearch ? "GET, POST, OPTIONS"
                                                          : "GET, OPTIONS");
    return kExitAnswered;
  }
  switch (resource) {
    case ConeResource::kSearch:
      if (method == RequestMethod::kGet || method == RequestMethod::kPost) {
        return AnswerSearch(queryString, method);
      }
      WriteMethodNotAllowed("GET, POST, OPTIONS");
      return kExitFailed;
    case ConeResource::kCapabilities:
    case ConeResource::kAvailability:
      if (method != RequestMethod::kGet) {
        WriteMethodNotAllowed("GET, OPTIONS");
        return kExitFailed;
      }
      return resource == ConeResource::kCapabilities
                 ? AnswerCapabilitiesRequest(ReadConeLimitsFromEnvironment())
                 : AnswerAvailabilityRequest();
    case ConeResource::kNone:
      WriteVoTableError(HttpStatus::kNotFound,
                        "No such resource: the service answers at its own "
                        "address, and at /capabilities and /availability "
                        "below it");
      return kExitFailed;
  }
  return kExitFailed;
}

}  // namespace veloran
