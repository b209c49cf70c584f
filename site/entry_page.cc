#include "site/entry_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "astro/magnitudes.h"
#include "catalogue/catalogue_names.h"
#include "catalogue/data_source.h"
#include "catalogue/read_fault.h"
#include "cgi/output.h"
#include "cgi/query_params.h"
#include "names/constellations.h"
#include "names/known_names.h"
#include "site/doubtful_distance.h"
#include "site/html_page.h"
#include "site/neighbour_map.h"
#include "site/position_text.h"
#include "site/site_request.h"
#include "site/sky_from_star.h"
#include "site/star_id.h"

namespace veloran {

namespace {

const char kProgram[] = "entry_page.exe";

// The neighbour searches that the page offers, in light-years.
const int kNeighbourRadii[] = {10, 20, 50};

// The point search that the galactic coordinates link to, and the range
// that the page's own form offers at first, in light-years.
const int kPointSearchRadius = 20;
const int kFormMinRadius = 0;
const int kFormMaxRadius = 20;

// How many places further than the distance's the coordinates in the
// point search's address are given, so that the search is centred on the
// star itself.
const int kAddressDecimals = 3;

// Writes the star's name as the page calls it: its display name, or
// "Star N" when it has none.
void WriteStarName(const StarEntry& entry) {
  if (entry.hasName) {
    WriteFragment(entry.name);
  } else {
    std::printf("Star %ld", static_cast<long>(entry.id));
  }
}

// The name that heads the page: the display name as visitors know it
// (names/known_names.h), or "Star N" when it has none.
void FormatHeadingName(const StarEntry& entry, char* text, size_t size) {
  if (!entry.hasName) {
    std::snprintf(text, size, "Star %ld", static_cast<long>(entry.id));
    return;
  }
  const char* names[kMaxEntryNames];
  for (int i = 0; i < entry.properNameCount; ++i) {
    names[i] = entry.properNames[i];
  }
  FormatKnownName(entry.name, names, entry.properNameCount, text, size);
}

// The designation by which SIMBAD, the astronomers' database of stars,
// knows the star: its HIP number, or its HD number when the HIP number is
// a component's ("71683 A"), which SIMBAD does not tell apart; nullptr
// when it has neither.
const Designation* SimbadDesignation(const StarEntry& entry) {
  const Designation* hd = nullptr;
  for (int i = 0; i < entry.designationCount; ++i) {
    const Designation& designation = entry.designations[i];
    if (std::strcmp(designation.abbreviation, "HIP") == 0 &&
        designation.value[std::strspn(designation.value, "0123456789")] ==
            '\0') {
      return &designation;
    }
    if (hd == nullptr && std::strcmp(designation.abbreviation, "HD") == 0) {
      hd = &designation;
    }
  }
  return hd;
}

// The link to the star's page at SIMBAD: its identifier percent-encoded,
// every byte but letters and digits.
void WriteSimbadLink(const StarEntry& entry) {
  const Designation* designation = SimbadDesignation(entry);
  if (designation == nullptr) return;
  char identifier[kAbbreviationSize + kNameValueSize];
  std::snprintf(identifier, sizeof(identifier), "%s %s",
                designation->abbreviation, designation->value);
  WriteText("<p><a href=\"https://simbad.cds.unistra.fr/simbad/sim-id?Ident=");
  for (const char* c = identifier; *c != '\0'; ++c) {
    unsigned char byte = static_cast<unsigned char>(*c);
    bool plain = (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
                 (byte >= 'a' && byte <= 'z');
    if (plain) {
      std::putchar(byte);
    } else {
      std::printf("%%%02X", byte);
    }
  }
  WriteText("\">");
  WriteEscapedText(identifier);
  WriteText(
      " in SIMBAD</a>, the astronomers' database of stars, with "
      "its measurements and the papers about it.</p>\n");
}

void WriteNames(const StarEntry& entry) {
  WriteText(
      "<section aria-labelledby=\"names\">\n<h2 id=\"names\">Names</h2>\n");
  if (entry.properNameCount == 0 && entry.designationCount == 0) {
    WriteText("<p>The database holds no name for this star.</p>\n");
  }
  if (entry.properNameCount > 0) {
    WriteText("<ul class=\"names\">\n");
    for (int i = 0; i < entry.properNameCount; ++i) {
      WriteText("<li>");
      WriteFragment(entry.properNames[i]);
      WriteText("</li>\n");
    }
    WriteText("</ul>\n");
  }
  if (entry.designationCount > 0) {
    WriteText(
        "<table>\n<caption>Catalogue designations</caption>\n"
        "<thead><tr><th scope=\"col\">Designation</th>"
        "<th scope=\"col\">Catalogue</th></tr></thead>\n<tbody>\n");
    for (int i = 0; i < entry.designationCount; ++i) {
      const Designation& designation = entry.designations[i];
      WriteText("<tr><td>");
      if (designation.abbreviation[0] != '\0') {
        WriteFragment(LookupCatalogueName(designation.abbreviation));
        WriteText(" ");
      }
      WriteFragment(designation.value);
      WriteText("</td><td>");
      const CatalogueName* catalogue =
          FindCatalogueName(designation.abbreviation);
      if (designation.abbreviation[0] == '\0') {
        WriteText("not known");
      } else if (catalogue != nullptr && catalogue->Description != nullptr &&
                 catalogue->Description[0] != '\0') {
        WriteFragment(catalogue->Description);
      } else if (catalogue != nullptr && catalogue->LongName[0] != '\0') {
        WriteFragment(catalogue->LongName);
      } else {
        WriteFragment(designation.abbreviation);
      }
      WriteText("</td></tr>\n");
    }
    WriteText("</tbody>\n</table>\n");
  }
  WriteSimbadLink(entry);
  WriteText("</section>\n");
}

// The relative error of the star's distance: that of its parallax where
// the facts give one, else that of the stored distance.  False when neither
// is known.
bool RelativeDistanceError(const StarEntry& entry, double* relative,
                           bool* fromParallax) {
  const StarFacts& facts = entry.facts;
  if (entry.hasFacts && facts.hasParallax && facts.hasParallaxError &&
      facts.parallax > 0) {
    *relative = facts.parallaxError / facts.parallax;
    *fromParallax = true;
    return std::isfinite(*relative);
  }
  const PositionRecord& position = entry.position;
  if (entry.hasPosition && position.HasDistance && position.HasDistanceError &&
      position.Distance > 0) {
    *relative = position.DistanceError / position.Distance;
    *fromParallax = false;
    return std::isfinite(*relative);
  }
  return false;
}

// Whether the absolute magnitude can be had from the apparent one and the
// stored distance; *absolute is then M = m + 5 - 5 log10(d), d in parsecs.
bool AbsoluteMagnitudeOf(const StarEntry& entry, double* absolute) {
  const PositionRecord& position = entry.position;
  if (!entry.hasFacts || !entry.facts.hasVMag || !entry.hasPosition ||
      !position.HasDistance || !(position.Distance > 0) ||
      !std::isfinite(position.Distance)) {
    return false;
  }
  return AbsoluteMagnitude(entry.facts.vMag, position.Distance, absolute) &&
         std::isfinite(*absolute);
}

// What the entry says of the star's distance.
DistanceEvidence EvidenceOf(const StarEntry& entry) {
  DistanceEvidence evidence;
  evidence.hasRelativeError = RelativeDistanceError(
      entry, &evidence.relativeError, &evidence.fromParallax);
  evidence.hasAbsoluteMagnitude =
      AbsoluteMagnitudeOf(entry, &evidence.absoluteMagnitude);
  if (entry.hasSpectrum && entry.spectrum.HasSpectralClass) {
    evidence.temperatureClass = entry.spectrum.SpectralClass[0];
  }
  return evidence;
}

// A distance is doubtful when its relative error is large, or when it
// would make the star far fainter than its spectrum allows (a companion
// given another star's parallax, say).
bool IsDoubtfulDistance(const StarEntry& entry) {
  return DoubtAbout(EvidenceOf(entry)) != DistanceDoubt::kNone;
}

void WriteDoubtfulNote(const StarEntry& entry) {
  DistanceEvidence evidence = EvidenceOf(entry);
  double excess = 0;
  switch (DoubtAbout(evidence, &excess)) {
    case DistanceDoubt::kNone:
      break;
    case DistanceDoubt::kLargeError:
      std::printf(
          "<br><strong>Doubtful:</strong> the %s error is %.0f&nbsp;%% of "
          "the %s, so the star may be much nearer or farther.",
          evidence.fromParallax ? "parallax" : "distance",
          evidence.relativeError * 100,
          evidence.fromParallax ? "parallax" : "distance");
      break;
    case DistanceDoubt::kTooFaint:
      std::printf(
          "<br><strong>Doubtful:</strong> at this distance the star would "
          "be %.0f magnitudes fainter than any star of class %c, so the "
          "distance may belong to another star.",
          excess, evidence.temperatureClass);
      break;
  }
}

void WriteDistance(const PositionRecord& position) {
  if (!position.HasDistance) {
    WriteText("not known");
    return;
  }
  if (position.Distance == 0) {
    WriteText("0 light-years: every distance is measured from here");
    return;
  }
  char text[kMeasurementTextSize];
  FormatMeasurement(position.Distance, position.HasDistanceError,
                    position.DistanceError, text, sizeof(text));
  WriteText(text);
  WriteText(" light-years");
  if (position.HasDistanceSource && position.DistanceSource[0] != '\0') {
    WriteText(" (source: ");
    WriteEscapedText(position.DistanceSource);
    WriteText(")");
  }
}

// A spectral or luminosity class: text, not a fragment.
void WriteClass(bool known, const char* text) {
  if (known && text[0] != '\0') {
    WriteEscapedText(text);
  } else {
    WriteText("not known");
  }
}

// What stands for a right ascension or declination that the database does
// not give: the Sun, at distance 0, has none.
const char* MissingCoordinateText(const StarEntry& entry) {
  const PositionRecord& position = entry.position;
  return entry.hasPosition && position.HasDistance && position.Distance == 0
             ? "none, at distance 0"
             : "not known";
}

// The constellation's name from its IAU abbreviation, or the abbreviation
// itself when the table does not know it.
void WriteConstellation(const char* abbreviation) {
  const Constellation* constellation = FindConstellation(abbreviation);
  if (constellation != nullptr) {
    WriteEscapedText(constellation->nominative);
  } else {
    WriteEscapedText(abbreviation);
  }
}

// The galactic coordinates, a link to the stars around that point, to the
// places of the distance.
void WriteGalacticPoint(const StarEntry& entry) {
  const PositionRecord& position = entry.position;
  int decimals = MeasuredDecimals(position.Distance, position.HasDistanceError,
                                  position.DistanceError);
  const double coordinates[] = {entry.point.x, entry.point.y, entry.point.z};
  WriteText("<dt>Galactic X, Y, Z</dt><dd><a href=\"neighbours?");
  const char* names[] = {"X", "Y", "Z"};
  char text[kMeasurementTextSize];
  for (int i = 0; i < 3; ++i) {
    FormatFixed(coordinates[i], std::max(decimals, kAddressDecimals), "-", text,
                sizeof(text));
    std::printf("%s=%s&amp;", names[i], text);
  }
  std::printf("ly=%d\">", kPointSearchRadius);
  for (int i = 0; i < 3; ++i) {
    FormatFixed(coordinates[i], decimals, "&minus;", text, sizeof(text));
    std::printf("%s%s", i > 0 ? ", " : "", text);
  }
  std::printf(
      "</a> light-years (the link searches %d light-years around this "
      "point)</dd>\n",
      kPointSearchRadius);
}

void WritePositionAndSpectrum(const StarEntry& entry) {
  const PositionRecord& position = entry.position;
  const StarFacts& facts = entry.facts;
  WriteText(
      "<section aria-labelledby=\"position\">\n"
      "<h2 id=\"position\">Position and spectrum</h2>\n<dl>\n");
  if (entry.hasFacts && facts.hasConstellation) {
    WriteText("<dt>Constellation</dt><dd>");
    WriteConstellation(facts.constellation);
    WriteText("</dd>\n");
  }
  char text[kAngleTextSize];
  WriteText("<dt>Right ascension</dt><dd>");
  if (entry.hasPosition && position.HasRA) {
    FormatRightAscension(position.RA_hr, position.RA_min, position.RA_sec, text,
                         sizeof(text));
    WriteText(text);
  } else {
    WriteText(MissingCoordinateText(entry));
  }
  WriteText("</dd>\n<dt>Declination</dt><dd>");
  if (entry.hasPosition && position.HasDec) {
    FormatDeclination(position.Dec_deg, position.Dec_arcmin,
                      position.Dec_arcsec, text, sizeof(text));
    WriteText(text);
  } else {
    WriteText(MissingCoordinateText(entry));
  }
  WriteText("</dd>\n<dt>Distance</dt><dd>");
  if (entry.hasPosition) {
    WriteDistance(position);
    WriteDoubtfulNote(entry);
  } else {
    WriteText("not known");
  }
  WriteText("</dd>\n");
  if (entry.hasFacts && facts.hasParallax) {
    char parallax[kMeasurementTextSize];
    FormatMeasurement(facts.parallax, facts.hasParallaxError,
                      facts.parallaxError, parallax, sizeof(parallax));
    std::printf("<dt>Parallax</dt><dd>%s milliarcseconds</dd>\n", parallax);
  }
  if (entry.hasPoint) WriteGalacticPoint(entry);
  const SpectrumRecord& spectrum = entry.spectrum;
  WriteText("<dt>Spectral class</dt><dd>");
  WriteClass(entry.hasSpectrum && spectrum.HasSpectralClass,
             spectrum.SpectralClass);
  WriteText("</dd>\n<dt>Luminosity class</dt><dd>");
  WriteClass(entry.hasSpectrum && spectrum.HasLuminosityClass,
             spectrum.LuminosityClass);
  WriteText("</dd>\n</dl>\n");
  if (entry.hasPosition && position.HasDistance && position.Distance != 0) {
    WriteText(
        "<p>Search results give distances computed from the galactic X, Y "
        "and Z, a conversion that changes lengths by up to 0.014&nbsp;%, so "
        "their last digit may differ from the distance here.</p>\n");
  }
  WriteText("</section>\n");
}

// A magnitude or colour index to the hundredth.
void WriteMagnitude(double magnitude) {
  char text[kMeasurementTextSize];
  FormatFixed(magnitude, 2, "&minus;", text, sizeof(text));
  WriteText(text);
}

void WriteBrightness(const StarEntry& entry) {
  const StarFacts& facts = entry.facts;
  if (!entry.hasFacts || (!facts.hasVMag && !facts.hasColourIndex)) return;
  WriteText(
      "<section aria-labelledby=\"brightness\">\n"
      "<h2 id=\"brightness\">Brightness</h2>\n<dl>\n");
  if (facts.hasVMag) {
    WriteText("<dt>Apparent magnitude</dt><dd>");
    WriteMagnitude(facts.vMag);
    WriteText(" (visual)</dd>\n");
  }
  if (facts.hasColourIndex) {
    WriteText("<dt>Colour index B&minus;V</dt><dd>");
    WriteMagnitude(facts.colourIndex);
    WriteText("</dd>\n");
  }
  double absolute = 0;
  if (AbsoluteMagnitudeOf(entry, &absolute)) {
    WriteText("<dt>Absolute magnitude</dt><dd>");
    WriteMagnitude(absolute);
    WriteText(IsDoubtfulDistance(entry)
                  ? " (visual, from the distance, which is doubtful)</dd>\n"
                  : " (visual, from the distance)</dd>\n");
  }
  WriteText("</dl>\n</section>\n");
}

// The map of the stars within kNeighbourhoodRadius light-years, with a
// caption that says what it shows; only a sentence when there are none, and
// nothing for a star without a point.
void WriteNeighbourhoodMap(const StarEntry& entry) {
  if (!entry.hasPoint) return;
  if (entry.neighbourCount == 0) {
    std::printf(
        "<p>No other star of the database lies within %d "
        "light-years of ",
        kNeighbourhoodRadius);
    WriteStarName(entry);
    WriteText(".</p>\n");
    return;
  }
  MapFrame frame{entry.point, kNeighbourhoodRadius, MapPlane::kGalacticXY,
                 entry.hasName ? entry.name : nullptr};
  char name[32];
  if (!entry.hasName) {
    std::snprintf(name, sizeof(name), "Star %ld", static_cast<long>(entry.id));
    frame.centreName = name;
  }
  WriteText("<figure style=\"margin: 1em 0\">\n");
  WriteNeighbourMap(entry.neighbours, entry.neighbourCount, frame);
  WriteText("<figcaption>");
  if (entry.neighbourCount < entry.neighbourTotal) {
    std::printf("The nearest %d of the %d stars", entry.neighbourCount,
                entry.neighbourTotal);
  } else if (entry.neighbourCount == 1) {
    WriteText("The one star");
  } else {
    std::printf("The %d stars", entry.neighbourCount);
  }
  std::printf(" within %d light-years of ", kNeighbourhoodRadius);
  WriteStarName(entry);
  std::printf(
      ", on %s. Each dot leads to its star's entry page.</figcaption>\n"
      "</figure>\n",
      MapPlaneView(MapPlane::kGalacticXY));
}

void WriteNeighbourLinks(const StarEntry& entry) {
  WriteText(
      "<section aria-labelledby=\"neighbours\">\n"
      "<h2 id=\"neighbours\">Neighbours</h2>\n<ul>\n");
  for (int radius : kNeighbourRadii) {
    std::printf(
        "<li><a href=\"neighbours?ID=%ld&amp;ly=%d\">The stars within %d "
        "light-years of ",
        static_cast<long>(entry.id), radius, radius);
    WriteStarName(entry);
    WriteText("</a></li>\n");
  }
  WriteText("</ul>\n");
  std::printf(
      "<form action=\"neighbours\" method=\"get\">\n"
      "<p><input type=\"hidden\" name=\"ID\" value=\"%ld\">The stars "
      "between\n<input name=\"minLY\" type=\"number\" min=\"0\" step=\"any\" "
      "value=\"%d\" required aria-label=\"Smallest distance, light-years\" "
      "style=\"width: 5em\">\nand\n<input name=\"ly\" type=\"number\" "
      "min=\"2\" step=\"any\" value=\"%d\" required aria-label=\"Largest "
      "distance, light-years\" style=\"width: 5em\">\nlight-years of ",
      static_cast<long>(entry.id), kFormMinRadius, kFormMaxRadius);
  WriteStarName(entry);
  WriteText("\n<button type=\"submit\">Search</button></p>\n</form>\n");
  WriteNeighbourhoodMap(entry);
  if (entry.hasPoint) {
    std::printf(
        "<p><a href=\"entry_page.exe?ID=%ld&amp;view=sky\">The sky "
        "as seen from ",
        static_cast<long>(entry.id));
    WriteStarName(entry);
    std::printf(
        "</a>: every star brighter than magnitude %.1f from there, and how "
        "bright the Sun is.</p>\n",
        kSkyMagnitudeLimit);
  }
  WriteText("</section>\n");
}

// The component letter of a star ID: A for component 1, B for 2 ...; none
// for component 0, the star of a Hipparcos number without components.
char ComponentLetter(int32_t id) {
  int component = (id / 100) % 100;
  return component >= 1 && component <= 26 ? 'A' + component - 1 : '\0';
}

void WriteComponents(const StarEntry& entry) {
  if (entry.componentCount == 0) return;
  std::printf(
      "<section aria-labelledby=\"components\">\n"
      "<h2 id=\"components\">Other components of the same system</h2>\n"
      "<p>The other stars of Hipparcos number %ld:</p>\n<ul>\n",
      static_cast<long>(entry.id / 10000));
  for (int i = 0; i < entry.componentCount; ++i) {
    const Component& component = entry.components[i];
    std::printf("<li><a href=\"entry_page.exe?ID=%ld\">",
                static_cast<long>(component.id));
    if (component.hasName && component.name[0] != '\0') {
      WriteFragment(component.name);
    } else {
      std::printf("Star %ld", static_cast<long>(component.id));
    }
    char letter = ComponentLetter(component.id);
    if (letter != '\0') std::printf(", component %c", letter);
    WriteText("</a></li>\n");
  }
  WriteText("</ul>\n</section>\n");
}

// Writes a star's name as a link to its entry page: its display name, or
// "Star N".
void WriteStarLink(int32_t id, bool hasName, const char* name) {
  std::printf("<a href=\"entry_page.exe?ID=%ld\">", static_cast<long>(id));
  if (hasName && name[0] != '\0') {
    WriteFragment(name);
  } else {
    std::printf("Star %ld", static_cast<long>(id));
  }
  WriteText("</a>");
}

void WriteSystem(const StarEntry& entry) {
  if (entry.memberCount == 0) return;
  int32_t primary = entry.facts.systemId;
  WriteText(
      "<section aria-labelledby=\"system\">\n"
      "<h2 id=\"system\">Other members of its system</h2>\n");
  if (entry.membersCut) {
    std::printf("<p>This star belongs to a system of more than %d stars; ",
                entry.memberCount + 1);
  } else {
    std::printf("<p>This star belongs to a system of %d stars; ",
                entry.memberCount + 1);
  }
  if (entry.id == primary) {
    WriteText("it is the primary, the brightest member.");
  } else {
    WriteText("its primary, the brightest member, comes first.");
  }
  WriteText(" The separations:</p>\n<ul>\n");
  for (int i = 0; i < entry.memberCount; ++i) {
    const SystemMember& member = entry.members[i];
    WriteText("<li>");
    WriteStarLink(member.id, member.hasName, member.name);
    if (member.id == primary) WriteText(", the primary");
    if (member.hasSeparation) {
      char text[kMeasurementTextSize];
      FormatSeparation(member.separation, text, sizeof(text));
      std::printf(", %s</li>\n", text);
    } else {
      WriteText(", separation not known</li>\n");
    }
  }
  WriteText(
      "</ul>\n<p>Separations are measured between the stars' points in "
      "space; along the line of sight they rest on the distances, whose "
      "errors may be larger.</p>\n</section>\n");
}

// The page of the sky seen from the star, whose point is known.
void WriteSkyPage(const StarEntry& entry, const SkyView& view) {
  WriteHtmlHeader(HttpStatus::kOk);
  char name[kKnownNameSize];
  FormatHeadingName(entry, name, sizeof(name));
  char title[kKnownNameSize + 32];
  std::snprintf(title, sizeof(title), "The sky from %s", name);
  WritePageStart(title);
  WriteText("<h1>");
  WriteFragment(title);
  std::printf("</h1>\n<p>Back to <a href=\"entry_page.exe?ID=%ld\">",
              static_cast<long>(entry.id));
  WriteFragment(name);
  WriteText("</a>.</p>\n");
  if (!view.hasMagnitudes) {
    WriteText(
        "<p>The database holds no magnitudes of its stars, so the sky "
        "seen from another star cannot be drawn.</p>\n");
    WritePageEnd();
    return;
  }
  std::printf(
      "<p>Every star of the database brighter than magnitude %.1f seen "
      "from ",
      kSkyMagnitudeLimit);
  WriteStarName(entry);
  std::printf(
      " (about what an eye sees on a dark night): %d star%s. A star's "
      "magnitude from there follows from its magnitude from the Earth and "
      "its distances from the Sun and from ",
      view.total, view.total == 1 ? "" : "s");
  WriteStarName(entry);
  WriteText(", so a doubtful distance makes a doubtful magnitude.</p>\n");
  WriteText("<figure style=\"margin: 1em 0\">\n");
  WriteSkyChart(view, name);
  WriteText(
      "<figcaption>The whole sky on a Hammer-Aitoff projection, which "
      "keeps areas, in right ascension and declination on the axes of the "
      "catalogue's equatorial frame: 0h at the centre, right ascension "
      "increasing to the left, north up. ");
  if (view.sunAt >= 0) {
    WriteText("The Sun is the yellow dot in a ring, at magnitude ");
    WriteSkyMagnitude(view.sunMagnitude);
    WriteText(". ");
  } else if (view.hasSunMagnitude) {
    WriteText("The Sun, at magnitude ");
    WriteSkyMagnitude(view.sunMagnitude);
    WriteText(", is too faint to see from here. ");
  }
  if (view.count < view.total) {
    std::printf("The brightest %d of them are drawn. ", view.count);
  }
  WriteText(
      "Each named dot leads to its star's entry page.</figcaption>\n"
      "</figure>\n");
  int listed = view.count < kSkyNamedStars ? view.count : kSkyNamedStars;
  if (listed > 0) {
    WriteText("<div style=\"overflow-x: auto\">\n<table>\n<caption>The ");
    if (listed > 1) std::printf("%d ", listed);
    std::printf("brightest from here%s</caption>\n",
                view.sunAt >= listed ? ", and the Sun" : "");
    WriteText(
        "<thead><tr><th scope=\"col\">Star</th><th scope=\"col\">Magnitude "
        "from here</th><th scope=\"col\">From the Earth</th><th "
        "scope=\"col\">Distance from here</th></tr></thead>\n<tbody>\n");
    for (int i = 0; i < view.count; ++i) {
      if (i >= listed && i != view.sunAt) continue;
      const SkyStar& star = view.stars[i];
      std::printf("<tr><td><a href=\"entry_page.exe?ID=%ld\">",
                  static_cast<long>(star.id));
      WriteSkyStarName(view, i, false);
      WriteText("</a></td><td>");
      WriteSkyMagnitude(star.magnitude);
      WriteText("</td><td>");
      WriteSkyMagnitude(star.vMag);
      WriteText("</td><td>");
      char distance[kMeasurementTextSize];
      FormatSeparation(star.distance, distance, sizeof(distance));
      WriteText(distance);
      WriteText("</td></tr>\n");
      if (i >= listed) break;
    }
    WriteText("</tbody>\n</table>\n</div>\n");
  }
  WritePageEnd();
}

void WriteNoPlacePage(const StarEntry& entry) {
  WriteHtmlHeader(HttpStatus::kOk);
  char name[kKnownNameSize];
  FormatHeadingName(entry, name, sizeof(name));
  char title[kKnownNameSize + 32];
  std::snprintf(title, sizeof(title), "The sky from %s", name);
  WritePageStart(title);
  WriteText("<h1>");
  WriteFragment(title);
  WriteText("</h1>\n<p>The database gives no place for ");
  WriteStarName(entry);
  std::printf(
      " in space, so the sky seen from it cannot be drawn. Back to <a "
      "href=\"entry_page.exe?ID=%ld\">its entry page</a>.</p>\n",
      static_cast<long>(entry.id));
  WritePageEnd();
}

void WriteUnknownViewPage() {
  WriteMessagePage(
      HttpStatus::kBadRequest, "No such view of a star",
      "<p>An entry page shows a star, <code>entry_page.exe?ID=N</code>, or "
      "the sky seen from it, <code>entry_page.exe?ID=N&amp;view=sky</code>; "
      "this address asks for another view.</p>\n");
}

void WriteBadRequestPage() {
  WriteMessagePage(
      HttpStatus::kBadRequest, "No star ID in this address",
      "<p>This address names no star. An entry page is asked for as "
      "<code>entry_page.exe?ID=N</code>, where N is a star's ID: a positive "
      "multiple of 100 written in digits alone, such as 100 for the "
      "Sun.</p>\n");
}

void WriteUnknownStarPage(int32_t id) {
  char heading[64];
  std::snprintf(heading, sizeof(heading), "No star %ld", static_cast<long>(id));
  WriteMessagePage(HttpStatus::kNotFound, heading,
                   "<p>The star database has no star with this ID. <a "
                   "href=\"find_star\">Find the star by its name</a> "
                   "instead.</p>\n");
}

}  // namespace

void WriteEntryPage(const StarEntry& entry) {
  WriteHtmlHeader(HttpStatus::kOk);
  char title[kKnownNameSize];
  FormatHeadingName(entry, title, sizeof(title));
  WritePageStart(title);
  WriteText("<h1>");
  WriteFragment(title);
  std::printf("</h1>\n<p>Star ID %ld</p>\n", static_cast<long>(entry.id));
  WriteNames(entry);
  WritePositionAndSpectrum(entry);
  WriteBrightness(entry);
  WriteNeighbourLinks(entry);
  WriteSystem(entry);
  WriteComponents(entry);
  WritePageEnd();
}

int AnswerEntryRequest(const char* queryString) {
  DecodeQueryStringAsSent(queryString != nullptr ? queryString : "");
  const char* idText = FindQueryParam("ID");
  int32_t id = 0;
  if (idText == nullptr || !ParseStarId(idText, &id)) {
    WriteBadRequestPage();
    return kExitFailed;
  }

  const char* view = FindQueryParam("view");
  bool sky = view != nullptr && std::strcmp(view, "sky") == 0;
  if (view != nullptr && !sky) {
    WriteUnknownViewPage();
    return kExitFailed;
  }

  DatabaseHandles handles;
  if (!OpenSiteDataSource(kProgram, &handles)) return kExitFailed;

  // Read whole before any of it is written, so that the status is known.
  static StarEntry entry;
  static SkyView skyView;
  EntryReading reading = LoadCatalogueNames(handles.statement)
                             ? ReadStarEntry(handles.statement, id, &entry)
                             : EntryReading::kFailed;
  if (sky && reading == EntryReading::kFound && entry.hasPoint &&
      !ReadSkyFrom(handles.statement, entry.point, &skyView)) {
    reading = EntryReading::kFailed;
    entry.failure =
        "the magnitudes or positions of the stars could not be "
        "read";
  }
  handles.Release();
  int status = kExitAnswered;
  switch (reading) {
    case EntryReading::kFound:
      if (!sky) {
        WriteEntryPage(entry);
      } else if (entry.hasPoint) {
        WriteSkyPage(entry, skyView);
      } else {
        WriteNoPlacePage(entry);
      }
      break;
    case EntryReading::kUnknown:
      WriteUnknownStarPage(id);
      break;
    case EntryReading::kFailed:
      ReportReadFault(kProgram, entry.failure != nullptr
                                    ? entry.failure
                                    : "the star database could not be read");
      WriteDatabaseFaultPage();
      status = kExitFailed;
      break;
  }
  FreeCatalogueNames();
  return status;
}

}  // namespace veloran
