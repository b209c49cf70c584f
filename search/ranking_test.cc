#include <vector>

#include <gtest/gtest.h>

#include "search/neighbour_scan.h"

namespace veloran {
namespace {

std::vector<int> Ids(const NeighbourList& list) {
  std::vector<int> ids;
  for (int i = 0; i < list.count; ++i) ids.push_back(list.entries[i].starId);
  return ids;
}

TEST(RankingTest, NearestFirstTiesInArrivalOrder) {
  NeighbourList list;
  RankNeighbour(&list, 100, 5.0);
  RankNeighbour(&list, 200, 3.0);
  RankNeighbour(&list, 300, 5.0);
  RankNeighbour(&list, 400, 3.0);
  RankNeighbour(&list, 500, 9.0);
  RankNeighbour(&list, 600, 0.0);
  EXPECT_EQ(Ids(list), (std::vector<int>{600, 200, 400, 100, 300, 500}));
}

TEST(RankingTest, FullList) {
  NeighbourList list;
  for (int i = 1; i <= 100; ++i) RankNeighbour(&list, i * 100, i);
  ASSERT_EQ(list.count, 100);
  // As far as the farthest: not taken.
  RankNeighbour(&list, 999900, 100.0);
  EXPECT_EQ(list.entries[99].starId, 10000);
  // Farther: not taken.
  RankNeighbour(&list, 999800, 1000.0);
  EXPECT_EQ(list.count, 100);
  EXPECT_EQ(list.entries[99].starId, 10000);
  // Nearer than the farthest: taken, and the farthest drops out.
  RankNeighbour(&list, 999700, 99.5);
  EXPECT_EQ(list.count, 100);
  EXPECT_EQ(list.entries[98].starId, 9900);
  EXPECT_EQ(list.entries[99].starId, 999700);
  // The nearest of all goes first and pushes everything along.
  RankNeighbour(&list, 999600, 0.5);
  EXPECT_EQ(list.entries[0].starId, 999600);
  EXPECT_EQ(list.entries[1].starId, 100);
  EXPECT_EQ(list.entries[99].starId, 9900);
}

}  // namespace
}  // namespace veloran
