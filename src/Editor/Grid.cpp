// The grid: a few sizes chosen with G, drawn faintly over the level in the editor only, and
// the places a drag or N gives snapped to it.
#include <cmath>
#include <string>

#include "Console/Console.hpp"
#include "Drawing/Geometry.hpp"
#include "EditorInternal.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Editor {

namespace {

constexpr float Sizes[] = {0.0f, 10.0f, 25.0f, 50.0f};  // 0: no grid, whole units
constexpr std::uint32_t GridColour = 0x5A4A3A;
constexpr std::int32_t FieldBottom = 699;  // the status lines and the aiming box below

}  // namespace

float Snapped(float v, float grid)
{
    // To nearest, halves to even, as every rounding in the game.
    return grid > 0.0f ? std::nearbyint(v / grid) * grid : std::nearbyint(v);
}

void Session::NextGrid()
{
    std::size_t k = 0;
    while (k < std::size(Sizes) && Sizes[k] != grid) ++k;
    grid = Sizes[(k + 1) % std::size(Sizes)];
    Say(grid > 0.0f ? std::string(Console::Tr("Raster (G)")) + ": " + std::to_string(static_cast<int>(grid))
                    : std::string(Console::Tr("Raster uit (G)")));
}

void DrawGrid(const Session& s)
{
    if (s.grid <= 0.0f) return;
    const float halfW = static_cast<float>(Drawing::WindowWidth / 2),
                halfH = static_cast<float>(Drawing::WindowHeight / 2);
    for (float x = std::ceil(-halfW / s.grid) * s.grid; x <= halfW; x += s.grid)
        Wimdows::Line(Drawing::GetX(x), 0, Drawing::GetX(x), FieldBottom, GridColour);
    for (float y = std::ceil(-halfH / s.grid) * s.grid; y <= halfH; y += s.grid) {
        const std::int32_t py = Drawing::GetY(y);
        if (py >= 0 && py <= FieldBottom) Wimdows::Line(0, py, Drawing::WindowWidth - 1, py, GridColour);
    }
}

}  // namespace Editor
