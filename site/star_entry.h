#ifndef VELORAN_SITE_STAR_ENTRY_H_
#define VELORAN_SITE_STAR_ENTRY_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "astro/position_conversion.h"
#include "catalogue/catalogue_names.h"
#include "catalogue/display_names.h"
#include "catalogue/star_records.h"
#include "search/neighbour_scan.h"
#include "site/listed_star.h"

// Everything the entry page shows of one star, read from the database
// before any of the page is written.

namespace veloran {

// At most this many names of each kind are read for one star, and this
// many other components of its system (the most that the ID convention
// allows).
constexpr int kMaxEntryNames = 100;
constexpr int kMaxComponents = 99;

// At most this many other members of the star's multiple system are read.
constexpr int kMaxSystemMembers = 50;

// The entry page maps the stars within this many light-years of the star:
// the nearest kMaxListedStars of them, the stars that the search
// neighbor_search?ID=N&ly=20 lists.
constexpr int kNeighbourhoodRadius = 20;

struct Designation {
  char abbreviation[kAbbreviationSize];
  char value[kNameValueSize];
};

// Another star whose ID shares the Hipparcos number of the entry's: its ID
// divided by 10000.
struct Component {
  int32_t id;
  bool hasName;
  char name[kDisplayNameSize];
};

// Another star of the entry's multiple system, with its separation from
// the entry's star: the distance between their galactic points.
struct SystemMember {
  int32_t id;
  bool hasName;
  char name[kDisplayNameSize];
  bool hasSeparation;
  double separation;  // light-years
};

struct StarEntry {
  int32_t id;
  bool hasName;  // the display name
  char name[kDisplayNameSize];
  bool hasPosition;
  PositionRecord position;
  bool hasSpectrum;
  SpectrumRecord spectrum;
  int properNameCount;
  char properNames[kMaxEntryNames][kNameValueSize];
  int designationCount;
  Designation designations[kMaxEntryNames];
  int componentCount;
  Component components[kMaxComponents];
  bool hasPoint;  // the position converts to a galactic point
  CartesianPoint point;
  bool hasFacts;  // the star has a StarFacts row
  StarFacts facts;
  // The other members of the system, its primary first and then by
  // separation, nearest first; those without one last, by ID.
  int memberCount;
  SystemMember members[kMaxSystemMembers];
  bool membersCut;  // the system has more members than were read
  // With a galactic point: the stars within kNeighbourhoodRadius
  // light-years, how many there are and the nearest of them, nearest first
  // (the star itself left out).  None without a point.
  int neighbourTotal;
  int neighbourCount;
  ListedStar neighbours[kMaxListedStars];
  const char* failure;  // with kFailed: what could not be read
};

enum class EntryReading {
  kFound,    // *entry is filled
  kUnknown,  // no Positions row has the star's ID
  kFailed,   // a read failed (read_fault.h): the entry is not to be shown
};

// Reads the entry of star "id" into *entry through "statement", with the
// catalogue table loaded (LoadCatalogueNames).  A star is known by its
// Positions row; its names are the rows of its block of 100 (ID .. ID+99)
// in OwnerID order, NULL names left out, and its other components are the
// other stars whose ID divided by 10000 is the same, for IDs of 10000 and
// above (the Sun and the IDs below have no Hipparcos number).  Its facts and
// the members of its system are its StarFacts row and the rows of the same
// SystemID; a database without that table has none.  Its neighbours are
// found by a scan of every position, as the search around the star finds
// them, each with its name, spectrum and facts.  Any other read that
// fails (read_fault.h), such as a missing table or column or a row that
// does not convert, makes the reading kFailed, so that no entry is shown
// with a part missing; what the database does not hold (a name, a
// spectrum) is left out of an entry that is still kFound.
EntryReading ReadStarEntry(SQLHSTMT statement, int32_t id, StarEntry* entry);

}  // namespace veloran

#endif  // VELORAN_SITE_STAR_ENTRY_H_
