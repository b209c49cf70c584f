// veloran-index-database: adds the position index to a Veloran star
// database in a SQLite file, or builds it anew, so that the site's pages
// read only the rows near what they ask; or says whether a file's index is
// current; or writes the index's rows for the loader of the database
// servers.  See veloran-index-database(8).
//
// Usage: veloran-index-database [--quiet] FILE
//        veloran-index-database --check FILE
//        veloran-index-database --drop FILE
//        veloran-index-database --rows FILE
// Exit status: 0 done (--check: the index is current), 1 failed, 2 usage,
// 3 (--check) no current index.

#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "catalogue/position_index.h"
#include "index/position_index_builder.h"

namespace {

constexpr char kProgram[] = "veloran-index-database";
constexpr char kUsage[] =
    "usage: veloran-index-database [--quiet] FILE   add or rebuild the index\n"
    "       veloran-index-database --check FILE     say whether it is current\n"
    "       veloran-index-database --drop FILE      drop it\n"
    "       veloran-index-database --rows FILE      write its rows as text\n";

// A writer holding the file is waited for this long.
constexpr int kLockWaitMilliseconds = 30000;

enum class Mode { kBuild, kCheck, kDrop, kRows };

int Failed(const std::string& path, const std::string& why) {
  std::fprintf(stderr, "%s: %s: %s\n", kProgram, path.c_str(), why.c_str());
  return 1;
}

// Opens "path", which must exist: read-only for reading alone.
bool Open(const std::string& path, bool write, sqlite3** db,
          std::string* error) {
  int flags = write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
  if (sqlite3_open_v2(path.c_str(), db, flags, nullptr) != SQLITE_OK) {
    *error = *db != nullptr ? sqlite3_errmsg(*db) : "cannot be opened";
    return false;
  }
  sqlite3_busy_timeout(*db, kLockWaitMilliseconds);
  // A file that is no database says so here, rather than at the first
  // statement.
  if (sqlite3_exec(*db, "SELECT COUNT(*) FROM sqlite_master", nullptr,
                   nullptr, nullptr) != SQLITE_OK) {
    *error = sqlite3_errmsg(*db);
    return false;
  }
  return true;
}

bool InTransaction(sqlite3* db, bool (*work)(sqlite3*, FILE*, std::string*),
                   FILE* progress, std::string* error) {
  if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) !=
      SQLITE_OK) {
    *error = std::string("cannot begin writing: ") + sqlite3_errmsg(db);
    return false;
  }
  if (!work(db, progress, error)) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  }
  if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    *error = std::string("cannot commit: ") + sqlite3_errmsg(db);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  }
  return true;
}

veloran::IndexBuildCounts buildCounts;

bool Build(sqlite3* db, FILE* progress, std::string* error) {
  return veloran::BuildPositionIndex(db, progress, &buildCounts, error);
}

bool Drop(sqlite3* db, FILE*, std::string* error) {
  return veloran::DropPositionIndex(db, error);
}

const char* Describe(veloran::IndexFileState state) {
  switch (state) {
    case veloran::IndexFileState::kCurrent:
      return "the position index is current";
    case veloran::IndexFileState::kMissing:
      return "no position index: the pages read all of Positions; "
             "veloran-index-database FILE adds one";
    case veloran::IndexFileState::kStale:
      return "the position index is stale (Positions changed after it was "
             "built): the pages read all of Positions; "
             "veloran-index-database FILE rebuilds it";
    case veloran::IndexFileState::kUnguarded:
      return "a trigger of the position index is missing (was Positions "
             "made anew?): the pages read all of Positions; "
             "veloran-index-database FILE rebuilds it";
    case veloran::IndexFileState::kForeign:
      return "the position index was built by another version or on "
             "another kind of machine: the pages read all of Positions; "
             "veloran-index-database FILE rebuilds it";
  }
  return "";
}

// The rows as text, one a line, tab-separated, numbers exact (doubles in
// C's hexadecimal form), \N for NULL: RowOrder, OwnerID, Cell, Pixel, X, Y,
// Z, RAHours, DecDegrees, Distance.  The last line: "info", the layout,
// the number of rows, the conversion check.
void WriteReal(bool present, double value) {
  if (present) {
    std::printf("\t%a", value);
  } else {
    std::fputs("\t\\N", stdout);
  }
}

void WriteRow(void*, const veloran::IndexRow& row) {
  std::printf("%" PRId64 "\t%" PRId32 "\t%" PRId64 "\t%" PRId64, row.order,
              row.starId, row.cell, row.pixel);
  WriteReal(row.hasPoint, row.point.x);
  WriteReal(row.hasPoint, row.point.y);
  WriteReal(row.hasPoint, row.point.z);
  WriteReal(row.hasRA, row.raHours);
  WriteReal(row.hasDec, row.decDegrees);
  WriteReal(row.hasDistance, row.distance);
  std::putchar('\n');
}

}  // namespace

int main(int argc, char** argv) {
  Mode mode = Mode::kBuild;
  bool quiet = false;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--check") {
      mode = Mode::kCheck;
    } else if (arg == "--drop") {
      mode = Mode::kDrop;
    } else if (arg == "--rows") {
      mode = Mode::kRows;
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (path.empty() && !arg.empty() && arg[0] != '-') {
      path = arg;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (path.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (access(path.c_str(), F_OK) != 0) {
    return Failed(path, std::strerror(errno));
  }

  sqlite3* db = nullptr;
  std::string error;
  bool write = mode == Mode::kBuild || mode == Mode::kDrop;
  if (!Open(path, write, &db, &error)) {
    sqlite3_close(db);
    return Failed(path, error);
  }
  int status = 0;
  FILE* progress = quiet ? nullptr : stderr;
  switch (mode) {
    case Mode::kBuild: {
      auto start = std::chrono::steady_clock::now();
      if (!InTransaction(db, Build, progress, &error)) {
        status = Failed(path, error + "; the file is as it was");
        break;
      }
      double seconds = std::chrono::duration<double>(
                           std::chrono::steady_clock::now() - start)
                           .count();
      if (!quiet) {
        std::printf("%s: indexed %lld stars of %lld rows of Positions in %.1f s\n",
                    path.c_str(), static_cast<long long>(buildCounts.stars),
                    static_cast<long long>(buildCounts.positionRows), seconds);
      }
      break;
    }
    case Mode::kDrop:
      if (!InTransaction(db, Drop, progress, &error)) {
        status = Failed(path, error);
      } else if (!quiet) {
        std::printf("%s: the position index is dropped\n", path.c_str());
      }
      break;
    case Mode::kCheck: {
      veloran::IndexFileState state;
      if (!veloran::CheckPositionIndex(db, &state, &error)) {
        status = Failed(path, error);
        break;
      }
      std::printf("%s: %s\n", path.c_str(), Describe(state));
      status = state == veloran::IndexFileState::kCurrent ? 0 : 3;
      break;
    }
    case Mode::kRows: {
      veloran::IndexBuildCounts counts;
      if (!veloran::ComputeIndexRows(db, WriteRow, nullptr, progress, &counts,
                                     &error)) {
        status = Failed(path, error);
        break;
      }
      std::printf("info\t%d\t%lld\t%" PRId64 "\n", veloran::kPositionIndexLayout,
                  static_cast<long long>(counts.stars),
                  veloran::IndexConversionCheck());
      if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        status = Failed(path, "the rows could not be written");
      }
      break;
    }
  }
  sqlite3_close(db);
  return status;
}
