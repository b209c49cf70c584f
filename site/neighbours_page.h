#ifndef VELORAN_SITE_NEIGHBOURS_PAGE_H_
#define VELORAN_SITE_NEIGHBOURS_PAGE_H_

// The site's page of a neighbour search, neighbours?ID=N&ly=20: the classic
// page's search, parameters and checks, shown a page of the whole ranking
// at a time, with a map and downloads of the list.

namespace veloran {

// Answers the request given by "queryString" (nullptr when QUERY_STRING is
// absent, which is read as empty) and returns the exit status.  Exit with
// 0: the page (200), a download of its list (format=csv, json or votable;
// the download writes its own header), a star named by several stars or
// none ("star=NAME": 302 to the finder's list, with the window's
// parameters), and a centre star without a usable position or a page past
// the last (404).  Exit with -1: a rejected parameter (400: its message and
// the search's form, filled in as sent), an unreachable data source (503)
// or a database that cannot be read (500), each with one line on standard
// error.  Whatever of the request a page shows is escaped.
int AnswerNeighboursRequest(const char* queryString);

}  // namespace veloran

#endif  // VELORAN_SITE_NEIGHBOURS_PAGE_H_
