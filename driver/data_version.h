#ifndef VELORAN_DRIVER_DATA_VERSION_H_
#define VELORAN_DRIVER_DATA_VERSION_H_

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "driver/data_source.h"
#include "driver/database_file.h"

// The SQL function veloran_data_version(), registered on every connection,
// for a long-lived program that keeps rows in memory and must know, before
// it answers from them, whether they are still those of the database:
//
//   SELECT veloran_data_version()
//
// NULL: the connection no longer reads the database the data source names
// now, so the program must connect again (and read again).  That is so when
//   - the connection was made from a data source name and its Database key,
//     as the ini files say now, is another text than the one connected with
//     (another spelling of the same file counts as another key too);
//   - the file at the key's path is another file (another st_dev or
//     st_ino) than the one SQLite opened: replaced by a rename, or through
//     a link that now names another file; or there is no file there;
//   - the file was replaced while the connection was being made (between
//     the driver's check of the file and SQLite's opening of it, or after
//     it): NULL from the first call.  The file the driver checked stands
//     for the one SQLite opened only when, after SQLite read the schema,
//     both the key's path and SQLite's own name of the file name it, and
//     SQLite finds its file still at its name.  Only a path switched back
//     and forth between two files that both stay on disk, within the
//     microseconds of those three looks, could pass unnoticed.
// A connection string's own Database cannot change; its file can.
//
// Otherwise a text such as "2049:1311:73728:1700000000123456789:
// 1700000000123456789:3", which changes whenever the file's content may
// have changed: the file's device, inode, size, modification and change
// times in nanoseconds, and SQLite's data version of the main database
// (PRAGMA data_version, which moves when another connection has committed
// a write).  Equal texts of one connection mean the same content; texts of
// two connections are not to be compared.
//
// A database that is no file (a "file:" URI with mode=memory, say) has no
// file to be replaced: its text is "memory:" and the data version, and it
// is NULL only when the data source's key changes.  A "file:" URI is
// looked at through the path it names, as the connect's check does.
//
// The function reads nothing of the database but its data version, writes
// nothing, and may be called in a statement of its own only (not from a
// view or a trigger of the file's schema).  A call costs a stat() of the
// database, the data version's shared lock, and for a data source a stat()
// of each ini file: their bytes are compared again only when their status
// changed or changed too recently for it to tell, and the key is read again
// through SQLGetPrivateProfileString only when their bytes changed.

namespace veloran::odbc {

// What one ini file held when the Database key was last read from it:
// its bytes, or why there were none (openError: errno of the open or the
// read, EFBIG for a file too long to keep; 0 when all were read).
struct IniFileImage {
  std::string path;
  int openError = 0;
  std::string bytes;
  // stat() of the file when those bytes were last found in it (statError
  // its errno, 0 when it succeeded), and whether an unchanged stat() says
  // that the bytes are unchanged: not when the file changed so shortly
  // before that a change since could have left its times as they were.
  struct stat status {};
  int statError = 0;
  bool statusVouches = false;
};

// A connection's side of the function; the connection's lock guards it.
struct DataVersion {
  sqlite3_stmt* dataVersion = nullptr;  // PRAGMA data_version
  std::string dataSourceName;  // empty when the connection string gave Database
  std::string databaseKey;     // the Database key connected with
  // The file the key names, absolute; empty when there is none.
  std::string path;
  FileIdentity opened;  // the file SQLite opened
  bool replacedDuringConnect = false;
  // For a data source: the user's and the system's ini files, and the key
  // as read from what they held (keyKnown false: read it again).
  IniFileImage files[2];
  bool keyKnown = false;
  std::string key;
};

// Registers veloran_data_version() on "database", just opened with
// "settings" and its schema read.  "checked" is the file the driver checked
// before SQLite opened it (null when it checked none).  False when SQLite
// could not register it; nothing is left to stop then.
bool StartDataVersion(sqlite3* database, const DataSourceSettings& settings,
                      const FileIdentity* checked, DataVersion* version);

// Frees what StartDataVersion made; before the database is closed.
void StopDataVersion(DataVersion* version);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_DATA_VERSION_H_
