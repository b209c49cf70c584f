#ifndef VELORAN_TESTS_DRIVER_DRIVER_SESSION_H_
#define VELORAN_TESTS_DRIVER_DRIVER_SESSION_H_

#include <sql.h>
#include <sqlext.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What the driver's tests share: databases made with the SQLite C API,
// data sources for the driver, connections through the real driver manager
// and the diagnostics it hands back.

namespace veloran::driver_testing {

// The driver and the dialect extension under test.
std::string DriverPath();
std::string DialectPath();

// A fresh, empty directory for "name" and the running test under the
// build tree.
std::string FreshDirectory(const std::string& name);

// Creates (or extends) the database at "path" with "sql", read-write, with
// the dialect extension loaded.  Fails the test on error.
void CreateDatabase(const std::string& path, const std::string& sql);

// Writes odbc.ini (data source "Veloran" with the driver and "keys", one
// "Key=value" a line) and odbcinst.ini into "dir", and points the driver
// manager of this process at them.  Once per process: unixODBC caches what
// it read from "odbc.ini" by that name, whichever file it was (CTest runs
// each test in a process of its own).
void UseDataSource(const std::string& dir, const std::string& keys);

// The bytes of a file, and a directory's names and sizes, to show that
// nothing was written.
std::string FileBytes(const std::string& path);
std::string DirectoryListing(const std::string& dir);

struct Diagnostic {
  std::string state;
  std::string message;
};

// Every record SQLGetDiagRec gives for the handle, in order.
std::vector<Diagnostic> DiagnosticsOf(SQLSMALLINT handleType, SQLHANDLE handle);

// The states of those records, joined with spaces ("01004 22003").
std::string StatesOf(SQLSMALLINT handleType, SQLHANDLE handle);

// An environment and a connection through the driver manager (ODBC 3).
class Session {
 public:
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // SQLDriverConnect with "Driver=<driver>;" followed by "keys".
  SQLRETURN ConnectString(const std::string& keys);
  // SQLConnect to the data source "Veloran".
  SQLRETURN ConnectDataSource();
  // A new statement handle, freed with the session.
  SQLHSTMT NewStatement();

  SQLHENV environment() const { return environment_; }
  SQLHDBC connection() const { return connection_; }
  bool connected() const { return connected_; }
  // The connection string SQLDriverConnect completed.
  const std::string& completed() const { return completed_; }

 private:
  std::string completed_;
  SQLHENV environment_ = SQL_NULL_HENV;
  SQLHDBC connection_ = SQL_NULL_HDBC;
  bool connected_ = false;
};

// Ends the process when the test is not done within "seconds", with a
// line on standard output: a call that hangs (in open() of a FIFO, in an
// endless query) fails the test instead of stopping the suite.
class Watchdog {
 public:
  explicit Watchdog(int seconds);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread thread_;
};

// SQLExecDirect of "sql" (SQL_NTS).
SQLRETURN Execute(SQLHSTMT statement, const std::string& sql);

// The first column of every row as text (SQLGetData, SQL_C_CHAR), "NULL"
// for NULL; ends at the first failure.
std::vector<std::string> FirstColumn(SQLHSTMT statement);

}  // namespace veloran::driver_testing

#endif  // VELORAN_TESTS_DRIVER_DRIVER_SESSION_H_
