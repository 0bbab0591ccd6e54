// Every picture of the game, drawn from code.
#pragma once

#include "Canvas.hpp"

#include <string>
#include <vector>

namespace Pictures {

struct Picture {
    std::string name;  // file name inside graphics/
    Canvas::Image image;
};

// All pictures in a fixed order; same pixels on every run. The words in them are in the
// language Console::Tr speaks (the manifest names the pictures with words once per language).
std::vector<Picture> DrawAll();

// The colour the intro and the menu paint behind their pictures: RgbColor(0, 20, 70).
inline Canvas::Rgb FrontEndBlue() { return Canvas::Hex(0, 20, 70); }

}  // namespace Pictures
