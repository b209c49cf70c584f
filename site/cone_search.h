#ifndef VELORAN_SITE_CONE_SEARCH_H_
#define VELORAN_SITE_CONE_SEARCH_H_

#include <cstddef>

#include "site/star_table.h"

// The cone search, cone_search?RA=deg&DEC=deg&SR=deg: a service of the
// Virtual Observatory's Simple Cone Search (IVOA Recommendation 1.03).  It
// answers with a VOTable 1.1 of the stars whose right ascension and
// declination lie within SR degrees of (RA, DEC), nearest first, with the
// UCDs that the Recommendation requires on the ID (ID_MAIN), the right
// ascension (POS_EQ_RA_MAIN) and the declination (POS_EQ_DEC_MAIN), and
// UCD1+ on the catalogue's own columns; VERB=1, 2 (the default) or 3 asks
// for fewer or more of them.  Positions are ICRS, at epoch J2000 for most
// stars (COOSYS); a star without right ascension or declination is in no
// cone.
//
// As DALI asks of its services: parameter names are read in any letter
// case, a parameter given twice is an error, a form sent with POST is
// read as the query (and the query string with it), and RESPONSEFORMAT
// chooses the VOTable (votable, text/xml or application/x-votable+xml, the
// reply then of that type) or CSV (csv or text/csv, the columns' names in
// a header row); any other format is an error.
//
// A request that the Recommendation calls an error (RA, DEC or SR missing
// or no number, RA outside 0 to 360, DEC beyond +-90, SR below 0 or above
// the largest radius) gets a VOTable with INFO name="Error" (as the
// Recommendation prefers) and INFO name="QUERY_STATUS" value="ERROR" in its
// results RESOURCE (as DALI writes it), with HTTP status 200, which clients
// of the Recommendation expect; a request for CSV gets its error as plain
// text with status 400.  SR=0 asks for the columns alone (no database is
// read), and so does MAXREC=0 (DALI), which also says OVERFLOW.  More stars
// in the cone than the largest number of rows (or than MAXREC) list the
// nearest of them with QUERY_STATUS OVERFLOW (in CSV, the header line
// "Veloran-Query-Status: OVERFLOW").  A data source that cannot be reached
// (503) or read (500) gets the same error document with that status, and
// one line on standard error.
//
// Below the service's address (PATH_INFO), "/capabilities" and
// "/availability" answer as VOSI describes them (cone_service.h).  Every
// reply may be read by a page of any origin, and OPTIONS answers a
// browser's preflight (web_request.h).

namespace veloran {

// What the operator may set, in the environment that the web server gives
// the program: VELORAN_CONE_MAX_SR, the largest radius in degrees (above 0,
// at most 180), and VELORAN_CONE_MAX_RECORDS, the largest number of rows
// (1 to 1,000,000).
struct ConeLimits {
  double maxRadius;
  int maxRecords;
};
inline constexpr ConeLimits kDefaultConeLimits{10.0, 10000};
inline constexpr int kMostConeRecords = 1000000;

// The limits of the texts "maxRadius" and "maxRecords" (nullptr when the
// variable is unset).  A text that is no such limit leaves its default,
// with one line on standard error that says so.
ConeLimits ReadConeLimits(const char* maxRadius, const char* maxRecords);

// The limits of the process's environment, as above.
ConeLimits ReadConeLimitsFromEnvironment();

enum class ConeFormat { kVoTable, kCsv };

// A request as read from the query's parameters, whose names are read in
// any letter case (DALI).
struct ConeRequest {
  double ra;       // degrees
  double dec;      // degrees
  double radius;   // degrees
  int verbosity;   // 1 to 3
  int maxRecords;  // the rows to list at most: the limit, or MAXREC
  ConeFormat format;
  const char* contentType;  // of the reply, as RESPONSEFORMAT asks
};

// The longest message of a refused request, and its terminator.
constexpr size_t kConeMessageSize = 256;

// Reads the request from the decoded query (cgi/query_params.h) within
// "limits" into *request.  Returns false, with the message for the Error
// INFO in "message" (plain ASCII), when the request is an error; its
// format and content type are then read as far as RESPONSEFORMAT allowed
// (the VOTable when it is the error).  A value that the message shows is
// shown short and with every byte that is not plain ASCII
// percent-encoded.
bool ReadConeRequest(const ConeLimits& limits, ConeRequest* request,
                     char (&message)[kConeMessageSize]);

// The angle between two directions, in degrees (Vincenty's formula, which
// keeps its precision for every angle, from a point to its antipode).
double AngularSeparation(double ra1, double dec1, double ra2, double dec2);

// The most columns of a table, those of VERB=3.
constexpr size_t kMostConeColumns = 19;

// The columns of a table of verbosity "verbosity" (1 to 3), in their
// order, into "columns"; returns their number.
size_t ConeColumns(int verbosity, StarColumn (&columns)[kMostConeColumns]);

// Answers the request given by "queryString" (nullptr when QUERY_STRING is
// absent, which is read as empty) with the limits of the environment, and
// returns the exit status: 0 for a table, -1 for an error.
int AnswerConeRequest(const char* queryString);

}  // namespace veloran

#endif  // VELORAN_SITE_CONE_SEARCH_H_
