// The level editor: files written back bit for bit, edits and their undo history, the
// prediction against kor-sim, the search against kor-levelcheck, and a session driven through
// the window layer's input seams.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <thread>

#include "Bodies.hpp"
#include "Console/Language.hpp"
#include "Drawing/Drawing.hpp"
#include "Drawing/Geometry.hpp"
#include "Editor/Editor.hpp"
#include "EditorInternal.hpp"
#include "Game/Game.hpp"
#include "Search/Search.hpp"
#include "TempDir.hpp"
#include "Wimdows/Wimdows.hpp"
#include "Wimdows/WimdowsTesting.hpp"
#include "levelcheck/RunTool.hpp"

namespace {

using Editor::Document;
using Level::Section;

const std::filesystem::path DataDir = KOR_DATA_DIR;

std::vector<std::filesystem::path> ShippedLevels()
{
    std::vector<std::filesystem::path> files;
    for (std::uint32_t n = 1;; ++n) {
        const auto f = DataDir / Level::FileName(n).substr(5);
        if (!std::filesystem::exists(f)) break;
        files.push_back(f);
    }
    return files;
}

// The table the game's loader makes of a file, compared field by field.
std::vector<Level::OBJECT> Loaded(const std::string& path)
{
    Level::Table level;
    Game::LoadLevelFile(path.c_str(), level);
    return {level.Objects.begin(), level.Objects.begin() + level.N + 1};
}

bool SameBits(const std::vector<Level::OBJECT>& a, const std::vector<Level::OBJECT>& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Level::Text(FileOf({a[i]})) != Level::Text(FileOf({b[i]}))) return false;
    }
    return true;
}

std::size_t CommentLines(const std::string& text)
{
    std::size_t n = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) n += !line.empty() && line[0] == '*';
    return n;
}

// The editor keeps its recent files in the player's folder: the tests' go into one of their
// own, never into the home folder of whoever runs them.
class OwnPlayerFolder : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kor-player-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        ::setenv("XDG_DATA_HOME", folder_.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

private:
    std::string folder_;
};
[[maybe_unused]] ::testing::Environment* const ownPlayerFolder =
    ::testing::AddGlobalTestEnvironment(new OwnPlayerFolder);

// 64-bit FNV-1a of a saved file: enough to tell that a save came out byte for byte the same.
std::uint64_t Fnv1a(const std::string& bytes)
{
    std::uint64_t h = 0xcbf29ce484222325u;
    for (const unsigned char c : bytes) h = (h ^ c) * 0x100000001b3u;
    return h;
}

}  // namespace

TEST(EditorFile, EveryShippedLevelSavesToTheSameTableWithItsComments)
{
    ScopedWorkDir dir;
    const auto files = ShippedLevels();
    ASSERT_EQ(files.size(), 12u);
    // Each shipped level as the editor saved it when its writer was first rewritten: a save
    // must not move a byte of a level a player has already saved.
    const std::uint64_t savedAs[] = {0x3b3f27bae147fbe4, 0x3439004cd990bf63, 0xd4f2f3e8775d01af, 0x1d02b6b114526ef1,
                                     0xc2095106879f4bb9, 0xfabf4b1ce5d9e53c, 0x6f0bafc8ce672ce5, 0x3df9c25b81760047,
                                     0x5efee0620e79eaaa, 0x396ce7da23dc8a61, 0x6b434cd7f777fa56, 0x6fa4dfcccfbb483a};
    for (std::size_t k = 0; k < files.size(); ++k) {
        const auto& f = files[k];
        SCOPED_TRACE(f.string());
        Level::File level;
        const Level::Report report = Editor::ReadLevel(f.string(), level);
        ASSERT_TRUE(report.opened);
        EXPECT_EQ(Editor::Summary(report), "");
        std::string error;
        ASSERT_TRUE(Editor::WriteLevel("saved.txt", level, error)) << error;
        EXPECT_TRUE(SameBits(Loaded(f.string()), Loaded("saved.txt")));
        EXPECT_EQ(CommentLines(ReadFile("saved.txt")), CommentLines(ReadFile(f)));
        EXPECT_EQ(Fnv1a(ReadFile("saved.txt")), savedAs[k]);
        // The black hole comes first, the rocket second, whatever the editing did.
        Level::File again;
        Editor::ReadLevel("saved.txt", again);
        EXPECT_EQ(Level::Text(again), Level::Text(level));
    }
}

TEST(EditorFile, DamagedFilesMissingFilesAndFailedSaves)
{
    ScopedWorkDir dir;
    WriteFile("bad.txt", "* head\n[Ball]\nPosition_X = 10\nnonsense\n[Ball]\nRadius = 5\nMass = .5\n* tail\n");
    Level::File level;
    Level::Report r = Editor::ReadLevel("bad.txt", level);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.badLines, 1u);
    EXPECT_EQ(r.badNumbers, 1u);
    // The status line counts both and names the first line not taken.
    EXPECT_EQ(Editor::Summary(r),
              "1 regel(s) niet begrepen en overgeslagen; 1 waarde(n) geen getal en niet gezet; "
              "regel 4: niet begrepen: nonsense");
    ASSERT_EQ(level.sections.size(), 2u);
    EXPECT_EQ(level.sections[0].body.Position.x, 10.0f);
    EXPECT_EQ(level.sections[0].comments, std::vector<std::string>{"* head"});
    EXPECT_EQ(level.tail, std::vector<std::string>{"* tail"});

    // A level with one body keeps it, and the editor says what is missing; nothing is added.
    WriteFile("one.txt", "* lonely\n[Ball]\nRadius = 40\n");
    r = Editor::ReadLevel("one.txt", level);
    EXPECT_TRUE(r.tooFewSections);
    ASSERT_EQ(level.sections.size(), 1u);
    EXPECT_EQ(Editor::Missing(level), "Geen raket: N zet de raket bij de muis");
    EXPECT_EQ(Editor::Predict(level, 250.0f, 0.0f).path.size(), 0u);
    std::string error;
    ASSERT_TRUE(Editor::WriteLevel("one.txt", level, error)) << error;
    EXPECT_EQ(ReadFile("one.txt"), "* lonely\n[Ball]\nPosition_X = 0\nPosition_Y = 0\nRadius = 40\n");

    r = Editor::ReadLevel("missing.txt", level);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(level.sections.size(), 2u);  // a new level to start from
    // A file too large to be a level is not read at all, and the status line says why.
    {
        std::ofstream big("big.txt");
        big << std::string(Level::MaxFileBytes + 1, '\n');
    }
    r = Editor::ReadLevel("big.txt", level);
    EXPECT_FALSE(r.opened);
    EXPECT_NE(Editor::Summary(r).find("1 MiB"), std::string::npos) << Editor::Summary(r);

    // A failed save keeps the old file whole and leaves no temporary file behind.
    std::filesystem::create_directory("ro");
    WriteFile("ro/level.txt", "old");
    std::filesystem::permissions("ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::geteuid() != 0) {
        EXPECT_FALSE(Editor::WriteLevel("ro/level.txt", level, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(ReadFile("ro/level.txt"), "old");
    }
    std::filesystem::permissions("ro", std::filesystem::perms::owner_all);
    // A link is written through to its target and stays a link.
    std::filesystem::create_symlink("ro/level.txt", "link.txt");
    ASSERT_TRUE(Editor::WriteLevel("link.txt", level, error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink("link.txt"));
    EXPECT_EQ(ReadFile("ro/level.txt"), Level::Text(level));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("ro"), {}), 1);
    // A private level stays private, and a hard-linked one stays one file.
    ASSERT_EQ(::chmod("ro/level.txt", 0600), 0);
    ASSERT_EQ(::link("ro/level.txt", "copy.txt"), 0);
    level.sections[0].body.Position.x = 77.0f;
    ASSERT_TRUE(Editor::WriteLevel("ro/level.txt", level, error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat("ro/level.txt", &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(ReadFile("copy.txt"), Level::Text(level));
}

TEST(EditorModel, KindsCycleThroughWhatTheFileCanSayKeepingThePlace)
{
    const Section start = Editor::NewBodyAt(2, 40.0f, -20.0f);
    Level::OBJECT b = start.body;
    Level::Kind k = Level::KindOf(b);
    EXPECT_EQ(k, Level::Kind::Attracting);
    struct Want {
        Level::Kind kind;
        bool field, mass, deadly;
    };
    const Want cycle[] = {
        {Level::Kind::Repelling, true, false, false},  {Level::Kind::NoField, false, false, false},
        {Level::Kind::Asteroid, false, true, false},   {Level::Kind::Wall, false, false, false},
        {Level::Kind::DeadlyWall, false, false, true}, {Level::Kind::Attracting, true, false, false},
    };
    for (const Want& w : cycle) {
        k = Level::NextKind(k);
        b = Level::WithKind(b, k);
        SCOPED_TRACE(Level::KindName(k));
        EXPECT_EQ(k, w.kind);
        EXPECT_EQ(Level::KindOf(b), w.kind);
        EXPECT_EQ(b.Type, Level::Facts(k).shape);
        EXPECT_EQ(b.Field != 0.0f, w.field);
        EXPECT_EQ(b.Mass != 0.0f, w.mass);
        EXPECT_EQ(b.GameOverOnCollision, w.deadly);
    }
    // Round the cycle a ball comes back to its place and size.
    EXPECT_EQ(b.Position.x, start.body.Position.x);
    EXPECT_EQ(b.Position.y, start.body.Position.y);
    EXPECT_EQ(b.Dimension.x, start.body.Dimension.x);
    EXPECT_EQ(b.Field, start.body.Field);
    // Where the level lacks them, N makes a black hole, then a rocket.
    EXPECT_EQ(Editor::NewBodyAt(0, 5, 5).body.Dimension.x, 50.0f);
    EXPECT_EQ(Editor::NewBodyAt(1, 5, 5).body.Mass, 1.0f);

    // Steps: coarse and fine, sizes and masses never below 0, back to exactly 0.
    Level::OBJECT s = Editor::Stepped(start.body, Editor::Value::Field, -1, false);
    EXPECT_EQ(s.Field, 250000.0f);
    s = Editor::Stepped(start.body, Editor::Value::Mass, 1, true);
    EXPECT_FLOAT_EQ(s.Mass, 0.1f);
    s = Editor::Stepped(s, Editor::Value::Mass, -1, true);
    EXPECT_EQ(s.Mass, 0.0f);
    s = Editor::Stepped(s, Editor::Value::Mass, -1, false);
    EXPECT_EQ(s.Mass, 0.0f);
    s = Editor::Resized(Level::WithKind(start.body, Level::Kind::Wall), 1, true);
    EXPECT_EQ(s.Dimension.y, 65.0f);
    EXPECT_EQ(s.Dimension.x, 60.0f);
    EXPECT_EQ(std::string(Editor::ValueName(Editor::Value::Width, start.body)), "Radius");
}

TEST(EditorModel, EditsUndoAndRedoInOrderAndTheSavedStateIsKnown)
{
    Document doc;
    const std::string original = Level::Text(doc.level());
    EXPECT_FALSE(doc.Modified());
    ASSERT_TRUE(doc.Add(SectionOf(Ball(0, 0, 20))));
    const std::string added = Level::Text(doc.level());
    // A drag is one change however many moves it has.
    for (int i = 1; i <= 30; ++i) {
        Level::OBJECT b = doc.level().sections[2].body;
        b.Position.x = static_cast<float>(i);
        doc.Change(2, b, true);
    }
    doc.Seal();
    EXPECT_EQ(doc.UndoCount(), 2u);
    EXPECT_EQ(doc.UndoText(), "Position_X van lichaam 2");  // what the status line says Ctrl+Z undid
    const std::string dragged = Level::Text(doc.level());
    EXPECT_FALSE(doc.Remove(0));
    EXPECT_FALSE(doc.Remove(1));
    EXPECT_TRUE(doc.Remove(2));
    doc.MarkSaved();
    EXPECT_FALSE(doc.Modified());
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Level::Text(doc.level()), dragged);
    EXPECT_TRUE(doc.Modified());
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Level::Text(doc.level()), added);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Level::Text(doc.level()), original);
    EXPECT_FALSE(doc.Undo());
    EXPECT_EQ(doc.RedoText(), "lichaam 2 toegevoegd");
    ASSERT_TRUE(doc.Redo());
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(Level::Text(doc.level()), dragged);
    // A new edit here drops the redo steps, and the saved state can no longer come back.
    doc.Change(0, Ball(1, 1, 50));
    EXPECT_FALSE(doc.Redo());
    EXPECT_TRUE(doc.Modified());
    doc.Undo();
    doc.Redo();
    EXPECT_TRUE(doc.Modified());
    // The table's length is the limit.
    Document full;
    while (full.Add(SectionOf(Ball(0, 0, 1)))) {
    }
    EXPECT_EQ(full.level().sections.size(), Level::TableLength);
}

TEST(EditorModel, TheTopmostBodyUnderThePointerIsPickedAtAnyZoom)
{
    Level::File level = Editor::NewLevel();  // black hole at (350, 0) radius 50, rocket at (-380, 0)
    level.sections.push_back(SectionOf(Level::WithKind(Ball(350, 0, 10), Level::Kind::Wall)));
    using Drawing::GetX;
    using Drawing::GetY;
    EXPECT_EQ(Editor::BodyAt(level, GetX(350), GetY(0)), 2);
    EXPECT_EQ(Editor::BodyAt(level, GetX(390), GetY(0)), 0);
    EXPECT_EQ(Editor::BodyAt(level, GetX(-380), GetY(3)), 1);
    EXPECT_EQ(Editor::BodyAt(level, GetX(0), GetY(200)), -1);

    // Far outside the game's view: F brings every body into the window, where a click picks it.
    level.sections.push_back(SectionOf(Ball(3000, -900, 10)));
    level.sections.push_back(SectionOf(Ball(-2000, 1200, 10)));
    Editor::Session s;
    s.doc = Editor::Document(level);
    s.Fit();
    EXPECT_LT(s.view.zoom, 0.5f);
    for (int i = 1; i < static_cast<int>(level.sections.size()); ++i) {
        const Level::VECTOR at = Editor::Viewed(s.view, level.sections[static_cast<std::size_t>(i)].body.Position);
        const std::int32_t x = GetX(at.x), y = GetY(at.y);
        EXPECT_TRUE(x >= 0 && x < Drawing::WindowWidth && y >= 0 && y <= Editor::FieldBottom) << i;
        EXPECT_EQ(Editor::BodyAt(level, x, y, s.view), i);
    }
    // The zoom's steps end at 10 % and 400 %, the point under the pointer staying there.
    for (const std::int32_t clicks : {20, -20}) {
        const Level::VECTOR before = Editor::WorldAt(s.view, 300, 200);
        s.ZoomAt(clicks, 300, 200);
        EXPECT_EQ(s.view.zoom, clicks > 0 ? 4.0f : 0.1f);
        const Level::VECTOR after = Editor::WorldAt(s.view, 300, 200);
        EXPECT_NEAR(after.x, before.x, 1.0f / s.view.zoom);
        EXPECT_NEAR(after.y, before.y, 1.0f / s.view.zoom);
    }
}

TEST(EditorModel, TheSearchCornerMovesAwayFromTheBlackHoleAndTheRocket)
{
    Editor::Session s;
    EXPECT_EQ(Editor::SearchCorner(s), 0);  // a new level: top right is free
    // The black hole in the top right, the rocket in the top left: the first bottom corner.
    Level::OBJECT hole = s.doc.level().sections[0].body, rocket = s.doc.level().sections[1].body;
    hole.Position = {450.0f, 300.0f};
    rocket.Position = {-450.0f, 330.0f};
    s.doc.Change(0, hole);
    s.doc.Change(1, rocket);
    EXPECT_EQ(Editor::SearchCorner(s), 2);
    s.searchCorner = 3;  // chosen by the player and free
    EXPECT_EQ(Editor::SearchCorner(s), 3);
}

TEST(EditorPrediction, EqualsKorSimStepForStep)
{
    std::mt19937 random(23);
    std::uniform_real_distribution<float> speeds(0.0f, 500.0f), angles(0.0f, 6.283184f);
    for (const auto& f : ShippedLevels()) {
        Level::File level;
        Editor::ReadLevel(f.string(), level);
        for (int shot = 0; shot < 2; ++shot) {
            const float speed = shot == 0 ? 250.0f : speeds(random);
            const float angle = shot == 0 ? 0.3f : angles(random);
            const Editor::Prediction p = Editor::Predict(level, speed, angle);
            ASSERT_FALSE(p.path.empty());
            // kor-sim prints the bodies after K steps: the rocket must stand where the
            // prediction has it after K steps, at the end and at a step half-way.
            for (const std::size_t k : {p.path.size() / 2 + 1, p.path.size()}) {
                char args[96];
                std::snprintf(args, sizeof args, " --speed %.9g --angle %.9g --steps %zu", speed, angle, k);
                const ToolRun run = RunTool(std::string(KOR_SIM) + " " + f.string() + args);
                ASSERT_EQ(run.status, 0) << run.err;
                char want[128];
                std::snprintf(want, sizeof want, "body 1 ball %.9g %.9g ", p.path[k - 1].x, p.path[k - 1].y);
                EXPECT_NE(run.out.find(want), std::string::npos) << f << " " << args << "\n" << run.out;
                if (k == p.path.size()) {
                    const char* result = p.ending == Editor::Ending::Won       ? "result: won"
                                         : p.ending == Editor::Ending::Crashed ? "result: lost"
                                                                               : "result: running";
                    EXPECT_NE(run.out.find(result), std::string::npos) << f << args;
                }
            }
        }
    }
}

// The editor's flight on its own thread, restarted by edits while it computes: what it hands
// over is always a beginning of the newest flight, and in the end the whole of it.
TEST(EditorPrediction, OnItsOwnThreadRestartedByEditsEndsAsTheDirectOne)
{
    Level::File level;
    Editor::ReadLevel((DataDir / "level-03.txt").string(), level);
    Editor::Predictor predictor;
    Editor::Prediction p;
    for (int edit = 0; edit < 20; ++edit) {
        level.sections[2].body.Position.x += 7.0f;
        predictor.Start(level, 250.0f, 0.3f + 0.01f * static_cast<float>(edit));
        std::this_thread::sleep_for(std::chrono::microseconds(300 * (edit % 4)));
        predictor.Take(p);
        const Editor::Prediction whole = Editor::Predict(level, 250.0f, 0.3f + 0.01f * static_cast<float>(edit));
        ASSERT_LE(p.path.size(), whole.path.size());
        EXPECT_TRUE(std::equal(p.path.begin(), p.path.end(), whole.path.begin(),
                               [](const auto& a, const auto& b) { return a.x == b.x && a.y == b.y; }))
            << "edit " << edit;
    }
    predictor.Wait(p);
    const Editor::Prediction whole = Editor::Predict(level, 250.0f, 0.3f + 0.19f);
    EXPECT_TRUE(p.done);
    EXPECT_EQ(p.ending, whole.ending);
    ASSERT_EQ(p.path.size(), whole.path.size());
    EXPECT_EQ(p.path.back().x, whole.path.back().x);
    EXPECT_FALSE(predictor.Take(p));  // nothing new
    // Without a rocket nothing flies.
    level.sections.resize(1);
    predictor.Start(level, 250.0f, 0.3f);
    predictor.Wait(p);
    EXPECT_TRUE(p.path.empty());
}

TEST(EditorSearch, CancelledByEditsAndEqualToKorLevelcheck)
{
    const std::string file = (DataDir / "level-01.txt").string();
    Level::File level;
    Editor::ReadLevel(file, level);
    Search::Background search(2);
    // Edits arrive while the search runs: each start gives up the one before.
    Level::File moved = level;
    moved.sections[2].body.Position.x += 200.0f;
    search.Start(Level::TableOf(moved), 250.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    search.Start(Level::TableOf(level), 250.0f);
    search.Wait();
    const Search::Summary r = search.Result();
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.shotsDone, r.shots);

    const ToolRun run = RunTool(std::string(KOR_LEVELCHECK) + " --json --jobs 2 " + file);
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json j = nlohmann::json::parse(run.out);
    const nlohmann::json& l = j["levels"][0];
    EXPECT_EQ(r.wins[0], l["outcomes"]["0.01"]["won"].get<std::uint32_t>());
    EXPECT_EQ(r.wins[1], l["outcomes"]["0.02"]["won"].get<std::uint32_t>());
    EXPECT_EQ(r.bothWins, l["wins"]["both"].get<std::uint32_t>());
    ASSERT_TRUE(r.hasBest);
    EXPECT_EQ(r.bestRecipe, l["example"]["presses"].get<std::string>());
    // The best shot wins in the editor's own prediction too.
    EXPECT_EQ(Editor::Predict(level, r.bestSpeed, r.bestAngle).ending, Editor::Ending::Won);
}

namespace {

using namespace Wimdows::VirtualKeys;

struct Script {
    std::uint32_t frame = 0;
    std::string afterDrag, afterUndo, rocketAfterWheel;
    int selectedAfterDelete = -2;
};
Script script;

void Press(std::uint32_t vk, bool ctrl = false)
{
    if (ctrl) Wimdows::Testing::PostKey(VK_CONTROL, true);
    Wimdows::Testing::PostKey(vk, true);
    Wimdows::Testing::PostKey(vk, false);
    if (ctrl) Wimdows::Testing::PostKey(VK_CONTROL, false);
}

// Plays the player: drags the planet of level 1 up by 100 pixels, saves, tries to delete the
// rocket, undoes the drag, turns the wheel over the rocket and leaves with two Escapes.
void Player(Editor::Session& s)
{
    using Drawing::GetX;
    using Drawing::GetY;
    const std::uint32_t f = ++script.frame;
    const std::int32_t x = GetX(-20), y = GetY(170);  // level 1's planet
    if (f == 2) Wimdows::Testing::PostMouseButton(1, true, x, y);
    if (f >= 3 && f <= 12) Wimdows::Testing::PostMouseMove(x, y - 10 * static_cast<std::int32_t>(f - 2));
    if (f == 13) Wimdows::Testing::PostMouseButton(1, false, x, y - 100);
    if (f == 15) {
        script.afterDrag = Editor::FieldsText(s.doc.level(), 2);
        Press(VK_S, true);
    }
    if (f == 18) Wimdows::Testing::PostMouseButton(1, true, GetX(-360), GetY(-110));
    if (f == 19) Wimdows::Testing::PostMouseButton(1, false, GetX(-360), GetY(-110));
    if (f == 21) Press(VK_DELETE);
    if (f == 23) {
        script.selectedAfterDelete = s.selected;
        Press(VK_Z, true);
    }
    if (f == 24) Wimdows::Testing::PostMouseWheel(1);  // the rocket is selected: 12 -> 17
    if (f == 26) {
        script.afterUndo = Editor::FieldsText(s.doc.level(), 2);
        script.rocketAfterWheel = Editor::FieldsText(s.doc.level(), 1);
        Press(VK_ESCAPE);
    }
    if (f == 29) Press(VK_ESCAPE);               // the first one only asked: the undo is not saved
    if (f > 400) Wimdows::Testing::PostClose();  // never hang
}

}  // namespace

TEST(EditorSession, DragSaveUndoAndLeaveThroughTheWindowsInput)
{
    ScopedWorkDir dir;
    std::filesystem::copy_file(DataDir / "level-01.txt", "level-01.txt");
    Wimdows::Init();
    Drawing::Init();
    Editor::frameHook.store(&Player);
    const int status = Editor::Run("level-01.txt");
    Editor::frameHook.store(nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_GE(script.frame, 29u);  // the first Escape, with the undo unsaved, only asked
    EXPECT_LT(script.frame, 60u);
    // The drag moved the planet 100 units up, in whole units; the save holds it.
    EXPECT_NE(script.afterDrag.find("Position_X = -20 Position_Y = 270 "), std::string::npos) << script.afterDrag;
    Level::File saved;
    Editor::ReadLevel("level-01.txt", saved);
    EXPECT_EQ(saved.sections[2].body.Position.y, 270.0f);
    EXPECT_EQ(saved.sections.size(), 3u);
    EXPECT_EQ(script.selectedAfterDelete, 1);  // the rocket stays
    EXPECT_NE(script.afterUndo.find("Position_Y = 170 "), std::string::npos) << script.afterUndo;
    EXPECT_NE(script.rocketAfterWheel.find("Radius = 17 "), std::string::npos) << script.rocketAfterWheel;
    // Nothing was written when the player left without saving the undo.
    EXPECT_FALSE(std::filesystem::exists("level-01.txt.unsaved"));
}

namespace {

// Editing sessions through the window layer's input seams: each row is what the player does,
// one entry a frame, and what body 2 (level 1's planet) of the level holds at the end.
using Act = std::function<void()>;
struct Session {
    const char* name;
    std::vector<Act> frames;
    const char* planet;            // FieldsText of body 2 at the end, from its fields on
    const char* rocket = nullptr;  // and of body 1, where the row says
    const char* added = nullptr;   // and of body 3, the first one added
    const char* file = nullptr;    // the file the editor has at the end
    Act after = nullptr;           // checks of the files the row left
};

const Act ClickPlanet = [] {
    Wimdows::Testing::PostMouseButton(1, true, Drawing::GetX(-20), Drawing::GetY(170));
    Wimdows::Testing::PostMouseButton(1, false, Drawing::GetX(-20), Drawing::GetY(170));
};
Act Type(const char* text)
{
    return [text] { Wimdows::Testing::PostText(text); };
}
Act Key(std::uint32_t vk, bool ctrl = false)
{
    return [vk, ctrl] { Press(vk, ctrl); };
}
// Shift held down or let go.
Act Key(std::uint32_t vk, bool, bool down)
{
    return [vk, down] { Wimdows::Testing::PostKey(vk, down); };
}
const Act ClickRocket = [] {
    Wimdows::Testing::PostMouseButton(1, true, Drawing::GetX(-360), Drawing::GetY(-110));
    Wimdows::Testing::PostMouseButton(1, false, Drawing::GetX(-360), Drawing::GetY(-110));
};

// Ctrl+Shift+S: the save-as prompt.
const Act SaveAs = [] {
    Wimdows::Testing::PostKey(VK_CONTROL, true);
    Wimdows::Testing::PostKey(VK_SHIFT, true);
    Press(VK_S);
    Wimdows::Testing::PostKey(VK_SHIFT, false);
    Wimdows::Testing::PostKey(VK_CONTROL, false);
};
Act Backspaces(int n)
{
    return [n] {
        for (int k = 0; k < n; ++k) Press(VK_BACK);
    };
}
// A button at a window pixel, or the pointer moved there.
Act Button(int button, bool down, std::int32_t x, std::int32_t y)
{
    return [=] { Wimdows::Testing::PostMouseButton(button, down, x, y); };
}
Act Pointer(std::int32_t x, std::int32_t y)
{
    return [=] { Wimdows::Testing::PostMouseMove(x, y); };
}
Act Drop(const char* path)
{
    return [path] { Wimdows::Testing::PostDropFile(path); };
}
const char* const Other =
    "* another level\n[Ball]\n[Ball]\nRadius = 12\nMass = 1\n[Ball]\nPosition_X = 1\nPosition_Y = 2\nRadius = 3\n";

// The left button at a world point, the pointer moved there, the button let go there.
Act Down(float x, float y)
{
    return [x, y] { Wimdows::Testing::PostMouseButton(1, true, Drawing::GetX(x), Drawing::GetY(y)); };
}
Act MoveTo(float x, float y)
{
    return [x, y] { Wimdows::Testing::PostMouseMove(Drawing::GetX(x), Drawing::GetY(y)); };
}
Act Up(float x, float y)
{
    return [x, y] { Wimdows::Testing::PostMouseButton(1, false, Drawing::GetX(x), Drawing::GetY(y)); };
}

const std::vector<Act>* playing = nullptr;
std::uint32_t played = 0;
std::string planetAtEnd, rocketAtEnd, addedAtEnd, fileAtEnd;

void PlayRow(Editor::Session& s)
{
    const std::uint32_t f = played++;
    // Every act gets two frames, so that what it posted has been taken before the next.
    if (f % 2 == 0 && f / 2 < playing->size()) (*playing)[f / 2]();
    if (f == 2 * playing->size() + 2) {
        planetAtEnd = Editor::FieldsText(s.doc.level(), 2);
        rocketAtEnd = Editor::FieldsText(s.doc.level(), 1);
        addedAtEnd = Editor::FieldsText(s.doc.level(), 3);
        fileAtEnd = s.file;
        Wimdows::Testing::PostClose();
    }
    if (f > 400) Wimdows::Testing::PostClose();
}

}  // namespace

TEST(EditorSession, EditingSessionsEndInTheExpectedLevel)
{
    const Session sessions[] = {
        {"typed values, Tab to the next",
         {ClickPlanet, Type("12"), Key(VK_TAB), Type("-40.5"), Key(VK_RETURN)},
         "Position_X = 12 Position_Y = -40.5 Radius = 45 Field = 300000"},
        {"Return opens the value, the first character replaces it",
         {ClickPlanet, Key(VK_TAB), Key(VK_TAB), Key(VK_RETURN), Type("60"), Key(VK_RETURN)},
         "Position_X = -20 Position_Y = 170 Radius = 60 Field = 300000"},
        {"what the file cannot hold is refused, Escape gives it up",
         {ClickPlanet, Type("1e3"), Key(VK_RETURN), Key(VK_TAB), Type("5"), Key(VK_ESCAPE), Key(VK_TAB), Key(VK_TAB),
          Key(VK_RETURN), Type("-3"), Key(VK_RETURN), Key(VK_ESCAPE)},
         "Position_X = -20 Position_Y = 170 Radius = 45 Field = 300000"},
        {"a typed value is one undo step",
         {ClickPlanet, Type("7"), Key(VK_RETURN), Type("8"), Key(VK_RETURN), Key(VK_Z, true)},
         "Position_X = 7 Position_Y = 170 Radius = 45 Field = 300000"},
        {"a drag snaps to the grid of 25 (G twice)",
         {Key(VK_G), Key(VK_G), Down(-20, 170), MoveTo(17, 183), Up(17, 183)},
         "Position_X = 25 Position_Y = 175 Radius = 45 Field = 300000"},
        {"Shift+click makes a group that moves together",
         {ClickPlanet, Key(VK_SHIFT, false, true), ClickRocket, Key(VK_SHIFT, false, false), Down(-20, 170),
          MoveTo(0, 160), Up(0, 160)},
         "Position_X = 0 Position_Y = 160 Radius = 45 Field = 300000",
         "Position_X = -340 Position_Y = -120 Radius = 12 Mass = 1"},
        {"a group's move is one undo step",
         {ClickPlanet, Key(VK_SHIFT, false, true), ClickRocket, Key(VK_SHIFT, false, false), Down(-20, 170),
          MoveTo(0, 160), MoveTo(10, 150), Up(10, 150), Key(VK_Z, true)},
         "Position_X = -20 Position_Y = 170 Radius = 45 Field = 300000",
         "Position_X = -360 Position_Y = -110 Radius = 12 Mass = 1"},
        {"a rubber band's group takes a typed value",
         {Down(-400, -150), MoveTo(50, 250), Up(50, 250), Key(VK_TAB), Type("0"), Key(VK_RETURN)},
         "Position_X = -20 Position_Y = 0 Radius = 45 Field = 300000",
         "Position_X = -360 Position_Y = 0 Radius = 12 Mass = 1"},
        {"a group deleted keeps the black hole and the rocket",
         {Down(-500, -340), MoveTo(500, 340), Up(500, 340), Key(VK_DELETE)},
         "",
         "Position_X = -360 Position_Y = -110 Radius = 12 Mass = 1"},
        {"Ctrl+D duplicates beside",
         {ClickPlanet, Key(VK_D, true)},
         "Position_X = -20 Position_Y = 170 Radius = 45 Field = 300000",
         nullptr,
         "Position_X = 0 Position_Y = 150 Radius = 45 Field = 300000"},
        {"Ctrl+C and Ctrl+V through the clipboard",
         {ClickPlanet, Key(VK_C, true), Key(VK_V, true), Key(VK_TAB), Type("99"), Key(VK_RETURN)},
         "Position_X = -20 Position_Y = 170 Radius = 45 Field = 300000",
         nullptr,
         "Position_X = -20 Position_Y = 99 Radius = 45 Field = 300000"},
        {"pasted from a text editor's level text",
         {[] {
              Wimdows::SetClipboard(
                  "* a wall\n[Rectangle]\nPosition_X = 1\nPosition_Y = 2\nDimension_X = 30\n"
                  "Dimension_Y = 40\nMass = oops\n");
          },
          Key(VK_V, true)},
         "Position_X = -20 Position_Y = 170 Radius = 45 Field = 300000",
         nullptr,
         "Position_X = 1 Position_Y = 2 Dimension_X = 30 Dimension_Y = 40"},
        {"+ and - by the character; a ball has no height: * is its radius",
         {ClickPlanet, Type("++-"), Type("*")},
         "Position_X = -20 Position_Y = 170 Radius = 55 Field = 300000"},
        // The planet's centre is window pixel (492, 214).
        {"Ctrl+wheel zooms to 150 % about the pointer; a drag then moves by level units",
         {Pointer(492, 214), Key(VK_CONTROL, false, true), [] { Wimdows::Testing::PostMouseWheel(1); },
          Key(VK_CONTROL, false, false), Button(1, true, 492, 214), Pointer(522, 199), Button(1, false, 522, 199)},
         "Position_X = 0 Position_Y = 180 Radius = 45 Field = 300000"},
        {"the middle button pans; the planet is picked where it is shown",
         {Button(2, true, 100, 100), Pointer(150, 130), Button(2, false, 150, 130), Button(1, true, 542, 244),
          Pointer(552, 234), Button(1, false, 552, 234)},
         "Position_X = -10 Position_Y = 180 Radius = 45 Field = 300000"},
        {"F fits, Home gives the game's own view back",
         {Key(VK_F), Key(VK_HOME), Down(-20, 170), MoveTo(0, 160), Up(0, 160)},
         "Position_X = 0 Position_Y = 160 Radius = 45 Field = 300000"},
        {"save-as with a typed path: the editor goes on with it, the offered name goes back",
         {ClickPlanet, Type("5"), Key(VK_RETURN), SaveAs, Backspaces(12), Type("mine.txt"), Key(VK_RETURN)},
         "Position_X = 5 Position_Y = 170 Radius = 45 Field = 300000",
         nullptr,
         nullptr,
         "mine.txt",
         [] {
             EXPECT_NE(ReadFile("mine.txt").find("Position_X = 5\n"), std::string::npos);
             EXPECT_FALSE(std::filesystem::exists("level-02.txt"));
             const auto recent = Editor::ReadRecent(Editor::RecentFile());
             ASSERT_FALSE(recent.empty());
             EXPECT_EQ(recent.front(), (std::filesystem::current_path() / "mine.txt").string());
         }},
        {"save-as offers the next free name; Return takes it",
         {ClickPlanet, Type("6"), Key(VK_RETURN), SaveAs, Key(VK_RETURN)},
         "Position_X = 6 Position_Y = 170 Radius = 45 Field = 300000",
         nullptr,
         nullptr,
         "level-02.txt",
         [] { EXPECT_NE(ReadFile("level-02.txt").find("Position_X = 6\n"), std::string::npos); }},
        {"save-as over an existing file asks for a second Return",
         {[] { WriteFile("other.txt", "old"); }, ClickPlanet, Type("7"), Key(VK_RETURN), SaveAs, Backspaces(12),
          Type("other.txt"), Key(VK_RETURN), [] { EXPECT_EQ(ReadFile("other.txt"), "old"); }, Key(VK_RETURN)},
         "Position_X = 7 Position_Y = 170 Radius = 45 Field = 300000",
         nullptr,
         nullptr,
         "other.txt",
         [] { EXPECT_NE(ReadFile("other.txt").find("Position_X = 7\n"), std::string::npos); }},
        {"save-as to a folder is refused and loses nothing",
         {[] { std::filesystem::create_directory("dir.txt"); }, ClickPlanet, Type("8"), Key(VK_RETURN), SaveAs,
          Backspaces(12), Type("dir.txt"), Key(VK_RETURN), Key(VK_RETURN), Key(VK_ESCAPE)},
         "Position_X = 8 Position_Y = 170 Radius = 45 Field = 300000",
         nullptr,
         nullptr,
         "level-01.txt",
         [] {
             EXPECT_TRUE(std::filesystem::is_directory("dir.txt"));
             EXPECT_FALSE(std::filesystem::exists("level-02.txt"));
         }},
        {"Ctrl+O with a typed path: a FIFO is refused, a level opens",
         {[] {
              WriteFile("two.txt", Other);
              ::mkfifo("pipe.txt", 0644);
          },
          Key(VK_O, true), Type("pipe.txt"), Key(VK_RETURN), Backspaces(8), Type("two.txt"), Key(VK_RETURN)},
         "Position_X = 1 Position_Y = 2 Radius = 3",
         nullptr,
         nullptr,
         "two.txt"},
        {"a file dropped while changes are unsaved only asks",
         {[] { WriteFile("two.txt", Other); }, ClickPlanet, Type("9"), Key(VK_RETURN), Drop("two.txt")},
         "Position_X = 9 Position_Y = 170 Radius = 45 Field = 300000",
         nullptr,
         nullptr,
         "level-01.txt"},
        {"dropped again, it opens",
         {[] { WriteFile("two.txt", Other); }, ClickPlanet, Type("9"), Key(VK_RETURN), Drop("two.txt"),
          Drop("two.txt")},
         "Position_X = 1 Position_Y = 2 Radius = 3",
         nullptr,
         nullptr,
         "two.txt"},
    };
    ScopedWorkDir dir;
    Wimdows::Init();
    Drawing::Init();
    for (const Session& row : sessions) {
        for (const auto& left : std::filesystem::directory_iterator(".")) std::filesystem::remove_all(left.path());
        std::filesystem::copy_file(DataDir / "level-01.txt", "level-01.txt");
        playing = &row.frames;
        played = 0;
        planetAtEnd.clear();
        fileAtEnd.clear();
        Editor::frameHook.store(&PlayRow);
        Editor::Run("level-01.txt");
        Editor::frameHook.store(nullptr);
        const auto fields = [](const std::string& text) {
            const std::size_t at = text.find("Position_X");
            return at == std::string::npos ? text : text.substr(at);
        };
        EXPECT_EQ(fields(planetAtEnd), row.planet) << row.name;
        if (row.rocket != nullptr) {
            EXPECT_EQ(fields(rocketAtEnd), row.rocket) << row.name;
        }
        if (row.added != nullptr) {
            EXPECT_EQ(fields(addedAtEnd), row.added) << row.name;
        }
        if (row.file != nullptr) {
            EXPECT_EQ(fileAtEnd, row.file) << row.name;
        }
        if (row.after) {
            SCOPED_TRACE(row.name);
            row.after();
        }
    }
}

namespace {

// The catalog's pairs: the Dutch key and its English text.
std::vector<std::pair<std::string, std::string>> Catalog(const std::filesystem::path& po)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    std::ifstream in(po);
    std::string line, id, str, *into = nullptr;
    const auto quoted = [](const std::string& l) {
        const std::size_t a = l.find('"'), b = l.rfind('"');
        return a == b ? std::string() : l.substr(a + 1, b - a - 1);
    };
    const auto flush = [&] {
        if (!id.empty()) pairs.emplace_back(id, str);
        id.clear();
        str.clear();
    };
    while (std::getline(in, line)) {
        if (line.rfind("msgid ", 0) == 0) {
            flush();
            id = quoted(line);
            into = &id;
        } else if (line.rfind("msgstr ", 0) == 0) {
            str = quoted(line);
            into = &str;
        } else if (!line.empty() && line[0] == '"' && into != nullptr) {
            *into += quoted(line);
        }
    }
    flush();
    return pairs;
}

// The pieces of a text between its printf fields, long enough to be words of one language.
std::vector<std::string> Pieces(const std::string& text)
{
    std::vector<std::string> pieces;
    std::string piece;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '%') {
            while (!piece.empty() && (piece.back() == ' ' || piece.back() == ':')) piece.pop_back();
            while (!piece.empty() && (piece.front() == ' ' || piece.front() == ':')) piece.erase(0, 1);
            if (piece.size() >= 5) pieces.push_back(piece);
            piece.clear();
            if (i < text.size()) ++i;  // the field's letter
            continue;
        }
        piece += text[i];
    }
    return pieces;
}

// Whether `piece` stands in `text` as words of its own: "Speed" is no English in the file's
// key "Speed_X".
bool HasWords(const std::string& text, const std::string& piece)
{
    const auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        const std::size_t end = at + piece.size();
        if ((at == 0 || !word(text[at - 1])) && (end == text.size() || !word(text[end]))) return true;
    }
    return false;
}

}  // namespace

// Every editor screen walked in English and in Dutch: no text of the other language shows (the
// catalog's keys are Dutch, so a text left untranslated is a Dutch key on an English screen).
TEST(EditorLanguage, EveryScreenInOneLanguageOnly)
{
    const std::vector<Act> walk = {ClickPlanet,    Key(VK_F1),     Key(VK_ESCAPE),  Key(VK_M),       Key(VK_ESCAPE),
                                   Key(VK_RETURN), Type("x"),      Key(VK_RETURN),  Key(VK_ESCAPE),  Key(VK_Z, true),
                                   Type("5"),      Key(VK_RETURN), Key(VK_Z, true), Key(VK_Y, true), ClickRocket,
                                   Key(VK_DELETE), Key(VK_F1 + 1), Key(VK_F1 + 1),  Key(VK_O, true), Key(VK_O, true),
                                   Type("x.txt"),  Key(VK_RETURN), Key(VK_ESCAPE),  Key(VK_F),       SaveAs,
                                   Key(VK_ESCAPE), Key(VK_ESCAPE)};
    const auto pairs = Catalog(DataDir.parent_path() / "po" / "en.po");
    ASSERT_GT(pairs.size(), 100u);
    ScopedWorkDir dir;
    Wimdows::Init();
    Drawing::Init();
    for (const char* language : {"en", "nl"}) {
        const bool english = std::string(language) == "en";
        ASSERT_TRUE(Console::SetLanguage(language, KOR_LOCALE_DIR));
        std::filesystem::copy_file(DataDir / "level-01.txt", "level-01.txt",
                                   std::filesystem::copy_options::overwrite_existing);
        playing = &walk;
        played = 0;
        Wimdows::Testing::RecordTexts(true);
        Editor::frameHook.store(&PlayRow);
        Editor::Run("level-01.txt");
        Editor::frameHook.store(nullptr);
        Wimdows::Testing::RecordTexts(false);
        std::vector<std::string> shown = Wimdows::Testing::TextsDrawn();
        std::sort(shown.begin(), shown.end());
        shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
        EXPECT_GT(shown.size(), 40u) << language;
        for (const auto& [dutch, translated] : pairs) {
            if (translated.empty() || dutch == translated) continue;
            const std::string& other = english ? dutch : translated;
            const std::string& own = english ? translated : dutch;
            for (const std::string& piece : Pieces(other)) {
                if (own.find(piece) != std::string::npos) continue;
                for (const std::string& text : shown)
                    EXPECT_FALSE(HasWords(text, piece)) << language << ": \"" << piece << "\" in: " << text;
            }
        }
    }
    Console::SetLanguage("nl");
}
