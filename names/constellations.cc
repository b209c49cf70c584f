#include "names/constellations.h"

#include <cstdlib>
#include <cstring>

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

}  // namespace veloran
