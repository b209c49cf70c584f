#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "search/neighbour_ranking.h"
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
  RankNeighbour(&list, 100, 5.0, 1);
  RankNeighbour(&list, 200, 3.0, 2);
  RankNeighbour(&list, 300, 5.0, 3);
  RankNeighbour(&list, 400, 3.0, 4);
  RankNeighbour(&list, 500, 9.0, 5);
  RankNeighbour(&list, 600, 0.0, 6);
  EXPECT_EQ(Ids(list), (std::vector<int>{600, 200, 400, 100, 300, 500}));
}

TEST(RankingTest, FullList) {
  NeighbourList list;
  for (int i = 1; i <= 100; ++i) RankNeighbour(&list, i * 100, i, i);
  ASSERT_EQ(list.count, 100);
  // As far as the farthest: not taken.
  RankNeighbour(&list, 999900, 100.0, 101);
  EXPECT_EQ(list.entries[99].starId, 10000);
  // Farther: not taken.
  RankNeighbour(&list, 999800, 1000.0, 102);
  EXPECT_EQ(list.count, 100);
  EXPECT_EQ(list.entries[99].starId, 10000);
  // Nearer than the farthest: taken, and the farthest drops out.
  RankNeighbour(&list, 999700, 99.5, 103);
  EXPECT_EQ(list.count, 100);
  EXPECT_EQ(list.entries[98].starId, 9900);
  EXPECT_EQ(list.entries[99].starId, 999700);
  // The nearest of all goes first and pushes everything along.
  RankNeighbour(&list, 999600, 0.5, 104);
  EXPECT_EQ(list.entries[0].starId, 999600);
  EXPECT_EQ(list.entries[1].starId, 100);
  EXPECT_EQ(list.entries[99].starId, 9900);
}

// The same matches ranked the classic way and by ranges of the whole
// ranking: the first 100 agree, and the ranges together list every match
// once, each range in the order of a stable sort by distance.  Met in the
// order of their rows, as the classic scan meets them, or in another, as
// an index hands them over: the ranking is the same.
struct RankingCase {
  int matches;
  int distinctDistances;  // few: many ties
  int pageSize;
  bool shuffled;
};

class WholeRankingTest : public testing::TestWithParam<RankingCase> {};

TEST_P(WholeRankingTest, ContinuesTheClassicRanking) {
  const RankingCase& c = GetParam();
  std::mt19937 random(c.matches * 31 + c.distinctDistances);
  std::uniform_int_distribution<int> distanceStep(0, c.distinctDistances - 1);
  NeighbourList classic;
  NeighbourMatches whole;
  std::vector<NeighbourMatch> arrived;
  for (int i = 0; i < c.matches; ++i) {
    NeighbourMatch match{};
    match.starId = (i + 1) * 100;
    match.order = i;
    match.distance = 2.0 + 0.25 * distanceStep(random);
    arrived.push_back(match);
  }
  std::vector<NeighbourMatch> met = arrived;
  if (c.shuffled) std::shuffle(met.begin(), met.end(), random);
  for (const NeighbourMatch& match : met) {
    RankNeighbour(&classic, match.starId, match.distance, match.order);
    ASSERT_TRUE(whole.Append(match));
  }
  std::vector<NeighbourMatch> expected = arrived;
  std::stable_sort(expected.begin(), expected.end(),
                   [](const NeighbourMatch& a, const NeighbourMatch& b) {
                     return a.distance < b.distance;
                   });

  whole.RankRange(0, kMaxListedStars);
  int listed = std::min(c.matches, kMaxListedStars);
  ASSERT_EQ(classic.count, listed);
  for (int i = 0; i < listed; ++i) {
    EXPECT_EQ(whole[i].starId, classic.entries[i].starId) << "rank " << i;
  }

  // Ranges from the last to the first, so that each selection starts from
  // what the one before left.
  std::vector<int32_t> paged(c.matches);
  for (int first = (c.matches - 1) / c.pageSize * c.pageSize; first >= 0;
       first -= c.pageSize) {
    whole.RankRange(first, c.pageSize);
    int end = std::min(c.matches, first + c.pageSize);
    for (int i = first; i < end; ++i) paged[i] = whole[i].starId;
  }
  for (int i = 0; i < c.matches; ++i) {
    ASSERT_EQ(paged[i], expected[i].starId) << "rank " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ties, WholeRankingTest,
    testing::Values(RankingCase{0, 1, 100, false},
                    RankingCase{1, 1, 100, false},
                    RankingCase{100, 3, 100, false},
                    RankingCase{101, 1, 100, false},
                    RankingCase{552, 7, 100, false},
                    RankingCase{2500, 40, 37, false},
                    RankingCase{5000, 5000, 1000, false},
                    RankingCase{101, 1, 100, true},
                    RankingCase{552, 7, 100, true},
                    RankingCase{2500, 40, 37, true},
                    RankingCase{5000, 5000, 1000, true}));

TEST(WholeRankingTest, RangesPastTheEndAreEmpty) {
  NeighbourMatches whole;
  for (int i = 0; i < 5; ++i) {
    NeighbourMatch match{};
    match.starId = (5 - i) * 100;
    match.distance = 5 - i;
    ASSERT_TRUE(whole.Append(match));
  }
  whole.RankRange(10, 100);  // leaves the matches as they are
  EXPECT_EQ(whole[0].starId, 500);
  whole.RankRange(3, 100);
  EXPECT_EQ(whole[3].starId, 400);
  EXPECT_EQ(whole[4].starId, 500);
  whole.Clear();
  EXPECT_EQ(whole.count(), 0);
  EXPECT_TRUE(whole.complete());
}

}  // namespace
}  // namespace veloran
