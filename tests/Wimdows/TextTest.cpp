// Text: measuring, the head-up display's labels in their room, Latin-1, transparency,
// buffering, and the decimal text of numbers.
#include <climits>
#include <string>

#include "Helpers.hpp"

using namespace Wimdows;
using namespace WimdowsTest;
namespace I = Wimdows::detail;

namespace {

constexpr int kW = 200, kH = 40;
constexpr std::uint32_t kGreen = 0x00FF00, kWhite = 0xFFFFFF;

std::string Digits(std::int32_t n)
{
    char text[12];
    I::Int2Char(text, n);
    return text;
}

struct Size {
    std::uint32_t w = 0, h = 0;
};
Size Measure(const char* text, std::uint32_t style = 0)
{
    Size s;
    GetTextSize(text, style, s.w, s.h);
    return s;
}

// Pixels that differ from the colour c, and their bounding box.
struct Ink {
    int count = 0, x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;
};
Ink InkOf(const std::vector<std::uint32_t>& pixels, std::uint32_t c)
{
    Ink ink;
    for (int i = 0; i < static_cast<int>(pixels.size()); ++i) {
        if (pixels[i] == c) continue;
        const int x = i % kW, y = i / kW;
        ++ink.count;
        ink.x0 = std::min(ink.x0, x), ink.y0 = std::min(ink.y0, y);
        ink.x1 = std::max(ink.x1, x), ink.y1 = std::max(ink.y1, y);
    }
    return ink;
}

class Texts : public WindowFixture {
protected:
    void SetUp() override
    {
        Window("Text", kW, kH);
        ASSERT_EQ(State(), STATE_ACTIVE);
        Testing::Sync();  // the repaint of the first showing is over
        SetBuffering(true);
        FillBack(kGreen);
        SetFont(0, kWhite);
    }
    void TearDown() override
    {
        SetFont(0, 0);
        WindowFixture::TearDown();
    }
};

TEST(Numbers, DecimalTextOfEveryInt32)
{
    EXPECT_EQ(I::intlen(0), 1);
    EXPECT_EQ(I::intlen(9), 1);
    EXPECT_EQ(I::intlen(10), 2);
    EXPECT_EQ(I::intlen(-5), 2);
    EXPECT_EQ(I::intlen(-10), 3);
    EXPECT_EQ(I::intlen(INT32_MAX), 10);
    EXPECT_EQ(I::intlen(INT32_MIN), 11);
    EXPECT_EQ(Digits(0), "0");
    EXPECT_EQ(Digits(-42), "-42");
    EXPECT_EQ(Digits(1000), "1000");
    EXPECT_EQ(Digits(INT32_MAX), "2147483647");
    EXPECT_EQ(Digits(INT32_MIN), "-2147483648");
}

TEST_F(Texts, HeadUpDisplayLabelsEndBeforeTheirNumbers)
{
    struct Label {
        const char* text;
        int x, before;
    } labels[] = {{"Huidige Hoek (\xB0)", 20, 120},
                  {"Huidige Snelheid", 20, 120},
                  {"Vorige Hoek (\xB0)", 150, 230},
                  {"Vorige Snelheid", 150, 230},
                  {"Score", 20, 55},
                  {"Level", 964, 994},
                  // The English catalog's, in UTF-8
                  {"Angle (\xC2\xB0)", 20, 120},
                  {"Last angle (\xC2\xB0)", 150, 230},
                  {"Last speed", 150, 230}};
    for (const Label& l : labels) {
        const Size s = Measure(l.text);
        EXPECT_LE(l.x + static_cast<int>(s.w), l.before) << l.text << " is " << s.w << " wide";
        EXPECT_GE(s.w, 3u * std::string(l.text).size()) << l.text << ": too small to read";
        EXPECT_GE(s.h, 11u) << l.text;
        EXPECT_LE(s.h, 20u) << l.text;  // the lines are 20 pixels apart
    }
    EXPECT_EQ(Measure("").w, 0u);
    EXPECT_GT(Measure("").h, 0u);
    EXPECT_EQ(Measure("Score", 9).w, Measure("Score", 0).w);
    // Four more letters take four advances: the same for every letter in a monospaced font.
    const auto advances = [](const char* two, const char* six, std::uint32_t style) {
        return Measure(six, style).w - Measure(two, style).w;
    };
    for (std::uint32_t mono : {2u, 4u, 5u}) EXPECT_EQ(advances("ii", "iiiiii", mono), advances("WW", "WWWWWW", mono));
    for (std::uint32_t sans : {0u, 1u, 3u}) EXPECT_GT(advances("WW", "WWWWWW", sans), advances("ii", "iiiiii", sans));
    EXPECT_EQ(Measure(nullptr).w, 0u);
}

TEST_F(Texts, GlyphsLieOverThePictureWithoutBackground)
{
    Text("Huidige Hoek (\xB0)", 10, 10);
    const Size s = Measure("Huidige Hoek (\xB0)");
    const std::vector<std::uint32_t> after = BackPixels();
    const Ink ink = InkOf(after, kGreen);
    EXPECT_GE(ink.x0, 10);
    EXPECT_GE(ink.y0, 10);
    EXPECT_LE(ink.x1, 10 + static_cast<int>(s.w) - 1);
    EXPECT_LE(ink.y1, 10 + static_cast<int>(s.h) - 1);
    EXPECT_GT(ink.count, 40);
    EXPECT_LT(ink.count, static_cast<int>(s.w * s.h) / 2);  // the picture shows between the glyphs
    int white = 0;
    for (std::uint32_t p : after) white += p == kWhite;
    EXPECT_GT(white, 10);  // the stems are fully in the text colour

    // Style 9 is style 0; the cache keeps colours apart.
    SetFont(9, kWhite);
    FillBack(kGreen);
    Text("Huidige Hoek (\xB0)", 10, 10);
    EXPECT_EQ(BackPixels(), after);
    SetFont(0, RgbColor(255, 0, 0));
    FillBack(kGreen);
    Text("Huidige Hoek (\xB0)", 10, 10);
    int red = 0;
    for (std::uint32_t p : BackPixels()) red += p == 0x0000FF;
    EXPECT_EQ(red, white);
}

TEST_F(Texts, TheDegreeSignIsASmallRingHighUpInTheLine)
{
    Text("\xB0", 10, 10);
    const std::vector<std::uint32_t> latin1 = BackPixels();
    const Ink degree = InkOf(latin1, kGreen);
    // A catalog's text is UTF-8: the same sign, not two Latin-1 letters.
    FillBack(kGreen);
    Text("\xC2\xB0", 10, 10);
    EXPECT_EQ(BackPixels(), latin1);
    EXPECT_EQ(Measure("\xC2\xB0").w, Measure("\xB0").w);
    FillBack(kGreen);
    const Size cell = Measure("\xB0");
    ASSERT_GT(degree.count, 3);
    EXPECT_LT(degree.y1, 10 + static_cast<int>(cell.h) / 2);  // nothing in the lower half
    FillBack(kGreen);
    Text("o", 10, 10);
    EXPECT_GT(InkOf(BackPixels(), kGreen).y1, degree.y1);  // unlike a letter or a missing glyph box
}

TEST_F(Texts, NumbersAreWrittenAsTheirDecimalText)
{
    const std::int32_t numbers[] = {0, -42, 1000, INT32_MIN};
    for (std::int32_t n : numbers) {
        FillBack(kGreen);
        Text(Digits(n).c_str(), 3, 4);
        const std::vector<std::uint32_t> expected = BackPixels();
        FillBack(kGreen);
        TextInt(n, 3, 4);
        EXPECT_EQ(BackPixels(), expected) << n;
    }
}

TEST_F(Texts, UnbufferedTextShowsExactlyItsMeasuredArea)
{
    SetBuffering(false);  // shows the green
    FillBack(kWhite);     // only in the back buffer
    Text("Level", 150, 20);
    const Size s = Measure("Level");
    const Ink shown = InkOf(ScreenPixels(), kGreen);
    EXPECT_EQ(shown.x0, 150);
    EXPECT_EQ(shown.y0, 20);
    EXPECT_EQ(shown.x1, 150 + static_cast<int>(s.w) - 1);
    EXPECT_EQ(shown.y1, std::min(kH - 1, 20 + static_cast<int>(s.h) - 1));

    SetBuffering(true);  // buffered text changes only the back buffer
    const std::vector<std::uint32_t> before = ScreenPixels();
    Text("Score", 0, 0);
    EXPECT_EQ(ScreenPixels(), before);
    Text("", 0, 0);
    Text(nullptr, 0, 0);
}

TEST(NoWindow, TextDrawsNothingAndMeasuresNothing)
{
    ASSERT_EQ(State(), STATE_DEAD);
    Text("Score", 0, 0);
    TextInt(12, 0, 0);
    const Size s = Measure("Score");
    EXPECT_EQ(s.w, 0u);
    EXPECT_EQ(s.h, 0u);
}

}  // namespace
