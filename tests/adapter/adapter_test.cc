// The dialect adapter as a web server meets it: the real programs, driver
// manager and database, with the adapter in front of the project's driver,
// their pages compared byte for byte with those of the direct data source.
#include <sql.h>
#include <sqlext.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace veloran::testing {
namespace {

// Writes the data source Veloran through the adapter into "dir": "section"
// holds its keys after Driver (the adapter), and odbcinst.ini names the
// project's driver VeloranSQLite, for a Target by name.
std::string AdapterDataSource(const std::string& name, const std::string& section) {
  std::string dir = TestDataDir() + "/adapter_" + name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/odbcinst.ini")
      << "[VeloranSQLite]\nDriver=" VELORAN_DRIVER_PATH "\n";
  std::ofstream(dir + "/odbc.ini")
      << "[Veloran]\nDriver=" VELORAN_ADAPTER_PATH "\n" << section;
  return dir;
}

std::string SampleKeys(bool withExtension) {
  std::string keys = "Database=file:" + SampleDatabase().path + "?mode=ro\n";
  if (withExtension) keys += "LoadExt=" VELORAN_DIALECT_PATH "\n";
  return keys;
}

struct Request {
  std::string program;
  const char* query;
};

std::vector<Request> SiteRequests() {
  return {
      {ProgramPath(), "ID=100&ly=12"},
      {ProgramPath(), "ID=323490000&minLY=5&ly=20"},
      {ProgramPath(), "ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10"},
      {ProgramPath(), "X=10&Y=10&Z=10&ly=20&minDecDeg=0"},
      {EntryPagePath(), "ID=323490000"},
      {EntryPagePath(), "ID=100"},
      {EntryPagePath(), "ID=10000"},
      {EntryPagePath(), "ID=1108930100"},
      {FindStarPath(), "name=Sirius"},
      {FindStarPath(), "name=HD+48915"},
      {FindStarPath(), "name=Si"},
      {FindStarPath(), "name=Nosuchstar"},
  };
}

// A rule of "length" bytes that changes no statement: a FROM that none
// holds, and a TO to fill the length.
std::string RuleOfLength(size_t length) {
  std::string rule = "NoSuchWord9 => ";
  return rule + std::string(length - rule.size(), 'x');
}

struct AdapterCase {
  const char* what;
  const char* target;  // the key's value; "$DRIVER" for the driver's path
  std::vector<std::string> rules;
  bool withExtension;
  bool sameAsDirect;  // whether every page must be the direct one
};

const AdapterCase kAdapterCases[] = {
    {"rules whose results SQLite reads alike, Target by path", "$DRIVER",
     {"INT( => \"INT\"(", "INDEXED BY NameLookupProperKeys =>"}, true, true},
    {"a rule that stands in for the missing INT function, Target by name",
     "VeloranSQLite", {"INT( => ("}, false, true},
    {"a rule of the most bytes a rule may hold", "VeloranSQLite",
     {"INT( => (", RuleOfLength(960)}, false, true},
    {"no rule, no INT function: the pages that need it fail", "VeloranSQLite",
     {}, false, false},
};

TEST(AdapterTest, PagesAreTheDirectDataSourcesByteForByte) {
  const TestDatabase& sample = SampleDatabase();
  std::vector<std::string> direct;
  for (const Request& request : SiteRequests()) {
    direct.push_back(RunProgram(request.program, request.query, sample.odbcDir).output);
  }
  int index = 0;
  for (const AdapterCase& c : kAdapterCases) {
    std::string section = "Target=";
    section += std::string(c.target) == "$DRIVER" ? VELORAN_DRIVER_PATH : c.target;
    section += "\n";
    for (size_t i = 0; i < c.rules.size(); ++i) {
      section += "Rewrite" + std::to_string(i + 1) + " = " + c.rules[i] + "\n";
    }
    section += SampleKeys(c.withExtension);
    std::string dir = AdapterDataSource("pages" + std::to_string(index++), section);
    int differing = 0;
    std::vector<Request> requests = SiteRequests();
    for (size_t i = 0; i < requests.size(); ++i) {
      ProgramResult result = RunProgram(requests[i].program, requests[i].query, dir);
      bool same = result.output == direct[i];
      if (c.sameAsDirect) {
        EXPECT_TRUE(same) << c.what << ": " << requests[i].program << "?"
                          << requests[i].query << " gave\n" << result.output
                          << "\ninstead of\n" << direct[i];
      }
      differing += same ? 0 : 1;
    }
    if (!c.sameAsDirect) {
      EXPECT_GT(differing, 0) << c.what << ": every page came out as the direct one";
    }
  }
}

struct RefusalCase {
  const char* what;
  std::string section;  // after Driver
  const char* state;    // as the search shows it (an ODBC 2 application)
  std::string message;  // after "[unixODBC][Veloran][Adapter]"
};

#define VELORAN_MISSING_TARGET VELORAN_ADAPTER_PATH ".missing/driver.so"

const RefusalCase kRefusalCases[] = {
    {"no Target", "Rewrite1 = a => b\n", "IM002",
     "data source 'Veloran' has no Target: add Target= with the absolute path "
     "of the driver library that serves it, or the name of its driver in "
     "odbcinst.ini"},
    {"a Target that is no driver's name", "Target = Nosuch\n", "IM002",
     "Target 'Nosuch' of data source 'Veloran' is no driver of odbcinst.ini "
     "with a Driver key: write the name of a driver section there (odbcinst "
     "-q -d lists them), or the absolute path of the library"},
    // A path in the build's own tree, beside the adapter, that nothing
    // makes: a path of the system's (/nonexistent, www-data's home) may be
    // there on another machine.
    {"a Target library that is missing", "Target = " VELORAN_MISSING_TARGET "\n",
     "IM003",
     "data source 'Veloran', Target '" VELORAN_MISSING_TARGET "': cannot load the "
     "target driver: " VELORAN_MISSING_TARGET ": cannot open shared object file: "
     "No such file or directory"},
    {"a Target that is the adapter", "Target = " VELORAN_ADAPTER_PATH "\n", "IM003",
     "data source 'Veloran', Target '" VELORAN_ADAPTER_PATH "': the target "
     VELORAN_ADAPTER_PATH " is this adapter itself: name the driver that "
     "serves the data source"},
    {"a rule without =>", "Target = VeloranSQLite\nRewrite1 = INT( => (\nRewrite2 = INT(\n",
     "S1000",
     "Rewrite2 of data source 'Veloran' is 'INT(': write it as FROM => TO, "
     "with a FROM that is not empty (TO may be)"},
    {"a rule without FROM", "Target = VeloranSQLite\nRewrite1 = => x\n", "S1000",
     "Rewrite1 of data source 'Veloran' is '=> x': write it as FROM => TO, "
     "with a FROM that is not empty (TO may be)"},
    {"a gap in the numbers", "Target = VeloranSQLite\nRewrite1 = a => b\nRewrite3 = c => d\n",
     "S1000",
     "Rewrite3 of data source 'Veloran' has no Rewrite2 before it: number the "
     "rules 1, 2, 3, ... without a gap, in the order they apply"},
    {"no Rewrite1", "Target = VeloranSQLite\nRewrite2 = a => b\n", "S1000",
     "Rewrite2 of data source 'Veloran' has no Rewrite1 before it: number the "
     "rules 1, 2, 3, ... without a gap, in the order they apply"},
    {"a rule a byte longer than a rule may hold",
     "Target = VeloranSQLite\nRewrite1 = a => b\nRewrite2 = " + RuleOfLength(961) + "\n",
     "S1000",
     "Rewrite2 of data source 'Veloran' is 961 bytes long as read, more than "
     "the 960 a rule may hold: unixODBC reads only the first 999 bytes of a "
     "line of odbc.ini, so it may have been cut; split it into shorter rules"},
    // unixODBC gives the 999 bytes of the line less "Rewrite1 = ", and the
    // rest as keys of their own.
    {"a rule that unixODBC cut",
     "Target = VeloranSQLite\nRewrite1 = " + RuleOfLength(3000) + "\n", "S1000",
     "Rewrite1 of data source 'Veloran' is 988 bytes long as read, more than "
     "the 960 a rule may hold: unixODBC reads only the first 999 bytes of a "
     "line of odbc.ini, so it may have been cut; split it into shorter rules"},
};

TEST(AdapterTest, BadDataSourcesAreRefusedWithWhatToFix) {
  int index = 0;
  for (const RefusalCase& c : kRefusalCases) {
    std::string dir = AdapterDataSource("refusal" + std::to_string(index++), c.section);
    for (const std::string& program : {ProgramPath(), EntryPagePath()}) {
      ProgramResult result = RunProgram(program, "ID=100", dir);
      if (program == ProgramPath()) {
        EXPECT_EQ(result.output,
                  ConnectionRefusedReply(c.state, std::string("[unixODBC][Veloran][Adapter]") +
                                                      c.message))
            << c.what;
      } else {
        // The entry page says only that the database cannot be reached,
        // and the reason on standard error.
        EXPECT_EQ(result.output.rfind("Status: 503 Service Unavailable\n", 0), 0u)
            << c.what << "\n" << result.output;
        EXPECT_NE(result.errors.find(c.message), std::string::npos)
            << c.what << "\n" << result.errors;
      }
    }
  }
}

// The target's own refusal passes through unchanged: the project's driver
// refusing a database that does not exist, behind the adapter.
TEST(AdapterTest, TheTargetsDiagnosticsPassUnchanged) {
  std::string section = "Target=" VELORAN_DRIVER_PATH "\nDatabase=/nonexistent/veloran.db\n";
  std::string viaAdapter = AdapterDataSource("target_refusal", section);
  std::string direct = TestDataDir() + "/adapter_target_refusal_direct";
  std::filesystem::create_directories(direct);
  std::ofstream(direct + "/odbc.ini")
      << "[Veloran]\nDriver=" VELORAN_DRIVER_PATH "\nDatabase=/nonexistent/veloran.db\n";
  std::ofstream(direct + "/odbcinst.ini") << "";
  ProgramResult expected = RunProgram(ProgramPath(), "ID=100", direct);
  ProgramResult result = RunProgram(ProgramPath(), "ID=100", viaAdapter);
  EXPECT_NE(expected.output.find("SQLConnect() failed!!"), std::string::npos)
      << expected.output;
  EXPECT_EQ(result.output, expected.output);
  EXPECT_EQ(result.status, expected.status);
}

// What the driver manager learns from the adapter's SQLGetFunctions after
// the connect: a function that both the adapter and its target have, and
// none that either lacks.
TEST(AdapterTest, OffersTheFunctionsThatItAndItsTargetBothHave) {
  std::string dir = AdapterDataSource(
      "functions", "Target=" VELORAN_DRIVER_PATH "\n" + SampleKeys(true));
  setenv("ODBCSYSINI", dir.c_str(), 1);
  setenv("ODBCINI", (dir + "/odbc.ini").c_str(), 1);
  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment), SQL_SUCCESS);
  SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection), SQL_SUCCESS);
  SQLCHAR dsn[] = "Veloran";
  ASSERT_TRUE(SQL_SUCCEEDED(SQLConnect(connection, dsn, SQL_NTS, nullptr, 0, nullptr, 0)));
  struct FunctionCase {
    const char* what;
    SQLUSMALLINT function;
    SQLUSMALLINT supported;
  };
  const FunctionCase cases[] = {
      {"both have SQLExecDirect", SQL_API_SQLEXECDIRECT, SQL_TRUE},
      {"both have SQLTables", SQL_API_SQLTABLES, SQL_TRUE},
      {"both have SQLGetInfo", SQL_API_SQLGETINFO, SQL_TRUE},
      {"the target lacks SQLNativeSql", SQL_API_SQLNATIVESQL, SQL_FALSE},
      {"the target lacks SQLDescribeParam", SQL_API_SQLDESCRIBEPARAM, SQL_FALSE},
      {"the adapter lacks SQLBrowseConnect", SQL_API_SQLBROWSECONNECT, SQL_FALSE},
  };
  for (const FunctionCase& c : cases) {
    SQLUSMALLINT supported = 2;
    EXPECT_EQ(SQLGetFunctions(connection, c.function, &supported), SQL_SUCCESS) << c.what;
    EXPECT_EQ(supported, c.supported) << c.what;
  }
  EXPECT_EQ(SQLDisconnect(connection), SQL_SUCCESS);
  SQLFreeHandle(SQL_HANDLE_DBC, connection);
  SQLFreeHandle(SQL_HANDLE_ENV, environment);
}

// The attributes an application sets before the connect, when the target
// is not known yet, reach the target's connection before its connect.
TEST(AdapterTest, AttributesSetBeforeTheConnectReachTheTarget) {
  std::string dir = AdapterDataSource(
      "attributes", "Target=" VELORAN_DRIVER_PATH "\n" + SampleKeys(true));
  setenv("ODBCSYSINI", dir.c_str(), 1);
  setenv("ODBCINI", (dir + "/odbc.ini").c_str(), 1);
  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment), SQL_SUCCESS);
  SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection), SQL_SUCCESS);
  struct AttributeCase {
    const char* what;
    SQLINTEGER attribute;
    SQLULEN value;
  };
  const AttributeCase cases[] = {
      {"the login time-out", SQL_ATTR_LOGIN_TIMEOUT, 7},
      {"the connection time-out", SQL_ATTR_CONNECTION_TIMEOUT, 9},
      {"autocommit", SQL_ATTR_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF},
      {"the access mode", SQL_ATTR_ACCESS_MODE, SQL_MODE_READ_ONLY},
  };
  for (const AttributeCase& c : cases) {
    EXPECT_TRUE(SQL_SUCCEEDED(SQLSetConnectAttr(
        connection, c.attribute, reinterpret_cast<SQLPOINTER>(c.value), 0)))
        << c.what;
  }
  SQLCHAR dsn[] = "Veloran";
  ASSERT_TRUE(SQL_SUCCEEDED(SQLConnect(connection, dsn, SQL_NTS, nullptr, 0, nullptr, 0)));
  for (const AttributeCase& c : cases) {
    SQLUINTEGER value = 12345;
    EXPECT_TRUE(SQL_SUCCEEDED(SQLGetConnectAttr(connection, c.attribute, &value, 0, nullptr)))
        << c.what;
    EXPECT_EQ(value, c.value) << c.what;
  }
  EXPECT_EQ(SQLDisconnect(connection), SQL_SUCCESS);
  SQLFreeHandle(SQL_HANDLE_DBC, connection);
  SQLFreeHandle(SQL_HANDLE_ENV, environment);
}

// A statement that the rules would grow without bound is refused, at once
// and with the reason, and the connection serves the next one.
struct GrowthCase {
  const char* what;
  std::vector<std::string> rules;
  const char* sql;
  const char* state;    // null: the statement runs and gives 1
  const char* message;  // after "[Veloran][Adapter]"
};

const GrowthCase kGrowthCases[] = {
    {"a rule whose TO holds its FROM, once", {"( => ((", ") => ))"}, "SELECT (1)",
     nullptr, nullptr},
    {"thirty times, each doubling the parentheses",
     std::vector<std::string>(30, "( => (("), "SELECT (1)", "HY001",
     "the rules would make the text of 10 bytes more than 65536 bytes longer, "
     "which the adapter refuses: look for a rule whose TO holds its FROM"},
};

TEST(AdapterTest, StatementsThatTheRulesWouldGrowWithoutBoundAreRefused) {
  int index = 0;
  for (const GrowthCase& c : kGrowthCases) {
    std::string section = "Target=" VELORAN_DRIVER_PATH "\n";
    for (size_t i = 0; i < c.rules.size(); ++i) {
      section += "Rewrite" + std::to_string(i + 1) + " = " + c.rules[i] + "\n";
    }
    std::string dir = AdapterDataSource("growth" + std::to_string(index++),
                                        section + SampleKeys(true));
    setenv("ODBCSYSINI", dir.c_str(), 1);
    setenv("ODBCINI", (dir + "/odbc.ini").c_str(), 1);
    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    SQLHSTMT statement = SQL_NULL_HSTMT;
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment), SQL_SUCCESS);
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                  reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection), SQL_SUCCESS);
    SQLCHAR dsn[] = "Veloran";
    ASSERT_TRUE(SQL_SUCCEEDED(SQLConnect(connection, dsn, SQL_NTS, nullptr, 0, nullptr, 0)))
        << c.what;
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement), SQL_SUCCESS);
    SQLCHAR* sql = reinterpret_cast<SQLCHAR*>(const_cast<char*>(c.sql));
    SQLRETURN result = SQLExecDirect(statement, sql, SQL_NTS);
    if (c.state == nullptr) {
      ASSERT_TRUE(SQL_SUCCEEDED(result)) << c.what;
      ASSERT_EQ(SQLFetch(statement), SQL_SUCCESS) << c.what;
      SQLINTEGER value = 0;
      EXPECT_EQ(SQLGetData(statement, 1, SQL_C_SLONG, &value, 0, nullptr), SQL_SUCCESS);
      EXPECT_EQ(value, 1) << c.what;
    } else {
      EXPECT_EQ(result, SQL_ERROR) << c.what;
      SQLCHAR state[6] = "";
      SQLCHAR message[1024] = "";
      SQLINTEGER native = 0;
      SQLSMALLINT length = 0;
      ASSERT_EQ(SQLGetDiagRec(SQL_HANDLE_STMT, statement, 1, state, &native, message,
                              sizeof(message), &length),
                SQL_SUCCESS)
          << c.what;
      EXPECT_STREQ(reinterpret_cast<char*>(state), c.state) << c.what;
      EXPECT_EQ(reinterpret_cast<char*>(message),
                std::string("[Veloran][Adapter]") + c.message)
          << c.what;
      // Nothing was sent: the statement and its connection serve again.
      SQLCHAR plain[] = "SELECT 1";
      EXPECT_TRUE(SQL_SUCCEEDED(SQLExecDirect(statement, plain, SQL_NTS))) << c.what;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    EXPECT_EQ(SQLDisconnect(connection), SQL_SUCCESS);
    SQLFreeHandle(SQL_HANDLE_DBC, connection);
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
  }
}

}  // namespace
}  // namespace veloran::testing
