// The level editor: a level file held in memory with its comments, the edits a player makes
// to it (undoable), the file written back in the loader's format, the predicted flight and
// the window that shows it all with the game's own drawing.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Physics/Object.hpp"

namespace Editor {

// ---- The level in memory ----
struct Body {
    Physics::OBJECT object = Physics::NewObj();
    // The comment lines ('*') between the previous section's head and this one's, kept
    // so that a saved file still explains itself.
    std::vector<std::string> comments;
};
// Body 0 is the black hole, 1 the rocket; a level always has both.
struct Level {
    std::vector<Body> bodies;
    std::vector<std::string> tailComments;  // after the last section head's properties
};
constexpr std::size_t MaxBodies = Physics::TableLength;

// What opening a file found. A damaged file still gives what the loader accepted.
struct OpenReport {
    bool opened = false;  // the file existed and could be read
    std::uint32_t badLines = 0;
    bool tooManySections = false;
    bool tooFewSections = false;
    std::string Summary() const;  // one line for the status bar, empty when all was read
};
// Reads the file through the game's own loader, so the editor holds exactly what the game
// would play; comments come from a second reading of the lines.
OpenReport ReadLevel(const std::string& path, Level& level);
// The file's text: sections in table order (the black hole first, the rocket second), each
// number in the fewest digits that load back to the same 32-bit value.
std::string LevelText(const Level& level);
std::string NumberText(float value);
// Writes through a temporary file and a rename, so a failed save keeps the old file; a
// link is written through to its target. False with why in `error`.
bool WriteLevel(const std::string& path, const Level& level, std::string& error);
// The body as a file can hold it: no -0, no numbers below the normal range, no infinities,
// no picture handles.
Physics::OBJECT StorableObject(const Physics::OBJECT& object);
// "data/level-NN.txt" for the first NN from 1 that has no file yet.
std::string NextFreeLevelFile();
// A level with only a black hole and a rocket, where a new level starts.
Level NewLevel();

// ---- Editing ----
// What a body is, as far as the level file can say it.
enum class Kind : std::uint8_t { Attracting, Repelling, NoField, Asteroid, Wall, DeadlyWall };
Kind KindOf(const Body& body);
const char* KindName(Kind kind);
// The next kind in the cycle, its shape and fields set to match (size and place kept).
Body WithKind(const Body& body, Kind kind);
Kind NextKind(Kind kind);

// The values a player steps with the keys, in the order Tab visits them.
enum class Value : std::uint8_t { PositionX, PositionY, Width, Height, SpeedX, SpeedY, Mass, Field, Count };
const char* ValueName(Value value, const Body& body);
// Steps the value up (direction 1) or down (-1), a tenth of the step when fine.
Body Stepped(const Body& body, Value value, int direction, bool fine);
// Grows (direction 1) or shrinks the width (a ball's radius), or the height of a rectangle.
Body Resized(const Body& body, int direction, bool height);
// An attracting planet at world point (x, y).
Body NewBodyAt(float x, float y);
// The body under window point (x, y), the topmost (highest index) first; -1 when none.
int BodyAt(const Level& level, std::int32_t x, std::int32_t y);
// The status line: the body's fields as the file will hold them.
std::string FieldsText(const Level& level, int index);

// A level with its undo history: every change since the file was opened.
class Document {
public:
    explicit Document(Level level = NewLevel());
    const Level& level() const { return level_; }
    // Replaces body `index`. With `merge` the change joins the previous one when that was a
    // change of the same body still open (a drag is one step to undo).
    void Change(int index, const Body& body, bool merge = false);
    // Closes the open change, so the next one is a step of its own.
    void Seal() { open_ = false; }
    // Adds a body at the end; false when the table is full.
    bool Add(const Body& body);
    // Removes a body; the black hole and the rocket stay (false).
    bool Remove(int index);
    bool Undo();
    bool Redo();
    bool Modified() const { return done_.size() != savedAt_ || savedLost_; }
    void MarkSaved();
    std::size_t UndoCount() const { return done_.size(); }
    // Grows with every edit the level has seen.
    std::uint64_t Version() const { return version_; }

private:
    enum class Op : std::uint8_t { Change, Insert, Erase };
    struct Edit {
        Op op;
        int index;
        Body before;
        Body after;
    };
    void Apply(const Edit& edit, bool forward);
    Level level_;
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
    std::vector<Physics::VECTOR> path;  // the rocket after every 10 ms step
    Ending ending = Ending::Flying;
};
// Launches the rocket as the game does at once (kor-sim's shot) and steps at the game's
// 10 ms until won, lost or 30 s of game time.
Prediction Predict(const Level& level, float speed, float angle);
constexpr std::uint32_t PredictStepMs = 10;
constexpr std::uint32_t PredictSteps = 3000;

// ---- The background search (kor-levelcheck's grid, both step sizes) ----
struct SearchResult {
    bool done = false;
    std::uint32_t shotsDone = 0;  // of shots() under both step sizes
    std::uint32_t shots = 0;
    std::uint32_t wins[2] = {0, 0};  // winning shots with steps of 10 and 20 ms
    std::uint32_t bothWins = 0;
    bool hasBest = false;
    float bestSpeed = 0.0f;
    float bestAngle = 0.0f;
    std::string bestRecipe;                // fine presses from the start of a game
    std::vector<std::uint8_t> map;         // per shot, speed-major: bit 0 wins at 10 ms, bit 1 at 20 ms
    std::uint32_t speeds = 0, angles = 0;  // the map's grid
};
// Worker threads over copies of the level: Start cancels any search under way and begins
// anew; Result can be read at any time from the thread that started it.
class Search {
public:
    explicit Search(unsigned workers = 2);
    ~Search();
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;
    // startSpeed: the speed the game starts the level with, for the best shot's presses.
    void Start(const Level& level, float startSpeed = 150.0f);
    void Cancel();
    SearchResult Result() const;
    // Waits until the search under way is done (tests, benchmarks).
    void Wait() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// ---- The window ----
// Opens the editor on `file` (made when it does not exist) and returns the program's status
// when the player leaves it.
int Run(const std::string& file);

}  // namespace Editor
