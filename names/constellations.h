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

}  // namespace veloran

#endif  // VELORAN_NAMES_CONSTELLATIONS_H_
