#include "site/neighbour_downloads.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "site/export_text.h"
#include "site/star_table.h"
#include "tests/test_support.h"

namespace veloran {
namespace {

using testing::CaptureOutput;

// Each case: a UTF-8 text and what each writer makes of it.
TEST(ExportTextTest, EveryWriterEscapesForItsFormat) {
  static const struct {
    std::string text;
    std::string csv;
    std::string json;
    std::string xml;
  } cases[] = {
      {"Sirius", "\"Sirius\"", "\"Sirius\"", "Sirius"},
      {"", "\"\"", "\"\"", ""},
      {"\"Q\", R", "\"\"\"Q\"\", R\"", "\"\\\"Q\\\", R\"", "&quot;Q&quot;, R"},
      {"a\\b/c", "\"a\\b/c\"", "\"a\\\\b/c\"", "a\\b/c"},
      {"<b>R&D</b> 'x'", "\"<b>R&D</b> 'x'\"", "\"<b>R&D</b> 'x'\"",
       "&lt;b&gt;R&amp;D&lt;/b&gt; &#39;x&#39;"},
      {"a\nb\r\nc\td", "\"a\nb\r\nc\td\"", "\"a\\nb\\r\\nc\\td\"",
       "a&#10;b&#13;&#10;c&#9;d"},
      {"\x01\x1F\x7F\b\f", "\"\x01\x1F\x7F\b\f\"",
       "\"\\u0001\\u001F\x7F\\b\\f\"",
       "\xEF\xBF\xBD\xEF\xBF\xBD\x7F\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xCE\xB1 Cen \xE2\x82\xAC", "\"\xCE\xB1 Cen \xE2\x82\xAC\"",
       "\"\xCE\xB1 Cen \xE2\x82\xAC\"", "\xCE\xB1 Cen \xE2\x82\xAC"},
      // U+2028 and U+2029 end a line in JavaScript; U+FFFE is no XML.
      {"x\xE2\x80\xA8y\xE2\x80\xA9", "\"x\xE2\x80\xA8y\xE2\x80\xA9\"",
       "\"x\\u2028y\\u2029\"", "x\xE2\x80\xA8y\xE2\x80\xA9"},
      {"\xEF\xBF\xBE\xEF\xBF\xBF", "\"\xEF\xBF\xBE\xEF\xBF\xBF\"",
       "\"\xEF\xBF\xBE\xEF\xBF\xBF\"", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      // Bytes that are no UTF-8 become U+FFFD, so that the file stays UTF-8.
      {"\xFF"
       "a\xC3",
       "\"\xEF\xBF\xBD"
       "a\xEF\xBF\xBD\"",
       "\"\xEF\xBF\xBD"
       "a\xEF\xBF\xBD\"",
       "\xEF\xBF\xBD"
       "a\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    const char* text = c.text.c_str();
    EXPECT_EQ(CaptureOutput([&] { WriteCsvText(text); }), c.csv) << c.text;
    EXPECT_EQ(CaptureOutput([&] { WriteJsonString(text); }), c.json) << c.text;
    EXPECT_EQ(CaptureOutput([&] { WriteXmlText(text); }), c.xml) << c.text;
  }
}

TEST(ExportTextTest, RealsInTheirShortestForm) {
  static const struct {
    double value;
    const char* text;  // nullptr: no number
  } cases[] = {
      {4.244, "4.244"},
      {0.1 + 0.2, "0.30000000000000004"},
      {101.28715416666667, "101.28715416666667"},
      {-26.74, "-26.74"},
      {1e-05, "1e-05"},
      {0.0, "0"},
      {-0.0, "-0"},
      {1e300, "1e+300"},
      {-2.2250738585072014e-308, "-2.2250738585072014e-308"},
      {std::numeric_limits<double>::infinity(), nullptr},
      {-std::numeric_limits<double>::infinity(), nullptr},
      {std::numeric_limits<double>::quiet_NaN(), nullptr},
  };
  for (const auto& c : cases) {
    char text[kRealTextSize];
    EXPECT_EQ(FormatReal(c.value, text), c.text != nullptr) << c.value;
    EXPECT_STREQ(text, c.text != nullptr ? c.text : "") << c.value;
  }
}

// Stars with every kind of value, and names meant to break each format.
std::vector<ListedStar> HostileStars() {
  auto star = [](int32_t id, double distance, CartesianPoint point,
                 double raHours, double dec, const char* name) {
    ListedStar s{};
    s.match = {id, distance, point, raHours, dec, 0};
    s.hasName = name != nullptr;
    std::snprintf(s.name, sizeof(s.name), "%s", name != nullptr ? name : "");
    return s;
  };
  auto spectrum = [](ListedStar* s, const char* spectral,
                     const char* luminosity) {
    s->hasSpectrum = true;
    s->spectrum.HasSpectralClass = spectral != nullptr;
    std::snprintf(s->spectrum.SpectralClass, sizeof(s->spectrum.SpectralClass),
                  "%s", spectral != nullptr ? spectral : "");
    s->spectrum.HasLuminosityClass = luminosity != nullptr;
    std::snprintf(s->spectrum.LuminosityClass,
                  sizeof(s->spectrum.LuminosityClass), "%s",
                  luminosity != nullptr ? luminosity : "");
  };
  std::vector<ListedStar> stars;
  // The Sun: at the origin, with no RA and Dec.
  stars.push_back(star(100, 0.0, {0, 0, 0}, 0.0, 0.0, "Sol"));
  spectrum(&stars.back(), "G2", "V");
  stars.back().hasFacts = true;
  stars.back().facts.hasVMag = true;
  stars.back().facts.vMag = -26.74;
  stars.back().facts.hasColourIndex = true;
  stars.back().facts.colourIndex = 0.65;
  stars.push_back(star(323490000, 8.6011002845520843, {-4.5, -6.1, -1.0},
                       6.7524769444444445, -16.716116666666668, "Sirius"));
  spectrum(&stars.back(), "A1", "V+DA");
  stars.back().hasFacts = true;
  stars.back().facts = {true, -1.45, true, 0.004, true,  379.21,
                        true, 1.58,  true, "CMa", false, 0};
  stars.back().match.hasSunDistance = true;
  stars.back().match.sunDistance = 8.6011002845520843;
  stars.back().hasAstrometry = true;
  stars.back().astrometry = {true, 2000.0,  true,     "HIP", true, 0.035836,
                             true, -546.01, -1223.07, true,  32349};
  // Quotes, separators, markup (references decoded once), line ends.
  stars.push_back(star(716830100, 4.395, {1, 1, 1}, 14.6601, -60.8340,
                       "\"Q\", <b>R&amp;D</b> &amp;alpha; 'x'\n\tline,2\r"));
  spectrum(&stars.back(), "K0\"III,", "<V>&");
  stars.back().hasFacts = true;
  stars.back().facts.hasConstellation = true;
  std::snprintf(stars.back().facts.constellation,
                sizeof(stars.back().facts.constellation), "C\"e,n");
  // A distance source meant to break each format; no epoch, no motion.
  stars.back().hasAstrometry = true;
  stars.back().astrometry = {false, 0.0, true, "<\"a,b\">&", false, 0.0,
                             false, 0.0, 0.0,  true,         71683};
  // Controls, windows-1252 bytes (an undefined one among them), characters
  // beyond it, a lone "&" and a tag cut short.
  stars.push_back(
      star(708900000, 4.2441, {2, 2, 2}, 14.4965, -62.6813,
           "&#1;&#x1F;\x81\x92\x80 &euro;&#x2028;&#x1F600; & x <i"));
  // At an earlier epoch; a motion that rounds to a negative zero.
  stars.back().hasAstrometry = true;
  stars.back().astrometry = {true, 1991.54, false,  "",    true, 0.001,
                             true, -0.004,  768.16, false, 0};
  // Nothing but the match: no name, spectrum or facts.
  stars.push_back(
      star(1042170000, 11.398, {3, 3, 3}, 21.1153, 38.7420, nullptr));
  // What a spreadsheet would run, and a backslash.
  stars.push_back(star(879370000, 5.958, {4, 4, 4}, 17.9635, 4.6933,
                       "=HYPERLINK(\"x\") \\ -1"));
  return stars;
}

DownloadList HostileList(const std::vector<ListedStar>& stars) {
  DownloadList list{
      stars.data(), static_cast<int>(stars.size()), 101, 552,
      "Stars within 20 light-years of <b>&alpha; CMa</b> & \"\xC9ta\""};
  // Around Sirius; a provenance with markup and windows-1252 bytes.
  list.centre = {{-4.5, -6.1, -1.0}, true, 0.036};
  list.provenance = "Stars <&> \"Ch\xE9reau\"\x92s";
  return list;
}

// No address of the site from a web server: entry pages are relative.
void ForgetServer() {
  for (const char* name :
       {"SERVER_NAME", "SERVER_PORT", "SCRIPT_NAME", "HTTPS"}) {
    unsetenv(name);
  }
}

// The three files, byte for byte.
TEST(NeighbourDownloadsTest, HostileNamesInEachFormat) {
  ForgetServer();
  std::vector<ListedStar> stars = HostileStars();
  DownloadList list = HostileList(stars);
  static const struct {
    DownloadFormat format;
    const char* golden;
  } cases[] = {
      {DownloadFormat::kCsv, "download_hostile.csv"},
      {DownloadFormat::kJson, "download_hostile.json"},
      {DownloadFormat::kVoTable, "download_hostile.vot"},
  };
  for (const auto& c : cases) {
    std::string output =
        CaptureOutput([&] { WriteNeighbourDownload(c.format, list); });
    EXPECT_TRUE(testing::MatchesGolden(output, c.golden));
  }
}

#define CORS_HEADERS                 \
  "Access-Control-Allow-Origin: *\n" \
  "Access-Control-Expose-Headers: Content-Disposition, Veloran-Query-Status\n"

// Each case: how many stars a list holds of how many the search found, and
// the status each format gives it.
TEST(NeighbourDownloadsTest, SaysWhenTheListIsCut) {
  std::vector<ListedStar> stars = HostileStars();
  static const struct {
    int count;
    int matchCount;
    const char* status;
  } cases[] = {
      {6, 6, "OK"},
      {0, 0, "OK"},
      {6, 552, "OVERFLOW"},
      {1, 2, "OVERFLOW"},
  };
  for (const auto& c : cases) {
    DownloadList list{stars.data(), c.count, 1, c.matchCount, "Stars"};
    std::string label =
        std::to_string(c.count) + " of " + std::to_string(c.matchCount);
    std::string header = std::string("Veloran-Query-Status: ") + c.status;
    for (DownloadFormat format : {DownloadFormat::kCsv, DownloadFormat::kJson,
                                  DownloadFormat::kVoTable}) {
      std::string output =
          CaptureOutput([&] { WriteNeighbourDownload(format, list); });
      std::string head = output.substr(0, output.find("\n\n") + 1);
      EXPECT_NE(head.find(header + "\n"), std::string::npos) << label;
      EXPECT_NE(head.find(CORS_HEADERS), std::string::npos) << label;
      if (format == DownloadFormat::kJson) {
        EXPECT_NE(output.find(std::string("\n\"query_status\": \"") + c.status +
                              "\",\n"),
                  std::string::npos)
            << label;
      }
      if (format == DownloadFormat::kVoTable) {
        EXPECT_NE(output.find(std::string("<INFO name=\"QUERY_STATUS\" "
                                          "value=\"") +
                              c.status + "\""),
                  std::string::npos)
            << label;
      }
    }
  }
}

// An empty list: the CSV's header row alone, the JSON's columns and an
// empty array of stars.
TEST(NeighbourDownloadsTest, AnEmptyList) {
  DownloadList list{nullptr, 0, 1, 0, "Stars within 2 light-years of Sol"};
  std::string csv = CaptureOutput(
      [&] { WriteNeighbourDownload(DownloadFormat::kCsv, list); });
  EXPECT_EQ(csv.substr(csv.find("\n\n") + 2),
            "rank,id,hip,name,centre_distance_ly,centre_distance_error_ly,"
            "distance_ly,distance_error_ly,ra_deg,dec_deg,epoch,"
            "pm_ra_cosdec_mas_yr,pm_dec_mas_yr,galactic_x_ly,galactic_y_ly,"
            "galactic_z_ly,spectral_class,luminosity_class,v_mag,"
            "centre_v_mag,b_v,parallax_mas,parallax_error_mas,"
            "distance_source,doubtful_distance,constellation,entry_page\r\n");
  std::string json = CaptureOutput(
      [&] { WriteNeighbourDownload(DownloadFormat::kJson, list); });
  EXPECT_NE(json.find("\n{\"name\": \"pm_dec_mas_yr\", \"unit\": \"mas/yr\", "
                      "\"ucd\": \"pos.pm;pos.eq.dec\", \"description\": "),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"match_count\": 0,\n\"query_status\": \"OK\",\n"
                      "\"stars\": [\n]}\n"),
            std::string::npos)
      << json;
}

// Each real column's values with the decimals of its source, never a
// negative zero, and no number for infinity or NaN.
TEST(StarTableTest, RealsWithTheirDecimals) {
  static const struct {
    double value;
    int decimals;
    const char* text;  // nullptr: no number
  } cases[] = {
      {-1.45, 2, "-1.45"},
      {16 * 4 / 127.0 - 0.5, 3, "0.004"},  // Sirius's B-V
      {-0.0004, 3, "0.000"},               // no "-0.000"
      {-0.0, 2, "0.00"},
      {2000.0, 2, "2000.00"},
      {101.28715416666667, 6, "101.287154"},
      {-16.716116666666668, 6, "-16.716117"},
      {8.6011002845520843, 4, "8.6011"},
      {std::numeric_limits<double>::infinity(), 4, nullptr},
      {std::numeric_limits<double>::quiet_NaN(), 2, nullptr},
  };
  for (const auto& c : cases) {
    char text[kStarValueSize];
    EXPECT_EQ(FixedReal(c.value, c.decimals, text), c.text != nullptr)
        << c.value;
    EXPECT_STREQ(text, c.text != nullptr ? c.text : "") << c.value;
  }
}

// The error of a distance from the centre: from the star's and the
// centre's errors along their own lines of sight.
TEST(StarTableTest, CentreDistanceErrors) {
  static const struct {
    const char* what;
    CartesianPoint star;
    double starError;  // < 0: not known
    SearchCentre centre;
    double expected;  // < 0: not known
  } cases[] = {
      {"from the Sun: the star's own",
       {3, 4, 0},
       0.2,
       {{0, 0, 0}, true, 0},
       0.2},
      {"from a point across the line of sight: none",
       {10, 0, 0},
       0.5,
       {{10, 5, 0}, true, 0},
       0},
      {"from a point behind the star on its line of sight",
       {10, 0, 0},
       0.5,
       {{20, 0, 0}, true, 0},
       0.5},
      {"from a star beyond, both on one line",
       {10, 0, 0},
       0.3,
       {{14, 0, 0}, true, 0.4},
       0.5},
      {"from a star whose error is not known",
       {10, 0, 0},
       0.3,
       {{14, 0, 0}, false, 0},
       -1},
      {"of a star whose error is not known",
       {10, 0, 0},
       -1,
       {{0, 0, 0}, true, 0},
       -1},
      {"of a star at the centre's place",
       {10, 0, 0},
       0.3,
       {{10, 0, 0}, true, 0.1},
       -1},
  };
  for (const auto& c : cases) {
    ListedStar star{};
    double dx = c.star.x - c.centre.point.x;
    double dy = c.star.y - c.centre.point.y;
    double dz = c.star.z - c.centre.point.z;
    star.match.point = c.star;
    star.match.distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    star.hasAstrometry = true;
    star.astrometry.hasDistanceError = c.starError >= 0;
    star.astrometry.distanceError = c.starError;
    StarRow row = NeighbourRow(star, 1, c.centre);
    EXPECT_EQ(row.hasCentreDistanceError, c.expected >= 0) << c.what;
    if (c.expected >= 0) {
      EXPECT_NEAR(row.centreDistanceError, c.expected, 1e-12) << c.what;
    }
  }
}

TEST(NeighbourDownloadsTest, ReadsTheFormatParameter) {
  static const struct {
    const char* value;
    bool known;
    DownloadFormat format;
  } cases[] = {
      {"csv", true, DownloadFormat::kCsv},
      {"json", true, DownloadFormat::kJson},
      {"votable", true, DownloadFormat::kVoTable},
      {"CSV", false, DownloadFormat::kCsv},
      {"", false, DownloadFormat::kCsv},
      {"csv ", false, DownloadFormat::kCsv},
      {"xml", false, DownloadFormat::kCsv},
  };
  for (const auto& c : cases) {
    DownloadFormat format = DownloadFormat::kCsv;
    EXPECT_EQ(ReadDownloadFormat(c.value, &format), c.known) << c.value;
    if (c.known) {
      EXPECT_EQ(format, c.format) << c.value;
    }
  }
}

// The entry page is absolute where the web server says where the site is,
// and only for a plain host, port and path.
TEST(StarTableTest, EntryPageAddress) {
  static const struct {
    const char* host;
    const char* port;
    const char* script;
    const char* https;
    const char* address;
  } cases[] = {
      {nullptr, nullptr, nullptr, nullptr, "entry_page.exe?ID=100"},
      {"127.0.0.1", "8080", "/cgi-bin/neighbours", nullptr,
       "http://127.0.0.1:8080/cgi-bin/entry_page.exe?ID=100"},
      {"stars.example", "80", "/veloran/cgi-bin/cone_search", nullptr,
       "http://stars.example/veloran/cgi-bin/entry_page.exe?ID=100"},
      {"stars.example", "443", "/cgi-bin/neighbours", "on",
       "https://stars.example/cgi-bin/entry_page.exe?ID=100"},
      {"stars.example", "8443", "/cgi-bin/neighbours", "on",
       "https://stars.example:8443/cgi-bin/entry_page.exe?ID=100"},
      {"[::1]", "8080", "/cgi-bin/neighbours", nullptr,
       "http://[::1]:8080/cgi-bin/entry_page.exe?ID=100"},
      {"stars.example", "8x", "/cgi-bin/neighbours", nullptr,
       "http://stars.example/cgi-bin/entry_page.exe?ID=100"},
      // A host or path that is more than a plain name: relative.
      {"evil.example/\"><x", "80", "/cgi-bin/neighbours", nullptr,
       "entry_page.exe?ID=100"},
      {"a@b", "80", "/cgi-bin/neighbours", nullptr, "entry_page.exe?ID=100"},
      {"::1", "80", "/cgi-bin/neighbours", nullptr, "entry_page.exe?ID=100"},
      {"stars.example", "80", "/cgi-bin/<x>", nullptr, "entry_page.exe?ID=100"},
      {"stars.example", "80", "cgi-bin/neighbours", nullptr,
       "entry_page.exe?ID=100"},
      {"", "80", "/cgi-bin/neighbours", nullptr, "entry_page.exe?ID=100"},
  };
  ListedStar sun{};
  sun.match.starId = 100;
  StarRow row = NeighbourRow(sun, 1, {});
  for (const auto& c : cases) {
    ForgetServer();
    if (c.host != nullptr) setenv("SERVER_NAME", c.host, 1);
    if (c.port != nullptr) setenv("SERVER_PORT", c.port, 1);
    if (c.script != nullptr) setenv("SCRIPT_NAME", c.script, 1);
    if (c.https != nullptr) setenv("HTTPS", c.https, 1);
    char text[kStarValueSize];
    EXPECT_TRUE(FormatStarValue(StarColumn::kEntryPage, row, text));
    EXPECT_STREQ(text, c.address) << (c.host != nullptr ? c.host : "(none)");
  }
  ForgetServer();
}

// The files, as the tools that read them see them: Python's csv and json
// modules, astropy's VOTable parser in its strict mode and xmllint against
// the VOTable schema, each value compared with the stars' own.
TEST(NeighbourDownloadsTest, ToolsReadEveryFile) {
  ForgetServer();
  std::vector<ListedStar> stars = HostileStars();
  DownloadList list = HostileList(stars);
  std::string dir = testing::TestDataDir() + "/downloads";
  ASSERT_EQ(
      std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()),
      0);
  for (auto [format, name] : {std::pair{DownloadFormat::kCsv, "list"},
                              std::pair{DownloadFormat::kJson, "list"},
                              std::pair{DownloadFormat::kVoTable, "list"},
                              std::pair{DownloadFormat::kCsv, "error"},
                              std::pair{DownloadFormat::kJson, "error"},
                              std::pair{DownloadFormat::kVoTable, "error"}}) {
    const char* extension = format == DownloadFormat::kCsv    ? ".csv"
                            : format == DownloadFormat::kJson ? ".json"
                                                              : ".vot";
    std::string output = CaptureOutput([&] {
      if (std::string(name) == "list") {
        WriteNeighbourDownload(format, list);
      } else {
        // The message as check_downloads.py expects it, in windows-1252.
        WriteDownloadError(format, HttpStatus::kBadRequest,
                           "The largest distance (ly) is \"not\" a "
                           "&lt;number&gt;, \xB0.");
      }
    });
    // The body, without the reply's header.
    std::string body = output.substr(output.find("\n\n") + 2);
    FILE* file = std::fopen((dir + "/" + name + extension).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(body.data(), 1, body.size(), file);
    std::fclose(file);
  }
  // What each star's values are, one value a line ("-" for null): the
  // checker compares every file with them.
  std::string expected;
  for (size_t i = 0; i < stars.size(); ++i) {
    StarRow row = NeighbourRow(stars[i], list.firstRank + static_cast<int>(i),
                               list.centre);
    for (StarColumn column : {StarColumn::kId,
                              StarColumn::kHip,
                              StarColumn::kCentreDistance,
                              StarColumn::kCentreDistanceError,
                              StarColumn::kDistance,
                              StarColumn::kDistanceError,
                              StarColumn::kRa,
                              StarColumn::kDec,
                              StarColumn::kEpoch,
                              StarColumn::kPmRa,
                              StarColumn::kPmDec,
                              StarColumn::kGalacticX,
                              StarColumn::kGalacticY,
                              StarColumn::kGalacticZ,
                              StarColumn::kVMag,
                              StarColumn::kColourIndex,
                              StarColumn::kParallax,
                              StarColumn::kParallaxError,
                              StarColumn::kCentreVMag,
                              StarColumn::kDoubtfulDistance}) {
      char value[kStarValueSize];
      expected += FormatStarValue(column, row, value) ? value : "-";
      expected += " ";
    }
    expected += "\n";
  }
  FILE* file = std::fopen((dir + "/expected.txt").c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(expected.data(), 1, expected.size(), file);
  std::fclose(file);
  testing::ProgramResult result = testing::RunTool(
      {"/usr/bin/python3", VELORAN_SOURCE_DIR "/tests/vo/check_downloads.py",
       dir});
  EXPECT_EQ(result.status, 0) << result.output;
}

}  // namespace
}  // namespace veloran
