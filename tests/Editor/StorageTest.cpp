// The editor's files: a file changed behind the editor's back is never overwritten, new
// levels and copies claim their names exclusively, rescue files never go through a link nor
// over an older one, and the installation's levels are saved as copies in My levels.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "Editor/Editor.hpp"
#include "EditorInternal.hpp"
#include "Level/Sets.hpp"
#include "TempDir.hpp"

namespace {

namespace fs = std::filesystem;

// The player's folder inside the test's folder.
struct PlayerHere {
    ScopedWorkDir dir;
    std::string old = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    PlayerHere() { ::setenv("XDG_DATA_HOME", (dir.dir / "xdg").c_str(), 1); }
    ~PlayerHere() { old.empty() ? ::unsetenv("XDG_DATA_HOME") : ::setenv("XDG_DATA_HOME", old.c_str(), 1); }
};

const std::string Two = "[Ball]\nPosition_X = 300\nRadius = 25\n[Ball]\nPosition_X = -300\nRadius = 12\nMass = 1\n";

// A change in the editor: a planet added.
void Edit(Editor::Session& s) { ASSERT_TRUE(s.doc.Add(Editor::NewBodyAt(s.doc.level().sections.size(), 0, 0))); }

std::string My(const char* name) { return Level::MyLevelsFolder() + "/" + name; }

}  // namespace

TEST(EditorStorage, AFileChangedBehindTheEditorsBackIsNeverOverwritten)
{
    struct Case {
        const char* what;
        void (*meanwhile)();  // what another program does between the read and Ctrl+S
        bool saved;
    };
    const Case cases[] = {
        {"nothing", [] {}, true},
        {"a line appended", [] { std::ofstream("lvl.txt", std::ios::app) << "* mine\n"; }, false},
        {"replaced by a rename",
         [] {
             WriteFile("new.txt", ReadFile("lvl.txt"));
             fs::rename("new.txt", "lvl.txt");
         },
         false},
        {"the same size and time, other bytes",
         [] {
             struct stat before {};
             ::stat("lvl.txt", &before);
             std::string text = ReadFile("lvl.txt");
             text[text.find("300")] = '4';
             WriteFile("lvl.txt", text);
             const timespec times[2] = {before.st_atim, before.st_mtim};
             ::utimensat(AT_FDCWD, "lvl.txt", times, 0);
         },
         false},
        {"made while it was missing", [] { WriteFile("lvl.txt", Two); }, false},
        {"removed", [] { fs::remove("lvl.txt"); }, true},
        {"made private", [] { ::chmod("lvl.txt", 0600); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlayerHere here;
        if (std::string(c.what) != "made while it was missing") WriteFile("lvl.txt", Two);
        Editor::Session s;
        s.Open("lvl.txt");
        Edit(s);
        c.meanwhile();
        const std::string onDisk = fs::exists("lvl.txt") ? ReadFile("lvl.txt") : "";
        EXPECT_EQ(s.Save(), c.saved) << s.message;
        EXPECT_EQ(s.changedOnDisk, !c.saved);
        if (!c.saved) {
            EXPECT_EQ(ReadFile("lvl.txt"), onDisk);  // the other program's work stands
            EXPECT_NE(s.message.find("Ctrl+Shift+S"), std::string::npos) << s.message;
            EXPECT_NE(s.message.find("Ctrl+R"), std::string::npos) << s.message;
            // Another Ctrl+S does not overwrite it either; a new name does, beside it.
            EXPECT_FALSE(s.Save());
            ASSERT_TRUE(s.SaveCopy()) << s.message;
            EXPECT_EQ(s.file, "lvl-2.txt");
            EXPECT_EQ(ReadFile("lvl-2.txt"), Level::Text(s.doc.level()));
            EXPECT_EQ(ReadFile("lvl.txt"), onDisk);
            // Ctrl+R reads the file again, asking once while changes are unsaved.
            s.Open("lvl.txt");
            Edit(s);
            s.Reload();
            EXPECT_TRUE(s.doc.Modified());
            s.Reload();
            EXPECT_FALSE(s.doc.Modified());
            EXPECT_TRUE(s.Save()) << s.message;
        } else {
            EXPECT_EQ(ReadFile("lvl.txt"), Level::Text(s.doc.level()));
            if (std::string(c.what) == "made private") {
                struct stat info {};
                ::stat("lvl.txt", &info);
                EXPECT_EQ(info.st_mode & 0777, 0600u);
            }
            EXPECT_TRUE(s.Save()) << "its own save is no change behind its back";
        }
    }
}

TEST(EditorStorage, FilesThatCouldNotBeReadAreNeverWrittenByCtrlS)
{
    PlayerHere here;
    {
        std::ofstream("big.txt") << std::string(Level::MaxFileBytes + 1, '\n');
    }
    ::mkfifo("fifo.txt", 0644);
    fs::create_directory("folder.txt");
    for (const char* name : {"big.txt", "fifo.txt", "folder.txt"}) {
        SCOPED_TRACE(name);
        Editor::Session s;
        s.Open(name);
        EXPECT_EQ(s.keep, Editor::Keep::Unreadable);
        ASSERT_TRUE(s.Save()) << s.message;
        EXPECT_NE(s.file, name);
        EXPECT_NE(s.message.find(s.file), std::string::npos) << s.message;  // says where
    }
    EXPECT_EQ(fs::file_size("big.txt"), Level::MaxFileBytes + 1);
    EXPECT_TRUE(fs::is_fifo("fifo.txt"));
    EXPECT_TRUE(fs::exists("big-2.txt") && fs::exists("fifo-2.txt") && fs::exists("folder-2.txt"));
}

TEST(EditorStorage, NewLevelsClaimTheirNumbersSoTwoEditorsNeverShareOne)
{
    PlayerHere here;
    std::string error;
    // Made with the folders above it; private where the player's folder lies.
    EXPECT_EQ(Editor::ClaimLevelFile(Editor::NewLevelFolder(), error), My("level-01.txt")) << error;
    EXPECT_EQ(Editor::ClaimLevelFile(Editor::NewLevelFolder(), error), My("level-02.txt"));
    struct stat info {};
    ASSERT_EQ(::stat("xdg", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // Eight editors at once: eight numbers.
    std::vector<std::string> names(8);
    {
        std::vector<std::jthread> editors;
        for (std::string& name : names)
            editors.emplace_back([&name] {
                std::string problem;
                name = Editor::ClaimLevelFile(Editor::NewLevelFolder(), problem);
            });
    }
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 8u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).count(My("level-10.txt")), 1u);
    // A gap is filled; a copy of a level file takes the next number beside it.
    fs::remove(My("level-05.txt"));
    EXPECT_EQ(Editor::ClaimCopyName(My("level-01.txt"), error), My("level-05.txt"));

    // The new level's empty file: a session that never writes it gives the number back, one
    // stopped with work keeps the work in it.
    {
        Editor::Session s;
        s.claim.path = Editor::ClaimLevelFile(Editor::NewLevelFolder(), error);
        s.claim.stamp = Editor::StampOf(s.claim.path);
        s.Open(s.claim.path);
        EXPECT_EQ(s.doc.level().sections.size(), 2u);  // a new level, not an empty file
        EXPECT_EQ(s.file, My("level-11.txt"));
    }
    EXPECT_FALSE(fs::exists(My("level-11.txt")));
    {
        Editor::Session s;
        s.claim.path = Editor::ClaimLevelFile(Editor::NewLevelFolder(), error);
        s.claim.stamp = Editor::StampOf(s.claim.path);
        s.Open(s.claim.path);
        Edit(s);
        s.Rescue();
    }
    Level::File kept;
    EXPECT_EQ(Editor::ReadLevel(My("level-11.txt"), kept).sections, 3u);
    EXPECT_FALSE(fs::exists(My("level-11.txt.unsaved")));
}

TEST(EditorStorage, RescueFilesAreNewFilesNeverLinksNorOlderRescues)
{
    const bool root = ::geteuid() == 0;
    struct Case {
        const char* what;
        const char* level;  // the level's path
        void (*before)();
        const char* rescue;  // where the work must be: beside or in the player's folder
    };
    const Case cases[] = {
        {"a plain folder", "lvl.txt", [] {}, "lvl.txt.unsaved"},
        {"a link planted", "lvl.txt", [] { fs::create_symlink("notes", "lvl.txt.unsaved"); }, "lvl.txt.unsaved-2"},
        {"a dangling link and an older rescue", "lvl.txt",
         [] {
             fs::create_symlink("nowhere", "lvl.txt.unsaved");
             WriteFile("lvl.txt.unsaved-2", "older work");
         },
         "lvl.txt.unsaved-3"},
        {"a folder in the way", "lvl.txt", [] { fs::create_directory("lvl.txt.unsaved"); },
         "xdg/kor-dudurad/rescued/lvl.txt.unsaved"},
        // Root may write anywhere, but not into /proc.
        {"a folder that cannot be written", root ? "/proc/lvl.txt" : "ro/lvl.txt",
         [] {
             fs::create_directory("ro");
             fs::permissions("ro", fs::perms::owner_read | fs::perms::owner_exec);
         },
         "xdg/kor-dudurad/rescued/lvl.txt.unsaved"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlayerHere here;
        WriteFile("notes", "the player's notes");
        c.before();
        const Editor::Rescued r = Editor::KeepUnsaved(c.level, Two);
        EXPECT_TRUE(r.path.ends_with(c.rescue)) << r.path;
        EXPECT_EQ(ReadFile(r.path), Two);
        EXPECT_FALSE(fs::is_symlink(r.path));
        EXPECT_EQ(ReadFile("notes"), "the player's notes");
        if (fs::exists("lvl.txt.unsaved-2") && r.path != "lvl.txt.unsaved-2") {
            EXPECT_EQ(ReadFile("lvl.txt.unsaved-2"), "older work");
        }
        EXPECT_EQ(r.reason.empty(), std::string(c.rescue).find("xdg") == std::string::npos) << r.reason;
        // The next start on that level names it.
        const std::vector<std::string> found = Editor::RescuesOf(c.level);
        EXPECT_NE(std::find(found.begin(), found.end(), r.path), found.end());
        if (fs::exists("ro")) fs::permissions("ro", fs::perms::owner_all);
    }
    // A rescue keeps a private level private.
    PlayerHere here;
    WriteFile("lvl.txt", Two);
    ::chmod("lvl.txt", 0600);
    struct stat info {};
    ASSERT_EQ(::stat(Editor::KeepUnsaved("lvl.txt", Two).path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(EditorStorage, TheInstallationsLevelsAreSavedAsCopiesInMyLevels)
{
    PlayerHere here;
    WriteFile("install/data/level-05.txt", Two);
    WriteFile("other/data/level-06.txt", Two);
    WriteFile("mine.txt", Two);
    const std::vector<std::string> installed = {"install/data"};
    fs::create_directories("xdg/kor-dudurad/data");
    const std::string player = "xdg/kor-dudurad/data/";
    fs::create_symlink(fs::absolute("install/data/level-05.txt"), player + "level-05.txt");
    // Another installation's link, known from the launcher's record.
    fs::create_symlink(fs::absolute("other/data/level-06.txt"), player + "level-06.txt");
    WriteFile("xdg/kor-dudurad/.installed-levels",
              "level-06.txt\t" + fs::absolute("other/data/level-06.txt").string() + "\n");
    struct Case {
        std::string path;
        Editor::Keep keep;
    };
    std::vector<Case> cases = {
        {"install/data/level-05.txt", Editor::Keep::Installation},
        {player + "level-05.txt", Editor::Keep::Installation},
        {player + "level-06.txt", Editor::Keep::Installation},
        {"other/data/level-06.txt", Editor::Keep::None},
        {"mine.txt", Editor::Keep::None},
        {"missing.txt", Editor::Keep::None},
    };
    // Root may write any file not on a read-only file system.
    if (::geteuid() != 0) {
        WriteFile("ro.txt", Two);
        ::chmod("ro.txt", 0444);
        cases.push_back({"ro.txt", Editor::Keep::ReadOnly});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Level::File level;
        EXPECT_EQ(Editor::KeepOf(c.path, Level::Read(c.path, level), installed), c.keep);
    }
    // A copy: the status line says where before the first save and after it, and the
    // editor goes on with the copy.
    Editor::Session s;
    s.file = player + "level-05.txt";
    s.keep = Editor::Keep::Installation;
    EXPECT_NE(s.KeepNote().find(Level::MyLevelsFolder()), std::string::npos) << s.KeepNote();
    Edit(s);
    ASSERT_TRUE(s.Save()) << s.message;
    EXPECT_EQ(s.file, My("level-01.txt"));
    EXPECT_NE(s.message.find(My("level-01.txt")), std::string::npos) << s.message;
    EXPECT_EQ(ReadFile("install/data/level-05.txt"), Two);
    EXPECT_EQ(s.keep, Editor::Keep::None);
    EXPECT_TRUE(s.Save());
    EXPECT_EQ(ReadFile(My("level-01.txt")), Level::Text(s.doc.level()));
}

TEST(EditorStorage, RecentFilesAreReadBoundedAndSavedWithTheOtherEditorsAndTheComments)
{
    PlayerHere here;
    const std::string file = Editor::RecentFile();
    // Written by hand or damaged: a comment, a relative path, a control character, a line
    // longer than any path, and more paths than the list keeps.
    std::string text = "# mine\nrelative.txt\n/bad\x01name.txt\n/" + std::string(5000, 'a') + "\n";
    for (int i = 0; i < 15; ++i) text += "/levels/l" + std::to_string(i) + ".txt\n";
    WriteFile(file, text);
    std::vector<std::string> list = Editor::ReadRecent(file);
    ASSERT_EQ(list.size(), Editor::MostRecent);
    EXPECT_EQ(list.front(), "/levels/l0.txt");
    // The newest first, the comment kept, an entry another editor saved meanwhile too.
    WriteFile(file, "# mine\n/levels/theirs.txt\n");
    ASSERT_TRUE(Editor::SaveRecent(file, "/levels/new.txt", list));
    EXPECT_EQ(ReadFile(file).substr(0, 45), "# mine\n/levels/new.txt\n/levels/theirs.txt\n/le");
    EXPECT_EQ(Editor::ReadRecent(file), list);
    EXPECT_EQ(list.size(), Editor::MostRecent);
    EXPECT_FALSE(Editor::SaveRecent(file, "/levels/two\nlines.txt", list));
    EXPECT_EQ(Editor::ReadRecent(file), list);
    // What cannot be a list is neither read (nor waited on) nor replaced.
    const std::function<void()> makes[] = {
        [&] { WriteFile(file, std::string(1 << 20, '/')); },
        [&] { ::mkfifo(file.c_str(), 0600); },
        [&] { fs::create_directory(file); },
    };
    for (const auto& make : makes) {
        fs::remove_all(file);
        make();
        EXPECT_TRUE(Editor::ReadRecent(file).empty());
        EXPECT_FALSE(Editor::SaveRecent(file, "/levels/x.txt", list));
        EXPECT_TRUE(fs::is_directory(file) || fs::is_fifo(file) || fs::file_size(file) == 1u << 20);
    }
}
