// The editor's window: the level drawn by the game's own drawing code, edited with the mouse
// and keys, with the predicted flight redrawn in every frame that changes something and the
// background search's result in a corner.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <tuple>

#include "Console/Console.hpp"
#include "Drawing/Drawing.hpp"
#include "Drawing/Geometry.hpp"
#include "Editor/Editor.hpp"
#include "EditorInternal.hpp"
#include "Level/Geometry.hpp"
#include "Path/Path.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Editor {

namespace {

using Drawing::GetX;
using Drawing::GetY;
using Drawing::WindowHeight;
using Drawing::WindowWidth;
using namespace Wimdows::VirtualKeys;

constexpr std::uint32_t VK_F2 = VK_F1 + 1, VK_F3 = VK_F1 + 2;
constexpr auto FramePause = std::chrono::milliseconds(10);
constexpr std::uint32_t White = 0xFFFFFF;
constexpr std::uint32_t Yellow = 0x00FFFF;
constexpr std::uint32_t PanelColour = 0x461400;  // the menu's blue
// How long a modifier counts after its press when it is no longer held.
constexpr std::uint64_t ModifierMemoryMs = 400;
// How long a message stays on the status line, in frames.
constexpr std::uint32_t MessageFrames = 400;

}  // namespace

namespace {

// The session the overlay draws, for the drawing hook that has no arguments.
Session* current = nullptr;

void Panel(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)
{
    Wimdows::Rectangle(x0, y0, x1, y1, PanelColour, true);
    Wimdows::Rectangle(x0, y0, x1, y1, White, false);
}

void DrawMap(const Session& s)
{
    const Search::Summary& r = s.search;
    if (r.speeds == 0 || r.angles == 0 || r.map.size() < static_cast<std::size_t>(r.speeds) * r.angles) return;
    // Speed across, angle up, as kor-levelcheck's map.
    const std::int32_t cw = 3, ch = 1;
    const std::int32_t left = 200, top = 120;
    const std::int32_t w = cw * static_cast<std::int32_t>(r.speeds), h = ch * static_cast<std::int32_t>(r.angles);
    Panel(left - 10, top - 30, left + w + 10, top + h + 30);
    Wimdows::SetFont(0, White);
    Wimdows::Text(Console::Tr("Schotenkaart: snelheid 0-500 (rechts), hoek 0-2pi (omhoog)"), left, top - 24);
    for (std::uint32_t sp = 0; sp < r.speeds; ++sp) {
        for (std::uint32_t a = 0; a < r.angles; ++a) {
            const std::uint8_t m = r.map[static_cast<std::size_t>(sp) * r.angles + a];
            if (m == 0) continue;
            const std::uint32_t c = m == 3 ? 0x40D040 : m == 4 ? 0x404040 : 0x40C0E0;
            const std::int32_t x = left + static_cast<std::int32_t>(sp) * cw;
            const std::int32_t y = top + h - 1 - static_cast<std::int32_t>(a) * ch;
            Wimdows::Rectangle(x, y, x + cw - 1, y + ch - 1, c, true);
        }
    }
    // The current aim.
    const float turn = 6.283184f;
    const std::int32_t ax = left + static_cast<std::int32_t>(s.speed / 500.0f * static_cast<float>(w));
    const std::int32_t ay =
        top + h - static_cast<std::int32_t>(std::fmod(s.angle, turn) / turn * static_cast<float>(h));
    Wimdows::Line(ax - 6, ay, ax + 7, ay, White);
    Wimdows::Line(ax, ay - 6, ax, ay + 7, White);
    Wimdows::Text(Console::Tr("groen: wint bij 10 en 20 ms, blauw: bij een van beide"), left, top + h + 8);
}

void DrawHelp()
{
    static const char* const lines[] = {
        Console::TrLater("Muis: klik kiest een lichaam, slepen verplaatst het"),
        Console::TrLater("Wiel of + / -: grootte; Shift+wiel of * / /: hoogte van een rechthoek"),
        Console::TrLater("Enter, een cijfer of een klik op het paneel: waarde typen (Enter zet, Esc niet)"),
        Console::TrLater("K: soort (planeet, asteroide, muur, dodelijke muur)"),
        Console::TrLater("Tab: volgende waarde, PageUp/PageDown: waarde (Shift: fijn)"),
        Console::TrLater("D: dodelijk aan/uit   N: nieuw lichaam bij de muis   Delete: weg"),
        Console::TrLater("G: raster 10, 25, 50 of uit (slepen en N springen erop)"),
        Console::TrLater("Pijlen: richten zoals in het spel (Shift: per stap)"),
        Console::TrLater("Ctrl+Z / Ctrl+Y: ongedaan maken / opnieuw"),
        Console::TrLater("Ctrl+S: bewaren   Ctrl+O: openen (pad typen, recente bestanden; of slepen)"),
        Console::TrLater("Ctrl+Shift+S: bewaren als (een vrije naam staat klaar)   Ctrl+R: opnieuw lezen"),
        Console::TrLater("Ctrl+wiel: zoom   F: alles in beeld   Home: als in het spel"),
        Console::TrLater("Middelste of rechter knop slepen: beeld verschuiven"),
        Console::TrLater("Shift+klik, rechthoek slepen: meer lichamen   Ctrl+D/C/V: dubbel, kopieer, plak"),
        Console::TrLater("M: schotenkaart   B: richt op het beste schot"),
        Console::TrLater("F2: zoekhoek in- of uitklappen   F3: zoekhoek naar een andere hoek"),
        Console::TrLater("F5: speel het level (Esc keert terug)"),
        Console::TrLater("F1: deze hulp   Esc: stoppen"),
    };
    const std::int32_t left = 250, top = 200;
    Panel(left - 16, top - 40, left + 560, top + 22 * static_cast<std::int32_t>(std::size(lines)) + 10);
    Wimdows::SetFont(1, White);
    Wimdows::Text(Console::Tr("Leveleditor: toetsen"), left, top - 34);
    Wimdows::SetFont(0, White);
    std::int32_t y = top;
    for (const char* line : lines) {
        Wimdows::Text(Console::Tr(line), left, y);
        y += 22;
    }
}

}  // namespace

void Overlay()
{
    if (current == nullptr) return;
    const Session& s = *current;
    DrawGrid(s);
    DrawGameFrame(s);
    DrawChosen(s);
    DrawProperties(s);
    // The status lines, beside the game's aiming box.
    Wimdows::Rectangle(302, 700, WindowWidth - 1, WindowHeight - 1, PanelColour, true);
    Wimdows::SetFont(0, White);
    const std::string missing = Missing(s.doc.level());
    std::string head = (s.doc.Modified() ? "* " : "") + s.file + "  -  " +
                       (!missing.empty()    ? missing
                        : s.prediction.done ? std::string(EndingText(s.prediction.ending))
                                            : std::string(Console::Tr("de vlucht wordt berekend"))) +
                       s.KeepMark() + (s.view == View{} ? std::string() : "  -  " + ZoomText(s.view));
    Wimdows::Text(Console::Printable(head, 110).c_str(), 310, 702);
    if (!s.message.empty() && s.messageFrames > 0) {
        Wimdows::SetFont(0, Yellow);
        Wimdows::Text(Console::Printable(s.message, 110).c_str(), 310, 720);
    } else if (s.selected >= 0) {
        const Level::OBJECT& b = s.doc.level().sections[static_cast<std::size_t>(s.selected)].body;
        const std::string v = std::string(Console::Tr("waarde (Tab, PgUp/PgDn, Enter of cijfer: typen)")) + ": " +
                              ValueName(s.value, b) + "; " + AnchorText(b);
        Wimdows::Text(v.c_str(), 310, 720);
    } else {
        Wimdows::Text(Console::Tr("F1: hulp"), 310, 720);
    }
    Wimdows::SetFont(0, White);
    Wimdows::Text(Console::Printable(FieldsText(s.doc.level(), s.selected), 120).c_str(), 310, 740);

    if (s.doc.level().sections.size() < 2) {
        // Nothing to search without a black hole and a rocket: no corner.
        if (s.showHelp) DrawHelp();
        DrawPrompt(s);
        return;
    }
    DrawSearch(s);

    if (s.showMap) DrawMap(s);
    if (s.showHelp) DrawHelp();
    DrawPrompt(s);
}

namespace {

// Milliseconds since the session's first call, never 0 (0 marks "no press").
std::uint64_t SessionMs()
{
    static const auto start = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

}  // namespace

const char* EndingText(Ending e)
{
    switch (e) {
        case Ending::Won:
            return Console::Tr("gewonnen");
        case Ending::Crashed:
            return Console::Tr("neergestort");
        case Ending::Flying:
            return Console::Tr("vliegt nog na 30 s");
    }
    return "";
}

float StartSpeed(const std::string& file)
{
    // The aim a game starts a level with: 250 at level 1, 150 after a won level.
    const std::string name = std::filesystem::path(file).filename().string();
    return name == "level-01.txt" || name == "level-1.txt" ? 250.0f : 150.0f;
}

void Session::Say(const std::string& text)
{
    message = text;
    messageFrames = MessageFrames;
}

// ---- Input ----

void Session::Mouse(const Wimdows::MouseEvent& e)
{
    using Type = Wimdows::MouseEvent::Type;
    pointerX = e.x;
    pointerY = e.y;
    if (PanMouse(e)) return;
    const Level::VECTOR at = WorldAt(view, e.x, e.y);
    switch (e.type) {
        case Type::LeftDown: {
            if (PanelClick(e.x, e.y)) break;
            typing = false;
            const int hit = BodyAt(doc.level(), e.x, e.y, view);
            if (Wimdows::KeyDown(VK_SHIFT)) {
                Toggle(hit);
                break;
            }
            // A body of the group moves the group; any other is chosen alone.
            if (std::find(group.begin(), group.end(), hit) == group.end()) group.clear();
            selected = hit;
            dragging = selected >= 0;
            if (!dragging) {
                banding = true;
                bandX0 = e.x;
                bandY0 = e.y;
            }
            if (dragging) {
                const Level::OBJECT& o = doc.level().sections[static_cast<std::size_t>(selected)].body;
                grabX = o.Position.x - at.x;
                grabY = o.Position.y - at.y;
                doc.Seal();
            }
            break;
        }
        case Type::Move:
            // Whole units or the grid: a dragged body lands where a level maker would type it.
            if (dragging && selected >= 0) MoveChosen(Snapped(at.x + grabX, grid), Snapped(at.y + grabY, grid));
            break;
        case Type::LeftUp:
            if (banding) EndBand();
            dragging = false;
            doc.Seal();
            break;
        case Type::Wheel:
            if (Wimdows::KeyDown(VK_CONTROL) || SessionMs() - ctrlPressedAt < ModifierMemoryMs) {
                ZoomAt(e.wheel, e.x, e.y);
            } else if (selected >= 0) {
                const int dir = e.wheel > 0 ? 1 : -1;
                for (std::int32_t n = std::abs(e.wheel); n > 0; --n)
                    doc.Change(selected, Resized(doc.level().sections[static_cast<std::size_t>(selected)].body, dir,
                                                 Wimdows::KeyDown(VK_SHIFT)));
            }
            break;
        case Type::RightDown:
        case Type::RightUp:
        case Type::MiddleDown:
        case Type::MiddleUp:
            break;  // they pan (PanMouse)
    }
}

// Keys that act once per press; the aim keys are read as held, in Frame.
Action Session::Key(std::uint32_t vk)
{
    // A modifier counts when it is held now or was pressed a moment before: a quick Ctrl+S
    // may be over before the frame reads it, its two presses even in different frames.
    const std::uint64_t now = SessionMs();
    if (vk == VK_CONTROL || vk == VK_SHIFT) {
        (vk == VK_CONTROL ? ctrlPressedAt : shiftPressedAt) = now;
        return Action::None;
    }
    const bool ctrl = Wimdows::KeyDown(VK_CONTROL) || now - ctrlPressedAt < ModifierMemoryMs;
    const bool shift = Wimdows::KeyDown(VK_SHIFT) || now - shiftPressedAt < ModifierMemoryMs;
    ctrlPressedAt = shiftPressedAt = 0;  // one key takes them
    if (TypingKey(vk, shift)) return Action::None;
    if (vk != VK_ESCAPE) quitAsked = false;
    if (PromptKey(vk)) return Action::None;
    const bool hasSelection = selected >= 0 && static_cast<std::size_t>(selected) < doc.level().sections.size();
    Level::OBJECT b = hasSelection ? doc.level().sections[static_cast<std::size_t>(selected)].body : Level::NewObj();
    switch (vk) {
        case VK_ESCAPE:
            if (showHelp || showMap) {
                showHelp = showMap = false;
                return Action::None;
            }
            if (doc.Modified() && !quitAsked) {
                quitAsked = true;
                Say(Console::Tr("Niet bewaarde wijzigingen: Ctrl+S bewaart, nog eens Esc stopt zonder bewaren"));
                return Action::None;
            }
            return Action::Leave;
        case VK_F1:
            showHelp = !showHelp;
            return Action::None;
        case VK_F5:
            if (doc.level().sections.size() < 2) {
                Say(Missing(doc.level()));
                return Action::None;
            }
            return Action::PlayTest;
        case VK_M:
            showMap = !showMap;
            return Action::None;
        case VK_G:
            NextGrid();
            return Action::None;
        case VK_F:
            if (ctrl) break;
            Fit();
            return Action::None;
        case VK_HOME:
            ResetView();
            return Action::None;
        case VK_F2:
            searchFolded = !searchFolded;
            return Action::None;
        case VK_F3:
            searchCorner = (SearchCorner(*this) + 1) % 4;
            return Action::None;
        case VK_B:
            if (search.done && search.hasBest) {
                speed = search.bestSpeed;
                angle = search.bestAngle;
                Say(std::string(Console::Tr("Gericht op het beste schot")) + ": " + search.bestRecipe);
            }
            return Action::None;
        case VK_N: {
            const Level::VECTOR at = WorldAt(view, pointerX, pointerY);
            const float x = Snapped(at.x, grid), y = Snapped(at.y, grid);
            if (doc.Add(NewBodyAt(doc.level().sections.size(), x, y))) {
                selected = static_cast<int>(doc.level().sections.size()) - 1;
                group.clear();
                if (!Missing(doc.level()).empty()) {
                    Say(Missing(doc.level()));  // the rocket is next
                } else if (selected == 1) {
                    messageFrames = 0;  // black hole and rocket are there now
                }
            } else
                Say(Console::Tr("Het level is vol (101 lichamen)"));
            return Action::None;
        }
        case VK_DELETE:
        case VK_BACK:
            RemoveChosen();
            return Action::None;
        default:
            break;
    }
    if (ctrl) {
        if (vk == VK_Z || vk == VK_Y) group.clear();
        if (vk == VK_Z) {
            const std::string what = doc.UndoText();
            Say(doc.Undo() ? std::string(Console::Tr("Ongedaan gemaakt")) + ": " + what
                           : std::string(Console::Tr("Niets meer ongedaan te maken")));
        }
        if (vk == VK_Y) {
            const std::string what = doc.RedoText();
            Say(doc.Redo() ? std::string(Console::Tr("Opnieuw gedaan")) + ": " + what
                           : std::string(Console::Tr("Niets opnieuw te doen")));
        }
        if (vk == VK_S) shift ? StartSaveAs() : static_cast<void>(Save());
        if (vk == VK_R) Reload();
        if (vk == VK_D) Duplicate();
        if (vk == VK_C) Copy();
        if (vk == VK_V) Paste();
        if (vk == VK_O) {
            if (doc.Modified() && !openAsked) {
                openAsked = true;
                Say(Console::Tr("Niet bewaarde wijzigingen: Ctrl+S bewaart, nog eens Ctrl+O opent toch"));
                return Action::None;
            }
            openAsked = false;
            StartOpen();
        }
        if (selected >= static_cast<int>(doc.level().sections.size())) selected = -1;
        return Action::None;
    }
    openAsked = false;
    if (!hasSelection) return Action::None;
    switch (vk) {
        case VK_K:
            if (selected >= 2) {
                b = Level::WithKind(b, Level::NextKind(Level::KindOf(b)));
                doc.Change(selected, b);
            }
            break;
        case VK_D:
            b.GameOverOnCollision = !b.GameOverOnCollision;
            doc.Change(selected, b);
            break;
        case VK_TAB: {
            const int count = static_cast<int>(Value::Count);
            value = static_cast<Value>((static_cast<int>(value) + (shift ? count - 1 : 1)) % count);
            break;
        }
        case VK_PRIOR:
        case VK_NEXT:
            doc.Change(selected, Stepped(b, value, vk == VK_PRIOR ? 1 : -1, shift));
            break;
        case VK_RETURN:
            StartTyping("");
            break;
        default:
            break;
    }
    return Action::None;
}

void Session::Aim(std::uint64_t nowMs)
{
    if (prompt == Prompt::Open) return;  // the arrows choose a file
    // As in the game: a held arrow steps every frame; with Shift once per press, then
    // 15 times a second after 400 ms.
    const bool fine = Wimdows::KeyDown(VK_SHIFT);
    const std::uint32_t keys[4] = {VK_RIGHT, VK_LEFT, VK_UP, VK_DOWN};
    for (int k = 0; k < 4; ++k) {
        const bool down = Wimdows::KeyDown(keys[k]);
        std::uint32_t steps = 0;
        if (!fine) {
            steps = down ? 1 : 0;
            fineHeld[k] = false;
        } else if (!down) {
            fineHeld[k] = false;
        } else if (!fineHeld[k]) {
            fineHeld[k] = true;
            fineSince[k] = nowMs;
            fineRepeats[k] = 0;
            steps = 1;
        } else if (nowMs - fineSince[k] >= 400) {
            const std::uint64_t due = (nowMs - fineSince[k] - 400) * 15 / 1000 + 1;
            steps = static_cast<std::uint32_t>(std::min<std::uint64_t>(due - fineRepeats[k], 3));
            fineRepeats[k] = due;
        }
        for (; steps > 0; --steps) {
            if (k == 0 && speed < 500.0f) speed += 2.5f;
            if (k == 1 && speed > 0.0f) speed -= 2.5f;
            if (k == 2) {
                angle += 0.0125f;
                if (angle > 6.283184f) angle -= 6.283184f;
            }
            if (k == 3) {
                angle -= 0.0125f;
                if (angle < 0.0f) angle += 6.283184f;
            }
        }
    }
}

void Session::Refresh()
{
    // The flight is computed on its own thread, started again by every change; the frame
    // draws as much of it as is there.
    if (!predictor) predictor = std::make_unique<Predictor>();
    if (predictedVersion != doc.Version() || predictedSpeed != speed || predictedAngle != angle) {
        predictor->Start(doc.level(), speed, angle);
        predictedVersion = doc.Version();
        predictedSpeed = speed;
        predictedAngle = angle;
    }
    predictor->Take(prediction);
    if (searcher != nullptr) {
        if (searchedVersion != doc.Version()) {
            // Without a black hole and a rocket there is nothing to search.
            if (doc.level().sections.size() >= 2)
                searcher->Start(Level::TableOf(doc.level()), StartSpeed(file));
            else
                searcher->Cancel();
            searchedVersion = doc.Version();
        }
        search = searcher->Result();
    }
}

std::string TitleOf(const std::string& file, bool modified)
{
    return "The KOR Dudurad - " + std::filesystem::path(file).filename().string() + (modified ? " *" : "");
}

void Session::Draw()
{
    const std::string wanted = TitleOf(file, doc.Modified());
    if (wanted != title && Wimdows::SetTitle(wanted)) title = wanted;
    // A level without its black hole or rocket is drawn with what it has and blank bodies in
    // the missing places (they have no size, so nothing shows); the status line says what is
    // missing.
    const Level::File& level = doc.level();
    Level::ToTable(level, shown);
    if (level.sections.size() == 1) shown.Objects[0] = level.sections[0].body;
    if (!(view == View{}))
        for (std::uint32_t i = 0; i <= shown.N && i < Level::TableLength; ++i)
            shown.Objects[i] = Viewed(view, shown.Objects[i]);
    // Held, as while aiming: the game draws the aiming arrow then. A missing rocket has none.
    shown.Objects[1].Mass = level.sections.size() < 2 ? 1.0f : 0.0f;
    Drawing::RefreshPictures(shown.Objects, shown.N);
    // The game's dotted path, point for point as it records one.
    Path::Clear();
    for (const Level::VECTOR& p : prediction.path) {
        const Level::VECTOR v = Viewed(view, p);
        Path::Add(GetX(v.x), GetY(v.y));
    }
    current = this;
    Drawing::Draw(shown.Objects, shown.N, LevelNumberOf(file), 0, angle, speed, angle, speed);
    if (messageFrames > 0) --messageFrames;
}

std::uint32_t LevelNumberOf(const std::string& file)
{
    const std::string name = std::filesystem::path(file).filename().string();
    unsigned n = 0;
    char tail[8] = {};
    if (std::sscanf(name.c_str(), "level-%u.%7s", &n, tail) == 2) return n;
    return 0;
}

int Run(const std::string& file)
{
    const Console::GameInProgress editing;  // a stop signal ends the editor, its work kept
    Session s;
    std::string path = file;
    if (path.empty()) {
        // A new level: its number is claimed with its file, so two editors never share one.
        std::string error;
        path = ClaimLevelFile(NewLevelFolder(), error);
        if (path.empty()) {
            std::fprintf(stderr, "[ERROR] (Editor) No new level file could be made: %s\n", error.c_str());
            return 1;
        }
        s.claim.path = path;
        s.claim.stamp = StampOf(path);
    }
    Search::Background search(2);
    s.searcher = &search;

    Drawing::LoadWindow();
    if (Wimdows::WindowEnded() != Wimdows::Ended::StillOpen) {
        std::fprintf(stderr, "[ERROR] (Editor) The editor's window could not be opened.\n");
        return 1;
    }
    // The background, the aiming box and the arrows; the bodies' pictures follow the level
    // frame by frame (Drawing::RefreshPictures).
    const Level::Table none = Level::TableOf(Level::File{});
    Drawing::LoadGraph(none.Objects, none.N);
    Drawing::SetOverlay(&Overlay);
    Drawing::StopRecordingPath();  // the path drawn is the prediction alone
    s.recent = ReadRecent(RecentFile());
    s.Open(path);
    if (!s.claim.Holds(path)) s.Remember(path);

    const auto start = std::chrono::steady_clock::now();
    auto next = start;
    int status = 0;
    for (;;) {
        const bool closed = Wimdows::WindowEnded() != Wimdows::Ended::StillOpen;
        if (closed || Console::StopSignal() != 0) {
            // Closed with its close box or stopped by a signal: no question can be asked, and
            // nothing may be lost, so unsaved work goes beside the file.
            if (s.doc.Modified()) s.Rescue();
            if (closed) status = Wimdows::WindowEnded() == Wimdows::Ended::ClosedByUser ? 0 : 1;
            break;
        }
        Wimdows::MouseEvent e;
        while (Wimdows::TakeMouseEvent(e)) s.Mouse(e);
        Action action = Action::None;
        while (const std::uint32_t vk = Wimdows::TakeKey()) {
            action = s.Key(vk);
            if (action != Action::None) break;
        }
        if (action == Action::None) s.Text(Wimdows::TakeText());
        for (std::string dropped; action == Action::None && Wimdows::TakeDroppedFile(dropped);) s.Drop(dropped);
        if (action == Action::Leave) break;
        const std::uint64_t now = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
        s.Aim(now);
        if (action == Action::PlayTest) {
            Drawing::SetOverlay(nullptr);
            search.Cancel();
            Game::PlayGame(PlayTestSetup(s.doc.level(), LevelNumberOf(s.file), s.angle, s.speed));
            if (Wimdows::WindowEnded() != Wimdows::Ended::StillOpen || Console::StopSignal() != 0) continue;
            // The game's window took the place of ours, with its own pictures: load ours again.
            // A game left in flight is still recording its path, which is now the prediction's.
            Drawing::StopRecordingPath();
            Drawing::LoadGraph(none.Objects, none.N);
            Drawing::SetOverlay(&Overlay);
            Wimdows::FlushKeys();
            Wimdows::TakeText();
            while (Wimdows::TakeMouseEvent(e)) {
            }
            s.searchedVersion = ~std::uint64_t{0};
            s.title.clear();  // the game's window had the game's title
            s.Say(Console::Tr("Terug uit het spel: level en ongedaan-maken zijn als voorheen"));
            next = std::chrono::steady_clock::now();
        }
        s.Refresh();
        s.Draw();
        if (const FrameHook hook = frameHook.load()) hook(s);
        // The game's frame pace; a late frame does not try to catch up.
        next += FramePause;
        const auto t = std::chrono::steady_clock::now();
        if (next < t) next = t;
        std::this_thread::sleep_until(next);
    }
    search.Cancel();
    Drawing::SetOverlay(nullptr);
    current = nullptr;
    Drawing::UnloadGraph();
    Path::Clear();
    return Console::StopSignal() != 0 ? 128 + Console::StopSignal() : status;
}

std::atomic<FrameHook> frameHook{nullptr};

}  // namespace Editor
