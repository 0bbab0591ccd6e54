// Level sets: which files are a set's levels, set.txt, a level's name and hint, the sets'
// order, and the record of won levels kept through damage and other programs' saves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Level/File.hpp"
#include "Level/Sets.hpp"
#include "TempDir.hpp"

namespace fs = std::filesystem;

TEST(Sets, OnlyTheGamesOwnNamesAreLevelsAndSetsComeInTheirOrder)
{
    ScopedWorkDir dir;
    setenv("XDG_DATA_HOME", dir.dir.c_str(), 1);
    const fs::path sets = dir.dir / "kor-dudurad" / "sets";
    fs::create_directories(sets / "my-levels");
    fs::create_directories(sets / "b-set" / "level-04.txt");  // a folder by a level's name
    fs::create_directories(sets / "a-set");
    fs::create_directories(sets / ".hidden");
    for (const char* name : {"level-01.txt", "level-1.txt", "level-100.txt", "level-07.txt.tmp-1-1", "Level-02.txt",
                             "level-+3.txt", "level-05.TXT"})
        WriteFile(sets / "b-set" / name, "[Ball]\n");
    fs::create_symlink("level-01.txt", sets / "b-set" / "level-02.txt");  // a link to a level is one
    fs::create_symlink("nowhere", sets / "b-set" / "level-03.txt");
    WriteFile(sets / "a-set" / "set.txt", "Name: Alpha\nauthor:  Ann \nAbout: two\x1b[2J lines\nName: not this\n");
    EXPECT_EQ(Level::LevelsIn((sets / "b-set").string()), (std::vector<std::uint32_t>{1, 2, 100}));

    const std::vector<Level::Set> all = Level::ListSets((dir.dir / "data").string());
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].kind, Level::Set::Kind::Shipped);
    EXPECT_EQ(all[1].kind, Level::Set::Kind::MyLevels);
    EXPECT_EQ(all[1].folder, Level::MyLevelsFolder());
    EXPECT_EQ(all[2].info.name, "Alpha");
    EXPECT_EQ(all[2].info.author, "Ann");
    EXPECT_EQ(all[2].info.about, "two [2J lines");  // no control characters reach the screen
    EXPECT_EQ(all[3].info.name, "b-set");           // named by its folder without set.txt
    // A huge set.txt costs its bound only.
    WriteFile(sets / "a-set" / "set.txt", "Name: Big\n" + std::string(1 << 20, 'x'));
    EXPECT_EQ(Level::ReadSetInfo((sets / "a-set").string()).name, "Big");
    unsetenv("XDG_DATA_HOME");
}

TEST(Sets, ALevelsNameAndHintComeFromItsComments)
{
    struct Case {
        const char* text;
        const char* name;
        const char* hint;
    };
    for (const Case& c : {
             Case{"* Name: Drift\n* Hint: look again\n[Ball]\n[Ball]\n", "Drift", "look again"},
             Case{"[Ball]\n*name:Inside\n[Ball]\nPosition_X = 1\n* HINT: at the end\n", "Inside", "at the end"},
             Case{"* Level 4: drift.\n* Named: no\n[Ball]\n", "", ""},
             Case{"* Name: first\n* Name: second\n", "first", ""},
         }) {
        Level::File file;
        Level::ReadText(c.text, "t", file);
        const Level::LevelInfo info = Level::InfoOf(file);
        EXPECT_EQ(info.name, c.name) << c.text;
        EXPECT_EQ(info.hint, c.hint) << c.text;
    }
}

TEST(Sets, WonLevelsAreAddedOnceKeepingTheFileAndADamagedFileIsLeftAlone)
{
    ScopedWorkDir dir;
    const std::string file = (dir.dir / "set" / "progress.txt").string();
    EXPECT_TRUE(Level::ReadProgress(file).empty());
    EXPECT_TRUE(Level::MarkWon(file, 3));  // the folder is made
    WriteFile(file, ReadFile(file) + "# mine\n12");
    EXPECT_TRUE(Level::MarkWon(file, 1));
    EXPECT_TRUE(Level::MarkWon(file, 3));
    EXPECT_EQ(ReadFile(file), "3\n# mine\n12\n1\n");
    EXPECT_EQ(Level::ReadProgress(file), (std::vector<std::uint32_t>{1, 3, 12}));
    const std::string big = std::string(Level::MaxProgressBytes + 10, '1');
    WriteFile(file, big);
    EXPECT_FALSE(Level::MarkWon(file, 2));
    EXPECT_EQ(ReadFile(file), big);
}
