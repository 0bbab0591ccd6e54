// Text for the pictures: DejaVu fonts through SDL2_ttf, turned into coverage maps that the
// canvas can tint, blur and lay down.
#pragma once

#include "Canvas.hpp"

#include <string>
#include <vector>

namespace Text {

enum class Face { Sans, SansBold, SerifBold, MonoBold };

// Coverage of rendered text, 0..1 per pixel.
struct Alpha {
    int w = 0, h = 0;
    std::vector<float> a;
    float At(int x, int y) const { return a[static_cast<std::size_t>(y) * w + x]; }
};

// Opens the fonts; false (with a message) when a DejaVu face cannot be found or opened.
bool Init();
void Quit();

// The text in white coverage; `outline` thickens the strokes by that many pixels on each side
// (the map then grows by 2 * outline and its origin moves up-left by outline).
Alpha Render(Face face, int size, const std::string& utf8, int outline = 0);
int Width(Face face, int size, const std::string& utf8);
// Grows the map by `pad` on every side and blurs it (three box passes of `radius`).
Alpha Blur(const Alpha& src, int radius, int pad);

// Lays the coverage map onto the image at (x, y) in colour c.
void Draw(Canvas::Image& img, const Alpha& m, int x, int y, Canvas::Rgb c, float opacity = 1.0f);
// Same with a colour per pixel: colour(px, py) with px, py relative to the map's corner.
template <class Colour>
void DrawShaded(Canvas::Image& img, const Alpha& m, int x, int y, Colour colour)
{
    for (int j = 0; j < m.h; ++j)
        for (int i = 0; i < m.w; ++i) {
            float a = m.At(i, j);
            if (a > 0) Canvas::Blend(img, x + i, y + j, colour(i, j), a);
        }
}
// Adds the map as light (for glows).
void Glow(Canvas::Image& img, const Alpha& m, int x, int y, Canvas::Rgb c, float strength);

// Plain text with its top-left corner at (x, y).
void Write(Canvas::Image& img, int x, int y, Face face, int size, const std::string& utf8, Canvas::Rgb c);
// Text centred on column cx.
void WriteCentred(Canvas::Image& img, int cx, int y, Face face, int size, const std::string& utf8, Canvas::Rgb c);

}  // namespace Text
