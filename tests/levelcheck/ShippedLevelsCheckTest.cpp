// kor-levelcheck over the shipped levels: every one winnable under both step sizes, and
// the first one the easiest.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "RunTool.hpp"
#include "ShippedLevels.hpp"

TEST(ShippedLevelsCheckTest, EveryLevelIsWinnableAndTheFirstIsTheEasiest)
{
    std::string args;
    const auto files = ShippedLevelFiles();
    ASSERT_GE(files.size(), 12u);
    for (const auto& file : files) {
        args += " " + file.string();
    }
    const ToolRun run = RunTool(std::string(KOR_LEVELCHECK) + args);
    std::printf("%s", run.out.c_str());
    EXPECT_EQ(run.status, 0) << run.err;

    const std::regex row(R"(level-(\d\d)\.txt +(\d+) +(\d+) +(\d+)  speed )");
    std::vector<long> both;
    for (std::sregex_iterator it(run.out.begin(), run.out.end(), row), end; it != end; ++it) {
        EXPECT_EQ(std::stoul((*it)[1]), both.size() + 1);
        both.push_back(std::stol((*it)[4]));
    }
    ASSERT_EQ(both.size(), files.size()) << run.out;
    for (std::size_t i = 1; i < both.size(); ++i) {
        EXPECT_GT(both[0], both[i]) << "level " << i + 1 << " has more winning shots than level 1";
    }
}
