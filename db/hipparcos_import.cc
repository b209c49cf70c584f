#include "db/hipparcos_import.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <numbers>
#include <set>
#include <unordered_map>
#include <utility>

#include "astro/proper_motion.h"
#include "index/position_index_builder.h"
#include "names/designation_catalogues.h"

namespace veloran {

// db/schema.sql and db/name_lookup.sql, built into the importer
// (schema_text.cc is generated).
extern const char kVeloranSchema[];
extern const char kNameLookupFill[];

namespace {

constexpr int32_t kSunId = 100;

// The catalogues of CatalogNumbers.  Each is shown under its own
// abbreviation, as astronomers write "HD 48915".
constexpr struct {
  const char* abbreviation;
  const char* description;
} kCatalogues[] = {
    {"HIP", "Hipparcos Catalogue (ESA 1997)"},
    {"HD", "Henry Draper Catalogue"},
    {"HR", "Bright Star Catalogue (Harvard Revised numbers)"},
    {"SAO", "Smithsonian Astrophysical Observatory Star Catalog"},
    {"GCVS", "General Catalogue of Variable Stars"},
    {"WDS", "Washington Double Star Catalog"},
};

// The cross-identification row of a record: the row of its own component,
// else the row for the whole HIP.  nullptr when there is none.
const CrossIdentification* FindCrossId(const HipparcosTables& tables,
                                       uint32_t hip,
                                       const std::string& letter) {
  auto found = tables.crossIds.find(hip);
  if (found == tables.crossIds.end()) return nullptr;
  const CrossIdentification* whole = nullptr;
  for (const CrossIdentification& row : found->second) {
    if (!letter.empty() && row.component == letter) return &row;
    if (row.component.empty() && whole == nullptr) whole = &row;
  }
  return whole;
}

const std::vector<std::string>& NamesOf(
    const std::unordered_map<uint32_t, std::vector<std::string>>& table,
    uint32_t hip) {
  static const std::vector<std::string> kNone;
  auto found = table.find(hip);
  return found == table.end() ? kNone : found->second;
}

// Sets the proper motion and the epoch of the record of "hip" (with
// "letter" where its HIP has several records), and moves *ra, *dec to J2000
// from a checked earlier epoch.
void PlaceAtJ2000(const HipparcosTables& tables, uint32_t hip,
                  const std::string& letter, double* ra, double* dec,
                  StarRow* row) {
  auto motion = tables.properMotions.find(hip);
  row->hasProperMotion = motion != tables.properMotions.end();
  row->pmRaCosDec = row->hasProperMotion ? motion->second.raCosDec : 0.0;
  row->pmDec = row->hasProperMotion ? motion->second.dec : 0.0;
  row->moved = false;
  auto checked = tables.checkedEpochs.find(
      letter.empty() ? std::to_string(hip)
                     : std::to_string(hip) + " " + letter);
  if (checked == tables.checkedEpochs.end()) {
    row->hasEpoch = row->hasProperMotion &&
                    std::hypot(row->pmRaCosDec, row->pmDec) < kSlowMotion;
    row->epoch = 2000.0;
    return;
  }
  row->hasEpoch = true;
  row->epoch = checked->second;
  if (row->epoch == 2000.0 || !row->hasProperMotion) return;
  SkyPlace moved = MovedPlace({*ra, *dec}, row->pmRaCosDec, row->pmDec,
                              2000.0 - row->epoch);
  *ra = moved.ra;
  *dec = moved.dec;
  row->epoch = 2000.0;
  row->moved = true;
}

}  // namespace

bool RanksBefore(const StarName& a, const StarName& b) {
  if (a.rank != b.rank) return a.rank < b.rank;
  return a.rank == NameRank::kProperName && a.references > b.references;
}

void PickSystemName(std::vector<StarName>* names) {
  StarName* best = nullptr;
  for (StarName& name : *names) {
    name.isSystemName = false;
    if (best == nullptr || RanksBefore(name, *best)) best = &name;
  }
  if (best != nullptr) best->isSystemName = true;
}

namespace {

// The component letter a designation ends in ("61 Cyg A"), "" for none.
std::string DesignationLetter(const std::string& designation) {
  size_t n = designation.size();
  if (n < 3 || designation[n - 2] != ' ' || designation[n - 1] < 'A' ||
      designation[n - 1] > 'Z') {
    return "";
  }
  return designation.substr(n - 1);
}

// Bayer designations begin with their letter, a Greek one as an entity
// ("&alpha; CMa") or a Latin one ("b1 Aqr"); Flamsteed ones with their
// number ("9 CMa").  The Flamsteed number ranks before a Latin letter:
// astronomers call p Oph "70 Oph".
NameRank DesignationRank(const std::string& designation) {
  if (designation.empty()) return NameRank::kLatinBayer;
  if (designation[0] == '&') return NameRank::kBayer;
  if (designation[0] >= '0' && designation[0] <= '9') {
    return NameRank::kFlamsteed;
  }
  return NameRank::kLatinBayer;
}

}  // namespace

bool BuildStarRow(const StarFile& file, const StarRecord& record,
                  const HipparcosTables& tables,
                  const HipComponents& components, StarRow* row,
                  std::string* error) {
  if (record.hip > kLargestImportedHip) {
    *error = "HIP " + std::to_string(record.hip) + " is above " +
             std::to_string(kLargestImportedHip) + ", so its ID does not fit";
    return false;
  }
  if (record.component < 0 ||
      static_cast<size_t>(record.component) >= tables.componentLetters.size()) {
    *error = "HIP " + std::to_string(record.hip) + " has component index " +
             std::to_string(record.component) + ", beyond the component table";
    return false;
  }
  if (record.spectralIndex < 0 || static_cast<size_t>(record.spectralIndex) >=
                                      tables.spectralTypes.size()) {
    *error = "HIP " + std::to_string(record.hip) + " has spectral index " +
             std::to_string(record.spectralIndex) +
             ", beyond the spectral table";
    return false;
  }
  row->id = static_cast<int32_t>(record.hip * 10000 + record.component * 100);

  double ra;
  double dec;
  DirectionToRaDec(StarDirection(file, record), &ra, &dec);
  const std::string& letter = tables.componentLetters[record.component];
  PlaceAtJ2000(tables, record.hip,
               components.letters.size() > 1 ? letter : std::string(), &ra,
               &dec, row);
  row->ra = RightAscensionFromRadians(ra);
  row->dec = DeclinationFromRadians(dec);
  row->constellation = ConstellationAt(tables.boundaries, ra, dec);
  row->raRadians = ra;
  row->decRadians = dec;

  // 1000 / (parallax / 100 mas) * 3.26156 light-years, in one division.
  row->distance = 326156.0 / record.parallax;
  row->magnitude = (file.magMin + static_cast<double>(record.magnitude) *
                                      file.magRange / file.magSteps) /
                   1000.0;
  auto sigma = tables.parallaxErrors.find(record.hip);
  row->hasDistanceError = sigma != tables.parallaxErrors.end();
  row->distanceError = 0.0;
  row->distanceSource = nullptr;
  if (row->hasDistanceError) {
    row->distanceError =
        row->distance * sigma->second.mas * 100.0 / record.parallax;
    row->distanceSource = sigma->second.fromGaia ? "GaiaDR2" : "HIP";
  }

  const SpectralSplit& type = tables.spectralTypes[record.spectralIndex];
  row->spectrum =
      type.spectralClass.empty() && !type.hasLuminosityClass ? nullptr : &type;

  row->colourIndex = record.colourIndex * 4.0 / 127.0 - 0.5;
  row->parallax = record.parallax / 100.0;
  if (row->hasDistanceError) row->parallaxError = sigma->second.mas;

  bool primary = components.isPrimary;
  // A designation lettered for one of the HIP's components is that
  // component's; every other one is the primary's.
  auto ownsDesignation = [&](const std::string& designation) {
    std::string named = DesignationLetter(designation);
    bool forComponent =
        !named.empty() &&
        std::find(components.letters.begin(), components.letters.end(),
                  named) != components.letters.end();
    return forComponent ? named == letter : primary;
  };
  const CrossIdentification* crossId = FindCrossId(tables, record.hip, letter);
  if (crossId != nullptr && crossId->component != letter && !primary) {
    crossId = nullptr;  // the row of the whole HIP is the primary's
  }

  std::vector<StarName>& names = row->names;
  names.clear();
  if (primary) {
    auto found = tables.properNames.find(record.hip);
    if (found != tables.properNames.end()) {
      for (const ProperName& name : found->second) {
        names.push_back({"", name.html, false,
                         name.iau ? NameRank::kIauName : NameRank::kProperName,
                         name.references});
      }
    }
  }
  for (const std::string& designation :
       NamesOf(tables.designations, record.hip)) {
    if (ownsDesignation(designation)) {
      names.push_back({"", designation, false, DesignationRank(designation)});
    }
  }
  names.push_back({"HIP",
                   letter.empty() ? std::to_string(record.hip)
                                  : std::to_string(record.hip) + " " + letter,
                   false, NameRank::kHip});
  if (crossId != nullptr) {
    if (!crossId->hd.empty()) {
      names.push_back({"HD", crossId->hd, false, NameRank::kHd});
    }
    if (!crossId->hr.empty()) names.push_back({"HR", crossId->hr, false});
    if (!crossId->sao.empty()) names.push_back({"SAO", crossId->sao, false});
  }
  if (primary) {
    for (const std::string& name : NamesOf(tables.variableNames, record.hip)) {
      names.push_back({"GCVS", name, false});
    }
    for (const std::string& name :
         NamesOf(tables.doubleStarNames, record.hip)) {
      names.push_back({"WDS", name, false});
    }
  }
  PickSystemName(&names);
  return true;
}

namespace {

StarName* SystemNameOf(StarRow* star) {
  for (StarName& name : star->names) {
    if (name.isSystemName) return &name;
  }
  return nullptr;
}

}  // namespace

void NameCompanionsAfterPrimaries(
    const std::vector<std::string>& componentLetters,
    std::vector<StarRow>* stars) {
  // The primary of each HIP: its record that took the proper names and
  // designations of the whole HIP, or else the brightest.
  std::map<int32_t, std::vector<StarRow*>> byHip;
  for (StarRow& star : *stars) byHip[star.id / 10000].push_back(&star);
  for (auto& [hip, records] : byHip) {
    if (records.size() < 2) continue;
    StarRow* primary = *std::min_element(
        records.begin(), records.end(), [](const StarRow* a, const StarRow* b) {
          return a->magnitude != b->magnitude ? a->magnitude < b->magnitude
                                              : a->id < b->id;
        });
    const StarName* named = SystemNameOf(primary);
    if (named == nullptr || !named->catalogue.empty()) continue;
    std::string base = named->text;
    std::string primaryLetter = componentLetters[primary->id / 100 % 100];
    if (!primaryLetter.empty() && DesignationLetter(base) == primaryLetter) {
      base.resize(base.size() - 2);  // "61 Cyg A" names the system "61 Cyg"
    }
    for (StarRow* star : records) {
      const std::string& letter = componentLetters[star->id / 100 % 100];
      const StarName* own = SystemNameOf(star);
      if (star == primary || letter.empty() ||
          (own != nullptr && own->catalogue.empty())) {
        continue;
      }
      star->names.insert(star->names.begin(), {"", base + " " + letter, false,
                                               NameRank::kCompanionOfNamed});
      PickSystemName(&star->names);
    }
  }
}

namespace {

using NameKey = std::pair<std::string, std::string>;  // catalogue, text

NameKey KeyOf(const StarName& name) { return {name.catalogue, name.text}; }

// The name of "star" that becomes its system name when it gives up a shared
// one: its best-ranked display name (PickSystemName's order) that no other
// star holds, as "holders" counts them.  nullptr when there is none.
StarName* NextUniqueName(StarRow* star, const std::map<NameKey, int>& holders) {
  StarName* best = nullptr;
  for (StarName& name : star->names) {
    if (name.isSystemName || name.rank == NameRank::kOther) continue;
    if (holders.at(KeyOf(name)) != 1) continue;
    if (best == nullptr || RanksBefore(name, *best)) best = &name;
  }
  return best;
}

}  // namespace

void MakeSystemNamesUnique(const std::vector<std::string>& componentLetters,
                           std::vector<StarRow>* stars) {
  // How many stars hold each name, system name or not.
  std::map<NameKey, int> holders;
  std::map<NameKey, std::vector<StarRow*>> bySystemName;
  for (StarRow& star : *stars) {
    std::set<NameKey> own;
    for (const StarName& name : star.names) own.insert(KeyOf(name));
    for (const NameKey& name : own) ++holders[name];
    if (const StarName* system = SystemNameOf(&star)) {
      bySystemName[KeyOf(*system)].push_back(&star);
    }
  }
  for (auto& [shared, sharers] : bySystemName) {
    if (sharers.size() < 2) continue;
    std::set<std::string> letters;
    for (const StarRow* star : sharers) {
      letters.insert(componentLetters[star->id / 100 % 100]);
    }
    // Their component letters tell proper names apart, unless a lettered
    // name is another star's already; catalogue numbers stay as written.
    bool lettersSuffice = shared.first.empty() &&
                          letters.size() == sharers.size() &&
                          letters.count("") == 0;
    for (const std::string& letter : letters) {
      if (holders.count({shared.first, shared.second + " " + letter}) != 0) {
        lettersSuffice = false;
      }
    }
    if (lettersSuffice) {
      for (StarRow* star : sharers) {
        SystemNameOf(star)->text +=
            " " + componentLetters[star->id / 100 % 100];
      }
      continue;
    }
    // The brightest keeps the name: of two stars named alike the bright one
    // is the star the name is known for, the faint one a neighbour that the
    // name tables list under it too.  The magnitude always comes with the
    // record; the lowest ID decides only between equals.
    std::sort(
        sharers.begin(), sharers.end(), [](const StarRow* a, const StarRow* b) {
          return a->magnitude != b->magnitude ? a->magnitude < b->magnitude
                                              : a->id < b->id;
        });
    for (size_t i = 1; i < sharers.size(); ++i) {
      StarName* next = NextUniqueName(sharers[i], holders);
      if (next == nullptr) continue;
      SystemNameOf(sharers[i])->isSystemName = false;
      next->isSystemName = true;
    }
  }
}

void JoinSystems(const HipparcosTables& tables, std::vector<StarRow>* stars) {
  // Union-find over the HIP numbers: one set per system.
  std::map<int32_t, int32_t> parent;
  for (const StarRow& star : *stars) parent[star.id / 10000] = star.id / 10000;
  auto root = [&](int32_t hip) {
    while (parent[hip] != hip) hip = parent[hip] = parent[parent[hip]];
    return hip;
  };
  std::map<std::string, int32_t> firstOfDesignation;
  for (const auto& [hip, designations] : tables.doubleStarNames) {
    if (parent.count(static_cast<int32_t>(hip)) == 0) continue;
    for (const std::string& designation : designations) {
      auto [first, added] =
          firstOfDesignation.emplace(designation, static_cast<int32_t>(hip));
      if (!added) parent[root(static_cast<int32_t>(hip))] = root(first->second);
    }
  }
  // Components measured together: one parallax, close, distinct letters.
  std::map<double, std::vector<const StarRow*>> byParallax;
  for (const StarRow& star : *stars) {
    if (star.id / 100 % 100 != 0) byParallax[star.parallax].push_back(&star);
  }
  constexpr double kArcminute = std::numbers::pi / 180.0 / 60.0;
  for (const auto& [parallax, alike] : byParallax) {
    for (size_t i = 0; i < alike.size(); ++i) {
      for (size_t j = i + 1; j < alike.size(); ++j) {
        const StarRow& a = *alike[i];
        const StarRow& b = *alike[j];
        if (a.id / 10000 == b.id / 10000 || a.id % 10000 == b.id % 10000)
          continue;
        double cosine = std::sin(a.decRadians) * std::sin(b.decRadians) +
                        std::cos(a.decRadians) * std::cos(b.decRadians) *
                            std::cos(a.raRadians - b.raRadians);
        if (std::acos(std::fmin(1.0, cosine)) < kArcminute) {
          parent[root(b.id / 10000)] = root(a.id / 10000);
        }
      }
    }
  }
  std::map<int32_t, std::vector<StarRow*>> systems;
  for (StarRow& star : *stars) systems[root(star.id / 10000)].push_back(&star);
  for (auto& [key, members] : systems) {
    if (members.size() < 2) {
      members[0]->systemId = 0;
      continue;
    }
    const StarRow* primary = *std::min_element(
        members.begin(), members.end(), [](const StarRow* a, const StarRow* b) {
          return a->magnitude != b->magnitude ? a->magnitude < b->magnitude
                                              : a->id < b->id;
        });
    for (StarRow* member : members) member->systemId = primary->id;
  }
}

namespace {

// The star of "listed" among "stars", by its ID; nullptr when the catalogue
// has none.
StarRow* FindListedStar(const HipparcosTables& tables,
                        const ListedStar& listed,
                        std::unordered_map<int32_t, StarRow*>& byId) {
  if (listed.hip > kLargestImportedHip) return nullptr;
  for (size_t index = 0; index < tables.componentLetters.size(); ++index) {
    if (tables.componentLetters[index] != listed.component) continue;
    auto found = byId.find(static_cast<int32_t>(listed.hip * 10000 +
                                                index * 100));
    if (found != byId.end()) return found->second;
  }
  return nullptr;
}

std::string ListedHip(const ListedStar& listed) {
  return "HIP " + std::to_string(listed.hip) +
         (listed.component.empty() ? "" : " " + listed.component);
}

}  // namespace

void AddListedNames(const HipparcosTables& tables, const NearbyList& list,
                    std::vector<StarRow>* stars,
                    std::vector<AbsentStarRow>* absent,
                    std::vector<std::string>* refusals, uint64_t* added) {
  std::unordered_map<int32_t, StarRow*> byId;
  for (StarRow& star : *stars) byId[star.id] = &star;
  // Each designation is one star's: the stars that hold the list's names
  // already, and then those that the list gives them to.
  std::map<std::pair<std::string, std::string>, int32_t> holders;
  auto asStored = [](const std::string& text) {
    StarName name{"", text, false, NameRank::kOther};
    const char* number = nullptr;
    const DesignationCatalogue* catalogue =
        text[0] == '&' ? nullptr : FindDesignationCatalogue(text.c_str(), &number);
    if (catalogue != nullptr) {
      name.catalogue = catalogue->abbreviation;
      name.text = number;
    }
    return name;
  };
  for (const ListedStar& listed : list.stars) {
    for (const std::string& text : listed.names) {
      StarName name = asStored(text);
      holders.emplace(std::make_pair(name.catalogue, name.text), 0);
    }
  }
  for (const StarRow& star : *stars) {
    for (const StarName& name : star.names) {
      auto holder = holders.find(std::make_pair(name.catalogue, name.text));
      if (holder != holders.end() && holder->second == 0) {
        holder->second = star.id;
      }
    }
  }
  auto refuse = [&](int line, const std::string& what) {
    refusals->push_back(std::to_string(line) + ": " + what);
  };
  for (const ListedStar& listed : list.stars) {
    StarRow* star = FindListedStar(tables, listed, byId);
    std::string why;
    if (star == nullptr) {
      refuse(listed.line, listed.names[0] + ": no star " + ListedHip(listed) +
                              " in the catalogue");
      continue;
    }
    if (!FitListedPosition(listed.position, star->raRadians, star->decRadians,
                           star->parallax, &why)) {
      refuse(listed.line, listed.names[0] + " does not fit " +
                              ListedHip(listed) + ": " + why);
      continue;
    }
    for (const std::string& text : listed.names) {
      StarName name = asStored(text);
      if (name.catalogue.empty() && text[0] != '&') {
        refuse(listed.line, text + " is of no catalogue that the list knows");
        continue;
      }
      int32_t& holder = holders[std::make_pair(name.catalogue, name.text)];
      if (holder == star->id) continue;  // the star holds it already
      if (holder != 0) {
        refuse(listed.line,
               text + " is already star " + std::to_string(holder) + "'s");
        continue;
      }
      holder = star->id;
      // After the names were ranked: never the system name.
      star->names.push_back(name);
      ++*added;
    }
  }
  for (const ListedAbsentStar& listed : list.absent) {
    const StarRow* fitting = nullptr;
    std::string why;
    for (const StarRow& star : *stars) {
      if (FitListedPosition(listed.position, star.raRadians, star.decRadians,
                            star.parallax, &why)) {
        fitting = &star;
        break;
      }
    }
    if (fitting != nullptr) {
      refuse(listed.line, listed.names[0] +
                              " is listed as absent, but the catalogue's "
                              "star " +
                              std::to_string(fitting->id) + " fits it");
      continue;
    }
    std::set<std::string> keys;
    for (const std::string& name : listed.names) {
      std::string key;
      if (!TypedNameKey(name, &key)) {
        refuse(listed.line, name + ": nothing to search it by");
      } else if (keys.insert(key).second) {
        absent->push_back({key, listed.names[0], listed.why});
      }
    }
  }
}

namespace {

// The open output database with its prepared statements; closes them all.
struct Output {
  sqlite3* db = nullptr;
  sqlite3_stmt* position = nullptr;
  sqlite3_stmt* spectrum = nullptr;
  sqlite3_stmt* properName = nullptr;
  sqlite3_stmt* catalogNumber = nullptr;
  sqlite3_stmt* catalogName = nullptr;
  sqlite3_stmt* facts = nullptr;
  sqlite3_stmt* absentStar = nullptr;

  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() {
    for (sqlite3_stmt* statement :
         {position, spectrum, properName, catalogNumber, catalogName, facts,
          absentStar}) {
      sqlite3_finalize(statement);
    }
    sqlite3_close(db);
  }
};

bool Fail(sqlite3* db, const std::string& what, std::string* error) {
  *error = what + ": " + (db != nullptr ? sqlite3_errmsg(db) : "out of memory");
  return false;
}

bool Prepare(Output* out, const char* sql, sqlite3_stmt** statement,
             std::string* error) {
  if (sqlite3_prepare_v2(out->db, sql, -1, statement, nullptr) != SQLITE_OK) {
    return Fail(out->db, std::string("cannot prepare ") + sql, error);
  }
  return true;
}

void BindText(sqlite3_stmt* statement, int column, const std::string& text) {
  sqlite3_bind_text(statement, column, text.data(),
                    static_cast<int>(text.size()), SQLITE_STATIC);
}

void BindOptionalText(sqlite3_stmt* statement, int column, const char* text) {
  if (text == nullptr) {
    sqlite3_bind_null(statement, column);
  } else {
    sqlite3_bind_text(statement, column, text, -1, SQLITE_STATIC);
  }
}

void BindOptionalDouble(sqlite3_stmt* statement, int column, bool present,
                        double value) {
  if (present) {
    sqlite3_bind_double(statement, column, value);
  } else {
    sqlite3_bind_null(statement, column);
  }
}

bool Step(Output* out, sqlite3_stmt* statement, std::string* error) {
  int status = sqlite3_step(statement);
  sqlite3_reset(statement);
  if (status != SQLITE_DONE) return Fail(out->db, "cannot insert a row", error);
  return true;
}

// A database in WAL mode can be read only by those who may write its
// directory, which the web server may not; the database is left in
// rollback-journal mode, whatever SQLite's default.
bool LeaveInRollbackJournalMode(Output* out, std::string* error) {
  sqlite3_stmt* statement = nullptr;
  bool left =
      sqlite3_prepare_v2(out->db, "PRAGMA journal_mode = DELETE", -1,
                         &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW &&
      sqlite3_stricmp(
          reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)),
          "delete") == 0;
  sqlite3_finalize(statement);
  if (!left)
    return Fail(out->db, "cannot switch to rollback-journal mode", error);
  return true;
}

bool OpenOutput(const ImportOptions& options, const std::string& path,
                Output* out, std::string* error) {
  if (sqlite3_open_v2(path.c_str(), &out->db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                      nullptr) != SQLITE_OK) {
    return Fail(out->db, "cannot create " + path, error);
  }
  sqlite3_enable_load_extension(out->db, 1);
  char* message = nullptr;
  if (sqlite3_load_extension(out->db, options.extensionPath.c_str(), nullptr,
                             &message) != SQLITE_OK) {
    *error = "cannot load the dialect extension " + options.extensionPath +
             ": " + (message != nullptr ? message : "?");
    sqlite3_free(message);
    return false;
  }
  // The file is new and renamed into place only when complete, so a crash
  // needs no journal to recover from.
  if (sqlite3_exec(out->db,
                   "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;",
                   nullptr, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_exec(out->db, kVeloranSchema, nullptr, nullptr, nullptr) !=
          SQLITE_OK) {
    return Fail(out->db, "cannot create the tables", error);
  }
  return Prepare(
             out,
             "INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, "
             "Dec_arcmin, Dec_arcsec, Distance, DistanceError, DistanceSource, "
             "LastUpdated, Epoch) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
             &out->position, error) &&
         Prepare(
             out,
             "INSERT INTO Spectra (OwnerID, SpectralClass, LuminosityClass, "
             "SpectrumSource, LastUpdated) VALUES (?, ?, ?, ?, ?)",
             &out->spectrum, error) &&
         Prepare(out,
                 "INSERT INTO ProperNames (OwnerID, Name, IsSystemName) "
                 "VALUES (?, ?, ?)",
                 &out->properName, error) &&
         Prepare(out,
                 "INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, "
                 "IsSystemName) VALUES (?, ?, ?, ?)",
                 &out->catalogNumber, error) &&
         Prepare(
             out,
             "INSERT INTO CatalogNames (Abbreviation, LongName, Description, "
             "HasNoCatNumbers) VALUES (?, ?, ?, 0)",
             &out->catalogName, error) &&
         Prepare(out,
                 "INSERT INTO StarFacts (OwnerID, VMag, ColourIndex, Parallax, "
                 "ParallaxError, Constellation, SystemID, PmRA, PmDec) "
                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                 &out->facts, error) &&
         Prepare(out,
                 "INSERT INTO AbsentStars (Key, Name, Reason) VALUES (?, ?, ?)",
                 &out->absentStar, error);
}

// DatabaseInfo's provenance: what the stars' data come from, for the
// descriptions of the site's tables.
bool WriteProvenance(Output* out, const std::string& package,
                     std::string* error) {
  std::string text =
      "The Hipparcos Catalogue's stars (ESA 1997) as Debian's " + package +
      " package holds them, with parallaxes from Gaia DR2 or Hipparcos and "
      "proper motions from Hipparcos, and the package's positions, moved to "
      "J2000 where it gives an earlier epoch";
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(out->db,
                         "INSERT INTO DatabaseInfo (Name, Value) VALUES "
                         "('Provenance', ?)",
                         -1, &s, nullptr) != SQLITE_OK) {
    return Fail(out->db, "cannot prepare the provenance", error);
  }
  BindText(s, 1, text);
  bool written = sqlite3_step(s) == SQLITE_DONE;
  sqlite3_finalize(s);
  if (!written) return Fail(out->db, "cannot write the provenance", error);
  return true;
}

// The StarFacts row of "star"; the Sun's has no parallax.
bool WriteFacts(Output* out, const StarRow& star, bool hasParallax,
                std::string* error) {
  sqlite3_stmt* s = out->facts;
  sqlite3_bind_int(s, 1, star.id);
  sqlite3_bind_double(s, 2, star.magnitude);
  sqlite3_bind_double(s, 3, star.colourIndex);
  if (hasParallax) {
    sqlite3_bind_double(s, 4, star.parallax);
  } else {
    sqlite3_bind_null(s, 4);
  }
  if (hasParallax && star.hasDistanceError) {
    sqlite3_bind_double(s, 5, star.parallaxError);
  } else {
    sqlite3_bind_null(s, 5);
  }
  BindOptionalText(
      s, 6, star.constellation.empty() ? nullptr : star.constellation.c_str());
  if (star.systemId != 0) {
    sqlite3_bind_int(s, 7, star.systemId);
  } else {
    sqlite3_bind_null(s, 7);
  }
  BindOptionalDouble(s, 8, star.hasProperMotion, star.pmRaCosDec);
  BindOptionalDouble(s, 9, star.hasProperMotion, star.pmDec);
  return Step(out, s, error);
}

bool WriteSpectrum(Output* out, int32_t ownerId, const SpectralSplit& type,
                   const char* source, const std::string& date,
                   std::string* error) {
  sqlite3_stmt* s = out->spectrum;
  sqlite3_bind_int(s, 1, ownerId);
  BindText(s, 2, type.spectralClass);
  if (type.hasLuminosityClass) {
    BindText(s, 3, type.luminosityClass);
  } else {
    sqlite3_bind_null(s, 3);
  }
  BindOptionalText(s, 4, source);
  BindText(s, 5, date);
  return Step(out, s, error);
}

// Binds the name row "name" with "ownerId" to its insert statement, and
// returns that statement.
sqlite3_stmt* BindName(Output* out, int32_t ownerId, const StarName& name) {
  sqlite3_stmt* s =
      name.catalogue.empty() ? out->properName : out->catalogNumber;
  int column = 1;
  sqlite3_bind_int(s, column++, ownerId);
  if (!name.catalogue.empty()) BindText(s, column++, name.catalogue);
  BindText(s, column++, name.text);
  sqlite3_bind_int(s, column, name.isSystemName ? 1 : 0);
  return s;
}

// Writes every row of "star" but its position.  Name rows take the OwnerIDs
// ID + 2 onwards; rows beyond the star's block of 100 are left out.
bool WriteSpectrumAndNames(Output* out, const StarRow& star,
                           const std::string& date, ImportCounts* counts,
                           std::string* error) {
  if (star.spectrum != nullptr) {
    if (!WriteSpectrum(out, star.id + 1, *star.spectrum, "HIP", date, error))
      return false;
    ++counts->spectra;
  }
  int32_t ownerId = star.id + 2;
  for (const StarName& name : star.names) {
    if (ownerId > star.id + 99) break;
    if (!Step(out, BindName(out, ownerId++, name), error)) return false;
    ++(name.catalogue.empty() ? counts->properNames : counts->catalogNumbers);
  }
  return true;
}

bool WritePosition(Output* out, const StarRow& star, bool hasAngles,
                   const std::string& date, std::string* error) {
  sqlite3_stmt* s = out->position;
  sqlite3_bind_int(s, 1, star.id);
  if (hasAngles) {
    sqlite3_bind_int(s, 2, star.ra.hours);
    sqlite3_bind_int(s, 3, star.ra.minutes);
    sqlite3_bind_double(s, 4, star.ra.seconds);
    sqlite3_bind_int(s, 5, star.dec.degrees);
    sqlite3_bind_int(s, 6, star.dec.arcminutes);
    sqlite3_bind_double(s, 7, star.dec.arcseconds);
  } else {
    for (int column = 2; column <= 7; ++column) sqlite3_bind_null(s, column);
  }
  sqlite3_bind_double(s, 8, star.distance);
  if (star.hasDistanceError) {
    sqlite3_bind_double(s, 9, star.distanceError);
  } else {
    sqlite3_bind_null(s, 9);
  }
  BindOptionalText(s, 10, star.distanceSource);
  BindText(s, 11, date);
  BindOptionalDouble(s, 12, star.hasEpoch, star.epoch);
  return Step(out, s, error);
}

// Fills the open database "out" in one transaction: the catalogues, the
// Sun, then "stars" in their order.
bool WriteRows(const ImportOptions& options, const std::vector<StarRow>& stars,
               const std::vector<AbsentStarRow>& absent, Output* out,
               ImportCounts* counts, std::string* error) {
  if (sqlite3_exec(out->db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return Fail(out->db, "cannot begin the transaction", error);
  }
  auto writeCatalogue = [&](const char* abbreviation, const char* longName,
                            const char* description) {
    sqlite3_stmt* s = out->catalogName;
    sqlite3_bind_text(s, 1, abbreviation, -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 2, longName, -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 3, description, -1, SQLITE_STATIC);
    return Step(out, s, error);
  };
  for (const auto& catalogue : kCatalogues) {
    if (!writeCatalogue(catalogue.abbreviation, catalogue.abbreviation,
                        catalogue.description)) {
      return false;
    }
  }
  // The catalogues of the designations file, when one is read.
  size_t listed =
      options.designationsPath.empty() ? 0 : kDesignationCatalogueCount;
  for (size_t i = 0; i < listed; ++i) {
    const DesignationCatalogue& catalogue = kDesignationCatalogues[i];
    if (!writeCatalogue(catalogue.abbreviation, catalogue.longName,
                        catalogue.description)) {
      return false;
    }
  }
  if (!WriteProvenance(out, options.package, error)) return false;
  for (const AbsentStarRow& row : absent) {
    sqlite3_stmt* s = out->absentStar;
    BindText(s, 1, row.key);
    BindText(s, 2, row.name);
    BindText(s, 3, row.why);
    if (!Step(out, s, error)) return false;
  }

  // The Sun: distance 0, without right ascension and declination.
  static const SpectralSplit kSunType = {"G2", true, "V"};
  StarRow sun{};
  sun.id = kSunId;
  sun.hasDistanceError = true;
  sun.names = {{"", "Sol", true}};
  sun.magnitude = -26.74;
  sun.colourIndex = 0.65;
  sun.hasEpoch = true;
  sun.epoch = 2000.0;
  if (!WritePosition(out, sun, false, options.date, error) ||
      !WriteFacts(out, sun, false, error) ||
      !WriteSpectrum(out, kSunId + 1, kSunType, nullptr, options.date, error) ||
      !Step(out, BindName(out, kSunId + 2, sun.names[0]), error) ||
      !Step(out, BindName(out, kSunId + 3, {"", "Sun", false}), error)) {
    return false;
  }

  size_t tenth = std::max<size_t>(stars.size() / 10, 1);
  for (size_t i = 0; i < stars.size(); ++i) {
    if (!WritePosition(out, stars[i], true, options.date, error) ||
        !WriteFacts(out, stars[i], true, error) ||
        !WriteSpectrumAndNames(out, stars[i], options.date, counts, error)) {
      return false;
    }
    size_t done = (i + 1) / tenth;
    if (options.progress != nullptr && (i + 1) % tenth == 0 && done <= 10) {
      std::fprintf(options.progress, done < 10 ? " %zu0%%" : " %zu0%%\n", done);
      std::fflush(options.progress);
    }
  }
  if (sqlite3_exec(out->db, kNameLookupFill, nullptr, nullptr, nullptr) !=
      SQLITE_OK) {
    return Fail(out->db, "cannot fill NameLookup", error);
  }
  IndexBuildCounts indexed;
  std::string indexFault;
  if (!BuildPositionIndex(out->db, options.progress, &indexed, &indexFault)) {
    *error = "cannot build the position index: " + indexFault;
    return false;
  }
  if (sqlite3_exec(out->db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return Fail(out->db, "cannot commit", error);
  }
  return LeaveInRollbackJournalMode(out, error);
}

// Flushes the file or directory at "path" to the disk.
bool SyncToDisk(const std::string& path, std::string* error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot open " + path + " to sync it: " + std::strerror(errno);
    return false;
  }
  bool synced = fsync(fd) == 0;
  if (!synced) *error = "cannot sync " + path + ": " + std::strerror(errno);
  close(fd);
  return synced;
}

// Writes the database into a temporary file beside options.outputPath and
// moves it into place once complete and on the disk, then syncs the
// directory: after a crash or a power loss, options.outputPath is the
// earlier file or the whole new one.
bool WriteDatabase(const ImportOptions& options,
                   const std::vector<StarRow>& stars,
                   const std::vector<AbsentStarRow>& absent,
                   ImportCounts* counts, std::string* error) {
  std::string temporary = options.outputPath + ".tmp";
  std::string directory =
      std::filesystem::path(options.outputPath).parent_path().string();
  if (directory.empty()) directory = ".";
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  bool written;
  {
    Output out;
    written = OpenOutput(options, temporary, &out, error) &&
              WriteRows(options, stars, absent, &out, counts, error);
  }
  if (written && SyncToDisk(temporary, error)) {
    std::error_code renameError;
    std::filesystem::rename(temporary, options.outputPath, renameError);
    if (!renameError) return SyncToDisk(directory, error);
    *error = "cannot move " + temporary + " to " + options.outputPath + ": " +
             renameError.message();
  }
  std::filesystem::remove(temporary, ignored);
  return false;
}

}  // namespace

bool ImportHipparcos(const ImportOptions& options, ImportCounts* counts,
                     std::string* error) {
  *counts = {};
  HipparcosTables tables;
  if (options.progress != nullptr) {
    std::fprintf(options.progress, "reading the tables of %s\n",
                 options.dataDir.c_str());
  }
  if (!ReadHipparcosTables(options.dataDir, &tables, error)) return false;
  if (!options.epochsPath.empty()) {
    std::string text;
    std::string fault;
    if (!ReadWholeFile(options.epochsPath, &text, error)) return false;
    if (!ParseCheckedEpochs(text, &tables, &fault)) {
      *error = options.epochsPath + ": " + fault;
      return false;
    }
  }

  // The star files first, then the rows: the names of a HIP go to its
  // primary, so every record of a HIP must be known before any is built.
  StarFile files[std::size(kStarFiles)];
  for (size_t level = 0; level < std::size(kStarFiles); ++level) {
    std::string path = options.dataDir + "/" + kStarFiles[level];
    std::string bytes;
    std::string fault;
    if (!ReadWholeFile(path, &bytes, error)) return false;
    if (!ParseStarFile(bytes, &files[level], &fault)) {
      *error = path + ": " + fault;
      return false;
    }
    counts->records += files[level].records.size();
  }
  auto imported = [](const StarRecord& record) {
    return record.hip != 0 && record.parallax > 0;
  };
  // The brightest record of each HIP (lowest component index among
  // equals), with the letters of all its records.
  struct Brightest {
    int magnitude;
    int component;
    uint32_t level;
  };
  std::unordered_map<uint32_t, Brightest> primaries;
  std::unordered_map<uint32_t, HipComponents> components;
  for (size_t level = 0; level < std::size(kStarFiles); ++level) {
    const StarFile& file = files[level];
    for (const StarRecord& record : file.records) {
      if (!imported(record)) continue;
      if (record.component >= 0 && static_cast<size_t>(record.component) <
                                       tables.componentLetters.size()) {
        components[record.hip].letters.push_back(
            tables.componentLetters[record.component]);
      }
      int magnitude = file.magMin + record.magnitude * file.magRange /
                                        std::max(file.magSteps, 1);
      auto [found, added] = primaries.emplace(
          record.hip,
          Brightest{magnitude, record.component, static_cast<uint32_t>(level)});
      if (!added && (magnitude < found->second.magnitude ||
                     (magnitude == found->second.magnitude &&
                      record.component < found->second.component))) {
        found->second = {magnitude, record.component,
                         static_cast<uint32_t>(level)};
      }
    }
  }
  std::vector<StarRow> stars;
  for (size_t level = 0; level < std::size(kStarFiles); ++level) {
    const StarFile& file = files[level];
    std::string path = options.dataDir + "/" + kStarFiles[level];
    uint64_t before = stars.size();
    for (const StarRecord& record : file.records) {
      if (!imported(record)) continue;
      HipComponents& hip = components[record.hip];
      const Brightest& brightest = primaries.at(record.hip);
      hip.isPrimary =
          brightest.component == record.component && brightest.level == level;
      StarRow row;
      std::string fault;
      if (!BuildStarRow(file, record, tables, hip, &row, &fault)) {
        *error = path + ": " + fault;
        return false;
      }
      if (row.moved) ++counts->moved;
      if (!row.hasEpoch) ++counts->unknownEpoch;
      if (row.hasEpoch && row.epoch != 2000.0) ++counts->earlierEpoch;
      stars.push_back(std::move(row));
    }
    if (options.progress != nullptr) {
      std::fprintf(options.progress,
                   "%s: %zu records, %llu Hipparcos stars with a parallax\n",
                   kStarFiles[level], file.records.size(),
                   static_cast<unsigned long long>(stars.size() - before));
    }
  }
  NameCompanionsAfterPrimaries(tables.componentLetters, &stars);
  MakeSystemNamesUnique(tables.componentLetters, &stars);
  JoinSystems(tables, &stars);
  std::vector<AbsentStarRow> absent;
  if (!options.designationsPath.empty()) {
    std::string text;
    NearbyList list;
    std::string fault;
    if (!ReadWholeFile(options.designationsPath, &text, error)) return false;
    if (!ParseNearbyList(text, &list, &fault)) {
      *error = options.designationsPath + ": " + fault;
      return false;
    }
    std::vector<std::string> refusals;
    AddListedNames(tables, list, &stars, &absent, &refusals,
                   &counts->listedNames);
    for (const std::string& refusal : refusals) {
      counts->refusals.push_back(options.designationsPath + ":" + refusal);
    }
    counts->absentStars = absent.size();
    if (options.progress != nullptr) {
      std::fprintf(options.progress,
                   "%s: %llu names added, %zu names of absent stars, %zu "
                   "lines or names refused\n",
                   options.designationsPath.c_str(),
                   static_cast<unsigned long long>(counts->listedNames),
                   absent.size(), refusals.size());
    }
  }
  // By distance; at equal distances the primary of a system first.
  std::sort(stars.begin(), stars.end(), [](const StarRow& a, const StarRow& b) {
    if (a.distance != b.distance) return a.distance < b.distance;
    bool aFirst = a.systemId == a.id;
    bool bFirst = b.systemId == b.id;
    if (aFirst != bFirst) return aFirst;
    return a.id < b.id;
  });
  std::vector<int32_t> ids;
  ids.reserve(stars.size());
  for (const StarRow& star : stars) ids.push_back(star.id);
  std::sort(ids.begin(), ids.end());
  auto repeated = std::adjacent_find(ids.begin(), ids.end());
  if (repeated != ids.end()) {
    *error = "two records of HIP " + std::to_string(*repeated / 10000) +
             " with the same component would share the ID " +
             std::to_string(*repeated);
    return false;
  }
  counts->stars = stars.size();

  if (options.progress != nullptr) {
    std::fprintf(options.progress,
                 "epochs: %llu stars moved to J2000 from an earlier epoch, "
                 "%llu left at an earlier one, %llu fast ones unchecked "
                 "(no epoch)\n",
                 static_cast<unsigned long long>(counts->moved),
                 static_cast<unsigned long long>(counts->earlierEpoch),
                 static_cast<unsigned long long>(counts->unknownEpoch));
    std::fprintf(options.progress, "writing %zu stars and the Sun to %s\n",
                 stars.size(), options.outputPath.c_str());
  }
  return WriteDatabase(options, stars, absent, counts, error);
}

}  // namespace veloran
