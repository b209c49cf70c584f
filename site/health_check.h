#ifndef VELORAN_SITE_HEALTH_CHECK_H_
#define VELORAN_SITE_HEALTH_CHECK_H_

// The health check that a load balancer asks before it sends a node
// visitors: whether the pages can be served from here.  The search answers
// a database it cannot reach with a page of status 200, as it must, so a
// balancer cannot tell a failing node from its replies; this program can.
//
// It connects to the data source Veloran as the pages do and reads the
// first row of each table the pages read, as they read it (page_reads.h):
// the columns bound as the pages bind them (a value of that row that does
// not convert to the type a page binds is a failure) and the statements
// of the dialect the pages rely on (INT(OwnerID/100), IsSystemName = Yes).
// Every statement reads one row through an index or from the start of a
// table, so that a check costs the same on any catalogue; only
// CatalogNames, a handful of rows, is loaded whole, as the pages load it.
// The other rows are read by veloran-check-database (database_check.h).
//
// It also tells the state of the position index (search/stored_index.h),
// without which the pages are right but read all of Positions: in the
// header "Veloran-Position-Index" (in-use, missing, stale, ...) and, when
// the index is not in use, in a second line of the body that says why and
// what to do.  A node is no less healthy for it.

#include "search/stored_index.h"

namespace veloran {

// What the check found: whether the pages can be served, why not (a short
// sentence without a path or a driver's words, for a reply), and the state
// of the position index.
struct DatabaseHealth {
  bool healthy;
  char reason[96];
  StoredIndexState index;
};

// Checks the data source as above.  A failure is also told in one line on
// standard error, headed by "program", with the driver's diagnostic.
DatabaseHealth CheckSiteDatabase(const char* program);

// Answers 200 with the body "ok" (and the index's line), or 503 with a
// short body and one line on standard error that says why (the table, and the SQLSTATE and message of
// the driver's diagnostic).  Neither reply names a path or a driver; both
// forbid caching.  The query string is ignored.  Returns kExitAnswered or
// kExitFailed (site_request.h).
int AnswerHealthRequest(const char* queryString);

}  // namespace veloran

#endif  // VELORAN_SITE_HEALTH_CHECK_H_
