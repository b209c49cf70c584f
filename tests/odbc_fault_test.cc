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

TEST_F(OdbcFaultTest, ScanFailures) {
  const std::string head = PageHead("Veloran near-coordinate search results");
  const struct {
    const char* fault;
    std::string listing;
  } cases[] = {
      {"ExecFail:FROM Positions",
       "<BR>Internal error: Database query failed.\n"},
      {"ExecInfo:FROM Positions",
       "<BR>Internal error: Database query failed.\n"},
      // A fetch error part-way: the stars ranked so far, without a message.
      {"FetchFail:FROM Positions:2",
       Line("100", "Sol", ", class G2 V") + Line("200", "Henry Draper 2")},
      {"FetchFail:FROM Positions:0",
       "<BR>No neighboring stars were found in the Veloran.\n"},
      // Without the catalogue table, designations keep their abbreviation.
      {"ExecFail:FROM CatalogNames", Line("100", "Sol", ", class G2 V") +
                                         Line("200", "HD 2") + Line("300", "") +
                                         Line("400", "") + Line("500", "")},
      {"FetchFail:COUNT(*):0", Line("100", "Sol", ", class G2 V") +
                                   Line("200", "HD 2") + Line("300", "") +
                                   Line("400", "") + Line("500", "")},
      // A spectrum that cannot be read: no class.
      {"ExecInfo:FROM Spectra",
       Line("100", "Sol") + Line("200", "Henry Draper 2") + Line("300", "") +
           Line("400", "") + Line("500", "")},
  };
  for (const auto& c : cases) {
    FaultRun run = Run("", c.fault);
    EXPECT_EQ(run.result.output,
              head + kHeadingAtOrigin + c.listing + kPageTail)
        << c.fault;
    EXPECT_EQ(run.result.status, 0) << c.fault;
  }
}

TEST_F(OdbcFaultTest, ProperNamesWithInfoIsAFailure) {
  // The statement "succeeded with information": no name, and CatalogNumbers
  // is not tried in its place.
  FaultRun run = Run("ID=100&ly=2", "ExecInfo:FROM ProperNames");
  EXPECT_EQ(run.result.output,
            PageHead("Veloran neighbor search results") +
                "<CENTER><H3>Stars within 2 light-years of :</H3></CENTER>\n" +
                Line("200", "") + Line("300", "") + Line("400", "") +
                Line("500", "") + kPageTail);
  EXPECT_FALSE(Called(run.calls, "FROM CatalogNumbers"));

  // A failed ProperNames fetch does fall back to CatalogNumbers.
  run = Run("ID=100&ly=2", "FetchFail:FROM ProperNames:0");
  EXPECT_TRUE(Called(run.calls, "FROM CatalogNumbers"));
}

}  // namespace
}  // namespace veloran::testing
