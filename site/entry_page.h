#ifndef VELORAN_SITE_ENTRY_PAGE_H_
#define VELORAN_SITE_ENTRY_PAGE_H_

#include "site/star_entry.h"

// The star entry page, entry_page.exe?ID=N.

namespace veloran {

// Answers the request given by "queryString" (nullptr when QUERY_STRING is
// absent, which is read as empty) and returns the exit status: 0 for the
// entry page (200) and the page of an unknown star (404), -1 for a missing
// or malformed ID (400), an unreachable data source (503) or a database
// that cannot be read (500).  Every reply is a whole page.
int AnswerEntryRequest(const char* queryString);

// Writes the 200 reply: the entry page of "entry".
void WriteEntryPage(const StarEntry& entry);

}  // namespace veloran

#endif  // VELORAN_SITE_ENTRY_PAGE_H_
