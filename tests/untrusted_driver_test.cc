// Drivers that end their texts badly: one fills the whole buffer of a text
// cut to it and writes no terminator, another writes a diagnostic of
// several lines.  Through the ODBC double, which makes the real driver's
// answers look like theirs, every program must write what it writes with a
// driver that ends them well, byte for byte.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace veloran::testing {
namespace {

// A long text, "length" bytes of "ab" pairs (SQLite has no repeat()).
std::string Filler(int length) {
  return "substr(replace(hex(zeroblob(" + std::to_string(length) +
         ")), '00', 'ab'), 1, " + std::to_string(length) + ")";
}

// The sample with texts longer than the buffers they are fetched into, and
// texts of every length one after another in a buffer reused for them.
const TestDatabase& LongTexts() {
  static const TestDatabase database = SampleCopy(
      "untrusted_driver",
      "UPDATE ProperNames SET Name = 'Sol, ' || " + Filler(80) +
          " WHERE OwnerID = 102;"
          "INSERT INTO ProperNames (OwnerID, Name, IsSystemName) VALUES "
          "(323490004, 'Dog Star ' || " + Filler(60) + ", 0), "
          "(323490005, 'X', 0), (323490006, NULL, 0);"
          "UPDATE CatalogNames SET LongName = 'Hipparcos ' || " + Filler(150) +
          ", Description = " + Filler(3000) + " WHERE Abbreviation = 'HIP';"
          "UPDATE CatalogNumbers SET CatAbbrev = 'HD' || " + Filler(20) +
          " WHERE OwnerID / 100 = 3234900 AND CatAbbrev = 'HD';"
          "UPDATE Positions SET DistanceSource = 'Parallax ' || " +
          Filler(30) + " WHERE OwnerID = 100;"
          "UPDATE Spectra SET SpectralClass = 'G2' || " + Filler(70) +
          ", LuminosityClass = NULL, SpectrumSource = " + Filler(12) +
          " WHERE OwnerID = 101;");
  return database;
}

struct Program {
  const char* name;
  std::string real;
  std::string withDouble;
  std::vector<const char*> queries;
};

std::vector<Program> Programs() {
  return {
      {"neighbor_search", ProgramPath(), DoubleProgramPath(),
       {"ID=100&ly=20", "ID=323490000&ly=10", "X=0&Y=0&Z=0&ly=12", "ID=150"}},
      {"entry_page.exe", EntryPagePath(), EntryPageDoublePath(),
       {"ID=100", "ID=323490000", "ID=200", "ID=999999900"}},
      {"find_star", FindStarPath(), FindStarDoublePath(),
       {"name=Sirius", "name=Siriuss", "name=alpha+Cen", "name=Sol",
        "name=HIP+32349", "name=nothing+like+it"}},
      {"neighbours", NeighboursPath(), NeighboursDoublePath(),
       {"ID=100&ly=20", "ID=323490000&ly=10&size=500"}},
  };
}

TEST(UntrustedDriverTest, TextsWithoutTerminatorReadAsTheirBytes) {
  const TestDatabase& database = LongTexts();
  for (const Program& program : Programs()) {
    for (const char* query : program.queries) {
      ProgramResult expected =
          RunProgram(program.real, query, database.odbcDir);
      ProgramResult got =
          RunProgram(program.withDouble, query, database.odbcDir,
                     {"VELORAN_ODBC_FAULTS=NoTerminator"});
      EXPECT_EQ(got.output, expected.output) << program.name << " " << query;
      EXPECT_EQ(got.status, expected.status) << program.name << " " << query;
    }
  }
  // The long texts were read, cut to their buffers.
  ProgramResult entry = RunProgram(EntryPagePath(), "ID=100", database.odbcDir);
  EXPECT_NE(entry.output.find("Sol, " + std::string("abababab")),
            std::string::npos);
}

// What the double's refused connection says: three lines, as a network
// driver's message often has.
const char kRefusedMessage[] =
    "could not connect to server: Connection refused\n"
    "\tIs the server running on host \"127.0.0.1\" and accepting\n"
    "\tTCP/IP connections on port 5432?";

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

TEST(UntrustedDriverTest, RefusedConnectionMessageOnOneLine) {
  const TestDatabase& database = SampleDatabase();
  std::string longMessage = kRefusedMessage;
  longMessage.append(700 - longMessage.size(), 'x');
  struct Case {
    std::string faults;
    std::string message;  // as written: one line, cut to 511 bytes
  };
  const std::vector<Case> cases = {
      {"ConnectMessage", OneLine(kRefusedMessage)},
      {"ConnectMessage;NoTerminator", OneLine(kRefusedMessage)},
      {"ConnectMessage:700", OneLine(longMessage.substr(0, 510))},
      {"ConnectMessage:700;NoTerminator", OneLine(longMessage.substr(0, 510))},
  };
  for (const Case& c : cases) {
    // The search's reply, as it always was, but on one line.
    ProgramResult search =
        RunProgram(DoubleProgramPath(), "ID=100", database.odbcDir,
                   {"VELORAN_ODBC_FAULTS=" + c.faults});
    EXPECT_EQ(search.output, ConnectionRefusedReply("08001", c.message))
        << c.faults;
    EXPECT_EQ(search.status, 0) << c.faults;
    // The site's programs tell the error log in one line, and the visitor
    // nothing of it.
    for (const std::string& program :
         {EntryPageDoublePath(), FindStarDoublePath(),
          NeighboursDoublePath()}) {
      ProgramResult site =
          RunProgram(program, "ID=100&name=Sirius", database.odbcDir,
                     {"VELORAN_ODBC_FAULTS=" + c.faults});
      std::string line = "the data source Veloran refused the connection: "
                         "08001 " + c.message + "\n";
      EXPECT_NE(site.errors.find(line), std::string::npos)
          << program << " " << c.faults << "\n" << site.errors;
      EXPECT_EQ(site.output.find("5432"), std::string::npos) << program;
    }
  }
}

}  // namespace
}  // namespace veloran::testing
