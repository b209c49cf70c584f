#include "site/doubtful_distance.h"

namespace veloran {

namespace {

// A distance whose relative error is larger is doubtful.
constexpr double kDoubtfulRelativeError = 0.2;

// The faintest absolute visual magnitude of a main-sequence star of each
// temperature class (the late subclasses: B9 V, A9 V, ...); a giant or
// subgiant of the class is brighter still.  M dwarfs reach below +19, so
// their class bounds nothing.
struct FaintestOfClass {
  char temperatureClass;
  double absoluteMagnitude;
};
constexpr FaintestOfClass kFaintestOfClass[] = {
    {'O', -3.0}, {'B', 1.5}, {'A', 2.5}, {'F', 4.5}, {'G', 6.0}, {'K', 8.5},
};
// How much fainter than that a star's magnitude from its distance may be
// before the distance is doubted: room for dust, a wrong subclass and the
// errors of the magnitude.
constexpr double kDoubtfulFaintness = 3.0;

}  // namespace

DistanceDoubt DoubtAbout(const DistanceEvidence& evidence, double* excess) {
  if (evidence.hasRelativeError &&
      evidence.relativeError > kDoubtfulRelativeError) {
    return DistanceDoubt::kLargeError;
  }
  if (!evidence.hasAbsoluteMagnitude) return DistanceDoubt::kNone;
  for (const FaintestOfClass& bound : kFaintestOfClass) {
    if (evidence.temperatureClass != bound.temperatureClass) continue;
    double fainter = evidence.absoluteMagnitude - bound.absoluteMagnitude;
    if (fainter <= kDoubtfulFaintness) return DistanceDoubt::kNone;
    if (excess != nullptr) *excess = fainter;
    return DistanceDoubt::kTooFaint;
  }
  return DistanceDoubt::kNone;
}

}  // namespace veloran
