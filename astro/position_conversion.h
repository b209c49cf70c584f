#ifndef VELORAN_ASTRO_POSITION_CONVERSION_H_
#define VELORAN_ASTRO_POSITION_CONVERSION_H_

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

// Conversion of right ascension, declination and distance into Cartesian
// coordinates in light-years, equatorial or galactic.

namespace veloran {

struct PositionRecord;

// x, y, z in light-years.  Equatorial: x towards 0h on the equator, z towards
// the north celestial pole.  Galactic: x towards the galactic centre, z
// towards the north galactic pole.
struct CartesianPoint {
  double x;
  double y;
  double z;
};

// The stored factors, fixed by their bit patterns so that every result is
// the same to the last bit.  Minutes and seconds are multiplied by the
// reciprocals of 60 and 3600, never divided.  The two radian factors are
// those of pi taken as 3.14159265358979, five units in the last place below
// the nearest doubles.
inline constexpr double kOneSixtieth =
    std::bit_cast<double>(0x3F91111111111111ull);
inline constexpr double kOne3600th =
    std::bit_cast<double>(0x3F323456789ABCDFull);
inline constexpr double kHoursToRadians =
    std::bit_cast<double>(0x3FD0C152382D7360ull);
inline constexpr double kDegreesToRadians =
    std::bit_cast<double>(0x3F91DF46A2529D34ull);

// Decimal hours of a right ascension and decimal degrees of a declination
// given in sexagesimal parts, the minutes and seconds multiplied by the
// stored reciprocals of 60 and 3600.  The degrees carry the sign of the
// whole declination, and zero degrees count as positive, so a declination
// between 0 and -1 degrees can only be written with negative arcminutes or
// arcseconds.  Used for the stars' positions and the search window's bounds
// alike, so that a star on a bound is inside it.
inline double DecimalHours(int32_t hours, int32_t minutes, double seconds) {
  return (seconds * kOne3600th + minutes * kOneSixtieth) + hours;
}

inline double DecimalDegrees(int32_t degrees, int32_t arcminutes,
                             double arcseconds) {
  int sign = degrees >= 0 ? 1 : -1;
  return ((sign * arcseconds) * kOne3600th +
          (sign * arcminutes) * kOneSixtieth) +
         degrees;
}

// Converts "record" into *point, in the galactic frame when "galactic" is
// set and the equatorial frame otherwise.  A record at distance zero (or a
// distance that is not a number) is the origin whatever its RA and Dec.
// Returns false, leaving *point as it was, when the record has no distance,
// or has a non-zero distance without right ascension or declination.
bool PositionToCartesian(const PositionRecord& record, bool galactic,
                         CartesianPoint* point);

// The direction of the galactic vector "galactic" (the galactic point of a
// star less that of the place it is seen from) in the equatorial frame of
// the catalogue: *raHours from 0 up to 24, *decDegrees from -90 to +90.  It
// applies the inverse of the matrix that PositionToCartesian applies, so
// that a star seen from the Sun has its own right ascension and declination
// again, to rounding.  False, with nothing written, for the zero vector or
// one that is not finite.
bool EquatorialDirection(const CartesianPoint& galactic, double* raHours,
                         double* decDegrees);

// The distance of "point" from the Sun, summed as the scan sums distances.
inline double DistanceFromSun(const CartesianPoint& point) {
  return std::sqrt((point.z * point.z + point.y * point.y) + point.x * point.x);
}

// True when a star stored at "distance" from the Sun cannot lie between
// "minDistance" and "maxDistance" (inclusive) from a centre "centreNorm"
// from the Sun, in whichever direction its right ascension and declination
// put it, so that its galactic point need not be computed.  The galactic
// matrix stretches a length by a factor between 0.99986 and 1.00009; the
// bounds use 0.999 and 1.001 and a further relative margin for rounding, so
// a star is passed over only when the exact computation would reject it
// too.  False whenever any value is not a number.
inline bool DistanceRangeExcludes(double distance, double centreNorm,
                                  double minDistance, double maxDistance) {
  double length = std::fabs(distance);
  double margin = 1e-6 * (length + centreNorm) + 1e-9;
  double nearest =
      std::max(0.999 * length - centreNorm, centreNorm - 1.001 * length) -
      margin;
  double farthest = 1.001 * length + centreNorm + margin;
  return nearest > maxDistance || farthest < minDistance;
}

}  // namespace veloran

#endif  // VELORAN_ASTRO_POSITION_CONVERSION_H_
