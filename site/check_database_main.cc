// veloran-check-database: reads every row that the site's pages read,
// through the data source as they read it, and says which rows they could
// not read.  See veloran-check-database(8).
//
// Usage: veloran-check-database [--dsn NAME] [--quiet]
// Exit status: 0 every row read, 1 a row could not be read, 2 usage, or no
// connection.

#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "catalogue/data_source.h"
#include "site/database_check.h"
#include "site/site_request.h"

namespace {

constexpr char kProgram[] = "veloran-check-database";
constexpr char kUsage[] =
    "usage: veloran-check-database [--dsn NAME] [--quiet]\n"
    "  reads every row that the site's pages read, through the data source\n"
    "  NAME (Veloran, the site's, by default)\n";

int Refuse(const char* why) {
  std::fprintf(stderr, "%s: %s\n%s", kProgram, why, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* dataSource = "Veloran";
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dsn") == 0 && i + 1 < argc &&
        argv[i + 1][0] != '\0') {
      dataSource = argv[++i];
    } else if (std::strncmp(argv[i], "--dsn=", 6) == 0 &&
               argv[i][6] != '\0') {
      dataSource = argv[i] + 6;
    } else if (std::strcmp(argv[i], "--quiet") == 0) {
      quiet = true;
    } else if (std::strcmp(argv[i], "--help") == 0 ||
               std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (std::strcmp(argv[i], "--dsn") == 0) {
      return Refuse("--dsn takes the name of a data source");
    } else {
      return Refuse("unknown argument");
    }
  }

  veloran::ChooseDataSource(dataSource);
  veloran::DatabaseHandles handles;
  switch (veloran::OpenDataSource(&handles, veloran::Reading::kOneSnapshot)) {
    case veloran::Connection::kOpened:
      break;
    case veloran::Connection::kNoHandle:
      veloran::ReportDatabaseFault(kProgram,
                                   "no ODBC handle could be allocated");
      return 2;
    case veloran::Connection::kRefused:
      veloran::ReportRefusedConnection(kProgram, handles);
      std::fprintf(stderr,
                   "%s: name the site's data source with --dsn, or write it "
                   "with veloran-use-database(8)\n",
                   kProgram);
      return 2;
  }

  // Progress goes to a person watching, not into a log or a mail from cron.
  FILE* progress = !quiet && isatty(STDERR_FILENO) ? stderr : nullptr;
  auto start = std::chrono::steady_clock::now();
  veloran::RowCheckCounts counts =
      veloran::CheckEveryRow(&handles, stdout, progress);
  handles.Release();
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count();
  if (counts.faults > veloran::kReportedFaults) {
    std::printf("and %" PRId64 " more\n",
                counts.faults - veloran::kReportedFaults);
  }
  if (counts.faults == 0) {
    if (!quiet) {
      std::printf("%s: every row the pages read was read: %" PRId64
                  " rows in %.1f s\n",
                  dataSource, counts.rows, seconds);
    }
  } else {
    std::printf("%s: %" PRId64 " of %" PRId64
                " rows could not be read as the pages read them, and every "
                "page that reaches one fails; correct them (or load the "
                "database again) and run %s again\n",
                dataSource, counts.faults, counts.rows, kProgram);
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return 2;
  return counts.faults == 0 ? 0 : 1;
}
