// The intro: the logo slides in from the right, the crew from the left, the rocket flies
// round the logo, the intro text appears and a key press ends it. A fixed script of
// frames, paced by a 10 ms wait per frame; the window is buffered, so each frame is
// drawn off screen and shown whole.
#include <atomic>
#include <chrono>
#include <thread>

#include "KOR_Dudurad/KOR_Dudurad.hpp"
#include "Wimdows/Wimdows.hpp"

namespace KOR_Dudurad {

namespace {

constexpr auto FrameWait = std::chrono::milliseconds(10);
constexpr std::int32_t RowY[4] = {32, 157, 282, 407};

std::atomic<detail::FrameHook> frameHook{nullptr};

struct IntroPictures {
    std::uint32_t logo;
    std::uint32_t crew[4];
    std::uint32_t raket;
    std::uint32_t raketMask;
    std::uint32_t smallBlock;
    std::uint32_t largeBlock;
    std::uint32_t text;
};

IntroPictures LoadPictures()
{
    using Wimdows::LoadBitmap;
    IntroPictures p{};
    p.logo = LoadBitmap("./graphics/Logo3.bmp", 280, 280);
    p.crew[0] = LoadBitmap("./graphics/Yuvik.bmp", 250, 60);
    p.crew[1] = LoadBitmap("./graphics/Bramo.bmp", 250, 60);
    p.crew[2] = LoadBitmap("./graphics/Tessun.bmp", 250, 60);
    p.crew[3] = LoadBitmap("./graphics/Olvek.bmp", 250, 60);
    p.raket = LoadBitmap("./graphics/raket.bmp", 60, 60);
    p.raketMask = LoadBitmap("./graphics/raket-mask.bmp", 60, 60);
    p.smallBlock = LoadBitmap("./graphics/blauweBlok.bmp", 50, 60);
    p.largeBlock = LoadBitmap("./graphics/blauweBlok.bmp", 220, 280);
    p.text = LoadBitmap("./graphics/introtekst.bmp", 250, 50);
    return p;
}

void FullScene(const IntroPictures& p)
{
    Background();
    Wimdows::DrawBitmap(p.logo, 400, 125);
    Wimdows::DrawBitmap(p.largeBlock, 680, 125);
    for (int row = 0; row < 4; ++row) {
        Wimdows::DrawBitmap(p.smallBlock, 0, RowY[row]);
        Wimdows::DrawBitmap(p.crew[row], 50, RowY[row]);
    }
}

bool WindowOpen() { return Wimdows::WindowEnded() == Wimdows::Ended::StillOpen; }

// Ends a frame: the wait, then the whole buffer to the window. False once the window is
// gone (closed with its close box): nobody is watching any more.
bool EndFrame(std::uint32_t& frame)
{
    std::this_thread::sleep_for(FrameWait);
    Wimdows::UpdateWindow();
    if (const detail::FrameHook hook = frameHook.load()) hook(++frame);
    return WindowOpen();
}

}  // namespace

void Background() { Wimdows::Rectangle(0, 0, MenuWidth, MenuHeight, Wimdows::RgbColor(0, 20, 70), true); }

void Bewegen()
{
    if (!WindowOpen()) return;
    std::uint32_t frame = 0;
    Background();
    const IntroPictures p = LoadPictures();

    // The logo slides in from the right, painted over its last position each time.
    for (std::int32_t x = 800; x >= 400; x -= 2) {
        Wimdows::DrawBitmap(p.logo, x, 125);
        if (!EndFrame(frame)) return;
    }
    // The crew, one row after the other, from the left.
    for (int row = 0; row < 4; ++row) {
        for (std::int32_t x = 0; x <= 50; ++x) {
            Wimdows::DrawBitmap(p.crew[row], x, RowY[row]);
            if (!EndFrame(frame)) return;
        }
    }
    // The rocket: in from the right above the logo, down its left side, out along its
    // lower edge. Every frame is built from scratch.
    for (std::int32_t x = 800; x >= 340; x -= 3) {
        FullScene(p);
        Wimdows::DrawMaskBitmap(p.raket, p.raketMask, x, 80);
        if (!EndFrame(frame)) return;
    }
    for (std::int32_t y = 80; y <= 400; y += 3) {
        FullScene(p);
        Wimdows::DrawMaskBitmap(p.raket, p.raketMask, 340, y);
        if (!EndFrame(frame)) return;
    }
    for (std::int32_t x = 340; x <= 800; x += 3) {
        FullScene(p);
        Wimdows::DrawMaskBitmap(p.raket, p.raketMask, x, 400);
        if (!EndFrame(frame)) return;
    }
    // The final picture, without a wait, then any key (a key pressed during the
    // animation is already queued). The pictures stay until the window closes.
    FullScene(p);
    Wimdows::DrawBitmap(p.text, 550, 500);
    Wimdows::UpdateWindow();
    if (const detail::FrameHook hook = frameHook.load()) hook(++frame);
    Wimdows::GetKey();  // returns 0 at once when the window goes away
}

namespace detail {

void SetFrameHook(FrameHook hook) { frameHook.store(hook); }

}  // namespace detail

}  // namespace KOR_Dudurad
