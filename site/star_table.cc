#include "site/star_table.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>

#include "astro/position_conversion.h"
#include "cgi/output.h"
#include "site/export_text.h"
#include "site/site_address.h"

namespace veloran {

namespace {

// In the order of StarColumn.  The right ascension and declination are
// those of the database: ICRS, each at the epoch of its row (see the
// COOSYS of each VOTable).
constexpr StarColumnInfo kColumns[] = {
    {StarColumn::kRank, "rank", "int", nullptr, "meta.number", nullptr, 0,
     "Place of the star in the whole ranking of the search, nearest first, "
     "counting from 1"},
    {StarColumn::kId, "id", "int", nullptr, "meta.id;meta.main", "ID_MAIN", 0,
     "Star ID in the Veloran star database"},
    {StarColumn::kHip, "hip", "int", nullptr, "meta.id.cross", nullptr, 0,
     "Hipparcos Catalogue number (HIP); the components of a multiple star "
     "share theirs"},
    {StarColumn::kName, "name", "unicodeChar", nullptr, "meta.id", nullptr, 0,
     "Name of the star: its proper name, else its catalogue designation"},
    {StarColumn::kRa, "ra_deg", "double", "deg", "pos.eq.ra;meta.main",
     "POS_EQ_RA_MAIN", 6,
     "Right ascension (ICRS) at the epoch of the star's position, to "
     "0.000001 degree (the database holds it to 0.001 second of time)"},
    {StarColumn::kDec, "dec_deg", "double", "deg", "pos.eq.dec;meta.main",
     "POS_EQ_DEC_MAIN", 6,
     "Declination (ICRS) at the epoch of the star's position, to 0.000001 "
     "degree (the database holds it to 0.01 arcsecond)"},
    {StarColumn::kEpoch, "epoch", "double", "yr", "time.epoch", nullptr, 2,
     "Epoch of the star's position, a Julian year to 0.01 (2000.00 is "
     "J2000); empty where it is not known: a fast-moving star whose position "
     "may lie up to 11 years of its proper motion before J2000"},
    {StarColumn::kPmRa, "pm_ra_cosdec_mas_yr", "double", "mas/yr",
     "pos.pm;pos.eq.ra", nullptr, kAsStored,
     "Proper motion in right ascension times the cosine of the declination, "
     "as the database holds it (the Hipparcos stars' to 0.01 mas/yr)"},
    {StarColumn::kPmDec, "pm_dec_mas_yr", "double", "mas/yr",
     "pos.pm;pos.eq.dec", nullptr, kAsStored,
     "Proper motion in declination, as the database holds it (the Hipparcos "
     "stars' to 0.01 mas/yr)"},
    {StarColumn::kSeparation, "separation_deg", "double", "deg",
     "pos.angDistance", nullptr, 6,
     "Angular distance from the cone's centre, to 0.000001 degree"},
    {StarColumn::kCentreDistance, "centre_distance_ly", "double", "lyr",
     "pos.distance", nullptr, 4,
     "Distance from the centre of the search, to 0.0001 light-year"},
    {StarColumn::kCentreDistanceError, "centre_distance_error_ly", "double",
     "lyr", "stat.error;pos.distance", nullptr, 4,
     "Standard error of the distance from the centre, from the errors of the "
     "star's and the centre star's distances from the Sun (to first order), "
     "to 0.0001 light-year; empty where either is not known"},
    {StarColumn::kDistance, "distance_ly", "double", "lyr", "pos.distance",
     nullptr, 4,
     "Distance from the Sun, from the parallax, to 0.0001 light-year"},
    {StarColumn::kDistanceError, "distance_error_ly", "double", "lyr",
     "stat.error;pos.distance", nullptr, 4,
     "Standard error of the distance from the Sun, from the parallax's, to "
     "0.0001 light-year"},
    {StarColumn::kGalacticX, "galactic_x_ly", "double", "lyr",
     "pos.cartesian.x;pos.galactic", nullptr, 4,
     "Galactic X (towards the galactic centre) of the star's position and "
     "distance, to 0.0001 light-year"},
    {StarColumn::kGalacticY, "galactic_y_ly", "double", "lyr",
     "pos.cartesian.y;pos.galactic", nullptr, 4,
     "Galactic Y (towards galactic longitude 90 degrees), to 0.0001 "
     "light-year"},
    {StarColumn::kGalacticZ, "galactic_z_ly", "double", "lyr",
     "pos.cartesian.z;pos.galactic", nullptr, 4,
     "Galactic Z (towards the north galactic pole), to 0.0001 light-year"},
    {StarColumn::kSpectralClass, "spectral_class", "unicodeChar", nullptr,
     "src.spType", nullptr, 0, "Spectral class (MK)"},
    {StarColumn::kLuminosityClass, "luminosity_class", "unicodeChar", nullptr,
     "src.class.luminosity", nullptr, 0, "Luminosity class (MK)"},
    {StarColumn::kVMag, "v_mag", "double", "mag", "phot.mag;em.opt.V", nullptr,
     2,
     "Apparent visual magnitude V, to 0.01 mag (the Hipparcos stars' come in "
     "steps of 0.05 mag)"},
    {StarColumn::kColourIndex, "b_v", "double", "mag",
     "phot.color;em.opt.B;em.opt.V", nullptr, 3,
     "Colour index B-V, to 0.001 mag (the Hipparcos stars' come in steps of "
     "4/127 mag)"},
    {StarColumn::kParallax, "parallax_mas", "double", "mas",
     "pos.parallax.trig", nullptr, kAsStored,
     "Trigonometric parallax, as the database holds it (the Hipparcos "
     "stars' to 0.01 mas)"},
    {StarColumn::kParallaxError, "parallax_error_mas", "double", "mas",
     "stat.error;pos.parallax.trig", nullptr, kAsStored,
     "Standard error of the parallax, as the database holds it (the "
     "Hipparcos stars' to 0.0001 mas from Gaia DR2, to 0.01 mas from "
     "Hipparcos)"},
    {StarColumn::kDistanceSource, "distance_source", "unicodeChar", nullptr,
     "meta.ref;pos.parallax.trig", nullptr, 0,
     "Where the parallax and distance come from, as the database names it "
     "(\"GaiaDR2\", \"HIP\")"},
    {StarColumn::kConstellation, "constellation", "unicodeChar", nullptr,
     "meta.code;pos.eq", nullptr, 0,
     "IAU abbreviation of the constellation that holds the star"},
    {StarColumn::kCentreVMag, "centre_v_mag", "double", "mag",
     "phot.mag;em.opt.V", nullptr, 2,
     "Apparent visual magnitude V as seen from the centre of the search, "
     "from V and the distances from the Sun and from the centre, to 0.01 "
     "mag"},
    {StarColumn::kDoubtfulDistance, "doubtful_distance", "boolean", nullptr,
     "meta.code.qual;pos.distance", nullptr, 0,
     "Whether the distance is doubtful, as the star's entry page says: a "
     "large parallax error, or a brightness its class cannot have"},
    {StarColumn::kEntryPage, "entry_page", "char", nullptr, "meta.ref.url",
     nullptr, 0, "Address of the star's entry page on this site"},
};

constexpr bool ColumnsInOrder() {
  for (size_t i = 0; i < std::size(kColumns); ++i) {
    if (static_cast<size_t>(kColumns[i].column) != i) return false;
  }
  return true;
}
static_assert(ColumnsInOrder() &&
              std::size(kColumns) ==
                  static_cast<size_t>(StarColumn::kEntryPage) + 1);

// The address of the entry page of star "id": absolute where the site's
// address is known (site_address.h: "http://host:8080/cgi-bin/
// entry_page.exe?ID=100"), so that a file saved, or a table in a VO tool,
// still leads there; else relative to the program, as the site's pages
// link.
void FormatEntryPage(int32_t id, char (&text)[kStarValueSize]) {
  static_assert(kProgramAddressSize + 16 <= kStarValueSize);
  char address[kProgramAddressSize];
  FormatProgramAddress("entry_page.exe", address);
  std::snprintf(text, sizeof(text), "%s?ID=%ld", address,
                static_cast<long>(id));
}

// The value of a real column, with the column's decimals.
bool Real(StarColumn column, bool present, double value,
          char (&text)[kStarValueSize]) {
  text[0] = '\0';
  if (!present) return false;
  int decimals = kColumns[static_cast<size_t>(column)].decimals;
  if (decimals != kAsStored) return FixedReal(value, decimals, text);
  char number[kRealTextSize];
  if (!FormatReal(value, number)) return false;
  std::memcpy(text, number, sizeof(number));
  return true;
}

bool Text1252(bool present, const char* value, char (&text)[kStarValueSize]) {
  if (!present || !Windows1252ToUtf8(value, text, sizeof(text))) {
    text[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace

const StarColumnInfo& ColumnInfo(StarColumn column) {
  return kColumns[static_cast<size_t>(column)];
}

bool IsTextColumn(StarColumn column) {
  switch (column) {
    case StarColumn::kName:
    case StarColumn::kSpectralClass:
    case StarColumn::kLuminosityClass:
    case StarColumn::kConstellation:
    case StarColumn::kDistanceSource:
    case StarColumn::kEntryPage:
      return true;
    default:
      return false;
  }
}

namespace {

double Length(const CartesianPoint& p) {
  return std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
}

// The part of a unit step along the line of sight of "point" that lies
// along "direction" (a unit vector); 0 at the Sun, which has no line of
// sight.
double AlongSight(const CartesianPoint& point,
                  const CartesianPoint& direction) {
  double length = Length(point);
  if (!(length > 0)) return 0;
  return (point.x * direction.x + point.y * direction.y +
          point.z * direction.z) /
         length;
}

}  // namespace

StarRow NeighbourRow(const ListedStar& star, int rank,
                     const SearchCentre& centre) {
  const NeighbourMatch& match = star.match;
  const CartesianPoint& point = match.point;
  // Only the Sun's point is the origin: the scan puts a row at distance 0
  // there whatever its RA and Dec, which it reads as 0 where they are NULL.
  bool atSun = point.x == 0 && point.y == 0 && point.z == 0;
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  StarRow row{&star,
              rank,
              !atSun,
              match.raHours * 15.0,
              match.decDegrees,
              kNone,
              match.distance,
              false,
              kNone,
              match.hasSunDistance,
              match.hasSunDistance ? match.sunDistance : kNone,
              true};
  // d = |P - C|: its change with the star's distance r is the part of the
  // star's line of sight along P - C, and so for the centre's.
  const StarAstrometry& own = star.astrometry;
  double distance = match.distance;
  if (star.hasAstrometry && own.hasDistanceError && centre.hasDistanceError &&
      distance > 0) {
    CartesianPoint across{(point.x - centre.point.x) / distance,
                          (point.y - centre.point.y) / distance,
                          (point.z - centre.point.z) / distance};
    double fromStar = own.distanceError * AlongSight(point, across);
    double fromCentre = centre.distanceError * AlongSight(centre.point, across);
    row.hasCentreDistanceError = true;
    row.centreDistanceError = std::hypot(fromStar, fromCentre);
  }
  return row;
}

bool FormatStarValue(StarColumn column, const StarRow& row,
                     char (&text)[kStarValueSize]) {
  const ListedStar& star = *row.star;
  const StarFacts& facts = star.facts;
  const SpectrumRecord& spectrum = star.spectrum;
  text[0] = '\0';
  switch (column) {
    case StarColumn::kRank:
      if (row.rank <= 0) return false;
      std::snprintf(text, sizeof(text), "%d", row.rank);
      return true;
    case StarColumn::kId:
      std::snprintf(text, sizeof(text), "%ld",
                    static_cast<long>(star.match.starId));
      return true;
    case StarColumn::kHip:
      if (!star.hasAstrometry || !star.astrometry.hasHip) return false;
      std::snprintf(text, sizeof(text), "%ld",
                    static_cast<long>(star.astrometry.hip));
      return true;
    case StarColumn::kName:
      if (!star.hasName) return false;
      // The name is at most kDisplayNameSize bytes: its plain text fits.
      return HtmlFragmentToUtf8(star.name, text, sizeof(text));
    case StarColumn::kRa:
      return Real(column, row.hasSkyPosition, row.raDegrees, text);
    case StarColumn::kDec:
      return Real(column, row.hasSkyPosition, row.decDegrees, text);
    case StarColumn::kEpoch:
      return Real(column, star.hasAstrometry && star.astrometry.hasEpoch,
                  star.astrometry.epoch, text);
    case StarColumn::kPmRa:
      return Real(column, star.hasAstrometry && star.astrometry.hasProperMotion,
                  star.astrometry.pmRaCosDec, text);
    case StarColumn::kPmDec:
      return Real(column, star.hasAstrometry && star.astrometry.hasProperMotion,
                  star.astrometry.pmDec, text);
    case StarColumn::kSeparation:
      return Real(column, true, row.separation, text);
    case StarColumn::kCentreDistance:
      return Real(column, true, row.centreDistance, text);
    case StarColumn::kCentreDistanceError:
      return Real(column, row.hasCentreDistanceError, row.centreDistanceError,
                  text);
    case StarColumn::kDistance:
      return Real(column, row.hasDistance, row.distance, text);
    case StarColumn::kDistanceError:
      return Real(column,
                  star.hasAstrometry && star.astrometry.hasDistanceError,
                  star.astrometry.distanceError, text);
    case StarColumn::kGalacticX:
      return Real(column, row.hasGalactic, star.match.point.x, text);
    case StarColumn::kGalacticY:
      return Real(column, row.hasGalactic, star.match.point.y, text);
    case StarColumn::kGalacticZ:
      return Real(column, row.hasGalactic, star.match.point.z, text);
    case StarColumn::kSpectralClass:
      return Text1252(star.hasSpectrum && spectrum.HasSpectralClass,
                      spectrum.SpectralClass, text);
    case StarColumn::kLuminosityClass:
      return Text1252(star.hasSpectrum && spectrum.HasLuminosityClass,
                      spectrum.LuminosityClass, text);
    case StarColumn::kVMag:
      return Real(column, star.hasFacts && facts.hasVMag, facts.vMag, text);
    case StarColumn::kColourIndex:
      return Real(column, star.hasFacts && facts.hasColourIndex,
                  facts.colourIndex, text);
    case StarColumn::kParallax:
      return Real(column, star.hasFacts && facts.hasParallax, facts.parallax,
                  text);
    case StarColumn::kParallaxError:
      return Real(column, star.hasFacts && facts.hasParallaxError,
                  facts.parallaxError, text);
    case StarColumn::kDistanceSource:
      return Text1252(star.hasAstrometry && star.astrometry.hasDistanceSource,
                      star.astrometry.distanceSource, text);
    case StarColumn::kConstellation:
      return Text1252(star.hasFacts && facts.hasConstellation,
                      facts.constellation, text);
    case StarColumn::kCentreVMag: {
      double magnitude = 0;
      bool known = MagnitudeFromCentre(star, &magnitude);
      return Real(column, known, magnitude, text);
    }
    case StarColumn::kDoubtfulDistance:
      std::snprintf(text, sizeof(text), "%s",
                    HasDoubtfulDistance(star) ? "true" : "false");
      return true;
    case StarColumn::kEntryPage:
      FormatEntryPage(star.match.starId, text);
      return true;
  }
  return false;
}

void WriteVoTableFields(const StarColumn* columns, size_t count, UcdSet ucds,
                        const char* coordinateSystem) {
  for (size_t i = 0; i < count; ++i) {
    const StarColumnInfo& info = ColumnInfo(columns[i]);
    const char* ucd = ucds == UcdSet::kConeSearch103 && info.scsUcd != nullptr
                          ? info.scsUcd
                          : info.ucd;
    // Simple Cone Search 1.03's ID_MAIN is a text.
    bool textId =
        ucds == UcdSet::kConeSearch103 && info.column == StarColumn::kId;
    std::printf("<FIELD name=\"%s\" datatype=\"%s\"", info.name,
                textId ? "char" : info.datatype);
    if (IsTextColumn(info.column) || textId) WriteText(" arraysize=\"*\"");
    if (info.unit != nullptr) std::printf(" unit=\"%s\"", info.unit);
    std::printf(" ucd=\"%s\"", ucd);
    if (info.column == StarColumn::kRa || info.column == StarColumn::kDec) {
      std::printf(" ref=\"%s\"", coordinateSystem);
    }
    std::printf("><DESCRIPTION>%s</DESCRIPTION>", info.description);
    // VOTable 1.1 has no empty integer: a null one is its VALUES's null.
    if (ucds == UcdSet::kConeSearch103 && !textId &&
        std::strcmp(info.datatype, "int") == 0) {
      WriteText("<VALUES null=\"0\"/>");
    }
    WriteText("</FIELD>\n");
  }
}

void WriteVoTableRow(const StarColumn* columns, size_t count, UcdSet ucds,
                     const StarRow& row) {
  char value[kStarValueSize];
  WriteText("<TR>");
  for (size_t i = 0; i < count; ++i) {
    const StarColumnInfo& info = ColumnInfo(columns[i]);
    WriteText("<TD>");
    if (FormatStarValue(columns[i], row, value)) {
      WriteXmlText(value);
    } else if (ucds == UcdSet::kConeSearch103 &&
               info.column != StarColumn::kId &&
               std::strcmp(info.datatype, "int") == 0) {
      WriteText("0");
    }
    WriteText("</TD>");
  }
  WriteText("</TR>\n");
}

void WriteCsvHeader(const StarColumn* columns, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    std::printf("%s%s", i > 0 ? "," : "", ColumnInfo(columns[i]).name);
  }
  WriteText("\r\n");
}

void WriteCsvRow(const StarColumn* columns, size_t count, const StarRow& row) {
  char value[kStarValueSize];
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) WriteText(",");
    if (!FormatStarValue(columns[i], row, value)) continue;
    if (IsTextColumn(columns[i])) {
      WriteCsvText(value);
    } else {
      WriteText(value);
    }
  }
  WriteText("\r\n");
}

bool FixedReal(double value, int decimals, char (&text)[kStarValueSize]) {
  assert(decimals >= 0 && decimals <= 9);
  text[0] = '\0';
  if (!std::isfinite(value)) return false;
  int written = std::snprintf(text, sizeof(text), "%.*f", decimals, value);
  if (written <= 0 || static_cast<size_t>(written) >= sizeof(text)) {
    text[0] = '\0';
    return false;
  }
  // A value that rounds to zero is written without its sign.
  if (text[0] == '-' && std::strspn(text + 1, "0.") == std::strlen(text + 1)) {
    std::memmove(text, text + 1, std::strlen(text));
  }
  return true;
}

bool AllAtJ2000(const ListedStar* stars, int count) {
  for (int i = 0; i < count; ++i) {
    const ListedStar& star = stars[i];
    if (!star.hasAstrometry || !star.astrometry.hasEpoch ||
        star.astrometry.epoch != 2000.0) {
      return false;
    }
  }
  return true;
}

void FormatDataDescription(const char* provenance,
                           char (&text)[kDataDescriptionSize]) {
  char own[Utf8SizeOf1252(kProvenanceSize) + 1] = "";
  if (provenance != nullptr) Windows1252ToUtf8(provenance, own, sizeof(own));
  int written = std::snprintf(
      text, sizeof(text),
      "%s%sPositions are ICRS, each at the epoch of its row (the COOSYS "
      "names J2000 only when every row is at J2000); each star's parallax "
      "source is its distance_source.",
      own, own[0] != '\0' ? ". " : "");
  assert(written > 0 && static_cast<size_t>(written) < sizeof(text));
  (void)written;
}

}  // namespace veloran
