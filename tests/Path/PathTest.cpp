#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "Path/Path.hpp"

namespace {

using Points = std::vector<std::pair<int, int>>;

// Walks the list the way the frame drawing does.
Points Walk()
{
    Points points;
    if (!Path::Exists()) {
        return points;
    }
    Path::GoToFirstPoint();
    points.emplace_back(Path::X(), Path::Y());
    while (!Path::End()) {
        Path::GoToNextPoint();
        points.emplace_back(Path::X(), Path::Y());
    }
    return points;
}

struct PathTest : ::testing::Test {
    void SetUp() override { Path::Clear(); }
    void TearDown() override { Path::Clear(); }
};

}  // namespace

TEST_F(PathTest, OnlyConsecutiveRepeatsAreDropped)
{
    Path::Add(5, 5);
    EXPECT_FALSE(Path::Exists());  // one point draws no line
    Path::Add(5, 5);
    Path::Add(6, 5);
    EXPECT_TRUE(Path::Exists());
    EXPECT_EQ(Walk(), (Points{{5, 5}, {6, 5}}));

    Path::Clear();
    Path::Add(1, 1);
    Path::Add(2, 2);
    Path::Add(1, 1);
    EXPECT_EQ(Walk(), (Points{{1, 1}, {2, 2}, {1, 1}}));
}

TEST_F(PathTest, WalkSetsEndOnTheLastPoint)
{
    Path::Add(1, 10);
    Path::Add(2, 20);
    Path::Add(3, 30);
    Path::GoToFirstPoint();
    EXPECT_EQ(Path::X(), 1);
    EXPECT_EQ(Path::Y(), 10);
    EXPECT_FALSE(Path::End());
    Path::GoToNextPoint();
    EXPECT_EQ(Path::X(), 2);
    EXPECT_FALSE(Path::End());
    Path::GoToNextPoint();
    EXPECT_EQ(Path::X(), 3);
    EXPECT_EQ(Path::Y(), 30);
    EXPECT_TRUE(Path::End());

    // A finished walk leaves the cursor on the last point, so recording goes on in order.
    Path::Add(4, 40);
    EXPECT_EQ(Walk(), (Points{{1, 10}, {2, 20}, {3, 30}, {4, 40}}));

    // Stepping past the end stays on the last point instead of leaving the list.
    Path::GoToNextPoint();
    EXPECT_EQ(Path::X(), 4);
    EXPECT_TRUE(Path::End());
}

TEST_F(PathTest, AddAfterGoToFirstPointLinksInAfterTheFirst)
{
    Path::Add(1, 1);
    Path::Add(2, 2);
    Path::Add(3, 3);
    Path::GoToFirstPoint();
    Path::Add(9, 9);
    EXPECT_EQ(Walk(), (Points{{1, 1}, {9, 9}, {2, 2}, {3, 3}}));
}

TEST_F(PathTest, ClearEmptiesTheList)
{
    for (int i = 0; i < 1000; ++i) {
        Path::Add(i, -i);
    }
    EXPECT_TRUE(Path::Exists());
    Path::Clear();
    EXPECT_FALSE(Path::Exists());
    Path::Clear();  // clearing an empty list is harmless
    Path::Add(7, 8);
    EXPECT_FALSE(Path::Exists());
    Path::Add(7, 9);
    EXPECT_EQ(Walk(), (Points{{7, 8}, {7, 9}}));
}

TEST_F(PathTest, EmptyListIsSafeToRead)
{
    Path::GoToFirstPoint();
    EXPECT_EQ(Path::X(), 0);
    EXPECT_EQ(Path::Y(), 0);
    Path::GoToNextPoint();
    EXPECT_TRUE(Path::End());
}
