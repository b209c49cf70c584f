#ifndef VELORAN_SITE_POSITION_TEXT_H_
#define VELORAN_SITE_POSITION_TEXT_H_

#include <cstddef>
#include <cstdint>

// A star's right ascension and declination as the entry page writes them,
// in HTML: "6h 45m 8.917s" and "&minus;16&deg; 42&prime; 58.02&Prime;";
// and measured values with their errors, as the site's pages write them:
// "8.60 &plusmn; 0.04".

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

// Room for a measured value with its error, or a fixed-point number.
constexpr size_t kMeasurementTextSize = 80;

// The decimal places to which "value" is given: with a usable error (a
// positive finite number), those of the error rounded to two significant
// digits when the first of them is 1 or 2 and to one otherwise; without
// one, those of three significant digits of the value, and no fewer than
// none.  Negative for a place left of the point (-1: tens).
int MeasuredDecimals(double value, bool hasError, double error);

// "value" rounded to "decimals" places (rounded to tens, hundreds ... when
// negative), a negative number headed by "minus" ("&minus;" in a page, "-"
// in an address).  A value that rounds to zero has no sign.  Values of
// 1e15 and beyond, and those that are not finite, are written as "%g"
// writes them.
void FormatFixed(double value, int decimals, const char* minus, char* text,
                 size_t size);

// "value" and its error to the places of MeasuredDecimals, in HTML:
// "8.60 &plusmn; 0.04", or the value alone ("8.60") when the error is not
// usable: none, zero or not a positive finite number.
void FormatMeasurement(double value, bool hasError, double error, char* text,
                       size_t size);

// A separation between two stars in light-years, to two significant digits
// but no fewer than its integer digits, and below one light-year also in
// astronomical units, in HTML: "0.00036 light-years (23 AU)".  Zero is "0
// light-years (the same position)", and a separation that is not a finite
// number "not known".
void FormatSeparation(double lightYears, char* text, size_t size);

}  // namespace veloran

#endif  // VELORAN_SITE_POSITION_TEXT_H_
