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
// those of the database: ICRS, at epoch J2000 for most stars (see the
// COOSYS of each VOTable).
constexpr StarColumnInfo kColumns[] = {
    {StarColumn::kRank, "rank", "int", nullptr, "meta.number", nullptr,
     "Place of the star in the whole ranking of the search, nearest first, "
     "counting from 1"},
    {StarColumn::kId, "id", "char", nullptr, "meta.id;meta.main", "ID_MAIN",
     "Star ID in the Veloran star database"},
    {StarColumn::kName, "name", "unicodeChar", nullptr, "meta.id", nullptr,
     "Name of the star: its proper name, else its catalogue designation"},
    {StarColumn::kRa, "ra_deg", "double", "deg", "pos.eq.ra;meta.main",
     "POS_EQ_RA_MAIN", "Right ascension (ICRS)"},
    {StarColumn::kDec, "dec_deg", "double", "deg", "pos.eq.dec;meta.main",
     "POS_EQ_DEC_MAIN", "Declination (ICRS)"},
    {StarColumn::kSeparation, "separation_deg", "double", "deg",
     "pos.angDistance", nullptr, "Angular distance from the cone's centre"},
    {StarColumn::kCentreDistance, "centre_distance_ly", "double", "lyr",
     "pos.distance", nullptr, "Distance from the centre of the search"},
    {StarColumn::kDistance, "distance_ly", "double", "lyr", "pos.distance",
     nullptr, "Distance from the Sun"},
    {StarColumn::kSpectralClass, "spectral_class", "unicodeChar", nullptr,
     "src.spType", nullptr, "Spectral class (MK)"},
    {StarColumn::kLuminosityClass, "luminosity_class", "unicodeChar", nullptr,
     "src.class.luminosity", nullptr, "Luminosity class (MK)"},
    {StarColumn::kVMag, "v_mag", "double", "mag", "phot.mag;em.opt.V", nullptr,
     "Apparent visual magnitude V"},
    {StarColumn::kColourIndex, "b_v", "double", "mag",
     "phot.color;em.opt.B;em.opt.V", nullptr, "Colour index B-V"},
    {StarColumn::kParallax, "parallax_mas", "double", "mas",
     "pos.parallax.trig", nullptr, "Trigonometric parallax"},
    {StarColumn::kParallaxError, "parallax_error_mas", "double", "mas",
     "stat.error;pos.parallax.trig", nullptr, "Standard error of the parallax"},
    {StarColumn::kConstellation, "constellation", "unicodeChar", nullptr,
     "meta.code;pos.eq", nullptr,
     "IAU abbreviation of the constellation that holds the star"},
    {StarColumn::kCentreVMag, "centre_v_mag", "double", "mag",
     "phot.mag;em.opt.V", nullptr,
     "Apparent visual magnitude V as seen from the centre of the search, "
     "from V and the distances from the Sun and from the centre"},
    {StarColumn::kDoubtfulDistance, "doubtful_distance", "boolean", nullptr,
     "meta.code.qual;pos.distance", nullptr,
     "Whether the distance is doubtful, as the star's entry page says: a "
     "large parallax error, or a brightness its class cannot have"},
    {StarColumn::kEntryPage, "entry_page", "char", nullptr, "meta.ref.url",
     nullptr, "Address of the star's entry page on this site"},
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

bool Real(bool present, double value, char (&text)[kStarValueSize]) {
  char number[kRealTextSize];
  if (!present || !FormatReal(value, number)) {
    text[0] = '\0';
    return false;
  }
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
    case StarColumn::kEntryPage:
      return true;
    default:
      return false;
  }
}

StarRow NeighbourRow(const ListedStar& star, int rank) {
  const NeighbourMatch& match = star.match;
  const CartesianPoint& point = match.point;
  // Only the Sun's point is the origin: the scan puts a row at distance 0
  // there whatever its RA and Dec, which it reads as 0 where they are NULL.
  bool atSun = point.x == 0 && point.y == 0 && point.z == 0;
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  return {&star,
          rank,
          !atSun,
          match.raHours * 15.0,
          match.decDegrees,
          kNone,
          match.distance,
          false,
          kNone};
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
    case StarColumn::kName:
      if (!star.hasName) return false;
      // The name is at most kDisplayNameSize bytes: its plain text fits.
      return HtmlFragmentToUtf8(star.name, text, sizeof(text));
    case StarColumn::kRa:
      return Real(row.hasSkyPosition, row.raDegrees, text);
    case StarColumn::kDec:
      return Real(row.hasSkyPosition, row.decDegrees, text);
    case StarColumn::kSeparation:
      return Real(true, row.separation, text);
    case StarColumn::kCentreDistance:
      return Real(true, row.centreDistance, text);
    case StarColumn::kDistance:
      return Real(row.hasDistance, row.distance, text);
    case StarColumn::kSpectralClass:
      return Text1252(star.hasSpectrum && spectrum.HasSpectralClass,
                      spectrum.SpectralClass, text);
    case StarColumn::kLuminosityClass:
      return Text1252(star.hasSpectrum && spectrum.HasLuminosityClass,
                      spectrum.LuminosityClass, text);
    case StarColumn::kVMag:
      return Real(star.hasFacts && facts.hasVMag, facts.vMag, text);
    case StarColumn::kColourIndex:
      return Real(star.hasFacts && facts.hasColourIndex, facts.colourIndex,
                  text);
    case StarColumn::kParallax:
      return Real(star.hasFacts && facts.hasParallax, facts.parallax, text);
    case StarColumn::kParallaxError:
      return Real(star.hasFacts && facts.hasParallaxError, facts.parallaxError,
                  text);
    case StarColumn::kConstellation:
      return Text1252(star.hasFacts && facts.hasConstellation,
                      facts.constellation, text);
    case StarColumn::kCentreVMag: {
      double magnitude = 0;
      bool known = MagnitudeFromCentre(star, &magnitude);
      return Real(known, magnitude, text);
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
    std::printf("<FIELD name=\"%s\" datatype=\"%s\"", info.name, info.datatype);
    if (IsTextColumn(info.column) || info.column == StarColumn::kId) {
      WriteText(" arraysize=\"*\"");
    }
    if (info.unit != nullptr) std::printf(" unit=\"%s\"", info.unit);
    std::printf(" ucd=\"%s\"", ucd);
    if (info.column == StarColumn::kRa || info.column == StarColumn::kDec) {
      std::printf(" ref=\"%s\"", coordinateSystem);
    }
    std::printf("><DESCRIPTION>%s</DESCRIPTION></FIELD>\n", info.description);
  }
}

void WriteVoTableRow(const StarColumn* columns, size_t count,
                     const StarRow& row) {
  char value[kStarValueSize];
  WriteText("<TR>");
  for (size_t i = 0; i < count; ++i) {
    WriteText("<TD>");
    if (FormatStarValue(columns[i], row, value)) WriteXmlText(value);
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

}  // namespace veloran
