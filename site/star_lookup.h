#ifndef VELORAN_SITE_STAR_LOOKUP_H_
#define VELORAN_SITE_STAR_LOOKUP_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "catalogue/display_names.h"
#include "names/name_keys.h"

// Stars looked up by a name as visitors type it: the stars whose proper
// name or catalogue designation has the search key of the text
// (names/name_keys.h), or starts with it, read through NameLookup; the
// names closest to a name found nowhere; the stars the database lacks.
// The finder's pages (name_finder.h) and the pages that take a star by
// its name (neighbours) use it.

namespace veloran {

// The most stars a list shows.
inline constexpr int kMaxFoundStars = 50;

constexpr int kFoundNameSize = 256;
constexpr int kClassSize = 64;

// A star found, with the name by which it was found and, on a list, the
// name under which the result pages show it (empty when it has none).
struct FoundStar {
  int32_t id;
  char name[kFoundNameSize];
  char displayName[kDisplayNameSize];
  bool hasDistance;
  double distance;
  bool hasDistanceError;
  double distanceError;
  char spectralClass[kClassSize];
  char luminosityClass[kClassSize];
  // Of a suggestion: how many edits its key is from the typed one, whether
  // the name found is a proper name, and the star's apparent magnitude.
  int edits;
  bool isProperName;
  bool hasMagnitude;
  double magnitude;
};

struct Findings {
  FoundStar stars[kMaxFoundStars];
  int count;
  int exactCount;  // the first exactCount stars have the key exactly
};

// A star that visitors look for and the database lacks (AbsentStars), with
// why, both HTML fragments.
struct AbsentStar {
  bool found;
  char name[kFoundNameSize];
  char reason[512];
};

// The keys under which a typed name is looked up in turn, until one finds
// a star: the name's own, then with a catalogue typed by another of its
// names as the stored keys abbreviate it ("Gliese 699" as GJ 699), then the
// same two of the name without the words around it (BareName).
constexpr int kMaxReadings = 4;
struct Readings {
  char keys[kMaxReadings][kNameKeySize];
  int count;
  int plain;  // the reading that suggestions start from: the bare name's
              // own key where there is one

  // Adds "key" unless it is among the readings already.
  void Add(const char* key);
  // Adds "key" and the key with its catalogue abbreviated.
  void AddWithCatalogue(const char* key);
};

// Reads the display name of every star found, so that a list tells apart
// stars found by a name they share (the components of a system, say).  A
// star without a display name is listed by the name found.  Returns false
// when a read failed (read_fault.h).
bool ReadDisplayNames(SQLHSTMT statement, Findings* findings);

// The key of the searched text, with a constellation named in full
// abbreviated as the stored keys have it.
bool SearchKey(const char* text, char (&key)[kNameKeySize],
               NameKeyFault* fault);

// The stars of the names closest to the key "typed", the best few in
// order, into "suggestions".  Without a StarFacts table
// the brightness is not known and plays no part.  Returns false when the
// database could not be read.
bool Suggest(SQLHSTMT statement, const char* typed, Findings* suggestions);

// The readings of "name", whose own key is "key".
void ReadName(const char* name, const char* key, Readings* readings);

// The stars of the first reading of "readings" that finds any into
// "findings": those whose names have its key exactly, then those whose
// names begin with it.  Returns false when the database
// could not be read.
bool FindByName(SQLHSTMT statement, const Readings& readings,
                Findings* findings);

// Looks each of "readings" up among the stars that the database lacks, into
// *absent.  A database without the table (a statement refused) lacks none.
// Returns false when the table could not be read.
bool FindAbsentStar(SQLHSTMT statement, const Readings& readings,
                    AbsentStar* absent);

// Whether the findings are one star, which the finder goes to at once: the
// one whose name has the key exactly, or else the only one whose name
// begins with it.
bool IsOneStar(const Findings& findings);

// Whether the finder can look "name" up: it has a letter or digit, and its
// key is not too long; *fault says why not.
bool IsSearchableName(const char* name, NameKeyFault* fault);

// What looking a searchable name up found.
enum class NameMatch {
  kOne,      // the star the finder would go to at once
  kSeveral,  // the finder would list them
  kNone,
};

// Looks "name" up as the finder does, into *match, with the star's ID in
// *id for kOne.  Returns false when the NameLookup table could not be read
// (kept as the read fault).
bool LookUpStarName(SQLHSTMT statement, const char* name, NameMatch* match,
                    int32_t* id);

}  // namespace veloran

#endif  // VELORAN_SITE_STAR_LOOKUP_H_
