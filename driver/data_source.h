#ifndef VELORAN_DRIVER_DATA_SOURCE_H_
#define VELORAN_DRIVER_DATA_SOURCE_H_

#include <string>
#include <string_view>

// Where a connection's settings come from.
//
// A data source in odbc.ini (read with SQLGetPrivateProfileString at each
// connect, never from unixODBC's cache of earlier answers) or a connection
// string gives four keys; any others (such as NoCreat or StepAPI of other
// SQLite drivers) are ignored:
//
//   Database  the SQLite database: a path, or a "file:" URI (percent-encoded
//             characters work).  It is always opened read-only and never
//             created; a URI's mode= cannot widen that.
//   LoadExt   SQLite extensions to load at connect, separated by commas
//             (for example the dialect extension that provides INT).  SQL's
//             load_extension() stays disabled.
//   Timeout   how long a statement waits for a writer's lock before it
//             fails, in milliseconds (default 2000).
//   QueryTimeout
//             the query time-out of every new statement, in seconds
//             (default 0, none), as if SQL_ATTR_QUERY_TIMEOUT were set:
//             for programs such as isql that set none themselves.
//
// Connection strings for SQLDriverConnect: "DSN=Veloran;" reads the data
// source; "Driver=/path/veloran_odbc.so;Database=/path/stars.db;" needs
// none.  Keys in the string win over the data source's.  A value may be
// written in braces, "Database={/srv/a;b.db}", where "}}" stands for "}".

namespace veloran::odbc {

// The keys as written, before they are checked at connect.
struct DataSourceSettings {
  std::string dataSourceName;  // empty for a DSN-less connection
  // Whether Database is the data source's key, which an operator may
  // change while the connection is open, or the connection string's.
  bool databaseFromDataSource = false;
  std::string database;
  std::string loadExtensions;
  std::string timeout;       // as written; empty for the default
  std::string queryTimeout;  // as written; empty for the default
};

// Reads the keys of data source "name".  May throw std::bad_alloc.
void ReadDataSource(const std::string& name, DataSourceSettings* settings);

// Fills "settings" from a connection string: the data source it names
// first, then the string's own keys.  False when the string is malformed
// (an unterminated brace), with the reason in *error.
bool ReadConnectionString(std::string_view text, DataSourceSettings* settings,
                          std::string* error);

// The Database key of data source "name" as the files say now.  May throw
// std::bad_alloc.
std::string ReadDatabaseKey(const std::string& name);

// The files SQLGetPrivateProfileString reads data sources from: the user's
// ($ODBCINI, or ~/.odbc.ini) and the system's ($ODBCSYSINI/odbc.ini, or
// /etc/odbc.ini), as unixODBC names them.  May throw std::bad_alloc.
void DataSourceFiles(std::string* user, std::string* system);

// The connection string that reconnects with the same settings, for
// SQLDriverConnect's output.
std::string CompletedConnectionString(const DataSourceSettings& settings);

// The timeout in milliseconds, or false when it is not a number.
bool TimeoutMilliseconds(const DataSourceSettings& settings, int* timeout);

// The query time-out in seconds, or false when it is not a number.
bool QueryTimeoutSeconds(const DataSourceSettings& settings, unsigned* seconds);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_DATA_SOURCE_H_
