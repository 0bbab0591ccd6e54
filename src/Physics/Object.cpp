#include "Physics/Object.hpp"

namespace Physics {

OBJECT NewObj()
{
    OBJECT o{};
    o.Type = SHAPE::Ball;
    return o;
}

}  // namespace Physics
