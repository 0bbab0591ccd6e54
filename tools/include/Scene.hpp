// Pictures of a level for the tools, drawn by the game's own scene code into the window
// layer's back buffer. The window layer runs on SDL's dummy drivers: no display is needed
// and nothing is shown or heard.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Physics/Physics.hpp"
#include "Png.hpp"
#include "Wimdows/Raster.hpp"

namespace Scene {

// The folder that holds the game's graphics/: `given` when not empty, else the first of
// the level file's folder's parent (a level in data/), the level file's folder, the
// working directory, the tool's own folder's parent (a build tree) and the installation's
// share/games/kor-dudurad. Empty when none has the pictures.
std::string FindDataDir(const std::string& levelFile, const std::string& given);
bool HasPictures(const std::string& dir);

// Opens an off-screen window of w x h on the dummy drivers. False with the reason.
bool Open(std::uint32_t w, std::uint32_t h, std::string& error);
void Close();
// The back buffer's w x h pixels from (x, y), as 0x00RRGGBB.
Wimdows::Raster::Image Capture(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);
Png::Image ToPng(const Wimdows::Raster::Image& image);

struct Trail {
    std::vector<Level::VECTOR> points;  // world positions of the rocket, one per step
    std::uint32_t colour = 0;           // 0x00BBGGRR; the first trail is drawn as the game draws its path
};

struct Frame {
    Level::ObjectTable table{};  // the level at the start, rocket held
    std::uint32_t N = 0;
    std::uint32_t level = 1;
    float angle = 0.0f;  // the aim shown by the arrow and the head-up display
    float speed = 250.0f;
    std::vector<Trail> trails;
    std::vector<std::string> caption;  // lines written in the lower right corner (Latin-1)
};

// The frame as the game draws it at 1024 x 768; with `fit`, when a trail leaves the window,
// zoomed out so that every trail fits, the window's frame outlined. The pictures are
// loaded from graphics/ under the working directory. Opens its own window.
bool Draw(const Frame& frame, bool fit, Png::Image& out, std::string& error);

// The level number of a file named level-NN.txt (digits only), else 0.
std::uint32_t LevelNumber(const std::string& path);

}  // namespace Scene
