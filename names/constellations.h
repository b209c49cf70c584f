#ifndef VELORAN_NAMES_CONSTELLATIONS_H_
#define VELORAN_NAMES_CONSTELLATIONS_H_

// The 88 constellations of the International Astronomical Union: the
// abbreviation a Bayer or Flamsteed designation uses ("&alpha; CMa"), the
// constellation's name ("Canis Major") and its genitive ("Alpha Canis
// Majoris").  Names are plain ASCII: "Bootes", not "Bo&ouml;tes".

namespace veloran {

struct Constellation {
  const char* abbreviation;  // "CMa"
  const char* nominative;    // "Canis Major"
  const char* genitive;      // "Canis Majoris"
};

// In byte order of the abbreviation (strcmp: "CMa" before "Cae"), each
// abbreviation once.
extern const Constellation kConstellations[];
extern const int kConstellationCount;  // 88

// The constellation of the exact abbreviation ("CMa"), or nullptr when
// there is none: case matters, so "cma" and "CMA" give nullptr (the finder
// compares name keys, which have no case, instead).
const Constellation* FindConstellation(const char* abbreviation);

// Rewrites the search key (names/name_keys.h) of a Bayer or Flamsteed
// designation that names its constellation in full, by its genitive or its
// name, into the key of the designation with the abbreviation, which is how
// the stored keys have it: "alphacentauri" and "alphacentaurus" become
// "alphacen", "61cygni" becomes "61cyg", "alpha1canismajoris" "alpha1cma",
// "taucetib" (a component) "taucetb".  A designation is a Greek letter
// followed by digits or not, or digits alone; the constellation may be
// followed by one letter, the component.  Returns whether it rewrote the
// key; a key of another kind ("sirius", "centauri") stays as it is.
bool AbbreviateConstellation(char* key);

}  // namespace veloran

#endif  // VELORAN_NAMES_CONSTELLATIONS_H_
