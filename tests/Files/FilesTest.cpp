#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "Files/Files.hpp"
#include "TempDir.hpp"

// Every kind of name a reader meets, and files at and past the bound: only a regular file is
// read, never more than the bound plus one byte, and each case says what it is.
TEST(ReadBounded, OnlyRegularFilesAndNeverPastTheBound)
{
    ScopedWorkDir dir;
    WriteFile("four", "1234");
    WriteFile("five", "12345");
    std::filesystem::create_directory("folder");
    ASSERT_EQ(::mkfifo("fifo", 0600), 0);
    std::filesystem::create_symlink("nowhere", "dangling");
    std::filesystem::create_symlink("four", "link");
    struct Case {
        const char* name;
        Files::Read status;
        std::string text;
        std::string problem;
    };
    for (const Case& c : {
             Case{"four", Files::Read::Done, "1234", ""},
             Case{"link", Files::Read::Done, "1234", ""},
             Case{"five", Files::Read::TooLarge, "1234", "longer than 4 bytes"},
             Case{"missing", Files::Read::Missing, "", "No such file or directory"},
             Case{"dangling", Files::Read::Missing, "", "No such file or directory"},
             Case{"folder", Files::Read::NotRegular, "", "a folder, not a regular file"},
             Case{"fifo", Files::Read::NotRegular, "", "a FIFO, not a regular file"},
         }) {
        std::string text = "old";
        const Files::ReadResult r = Files::ReadBounded(c.name, 4, text);
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
        EXPECT_EQ(r.problem, c.problem) << c.name;
    }
}

// What a failed save says names the step and the file, escaped.
TEST(Save, FailuresSayWhichStepAndFile)
{
    ScopedWorkDir dir;
    std::filesystem::create_directory("a\tfolder");
    Files::SaveFailure failure;
    EXPECT_FALSE(Files::Save("a\tfolder", "x", failure));
    EXPECT_EQ(Files::Describe(failure), "a\\x09folder is left as it is (a folder, not a regular file).");
    EXPECT_FALSE(Files::Save("no/such/folder/file", "x", failure));
    EXPECT_EQ(Files::Describe(failure),
              "Couldn't create a new file beside no/such/folder/file: No such file or directory");
    EXPECT_TRUE(Files::IsSaveTemporary("level-13.txt.tmp-123-45"));
    EXPECT_FALSE(Files::IsSaveTemporary("level-13.txt"));
    EXPECT_FALSE(Files::IsSaveTemporary(".tmp-1-2"));
}

// The save lock of a folder: held by one at a time, found through links where the file
// really is, given up after its wait with a line that says so, free again once let go.
TEST(FolderLock, OneAtATimeAndNeverWaitingPastItsBound)
{
    using State = Files::FolderLock::State;
    using namespace std::chrono_literals;
    ScopedWorkDir dir;
    std::filesystem::create_directory("a");
    std::filesystem::create_directory("b");
    std::filesystem::create_symlink("../b/scores", "a/link");
    {
        const Files::FolderLock held("a/scores");
        EXPECT_EQ(held.state, State::Held);
        const auto start = std::chrono::steady_clock::now();
        const Files::FolderLock busy("a/settings.cfg", 200ms);
        EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
        EXPECT_EQ(busy.state, State::Busy);
        EXPECT_EQ(busy.problem, "another program has been saving in a for 200 ms");
        const Files::FolderLock elsewhere("b/x", 0ms);
        EXPECT_EQ(elsewhere.state, State::Held);
        EXPECT_EQ(Files::FolderLock("a/link", 0ms).state, State::Busy);  // its file is in b
    }
    EXPECT_EQ(Files::FolderLock("a/scores", 0ms).state, State::Held);
    EXPECT_EQ(Files::FolderLock("missing/scores", 0ms).state, State::None);     // the save says why
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("a"), {}), 1);  // no lock file
}

// The player's folder follows the XDG rules the launcher follows: a relative XDG_DATA_HOME
// is ignored.
TEST(PlayerFolder, XdgDataHomeThenHome)
{
    const std::string oldData = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    struct Case {
        const char* data;
        const char* home;
        const char* folder;
    };
    for (const Case& c : {Case{"/d", "/h", "/d/kor-dudurad"}, Case{"rel", "/h", "/h/.local/share/kor-dudurad"},
                          Case{"", "/h", "/h/.local/share/kor-dudurad"}, Case{"", "rel", ""}}) {
        ::setenv("XDG_DATA_HOME", c.data, 1);
        ::setenv("HOME", c.home, 1);
        EXPECT_EQ(Files::PlayerFolder(), c.folder) << c.data << " " << c.home;
    }
    ::setenv("XDG_DATA_HOME", oldData.c_str(), 1);
    ::setenv("HOME", oldHome.c_str(), 1);
}
