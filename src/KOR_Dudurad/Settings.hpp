// The player's settings, kept between runs in the player's folder beside the high scores.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace KOR_Dudurad {

struct Settings {
    bool muted = false;    // all sound off
    std::string language;  // the language chosen ("en"); empty: none chosen, Dutch
};

inline constexpr const char* SettingsFile = "data/settings.cfg";
// Far more than the file ever holds; a larger one is not the game's: it is not read, and
// never rewritten.
inline constexpr std::size_t MaxSettingsBytes = 4096;

// A missing file gives the defaults quietly; a damaged one, or one that is no regular file
// (a FIFO never stalls the start), the defaults and a console line. A language the game does
// not know gives a console line and Dutch; the other settings still count.
Settings LoadSettings(const char* path = SettingsFile);

// Sets the line `name = value`: in place of the line that names it, else at the end. Every
// other line stays as it is, in its order: the player's comments, the names this version
// does not know, values it cannot read. A link's target is written (the link stays) and the
// file keeps its mode. The new file is renamed over the old one, so a failed save keeps the
// old one; the file is read afresh under the folder's lock, so another program's change
// made at the same moment stays too. A file over MaxSettingsBytes or with NUL bytes is no
// settings file of the game's and is left as it is. False, with a console line, when it
// could not be saved.
bool SaveSetting(std::string_view name, std::string_view value, const char* path = SettingsFile);
// The sound line and, when one was chosen, the language line.
bool SaveSettings(const Settings& settings, const char* path = SettingsFile);

}  // namespace KOR_Dudurad
