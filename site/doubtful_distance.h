#ifndef VELORAN_SITE_DOUBTFUL_DISTANCE_H_
#define VELORAN_SITE_DOUBTFUL_DISTANCE_H_

// When the site calls a star's distance doubtful, on its entry page and
// wherever else the distance is shown (lists, maps, downloads): one rule.

namespace veloran {

// What a star's record says of its distance.
struct DistanceEvidence {
  // The relative error of the distance: its parallax's where the facts
  // give one (fromParallax), else the stored distance's.
  bool hasRelativeError = false;
  double relativeError = 0;
  bool fromParallax = false;
  // Its absolute magnitude, from V and the stored distance.
  bool hasAbsoluteMagnitude = false;
  double absoluteMagnitude = 0;
  // The first letter of its spectral class (its temperature class), or 0.
  char temperatureClass = 0;
};

enum class DistanceDoubt {
  kNone,
  kLargeError,    // the relative error is above 20 %
  kTooFaint,      // far fainter than any star of its class could be
};

// Whether, and why, the distance is doubtful; for kTooFaint, *excess (when
// given) is how many magnitudes fainter than its class allows.
DistanceDoubt DoubtAbout(const DistanceEvidence& evidence,
                         double* excess = nullptr);

}  // namespace veloran

#endif  // VELORAN_SITE_DOUBTFUL_DISTANCE_H_
