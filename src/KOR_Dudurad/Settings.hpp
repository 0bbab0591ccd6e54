// The player's settings, kept between runs in the player's folder beside the high scores.
#pragma once

namespace KOR_Dudurad {

struct Settings {
    bool muted = false;  // all sound off
};

inline constexpr const char* SettingsFile = "data/settings.cfg";

// A missing file gives the defaults quietly; a damaged one the defaults and a console line.
Settings LoadSettings(const char* path = SettingsFile);
// Replaces the file whole (a new file renamed over it), so a failed save keeps the old one.
// False, with a console line, when it could not be saved.
bool SaveSettings(const Settings& settings, const char* path = SettingsFile);

}  // namespace KOR_Dudurad
