// The health check run as a web server runs it, through the real driver
// manager and driver (and through the ODBC double for what a real driver
// does not do): "ok" on a database that the pages can read, 503 and one
// line on standard error for every way they could not.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace veloran::testing {
namespace {

// The reply "ok" with the state of the position index: its word, and the
// line that says why it is not in use (none when it is).
std::string Healthy(const std::string& index, const std::string& why = "") {
  return "Content-Type: text/plain; charset=us-ascii\n"
         "Cache-Control: no-store\n"
         "Veloran-Position-Index: " +
         index + "\n\nok\n" + (why.empty() ? "" : why + "\n");
}

// The reply on the sample, whose index Debian's driver does not read.
std::string HealthySample() {
  if (ReadsPositionIndex("PositionIndex")) return Healthy("in-use");
  return Healthy("inexact-driver",
                 "the ODBC driver does not deliver the index's numbers bit "
                 "for bit (as Debian's SQLite driver does not), so the index "
                 "is not used; the project's driver reads it");
}

const char kUnhealthy[] =
    "Status: 503 Service Unavailable\n"
    "Content-Type: text/plain; charset=us-ascii\n"
    "Cache-Control: no-store\n"
    "\n"
    "unavailable\n";

// The lines of "text" that the health check wrote (the driver may log its
// own).
std::vector<std::string> HealthLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("health: ", 0) == 0) lines.push_back(line);
  }
  return lines;
}

// A failed check: the 503 reply, exit status 255, and on standard error one
// line that begins with "error" and ends the output.
void ExpectUnhealthy(const ProgramResult& result, const std::string& error,
                     const std::string& label) {
  EXPECT_EQ(result.output, kUnhealthy) << label;
  EXPECT_EQ(result.status, 255) << label;
  std::vector<std::string> lines = HealthLines(result.errors);
  ASSERT_EQ(lines.size(), 1u) << label << ": " << result.errors;
  EXPECT_EQ(lines[0].rfind(error, 0), 0u) << label << ": " << result.errors;
  EXPECT_TRUE(result.errors.ends_with(lines[0] + "\n"))
      << label << ": " << result.errors;
}

TEST(HealthTest, SampleIsHealthyWhateverTheQuery) {
  const TestDatabase& database = SampleDatabase();
  for (const char* query : {static_cast<const char*>(nullptr), "", "full=1",
                            "x=%0D%0AStatus:+500", "ID=100&ly=20"}) {
    ProgramResult result = RunProgram(VELORAN_HEALTH, query, database.odbcDir);
    EXPECT_EQ(result.output, HealthySample()) << (query ? query : "(none)");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.errors, "");
  }
}

// Each table the pages need, emptied, dropped or holding a value of the
// wrong type, fails the check and is named.
TEST(HealthTest, EveryTableThePagesNeed) {
  const struct {
    const char* name;
    const char* change;
    const char* error;
  } cases[] = {
      {"empty_catalog_names", "DELETE FROM CatalogNames",
       "health: the table CatalogNames has no row to read"},
      {"empty_positions", "DELETE FROM Positions",
       "health: the table Positions has no row to read"},
      {"empty_spectra", "DELETE FROM Spectra",
       "health: the table Spectra has no row to read"},
      {"no_system_names", "UPDATE ProperNames SET IsSystemName = 0",
       "health: the table ProperNames has no row to read"},
      {"empty_catalog_numbers", "DELETE FROM CatalogNumbers",
       "health: the table CatalogNumbers has no row to read"},
      {"empty_name_lookup", "DELETE FROM NameLookup",
       "health: the table NameLookup has no row to read"},
      // The first position the check reads, with a declination that its
      // 16-bit binding cannot hold.
      {"unconvertible_declination",
       "PRAGMA ignore_check_constraints = 1; UPDATE Positions SET Dec_deg = "
       "40000 WHERE OwnerID = (SELECT OwnerID FROM Positions LIMIT 1)",
       "health: the table Positions could not be read: 22003 "},
      // The index of the proper names' keys, pointed at the pages of
      // Positions: accepted, as on a sound database, and failing to run.
      {"damaged_proper_keys",
       "PRAGMA writable_schema = ON; UPDATE sqlite_master SET rootpage = "
       "(SELECT rootpage FROM sqlite_master WHERE name = 'Positions') "
       "WHERE name = 'NameLookupProperKeys'",
       "health: the table NameLookup (index NameLookupProperKeys) could not "
       "be read: "},
      {"distance_as_text",
       "PRAGMA ignore_check_constraints = 1; UPDATE Positions SET Distance = "
       "'far' WHERE OwnerID = (SELECT OwnerID FROM Positions LIMIT 1)",
       "health: the table Positions could not be read: 22"},
  };
  for (const auto& c : cases) {
    // Debian's driver converts what it cannot hold without a word.
    if (TestDriver() != "veloran" && std::string(c.error).find(": 22") !=
                                         std::string::npos) {
      continue;
    }
    TestDatabase database = SampleCopy(std::string("health_") + c.name, c.change);
    ExpectUnhealthy(RunProgram(VELORAN_HEALTH, nullptr, database.odbcDir),
                    c.error, c.name);
  }
}

// The entry page does without StarFacts (an older database), and so does
// the check: missing or empty, the node serves.  So it does without the
// index of the proper names' keys, without which the finder offers no
// suggestions.
TEST(HealthTest, WhatAnOlderDatabaseLacks) {
  const struct {
    const char* name;
    const char* change;
  } cases[] = {{"star_facts_empty", "DELETE FROM StarFacts"},
               {"star_facts_dropped", "DROP TABLE StarFacts"},
               {"proper_keys_dropped", "DROP INDEX NameLookupProperKeys"}};
  for (const auto& c : cases) {
    TestDatabase database =
        SampleCopy(std::string("health_older_") + c.name, c.change);
    ProgramResult result = RunProgram(VELORAN_HEALTH, nullptr, database.odbcDir);
    EXPECT_EQ(result.output, HealthySample()) << c.name;
    EXPECT_EQ(result.errors, "") << c.name;
  }
}

// A position without an OwnerID is no star's, and no page looks it up: the
// node serves, though such rows come first in the index of OwnerID.
TEST(HealthTest, PositionWithoutAnOwner) {
  TestDatabase database = SampleCopy(
      "health_position_without_owner",
      "INSERT INTO Positions (OwnerID, Distance) VALUES (NULL, 1)");
  ProgramResult result = RunProgram(VELORAN_HEALTH, nullptr, database.odbcDir);
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.output.find("\n\nok\n"), std::string::npos)
      << result.output;
  EXPECT_EQ(result.errors, "");
}

// The position index that the pages would read, or why they do not: a node
// without it is as healthy, and says so, in the header and in the body.
TEST(HealthTest, StatesOfThePositionIndex) {
  if (!ReadsPositionIndex("PositionIndex")) {
    GTEST_SKIP() << "the project's driver only";
  }
  const struct {
    const char* name;
    const char* change;
    const char* word;
    const char* why;  // how the body's second line begins
  } cases[] = {
      {"kept", "", "in-use", ""},
      {"none", kDropPositionIndex, "missing",
       "the database has no position index"},
      // Any change of Positions, through the triggers.
      {"updated", "UPDATE Positions SET Distance = 9 WHERE OwnerID = 323490000",
       "stale", "the position index is stale"},
      {"inserted",
       "INSERT INTO Positions (OwnerID, Distance) VALUES (99999900, 1)",
       "stale", "the position index is stale"},
      {"deleted", "DELETE FROM Positions WHERE OwnerID = 323490000", "stale",
       "the position index is stale"},
      {"unguarded", "DROP TRIGGER PositionIndexStaleOnUpdate", "unguarded",
       "a trigger that marks the position index stale"},
      {"other_layout", "UPDATE PositionIndexInfo SET Layout = 2",
       "other-layout", "the position index was built by another version"},
      {"other_arithmetic", "UPDATE PositionIndexInfo SET ConversionCheck = 1",
       "other-arithmetic", "the position index was built by a program"},
      {"inexact", "UPDATE PositionIndexInfo SET DoubleCheck = 0.3",
       "inexact-driver", "the ODBC driver does not deliver"},
      {"unreadable", "ALTER TABLE PositionIndexInfo DROP COLUMN Stars",
       "unreadable", "the position index could not be read"},
  };
  for (const auto& c : cases) {
    TestDatabase database =
        SampleCopy(std::string("health_index_") + c.name, c.change);
    ProgramResult result = RunProgram(VELORAN_HEALTH, nullptr, database.odbcDir);
    EXPECT_EQ(result.status, 0) << c.name;
    EXPECT_EQ(result.errors, "") << c.name;
    std::string start = Healthy(c.word) + c.why;
    EXPECT_EQ(result.output.substr(0, start.size()), start) << c.name;
    EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'),
              c.why[0] == '\0' ? 5 : 6)
        << c.name;
  }
}

// Without the dialect extension the pages' INT(OwnerID/100) is unknown.
TEST(HealthTest, DataSourceWithoutTheDialect) {
  TestDatabase database = SampleCopy("health_without_dialect", "");
  std::string ini = ReadFile(database.odbcDir + "/odbc.ini");
  std::istringstream in(ini);
  std::ofstream out(database.odbcDir + "/odbc.ini", std::ios::trunc);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("LoadExt=", 0) != 0) out << line << "\n";
  }
  out.close();
  ExpectUnhealthy(RunProgram(VELORAN_HEALTH, nullptr, database.odbcDir),
                  "health: the table ProperNames could not be read: ",
                  "without dialect");
}

// The database renamed away under a running site: the search would answer
// its page of a refused connection with 200; the check answers 503, naming
// no path to the visitor.
TEST(HealthTest, DatabaseRenamedAway) {
  TestDatabase database = SampleCopy("health_renamed_away", "");
  std::filesystem::rename(database.path, database.path + ".away");
  ProgramResult result = RunProgram(VELORAN_HEALTH, nullptr, database.odbcDir);
  ExpectUnhealthy(result,
                  "health: the data source Veloran refused the connection",
                  "renamed away");
  std::filesystem::rename(database.path + ".away", database.path);
  EXPECT_EQ(RunProgram(VELORAN_HEALTH, nullptr, database.odbcDir).output,
            HealthySample());
}

// What only the double makes happen: failures whose diagnostics span two
// lines (written on one), a statement of the dialect that fails, and no
// handle at all.
TEST(HealthTest, InjectedFaults) {
  const TestDatabase& database = SampleDatabase();
  const struct {
    const char* faults;
    const char* error;
  } cases[] = {
      {"ExecFail:INT(OwnerID/100)",
       "health: the table ProperNames could not be read: HY000 "},
      {"ExecFail:WHERE n.Key = ?",
       "health: the table NameLookup could not be read: HY000 "},
      {"PrepareFail:WHERE n.Key = ?",
       "health: the table NameLookup could not be read: HY000 "},
      {"ExecFail:INDEXED BY",
       "health: the table NameLookup (index NameLookupProperKeys) could not "
       "be read: HY000 "},
      {"FetchFail:INDEXED BY:0",
       "health: the table NameLookup (index NameLookupProperKeys) could not "
       "be read: HY000 "},
      {"FetchFail:FROM Spectra:0",
       "health: the table Spectra could not be read: HY000 "},
      {"ExecInfo:FROM StarFacts",
       "health: the table StarFacts could not be read"},
      {"Connect", "health: the data source Veloran refused the connection"},
      {"AllocEnv", "health: no ODBC handle could be allocated"},
      {"AllocStmt", "health: no ODBC handle could be allocated"},
  };
  for (const auto& c : cases) {
    ProgramResult result =
        RunProgram(VELORAN_HEALTH_DOUBLE, nullptr, database.odbcDir,
                   {std::string("VELORAN_ODBC_FAULTS=") + c.faults});
    ExpectUnhealthy(result, c.error, c.faults);
  }
}

}  // namespace
}  // namespace veloran::testing
