#include "Settings.hpp"

#include <cstdio>
#include <string>
#include <string_view>

#include "Console/Console.hpp"
#include "Console/Language.hpp"
#include "Files/Files.hpp"

namespace KOR_Dudurad {

namespace {

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// The name of a "name = value" line; empty for a blank line or a comment.
std::string_view NameOf(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() == '#') return {};
    return Trim(line.substr(0, line.find('=')));
}

// "name = value" lines; blank lines and lines starting with '#' are comments. Names this
// version does not know are skipped, so that a newer version's file still loads. A language
// the game does not know is left out and named in `unknownLanguage`.
bool Parse(std::string_view text, Settings& settings, std::string& unknownLanguage)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return false;
        const std::string_view name = Trim(line.substr(0, eq));
        const std::string_view value = Trim(line.substr(eq + 1));
        if (name.empty()) return false;
        if (name == "sound") {
            if (value == "on") {
                settings.muted = false;
            } else if (value == "off") {
                settings.muted = true;
            } else {
                return false;
            }
        } else if (name == "language") {
            if (Console::KnownLanguage(value)) {
                settings.language = value;
                unknownLanguage.clear();
            } else {
                settings.language.clear();
                unknownLanguage = value;
            }
        }
    }
    return true;
}

bool Failed(const char* path, const std::string& why)
{
    std::printf("[ERROR] (SaveSettings) The settings could not be saved in %s (%s).\n",
                Console::Printable(path).c_str(), why.c_str());
    return false;
}

}  // namespace

Settings LoadSettings(const char* path)
{
    std::string text;
    const Files::ReadResult result = Files::ReadBounded(path, MaxSettingsBytes, text);
    Settings settings;
    std::string unknownLanguage;
    switch (result.status) {
        case Files::Read::Missing:
            return settings;
        case Files::Read::Failed:
            std::printf("[ERROR] (LoadSettings) %s cannot be read (%s); the default settings are used.\n",
                        Console::Printable(path).c_str(), result.problem.c_str());
            return settings;
        case Files::Read::NotRegular:
            std::printf("[ERROR] (LoadSettings) %s is not a regular file; the default settings are used.\n",
                        Console::Printable(path).c_str());
            return settings;
        case Files::Read::TooLarge:
            break;
        case Files::Read::Done:
            if (text.find('\0') == std::string::npos && Parse(text, settings, unknownLanguage)) {
                if (!unknownLanguage.empty()) {
                    std::printf(
                        "[ERROR] (LoadSettings) %s names the language \"%s\", which the game does not "
                        "know; it speaks Dutch.\n",
                        Console::Printable(path).c_str(), Console::Printable(unknownLanguage).c_str());
                }
                return settings;
            }
            break;
    }
    std::printf("[ERROR] (LoadSettings) %s is damaged; the default settings are used.\n",
                Console::Printable(path).c_str());
    return Settings{};
}

bool SaveSetting(std::string_view name, std::string_view value, const char* path)
{
    // Another program saving in the folder at the same time goes first, and its change is
    // read here before this one is made.
    const Files::FolderLock lock(path);
    if (lock.state == Files::FolderLock::State::Busy) return Failed(path, lock.problem);
    std::string old;
    const Files::ReadResult read = Files::ReadBounded(path, MaxSettingsBytes, old);
    switch (read.status) {
        case Files::Read::Failed:
            return Failed(path, read.problem);
        case Files::Read::NotRegular:
            std::printf("[ERROR] (SaveSettings) %s is not a regular file; the settings are not saved.\n",
                        Console::Printable(path).c_str());
            return false;
        case Files::Read::TooLarge:
            // Not the game's file, or not only: it is left whole rather than cut.
            return Failed(path, read.problem + ", so it is left as it is");
        case Files::Read::Missing:
        case Files::Read::Done:
            break;
    }
    if (old.find('\0') != std::string::npos) return Failed(path, "it is no text, so it is left as it is");
    const std::string line = std::string(name) + " = " + std::string(value);
    std::string text = read.status == Files::Read::Missing ? "# The KOR Dudurad\n" : "";
    // Only this name's line changes: every other line, understood or not, stays as it is.
    bool placed = false;
    std::string_view rest = old;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view current = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (NameOf(current) == name) {
            if (placed) continue;  // a name twice: the first place counts, the rest would contradict it
            text += line;
            placed = true;
        } else {
            text += current;
        }
        text += '\n';
    }
    if (!placed) text += line + "\n";
    if (text.size() > MaxSettingsBytes) {
        return Failed(path,
                      "it would grow past " + std::to_string(MaxSettingsBytes) + " bytes, so it is left as it is");
    }
    // A link the player made to keep the settings elsewhere is written through and stays.
    Files::SaveFailure failure;
    return Files::Save(path, text, failure) || Failed(path, failure.reason);
}

bool SaveSettings(const Settings& settings, const char* path)
{
    if (!SaveSetting("sound", settings.muted ? "off" : "on", path)) return false;
    return settings.language.empty() || SaveSetting("language", settings.language, path);
}

}  // namespace KOR_Dudurad
