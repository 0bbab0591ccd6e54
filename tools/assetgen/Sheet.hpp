// A contact sheet of every picture, for looking at them all at once: the pictures as drawn,
// each picture through its mask on mid-grey, bodies at the small sizes levels use, and mock-ups
// of the game, menu and intro screens with the game's own texts laid over them.
#pragma once

#include "Canvas.hpp"
#include "Pictures.hpp"

#include <vector>

namespace Sheet {

Canvas::Image Make(const std::vector<Pictures::Picture>& pictures);

}  // namespace Sheet
