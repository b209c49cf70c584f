// The name finder run as a web server runs it, through the real driver
// manager and driver, on the sample database and on one with many names.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/reply_check.h"
#include "tests/test_support.h"

namespace veloran::testing {
namespace {

// The status line ("200" when there is none), the Location header, and the
// IDs of the entry-page links of the reply's list, in order.
struct Answer {
  std::string status;
  std::string location;
  std::vector<std::string> ids;
};

Answer ReadAnswer(const std::string& output) {
  Answer answer{"200", "", {}};
  size_t headerEnd = output.find("\n\n");
  std::string header = output.substr(0, headerEnd);
  if (header.rfind("Status: ", 0) == 0) answer.status = header.substr(8, 3);
  size_t location = header.find("Location: ");
  if (location != std::string::npos) {
    size_t end = header.find('\n', location);
    answer.location = header.substr(location + 10, end - location - 10);
  }
  if (!answer.location.empty()) return answer;
  const std::string link = "<li><a href=\"entry_page.exe?ID=";
  for (size_t at = output.find(link); at != std::string::npos;
       at = output.find(link, at + 1)) {
    size_t start = at + link.size();
    answer.ids.push_back(output.substr(start, output.find('"', start) - start));
  }
  return answer;
}

TEST(FindStarTest, SampleQueries) {
  const TestDatabase& database = SampleDatabase();
  static const struct {
    const char* query;
    const char* status;
    const char* location;
    std::vector<std::string> ids;
  } cases[] = {
      {"name=Sirius", "302", "entry_page.exe?ID=323490000", {}},
      {"name=sirius", "302", "entry_page.exe?ID=323490000", {}},
      {"name=SIRIUS+", "302", "entry_page.exe?ID=323490000", {}},
      {"name=HD+48915", "302", "entry_page.exe?ID=323490000", {}},
      {"name=HD48915", "302", "entry_page.exe?ID=323490000", {}},
      {"name=hd-48915", "302", "entry_page.exe?ID=323490000", {}},
      {"name=HIP+32349", "302", "entry_page.exe?ID=323490000", {}},
      {"name=alpha+CMa", "302", "entry_page.exe?ID=323490000", {}},
      {"name=alf+CMa", "302", "entry_page.exe?ID=323490000", {}},
      {"name=%CE%B1+CMa", "302", "entry_page.exe?ID=323490000", {}},  // UTF-8
      {"name=%26alpha%3B+CMa", "302", "entry_page.exe?ID=323490000", {}},
      {"name=%26%23945%3B+CMa", "302", "entry_page.exe?ID=323490000", {}},
      {"name=eps+Eri", "302", "entry_page.exe?ID=165370000", {}},
      {"name=%E9psilon+Eri", "302", "entry_page.exe?ID=165370000", {}},  // 1252
      {"name=Barnard", "302", "entry_page.exe?ID=879370000", {}},  // a prefix
      {"name=Barnard%27s+Star", "302", "entry_page.exe?ID=879370000", {}},
      {"name=barnards", "302", "entry_page.exe?ID=879370000", {}},
      {"name=Proxima", "302", "entry_page.exe?ID=708900000", {}},
      {"name=Sol", "302", "entry_page.exe?ID=100", {}},
      {"name=Kruger+60", "200", "", {"1108930100", "1108930200"}},
      {"name=alpha+Cen", "200", "", {"716810200", "716830100", "708900000"}},
      {"name=61+Cyg", "200", "", {"1042140000", "1042170000"}},
      {"name=Bet", "200", "", {"378260000", "244360000"}},  // beta Gem, Ori
      {"name=Betel", "302", "entry_page.exe?ID=279890000", {}},
      {"name=Nosuchstar", "404", "", {}},
      {"name=%25", "400", "", {}},
      {"name=", "400", "", {}},
      {"name=+++", "400", "", {}},
      {"ID=100", "200", "", {}},  // no name: the finder's form
      {nullptr, "200", "", {}},
      {"name=Sirius%27%3B+DROP+TABLE+NameLookup%3B--", "404", "", {}},
      {"name=%22Sirius%22", "302", "entry_page.exe?ID=323490000", {}},
      // The constellation by its abbreviation, its genitive or its name, in
      // any case and spacing, with the Greek letter in any form.
      {"name=alf+Cen", "200", "", {"716810200", "716830100", "708900000"}},
      {"name=Alpha+Centauri",
       "200",
       "",
       {"716810200", "716830100", "708900000"}},
      {"name=Alpha+Centaurus",
       "200",
       "",
       {"716810200", "716830100", "708900000"}},
      {"name=ALPHA++CENTAURI",
       "200",
       "",
       {"716810200", "716830100", "708900000"}},
      {"name=alpha1+Centauri", "302", "entry_page.exe?ID=716830100", {}},
      {"name=%CE%B1%C2%B9+Centauri", "302", "entry_page.exe?ID=716830100", {}},
      {"name=%26alpha%3B2+Centauri", "302", "entry_page.exe?ID=716810200", {}},
      {"name=Alpha+Centauri+C", "302", "entry_page.exe?ID=708900000", {}},
      {"name=61+Cyg", "200", "", {"1042140000", "1042170000"}},
      {"name=61+Cygni", "200", "", {"1042140000", "1042170000"}},
      {"name=61cygnus", "200", "", {"1042140000", "1042170000"}},
      {"name=61+Cygni+B", "302", "entry_page.exe?ID=1042170000", {}},
      {"name=Tau+Ceti", "302", "entry_page.exe?ID=81020000", {}},
      {"name=tau+cetus", "302", "entry_page.exe?ID=81020000", {}},
      {"name=Epsilon+Eridani", "302", "entry_page.exe?ID=165370000", {}},
      {"name=eps+Eridanus", "302", "entry_page.exe?ID=165370000", {}},
      {"name=Epsilon+Indi", "302", "entry_page.exe?ID=1088700000", {}},
      {"name=Alpha+Canis+Majoris", "302", "entry_page.exe?ID=323490000", {}},
      {"name=alpha+canis+major", "302", "entry_page.exe?ID=323490000", {}},
      {"name=%CE%B1+CanisMajoris", "302", "entry_page.exe?ID=323490000", {}},
      {"name=Alpha+Canis+Minoris", "302", "entry_page.exe?ID=372790000", {}},
      {"name=Centauri", "404", "", {}},
      // The Sun.
      {"name=Sun", "302", "entry_page.exe?ID=100", {}},
      {"name=the+Sun", "302", "entry_page.exe?ID=100", {}},
      {"name=The+sun", "302", "entry_page.exe?ID=100", {}},
      {"name=+the+Sol", "302", "entry_page.exe?ID=100", {}},
      {"name=theSun", "404", "", {}},
      // Misspelt: none found, the closest names offered.
      {"name=Sirus", "404", "", {"323490000"}},
      {"name=Procyn", "404", "", {"372790000"}},
      {"name=Siriuss", "404", "", {"323490000"}},
      {"name=Proycon", "404", "", {"372790000"}},
      {"name=Betelguese", "404", "", {"279890000"}},
      {"name=Kapteyns+Stra", "404", "", {"241860000"}},
      {"name=Xyzzyplugh", "404", "", {}},
      // Around a star, from the form of the search: to the site's page of
      // the search, with its fields and no others, the values encoded.
      {"star=Sirius&ly=20", "302", "neighbours?ID=323490000&ly=20", {}},
      {"star=Alpha+Canis+Majoris&minLY=&ly=20&minRAHour=5",
       "302",
       "neighbours?ID=323490000&ly=20&minLY=&minRAHour=5",
       {}},
      {"ly=20&star=the+Sun&minLY=1",
       "302",
       "neighbours?ID=100&ly=20&minLY=1",
       {}},
      {"star=100&ly=20", "302", "neighbours?ID=100&ly=20", {}},
      {"star=123&ly=20", "302", "neighbours?ID=123&ly=20", {}},
      {"star=Sirius&ID=5&name=Procyon&X=1&ly=20&foo=bar",
       "302",
       "neighbours?ID=323490000&ly=20",
       {}},
      {"star=Sirius&ly=%0D%0ALocation:+x&maxDecDeg=-1.5e1",
       "302",
       "neighbours?ID=323490000&ly=%0D%0ALocation%3A%20x&maxDecDeg=-1.5e1",
       {}},
      {"star=Sirius&ly=%27", "302", "neighbours?ID=323490000&ly=%27", {}},
      {"star=alpha+Cen&ly=10",
       "200",
       "",
       {"716810200", "716830100", "708900000"}},
      {"star=Sirus&ly=10", "404", "", {"323490000"}},
      {"star=&ly=10", "400", "", {}},
      {"star=Sirius&ly=123456789012345678901234567890123", "400", "", {}},
  };
  for (const auto& c : cases) {
    const char* label = c.query != nullptr ? c.query : "(absent)";
    ProgramResult result =
        RunProgram(FindStarPath(), c.query, database.odbcDir);
    Answer answer = ReadAnswer(result.output);
    EXPECT_EQ(answer.status, c.status) << label;
    EXPECT_EQ(answer.location, c.location) << label;
    EXPECT_EQ(answer.ids, c.ids) << label;
    std::string why;
    EXPECT_TRUE(IsCompleteSitePage(result.output, "200 302 400 404", &why))
        << label << ": " << why;
  }
}

// A search around a star whose name is not found offers the finder's form
// again, which searches around the name typed there with the same
// distances and window, and says nothing of fields it was not sent.
TEST(FindStarTest, AMissedSearchKeepsItsFields) {
  const TestDatabase& database = SampleDatabase();
  const struct {
    const char* query;
    std::vector<std::string> kept;  // hidden fields, as written
  } cases[] = {
      {"star=Xyzzy&ly=30&minRAHour=5",
       {"<input type=\"hidden\" name=\"ly\" value=\"30\">",
        "<input type=\"hidden\" name=\"minRAHour\" value=\"5\">"}},
      {"star=Sirus&minLY=&ly=12&maxDecSec=%22%3E1",
       {"<input type=\"hidden\" name=\"ly\" value=\"12\">",
        "<input type=\"hidden\" name=\"minLY\" value=\"\">",
        "<input type=\"hidden\" name=\"maxDecSec\" value=\"&quot;&gt;1\">"}},
      {"name=Xyzzy&ly=30", {}},
  };
  for (const auto& c : cases) {
    ProgramResult result = RunProgram(FindStarPath(), c.query, database.odbcDir);
    std::string form = result.output.substr(result.output.find("<form"));
    form = form.substr(0, form.find("</form>"));
    for (const std::string& field : c.kept) {
      EXPECT_NE(form.find(field), std::string::npos) << c.query << ": " << field;
    }
    size_t hidden = 0;
    for (size_t at = form.find("type=\"hidden\""); at != std::string::npos;
         at = form.find("type=\"hidden\"", at + 1)) {
      ++hidden;
    }
    EXPECT_EQ(hidden, c.kept.size()) << c.query;
    EXPECT_NE(form.find(c.kept.empty() ? "name=\"name\" type=\"text\""
                                       : "name=\"star\" type=\"text\""),
              std::string::npos)
        << c.query;
  }
}

// Words around a name, the catalogues of the nearby stars typed by any of
// their names, and the stars that the database lacks, on a sample with a
// few designations of the nearby-stars list.
TEST(FindStarTest, NearbyDesignationsAndAbsentStars) {
  TestDatabase copy = SampleCopy("find_star_nearby", R"sql(
    INSERT INTO CatalogNames VALUES ('GJ', 'GJ', 'Gliese', 0),
                                    ('Grb', 'Groombridge', 'Groombridge', 0);
    INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
        VALUES (879370090, 'GJ', '699', 0), (14750090, 'Grb', '34 A', 0),
               (14750091, 'GJ', '15 A', 0);
    INSERT INTO NameLookup VALUES ('gj699', 879370000, 'GJ 699', 0),
                                  ('grb34a', 14750000, 'Groombridge 34 A', 0),
                                  ('gj15a', 14750000, 'GJ 15 A', 0);
    INSERT INTO AbsentStars VALUES ('wolf359', 'Wolf 359', 'too faint.'),
                                   ('gj406', 'Wolf 359', 'too faint.');
  )sql");
  static const struct {
    const char* query;
    const char* status;
    const char* location;
    std::vector<std::string> ids;
    const char* absent;  // the star that the page says the database lacks
  } cases[] = {
      {"name=GJ+699", "302", "entry_page.exe?ID=879370000", {}, nullptr},
      {"name=Gliese+699", "302", "entry_page.exe?ID=879370000", {}, nullptr},
      {"name=Gl+699", "302", "entry_page.exe?ID=879370000", {}, nullptr},
      {"name=gl699", "302", "entry_page.exe?ID=879370000", {}, nullptr},
      {"name=Groombridge+34", "302", "entry_page.exe?ID=14750000", {},
       nullptr},
      {"name=Gliese+15", "302", "entry_page.exe?ID=14750000", {}, nullptr},
      {"name=Gliese", "404", "", {}, nullptr},
      {"name=Sirius+star", "302", "entry_page.exe?ID=323490000", {}, nullptr},
      {"name=star+Sirius", "302", "entry_page.exe?ID=323490000", {}, nullptr},
      {"name=The+Sirius+Star", "302", "entry_page.exe?ID=323490000", {},
       nullptr},
      {"name=Barnard%27s+Star", "302", "entry_page.exe?ID=879370000", {},
       nullptr},
      {"name=Barnard+star", "302", "entry_page.exe?ID=879370000", {},
       nullptr},
      {"name=Kapteyn%27s+Star", "302", "entry_page.exe?ID=241860000", {},
       nullptr},
      {"name=Siriusstar", "404", "", {}, nullptr},  // no word to drop
      {"name=Sirus+star", "404", "", {"323490000"}, nullptr},
      {"name=star", "404", "", {}, nullptr},
      {"name=Wolf+359", "404", "", {}, "Wolf 359"},
      {"name=Gliese+406", "404", "", {}, "Wolf 359"},
      {"name=Wolf+359+star", "404", "", {}, "Wolf 359"},
      {"name=Wolf+35", "404", "", {}, nullptr},
      {"star=Wolf+359&ly=20", "404", "", {}, "Wolf 359"},
  };
  for (const auto& c : cases) {
    ProgramResult result = RunProgram(FindStarPath(), c.query, copy.odbcDir);
    Answer answer = ReadAnswer(result.output);
    EXPECT_EQ(answer.status, c.status) << c.query;
    EXPECT_EQ(answer.location, c.location) << c.query;
    EXPECT_EQ(answer.ids, c.ids) << c.query;
    std::string note = c.absent == nullptr
                           ? ""
                           : std::string("<p><strong>") + c.absent +
                                 "</strong> is not in this star database: "
                                 "too faint.</p>";
    EXPECT_EQ(result.output.find("is not in this star database") !=
                  std::string::npos,
              c.absent != nullptr)
        << c.query;
    if (c.absent != nullptr) {
      EXPECT_NE(result.output.find(note), std::string::npos) << c.query;
    }
    std::string why;
    EXPECT_TRUE(IsCompleteSitePage(result.output, "200 302 404", &why))
        << c.query << ": " << why;
  }
  // The page of an absent star, whole.
  const PageCase pages[] = {{"name=Wolf+359", "find_wolf_359.html", 0}};
  ExpectPages(FindStarPath(), copy, pages, std::size(pages));
}

// More stars with one name than a list shows: the first 50, exact matches
// (HD 1000) before those that only begin so (HD 1000x).
TEST(FindStarTest, ManyMatchesAreCapped) {
  TestDatabase copy = SampleCopy("find_star_many", R"sql(
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 80)
    INSERT INTO Positions (OwnerID, Distance) SELECT i * 100000, i FROM n;
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 80)
    INSERT INTO NameLookup SELECT 'hd1000' || i, i * 100000, 'HD 1000' || i, 0 FROM n;
    INSERT INTO NameLookup VALUES ('hd1000', 8000000, 'HD 1000', 0),
                                  ('hd1000', 7900000, 'HD 1000', 0);
  )sql");

  ProgramResult result =
      RunProgram(FindStarPath(), "name=HD1000", copy.odbcDir);
  Answer answer = ReadAnswer(result.output);
  EXPECT_EQ(answer.status, "200");
  ASSERT_EQ(answer.ids.size(), 50u);
  EXPECT_EQ(answer.ids[0], "7900000");
  EXPECT_EQ(answer.ids[1], "8000000");
  EXPECT_EQ(answer.ids[2], "100000");   // hd10001
  EXPECT_EQ(answer.ids[3], "1000000");  // hd100010
  EXPECT_NE(result.output.find("the first 50"), std::string::npos);
}

// The pages other than a redirect, byte for byte: a list with exact
// matches and names that only begin so, none found (the searched text
// escaped, or not shown when long), no name to search for, and the
// finder's own page when it is opened without a name.
TEST(FindStarTest, SamplePages) {
  // Shown up to 100 bytes; keys up to 255 letters and digits.
  const std::string longName = "name=" + std::string(101, 'x');
  // 100 bytes as typed, though the decoder doubles the quote.
  const std::string longestShown = "name=" + std::string(99, 'x') + "%27";
  const std::string tooLongName = "name=" + std::string(256, 'x');
  const PageCase cases[] = {
      {"name=alpha+Cen", "find_alpha_cen.html", 0},
      {"name=Bet", "find_bet.html", 0},
      {"name=Nosuchstar", "find_not_found.html", 0},
      {"name=Sirus", "find_did_you_mean.html", 0},
      {"star=Alpha+Canis+Majoris&minLY=5&ly=20&minRAHour=5",
       "find_around_sirius.html", 0},
      {"star=alpha+Cen&ly=10&maxDecDeg=-10", "find_around_alpha_cen.html", 0},
      // UTF-8 from the address bar: windows-1252 where it has the
      // character (e acute, the euro sign), else a reference (alpha).
      {"name=Zub%C3%A9nelgenubi+%E2%82%AC+%CE%B1+%3C%26",
       "find_not_found_utf8.html", 0},
      {"name=%3Cb%3E%22O%27Neil%22+%26+100%25", "find_not_found_escaped.html",
       0},
      // Control bytes: tab and line feed as references, the rest left
      // out.
      {"name=Sx%01ri%09u%0As%7F", "find_not_found_controls.html", 0},
      {longestShown.c_str(), "find_not_found_100.html", 0},
      {longName.c_str(), "find_not_found_long.html", 0},
      {"name=Sirius", "find_sirius.html", 0},
      {nullptr, "find_form.html", 0},
      {"foo=Sirius", "find_form.html", 0},
      {"name=", "find_no_name.html", 255},
      {"name=%25%26", "find_no_name.html", 255},
      {tooLongName.c_str(), "find_too_long.html", 255},
  };
  ExpectPages(FindStarPath(), SampleDatabase(), cases, std::size(cases));
}

// Suggestions by edits, then a proper name before a designation, then the
// brighter star where the database has StarFacts, else the lower ID; none
// from a database without the index of the names' keys, which would be
// read whole.
TEST(FindStarTest, SuggestionsByFame) {
  const char* names = R"sql(
    INSERT INTO NameLookup VALUES ('sarius', 372790000, 'Sarius', 1),
                                  ('sxrivs', 14750000, '&sigma; Rivs', 1);
  )sql";
  const struct {
    const char* label;
    std::string sql;
    std::vector<std::string> ids;
  } cases[] = {
      {"suggest_plain", names, {"323490000", "372790000", "14750000"}},
      {"suggest_bright",
       std::string(names) + R"sql(
         INSERT OR REPLACE INTO StarFacts (OwnerID, VMag)
             VALUES (323490000, -1.46), (372790000, -5), (14750000, -10);
       )sql",
       {"372790000", "323490000", "14750000"}},
      {"suggest_no_index",
       std::string(names) + "DROP INDEX NameLookupProperKeys;",
       {}},
  };
  for (const auto& c : cases) {
    TestDatabase copy = SampleCopy(c.label, c.sql.c_str());
    ProgramResult result =
        RunProgram(FindStarPath(), "name=Sxrius", copy.odbcDir);
    Answer answer = ReadAnswer(result.output);
    EXPECT_EQ(answer.status, "404") << c.label;
    EXPECT_EQ(answer.ids, c.ids) << c.label;
    EXPECT_EQ(result.status, 0) << c.label;
  }
}

// Faults that a real driver cannot be made to produce, through the finder
// linked with the ODBC double: each gives one whole error page with a 5xx
// status, never a part of a list, and one line on standard error.  The
// pages are the entry page's: the site answers a fault the same way.
TEST(FindStarTest, InjectedFaults) {
  const TestDatabase& database = SampleDatabase();
  // The line for a fault that the double injected.
  auto unreadable = [](const std::string& fault) {
    return "find_star: the NameLookup table could not be read (for a "
           "database without one, see \"Names for the finder\" in the README, "
           "or NAMES in veloran-site(7)): HY000 [odbc double] injected fault " +
           fault + "\n";
  };
  auto unnamed = [](const std::string& fault) {
    return "find_star: the star database could not be read: HY000 [odbc "
           "double] injected fault " +
           fault + "\n";
  };
  const struct {
    const char* faults;
    const char* query;
    const char* golden;
    std::string log;  // standard error
  } cases[] = {
      {"AllocEnv", "name=alpha+Cen", "entry_database_fault.html",
       "find_star: no ODBC handle could be allocated\n"},
      {"AllocStmt", "name=alpha+Cen", "entry_database_fault.html",
       "find_star: no ODBC handle could be allocated\n"},
      {"Connect", "name=alpha+Cen", "entry_unavailable.html",
       "find_star: the data source Veloran refused the connection\n"},
      {"Connect;Error", "name=alpha+Cen", "entry_unavailable.html",
       "find_star: the data source Veloran refused the connection\n"},
      {"PrepareFail:WHERE n.Key = ?", "name=alpha+Cen",
       "entry_database_fault.html", unreadable("PrepareFail:WHERE n.Key = ?")},
      {"PrepareFail:WHERE n.Key > ?", "name=alpha+Cen",
       "entry_database_fault.html", unreadable("PrepareFail:WHERE n.Key > ?")},
      {"ExecFail:WHERE n.Key = ?", "name=alpha+Cen",
       "entry_database_fault.html", unreadable("ExecFail:WHERE n.Key = ?")},
      {"ExecFail:WHERE n.Key > ?", "name=alpha+Cen",
       "entry_database_fault.html", unreadable("ExecFail:WHERE n.Key > ?")},
      // Mid-list: after the first of two exact matches, and after the first
      // of two names that begin so.
      {"FetchFail:WHERE n.Key = ?:1", "name=alpha+Cen",
       "entry_database_fault.html", unreadable("FetchFail after 1 rows")},
      {"FetchFail:WHERE n.Key > ?:1", "name=Bet", "entry_database_fault.html",
       unreadable("FetchFail after 1 rows")},
      // The display names of a list, and the catalogue table they need.
      {"ExecFail:FROM ProperNames", "name=alpha+Cen",
       "entry_database_fault.html", unnamed("ExecFail:FROM ProperNames")},
      {"FetchFail:COUNT(*):0", "name=Bet", "entry_database_fault.html",
       unnamed("FetchFail after 0 rows")},
      // A redirect reads no display name.
      {"ExecFail:FROM ProperNames", "name=Sirius", "find_sirius.html", ""},
      {"", "name=alpha+Cen", "find_alpha_cen.html", ""},
      // Suggestions: a database that refuses the statement of the keys
      // (one without their index) offers none, but one that accepts it
      // and then fails to run it is a fault; one without StarFacts is
      // read without it; a failure after that is a fault.
      {"PrepareFail:INDEXED BY", "name=Sirus", "find_sirus_no_suggestions.html",
       ""},
      {"ExecFail:INDEXED BY", "name=Sirus", "entry_database_fault.html",
       unreadable("ExecFail:INDEXED BY")},
      {"FetchFail:INDEXED BY:1", "name=Sirus", "entry_database_fault.html",
       unreadable("FetchFail after 1 rows")},
      {"PrepareFail:LEFT JOIN StarFacts", "name=Sirus",
       "find_did_you_mean.html", ""},
      {"PrepareFail:n.IsProperName, ", "name=Sirus",
       "entry_database_fault.html", unreadable("PrepareFail:n.IsProperName, ")},
      {"FetchFail:n.IsProperName, :0", "name=Sirus",
       "entry_database_fault.html", unreadable("FetchFail after 0 rows")},
  };
  for (const auto& c : cases) {
    std::vector<std::string> env = {std::string("VELORAN_ODBC_FAULTS=") +
                                    c.faults};
    ProgramResult result =
        RunProgram(FindStarDoublePath(), c.query, database.odbcDir, env);
    EXPECT_TRUE(MatchesGolden(result.output, c.golden)) << c.faults;
    EXPECT_EQ(result.status, c.log.empty() ? 0 : 255) << c.faults;
    result = RunProgramToSink(FindStarDoublePath(), c.query, database.odbcDir,
                              OutputSink::kPipe, env);
    EXPECT_EQ(result.output, c.log) << c.faults;
  }
}

TEST(FindStarTest, HostileQueries) {
  const TestDatabase& database = SampleDatabase();
  std::string before = ReadFile(database.path);
  for (const std::string& query : HostileQueries()) {
    ProgramResult result =
        RunProgram(FindStarPath(), query.c_str(), database.odbcDir);
    std::string why;
    EXPECT_TRUE(IsCompleteSitePage(result.output, "200 302 400 404", &why))
        << query.substr(0, 80) << ": " << why;
    EXPECT_TRUE(result.status == 0 || result.status == 255)
        << query.substr(0, 80);
    // The searched text may be shown, but only escaped.
    EXPECT_EQ(result.output.find("<script>"), std::string::npos);
    EXPECT_EQ(result.output.find("<b>"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(database.path), before);
}

}  // namespace
}  // namespace veloran::testing
