// The level select: the sets, then the chosen set's levels, chosen with the keyboard, the
// mouse or a pad (whose buttons come as keys). It runs in the menu's window.
#include "Select.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

#include "Console/Console.hpp"
#include "Drawing/Help.hpp"
#include "Drawing/Select.hpp"
#include "Files/Files.hpp"
#include "Options.hpp"
#include "SetArchive/SetArchive.hpp"
#include "Wimdows/Wimdows.hpp"

namespace KOR_Dudurad {

namespace {

using namespace Wimdows::VirtualKeys;
constexpr auto PollWait = std::chrono::milliseconds(10);

// The level number a file's name carries: "level-NN.txt", else 0.
std::uint32_t NumberInName(const std::string& path)
{
    const std::string name = std::filesystem::path(path).filename().string();
    if (!name.starts_with("level-") || !name.ends_with(".txt") || name.size() < 11 || name.size() > 19) return 0;
    const std::string digits = name.substr(6, name.size() - 10);
    if (digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    return static_cast<std::uint32_t>(std::stoul(digits));
}

std::string SetName(const Level::Set& set)
{
    switch (set.kind) {
        case Level::Set::Kind::Shipped:
            return Console::Tr("De levels van het spel");
        case Level::Set::Kind::MyLevels:
            return Console::Tr("Mijn levels");
        case Level::Set::Kind::Player:
            break;
    }
    return set.info.name;
}

std::string AboutLine(const Level::Set& set)
{
    std::string line;
    if (!set.info.author.empty()) {
        char by[200];
        std::snprintf(by, sizeof by, Console::Tr("Door %s"), set.info.author.c_str());
        line = by;
    }
    if (!set.info.about.empty()) line += (line.empty() ? "" : ". ") + set.info.about;
    return line;
}

struct Select {
    std::vector<Level::Set> sets;
    std::uint32_t set = 0;
    std::uint32_t firstSet = 0;
    std::vector<std::optional<Drawing::SelectLevel>> levels;  // read when first shown
    std::vector<std::uint32_t> won;
    std::uint32_t focus = 0;
    std::uint32_t firstRow = 0;
    bool onSets = false;
    bool help = false;

    const Level::Set& Current() const { return sets[set]; }
    std::uint32_t Count() const { return static_cast<std::uint32_t>(Current().levels.size()); }

    void Load(const std::string& folder)
    {
        sets = Level::ListSets(ShippedSet);
        set = 0;
        for (std::uint32_t i = 0; i < sets.size(); ++i)
            if (!folder.empty() && sets[i].folder == folder) set = i;
        Choose(set);
    }

    void Choose(std::uint32_t index)
    {
        set = std::min<std::uint32_t>(index, static_cast<std::uint32_t>(sets.size() - 1));
        if (set < firstSet) firstSet = set;
        if (set >= firstSet + Drawing::SelectSetRows) firstSet = set - Drawing::SelectSetRows + 1;
        levels.assign(Current().levels.size(), std::nullopt);
        won = Level::ReadProgress(Level::ProgressFile(Current()));
        focus = 0;
        firstRow = 0;
    }

    const Drawing::SelectLevel& Entry(std::uint32_t i)
    {
        if (!levels[i]) {
            Drawing::SelectLevel entry;
            entry.number = Current().levels[i];
            Level::File file;
            const Level::Report report = Level::Read(Level::FileName(Current().folder, entry.number), file);
            entry.readable = report.opened;
            Level::ToTable(file, entry.table);
            const Level::LevelInfo info = Level::InfoOf(file);
            entry.name = info.name;
            entry.hint = info.hint;
            entry.won = std::find(won.begin(), won.end(), entry.number) != won.end();
            levels[i] = std::move(entry);
        }
        return *levels[i];
    }

    void Scroll()
    {
        const std::uint32_t row = focus / Drawing::SelectColumns;
        if (row < firstRow) firstRow = row;
        if (row >= firstRow + Drawing::SelectRows) firstRow = row - Drawing::SelectRows + 1;
    }

    void Draw()
    {
        Drawing::SelectPage page;
        for (const Level::Set& s : sets) page.sets.push_back(SetName(s));
        page.set = set;
        page.firstSet = firstSet;
        page.about = AboutLine(Current());
        page.levelCount = Count();
        page.firstLevel = firstRow * Drawing::SelectColumns;
        for (std::uint32_t i = page.firstLevel;
             i < Count() && i < page.firstLevel + Drawing::SelectColumns * Drawing::SelectRows; ++i)
            page.levels.push_back(&Entry(i));
        page.focus = focus;
        page.onSets = onSets || Count() == 0;
        page.empty = Current().kind == Level::Set::Kind::MyLevels
                         ? Console::Tr("Nog geen eigen levels. Maak er een met: kor-dudurad --edit")
                         : Console::Tr("Deze set heeft geen levels.");
        Drawing::DrawSelect(page);
        if (help) Drawing::DrawHelp(Drawing::HelpScreen::Select);
    }

    // Moves the level focus by `step`, kept inside the set.
    void Move(std::int32_t step)
    {
        const std::int64_t to = static_cast<std::int64_t>(focus) + step;
        if (Count() == 0 || to < 0 || to >= Count()) return;
        focus = static_cast<std::uint32_t>(to);
        Scroll();
    }
};

// What a key does; true when a level was chosen.
enum class Outcome : std::uint8_t { None, Play, Back };

Outcome Key(Select& s, std::uint32_t key, bool shift)
{
    constexpr auto columns = static_cast<std::int32_t>(Drawing::SelectColumns);
    if (s.help) {
        if (key >= VK_SHIFT && key <= VK_MENU) return Outcome::None;  // ? needs Shift
        s.help = false;                                               // any other key closes the help
        return Outcome::None;
    }
    const bool sets = s.onSets || s.Count() == 0;
    const auto count = static_cast<std::uint32_t>(s.sets.size());
    switch (key) {
        case VK_ESCAPE:
            return Outcome::Back;
        case VK_F1:
        case VK_QUESTION:
            s.help = true;
            break;
        case VK_TAB:
            s.Choose((s.set + (shift ? count - 1 : 1)) % count);
            break;
        case VK_NEXT:
            s.Choose((s.set + 1) % count);
            break;
        case VK_PRIOR:
            s.Choose((s.set + count - 1) % count);
            break;
        case VK_UP:
            if (sets) {
                if (s.set > 0) s.Choose(s.set - 1);
            } else {
                s.Move(-columns);
            }
            break;
        case VK_DOWN:
            if (sets) {
                if (s.set + 1 < count) s.Choose(s.set + 1);
            } else {
                s.Move(columns);
            }
            break;
        case VK_LEFT:
            if (!sets && s.focus % Drawing::SelectColumns == 0) {
                s.onSets = true;
            } else if (!sets) {
                s.Move(-1);
            }
            break;
        case VK_RIGHT:
            if (sets) {
                s.onSets = false;
            } else {
                s.Move(1);
            }
            break;
        case VK_RETURN:
        case VK_SPACE:
            if (sets) {
                s.onSets = false;
                break;
            }
            return Outcome::Play;
        default:
            return Outcome::None;
    }
    return Outcome::None;
}

Outcome Mouse(Select& s, const Wimdows::MouseEvent& e)
{
    using Type = Wimdows::MouseEvent::Type;
    if (e.type == Type::Wheel) {
        if (s.help) return Outcome::None;
        s.Move(-e.wheel * static_cast<std::int32_t>(Drawing::SelectColumns));
        return Outcome::None;
    }
    if (e.type != Type::LeftDown) return Outcome::None;
    if (s.help) {
        s.help = false;
        return Outcome::None;
    }
    if (const std::int32_t row = Drawing::SelectSetRowAt(e.x, e.y); row >= 0) {
        const std::uint32_t index = s.firstSet + static_cast<std::uint32_t>(row);
        if (index < s.sets.size()) {
            if (index != s.set) s.Choose(index);
            s.onSets = false;
        }
        return Outcome::None;
    }
    if (const std::int32_t cell = Drawing::SelectCellAt(e.x, e.y); cell >= 0) {
        const std::uint32_t index = s.firstRow * Drawing::SelectColumns + static_cast<std::uint32_t>(cell);
        if (index >= s.Count()) return Outcome::None;
        // A click chooses a level, a click on the chosen one (or a double click) plays it.
        if (!s.onSets && index == s.focus) return Outcome::Play;
        s.focus = index;
        s.onSets = false;
    }
    return Outcome::None;
}

}  // namespace

Game::Setup SetGame(const Level::Set& set, std::uint32_t number)
{
    Game::Setup setup;
    setup.levels.folder = set.folder;
    setup.levels.first = number;
    setup.progress = Level::ProgressFile(set);
    const bool first = !set.levels.empty() && number == set.levels.front();
    switch (set.kind) {
        case Level::Set::Kind::Shipped:
            // From level 1 the menu's own game; the same rule as --level N otherwise.
            setup.table = number == 1 ? Game::ScoreTable::Game : Game::ScoreTable::NoTable;
            setup.remark = number == 1 ? Game::EndRemark::NoRemark : Game::EndRemark::NotInTable;
            break;
        case Level::Set::Kind::MyLevels:
        case Level::Set::Kind::Player:
            setup.scoreFile = set.folder + "/" + Level::SetScoresFile;
            setup.table = first ? Game::ScoreTable::Set : Game::ScoreTable::NoTable;
            setup.remark = first ? Game::EndRemark::NoRemark : Game::EndRemark::NotInTable;
            break;
    }
    return setup;
}

Game::Setup FileGame(const std::string& path)
{
    Game::Setup setup;
    setup.levels.from = Game::Levels::From::File;
    setup.levels.file = path;
    setup.levels.first = std::max<std::uint32_t>(NumberInName(path), 1);
    setup.table = Game::ScoreTable::NoTable;
    setup.remark = Game::EndRemark::LevelFile;
    return setup;
}

bool PlayableFile(const std::string& path, std::string& problem)
{
    std::string text;
    const Files::ReadResult r = Files::ReadBounded(path, Level::MaxFileBytes, text);
    switch (r.status) {
        case Files::Read::Done:
            return true;
        case Files::Read::TooLarge:
            problem = "larger than a level file can be";
            return false;
        case Files::Read::Missing:
        case Files::Read::NotRegular:
        case Files::Read::Failed:
            break;
    }
    problem = r.problem.empty() ? "no such file" : r.problem;
    return false;
}

bool ImportSetArchive(const std::string& path, std::string& folder)
{
    const SetArchive::Result result = SetArchive::ImportForPlayer(path);
    folder = result.ok ? result.folder : std::string();
    return result.ok;
}

bool TakeDrop(Game::Setup& setup, std::string& imported)
{
    std::string path;
    while (Wimdows::TakeDroppedFile(path)) {
        if (IsSetArchive(path)) {
            std::string folder;
            if (ImportSetArchive(path, folder)) imported = folder;
            continue;
        }
        std::string problem;
        if (!PlayableFile(path, problem)) {
            std::printf("[ERROR] (main) The dropped file %s cannot be played: %s.\n", Console::Printable(path).c_str(),
                        Console::Printable(problem).c_str());
            continue;
        }
        setup = FileGame(path);
        return true;
    }
    return false;
}

bool LevelSelect(Game::Setup& setup, const std::string& folder)
{
    Select s;
    s.Load(folder);
    Wimdows::FlushKeys();
    Wimdows::MouseEvent ignored;
    while (Wimdows::TakeMouseEvent(ignored)) {
    }
    struct Release {
        ~Release() { Drawing::ReleaseSelectPictures(); }
    } release;
    s.Draw();
    while (Wimdows::WindowEnded() == Wimdows::Ended::StillOpen) {
        bool changed = false;
        Outcome outcome = Outcome::None;
        for (bool shift = false; outcome == Outcome::None;) {
            const std::uint32_t key = Wimdows::TakeKey(shift);
            if (key == 0) break;
            outcome = Key(s, key, shift);
            changed = true;
        }
        for (Wimdows::MouseEvent e; outcome == Outcome::None && Wimdows::TakeMouseEvent(e);) {
            outcome = Mouse(s, e);
            changed = changed || e.type != Wimdows::MouseEvent::Type::Move;
        }
        std::string imported;
        if (TakeDrop(setup, imported)) return true;
        if (!imported.empty()) {
            s.Load(imported);
            changed = true;
        }
        switch (outcome) {
            case Outcome::Back:
                return false;
            case Outcome::Play:
                setup = SetGame(s.Current(), s.Current().levels[s.focus]);
                return true;
            case Outcome::None:
                break;
        }
        if (changed) s.Draw();
        std::this_thread::sleep_for(PollWait);
    }
    return false;
}

}  // namespace KOR_Dudurad
