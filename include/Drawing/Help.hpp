// The keys of the screen the player is on, in a box over its picture (F1 or ?).
#pragma once

#include <cstdint>

namespace Drawing {

enum class HelpScreen : std::uint8_t { Game, Menu, EndScreen, Select };

// Draws the help of that screen over what the back buffer holds and shows it. The game's
// and the end screen's box fit the 1024 x 768 window, the menu's the 800 x 550 one above
// its buttons, the select's in the same window. On a level whose bodies move, the game's
// help also says how to start them again with the aim kept.
void DrawHelp(HelpScreen screen, bool movingBodies = false);

namespace detail {
// The box of a screen's help, inclusive corners; for tests.
struct HelpBox {
    std::int32_t left, top, right, bottom;
};
HelpBox HelpBoxOf(HelpScreen screen);
}  // namespace detail

}  // namespace Drawing
