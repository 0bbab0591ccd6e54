// What each shape covers, in world units: the one place that knows it. The drawing places
// pictures by the extents, the editor picks and outlines bodies by them, and the checker's
// early stop reasons with the farthest point.
#pragma once

#include <algorithm>
#include <cmath>

#include "Level/Body.hpp"

namespace Level {

// The box a body covers (a ball's is the square around it); top is the higher y. A picture
// is drawn from (left, top) with the box's width and height.
struct Extents {
    float left;
    float bottom;
    float right;
    float top;
    float width;
    float height;
};
inline Extents ExtentsOf(const OBJECT& o)
{
    const float x = o.Position.x;
    const float y = o.Position.y;
    switch (o.Type) {
        case SHAPE::Ball: {
            const float r = o.Dimension.x;
            return {x - r, y - r, x + r, y + r, 2.0f * r, 2.0f * r};
        }
        case SHAPE::Rectangle: {
            const float w = o.Dimension.x;
            const float h = o.Dimension.y;
            return {x, y, x + w, y + h, w, h};
        }
    }
    return {x, y, x, y, 0.0f, 0.0f};
}

// Distance from the world's origin (the window's centre) to the body's farthest point.
inline double FarthestFromCentre(const OBJECT& o)
{
    const double x = o.Position.x;
    const double y = o.Position.y;
    switch (o.Type) {
        case SHAPE::Ball:
            return std::hypot(x, y) + std::fabs(o.Dimension.x);
        case SHAPE::Rectangle: {
            const double w = o.Dimension.x;
            const double h = o.Dimension.y;
            return std::max({std::hypot(x, y), std::hypot(x + w, y), std::hypot(x, y + h), std::hypot(x + w, y + h)});
        }
    }
    return std::hypot(x, y);
}

// Whether world point p lies on the body or within `reach` of its outline (the editor's pick).
bool Touches(const OBJECT& o, VECTOR p, float reach);

// The body as another shape over the same place: a ball becomes the square around it, a
// rectangle the largest ball inside it, centred.
OBJECT Reshaped(const OBJECT& o, SHAPE shape);

}  // namespace Level
