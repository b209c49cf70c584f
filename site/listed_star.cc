#include "site/listed_star.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "astro/magnitudes.h"
#include "catalogue/batched_lookups.h"

namespace veloran {

namespace {

// The visitors of the look-ups, "context" the batch's first star.
void TakeName(void* context, int index, const char* name, bool properName) {
  ListedStar& star = static_cast<ListedStar*>(context)[index];
  star.hasName = true;
  star.hasProperName = properName;
  std::snprintf(star.name, sizeof(star.name), "%s", name);
}

void TakeSpectrum(void* context, int index, const SpectrumRecord& spectrum) {
  ListedStar& star = static_cast<ListedStar*>(context)[index];
  star.hasSpectrum = true;
  star.spectrum = spectrum;
}

void TakeFacts(void* context, int index, const StarFacts& facts) {
  ListedStar& star = static_cast<ListedStar*>(context)[index];
  star.hasFacts = true;
  star.facts = facts;
}

}  // namespace

bool ReadListedStars(SQLHSTMT statement, ListedStar* stars, int count) {
  for (int first = 0; first < count; first += kLookupBatchSize) {
    int size = std::min(count - first, kLookupBatchSize);
    ListedStar* batch = stars + first;
    int32_t ids[kLookupBatchSize];
    for (int i = 0; i < size; ++i) {
      ListedStar& star = batch[i];
      ids[i] = star.match.starId;
      star.hasName = false;
      star.hasProperName = false;
      star.name[0] = '\0';
      star.hasSpectrum = false;
      star.spectrum = SpectrumRecord{};
      star.hasFacts = false;
      star.facts = StarFacts{};
      star.hasAstrometry = false;
      star.astrometry = StarAstrometry{};
    }
    if (!ReadNamesOfStars(statement, ids, size, TakeName, batch) ||
        !ReadSpectraOfStars(statement, ids, size, TakeSpectrum, batch) ||
        !ReadFactsOfStars(statement, ids, size, TakeFacts, batch)) {
      return false;
    }
  }
  return true;
}

bool ReadListedAstrometry(SQLHSTMT statement, ListedStar* stars, int count) {
  for (int first = 0; first < count; first += kLookupBatchSize) {
    int size = std::min(count - first, kLookupBatchSize);
    int32_t ids[kLookupBatchSize];
    StarAstrometry read[kLookupBatchSize];
    for (int i = 0; i < size; ++i) ids[i] = stars[first + i].match.starId;
    if (!ReadAstrometryOfStars(statement, ids, size, read)) return false;
    for (int i = 0; i < size; ++i) {
      stars[first + i].hasAstrometry = true;
      stars[first + i].astrometry = read[i];
    }
  }
  return true;
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
