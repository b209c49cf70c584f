#include "search/position_source.h"

#include "catalogue/data_source.h"
#include "catalogue/read_fault.h"
#include "search/kept_positions.h"
#include "search/key_ranges.h"
#include "search/stored_index.h"

namespace veloran {

namespace {

// The most runs of keys that one statement of the stored index asks for.
constexpr int kStoredIndexBudget = 48;

// The kept rows, when a resident worker keeps them: kKept after they
// were handed over.
KeptState VisitKept(SQLHSTMT statement, const SearchRegion& region,
                    PositionVisitor visit, void* context,
                    ScanOutcome* outcome) {
  KeptState state = KeepStarPositions(statement, outcome);
  if (state == KeptState::kKept) {
    VisitKeptPositions(region, visit, context);
    *outcome = ScanOutcome::kRead;
  }
  return state;
}

}  // namespace

ScanOutcome VisitStarPositions(SQLHSTMT statement, const SearchRegion& region,
                               PositionVisitor visit, void* context) {
  ScanOutcome outcome;
  if (VisitKept(statement, region, visit, context, &outcome) !=
      KeptState::kNotKept) {
    return outcome;
  }
  return ReadStarPositions(statement, visit, context);
}

ScanOutcome VisitCandidates(SQLHSTMT statement, const SearchRegion& region,
                            PositionVisitor visit, void* context) {
  ScanOutcome outcome;
  if (VisitKept(statement, region, visit, context, &outcome) !=
      KeptState::kNotKept) {
    return outcome;
  }
  // Faults of the index alone are forgotten: the scan reads instead.  One
  // kept before is the request's and stays.
  bool failedBefore = ReadFailed();
  IndexKey key;
  KeyRanges ranges;
  if (CoverRegion(region, kStoredIndexBudget, &key, &ranges)) {
    // No row can lie in the region: nothing to read.
    if (ranges.count == 0) return ScanOutcome::kRead;
    SQLHDBC connection = RequestConnection();
    StoredIndexState state = CheckStoredIndex(connection, statement);
    // An index that cannot be read leaves the reading to the scan, which
    // meets any fault of the database itself.
    if (state == StoredIndexState::kUnreadable && !failedBefore) {
      ForgetReadFault();
    }
    if (state == StoredIndexState::kUsable) {
      outcome = VisitStoredIndex(statement, key, ranges, visit, context);
      if (outcome != ScanOutcome::kNotExecuted) return outcome;
      // Nothing was handed over: the scan reads the rows instead.
      if (!failedBefore) ForgetReadFault();
    }
  }
  return ReadStarPositions(statement, visit, context);
}

}  // namespace veloran
