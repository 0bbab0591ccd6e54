// Seams for tests and tools: read pixels and feed the window real input events.
// Input goes through the window system's own event queue, so it takes the same road
// as a key press or click of the player.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Wimdows::Testing {

// Pixel of the back buffer, as 0x00BBGGRR. False without a window or outside it.
bool ReadBackBuffer(std::int32_t x, std::int32_t y, std::uint32_t& color);
// Pixel of what the window shows now, as 0x00BBGGRR. Positions here are client pixels,
// whatever the scale the window is shown at.
bool ReadScreen(std::int32_t x, std::int32_t y, std::uint32_t& color);

// Key press or release of a virtual-key code; repeat marks an auto-repeat press.
void PostKey(std::uint32_t vk, bool down, bool repeat = false);
// Text typed, as the window system hands over what a layout makes of key presses.
void PostText(const char* utf8);
void PostMouseMove(std::int32_t x, std::int32_t y);
// button 1 left, 2 middle, 3 right; clicks 2 for the second press of a double click.
void PostMouseButton(int button, bool down, std::int32_t x, std::int32_t y, int clicks = 1);
// The wheel turned by `clicks` (away from the user positive) over the pointer.
void PostMouseWheel(std::int32_t clicks);
// A file dropped on the window, as a file manager drops it.
void PostDropFile(const char* path);
// The user clicks the window's close box.
void PostClose();
// Every text drawn with Text from the main thread while recording, in order (a check that
// a screen shows no text of another language).
void RecordTexts(bool on);
std::vector<std::string> TextsDrawn();
// Returns once the user-interface thread has handled everything posted before the call.
void Sync();
// Slots of the push-button table: 0 once every button is destroyed.
std::uint32_t ControlCount();

}  // namespace Wimdows::Testing
