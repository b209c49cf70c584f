#include "catalogue/kept_lookups.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "catalogue/display_names.h"
#include "catalogue/fetched_text.h"
#include "catalogue/kept_connection.h"
#include "catalogue/read_fault.h"
#include "catalogue/statements.h"

namespace veloran {

namespace {

// What a key's look-up answers: a place in the table's texts or records,
// or that its rows differ.
constexpr uint32_t kAmbiguous = UINT32_MAX;

struct Entry {
  int32_t key;
  uint32_t value;
};

// One kept table: its entries sorted by key, one a key, and the texts or
// records they point at.
struct Table {
  uint64_t generation = 0;  // of the database read; 0: none read
  bool kept = false;        // false: read and not kept, ask the database
  Entry* entries = nullptr;
  size_t count = 0;
  size_t capacity = 0;
  char* texts = nullptr;  // terminated texts, one after another
  size_t textSize = 0;
  size_t textCapacity = 0;
  SpectrumRecord* records = nullptr;  // distinct records (spectra)
  uint32_t recordCount = 0;
  uint32_t recordCapacity = 0;
  StarFacts* facts = nullptr;  // the rows of StarFacts, in their order
  uint32_t factCount = 0;
  uint32_t factCapacity = 0;
  uint32_t* recordSlots = nullptr;  // while reading: a hash of the records
  uint32_t slotMask = 0;
  // The first entry of each span of 2^shift keys from the first key, and
  // one past the last span: a look-up searches one span's entries.
  uint32_t* spans = nullptr;
  size_t spanCount = 0;
  int shift = 0;
};

Table properNames;
Table designations;
Table spectra;
Table starFacts;

void Free(Table* table) {
  std::free(table->spans);
  std::free(table->entries);
  std::free(table->texts);
  std::free(table->records);
  std::free(table->facts);
  std::free(table->recordSlots);
  *table = Table{};
}

template <typename T, typename Size>
bool Reserve(T** array, Size* capacity, size_t needed) {
  if (needed <= *capacity) return true;
  size_t grown = *capacity == 0 ? 4096 : static_cast<size_t>(*capacity) * 2;
  while (grown < needed) grown *= 2;
  if (grown > UINT32_MAX) return false;
  void* moved = std::realloc(*array, grown * sizeof(T));
  if (moved == nullptr) return false;
  *array = static_cast<T*>(moved);
  *capacity = static_cast<Size>(grown);
  return true;
}

bool AddEntry(Table* table, int32_t key, uint32_t value) {
  if (static_cast<int64_t>(table->count) >= KeptRowLimit() ||
      !Reserve(&table->entries, &table->capacity, table->count + 1)) {
    return false;
  }
  table->entries[table->count++] = {key, value};
  return true;
}

// Adds the texts (each terminated) one after another; *at is where the
// first begins.
bool AddTexts(Table* table, const char* const* texts, int textCount,
              uint32_t* at) {
  size_t size = 0;
  for (int i = 0; i < textCount; ++i) size += std::strlen(texts[i]) + 1;
  if (!Reserve(&table->texts, &table->textCapacity, table->textSize + size)) {
    return false;
  }
  *at = static_cast<uint32_t>(table->textSize);
  for (int i = 0; i < textCount; ++i) {
    size_t length = std::strlen(texts[i]) + 1;
    std::memcpy(table->texts + table->textSize, texts[i], length);
    table->textSize += length;
  }
  return true;
}

uint64_t HashOf(const SpectrumRecord& record) {
  // Eight bytes at a time: a worker hashes every row of Spectra as it
  // reads them, before its first page.
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  uint64_t hash = 1469598103934665603ull;
  for (size_t at = 0; at < sizeof(record); at += 8) {
    uint64_t word = 0;
    std::memcpy(&word, bytes + at, std::min<size_t>(8, sizeof(record) - at));
    hash = (hash ^ word) * 0x9E3779B97F4A7C15ull;
    hash ^= hash >> 29;
  }
  return hash;
}

// The place of "record" among the table's distinct records, added when it
// is new.  The records are cleared whole before they are filled, so that
// equal records are equal bytes.
bool InternRecord(Table* table, const SpectrumRecord& record, uint32_t* at) {
  if (table->recordSlots == nullptr ||
      (table->recordCount + 1) * 2 > table->slotMask + 1) {
    uint32_t slots =
        table->recordSlots == nullptr ? 1024 : (table->slotMask + 1) * 2;
    auto* grown = static_cast<uint32_t*>(std::malloc(slots * sizeof(uint32_t)));
    if (grown == nullptr) return false;
    std::memset(grown, 0xFF, slots * sizeof(uint32_t));
    for (uint32_t r = 0; r < table->recordCount; ++r) {
      uint32_t slot =
          static_cast<uint32_t>(HashOf(table->records[r])) & (slots - 1);
      while (grown[slot] != UINT32_MAX) slot = (slot + 1) & (slots - 1);
      grown[slot] = r;
    }
    std::free(table->recordSlots);
    table->recordSlots = grown;
    table->slotMask = slots - 1;
  }
  uint32_t slot = static_cast<uint32_t>(HashOf(record)) & table->slotMask;
  for (;; slot = (slot + 1) & table->slotMask) {
    uint32_t found = table->recordSlots[slot];
    if (found == UINT32_MAX) break;
    if (std::memcmp(&table->records[found], &record, sizeof(record)) == 0) {
      *at = found;
      return true;
    }
  }
  if (!Reserve(&table->records, &table->recordCapacity,
               table->recordCount + 1)) {
    return false;
  }
  std::memcpy(&table->records[table->recordCount], &record, sizeof(record));
  table->recordSlots[slot] = table->recordCount;
  *at = table->recordCount++;
  return true;
}

// Whether the values of two rows of one key say the same.
using SameValue = bool (*)(const Table& table, uint32_t a, uint32_t b);

// Texts: "parts" terminated texts at each place.
template <int parts>
bool SameTexts(const Table& table, uint32_t a, uint32_t b) {
  const char* x = table.texts + a;
  const char* y = table.texts + b;
  for (int i = 0; i < parts; ++i) {
    if (std::strcmp(x, y) != 0) return false;
    x += std::strlen(x) + 1;
    y += std::strlen(y) + 1;
  }
  return true;
}

bool SameRecord(const Table&, uint32_t a, uint32_t b) { return a == b; }

bool SameFacts(const Table& table, uint32_t a, uint32_t b) {
  return std::memcmp(&table.facts[a], &table.facts[b], sizeof(StarFacts)) == 0;
}

// Sorts the entries by key and leaves one a key: its value, or kAmbiguous
// when its rows differ.
void Settle(Table* table, SameValue same) {
  Entry* entries = table->entries;
  bool sorted = true;
  for (size_t i = 1; i < table->count && sorted; ++i) {
    sorted = entries[i - 1].key <= entries[i].key;
  }
  if (!sorted) {
    std::sort(entries, entries + table->count,
              [](const Entry& a, const Entry& b) { return a.key < b.key; });
  }
  size_t kept = 0;
  for (size_t i = 0; i < table->count; ++i) {
    if (kept > 0 && entries[kept - 1].key == entries[i].key) {
      Entry& first = entries[kept - 1];
      if (first.value != kAmbiguous &&
          !same(*table, first.value, entries[i].value)) {
        first.value = kAmbiguous;
      }
      continue;
    }
    entries[kept++] = entries[i];
  }
  table->count = kept;
  std::free(table->recordSlots);
  table->recordSlots = nullptr;
}

// Divides the keys into spans of about four entries each (the IDs of a
// catalogue are spread fairly evenly), so that a look-up reads a few
// entries rather than searching them all.  False when there was no memory.
bool MakeSpans(Table* table) {
  if (table->count == 0) return true;
  uint64_t range = static_cast<uint64_t>(
      int64_t{table->entries[table->count - 1].key} - table->entries[0].key);
  int shift = 0;
  while ((range >> shift) > table->count / 4) ++shift;
  size_t spanCount = static_cast<size_t>(range >> shift) + 2;
  auto* spans = static_cast<uint32_t*>(std::malloc(spanCount * 4));
  if (spans == nullptr) return false;
  int64_t first = table->entries[0].key;
  size_t entry = 0;
  for (size_t span = 0; span < spanCount; ++span) {
    while (entry < table->count &&
           static_cast<uint64_t>(table->entries[entry].key - first) >> shift <
               span) {
      ++entry;
    }
    spans[span] = static_cast<uint32_t>(entry);
  }
  table->spans = spans;
  table->spanCount = spanCount;
  table->shift = shift;
  return true;
}

// --- Reading the tables -------------------------------------------------

// A row of a table as read: its key, and what the look-up gives of it.
struct ProperNameRow {
  int32_t block;
  char name[kNameValueSize];
};

struct DesignationRow {
  int32_t block;
  char abbreviation[kAbbreviationSize];
  char value[kNameValueSize];
};

struct SpectrumRow {
  int32_t ownerId;
  SpectrumRecord record;
};

struct FactsRow {
  int32_t ownerId;
  StarFacts facts;
};

// The look-ups' own statements, each with its key first: a table is read
// with the same columns, conditions and text lengths as its look-up.
constexpr char kProperNamesText[] =
    "SELECT INT(OwnerID/100), Name FROM ProperNames WHERE IsSystemName = Yes";
constexpr char kDesignationsText[] =
    "SELECT INT(OwnerID/100), CatAbbrev, Value FROM CatalogNumbers WHERE "
    "IsSystemName = Yes";
constexpr char kFactsText[] =
    "SELECT OwnerID, VMag, ColourIndex, Parallax, ParallaxError, "
    "Constellation, SystemID FROM StarFacts";
constexpr char kSpectraText[] =
    "SELECT OwnerID, SpectralClass, LuminosityClass, SpectrumSource, "
    "LastUpdated FROM Spectra";

// Fetches every row of "rows", handing each to "keep"; false when a fetch
// failed (kept as the read fault) or "keep" found no memory.
template <typename Row>
bool FetchAll(SQLHSTMT rows, Row* row, SQLLEN* indicators, void (*clear)(Row*),
              bool (*keep)(Table*, Row*, SQLLEN*), Table* table) {
  for (;;) {
    clear(row);
    SQLRETURN fetched = SQLFetch(rows);
    if (fetched == SQL_NO_DATA) return true;
    if (!SQL_SUCCEEDED(fetched)) {
      NoteReadFault(rows);
      return false;
    }
    if (!keep(table, row, indicators)) return false;
  }
}

void ClearProperName(ProperNameRow* row) { row->name[0] = '\0'; }

bool KeepProperName(Table* table, ProperNameRow* row, SQLLEN* indicators) {
  // No look-up asks for a block of NULL.
  if (indicators[0] == SQL_NULL_DATA) return true;
  TerminateFetchedText(row->name, indicators[1]);
  const char* texts[] = {row->name};
  uint32_t at;
  return AddTexts(table, texts, 1, &at) && AddEntry(table, row->block, at);
}

void ClearDesignation(DesignationRow* row) {
  row->abbreviation[0] = '\0';
  row->value[0] = '\0';
}

bool KeepDesignation(Table* table, DesignationRow* row, SQLLEN* indicators) {
  if (indicators[0] == SQL_NULL_DATA) return true;
  TerminateFetchedText(row->abbreviation, indicators[1]);
  TerminateFetchedText(row->value, indicators[2]);
  const char* texts[] = {row->abbreviation, row->value};
  uint32_t at;
  return AddTexts(table, texts, 2, &at) && AddEntry(table, row->block, at);
}

void ClearSpectrum(SpectrumRow* row) {
  std::memset(&row->record, 0, sizeof(row->record));
}

bool KeepSpectrum(Table* table, SpectrumRow* row, SQLLEN* indicators) {
  if (indicators[0] == SQL_NULL_DATA) return true;
  SpectrumRecord& record = row->record;
  TerminateFetchedText(record.SpectralClass, indicators[1]);
  TerminateFetchedText(record.LuminosityClass, indicators[2]);
  TerminateFetchedText(record.SpectrumSource, indicators[3]);
  record.HasSpectralClass = indicators[1] != SQL_NULL_DATA;
  record.HasLuminosityClass = indicators[2] != SQL_NULL_DATA;
  record.HasSpectrumSource = indicators[3] != SQL_NULL_DATA;
  uint32_t at;
  return InternRecord(table, record, &at) && AddEntry(table, row->ownerId, at);
}

void ClearFacts(FactsRow* row) {
  std::memset(&row->facts, 0, sizeof(row->facts));
}

bool KeepFacts(Table* table, FactsRow* row, SQLLEN* indicators) {
  if (indicators[0] == SQL_NULL_DATA) return true;
  StarFacts& facts = row->facts;
  TerminateFetchedText(facts.constellation, indicators[5]);
  facts.hasVMag = indicators[1] != SQL_NULL_DATA;
  facts.hasColourIndex = indicators[2] != SQL_NULL_DATA;
  facts.hasParallax = indicators[3] != SQL_NULL_DATA;
  facts.hasParallaxError = indicators[4] != SQL_NULL_DATA;
  facts.hasConstellation =
      indicators[5] != SQL_NULL_DATA && facts.constellation[0] != '\0';
  facts.hasSystem = indicators[6] != SQL_NULL_DATA;
  if (!Reserve(&table->facts, &table->factCapacity, table->factCount + 1)) {
    return false;
  }
  // Copied whole, so that equal rows are equal bytes.
  std::memcpy(&table->facts[table->factCount], &facts, sizeof(facts));
  return AddEntry(table, row->ownerId, table->factCount++);
}

bool ReadProperNames(Table* table) {
  SQLHSTMT rows = ExecuteOnOwnHandle(kProperNamesText);
  if (rows == SQL_NULL_HSTMT) return false;
  ProperNameRow row;
  SQLLEN indicators[2];
  SQLBindCol(rows, 1, SQL_C_LONG, &row.block, 0, &indicators[0]);
  SQLBindCol(rows, 2, SQL_C_CHAR, row.name, sizeof(row.name), &indicators[1]);
  bool read =
      FetchAll(rows, &row, indicators, ClearProperName, KeepProperName, table);
  SQLFreeStmt(rows, SQL_DROP);
  if (read) Settle(table, SameTexts<1>);
  return read && MakeSpans(table);
}

bool ReadDesignations(Table* table) {
  SQLHSTMT rows = ExecuteOnOwnHandle(kDesignationsText);
  if (rows == SQL_NULL_HSTMT) return false;
  DesignationRow row;
  SQLLEN indicators[3];
  SQLBindCol(rows, 1, SQL_C_LONG, &row.block, 0, &indicators[0]);
  SQLBindCol(rows, 2, SQL_C_CHAR, row.abbreviation, sizeof(row.abbreviation),
             &indicators[1]);
  SQLBindCol(rows, 3, SQL_C_CHAR, row.value, sizeof(row.value), &indicators[2]);
  bool read = FetchAll(rows, &row, indicators, ClearDesignation,
                       KeepDesignation, table);
  SQLFreeStmt(rows, SQL_DROP);
  if (read) Settle(table, SameTexts<2>);
  return read && MakeSpans(table);
}

bool ReadSpectra(Table* table) {
  SQLHSTMT rows = ExecuteOnOwnHandle(kSpectraText);
  if (rows == SQL_NULL_HSTMT) return false;
  SpectrumRow row;
  SpectrumRecord& record = row.record;
  SQLLEN indicators[5];
  SQLBindCol(rows, 1, SQL_C_LONG, &row.ownerId, 0, &indicators[0]);
  SQLBindCol(rows, 2, SQL_C_CHAR, record.SpectralClass,
             sizeof(record.SpectralClass), &indicators[1]);
  SQLBindCol(rows, 3, SQL_C_CHAR, record.LuminosityClass,
             sizeof(record.LuminosityClass), &indicators[2]);
  SQLBindCol(rows, 4, SQL_C_CHAR, record.SpectrumSource,
             sizeof(record.SpectrumSource), &indicators[3]);
  SQLBindCol(rows, 5, SQL_C_DATE, &record.LastUpdated, 0, &indicators[4]);
  bool read =
      FetchAll(rows, &row, indicators, ClearSpectrum, KeepSpectrum, table);
  SQLFreeStmt(rows, SQL_DROP);
  if (read) Settle(table, SameRecord);
  return read && MakeSpans(table);
}

bool ReadFacts(Table* table) {
  SQLHSTMT rows = ExecuteOnOwnHandle(kFactsText);
  if (rows == SQL_NULL_HSTMT) return false;
  FactsRow row;
  StarFacts& facts = row.facts;
  SQLLEN indicators[7];
  SQLBindCol(rows, 1, SQL_C_LONG, &row.ownerId, 0, &indicators[0]);
  SQLBindCol(rows, 2, SQL_C_DOUBLE, &facts.vMag, 0, &indicators[1]);
  SQLBindCol(rows, 3, SQL_C_DOUBLE, &facts.colourIndex, 0, &indicators[2]);
  SQLBindCol(rows, 4, SQL_C_DOUBLE, &facts.parallax, 0, &indicators[3]);
  SQLBindCol(rows, 5, SQL_C_DOUBLE, &facts.parallaxError, 0, &indicators[4]);
  SQLBindCol(rows, 6, SQL_C_CHAR, facts.constellation,
             sizeof(facts.constellation), &indicators[5]);
  SQLBindCol(rows, 7, SQL_C_LONG, &facts.systemId, 0, &indicators[6]);
  bool read = FetchAll(rows, &row, indicators, ClearFacts, KeepFacts, table);
  SQLFreeStmt(rows, SQL_DROP);
  if (read) Settle(table, SameFacts);
  return read && MakeSpans(table);
}

// Whether "table" is kept for the database of the kept connection, reading
// it with "read" the first time it is asked for that database.
bool Ready(Table* table, bool (*read)(Table*)) {
  uint64_t generation = KeptDatabaseGeneration();
  if (generation == 0) return false;
  if (table->generation == generation) return table->kept;
  Free(table);
  bool failedBefore = ReadFailed();
  bool kept = read(table);
  if (!kept) {
    Free(table);
    // The look-ups meet the database's fault themselves.
    if (!failedBefore) ForgetReadFault();
  }
  table->generation = generation;
  table->kept = kept;
  return kept;
}

// Copies the terminated text at "text" into "to" of "size" bytes, cut to
// fit (a kept text was read into a buffer of that size: it fits).
void CopyText(char* to, size_t size, const char* text) {
  size_t length = std::min(std::strlen(text), size - 1);
  std::memcpy(to, text, length);
  to[length] = '\0';
}

// The value kept for "key", or an answer without one.
KeptAnswer Find(const Table& table, int32_t key, uint32_t* value) {
  if (table.count == 0 || key < table.entries[0].key) return KeptAnswer::kNone;
  uint64_t span =
      static_cast<uint64_t>(int64_t{key} - table.entries[0].key) >> table.shift;
  if (span + 1 >= table.spanCount) return KeptAnswer::kNone;
  const Entry* begin = table.entries + table.spans[span];
  const Entry* end = table.entries + table.spans[span + 1];
  const Entry* found = std::lower_bound(
      begin, end, key,
      [](const Entry& entry, int32_t k) { return entry.key < k; });
  if (found == end || found->key != key) return KeptAnswer::kNone;
  if (found->value == kAmbiguous) return KeptAnswer::kAsk;
  *value = found->value;
  return KeptAnswer::kFound;
}

}  // namespace

KeptAnswer KeptProperName(int32_t block, char* name) {
  if (!Ready(&properNames, ReadProperNames)) return KeptAnswer::kAsk;
  uint32_t at;
  KeptAnswer answer = Find(properNames, block, &at);
  if (answer == KeptAnswer::kFound) {
    CopyText(name, kNameValueSize, properNames.texts + at);
  }
  return answer;
}

KeptAnswer KeptDesignation(int32_t block, char* abbreviation, char* value) {
  if (!Ready(&designations, ReadDesignations)) return KeptAnswer::kAsk;
  uint32_t at;
  KeptAnswer answer = Find(designations, block, &at);
  if (answer == KeptAnswer::kFound) {
    const char* text = designations.texts + at;
    CopyText(abbreviation, kAbbreviationSize, text);
    CopyText(value, kNameValueSize, text + std::strlen(text) + 1);
  }
  return answer;
}

KeptAnswer KeptSpectrum(int32_t ownerId, SpectrumRecord* record) {
  if (!Ready(&spectra, ReadSpectra)) return KeptAnswer::kAsk;
  uint32_t at;
  KeptAnswer answer = Find(spectra, ownerId, &at);
  if (answer == KeptAnswer::kFound) *record = spectra.records[at];
  return answer;
}

KeptAnswer KeptFacts(int32_t ownerId, StarFacts* record) {
  if (!Ready(&starFacts, ReadFacts)) return KeptAnswer::kAsk;
  uint32_t at;
  KeptAnswer answer = Find(starFacts, ownerId, &at);
  if (answer == KeptAnswer::kFound) *record = starFacts.facts[at];
  return answer;
}

void FreeKeptLookups() {
  Free(&properNames);
  Free(&designations);
  Free(&spectra);
  Free(&starFacts);
}

}  // namespace veloran
