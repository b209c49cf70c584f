#include "site/star_lookup.h"

#include <sql.h>
#include <sqlext.h>

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "catalogue/batched_lookups.h"
#include "catalogue/catalogue_names.h"
#include "catalogue/display_names.h"
#include "catalogue/fetched_text.h"
#include "catalogue/read_fault.h"
#include "catalogue/statements.h"
#include "names/constellations.h"
#include "names/designation_catalogues.h"
#include "names/name_keys.h"

namespace veloran {

namespace {

// Rows read of each search: enough for kMaxFoundStars stars when a star
// has several names with the key.
constexpr int kRowsPerSearch = 200;

constexpr const char* kExactSearch =
    "SELECT n.OwnerID, n.Name, p.Distance, s.SpectralClass, s.LuminosityClass, "
    "p.DistanceError "
    "FROM NameLookup n JOIN Positions p ON p.OwnerID = n.OwnerID "
    "LEFT JOIN Spectra s ON s.OwnerID = n.OwnerID + 1 "
    "WHERE n.Key = ? ORDER BY n.IsProperName DESC, n.OwnerID LIMIT 200";
constexpr const char* kPrefixSearch =
    "SELECT n.OwnerID, n.Name, p.Distance, s.SpectralClass, s.LuminosityClass, "
    "p.DistanceError "
    "FROM NameLookup n JOIN Positions p ON p.OwnerID = n.OwnerID "
    "LEFT JOIN Spectra s ON s.OwnerID = n.OwnerID + 1 "
    "WHERE n.Key > ? AND n.Key < ? ORDER BY n.Key, n.OwnerID LIMIT 200";

// The names of a suggestion (did you mean): read by key, with the star's
// apparent magnitude where the database has it.
constexpr const char* kSuggestionSearch =
    "SELECT n.OwnerID, n.Name, p.Distance, s.SpectralClass, s.LuminosityClass, "
    "p.DistanceError, n.IsProperName, f.VMag "
    "FROM NameLookup n JOIN Positions p ON p.OwnerID = n.OwnerID "
    "LEFT JOIN Spectra s ON s.OwnerID = n.OwnerID + 1 "
    "LEFT JOIN StarFacts f ON f.OwnerID = n.OwnerID "
    "WHERE n.Key = ? ORDER BY n.IsProperName DESC, n.OwnerID LIMIT 200";
constexpr const char* kSuggestionSearchWithoutFacts =
    "SELECT n.OwnerID, n.Name, p.Distance, s.SpectralClass, s.LuminosityClass, "
    "p.DistanceError, n.IsProperName, NULL "
    "FROM NameLookup n JOIN Positions p ON p.OwnerID = n.OwnerID "
    "LEFT JOIN Spectra s ON s.OwnerID = n.OwnerID + 1 "
    "WHERE n.Key = ? ORDER BY n.IsProperName DESC, n.OwnerID LIMIT 200";

// The keys a suggestion may come from: those of proper names and Bayer and
// Flamsteed designations (a few thousand), never the catalogue numbers
// (hundreds of thousands).  The index NameLookupProperKeys
// (db/name_lookup.sql) holds just these keys; without it the statement
// would read the whole table (a hundred milliseconds on the Hipparcos
// catalogue), so it fails instead, and a database filled before the index
// existed offers no suggestions.
constexpr const char* kSuggestionKeys =
    "SELECT DISTINCT Key FROM NameLookup INDEXED BY NameLookupProperKeys "
    "WHERE IsProperName = 1 AND length(Key) BETWEEN ? AND ?";

// A suggestion is at most this many edits from the typed key, and a page
// offers at most this many.
constexpr int kMaxSuggestionEdits = 2;
constexpr int kMaxSuggestions = 5;
// The closest keys whose stars are read, a few more than are shown so that
// fame can choose among keys equally close.
constexpr int kMaxSuggestionKeys = 12;

bool Known(const Findings& findings, int32_t id) {
  for (int i = 0; i < findings.count; ++i) {
    if (findings.stars[i].id == id) return true;
  }
  return false;
}

// Whether a name of a NameLookup row that is no catalogue number is a Bayer
// or Flamsteed designation ("&alpha; CMa", "61 Cyg", "l Car") rather than a
// proper name.
bool IsDesignation(const char* name) {
  return name[0] == '&' || (name[0] >= '0' && name[0] <= '9') ||
         (name[0] != '\0' && name[1] == ' ');
}

// Runs "sql" with the texts "first" and "second" (nullptr for none) bound
// to its parameters and adds the stars of its rows that are not yet among
// the findings.  Returns false when the statement failed, keeping the fault
// (read_fault.h).
bool Search(SQLHSTMT statement, const char* sql, const char* first,
            const char* second, Findings* findings, int edits = 0) {
  CloseCursor(statement);
  UnbindColumns(statement);
  SQLFreeStmt(statement, SQL_RESET_PARAMS);
  if (!SQL_SUCCEEDED(SQLPrepare(
          statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)),
          SQL_NTS))) {
    NoteReadFault(statement);
    return false;
  }
  SQLLEN lengths[2] = {SQL_NTS, SQL_NTS};
  const char* texts[2] = {first, second};
  for (int i = 0; i < 2 && texts[i] != nullptr; ++i) {
    if (!SQL_SUCCEEDED(SQLBindParameter(
            statement, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
            SQL_C_CHAR, SQL_VARCHAR, kNameKeySize - 1, 0,
            const_cast<char*>(texts[i]), 0, &lengths[i]))) {
      NoteReadFault(statement);
      return false;
    }
  }
  if (!SQL_SUCCEEDED(SQLExecute(statement))) {
    NoteReadFault(statement);
    return false;
  }
  SQLINTEGER id = 0;
  FoundStar row{};
  SQLLEN indicators[8];
  SQLBindCol(statement, 1, SQL_C_LONG, &id, 0, &indicators[0]);
  SQLBindCol(statement, 2, SQL_C_CHAR, row.name, sizeof(row.name),
             &indicators[1]);
  SQLBindCol(statement, 3, SQL_C_DOUBLE, &row.distance, 0, &indicators[2]);
  SQLBindCol(statement, 4, SQL_C_CHAR, row.spectralClass,
             sizeof(row.spectralClass), &indicators[3]);
  SQLBindCol(statement, 5, SQL_C_CHAR, row.luminosityClass,
             sizeof(row.luminosityClass), &indicators[4]);
  SQLBindCol(statement, 6, SQL_C_DOUBLE, &row.distanceError, 0, &indicators[5]);
  SQLINTEGER isProperName = 0;
  bool withFame =
      sql == kSuggestionSearch || sql == kSuggestionSearchWithoutFacts;
  if (withFame) {
    SQLBindCol(statement, 7, SQL_C_LONG, &isProperName, 0, &indicators[6]);
    SQLBindCol(statement, 8, SQL_C_DOUBLE, &row.magnitude, 0, &indicators[7]);
  }
  for (int rows = 0; rows < kRowsPerSearch && findings->count < kMaxFoundStars;
       ++rows) {
    SQLRETURN fetched = SQLFetch(statement);
    if (fetched == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(fetched)) {
      NoteReadFault(statement);
      return false;
    }
    if (indicators[0] == SQL_NULL_DATA || Known(*findings, id)) continue;
    TerminateFetchedText(row.name, indicators[1]);
    TerminateFetchedText(row.spectralClass, indicators[3]);
    TerminateFetchedText(row.luminosityClass, indicators[4]);
    FoundStar& star = findings->stars[findings->count++];
    star = row;
    star.id = id;
    star.displayName[0] = '\0';
    if (indicators[1] == SQL_NULL_DATA) star.name[0] = '\0';
    star.hasDistance = indicators[2] != SQL_NULL_DATA;
    star.hasDistanceError = indicators[5] != SQL_NULL_DATA;
    if (indicators[3] == SQL_NULL_DATA) star.spectralClass[0] = '\0';
    if (indicators[4] == SQL_NULL_DATA) star.luminosityClass[0] = '\0';
    star.edits = edits;
    star.isProperName = withFame && indicators[6] != SQL_NULL_DATA &&
                        isProperName == 1 && !IsDesignation(star.name);
    star.hasMagnitude = withFame && indicators[7] != SQL_NULL_DATA;
  }
  CloseCursor(statement);
  UnbindColumns(statement);
  SQLFreeStmt(statement, SQL_RESET_PARAMS);
  return true;
}

void TakeDisplayName(void* context, int index, const char* name) {
  FoundStar& star = static_cast<Findings*>(context)->stars[index];
  std::snprintf(star.displayName, sizeof(star.displayName), "%s", name);
}

// The stars whose names have the key "key" exactly, then those whose
// names begin with it.  Returns false when the database could not be read.
bool FindByKey(SQLHSTMT statement, const char* key, Findings* findings) {
  char end[kNameKeySize];
  bool ended = NameKeyPrefixEnd(key, end, sizeof(end));
  assert(ended);
  (void)ended;
  findings->count = 0;
  bool read = Search(statement, kExactSearch, key, nullptr, findings);
  findings->exactCount = findings->count;
  return read && Search(statement, kPrefixSearch, key, end, findings);
}

// The words that visitors put around a star's name ("the Sun", "Polaris
// star"), which a name not found with them is looked up without.
constexpr struct {
  const char* word;
  bool leading;
  bool trailing;
} kWordsAroundNames[] = {
    {"the", true, false},
    {"star", true, true},
};

// Whether the "length" bytes at "text" are "word", in any letter case.
bool IsWord(const char* text, size_t length, const char* word) {
  if (std::strlen(word) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if ((text[i] | 0x20) != word[i]) return false;
  }
  return true;
}

// Writes into "bare" (of "size" bytes) the name "text" without the words
// around it (kWordsAroundNames), and returns true when it dropped one and
// something is left that fits.
bool BareName(const char* text, char* bare, size_t size) {
  const char* start = text;
  const char* end = text + std::strlen(text);
  bool dropped = false;
  for (bool again = true; again;) {
    again = false;
    while (start < end && *start == ' ') ++start;
    while (end > start && end[-1] == ' ') --end;
    for (const auto& around : kWordsAroundNames) {
      const char* blank = static_cast<const char*>(
          std::memchr(start, ' ', static_cast<size_t>(end - start)));
      if (around.leading && blank != nullptr &&
          IsWord(start, static_cast<size_t>(blank - start), around.word)) {
        start = blank + 1;
        again = dropped = true;
        break;
      }
      const char* last = end;
      while (last > start && last[-1] != ' ') --last;
      if (around.trailing && last > start &&
          IsWord(last, static_cast<size_t>(end - last), around.word)) {
        end = last;
        again = dropped = true;
        break;
      }
    }
  }
  size_t length = static_cast<size_t>(end - start);
  if (!dropped || length == 0 || length + 1 > size) return false;
  std::memcpy(bare, start, length);
  bare[length] = '\0';
  return true;
}

// The optimal string alignment distance between the keys "a" and "b": the
// fewest insertions, deletions, replacements and swaps of two neighbouring
// characters that turn one into the other ("betelguese" is one swap from
// "betelgeuse"); any distance above "most" is given as most + 1.
int EditDistance(const char* a, const char* b, int most) {
  int aLength = static_cast<int>(std::strlen(a));
  int bLength = static_cast<int>(std::strlen(b));
  if (aLength - bLength > most || bLength - aLength > most) return most + 1;
  assert(bLength < static_cast<int>(kNameKeySize));
  // Three rows of the table: two rows back, the last one and this one.
  int rows[3][kNameKeySize];
  int* before = rows[0];
  int* last = rows[1];
  int* row = rows[2];
  for (int j = 0; j <= bLength; ++j) last[j] = j;
  for (int i = 1; i <= aLength; ++i) {
    row[0] = i;
    int smallest = i;
    for (int j = 1; j <= bLength; ++j) {
      int cost = a[i - 1] == b[j - 1] ? 0 : 1;
      int best = last[j - 1] + cost;
      if (last[j] + 1 < best) best = last[j] + 1;
      if (row[j - 1] + 1 < best) best = row[j - 1] + 1;
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1] &&
          before[j - 2] + 1 < best) {
        best = before[j - 2] + 1;
      }
      row[j] = best;
      if (best < smallest) smallest = best;
    }
    // Every later row is at least as far: no need to read on.
    if (smallest > most) return most + 1;
    int* spare = before;
    before = last;
    last = row;
    row = spare;
  }
  return last[bLength] > most ? most + 1 : last[bLength];
}

// The keys closest to the typed one, closest first.
struct CloseKeys {
  char keys[kMaxSuggestionKeys][kNameKeySize];
  int edits[kMaxSuggestionKeys];
  int count;

  // Keeps "key" when it is among the closest so far.
  void Offer(const char* key, int distance) {
    int at = count;
    while (at > 0 && edits[at - 1] > distance) --at;
    if (at == kMaxSuggestionKeys) return;
    int last = count < kMaxSuggestionKeys ? count : kMaxSuggestionKeys - 1;
    for (int i = last; i > at; --i) {
      std::memcpy(keys[i], keys[i - 1], kNameKeySize);
      edits[i] = edits[i - 1];
    }
    std::snprintf(keys[at], kNameKeySize, "%s", key);
    edits[at] = distance;
    if (count < kMaxSuggestionKeys) ++count;
  }
};

// Reads the keys of proper names and designations at most
// kMaxSuggestionEdits from "typed" into "close".  Returns false when the
// keys could not be read (read_fault.h); a database without
// NameLookupProperKeys, whose statement is refused, gives none.
bool ReadCloseKeys(SQLHSTMT statement, const char* typed, CloseKeys* close) {
  close->count = 0;
  CloseCursor(statement);
  UnbindColumns(statement);
  SQLFreeStmt(statement, SQL_RESET_PARAMS);
  SQLINTEGER window[2] = {
      static_cast<SQLINTEGER>(std::strlen(typed)) - kMaxSuggestionEdits,
      static_cast<SQLINTEGER>(std::strlen(typed)) + kMaxSuggestionEdits};
  // A statement refused is a database without the index: no suggestions.
  if (!SQL_SUCCEEDED(SQLPrepare(
          statement,
          reinterpret_cast<SQLCHAR*>(const_cast<char*>(kSuggestionKeys)),
          SQL_NTS))) {
    return true;
  }
  for (int i = 0; i < 2; ++i) {
    if (!SQL_SUCCEEDED(SQLBindParameter(
            statement, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
            SQL_C_LONG, SQL_INTEGER, 0, 0, &window[i], 0, nullptr))) {
      NoteReadFault(statement);
      return false;
    }
  }
  // The index is there: a statement accepted and then failing is a
  // damaged index or table, not a missing one.
  if (!SQL_SUCCEEDED(SQLExecute(statement))) {
    NoteReadFault(statement);
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
    return false;
  }
  char key[kNameKeySize];
  SQLLEN indicator;
  SQLBindCol(statement, 1, SQL_C_CHAR, key, sizeof(key), &indicator);
  bool read = true;
  for (;;) {
    SQLRETURN fetched = SQLFetch(statement);
    if (fetched == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(fetched)) {
      NoteReadFault(statement);
      read = false;
      break;
    }
    if (indicator == SQL_NULL_DATA) continue;
    TerminateFetchedText(key, indicator);
    int distance = EditDistance(typed, key, kMaxSuggestionEdits);
    if (distance <= kMaxSuggestionEdits) close->Offer(key, distance);
  }
  CloseCursor(statement);
  UnbindColumns(statement);
  SQLFreeStmt(statement, SQL_RESET_PARAMS);
  return read;
}

// Whether suggestion "a" goes before "b": fewer edits, then a proper name
// before a designation, then the brighter star, then the lower ID.
bool Before(const FoundStar& a, const FoundStar& b) {
  if (a.edits != b.edits) return a.edits < b.edits;
  if (a.isProperName != b.isProperName) return a.isProperName;
  if (a.hasMagnitude != b.hasMagnitude) return a.hasMagnitude;
  if (a.hasMagnitude && a.magnitude != b.magnitude) {
    return a.magnitude < b.magnitude;
  }
  return a.id < b.id;
}

constexpr const char* kAbsentSearch =
    "SELECT Name, Reason FROM AbsentStars WHERE Key = ?";

}  // namespace

void Readings::Add(const char* key) {
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(keys[i], key) == 0) return;
  }
  std::snprintf(keys[count++], kNameKeySize, "%s", key);
}

void Readings::AddWithCatalogue(const char* key) {
  Add(key);
  char abbreviated[kNameKeySize];
  std::snprintf(abbreviated, sizeof(abbreviated), "%s", key);
  if (AbbreviateCatalogue(abbreviated)) Add(abbreviated);
}

// Reads the display name of every star found, so that a list tells apart
// stars found by a name they share (the components of a system, say).  A
// star without a display name is listed by the name found.  Returns false
// when a read failed (read_fault.h).
bool ReadDisplayNames(SQLHSTMT statement, Findings* findings) {
  int32_t ids[kMaxFoundStars];
  assert(findings->count <= kMaxFoundStars);
  for (int i = 0; i < findings->count; ++i) {
    ids[i] = findings->stars[i].id;
    findings->stars[i].displayName[0] = '\0';
  }
  bool read = LoadCatalogueNames(statement) &&
              ReadNamesOfStars(statement, ids, findings->count, TakeDisplayName,
                               findings);
  FreeCatalogueNames();
  return read;
}

// The key of the searched text, with a constellation named in full
// abbreviated as the stored keys have it.
bool SearchKey(const char* text, char (&key)[kNameKeySize],
               NameKeyFault* fault) {
  if (!NameKey(text, std::strlen(text), key, sizeof(key), fault)) return false;
  AbbreviateConstellation(key);
  return true;
}

// The stars of the names closest to the key "typed", the best
// kMaxSuggestions in order, into "suggestions".  Without a StarFacts table
// the brightness is not known and plays no part.  Returns false when the
// database could not be read.
bool Suggest(SQLHSTMT statement, const char* typed, Findings* suggestions) {
  static CloseKeys close;
  suggestions->count = 0;
  suggestions->exactCount = 0;
  if (!ReadCloseKeys(statement, typed, &close)) return false;
  const char* sql = kSuggestionSearch;
  for (int i = 0; i < close.count; ++i) {
    int before = suggestions->count;
    if (!Search(statement, sql, close.keys[i], nullptr, suggestions,
                close.edits[i])) {
      if (sql == kSuggestionSearchWithoutFacts) return false;
      // A database of an older version, without StarFacts: no failure of
      // the request.
      ForgetReadFault();
      sql = kSuggestionSearchWithoutFacts;
      suggestions->count = before;
      --i;
    }
  }
  // Few enough to sort by insertion.
  for (int i = 1; i < suggestions->count; ++i) {
    FoundStar star = suggestions->stars[i];
    int at = i;
    while (at > 0 && Before(star, suggestions->stars[at - 1])) {
      suggestions->stars[at] = suggestions->stars[at - 1];
      --at;
    }
    suggestions->stars[at] = star;
  }
  if (suggestions->count > kMaxSuggestions) {
    suggestions->count = kMaxSuggestions;
  }
  return true;
}

// The readings of "name", whose own key is "key".
void ReadName(const char* name, const char* key, Readings* readings) {
  readings->count = 0;
  readings->plain = 0;
  readings->AddWithCatalogue(key);
  // Longer than the decoder passes on: never bare.
  char bare[512];
  char bareKey[kNameKeySize];
  if (BareName(name, bare, sizeof(bare)) && SearchKey(bare, bareKey, nullptr)) {
    int before = readings->count;
    readings->AddWithCatalogue(bareKey);
    if (readings->count > before) readings->plain = before;
  }
}

// The stars of the first reading of "readings" that finds any into
// "findings", as FindByKey finds them.  Returns false when the database
// could not be read.
bool FindByName(SQLHSTMT statement, const Readings& readings,
                Findings* findings) {
  findings->count = 0;
  findings->exactCount = 0;
  for (int i = 0; i < readings.count && findings->count == 0; ++i) {
    if (!FindByKey(statement, readings.keys[i], findings)) return false;
  }
  return true;
}

// Looks each of "readings" up among the stars that the database lacks, into
// *absent.  A database without the table (a statement refused) lacks none.
// Returns false when the table could not be read.
bool FindAbsentStar(SQLHSTMT statement, const Readings& readings,
                    AbsentStar* absent) {
  absent->found = false;
  for (int i = 0; i < readings.count && !absent->found; ++i) {
    CloseCursor(statement);
    UnbindColumns(statement);
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
    SQLLEN length = SQL_NTS;
    if (!SQL_SUCCEEDED(SQLPrepare(
            statement,
            reinterpret_cast<SQLCHAR*>(const_cast<char*>(kAbsentSearch)),
            SQL_NTS)) ||
        !SQL_SUCCEEDED(SQLBindParameter(
            statement, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
            kNameKeySize - 1, 0, const_cast<char*>(readings.keys[i]), 0,
            &length)) ||
        !SQL_SUCCEEDED(SQLExecute(statement))) {
      SQLFreeStmt(statement, SQL_RESET_PARAMS);
      return true;
    }
    SQLLEN indicators[2];
    SQLBindCol(statement, 1, SQL_C_CHAR, absent->name, sizeof(absent->name),
               &indicators[0]);
    SQLBindCol(statement, 2, SQL_C_CHAR, absent->reason, sizeof(absent->reason),
               &indicators[1]);
    SQLRETURN fetched = SQLFetch(statement);
    if (fetched != SQL_NO_DATA && !SQL_SUCCEEDED(fetched)) {
      NoteReadFault(statement);
      return false;
    }
    if (fetched != SQL_NO_DATA && indicators[0] != SQL_NULL_DATA &&
        indicators[1] != SQL_NULL_DATA) {
      TerminateFetchedText(absent->name, indicators[0]);
      TerminateFetchedText(absent->reason, indicators[1]);
      absent->found = true;
    }
    CloseCursor(statement);
    UnbindColumns(statement);
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
  }
  return true;
}

// Whether the findings are one star, which the finder goes to at once: the
// one whose name has the key exactly, or else the only one whose name
// begins with it.
bool IsOneStar(const Findings& findings) {
  return findings.exactCount == 1 ||
         (findings.exactCount == 0 && findings.count == 1);
}

bool IsSearchableName(const char* name, NameKeyFault* fault) {
  char key[kNameKeySize];
  return SearchKey(name, key, fault);
}

bool LookUpStarName(SQLHSTMT statement, const char* name, NameMatch* match,
                    int32_t* id) {
  char key[kNameKeySize];
  bool searchable = SearchKey(name, key, nullptr);
  assert(searchable);
  (void)searchable;
  static Findings findings;
  static Readings readings;
  ReadName(name, key, &readings);
  if (!FindByName(statement, readings, &findings)) return false;
  if (IsOneStar(findings)) {
    *match = NameMatch::kOne;
    *id = findings.stars[0].id;
  } else {
    *match = findings.count == 0 ? NameMatch::kNone : NameMatch::kSeveral;
  }
  return true;
}

}  // namespace veloran
