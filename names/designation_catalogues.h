#ifndef VELORAN_NAMES_DESIGNATION_CATALOGUES_H_
#define VELORAN_NAMES_DESIGNATION_CATALOGUES_H_

#include <cstddef>

// The catalogues whose designations visitors type for the nearby stars
// ("GJ 699", "Ross 128", "Groombridge 34", "BD+04 3561a"), beyond those of
// the Hipparcos tables.  The importer writes them into CatalogNames and
// the designations of db/nearby_designations.psv into CatalogNumbers; the
// finder reads a catalogue typed by another of its names ("Gliese 699",
// "Gl 699") as the abbreviation that the stored keys have.

namespace veloran {

struct DesignationCatalogue {
  // As CatalogNumbers stores it, at most 10 characters, and as the name
  // keys of its designations begin: "GJ", "Grb".
  const char* abbreviation;
  // As the pages write it before a number: "GJ", "Groombridge".
  const char* longName;
  // The catalogue, an HTML fragment for the entry page.
  const char* description;
  // Other names of the catalogue that visitors type before a number, or
  // nullptr: "Gliese", "Gl".
  const char* otherNames[3];
};

extern const DesignationCatalogue kDesignationCatalogues[];
extern const size_t kDesignationCatalogueCount;

// The catalogue of the designation "designation" as a list writes it, by
// its abbreviation or long name followed by a blank or a sign ("GJ 699",
// "Groombridge 34", "BD+04 3561a"), with *number pointing at what follows
// the name and the blank ("699", "+04 3561a"); nullptr when no catalogue
// of the table begins it or nothing follows.
const DesignationCatalogue* FindDesignationCatalogue(const char* designation,
                                                     const char** number);

// Rewrites the search key (names/name_keys.h) of a designation typed with
// another name of its catalogue into the key with the catalogue's
// abbreviation, as the stored keys have it: "gliese699" and "gl699" become
// "gj699", "groombridge34" "grb34".  The other name must be followed by a
// digit.  Returns whether it rewrote the key, which never grows.
bool AbbreviateCatalogue(char* key);

}  // namespace veloran

#endif  // VELORAN_NAMES_DESIGNATION_CATALOGUES_H_
