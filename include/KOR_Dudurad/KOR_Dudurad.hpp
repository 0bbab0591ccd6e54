// The front end: start-up, the intro animation and the main menu. main() only calls Main();
// the rest is here for the tests.
#pragma once

#include <atomic>
#include <cstdint>

namespace KOR_Dudurad {

// Menu choices, shared by the menu's wait (main thread) and the button procedures (the
// window's thread).
extern std::atomic<bool> play;  // start a game once the menu has closed
extern std::atomic<bool> loop;  // the menu waits for a choice
extern std::atomic<bool> exit;  // leave the program once the menu has closed

// The intro's and the menu's window, and the dark blue behind their pictures.
constexpr std::uint32_t MenuWidth = 800;
constexpr std::uint32_t MenuHeight = 550;
void Background();

// The intro in the open 800 x 550 window: 820 frames, the final picture, then a key.
// Returns early when its window goes away.
void Bewegen();

// Draws the menu, waits for a choice (or for the window to go away, which counts as
// "Exit") and removes the buttons; after "Speluitleg" it then waits while the explanation
// is read (10 s, or Space or Return after the first second).
void MenuTekenen();
// The logo at hoogte x breedte (width, then height) centred in 800 x 550, and the title.
void Logo(std::uint32_t hoogte, std::uint32_t breedte);
void Button1();  // "Speluitleg": shows the explanation and chooses to play
void Button2();  // "Start spel"
void Button3();  // "Exit"

// Runs the module initialisers once each, in the order the modules need them.
void InitModules();
// The whole program; returns its exit status. Without arguments it runs as with none given.
int Main();
int Main(int argc, char** argv);
struct Options;
int Main(const Options& options);

namespace detail {
// Called after every frame the intro shows (the final picture is frame 821), on the main
// thread; for tests.
using FrameHook = void (*)(std::uint32_t frame);
void SetFrameHook(FrameHook hook);
}  // namespace detail

}  // namespace KOR_Dudurad
