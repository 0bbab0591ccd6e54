// Pixel routines under the window layer's drawing operations: lines, pens, boxes,
// ellipses, copies, masks, text blending and scaling into 32-bit XRGB8888 pictures
// (0x00RRGGBB in a uint32_t). No window and no SDL here.
//
// Every routine clips to its surfaces: coordinates may be any int32 value, nothing outside
// a surface is read or written, and the work done is bounded by the visible part of a
// shape, however large the shape is. Colours are passed already in pixel form.
#pragma once

#include <cstdint>
#include <vector>

namespace Wimdows::Raster {

// A view of pixels owned elsewhere. Row y starts at pixels + y * pitch (pitch in pixels).
// A surface without pixels, with a size below 1 or a pitch below its width is empty:
// nothing is drawn into it and nothing is read from it.
struct Surface {
    std::uint32_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t pitch = 0;
};

// A picture that owns its pixels (pitch = width).
struct Image {
    std::vector<std::uint32_t> pixels;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Sizes the image to width x height, every pixel set to `pixel`. False (and the image
// left empty) for a size below 1 or when memory runs out.
bool MakeImage(Image& image, std::int32_t width, std::int32_t height, std::uint32_t pixel = 0);
Surface View(Image& image);

// 0x00BBGGRR (the layer's colours) <-> 0x00RRGGBB (pixels); the top byte is cleared.
constexpr std::uint32_t PixelFromColorRef(std::uint32_t colorref)
{
    return ((colorref & 0xFFu) << 16) | (colorref & 0xFF00u) | ((colorref >> 16) & 0xFFu);
}
constexpr std::uint32_t ColorRefFromPixel(std::uint32_t pixel) { return PixelFromColorRef(pixel); }

// False outside the surface.
bool GetPixel(const Surface& s, std::int32_t x, std::int32_t y, std::uint32_t& pixel);
void SetPixel(const Surface& s, std::int32_t x, std::int32_t y, std::uint32_t pixel);

// ---- Boxes. Inclusive: both (x0, y0) and (x1, y1) are covered. A box with x1 < x0 or
// y1 < y0 is empty and draws nothing (callers sort their corners). ----

// Covers every pixel of the box: an 11 x 11 box is 121 pixels.
void FillRect(const Surface& s, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
              std::uint32_t pixel);
// Covers the box's outermost ring of pixels, one pixel wide, inside the box.
void FrameRect(const Surface& s, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
               std::uint32_t pixel);

// ---- Lines. A segment covers, for each column (rows for a steep segment) between its end
// points, the pixel nearest to the exact segment; a tie goes to the smaller coordinate, so
// a segment covers the same pixels whichever way it is drawn. ----

// Covers both end points; a segment whose end points coincide is that one pixel.
void Line(const Surface& s, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::uint32_t pixel);

// Pen styles, in the values the layer's CreatePen takes. The pen is one pixel wide whatever
// width was asked for. Unknown styles draw solid.
enum PenStyle : std::uint32_t {
    PEN_SOLID = 0,
    PEN_DASH = 1,        // 18 pixels on, 6 off
    PEN_DOT = 2,         // 3 on, 3 off
    PEN_DASHDOT = 3,     // 9 on, 6 off, 3 on, 6 off
    PEN_DASHDOTDOT = 4,  // 9 on, 3 off, 3 on, 3 off, 3 on, 3 off
    PEN_NULL = 5,        // draws nothing
};

struct Pen {
    std::uint32_t style = PEN_SOLID;
    std::uint32_t pixel = 0;
};

// Current position and how far into its on/off pattern the pen is. Keep one for the picture
// and carry it from segment to segment so that the pattern runs on along a polyline (set
// phase to 0 when a pen is selected, so that each polyline starts its pattern afresh).
struct PenPos {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint32_t phase = 0;  // pixels into the pattern, 0..23
};

// Moves the current position; the pattern runs on from where it was.
void PenMoveTo(PenPos& pos, std::int32_t x, std::int32_t y);
// Segment from the current position to (x, y) without its end pixel (a segment to the
// current position itself draws nothing), then (x, y) becomes the current position. A
// solid LineTo followed by SetPixel at the end point covers exactly what Line covers.
// The pixel i steps from the start (along the longer axis) takes pattern position
// phase + i; afterwards phase has moved on by the segment's number of steps.
void PenLineTo(const Surface& s, const Pen& pen, PenPos& pos, std::int32_t x, std::int32_t y);

// ---- Ellipses in the box from (x0, y0) to (x1, y1), right column x1 and bottom row y1
// excluded; a box with x1 <= x0 or y1 <= y0 draws nothing. The shape is the set of pixels
// whose centres lie inside or on the ellipse that touches the box's outer edges; its
// outline is the shape's pixels that have a left, right, upper or lower neighbour outside it.
// The outline is drawn in `outline`, the rest of the shape in `fill` when `filled`. ----

void Ellipse(const Surface& s, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
             std::uint32_t outline, bool filled, std::uint32_t fill);

// Arc: the outline pixels whose direction from the centre lies counter-clockwise (as seen on
// the screen) from the radial through (xs, ys) to the radial through (xe, ye), both radials
// included. Equal radials give the whole outline; a point at the centre counts as the radial
// pointing right.
void Arc(const Surface& s, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t xs,
         std::int32_t ys, std::int32_t xe, std::int32_t ye, std::uint32_t pixel);

// Pie: the arc, plus a Line from the centre pixel to where each radial meets the ellipse,
// in `outline`; when `filled` the shape's pixels inside the swept sector get `fill` first.
void Pie(const Surface& s, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t xs,
         std::int32_t ys, std::int32_t xe, std::int32_t ye, std::uint32_t outline, bool filled, std::uint32_t fill);

// ---- Copies ----

// Copies the w x h rectangle at (sx, sy) of src to (dx, dy) of dst, clipped on both sides.
// The surfaces may be the same picture, overlapping areas included.
void Copy(const Surface& dst, std::int32_t dx, std::int32_t dy, const Surface& src, std::int32_t sx, std::int32_t sy,
          std::int32_t w, std::int32_t h);
// The whole of src with its top-left corner at (x, y).
void Copy(const Surface& dst, std::int32_t x, std::int32_t y, const Surface& src);

// A mask pixel is white when its brightness (77 R + 150 G + 29 B, out of 256 x 255) is at
// least half: grey 0x808080 is white, 0x7F7F7F black. Returns 0xFFFFFFFF for white, 0 for black.
std::uint32_t MaskValue(std::uint32_t pixel);
// Turns every pixel of a mask into MaskValue of itself, once, so that MaskedCopy can use a
// mask that was not pure black and white.
void ThresholdMask(const Surface& mask);
// True when every pixel is pure black 0x000000 or pure white 0xFFFFFF (top byte ignored).
bool IsBlackAndWhite(const Surface& s);

// Draws `image` with its top-left corner at (x, y): where the mask is white the image's
// pixel is copied, where it is black the destination keeps its own. The mask is read from
// its own (0, 0) over the image's size; beyond the mask's size it counts as black.
// MaskedCopy selects bit by bit, so it needs a mask whose colours are pure black and white:
// one for which IsBlackAndWhite holds (as loaded and scaled with ScaleNearest), or one made
// by ThresholdMask. (With a white of 0x00FFFFFF the top byte stays the destination's.)
void MaskedCopy(const Surface& dst, std::int32_t x, std::int32_t y, const Surface& image, const Surface& mask);
// The same for a mask as loaded, read through MaskValue at every pixel.
void MaskedCopyByBrightness(const Surface& dst, std::int32_t x, std::int32_t y, const Surface& image,
                            const Surface& mask);

// Blends src, pixels 0xAARRGGBB with straight alpha (rendered text), over dst at (x, y):
// each channel becomes (src * A + dst * (255 - A)) / 255 rounded to nearest.
void BlendArgb(const Surface& dst, std::int32_t x, std::int32_t y, const Surface& src);

// ---- Scaling: dst, whatever its size, is filled from the whole of src. ----

// For pictures. Per axis, area averaging where dst is smaller than src (a 2:1 shrink gives
// the mean of each 2 x 2 block), bilinear between pixel centres where it is larger, a plain
// copy where the sizes are equal; channels rounded to nearest. False for an empty surface
// or when memory runs out (dst is then unchanged).
bool ScaleSmooth(const Surface& dst, const Surface& src);
// For masks: each dst pixel is the src pixel under its centre, so no new colours appear.
// False for an empty surface.
bool ScaleNearest(const Surface& dst, const Surface& src);

}  // namespace Wimdows::Raster
