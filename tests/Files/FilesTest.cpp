#include <sys/stat.h>
#include <unistd.h>

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
