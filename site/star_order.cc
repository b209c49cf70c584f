#include "site/star_order.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "names/constellations.h"
#include "names/name_keys.h"

namespace veloran {

// The temperature sequence of the spectral classes, hottest first: the
// Wolf-Rayet stars, O to M, the carbon and S stars beside M, the brown
// dwarfs, then the white dwarfs.  Any other letter goes after these.
namespace {

constexpr char kClassSequence[] = "WOBAFGKMSCLTYD";

}  // namespace

ClassOrder ReadClassOrder(const char* spectralClass) {
  const char* p = spectralClass;
  while (*p >= 'a' && *p <= 'z') ++p;
  const char* place = *p != '\0' ? std::strchr(kClassSequence, *p) : nullptr;
  ClassOrder order{place != nullptr ? static_cast<int>(place - kClassSequence)
                                    : static_cast<int>(sizeof(kClassSequence)),
                   10.0};
  if (*p != '\0') ++p;
  if (*p >= '0' && *p <= '9') {
    double subclass = 0.0;
    for (; *p >= '0' && *p <= '9'; ++p) subclass = subclass * 10 + (*p - '0');
    if (p[0] == '.' && p[1] >= '0' && p[1] <= '9') {
      double scale = 0.1;
      for (++p; *p >= '0' && *p <= '9'; ++p, scale /= 10) {
        subclass += (*p - '0') * scale;
      }
    }
    order.subclass = subclass;
  }
  return order;
}

int CompareNaturally(const char* a, const char* b) {
  while (*a != '\0' && *b != '\0') {
    bool aDigit = *a >= '0' && *a <= '9';
    bool bDigit = *b >= '0' && *b <= '9';
    if (aDigit && bDigit) {
      while (*a == '0') ++a;
      while (*b == '0') ++b;
      size_t aLength = std::strspn(a, "0123456789");
      size_t bLength = std::strspn(b, "0123456789");
      if (aLength != bLength) return aLength < bLength ? -1 : 1;
      int digits = std::strncmp(a, b, aLength);
      if (digits != 0) return digits;
      a += aLength;
      b += bLength;
    } else {
      if (*a != *b)
        return static_cast<unsigned char>(*a) < static_cast<unsigned char>(*b)
                   ? -1
                   : 1;
      ++a;
      ++b;
    }
  }
  return (*a != '\0') - (*b != '\0');
}

const char* ConstellationName(const ListedStar& star) {
  if (!star.hasFacts || !star.facts.hasConstellation ||
      star.facts.constellation[0] == '\0') {
    return nullptr;
  }
  const Constellation* known = FindConstellation(star.facts.constellation);
  return known != nullptr ? known->nominative : star.facts.constellation;
}

void ReadSortValues(const ListedStar& star, SortValues* values) {
  values->hasName =
      star.hasName && NameKey(star.name, std::strlen(star.name),
                              values->nameKey, sizeof(values->nameKey));
  values->hasClass = star.hasSpectrum && star.spectrum.HasSpectralClass &&
                     star.spectrum.SpectralClass[0] != '\0';
  values->spectralClass[0] = '\0';
  values->luminosityClass[0] = '\0';
  if (values->hasClass) {
    values->classOrder = ReadClassOrder(star.spectrum.SpectralClass);
    std::snprintf(values->spectralClass, sizeof(values->spectralClass), "%s",
                  star.spectrum.SpectralClass);
    if (star.spectrum.HasLuminosityClass) {
      std::snprintf(values->luminosityClass, sizeof(values->luminosityClass),
                    "%s", star.spectrum.LuminosityClass);
    }
  }
  values->magnitude = 0.0;
  values->hasMagnitude = MagnitudeFromCentre(star, &values->magnitude);
  if (values->hasMagnitude) {
    values->magnitude = std::round(values->magnitude * 100) / 100;
  }
  values->hasEarthMagnitude = star.hasFacts && star.facts.hasVMag;
  values->earthMagnitude = values->hasEarthMagnitude ? star.facts.vMag : 0.0;
  const char* constellation = ConstellationName(star);
  values->hasConstellation = constellation != nullptr;
  std::snprintf(values->constellation, sizeof(values->constellation), "%s",
                constellation != nullptr ? constellation : "");
}

bool HasValue(SortColumn column, const SortValues& v) {
  switch (column) {
    case SortColumn::kDistance:
      return true;
    case SortColumn::kName:
      return v.hasName;
    case SortColumn::kClass:
      return v.hasClass;
    case SortColumn::kMagnitude:
      return v.hasMagnitude;
    case SortColumn::kEarthMagnitude:
      return v.hasEarthMagnitude;
    case SortColumn::kConstellation:
      return v.hasConstellation;
  }
  return false;
}

int CompareValues(SortColumn column, const SortValues& a, int aRank,
                  const SortValues& b, int bRank) {
  switch (column) {
    case SortColumn::kDistance:
      return aRank - bRank;
    case SortColumn::kName:
      return CompareNaturally(a.nameKey, b.nameKey);
    case SortColumn::kClass: {
      const ClassOrder& x = a.classOrder;
      const ClassOrder& y = b.classOrder;
      if (x.letter != y.letter) return x.letter < y.letter ? -1 : 1;
      if (x.subclass != y.subclass) return x.subclass < y.subclass ? -1 : 1;
      int text = std::strcmp(a.spectralClass, b.spectralClass);
      return text != 0 ? text
                       : std::strcmp(a.luminosityClass, b.luminosityClass);
    }
    case SortColumn::kMagnitude:
      if (a.magnitude == b.magnitude) return 0;
      return a.magnitude < b.magnitude ? -1 : 1;
    case SortColumn::kEarthMagnitude:
      if (a.earthMagnitude == b.earthMagnitude) return 0;
      return a.earthMagnitude < b.earthMagnitude ? -1 : 1;
    case SortColumn::kConstellation:
      return std::strcmp(a.constellation, b.constellation);
  }
  return 0;
}

}  // namespace veloran
