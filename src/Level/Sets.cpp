// Level sets: where they live, what names them, a level's name and hint, and the levels won.
#include "Level/Sets.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "Console/Console.hpp"
#include "Files/Files.hpp"

namespace Level {

namespace {

namespace fs = std::filesystem;

// Text to be drawn: control characters become spaces, spaces at the ends go, and it is cut
// to MaxInfoText bytes at the start of a character.
std::string Clean(std::string_view text)
{
    std::string out;
    for (const char c : text) out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    const std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    out = out.substr(first, out.find_last_not_of(' ') - first + 1);
    if (out.size() > MaxInfoText) {
        std::size_t cut = MaxInfoText;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    return out;
}

// "Key: value" with the key in any case; the value, or nothing when the line is no such line.
bool Field(std::string_view line, std::string_view key, std::string& value)
{
    if (line.size() <= key.size() || line[key.size()] != ':') return false;
    for (std::size_t i = 0; i < key.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(line[i])) != key[i]) return false;
    value = Clean(line.substr(key.size() + 1));
    return true;
}

// A whole number of at most nine digits.
bool Digits(std::string_view text, std::uint32_t& value)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos) return false;
    value = 0;
    for (const char c : text) value = value * 10 + static_cast<std::uint32_t>(c - '0');
    return true;
}

std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// A small file of the player's, read whole within its bound; a problem other than a missing
// file is one console line, and what was read within the bound is still used.
std::string ReadSmall(const std::string& path, std::size_t bound)
{
    std::string text;
    const Files::ReadResult r = Files::ReadBounded(path, bound, text);
    switch (r.status) {
        case Files::Read::Done:
        case Files::Read::Missing:
            break;
        case Files::Read::TooLarge:
            std::printf("[ERROR] (Sets) %s is larger than %zu bytes: only its start is read.\n",
                        Console::Printable(path).c_str(), bound);
            break;
        case Files::Read::NotRegular:
        case Files::Read::Failed:
            std::printf("[ERROR] (Sets) Couldn't read %s: %s.\n", Console::Printable(path).c_str(),
                        Console::Printable(r.problem).c_str());
            text.clear();
            break;
    }
    return text;
}

}  // namespace

std::string PlayerSetsFolder()
{
    const std::string player = Files::PlayerFolder();
    return player.empty() ? std::string() : player + "/sets";
}

std::string MyLevelsFolder()
{
    const std::string sets = PlayerSetsFolder();
    return sets.empty() ? std::string() : sets + "/my-levels";
}

SetInfo ParseSetInfo(std::string_view text)
{
    SetInfo info;
    for (const std::string_view line : Lines(text)) {
        std::string value;
        if (info.name.empty() && Field(line, "name", value)) info.name = value;
        if (info.author.empty() && Field(line, "author", value)) info.author = value;
        if (info.about.empty() && Field(line, "about", value)) info.about = value;
    }
    return info;
}

SetInfo ReadSetInfo(const std::string& folder)
{
    return ParseSetInfo(ReadSmall(folder + "/" + SetInfoFile, MaxSetInfoBytes));
}

std::vector<std::uint32_t> LevelsIn(const std::string& folder)
{
    std::vector<std::uint32_t> levels;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::uint32_t number = 0;
        if (!name.starts_with("level-") || !name.ends_with(".txt") ||
            !Digits(std::string_view(name).substr(6, name.size() - 10), number) ||
            FileName(folder, number) != folder + "/" + name) {
            continue;  // only the name the game itself would look for
        }
        std::error_code fileError;
        if (fs::is_regular_file(it->path(), fileError)) levels.push_back(number);
    }
    std::sort(levels.begin(), levels.end());
    if (levels.size() > MaxSetLevels) levels.resize(MaxSetLevels);
    return levels;
}

std::vector<Set> ListSets(const std::string& shipped)
{
    std::vector<Set> sets;
    sets.push_back({Set::Kind::Shipped, shipped, ReadSetInfo(shipped), LevelsIn(shipped)});
    const std::string mine = MyLevelsFolder();
    if (mine.empty()) return sets;
    sets.push_back({Set::Kind::MyLevels, mine, ReadSetInfo(mine), LevelsIn(mine)});
    std::vector<std::string> others;
    std::error_code ec;
    const std::string root = PlayerSetsFolder();
    for (fs::directory_iterator it(root, ec), end; !ec && it != end && others.size() < MaxSets; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code dirError;
        if (name.starts_with(".") || root + "/" + name == mine || !fs::is_directory(it->path(), dirError)) continue;
        others.push_back(name);
    }
    std::sort(others.begin(), others.end());
    for (const std::string& name : others) {
        const std::string folder = root + "/" + name;
        Set set{Set::Kind::Player, folder, ReadSetInfo(folder), LevelsIn(folder)};
        if (set.info.name.empty()) set.info.name = Clean(name);
        sets.push_back(std::move(set));
    }
    return sets;
}

LevelInfo InfoOf(const File& file)
{
    LevelInfo info;
    const auto look = [&](const std::string& comment) {
        // The comment as the reader keeps it, its '*' first.
        std::string_view text(comment);
        if (!text.starts_with('*')) return;
        text.remove_prefix(1);
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
        std::string value;
        if (info.name.empty() && Field(text, "name", value)) info.name = value;
        if (info.hint.empty() && Field(text, "hint", value)) info.hint = value;
    };
    for (const Section& section : file.sections) {
        for (const std::string& c : section.comments) look(c);
        for (const InnerComment& c : section.inner) look(c.text);
    }
    for (const std::string& c : file.tail) look(c);
    return info;
}

std::string ProgressFile(const Set& set)
{
    switch (set.kind) {
        case Set::Kind::Shipped: {
            const std::string player = Files::PlayerFolder();
            return player.empty() ? std::string() : player + "/shipped-progress.txt";
        }
        case Set::Kind::MyLevels:
        case Set::Kind::Player:
            return set.folder + "/" + SetProgressFile;
    }
    return {};
}

std::vector<std::uint32_t> ReadProgress(const std::string& file)
{
    std::vector<std::uint32_t> won;
    if (file.empty()) return won;
    const std::string text = ReadSmall(file, MaxProgressBytes);
    for (const std::string_view line : Lines(text)) {
        std::uint32_t number = 0;
        if (Digits(line, number) && number > 0 && std::find(won.begin(), won.end(), number) == won.end())
            won.push_back(number);
    }
    std::sort(won.begin(), won.end());
    return won;
}

bool MarkWon(const std::string& file, std::uint32_t number)
{
    if (file.empty() || number == 0) return false;
    std::error_code ec;
    fs::create_directories(fs::path(file).parent_path(), ec);
    const Files::FolderLock lock(file);
    if (lock.state == Files::FolderLock::State::Busy) {
        std::printf("[ERROR] (Sets) Not saved: %s.\n", lock.problem.c_str());
        return false;
    }
    // Read afresh under the lock, so another program's wins are kept; lines that are no
    // number stay as the player wrote them.
    // A file that cannot be read whole is left as it is rather than cut.
    std::string text;
    const Files::ReadResult r = Files::ReadBounded(file, MaxProgressBytes, text);
    if (r.status != Files::Read::Done && r.status != Files::Read::Missing) {
        std::printf("[ERROR] (Sets) Not saved: %s is left as it is (%s).\n", Console::Printable(file).c_str(),
                    r.status == Files::Read::TooLarge ? "too large" : Console::Printable(r.problem).c_str());
        return false;
    }
    for (const std::string_view line : Lines(text)) {
        std::uint32_t n = 0;
        if (Digits(line, n) && n == number) return true;
    }
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += std::to_string(number) + "\n";
    Files::SaveFailure failure;
    if (Files::Save(file, text, failure)) return true;
    std::printf("[ERROR] (Sets) %s\n", Files::Describe(failure).c_str());
    return false;
}

}  // namespace Level
