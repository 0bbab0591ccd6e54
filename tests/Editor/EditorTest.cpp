// The level editor: files written back bit for bit, edits and their undo history, the
// prediction against kor-sim, the search against kor-levelcheck, and a session driven through
// the window layer's input seams.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cfloat>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <thread>

#include "Drawing/Drawing.hpp"
#include "Drawing/Geometry.hpp"
#include "Editor/Editor.hpp"
#include "EditorInternal.hpp"
#include "Game/Game.hpp"
#include "TempDir.hpp"
#include "Wimdows/Wimdows.hpp"
#include "Wimdows/WimdowsTesting.hpp"
#include "levelcheck/RunTool.hpp"

namespace {

using Editor::Body;
using Editor::Document;
using Editor::Level;

const std::filesystem::path DataDir = KOR_DATA_DIR;

std::vector<std::filesystem::path> ShippedLevels()
{
    std::vector<std::filesystem::path> files;
    for (std::uint32_t n = 1;; ++n) {
        const auto f = DataDir / Game::detail::LevelFileName(n).substr(5);
        if (!std::filesystem::exists(f)) break;
        files.push_back(f);
    }
    return files;
}

// The table the game's loader makes of a file, compared byte for byte.
std::vector<Physics::OBJECT> Loaded(const std::string& path)
{
    Physics::Level level;
    Game::LoadLevelFile(path.c_str(), level);
    return {level.Objects.begin(), level.Objects.begin() + level.N + 1};
}

bool SameBits(const std::vector<Physics::OBJECT>& a, const std::vector<Physics::OBJECT>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Physics::OBJECT)) == 0;
}

std::size_t CommentLines(const std::string& text)
{
    std::size_t n = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) n += !line.empty() && line[0] == '*';
    return n;
}

Body Ball(float x, float y, float r)
{
    Body b;
    b.object.Position = {x, y};
    b.object.Dimension = {r, 0.0f};
    return b;
}

}  // namespace

// 64-bit FNV-1a of a saved file: enough to tell that a save came out byte for byte the same.
std::uint64_t Fnv1a(const std::string& bytes)
{
    std::uint64_t h = 0xcbf29ce484222325u;
    for (const unsigned char c : bytes) h = (h ^ c) * 0x100000001b3u;
    return h;
}

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
        Level level;
        const Editor::OpenReport report = Editor::ReadLevel(f.string(), level);
        ASSERT_TRUE(report.opened);
        EXPECT_EQ(report.Summary(), "");
        std::string error;
        ASSERT_TRUE(Editor::WriteLevel("saved.txt", level, error)) << error;
        EXPECT_TRUE(SameBits(Loaded(f.string()), Loaded("saved.txt")));
        EXPECT_EQ(CommentLines(ReadFile("saved.txt")), CommentLines(ReadFile(f)));
        EXPECT_EQ(Fnv1a(ReadFile("saved.txt")), savedAs[k]);
        // The black hole comes first, the rocket second, whatever the editing did.
        Level again;
        Editor::ReadLevel("saved.txt", again);
        EXPECT_EQ(Editor::LevelText(again), Editor::LevelText(level));
    }
}

TEST(EditorFile, NumbersComeBackAsTheSameFloats)
{
    ScopedWorkDir dir;
    // Awkward values: thirds, the range's ends, a number below the normal range and -0
    // (both read as 0 by the loader, so the editor writes 0).
    const float values[] = {1.0f / 3.0f, 0.1f,        -123.456f, FLT_MAX, -FLT_MAX, FLT_MIN,
                            1e-30f,      16777217.0f, 3e-45f,    -0.0f,   6.02e23f, 299792.458f};
    Level level = Editor::NewLevel();
    for (const float v : values) {
        Body b = Ball(v, -v, 1.0f);
        b.object.Speed = {v, v};
        b.object.Field = v;
        b.object.Mass = std::fabs(v);
        level.bodies.push_back(b);
    }
    std::string error;
    ASSERT_TRUE(Editor::WriteLevel("n.txt", level, error)) << error;
    const auto table = Loaded("n.txt");
    ASSERT_EQ(table.size(), level.bodies.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Physics::OBJECT want = Editor::StorableObject(level.bodies[i].object);
        EXPECT_EQ(std::memcmp(&table[i], &want, sizeof want), 0) << "body " << i;
    }
    EXPECT_EQ(Editor::NumberText(-0.0f), "0");
    EXPECT_EQ(Editor::NumberText(300000.0f), "300000");  // never "3e+05": the loader wants no lower-case e
    EXPECT_EQ(Editor::NumberText(0.1f), "0.1");
}

TEST(EditorFile, DamagedFilesMissingFilesAndFailedSaves)
{
    ScopedWorkDir dir;
    WriteFile("bad.txt", "* head\n[Ball]\nPosition_X = 10\nnonsense\n[Ball]\nRadius = 5\nMass = x\n* tail\n");
    Level level;
    Editor::OpenReport r = Editor::ReadLevel("bad.txt", level);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.badLines, 1u);
    EXPECT_NE(r.Summary().find("1 "), std::string::npos);
    ASSERT_EQ(level.bodies.size(), 2u);
    EXPECT_EQ(level.bodies[0].object.Position.x, 10.0f);
    EXPECT_EQ(level.bodies[0].comments, std::vector<std::string>{"* head"});
    EXPECT_EQ(level.tailComments, std::vector<std::string>{"* tail"});

    r = Editor::ReadLevel("missing.txt", level);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(level.bodies.size(), 2u);  // a new level to start from

    // A failed save keeps the old file whole and leaves no temporary file behind.
    std::filesystem::create_directory("ro");
    WriteFile("ro/level.txt", "old");
    std::filesystem::permissions("ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::string error;
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
    EXPECT_EQ(ReadFile("ro/level.txt"), Editor::LevelText(level));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("ro"), {}), 1);
    // A private level stays private, and a hard-linked one stays one file.
    ASSERT_EQ(::chmod("ro/level.txt", 0600), 0);
    ASSERT_EQ(::link("ro/level.txt", "copy.txt"), 0);
    level.bodies[0].object.Position.x = 77.0f;
    ASSERT_TRUE(Editor::WriteLevel("ro/level.txt", level, error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat("ro/level.txt", &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(ReadFile("copy.txt"), Editor::LevelText(level));
}

TEST(EditorModel, KindsCycleThroughWhatTheFileCanSayKeepingThePlace)
{
    const Body start = Editor::NewBodyAt(40.0f, -20.0f);
    Body b = start;
    Editor::Kind k = Editor::KindOf(b);
    EXPECT_EQ(k, Editor::Kind::Attracting);
    struct Want {
        Editor::Kind kind;
        Physics::SHAPE shape;
        bool field, mass, deadly;
    };
    const Want cycle[] = {
        {Editor::Kind::Repelling, Physics::SHAPE::Ball, true, false, false},
        {Editor::Kind::NoField, Physics::SHAPE::Ball, false, false, false},
        {Editor::Kind::Asteroid, Physics::SHAPE::Ball, false, true, false},
        {Editor::Kind::Wall, Physics::SHAPE::Rectangle, false, false, false},
        {Editor::Kind::DeadlyWall, Physics::SHAPE::Rectangle, false, false, true},
        {Editor::Kind::Attracting, Physics::SHAPE::Ball, true, false, false},
    };
    for (const Want& w : cycle) {
        k = Editor::NextKind(k);
        b = Editor::WithKind(b, k);
        SCOPED_TRACE(Editor::KindName(k));
        EXPECT_EQ(k, w.kind);
        EXPECT_EQ(Editor::KindOf(b), w.kind);
        EXPECT_EQ(b.object.Type, w.shape);
        EXPECT_EQ(b.object.Field != 0.0f, w.field);
        EXPECT_EQ(b.object.Mass != 0.0f, w.mass);
        EXPECT_EQ(b.object.GameOverOnCollision, w.deadly);
    }
    // Round the cycle a ball comes back to its place and size.
    EXPECT_EQ(b.object.Position.x, start.object.Position.x);
    EXPECT_EQ(b.object.Position.y, start.object.Position.y);
    EXPECT_EQ(b.object.Dimension.x, start.object.Dimension.x);
    EXPECT_EQ(b.object.Field, start.object.Field);

    // Steps: coarse and fine, sizes and masses never below 0, back to exactly 0.
    Body s = Editor::Stepped(start, Editor::Value::Field, -1, false);
    EXPECT_EQ(s.object.Field, 250000.0f);
    s = Editor::Stepped(start, Editor::Value::Mass, 1, true);
    EXPECT_FLOAT_EQ(s.object.Mass, 0.1f);
    s = Editor::Stepped(s, Editor::Value::Mass, -1, true);
    EXPECT_EQ(s.object.Mass, 0.0f);
    s = Editor::Stepped(s, Editor::Value::Mass, -1, false);
    EXPECT_EQ(s.object.Mass, 0.0f);
    s = Editor::Resized(Editor::WithKind(start, Editor::Kind::Wall), 1, true);
    EXPECT_EQ(s.object.Dimension.y, 65.0f);
    EXPECT_EQ(s.object.Dimension.x, 60.0f);
    EXPECT_EQ(std::string(Editor::ValueName(Editor::Value::Width, start)), "Radius");
}

TEST(EditorModel, EditsUndoAndRedoInOrderAndTheSavedStateIsKnown)
{
    Document doc;
    const std::string original = Editor::LevelText(doc.level());
    EXPECT_FALSE(doc.Modified());
    ASSERT_TRUE(doc.Add(Ball(0, 0, 20)));
    const std::string added = Editor::LevelText(doc.level());
    // A drag is one change however many moves it has.
    for (int i = 1; i <= 30; ++i) {
        Body b = doc.level().bodies[2];
        b.object.Position.x = static_cast<float>(i);
        doc.Change(2, b, true);
    }
    doc.Seal();
    EXPECT_EQ(doc.UndoCount(), 2u);
    const std::string dragged = Editor::LevelText(doc.level());
    EXPECT_FALSE(doc.Remove(0));
    EXPECT_FALSE(doc.Remove(1));
    EXPECT_TRUE(doc.Remove(2));
    doc.MarkSaved();
    EXPECT_FALSE(doc.Modified());
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Editor::LevelText(doc.level()), dragged);
    EXPECT_TRUE(doc.Modified());
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Editor::LevelText(doc.level()), added);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Editor::LevelText(doc.level()), original);
    EXPECT_FALSE(doc.Undo());
    ASSERT_TRUE(doc.Redo());
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(Editor::LevelText(doc.level()), dragged);
    // A new edit here drops the redo steps, and the saved state can no longer come back.
    doc.Change(0, Ball(1, 1, 50));
    EXPECT_FALSE(doc.Redo());
    EXPECT_TRUE(doc.Modified());
    doc.Undo();
    doc.Redo();
    EXPECT_TRUE(doc.Modified());
    // The table's length is the limit.
    Document full;
    while (full.Add(Ball(0, 0, 1))) {
    }
    EXPECT_EQ(full.level().bodies.size(), Editor::MaxBodies);
}

TEST(EditorModel, TheTopmostBodyUnderThePointerIsPicked)
{
    Level level = Editor::NewLevel();  // black hole at (350, 0) radius 50, rocket at (-380, 0)
    Body wall = Editor::WithKind(Ball(350, 0, 10), Editor::Kind::Wall);
    level.bodies.push_back(wall);
    using Drawing::detail::GetX;
    using Drawing::detail::GetY;
    EXPECT_EQ(Editor::BodyAt(level, GetX(350), GetY(0)), 2);
    EXPECT_EQ(Editor::BodyAt(level, GetX(390), GetY(0)), 0);
    EXPECT_EQ(Editor::BodyAt(level, GetX(-380), GetY(3)), 1);
    EXPECT_EQ(Editor::BodyAt(level, GetX(0), GetY(200)), -1);
}

TEST(EditorPrediction, EqualsKorSimStepForStep)
{
    std::mt19937 random(23);
    std::uniform_real_distribution<float> speeds(0.0f, 500.0f), angles(0.0f, 6.283184f);
    for (const auto& f : ShippedLevels()) {
        Level level;
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

TEST(EditorSearch, CancelledByEditsAndEqualToKorLevelcheck)
{
    const std::string file = (DataDir / "level-01.txt").string();
    Level level;
    Editor::ReadLevel(file, level);
    Editor::Search search(2);
    // Edits arrive while the search runs: each start gives up the one before.
    Level moved = level;
    moved.bodies[2].object.Position.x += 200.0f;
    search.Start(moved, 250.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    search.Start(level, 250.0f);
    search.Wait();
    const Editor::SearchResult r = search.Result();
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

constexpr std::uint32_t VK_CONTROL = 17, VK_ESCAPE = 27, VK_S = 'S', VK_Z = 'Z', VK_DELETE = 46;

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
    using Drawing::detail::GetX;
    using Drawing::detail::GetY;
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
    Level saved;
    Editor::ReadLevel("level-01.txt", saved);
    EXPECT_EQ(saved.bodies[2].object.Position.y, 270.0f);
    EXPECT_EQ(saved.bodies.size(), 3u);
    EXPECT_EQ(script.selectedAfterDelete, 1);  // the rocket stays
    EXPECT_NE(script.afterUndo.find("Position_Y = 170 "), std::string::npos) << script.afterUndo;
    EXPECT_NE(script.rocketAfterWheel.find("Radius = 17 "), std::string::npos) << script.rocketAfterWheel;
    // Nothing was written when the player left without saving the undo.
    EXPECT_FALSE(std::filesystem::exists("level-01.txt.unsaved"));
}
