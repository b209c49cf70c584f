#include "db/nearby_designations.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "names/constellations.h"
#include "names/name_keys.h"

namespace veloran {

namespace {

constexpr double kArcsecPerRadian = 180.0 * 3600.0 / std::numbers::pi;

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

// Reads all of "text" as a number; false when anything else is there.
bool ReadNumber(std::string_view text, double* value) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  auto [at, fault] = std::from_chars(text.data(), end, *value);
  return fault == std::errc() && at == end && std::isfinite(*value);
}

// Reads "h m s" (hours) or "+d m s" (degrees, the sign on the degrees
// only) into radians; "hours" says which.
bool ReadAngle(std::string_view text, bool hours, double* radians) {
  std::vector<std::string_view> parts = Split(text, ' ');
  double values[3];
  if (parts.size() != 3 || parts[0].empty()) return false;
  bool negative = parts[0][0] == '-';
  if (!hours && !negative && parts[0][0] != '+') return false;
  for (int i = 0; i < 3; ++i) {
    std::string_view part = parts[i];
    if (i == 0 && !hours) part.remove_prefix(1);
    if (part.empty() || part[0] == '-' || part[0] == '+' ||
        !ReadNumber(part, &values[i])) {
      return false;
    }
  }
  if (values[1] >= 60 || values[2] >= 60 ||
      values[0] > (hours ? 23 : 90)) {
    return false;
  }
  double degrees = values[0] + values[1] / 60 + values[2] / 3600;
  if (hours) degrees *= 15;
  if (negative) degrees = -degrees;
  *radians = degrees * std::numbers::pi / 180;
  return true;
}

bool ReadPosition(const std::vector<std::string_view>& fields, size_t first,
                  ListedPosition* position) {
  return ReadAngle(fields[first], true, &position->ra) &&
         ReadAngle(fields[first + 1], false, &position->dec) &&
         ReadNumber(fields[first + 2], &position->properMotion) &&
         position->properMotion >= 0 &&
         ReadNumber(fields[first + 3], &position->parallax) &&
         position->parallax > 0;
}

// The names of a field, none of them empty.
bool ReadNames(std::string_view field, std::vector<std::string>* names) {
  names->clear();
  for (std::string_view name : Split(field, ',')) {
    if (name.empty()) return false;
    names->emplace_back(name);
  }
  return true;
}

// "71683 A" or "87937".
bool ReadHip(std::string_view text, uint32_t* hip, std::string* component) {
  size_t blank = text.find(' ');
  std::string_view number = text.substr(0, blank);
  const char* end = number.data() + number.size();
  auto [at, fault] = std::from_chars(number.data(), end, *hip);
  if (fault != std::errc() || at != end || *hip == 0) return false;
  component->clear();
  if (blank == std::string_view::npos) return true;
  std::string_view letter = text.substr(blank + 1);
  if (letter.size() != 1 || letter[0] < 'A' || letter[0] > 'Z') return false;
  *component = std::string(letter);
  return true;
}

bool ReadLine(std::string_view line, int number, NearbyList* list) {
  std::vector<std::string_view> fields = Split(line, '|');
  if (fields[0] == "star" && fields.size() == 8) {
    ListedStar star;
    star.line = number;
    star.source = std::string(fields[7]);
    return ReadHip(fields[1], &star.hip, &star.component) &&
           ReadPosition(fields, 2, &star.position) &&
           ReadNames(fields[6], &star.names) &&
           (list->stars.push_back(std::move(star)), true);
  }
  if (fields[0] == "absent" && fields.size() == 8) {
    ListedAbsentStar absent;
    absent.line = number;
    absent.why = std::string(fields[6]);
    absent.source = std::string(fields[7]);
    return !absent.why.empty() && ReadPosition(fields, 1, &absent.position) &&
           ReadNames(fields[5], &absent.names) &&
           (list->absent.push_back(std::move(absent)), true);
  }
  return false;
}

}  // namespace

bool ParseNearbyList(std::string_view text, NearbyList* list,
                     std::string* error) {
  list->stars.clear();
  list->absent.clear();
  int number = 0;
  for (std::string_view line : Split(text, '\n')) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    bool printable = true;
    for (char c : line) printable = printable && c >= ' ' && c <= '~';
    if (!printable || !ReadLine(line, number, list)) {
      *error = "line " + std::to_string(number) +
               (printable ? " does not follow the format"
                          : " has a byte that is not printable ASCII");
      return false;
    }
  }
  return true;
}

bool FitListedPosition(const ListedPosition& listed, double ra, double dec,
                       double parallax, std::string* why) {
  // The haversine formula, exact enough at arcseconds.
  double dRa = std::sin((ra - listed.ra) / 2);
  double dDec = std::sin((dec - listed.dec) / 2);
  double h = dDec * dDec + std::cos(dec) * std::cos(listed.dec) * dRa * dRa;
  double separation = 2 * std::asin(std::sqrt(std::min(h, 1.0))) *
                      kArcsecPerRadian;
  double allowed =
      kPositionSlackArcsec + listed.properMotion / 1000 * kEpochSpanYears;
  char text[160];
  if (!(separation <= allowed)) {
    std::snprintf(text, sizeof(text),
                  "%.1f arcsec from its position, %.1f allowed", separation,
                  allowed);
    *why = text;
    return false;
  }
  double off = std::fabs(parallax - listed.parallax) / listed.parallax;
  if (!(off <= kParallaxTolerance)) {
    std::snprintf(text, sizeof(text),
                  "parallax %.2f mas against its %.2f, %.1f %% off, %.0f %% "
                  "allowed",
                  listed.parallax, parallax, off * 100,
                  kParallaxTolerance * 100);
    *why = text;
    return false;
  }
  return true;
}

bool TypedNameKey(const std::string& name, std::string* key) {
  char text[kNameKeySize];
  if (!NameKey(name.data(), name.size(), text, sizeof(text))) return false;
  AbbreviateConstellation(text);
  *key = text;
  return true;
}

}  // namespace veloran
