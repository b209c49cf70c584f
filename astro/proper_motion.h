#ifndef VELORAN_ASTRO_PROPER_MOTION_H_
#define VELORAN_ASTRO_PROPER_MOTION_H_

// Moving a star's place on the sky along its proper motion, from the epoch
// of a catalogue's position to another.

namespace veloran {

// A place on the sky in radians: right ascension in [0, 2 pi), declination
// in [-pi/2, pi/2].
struct SkyPlace {
  double ra;
  double dec;
};

// The place "years" (Julian years, negative for earlier) after "from", for
// a proper motion of "pmRaCosDec" (the motion in right ascension times the
// cosine of the declination, as catalogues give it) and "pmDec", both in
// milliarcseconds a year.  The motion is a straight line on the tangent
// plane of the starting place, made into a direction of unit length, so
// that a path across a pole comes out on its far side.  It leaves out the
// change of the motion itself as the star's distance changes (perspective
// acceleration), a few hundredths of an arcsecond in a decade for the
// fastest stars.
SkyPlace MovedPlace(const SkyPlace& from, double pmRaCosDec, double pmDec,
                    double years);

}  // namespace veloran

#endif  // VELORAN_ASTRO_PROPER_MOTION_H_
