// A reply that does not reach standard output is no reply: the program
// exits with status -1 (255) and says so in one line on standard error,
// whatever the request.

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
)sql";

std::string LostReplyLine(const char* reason) {
  return std::string(
             "neighbor_search: the reply did not reach standard "
             "output: ") +
         reason + "\n";
}

TEST(LostReplyTest, EveryReplyKindToEverySink) {
  auto database = CreateTestDatabase("lost_reply", kStars);
  // A data source whose database is missing: the refused connection.
  auto missing = CreateTestDatabase("lost_reply_missing", kStars);
  std::remove(missing.path.c_str());
  const struct {
    const char* name;
    const char* query;  // nullptr: QUERY_STRING absent
    const TestDatabase* database;
    int deliveredStatus;
    // The project's driver logs a refused connection's path in a line of
    // its own.
    bool driverLine = false;
  } requests[] = {
      {"star page", "ID=100&ly=20", &database, 0},
      {"coordinate page", "", &database, 0},
      {"no match", "ID=900", &database, 255},
      {"refused connection", "ID=100", &missing, 0,
       TestDriver() != "sqliteodbc"},
      {"usage", nullptr, &database, 255},
      {"invalid ID", "ID=150", &database, 255},
      {"window message", "ly=1", &database, 255},
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
  for (const auto& request : requests) {
    for (const auto& sink : sinks) {
      ProgramResult result = RunProgramToSink(
          ProgramPath(), request.query, request.database->odbcDir, sink.sink);
      std::string where = std::string(request.name) + " to " + sink.name;
      // (A closed standard output is found before connecting.)
      std::string driverLine =
          request.driverLine && sink.sink != OutputSink::kClosed
              ? "veloran_odbc: connect failed (data source Veloran): cannot "
                "open database \"file:" +
                    request.database->path +
                    "?mode=ro\": No such file or directory\n"
              : "";
      if (sink.reason == nullptr) {
        EXPECT_EQ(result.status, request.deliveredStatus) << where;
        EXPECT_EQ(result.output, driverLine) << where;
      } else {
        EXPECT_EQ(result.status, 255) << where;
        EXPECT_EQ(result.output, driverLine + LostReplyLine(sink.reason))
            << where;
      }
    }
  }
}

}  // namespace
}  // namespace veloran::testing
