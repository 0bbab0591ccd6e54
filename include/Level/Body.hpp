// What a level is made of: its bodies, their shapes and their kinds, and the object table the
// game plays. The simulation, the drawing, the editor and the tools all build on this; it has
// no window, sound or file code.
//
// Shapes and kinds are told apart in a switch without a default wherever it matters (the
// build makes -Wswitch-enum an error), so a new shape or kind fails to compile at every place
// that must handle it. HACKING.md lists those places.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Level {

struct VECTOR {
    float x;
    float y;
};

enum class SHAPE : std::uint8_t { Ball = 0, Rectangle = 1 };

struct OBJECT {
    SHAPE Type;
    VECTOR Dimension;  // ball: x is the radius; rectangle: width and height
    VECTOR Position;   // ball: centre; rectangle: lower-left corner
    VECTOR Speed;      // world units per second
    float Mass;        // 0: fields and collisions do not move the body
    float Field;       // > 0 attracts, < 0 repels
    bool GameOverOnCollision;
};

// A body with every field zero: a ball of radius 0 at the origin.
OBJECT NewObj();

// Whether `value` is the value of a shape (a body read from outside may hold any byte).
bool IsShape(std::uint8_t value);
// The shape's name in the tools' output: "ball", "rectangle".
const char* ShapeName(SHAPE shape);

// The object table: index 0 is the black hole, 1 the rocket, the others follow in file order.
constexpr std::size_t TableLength = 101;
using ObjectTable = std::array<OBJECT, TableLength>;
// A level as the game plays it: its bodies and the index of its last one (N at most 100).
struct Table {
    ObjectTable Objects{};
    std::uint32_t N = 0;
};

// ---- Kinds: what a body other than the black hole and the rocket is ----
enum class Kind : std::uint8_t { Attracting, Repelling, NoField, Asteroid, Wall, DeadlyWall };
struct KindFacts {
    SHAPE shape;
    const char* name;  // Dutch, for Console::Tr
};
KindFacts Facts(Kind kind);
// From the shape, mass, field and flag, as the pictures tell them apart.
Kind KindOf(const OBJECT& body);
// The body made that kind: its shape and fields set to match, its place and size kept as far
// as the shape allows; an asteroid keeps its course and mass.
OBJECT WithKind(const OBJECT& body, Kind kind);
// The kinds in turn, round to the first.
Kind NextKind(Kind kind);
// The kind's name in the player's language.
const char* KindName(Kind kind);

}  // namespace Level
