// The level editor: a level file held in memory with its comments (Level::File), the edits a
// player makes to it (undoable), the file written back by the level's own writer, the
// predicted flight and the window that shows it all with the game's own drawing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Level/File.hpp"

namespace Editor {

// ---- The level's file ----
// Reads the file with the level's reader, as the game would play it, every comment kept and
// the game's console lines printed. A file that cannot be read gives a new level (NewLevel);
// one with fewer than two bodies is kept as it is. The report names every line not taken.
Level::Report ReadLevel(const std::string& path, Level::File& level);
// One line for the status bar: what the read left out or could not take, the first such
// line named; empty when all was read.
std::string Summary(const Level::Report& report);
// Writes Level::Text through Files::Save: a failed save keeps the old file; a link is written
// through to its target, mode and hard links are kept. False with why in `error`.
bool WriteLevel(const std::string& path, const Level::File& level, std::string& error);
// ---- Where the editor's files go ----
// What the editor knew of a file when it read or saved it (links followed). A save compares
// it with the file on disk, so a file another program changed, replaced or made meanwhile is
// never overwritten blindly. The content's hash catches a change within the clock's tick.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified = 0;  // ns
    std::uint64_t hash = 0;     // of the bytes, up to Level::MaxFileBytes
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::string& path);

// Claims a new level file in folder: creates the first free "level-NN.txt" exclusively
// (empty), so that two editors never choose the same one. The folder and those above it are
// made when missing (those the player's folder lies in 0700, the rest as the umask gives).
// Empty, with why in `error`, when no file could be made.
std::string ClaimLevelFile(const std::string& folder, std::string& error);
// A new free name for a copy of path, claimed as above: "level-NN.txt" with the next free
// number for a level file, "NAME-2.txt", "NAME-3.txt"... for another name; beside path,
// or in My levels when its folder cannot take it. Empty, with why in `error`, when neither can.
std::string ClaimCopyName(const std::string& path, std::string& error);
// The folder a new level goes into: My levels in the player's folder, else data/ here.
std::string NewLevelFolder();

// Why a save may not write the file that was opened.
enum class Keep : std::uint8_t {
    None,          // the player's own file: Ctrl+S writes it
    Unreadable,    // could not be read (too large, not a regular file, unreadable): never written
    Installation,  // a level of the game's installation (directly or through the launcher's link)
    ReadOnly,      // the player cannot write it or its folder
};
// The installation's level folder, found from where the program lies.
std::vector<std::string> InstalledLevelFolders();
// The protection a file needs, given what reading it found and the installation's folders.
Keep KeepOf(const std::string& path, const Level::Report& report,
            const std::vector<std::string>& installed = InstalledLevelFolders());

// Where unsaved work went when the editor had to end without asking.
struct Rescued {
    std::string path;    // the file that holds it; empty when it could not be kept
    std::string taken;   // the first name beside the level that was taken, left as it was
    std::string reason;  // why not beside the level, or why not at all; empty when all went well
};
// Keeps text in a new file "FILE.unsaved" (then "FILE.unsaved-2", ...), made exclusively and
// never through a link, so an older rescue or a file planted under the name stays as it was.
// Where the level's folder cannot take it, or the name is a folder, it goes to the player's
// folder ("rescued/"). Waits for nothing: it runs while a stop signal's time runs out.
Rescued KeepUnsaved(const std::string& file, const std::string& text);
// The rescue files an earlier session left for file, beside it and in the player's folder.
std::vector<std::string> RescuesOf(const std::string& file);
// A level with only a black hole and a rocket, where a new level starts.
Level::File NewLevel();

// ---- Editing ----
// The values a player steps with the keys, in the order Tab visits them.
enum class Value : std::uint8_t { PositionX, PositionY, Width, Height, SpeedX, SpeedY, Mass, Field, Count };
// Whether the shape has a height of its own besides its width.
bool HasHeight(Level::SHAPE shape);
// The value's key in the file for this body ("Radius" for a ball's width).
const char* ValueName(Value value, const Level::OBJECT& body);
// Steps the value up (direction 1) or down (-1), a tenth of the step when fine.
Level::OBJECT Stepped(const Level::OBJECT& body, Value value, int direction, bool fine);
// The body with a typed value set, as the file will hold it; false with a few words why when
// the file could not hold it (no number of the file's grammar, a negative size or mass, a size
// the reader would cut, a ball's height).
bool Typed(const Level::OBJECT& body, Value value, std::string_view text, Level::OBJECT& out, std::string& why);
// Where a body's position lies, for the status line: a rectangle's lower-left corner, a
// ball's centre.
const char* AnchorText(const Level::OBJECT& body);
// Grows (direction 1) or shrinks the width (a ball's radius), or the height when asked and the
// body has one.
Level::OBJECT Resized(const Level::OBJECT& body, int direction, bool height);
// The body the N key adds at world point (x, y) as body `index`: a black hole or a rocket
// where the level lacks one, else an attracting planet.
Level::Section NewBodyAt(std::size_t index, float x, float y);
// How the editor's window shows the level: scaled by `zoom` about the world's origin, then
// moved by (panX, panY) window pixels, right and up. The default shows it as the game does.
struct View {
    float zoom = 1.0f;
    float panX = 0.0f;
    float panY = 0.0f;
    bool operator==(const View&) const = default;
};
// The world point under window pixel (x, y).
Level::VECTOR WorldAt(const View& view, std::int32_t x, std::int32_t y);
// A world point, or a body, where the game's drawing must place it to show it in the view.
Level::VECTOR Viewed(const View& view, const Level::VECTOR& p);
Level::OBJECT Viewed(const View& view, const Level::OBJECT& body);
// The body under window point (x, y), the topmost (highest index) first; -1 when none.
int BodyAt(const Level::File& level, std::int32_t x, std::int32_t y, const View& view = {});
// The status line: the body's fields as the file will hold them.
std::string FieldsText(const Level::File& level, int index);
// The level's black hole and rocket that are missing, as a status line; empty when both are there.
std::string Missing(const Level::File& level);

// A level with its undo history: every change since the file was opened.
class Document {
public:
    explicit Document(Level::File level = NewLevel());
    const Level::File& level() const { return level_; }
    // Replaces body `index` (its comments stay). With `merge` the change joins the previous one
    // when that was a change of the same body still open (a drag is one step to undo).
    void Change(int index, const Level::OBJECT& body, bool merge = false);
    // Changes several bodies as one step; with `merge` it joins the previous one when that
    // changed the same bodies and is still open (a group dragged is one step to undo).
    void ChangeMany(const std::vector<std::pair<int, Level::OBJECT>>& bodies, bool merge = false);
    // Adds bodies as one step, as many as the table takes; how many.
    std::size_t AddMany(const std::vector<Level::Section>& sections);
    // Removes bodies as one step (the black hole and the rocket stay); how many.
    std::size_t RemoveMany(std::vector<int> indexes);
    // Closes the open change, so the next one is a step of its own.
    void Seal() { open_ = false; }
    // Adds a body at the end; false when the table is full.
    bool Add(const Level::Section& section);
    // Removes a body; the black hole and the rocket stay (false).
    bool Remove(int index);
    bool Undo();
    bool Redo();
    // What Undo or Redo would do, in a few words ("Position_X, Radius van lichaam 2"); empty
    // when there is nothing.
    std::string UndoText() const;
    std::string RedoText() const;
    bool Modified() const { return done_.size() != savedAt_ || savedLost_; }
    void MarkSaved();
    std::size_t UndoCount() const { return done_.size(); }
    // Grows with every edit the level has seen.
    std::uint64_t Version() const { return version_; }

private:
    enum class Op : std::uint8_t { Change, Insert, Erase };
    // A change keeps the body before and after; an insert or erase the whole section with its
    // comments. So an edit costs what it changed, however many comments the level has.
    struct Edit {
        Op op;
        int index;
        Level::OBJECT before;
        Level::OBJECT after;
        Level::Section section;
        bool joined = false;  // undone and redone together with the edit before it
    };
    void Apply(const Edit& edit, bool forward);
    static std::string Describe(const Edit& edit);
    Level::File level_;
    std::vector<Edit> done_;
    std::vector<Edit> undone_;
    bool open_ = false;
    std::size_t savedAt_ = 0;
    bool savedLost_ = false;  // the saved state was undone and then overwritten
    std::uint64_t version_ = 0;
};

// ---- The predicted flight ----
enum class Ending : std::uint8_t { Won, Crashed, Flying };
struct Prediction {
    std::vector<Level::VECTOR> path;  // the rocket after every 10 ms step
    Ending ending = Ending::Flying;
    bool done = true;  // false while a Predictor is still computing the flight
};
// Launches the rocket as the game does at once (kor-sim's shot) and steps at the game's
// 10 ms until won, lost or 30 s of game time. Nothing flies in a level without a black hole
// and a rocket.
Prediction Predict(const Level::File& level, float speed, float angle);
constexpr std::uint32_t PredictStepMs = 10;
constexpr std::uint32_t PredictSteps = 3000;

// Predict on a thread of its own, so that a frame never waits for a flight (3,000 steps of a
// 101-body level take most of 200 ms): Start gives up the flight under way and begins the
// new one; Take hands over the path as far as it has been computed. Start, Take and Wait are
// called from one thread.
class Predictor {
public:
    Predictor();
    ~Predictor();
    Predictor(const Predictor&) = delete;
    Predictor& operator=(const Predictor&) = delete;
    void Start(const Level::File& level, float speed, float angle);
    // Brings `p` up to the flight last started, as far as it is computed (the ending is Flying
    // and `done` false until it is complete). False when nothing changed since the last Take.
    bool Take(Prediction& p);
    // Takes until the flight is complete (tests, tools).
    void Wait(Prediction& p);

private:
    struct State;
    std::unique_ptr<State> state_;
    std::uint64_t taken_ = ~std::uint64_t{0};
};

// ---- The window ----
// Opens the editor on `file` (made when it does not exist; with no file, a new level claimed in
// NewLevelFolder()) and returns the program's status
// when the player leaves it. The search for winning shots runs in the background
// (Search::Background) while the player edits.
int Run(const std::string& file);

}  // namespace Editor
