#include "site/star_entry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "catalogue/batched_lookups.h"
#include "catalogue/fetched_text.h"
#include "catalogue/read_fault.h"
#include "catalogue/statements.h"
#include "cgi/search_window.h"
#include "search/neighbour_ranking.h"
#include "search/search_pages.h"

namespace veloran {

namespace {

constexpr int32_t kSystemSize = 10000;

// Whether the Positions row of star "id" exists; false when the statement
// did not execute with SQL_SUCCESS or its fetch failed.
bool FindPositionRow(SQLHSTMT statement, int32_t id, bool* exists) {
  SQLHSTMT rows = ExecuteLookup(
      statement, "SELECT OwnerID FROM Positions WHERE OwnerID = %ld", id);
  if (rows == SQL_NULL_HSTMT) {
    return false;
  }
  *exists = FetchRow(rows);
  return !ReadFailed();
}

void ReadProperNames(SQLHSTMT statement, StarEntry* entry) {
  // A failure is kept as the read fault, which fails the whole entry.
  GetSystemProperNames(statement, entry->id, entry->properNames,
                       kMaxEntryNames, &entry->properNameCount);
}

void ReadDesignations(SQLHSTMT statement, StarEntry* entry) {
  SQLHSTMT rows =
      ExecuteLookup(statement,
                    "SELECT CatAbbrev, Value FROM CatalogNumbers "
                    "WHERE INT(OwnerID/100) = %ld ORDER BY OwnerID, "
                    "CatalogNumberID",
                    entry->id / 100);
  if (rows == SQL_NULL_HSTMT) {
    return;
  }
  char abbreviation[kAbbreviationSize];
  char value[kNameValueSize];
  SQLLEN indicators[2];
  SQLBindCol(rows, 1, SQL_C_CHAR, abbreviation, sizeof(abbreviation),
             &indicators[0]);
  SQLBindCol(rows, 2, SQL_C_CHAR, value, sizeof(value), &indicators[1]);
  while (entry->designationCount < kMaxEntryNames && FetchRow(rows)) {
    if (indicators[1] == SQL_NULL_DATA) continue;
    TerminateFetchedText(abbreviation, indicators[0]);
    TerminateFetchedText(value, indicators[1]);
    Designation& designation = entry->designations[entry->designationCount++];
    std::snprintf(designation.abbreviation, sizeof(designation.abbreviation),
                  "%s", indicators[0] == SQL_NULL_DATA ? "" : abbreviation);
    std::snprintf(designation.value, sizeof(designation.value), "%s", value);
  }
  UnbindColumns(rows);
}

void TakeComponentName(void* context, int index, const char* name) {
  Component& component = static_cast<Component*>(context)[index];
  component.hasName = true;
  std::snprintf(component.name, sizeof(component.name), "%s", name);
}

// A failed read is kept as the read fault, which fails the entry.
void ReadComponents(SQLHSTMT statement, StarEntry* entry) {
  int32_t system = entry->id / kSystemSize;
  if (system == 0) return;
  char text[160];
  std::snprintf(text, sizeof(text),
                "SELECT OwnerID FROM Positions WHERE OwnerID BETWEEN %ld AND "
                "%ld ORDER BY OwnerID",
                static_cast<long>(system) * kSystemSize,
                static_cast<long>(system) * kSystemSize + kSystemSize - 1);
  CloseCursor(statement);
  if (!ExecuteStatement(statement, text)) return;
  int32_t ownerId = 0;
  SQLLEN indicator;
  SQLBindCol(statement, 1, SQL_C_LONG, &ownerId, 0, &indicator);
  int32_t previous = 0;
  while (entry->componentCount < kMaxComponents && FetchRow(statement)) {
    // Rows that are not a star's own, the star itself, and a second row of
    // the same star are passed over.
    if (indicator == SQL_NULL_DATA || ownerId % 100 != 0 ||
        ownerId == entry->id || ownerId == previous) {
      continue;
    }
    previous = ownerId;
    entry->components[entry->componentCount++].id = ownerId;
  }
  UnbindColumns(statement);
  int32_t ids[kMaxComponents];
  for (int i = 0; i < entry->componentCount; ++i) {
    Component& component = entry->components[i];
    ids[i] = component.id;
    component.hasName = false;
  }
  ReadNamesOfStars(statement, ids, entry->componentCount, TakeComponentName,
                   entry->components);
}

const char kFactsFailure[] = "the StarFacts table could not be read";

// Reads the StarFacts row of the entry's star; false when the table is
// there but could not be read.
bool ReadFacts(SQLHSTMT statement, StarEntry* entry) {
  entry->hasFacts = false;
  entry->facts = StarFacts{};
  // After a failed read the entry is not shown; nor could a missing table
  // be told from the fault kept.
  if (ReadFailed()) return true;
  return FetchStarFacts(statement, entry->id, &entry->facts, &entry->hasFacts);
}

// Members with a separation come first, nearest first, then the others;
// ties by ID.
bool ComesBefore(const SystemMember& a, const SystemMember& b) {
  if (a.hasSeparation != b.hasSeparation) return a.hasSeparation;
  if (a.hasSeparation && a.separation != b.separation) {
    return a.separation < b.separation;
  }
  return a.id < b.id;
}

void TakeMemberName(void* context, int index, const char* name) {
  SystemMember& member = static_cast<SystemMember*>(context)[index];
  member.hasName = true;
  std::snprintf(member.name, sizeof(member.name), "%s", name);
}

// Reads the other members of the entry's system, with their names and
// separations; false when they could not be read.
bool ReadSystemMembers(SQLHSTMT statement, StarEntry* entry) {
  entry->memberCount = 0;
  entry->membersCut = false;
  if (!entry->hasFacts || !entry->facts.hasSystem) return true;
  SQLHSTMT rows =
      ExecuteLookup(statement,
                    "SELECT OwnerID FROM StarFacts WHERE SystemID = "
                    "%ld ORDER BY OwnerID",
                    entry->facts.systemId);
  if (rows == SQL_NULL_HSTMT) {
    return false;
  }
  int32_t ownerId = 0;
  SQLLEN indicator;
  SQLBindCol(rows, 1, SQL_C_LONG, &ownerId, 0, &indicator);
  SQLRETURN fetched;
  while ((fetched = SQLFetch(rows)) != SQL_NO_DATA) {
    if (!SQL_SUCCEEDED(fetched)) {
      NoteReadFault(rows);
      UnbindColumns(rows);
      return false;
    }
    if (indicator == SQL_NULL_DATA || ownerId == entry->id) continue;
    if (entry->memberCount == kMaxSystemMembers) {
      entry->membersCut = true;
      break;
    }
    entry->members[entry->memberCount++].id = ownerId;
  }
  UnbindColumns(rows);
  int32_t ids[kMaxSystemMembers];
  for (int i = 0; i < entry->memberCount; ++i) {
    ids[i] = entry->members[i].id;
    entry->members[i].hasName = false;
  }
  // A failed read is kept as the read fault, which fails the entry.
  ReadNamesOfStars(statement, ids, entry->memberCount, TakeMemberName,
                   entry->members);
  for (int i = 0; i < entry->memberCount; ++i) {
    SystemMember& member = entry->members[i];
    PositionRecord position;
    CartesianPoint point;
    member.hasSeparation =
        entry->hasPoint &&
        FetchPositionRecord(statement, member.id, &position) &&
        PositionToCartesian(position, true, &point);
    member.separation = 0;
    if (member.hasSeparation) {
      double dx = point.x - entry->point.x;
      double dy = point.y - entry->point.y;
      double dz = point.z - entry->point.z;
      member.separation = std::sqrt(dx * dx + dy * dy + dz * dz);
    }
  }
  int32_t primary = entry->facts.systemId;
  std::sort(entry->members, entry->members + entry->memberCount,
            [primary](const SystemMember& a, const SystemMember& b) {
              if ((a.id == primary) != (b.id == primary)) {
                return a.id == primary;
              }
              return ComesBefore(a, b);
            });
  return true;
}

// Leaves out of the components those that the system's members list.
void DropListedComponents(StarEntry* entry) {
  int kept = 0;
  for (int i = 0; i < entry->componentCount; ++i) {
    bool listed = false;
    for (int j = 0; j < entry->memberCount; ++j) {
      listed = listed || entry->members[j].id == entry->components[i].id;
    }
    if (!listed) entry->components[kept++] = entry->components[i];
  }
  entry->componentCount = kept;
}

const char kNeighboursFailure[] = "the stars around it could not be read";

// Reads the stars within kNeighbourhoodRadius light-years of the entry's
// point, as the search around the star with that radius finds and ranks
// them; false when they could not all be read (or held).
bool ReadNeighbourhood(SQLHSTMT statement, StarEntry* entry) {
  entry->neighbourTotal = 0;
  entry->neighbourCount = 0;
  // After a failed read the entry is not shown anyway.
  if (!entry->hasPoint || ReadFailed()) return true;
  SearchWindow window;
  window.maxRadius = kNeighbourhoodRadius;
  NeighbourQuery query = MakeWindowQuery(window, entry->point, entry->id);
  NeighbourMatches matches;
  if (CollectNeighbours(statement, query, &matches) != ScanOutcome::kRead ||
      !matches.complete()) {
    return false;
  }
  int count = std::min(matches.count(), kMaxListedStars);
  matches.RankRange(0, count);
  for (int i = 0; i < count; ++i) entry->neighbours[i].match = matches[i];
  if (!ReadListedStars(statement, entry->neighbours, count)) return false;
  entry->neighbourTotal = matches.count();
  entry->neighbourCount = count;
  return true;
}

}  // namespace

EntryReading ReadStarEntry(SQLHSTMT statement, int32_t id, StarEntry* entry) {
  entry->failure = nullptr;
  bool exists = false;
  if (!FindPositionRow(statement, id, &exists)) return EntryReading::kFailed;
  if (!exists) return EntryReading::kUnknown;

  entry->id = id;
  entry->hasName = GetStarDisplayName(statement, id, entry->name);
  entry->hasPosition = FetchPositionRecord(statement, id, &entry->position);
  entry->hasSpectrum = FetchSpectrumRecord(statement, id + 1, &entry->spectrum);
  entry->properNameCount = 0;
  ReadProperNames(statement, entry);
  entry->designationCount = 0;
  ReadDesignations(statement, entry);
  entry->componentCount = 0;
  ReadComponents(statement, entry);
  entry->hasPoint = entry->hasPosition &&
                    PositionToCartesian(entry->position, true, &entry->point);
  if (!ReadFacts(statement, entry) || !ReadSystemMembers(statement, entry)) {
    CloseCursor(statement);
    entry->failure = kFactsFailure;
    return EntryReading::kFailed;
  }
  DropListedComponents(entry);
  if (!ReadNeighbourhood(statement, entry)) {
    CloseCursor(statement);
    entry->failure = kNeighboursFailure;
    return EntryReading::kFailed;
  }
  CloseCursor(statement);
  // Any part of the entry that could not be read would be missing from the
  // page without a word.
  return ReadFailed() ? EntryReading::kFailed : EntryReading::kFound;
}

}  // namespace veloran
