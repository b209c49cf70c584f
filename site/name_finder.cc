#include "site/name_finder.h"

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "catalogue/catalogue_names.h"
#include "catalogue/data_source.h"
#include "catalogue/display_names.h"
#include "catalogue/statements.h"
#include "cgi/output.h"
#include "cgi/query_params.h"
#include "names/name_keys.h"
#include "site/html_page.h"
#include "site/position_text.h"
#include "site/site_request.h"

namespace veloran {

namespace {

constexpr const char* kProgram = "find_star";

// Rows read of each search: enough for kMaxFoundStars stars when a star
// has several names with the key.
constexpr int kRowsPerSearch = 200;

constexpr size_t kMaxShownNameLength = 100;

constexpr int kFoundNameSize = 256;
constexpr int kClassSize = 64;

// A star found, with the name by which it was found and, on a list, the
// name under which the result pages show it (empty when it has none).
struct FoundStar {
  int32_t id;
  char name[kFoundNameSize];
  char displayName[kDisplayNameSize];
  bool hasDistance;
  double distance;
  bool hasDistanceError;
  double distanceError;
  char spectralClass[kClassSize];
  char luminosityClass[kClassSize];
};

struct Findings {
  FoundStar stars[kMaxFoundStars];
  int count;
  int exactCount;  // the first exactCount stars have the key exactly
};

constexpr const char* kExactSearch =
    "SELECT n.OwnerID, n.Name, p.Distance, s.SpectralClass, s.LuminosityClass "
    ", p.DistanceError "
    "FROM NameLookup n JOIN Positions p ON p.OwnerID = n.OwnerID "
    "LEFT JOIN Spectra s ON s.OwnerID = n.OwnerID + 1 "
    "WHERE n.Key = ? ORDER BY n.IsProperName DESC, n.OwnerID LIMIT 200";
constexpr const char* kPrefixSearch =
    "SELECT n.OwnerID, n.Name, p.Distance, s.SpectralClass, s.LuminosityClass "
    ", p.DistanceError "
    "FROM NameLookup n JOIN Positions p ON p.OwnerID = n.OwnerID "
    "LEFT JOIN Spectra s ON s.OwnerID = n.OwnerID + 1 "
    "WHERE n.Key > ? AND n.Key < ? ORDER BY n.Key, n.OwnerID LIMIT 200";

bool Known(const Findings& findings, int32_t id) {
  for (int i = 0; i < findings.count; ++i) {
    if (findings.stars[i].id == id) return true;
  }
  return false;
}

// Runs "sql" with the texts "first" and "second" (nullptr for none) bound
// to its parameters and adds the stars of its rows that are not yet among
// the findings.  Returns false when the statement failed.
bool Search(SQLHSTMT statement, const char* sql, const char* first,
            const char* second, Findings* findings) {
  CloseCursor(statement);
  UnbindColumns(statement);
  SQLFreeStmt(statement, SQL_RESET_PARAMS);
  if (!SQL_SUCCEEDED(SQLPrepare(
          statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)),
          SQL_NTS))) {
    return false;
  }
  SQLLEN lengths[2] = {SQL_NTS, SQL_NTS};
  const char* texts[2] = {first, second};
  for (int i = 0; i < 2 && texts[i] != nullptr; ++i) {
    if (!SQL_SUCCEEDED(SQLBindParameter(
            statement, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
            SQL_C_CHAR, SQL_VARCHAR, kNameKeySize - 1, 0,
            const_cast<char*>(texts[i]), 0, &lengths[i]))) {
      return false;
    }
  }
  if (!SQL_SUCCEEDED(SQLExecute(statement))) return false;
  SQLINTEGER id = 0;
  FoundStar row{};
  SQLLEN indicators[6];
  SQLBindCol(statement, 1, SQL_C_LONG, &id, 0, &indicators[0]);
  SQLBindCol(statement, 2, SQL_C_CHAR, row.name, sizeof(row.name),
             &indicators[1]);
  SQLBindCol(statement, 3, SQL_C_DOUBLE, &row.distance, 0, &indicators[2]);
  SQLBindCol(statement, 4, SQL_C_CHAR, row.spectralClass,
             sizeof(row.spectralClass), &indicators[3]);
  SQLBindCol(statement, 5, SQL_C_CHAR, row.luminosityClass,
             sizeof(row.luminosityClass), &indicators[4]);
  SQLBindCol(statement, 6, SQL_C_DOUBLE, &row.distanceError, 0, &indicators[5]);
  for (int rows = 0; rows < kRowsPerSearch && findings->count < kMaxFoundStars;
       ++rows) {
    SQLRETURN fetched = SQLFetch(statement);
    if (fetched == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(fetched)) return false;
    if (indicators[0] == SQL_NULL_DATA || Known(*findings, id)) continue;
    FoundStar& star = findings->stars[findings->count++];
    star = row;
    star.id = id;
    star.displayName[0] = '\0';
    if (indicators[1] == SQL_NULL_DATA) star.name[0] = '\0';
    star.hasDistance = indicators[2] != SQL_NULL_DATA;
    star.hasDistanceError = indicators[5] != SQL_NULL_DATA;
    if (indicators[3] == SQL_NULL_DATA) star.spectralClass[0] = '\0';
    if (indicators[4] == SQL_NULL_DATA) star.luminosityClass[0] = '\0';
  }
  CloseCursor(statement);
  UnbindColumns(statement);
  SQLFreeStmt(statement, SQL_RESET_PARAMS);
  return true;
}

// Reads the display name of every star found, so that a list tells apart
// stars found by a name they share (the components of a system, say).  A
// star whose display name cannot be read is listed by the name found.
void ReadDisplayNames(SQLHSTMT statement, Findings* findings) {
  LoadCatalogueNames(statement);
  for (int i = 0; i < findings->count; ++i) {
    FoundStar& star = findings->stars[i];
    if (!GetStarDisplayName(statement, star.id, star.displayName)) {
      star.displayName[0] = '\0';
    }
  }
  FreeCatalogueNames();
}

// The searched text as the visitor typed it, when it is short enough to
// be shown.  The query decoder doubles every single quote of a value.
void WriteSearchedText(const char* name) {
  char typed[kMaxShownNameLength + 1];
  size_t length = 0;
  for (const char* c = name; *c != '\0'; ++c) {
    if (length == kMaxShownNameLength) {
      WriteText("the name you typed");
      return;
    }
    if (c[0] == '\'' && c[1] == '\'') ++c;
    typed[length++] = *c;
  }
  typed[length] = '\0';
  WriteText("&ldquo;");
  WriteEscapedText(typed);
  WriteText("&rdquo;");
}

// The finder's own form, on its pages, so that a visitor can search again
// without going back.
void WriteFindForm() {
  WriteText(
      "<form action=\"find_star\" method=\"get\" role=\"search\">\n"
      "<p><label for=\"find-name\">Name or designation</label>\n"
      "<input id=\"find-name\" name=\"name\" type=\"text\" required "
      "maxlength=\"100\" placeholder=\"Sirius\" autocomplete=\"off\" "
      "spellcheck=\"false\">\n"
      "<button type=\"submit\">Find the star</button></p>\n"
      "</form>\n");
}

constexpr const char* kNameExamples =
    "<p>Type a proper name (Sirius), a Bayer or Flamsteed designation "
    "(alpha CMa, 61 Cyg) or a catalogue number (HD 48915, HIP 32349); the "
    "beginning of a name finds every star whose name begins so.</p>\n";

void WriteStar(const FoundStar& star) {
  std::printf("<li><a href=\"entry_page.exe?ID=%ld\">",
              static_cast<long>(star.id));
  // Names are HTML fragments, as the database holds them.
  if (star.displayName[0] == '\0') {
    WriteFragment(star.name);
    WriteText("</a>");
  } else {
    WriteFragment(star.displayName);
    WriteText("</a>");
    if (std::strcmp(star.displayName, star.name) != 0) {
      WriteText(" (");
      WriteFragment(star.name);
      WriteText(")");
    }
  }
  if (star.hasDistance) {
    char distance[kMeasurementTextSize];
    FormatMeasurement(star.distance, star.hasDistanceError, star.distanceError,
                      distance, sizeof(distance));
    std::printf(", %s light-years", distance);
  }
  if (star.spectralClass[0] != '\0' || star.luminosityClass[0] != '\0') {
    WriteText(", class ");
    WriteEscapedText(star.spectralClass);
    if (star.spectralClass[0] != '\0' && star.luminosityClass[0] != '\0') {
      WriteText(" ");
    }
    WriteEscapedText(star.luminosityClass);
  }
  std::printf(
      " &middot; <a href=\"neighbor_search?ID=%ld&amp;ly=20\">stars within 20 "
      "light-years</a></li>\n",
      static_cast<long>(star.id));
}

void WriteListPage(const char* name, const Findings& findings) {
  WriteHtmlHeader(HttpStatus::kOk);
  WritePageStart("Stars found");
  WriteText("<h1>Stars found</h1>\n<p>");
  std::printf("%d %s for ", findings.count,
              findings.count == 1 ? "star" : "stars");
  WriteSearchedText(name);
  if (findings.count == kMaxFoundStars) {
    std::printf(" (the first %d; type more of the name to narrow the list)",
                kMaxFoundStars);
  }
  WriteText(".</p>\n");
  if (findings.exactCount > 0) {
    WriteText("<h2>Named exactly so</h2>\n<ul>\n");
    for (int i = 0; i < findings.exactCount; ++i) WriteStar(findings.stars[i]);
    WriteText("</ul>\n");
  }
  if (findings.count > findings.exactCount) {
    WriteText("<h2>Names that begin so</h2>\n<ul>\n");
    for (int i = findings.exactCount; i < findings.count; ++i) {
      WriteStar(findings.stars[i]);
    }
    WriteText("</ul>\n");
  }
  WriteText("<h2>Find another star</h2>\n");
  WriteFindForm();
  WritePageEnd();
}

void WriteNotFoundPage(const char* name) {
  WriteHtmlHeader(HttpStatus::kNotFound);
  WritePageStart("No star found");
  WriteText(
      "<h1>No star found</h1>\n<p>No star's name or designation is or "
      "begins with ");
  WriteSearchedText(name);
  WriteText(".</p>\n");
  WriteText(kNameExamples);
  WriteFindForm();
  WritePageEnd();
}

// The finder opened without a name, as from the links to it.
void WriteFindPage() {
  WriteHtmlHeader(HttpStatus::kOk);
  WritePageStart("Find a star");
  WriteText("<h1>Find a star</h1>\n");
  WriteText(kNameExamples);
  WriteFindForm();
  WritePageEnd();
}

void WriteBadRequestPage(NameKeyFault fault) {
  const char* heading = fault == NameKeyFault::kTooLong
                            ? "The name is too long"
                            : "No name to search for";
  WriteHtmlHeader(HttpStatus::kBadRequest);
  WritePageStart(heading);
  WriteText("<h1>");
  WriteText(heading);
  WriteText("</h1>\n");
  WriteText(fault == NameKeyFault::kTooLong
                ? "<p>A star's name is at most a few words long.</p>\n"
                : "<p>The name has no letter or digit to search by.</p>\n");
  WriteText(kNameExamples);
  WriteFindForm();
  WritePageEnd();
}

}  // namespace

int AnswerFindRequest(const char* queryString) {
  DecodeQueryString(queryString != nullptr ? queryString : "");
  const char* name = FindQueryParam("name");
  if (name == nullptr) {
    WriteFindPage();
    return kExitAnswered;
  }
  char key[kNameKeySize];
  char end[kNameKeySize];
  NameKeyFault fault = NameKeyFault::kNothingToSearchBy;
  if (!NameKey(name, std::strlen(name), key, sizeof(key), &fault) ||
      !NameKeyPrefixEnd(key, end, sizeof(end))) {
    WriteBadRequestPage(fault);
    return kExitFailed;
  }

  DatabaseHandles handles;
  if (!OpenSiteDataSource(kProgram, &handles)) return kExitFailed;

  static Findings findings;
  findings.count = 0;
  bool read = Search(handles.statement, kExactSearch, key, nullptr, &findings);
  findings.exactCount = findings.count;
  read = read && Search(handles.statement, kPrefixSearch, key, end, &findings);
  bool redirect = findings.exactCount == 1 ||
                  (findings.exactCount == 0 && findings.count == 1);
  if (read && !redirect) ReadDisplayNames(handles.statement, &findings);
  handles.Release();
  if (!read) {
    ReportDatabaseFault(
        kProgram,
        "the NameLookup table could not be read (for a database without one, "
        "see \"Names for the finder\" in the README, or NAMES in "
        "veloran-site(7))");
    WriteDatabaseFaultPage();
    return kExitFailed;
  }
  if (redirect) {
    const int only = 0;
    char location[64];
    std::snprintf(location, sizeof(location), "entry_page.exe?ID=%ld",
                  static_cast<long>(findings.stars[only].id));
    WriteHtmlHeader(HttpStatus::kFound, location);
    WritePageStart("Star found");
    std::printf("<h1>Star found</h1>\n<p><a href=\"%s\">", location);
    WriteFragment(findings.stars[only].name);
    WriteText("</a></p>\n");
    WritePageEnd();
    return kExitAnswered;
  }
  if (findings.count == 0) {
    WriteNotFoundPage(name);
  } else {
    WriteListPage(name, findings);
  }
  return kExitAnswered;
}

}  // namespace veloran
