// Faults that a real driver cannot be made to produce, through the program
// linked with the ODBC double.

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace veloran::testing {
namespace {

struct FaultRun {
  ProgramResult result;
  std::vector<std::string> calls;  // the double's log, one call a line
};

class OdbcFaultTest : public ::testing::Test {
 protected:
  // Each test has a database of its own: CTest may run them side by side.
  void SetUp() override {
    database_ = CreateTestDatabase(
        std::string("faults_") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name(),
        R"sql(
      INSERT INTO CatalogNames (Abbreviation, LongName) VALUES ('HD', 'Henry Draper');
      INSERT INTO Positions (OwnerID, Distance)
      VALUES (100, 0), (200, 0), (300, 0), (400, 0), (500, 0);
      INSERT INTO ProperNames (OwnerID, Name, IsSystemName) VALUES (100, 'Sol', 1);
      INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
      VALUES (100, 'HD', '1', 1), (200, 'HD', '2', 1);
      INSERT INTO Spectra (OwnerID, SpectralClass, LuminosityClass)
      VALUES (101, 'G2', 'V');
    )sql");
  }

  FaultRun Run(const char* query, const std::string& faults) {
    std::string log = database_.odbcDir + "/calls.log";
    std::remove(log.c_str());
    FaultRun run;
    run.result = RunProgram(
        DoubleProgramPath(), query, database_.odbcDir,
        {"VELORAN_ODBC_FAULTS=" + faults, "VELORAN_ODBC_LOG=" + log});
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) run.calls.push_back(line);
    return run;
  }

  TestDatabase database_;
};

const char kHeadingAtOrigin[] =
    "<CENTER><H3>Stars within 15 light-years of (0, 0, 0):</H3></CENTER>\n";

std::string Line(const std::string& id, const std::string& name,
                 const std::string& rest = "") {
  return "<BR><A HREF=\"entry_page.exe?ID=" + id + "\">" + name +
         "</A>: 0 light-years" + rest + "\n";
}

const std::vector<std::string> kClose = {
    "SQLFreeStmt SQL_DROP", "SQLDisconnect", "SQLFreeConnect", "SQLFreeEnv"};

std::vector<std::string> Tail(const std::vector<std::string>& calls, size_t n) {
  if (calls.size() < n) return calls;
  return std::vector<std::string>(calls.end() - n, calls.end());
}

bool Called(const std::vector<std::string>& calls, const std::string& text) {
  for (const std::string& call : calls) {
    if (call.find(text) != std::string::npos) return true;
  }
  return false;
}

TEST_F(OdbcFaultTest, AllocationFailures) {
  const struct {
    const char* query;
    const char* fault;
    const char* id;
    std::vector<std::string> calls;
  } cases[] = {
      {"", "AllocEnv", "0", {"SQLAllocEnv"}},
      {"ID=100", "AllocEnv", "100", {"SQLAllocEnv"}},
      {"X=1",
       "AllocConnect",
       "0",
       {"SQLAllocEnv", "SQLAllocConnect", "SQLFreeEnv"}},
      {"ID=200",
       "AllocStmt",
       "200",
       {"SQLAllocEnv", "SQLAllocConnect", "SQLSetConnectOption 103",
        "SQLSetConnectOption 101", "SQLConnect Veloran", "SQLAllocStmt",
        "SQLDisconnect", "SQLFreeConnect", "SQLFreeEnv"}},
  };
  for (const auto& c : cases) {
    FaultRun run = Run(c.query, c.fault);
    EXPECT_EQ(run.result.output, NoMatchPage(c.id)) << c.fault;
    EXPECT_EQ(run.result.status, 255) << c.fault;
    EXPECT_EQ(run.calls, c.calls) << c.fault;
  }
}

TEST_F(OdbcFaultTest, ConnectionRefusedWithoutDiagnostic) {
  FaultRun run = Run("", "Connect;Error");
  EXPECT_EQ(run.result.output,
            "Content-type: text/plain\n\nSQLConnect() failed!!\n");
  EXPECT_EQ(run.result.status, 0);
  // No disconnect after a connection that never was.
  EXPECT_EQ(
      Tail(run.calls, 3),
      (std::vector<std::string>{"SQLError", "SQLFreeConnect", "SQLFreeEnv"}));
  EXPECT_FALSE(Called(run.calls, "SQLDisconnect"));
}

TEST_F(OdbcFaultTest, CloseOrder) {
  FaultRun run = Run("ID=100", "");
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(Tail(run.calls, 4), kClose);
  // The centre star without a usable position: closed, then the no-match page.
  run = Run("ID=900", "");
  EXPECT_EQ(run.result.output, NoMatchPage("900"));
  EXPECT_EQ(run.result.status, 255);
  EXPECT_EQ(Tail(run.calls, 4), kClose);
}

const char kIncomplete[] =
    "<BR>The star database could not be read completely.\n";

// The line on standard error for a fault that the double injected.
std::string Unread(const std::string& state, const std::string& fault) {
  return "neighbor_search: the star database could not be read: " + state +
         " [odbc double] injected fault " + fault + "\n";
}

// Every failed read ends the page so that it does not pass for the whole
// answer, with one line on standard error and status 255; a statement that
// executes with information is no failed read (but for the scan's own).
TEST_F(OdbcFaultTest, ScanFailures) {
  const std::string head = PageHead("Veloran near-coordinate search results");
  const std::string heading = kHeadingAtOrigin;
  const std::string all = Line("100", "Sol", ", class G2 V") +
                          Line("200", "Henry Draper 2") + Line("300", "") +
                          Line("400", "") + Line("500", "");
  const struct {
    const char* fault;
    std::string body;
    std::string errors;  // "": exit status 0
  } cases[] = {
      {"ExecFail:FROM Positions",
       heading + "<BR>Internal error: Database query failed.\n",
       Unread("HY000", "ExecFail:FROM Positions")},
      {"ExecInfo:FROM Positions",
       heading + "<BR>Internal error: Database query failed.\n",
       Unread("01000", "ExecInfo:FROM Positions")},
      // A fetch error part-way, and at once: what was ranked is not listed.
      {"FetchFail:FROM Positions:2", heading + kIncomplete,
       Unread("HY000", "FetchFail after 2 rows")},
      {"FetchFail:FROM Positions:0", heading + kIncomplete,
       Unread("HY000", "FetchFail after 0 rows")},
      // The catalogue table, read before the heading.
      {"ExecFail:FROM CatalogNames", kIncomplete,
       Unread("HY000", "ExecFail:FROM CatalogNames")},
      {"FetchFail:COUNT(*):0", kIncomplete,
       Unread("HY000", "FetchFail after 0 rows")},
      {"FetchFail:HasNoCatNumbers FROM:0", kIncomplete,
       Unread("HY000", "FetchFail after 0 rows")},
      // Counted with information: no table, designations keep their
      // abbreviation.
      {"ExecInfo:COUNT(*)",
       heading + Line("100", "Sol", ", class G2 V") + Line("200", "HD 2") +
           Line("300", "") + Line("400", "") + Line("500", ""),
       ""},
      // The look-ups of the listing: the lines before the failed one stay.
      {"ExecFail:FROM ProperNames", heading + kIncomplete,
       Unread("HY000", "ExecFail:FROM ProperNames")},
      {"FetchFail:FROM ProperNames:0", heading + kIncomplete,
       Unread("HY000", "FetchFail after 0 rows")},
      {"ExecFail:FROM CatalogNumbers",
       heading + Line("100", "Sol", ", class G2 V") + kIncomplete,
       Unread("HY000", "ExecFail:FROM CatalogNumbers")},
      {"ExecFail:Spectra WHERE OwnerID = 301",
       heading + Line("100", "Sol", ", class G2 V") +
           Line("200", "Henry Draper 2") + kIncomplete,
       Unread("HY000", "ExecFail:Spectra WHERE OwnerID = 301")},
      {"FetchFail:FROM Spectra:0", heading + kIncomplete,
       Unread("HY000", "FetchFail after 0 rows")},
      // A spectrum executed with information: no class.
      {"ExecInfo:FROM Spectra",
       heading + Line("100", "Sol") + Line("200", "Henry Draper 2") +
           Line("300", "") + Line("400", "") + Line("500", ""),
       ""},
      {"", heading + all, ""},
  };
  for (const auto& c : cases) {
    FaultRun run = Run("", c.fault);
    EXPECT_EQ(run.result.output, head + c.body + kPageTail) << c.fault;
    EXPECT_EQ(run.result.status, c.errors.empty() ? 0 : 255) << c.fault;
    EXPECT_EQ(run.result.errors, c.errors) << c.fault;
  }
}

TEST_F(OdbcFaultTest, StarSearchFailures) {
  const std::string head = PageHead("Veloran neighbor search results");
  const struct {
    const char* query;
    const char* fault;
    std::string output;
    std::string errors;
  } cases[] = {
      // The centre's position: the page of a star not found, as ever.
      {"ID=100", "FetchFail:FROM Positions WHERE OwnerID = 100:0",
       NoMatchPage("100"), Unread("HY000", "FetchFail after 0 rows")},
      {"ID=100", "ExecFail:FROM Positions WHERE OwnerID = 100",
       NoMatchPage("100"),
       Unread("HY000", "ExecFail:FROM Positions WHERE OwnerID = 100")},
      // The centre's name, before the heading.
      {"ID=100", "ExecFail:INT(OwnerID/100) = 1 ",
       head + kIncomplete + kPageTail,
       Unread("HY000", "ExecFail:INT(OwnerID/100) = 1 ")},
      {"ID=100", "ExecFail:FROM CatalogNames", head + kIncomplete + kPageTail,
       Unread("HY000", "ExecFail:FROM CatalogNames")},
  };
  for (const auto& c : cases) {
    FaultRun run = Run(c.query, c.fault);
    EXPECT_EQ(run.result.output, c.output) << c.fault;
    EXPECT_EQ(run.result.status, 255) << c.fault;
    EXPECT_EQ(run.result.errors, c.errors) << c.fault;
  }
}

TEST_F(OdbcFaultTest, ProperNamesWithInfoIsNoName) {
  // The statement "succeeded with information": no name, and CatalogNumbers
  // is not tried in its place; no read failed.
  FaultRun run = Run("ID=100&ly=2", "ExecInfo:FROM ProperNames");
  EXPECT_EQ(run.result.output,
            PageHead("Veloran neighbor search results") +
                "<CENTER><H3>Stars within 2 light-years of :</H3></CENTER>\n" +
                Line("200", "") + Line("300", "") + Line("400", "") +
                Line("500", "") + kPageTail);
  EXPECT_EQ(run.result.status, 0);
  EXPECT_FALSE(Called(run.calls, "FROM CatalogNumbers"));

  // A failed ProperNames fetch is a failed read, not a system without a
  // proper name: CatalogNumbers is not tried either.
  run = Run("ID=100&ly=2", "FetchFail:FROM ProperNames:0");
  EXPECT_EQ(run.result.status, 255);
  EXPECT_FALSE(Called(run.calls, "FROM CatalogNumbers"));
}

}  // namespace
}  // namespace veloran::testing
