#include "site/listed_star.h"

#include <cstdio>

#include "catalogue/read_fault.h"

namespace veloran {

bool ReadListedStar(SQLHSTMT statement, const NeighbourMatch& match,
                    ListedStar* star) {
  star->match = match;
  star->name[0] = '\0';
  star->hasName = GetStarDisplayName(statement, match.starId, star->name,
                                     &star->hasProperName);
  if (ReadFailed()) return false;
  star->hasSpectrum =
      FetchStarSpectrum(statement, match.starId, &star->spectrum);
  if (ReadFailed()) return false;
  if (!star->hasSpectrum) star->spectrum = SpectrumRecord{};
  return FetchListedFacts(statement, match.starId, &star->facts,
                          &star->hasFacts);
}

void FormatStarClass(const ListedStar& star, char (&text)[kClassTextSize]) {
  text[0] = '\0';
  const SpectrumRecord& spectrum = star.spectrum;
  if (!star.hasSpectrum || !spectrum.HasSpectralClass) return;
  std::snprintf(text, sizeof(text), "%s %s", spectrum.SpectralClass,
                spectrum.HasLuminosityClass ? spectrum.LuminosityClass : "");
}

}  // namespace veloran
