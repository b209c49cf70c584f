#include "driver/connection.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "driver/catalog_functions.h"
#include "driver/database_file.h"
#include "driver/interruption.h"
#include "driver/text_output.h"

namespace veloran::odbc {

namespace {

constexpr int kOpenFlags = SQLITE_OPEN_READONLY | SQLITE_OPEN_URI |
                           SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_PRIVATECACHE;

// SQLite's message, with the system's reason when it gave one.
std::string Cause(sqlite3* database) {
  std::string cause =
      database != nullptr ? sqlite3_errmsg(database) : "out of memory";
  int error = database != nullptr ? sqlite3_system_errno(database) : 0;
  if (error != 0) {
    cause += " (";
    cause += std::strerror(error);
    cause += ")";
  }
  return cause;
}

// Writes "veloran_odbc: " and the text as one line to standard error (a
// web server's error log), control bytes escaped, in one write so that
// the lines of processes running at once do not mix.
void LogLine(const std::string& text) {
  std::string line = "veloran_odbc: ";
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\x%02x", c);
      line += escaped;
    } else {
      line += static_cast<char>(c);
    }
  }
  line += '\n';
  ssize_t written = write(STDERR_FILENO, line.data(), line.size());
  (void)written;  // nothing more to tell if the log cannot be written
}

// A failed connect: "message" for the application (it names data source
// keys, never a path: a web page may show it to its visitor), "logged" with
// the paths and the whole cause for standard error.
SQLRETURN FailConnect(Connection* connection, sqlite3* database,
                      const DataSourceSettings& settings, const char* component,
                      const std::string& message, const std::string& logged) {
  PostConnectFailure(&connection->diagnostics, "08001", component, "%s",
                     message.c_str());
  std::string source = settings.dataSourceName.empty()
                           ? std::string("a connection string")
                           : "data source " + settings.dataSourceName;
  LogLine("connect failed (" + source + "): " + logged);
  sqlite3_close(database);
  return SQL_ERROR;
}

constexpr char kCannotOpen[] =
    "cannot open the database named by the data source key Database: ";

SQLRETURN FailOpen(Connection* connection, sqlite3* database,
                   const DataSourceSettings& settings, const char* component,
                   const std::string& reason, const std::string& detail) {
  return FailConnect(
      connection, database, settings, component, kCannotOpen + reason,
      "cannot open database \"" + settings.database + "\": " + detail);
}

// Loads each extension of the comma-separated list; false with the
// message (naming the extension by its place in the list) and what to log
// (its path and the loader's words) when one fails.
bool LoadExtensions(sqlite3* database, const std::string& list,
                    std::string* message, std::string* logged) {
  if (list.empty()) return true;
  sqlite3_db_config(database, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 1,
                    nullptr);
  size_t start = 0;
  bool loaded = true;
  int place = 0;
  while (start <= list.size() && loaded) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string path = list.substr(start, comma - start);
    size_t first = path.find_first_not_of(" \t");
    size_t last = path.find_last_not_of(" \t");
    path = first == std::string::npos ? std::string()
                                      : path.substr(first, last - first + 1);
    if (!path.empty()) {
      ++place;
      char* error = nullptr;
      if (sqlite3_load_extension(database, path.c_str(), nullptr, &error) !=
          SQLITE_OK) {
        *message = "cannot load extension " + std::to_string(place) +
                   " named by the data source key LoadExt";
        *logged = "cannot load extension \"" + path +
                  "\" (LoadExt): " + (error != nullptr ? error : "failed");
        loaded = false;
      }
      sqlite3_free(error);
    }
    start = comma + 1;
  }
  // Only the data source loads extensions: never SQL, nor later calls.
  sqlite3_db_config(database, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0,
                    nullptr);
  return loaded;
}

}  // namespace

SQLRETURN Connect(Connection* connection, const DataSourceSettings& settings) {
  if (connection->database != nullptr) {
    PostDiagnostic(&connection->diagnostics, "08002",
                   "the connection is already open");
    return SQL_ERROR;
  }
  int timeout = 0;
  if (!TimeoutMilliseconds(settings, &timeout)) {
    PostConnectFailure(&connection->diagnostics, "08001", kDriverComponent,
                       "Timeout=%s is not a number of milliseconds",
                       settings.timeout.c_str());
    return SQL_ERROR;
  }
  unsigned queryTimeout = 0;
  if (!QueryTimeoutSeconds(settings, &queryTimeout)) {
    PostConnectFailure(&connection->diagnostics, "08001", kDriverComponent,
                       "QueryTimeout=%s is not a number of seconds",
                       settings.queryTimeout.c_str());
    return SQL_ERROR;
  }
  if (settings.database.empty()) {
    PostConnectFailure(&connection->diagnostics, "08001", kDriverComponent,
                       "no database: the data source or connection string has "
                       "no Database");
    return SQL_ERROR;
  }
  const std::string& path = settings.database;
  std::string file, reason, detail;
  FileIdentity checked;
  bool hasFile = DatabaseFilePath(path, &file);
  if (hasFile && !CheckDatabaseFile(file, &checked, &reason, &detail)) {
    return FailOpen(connection, nullptr, settings, kDriverComponent, reason,
                    detail);
  }
  sqlite3* database = nullptr;
  if (sqlite3_open_v2(path.c_str(), &database, kOpenFlags, nullptr) !=
      SQLITE_OK) {
    return FailOpen(
        connection, database, settings, kSqliteComponent,
        database != nullptr ? sqlite3_errmsg(database) : "out of memory",
        Cause(database));
  }
  sqlite3_extended_result_codes(database, 1);
  // What follows reads the schema and loads the extensions: bounded by the
  // login time-out, although it never waits for a lock.
  InstallInterruption(connection, database);
  BeginLoginWork(connection, connection->loginTimeout);
  // SQL from the application is not trusted with more than reading: no
  // tokenizer registered from a pointer, no writes to shadow tables.
  sqlite3_db_config(database, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0,
                    nullptr);
  sqlite3_db_config(database, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  // Read the schema without waiting: a file that is no database fails
  // here, one that a writer holds connects.
  sqlite3_busy_timeout(database, 0);
  int probe = sqlite3_exec(database, "SELECT 1 FROM sqlite_schema LIMIT 0",
                           nullptr, nullptr, nullptr);
  int primary = probe & 0xFF;
  if (primary == SQLITE_INTERRUPT) {
    EndLoginWork(connection);
    PostConnectFailure(&connection->diagnostics, "HYT00", kDriverComponent,
                       "login timeout expired: reading the database took "
                       "longer than SQL_ATTR_LOGIN_TIMEOUT (%u s)",
                       static_cast<unsigned>(connection->loginTimeout));
    sqlite3_close(database);
    return SQL_ERROR;
  }
  if (probe != SQLITE_OK && primary != SQLITE_BUSY &&
      primary != SQLITE_LOCKED) {
    EndLoginWork(connection);
    return FailOpen(connection, database, settings, kSqliteComponent,
                    sqlite3_errmsg(database), Cause(database));
  }
  std::string message, logged;
  bool loaded =
      LoadExtensions(database, settings.loadExtensions, &message, &logged);
  EndLoginWork(connection);
  if (!loaded) {
    return FailConnect(connection, database, settings, kSqliteComponent,
                       message, logged);
  }
  // The second guard: SQLite itself refuses writes on this connection.
  sqlite3_exec(database, "PRAGMA query_only = 1", nullptr, nullptr, nullptr);
  if (!RegisterCatalogFunctions(database)) {
    return FailOpen(connection, database, settings, kSqliteComponent,
                    sqlite3_errmsg(database), Cause(database));
  }
  // Last of what can fail: from here on the connection's Disconnect stops
  // it before the database is closed.
  if (!StartDataVersion(database, settings, hasFile ? &checked : nullptr,
                        &connection->dataVersion)) {
    return FailOpen(connection, database, settings, kSqliteComponent,
                    sqlite3_errmsg(database), Cause(database));
  }
  InstallReadOnlyGuard(database, &connection->refusal);
  connection->busyTimeout = timeout;
  InstallInterruption(connection, database);
  connection->database = database;
  connection->defaultQueryTimeout = queryTimeout;
  connection->dataSourceName = settings.dataSourceName;
  connection->databasePath = settings.database;
  return SQL_SUCCESS;
}

SQLRETURN Disconnect(Connection* connection) {
  while (!connection->statements.empty()) {
    DeleteStatement(connection->statements.back());
  }
  if (connection->database != nullptr) {
    StopDataVersion(&connection->dataVersion);
    sqlite3_close(connection->database);
    connection->database = nullptr;
  }
  return SQL_SUCCESS;
}

namespace {

void PostOptionChanged(Diagnostics* diagnostics, const char* what) {
  PostDiagnostic(diagnostics, "01S02", "%s", what);
}

template <typename T>
void WriteValue(SQLPOINTER target, T value) {
  if (target != nullptr) std::memcpy(target, &value, sizeof(T));
}

}  // namespace

SQLRETURN SetConnectionAttribute(Connection* connection, SQLINTEGER attribute,
                                 SQLULEN value) {
  Diagnostics* diagnostics = &connection->diagnostics;
  switch (attribute) {
    case SQL_ATTR_ACCESS_MODE:
      if (value == SQL_MODE_READ_ONLY) return SQL_SUCCESS;
      if (value != SQL_MODE_READ_WRITE) break;
      PostOptionChanged(diagnostics,
                        "the connection is read-only whatever is asked");
      return SQL_SUCCESS_WITH_INFO;
    case SQL_ATTR_AUTOCOMMIT:
      if (value != SQL_AUTOCOMMIT_ON && value != SQL_AUTOCOMMIT_OFF) break;
      // Back to autocommit ends the transaction, as ODBC has it.
      if (value == SQL_AUTOCOMMIT_ON &&
          EndTransaction(connection, SQL_COMMIT) != SQL_SUCCESS) {
        return SQL_ERROR;
      }
      connection->autocommit = static_cast<SQLUINTEGER>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_LOGIN_TIMEOUT:
      connection->loginTimeout = static_cast<SQLUINTEGER>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_CONNECTION_TIMEOUT:
      connection->connectionTimeout = static_cast<SQLUINTEGER>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_TXN_ISOLATION:
      if (value == SQL_TXN_SERIALIZABLE) return SQL_SUCCESS;
      PostOptionChanged(diagnostics, "reads are always serializable");
      return SQL_SUCCESS_WITH_INFO;
    case SQL_ATTR_ANSI_APP:
      // The driver manager tells whether the application uses the ANSI
      // or the wide calls; this driver answers both the same way.
      return SQL_SUCCESS;
    case SQL_ATTR_QUIET_MODE:
      return SQL_SUCCESS;
    case SQL_ATTR_METADATA_ID:
    case SQL_ATTR_ASYNC_ENABLE:
    case SQL_ATTR_AUTO_IPD:
      if (value == SQL_FALSE) return SQL_SUCCESS;
      PostDiagnostic(diagnostics, "HYC00", "connection attribute %d = %lu",
                     static_cast<int>(attribute),
                     static_cast<unsigned long>(value));
      return SQL_ERROR;
    default:
      PostDiagnostic(diagnostics, "HY092",
                     "connection attribute %d is not known",
                     static_cast<int>(attribute));
      return SQL_ERROR;
  }
  PostDiagnostic(diagnostics, "HY024", "%lu for connection attribute %d",
                 static_cast<unsigned long>(value),
                 static_cast<int>(attribute));
  return SQL_ERROR;
}

SQLRETURN GetConnectionAttribute(Connection* connection, SQLINTEGER attribute,
                                 SQLPOINTER value, SQLINTEGER /*bufferLength*/,
                                 SQLINTEGER* /*length*/) {
  switch (attribute) {
    case SQL_ATTR_ACCESS_MODE:
      WriteValue<SQLUINTEGER>(value, SQL_MODE_READ_ONLY);
      return SQL_SUCCESS;
    case SQL_ATTR_AUTOCOMMIT:
      WriteValue<SQLUINTEGER>(value, connection->autocommit);
      return SQL_SUCCESS;
    case SQL_ATTR_LOGIN_TIMEOUT:
      WriteValue<SQLUINTEGER>(value, connection->loginTimeout);
      return SQL_SUCCESS;
    case SQL_ATTR_CONNECTION_TIMEOUT:
      WriteValue<SQLUINTEGER>(value, connection->connectionTimeout);
      return SQL_SUCCESS;
    case SQL_ATTR_TXN_ISOLATION:
      WriteValue<SQLUINTEGER>(value, SQL_TXN_SERIALIZABLE);
      return SQL_SUCCESS;
    case SQL_ATTR_CONNECTION_DEAD:
      WriteValue<SQLUINTEGER>(
          value, connection->database != nullptr ? SQL_CD_FALSE : SQL_CD_TRUE);
      return SQL_SUCCESS;
    case SQL_ATTR_METADATA_ID:
    case SQL_ATTR_ASYNC_ENABLE:
    case SQL_ATTR_AUTO_IPD:
      WriteValue<SQLUINTEGER>(value, SQL_FALSE);
      return SQL_SUCCESS;
    default:
      PostDiagnostic(&connection->diagnostics, "HY092",
                     "connection attribute %d is not known",
                     static_cast<int>(attribute));
      return SQL_ERROR;
  }
}

SQLRETURN SetEnvironmentAttribute(Environment* environment,
                                  SQLINTEGER attribute, SQLULEN value) {
  switch (attribute) {
    case SQL_ATTR_ODBC_VERSION:
      if (value != SQL_OV_ODBC2 && value != SQL_OV_ODBC3 &&
          value != SQL_OV_ODBC3_80) {
        break;
      }
      environment->odbcVersion = static_cast<SQLINTEGER>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_OUTPUT_NTS:
      if (value == SQL_TRUE) return SQL_SUCCESS;
      PostDiagnostic(&environment->diagnostics, "HYC00",
                     "texts are always terminated");
      return SQL_ERROR;
    case SQL_ATTR_CONNECTION_POOLING:
    case SQL_ATTR_CP_MATCH:
      // Pooling is the driver manager's.
      return SQL_SUCCESS;
    default:
      PostDiagnostic(&environment->diagnostics, "HY092",
                     "environment attribute %d is not known",
                     static_cast<int>(attribute));
      return SQL_ERROR;
  }
  PostDiagnostic(
      &environment->diagnostics, "HY024", "%lu for environment attribute %d",
      static_cast<unsigned long>(value), static_cast<int>(attribute));
  return SQL_ERROR;
}

SQLRETURN GetEnvironmentAttribute(Environment* environment,
                                  SQLINTEGER attribute, SQLPOINTER value) {
  switch (attribute) {
    case SQL_ATTR_ODBC_VERSION:
      WriteValue<SQLINTEGER>(value, environment->odbcVersion);
      return SQL_SUCCESS;
    case SQL_ATTR_OUTPUT_NTS:
      WriteValue<SQLINTEGER>(value, SQL_TRUE);
      return SQL_SUCCESS;
    case SQL_ATTR_CONNECTION_POOLING:
      WriteValue<SQLUINTEGER>(value, SQL_CP_OFF);
      return SQL_SUCCESS;
    case SQL_ATTR_CP_MATCH:
      WriteValue<SQLUINTEGER>(value, SQL_CP_STRICT_MATCH);
      return SQL_SUCCESS;
    default:
      PostDiagnostic(&environment->diagnostics, "HY092",
                     "environment attribute %d is not known",
                     static_cast<int>(attribute));
      return SQL_ERROR;
  }
}

namespace {

// Runs the driver's own BEGIN or COMMIT, which the read-only guard lets
// through for it alone.
int RunOwnTransactionStatement(Connection* connection, const char* sql) {
  connection->refusal.ownTransaction = true;
  int rc = sqlite3_exec(connection->database, sql, nullptr, nullptr, nullptr);
  connection->refusal.ownTransaction = false;
  return rc;
}

bool InReadTransaction(const Connection* connection) {
  return connection->database != nullptr &&
         !sqlite3_get_autocommit(connection->database);
}

}  // namespace

bool BeginReadTransaction(Connection* connection, Diagnostics* diagnostics) {
  if (connection->autocommit == SQL_AUTOCOMMIT_ON ||
      InReadTransaction(connection)) {
    return true;
  }
  if (RunOwnTransactionStatement(connection, "BEGIN") == SQLITE_OK) {
    return true;
  }
  PostDiagnostic(diagnostics, "HY000", "cannot begin a read transaction: %s",
                 sqlite3_errmsg(connection->database));
  return false;
}

SQLRETURN EndTransaction(Connection* connection, SQLSMALLINT completionType) {
  if (completionType != SQL_COMMIT && completionType != SQL_ROLLBACK) {
    PostDiagnostic(&connection->diagnostics, "HY012", "%d", completionType);
    return SQL_ERROR;
  }
  if (!InReadTransaction(connection)) return SQL_SUCCESS;
  // Nothing was written: the end of a read transaction cannot fail but for
  // a statement still stepping, which this connection never leaves.
  int rc = RunOwnTransactionStatement(connection, "COMMIT");
  if (rc != SQLITE_OK) {
    PostDiagnostic(&connection->diagnostics, "HY000",
                   "cannot end the read transaction: %s",
                   sqlite3_errmsg(connection->database));
    return SQL_ERROR;
  }
  return SQL_SUCCESS;
}

}  // namespace veloran::odbc
