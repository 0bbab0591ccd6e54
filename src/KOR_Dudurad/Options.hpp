// The program's command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace KOR_Dudurad {

struct Options {
    std::uint32_t level = 0;  // --level N: a game at level N at once; 0: intro and menu as usual
    std::string levelFile;    // --level FILE or a FILE alone: that level file played at once
    std::string setFile;      // a set archive alone (IsSetArchive): imported as a new set
    enum class Presentation : std::uint8_t { Default, Fullscreen, Window };
    Presentation presentation = Presentation::Default;  // --fullscreen / --window, the last one counts
    std::uint32_t scale = 0;                            // --scale N, 1 to 8; 0: not given
    std::string language;  // --language L, for this run; empty: the settings' choice (Dutch without one)
    bool edit = false;     // --edit [FILE]: the level editor instead of a game
    std::string editFile;  // empty: the next free level number in data/
    // --export-set SET FILE: the set (a folder, or the name of one of the player's sets)
    // written as one shared file, then the program ends; empty: not asked
    std::string exportSet;
    std::string exportFile;
};

constexpr std::uint32_t MaxLevelOption = 9999;
constexpr std::uint32_t MaxScaleOption = 8;

// Reads the arguments into `options`. Returns the exit status when the program is to end
// at once: 0 after --help (usage on `out`) or --version, 2 after a usage error (a line and
// the usage on `err`); nothing when it is to run.
std::optional<int> ParseOptions(int argc, const char* const* argv, Options& options, std::FILE* out, std::FILE* err);

// A level set given as one file, by its name's end ".korset" (the one place that says so).
bool IsSetArchive(std::string_view path);

// The window layer applies --fullscreen, --window and --scale.
void ApplyPresentationOptions(const Options& options);

}  // namespace KOR_Dudurad
