#ifndef VELORAN_SITE_STAR_ORDER_H_
#define VELORAN_SITE_STAR_ORDER_H_

#include "names/name_keys.h"
#include "site/listed_star.h"
#include "site/neighbour_listing.h"

// The orders in which a search's stars can be listed, by the values of a
// column: each star's values read once, then compared.  A list sorts only
// the stars that have a value of its column; those without go last.

namespace veloran {

// A spectral class in the temperature sequence: its letter, after any
// prefix in small letters ("sdM4"), then its subclass (10 when it has
// none, after M9.5); equal ones by their texts.
struct ClassOrder {
  int letter;
  double subclass;
};

ClassOrder ReadClassOrder(const char* spectralClass);

// What a star is sorted by, each text a copy of its own.
struct SortValues {
  bool hasName;
  char nameKey[kNameKeySize];
  bool hasClass;
  ClassOrder classOrder;
  char spectralClass[sizeof(SpectrumRecord::SpectralClass)];
  char luminosityClass[sizeof(SpectrumRecord::LuminosityClass)];
  bool hasMagnitude;
  // As seen from the search's centre, to the hundredth that a page shows,
  // so that the stars a page shows as equally bright keep the ranking's
  // order.
  double magnitude;
  bool hasEarthMagnitude;
  double earthMagnitude;  // V, as seen from the Earth
  bool hasConstellation;
  char constellation[32];  // the name shown
};

// The constellation's name from its IAU abbreviation, or the abbreviation
// itself when the table does not know it; nullptr without one.
const char* ConstellationName(const ListedStar& star);

// Compares name keys as a reader orders names: runs of digits by their
// value, so that HIP 5643 goes before HIP 30920.
int CompareNaturally(const char* a, const char* b);

void ReadSortValues(const ListedStar& star, SortValues* values);

bool HasValue(SortColumn column, const SortValues& values);

// The order of two present values of a column (the ranks for the
// distance, which the ranking has ordered already): below 0 when "a" goes
// first.
int CompareValues(SortColumn column, const SortValues& a, int aRank,
                  const SortValues& b, int bRank);

}  // namespace veloran

#endif  // VELORAN_SITE_STAR_ORDER_H_
