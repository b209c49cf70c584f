#include "catalogue/visual_magnitudes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "catalogue/kept_lookups.h"
#include "catalogue/read_fault.h"
#include "catalogue/star_records.h"
#include "catalogue/statements.h"

namespace veloran {

namespace {

// A key whose rows give more than one V is asked by its own look-up, for
// which row comes first is the database's to say.
constexpr double kAskTheLookUp = -1e300;

// Any key tells whether a worker keeps the facts: kAsk is its answer for
// a table it does not keep.
constexpr int32_t kAnyStar = 100;

bool Append(VisualMagnitudes* magnitudes, size_t* capacity,
            const MagnitudeEntry& entry) {
  if (magnitudes->count == *capacity) {
    size_t grown = *capacity == 0 ? 16384 : *capacity * 2;
    void* moved =
        std::realloc(magnitudes->entries, grown * sizeof(MagnitudeEntry));
    if (moved == nullptr) return false;
    magnitudes->entries = static_cast<MagnitudeEntry*>(moved);
    *capacity = grown;
  }
  magnitudes->entries[magnitudes->count++] = entry;
  return true;
}

// Sorts by OwnerID and leaves each key once: its V when every row of the
// key gives that V, else kAskTheLookUp.
void Settle(VisualMagnitudes* magnitudes) {
  MagnitudeEntry* entries = magnitudes->entries;
  std::stable_sort(entries, entries + magnitudes->count,
                   [](const MagnitudeEntry& a, const MagnitudeEntry& b) {
                     return a.ownerId < b.ownerId;
                   });
  size_t kept = 0;
  for (size_t i = 0; i < magnitudes->count; ++i) {
    if (kept > 0 && entries[kept - 1].ownerId == entries[i].ownerId) {
      if (entries[kept - 1].vMag != entries[i].vMag) {
        entries[kept - 1].vMag = kAskTheLookUp;
      }
      continue;
    }
    entries[kept++] = entries[i];
  }
  magnitudes->count = kept;
}

}  // namespace

bool ReadVisualMagnitudes(SQLHSTMT statement, VisualMagnitudes* magnitudes) {
  *magnitudes = VisualMagnitudes{};
  StarFacts facts;
  if (KeptFacts(kAnyStar, &facts) != KeptAnswer::kAsk) {
    magnitudes->hasTable = true;
    magnitudes->fromKept = true;
    return true;
  }
  CloseCursor(statement);
  if (!ExecuteStatement(statement, "SELECT OwnerID, VMag FROM StarFacts")) {
    if (!ReadFaultIsMissingTable()) {
      // A statement that executed with information is no read fault of
      // its own; it is one here, as it is for every statement of a page.
      if (!ReadFailed()) NoteReadFault(statement);
      return false;
    }
    ForgetReadFault();
    return true;
  }
  magnitudes->hasTable = true;
  int32_t ownerId = 0;
  double vMag = 0;
  SQLLEN indicators[2];
  SQLBindCol(statement, 1, SQL_C_LONG, &ownerId, 0, &indicators[0]);
  SQLBindCol(statement, 2, SQL_C_DOUBLE, &vMag, 0, &indicators[1]);
  size_t capacity = 0;
  bool read = true;
  while (read && FetchRow(statement)) {
    // A row without an owner belongs to no star's look-up.  A NULL V is
    // kept: the key's other rows may give one.
    if (indicators[0] == SQL_NULL_DATA) continue;
    MagnitudeEntry entry{ownerId, indicators[1] == SQL_NULL_DATA ? NAN : vMag};
    read = Append(magnitudes, &capacity, entry);
  }
  UnbindColumns(statement);
  CloseCursor(statement);
  if (!read || ReadFailed()) return false;
  Settle(magnitudes);
  // The keys of differing rows are asked now, before a scan holds the
  // statement's cursor.
  for (size_t i = 0; i < magnitudes->count; ++i) {
    MagnitudeEntry& entry = magnitudes->entries[i];
    if (entry.vMag != kAskTheLookUp) continue;
    bool found = false;
    if (!FetchStarFacts(statement, entry.ownerId, &facts, &found)) {
      return false;
    }
    entry.vMag = found && facts.hasVMag ? facts.vMag : NAN;
  }
  return true;
}

bool FindVisualMagnitude(SQLHSTMT statement, const VisualMagnitudes& magnitudes,
                         int32_t ownerId, double* vMag) {
  if (!magnitudes.fromKept) {
    const MagnitudeEntry* first = magnitudes.entries;
    const MagnitudeEntry* end = first + magnitudes.count;
    const MagnitudeEntry* at = std::lower_bound(
        first, end, ownerId, [](const MagnitudeEntry& entry, int32_t id) {
          return entry.ownerId < id;
        });
    if (at == end || at->ownerId != ownerId || std::isnan(at->vMag)) {
      return false;
    }
    *vMag = at->vMag;
    return true;
  }
  StarFacts facts;
  bool found = false;
  switch (KeptFacts(ownerId, &facts)) {
    case KeptAnswer::kFound:
      found = true;
      break;
    case KeptAnswer::kNone:
      return false;
    case KeptAnswer::kAsk:
      // A worker's look-up goes on a handle of its own, not on the cursor
      // of a scan.
      if (!FetchStarFacts(statement, ownerId, &facts, &found)) return false;
      break;
  }
  *vMag = facts.vMag;
  return found && facts.hasVMag;
}

void FreeVisualMagnitudes(VisualMagnitudes* magnitudes) {
  std::free(magnitudes->entries);
  *magnitudes = VisualMagnitudes{};
}

}  // namespace veloran
