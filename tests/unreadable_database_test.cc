// Databases that cannot be read whole, through the real driver manager and
// driver: a row that does not convert to its column's type (written with
// the CHECK constraints off), an index damaged (its pages another
// table's) and a data source without the dialect extension, so that the
// statements' INT is missing.  A request that meets
// such a read never passes for a complete answer: each program ends its
// page so, writes one line with the diagnostic on standard error and exits
// with 255, while requests that read nothing unreadable are answered as
// ever.

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/reply_check.h"
#include "tests/test_support.h"

namespace veloran::testing {
namespace {

const char kIncompleteLine[] =
    "<BR>The star database could not be read completely.";

// The sample, with one value of Sirius's position row that its column's
// type cannot hold.
TestDatabase UnconvertibleCopy(const std::string& name, const char* change) {
  return SampleCopy(name, std::string("PRAGMA ignore_check_constraints = 1; "
                                      "UPDATE Positions SET ") +
                              change + " WHERE OwnerID = 323490000;");
}

// The sample's data source without the dialect extension.
TestDatabase WithoutDialect(const std::string& name) {
  TestDatabase database = SampleCopy(name, "");
  std::string ini = ReadFile(database.odbcDir + "/odbc.ini");
  std::istringstream in(ini);
  std::ofstream out(database.odbcDir + "/odbc.ini", std::ios::trunc);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("LoadExt=", 0) != 0) out << line << "\n";
  }
  return database;
}

// The last line of a result page's body, before "</BODY>" and "</HTML>".
std::string LastLineOfBody(const std::string& page) {
  size_t tail = page.rfind("</BODY>\n");
  if (tail == std::string::npos || tail == 0) return "";
  size_t start = page.rfind('\n', tail - 2);
  return page.substr(start + 1, tail - start - 2);
}

enum class Program { kSearch, kEntry, kFinder };

struct UnreadableCase {
  Program program;
  const char* query;
  // What ends the reply: for the search, the last line of the page's body
  // (or "no match" for the page of a star that was not found); for the
  // site's programs, a golden page ("" for any complete page of status
  // 200, 302 or 404).
  const char* ending;
  // The head of the one line on standard error, "" for none, with exit
  // status 0.
  const char* error;
};

void ExpectAnswers(const TestDatabase& database, const UnreadableCase* cases,
                   size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const UnreadableCase& c = cases[i];
    const std::string program = c.program == Program::kSearch  ? ProgramPath()
                                : c.program == Program::kEntry ? EntryPagePath()
                                                               : FindStarPath();
    ProgramResult result = RunProgram(program, c.query, database.odbcDir);
    std::string why;
    if (c.program == Program::kSearch) {
      EXPECT_TRUE(IsCompleteReply(result.output, &why)) << c.query << why;
      if (std::string(c.ending) == "no match") {
        EXPECT_EQ(result.output, NoMatchPage(c.query + 3)) << c.query;
      } else {
        EXPECT_EQ(LastLineOfBody(result.output), c.ending) << c.query;
      }
    } else if (c.ending[0] != '\0') {
      EXPECT_TRUE(MatchesGolden(result.output, c.ending)) << c.query;
    } else {
      EXPECT_TRUE(IsCompleteSitePage(result.output, "200 302 404", &why))
          << c.query << ": " << why;
    }
    if (c.error[0] == '\0') {
      EXPECT_EQ(result.status, 0) << c.query;
      EXPECT_EQ(result.errors, "") << c.query;
    } else {
      EXPECT_EQ(result.status, 255) << c.query;
      EXPECT_EQ(result.errors.rfind(c.error, 0), 0u)
          << c.query << ": " << result.errors;
      EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1)
          << c.query << ": " << result.errors;
    }
  }
}

TEST(UnreadableDatabaseTest, DeclinationOutOfItsType) {
  // Debian's driver hands the value on wrapped into 16 bits.
  if (TestDriver() != "veloran") GTEST_SKIP() << "the project's driver only";
  TestDatabase database =
      UnconvertibleCopy("unreadable_declination", "Dec_deg = 40000");
  const char* const unread =
      "neighbor_search: the star database could not be read: 22003 ";
  const UnreadableCase cases[] = {
      // The scan meets Sirius's row whatever the window.
      {Program::kSearch, "ID=100&ly=20", kIncompleteLine, unread},
      {Program::kSearch, "", kIncompleteLine, unread},
      {Program::kSearch, "ly=3", kIncompleteLine, unread},
      // The centre's own position: no page of results at all.
      {Program::kSearch, "ID=323490000", "no match", unread},
      {Program::kEntry, "ID=323490000", "entry_database_fault.html",
       "entry_page.exe: the star database could not be read: 22003 "},
      // The Sun's map of its neighbourhood: the scan meets Sirius's row.
      {Program::kEntry, "ID=100", "entry_database_fault.html",
       "entry_page.exe: the stars around it could not be read: 22003 "},
      // The finder reads the distance alone.
      {Program::kFinder, "name=Sirius", "", ""},
  };
  ExpectAnswers(database, cases, std::size(cases));
}

TEST(UnreadableDatabaseTest, DistanceThatIsText) {
  if (TestDriver() != "veloran") GTEST_SKIP() << "the project's driver only";
  TestDatabase database =
      UnconvertibleCopy("unreadable_distance", "Distance = 'far'");
  // A data exception, of SQLSTATE class 22.
  const UnreadableCase cases[] = {
      {Program::kSearch, "", kIncompleteLine,
       "neighbor_search: the star database could not be read: 22"},
      {Program::kEntry, "ID=323490000", "entry_database_fault.html",
       "entry_page.exe: the star database could not be read: 22"},
      {Program::kFinder, "name=Sirius", "entry_database_fault.html",
       "find_star: the NameLookup table could not be read"},
      {Program::kFinder, "name=Barnard", "", ""},
  };
  ExpectAnswers(database, cases, std::size(cases));
}

// The index of the proper names' keys, which the finder reads for its
// suggestions, pointed at the pages of Positions: the statement is
// accepted, as on a sound database, and fails when it runs.
TEST(UnreadableDatabaseTest, DamagedIndexOfProperKeys) {
  TestDatabase database = SampleCopy(
      "unreadable_proper_keys",
      "PRAGMA writable_schema = ON; UPDATE sqlite_master SET rootpage = "
      "(SELECT rootpage FROM sqlite_master WHERE name = 'Positions') "
      "WHERE name = 'NameLookupProperKeys';");
  const UnreadableCase cases[] = {
      // A name not found: its suggestions read the index.
      {Program::kFinder, "name=Sxrius", "entry_database_fault.html",
       "find_star: the NameLookup table could not be read"},
      // Names found read it not.
      {Program::kFinder, "name=Sirius", "", ""},
      {Program::kFinder, "name=alpha+Cen", "", ""},
  };
  ExpectAnswers(database, cases, std::size(cases));
}

TEST(UnreadableDatabaseTest, DataSourceWithoutTheDialect) {
  TestDatabase database = WithoutDialect("unreadable_dialect");
  const char* const unread =
      "neighbor_search: the star database could not be read: ";
  const UnreadableCase cases[] = {
      // The centre's name, before the heading.
      {Program::kSearch, "ID=100&ly=20", kIncompleteLine, unread},
      // The first star's name, before its line.
      {Program::kSearch, "", kIncompleteLine, unread},
      {Program::kEntry, "ID=323490000", "entry_database_fault.html",
       "entry_page.exe: the star database could not be read: "},
      // A redirect reads no display name; a list does.
      {Program::kFinder, "name=Sirius", "", ""},
      {Program::kFinder, "name=alpha+Cen", "entry_database_fault.html",
       "find_star: the star database could not be read: "},
  };
  ExpectAnswers(database, cases, std::size(cases));
}

}  // namespace
}  // namespace veloran::testing
