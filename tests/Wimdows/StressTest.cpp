// The user closes the window while the program draws: the back buffer and the tables
// must stay valid under every drawing operation in progress. Run under AddressSanitizer
// and ThreadSanitizer.
#include <atomic>
#include <random>
#include <thread>

#include "../support/TempDir.hpp"
#include "Helpers.hpp"

using namespace Wimdows;
using namespace WimdowsTest;
namespace I = Wimdows::detail;

namespace {

// One drawing operation done as the primitives will do it: pixels written by our own
// code (so that the sanitizers see every access), then the area shown when unbuffered.
bool DrawFrame(std::uint32_t color, bool show)
{
    if (State() != STATE_ACTIVE) return false;
    int w = 0, h = 0;
    {
        I::BufferGuard guard;
        if (!guard) return false;
        w = I::hBitBuf->w;
        h = I::hBitBuf->h;
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(I::hBitBuf->pixels) +
                                                         y * I::hBitBuf->pitch);
            for (int x = 0; x < w; ++x) row[x] = I::ColorToPixel(color + static_cast<std::uint32_t>(x));
        }
        for (std::uint32_t i = 0; i < I::bitlen; ++i)
            if (I::bit[i].hbit) static_cast<std::uint32_t*>(I::bit[i].hbit->pixels)[0] = color;
    }
    if (show) I::PresentRect(0, 0, w, h);
    return true;
}

void LoadPictures(int count)
{
    I::BufferGuard guard;
    I::bitlen = static_cast<std::uint32_t>(count);
    I::bit = new I::BitStruct[count]{};
    for (int i = 0; i < count; ++i)
        I::bit[i] = {SDL_CreateRGBSurfaceWithFormat(0, 16, 16, 32, SDL_PIXELFORMAT_XRGB8888), 16, 16, false};
}

class CloseWhileDrawing : public WindowFixture {};

TEST_F(CloseWhileDrawing, TheUserClosesTheWindowWhileTheMainThreadDraws)
{
    std::mt19937 random(1234);
    int drawnWhileClosing = 0;
    for (int round = 0; round < 40; ++round) {
        Window("Stress", 320, 240);
        ASSERT_EQ(State(), STATE_ACTIVE);
        LoadPictures(4);
        const auto delay = std::chrono::microseconds(random() % 8000);
        std::thread user([delay] {
            std::this_thread::sleep_for(delay);
            Testing::PostClose();
        });
        int frames = 0;
        while (DrawFrame(static_cast<std::uint32_t>(frames), frames % 2 == 0)) ++frames;
        user.join();
        ASSERT_TRUE(WaitFor([] { return State() == STATE_DEAD; })) << round;
        EXPECT_EQ(WindowEnded(), Ended::ClosedByUser);
        if (frames > 0) ++drawnWhileClosing;
        EXPECT_FALSE(DrawFrame(0, true));  // after the close nothing is drawn
    }
    EXPECT_GT(drawnWhileClosing, 20);
}

TEST_F(CloseWhileDrawing, BothThreadsDrawWhileTheUserCloses)
{
    // A button procedure draws on the user-interface thread while the main thread draws too.
    for (int round = 0; round < 25; ++round) {
        Window("Stress", 200, 150);
        ASSERT_EQ(State(), STATE_ACTIVE);
        std::thread user([round] {
            std::this_thread::sleep_for(std::chrono::microseconds(300 * round));
            Testing::PostClose();
        });
        std::uint32_t n = 0;
        for (bool open = true; open; ++n) {
            open = DrawFrame(n, false);
            auto draw = [n] { DrawFrame(n ^ 0xFF00u, true); };
            OnUi(draw);
        }
        user.join();
        ASSERT_TRUE(WaitFor([] { return State() == STATE_DEAD; }));
    }
}

// A picture file of w x h pixels: a colour ramp, or a round black-and-white mask.
void WritePicture(const char* path, int w, int h, bool mask)
{
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_XRGB8888);
    ASSERT_NE(s, nullptr);
    Raster::Ellipse(I::View(s), 0, 0, w, h, 0xFFFFFF, true, mask ? 0xFFFFFF : 0x3080C0);
    SDL_SaveBMP(s, path);
    SDL_FreeSurface(s);
}

// One frame of everything the game draws, as the game draws it; `n` varies the frame.
void DrawEverything(std::uint32_t n)
{
    const bool buffered = n % 3 != 0;
    SetBuffering(buffered);
    const std::uint32_t back = LoadBitmap("back.bmp", 120, 90);
    const std::uint32_t sprite = LoadBitmap(".\\sprite.bmp", 20 + n % 7, 20);
    const std::uint32_t mask = LoadBitmap("mask.bmp", 20, 20 + n % 5);
    ClearScreen();
    DrawBitmap(back, 0, 0);
    for (std::int32_t i = 0; i < 5; ++i) DrawMaskBitmap(sprite, mask, static_cast<std::int32_t>(n % 90) + 9 * i, 7 * i);
    Line(0, 0, static_cast<std::int32_t>(n % 200), 100, RgbColor(255, n & 0xFF, 0));
    Rectangle(5, 5, 40, 30, RgbColor(0, 0, 255), n % 2 == 0);
    HPEN pen = CreatePen(2, 0, 0);
    SelectPen(pen);
    MovePenTo(0, 50);
    for (std::int32_t i = 1; i < 20; ++i) LineTo(i * 8, 50 + (i * 13) % 40);
    DeletePen(pen);
    SetFont(0, n % 2 ? 0xFFFFFFu : 0u);
    Text("Huidige Hoek (\xB0)", 2, 60);
    TextInt(static_cast<std::int32_t>(n * 7919u), 60, 75);
    std::uint32_t w = 0, h = 0;
    GetTextSize("Score", 0, w, h);
    DestroyBitmap(sprite);
    DestroyBitmap(mask);
    DestroyBitmap(back);
    if (buffered) UpdateWindow();
}

TEST_F(CloseWhileDrawing, TheUserClosesTheWindowDuringRealDrawingOnBothThreads)
{
    ScopedWorkDir dir;
    WritePicture("back.bmp", 160, 120, false);
    WritePicture("sprite.bmp", 40, 40, false);
    WritePicture("mask.bmp", 40, 40, true);
    std::mt19937 random(99);
    for (int round = 0; round < 30; ++round) {
        Window("Stress", 160, 120);
        ASSERT_EQ(State(), STATE_ACTIVE);
        const auto delay = std::chrono::microseconds(random() % 20000);
        std::thread user([delay] {
            std::this_thread::sleep_for(delay);
            Testing::PostClose();
        });
        for (std::uint32_t n = 0; State() == STATE_ACTIVE; ++n) {
            DrawEverything(n);
            if (n % 4 == 0) OnUi([n] { DrawEverything(n + 1); });  // as a button procedure would
        }
        user.join();
        ASSERT_TRUE(WaitFor([] { return State() == STATE_DEAD; })) << round;
        DrawEverything(0);  // after the close nothing happens
        EXPECT_EQ(I::bitlen, 0u);
    }
}

TEST_F(CloseWhileDrawing, KillWindowWhileInputPoursIn)
{
    for (int round = 0; round < 20; ++round) {
        Window("Stress", 100, 100);
        ASSERT_EQ(State(), STATE_ACTIVE);
        testing::internal::CaptureStderr();  // the player's events after the close are refused
        std::atomic<bool> stop{false};
        std::thread player([&] {
            for (std::uint32_t i = 0; !stop.load(); ++i) {
                Testing::PostKey('A' + i % 26, i % 3 != 2);
                Testing::PostMouseMove(static_cast<std::int32_t>(i % 100), 5);
                Testing::PostMouseButton(1 + 2 * static_cast<int>(i % 2), i % 4 < 2, 5, 5);
                if (i % 16 == 0) std::this_thread::sleep_for(50us);
            }
        });
        for (int i = 0; i < 30; ++i) {
            DrawFrame(static_cast<std::uint32_t>(i), true);
            if (i % 10 == 0) FlushKeys();
        }
        KillWindow();
        stop.store(true);
        player.join();
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(State(), STATE_DEAD);
        EXPECT_EQ(I::keybuf.tail, nullptr);
        for (std::uint32_t k = 0; k < 256; ++k) ASSERT_FALSE(KeyDown(k));
    }
}

}  // namespace
