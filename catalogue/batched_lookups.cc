#include "catalogue/batched_lookups.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "catalogue/catalogue_names.h"
#include "catalogue/display_names.h"
#include "catalogue/fetched_text.h"
#include "catalogue/kept_lookups.h"
#include "catalogue/read_fault.h"
#include "catalogue/statements.h"

namespace veloran {

namespace {

// --- One batch ----------------------------------------------------------

// What the rows of one key of a batch said.
enum class KeyRows : uint8_t {
  kNone,    // no row
  kFirst,   // one row, or rows that all say the same: the value kept
  kDiffer,  // rows that differ, or a batch that executed with information:
            // the key's own look-up decides
};

// The distinct keys of a batch, ascending, and what their rows said.
template <typename Value>
struct Batch {
  int count = 0;
  int32_t keys[kLookupBatchSize];
  KeyRows rows[kLookupBatchSize];
  Value values[kLookupBatchSize];
};

template <typename Value>
void SetKeys(Batch<Value>* batch, const int32_t* keys, int count) {
  std::copy(keys, keys + count, batch->keys);
  std::sort(batch->keys, batch->keys + count);
  batch->count = static_cast<int>(
      std::unique(batch->keys, batch->keys + count) - batch->keys);
  std::fill(batch->rows, batch->rows + batch->count, KeyRows::kNone);
}

// The place of "key" among the batch's keys, or -1.
template <typename Value>
int FindKey(const Batch<Value>& batch, int32_t key) {
  const int32_t* end = batch.keys + batch.count;
  const int32_t* found = std::lower_bound(batch.keys, end, key);
  return found != end && *found == key ? static_cast<int>(found - batch.keys)
                                       : -1;
}

// A kind of look-up as a batch sends it: "head", the keys, "tail"; its
// key in the first column and the look-up's own columns after it, bound
// to a value's buffers of the look-up's sizes; a fetched row finished as
// the look-up finishes it; whether two rows say the same.
template <typename Value>
struct Kind {
  const char* head;
  const char* tail;
  void (*bind)(SQLHSTMT rows, Value* value, SQLLEN* indicators);
  void (*finish)(Value* value, const SQLLEN* indicators);
  bool (*same)(const Value& a, const Value& b);
};

constexpr int kMaxColumns = 6;  // besides the key

// The head and tail of each kind, with the keys at up to 11 characters and
// a separator of 2.
constexpr int kTextSize = 512 + kLookupBatchSize * 13;

enum class Sent {
  kRead,             // every row was read
  kWithInformation,  // executed with information: no row was read
  kNotExecuted,      // an error, kept as the read fault
  kFetchFailed,      // a failed fetch, kept as the read fault
};

// Writes the statement of "kind" for the batch's keys into "text".
template <typename Value>
void WriteText(const Kind<Value>& kind, const Batch<Value>& batch,
               char (&text)[kTextSize]) {
  int length = std::snprintf(text, sizeof(text), "%s", kind.head);
  for (int i = 0; i < batch.count && length < kTextSize; ++i) {
    length +=
        std::snprintf(text + length, sizeof(text) - length, "%s%ld",
                      i == 0 ? "" : ", ", static_cast<long>(batch.keys[i]));
  }
  if (length < kTextSize) {
    length +=
        std::snprintf(text + length, sizeof(text) - length, "%s", kind.tail);
  }
  // A statement cut short would ask for other stars than the batch's.
  assert(length < kTextSize);
}

// Sends the batch's statement and keeps, for each key, its first row and
// whether a later row differs from it.
template <typename Value>
Sent SendBatch(SQLHSTMT statement, const Kind<Value>& kind,
               Batch<Value>* batch) {
  char text[kTextSize];
  WriteText(kind, *batch, text);
  CloseCursor(statement);
  SQLRETURN executed =
      SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(text), SQL_NTS);
  if (!SQL_SUCCEEDED(executed)) {
    NoteReadFault(statement);
    return Sent::kNotExecuted;
  }
  if (executed != SQL_SUCCESS) {
    CloseCursor(statement);
    return Sent::kWithInformation;
  }
  int32_t key = 0;
  SQLLEN keyIndicator = 0;
  Value value;
  SQLLEN indicators[kMaxColumns];
  SQLBindCol(statement, 1, SQL_C_LONG, &key, 0, &keyIndicator);
  kind.bind(statement, &value, indicators);
  Sent sent = Sent::kRead;
  for (;;) {
    // A NULL column leaves its buffer unwritten: cleared, it reads as the
    // look-up's cleared buffer does.
    std::memset(&value, 0, sizeof(value));
    SQLRETURN fetched = SQLFetch(statement);
    if (fetched == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(fetched)) {
      NoteReadFault(statement);
      sent = Sent::kFetchFailed;
      break;
    }
    int at = keyIndicator == SQL_NULL_DATA ? -1 : FindKey(*batch, key);
    if (at < 0) continue;
    kind.finish(&value, indicators);
    if (batch->rows[at] == KeyRows::kNone) {
      batch->values[at] = value;
      batch->rows[at] = KeyRows::kFirst;
    } else if (!kind.same(batch->values[at], value)) {
      batch->rows[at] = KeyRows::kDiffer;
    }
  }
  CloseCursor(statement);
  return sent;
}

// Whether the batch's statement failed, which fails the look-ups of all
// its stars.
bool Failed(Sent sent) {
  return sent == Sent::kNotExecuted || sent == Sent::kFetchFailed;
}

// What the batch sent as "sent" says of "key", one of its keys, with its
// value when kFirst.
template <typename Value>
KeyRows RowsOf(const Batch<Value>& batch, Sent sent, int32_t key,
               const Value** value) {
  assert(!Failed(sent));
  if (sent == Sent::kWithInformation) return KeyRows::kDiffer;
  int at = FindKey(batch, key);
  assert(at >= 0);
  *value = &batch.values[at];
  return batch.rows[at];
}

bool SameText(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

bool SameDate(const DATE_STRUCT& a, const DATE_STRUCT& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

// Bit for bit: 0.0 and -0.0 may be written differently.
bool SameNumber(double a, double b) {
  return std::memcmp(&a, &b, sizeof(a)) == 0;
}

// --- Names --------------------------------------------------------------

struct ProperNameValue {
  char name[kNameValueSize];
};

struct DesignationValue {
  char abbreviation[kAbbreviationSize];
  char value[kNameValueSize];
};

void BindProperName(SQLHSTMT rows, ProperNameValue* v, SQLLEN* indicators) {
  SQLBindCol(rows, 2, SQL_C_CHAR, v->name, sizeof(v->name), &indicators[0]);
}

void FinishProperName(ProperNameValue* v, const SQLLEN* indicators) {
  TerminateFetchedText(v->name, indicators[0]);
}

bool SameProperName(const ProperNameValue& a, const ProperNameValue& b) {
  return SameText(a.name, b.name);
}

void BindDesignation(SQLHSTMT rows, DesignationValue* v, SQLLEN* indicators) {
  SQLBindCol(rows, 2, SQL_C_CHAR, v->abbreviation, sizeof(v->abbreviation),
             &indicators[0]);
  SQLBindCol(rows, 3, SQL_C_CHAR, v->value, sizeof(v->value), &indicators[1]);
}

void FinishDesignation(DesignationValue* v, const SQLLEN* indicators) {
  TerminateFetchedText(v->abbreviation, indicators[0]);
  TerminateFetchedText(v->value, indicators[1]);
}

bool SameDesignation(const DesignationValue& a, const DesignationValue& b) {
  return SameText(a.abbreviation, b.abbreviation) && SameText(a.value, b.value);
}

// The look-ups of display_names.cc, with the block in front.
constexpr Kind<ProperNameValue> kProperNames = {
    "SELECT INT(OwnerID/100), Name FROM ProperNames WHERE INT(OwnerID/100) "
    "IN (",
    ") AND IsSystemName = Yes", BindProperName, FinishProperName,
    SameProperName};

constexpr Kind<DesignationValue> kDesignations = {
    "SELECT INT(OwnerID/100), CatAbbrev, Value FROM CatalogNumbers WHERE "
    "INT(OwnerID/100) IN (",
    ") AND IsSystemName = Yes", BindDesignation, FinishDesignation,
    SameDesignation};

void WriteDesignation(char (&name)[kDisplayNameSize], const char* abbreviation,
                      const char* value) {
  std::snprintf(name, sizeof(name), "%s %s", LookupCatalogueName(abbreviation),
                value);
}

// What a star of a batch of names still needs.
enum class NameNeed : uint8_t { kNothing, kProperName, kDesignation };

// The proper names of the stars that need one, from what is kept and from
// the batch; the stars without one then need their designation.
bool ReadProperNames(SQLHSTMT statement, const int32_t* ids, int count,
                     NameNeed* needs, int offset, NameKindVisitor visit,
                     void* context) {
  int32_t keys[kLookupBatchSize];
  int keyCount = 0;
  char name[kDisplayNameSize];
  for (int i = 0; i < count; ++i) {
    char value[kNameValueSize];
    switch (KeptProperName(ids[i] / 100, value)) {
      case KeptAnswer::kFound:
        std::snprintf(name, sizeof(name), "%s", value);
        visit(context, offset + i, name, true);
        needs[i] = NameNeed::kNothing;
        break;
      case KeptAnswer::kNone:
        needs[i] = NameNeed::kDesignation;
        break;
      case KeptAnswer::kAsk:
        needs[i] = NameNeed::kProperName;
        keys[keyCount++] = ids[i] / 100;
        break;
    }
  }
  if (keyCount == 0) return true;
  Batch<ProperNameValue> batch;
  SetKeys(&batch, keys, keyCount);
  Sent sent = SendBatch(statement, kProperNames, &batch);
  if (Failed(sent)) return false;
  for (int i = 0; i < count; ++i) {
    if (needs[i] != NameNeed::kProperName) continue;
    const ProperNameValue* found = nullptr;
    switch (RowsOf(batch, sent, ids[i] / 100, &found)) {
      case KeyRows::kFirst:
        std::snprintf(name, sizeof(name), "%s", found->name);
        visit(context, offset + i, name, true);
        needs[i] = NameNeed::kNothing;
        break;
      case KeyRows::kNone:
        needs[i] = NameNeed::kDesignation;
        break;
      case KeyRows::kDiffer:
        // The star's own look-ups, as one star is named.
        if (bool proper = false;
            GetStarDisplayName(statement, ids[i], name, &proper)) {
          visit(context, offset + i, name, proper);
        }
        if (ReadFailed()) return false;
        needs[i] = NameNeed::kNothing;
        break;
    }
  }
  return true;
}

// The designations of the stars that need one.
bool ReadDesignations(SQLHSTMT statement, const int32_t* ids, int count,
                      const NameNeed* needs, int offset, NameKindVisitor visit,
                      void* context) {
  int32_t keys[kLookupBatchSize];
  bool asked[kLookupBatchSize];
  int keyCount = 0;
  char name[kDisplayNameSize];
  for (int i = 0; i < count; ++i) {
    asked[i] = false;
    if (needs[i] != NameNeed::kDesignation) continue;
    char abbreviation[kAbbreviationSize];
    char value[kNameValueSize];
    switch (KeptDesignation(ids[i] / 100, abbreviation, value)) {
      case KeptAnswer::kFound:
        WriteDesignation(name, abbreviation, value);
        visit(context, offset + i, name, false);
        break;
      case KeptAnswer::kNone:
        break;
      case KeptAnswer::kAsk:
        asked[i] = true;
        keys[keyCount++] = ids[i] / 100;
        break;
    }
  }
  if (keyCount == 0) return true;
  Batch<DesignationValue> batch;
  SetKeys(&batch, keys, keyCount);
  Sent sent = SendBatch(statement, kDesignations, &batch);
  if (Failed(sent)) return false;
  for (int i = 0; i < count; ++i) {
    if (!asked[i]) continue;
    const DesignationValue* found = nullptr;
    switch (RowsOf(batch, sent, ids[i] / 100, &found)) {
      case KeyRows::kFirst:
        WriteDesignation(name, found->abbreviation, found->value);
        visit(context, offset + i, name, false);
        break;
      case KeyRows::kNone:
        break;
      case KeyRows::kDiffer:
        if (GetSystemDesignation(statement, ids[i], name)) {
          visit(context, offset + i, name, false);
        }
        if (ReadFailed()) return false;
        break;
    }
  }
  return true;
}

bool ReadNameBatch(SQLHSTMT statement, const int32_t* ids, int count,
                   int offset, NameKindVisitor visit, void* context) {
  NameNeed needs[kLookupBatchSize];
  return ReadProperNames(statement, ids, count, needs, offset, visit,
                         context) &&
         ReadDesignations(statement, ids, count, needs, offset, visit, context);
}

// --- Spectra ------------------------------------------------------------

void BindSpectrum(SQLHSTMT rows, SpectrumRecord* r, SQLLEN* indicators) {
  SQLBindCol(rows, 2, SQL_C_CHAR, r->SpectralClass, sizeof(r->SpectralClass),
             &indicators[0]);
  SQLBindCol(rows, 3, SQL_C_CHAR, r->LuminosityClass,
             sizeof(r->LuminosityClass), &indicators[1]);
  SQLBindCol(rows, 4, SQL_C_CHAR, r->SpectrumSource, sizeof(r->SpectrumSource),
             &indicators[2]);
  SQLBindCol(rows, 5, SQL_C_DATE, &r->LastUpdated, 0, &indicators[3]);
}

void FinishSpectrum(SpectrumRecord* r, const SQLLEN* indicators) {
  TerminateFetchedText(r->SpectralClass, indicators[0]);
  TerminateFetchedText(r->LuminosityClass, indicators[1]);
  TerminateFetchedText(r->SpectrumSource, indicators[2]);
  r->HasSpectralClass = indicators[0] != SQL_NULL_DATA;
  r->HasLuminosityClass = indicators[1] != SQL_NULL_DATA;
  r->HasSpectrumSource = indicators[2] != SQL_NULL_DATA;
}

bool SameSpectrum(const SpectrumRecord& a, const SpectrumRecord& b) {
  return a.HasSpectralClass == b.HasSpectralClass &&
         a.HasLuminosityClass == b.HasLuminosityClass &&
         a.HasSpectrumSource == b.HasSpectrumSource &&
         SameText(a.SpectralClass, b.SpectralClass) &&
         SameText(a.LuminosityClass, b.LuminosityClass) &&
         SameText(a.SpectrumSource, b.SpectrumSource) &&
         SameDate(a.LastUpdated, b.LastUpdated);
}

// FetchSpectrumRecord's look-up, with the OwnerID in front.
constexpr Kind<SpectrumRecord> kSpectra = {
    "SELECT OwnerID, SpectralClass, LuminosityClass, SpectrumSource, "
    "LastUpdated FROM Spectra WHERE OwnerID IN (",
    ")", BindSpectrum, FinishSpectrum, SameSpectrum};

bool ReadSpectrumBatch(SQLHSTMT statement, const int32_t* ids, int count,
                       int offset, SpectrumVisitor visit, void* context) {
  int32_t keys[kLookupBatchSize];
  bool asked[kLookupBatchSize];
  int keyCount = 0;
  SpectrumRecord record;
  for (int i = 0; i < count; ++i) {
    asked[i] = false;
    switch (KeptSpectrum(ids[i] + 1, &record)) {
      case KeptAnswer::kFound:
        visit(context, offset + i, record);
        break;
      case KeptAnswer::kNone:
        break;
      case KeptAnswer::kAsk:
        asked[i] = true;
        keys[keyCount++] = ids[i] + 1;
        break;
    }
  }
  if (keyCount == 0) return true;
  Batch<SpectrumRecord> batch;
  SetKeys(&batch, keys, keyCount);
  Sent sent = SendBatch(statement, kSpectra, &batch);
  if (Failed(sent)) return false;
  for (int i = 0; i < count; ++i) {
    if (!asked[i]) continue;
    const SpectrumRecord* found = nullptr;
    switch (RowsOf(batch, sent, ids[i] + 1, &found)) {
      case KeyRows::kFirst:
        visit(context, offset + i, *found);
        break;
      case KeyRows::kNone:
        break;
      case KeyRows::kDiffer:
        if (FetchSpectrumRecord(statement, ids[i] + 1, &record)) {
          visit(context, offset + i, record);
        }
        if (ReadFailed()) return false;
        break;
    }
  }
  return true;
}

// --- Facts --------------------------------------------------------------

void BindFacts(SQLHSTMT rows, StarFacts* f, SQLLEN* indicators) {
  SQLBindCol(rows, 2, SQL_C_DOUBLE, &f->vMag, 0, &indicators[0]);
  SQLBindCol(rows, 3, SQL_C_DOUBLE, &f->colourIndex, 0, &indicators[1]);
  SQLBindCol(rows, 4, SQL_C_DOUBLE, &f->parallax, 0, &indicators[2]);
  SQLBindCol(rows, 5, SQL_C_DOUBLE, &f->parallaxError, 0, &indicators[3]);
  SQLBindCol(rows, 6, SQL_C_CHAR, f->constellation, sizeof(f->constellation),
             &indicators[4]);
  SQLBindCol(rows, 7, SQL_C_LONG, &f->systemId, 0, &indicators[5]);
}

void FinishFacts(StarFacts* f, const SQLLEN* indicators) {
  TerminateFetchedText(f->constellation, indicators[4]);
  f->hasVMag = indicators[0] != SQL_NULL_DATA;
  f->hasColourIndex = indicators[1] != SQL_NULL_DATA;
  f->hasParallax = indicators[2] != SQL_NULL_DATA;
  f->hasParallaxError = indicators[3] != SQL_NULL_DATA;
  f->hasConstellation =
      indicators[4] != SQL_NULL_DATA && f->constellation[0] != '\0';
  f->hasSystem = indicators[5] != SQL_NULL_DATA;
}

bool SameFacts(const StarFacts& a, const StarFacts& b) {
  return a.hasVMag == b.hasVMag && a.hasColourIndex == b.hasColourIndex &&
         a.hasParallax == b.hasParallax &&
         a.hasParallaxError == b.hasParallaxError &&
         a.hasConstellation == b.hasConstellation &&
         a.hasSystem == b.hasSystem && SameNumber(a.vMag, b.vMag) &&
         SameNumber(a.colourIndex, b.colourIndex) &&
         SameNumber(a.parallax, b.parallax) &&
         SameNumber(a.parallaxError, b.parallaxError) &&
         SameText(a.constellation, b.constellation) && a.systemId == b.systemId;
}

// FetchStarFacts's look-up, with the OwnerID in front.
constexpr Kind<StarFacts> kFacts = {
    "SELECT OwnerID, VMag, ColourIndex, Parallax, ParallaxError, "
    "Constellation, SystemID FROM StarFacts WHERE OwnerID IN (",
    ")", BindFacts, FinishFacts, SameFacts};

bool ReadFactsBatch(SQLHSTMT statement, const int32_t* ids, int count,
                    int offset, FactsVisitor visit, void* context) {
  int32_t keys[kLookupBatchSize];
  bool asked[kLookupBatchSize];
  int keyCount = 0;
  StarFacts facts;
  for (int i = 0; i < count; ++i) {
    asked[i] = false;
    switch (KeptFacts(ids[i], &facts)) {
      case KeptAnswer::kFound:
        visit(context, offset + i, facts);
        break;
      case KeptAnswer::kNone:
        break;
      case KeptAnswer::kAsk:
        asked[i] = true;
        keys[keyCount++] = ids[i];
        break;
    }
  }
  if (keyCount == 0) return true;
  Batch<StarFacts> batch;
  SetKeys(&batch, keys, keyCount);
  Sent sent = SendBatch(statement, kFacts, &batch);
  if (sent == Sent::kNotExecuted && ReadFaultIsMissingTable()) {
    // An older database, without the table: no facts.
    ForgetReadFault();
    return true;
  }
  if (Failed(sent)) return false;
  for (int i = 0; i < count; ++i) {
    if (!asked[i]) continue;
    const StarFacts* found = nullptr;
    bool has = false;
    switch (RowsOf(batch, sent, ids[i], &found)) {
      case KeyRows::kFirst:
        visit(context, offset + i, *found);
        break;
      case KeyRows::kNone:
        break;
      case KeyRows::kDiffer:
        if (!FetchStarFacts(statement, ids[i], &facts, &has)) return false;
        if (has) visit(context, offset + i, facts);
        break;
    }
  }
  return true;
}

// --- Astrometry ---------------------------------------------------------

// The columns of Positions, and of StarFacts where the database has them.
struct PlaceValue {
  double epoch;
  char distanceSource[11];
  double distanceError;
  double pmRaCosDec;
  double pmDec;
  bool hasEpoch;
  bool hasDistanceSource;
  bool hasDistanceError;
  bool hasProperMotion;
};

void BindPlace(SQLHSTMT rows, PlaceValue* v, SQLLEN* indicators) {
  SQLBindCol(rows, 2, SQL_C_DOUBLE, &v->epoch, 0, &indicators[0]);
  SQLBindCol(rows, 3, SQL_C_CHAR, v->distanceSource, sizeof(v->distanceSource),
             &indicators[1]);
  SQLBindCol(rows, 4, SQL_C_DOUBLE, &v->distanceError, 0, &indicators[2]);
}

void BindPlaceAndMotion(SQLHSTMT rows, PlaceValue* v, SQLLEN* indicators) {
  BindPlace(rows, v, indicators);
  SQLBindCol(rows, 5, SQL_C_DOUBLE, &v->pmRaCosDec, 0, &indicators[3]);
  SQLBindCol(rows, 6, SQL_C_DOUBLE, &v->pmDec, 0, &indicators[4]);
}

void FinishPlace(PlaceValue* v, const SQLLEN* indicators) {
  TerminateFetchedText(v->distanceSource, indicators[1]);
  v->hasEpoch = indicators[0] != SQL_NULL_DATA;
  v->hasDistanceSource = indicators[1] != SQL_NULL_DATA;
  v->hasDistanceError = indicators[2] != SQL_NULL_DATA;
  v->hasProperMotion = false;
}

void FinishPlaceAndMotion(PlaceValue* v, const SQLLEN* indicators) {
  FinishPlace(v, indicators);
  v->hasProperMotion =
      indicators[3] != SQL_NULL_DATA && indicators[4] != SQL_NULL_DATA;
}

bool SamePlace(const PlaceValue& a, const PlaceValue& b) {
  return a.hasEpoch == b.hasEpoch && SameNumber(a.epoch, b.epoch) &&
         a.hasDistanceSource == b.hasDistanceSource &&
         SameText(a.distanceSource, b.distanceSource) &&
         a.hasDistanceError == b.hasDistanceError &&
         SameNumber(a.distanceError, b.distanceError) &&
         a.hasProperMotion == b.hasProperMotion &&
         SameNumber(a.pmRaCosDec, b.pmRaCosDec) && SameNumber(a.pmDec, b.pmDec);
}

constexpr Kind<PlaceValue> kPlacesAndMotions = {
    "SELECT p.OwnerID, p.Epoch, p.DistanceSource, p.DistanceError, f.PmRA, "
    "f.PmDec FROM Positions p LEFT JOIN StarFacts f ON f.OwnerID = "
    "p.OwnerID WHERE p.OwnerID IN (",
    ")", BindPlaceAndMotion, FinishPlaceAndMotion, SamePlace};

// For a database without the motions' columns.
constexpr Kind<PlaceValue> kPlaces = {
    "SELECT OwnerID, Epoch, DistanceSource, DistanceError FROM Positions "
    "WHERE OwnerID IN (",
    ")", BindPlace, FinishPlace, SamePlace};

struct HipValue {
  char value[kNameValueSize];
};

void BindHip(SQLHSTMT rows, HipValue* v, SQLLEN* indicators) {
  SQLBindCol(rows, 2, SQL_C_CHAR, v->value, sizeof(v->value), &indicators[0]);
}

void FinishHip(HipValue* v, const SQLLEN* indicators) {
  TerminateFetchedText(v->value, indicators[0]);
}

bool SameHip(const HipValue& a, const HipValue& b) {
  return SameText(a.value, b.value);
}

constexpr Kind<HipValue> kHipNumbers = {
    "SELECT INT(OwnerID/100), Value FROM CatalogNumbers WHERE CatAbbrev = "
    "'HIP' AND INT(OwnerID/100) IN (",
    ")", BindHip, FinishHip, SameHip};

// The number that "value" begins with ("71683 A"), when it is one from 1
// to 2^31 - 1.
bool ReadHipNumber(const char* value, int32_t* hip) {
  int64_t number = 0;
  const char* c = value;
  for (; *c >= '0' && *c <= '9' && number <= INT32_MAX; ++c) {
    number = number * 10 + (*c - '0');
  }
  if (c == value || number < 1 || number > INT32_MAX ||
      (*c != '\0' && *c != ' ')) {
    return false;
  }
  *hip = static_cast<int32_t>(number);
  return true;
}

bool ReadAstrometryBatch(SQLHSTMT statement, const int32_t* ids, int count,
                         StarAstrometry* stars) {
  Batch<PlaceValue> places;
  SetKeys(&places, ids, count);
  Sent sent = SendBatch(statement, kPlacesAndMotions, &places);
  if (sent == Sent::kNotExecuted && ReadFaultIsMissingTableOrColumn()) {
    // An older database, without the motions: the places alone.
    ForgetReadFault();
    SetKeys(&places, ids, count);
    sent = SendBatch(statement, kPlaces, &places);
  }
  if (Failed(sent)) return false;
  int32_t blocks[kLookupBatchSize];
  for (int i = 0; i < count; ++i) blocks[i] = ids[i] / 100;
  Batch<HipValue> hips;
  SetKeys(&hips, blocks, count);
  Sent hipsSent = SendBatch(statement, kHipNumbers, &hips);
  if (Failed(hipsSent)) return false;
  for (int i = 0; i < count; ++i) {
    StarAstrometry& star = stars[i];
    const PlaceValue* place = nullptr;
    if (sent == Sent::kRead &&
        RowsOf(places, sent, ids[i], &place) != KeyRows::kNone) {
      star.hasEpoch = place->hasEpoch;
      star.epoch = place->epoch;
      star.hasDistanceSource = place->hasDistanceSource;
      std::memcpy(star.distanceSource, place->distanceSource,
                  sizeof(star.distanceSource));
      star.hasDistanceError = place->hasDistanceError;
      star.distanceError = place->distanceError;
      star.hasProperMotion = place->hasProperMotion;
      star.pmRaCosDec = place->pmRaCosDec;
      star.pmDec = place->pmDec;
    }
    const HipValue* hip = nullptr;
    if (hipsSent == Sent::kRead &&
        RowsOf(hips, hipsSent, blocks[i], &hip) != KeyRows::kNone) {
      star.hasHip = ReadHipNumber(hip->value, &star.hip);
    }
  }
  return true;
}

// Calls "read" for each batch of the stars.
template <typename Visitor>
bool ReadInBatches(SQLHSTMT statement, const int32_t* starIds, int count,
                   Visitor visit, void* context,
                   bool (*read)(SQLHSTMT, const int32_t*, int, int, Visitor,
                                void*)) {
  for (int first = 0; first < count; first += kLookupBatchSize) {
    int size = std::min(count - first, kLookupBatchSize);
    if (!read(statement, starIds + first, size, first, visit, context)) {
      return false;
    }
  }
  return true;
}

void TakeFacts(void* context, int index, const StarFacts& facts) {
  FactsAndSpectrum& star = static_cast<FactsAndSpectrum*>(context)[index];
  star.hasFacts = true;
  star.facts = facts;
}

void TakeSpectrum(void* context, int index, const SpectrumRecord& spectrum) {
  FactsAndSpectrum& star = static_cast<FactsAndSpectrum*>(context)[index];
  star.hasSpectrum = true;
  star.spectrum = spectrum;
}

// A visitor of names that is not told their kind, and its context.
struct NameOnly {
  NameVisitor visit;
  void* context;
};

void VisitNameOnly(void* context, int index, const char* name, bool) {
  const NameOnly& only = *static_cast<NameOnly*>(context);
  only.visit(only.context, index, name);
}

}  // namespace

bool ReadNamesOfStars(SQLHSTMT statement, const int32_t* starIds, int count,
                      NameKindVisitor visit, void* context) {
  return ReadInBatches(statement, starIds, count, visit, context,
                       ReadNameBatch);
}

bool ReadNamesOfStars(SQLHSTMT statement, const int32_t* starIds, int count,
                      NameVisitor visit, void* context) {
  NameOnly only{visit, context};
  return ReadNamesOfStars(statement, starIds, count, VisitNameOnly, &only);
}

bool ReadSpectraOfStars(SQLHSTMT statement, const int32_t* starIds, int count,
                        SpectrumVisitor visit, void* context) {
  return ReadInBatches(statement, starIds, count, visit, context,
                       ReadSpectrumBatch);
}

bool ReadFactsOfStars(SQLHSTMT statement, const int32_t* starIds, int count,
                      FactsVisitor visit, void* context) {
  return ReadInBatches(statement, starIds, count, visit, context,
                       ReadFactsBatch);
}

bool ReadAstrometryOfStars(SQLHSTMT statement, const int32_t* starIds,
                           int count, StarAstrometry* stars) {
  for (int first = 0; first < count; first += kLookupBatchSize) {
    int size = std::min(count - first, kLookupBatchSize);
    for (int i = 0; i < size; ++i) stars[first + i] = StarAstrometry{};
    if (!ReadAstrometryBatch(statement, starIds + first, size, stars + first)) {
      return false;
    }
  }
  return true;
}

bool ReadFactsAndSpectra(SQLHSTMT statement, const int32_t* starIds, int count,
                         FactsAndSpectrum* stars) {
  for (int i = 0; i < count; ++i) {
    stars[i].hasFacts = false;
    stars[i].facts = StarFacts{};
    stars[i].hasSpectrum = false;
    stars[i].spectrum = SpectrumRecord{};
  }
  return ReadFactsOfStars(statement, starIds, count, TakeFacts, stars) &&
         ReadSpectraOfStars(statement, starIds, count, TakeSpectrum, stars);
}

}  // namespace veloran
