#ifndef VELORAN_SITE_POSITION_TEXT_H_
#define VELORAN_SITE_POSITION_TEXT_H_

#include <cstddef>
#include <cstdint>

// A star's right ascension and declination as the entry page writes them,
// in HTML: "6h 45m 8.917s" and "&minus;16&deg; 42&prime; 58.02&Prime;".

namespace veloran {

// Room for either text with its terminator.
constexpr size_t kAngleTextSize = 64;

// Hours, minutes and seconds of time, the seconds to the millisecond.  A
// rounding that reaches 60 seconds or 60 minutes carries, and 24 hours is 0.
void FormatRightAscension(int hours, int minutes, float seconds, char* text,
                          size_t size);

// Degrees, arcminutes and arcseconds to the hundredth, with the sign in
// front ("+" or "&minus;").  The degrees carry the sign of the whole
// declination, 0 counting as positive; a declination between 0 and -1
// degrees is stored as 0 degrees, 0 arcminutes and a negative number of
// arcseconds (-1815 for -0 deg 30' 15"), and is written that way.  A
// rounding that reaches 60 carries.
void FormatDeclination(int degrees, int arcminutes, float arcseconds,
                       char* text, size_t size);

}  // namespace veloran

#endif  // VELORAN_SITE_POSITION_TEXT_H_
