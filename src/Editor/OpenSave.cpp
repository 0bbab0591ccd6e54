// Files by name: Ctrl+O opens a level typed as a path or chosen from a list with the recent
// files first; Ctrl+Shift+S saves under a typed path, filled with the next free name; a level
// file dropped on the window opens it. The recent files are kept in the player's folder.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "Console/Console.hpp"
#include "EditorInternal.hpp"
#include "Files/Files.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Editor {

namespace {

namespace fs = std::filesystem;
using namespace Wimdows::VirtualKeys;

constexpr std::size_t MostPath = 4096;                                   // PATH_MAX: a longer name is no file
constexpr std::size_t RecentBytes = MostRecent * (MostPath + 1) + 4096;  // and room for comments
constexpr std::uint32_t White = 0xFFFFFF;
constexpr std::uint32_t RecentColour = 0xA0FFFF;  // light yellow: the recent files in the list
constexpr std::size_t ListRows = 18;

// A path to remember, whatever folder the next editor starts in.
std::string Absolute(const std::string& path)
{
    std::error_code ec;
    const fs::path a = fs::absolute(path, ec);
    return ec ? path : a.lexically_normal().string();
}

bool PrintableLine(const std::string& line)
{
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= ' ' && c != 127; });
}

// The end of a long path, which names the file.
std::string Tail(const std::string& text, std::size_t most)
{
    return text.size() <= most ? text : "..." + text.substr(text.size() - (most - 3));
}

void Box(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)
{
    Wimdows::Rectangle(x0, y0, x1, y1, 0x461400, true);
    Wimdows::Rectangle(x0, y0, x1, y1, White, false);
}

// Why path cannot be opened as a level, in the player's language; empty when it can.
std::string WhyNot(const std::string& path)
{
    std::string bytes;
    const Files::ReadResult r = Files::ReadBounded(path, Level::MaxFileBytes, bytes);
    switch (r.status) {
        case Files::Read::Done:
            return {};
        case Files::Read::Missing:
            return Console::Tr("bestaat niet");
        case Files::Read::NotRegular:
            return Console::Tr("geen gewoon bestand (een map, FIFO of apparaat)");
        case Files::Read::TooLarge:
            return Console::Tr("groter dan 1 MiB, geen level");
        case Files::Read::Failed:
            break;
    }
    return Console::Printable(r.problem);
}

}  // namespace

// ---- The recent files ----

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
    if (!MakeFolders(fs::path(file).parent_path().string(), problem)) {
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

void Session::Remember(const std::string& p)
{
    const std::string a = Absolute(p);
    if (!recent.empty() && recent.front() == a) return;
    SaveRecent(RecentFile(), a, recent);
}

// ---- Opening ----

void Session::ListFiles()
{
    files.clear();
    for (const std::string& p : recent) files.push_back(p);
    std::vector<std::string> found;
    std::error_code ec;
    fs::path folder = fs::path(file).parent_path();
    if (folder.empty()) folder = ".";
    // The open file's folder and the game's own data/, each file once.
    for (const fs::path& dir : {folder, fs::path("data")}) {
        if (dir != folder && fs::equivalent(dir, folder, ec)) continue;
        for (const auto& entry : fs::directory_iterator(dir, ec)) {
            if (found.size() >= 1000) break;
            if (entry.is_regular_file(ec) && entry.path().extension() == ".txt") found.push_back(entry.path().string());
        }
    }
    std::sort(found.begin(), found.end());
    for (const std::string& p : found)
        if (std::find(recent.begin(), recent.end(), Absolute(p)) == recent.end()) files.push_back(p);
    pick = 0;
    for (std::size_t k = 0; k < files.size(); ++k)
        if (Absolute(files[k]) == Absolute(file)) pick = k;
}

void Session::StartOpen()
{
    ClosePrompt();
    ListFiles();
    prompt = Prompt::Open;
}

bool Session::OpenPath(const std::string& typed)
{
    const std::string target = Expanded(typed);
    const std::string why = target.empty() ? std::string(Console::Tr("geen pad getypt")) : WhyNot(target);
    if (!why.empty()) {
        Say(std::string(Console::Tr("Niet geopend")) + ": " + Console::Printable(typed) + ": " + why);
        return false;
    }
    typing = false;
    Open(target);
    Remember(target);
    return true;
}

void Session::Drop(const std::string& dropped)
{
    if (doc.Modified() && dropAsked != dropped) {
        dropAsked = dropped;
        Say(Console::Tr("Niet bewaarde wijzigingen: Ctrl+S bewaart, het bestand nog eens neerzetten opent het toch"));
        return;
    }
    dropAsked.clear();
    if (OpenPath(dropped)) ClosePrompt();
}

// ---- Saving under a typed name ----

void Session::StartSaveAs()
{
    ClosePrompt();
    std::string error;
    const std::string name = ClaimCopy(error);
    if (name.empty()) {
        Say(std::string(Console::Tr("Geen vrije naam")) + ": " + error);
        typedPath = (fs::path(file).parent_path() / "").string();
    } else {
        offered.path = name;
        offered.stamp = StampOf(name);
        typedPath = name;
    }
    prompt = Prompt::SaveAs;
}

namespace {

// Why a save must not go to an existing path; empty when it is a regular file (links followed).
std::string NotAFile(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::strerror(errno);  // a link to nothing
    if (S_ISDIR(info.st_mode)) return Console::Tr("een map");
    if (!S_ISREG(info.st_mode)) return Console::Tr("geen gewoon bestand (een map, FIFO of apparaat)");
    return {};
}

}  // namespace

bool Session::SaveTyped()
{
    const std::string target = Expanded(typedPath);
    const std::string notSaved = std::string(Console::Tr("Niet bewaard")) + ": " + Console::Printable(typedPath);
    if (target.empty()) {
        Say(notSaved + ": " + Console::Tr("geen pad getypt"));
        return false;
    }
    if (offered.Holds(target)) {
        // The free name the prompt offered, still empty: the level goes there.
        offered.path.clear();
        if (!Adopt(target, true)) return false;
        Say(std::string(Console::Tr("Bewaard onder een nieuwe naam")) + ": " + Shown(target));
    } else {
        offered.Drop();
        struct stat info {};
        std::error_code ec;
        if (::lstat(target.c_str(), &info) == 0) {
            if (fs::equivalent(target, file, ec)) {
                if (!Save()) return false;  // the file itself, with every check of Ctrl+S
            } else if (const std::string why = NotAFile(target); !why.empty()) {
                Say(notSaved + ": " + why);
                return false;
            } else if (replaceAsked != target) {
                replaceAsked = target;
                Say(std::string(Console::Tr("Er is al een bestand")) + " " + Console::Printable(typedPath) + ": " +
                    Console::Tr("nog eens Enter vervangt het, Esc niet"));
                return false;
            } else if (!SaveAs(target, true)) {
                return false;
            }
        } else if (!SaveAs(target)) {
            return false;
        }
    }
    Remember(file);
    ClosePrompt();
    return true;
}

// ---- The prompt's keys and text ----

void Session::ClosePrompt()
{
    prompt = Prompt::None;
    typedPath.clear();
    replaceAsked.clear();
    offered.Drop();
}

void Session::PromptText(const std::string& utf8)
{
    for (const char c : utf8) {
        if (static_cast<unsigned char>(c) < ' ' || c == 127 || typedPath.size() >= MostPath) continue;
        typedPath += c;
        replaceAsked.clear();
    }
}

bool Session::PromptKey(std::uint32_t vk)
{
    if (prompt == Prompt::None) return false;
    switch (vk) {
        case VK_ESCAPE:
            if (prompt == Prompt::SaveAs) Say(Console::Tr("Niet bewaard"));
            ClosePrompt();
            break;
        case VK_RETURN:
            PromptText(Wimdows::TakeText());  // what was typed before Return belongs to the path
            if (prompt == Prompt::SaveAs) {
                SaveTyped();
            } else if (!typedPath.empty() || pick < files.size()) {
                if (OpenPath(typedPath.empty() ? files[pick] : typedPath)) ClosePrompt();
            }
            break;
        case VK_UP:
            if (pick > 0) --pick;
            break;
        case VK_DOWN:
            if (pick + 1 < files.size()) ++pick;
            break;
        case VK_TAB:  // the chosen file's path, to change it
            if (prompt == Prompt::Open && pick < files.size()) typedPath = files[pick];
            replaceAsked.clear();
            break;
        case VK_BACK:
            while (!typedPath.empty() && (static_cast<unsigned char>(typedPath.back()) & 0xC0) == 0x80)
                typedPath.pop_back();
            if (!typedPath.empty()) typedPath.pop_back();
            replaceAsked.clear();
            break;
        default:
            break;  // the keys of the typed characters do nothing else
    }
    return true;
}

void DrawPrompt(const Session& s)
{
    if (s.prompt == Session::Prompt::None) return;
    const std::int32_t left = 220, top = 150, width = 600;
    const bool open = s.prompt == Session::Prompt::Open;
    const std::int32_t rows = open ? static_cast<std::int32_t>(std::min(s.files.size(), ListRows)) : 0;
    Box(left - 16, top - 40, left + width, top + 30 + 20 * rows + 10);
    Wimdows::SetFont(1, White);
    Wimdows::Text(open ? Console::Tr("Level openen: typ een pad of kies er een (pijlen, Tab, Enter, Esc)")
                       : Console::Tr("Bewaren als: typ een pad (Enter bewaart, Esc niet)"),
                  left, top - 34);
    Wimdows::SetFont(0, 0x00FFFF);
    Wimdows::Text(Console::Printable(Tail(std::string(Console::Tr("Pad")) + ": " + s.typedPath + "_", 90), 96).c_str(),
                  left, top);
    if (!open) return;
    const std::size_t first = s.pick >= ListRows ? s.pick - (ListRows - 1) : 0;
    for (std::int32_t i = 0; i < rows; ++i) {
        const std::size_t k = first + static_cast<std::size_t>(i);
        if (k >= s.files.size()) break;
        const std::int32_t y = top + 30 + i * 20;
        if (k == s.pick) Wimdows::Rectangle(left - 4, y - 1, left + width - 20, y + 17, 0x804020, true);
        const bool recent = std::find(s.recent.begin(), s.recent.end(), s.files[k]) != s.recent.end();
        Wimdows::SetFont(0, recent ? RecentColour : White);
        Wimdows::Text(Console::Printable(Tail(Shown(s.files[k]), 80), 86).c_str(), left, y);
    }
}

}  // namespace Editor
