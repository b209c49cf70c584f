#include "search/stored_index.h"

#include <cassert>

#include "search/index_rows.h"

namespace veloran {

namespace {

// The conversion check of this program, computed once.
int64_t OwnConversionCheck() {
  static const int64_t check = IndexConversionCheck();
  return check;
}

struct Visit {
  PositionVisitor visit;
  void* context;
};

void VisitIndexed(void* context, const IndexedPosition& indexed) {
  auto* visit = static_cast<Visit*>(context);
  StarPosition position{};
  position.starId = indexed.starId;
  position.order = indexed.rowOrder;
  position.hasRA = indexed.hasRA;
  position.hasDec = indexed.hasDec;
  position.hasDistance = indexed.hasDistance;
  position.pointComputed = true;
  position.placed = indexed.hasPoint;
  position.distance = indexed.distance;
  position.raHours = indexed.raHours;
  position.decDegrees = indexed.decDegrees;
  position.point = indexed.hasPoint
                       ? CartesianPoint{indexed.x, indexed.y, indexed.z}
                       : CartesianPoint{0.0, 0.0, 0.0};
  position.row = nullptr;
  visit->visit(visit->context, position);
}

}  // namespace

StoredIndexState CheckStoredIndex(SQLHDBC connection, SQLHSTMT statement) {
  PositionIndexInfo info;
  switch (ReadPositionIndexInfo(connection, statement, &info)) {
    case IndexReading::kRead:
      break;
    case IndexReading::kStale:
      return StoredIndexState::kStale;
    case IndexReading::kMissing:
      return StoredIndexState::kMissing;
    case IndexReading::kFailed:
      return StoredIndexState::kUnreadable;
  }
  if (info.layout != kPositionIndexLayout) {
    return StoredIndexState::kOtherLayout;
  }
  if (info.doubleCheckBits != kDoubleCheckBits) {
    return StoredIndexState::kInexactDriver;
  }
  if (info.conversionCheck != OwnConversionCheck()) {
    return StoredIndexState::kOtherArithmetic;
  }
  if (!info.guarded) return StoredIndexState::kUnguarded;
  return StoredIndexState::kUsable;
}

namespace {

struct StateText {
  StoredIndexState state;
  const char* word;
  const char* sentence;
};

constexpr StateText kStateTexts[] = {
    {StoredIndexState::kUsable, "in-use", "the position index is in use"},
    {StoredIndexState::kMissing, "missing",
     "the database has no position index, so every search reads all of "
     "Positions: add one with veloran-index-database"},
    {StoredIndexState::kStale, "stale",
     "the position index is stale (Positions changed after it was built), "
     "so every search reads all of Positions: rebuild it with "
     "veloran-index-database"},
    {StoredIndexState::kUnguarded, "unguarded",
     "a trigger that marks the position index stale is missing or disabled "
     "(was Positions made anew?), so the index is not used: rebuild it with "
     "veloran-index-database"},
    {StoredIndexState::kOtherLayout, "other-layout",
     "the position index was built by another version of "
     "veloran-index-database and is not used: rebuild it"},
    {StoredIndexState::kInexactDriver, "inexact-driver",
     "the ODBC driver does not deliver the index's numbers bit for bit (as "
     "Debian's SQLite driver does not), so the index is not used; the "
     "project's driver reads it"},
    {StoredIndexState::kOtherArithmetic, "other-arithmetic",
     "the position index was built by a program that computes other values "
     "than this one (another version, or another kind of machine), so it is "
     "not used: rebuild it with this version's veloran-index-database"},
    {StoredIndexState::kUnreadable, "unreadable",
     "the position index could not be read, so it is not used"},
};

const StateText& TextOf(StoredIndexState state) {
  const StateText& text = kStateTexts[static_cast<int>(state)];
  assert(text.state == state);
  return text;
}

}  // namespace

const char* StoredIndexStateWord(StoredIndexState state) {
  return TextOf(state).word;
}

const char* DescribeStoredIndexState(StoredIndexState state) {
  return TextOf(state).sentence;
}

ScanOutcome VisitStoredIndex(SQLHSTMT statement, IndexKey key,
                             const KeyRanges& ranges, PositionVisitor visit,
                             void* context) {
  assert(ranges.count >= 1 && ranges.count <= kMaxIndexRanges);
  Visit adapter{visit, context};
  switch (ReadIndexedPositions(statement, key, ranges.ranges, ranges.count,
                               VisitIndexed, &adapter)) {
    case IndexRowsRead::kAll:
      return ScanOutcome::kRead;
    case IndexRowsRead::kNotExecuted:
      return ScanOutcome::kNotExecuted;
    case IndexRowsRead::kIncomplete:
      return ScanOutcome::kIncomplete;
  }
  return ScanOutcome::kIncomplete;
}

}  // namespace veloran
