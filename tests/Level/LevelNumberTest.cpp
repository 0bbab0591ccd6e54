#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "Level/File.hpp"

using Level::FileName;
using Level::ReadNumber;

TEST(LevelFileName, AtLeastTwoDigits)
{
    EXPECT_EQ(FileName(0), "data/level-00.txt");
    EXPECT_EQ(FileName(1), "data/level-01.txt");
    EXPECT_EQ(FileName(9), "data/level-09.txt");
    EXPECT_EQ(FileName(10), "data/level-10.txt");
    EXPECT_EQ(FileName(100), "data/level-100.txt");
    EXPECT_EQ(FileName(123), "data/level-123.txt");
}

TEST(LevelNumber, AcceptedForms)
{
    const struct {
        const char* text;
        float value;
    } cases[] = {
        {"5", 5.0f},      {"+5", 5.0f},
        {"-5", -5.0f},    {"5.", 5.0f},
        {"5.25", 5.25f},  {"007", 7.0f},
        {"1E3", 1000.0f}, {"1E+3", 1000.0f},
        {"25E-1", 2.5f},  {"-1.5E2", -150.0f},
        {"  5", 5.0f},    {"\t \t-0.125", -0.125f},
        {"0.1", 0.1f},    {"16777217", 16777216.0f},
    };
    for (const auto& c : cases) {
        float v = 99.0f;
        EXPECT_TRUE(ReadNumber(c.text, v)) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(LevelNumber, RejectedFormsLeaveTheValue)
{
    const char* const cases[] = {
        "",      " ",   ".5",   "-.5", "5 ",   "5\t", "1e3", "1E", "1E+", "E5",    "+",   "-",     "--5", "+-5", "5..0",
        "5.0.0", "1,5", "0x10", "inf", "-inf", "nan", "INF", "5x", "x5",  "1E3.5", " 5 ", "1 000", "5f",  "٣",
    };
    for (const char* text : cases) {
        float v = 42.0f;
        EXPECT_FALSE(ReadNumber(text, v)) << '"' << text << '"';
        EXPECT_EQ(v, 42.0f) << text;
    }
}

TEST(LevelNumber, OutOfRange)
{
    float v = 0.0f;
    ASSERT_TRUE(ReadNumber("1E39", v));
    EXPECT_EQ(v, FLT_MAX);
    ASSERT_TRUE(ReadNumber("-1E400", v));
    EXPECT_EQ(v, -FLT_MAX);
    ASSERT_TRUE(ReadNumber("3.4028235E38", v));
    EXPECT_EQ(v, FLT_MAX);
    ASSERT_TRUE(ReadNumber("1E-50", v));
    EXPECT_EQ(v, 0.0f);
    ASSERT_TRUE(ReadNumber("-1E-40", v));
    EXPECT_EQ(v, 0.0f);
    ASSERT_TRUE(ReadNumber("1.2E-38", v));
    EXPECT_EQ(v, 1.2e-38f);
}
