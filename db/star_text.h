#ifndef VELORAN_DB_STAR_TEXT_H_
#define VELORAN_DB_STAR_TEXT_H_

#include <string>
#include <string_view>

// The texts and angles of a star as the Veloran database stores them:
// names as windows-1252 HTML fragments, spectral types split into spectral
// and luminosity class, right ascension and declination in sexagesimal
// parts.

namespace veloran {

// Converts the UTF-8 text "utf8" into an HTML fragment of windows-1252
// bytes in *html: "&", "<" and ">" become "&amp;", "&lt;" and "&gt;",
// characters that windows-1252 holds become its bytes, Greek letters their
// named entities ("&alpha;") and every other character a numeric one
// ("&#257;").  Returns false, leaving *html unspecified, when "utf8" is not
// valid UTF-8.
bool HtmlFromUtf8(std::string_view utf8, std::string* html);

// The same for a designation written with "_" for its spaces, as the
// catalogue files write "α1_Cen": *html becomes "&alpha;1 Cen".
bool DesignationFromUtf8(std::string_view utf8, std::string* html);

// A spectral type cut in two: its MK luminosity class ("III", "Iab",
// "IV-V", "IV/V", "(III)"), found where a class may follow the temperature
// class, and the rest of the type as the spectral class, with the notes that
// follow the luminosity class kept in their order ("K1.5IIIFe-0.5" is
// K1.5Fe-0.5 and III; "M5.5Ve" is M5.5e and V).  Without a luminosity class
// the whole type is the spectral class and hasLuminosityClass is false.
struct SpectralSplit {
  std::string spectralClass;
  bool hasLuminosityClass;
  std::string luminosityClass;
};
SpectralSplit SplitSpectralType(std::string_view type);

// Right ascension rounded to milliseconds of time: hours 0-23, minutes
// 0-59, seconds below 60 with three decimals.
struct RightAscension {
  int hours;
  int minutes;
  double seconds;
};

// Declination rounded to hundredths of an arcsecond.  The sign of the whole
// declination is carried by the degrees, zero degrees counting as positive;
// so a declination between 0 and -1 degrees has 0 degrees, 0 arcminutes
// and negative arcseconds (-0 deg 30' 15" is 0, 0, -1815).
struct Declination {
  int degrees;
  int arcminutes;
  double arcseconds;
};

// The sexagesimal parts of a right ascension in radians (any value; it is
// brought into one turn) and of a declination in radians (-pi/2 .. pi/2).
RightAscension RightAscensionFromRadians(double radians);
Declination DeclinationFromRadians(double radians);

}  // namespace veloran

#endif  // VELORAN_DB_STAR_TEXT_H_
