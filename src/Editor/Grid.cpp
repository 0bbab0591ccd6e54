// The grid: a few sizes chosen with G, drawn faintly over the level in the editor only, and
// the places a drag or N gives snapped to it.
#include <algorithm>
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
constexpr float DensestLines = 4.0f;  // pixels between grid lines at the least; closer ones are left out

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
    // Every grid line of the world within the window, as the view places it.
    const float step = s.grid * std::max(1.0f, std::ceil(DensestLines / (s.grid * s.view.zoom)));
    const Level::VECTOR low = WorldAt(s.view, 0, FieldBottom), high = WorldAt(s.view, Drawing::WindowWidth - 1, 0);
    // Counted, not summed: far from the origin a float plus a step can be the same float.
    const float x0 = std::ceil(low.x / step) * step, y0 = std::ceil(low.y / step) * step;
    for (std::int32_t k = 0; k <= Drawing::WindowWidth && x0 + static_cast<float>(k) * step <= high.x; ++k) {
        const std::int32_t px = Drawing::GetX(Viewed(s.view, {x0 + static_cast<float>(k) * step, 0.0f}).x);
        Wimdows::Line(px, 0, px, FieldBottom, GridColour);
    }
    for (std::int32_t k = 0; k <= Drawing::WindowHeight && y0 + static_cast<float>(k) * step <= high.y; ++k) {
        const std::int32_t py = Drawing::GetY(Viewed(s.view, {0.0f, y0 + static_cast<float>(k) * step}).y);
        if (py >= 0 && py <= FieldBottom) Wimdows::Line(0, py, Drawing::WindowWidth - 1, py, GridColour);
    }
}

}  // namespace Editor
