// Bodies and levels for tests, the one place that builds them: as a level file would give
// them, every field not named 0.
#pragma once

#include <initializer_list>

#include "Level/Body.hpp"
#include "Level/File.hpp"

inline Level::OBJECT Ball(float x, float y, float r, float mass = 0.0f, float field = 0.0f)
{
    Level::OBJECT o = Level::NewObj();
    o.Position = {x, y};
    o.Dimension = {r, 0.0f};
    o.Mass = mass;
    o.Field = field;
    return o;
}

// A rectangle from its lower-left corner.
inline Level::OBJECT Box(float x, float y, float w, float h, float mass = 0.0f)
{
    Level::OBJECT o = Level::NewObj();
    o.Type = Level::SHAPE::Rectangle;
    o.Position = {x, y};
    o.Dimension = {w, h};
    o.Mass = mass;
    return o;
}

inline Level::OBJECT Deadly(Level::OBJECT o)
{
    o.GameOverOnCollision = true;
    return o;
}

// A level file in memory of these bodies, without comments.
inline Level::File FileOf(std::initializer_list<Level::OBJECT> bodies)
{
    Level::File file;
    for (const Level::OBJECT& o : bodies) {
        file.sections.push_back(Level::Section{o, {}, {}});
    }
    return file;
}

inline Level::Section SectionOf(const Level::OBJECT& o) { return Level::Section{o, {}, {}}; }
