#include "tests/test_support.h"

#include <fcntl.h>
#include <odbcinst.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

extern char** environ;

#if defined(__SANITIZE_ADDRESS__)
// Debian's SQLite ODBC driver leaves behind what it read of the data source
// at every connection.  The leak checker unwinds fully, through libraries
// built without frame pointers, so that it can tell such a leak by the
// driver in its stack and report every other.
extern "C" const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libsqlite3odbc.so\n";
}
#endif

namespace veloran::testing {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

void Execute(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    ADD_FAILURE() << "SQL failed: " << (error ? error : "?") << "\n" << sql;
    sqlite3_free(error);
  }
}

}  // namespace

namespace {

// Runs "args" with this process's environment, its standard output going
// to the test's log; returns the exit status, or -1 when it did not exit.
int RunCommand(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    return -1;
  }
  int waitStatus = 0;
  if (waitpid(pid, &waitStatus, 0) != pid || !WIFEXITED(waitStatus)) return -1;
  return WEXITSTATUS(waitStatus);
}

}  // namespace

std::string TestDriver() {
  const char* driver = std::getenv("VELORAN_TEST_DRIVER");
  return driver != nullptr && driver[0] != '\0' ? driver : "veloran";
}

void WriteDataSource(const std::string& dir, const std::string& path,
                     const std::string& extension) {
  std::vector<std::string> command = {
      std::string(VELORAN_SOURCE_DIR) + "/scripts/write-dsn",
      "--driver",
      TestDriver(),
      path,
      dir,
      extension.empty() ? std::string(VELORAN_DIALECT_PATH) : extension};
  EXPECT_EQ(RunCommand(command), 0)
      << "scripts/write-dsn " << path << " " << dir;
}

std::string TestDataDir() {
  return std::string(VELORAN_BINARY_DIR) + "/test-data/" + TestDriver();
}

std::string DatabasePath(const std::string& name) {
  return TestDataDir() + "/" + name + "/veloran.db";
}

TestDatabase CreateTestDatabase(const std::string& name, const std::string& sql,
                                bool withSchema) {
  std::string dir = TestDataDir() + "/" + name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  TestDatabase database{DatabasePath(name), dir + "/odbc"};

  sqlite3* db = nullptr;
  if (sqlite3_open(database.path.c_str(), &db) != SQLITE_OK) {
    ADD_FAILURE() << "cannot create " << database.path;
    sqlite3_close(db);
    return database;
  }
  sqlite3_enable_load_extension(db, 1);
  char* error = nullptr;
  if (sqlite3_load_extension(db, VELORAN_DIALECT_PATH, nullptr, &error) !=
      SQLITE_OK) {
    ADD_FAILURE() << "cannot load the dialect extension: " << error;
    sqlite3_free(error);
  }
  if (withSchema) {
    Execute(db, ReadFile(std::string(VELORAN_SOURCE_DIR) + "/db/schema.sql"));
  }
  Execute(db, sql);
  sqlite3_close(db);
  WriteDataSource(database.odbcDir, database.path);
  return database;
}

namespace {

ProgramResult Spawn(std::vector<std::string> args, const char* query,
                    const std::string& odbcDir,
                    const std::vector<std::string>& extraEnv) {
  std::vector<std::string> env = {"ODBCSYSINI=" + odbcDir,
                                  "ODBCINI=" + odbcDir + "/odbc.ini"};
  if (query != nullptr) env.push_back(std::string("QUERY_STRING=") + query);
  // Sanitizer settings of the test run reach the program too.
  for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) {
      env.push_back(std::string(name) + "=" + value);
    }
  }
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string& path = args[0];

  // Close-on-exec, so that programs started side by side by other threads
  // do not hold this pipe open.
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return {"", -1, ""};
  // Standard error goes to a file, read once the program has ended.
  char errorPath[] = "/tmp/veloran-stderr-XXXXXX";
  int errorFd = mkostemp(errorPath, O_CLOEXEC);
  if (errorFd < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return {"", -1, ""};
  }
  unlink(errorPath);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  pid_t pid;
  int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(),
                            envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  ProgramResult result{"", -1, ""};
  if (spawned != 0) {
    close(pipeFds[0]);
    close(errorFd);
    ADD_FAILURE() << "cannot run " << path;
    return result;
  }
  char buffer[65536];
  ssize_t n;
  while ((n = read(pipeFds[0], buffer, sizeof(buffer))) > 0) {
    result.output.append(buffer, n);
  }
  close(pipeFds[0]);
  int waitStatus = 0;
  waitpid(pid, &waitStatus, 0);
  result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus)
                                        : 1000 + WTERMSIG(waitStatus);
  while ((n = pread(errorFd, buffer, sizeof(buffer), result.errors.size())) >
         0) {
    result.errors.append(buffer, n);
  }
  close(errorFd);
  // Still in the test's log, for whoever reads a failure.
  std::fputs(result.errors.c_str(), stderr);
  return result;
}

}  // namespace

ProgramResult RunProgram(const std::string& program, const char* query,
                         const std::string& odbcDir,
                         const std::vector<std::string>& extraEnv) {
  return Spawn({program}, query, odbcDir, extraEnv);
}

ProgramResult RunCommand(const std::vector<std::string>& args,
                         const std::string& odbcDir) {
  return Spawn(args, nullptr, odbcDir, {});
}

ProgramResult RunProgramToSink(const std::string& program, const char* query,
                               const std::string& odbcDir, OutputSink sink,
                               const std::vector<std::string>& extraEnv,
                               Sigpipe sigpipe) {
  std::vector<std::string> env = {"ODBCSYSINI=" + odbcDir,
                                  "ODBCINI=" + odbcDir + "/odbc.ini"};
  if (query != nullptr) env.push_back(std::string("QUERY_STRING=") + query);
  for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) {
      env.push_back(std::string(name) + "=" + value);
    }
  }
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string path = program;
  char* argv[] = {path.data(), nullptr};

  ProgramResult result{"", -1, ""};
  int errorPipe[2];
  int outputPipe[2] = {-1, -1};
  if (pipe2(errorPipe, O_CLOEXEC) != 0) return result;
  if (sink == OutputSink::kPipe || sink == OutputSink::kClosedPipe) {
    if (pipe2(outputPipe, O_CLOEXEC) != 0) return result;
    if (sink == OutputSink::kClosedPipe) {
      close(outputPipe[0]);
      outputPipe[0] = -1;
    }
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
  switch (sink) {
    case OutputSink::kPipe:
    case OutputSink::kClosedPipe:
      posix_spawn_file_actions_adddup2(&actions, outputPipe[1], STDOUT_FILENO);
      break;
    case OutputSink::kDevFull:
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/full",
                                       O_WRONLY, 0);
      break;
    case OutputSink::kClosed:
      posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
      break;
  }
  // An ignored signal stays ignored across exec; the spawn resets it to its
  // default when asked to.
  struct sigaction ignore = {}, saved = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &saved);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (sigpipe == Sigpipe::kDefault) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  }
  pid_t pid;
  int spawned =
      posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, envp.data());
  sigaction(SIGPIPE, &saved, nullptr);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(errorPipe[1]);
  if (outputPipe[1] != -1) close(outputPipe[1]);
  if (spawned != 0) {
    close(errorPipe[0]);
    if (outputPipe[0] != -1) close(outputPipe[0]);
    ADD_FAILURE() << "cannot run " << path;
    return result;
  }
  char buffer[65536];
  ssize_t n;
  if (outputPipe[0] != -1) {
    while (read(outputPipe[0], buffer, sizeof(buffer)) > 0) {
    }
    close(outputPipe[0]);
  }
  while ((n = read(errorPipe[0], buffer, sizeof(buffer))) > 0) {
    result.output.append(buffer, n);
  }
  close(errorPipe[0]);
  int waitStatus = 0;
  waitpid(pid, &waitStatus, 0);
  result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus)
                                        : 1000 + WTERMSIG(waitStatus);
  return result;
}

ProgramResult RunTool(const std::vector<std::string>& args) {
  std::vector<std::string> copies = args;
  std::vector<char*> argv;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  ProgramResult result{"", -1, ""};
  int errorPipe[2];
  if (pipe2(errorPipe, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
  pid_t pid;
  int spawned =
      posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(errorPipe[1]);
  if (spawned != 0) {
    close(errorPipe[0]);
    ADD_FAILURE() << "cannot run " << args[0];
    return result;
  }
  char buffer[4096];
  ssize_t n;
  while ((n = read(errorPipe[0], buffer, sizeof(buffer))) > 0) {
    result.output.append(buffer, n);
  }
  close(errorPipe[0]);
  int waitStatus = 0;
  waitpid(pid, &waitStatus, 0);
  result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus)
                                        : 1000 + WTERMSIG(waitStatus);
  return result;
}

ProgramResult RunProgramAsNobody(const std::string& program, const char* query,
                                 const std::string& odbcDir) {
  return Spawn({"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                "--clear-groups", program},
               query, odbcDir, {});
}

std::string ProgramPath() { return VELORAN_PROGRAM; }
std::string DoubleProgramPath() { return VELORAN_PROGRAM_DOUBLE; }
std::string EntryPagePath() { return VELORAN_ENTRY_PAGE; }
std::string EntryPageDoublePath() { return VELORAN_ENTRY_PAGE_DOUBLE; }
std::string FindStarPath() { return VELORAN_FIND_STAR; }
std::string FindStarDoublePath() { return VELORAN_FIND_STAR_DOUBLE; }
std::string NeighboursPath() { return VELORAN_NEIGHBOURS; }
std::string NeighboursDoublePath() { return VELORAN_NEIGHBOURS_DOUBLE; }

namespace {

// The data source of the sample database for this process, removed when
// the process exits.
struct SampleDataSource {
  std::string dir;
  ~SampleDataSource() {
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
};

}  // namespace

const TestDatabase& SampleDatabase() {
  static TestDatabase sample;
  static SampleDataSource dataSource;
  if (!sample.path.empty()) return sample;
  // Test processes run side by side, each building the sample: each builds
  // its own file and renames it over the shared one (every build gives the
  // same bytes), so that no process reads a file being written, and each
  // writes its own data source.
  std::string path = TestDataDir() + "/sample.db";
  std::string own = path + "." + std::to_string(getpid());
  std::filesystem::create_directories(TestDataDir());
  if (RunCommand({std::string(VELORAN_SOURCE_DIR) + "/scripts/build-sample-db",
                  own, VELORAN_DIALECT_PATH}) != 0) {
    ADD_FAILURE() << "scripts/build-sample-db " << own << " failed";
  }
  std::error_code error;
  std::filesystem::rename(own, path, error);
  if (error) ADD_FAILURE() << "cannot rename " << own << ": " << error;
  dataSource.dir = own + ".odbc";
  sample = {path, dataSource.dir};
  WriteDataSource(sample.odbcDir, sample.path);
  return sample;
}

TestDatabase SampleCopy(const std::string& name, const std::string& sql) {
  const TestDatabase& sample = SampleDatabase();
  std::string dir = TestDataDir() + "/" + name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  TestDatabase copy{dir + "/veloran.db", dir + "/odbc"};
  std::filesystem::copy_file(sample.path, copy.path);
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(copy.path.c_str(), &db), SQLITE_OK);
  sqlite3_enable_load_extension(db, 1);
  sqlite3_load_extension(db, VELORAN_DIALECT_PATH, nullptr, nullptr);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
      << (error ? error : "") << "\n"
      << sql;
  sqlite3_free(error);
  sqlite3_close(db);
  WriteDataSource(copy.odbcDir, copy.path);
  return copy;
}

const TestDatabase& SampleWithoutIndex() {
  static TestDatabase copy;
  if (copy.path.empty()) {
    copy = SampleCopy("sample_without_index_" + std::to_string(getpid()),
                      kDropPositionIndex);
  }
  return copy;
}

std::vector<std::string> HostileQueries() {
  std::vector<std::string> queries = {
      std::string(131000, 'a'),
      "ly=20&" + std::string(130000, '&'),
      std::string(255, 'n') + "=1&ly=20",
      std::string(256, 'n') + "=1&ly=20",
      "ID=100&v=" + std::string(511, 'v'),
      "ID=100&v=" + std::string(512, 'v'),
      "ID=100&v=" + std::string(511, '\''),
      "ly=" + std::string(511, '\''),
      "ly=%27%27%27%27&minLY=''''",
      "ly=%2&ly=%%&ly=%G&ly=%0&ly=%00&ly=+&ly=*&ly=%2B&ly=%2A",
      "ly=20%00junk&ID=1%0000",
      "ly=%FF%FE%80&X=\x80\xff\xfe",
      "ly=\x01\x02\x03\x7f&X=\t\n\r",
      "ID=%00",
      "ID=100%00",
      "=&=&=&&&==",
      "%",
      "&",
      "=",
      // Names for the finder: quotes, "%", wildcards of LIKE, entities,
      // markup, bytes that are no text, and lengths on both sides of the
      // limits.
      "name=%27%22%25_%5C",
      "name=%25&name=_",
      "name=a%27%27b",
      "name=%26alpha%3B%3Cb%3E",
      "name=%26%23945%3B+CMa",
      "name=%CE%B1+CMa&ID=100",
      "name=%CE&name=%B1",
      "name=%00Sirius",
      "name=Sirius%00%3Cscript%3E",
      "name=%E2%80%AESirius",
      "name=" + std::string(100, 'x'),
      "name=" + std::string(511, '%'),
      "name=" + std::string(130000, 's'),
      "name=" + std::string(40000, '+'),
      "ID=100&ID=%3Cscript%3E",
      "ID=%3Cb%3E100",
  };
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b);
  queries.push_back(bytes);
  queries.push_back("X=" + bytes);

  const char* parameters[] = {
      "ID",        "X",         "Y",         "Z",         "ly",
      "minLY",     "minRAHour", "minRAMin",  "minRASec",  "maxRAHour",
      "maxRAMin",  "maxRASec",  "minDecDeg", "minDecMin", "minDecSec",
      "maxDecDeg", "maxDecMin", "maxDecSec", "name"};
  const char* values[] = {"-1",
                          "-99999999999",
                          "99999999999",
                          "2147483648",
                          "-2147483649",
                          "0.5",
                          "1d3",
                          "1e999",
                          "-1e999",
                          "inf",
                          "nan",
                          "",
                          "59.9999999999",
                          "1'; DROP TABLE Positions; --",
                          "<script>alert(1)</script>",
                          "%3Cb%3E%22%27",
                          "0x1p4",
                          "0100",
                          "+100",
                          "100.0",
                          "1e2"};
  for (const char* parameter : parameters) {
    for (const char* value : values) {
      queries.push_back(std::string("X=1&Y=2&Z=3&") + parameter + "=" + value);
    }
  }

  std::mt19937 random(20261207);
  for (int i = 0; i < 20; ++i) {
    std::string query;
    size_t length = random() % 4000;
    for (size_t j = 0; j < length; ++j) {
      char c = static_cast<char>(1 + random() % 255);
      query += c;
    }
    queries.push_back(query);
  }
  return queries;
}

::testing::AssertionResult MatchesGolden(const std::string& output,
                                         const std::string& name) {
  std::string path = std::string(VELORAN_SOURCE_DIR) + "/tests/golden/" + name;
  const char* update = std::getenv("VELORAN_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << output;
    return ::testing::AssertionFailure() << "wrote " << path;
  }
  std::string golden = ReadFile(path);
  if (output == golden) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < output.size() && at < golden.size() && output[at] == golden[at]) {
    ++at;
  }
  size_t from = at < 60 ? 0 : at - 60;
  return ::testing::AssertionFailure()
         << "differs from " << path << " at byte " << at << " (of "
         << output.size() << " written, " << golden.size()
         << " expected):\n--- expected\n"
         << golden.substr(from, 160) << "\n--- written\n"
         << output.substr(from, 160);
}

void ExpectPages(const std::string& program, const TestDatabase& database,
                 const PageCase* cases, int count) {
  for (int i = 0; i < count; ++i) {
    const PageCase& c = cases[i];
    const char* label = c.query != nullptr ? c.query : "(absent)";
    ProgramResult result = RunProgram(program, c.query, database.odbcDir);
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << label;
    EXPECT_EQ(result.status, c.status) << label;
  }
}

OdbcSession::OdbcSession(const TestDatabase& database) {
  // unixODBC keeps what it has read of odbc.ini under the file's name, not
  // its directory, and drops it only entry by entry; a process that moves
  // to a data source in another directory would be given the first one's
  // keys.  Writing any ini file through it empties that cache.
  SQLWritePrivateProfileString("Session", "Database", database.path.c_str(),
                               (database.odbcDir + "/session.ini").c_str());
  setenv("ODBCSYSINI", database.odbcDir.c_str(), 1);
  setenv("ODBCINI", (database.odbcDir + "/odbc.ini").c_str(), 1);
  SQLAllocEnv(&environment_);
  SQLAllocConnect(environment_, &connection_);
  SQLSetConnectOption(connection_, SQL_LOGIN_TIMEOUT, 2);
  SQLSetConnectOption(connection_, SQL_ACCESS_MODE, SQL_MODE_READ_ONLY);
  SQLCHAR dsn[] = "Veloran";
  SQLCHAR empty[] = "";
  SQLRETURN result = SQLConnect(connection_, dsn, SQL_NTS, empty, 0, empty, 0);
  if (result != SQL_SUCCESS && result != SQL_SUCCESS_WITH_INFO) {
    ADD_FAILURE() << "cannot connect to the data source in "
                  << database.odbcDir;
    return;
  }
  connected_ = true;
  SQLAllocStmt(connection_, &statement_);
}

OdbcSession::~OdbcSession() {
  if (statement_ != SQL_NULL_HSTMT) SQLFreeStmt(statement_, SQL_DROP);
  if (connected_) SQLDisconnect(connection_);
  SQLFreeConnect(connection_);
  SQLFreeEnv(environment_);
}

namespace {
std::string captureFile;
int savedStdout = -1;
}  // namespace

std::string StartCapture() {
  std::fflush(stdout);
  captureFile = ::testing::TempDir() + "veloran_capture_" +
                std::to_string(getpid()) + ".txt";
  int fd = open(captureFile.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
  savedStdout = dup(STDOUT_FILENO);
  dup2(fd, STDOUT_FILENO);
  close(fd);
  return captureFile;
}

std::string EndCapture() {
  std::fflush(stdout);
  dup2(savedStdout, STDOUT_FILENO);
  close(savedStdout);
  std::string text = ReadFile(captureFile);
  std::remove(captureFile.c_str());
  return text;
}

std::string PageHead(const std::string& title) {
  return "Content-type: text/html\n\n<HTML>\n<HEAD>\n"
         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
         "charset=windows-1252\">\n<TITLE>" +
         title + "</TITLE>\n</HEAD>\n<BODY>\n";
}

const char kPageTail[] = "</BODY>\n</HTML>\n";

std::string NoMatchPage(const std::string& id) {
  return PageHead("Veloran search results") + "No star name matching ID " + id +
         " found.\n" + kPageTail;
}

std::string ConnectionRefusedReply(const std::string& state,
                                   const std::string& message) {
  return "Content-type: text/plain\n\nSQLConnect() failed!!\nSQLSTATE = '" +
         state + "'\nError message = '" + message + "'\n";
}

std::string FileRefusedReply(const std::string& reason) {
  if (TestDriver() == "sqliteodbc") {
    return ConnectionRefusedReply("S1000", "[unixODBC][SQLite]connect failed");
  }
  return ConnectionRefusedReply(
      "08001",
      "[unixODBC][Veloran][ODBC driver]cannot open the database named by the "
      "data source key Database: " +
          reason);
}

}  // namespace veloran::testing
