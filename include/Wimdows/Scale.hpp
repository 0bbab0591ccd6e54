// How the back buffer is fitted onto a window or a screen: the scale chosen for the room
// there is, where the picture lies, how window positions map back to client pixels, and
// the scaling of one area of the picture. Plain numbers and pixels, no SDL.
//
// Whole scales (1, 2, 3...) show each client pixel as an exact N x N block; only a picture
// that does not fit at scale 1 is shrunk smoothly. The aspect is always kept.
#pragma once

#include <cstdint>

#include "Wimdows/Raster.hpp"

namespace Wimdows::Scale {

struct Size {
    std::int32_t w = 0;
    std::int32_t h = 0;
};

struct Rect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t w = 0;
    std::int32_t h = 0;
};

// The scale for a client of `client` pixels in `room` pixels: the largest whole scale
// that fits, at most `most` (0: no limit); below 1 the largest that fits, so the whole
// picture is in the room. 1 for an empty client; a tiny positive scale for an empty room.
float Choose(Size client, Size room, std::uint32_t most);

// Where the picture lies in a window of `window` pixels: the scale Choose gives for the
// window as the room, the picture centred, black bars round it where shapes differ.
struct Layout {
    Size client;
    Size window;
    Rect picture;             // in window pixels; picture.w / client.w is the scale
    bool whole = true;        // a whole scale: nearest-neighbour blocks
    std::int32_t factor = 1;  // the whole scale (1 when not whole)
};
Layout Place(Size client, Size window, std::uint32_t most);

// The picture's size at a scale, never larger than `limit` when that is given (w, h > 0).
Size Scaled(Size client, float scale, Size limit = {});

// A window's size in the desktop's units for a client of `client` pixels in a room of
// `room` units, where a unit shows as `pixels` screen pixels (2 on a Wayland desktop at
// scale 2, 1.5 at 150 %): the scale is chosen in screen pixels as on X11, whole where it
// fits, and the window rounded up to hold that picture whole (never beyond the room).
Size Windowed(Size client, Size room, float pixels, std::uint32_t most);

// The corner that puts something of `outer` size in the middle of `area` (at the area's
// corner where it is larger).
Rect Centred(Rect area, Size outer);

// A position in window units to the window picture's pixels, for a window of `units`
// whose picture has `pixels`; rounded down. ToUnits goes back to the unit holding a pixel.
void ToPixels(Size units, Size pixels, std::int32_t& x, std::int32_t& y);
void ToUnits(Size units, Size pixels, std::int32_t& x, std::int32_t& y);

// A window position to client pixels: false on the bars (in the window, outside the
// picture). Positions outside the window (a drag that holds the mouse) map on the same
// scale, so at scale 1 without bars every position stays as it is.
bool ToClient(const Layout& layout, std::int32_t& x, std::int32_t& y);
// The centre of a client pixel in window pixels (for tests and tools that act as a player).
void ToWindow(const Layout& layout, std::int32_t& x, std::int32_t& y);

// The window pixels whose colour depends on a client area (clipped to the client), empty
// when the area misses it.
Rect WindowArea(const Layout& layout, Rect area);

// Scales what `area` (client pixels) changes into `dst`, the window's pixels, at the
// layout's place; `dst` must hold the whole picture. Whole scales copy N x N blocks,
// other scales filter bilinearly between pixel centres. `alpha` is ORed into every pixel
// written (an opaque alpha byte for windows that have one). Returns the window area written.
Rect Area(const Raster::Surface& dst, const Raster::Surface& src, const Layout& layout, Rect area,
          std::uint32_t alpha = 0);

}  // namespace Wimdows::Scale
