// Zoom and pan: the level drawn larger or smaller about the pointer (Ctrl+wheel), moved with
// the middle or right button, fitted to the window (F) and back as the game shows it (Home).
// Every edit stays in level units: only the drawing and the pointer go through the view.
// While the view is not the game's, the game's own window is drawn as a frame, so the maker
// sees what the player will see and reaches bodies outside it.
#include <algorithm>
#include <cmath>
#include <string>

#include "Console/Console.hpp"
#include "Drawing/Geometry.hpp"
#include "EditorInternal.hpp"
#include "Level/Geometry.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Editor {

namespace {

using Drawing::WindowHeight;
using Drawing::WindowWidth;

constexpr float Zooms[] = {0.1f, 0.25f, 0.5f, 0.75f, 1.0f, 1.5f, 2.0f, 3.0f, 4.0f};
// Window pixels: every coordinate the view gives the drawing stays far inside 32 bits.
constexpr float MostPan = 1.0e7f;
constexpr std::uint32_t FrameColour = 0x808080;
constexpr float FitMargin = 20.0f;  // pixels left free around a fitted level

float Pan(float v) { return std::clamp(std::nearbyint(v), -MostPan, MostPan); }

// The view with zoom z that shows world point w at window pixel (x, y).
View Placed(float z, const Level::VECTOR& w, float x, float y)
{
    return {z, Pan(x - static_cast<float>(WindowWidth / 2) - w.x * z),
            Pan(static_cast<float>(WindowHeight / 2) - y - w.y * z)};
}

}  // namespace

Level::VECTOR WorldAt(const View& view, std::int32_t x, std::int32_t y)
{
    // The inverse of Drawing's mapping after the view's own.
    return {(static_cast<float>(x - WindowWidth / 2) - view.panX) / view.zoom,
            (static_cast<float>(WindowHeight / 2 - y) - view.panY) / view.zoom};
}

Level::VECTOR Viewed(const View& view, const Level::VECTOR& p)
{
    return {p.x * view.zoom + view.panX, p.y * view.zoom + view.panY};
}

Level::OBJECT Viewed(const View& view, const Level::OBJECT& body)
{
    if (view == View{}) return body;
    Level::OBJECT b = body;
    b.Position = Viewed(view, body.Position);
    b.Dimension = {body.Dimension.x * view.zoom, body.Dimension.y * view.zoom};
    return b;
}

std::string ZoomText(const View& view)
{
    return std::to_string(static_cast<int>(std::nearbyint(view.zoom * 100.0f))) + " %";
}

void Session::ZoomAt(std::int32_t clicks, std::int32_t x, std::int32_t y)
{
    float z = view.zoom;
    for (std::int32_t n = std::min(std::abs(clicks), 8); n > 0; --n) {
        if (clicks > 0) {
            const float* up = std::upper_bound(std::begin(Zooms), std::end(Zooms), z);
            if (up != std::end(Zooms)) z = *up;
        } else {
            const float* down = std::lower_bound(std::begin(Zooms), std::end(Zooms), z);
            if (down != std::begin(Zooms)) z = *(down - 1);
        }
    }
    // The point under the pointer stays there.
    view = Placed(z, WorldAt(view, x, y), static_cast<float>(x), static_cast<float>(y));
    Say(std::string(Console::Tr("Zoom (Ctrl+wiel, F: passend, Home: als in het spel)")) + ": " + ZoomText(view));
}

void Session::Fit()
{
    float left = INFINITY, right = -INFINITY, bottom = INFINITY, top = -INFINITY;
    for (const Level::Section& section : doc.level().sections) {
        const Level::Extents e = Level::ExtentsOf(section.body);
        if (!std::isfinite(e.left) || !std::isfinite(e.right) || !std::isfinite(e.top) || !std::isfinite(e.bottom))
            continue;
        left = std::min(left, e.left);
        right = std::max(right, e.right);
        bottom = std::min(bottom, std::min(e.bottom, e.top));
        top = std::max(top, std::max(e.bottom, e.top));
    }
    if (left > right) return;
    const float width = static_cast<float>(WindowWidth) - 2.0f * FitMargin;
    const float height = static_cast<float>(FieldBottom + 1) - 2.0f * FitMargin;
    float z = std::min(width / std::max(right - left, 1.0f), height / std::max(top - bottom, 1.0f));
    z = std::clamp(z, Zooms[0], Zooms[std::size(Zooms) - 1]);
    // The middle of the level in the middle of the field above the status lines.
    view = Placed(z, {(left + right) / 2.0f, (bottom + top) / 2.0f}, static_cast<float>(WindowWidth / 2),
                  static_cast<float>((FieldBottom + 1) / 2));
    Say(std::string(Console::Tr("Zoom (Ctrl+wiel, F: passend, Home: als in het spel)")) + ": " + ZoomText(view));
}

void Session::ResetView()
{
    view = View{};
    Say(std::string(Console::Tr("Zoom (Ctrl+wiel, F: passend, Home: als in het spel)")) + ": " + ZoomText(view));
}

bool Session::PanMouse(const Wimdows::MouseEvent& e)
{
    using Type = Wimdows::MouseEvent::Type;
    switch (e.type) {
        case Type::MiddleDown:
        case Type::RightDown:
            panning = true;
            panFromX = e.x;
            panFromY = e.y;
            return true;
        case Type::MiddleUp:
        case Type::RightUp:
            panning = false;
            return true;
        case Type::Move:
            if (!panning) return false;
            view.panX = Pan(view.panX + static_cast<float>(e.x - panFromX));
            view.panY = Pan(view.panY - static_cast<float>(e.y - panFromY));  // the window's rows go down
            panFromX = e.x;
            panFromY = e.y;
            return true;
        case Type::LeftDown:
        case Type::LeftUp:
        case Type::Wheel:
            return false;
    }
    return false;
}

void DrawGameFrame(const Session& s)
{
    if (s.view == View{}) return;  // the window itself is the game's view
    const float halfW = static_cast<float>(WindowWidth / 2), halfH = static_cast<float>(WindowHeight / 2);
    const Level::VECTOR a = Viewed(s.view, {-halfW, halfH}), b = Viewed(s.view, {halfW, -halfH});
    const std::int32_t x0 = Drawing::GetX(a.x), y0 = Drawing::GetY(a.y);
    Wimdows::Rectangle(x0, y0, Drawing::GetX(b.x) - 1, Drawing::GetY(b.y) - 1, FrameColour, false);
    if (x0 >= 0 && x0 < WindowWidth - 100 && y0 >= 0 && y0 < FieldBottom - 20) {
        Wimdows::SetFont(0, FrameColour);
        Wimdows::Text(Console::Tr("beeld van het spel"), x0 + 4, y0 + 2);
    }
}

}  // namespace Editor
