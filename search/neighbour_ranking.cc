#include "search/neighbour_ranking.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstdlib>

#include "search/position_source.h"

namespace veloran {

NeighbourMatches::~NeighbourMatches() { std::free(items_); }

bool NeighbourMatches::Append(const NeighbourMatch& match) {
  if (count_ == capacity_) {
    if (capacity_ > INT_MAX / 2) {
      lost_ = true;
      return false;
    }
    int capacity = capacity_ == 0 ? 1024 : capacity_ * 2;
    void* grown = std::realloc(items_, sizeof(NeighbourMatch) * capacity);
    if (grown == nullptr) {
      lost_ = true;
      return false;
    }
    items_ = static_cast<NeighbourMatch*>(grown);
    capacity_ = capacity;
  }
  items_[count_] = match;
  ++count_;
  return true;
}

void NeighbourMatches::Clear() {
  count_ = 0;
  lost_ = false;
}

void NeighbourMatches::RankRange(int first, int size) {
  assert(first >= 0 && size >= 0);
  if (first >= count_) return;
  int end = size > count_ - first ? count_ : first + size;
  // Nearer first; at equal distances the earlier row, as the classic
  // listing ranks them.  No two matches share a row, so the order is total
  // and the places of the range do not depend on the selection.
  auto nearer = [](const NeighbourMatch& a, const NeighbourMatch& b) {
    if (a.distance != b.distance) return a.distance < b.distance;
    return a.order < b.order;
  };
  NeighbourMatch* items = items_;
  if (end < count_) std::nth_element(items, items + end, items + count_, nearer);
  if (first > 0) std::nth_element(items, items + first, items + end, nearer);
  std::sort(items + first, items + end, nearer);
}

namespace {

struct Collection {
  const NeighbourQuery* query;
  NeighbourMatches* matches;
};

void Collect(void* context, const StarPosition& position) {
  auto* collection = static_cast<Collection*>(context);
  NeighbourMatch match;
  if (MatchNeighbour(*collection->query, position, &match)) {
    collection->matches->Append(match);
  }
}

}  // namespace

ScanOutcome CollectNeighbours(SQLHSTMT statement, const NeighbourQuery& query,
                              NeighbourMatches* matches) {
  matches->Clear();
  Collection collection{&query, matches};
  return VisitCandidates(statement, RegionOf(query), Collect, &collection);
}

}  // namespace veloran
