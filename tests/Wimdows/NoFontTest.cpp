// Without any font (fontconfig pointed at a configuration that lists none) text is left
// out with one message, and nothing else suffers. Its own program: fonts are looked up
// once per process.
#include <cstdlib>
#include <string>

#include "Helpers.hpp"

using namespace Wimdows;
using namespace WimdowsTest;

namespace {

class NoFont : public WindowFixture {};

TEST_F(NoFont, TextIsLeftOutWithOneClearMessage)
{
    ASSERT_EQ(setenv("FONTCONFIG_FILE", KOR_NO_FONTS_CONF, 1), 0);
    Window("No font", 60, 30);
    ASSERT_EQ(State(), STATE_ACTIVE);
    SetBuffering(true);
    FillBack(0x00FF00);
    testing::internal::CaptureStderr();
    for (std::uint32_t style = 0; style < 7; ++style) {
        SetFont(style, 0xFFFFFF);
        Text("Score", 1, 1);
        TextInt(-42, 1, 15);
        std::uint32_t w = 9, h = 9;
        GetTextSize("Score", style, w, h);
        EXPECT_EQ(w, 0u);
        EXPECT_EQ(h, 0u);
    }
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string head = "[ERROR] (Text) No font found";
    ASSERT_NE(err.find(head), std::string::npos) << err;
    EXPECT_EQ(err.find(head, err.find(head) + 1), std::string::npos) << "more than one message: " << err;
    EXPECT_NE(err.find("fonts-dejavu-core"), std::string::npos) << err;
    for (std::uint32_t p : BackPixels()) ASSERT_EQ(p, 0x00FF00u);
    Rectangle(0, 0, 5, 5, 0xFFFFFF, true);  // the rest of the layer goes on
    std::uint32_t c = 0;
    ASSERT_TRUE(Testing::ReadBackBuffer(5, 5, c));
    EXPECT_EQ(c, 0xFFFFFFu);
}

}  // namespace
