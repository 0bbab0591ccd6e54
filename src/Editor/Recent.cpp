// The recent files' list: a small text file of absolute paths, newest first, with the
// player's comment lines ("#") kept above them.
#include "Recent.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "Console/Console.hpp"
#include "Files/Files.hpp"

namespace Editor {

namespace {

namespace fs = std::filesystem;

}  // namespace

bool PrintableLine(const std::string& line)
{
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= ' ' && c != 127; });
}

std::string RecentFile()
{
    const std::string player = Files::PlayerFolder();
    return player.empty() ? std::string() : player + "/editor-recent.txt";
}

namespace {

// The paths of the list's text, and its other lines (the player's comments) in `others`.
std::vector<std::string> RecentOf(const std::string& text, std::vector<std::string>* others)
{
    std::vector<std::string> list;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.starts_with('#')) {
            if (others != nullptr && PrintableLine(line)) others->push_back(line);
            continue;
        }
        // Only absolute paths of printable text: a list written by hand or damaged gives
        // nothing the status line or a save could stumble over.
        if (line.empty() || line[0] != '/' || line.size() > MostPath || !PrintableLine(line)) continue;
        if (std::find(list.begin(), list.end(), line) == list.end() && list.size() < MostRecent) list.push_back(line);
    }
    return list;
}

bool ReadRecentText(const std::string& file, std::string& text)
{
    const Files::ReadResult r = Files::ReadBounded(file, RecentBytes, text);
    if (r.status == Files::Read::Done) return true;
    if (r.status != Files::Read::Missing) {
        std::printf("[ERROR] (Editor) The list of recent files %s is not read: %s\n", Console::Printable(file).c_str(),
                    r.status == Files::Read::TooLarge ? "it is too large" : Console::Printable(r.problem).c_str());
        std::fflush(stdout);
    }
    text.clear();
    return false;
}

}  // namespace

std::vector<std::string> ReadRecent(const std::string& file)
{
    std::string text;
    if (file.empty() || !ReadRecentText(file, text)) return {};
    return RecentOf(text, nullptr);
}

bool SaveRecent(const std::string& file, const std::string& newest, std::vector<std::string>& list)
{
    // A name the list could not hold as one line (a line break in a file's name) stays out.
    if (newest.empty() || newest[0] != '/' || newest.size() > MostPath || !PrintableLine(newest)) return false;
    std::vector<std::string> merged{newest};
    if (file.empty()) {
        for (const std::string& p : list)
            if (p != newest && merged.size() < MostRecent) merged.push_back(p);
        list = merged;
        return false;
    }
    std::string problem;
    if (!Files::MakeFolders(fs::path(file).parent_path().string(), problem)) {
        std::printf("[ERROR] (Editor) The list of recent files is not kept: %s\n", problem.c_str());
        return false;
    }
    const Files::FolderLock lock(file);
    if (lock.state == Files::FolderLock::State::Busy) {
        std::printf("[ERROR] (Editor) The list of recent files is not kept: %s\n", lock.problem.c_str());
        return false;
    }
    // Another editor's list, saved meanwhile, is kept after the newest; so are the player's comments.
    std::string text;
    std::vector<std::string> others;
    const bool read = ReadRecentText(file, text);
    std::vector<std::string> onDisk = RecentOf(text, &others);
    if (!read && fs::exists(fs::symlink_status(file))) return false;  // not ours to overwrite
    for (const std::vector<std::string>* from : {&onDisk, &list})
        for (const std::string& p : *from)
            if (std::find(merged.begin(), merged.end(), p) == merged.end() && merged.size() < MostRecent)
                merged.push_back(p);
    std::string out;
    for (const std::string& line : others) out += line + "\n";
    for (const std::string& p : merged) out += p + "\n";
    list = merged;
    Files::SaveFailure failure;
    if (Files::Save(file, out, failure)) return true;
    std::printf("[ERROR] (Editor) %s\n", Files::Describe(failure).c_str());
    std::fflush(stdout);
    return false;
}

}  // namespace Editor
