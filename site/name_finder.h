#ifndef VELORAN_SITE_NAME_FINDER_H_
#define VELORAN_SITE_NAME_FINDER_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "names/name_keys.h"

// The name finder, find_star?name=TEXT: the stars whose proper name or
// catalogue designation has the search key of TEXT (names/name_keys.h),
// or starts with it.

namespace veloran {

// The most stars a list shows.
inline constexpr int kMaxFoundStars = 50;

// Answers the request given by "queryString" (nullptr when QUERY_STRING is
// absent, which is read as empty) and returns the exit status.  One star
// whose name has the key exactly, or else one star whose name starts with
// it, is answered with a 302 redirect to its entry page (a Location
// relative to the finder: "entry_page.exe?ID=N"); several with a list of
// at most kMaxFoundStars, exact matches first, each star by its display
// name and the name found; none with a page that says so (404).  Without a name
// parameter it answers with a page with its form.  These exit with 0.  An empty
// name, one without a letter or digit or one too long (400), an unreachable
// data source (503) or a database that cannot be read (500) exit with -1.  The
// searched text is written into a page only escaped, and only when it is short.
//
// With star=TEXT (the form "around a star"), the finder passes the window's
// parameters on: one star, or digits alone (an ID), is answered with a
// redirect to the site's page of the search around it,
// "neighbours?ID=N&ly=...", and each star of a list links to that page.
int AnswerFindRequest(const char* queryString);

// Whether the finder can look "name" up: it has a letter or digit, and its
// key is not too long; *fault says why not.
bool IsSearchableName(const char* name, NameKeyFault* fault);

// What looking a searchable name up found.
enum class NameMatch {
  kOne,      // the star the finder would go to at once
  kSeveral,  // the finder would list them
  kNone,
};

// Looks "name" up as the finder does, into *match, with the star's ID in
// *id for kOne.  Returns false when the NameLookup table could not be read
// (kept as the read fault).
bool LookUpStarName(SQLHSTMT statement, const char* name, NameMatch* match,
                    int32_t* id);

// Writes the query value "value" as the visitor typed it, for an element or an attribute
// value: escaped, and UTF-8 from the address bar as windows-1252 or
// character references.  Returns false, writing nothing, for a value of
// more than 100 bytes, which a page does not show.
bool WriteTypedValue(const char* value);

}  // namespace veloran

#endif  // VELORAN_SITE_NAME_FINDER_H_
