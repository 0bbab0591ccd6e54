// Inside the editor's window: the session's state and its input handling, open to the tests.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Editor/Editor.hpp"
#include "Game/Game.hpp"
#include "Search/Search.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Editor {

enum class Action : std::uint8_t { None, Leave, PlayTest };

// The last window row of the level's field: the status lines and the aiming box lie below.
constexpr std::int32_t FieldBottom = 699;

// A new level's file this session made, empty, to hold its number: removed at the end when
// nothing was ever written to it.
struct Claim {
    std::string path;
    FileStamp stamp;
    bool Holds(const std::string& file) const;  // file is it, still as it was made
    void Drop();                                // removed now when never written; forgotten
    Claim() = default;
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;
    ~Claim();
};

struct Session {
    Document doc;
    std::string file;
    int selected = -1;
    Value value = Value::PositionX;
    float angle = 0.0f;
    float speed = 150.0f;
    Prediction prediction;
    Search::Summary search;
    std::string message;
    std::uint32_t messageFrames = 0;
    bool showHelp = false;
    bool showMap = false;
    bool quitAsked = false;  // Escape once with unsaved changes
    bool openAsked = false;  // Ctrl+O once with unsaved changes
    std::vector<std::string> files;
    std::size_t pick = 0;
    bool dragging = false;
    float grabX = 0.0f;  // the body's place less the pointer's, in world units
    float grabY = 0.0f;
    std::int32_t pointerX = 512;
    std::int32_t pointerY = 384;
    std::uint64_t ctrlPressedAt = 0;  // when Ctrl was last pressed (ms), for a key that follows
    std::uint64_t shiftPressedAt = 0;
    bool fineHeld[4] = {};
    std::uint64_t fineSince[4] = {};
    std::uint64_t fineRepeats[4] = {};
    std::uint64_t predictedVersion = ~std::uint64_t{0};
    float predictedSpeed = -1.0f;
    float predictedAngle = -1.0f;
    std::uint64_t searchedVersion = ~std::uint64_t{0};
    Search::Background* searcher = nullptr;
    Level::Table shown{};                  // what the drawing shows
    std::unique_ptr<Predictor> predictor;  // the flight's own thread, made at the first Refresh
    // A value being typed into the properties panel (Panel.cpp).
    bool typing = false;
    std::string typed;
    bool typedFresh = false;  // the first character typed replaces the value shown

    // Typed text (Wimdows::TakeText): the characters of a value being typed, or "+" "-" "*" "/"
    // for the size and a digit that starts typing the current value.
    void Text(const std::string& utf8);
    // A key while a value is typed: Return applies it, Tab applies it and goes on to the next,
    // Escape gives it up; true when the key was the typing's.
    bool TypingKey(std::uint32_t vk, bool shift);
    void StartTyping(const std::string& first);
    // The typed value set as one undo step; false (still typing) with why on the status line.
    bool ApplyTyped();
    // A click on the properties panel: true when it was there.
    bool PanelClick(std::int32_t x, std::int32_t y);
    // The search's corner (SearchPanel.cpp): folded to one line (F2), the corner chosen (F3).
    bool searchFolded = false;
    std::int32_t searchCorner = 0;
    // The grid's size in world units, 0 for none (Grid.cpp); G chooses the next.
    float grid = 0.0f;
    void NextGrid();
    // Several bodies chosen (Selection.cpp): `group` holds them all, `selected` the one the
    // panel shows; empty while one body or none is chosen.
    std::vector<int> group;
    bool banding = false;  // a rubber band from (bandX0, bandY0) to the pointer
    std::int32_t bandX0 = 0, bandY0 = 0;
    // The bodies chosen: the group, or the selected body alone.
    std::vector<int> Chosen() const;
    // Shift+click: the body joins the group or leaves it.
    void Toggle(int index);
    void EndBand();
    // The chosen bodies moved together so that the selected one stands at (x, y).
    void MoveChosen(float x, float y);
    void RemoveChosen();
    // Ctrl+D, Ctrl+C, Ctrl+V (Clipboard.cpp); what is added becomes the group.
    void Duplicate();
    void Copy();
    void Paste();
    void AddAndChoose(const std::vector<Level::Section>& sections);
    // The window's title as last set: the game's name, the file's and a mark for unsaved work.
    std::string title;
    // ---- The view (View.cpp) ----
    View view;
    bool panning = false;  // the middle or right button held: the pointer moves the view
    std::int32_t panFromX = 0, panFromY = 0;
    // Ctrl+wheel: the next zoom steps in or out, the world point under (x, y) kept there.
    void ZoomAt(std::int32_t clicks, std::int32_t x, std::int32_t y);
    void Fit();        // F: every body in the window
    void ResetView();  // Home: as the game shows the level
    // The middle and right buttons pan; true when the event was theirs.
    bool PanMouse(const Wimdows::MouseEvent& e);

    // ---- Typed paths, recent files and dropped files (OpenSave.cpp) ----
    enum class Prompt : std::uint8_t { None, Open, SaveAs };
    Prompt prompt = Prompt::None;
    std::string typedPath;            // the path typed so far
    std::string replaceAsked;         // save-as: the existing file a second Return replaces
    Claim offered;                    // save-as: the free name the prompt was filled with, held until it is used
    std::string dropAsked;            // a file dropped once while changes are unsaved
    std::vector<std::string> recent;  // newest first, as read at the start and after each change
    // Ctrl+O: the list (recent files first, then the level's folder and data/) with a typed path.
    void StartOpen();
    // Ctrl+Shift+S: a path to type, filled with the next free name (claimed while it is shown).
    void StartSaveAs();
    // A key while a path is typed or the list is shown; true when it was the prompt's.
    bool PromptKey(std::uint32_t vk);
    void PromptText(const std::string& utf8);
    void ClosePrompt();
    // Return on the save-as prompt: the level to the typed path; an existing file asks for a
    // second Return, a folder, FIFO or link to nothing is refused. False with why when not saved.
    bool SaveTyped();
    // Opens the level at path when it can be read as one; false with why on the status line.
    bool OpenPath(const std::string& path);
    // A file dropped on the window: opened, after a question when changes are unsaved.
    void Drop(const std::string& path);
    // The file joins the front of the recent files (saved at once).
    void Remember(const std::string& path);

    void Open(const std::string& path);
    bool Save();
    void Say(const std::string& text);
    void Mouse(const Wimdows::MouseEvent& e);
    Action Key(std::uint32_t vk);
    void Aim(std::uint64_t nowMs);
    void ListFiles();  // for Ctrl+O: the recent files, then the level's folder and data/
    // The prediction and the search brought up to date with the level and the aim.
    void Refresh();
    void Draw();

    // ---- The file (Storage.cpp) ----
    // Ctrl+Shift+S: the level under the next free name beside its file, or in My levels
    // when that folder cannot take it; the editor goes on with the new file.
    bool SaveCopy();
    // The name SaveCopy would take, claimed (made empty and exclusively); empty with why.
    std::string ClaimCopy(std::string& error) const;
    // The level to path, which the editor then goes on with. A file already there is
    // replaced only when asked (and never one the editor would not save over); a new one is
    // made exclusively. False, with why on the status line, when not saved.
    bool SaveAs(const std::string& path, bool replace = false);
    // Ctrl+R: the file read again (asks once when there are unsaved changes); the aim stays.
    void Reload();
    // Unsaved work kept when the editor must end without asking (a stop signal, the close
    // box): in the new level's own file, else in a rescue file (KeepUnsaved). Said on the console.
    void Rescue();
    // Why Ctrl+S writes a copy and where, for the status line; empty when it writes the file.
    std::string KeepNote() const;
    std::string KeepMark() const;                    // the same in a few words, for the file's line
    bool Adopt(const std::string& path, bool made);  // saves to path and goes on with it

    FileStamp stamp;             // the file as it was read or last saved
    Keep keep = Keep::None;      // why Ctrl+S does not write the file itself
    bool changedOnDisk = false;  // a save found the file changed behind the editor's back
    std::uint64_t reloadAskedAt = ~std::uint64_t{0};
    Claim claim;  // the new level's file, while it is still empty
};

// The search's corner as drawn: the chosen one, or the next that hides neither the black hole
// nor the rocket (SearchPanel.cpp).
std::int32_t SearchCorner(const Session& s);
void DrawSearch(const Session& s);
// The best shot's presses in the player's language.
std::string RecipeText(const std::string& recipe);
// "The KOR Dudurad - level-01.txt", with " *" after it while changes are unsaved.
std::string TitleOf(const std::string& file, bool modified);
// The chosen bodies as level-file text, their comments with them.
std::string ChosenText(const Session& s);
// The frames of the chosen bodies and the rubber band.
void DrawChosen(const Session& s);
// A place on the grid (whole units without one), halves to even.
float Snapped(float v, float grid);
void DrawGrid(const Session& s);
// The game's own view as a frame while the view is another (View.cpp).
void DrawGameFrame(const Session& s);
std::string ZoomText(const View& view);
// The typed path and the list of Ctrl+O (OpenSave.cpp).
void DrawPrompt(const Session& s);
// The recent files: where they are kept, read back bounded (at most MostRecent paths, only
// absolute ones of printable text) and saved atomically, a list another editor saved
// meanwhile merged in.
constexpr std::size_t MostRecent = 10;
std::string RecentFile();
std::vector<std::string> ReadRecent(const std::string& file);
bool SaveRecent(const std::string& file, const std::string& newest, std::vector<std::string>& list);
// The properties panel of the selected body (Panel.cpp).
void DrawProperties(const Session& s);

// A path as the status line shows it (the home folder as "~"), and a typed one with "~/"
// as the home folder.
std::string Shown(const std::string& path);
std::string Expanded(const std::string& path);
// Makes folder and what is missing above it (those the player's folder lies in private).
bool MakeFolders(const std::string& folder, std::string& error);

// The editor's boxes over the game's picture (Drawing's overlay hook), for the session drawn last.
void Overlay();

const char* EndingText(Ending e);
// The speed a game starts the level with: 250 at level 1, 150 after a won level.
float StartSpeed(const std::string& file);
// NN of ".../level-NN.txt", 0 for other names.
std::uint32_t LevelNumberOf(const std::string& file);

// The game the play-test plays: the level in memory from the aim given, shown as level
// `number`, entering no table.
Game::Setup PlayTestSetup(const Level::File& level, std::uint32_t number, float angle, float speed);

// Called after every frame of Run, on its thread (tests).
using FrameHook = void (*)(Session& session);
extern std::atomic<FrameHook> frameHook;

}  // namespace Editor
