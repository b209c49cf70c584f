// A reply that does not reach standard output is no reply: each program
// exits with status -1 (255) and says so in one line on standard error,
// whatever the request and whether it starts with SIGPIPE ignored or at its
// default.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace veloran::testing {
namespace {

const char kStars[] = R"sql(
  INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
                         Dec_arcsec, Distance, Epoch)
  VALUES (100, NULL, NULL, NULL, NULL, NULL, NULL, 0, 2000),
         (200, 14, 29, 47.591, -62, 40, 52.55, 4.244, 2000);
  INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
  VALUES (100, 'Sol', 1), (200, 'Proxima', 1);
  INSERT INTO NameLookup (Key, OwnerID, Name, IsProperName)
  VALUES ('sol', 100, 'Sol', 1), ('proxima', 200, 'Proxima', 1),
         ('proximacen', 200, 'Proxima Cen', 0);
)sql";

std::string LostReplyLine(const char* program, const char* reason) {
  return std::string(program) +
         ": the reply did not reach standard output: " + reason + "\n";
}

TEST(LostReplyTest, EveryReplyKindToEverySink) {
  auto database = CreateTestDatabase("lost_reply", kStars);
  // A data source whose database is missing: the refused connection.
  auto missing = CreateTestDatabase("lost_reply_missing", kStars);
  std::remove(missing.path.c_str());
  // The line in which the project's driver logs a refused connection's path.
  auto DriverLine = [&missing]() {
    return "veloran_odbc: connect failed (data source Veloran): cannot open "
           "database \"file:" +
           missing.path + "?mode=ro\": No such file or directory\n";
  };
  const std::string search = ProgramPath();
  const std::string entry = EntryPagePath();
  const std::string finder = FindStarPath();
  const struct {
    const char* name;
    const std::string& program;
    const char* query;  // nullptr: QUERY_STRING absent
    const TestDatabase* database;
    int deliveredStatus;
    // The project's driver logs a refused connection's path in a line of
    // its own.
    bool driverLine = false;
  } requests[] = {
      {"star page", search, "ID=100&ly=20", &database, 0},
      {"coordinate page", search, "", &database, 0},
      {"no match", search, "ID=900", &database, 255},
      {"refused connection", search, "ID=100", &missing, 0,
       TestDriver() != "sqliteodbc"},
      {"usage", search, nullptr, &database, 255},
      {"invalid ID", search, "ID=150", &database, 255},
      {"window message", search, "ly=1", &database, 255},
      {"entry page", entry, "ID=200", &database, 0},
      {"unknown star", entry, "ID=900", &database, 0},
      {"entry without a star ID", entry, nullptr, &database, 255},
      {"entry unavailable", entry, "ID=100", &missing, 255},
      {"finder's form", finder, nullptr, &database, 0},
      {"found star", finder, "name=Sol", &database, 0},
      {"list of stars", finder, "name=Prox", &database, 0},
      {"no star found", finder, "name=Vega", &database, 0},
      {"finder unavailable", finder, "name=Sol", &missing, 255},
  };
  const struct {
    const char* name;
    OutputSink sink;
    const char* reason;  // nullptr: the reply is delivered
  } sinks[] = {
      {"pipe", OutputSink::kPipe, nullptr},
      {"/dev/full", OutputSink::kDevFull, std::strerror(ENOSPC)},
      {"closed descriptor", OutputSink::kClosed, std::strerror(EBADF)},
      {"closed pipe", OutputSink::kClosedPipe, std::strerror(EPIPE)},
  };
  const struct {
    const char* name;
    Sigpipe disposition;
  } sigpipes[] = {
      {"SIGPIPE ignored", Sigpipe::kIgnored},
      {"SIGPIPE at its default", Sigpipe::kDefault},
  };
  for (const auto& request : requests) {
    const char* program = request.program == search  ? "neighbor_search"
                          : request.program == entry ? "entry_page.exe"
                                                     : "find_star";
    for (const auto& sink : sinks) {
      for (const auto& sigpipe : sigpipes) {
        ProgramResult result = RunProgramToSink(
            request.program, request.query, request.database->odbcDir,
            sink.sink, {}, sigpipe.disposition);
        std::string where = std::string(request.name) + " to " + sink.name +
                            ", " + sigpipe.name;
        if (sink.reason == nullptr) {
          EXPECT_EQ(result.status, request.deliveredStatus) << where;
          // Only a failure says something, in one line of its own.
          if (request.deliveredStatus == 0) {
            EXPECT_EQ(result.output, request.driverLine ? DriverLine() : "")
                << where;
          }
        } else {
          EXPECT_EQ(result.status, 255) << where;
          // A fault of the database, when there is one, comes first.
          std::string line = LostReplyLine(program, sink.reason);
          size_t at = result.output.size() >= line.size()
                          ? result.output.size() - line.size()
                          : 0;
          EXPECT_EQ(result.output.substr(at), line) << where;
          if (request.database == &database) {
            EXPECT_EQ(result.output, line) << where;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace veloran::testing
