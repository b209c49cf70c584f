#ifndef VELORAN_NAMES_KNOWN_NAMES_H_
#define VELORAN_NAMES_KNOWN_NAMES_H_

#include <cstddef>

#include "names/constellations.h"

// The name of a star as visitors know it, beside the one astronomers use:
// a Bayer or Flamsteed designation spelled out with its constellation's
// genitive ("&tau; Cet" is Tau Ceti, "61 Cyg A" 61 Cygni A), and a proper
// name with the designation that it stands for ("Ran (&epsilon;
// Eridani)").  Names are HTML fragments in windows-1252, as the database
// holds them.

namespace veloran {

// A Bayer or Flamsteed designation as the database writes it: "&tau; Cet",
// "&alpha;1 Cen", "&alpha; Cen A", "b1 Aqr", "61 Cyg B".
struct StarDesignation {
  const char* greekLetter;  // "tau"; nullptr for a Latin letter or none
  char latinLetter;         // 'b'; '\0' for none
  char number[8];           // "1", "61"; empty for none
  const Constellation* constellation;
  char component;  // 'A' to 'Z'; '\0' for none
};

// Reads the designation "name" into *designation.  Returns false when the
// name is none: a proper name, a catalogue number, a constellation that
// the table does not know.
bool ReadStarDesignation(const char* name, StarDesignation* designation);

// Room for the known name of any display name and designation.
inline constexpr size_t kKnownNameSize = 256;

// Writes into "text" (of "size" bytes) the name by which the pages head a
// star whose display name is "displayName" and whose proper names and
// designations (ProperNames rows) are the "count" texts "names", an HTML
// fragment:
//  - a display name that is a designation, spelled out with the
//    designation after it: "Tau Ceti (&tau; Cet)";
//  - a display name that is one of "names" (a proper name), with the
//    star's designation, Greek letter and genitive, after it: "Ran
//    (&epsilon; Eridani)".  A Bayer designation with a component letter
//    ("&alpha; Cen A", as visitors name the stars of a system) goes before
//    one without, which goes before a Flamsteed one;
//  - any other display name as it is.
// A known name that does not fit is the display name alone, cut to fit;
// nothing is written beyond text[size - 1].
void FormatKnownName(const char* displayName, const char* const* names,
                     int count, char* text, size_t size);

}  // namespace veloran

#endif  // VELORAN_NAMES_KNOWN_NAMES_H_
