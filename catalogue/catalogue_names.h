#ifndef VELORAN_CATALOGUE_CATALOGUE_NAMES_H_
#define VELORAN_CATALOGUE_CATALOGUE_NAMES_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

// The in-memory copy of CatalogNames: which long name stands for a catalogue
// abbreviation in a star's display name.

namespace veloran {

// Field sizes with the terminator: a catalogue abbreviation of at most 10
// characters, wherever it is read, so that a longer one cut to 10 in
// CatalogNames still matches the same one cut to 10 in CatalogNumbers; a
// long name of up to 100.
constexpr int kAbbreviationSize = 11;
constexpr int kLongNameSize = 101;

class CatalogueName {
 public:
  CatalogueName();
  ~CatalogueName();
  CatalogueName(const CatalogueName&) = delete;
  CatalogueName& operator=(const CatalogueName&) = delete;

  // Holds a heap copy of "description", or none when given nullptr,
  // releasing the one held before.  Returns false, holding none, when the
  // heap is exhausted.
  bool SetDescription(const char* description);

  char* Description;                     // owned, or nullptr
  char Abbreviation[kAbbreviationSize];  // the lookup key
  char LongName[kLongNameSize];          // empty when the row has none
  unsigned char HasNoCatNumbers;         // the SQL_C_BIT value 0 or 1
};

// One per process.  "names" is absent at start, after FreeCatalogueNames,
// and when a load stopped before allocating it; otherwise it holds exactly
// "count" elements in the order the rows arrived.
struct CatalogueNameTable {
  int32_t count = 0;
  CatalogueName* names = nullptr;
};

extern CatalogueNameTable catalogueNames;

// Counts CatalogNames, then reads at most that many rows into the table.
// Returns false when a read failed (read_fault.h); the table is then not to
// be used.  Otherwise the table may still be absent (a statement that
// executed with information, an exhausted heap) or partly filled (fewer
// rows than were counted), and is used so.
bool LoadCatalogueNames(SQLHSTMT statement);

// Destroys every element and leaves the table absent; with the table absent
// it does nothing.
void FreeCatalogueNames();

// Returns the first element whose abbreviation is "abbreviation" (whole,
// case-sensitive match), or nullptr when there is none or the table is
// absent.  The element belongs to the table and lives until it is freed.
const CatalogueName* FindCatalogueName(const char* abbreviation);

// Returns the long name held for "abbreviation" (whole, case-sensitive match;
// the first matching element decides), or "abbreviation" itself when there
// is no match, the match has no long name, or the table is absent.
const char* LookupCatalogueName(const char* abbreviation);

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_CATALOGUE_NAMES_H_
