// The cone search run as a web server runs it, through the real driver
// manager and driver, on the sample database; faults that a real driver
// cannot be made to produce through the ODBC double.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "tests/votable_check.h"

namespace veloran::testing {
namespace {

std::string ConeSearchPath() { return VELORAN_CONE_SEARCH; }
std::string ConeSearchDoublePath() { return VELORAN_CONE_SEARCH_DOUBLE; }

// The replies byte for byte: tables of each verbosity, the columns alone,
// an empty cone, the overflows, and each error as the standard writes it.
TEST(ConeSearchTest, SampleReplies) {
  const struct {
    const char* query;
    const char* golden;
    int status;
  } cases[] = {
      {"RA=217&DEC=-62&SR=3", "cone_alpha_cen.xml", 0},
      {"RA=217&DEC=-62&SR=3&VERB=1", "cone_alpha_cen_verb1.xml", 0},
      {"RA=217&DEC=-62&SR=3&VERB=3", "cone_alpha_cen_verb3.xml", 0},
      {"RA=0&DEC=90&SR=0", "cone_metadata.xml", 0},
      {"RA=217&DEC=-62&SR=3&MAXREC=2", "cone_overflow.xml", 0},
      {"RA=217&DEC=-62&SR=3&MAXREC=0", "cone_maxrec0.xml", 0},
      {"RA=0&DEC=-89&SR=0.5", "cone_empty.xml", 0},
      {nullptr, "cone_no_ra.xml", 255},
      {"RA=as3f&DEC=1&SR=1", "cone_bad_ra.xml", 255},
      {"RA=1&DEC=91&SR=1", "cone_bad_dec.xml", 255},
      {"RA=1&DEC=1&SR=10.5", "cone_sr_too_large.xml", 255},
      {"RA=%3Cscript%3Ealert(1)%3C/script%3E%22%27%26%FF&DEC=1&SR=1",
       "cone_hostile_ra.xml", 255},
      // The rules of DALI.
      {"RA=-0.5&DEC=1&SR=1", "cone_ra_out_of_range.xml", 255},
      {"RA=217&DEC=-62&SR=3&ra=217", "cone_repeated.xml", 255},
      {"RA=217&DEC=-62&SR=3&RESPONSEFORMAT=fits", "cone_format_fits.xml", 255},
      {"RA=217&DEC=-62&SR=3&RESPONSEFORMAT=application/x-votable%2Bxml",
       "cone_format_votable.xml", 0},
  };
  for (const auto& c : cases) {
    const char* label = c.query != nullptr ? c.query : "(absent)";
    ProgramResult result =
        RunProgram(ConeSearchPath(), c.query, SampleDatabase().odbcDir);
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << label;
    EXPECT_EQ(result.status, c.status) << label;
    std::string why;
    EXPECT_TRUE(IsCompleteVoTable(result.output, "200", &why))
        << label << ": " << why;
  }
}

// The replies besides a VOTable table: CSV and its errors, the VOSI
// resources below the service's address, a browser's preflight, and the
// methods and addresses that the service does not answer.
TEST(ConeSearchTest, OtherResourcesAndFormats) {
  const std::vector<std::string> server = {
      "SERVER_NAME=stars.example", "SERVER_PORT=8080",
      "SCRIPT_NAME=/veloran/cgi-bin/cone_search"};
  auto with = [&](std::vector<std::string> more) {
    more.insert(more.end(), server.begin(), server.end());
    return more;
  };
  const struct {
    std::vector<std::string> env;
    const char* query;
    const char* golden;
    int status;
  } cases[] = {
      {{}, "RA=217&DEC=-62&SR=3&RESPONSEFORMAT=csv", "cone_alpha_cen.csv", 0},
      {{},
       "RA=217&DEC=-62&SR=3&MAXREC=1&RESPONSEFORMAT=text/csv",
       "cone_overflow.csv",
       0},
      {{},
       "RA=217&DEC=-62&SR=30&RESPONSEFORMAT=csv",
       "cone_sr_too_large.txt",
       255},
      {with({"PATH_INFO=/capabilities"}), "", "cone_capabilities.xml", 0},
      {with({"PATH_INFO=/capabilities", "VELORAN_CONE_MAX_SR=0.05",
             "VELORAN_CONE_MAX_RECORDS=20",
             "VELORAN_PUBLIC_URL=https://vo.example/stars/"}),
       nullptr, "cone_capabilities_configured.xml", 0},
      {with({"PATH_INFO=/availability"}), "", "cone_available.xml", 0},
      {with({"REQUEST_METHOD=OPTIONS"}), "", "cone_preflight.txt", 0},
      {with({"REQUEST_METHOD=OPTIONS", "PATH_INFO=/capabilities"}), "",
       "cone_preflight_vosi.txt", 0},
      {with({"REQUEST_METHOD=PUT"}), "RA=217&DEC=-62&SR=3",
       "cone_method_not_allowed.xml", 255},
      {with({"REQUEST_METHOD=POST", "PATH_INFO=/availability"}), "",
       "cone_vosi_post.xml", 255},
      {with({"PATH_INFO=/tables"}), "", "cone_no_such_resource.xml", 255},
      {with({"REQUEST_METHOD=POST", "CONTENT_TYPE=text/plain"}), "",
       "cone_post_not_a_form.xml", 255},
  };
  for (const auto& c : cases) {
    ProgramResult result =
        RunProgram(ConeSearchPath(), c.query, SampleDatabase().odbcDir, c.env);
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << c.golden;
    EXPECT_EQ(result.status, c.status) << c.golden;
  }
}

// The availability as the health check finds the database: false, with
// why, when it cannot be read; status 200 either way.
TEST(ConeSearchTest, Availability) {
  const struct {
    const char* faults;
    const char* golden;
    int status;
  } cases[] = {
      {"", "cone_available.xml", 0},
      {"Connect", "cone_unavailable_refused.xml", 255},
      {"ExecFail:FROM Spectra", "cone_unavailable_spectra.xml", 255},
  };
  for (const auto& c : cases) {
    std::vector<std::string> env = {
        "PATH_INFO=/availability",
        std::string("VELORAN_ODBC_FAULTS=") + c.faults};
    ProgramResult result =
        RunProgram(ConeSearchDoublePath(), "", SampleDatabase().odbcDir, env);
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << c.faults;
    EXPECT_EQ(result.status, c.status) << c.faults;
  }
}

// The limits that the operator sets in the environment.
TEST(ConeSearchTest, LimitsOfTheEnvironment) {
  const struct {
    std::vector<std::string> env;
    const char* query;
    const char* golden;
    const char* log;  // standard error
  } cases[] = {
      {{"VELORAN_CONE_MAX_SR=180", "VELORAN_CONE_MAX_RECORDS=5"},
       "RA=0&DEC=0&SR=180",
       "cone_whole_sky_5.xml",
       ""},
      {{"VELORAN_CONE_MAX_SR=2"},
       "RA=217&DEC=-62&SR=3",
       "cone_sr_above_2.xml",
       ""},
      {{"VELORAN_CONE_MAX_SR=ten", "VELORAN_CONE_MAX_RECORDS=0"},
       "RA=217&DEC=-62&SR=3",
       "cone_alpha_cen.xml",
       "cone_search: VELORAN_CONE_MAX_SR is no radius above 0 and at most 180 "
       "degrees; 10 is used\n"
       "cone_search: VELORAN_CONE_MAX_RECORDS is no number of rows from 1 to "
       "1000000; 10000 is used\n"},
  };
  for (const auto& c : cases) {
    ProgramResult result =
        RunProgram(ConeSearchPath(), c.query, SampleDatabase().odbcDir, c.env);
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << c.golden;
    EXPECT_EQ(result.errors, c.log) << c.golden;
  }
}

// Faults: each gives one whole error VOTable with a 5xx status, never a
// part of a table, and one line on standard error.
TEST(ConeSearchTest, InjectedFaults) {
  auto unreadable = [](const std::string& fault) {
    return "cone_search: the star database could not be read: HY000 [odbc "
           "double] injected fault " +
           fault + "\n";
  };
  // The stars of the cone come from the sample's position index, or,
  // without it, from the scan of Positions.
  const TestDatabase& indexed = SampleDatabase();
  const TestDatabase& scanned = SampleWithoutIndex();
  const struct {
    const char* faults;
    const char* golden;
    std::string log;
    const TestDatabase& database;
  } cases[] = {
      {"AllocEnv", "cone_database_fault.xml",
       "cone_search: no ODBC handle could be allocated\n", indexed},
      {"Connect", "cone_unavailable.xml",
       "cone_search: the data source Veloran refused the connection\n",
       indexed},
      {"ExecFail:FROM Positions", "cone_database_fault.xml",
       unreadable("ExecFail:FROM Positions"), scanned},
      {"ExecInfo:FROM Positions", "cone_database_fault.xml",
       "cone_search: the star database could not be read: 01000 [odbc double] "
       "injected fault ExecInfo:FROM Positions\n",
       scanned},
      {"FetchFail:FROM Positions:5", "cone_database_fault.xml",
       unreadable("FetchFail after 5 rows"), scanned},
      {"FetchFail:FROM PositionIndex WHERE:1", "cone_database_fault.xml",
       unreadable("FetchFail after 1 rows"), indexed},
      // A reading of the index that does not begin leaves it to the scan.
      {"ExecFail:FROM PositionIndex WHERE", "cone_alpha_cen.xml", "", indexed},
      {"ExecFail:FROM ProperNames", "cone_database_fault.xml",
       unreadable("ExecFail:FROM ProperNames"), indexed},
      {"ExecFail:FROM Spectra", "cone_database_fault.xml",
       unreadable("ExecFail:FROM Spectra"), indexed},
      {"ExecFail:FROM StarFacts", "cone_database_fault.xml",
       unreadable("ExecFail:FROM StarFacts"), indexed},
      {"ExecFail:FROM CatalogNames", "cone_database_fault.xml",
       unreadable("ExecFail:FROM CatalogNames"), indexed},
      // The columns alone read no database.
      {"Connect", "cone_metadata.xml", "", indexed},
      {"", "cone_alpha_cen.xml", "", indexed},
      {"", "cone_alpha_cen.xml", "", scanned},
  };
  for (const auto& c : cases) {
    if (!ReadsPositionIndex(c.faults)) continue;
    const char* query = std::string(c.golden) == "cone_metadata.xml"
                            ? "RA=0&DEC=90&SR=0"
                            : "RA=217&DEC=-62&SR=3";
    std::vector<std::string> env = {std::string("VELORAN_ODBC_FAULTS=") +
                                    c.faults};
    ProgramResult result =
        RunProgram(ConeSearchDoublePath(), query, c.database.odbcDir, env);
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << c.faults;
    EXPECT_EQ(result.status, c.log.empty() ? 0 : 255) << c.faults;
    EXPECT_EQ(result.errors, c.log) << c.faults;
    std::string why;
    EXPECT_TRUE(IsCompleteVoTable(result.output, "200 500 503", &why))
        << c.faults << ": " << why;
  }
}

// A database that the real driver cannot read whole: a row of Sirius that
// does not convert to its column's type (written with the CHECK
// constraints off), and one of its names.  A cone that reaches the row is
// an error (500), never a table without the star; so is every cone, since
// each reads every row.  The diagnostic reaches the log (a fetch of the
// facts once lost it, calling the statement again first).
TEST(ConeSearchTest, UnreadableDatabase) {
  // Debian's driver hands such values on converted as it can.
  if (TestDriver() != "veloran") GTEST_SKIP() << "the project's driver only";
  const struct {
    const char* name;
    const char* sql;
  } cases[] = {
      {"cone_text_distance",
       "UPDATE Positions SET Distance = 'far' WHERE OwnerID = 323490000;"},
      {"cone_dec_out_of_range",
       "UPDATE Positions SET Dec_deg = 40000 WHERE OwnerID = 323490000;"},
      {"cone_text_vmag",
       "UPDATE StarFacts SET VMag = 'bright' WHERE OwnerID = 323490000;"},
  };
  for (const auto& c : cases) {
    TestDatabase copy = SampleCopy(
        c.name, std::string("PRAGMA ignore_check_constraints = 1; ") + c.sql);
    ProgramResult result =
        RunProgram(ConeSearchPath(), "RA=101.3&DEC=-16.7&SR=1", copy.odbcDir);
    EXPECT_TRUE(MatchesGolden(result.output, "cone_database_fault.xml"))
        << c.name;
    EXPECT_EQ(result.status, 255) << c.name;
    EXPECT_EQ(result.errors.rfind(
                  "cone_search: the star database could not be read: ", 0),
              0u)
        << c.name << ": " << result.errors;
    EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1)
        << c.name << ": " << result.errors;
  }
}

// A database written before the motions and the provenance: the table
// has the motions' columns, empty, and the description says that the
// database does not tell where its data come from.  And one whose every
// star in the cone is at J2000: its COOSYS says so.
TEST(ConeSearchTest, OlderDatabasesAndEpochs) {
  const struct {
    const char* name;
    const char* sql;
    const char* golden;
  } cases[] = {
      {"cone_without_motions",
       "ALTER TABLE StarFacts DROP COLUMN PmRA; "
       "ALTER TABLE StarFacts DROP COLUMN PmDec; DROP TABLE DatabaseInfo;",
       "cone_older_database.xml"},
      {"cone_without_star_facts",
       "DROP TABLE StarFacts; DROP TABLE DatabaseInfo;",
       "cone_without_star_facts.xml"},
      {"cone_at_j2000", "UPDATE Positions SET Epoch = 2000.0;",
       "cone_at_j2000.xml"},
  };
  for (const auto& c : cases) {
    TestDatabase copy = SampleCopy(c.name, c.sql);
    ProgramResult result = RunProgram(
        ConeSearchPath(), "RA=217&DEC=-62&SR=3&VERB=3", copy.odbcDir);
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << c.name;
    EXPECT_EQ(result.status, 0) << c.name;
    EXPECT_EQ(result.errors, "") << c.name;
  }
}

// A reply that cannot be delivered, a table as an error, exits with 255
// and one line on standard error, whatever SIGPIPE's disposition.
TEST(ConeSearchTest, LostReplies) {
  const struct {
    const char* query;
    int deliveredStatus;
  } requests[] = {
      {"RA=217&DEC=-62&SR=3&VERB=3", 0},
      {"RA=0&DEC=90&SR=0", 0},
      {"RA=as3f&DEC=1&SR=1", 255},
  };
  const struct {
    OutputSink sink;
    const char* reason;  // nullptr: delivered
  } sinks[] = {
      {OutputSink::kPipe, nullptr},
      {OutputSink::kDevFull, std::strerror(ENOSPC)},
      {OutputSink::kClosed, std::strerror(EBADF)},
      {OutputSink::kClosedPipe, std::strerror(EPIPE)},
  };
  for (const auto& request : requests) {
    for (const auto& sink : sinks) {
      for (Sigpipe sigpipe : {Sigpipe::kIgnored, Sigpipe::kDefault}) {
        ProgramResult result =
            RunProgramToSink(ConeSearchPath(), request.query,
                             SampleDatabase().odbcDir, sink.sink, {}, sigpipe);
        std::string where = std::string(request.query) + " to sink " +
                            std::to_string(static_cast<int>(sink.sink));
        if (sink.reason == nullptr) {
          EXPECT_EQ(result.status, request.deliveredStatus) << where;
          EXPECT_EQ(result.output, "") << where;
        } else {
          EXPECT_EQ(result.status, 255) << where;
          EXPECT_EQ(result.output,
                    std::string("cone_search: the reply did not reach standard "
                                "output: ") +
                        sink.reason + "\n")
              << where;
        }
      }
    }
  }
}

// Every hostile query gets one whole VOTable, its header the program's own,
// and nothing of it comes back but escaped: no markup, no byte that is no
// UTF-8 or no XML.
TEST(ConeSearchTest, HostileQueries) {
  const TestDatabase& database = SampleDatabase();
  std::string before = ReadFile(database.path);
  std::vector<std::string> queries = HostileQueries();
  for (const char* value :
       {"%3Cscript%3E", "%22%3E%3Cx%3E", "%26%23x1%3B", "%00", "%01", "%FF%FE",
        "%E2%80%AE", "%C0%80", "1%0D%0AContent-type:+text/html", "''''",
        "1e999", "-0", "nan", "1,5", "1.5.5"}) {
    for (const char* parameter : {"RA", "DEC", "SR", "VERB", "MAXREC"}) {
      std::string query = "RA=10&DEC=10&SR=1&VERB=2&MAXREC=5";
      size_t at = query.find(std::string(parameter) + "=");
      size_t end = query.find('&', at);
      query.replace(at, (end == std::string::npos ? query.size() : end) - at,
                    std::string(parameter) + "=" + value);
      queries.push_back(query);
    }
  }
  for (const std::string& query : queries) {
    ProgramResult result =
        RunProgram(ConeSearchPath(), query.c_str(), database.odbcDir);
    std::string why;
    EXPECT_TRUE(IsCompleteVoTable(result.output, "200", &why))
        << query.substr(0, 80) << ": " << why;
    EXPECT_TRUE(result.status == 0 || result.status == 255)
        << query.substr(0, 80);
    EXPECT_EQ(result.output.find("<script"), std::string::npos)
        << query.substr(0, 80);
    EXPECT_EQ(result.output.find("<x>"), std::string::npos)
        << query.substr(0, 80);
  }
  EXPECT_EQ(ReadFile(database.path), before);
}

}  // namespace
}  // namespace veloran::testing
