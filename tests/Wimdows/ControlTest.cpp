// Push buttons: the control table, the look of a button on the window, and clicks made of
// real SDL mouse events, on the dummy video driver.
#include <atomic>
#include <thread>
#include <vector>

#include "Helpers.hpp"

using namespace Wimdows;
using namespace WimdowsTest;
namespace I = Wimdows::detail;

namespace {

std::atomic<int> clicksA{0};
std::atomic<int> clicksB{0};
std::atomic<bool> onUiThread{false};
void ProcA()
{
    ++clicksA;
    onUiThread.store(I::OnUiThread());
}
void ProcB() { ++clicksB; }

// Child-window identifier of the control in slot `slot`, read on the window's thread.
std::intptr_t ChildId(std::uint32_t slot)
{
    std::intptr_t id = 0;
    OnUi([&] {
        I::BufferGuard guard;
        if (slot < I::controllen && I::ctrl[slot].hwnd) id = I::ctrl[slot].hwnd->id;
    });
    return id;
}

std::uint32_t Controllen()
{
    I::BufferGuard guard;
    return I::controllen;
}

std::uint32_t Screen(std::int32_t x, std::int32_t y)
{
    std::uint32_t c = 0xDEADBEEF;
    EXPECT_TRUE(Testing::ReadScreen(x, y, c)) << x << "," << y;
    return c;
}

void Click(std::int32_t x, std::int32_t y)
{
    Testing::PostMouseMove(x, y);
    Testing::PostMouseButton(1, true, x, y);
    Testing::PostMouseButton(1, false, x, y);
    Testing::Sync();
}

class Controls : public WindowFixture {
protected:
    void SetUp() override
    {
        Window("Controls", 200, 120);
        ASSERT_EQ(State(), STATE_ACTIVE);
        clicksA = 0;
        clicksB = 0;
        onUiThread = false;
    }
};

// ---- The table ----

TEST_F(Controls, ButtonsAreNumberedFromOneWithChildIdsFrom10000)
{
    EXPECT_EQ(CreateButton("a", 0, 0, 20, 10, ProcA), 1u);
    EXPECT_EQ(CreateButton("b", 30, 0, 20, 10, ProcA), 2u);
    EXPECT_EQ(CreateButton("c", 60, 0, 20, 10, ProcA), 3u);
    EXPECT_EQ(Controllen(), 3u);
    for (std::uint32_t slot = 0; slot < 3; ++slot) EXPECT_EQ(ChildId(slot), 10000 + static_cast<std::intptr_t>(slot));
    I::BufferGuard guard;
    EXPECT_EQ(I::ctrl[1].x, 30);
    EXPECT_EQ(I::ctrl[1].width, 20u);
    EXPECT_EQ(I::ctrl[1].proc, &ProcA);
    EXPECT_EQ(I::ctrl[1].type, I::CTRL_BUTTON);
}

TEST_F(Controls, AFreedSlotIsReusedAndTheTableShrinksOnlyFromItsEnd)
{
    for (int i = 0; i < 3; ++i) CreateButton("x", i * 30, 0, 20, 10, ProcA);
    DestroyControl(2);
    EXPECT_EQ(Controllen(), 3u);
    EXPECT_EQ(ChildId(1), 0);  // slot free
    EXPECT_EQ(CreateButton("again", 30, 0, 20, 10, ProcB), 2u);
    EXPECT_EQ(Controllen(), 3u);
    EXPECT_EQ(ChildId(1), 10001);

    DestroyControl(3);  // 1, 2 left
    EXPECT_EQ(Controllen(), 2u);
    DestroyControl(1);  // slot 0 free, 2 is last: nothing shrinks
    EXPECT_EQ(Controllen(), 2u);
    DestroyControl(2);  // the last slot and the free one before it go
    EXPECT_EQ(Controllen(), 0u);
    {
        I::BufferGuard guard;
        EXPECT_EQ(I::ctrl, nullptr);
    }
    EXPECT_EQ(CreateButton("new", 0, 0, 20, 10, ProcA), 1u);
    EXPECT_EQ(ChildId(0), 10000);
}

TEST_F(Controls, DestroyingOneTwoThreeEmptiesTheTableAndWithSlotTwoFreeThreeLeavesOne)
{
    for (int i = 0; i < 3; ++i) CreateButton("x", i * 30, 0, 20, 10, ProcA);
    for (std::uint32_t id : {1u, 2u, 3u}) DestroyControl(id);
    EXPECT_EQ(Controllen(), 0u);
    EXPECT_EQ(I::children, nullptr);  // no request is pending: the window's thread is idle

    for (int i = 0; i < 3; ++i) CreateButton("x", i * 30, 0, 20, 10, ProcA);
    DestroyControl(2);
    DestroyControl(3);
    EXPECT_EQ(Controllen(), 1u);
    EXPECT_EQ(ChildId(0), 10000);
}

TEST_F(Controls, InvalidIdentifiersAreIgnored)
{
    CreateButton("x", 0, 0, 20, 10, ProcA);
    CreateButton("y", 30, 0, 20, 10, ProcA);
    DestroyControl(1);
    for (std::uint32_t id : {0u, 1u, 3u, 99u, 0xFFFFFFFFu}) DestroyControl(id);
    EXPECT_EQ(Controllen(), 2u);
    EXPECT_EQ(ChildId(1), 10001);
}

TEST_F(Controls, NoWindowMeansNoButtonAndAnUntouchedTable)
{
    KillWindow();
    EXPECT_EQ(CreateButton("x", 0, 0, 20, 10, ProcA), 0u);
    DestroyControl(1);
    EXPECT_EQ(I::ctrl, nullptr);
    EXPECT_EQ(I::controllen, 0u);
}

TEST_F(Controls, TheWindowSystemRefusingAButtonGivesZero)
{
    EXPECT_EQ(CreateButton("empty", 0, 0, 0, 10, ProcA), 0u);
    EXPECT_EQ(CreateButton("huge", 0, 0, 20, 100000, ProcA), 0u);
    EXPECT_EQ(Controllen(), 0u);
    EXPECT_EQ(CreateButton(nullptr, 0, 0, 20, 10, ProcA), 1u);  // no caption is an empty one
}

TEST_F(Controls, TeardownReleasesTheButtonsAndTheNextWindowStartsAtOne)
{
    CreateButton("x", 0, 0, 20, 10, ProcA);
    CreateButton("y", 30, 0, 20, 10, ProcA);
    Testing::PostClose();  // the close box
    ASSERT_TRUE(WaitFor([] { return State() == STATE_DEAD; }));
    EXPECT_EQ(I::ctrl, nullptr);
    EXPECT_EQ(I::controllen, 0u);
    EXPECT_EQ(I::children, nullptr);
    EXPECT_EQ(CreateButton("z", 0, 0, 20, 10, ProcA), 0u);
    Window("Controls again", 100, 100);
    EXPECT_EQ(CreateButton("z", 0, 0, 20, 10, ProcA), 1u);
}

// ---- Clicks ----

TEST_F(Controls, PressAndReleaseOnAButtonCallsItsProcedureOnTheWindowsThread)
{
    ASSERT_EQ(CreateButton("A", 10, 10, 80, 25, ProcA), 1u);
    ASSERT_EQ(CreateButton("B", 110, 10, 80, 25, ProcB), 2u);
    Click(50, 20);
    EXPECT_EQ(clicksA.load(), 1);
    EXPECT_TRUE(onUiThread.load());
    Click(10, 10);   // top-left pixel
    Click(89, 34);   // bottom-right pixel
    Click(90, 20);   // just outside
    Click(150, 20);  // the other one
    EXPECT_EQ(clicksA.load(), 3);
    EXPECT_EQ(clicksB.load(), 1);
    // Nobody else saw the clicks: the window's own mouse record stays unpressed.
    bool left = true;
    OnUi([&] { left = I::mouse.left || I::captured; });
    EXPECT_FALSE(left);
}

TEST_F(Controls, PressOnOneButtonAndReleaseOnAnotherDoesNothing)
{
    CreateButton("A", 10, 10, 80, 25, ProcA);
    CreateButton("B", 110, 10, 80, 25, ProcB);
    Testing::PostMouseButton(1, true, 50, 20);
    Testing::PostMouseMove(150, 20);
    Testing::PostMouseButton(1, false, 150, 20);
    // Pressed on the background and released on a button: nothing either.
    Testing::PostMouseButton(1, true, 100, 80);
    Testing::PostMouseMove(50, 20);
    Testing::PostMouseButton(1, false, 50, 20);
    Testing::Sync();
    EXPECT_EQ(clicksA.load(), 0);
    EXPECT_EQ(clicksB.load(), 0);
}

TEST_F(Controls, DraggingOffAndBackBeforeReleasingStillClicks)
{
    CreateButton("A", 10, 10, 80, 25, ProcA);
    Testing::PostMouseButton(1, true, 50, 20);
    Testing::PostMouseMove(150, 100);
    Testing::PostMouseMove(60, 25);
    Testing::PostMouseButton(1, false, 60, 25);
    Testing::Sync();
    EXPECT_EQ(clicksA.load(), 1);
}

TEST_F(Controls, RightClicksDoNothingAndADoubleClickIsTwoClicks)
{
    CreateButton("A", 10, 10, 80, 25, ProcA);
    Testing::PostMouseButton(3, true, 50, 20);
    Testing::PostMouseButton(3, false, 50, 20);
    Testing::Sync();
    EXPECT_EQ(clicksA.load(), 0);
    Testing::PostMouseButton(1, true, 50, 20, 1);
    Testing::PostMouseButton(1, false, 50, 20, 1);
    Testing::PostMouseButton(1, true, 50, 20, 2);
    Testing::PostMouseButton(1, false, 50, 20, 2);
    Testing::Sync();
    EXPECT_EQ(clicksA.load(), 2);
}

TEST_F(Controls, AClickBeforeTheButtonHasItsSlotAndAfterItIsDestroyedIsIgnored)
{
    CreateButton("A", 10, 10, 80, 25, ProcA);
    OnUi([] { I::ctrl[0].hwnd->id = -1; });  // as between its creation and its slot
    Click(50, 20);
    EXPECT_EQ(clicksA.load(), 0);
    DestroyControl(1);
    Click(50, 20);
    EXPECT_EQ(clicksA.load(), 0);
}

void DestroyMyself()
{
    ++clicksA;
    DestroyControl(1);
}
int madeInProc = 0;
void MakeAnother() { madeInProc = static_cast<int>(CreateButton("more", 110, 10, 80, 25, ProcB)); }

TEST_F(Controls, AProcedureMayDestroyItsOwnButtonOrMakeANewOne)
{
    CreateButton("A", 10, 10, 80, 25, DestroyMyself);
    CreateButton("M", 10, 50, 80, 25, MakeAnother);
    Click(50, 20);
    EXPECT_EQ(clicksA.load(), 1);
    EXPECT_EQ(Controllen(), 2u);
    EXPECT_EQ(ChildId(0), 0);
    Click(50, 20);  // gone
    EXPECT_EQ(clicksA.load(), 1);
    Click(50, 60);
    EXPECT_EQ(madeInProc, 1);  // slot 0 was free
    Click(150, 20);
    EXPECT_EQ(clicksB.load(), 1);
}

std::atomic<bool> drewOnUi{false};
void DrawRed()
{
    drewOnUi.store(I::OnUiThread());
    Rectangle(0, 60, 199, 119, RgbColor(255, 0, 0), true);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

TEST_F(Controls, AProcedureThatDrawsShowsItsDrawingAtOnce)
{
    FillBack(0x00FF00);
    UpdateWindow();
    CreateButton("Draw", 10, 10, 80, 25, DrawRed);
    Click(50, 20);
    EXPECT_TRUE(drewOnUi.load());
    EXPECT_EQ(Screen(100, 100), 0x0000FFu);
    std::uint32_t back = 0;
    ASSERT_TRUE(Testing::ReadBackBuffer(100, 100, back));
    EXPECT_EQ(back, 0x0000FFu);
}

// ---- The look ----

TEST_F(Controls, AButtonIsDrawnOverThePictureAndNeverIntoTheBackBuffer)
{
    FillBack(0x00FF00);
    UpdateWindow();
    ASSERT_EQ(CreateButton("Start spel", 60, 40, 80, 25, ProcA), 1u);
    Testing::Sync();
    const std::uint32_t face = Screen(62, 42);
    EXPECT_EQ(Screen(60, 40), 0xFFFFFFu);   // raised: light top-left edge
    EXPECT_EQ(Screen(139, 64), 0x404040u);  // dark bottom-right edge
    EXPECT_EQ(Screen(59, 40), 0x00FF00u);   // nothing outside it
    EXPECT_EQ(Screen(140, 64), 0x00FF00u);
    std::uint32_t back = 0;
    ASSERT_TRUE(Testing::ReadBackBuffer(62, 42, back));
    EXPECT_EQ(back, 0x00FF00u);

    // The caption: dark pixels, centred.
    int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
    const auto screen = ScreenPixels();
    for (int y = 42; y < 63; ++y)
        for (int x = 62; x < 138; ++x)
            if ((screen[y * 200 + x] & 0xFF) < 0x60) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    ASSERT_GE(maxX, 0) << "no caption";
    EXPECT_NEAR((minX + maxX) / 2.0, 100.0, 2.5);
    EXPECT_NEAR((minY + maxY) / 2.0, 52.5, 3.0);

    // A buffered frame shown over it leaves the button on top.
    SetBuffering(true);
    FillBack(0x0000FF);
    UpdateWindow();
    Testing::Sync();
    EXPECT_EQ(Screen(60, 40), 0xFFFFFFu);
    EXPECT_EQ(Screen(62, 42), face);
    EXPECT_EQ(Screen(20, 20), 0x0000FFu);

    DestroyControl(1);
    EXPECT_EQ(Screen(62, 42), 0x0000FFu);  // the picture comes back where it was
    EXPECT_EQ(Screen(60, 40), 0x0000FFu);
}

TEST_F(Controls, AButtonLightsUpUnderThePointerAndSinksWhileHeld)
{
    FillBack(0x00FF00);
    UpdateWindow();
    CreateButton("A", 60, 40, 80, 25, ProcA);
    Testing::Sync();
    const std::uint32_t face = Screen(63, 43);
    Testing::PostMouseMove(100, 50);
    Testing::Sync();
    const std::uint32_t hot = Screen(63, 43);
    EXPECT_NE(hot, face);
    EXPECT_GT(hot & 0xFF, face & 0xFF);  // lighter

    Testing::PostMouseButton(1, true, 100, 50);
    Testing::Sync();
    EXPECT_EQ(Screen(60, 40), 0x404040u);   // sunken: dark top-left edge
    EXPECT_EQ(Screen(139, 64), 0xFFFFFFu);  // light bottom-right edge
    Testing::PostMouseMove(10, 10);         // held, but off the button: raised again
    Testing::Sync();
    EXPECT_EQ(Screen(60, 40), 0xFFFFFFu);
    EXPECT_EQ(Screen(63, 43), face);
    Testing::PostMouseMove(100, 50);
    Testing::Sync();
    EXPECT_EQ(Screen(60, 40), 0x404040u);
    Testing::PostMouseButton(1, false, 100, 50);
    Testing::Sync();
    EXPECT_EQ(clicksA.load(), 1);
    EXPECT_EQ(Screen(60, 40), 0xFFFFFFu);
    EXPECT_EQ(Screen(63, 43), hot);  // still under the pointer

    Testing::PostMouseMove(10, 10);
    Testing::Sync();
    EXPECT_EQ(Screen(63, 43), face);
}

// The keyboard focus: none at first, then round the buttons in the order they were made,
// drawn as a black frame, and pressed as a click would.
TEST_F(Controls, TheFocusGoesRoundTheButtonsAndPressesTheOneItIsOn)
{
    EXPECT_FALSE(PressFocusedControl());  // no button yet
    CreateButton("A", 10, 10, 80, 25, ProcA);
    CreateButton("B", 110, 10, 80, 25, ProcB);
    Testing::Sync();
    EXPECT_FALSE(PressFocusedControl());  // none has the focus yet
    EXPECT_EQ(Screen(10, 10), 0xFFFFFFu);
    FocusControl(-1);  // backwards from nothing: the last one
    Testing::Sync();
    EXPECT_EQ(Screen(110, 10), 0x000000u);
    EXPECT_EQ(Screen(113, 13), 0x000000u);  // the dotted frame inside
    EXPECT_EQ(Screen(10, 10), 0xFFFFFFu);
    FocusControl(1);  // round the end to the first
    Testing::Sync();
    EXPECT_EQ(Screen(10, 10), 0x000000u);
    EXPECT_EQ(Screen(110, 10), 0xFFFFFFu);
    EXPECT_TRUE(PressFocusedControl());
    EXPECT_EQ(clicksA.load(), 1);
    EXPECT_TRUE(onUiThread.load());
    EXPECT_EQ(clicksB.load(), 0);
    DestroyControl(1);
    EXPECT_FALSE(PressFocusedControl());  // the focused button is gone, and the focus with it
}

// ---- Threads ----

// The main thread grows and shrinks the table while the window's thread dispatches clicks
// on a button that stays: every click arrives once, and nothing reads a released table
// (ASan and TSan watch this test).
TEST_F(Controls, ClicksWhileTheTableIsReplacedReachTheRightButton)
{
    ASSERT_EQ(CreateButton("stay", 10, 10, 40, 20, ProcA), 1u);
    std::atomic<bool> done{false};
    constexpr int kClicks = 300;
    std::thread player([&] {
        for (int i = 0; i < kClicks; ++i) {
            Testing::PostMouseButton(1, true, 20, 15);
            Testing::PostMouseButton(1, false, 20, 15);
            if (i % 16 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        done.store(true);
    });
    std::vector<std::uint32_t> made;
    int rounds = 0;
    while (!done.load() || rounds < 50) {
        for (int i = 0; i < 4; ++i) made.push_back(CreateButton("tmp", 60 + 10 * i, 60, 8, 8, ProcB));
        while (!made.empty()) {
            DestroyControl(made.back());
            made.pop_back();
        }
        ++rounds;
    }
    player.join();
    Testing::Sync();
    EXPECT_EQ(clicksA.load(), kClicks);
    EXPECT_EQ(clicksB.load(), 0);
    EXPECT_EQ(Controllen(), 1u);
}

}  // namespace
