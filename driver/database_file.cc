#include "driver/database_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace veloran::odbc {

namespace {

constexpr char kHeader[] = "SQLite format 3";  // and its terminator: 16 bytes
constexpr size_t kHeaderSize = 100;
// Bytes 18 and 19 of the header, the write and read versions: 1 for a
// rollback journal, 2 for WAL.
constexpr size_t kWriteVersion = 18;
constexpr size_t kReadVersion = 19;
constexpr unsigned char kWalVersion = 2;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// What kind of file, for one that is not regular.
const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// The system's reason for a failed open, in a visitor's words.
std::string OpenReason(int error) {
  switch (error) {
    case ENOENT:
      return "no such file";
    case EACCES:
    case EPERM:
      return "permission denied";
    case ENOTDIR:
      return "a part of its path is not a directory";
    case EISDIR:
      return "it is a directory, not a database file";
    default:
      return std::strerror(error);
  }
}

}  // namespace

bool DatabaseFilePath(const std::string& database, std::string* path) {
  if (database.compare(0, 5, "file:") != 0) {
    *path = database;
    return true;
  }
  size_t begin = 5;
  size_t end = database.find_first_of("?#", begin);
  if (end == std::string::npos) end = database.size();
  if (database.compare(begin, 2, "//") == 0) {
    size_t slash = database.find('/', begin + 2);
    if (slash == std::string::npos || slash > end) slash = end;
    std::string authority = database.substr(begin + 2, slash - begin - 2);
    if (!authority.empty() && authority != "localhost") return false;
    begin = slash;
  }
  path->clear();
  for (size_t i = begin; i < end; ++i) {
    if (database[i] != '%') {
      *path += database[i];
      continue;
    }
    int high = i + 2 < end ? HexDigit(database[i + 1]) : -1;
    int low = i + 2 < end ? HexDigit(database[i + 2]) : -1;
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
    *path += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

bool CheckDatabaseFile(const std::string& path, FileIdentity* checked,
                       std::string* reason, std::string* detail) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    int error = errno;
    *reason = OpenReason(error);
    *detail = std::strerror(error);
    return false;
  }
  struct stat status;
  unsigned char header[kHeaderSize];
  ssize_t length = 0;
  bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  if (regular) {
    // A regular file does not block; the loop takes what one read misses.
    ssize_t got = 0;
    while (length < static_cast<ssize_t>(kHeaderSize) &&
           (got = read(fd, header + length, kHeaderSize - length)) > 0) {
      length += got;
    }
  }
  close(fd);
  if (!regular) {
    *reason = std::string("it is ") + KindOf(status.st_mode) +
              ", not a database file";
    *detail = *reason;
    return false;
  }
  if (length == 0) {
    *reason = "the file is empty, so it is not a database";
    *detail = *reason;
    return false;
  }
  if (length < static_cast<ssize_t>(kHeaderSize) ||
      std::memcmp(header, kHeader, sizeof(kHeader)) != 0) {
    *reason = "the file is not a database";
    *detail = *reason + " (" + std::to_string(length) +
              (length < static_cast<ssize_t>(kHeaderSize)
                   ? " bytes, shorter than a database header)"
                   : " bytes, no SQLite header)");
    return false;
  }
  if (header[kWriteVersion] == kWalVersion ||
      header[kReadVersion] == kWalVersion) {
    *reason =
        "the database is in WAL mode, whose readers create files beside "
        "it; switch it to a rollback journal, as its owner: sqlite3 FILE "
        "'PRAGMA journal_mode=DELETE'";
    *detail = *reason;
    return false;
  }
  checked->device = status.st_dev;
  checked->inode = status.st_ino;
  return true;
}

}  // namespace veloran::odbc
