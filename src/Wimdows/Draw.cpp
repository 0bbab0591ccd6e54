// Drawing into the back buffer: colours, lines, rectangles, ellipses, arcs and pies, the
// pens of polylines, and the buffering switch that decides when the window shows them.
#include <algorithm>
#include <vector>

#include "WimdowsState.hpp"

namespace Wimdows {

// A pen is a plain record on the heap; the handle is its address.
struct PenStruct {
    Raster::Pen pen;
};

}  // namespace Wimdows

namespace Wimdows::detail {

namespace {

// Pen state, under the BufferGuard's lock (which exists with or without a window).
// `pens` knows every live pen, so that a pen released twice or never made is ignored
// instead of corrupting the heap.
std::vector<PenStruct*> pens;
PenStruct* currentPen = nullptr;
Raster::PenPos penPos;
// What LineTo draws with when no pen is selected: a fresh context's solid black pen.
constexpr Raster::Pen kDefaultPen{Raster::PEN_SOLID, 0};

bool Known(const PenStruct* pen) { return pen && std::find(pens.begin(), pens.end(), pen) != pens.end(); }

}  // namespace

std::uint32_t CreateColor(std::uint32_t color)
{
    const std::uint32_t r = color & 0xFFu;
    const std::uint32_t g = (color >> 8) & 0xFFu;
    const std::uint32_t b = (color >> 16) & 0xFFu;
    return r | (g << 8) | (b << 16);
}

void SetDraw(DrawStruct& draw, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::uint32_t color,
             bool fill)
{
    draw.x0 = std::min(x0, x1);
    draw.x1 = std::max(x0, x1);
    draw.y0 = std::min(y0, y1);
    draw.y1 = std::max(y0, y1);
    draw.color = CreateColor(color);
    draw.fill = fill;
}

void DrawObject(const DrawStruct& draw)
{
    BufferGuard guard;
    if (!guard) return;
    const Raster::Surface s = View(hBitBuf);
    const std::uint32_t pixel = ColorToPixel(draw.color);
    switch (draw.object) {
        case DR_LINE:
            Raster::Line(s, draw.x2, draw.y2, draw.x3, draw.y3, pixel);
            break;
        case DR_RECT:
            if (draw.fill)
                Raster::FillRect(s, draw.x0, draw.y0, draw.x1, draw.y1, pixel);
            else
                Raster::FrameRect(s, draw.x0, draw.y0, draw.x1, draw.y1, pixel);
            break;
        case DR_ELLIPSE:
            Raster::Ellipse(s, draw.x0, draw.y0, draw.x1, draw.y1, pixel, draw.fill, pixel);
            break;
        case DR_ARC:
            Raster::Arc(s, draw.x0, draw.y0, draw.x1, draw.y1, draw.x2, draw.y2, draw.x3, draw.y3, pixel);
            break;
        case DR_PIE:
            Raster::Pie(s, draw.x0, draw.y0, draw.x1, draw.y1, draw.x2, draw.y2, draw.x3, draw.y3, pixel, draw.fill,
                        pixel);
            break;
        default:
            break;
    }
}

void ShowArea(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1)
{
    if (buffering.load()) return;
    const std::int64_t w = window.xlen.load();
    const std::int64_t h = window.ylen.load();
    x0 = std::max<std::int64_t>(x0, 0);
    y0 = std::max<std::int64_t>(y0, 0);
    x1 = std::min(x1, w - 1);
    y1 = std::min(y1, h - 1);
    if (x1 < x0 || y1 < y0) return;
    PresentRect(static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0), static_cast<std::int32_t>(x1 - x0 + 1),
                static_cast<std::int32_t>(y1 - y0 + 1));
}

void UpdateDC(const DrawStruct& draw)
{
    if (window.state.load() != STATE_ACTIVE) return;
    {
        BufferGuard guard;
        if (!guard) return;
        DrawObject(draw);
    }
    // Lines and rectangles cover their box's last column and row too.
    ShowArea(draw.x0, draw.y0, draw.x1, draw.y1);
}

}  // namespace Wimdows::detail

namespace Wimdows {

using namespace detail;

void SetBuffering(bool state)
{
    if (window.state.load() != STATE_ACTIVE) return;
    if (buffering.load() && !state) UpdateWindow();
    buffering.store(state);
}

void UpdateWindow()
{
    if (window.state.load() != STATE_ACTIVE) return;
    PresentRect(0, 0, static_cast<std::int32_t>(window.xlen.load()), static_cast<std::int32_t>(window.ylen.load()));
}

std::uint32_t RgbColor(std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return std::min(r, 255u) + std::min(g, 255u) * 256u + std::min(b, 255u) * 65536u;
}

void ClearScreen()
{
    // The inclusive far corner lies just outside the buffer and is clipped.
    Rectangle(0, 0, static_cast<std::int32_t>(window.xlen.load()), static_cast<std::int32_t>(window.ylen.load()), 0,
              true);
}

void Line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::uint32_t color)
{
    DrawStruct draw{};
    SetDraw(draw, x0, y0, x1, y1, color, false);
    draw.x2 = x0;
    draw.y2 = y0;
    draw.x3 = x1;
    draw.y3 = y1;
    draw.object = DR_LINE;
    UpdateDC(draw);
}

void Rectangle(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::uint32_t color, bool fill)
{
    DrawStruct draw{};
    SetDraw(draw, x0, y0, x1, y1, color, fill);
    draw.object = DR_RECT;
    UpdateDC(draw);
}

// The pen operations draw into the back buffer only and never show anything: a polyline is
// shown by the frame's UpdateWindow. Every pen is one pixel wide.
HPEN CreatePen(std::uint32_t PenStyle, std::int32_t /*Width*/, std::uint32_t Color)
{
    auto* pen = new PenStruct{{PenStyle, ColorToPixel(CreateColor(Color))}};
    BufferGuard guard;
    pens.push_back(pen);
    return pen;
}

void SelectPen(HPEN Pen)
{
    BufferGuard guard;
    if (!Known(Pen)) return;
    currentPen = Pen;
    penPos.phase = 0;  // each polyline starts its pattern afresh
}

void MovePenTo(std::int32_t x, std::int32_t y)
{
    BufferGuard guard;
    Raster::PenMoveTo(penPos, x, y);
}

void LineTo(std::int32_t x, std::int32_t y)
{
    BufferGuard guard;
    const Raster::Pen pen = currentPen ? currentPen->pen : kDefaultPen;
    // Without a back buffer the position still moves on.
    Raster::PenLineTo(guard ? View(hBitBuf) : Raster::Surface{}, pen, penPos, x, y);
}

void DeletePen(HPEN Pen)
{
    {
        BufferGuard guard;
        const auto at = std::find(pens.begin(), pens.end(), Pen);
        if (Pen == nullptr || at == pens.end()) return;
        pens.erase(at);
        if (currentPen == Pen) currentPen = nullptr;
    }
    delete Pen;
}

}  // namespace Wimdows
