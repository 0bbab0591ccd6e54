// The hit test and the change of shape.
#include "Level/Geometry.hpp"

namespace Level {

bool Touches(const OBJECT& o, VECTOR p, float reach)
{
    switch (o.Type) {
        case SHAPE::Ball: {
            const double dx = static_cast<double>(p.x) - o.Position.x;
            const double dy = static_cast<double>(p.y) - o.Position.y;
            return std::hypot(dx, dy) <= std::fabs(static_cast<double>(o.Dimension.x)) + reach;
        }
        case SHAPE::Rectangle: {
            // A negative width or height still covers the box between its edges.
            const Extents e = ExtentsOf(o);
            return p.x >= std::min(e.left, e.right) - reach && p.x <= std::max(e.left, e.right) + reach &&
                   p.y >= std::min(e.bottom, e.top) - reach && p.y <= std::max(e.bottom, e.top) + reach;
        }
    }
    return false;
}

OBJECT Reshaped(const OBJECT& o, SHAPE shape)
{
    if (o.Type == shape) return o;
    const Extents e = ExtentsOf(o);
    OBJECT s = o;
    s.Type = shape;
    switch (shape) {
        case SHAPE::Ball: {
            const float r = std::max(0.0f, std::min(e.width, e.height) * 0.5f);
            s.Position = {e.left + e.width * 0.5f, e.bottom + e.height * 0.5f};
            s.Dimension = {r, 0.0f};
            break;
        }
        case SHAPE::Rectangle:
            s.Position = {e.left, e.bottom};
            s.Dimension = {e.width, e.height};
            break;
    }
    return s;
}

}  // namespace Level
