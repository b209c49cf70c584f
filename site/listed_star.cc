#include "site/listed_star.h"

#include <cmath>
#include <cstdio>

#include "astro/magnitudes.h"
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

DistanceEvidence DistanceEvidenceOf(const ListedStar& star) {
  DistanceEvidence evidence;
  const StarFacts& facts = star.facts;
  if (star.hasFacts && facts.hasParallax && facts.hasParallaxError &&
      facts.parallax > 0) {
    evidence.relativeError = facts.parallaxError / facts.parallax;
    evidence.fromParallax = true;
    evidence.hasRelativeError = std::isfinite(evidence.relativeError);
  }
  const NeighbourMatch& match = star.match;
  evidence.hasAbsoluteMagnitude =
      star.hasFacts && facts.hasVMag && match.hasSunDistance &&
      match.sunDistance > 0 &&
      AbsoluteMagnitude(facts.vMag, match.sunDistance,
                        &evidence.absoluteMagnitude) &&
      std::isfinite(evidence.absoluteMagnitude);
  if (star.hasSpectrum && star.spectrum.HasSpectralClass) {
    evidence.temperatureClass = star.spectrum.SpectralClass[0];
  }
  return evidence;
}

bool MagnitudeFromCentre(const ListedStar& star, double* magnitude) {
  double absolute = 0;
  return star.hasFacts && star.facts.hasVMag && star.match.hasSunDistance &&
         AbsoluteMagnitude(star.facts.vMag, star.match.sunDistance,
                           &absolute) &&
         MagnitudeFrom(absolute, star.match.distance, magnitude);
}

void FormatStarClass(const ListedStar& star, char (&text)[kClassTextSize]) {
  text[0] = '\0';
  const SpectrumRecord& spectrum = star.spectrum;
  if (!star.hasSpectrum || !spectrum.HasSpectralClass) return;
  std::snprintf(text, sizeof(text), "%s %s", spectrum.SpectralClass,
                spectrum.HasLuminosityClass ? spectrum.LuminosityClass : "");
}

}  // namespace veloran
