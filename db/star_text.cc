#include "db/star_text.h"

#include <cctype>
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

namespace {

// The Roman numerals of the luminosity classes, longest first, so that
// "III" is not read as "I" followed by "II".
constexpr std::string_view kLuminosityNumerals[] = {"VII", "VI", "V", "IV",
                                                    "III", "II", "I"};
// Their subdivisions, longest first: "Ia0" and "Ia+" are hypergiants.
constexpr std::string_view kSubclasses[] = {"ab", "a0", "a+", "a", "b"};

// The length of the one luminosity class that starts at "text" ("Ia0",
// "IIIb", "IV"), or 0 when none does.
size_t SingleClassLength(std::string_view text) {
  for (std::string_view numeral : kLuminosityNumerals) {
    if (!text.starts_with(numeral)) continue;
    size_t length = numeral.size();
    for (std::string_view sub : kSubclasses) {
      if (text.substr(length).starts_with(sub)) {
        length += sub.size();
        break;
      }
    }
    return length;
  }
  return 0;
}

// The length of the luminosity class that starts at "text": one class, or
// a range of them ("II-III", "IV/V", "Ia-Iab"), or either in parentheses
// ("(III)"); 0 when none starts there.
size_t LuminosityClassLength(std::string_view text) {
  bool parenthesised = text.starts_with('(');
  size_t start = parenthesised ? 1 : 0;
  size_t length = SingleClassLength(text.substr(start));
  if (length == 0) return 0;
  size_t end = start + length;
  while (end + 1 < text.size() && (text[end] == '-' || text[end] == '/')) {
    size_t next = SingleClassLength(text.substr(end + 1));
    if (next == 0) break;
    end += 1 + next;
  }
  bool closed = end < text.size() && text[end] == ')';
  if (parenthesised != closed) return 0;  // "(SI)" holds no class
  return closed ? end + 1 : end;
}

// Whether a luminosity class may start at "start" of "type": not inside a
// word, as the "I" of "(SI)" or of "(FeII)" and the "V" of "LBV" are, but
// after the temperature class ("K0", "M2+", "K0/1", a lone "K" or "M4S")
// or a peculiarity letter that precedes the class ("A2mIV").
bool MayStartLuminosityClass(std::string_view type, size_t start) {
  if (start == 0) return false;
  auto isLetter = [](char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
  };
  char before = type[start - 1];
  if (!isLetter(before)) return true;
  if (before == 'm' || before == 'p' || before == 'n' || before == 's') {
    return true;
  }
  // An emission "e" ("M6eIII"), but not the e of Fe.
  if (before == 'e') {
    return start == 1 ||
           !std::isupper(static_cast<unsigned char>(type[start - 2]));
  }
  // A temperature class letter, itself not inside a word.
  constexpr std::string_view kTemperatureClasses = "OBAFGKMSCN";
  return kTemperatureClasses.find(before) != std::string_view::npos &&
         (start == 1 || !isLetter(type[start - 2]));
}

}  // namespace

SpectralSplit SplitSpectralType(std::string_view type) {
  for (size_t start = 0; start < type.size(); ++start) {
    if (type[start] != '(' && start > 0 &&
        !MayStartLuminosityClass(type, start)) {
      continue;
    }
    size_t length = LuminosityClassLength(type.substr(start));
    if (length == 0) continue;
    std::string rest(type.substr(0, start));
    rest += type.substr(start + length);
    return {std::move(rest), true, std::string(type.substr(start, length))};
  }
  return {std::string(type), false, ""};
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
