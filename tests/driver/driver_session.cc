#include "tests/driver/driver_session.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

namespace veloran::driver_testing {

std::string DriverPath() { return VELORAN_DRIVER_PATH; }
std::string DialectPath() { return VELORAN_DIALECT_PATH; }

std::string FreshDirectory(const std::string& name) {
  // One directory per test, since CTest runs tests side by side; a run of
  // the same tests beside them (under valgrind) names another root.
  const char* root = std::getenv("VELORAN_DRIVER_TEST_DATA");
  const ::testing::TestInfo* test =
      ::testing::UnitTest::GetInstance()->current_test_info();
  std::string dir =
      (root != nullptr
           ? std::string(root)
           : std::string(VELORAN_BINARY_DIR) + "/test-data/driver") +
      "/" + name + "/" + test->test_suite_name() + "." + test->name();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

void CreateDatabase(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK) << path;
  sqlite3_enable_load_extension(db, 1);
  char* error = nullptr;
  if (sqlite3_load_extension(db, VELORAN_DIALECT_PATH, nullptr, &error) !=
      SQLITE_OK) {
    ADD_FAILURE() << "cannot load the dialect: " << (error ? error : "?");
  }
  sqlite3_free(error);
  error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    ADD_FAILURE() << "SQL failed: " << (error ? error : "?") << "\n" << sql;
  }
  sqlite3_free(error);
  sqlite3_close(db);
}

void UseDataSource(const std::string& dir, const std::string& keys) {
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/odbcinst.ini") << "";
  std::ofstream(dir + "/odbc.ini")
      << "[Veloran]\nDriver=" << DriverPath() << "\n"
      << keys << "\n";
  setenv("ODBCSYSINI", dir.c_str(), 1);
  setenv("ODBCINI", (dir + "/odbc.ini").c_str(), 1);
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string DirectoryListing(const std::string& dir) {
  std::map<std::string, uintmax_t> entries;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    entries[entry.path().filename().string()] =
        entry.is_regular_file() ? entry.file_size() : 0;
  }
  std::string listing;
  for (const auto& [name, size] : entries) {
    listing += name + " " + std::to_string(size) + "\n";
  }
  return listing;
}

std::vector<Diagnostic> DiagnosticsOf(SQLSMALLINT handleType,
                                      SQLHANDLE handle) {
  std::vector<Diagnostic> records;
  for (SQLSMALLINT i = 1; i < 50; ++i) {
    SQLCHAR state[6] = "";
    SQLINTEGER native = 0;
    SQLCHAR message[1024] = "";
    SQLSMALLINT length = 0;
    SQLRETURN result = SQLGetDiagRec(handleType, handle, i, state, &native,
                                     message, sizeof(message), &length);
    if (!SQL_SUCCEEDED(result)) break;
    records.push_back(
        {reinterpret_cast<char*>(state), reinterpret_cast<char*>(message)});
  }
  return records;
}

std::string StatesOf(SQLSMALLINT handleType, SQLHANDLE handle) {
  std::string states;
  for (const Diagnostic& record : DiagnosticsOf(handleType, handle)) {
    if (!states.empty()) states += " ";
    states += record.state;
  }
  return states;
}

Session::Session() {
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment_);
  SQLSetEnvAttr(environment_, SQL_ATTR_ODBC_VERSION,
                reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, environment_, &connection_);
}

Session::~Session() {
  if (connected_) SQLDisconnect(connection_);
  SQLFreeHandle(SQL_HANDLE_DBC, connection_);
  SQLFreeHandle(SQL_HANDLE_ENV, environment_);
}

SQLRETURN Session::ConnectString(const std::string& keys) {
  std::string text = "Driver=" + DriverPath() + ";" + keys;
  SQLCHAR out[1024];
  SQLSMALLINT outLength = 0;
  SQLRETURN result = SQLDriverConnect(
      connection_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
      out, sizeof(out), &outLength, SQL_DRIVER_NOPROMPT);
  connected_ = SQL_SUCCEEDED(result);
  if (connected_) completed_ = reinterpret_cast<char*>(out);
  return result;
}

SQLRETURN Session::ConnectDataSource() {
  SQLRETURN result = SQLConnect(
      connection_, reinterpret_cast<SQLCHAR*>(const_cast<char*>("Veloran")),
      SQL_NTS, nullptr, 0, nullptr, 0);
  connected_ = SQL_SUCCEEDED(result);
  return result;
}

SQLHSTMT Session::NewStatement() {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  EXPECT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, connection_, &statement),
            SQL_SUCCESS);
  return statement;
}

SQLRETURN Execute(SQLHSTMT statement, const std::string& sql) {
  return SQLExecDirect(
      statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
      SQL_NTS);
}

std::vector<std::string> FirstColumn(SQLHSTMT statement) {
  std::vector<std::string> values;
  while (SQL_SUCCEEDED(SQLFetch(statement))) {
    char text[512];
    SQLLEN indicator = 0;
    if (!SQL_SUCCEEDED(SQLGetData(statement, 1, SQL_C_CHAR, text, sizeof(text),
                                  &indicator))) {
      break;
    }
    values.push_back(indicator == SQL_NULL_DATA ? "NULL" : text);
  }
  return values;
}

Watchdog::Watchdog(int seconds)
    : thread_([this, seconds] {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!done_.wait_for(lock, std::chrono::seconds(seconds),
                            [this] { return finished_; })) {
          // Standard output: standard error may be captured.
          std::printf("the test hung for %d s\n", seconds);
          std::fflush(stdout);
          std::_Exit(3);
        }
      }) {}

Watchdog::~Watchdog() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  done_.notify_one();
  thread_.join();
}

}  // namespace veloran::driver_testing
