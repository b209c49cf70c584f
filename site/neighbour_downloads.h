#ifndef VELORAN_SITE_NEIGHBOUR_DOWNLOADS_H_
#define VELORAN_SITE_NEIGHBOUR_DOWNLOADS_H_

#include "site/html_page.h"
#include "site/listed_star.h"
#include "site/star_table.h"

// The list of a neighbour search as a file to download: CSV (RFC 4180) or
// JSON in UTF-8, or a VOTable 1.4.  Each has the columns of
// site/star_table.h, in this order: rank, id, hip, name,
// centre_distance_ly, centre_distance_error_ly, distance_ly,
// distance_error_ly, ra_deg, dec_deg, epoch, pm_ra_cosdec_mas_yr,
// pm_dec_mas_yr, galactic_x_ly, galactic_y_ly, galactic_z_ly,
// spectral_class, luminosity_class, v_mag, centre_v_mag, b_v,
// parallax_mas, parallax_error_mas, distance_source, doubtful_distance,
// constellation, entry_page.  Names are written as plain text (no HTML
// references), numbers with the decimals their sources hold (each
// column's description says them), the ID and HIP number as integers in
// every format; a value the database does not hold is empty in CSV, null
// in JSON and an empty cell in the VOTable.  The Sun, at the origin, has
// no right ascension or declination.

namespace veloran {

enum class DownloadFormat { kCsv, kJson, kVoTable };

// The format named by a "format" parameter: "csv", "json" or "votable".
// False for any other text.
bool ReadDownloadFormat(const char* value, DownloadFormat* format);

// What the list is: its ranks in the whole ranking and a description of
// the search ("Stars within 20 light-years of Sol"; windows-1252, plain
// text or an HTML fragment such as a heading with a display name in it:
// the files have its plain text, with its references decoded and its tags
// left out, as for the names).
struct DownloadList {
  const ListedStar* stars;
  int count;
  int firstRank;     // of stars[0], counting from 1
  int matchCount;    // of the whole ranking
  const char* description;
  // Each star's rank by distance in the whole ranking, or nullptr for
  // firstRank onwards (a list in the ranking's order).
  const int* ranks = nullptr;
  // The search's centre, for the errors of the distances from it.
  SearchCentre centre = {};
  // The database's provenance, as FormatDataDescription takes it.
  const char* provenance = nullptr;
};

// Writes the whole reply: its header (the content type, a file name to
// save it under: "neighbours-101-200.csv", the headers that let a page of
// any origin read it, and Veloran-Query-Status) and the list in "format".
// A list that is not the whole result (a page of it) says so: the status
// is OVERFLOW (else OK) in the header, in JSON's "query_status" and in the
// VOTable's QUERY_STATUS; CSV has no place for it but the header, since
// its readers take any other line for a row.
//   CSV      a header row with the columns' names, then a record a star,
//            every line ended by CR LF; texts quoted, numbers bare
//   JSON     {"description": ..., "data": ..., "columns": [{"name":
//            "rank", "unit": null, "ucd": ..., "description": ...}, ...],
//            "first_rank": ..., "last_rank": ..., "match_count": ...,
//            "stars": [{"rank": 1, "id": 100, ...}]}, "data" the
//            provenance and the positions' epochs (FormatDataDescription)
//   VOTable  one RESOURCE of type "results" (its DESCRIPTION the data's)
//            and one TABLE with the columns' units and UCD1+, the ranks
//            as PARAMs, positions in ICRS (COOSYS, at epoch J2000 when
//            every star is)
// "list.stars" holds "list.count" stars (read with ReadListedStars).
void WriteNeighbourDownload(DownloadFormat format, const DownloadList& list);

// Writes the whole reply to a download that cannot be made, with the HTTP
// status "status" and "message" (plain text in windows-1252) in "format":
// CSV of one column "error" and one record, {"query_status": "ERROR",
// "error": ...} in JSON, a VOTable whose QUERY_STATUS is ERROR.
void WriteDownloadError(DownloadFormat format, HttpStatus status,
                        const char* message);

}  // namespace veloran

#endif  // VELORAN_SITE_NEIGHBOUR_DOWNLOADS_H_
