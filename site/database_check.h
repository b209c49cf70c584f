#ifndef VELORAN_SITE_DATABASE_CHECK_H_
#define VELORAN_SITE_DATABASE_CHECK_H_

// The check of every row that the pages read, for an operator after a
// database is loaded or replaced: the health check reads one row of each
// table, so that a value the pages cannot convert in any other row passes
// it, and fails every page that reaches the row.  This reads each row as
// the pages read it (page_reads.h), and goes on to the end.

#include <cstdint>
#include <cstdio>

#include "catalogue/data_source.h"

namespace veloran {

// The faults written one a line; the rest are counted.
constexpr int64_t kReportedFaults = 20;

struct RowCheckCounts {
  int64_t rows = 0;    // rows read, or tried
  int64_t faults = 0;  // rows that could not be read, and tables missing
};

// Reads every row of every table of PageReads() through "handles", which
// OpenDataSource opened, writing on "report" one line for each of the first
// kReportedFaults faults: the table, the row's key, the column where the
// driver said which, and the driver's SQLSTATE and message.  On "progress",
// when it is not nullptr, a line for each table and, in a long table, one
// every few seconds.  Returns the counts.
RowCheckCounts CheckEveryRow(DatabaseHandles* handles, FILE* report,
                             FILE* progress);

}  // namespace veloran

#endif  // VELORAN_SITE_DATABASE_CHECK_H_
