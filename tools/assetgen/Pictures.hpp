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
// language Console::Tr speaks.
std::vector<Picture> DrawAll();

// The pictures with words in them: each language has its own drawing of these, in
// graphics/<language>/ (Dutch, the game's own, in graphics/).
inline const std::vector<std::string>& WithWords()
{
    static const std::vector<std::string> names = {"quit_kor.bmp",   "won_kor.bmp",   "lost_kor.bmp", "Menu1.bmp",
                                                   "Speluitleg.bmp", "Yuvik.bmp",     "Bramo.bmp",    "Tessun.bmp",
                                                   "Olvek.bmp",      "introtekst.bmp"};
    return names;
}

// The colour the intro and the menu paint behind their pictures: RgbColor(0, 20, 70).
inline Canvas::Rgb FrontEndBlue() { return Canvas::Hex(0, 20, 70); }

}  // namespace Pictures
