#include "names/constellations.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

#include "names/name_keys.h"

namespace veloran {

const Constellation kConstellations[] = {
    {"And", "Andromeda", "Andromedae"},
    {"Ant", "Antlia", "Antliae"},
    {"Aps", "Apus", "Apodis"},
    {"Aql", "Aquila", "Aquilae"},
    {"Aqr", "Aquarius", "Aquarii"},
    {"Ara", "Ara", "Arae"},
    {"Ari", "Aries", "Arietis"},
    {"Aur", "Auriga", "Aurigae"},
    {"Boo", "Bootes", "Bootis"},
    {"CMa", "Canis Major", "Canis Majoris"},
    {"CMi", "Canis Minor", "Canis Minoris"},
    {"CVn", "Canes Venatici", "Canum Venaticorum"},
    {"Cae", "Caelum", "Caeli"},
    {"Cam", "Camelopardalis", "Camelopardalis"},
    {"Cap", "Capricornus", "Capricorni"},
    {"Car", "Carina", "Carinae"},
    {"Cas", "Cassiopeia", "Cassiopeiae"},
    {"Cen", "Centaurus", "Centauri"},
    {"Cep", "Cepheus", "Cephei"},
    {"Cet", "Cetus", "Ceti"},
    {"Cha", "Chamaeleon", "Chamaeleontis"},
    {"Cir", "Circinus", "Circini"},
    {"Cnc", "Cancer", "Cancri"},
    {"Col", "Columba", "Columbae"},
    {"Com", "Coma Berenices", "Comae Berenices"},
    {"CrA", "Corona Australis", "Coronae Australis"},
    {"CrB", "Corona Borealis", "Coronae Borealis"},
    {"Crt", "Crater", "Crateris"},
    {"Cru", "Crux", "Crucis"},
    {"Crv", "Corvus", "Corvi"},
    {"Cyg", "Cygnus", "Cygni"},
    {"Del", "Delphinus", "Delphini"},
    {"Dor", "Dorado", "Doradus"},
    {"Dra", "Draco", "Draconis"},
    {"Equ", "Equuleus", "Equulei"},
    {"Eri", "Eridanus", "Eridani"},
    {"For", "Fornax", "Fornacis"},
    {"Gem", "Gemini", "Geminorum"},
    {"Gru", "Grus", "Gruis"},
    {"Her", "Hercules", "Herculis"},
    {"Hor", "Horologium", "Horologii"},
    {"Hya", "Hydra", "Hydrae"},
    {"Hyi", "Hydrus", "Hydri"},
    {"Ind", "Indus", "Indi"},
    {"LMi", "Leo Minor", "Leonis Minoris"},
    {"Lac", "Lacerta", "Lacertae"},
    {"Leo", "Leo", "Leonis"},
    {"Lep", "Lepus", "Leporis"},
    {"Lib", "Libra", "Librae"},
    {"Lup", "Lupus", "Lupi"},
    {"Lyn", "Lynx", "Lyncis"},
    {"Lyr", "Lyra", "Lyrae"},
    {"Men", "Mensa", "Mensae"},
    {"Mic", "Microscopium", "Microscopii"},
    {"Mon", "Monoceros", "Monocerotis"},
    {"Mus", "Musca", "Muscae"},
    {"Nor", "Norma", "Normae"},
    {"Oct", "Octans", "Octantis"},
    {"Oph", "Ophiuchus", "Ophiuchi"},
    {"Ori", "Orion", "Orionis"},
    {"Pav", "Pavo", "Pavonis"},
    {"Peg", "Pegasus", "Pegasi"},
    {"Per", "Perseus", "Persei"},
    {"Phe", "Phoenix", "Phoenicis"},
    {"Pic", "Pictor", "Pictoris"},
    {"PsA", "Piscis Austrinus", "Piscis Austrini"},
    {"Psc", "Pisces", "Piscium"},
    {"Pup", "Puppis", "Puppis"},
    {"Pyx", "Pyxis", "Pyxidis"},
    {"Ret", "Reticulum", "Reticuli"},
    {"Scl", "Sculptor", "Sculptoris"},
    {"Sco", "Scorpius", "Scorpii"},
    {"Sct", "Scutum", "Scuti"},
    {"Ser", "Serpens", "Serpentis"},
    {"Sex", "Sextans", "Sextantis"},
    {"Sge", "Sagitta", "Sagittae"},
    {"Sgr", "Sagittarius", "Sagittarii"},
    {"Tau", "Taurus", "Tauri"},
    {"Tel", "Telescopium", "Telescopii"},
    {"TrA", "Triangulum Australe", "Trianguli Australis"},
    {"Tri", "Triangulum", "Trianguli"},
    {"Tuc", "Tucana", "Tucanae"},
    {"UMa", "Ursa Major", "Ursae Majoris"},
    {"UMi", "Ursa Minor", "Ursae Minoris"},
    {"Vel", "Vela", "Velorum"},
    {"Vir", "Virgo", "Virginis"},
    {"Vol", "Volans", "Volantis"},
    {"Vul", "Vulpecula", "Vulpeculae"},
};

const int kConstellationCount =
    static_cast<int>(sizeof(kConstellations) / sizeof(kConstellations[0]));

const Constellation* FindConstellation(const char* abbreviation) {
  if (abbreviation == nullptr) return nullptr;
  Constellation wanted{abbreviation, nullptr, nullptr};
  auto compare = [](const void* a, const void* b) {
    return std::strcmp(static_cast<const Constellation*>(a)->abbreviation,
                       static_cast<const Constellation*>(b)->abbreviation);
  };
  return static_cast<const Constellation*>(
      std::bsearch(&wanted, kConstellations, kConstellationCount,
                   sizeof(Constellation), compare));
}

namespace {

// The keys of each constellation's abbreviation, name and genitive.
struct ConstellationKeys {
  char abbreviation[8];
  char names[2][32];  // the name and the genitive
};

const ConstellationKeys* Keys() {
  static ConstellationKeys keys[88];
  static bool made = false;
  if (!made) {
    for (int i = 0; i < kConstellationCount; ++i) {
      const Constellation& c = kConstellations[i];
      bool all = NameKey(c.abbreviation, std::strlen(c.abbreviation),
                         keys[i].abbreviation, sizeof(keys[i].abbreviation)) &&
                 NameKey(c.nominative, std::strlen(c.nominative),
                         keys[i].names[0], sizeof(keys[i].names[0])) &&
                 NameKey(c.genitive, std::strlen(c.genitive), keys[i].names[1],
                         sizeof(keys[i].names[1]));
      assert(all);
      (void)all;
    }
    made = true;
  }
  return keys;
}

// Where the designation that starts "key" ends: after a Greek letter and
// the digits that follow it, or after digits alone; 0 when it starts with
// neither.
size_t DesignationEnd(const char* key) {
  size_t end = GreekLetterLength(key);
  while (key[end] >= '0' && key[end] <= '9') ++end;
  return end;
}

}  // namespace

bool AbbreviateConstellation(char* key) {
  static_assert(sizeof(kConstellations) / sizeof(kConstellations[0]) == 88);
  size_t start = DesignationEnd(key);
  if (start == 0) return false;
  const char* rest = key + start;
  size_t restLength = std::strlen(rest);
  const ConstellationKeys* keys = Keys();
  // The whole rest first, so that "arae" is the genitive of Ara rather than
  // its name and a component "e".
  for (size_t component = 0; component <= 1; ++component) {
    if (restLength <= component) break;
    for (int i = 0; i < kConstellationCount; ++i) {
      for (const char* name : keys[i].names) {
        size_t length = std::strlen(name);
        if (length + component != restLength ||
            std::strncmp(rest, name, length) != 0) {
          continue;
        }
        // Never longer than the name it replaces: the key's buffer holds it.
        size_t abbreviation = std::strlen(keys[i].abbreviation);
        if (abbreviation >= length) return false;
        std::memmove(key + start + abbreviation, rest + length, component + 1);
        std::memcpy(key + start, keys[i].abbreviation, abbreviation);
        return true;
      }
    }
  }
  return false;
}

}  // namespace veloran
