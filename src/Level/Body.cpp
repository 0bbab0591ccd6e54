// Bodies, shapes and kinds.
#include <cmath>

#include "Console/Console.hpp"
#include "Level/Body.hpp"
#include "Level/Geometry.hpp"

namespace Level {

namespace {

// What a new planet pulls or pushes with, and an asteroid's mass, when a body becomes one.
constexpr float PlanetField = 300000.0f;
constexpr float AsteroidMass = 2.0f;

}  // namespace

OBJECT NewObj()
{
    OBJECT o{};
    o.Type = SHAPE::Ball;
    return o;
}

bool IsShape(std::uint8_t value)
{
    switch (static_cast<SHAPE>(value)) {
        case SHAPE::Ball:
        case SHAPE::Rectangle:
            return true;
    }
    return false;
}

const char* ShapeName(SHAPE shape)
{
    switch (shape) {
        case SHAPE::Ball:
            return "ball";
        case SHAPE::Rectangle:
            return "rectangle";
    }
    return "";
}

KindFacts Facts(Kind kind)
{
    switch (kind) {
        case Kind::Attracting:
            return {SHAPE::Ball, Console::TrLater("planeet (trekt aan)")};
        case Kind::Repelling:
            return {SHAPE::Ball, Console::TrLater("planeet (stoot af)")};
        case Kind::NoField:
            return {SHAPE::Ball, Console::TrLater("planeet (geen veld)")};
        case Kind::Asteroid:
            return {SHAPE::Ball, Console::TrLater("asteroide")};
        case Kind::Wall:
            return {SHAPE::Rectangle, Console::TrLater("muur")};
        case Kind::DeadlyWall:
            return {SHAPE::Rectangle, Console::TrLater("dodelijke muur")};
    }
    return {SHAPE::Ball, ""};
}

Kind KindOf(const OBJECT& o)
{
    switch (o.Type) {
        case SHAPE::Rectangle:
            return o.GameOverOnCollision ? Kind::DeadlyWall : Kind::Wall;
        case SHAPE::Ball:
            break;
    }
    // -0 compares equal to 0, as it should; a NaN field counts as none.
    if (o.Mass != 0.0f) return Kind::Asteroid;
    if (o.Field > 0.0f) return Kind::Attracting;
    if (o.Field < 0.0f) return Kind::Repelling;
    return Kind::NoField;
}

Kind NextKind(Kind kind)
{
    switch (kind) {
        case Kind::Attracting:
            return Kind::Repelling;
        case Kind::Repelling:
            return Kind::NoField;
        case Kind::NoField:
            return Kind::Asteroid;
        case Kind::Asteroid:
            return Kind::Wall;
        case Kind::Wall:
            return Kind::DeadlyWall;
        case Kind::DeadlyWall:
            return Kind::Attracting;
    }
    return Kind::Attracting;
}

OBJECT WithKind(const OBJECT& body, Kind kind)
{
    OBJECT o = Reshaped(body, Facts(kind).shape);
    o.GameOverOnCollision = kind == Kind::DeadlyWall;
    const float strength = o.Field != 0.0f ? std::fabs(o.Field) : PlanetField;
    switch (kind) {
        case Kind::Attracting:
        case Kind::Repelling:
            o.Field = kind == Kind::Attracting ? strength : -strength;
            o.Mass = 0.0f;
            o.Speed = {0.0f, 0.0f};
            break;
        case Kind::NoField:
        case Kind::Wall:
        case Kind::DeadlyWall:
            o.Field = 0.0f;
            o.Mass = 0.0f;
            o.Speed = {0.0f, 0.0f};
            break;
        case Kind::Asteroid:
            o.Field = 0.0f;
            o.Mass = o.Mass > 0.0f ? o.Mass : AsteroidMass;
            break;
    }
    return o;
}

const char* KindName(Kind kind) { return Console::Tr(Facts(kind).name); }

}  // namespace Level
