#include "site/cone_search.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "cgi/query_params.h"

namespace veloran {
namespace {

// Each case: a query and the request read from it, or the words of its
// error message.
TEST(ConeRequestTest, ReadsTheRequest) {
  const ConeLimits limits{10.0, 500};
  static const struct {
    const char* query;
    const char* error;  // nullptr: read; else a part of the message
    double ra, dec, radius;
    int verbosity, maxRecords;
  } cases[] = {
      {"RA=180.567&DEC=-30.45&SR=0.0125", nullptr, 180.567, -30.45, 0.0125, 2,
       500},
      {"ra=10&dec=20&sr=1", nullptr, 10, 20, 1, 2, 500},  // any letter case
      {"Ra=10&dEc=20&sR=1&verb=3", nullptr, 10, 20, 1, 3, 500},
      {"SR=1e-05&DEC=+90&RA=0", nullptr, 0, 90, 1e-5, 2, 500},
      {"RA=%2B359.5&DEC=-90&SR=10", nullptr, 359.5, -90, 10, 2, 500},
      {"RA=360&DEC=0&SR=0", nullptr, 360, 0, 0, 2, 500},
      {"RA=+1.5d1&DEC=.5&SR=5.&VERB=1", nullptr, 15, 0.5, 5, 1, 500},
      {"RA=1&DEC=2&SR=3&VERB=2&MAXREC=7", nullptr, 1, 2, 3, 2, 7},
      {"RA=1&DEC=2&SR=3&MAXREC=0", nullptr, 1, 2, 3, 2, 0},
      {"RA=1&DEC=2&SR=3&MAXREC=500", nullptr, 1, 2, 3, 2, 500},
      {"RA=1&DEC=2&SR=3&MAXREC=501", nullptr, 1, 2, 3, 2, 500},
      {"RA=1&DEC=2&SR=3&MAXREC=99999999999", nullptr, 1, 2, 3, 2, 500},
      {"RA=1&DEC=2&SR=3&MAXREC=999999999999999999999999999999", nullptr, 1, 2,
       3, 2, 500},
      {"RA=+1+&DEC=2&SR=3", nullptr, 1, 2, 3, 2, 500},  // blanks around
      {"RA=1&DEC=2&SR=3&FOO=bar&foo=baz", nullptr, 1, 2, 3, 2, 500},
      // Errors.
      {"", "The parameter RA is missing", 0, 0, 0, 0, 0},
      {"RA=1&SR=1", "The parameter DEC is missing", 0, 0, 0, 0, 0},
      {"RA=1&DEC=1", "The parameter SR is missing", 0, 0, 0, 0, 0},
      {"RA=&DEC=1&SR=1", "RA '' is no number", 0, 0, 0, 0, 0},
      {"RA=as3f&DEC=1&SR=1", "RA 'as3f' is no number", 0, 0, 0, 0, 0},
      {"RA=12abc&DEC=1&SR=1", "RA '12abc' is no number", 0, 0, 0, 0, 0},
      {"RA=1&DEC=nan&SR=1", "DEC 'nan' is no number", 0, 0, 0, 0, 0},
      {"RA=inf&DEC=1&SR=1", "RA 'inf' is no number", 0, 0, 0, 0, 0},
      {"RA=0x10&DEC=1&SR=1", "RA '0x10' is no number", 0, 0, 0, 0, 0},
      {"RA=1e&DEC=1&SR=1", "RA '1e' is no number", 0, 0, 0, 0, 0},
      {"RA=1&DEC=1&SR=.", "SR '.' is no number", 0, 0, 0, 0, 0},
      {"RA=1e999&DEC=1&SR=1", "RA '1e999' is too large", 0, 0, 0, 0, 0},
      {"RA=1&DEC=91.0&SR=1", "DEC '91.0' is out of range", 0, 0, 0, 0, 0},
      // A right ascension is not taken round.
      {"RA=-10&DEC=0&SR=1", "RA '-10' is out of range", 0, 0, 0, 0, 0},
      {"RA=360.0001&DEC=0&SR=1", "RA '360.0001' is out of range", 0, 0, 0, 0,
       0},
      {"RA=720.5&DEC=0&SR=1", "RA '720.5' is out of range", 0, 0, 0, 0, 0},
      // Each parameter once, whatever the letter case.
      {"RA=1&DEC=2&SR=3&RA=as3f", "The parameter RA is given 2 times", 0, 0, 0,
       0, 0},
      {"RA=1&DEC=2&SR=3&ra=1", "The parameter RA is given 2 times", 0, 0, 0, 0,
       0},
      {"RA=1&DEC=2&SR=3&Sr=3&sr=3", "The parameter SR is given 3 times", 0, 0,
       0, 0, 0},
      {"RA=1&DEC=2&SR=3&VERB=1&verb=1", "The parameter VERB is given 2 times",
       0, 0, 0, 0, 0},
      {"RA=1&DEC=2&SR=3&MAXREC=1&MaxRec=", "The parameter MAXREC is given 2", 0,
       0, 0, 0, 0},
      {"RA=1&DEC=-90.0001&SR=1", "DEC '-90.0001' is out of range", 0, 0, 0, 0,
       0},
      {"RA=1&DEC=1&SR=-1", "SR '-1' is out of range", 0, 0, 0, 0, 0},
      {"RA=1&DEC=1&SR=10.5",
       "SR '10.5' is larger than the largest radius of this service, 10 "
       "degrees",
       0, 0, 0, 0, 0},
      {"RA=1&DEC=1&SR=1&VERB=4", "VERB '4' is not 1, 2 or 3", 0, 0, 0, 0, 0},
      {"RA=1&DEC=1&SR=1&VERB=0", "VERB '0' is not 1, 2 or 3", 0, 0, 0, 0, 0},
      {"RA=1&DEC=1&SR=1&VERB=2.5", "VERB '2.5' is not", 0, 0, 0, 0, 0},
      {"RA=1&DEC=1&SR=1&MAXREC=-1", "MAXREC '-1' is no whole number", 0, 0, 0,
       0, 0},
      // Whole numbers are digits alone (whole_number.h), unlike RA, DEC and
      // SR: no sign, blank or leading zero.
      {"RA=1&DEC=1&SR=1&VERB=+2", "VERB ' 2' is not 1, 2 or 3", 0, 0, 0, 0,
       0},
      {"RA=1&DEC=1&SR=1&VERB=%2B2", "VERB '+2' is not 1, 2 or 3", 0, 0, 0, 0,
       0},
      {"RA=1&DEC=1&SR=1&VERB=02", "VERB '02' is not 1, 2 or 3", 0, 0, 0, 0,
       0},
      {"RA=1&DEC=1&SR=1&MAXREC=007", "MAXREC '007' is no whole number", 0, 0,
       0, 0, 0},
      {"RA=1&DEC=1&SR=1&MAXREC=7+", "MAXREC '7 ' is no whole number", 0, 0, 0,
       0, 0},
      {"RA=1&DEC=1&SR=1&MAXREC=1e2", "MAXREC '1e2' is no whole number", 0, 0,
       0, 0, 0},
      // What is shown of a value: plain ASCII, the quotes as sent, every
      // other byte and "%" encoded; a long value only by its length.
      {"RA=%3Cscript%3E%22%27&DEC=1&SR=1", "RA '<script>\"'' is no number", 0,
       0, 0, 0, 0},
      {"RA=10*&DEC=1&SR=1", "RA '10%B0' is no number", 0, 0, 0, 0, 0},
      {"RA=%0D%0A%FF%25&DEC=1&SR=1", "RA '%0D%0A%FF%25' is no number", 0, 0, 0,
       0, 0},
      {"RA=1&DEC=1&SR=xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx",
       "SR (a text of 50 bytes) is no number", 0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    ClearQueryParams();
    DecodeQueryStringAsSent(c.query);
    ConeRequest request{};
    char message[kConeMessageSize];
    bool read = ReadConeRequest(limits, &request, message);
    EXPECT_EQ(read, c.error == nullptr) << c.query << ": " << message;
    if (!read) {
      EXPECT_NE(std::string(message).find(c.error), std::string::npos)
          << c.query << ": " << message;
      for (const char* m = message; *m != '\0'; ++m) {
        EXPECT_TRUE(*m >= 0x20 && *m <= 0x7E) << c.query << ": " << message;
      }
      continue;
    }
    EXPECT_EQ(request.ra, c.ra) << c.query;
    EXPECT_EQ(request.dec, c.dec) << c.query;
    EXPECT_EQ(request.radius, c.radius) << c.query;
    EXPECT_EQ(request.verbosity, c.verbosity) << c.query;
    EXPECT_EQ(request.maxRecords, c.maxRecords) << c.query;
  }
  ClearQueryParams();
}

// Each case: a RESPONSEFORMAT and the format and content type of the reply,
// or the error (whose reply is a VOTable).
TEST(ConeRequestTest, ResponseFormats) {
  const ConeLimits limits{10.0, 500};
  constexpr char kXml[] = "text/xml; charset=UTF-8";
  constexpr char kCsv[] = "text/csv; charset=utf-8; header=present";
  static const struct {
    const char* format;
    bool read;
    ConeFormat expected;
    const char* contentType;
  } cases[] = {
      {"", true, ConeFormat::kVoTable, kXml},
      {"&RESPONSEFORMAT=", true, ConeFormat::kVoTable, kXml},
      {"&RESPONSEFORMAT=votable", true, ConeFormat::kVoTable, kXml},
      {"&responseformat=text/xml", true, ConeFormat::kVoTable, kXml},
      {"&RESPONSEFORMAT=application/x-votable%2Bxml", true,
       ConeFormat::kVoTable, "application/x-votable+xml; charset=UTF-8"},
      {"&RESPONSEFORMAT=csv", true, ConeFormat::kCsv, kCsv},
      {"&ResponseFormat=text/csv", true, ConeFormat::kCsv, kCsv},
      // Not offered: the error is a VOTable.
      {"&RESPONSEFORMAT=CSV", false, ConeFormat::kVoTable, kXml},
      {"&RESPONSEFORMAT=application/fits", false, ConeFormat::kVoTable, kXml},
      {"&RESPONSEFORMAT=text/csv;header=absent", false, ConeFormat::kVoTable,
       kXml},
      {"&RESPONSEFORMAT=tsv", false, ConeFormat::kVoTable, kXml},
      // A later error is written in the format asked for.
      {"&RESPONSEFORMAT=csv&RESPONSEFORMAT=csv", false, ConeFormat::kCsv, kCsv},
      {"&RESPONSEFORMAT=csv&SR=1", false, ConeFormat::kCsv, kCsv},
  };
  for (const auto& c : cases) {
    ClearQueryParams();
    std::string query = std::string("RA=1&DEC=2&SR=3") + c.format;
    DecodeQueryStringAsSent(query.c_str());
    ConeRequest request{};
    char message[kConeMessageSize];
    EXPECT_EQ(ReadConeRequest(limits, &request, message), c.read)
        << query << ": " << message;
    EXPECT_EQ(request.format, c.expected) << query;
    EXPECT_STREQ(request.contentType, c.contentType) << query;
  }
  ClearQueryParams();
}

// Each case: two directions and the angle between them, in degrees.
TEST(ConeRequestTest, AngularSeparation) {
  static const struct {
    double ra1, dec1, ra2, dec2;
    double separation;
  } cases[] = {
      {0, 0, 0, 0, 0},
      {0, 0, 90, 0, 90},
      {0, 0, 180, 0, 180},  // antipodes
      {10, 20, 190, -20, 180},
      {0, 0, 0, 90, 90},
      {0, 90, 180, 90, 0},        // the pole, whatever the RA
      {0, 89.9, 180, 89.9, 0.2},  // across the pole
      {45, -89.95, 225, -89.95, 0.1},
      {359.9, 0, 0.1, 0, 0.2},  // across 0h
      {0.05, 10, 359.95, 10, 0.1 * std::cos(10 * M_PI / 180)},
      {-10, 0, 350, 0, 0},  // the same RA, written otherwise
      {720.5, 0, 0.5, 0, 0},
      {101.28715416666667, -16.716116666666668, 101.28715416666667,
       -16.716116666666668 + 1e-9, 1e-9},  // precise at tiny angles
      {200, 30, 200.0000001, 30, 1e-7 * std::cos(30 * M_PI / 180)},
  };
  for (const auto& c : cases) {
    double separation = AngularSeparation(c.ra1, c.dec1, c.ra2, c.dec2);
    // Relative to the angle, and to a nanodegree for the smallest.
    double tolerance = std::fmax(1e-12, 1e-9 * c.separation);
    if (c.separation > 1e-6 && c.separation < 0.5)
      tolerance = 1e-6 * c.separation;
    EXPECT_NEAR(separation, c.separation, tolerance)
        << c.ra1 << " " << c.dec1 << " " << c.ra2 << " " << c.dec2;
    EXPECT_EQ(separation, AngularSeparation(c.ra2, c.dec2, c.ra1, c.dec1));
  }
}

TEST(ConeRequestTest, ReadsTheLimits) {
  static const struct {
    const char* maxRadius;
    const char* maxRecords;
    double radius;
    int records;
  } cases[] = {
      {nullptr, nullptr, 10.0, 10000},
      {"180", "1", 180.0, 1},
      {"0.5", "1000000", 0.5, 1000000},
      {" 2.5 ", "20", 2.5, 20},
      {"1", "10000", 1.0, 10000},
      // Not limits: the defaults.
      {"0", "0", 10.0, 10000},
      {"180.1", "1000001", 10.0, 10000},
      {"-1", "-5", 10.0, 10000},
      {"ten", "1e3", 10.0, 10000},
      {"", "", 10.0, 10000},
      {"nan", "99999999999", 10.0, 10000},
      {"1", "+20", 1.0, 10000},
      {"1", " 20", 1.0, 10000},
      {"1", "020", 1.0, 10000},
  };
  for (const auto& c : cases) {
    ConeLimits limits = ReadConeLimits(c.maxRadius, c.maxRecords);
    EXPECT_EQ(limits.maxRadius, c.radius)
        << (c.maxRadius != nullptr ? c.maxRadius : "(unset)");
    EXPECT_EQ(limits.maxRecords, c.records)
        << (c.maxRecords != nullptr ? c.maxRecords : "(unset)");
  }
}

}  // namespace
}  // namespace veloran
