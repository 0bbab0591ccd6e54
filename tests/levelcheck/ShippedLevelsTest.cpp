// The level files the game ships: readable, laid out inside the window, and using every
// kind of body across the set.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "Game/Game.hpp"
#include "Level/Geometry.hpp"
#include "ShippedLevels.hpp"

namespace {

using Level::OBJECT;
using Level::SHAPE;

struct Area {
    float left, bottom, right, top;  // world coordinates
};

// Where the head-up display bar and the score and level texts are drawn.
constexpr Area Hud{-512.0f, -384.0f, -212.0f, -316.0f};
constexpr Area ScoreText{-512.0f, 344.0f, -352.0f, 384.0f};
constexpr Area LevelText{432.0f, 344.0f, 512.0f, 384.0f};

Area Picture(const OBJECT& o)
{
    const Level::Extents b = Level::ExtentsOf(o);
    return {b.left, b.bottom, b.right, b.top};
}

bool Overlaps(const Area& a, const Area& b)
{
    return a.left < b.right && b.left < a.right && a.bottom < b.top && b.bottom < a.top;
}

}  // namespace

TEST(ShippedLevelsTest, LoadCleanlyAndStayInsideTheWindow)
{
    const std::vector<std::filesystem::path> files = ShippedLevelFiles();
    ASSERT_GE(files.size(), 12u);
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        std::ifstream in(file);
        std::string first;
        std::getline(in, first);
        EXPECT_EQ(first.rfind("* Level ", 0), 0u) << "a level opens with a comment that names its idea";

        Level::Table level;
        const Game::LevelReport report = Game::LoadLevelFile(file.string().c_str(), level);
        ASSERT_TRUE(report.opened);
        EXPECT_EQ(report.badLines, 0u);
        EXPECT_FALSE(report.tooManySections);
        ASSERT_FALSE(report.tooFewSections);

        const OBJECT& hole = level.Objects[0];
        const OBJECT& rocket = level.Objects[1];
        EXPECT_GT(rocket.Mass, 0.0f);
        EXPECT_EQ(hole.Type, SHAPE::Ball);
        EXPECT_EQ(rocket.Type, SHAPE::Ball);
        const float start = std::hypot(hole.Position.x - rocket.Position.x, hole.Position.y - rocket.Position.y);
        EXPECT_GT(start, hole.Dimension.x + rocket.Dimension.x) << "the rocket starts clear of the black hole";

        for (std::uint32_t i = 0; i <= level.N; ++i) {
            const OBJECT& o = level.Objects[i];
            const Area a = Picture(o);
            EXPECT_GT(o.Dimension.x, 0.0f) << "body " << i;
            if (o.Type == SHAPE::Rectangle) {
                EXPECT_GT(o.Dimension.y, 0.0f) << "body " << i;
            }
            EXPECT_TRUE(a.left >= -512.0f && a.right <= 512.0f && a.bottom >= -384.0f && a.top <= 384.0f)
                << "body " << i << " starts outside the window";
            if (i <= 1) {
                EXPECT_FALSE(Overlaps(a, Hud)) << "body " << i << " under the head-up display";
                EXPECT_FALSE(Overlaps(a, ScoreText)) << "body " << i << " under the score";
                EXPECT_FALSE(Overlaps(a, LevelText)) << "body " << i << " under the level number";
            }
            if (i >= 2 && o.Mass != 0.0f) {
                const float gap = std::hypot(o.Position.x - rocket.Position.x, o.Position.y - rocket.Position.y);
                EXPECT_GT(gap, o.Dimension.x + rocket.Dimension.x) << "body " << i << " starts on the rocket";
            }
        }
    }
}

TEST(ShippedLevelsTest, EveryKindOfBodyAppears)
{
    std::set<std::string> kinds;
    for (const auto& file : ShippedLevelFiles()) {
        Level::Table level;
        ASSERT_TRUE(Game::LoadLevelFile(file.string().c_str(), level).opened);
        for (std::uint32_t i = 2; i <= level.N; ++i) {
            const OBJECT& o = level.Objects[i];
            const bool moving = o.Speed.x != 0.0f || o.Speed.y != 0.0f;
            if (o.Type == SHAPE::Rectangle) {
                kinds.insert(o.GameOverOnCollision ? "red rectangle" : "blue rectangle");
                if (o.Field != 0.0f) {
                    kinds.insert("rectangle with a field");
                }
            } else if (o.Mass != 0.0f) {
                kinds.insert(moving ? "moving asteroid" : "asteroid at rest");
            } else {
                kinds.insert(o.Field > 0.0f   ? "attracting planet"
                             : o.Field < 0.0f ? "repelling planet"
                                              : "planet without a field");
            }
            if (o.Mass == 0.0f && moving) {
                kinds.insert("body on a fixed course");
            }
        }
    }
    const std::set<std::string> all = {"red rectangle",    "blue rectangle",         "rectangle with a field",
                                       "moving asteroid",  "asteroid at rest",       "attracting planet",
                                       "repelling planet", "planet without a field", "body on a fixed course"};
    EXPECT_EQ(kinds, all);
}
