#include "Options.hpp"
#include "Console/Console.hpp"
#include "Console/Language.hpp"

#include "SetArchive/SetArchive.hpp"
#include "Wimdows/Wimdows.hpp"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#ifndef KOR_VERSION
#define KOR_VERSION "unknown"
#endif

namespace KOR_Dudurad {

namespace {

constexpr const char* Usage =
    "Usage: kor-dudurad [OPTION]... [FILE]\n"
    "The KOR Dudurad: aim a rocket through gravity fields into the black hole.\n"
    "\n"
    "  --level N      start a game at level N at once, without the intro and the menu;\n"
    "                 a game not started at level 1 does not enter the high scores\n"
    "  --level FILE   play the level file FILE at once (never in the high scores);\n"
    "                 a FILE alone does the same, and a set file (.korset) alone is\n"
    "                 added to your level sets\n"
    "  --fullscreen   play on the whole screen\n"
    "  --window       play in a window\n"
    "  --scale N      show the window N times as large (N from 1 to 8)\n"
    "  --language L   the language of the game: nl (Dutch, the default) or en (English);\n"
    "                 the L key in the menu chooses it for good\n"
    "  --edit [FILE]  make or change a level in the level editor (F1 there lists its keys);\n"
    "                 without FILE a new level with the next free number in data/\n"
    "  --export-set SET FILE.korset\n"
    "                 save the level set SET (a folder, or the name of one of your sets)\n"
    "                 as one file to share, and end; the game adds a set from such a file\n"
    "  -h, --help     show this help and end\n"
    "  --version      show the version and end\n"
    "\n"
    "In the game: arrows aim (with Shift one step per press), Space launches, End or R\n"
    "restarts the level, P pauses, M switches the sound off and on, Escape quits.\n";

// An argument as it may be shown on the console: escaped and short.
std::string Shown(std::string_view text) { return Console::Printable(text, 60); }

// A whole number from low to high, digits only.
bool Number(std::string_view text, std::uint32_t low, std::uint32_t high, std::uint32_t& value)
{
    if (text.empty() || text.size() > 9) return false;
    std::uint32_t v = 0;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        v = v * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (v < low || v > high) return false;
    value = v;
    return true;
}

int UsageError(std::FILE* err, const std::string& line)
{
    std::fprintf(err, "kor-dudurad: %s\n%s", line.c_str(), Usage);
    return 2;
}

// The answer to --help or --version: status 0 only when all of it was written (a full disc
// or a closed pipe is said on stderr, with status 1).
int Answered(std::FILE* out, std::FILE* err, const char* what)
{
    if (std::fflush(out) == 0 && !std::ferror(out)) return 0;
    const int error = errno;
    std::fprintf(err, "kor-dudurad: the %s could not be written: %s\n", what, std::strerror(error));
    return 1;
}

}  // namespace

bool IsSetArchive(std::string_view path) { return SetArchive::IsArchiveName(path); }

std::optional<int> ParseOptions(int argc, const char* const* argv, Options& options, std::FILE* out, std::FILE* err)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] != nullptr ? argv[i] : "";
        if (arg == "-h" || arg == "--help") {
            std::fputs(Usage, out);
            return Answered(out, err, "help");
        }
        if (arg == "--version") {
            std::fprintf(out, "The KOR Dudurad %s\n", KOR_VERSION);
            return Answered(out, err, "version");
        }
        if (arg == "--fullscreen") {
            options.presentation = Options::Presentation::Fullscreen;
            continue;
        }
        if (arg == "--window") {
            options.presentation = Options::Presentation::Window;
            continue;
        }
        if (arg == "--language" || arg.starts_with("--language=")) {
            std::string_view value;
            if (arg.size() > 10) {
                value = arg.substr(11);
            } else if (i + 1 < argc && argv[i + 1] != nullptr) {
                value = argv[++i];
            } else {
                return UsageError(err, "--language needs a language");
            }
            if (!Console::KnownLanguage(value)) {
                std::string known;
                for (const std::string& code : Console::Languages()) known += (known.empty() ? "" : ", ") + code;
                return UsageError(err, "--language knows " + known + "; not '" + Shown(value) + "'");
            }
            options.language = value;
            continue;
        }
        // The editor takes a file when one follows that is no option.
        if (arg == "--edit" || arg.starts_with("--edit=")) {
            options.edit = true;
            if (arg.size() > 6) {
                options.editFile = std::string(arg.substr(7));
                if (options.editFile.empty()) return UsageError(err, "--edit= needs a file name");
            } else if (i + 1 < argc && argv[i + 1] != nullptr && argv[i + 1][0] != '-' && argv[i + 1][0] != '\0') {
                options.editFile = argv[++i];
            }
            continue;
        }
        if (arg == "--export-set") {
            if (i + 2 >= argc || argv[i + 1] == nullptr || argv[i + 2] == nullptr || argv[i + 1][0] == '\0') {
                return UsageError(err, "--export-set needs a set and a file");
            }
            options.exportSet = argv[++i];
            options.exportFile = argv[++i];
            if (!SetArchive::IsArchiveName(options.exportFile)) {
                return UsageError(err, "--export-set writes a file whose name ends in " +
                                           std::string(SetArchive::Extension) + ", not '" + Shown(options.exportFile) +
                                           "'");
            }
            continue;
        }
        // A file alone: a level to play, or a set to add.
        if (!arg.starts_with("-") && !arg.empty()) {
            if (!options.levelFile.empty() || !options.setFile.empty())
                return UsageError(err, "unexpected argument '" + Shown(arg) + "'");
            (IsSetArchive(arg) ? options.setFile : options.levelFile) = arg;
            continue;
        }
        // Options with a number: "--level N" or "--level=N", or a level file's name.
        const bool level = arg == "--level" || arg.starts_with("--level=");
        const bool scale = arg == "--scale" || arg.starts_with("--scale=");
        if (level || scale) {
            const std::string_view name = level ? "--level" : "--scale";
            std::string_view value;
            if (arg.size() > name.size()) {
                value = arg.substr(name.size() + 1);
            } else if (i + 1 < argc && argv[i + 1] != nullptr) {
                value = argv[++i];
            } else {
                return UsageError(err, std::string(name) + " needs a number");
            }
            if (level && !value.empty() && value.find_first_not_of("0123456789") != std::string_view::npos &&
                !value.starts_with("-")) {
                options.levelFile = value;
                continue;
            }
            const bool ok = level ? Number(value, 1, MaxLevelOption, options.level)
                                  : Number(value, 1, MaxScaleOption, options.scale);
            if (!ok) {
                return UsageError(err, std::string(name) + " needs a whole number from 1 to " +
                                           std::to_string(level ? MaxLevelOption : MaxScaleOption) + ", not '" +
                                           Shown(value) + "'");
            }
            continue;
        }
        return UsageError(err,
                          (arg.starts_with("-") ? "unknown option '" : "unexpected argument '") + Shown(arg) + "'");
    }
    return std::nullopt;
}

void ApplyPresentationOptions(const Options& options)
{
    Wimdows::PresentOptions present;
    present.scale = options.scale;
    present.fullscreen = options.presentation == Options::Presentation::Fullscreen;
    Wimdows::SetPresentOptions(present);
}

}  // namespace KOR_Dudurad
