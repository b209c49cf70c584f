#ifndef VELORAN_ASTRO_MAGNITUDES_H_
#define VELORAN_ASTRO_MAGNITUDES_H_

// Visual magnitudes of a star as seen from another place: from its
// apparent magnitude from the Sun (the catalogue's V) and its distance,
// its absolute magnitude, and from that its apparent magnitude at any
// distance.

namespace veloran {

inline constexpr double kLightYearsPerParsec = 3.26156;
// A star at distance 0 is the Sun, whose V the catalogue gives as seen
// from the Earth, one astronomical unit away (-26.74 gives the Sun's
// absolute magnitude, +4.83).
inline constexpr double kParsecsPerAstronomicalUnit = 1.0 / 206264.806;

// The absolute visual magnitude of a star of apparent magnitude "vMag" at
// "lightYears" from the Sun (0: the Sun itself, seen from the Earth).
// False when the distance is negative or not a finite number.
bool AbsoluteMagnitude(double vMag, double lightYears, double* absolute);

// The apparent visual magnitude of a star of absolute magnitude
// "absolute" seen from "lightYears" away.  False at a distance of 0 or
// less, or one that is not a finite number: no magnitude stands for the
// view from the star itself.
bool MagnitudeFrom(double absolute, double lightYears, double* apparent);

}  // namespace veloran

#endif  // VELORAN_ASTRO_MAGNITUDES_H_
