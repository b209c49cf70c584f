#include "db/star_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>

#include "text/text_encoding.h"

namespace veloran {

namespace {

// Entity names of the Greek capitals from U+0391 and of the small letters
// from U+03B1; U+03A2 is unassigned.
constexpr const char* kGreekCapitals[25] = {
    "Alpha",   "Beta", "Gamma", "Delta",  "Epsilon", "Zeta", "Eta",
    "Theta",   "Iota", "Kappa", "Lambda", "Mu",      "Nu",   "Xi",
    "Omicron", "Pi",   "Rho",   nullptr,  "Sigma",   "Tau",  "Upsilon",
    "Phi",     "Chi",  "Psi",   "Omega"};
constexpr const char* kGreekSmall[25] = {
    "alpha",   "beta", "gamma", "delta",  "epsilon", "zeta", "eta",
    "theta",   "iota", "kappa", "lambda", "mu",      "nu",   "xi",
    "omicron", "pi",   "rho",   "sigmaf", "sigma",   "tau",  "upsilon",
    "phi",     "chi",  "psi",   "omega"};

// The HTML entity name of a Greek letter, or nullptr.
const char* GreekEntity(uint32_t codePoint) {
  if (codePoint >= 0x391 && codePoint <= 0x3A9) {
    return kGreekCapitals[codePoint - 0x391];
  }
  if (codePoint >= 0x3B1 && codePoint <= 0x3C9) {
    return kGreekSmall[codePoint - 0x3B1];
  }
  return nullptr;
}

void AppendCharacter(uint32_t codePoint, std::string* html) {
  switch (codePoint) {
    case '&':
      *html += "&amp;";
      return;
    case '<':
      *html += "&lt;";
      return;
    case '>':
      *html += "&gt;";
      return;
    default:
      break;
  }
  unsigned char byte;
  if (CodePointToWindows1252(codePoint, &byte)) {
    html->push_back(static_cast<char>(byte));
    return;
  }
  if (const char* name = GreekEntity(codePoint)) {
    *html += '&';
    *html += name;
    *html += ';';
    return;
  }
  char numeric[16];
  std::snprintf(numeric, sizeof numeric, "&#%u;",
                static_cast<unsigned>(codePoint));
  *html += numeric;
}

bool Convert(std::string_view utf8, bool underscoreIsSpace, std::string* html) {
  html->clear();
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  size_t pos = 0;
  while (pos < utf8.size()) {
    uint32_t codePoint;
    size_t size = DecodeUtf8(bytes + pos, utf8.size() - pos, &codePoint);
    if (size == 0) return false;
    pos += size;
    if (underscoreIsSpace && codePoint == '_') codePoint = ' ';
    AppendCharacter(codePoint, html);
  }
  return true;
}

}  // namespace

bool HtmlFromUtf8(std::string_view utf8, std::string* html) {
  return Convert(utf8, false, html);
}

bool DesignationFromUtf8(std::string_view utf8, std::string* html) {
  return Convert(utf8, true, html);
}

SpectralSplit SplitSpectralType(std::string_view type) {
  size_t start = type.find_first_of("IV");
  if (start == std::string_view::npos) {
    return {std::string(type), false, ""};
  }
  if (start > 0 && type[start - 1] == '(') --start;
  return {std::string(type.substr(0, start)), true,
          std::string(type.substr(start))};
}

RightAscension RightAscensionFromRadians(double radians) {
  constexpr double kMillisecondsPerRadian = 12.0 * 3600000.0 / std::numbers::pi;
  constexpr long long kDay = 24LL * 3600000;
  long long ms = std::llround(radians * kMillisecondsPerRadian) % kDay;
  if (ms < 0) ms += kDay;
  return {static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60),
          static_cast<double>(ms % 60000) / 1000.0};
}

Declination DeclinationFromRadians(double radians) {
  constexpr double kCentiArcsecondsPerRadian =
      180.0 * 360000.0 / std::numbers::pi;
  long long cas = std::llround(std::fabs(radians) * kCentiArcsecondsPerRadian);
  int degrees = static_cast<int>(cas / 360000);
  int arcminutes = static_cast<int>(cas / 6000 % 60);
  double arcseconds = static_cast<double>(cas % 6000) / 100.0;
  if (radians >= 0.0 || cas == 0) return {degrees, arcminutes, arcseconds};
  if (degrees > 0) return {-degrees, arcminutes, arcseconds};
  // Zero degrees count as positive: the sign goes on the arcseconds, which
  // then hold the arcminutes too.
  return {0, 0, -static_cast<double>(cas) / 100.0};
}

}  // namespace veloran
