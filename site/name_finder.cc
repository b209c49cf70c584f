#include "site/name_finder.h"

#include <sql.h>
#include <sqlext.h>

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "catalogue/batched_lookups.h"
#include "catalogue/catalogue_names.h"
#include "catalogue/data_source.h"
#include "catalogue/display_names.h"
#include "catalogue/fetched_text.h"
#include "catalogue/read_fault.h"
#include "catalogue/statements.h"
#include "cgi/output.h"
#include "cgi/query_params.h"
#include "cgi/search_window.h"
#include "names/constellations.h"
#include "names/designation_catalogues.h"
#include "names/name_keys.h"
#include "site/html_page.h"
#include "site/position_text.h"
#include "site/site_request.h"
#include "site/star_lookup.h"
#include "text/text_encoding.h"


namespace veloran {

namespace {

constexpr const char* kProgram = "find_star";

// The searched text as the visitor typed it, when it is short enough to
// be shown.
void WriteSearchedText(const char* name) {
  if (std::strlen(name) > kMaxTypedValueLength) {
    WriteText("the name you typed");
    return;
  }
  WriteText("&ldquo;");
  WriteTypedValue(name);
  WriteText("&rdquo;");
}

// The fields of the neighbour search that the form "around a star" sends
// with the star are the window's parameters (kWindowParameters); the finder
// passes on these and no others.
// A field's value is a number: far shorter than this.
constexpr size_t kMaxSearchFieldLength = 32;
constexpr size_t kSearchFieldsSize =
    kWindowParameterCount * (12 + 3 * kMaxSearchFieldLength) + 1;

// In a search around a star: the search fields as they are passed on
// ("&minLY=5&ly=20"), or nullptr when the finder is asked for a name alone.
const char* searchFields = nullptr;

// The window's parameters of a search around a star as the request sent
// them, each as a hidden field of the form, so that the search made again
// keeps its distances and window; nothing when the finder was asked for a
// name alone.
void WriteSearchFieldsAsInputs() {
  for (const char* field : kWindowParameters) {
    const char* value = FindQueryParam(field);
    if (value == nullptr) continue;
    std::printf("<input type=\"hidden\" name=\"%s\" value=\"", field);
    char sent[kMaxSearchFieldLength + 1];
    size_t length = 0;
    for (const char* c = value; *c != '\0' && length < kMaxSearchFieldLength;
         ++c) {
      sent[length++] = *c;
    }
    sent[length] = '\0';
    WriteEscapedText(sent);
    WriteText("\">\n");
  }
}

// The finder's own form, on its pages, so that a visitor can search again
// without going back; with the searched text in its field when "name" is
// not nullptr and the text is short enough to be shown.  In a search
// around a star, the form searches again around the star typed, with the
// search's distances and window.
void WriteFindForm(const char* name = nullptr) {
  bool search = searchFields != nullptr;
  WriteText("<form action=\"find_star\" method=\"get\" role=\"search\">\n");
  if (search) WriteSearchFieldsAsInputs();
  std::printf(
      "<p><label for=\"find-name\">Name or designation</label>\n"
      "<input id=\"find-name\" name=\"%s\" type=\"text\" required "
      "maxlength=\"100\" placeholder=\"Sirius\" autocomplete=\"off\" "
      "spellcheck=\"false\"",
      search ? "star" : "name");
  if (name != nullptr && std::strlen(name) <= kMaxTypedValueLength) {
    WriteText(" value=\"");
    WriteTypedValue(name);
    WriteText("\"");
  }
  WriteText(
      ">\n"
      "<button type=\"submit\">Find the star</button></p>\n"
      "</form>\n");
}

constexpr const char* kNameExamples =
    "<p>Type a proper name (Sirius), a Bayer or Flamsteed designation "
    "(alpha CMa, 61 Cyg) or a catalogue number (HD 48915, HIP 32349); the "
    "beginning of a name finds every star whose name begins so.</p>\n";

// Writes into "out" the window's parameters that the request has,
// "&name=value" each, the value percent-encoded but for letters, digits and
// "-._~", so that whatever it is it stays one value; an empty value stays
// empty ("minLY="), as the search reads it.  Returns false when a value is
// longer than kMaxSearchFieldLength.
bool ReadSearchFields(char (&out)[kSearchFieldsSize]) {
  size_t length = 0;
  out[0] = '\0';
  for (const char* field : kWindowParameters) {
    const char* value = FindQueryParam(field);
    if (value == nullptr) continue;
    length += std::snprintf(out + length, sizeof(out) - length, "&%s=", field);
    size_t characters = 0;
    for (const char* c = value; *c != '\0'; ++c, ++characters) {
      if (characters == kMaxSearchFieldLength) return false;
      unsigned char byte = static_cast<unsigned char>(*c);
      bool plain =
          (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
          (byte >= '0' && byte <= '9') || std::strchr("-._~", byte) != nullptr;
      length += std::snprintf(out + length, sizeof(out) - length,
                              plain ? "%c" : "%%%02X", byte);
    }
    assert(length < sizeof(out));
  }
  return true;
}

// The address of the site's page of the search around star "id" with the
// request's search fields, relative to the finder.
void SearchAddress(int32_t id, char (&address)[kSearchFieldsSize + 32]) {
  std::snprintf(address, sizeof(address), "neighbours?ID=%ld%s",
                static_cast<long>(id),
                searchFields != nullptr ? searchFields : "");
}

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
  if (searchFields == nullptr) {
    std::printf(
        " &middot; <a href=\"neighbours?ID=%ld&amp;ly=20\">stars within "
        "20 light-years</a></li>\n",
        static_cast<long>(star.id));
    return;
  }
  char address[kSearchFieldsSize + 32];
  SearchAddress(star.id, address);
  WriteText(" &middot; <a href=\"");
  WriteEscapedText(address);
  WriteText("\">the stars around it</a></li>\n");
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

// None found: why, for a star that the database lacks, the closest names
// in "suggestions", if any, and the form with the typed text, to mend it.
void WriteNotFoundPage(const char* name, const AbsentStar& absent,
                       const Findings& suggestions) {
  WriteHtmlHeader(HttpStatus::kNotFound);
  WritePageStart("No star found");
  WriteText(
      "<h1>No star found</h1>\n<p>No star's name or designation is or "
      "begins with ");
  WriteSearchedText(name);
  WriteText(".</p>\n");
  if (absent.found) {
    WriteText("<p><strong>");
    WriteFragment(absent.name);
    WriteText("</strong> is not in this star database: ");
    WriteFragment(absent.reason);
    WriteText("</p>\n");
  }
  if (suggestions.count > 0) {
    WriteText("<h2>Did you mean</h2>\n<ul>\n");
    for (int i = 0; i < suggestions.count; ++i) {
      WriteStar(suggestions.stars[i]);
    }
    WriteText("</ul>\n");
  }
  WriteText(kNameExamples);
  WriteFindForm(name);
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

// Whether "text" is a star ID as the search takes it: digits alone.
bool IsStarId(const char* text) {
  size_t length = std::strspn(text, "0123456789");
  return length > 0 && length <= 10 && text[length] == '\0';
}

// Answers with a redirect to "location" (relative to the finder), with a
// short page that links there for a client that does not follow it.
void WriteRedirect(const char* location, const char* name) {
  WriteHtmlHeader(HttpStatus::kFound, location);
  WritePageStart("Star found");
  WriteText("<h1>Star found</h1>\n<p><a href=\"");
  WriteEscapedText(location);
  WriteText("\">");
  WriteFragment(name);
  WriteText("</a></p>\n");
  WritePageEnd();
}

}  // namespace

int AnswerFindRequest(const char* queryString) {
  DecodeQueryStringAsSent(queryString != nullptr ? queryString : "");
  // A resident worker answers many requests: nothing of the last one stays.
  searchFields = nullptr;
  // The form "around a star" sends the star, by ID or by name, with the
  // fields of the search; the finder's own form sends a name.
  const char* star = FindQueryParam("star");
  const char* name = star != nullptr ? star : FindQueryParam("name");
  if (name == nullptr) {
    WriteFindPage();
    return kExitAnswered;
  }
  static char fields[kSearchFieldsSize];
  if (star != nullptr) {
    if (!ReadSearchFields(fields)) {
      WriteMessagePage(HttpStatus::kBadRequest, "A search field is too long",
                       "<p>A distance, hour, degree, minute or second is a "
                       "number of a few digits.</p>\n");
      return kExitFailed;
    }
    searchFields = fields;
    if (IsStarId(star)) {
      char address[kSearchFieldsSize + 32];
      std::snprintf(address, sizeof(address), "neighbours?ID=%s%s", star,
                    fields);
      WriteRedirect(address, star);
      return kExitAnswered;
    }
  }
  char key[kNameKeySize];
  NameKeyFault fault = NameKeyFault::kNothingToSearchBy;
  if (!SearchKey(name, key, &fault)) {
    WriteBadRequestPage(fault);
    return kExitFailed;
  }

  DatabaseHandles handles;
  if (!OpenSiteDataSource(kProgram, &handles)) return kExitFailed;

  static Findings findings;
  static Findings suggestions;
  static Readings readings;
  static AbsentStar absent;
  suggestions.count = 0;
  absent.found = false;
  ReadName(name, key, &readings);
  bool found = FindByName(handles.statement, readings, &findings);
  if (found && findings.count == 0) {
    found = FindAbsentStar(handles.statement, readings, &absent) &&
            Suggest(handles.statement, readings.keys[readings.plain],
                    &suggestions);
  }
  bool redirect = IsOneStar(findings);
  bool named =
      !found || redirect || ReadDisplayNames(handles.statement, &findings);
  if (found && named && suggestions.count > 0) {
    named = ReadDisplayNames(handles.statement, &suggestions);
  }
  handles.Release();
  if (!found || !named) {
    ReportReadFault(
        kProgram,
        !found ? "the NameLookup table could not be read (for a database "
                 "without one, see \"Names for the finder\" in the README, or "
                 "NAMES in veloran-site(7))"
               : "the star database could not be read");
    WriteDatabaseFaultPage();
    return kExitFailed;
  }
  if (redirect) {
    const FoundStar& only = findings.stars[0];
    char location[kSearchFieldsSize + 32];
    if (searchFields != nullptr) {
      SearchAddress(only.id, location);
    } else {
      std::snprintf(location, sizeof(location), "entry_page.exe?ID=%ld",
                    static_cast<long>(only.id));
    }
    WriteRedirect(location, only.name);
    return kExitAnswered;
  }
  if (findings.count == 0) {
    WriteNotFoundPage(name, absent, suggestions);
  } else {
    WriteListPage(name, findings);
  }
  return kExitAnswered;
}

}  // namespace veloran
