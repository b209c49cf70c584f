#ifndef VELORAN_SITE_NAME_FINDER_H_
#define VELORAN_SITE_NAME_FINDER_H_

// The name finder's page, find_star?name=TEXT: the stars whose proper name
// or catalogue designation has the search key of TEXT, as star_lookup.h
// looks them up.

namespace veloran {

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

}  // namespace veloran

#endif  // VELORAN_SITE_NAME_FINDER_H_
