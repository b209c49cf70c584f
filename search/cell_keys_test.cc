#include "search/cell_keys.h"

#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "search/key_ranges.h"

namespace veloran {
namespace {

bool Covered(const KeyRanges& ranges, int64_t key) {
  for (int i = 0; i < ranges.count; ++i) {
    if (key >= ranges.ranges[i].first && key <= ranges.ranges[i].last) {
      return true;
    }
  }
  return false;
}

// The distance as the searches compute it.
double SearchDistance(const CartesianPoint& a, const CartesianPoint& b) {
  double dx = a.x - b.x;
  double dy = a.y - b.y;
  double dz = a.z - b.z;
  return std::sqrt((dz * dz + dy * dy) + dx * dx);
}

TEST(CellKeysTest, JoinsTouchingAndOverlappingRuns) {
  KeyRanges ranges;
  ranges.ranges[0] = {20, 30};
  ranges.ranges[1] = {0, 4};
  ranges.ranges[2] = {5, 9};    // touches 0-4
  ranges.ranges[3] = {25, 40};  // overlaps 20-30
  ranges.ranges[4] = {11, 11};  // a gap of one key before it
  ranges.count = 5;
  JoinKeyRanges(&ranges);
  ASSERT_EQ(ranges.count, 3);
  EXPECT_EQ(ranges.ranges[0].first, 0);
  EXPECT_EQ(ranges.ranges[0].last, 9);
  EXPECT_EQ(ranges.ranges[1].first, 11);
  EXPECT_EQ(ranges.ranges[2].first, 20);
  EXPECT_EQ(ranges.ranges[2].last, 40);
}

TEST(CellKeysTest, CellsOfPoints) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(CellKeyOf({kNaN, 0, 0}), kNoCell);
  EXPECT_EQ(CellKeyOf({0, 0, kNaN}), kNoCell);
  // A cell's lowest corner is in it; the next cell starts at the next
  // light-year.
  EXPECT_EQ(CellKeyOf({1.0, 2.0, 3.0}), CellKeyOf({1.999, 2.5, 3.0}));
  EXPECT_NE(CellKeyOf({1.0, 2.0, 3.0}), CellKeyOf({2.0, 2.0, 3.0}));
  EXPECT_NE(CellKeyOf({-0.5, 0, 0}), CellKeyOf({0.5, 0, 0}));
  // Far away, and infinitely far, is the outermost cell.
  EXPECT_EQ(CellKeyOf({1e7, 1e7, 1e7}), CellKeyOf({kInf, kInf, kInf}));
  EXPECT_EQ(CellKeyOf({-1e9, 0, 0}), CellKeyOf({-kInf, 0, 0}));
  EXPECT_GE(CellKeyOf({-kInf, -kInf, -kInf}), 0);
}

TEST(CellKeysTest, RegionsWithoutBoundsOrMatches) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  KeyRanges ranges;
  EXPECT_FALSE(CoverBall({0, 0, 0}, 0, kInf, 64, &ranges));
  EXPECT_FALSE(CoverBall({0, 0, 0}, 0, kNaN, 64, &ranges));
  EXPECT_FALSE(CoverBall({kNaN, 0, 0}, 0, 10, 64, &ranges));
  EXPECT_FALSE(CoverBall({1e300, 0, 0}, 0, 1e300, 64, &ranges));
  // All of space: every row is read.
  EXPECT_FALSE(CoverBall({0, 0, 0}, 0, 1e12, 64, &ranges));
  // No distance can be in range: nothing.
  ASSERT_TRUE(CoverBall({0, 0, 0}, 0, -1, 64, &ranges));
  EXPECT_EQ(ranges.count, 0);
  ASSERT_TRUE(CoverBall({0, 0, 0}, 20, 10, 64, &ranges));
  EXPECT_EQ(ranges.count, 0);
  // A maximum of 0 takes the centre's cell.
  ASSERT_TRUE(CoverBall({3.5, 3.5, 3.5}, 0, 0, 64, &ranges));
  EXPECT_TRUE(Covered(ranges, CellKeyOf({3.5, 3.5, 3.5})));
}

// Points in range, as the searches compute distances, are in the covering:
// random shells about random centres, with points near their surfaces and
// on the borders of cells.
struct BallCase {
  double centreSpread;  // the centre's coordinates up to this
  double maxDistance;
  double minFraction;  // the minimum as a share of the maximum
  int budget;
};

class CoverBallTest : public testing::TestWithParam<BallCase> {};

TEST_P(CoverBallTest, HoldsEveryPointInRange) {
  const BallCase& c = GetParam();
  std::mt19937_64 random(static_cast<uint64_t>(c.maxDistance * 1000 +
                                               c.centreSpread + c.budget));
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  int inRange = 0;
  for (int trial = 0; trial < 40; ++trial) {
    CartesianPoint centre{c.centreSpread * unit(random),
                          c.centreSpread * unit(random),
                          c.centreSpread * unit(random)};
    // Centres on a cell border, too.
    if (trial % 4 == 0) centre.x = std::floor(centre.x);
    double max = c.maxDistance;
    double min = c.minFraction * max;
    KeyRanges ranges;
    ASSERT_TRUE(CoverBall(centre, min, max, c.budget, &ranges));
    ASSERT_LE(ranges.count, c.budget);
    for (int i = 0; i < 3000; ++i) {
      // A direction, and a distance near the maximum or the minimum.
      double dx = unit(random), dy = unit(random), dz = unit(random);
      double norm = std::sqrt(dx * dx + dy * dy + dz * dz);
      if (norm == 0.0) continue;
      double edge = i % 2 == 0 ? max : min;
      double r = edge * (1.0 + 1e-12 * unit(random)) + 1e-13 * unit(random);
      if (i % 7 == 0) r = max * std::fabs(unit(random));
      CartesianPoint point{centre.x + dx / norm * r, centre.y + dy / norm * r,
                           centre.z + dz / norm * r};
      // On the border of a cell, in one axis or all.
      if (i % 5 == 0) point.y = std::round(point.y);
      if (i % 11 == 0) {
        point = {std::round(point.x), std::round(point.y),
                 std::round(point.z)};
      }
      double d = SearchDistance(point, centre);
      if (d > max || d < min) continue;
      ++inRange;
      ASSERT_TRUE(Covered(ranges, CellKeyOf(point)))
          << "centre (" << centre.x << ", " << centre.y << ", " << centre.z
          << "), point (" << point.x << ", " << point.y << ", " << point.z
          << "), distance " << d;
    }
  }
  EXPECT_GT(inRange, 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Shells, CoverBallTest,
    testing::Values(BallCase{0, 20, 0, 48},        // about the Sun
                    BallCase{50, 20, 0, 48},       // near it
                    BallCase{500, 20, 0, 64},
                    BallCase{300, 3.3, 0, 8},      // smaller than a cell
                    BallCase{300, 0.25, 0, 48},
                    BallCase{100, 100, 0.5, 48},   // a shell
                    BallCase{1000, 1500, 0, 48},   // wide
                    BallCase{2e6, 50, 0, 48},      // beyond the cells
                    BallCase{3e5, 4e5, 0.9, 64},
                    BallCase{10, 20, 0, 8}));      // eight runs about the Sun

// A small search reads a small part of space: the covering of a 20
// light-year ball is a few times its volume, not the whole grid.
TEST(CellKeysTest, SmallBallsHaveTightCoverings) {
  KeyRanges ranges;
  ASSERT_TRUE(CoverBall({123.4, -56.7, 8.9}, 0, 20, 48, &ranges));
  double cells = 0;
  for (int i = 0; i < ranges.count; ++i) {
    cells += static_cast<double>(ranges.ranges[i].last -
                                 ranges.ranges[i].first) + 1.0;
  }
  double ball = 4.0 / 3.0 * 3.14159 * 20 * 20 * 20;
  EXPECT_LT(cells, 8 * ball);
  EXPECT_GE(cells, ball);
}

}  // namespace
}  // namespace veloran
