#include "driver/data_version.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <new>

namespace veloran::odbc {

namespace {

// How long before a moment a file must have last changed for its stat() to
// vouch for its bytes at that moment.  File times come from a clock that
// moves in ticks (a few milliseconds on Linux; whole seconds, or two, on
// some file systems), so a second change within the tick of the first
// leaves the file's times and perhaps its size as they were.
constexpr int64_t kTimestampGrain = 2'000'000'000;  // nanoseconds

// The most of an ini file that is kept to compare; a longer one counts as
// changed at every call.
constexpr size_t kMaxIniBytes = 1 << 20;
constexpr int kTooLong = EFBIG;

int64_t Nanoseconds(const timespec& time) {
  return static_cast<int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

int64_t Now() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

bool SameStatus(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino &&
         a.st_size == b.st_size && a.st_mode == b.st_mode &&
         Nanoseconds(a.st_mtim) == Nanoseconds(b.st_mtim) &&
         Nanoseconds(a.st_ctim) == Nanoseconds(b.st_ctim);
}

// What the ini file "image->path" holds now: its stat() first, then its
// bytes (openError: 0 when they were all read, errno when the file could
// not be opened or read, kTooLong).
void Capture(IniFileImage* image) {
  int64_t now = Now();
  image->statError = stat(image->path.c_str(), &image->status) == 0 ? 0 : errno;
  image->bytes.clear();
  int fd =
      open(image->path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  image->openError = fd < 0 ? errno : 0;
  if (fd >= 0) {
    char buffer[4096];
    ssize_t got = 0;
    while (image->openError == 0 &&
           (got = read(fd, buffer, sizeof(buffer))) > 0) {
      if (image->bytes.size() + static_cast<size_t>(got) > kMaxIniBytes) {
        image->openError = kTooLong;
      } else {
        image->bytes.append(buffer, static_cast<size_t>(got));
      }
    }
    if (got < 0) image->openError = errno;
    close(fd);
  }
  // A file that is not there stays so until something else is there.
  image->statusVouches =
      image->statError == 0
          ? Nanoseconds(image->status.st_ctim) + kTimestampGrain < now
          : image->statError == ENOENT;
}

// Whether unixODBC reads the same from both: the same bytes, or none for
// the same reason.
bool SameContent(const IniFileImage& a, const IniFileImage& b) {
  return a.openError == b.openError && a.openError != kTooLong &&
         a.bytes == b.bytes;
}

// Whether the ini files hold what they held when the key was read from
// them.  A file whose stat() vouches and is as it was is not read again;
// one read again and found unchanged is remembered with its new stat().
bool FilesUnchanged(DataVersion* version) {
  if (!version->keyKnown) return false;
  for (IniFileImage& file : version->files) {
    struct stat status;
    int error = stat(file.path.c_str(), &status) == 0 ? 0 : errno;
    if (file.statusVouches && error == file.statError &&
        (error != 0 || SameStatus(status, file.status))) {
      continue;
    }
    IniFileImage now;
    now.path = file.path;
    Capture(&now);
    if (!SameContent(now, file)) return false;
    file = std::move(now);
  }
  return true;
}

// The data source's Database key as the ini files say now.  Read through
// unixODBC when they changed; kept only when they held the same before and
// after the read, so that the key is what those bytes say.
const std::string& CurrentKey(DataVersion* version) {
  if (FilesUnchanged(version)) return version->key;
  IniFileImage before[2];
  for (int i = 0; i < 2; ++i) {
    before[i].path = version->files[i].path;
    Capture(&before[i]);
  }
  version->key = ReadDatabaseKey(version->dataSourceName);
  version->keyKnown = true;
  for (int i = 0; i < 2; ++i) {
    IniFileImage after;
    after.path = version->files[i].path;
    Capture(&after);
    if (!SameContent(before[i], after)) version->keyKnown = false;
    version->files[i] = std::move(after);
  }
  return version->key;
}

bool Identify(const char* path, FileIdentity* identity) {
  struct stat status;
  if (stat(path, &status) != 0) return false;
  identity->device = status.st_dev;
  identity->inode = status.st_ino;
  return true;
}

// The file the Database key names, made absolute as SQLite makes it at
// open (from the directory the process is in then).
bool AbsoluteFile(const std::string& database, std::string* path) {
  if (!DatabaseFilePath(database, path) || path->empty()) return false;
  if ((*path)[0] == '/') return true;
  char directory[PATH_MAX];
  if (getcwd(directory, sizeof(directory)) == nullptr) return false;
  *path = std::string(directory) + "/" + *path;
  return true;
}

void DataVersionFunction(sqlite3_context* context, int /*argc*/,
                         sqlite3_value** /*argv*/) {
  auto* version = static_cast<DataVersion*>(sqlite3_user_data(context));
  try {
    if (!version->dataSourceName.empty() &&
        CurrentKey(version) != version->databaseKey) {
      sqlite3_result_null(context);
      return;
    }
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
    return;
  }
  struct stat status {};
  if (version->replacedDuringConnect ||
      (!version->path.empty() &&
       (stat(version->path.c_str(), &status) != 0 ||
        !(FileIdentity{status.st_dev, status.st_ino} == version->opened)))) {
    sqlite3_result_null(context);
    return;
  }
  // The statement that calls the function reads no table, so SQLite has
  // not looked at the file's change counter for it: the pragma's read
  // transaction does.  Waiting for a writer's lock, it is stopped as the
  // statement is.
  int stepped = sqlite3_step(version->dataVersion);
  sqlite3_int64 dataVersion =
      stepped == SQLITE_ROW ? sqlite3_column_int64(version->dataVersion, 0) : 0;
  int reset = sqlite3_reset(version->dataVersion);
  if (stepped != SQLITE_ROW) {
    sqlite3_result_error_code(context, reset != SQLITE_OK ? reset : stepped);
    return;
  }
  char text[160];
  if (version->path.empty()) {
    std::snprintf(text, sizeof(text), "memory:%lld",
                  static_cast<long long>(dataVersion));
  } else {
    std::snprintf(text, sizeof(text), "%llu:%llu:%lld:%lld:%lld:%lld",
                  static_cast<unsigned long long>(status.st_dev),
                  static_cast<unsigned long long>(status.st_ino),
                  static_cast<long long>(status.st_size),
                  static_cast<long long>(Nanoseconds(status.st_mtim)),
                  static_cast<long long>(Nanoseconds(status.st_ctim)),
                  static_cast<long long>(dataVersion));
  }
  sqlite3_result_text(context, text, -1, SQLITE_TRANSIENT);
}

}  // namespace

bool StartDataVersion(sqlite3* database, const DataSourceSettings& settings,
                      const FileIdentity* checked, DataVersion* version) {
  *version = DataVersion();
  version->databaseKey = settings.database;
  if (settings.databaseFromDataSource) {
    version->dataSourceName = settings.dataSourceName;
    DataSourceFiles(&version->files[0].path, &version->files[1].path);
  }
  if (sqlite3_prepare_v2(database, "PRAGMA data_version", -1,
                         &version->dataVersion, nullptr) != SQLITE_OK) {
    return false;
  }
  // Not deterministic, and never run by the file's own views or triggers.
  if (sqlite3_create_function_v2(database, "veloran_data_version", 0,
                                 SQLITE_UTF8 | SQLITE_DIRECTONLY, version,
                                 DataVersionFunction, nullptr, nullptr,
                                 nullptr) != SQLITE_OK) {
    StopDataVersion(version);
    return false;
  }
  // A database in memory has no file to be replaced.
  const char* opened = sqlite3_db_filename(database, "main");
  if (opened == nullptr || opened[0] == '\0') return true;
  // The checked file is the one SQLite opened if, now that SQLite has read
  // the schema, the key's path and the name SQLite resolved it to (through
  // links) both name the checked file and SQLite's file is still at that
  // name (the same inode).  Otherwise the file was replaced meanwhile.  No
  // path or no check (SQLite refuses the URIs the check cannot read, too):
  // nothing to watch, so NULL as well.
  FileIdentity atKey, atOpened;
  int moved = 0;
  bool answered = sqlite3_file_control(database, "main", SQLITE_FCNTL_HAS_MOVED,
                                       &moved) == SQLITE_OK;
  version->replacedDuringConnect =
      checked == nullptr || !AbsoluteFile(settings.database, &version->path) ||
      !Identify(version->path.c_str(), &atKey) || !(atKey == *checked) ||
      !Identify(opened, &atOpened) || !(atOpened == *checked) ||
      (answered && moved != 0);
  if (checked != nullptr) version->opened = *checked;
  return true;
}

void StopDataVersion(DataVersion* version) {
  sqlite3_finalize(version->dataVersion);
  version->dataVersion = nullptr;
}

}  // namespace veloran::odbc
