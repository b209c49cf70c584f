// veloran-check-database run as an operator runs it, through the real
// driver manager and driver: a row deep in a table that the pages cannot
// read passes the health check, which reads one row of each table, and is
// named by the command, which reads them all.

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace veloran::testing {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.rfind(start, 0) == 0;
}

ProgramResult CheckDatabase(const TestDatabase& database,
                            std::vector<std::string> options = {}) {
  options.insert(options.begin(), VELORAN_CHECK_DATABASE);
  return RunCommand(options, database.odbcDir);
}

// The same, linked with the ODBC double, with faults injected.
ProgramResult CheckDatabaseWithFaults(const TestDatabase& database,
                                      const std::string& faults) {
  return RunCommand({"/usr/bin/env", "VELORAN_ODBC_FAULTS=" + faults,
                     VELORAN_CHECK_DATABASE_DOUBLE},
                    database.odbcDir);
}

// The last row of "table" as stored, which the health check never reads.
std::string LastRow(const std::string& table) {
  return " WHERE rowid = (SELECT max(rowid) FROM " + table + ")";
}

TEST(CheckDatabaseTest, SampleIsReadWhole) {
  ProgramResult result = CheckDatabase(SampleDatabase());
  EXPECT_EQ(result.status, 0) << result.errors;
  std::vector<std::string> lines = Lines(result.output);
  ASSERT_EQ(lines.size(), 1u) << result.output;
  EXPECT_TRUE(StartsWith(lines[0],
                         "Veloran: every row the pages read was read: "))
      << lines[0];
  // Progress is for a terminal only.
  EXPECT_EQ(result.errors, "");
}

// One row deep in a table, changed with the CHECK constraints off into a
// value that the pages' binding of its column cannot take: the health
// check passes the database, the command names the row and its column.
TEST(CheckDatabaseTest, RowsThatHealthDoesNotRead) {
  // Debian's driver converts what it cannot hold without a word.
  if (TestDriver() != "veloran") GTEST_SKIP() << "the project's driver only";
  const struct {
    const char* name;
    std::string change;
    const char* line;  // how the row's line begins, to the SQLSTATE's class
  } cases[] = {
      {"declination_as_text",
       "UPDATE Positions SET Dec_deg = 'north' WHERE OwnerID = 696730000",
       "Positions, OwnerID 696730000, column Dec_deg: 22"},
      {"declination_out_of_range",
       "UPDATE Positions SET Dec_deg = 40000 WHERE OwnerID = 279890000",
       "Positions, OwnerID 279890000, column Dec_deg: 22003 "},
      {"hours_beyond_a_byte",
       "UPDATE Positions SET RA_hr = 300 WHERE OwnerID = 696730000",
       "Positions, OwnerID 696730000, column RA_hr: 22003 "},
      {"owner_as_text",
       "UPDATE Positions SET OwnerID = 'sirius' WHERE OwnerID = 279890000",
       "Positions, the row listed after OwnerID "},
      {"spectrum_date", "UPDATE Spectra SET LastUpdated = 'yesterday'" +
                            LastRow("Spectra"),
       "Spectra, OwnerID "},
      {"magnitude_as_text",
       "UPDATE StarFacts SET VMag = 'bright'" + LastRow("StarFacts"),
       "StarFacts, OwnerID "},
      {"name_without_a_number",
       "UPDATE NameLookup SET OwnerID = 'x'" + LastRow("NameLookup"),
       "NameLookup, Key \""},
  };
  for (const auto& c : cases) {
    TestDatabase database =
        SampleCopy(std::string("check_") + c.name,
                   "PRAGMA ignore_check_constraints = 1; " + c.change);
    ProgramResult health = RunProgram(VELORAN_HEALTH, nullptr, database.odbcDir);
    EXPECT_EQ(health.status, 0) << c.name << ": " << health.errors;
    EXPECT_NE(health.output.find("\n\nok\n"), std::string::npos) << c.name;

    ProgramResult result = CheckDatabase(database);
    EXPECT_EQ(result.status, 1) << c.name << ": " << result.errors;
    std::vector<std::string> lines = Lines(result.output);
    ASSERT_EQ(lines.size(), 2u) << c.name << ": " << result.output;
    EXPECT_TRUE(StartsWith(lines[0], c.line)) << c.name << ": " << lines[0];
    EXPECT_TRUE(StartsWith(lines[1], "Veloran: 1 of ")) << c.name << ": "
                                                        << lines[1];
  }
}

// What an older database lacks, the pages do without, and so does the
// command; a table that they need, empty, is a fault as in the health
// check.
TEST(CheckDatabaseTest, TablesThePagesDoWithout) {
  const struct {
    const char* name;
    const char* change;
    int status;
    const char* line;  // the first line; "" for the last line alone
  } cases[] = {
      {"star_facts_dropped", "DROP TABLE StarFacts", 0, ""},
      {"star_facts_empty", "DELETE FROM StarFacts", 0, ""},
      {"proper_keys_dropped", "DROP INDEX NameLookupProperKeys", 0, ""},
      {"database_info_dropped", "DROP TABLE DatabaseInfo", 0, ""},
      {"spectra_empty", "DELETE FROM Spectra", 1,
       "Spectra: has no row to read"},
      {"positions_dropped", "DROP TABLE Positions", 1, "Positions: "},
  };
  for (const auto& c : cases) {
    TestDatabase database = SampleCopy(std::string("check_") + c.name,
                                       c.change);
    ProgramResult result = CheckDatabase(database);
    EXPECT_EQ(result.status, c.status) << c.name << ": " << result.errors;
    std::vector<std::string> lines = Lines(result.output);
    ASSERT_EQ(lines.size(), c.line[0] == '\0' ? 1u : 2u)
        << c.name << ": " << result.output;
    EXPECT_TRUE(StartsWith(lines[0], c.line)) << c.name << ": " << lines[0];
  }
}

// Every row of Positions unreadable: twenty lines, then how many more, and
// the count of all.
TEST(CheckDatabaseTest, ManyFaultsAreCounted) {
  if (TestDriver() != "veloran") GTEST_SKIP() << "the project's driver only";
  TestDatabase database = SampleCopy(
      "check_every_distance",
      "PRAGMA ignore_check_constraints = 1; UPDATE Positions SET Distance = "
      "'far'");
  ProgramResult result = CheckDatabase(database);
  EXPECT_EQ(result.status, 1);
  std::vector<std::string> lines = Lines(result.output);
  ASSERT_EQ(lines.size(), 22u) << result.output;
  for (int i = 0; i < 20; ++i) {
    EXPECT_TRUE(StartsWith(lines[i], "Positions, OwnerID ")) << lines[i];
    EXPECT_NE(lines[i].find(", column Distance: 22"), std::string::npos)
        << lines[i];
  }
  EXPECT_TRUE(StartsWith(lines[20], "and ")) << lines[20];
  std::string more = lines[20].substr(4, lines[20].size() - 9);
  EXPECT_EQ(lines[20], "and " + more + " more");
  EXPECT_TRUE(StartsWith(lines[21], "Veloran: " +
                                        std::to_string(20 + std::stoi(more)) +
                                        " of "))
      << lines[21];
}

// A data source of another name, and what keeps the command from reading:
// each exits with 2 and says what to do on standard error.
TEST(CheckDatabaseTest, DataSourceAndUsage) {
  TestDatabase database = SampleCopy("check_other_name", "");
  std::string ini = ReadFile(database.odbcDir + "/odbc.ini");
  ASSERT_EQ(ini.rfind("[Veloran]\n", 0), 0u) << ini;
  std::ofstream(database.odbcDir + "/odbc.ini", std::ios::trunc)
      << "[Stars]\n" << ini.substr(10);

  ProgramResult named = CheckDatabase(database, {"--dsn", "Stars"});
  EXPECT_EQ(named.status, 0) << named.errors;
  EXPECT_TRUE(StartsWith(named.output, "Stars: every row")) << named.output;

  const struct {
    std::vector<std::string> options;
    const char* error;  // how standard error begins
  } cases[] = {
      {{}, "veloran-check-database: the data source Veloran refused the "
           "connection: IM002 "},
      {{"--dsn", "Nowhere"},
       "veloran-check-database: the data source Nowhere refused the "
       "connection: IM002 "},
      {{"--dsn"}, "veloran-check-database: --dsn takes the name of a data "
                  "source\nusage: "},
      {{"Stars"}, "veloran-check-database: unknown argument\nusage: "},
  };
  for (const auto& c : cases) {
    ProgramResult result = CheckDatabase(database, c.options);
    std::string label = c.options.empty() ? "(none)" : c.options[0];
    EXPECT_EQ(result.status, 2) << label;
    EXPECT_EQ(result.output, "") << label;
    EXPECT_TRUE(StartsWith(result.errors, c.error)) << label << ": "
                                                    << result.errors;
  }
  // A refused connection says where the data source is written.
  EXPECT_NE(CheckDatabase(database).errors.find("veloran-use-database(8)"),
            std::string::npos);
}

// What only the double makes happen: a listing or a read refused, a
// statement answered with information and no diagnostic, a driver that
// fails every fetch from some row on, and no connection.
TEST(CheckDatabaseTest, InjectedFaults) {
  const TestDatabase& database = SampleDatabase();
  const struct {
    const char* faults;
    int status;
    const char* first;  // how the first line (of standard error for 2) begins
    const char* more;   // the line of faults not written; "" for none
  } cases[] = {
      {"ExecFail:SELECT OwnerID FROM StarFacts", 1, "StarFacts: HY000 ", ""},
      {"ExecInfo:SELECT OwnerID FROM StarFacts", 1,
       "StarFacts: could not be read\n", ""},
      {"ExecFail:INT(OwnerID/100)", 1, "ProperNames, OwnerID ", "and "},
      // After 3 keys every fetch fails: 100 are counted, then the table is
      // left, and the tables after it are read.
      {"FetchFail:SELECT OwnerID FROM Spectra:3", 1,
       "Spectra, the row listed after OwnerID ", "and 81 more"},
      {"Connect", 2,
       "veloran-check-database: the data source Veloran refused the "
       "connection",
       ""},
      {"AllocStmt", 2,
       "veloran-check-database: no ODBC handle could be allocated\n", ""},
  };
  for (const auto& c : cases) {
    ProgramResult result = CheckDatabaseWithFaults(database, c.faults);
    EXPECT_EQ(result.status, c.status) << c.faults << ": " << result.errors;
    const std::string& first = c.status == 2 ? result.errors : result.output;
    EXPECT_TRUE(StartsWith(first, c.first)) << c.faults << ": " << first;
    if (c.status == 2) continue;
    std::vector<std::string> lines = Lines(result.output);
    ASSERT_GE(lines.size(), 2u) << c.faults;
    std::string more = lines.size() > 2 ? lines[lines.size() - 2] : "";
    EXPECT_TRUE(c.more[0] == '\0' ? lines.size() == 2 : StartsWith(more, c.more))
        << c.faults << ": " << result.output;
    EXPECT_TRUE(StartsWith(lines.back(), "Veloran: ")) << c.faults;
  }
}

}  // namespace
}  // namespace veloran::testing
