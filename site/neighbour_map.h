#ifndef VELORAN_SITE_NEIGHBOUR_MAP_H_
#define VELORAN_SITE_NEIGHBOUR_MAP_H_

#include "astro/position_conversion.h"
#include "site/listed_star.h"

// The map of a neighbour search: an SVG picture of the listed stars,
// drawn without any script.  A script served beside the pages
// (neighbour-map-3d.js) turns the map of a plane in three dimensions; the
// picture is complete without it.

namespace veloran {

enum class MapPlane {
  kGalacticXY,  // the galactic plane, seen from galactic north (default)
  kGalacticXZ,
  kGalacticYZ,
  kSky,  // a sky chart in right ascension and declination
};

// The plane named by a "plane" parameter: "xy", "xz", "yz" or "sky".
// False for any other text.
bool ReadMapPlane(const char* value, MapPlane* plane);

// The parameter's value of "plane", as ReadMapPlane reads it.
const char* MapPlaneName(MapPlane plane);

// How the map of "plane" shows the stars, as a phrase for a caption ("seen
// from the north galactic pole, X towards the galactic centre and Y in the
// direction of the Galaxy's rotation"); plain text without markup.
const char* MapPlaneView(MapPlane plane);

struct MapFrame {
  CartesianPoint centre;  // galactic, light-years
  double radius;          // the search's largest distance, light-years
  MapPlane plane;
  const char* centreName;  // an HTML fragment, or nullptr for a point
  // The search's window on the sky in decimal hours and degrees, as
  // SearchWindow has it: the sky chart shows it with a margin.  The whole
  // sky unless given.
  double minRAHours = 0.0;
  double maxRAHours = 24.0;
  double minDecDegrees = -90.0;
  double maxDecDegrees = 90.0;
};

// A map draws at most this many stars: the first of those given.
constexpr int kMaxMapStars = 1000;

// Writes the <svg> element of the map of "stars" (count of them) around
// the frame's centre, and the <script> element that turns it: one dot per
// star, linked to its entry page, sized by its brightness as seen from the
// centre (on the sky chart, from the Earth) and coloured by spectral
// class, ringed when its distance is doubtful; the centre marked, the
// radius and the rings drawn with their lengths, and a scale in
// light-years.  Up to ten stars are named beside their dots where there is
// room: the Sun, then the stars with proper names, then the rest, within
// each group the brightest as seen from the centre and the nearest in
// turn; a system whose dots touch is named once, its brightest star
// first.  A name covers no other text, and dots only where no place is
// clear of them: the fewest, of stars too faint for the eye from the
// centre.  Every other star's name shows while its dot is focused or
// pointed at.  The dots' links come nearest first, the order in which
// the keyboard visits them.  On the sky chart a star at the Sun, which has
// no direction, is left out.  When every star lies within half the radius
// (or the radius is not a finite number), the map shows the space up to
// the farthest star instead and says that the radius lies beyond it.  The
// stars may come in any order.
void WriteNeighbourMap(const ListedStar* stars, int count,
                       const MapFrame& frame);

// Writes the HTML fragment "fragment" (a name from the database) as the
// text of an SVG element: its tags left out, since most HTML tags inside
// an SVG element would end the picture, its complete character references
// kept, and every other byte as EscapedByte (html_page.h) writes it.
// SvgTextLength gives how many characters it shows.
void WriteSvgText(const char* fragment);
int SvgTextLength(const char* fragment);

// The colour of the dot of a star of spectral class "spectralClass" (as
// the database spells it, "M3.5", "DA2", "sdK7"; nullptr when not known),
// as "#rrggbb": by its temperature class letter, after any lower-case
// prefix, with the white dwarfs (D), the carbon and S stars (C, R, N, S)
// and every other class told apart.
const char* SpectralClassColour(const char* spectralClass);

// The radius of the dot of a star of apparent magnitude "magnitude" in the
// picture's units: larger for a brighter star, within fixed bounds.
double MagnitudeDotRadius(bool known, double magnitude);

}  // namespace veloran

#endif  // VELORAN_SITE_NEIGHBOUR_MAP_H_
