#include "names/designation_catalogues.h"

#include <cstring>
#include <initializer_list>

#include "names/name_keys.h"

namespace veloran {

const DesignationCatalogue kDesignationCatalogues[] = {
    {"GJ",
     "GJ",
     "Gliese Catalogue of Nearby Stars (Gliese and Jahrei&szlig;)",
     {"Gliese", "Gl", nullptr}},
    {"Ross", "Ross", "Ross's lists of new proper-motion stars (1925&ndash;1939)",
     {nullptr}},
    {"Wolf", "Wolf", "Wolf's lists of proper-motion stars (Heidelberg, 1919)",
     {nullptr}},
    {"Lacaille", "Lacaille",
     "Lacaille's catalogue of the southern stars (1763)", {nullptr}},
    // "Groombridge" is longer than an abbreviation may be.
    {"Grb",
     "Groombridge",
     "Groombridge's Catalogue of Circumpolar Stars (1838)",
     {"Groombridge", nullptr}},
    {"Struve", "Struve", "Struve's catalogue of double stars (1827)",
     {nullptr}},
    {"LHS", "LHS", "Luyten Half-Second catalogue (1979)", {nullptr}},
    {"LTT", "LTT", "Luyten Two-Tenths catalogue (1957&ndash;1962)", {nullptr}},
    {"LFT", "LFT", "Luyten Five-Tenths catalogue (1955)", {nullptr}},
    {"L", "L", "Luyten's proper-motion survey with the Bruce telescope",
     {"Luyten", nullptr}},
    {"BD", "BD", "Bonner Durchmusterung (1859&ndash;1903)", {nullptr}},
    {"CD", "CD", "Cordoba Durchmusterung (1892&ndash;1932)", {"CoD", nullptr}},
};

const size_t kDesignationCatalogueCount =
    sizeof(kDesignationCatalogues) / sizeof(kDesignationCatalogues[0]);

namespace {

// The length of "name" when "text" begins with it followed by a blank or
// a sign, else 0.
size_t NameLength(const char* text, const char* name) {
  size_t length = std::strlen(name);
  if (std::strncmp(text, name, length) != 0) return 0;
  char next = text[length];
  return next == ' ' || next == '+' || next == '-' ? length : 0;
}

}  // namespace

const DesignationCatalogue* FindDesignationCatalogue(const char* designation,
                                                     const char** number) {
  for (size_t i = 0; i < kDesignationCatalogueCount; ++i) {
    const DesignationCatalogue& catalogue = kDesignationCatalogues[i];
    for (const char* name : {catalogue.abbreviation, catalogue.longName}) {
      size_t length = NameLength(designation, name);
      if (length == 0) continue;
      const char* rest = designation + length;
      if (*rest == ' ') ++rest;
      if (*rest == '\0') return nullptr;
      *number = rest;
      return &catalogue;
    }
  }
  return nullptr;
}

bool AbbreviateCatalogue(char* key) {
  for (size_t i = 0; i < kDesignationCatalogueCount; ++i) {
    const DesignationCatalogue& catalogue = kDesignationCatalogues[i];
    for (const char* other : catalogue.otherNames) {
      if (other == nullptr) break;
      char otherKey[32];
      char abbreviationKey[32];
      if (!NameKey(other, std::strlen(other), otherKey, sizeof(otherKey)) ||
          !NameKey(catalogue.abbreviation, std::strlen(catalogue.abbreviation),
                   abbreviationKey, sizeof(abbreviationKey))) {
        continue;
      }
      size_t length = std::strlen(otherKey);
      size_t shorter = std::strlen(abbreviationKey);
      if (std::strncmp(key, otherKey, length) != 0 || key[length] < '0' ||
          key[length] > '9' || shorter > length) {
        continue;
      }
      std::memmove(key + shorter, key + length, std::strlen(key + length) + 1);
      std::memcpy(key, abbreviationKey, shorter);
      return true;
    }
  }
  return false;
}

}  // namespace veloran
