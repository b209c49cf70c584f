#ifndef VELORAN_DRIVER_DATABASE_FILE_H_
#define VELORAN_DRIVER_DATABASE_FILE_H_

#include <sys/types.h>

#include <string>

// The check of the Database key's file before SQLite opens it.  SQLite
// would hang in open() on a FIFO, take an empty file or a device for an
// empty database, and create -shm and -wal files beside a database in WAL
// mode; this driver never creates a file, so each of these is refused.

namespace veloran::odbc {

// The file that the Database key names: a plain path as it is, a "file:"
// URI's path with its percent escapes decoded (the query and an empty or
// "localhost" authority left out).  False when the URI names another
// host or holds a broken escape; SQLite's own open then gives the reason.
bool DatabaseFilePath(const std::string& database, std::string* path);

// Which file a path names, as stat() tells it.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// Opens "path" without waiting (a FIFO, a device) and checks that it is a
// regular file that begins with SQLite's header, in rollback-journal mode.
// True with *checked, the identity of the file that was checked (fstat of
// the descriptor that read the header, so a file put in the place of
// another afterwards is not mistaken for it).  False with *reason, a
// sentence that names no path (the visitor of a web page may see it), and
// *detail, the system's words, when it is not.
bool CheckDatabaseFile(const std::string& path, FileIdentity* checked,
                       std::string* reason, std::string* detail);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_DATABASE_FILE_H_
