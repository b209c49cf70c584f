#ifndef VELORAN_TESTS_TEST_SUPPORT_H_
#define VELORAN_TESTS_TEST_SUPPORT_H_

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

// What the tests share: Veloran databases built from SQL, the program run as
// a web server runs it, and standard output captured in-process.

namespace veloran::testing {

// A Veloran database built by a test, with its data source "Veloran" in
// odbcDir (odbc.ini and odbcinst.ini).
struct TestDatabase {
  std::string path;
  std::string odbcDir;
};

// The directory under the build tree where the tests of this process keep
// their files: one for each driver of TestDriver(), so that a test run
// through both drivers at once never shares a file.
std::string TestDataDir();

// The database file of CreateTestDatabase for test "name".
std::string DatabasePath(const std::string& name);

// Creates a fresh directory under the build tree for test "name", builds
// the database there from db/schema.sql followed by "sql" (with the dialect
// extension loaded) and writes its data source.  Fails the test on error.
TestDatabase CreateTestDatabase(const std::string& name, const std::string& sql,
                                bool withSchema = true);

// The ODBC driver of the data sources that the tests write: "veloran", the
// project's own (the default), or "sqliteodbc", Debian's, as the
// environment variable VELORAN_TEST_DRIVER says.
std::string TestDriver();

// Writes odbc.ini and odbcinst.ini into "dir" with the data source Veloran
// for the existing database file "path", as every real data source is
// written: by scripts/write-dsn, for the driver of TestDriver() and with
// the dialect extension "extension" (the built one when empty; the
// project's driver is taken from beside it).  Fails the test on error.
void WriteDataSource(const std::string& dir, const std::string& path,
                     const std::string& extension = "");

struct ProgramResult {
  std::string output;  // standard output, bytes
  int status;          // exit status as the shell sees it (255 for -1)
  std::string errors;  // standard error, where RunProgram says so
};

// Runs "program" with an environment of only QUERY_STRING (unset when
// "query" is nullptr), ODBCSYSINI and ODBCINI for "odbcDir", and "extraEnv"
// ("NAME=value" entries).  What it writes on standard error is returned in
// "errors" and copied to the test's log.
ProgramResult RunProgram(const std::string& program, const char* query,
                         const std::string& odbcDir,
                         const std::vector<std::string>& extraEnv = {});

// Where standard output goes in RunProgramToSink: a pipe that the test
// reads, /dev/full, a closed descriptor, or a pipe whose reading end is
// closed.
enum class OutputSink { kPipe, kDevFull, kClosed, kClosedPipe };

// The disposition of SIGPIPE that a program starts with: ignored, or the
// default, which ends a process that writes to a pipe without a reader (as
// most web servers leave it).
enum class Sigpipe { kIgnored, kDefault };

// Runs the command "args" (its path first) with the environment that
// RunProgram gives, without QUERY_STRING: an operator's command on the
// data source of "odbcDir".
ProgramResult RunCommand(const std::vector<std::string>& args,
                         const std::string& odbcDir);

// Runs "program" as RunProgram does, its standard output going to "sink",
// and returns its exit status and what it wrote on standard error (in
// "output").
ProgramResult RunProgramToSink(const std::string& program, const char* query,
                               const std::string& odbcDir, OutputSink sink,
                               const std::vector<std::string>& extraEnv = {},
                               Sigpipe sigpipe = Sigpipe::kIgnored);

// Runs the command "args" (its path first) with this process's environment
// and returns its exit status and what it wrote on standard error (in
// "output"); its standard output goes to the test's log.
ProgramResult RunTool(const std::vector<std::string>& args);

// The same, with the program run as user "nobody".
ProgramResult RunProgramAsNobody(const std::string& program, const char* query,
                                 const std::string& odbcDir);

// The real program, and the program linked with the ODBC double.
std::string ProgramPath();
std::string DoubleProgramPath();

// The star entry page, and the same linked with the ODBC double.
std::string EntryPagePath();
std::string EntryPageDoublePath();

// The name finder, and the same linked with the ODBC double.
std::string FindStarPath();
std::string FindStarDoublePath();

// The site's page of a search, and the same linked with the ODBC double.
std::string NeighboursPath();
std::string NeighboursDoublePath();

// The bundled sample database (db/sample_stars.psv), built by
// scripts/build-sample-db the first time a test of the process asks for it,
// with its position index and its data source, in a directory of that test
// under TestDataDir().  Fails the test on error.
const TestDatabase& SampleDatabase();

// SQL that takes the position index out of a database, as an older file
// has none: the pages then read all of Positions.
inline constexpr char kDropPositionIndex[] =
    "DROP TRIGGER PositionIndexStaleOnInsert;"
    "DROP TRIGGER PositionIndexStaleOnUpdate;"
    "DROP TRIGGER PositionIndexStaleOnDelete;"
    "DROP TABLE PositionIndexInfo; DROP TABLE PositionIndex;";

// A copy of the sample database without its position index, made once for
// the test process (SampleCopy).
const TestDatabase& SampleWithoutIndex();

// Whether the pages read the position index through the driver of
// TestDriver(): Debian's driver does not deliver its numbers bit for bit,
// and the pages read all of Positions through it.  A fault injected into a
// reading of the index is then never met.
inline bool ReadsPositionIndex(const std::string& faults) {
  return faults.find("PositionIndex") == std::string::npos ||
         TestDriver() == "veloran";
}

// A copy of the sample database for test "name", changed by "sql" (run
// with the dialect extension loaded), with its data source.  Fails the
// test on error.
TestDatabase SampleCopy(const std::string& name, const std::string& sql);

// The hostile query strings that every program of the site must answer
// with one complete reply and without echoing them: limits (128 KB
// strings, names of 255 and 256 bytes, values of 511 and 512 bytes),
// quotes, every escape form, bytes 1 to 255, every parameter of the search
// and "ID" and "name" out of range, not numbers, SQL text or markup, and
// random bytes.
std::vector<std::string> HostileQueries();

// Whether "output" is byte for byte the golden file tests/golden/NAME;
// the failure shows the first difference.  With VELORAN_UPDATE_GOLDEN=1 in
// the environment, the file is written from "output" instead (and the check
// fails, so that a run that rewrites goldens never passes unnoticed).
::testing::AssertionResult MatchesGolden(const std::string& output,
                                         const std::string& name);

// A request to a program of the site and its expected reply: the golden
// file under tests/golden and the exit status as the shell sees it.
struct PageCase {
  const char* query;  // nullptr: QUERY_STRING absent
  const char* golden;
  int status;
};

// Runs "program" on "database" for each of the "count" cases and checks
// its reply with MatchesGolden and its exit status.
void ExpectPages(const std::string& program, const TestDatabase& database,
                 const PageCase* cases, int count);

// A statement handle on a test database's data source Veloran, through the
// real driver manager and driver, connected as the program connects, for
// in-process tests of the catalogue statements.  Sets ODBCSYSINI and
// ODBCINI of this process to the database's data source.
class OdbcSession {
 public:
  explicit OdbcSession(const TestDatabase& database);
  ~OdbcSession();
  OdbcSession(const OdbcSession&) = delete;
  OdbcSession& operator=(const OdbcSession&) = delete;
  SQLHSTMT statement() const { return statement_; }

 private:
  SQLHENV environment_ = SQL_NULL_HENV;
  SQLHDBC connection_ = SQL_NULL_HDBC;
  bool connected_ = false;
  SQLHSTMT statement_ = SQL_NULL_HSTMT;
};

// Calls "body" with standard output captured, and returns what it wrote.
template <typename Body>
std::string CaptureOutput(Body body);

std::string StartCapture();
std::string EndCapture();

template <typename Body>
std::string CaptureOutput(Body body) {
  StartCapture();
  body();
  return EndCapture();
}

// The bytes of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// Expected replies: the page frame of a result page, the page of a search
// that found no answer, and the reply to a refused connection with the
// driver's diagnostic.
std::string PageHead(const std::string& title);
extern const char kPageTail[];
std::string NoMatchPage(const std::string& id);
std::string ConnectionRefusedReply(const std::string& state,
                                   const std::string& message);

// The reply to a data source whose database file cannot be opened, in the
// words of the driver of TestDriver(): the project's names the Database
// key and "reason" (never the path, which goes to standard error), Debian's
// says only that the connection failed.
std::string FileRefusedReply(const std::string& reason);

}  // namespace veloran::testing

#endif  // VELORAN_TESTS_TEST_SUPPORT_H_
