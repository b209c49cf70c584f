#ifndef VELORAN_SEARCH_NEIGHBOUR_RANKING_H_
#define VELORAN_SEARCH_NEIGHBOUR_RANKING_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "search/neighbour_scan.h"
#include "search/position_scan.h"

// The whole ranking of a neighbour search, not only its nearest 100: every
// match, nearest first, at equal distances in the order of their rows.
// Its first 100 are the stars of the classic listing, in its order; what
// follows continues it.

namespace veloran {

// Every match of one search.  Grows as the scan needs; a match that finds
// no memory is counted as lost, so that the ranking is known to be short.
class NeighbourMatches {
 public:
  NeighbourMatches() = default;
  NeighbourMatches(const NeighbourMatches&) = delete;
  NeighbourMatches& operator=(const NeighbourMatches&) = delete;
  ~NeighbourMatches();

  // Appends "match" after the others; false when no memory was left for it.
  bool Append(const NeighbourMatch& match);

  int count() const { return count_; }
  // False when a match was lost for want of memory.
  bool complete() const { return !lost_; }
  // The match in place i: in the order they were appended until
  // RankRange.
  const NeighbourMatch& operator[](int i) const { return items_[i]; }

  // Puts ranks first .. first + size - 1 (counting from 0) in their places
  // and in their order, nearer first and at equal distances the earlier
  // row (NeighbourMatch::order); the other places hold the other matches
  // in no particular order.  Ranks past the last match are left out.
  void RankRange(int first, int size);

  // Forgets every match, keeping the memory.
  void Clear();

 private:
  NeighbourMatch* items_ = nullptr;
  int count_ = 0;
  int capacity_ = 0;
  bool lost_ = false;
};

// Collects every match of "query" into *matches (cleared first), reading
// the rows that may match from the best source at hand
// (position_source.h).  A failed read is kept as the read fault and given
// as the outcome; *matches then holds what was read.
ScanOutcome CollectNeighbours(SQLHSTMT statement, const NeighbourQuery& query,
                              NeighbourMatches* matches);

}  // namespace veloran

#endif  // VELORAN_SEARCH_NEIGHBOUR_RANKING_H_
