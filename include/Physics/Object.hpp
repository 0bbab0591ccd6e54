// The body record and the object table: all the level loader and the drawing's numbers need.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Physics {

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
    std::uint32_t Image;  // bitmap handles, set by the drawing module
    std::uint32_t Mask;
};

// The object table: index 0 is the black hole, 1 the rocket, the rest follow.
constexpr std::size_t TableLength = 101;
using ObjectTable = std::array<OBJECT, TableLength>;

// A level as a value: its bodies and the index of its last one (N at most 100).
struct Level {
    ObjectTable Objects{};
    std::uint32_t N = 0;
};

OBJECT NewObj();

}  // namespace Physics
