// Key table, key queue and mouse capture, fed with SDL events on the dummy video driver.
#include <atomic>
#include <thread>

#include "Helpers.hpp"

using namespace Wimdows;
using namespace WimdowsTest;
namespace I = Wimdows::detail;

namespace {

class Keys : public WindowFixture {
protected:
    void SetUp() override
    {
        Window("Keys", 64, 64);
        ASSERT_EQ(State(), STATE_ACTIVE);
    }
};

TEST_F(Keys, KeyDownIsFalseOutsideTheTableAndForKeysNeverPressed)
{
    EXPECT_FALSE(KeyDown(256));
    EXPECT_FALSE(KeyDown(0xFFFFFFFFu));
    EXPECT_FALSE(KeyDown(32));
    Testing::PostKey(32, true);
    Testing::Sync();
    EXPECT_TRUE(KeyDown(32));
    EXPECT_FALSE(KeyDown(32 + 256));  // no wrap-around into the table
    Testing::PostKey(32, false);
    Testing::Sync();
    EXPECT_FALSE(KeyDown(32));
}

TEST_F(Keys, PressesComeOutInOrderAndLeaveTheQueueEmpty)
{
    for (std::uint32_t k : {'A', 'B', 'C'}) Testing::PostKey(k, true);
    EXPECT_EQ(GetKey(), std::uint32_t{'A'});
    EXPECT_EQ(GetKey(), std::uint32_t{'B'});
    EXPECT_EQ(GetKey(), std::uint32_t{'C'});
    EXPECT_EQ(I::keybuf.head, nullptr);
    EXPECT_EQ(I::keybuf.tail, nullptr);
}

TEST_F(Keys, RepeatsOfAHeldKeyAreQueuedAndTheKeyStaysDownUntilReleased)
{
    Testing::PostKey(37, true);
    Testing::PostKey(37, true, true);
    Testing::PostKey(37, true, true);
    Testing::Sync();
    EXPECT_TRUE(KeyDown(37));
    Testing::PostKey(39, true);
    Testing::PostKey(37, false);
    Testing::Sync();
    EXPECT_FALSE(KeyDown(37));
    EXPECT_TRUE(KeyDown(39));
    for (std::uint32_t expected : {37u, 37u, 37u, 39u}) EXPECT_EQ(GetKey(), expected);
}

TEST_F(Keys, FlushEmptiesTheQueueButNotTheTable)
{
    FlushKeys();  // empty queue: nothing happens
    Testing::PostKey(27, true);
    Testing::PostKey(35, true);
    Testing::Sync();
    FlushKeys();
    EXPECT_EQ(I::keybuf.tail, nullptr);
    EXPECT_TRUE(KeyDown(27));
    EXPECT_TRUE(KeyDown(35));
    Testing::PostKey(32, true);
    EXPECT_EQ(GetKey(), 32u);  // the queue works on after a flush
}

TEST_F(Keys, GetKeyWaitsForTheNextPress)
{
    std::atomic<bool> posted{false};
    std::thread player([&] {
        std::this_thread::sleep_for(100ms);
        posted.store(true);
        Testing::PostKey(13, true);
    });
    const std::uint32_t k = GetKey();
    EXPECT_TRUE(posted.load());
    EXPECT_EQ(k, 13u);
    player.join();
}

TEST_F(Keys, GetKeyReturnsZeroWhenTheWindowClosesDuringTheWait)
{
    std::thread user([] {
        std::this_thread::sleep_for(100ms);
        Testing::PostClose();
    });
    EXPECT_EQ(GetKey(), 0u);
    user.join();
    EXPECT_TRUE(WaitFor([] { return State() == STATE_DEAD; }));
    EXPECT_EQ(GetKey(), 0u);  // and at once without a window
}

TEST_F(Keys, TeardownEmptiesTableAndQueue)
{
    Testing::PostKey('X', true);
    Testing::PostKey('Y', true);
    Testing::Sync();
    KillWindow();
    EXPECT_FALSE(KeyDown('X'));
    EXPECT_EQ(I::keybuf.tail, nullptr);
    Window("Keys", 64, 64);
    Testing::PostKey('Z', true);
    EXPECT_EQ(GetKey(), std::uint32_t{'Z'});  // nothing of the old window is left
}

TEST_F(Keys, PressesThatNobodyReadsPileUpUntilTeardown)
{
    for (int i = 0; i < 500; ++i) Testing::PostKey(38, true, i > 0);
    Testing::Sync();
    int queued = 0;
    for (I::QueueElmt* e = I::keybuf.tail; e; e = e->prev) ++queued;
    EXPECT_EQ(queued, 500);
}

// Shift+Tab pressed and let go before anybody looks: the queued Tab still says Shift.
TEST_F(Keys, AQueuedPressKeepsTheShiftOfItsOwnEvent)
{
    Testing::PostKey(9, true);
    Testing::PostKey(16, true);
    Testing::PostKey(9, true);
    Testing::PostKey(9, false);
    Testing::PostKey(16, false);
    Testing::Sync();
    EXPECT_FALSE(KeyDown(16));
    bool shift = true;
    EXPECT_EQ(TakeKey(shift), 9u);
    EXPECT_FALSE(shift);
    EXPECT_EQ(TakeKey(shift), 16u);
    EXPECT_EQ(TakeKey(shift), 9u);
    EXPECT_TRUE(shift);
    EXPECT_EQ(TakeKey(shift), 0u);
    EXPECT_FALSE(shift);
}

// SDL's virtual pad, plugged in and out while the window is open: its buttons and left stick
// press the keyboard's keys (a little stick aims finely, with Shift), and a pad pulled out
// lets go of what it held.
TEST_F(Keys, AGamepadPressesTheKeyboardsKeysAndMayComeAndGo)
{
    SDL_Joystick* pad = nullptr;
    const auto plug = [&] {
        OnUi([&] {
            SDL_VirtualJoystickDesc d{};
            d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
            d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
            d.naxes = SDL_CONTROLLER_AXIS_MAX;
            d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
            d.name = "KOR test pad";
            const int device = SDL_JoystickAttachVirtualEx(&d);
            pad = device >= 0 ? SDL_JoystickOpen(device) : nullptr;
        });
        return pad != nullptr && WaitFor([] { return I::GamepadsOpen(); });
    };
    const auto button = [&](int b, bool down) { OnUi([&] { SDL_JoystickSetVirtualButton(pad, b, down ? 1 : 0); }); };
    const auto axis = [&](int a, int value) {
        OnUi([&] { SDL_JoystickSetVirtualAxis(pad, a, static_cast<Sint16>(value)); });
    };
    // The dummy driver gives no window the focus, without which SDL keeps a pad's events back.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    ASSERT_TRUE(plug()) << SDL_GetError();
    const struct {
        int button;
        std::uint32_t vk;
    } buttons[] = {{SDL_CONTROLLER_BUTTON_A, 32},
                   {SDL_CONTROLLER_BUTTON_X, 32},
                   {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 32},
                   {SDL_CONTROLLER_BUTTON_B, 27},
                   {SDL_CONTROLLER_BUTTON_Y, 112},
                   {SDL_CONTROLLER_BUTTON_START, 80},
                   {SDL_CONTROLLER_BUTTON_BACK, 82},
                   {SDL_CONTROLLER_BUTTON_DPAD_LEFT, 37},
                   {SDL_CONTROLLER_BUTTON_DPAD_UP, 38},
                   {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 39},
                   {SDL_CONTROLLER_BUTTON_DPAD_DOWN, 40}};
    for (const auto& c : buttons) {
        button(c.button, true);
        EXPECT_TRUE(WaitFor([&] { return KeyDown(c.vk); })) << "button " << c.button;
        EXPECT_TRUE(KeyDownFromPad(c.vk)) << "button " << c.button;  // the game tells a pad's B from Escape
        button(c.button, false);
        EXPECT_TRUE(WaitFor([&] { return !KeyDown(c.vk); })) << "button " << c.button;
    }
    Testing::PostKey(27, true);
    Testing::Sync();
    EXPECT_TRUE(KeyDown(27) && !KeyDownFromPad(27));  // the keyboard's own Escape
    Testing::PostKey(27, false);
    FlushKeys();
    const struct {
        int axis, value;
        std::uint32_t vk;
        bool shift;
    } stick[] = {{SDL_CONTROLLER_AXIS_LEFTX, 16000, 39, true},   {SDL_CONTROLLER_AXIS_LEFTX, 32767, 39, false},
                 {SDL_CONTROLLER_AXIS_LEFTX, -32768, 37, false}, {SDL_CONTROLLER_AXIS_LEFTX, 0, 0, false},
                 {SDL_CONTROLLER_AXIS_LEFTY, -16000, 38, true},  {SDL_CONTROLLER_AXIS_LEFTY, 20000, 40, true},
                 {SDL_CONTROLLER_AXIS_LEFTY, 3000, 0, false}};
    for (const auto& c : stick) {
        axis(c.axis, c.value);
        EXPECT_TRUE(WaitFor([&] {
            bool arrows = true;
            for (std::uint32_t vk = 37; vk <= 40; ++vk) arrows = arrows && KeyDown(vk) == (vk == c.vk);
            return arrows && KeyDown(16) == c.shift;
        })) << "axis "
            << c.axis << " at " << c.value;
    }
    // Out with A held: Space comes up. In again: it plays on.
    button(SDL_CONTROLLER_BUTTON_A, true);
    ASSERT_TRUE(WaitFor([] { return KeyDown(32); }));
    OnUi([&] {
        SDL_JoystickClose(pad);
        SDL_JoystickDetachVirtual(0);
    });
    EXPECT_TRUE(WaitFor([] { return !I::GamepadsOpen() && !KeyDown(32); }));
    ASSERT_TRUE(plug());
    button(SDL_CONTROLLER_BUTTON_B, true);
    EXPECT_TRUE(WaitFor([] { return KeyDown(27); }));
    OnUi([&] {
        SDL_JoystickClose(pad);
        SDL_JoystickDetachVirtual(0);
    });
    EXPECT_TRUE(WaitFor([] { return !I::GamepadsOpen(); }));
}

// Files dropped on the window wait, oldest first, the latest eight; no name is cut.
TEST_F(Keys, DroppedFilesWaitInOrderTheLatestEight)
{
    std::string path;
    EXPECT_FALSE(TakeDroppedFile(path));
    const std::string longest(4096, 'x'), tooLong(4097, 'x');
    Testing::PostDropFile(tooLong.c_str());
    Testing::PostDropFile(longest.c_str());
    for (int i = 0; i < 9; ++i) Testing::PostDropFile(("/tmp/level " + std::to_string(i) + ".txt").c_str());
    Testing::Sync();
    for (int i = 1; i < 9; ++i) {
        ASSERT_TRUE(TakeDroppedFile(path));
        EXPECT_EQ(path, "/tmp/level " + std::to_string(i) + ".txt");
    }
    EXPECT_FALSE(TakeDroppedFile(path));
}

TEST_F(Keys, EveryCodeWithAKeyComesBackAsItself)
{
    int mapped = 0;
    for (std::uint32_t vk = 1; vk < 256; ++vk) {
        SDL_Keysym ks;
        if (!I::KeysymOf(vk, ks) || I::IsSystemKey(ks) || ks.sym == SDLK_F11) continue;  // F11: fullscreen
        ++mapped;
        Testing::PostKey(vk, true);
        EXPECT_EQ(GetKey(), vk);
        Testing::PostKey(vk, false);
    }
    EXPECT_GT(mapped, 90);
}

TEST(KeyCodes, TheCodesTheGameUses)
{
    auto vk = [](SDL_Keycode sym, SDL_Scancode scan = SDL_SCANCODE_UNKNOWN) {
        SDL_Keysym ks{};
        ks.sym = sym;
        ks.scancode = scan;
        return I::VirtualKey(ks);
    };
    EXPECT_EQ(vk(SDLK_ESCAPE), 27u);
    EXPECT_EQ(vk(SDLK_SPACE), 32u);
    EXPECT_EQ(vk(SDLK_END), 35u);
    EXPECT_EQ(vk(SDLK_LEFT), 37u);
    EXPECT_EQ(vk(SDLK_UP), 38u);
    EXPECT_EQ(vk(SDLK_RIGHT), 39u);
    EXPECT_EQ(vk(SDLK_DOWN), 40u);
    EXPECT_EQ(vk(SDLK_RETURN), 13u);
    EXPECT_EQ(vk(SDLK_KP_ENTER), 13u);
    EXPECT_EQ(vk(SDLK_BACKSPACE), 8u);
    EXPECT_EQ(vk(SDLK_TAB), 9u);
    EXPECT_EQ(vk(SDLK_a), 65u);
    EXPECT_EQ(vk(SDLK_z), 90u);
    EXPECT_EQ(vk(SDLK_0), 48u);
    EXPECT_EQ(vk(SDLK_9), 57u);
    EXPECT_EQ(vk(SDLK_F1), 112u);
    EXPECT_EQ(vk(SDLK_F12), 123u);
    EXPECT_EQ(vk(SDLK_RSHIFT), 16u);
    EXPECT_EQ(vk(SDLK_KP_5), 101u);
    // A letter of a non-Latin layout is known by its place.
    EXPECT_EQ(vk(0x0444, SDL_SCANCODE_A), 65u);
    EXPECT_EQ(vk(SDLK_UNKNOWN), 0u);
}

TEST_F(Keys, TheKeypadSteersWithNumLockOffAndGivesDigitsWithItOn)
{
    const std::pair<SDL_Scancode, std::uint32_t> keypad[] = {
        {SDL_SCANCODE_KP_8, 38}, {SDL_SCANCODE_KP_2, 40},     {SDL_SCANCODE_KP_4, 37}, {SDL_SCANCODE_KP_6, 39},
        {SDL_SCANCODE_KP_7, 36}, {SDL_SCANCODE_KP_1, 35},     {SDL_SCANCODE_KP_9, 33}, {SDL_SCANCODE_KP_3, 34},
        {SDL_SCANCODE_KP_0, 45}, {SDL_SCANCODE_KP_PERIOD, 46}};
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    for (const auto& [scan, code] : keypad) {
        e.key.keysym.scancode = scan;
        e.key.keysym.sym = SDL_GetKeyFromScancode(scan);
        e.key.keysym.mod = KMOD_NONE;
        ASSERT_TRUE(I::PostEvent(e));
        EXPECT_EQ(GetKey(), code);
        e.key.keysym.mod = KMOD_NUM;
        ASSERT_TRUE(I::PostEvent(e));
        EXPECT_EQ(GetKey(), scan == SDL_SCANCODE_KP_PERIOD
                                ? 110u
                                : 96u + (scan == SDL_SCANCODE_KP_0 ? 0u : scan - SDL_SCANCODE_KP_1 + 1u));
    }
    // Held as an arrow, NumLock switched on meanwhile, released as a digit: nothing stays down.
    e.key.keysym.scancode = SDL_SCANCODE_KP_8;
    e.key.keysym.sym = SDLK_KP_8;
    e.key.keysym.mod = KMOD_NONE;
    ASSERT_TRUE(I::PostEvent(e));
    Testing::Sync();
    EXPECT_TRUE(KeyDown(38));
    e.type = SDL_KEYUP;
    e.key.keysym.mod = KMOD_NUM;
    ASSERT_TRUE(I::PostEvent(e));
    Testing::Sync();
    EXPECT_FALSE(KeyDown(38));
    EXPECT_FALSE(KeyDown(104));
}

TEST_F(Keys, SystemKeysReachNeitherTableNorQueue)
{
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_F10;
    ASSERT_TRUE(I::PostEvent(e));
    e.key.keysym.sym = SDLK_LALT;
    ASSERT_TRUE(I::PostEvent(e));
    e.key.keysym.sym = SDLK_x;
    e.key.keysym.mod = KMOD_LALT;  // Alt+X
    ASSERT_TRUE(I::PostEvent(e));
    e.key.keysym.mod = KMOD_LALT | KMOD_LCTRL;  // Ctrl+Alt+X is an ordinary key
    ASSERT_TRUE(I::PostEvent(e));
    Testing::Sync();
    EXPECT_FALSE(KeyDown(121));
    EXPECT_FALSE(KeyDown(18));
    EXPECT_EQ(GetKey(), std::uint32_t{'X'});
    EXPECT_EQ(I::keybuf.tail, nullptr);
    // A release with Alt held still lets go of the key.
    e.type = SDL_KEYUP;
    e.key.keysym.mod = KMOD_LALT;
    ASSERT_TRUE(I::PostEvent(e));
    Testing::Sync();
    EXPECT_FALSE(KeyDown('X'));
}

TEST(KeysWithoutWindow, NothingArrivesAndNothingFails)
{
    KillWindow();
    testing::internal::CaptureStderr();
    Testing::PostKey(32, true);
    Testing::PostKey(1, true);  // no key has this code
    testing::internal::GetCapturedStderr();
    Testing::Sync();
    EXPECT_FALSE(KeyDown(32));
    EXPECT_EQ(GetKey(), 0u);
    FlushKeys();
}

// ---- Mouse ----

struct MouseView {
    std::int32_t x, y;
    bool left, right, captured;
};

MouseView Look()
{
    MouseView v{};
    EXPECT_TRUE(OnUi([&] { v = {I::mouse.x, I::mouse.y, I::mouse.left, I::mouse.right, I::captured}; }));
    return v;
}

class Mouse : public Keys {};

TEST_F(Mouse, MovesAreRecordedAsUnsignedWords)
{
    Testing::PostMouseMove(12, 34);
    MouseView v = Look();
    EXPECT_EQ(v.x, 12);
    EXPECT_EQ(v.y, 34);
    Testing::PostMouseButton(1, true, 50, 60);  // a press alone does not move the record
    v = Look();
    EXPECT_EQ(v.x, 12);
    Testing::PostMouseMove(-3, -1);  // dragged out to the left and above, captured
    v = Look();
    EXPECT_EQ(v.x, 65533);
    EXPECT_EQ(v.y, 65535);
}

TEST_F(Mouse, TheFirstButtonTakesTheCaptureAndTheLastReleasesIt)
{
    Testing::PostMouseButton(1, true, 5, 5);
    MouseView v = Look();
    EXPECT_TRUE(v.left);
    EXPECT_TRUE(v.captured);
    Testing::PostMouseButton(3, true, 5, 5);
    Testing::PostMouseButton(1, false, 500, 500);  // released outside: still reaches us
    v = Look();
    EXPECT_FALSE(v.left);
    EXPECT_TRUE(v.right);
    EXPECT_TRUE(v.captured);
    Testing::PostMouseButton(3, false, 5, 5);
    v = Look();
    EXPECT_FALSE(v.right);
    EXPECT_FALSE(v.captured);
}

TEST_F(Mouse, ADoubleClickLeavesButtonAndCaptureAlone)
{
    Testing::PostMouseButton(1, true, 5, 5);
    Testing::PostMouseButton(1, false, 5, 5);
    Testing::PostMouseButton(1, true, 5, 5, 2);
    MouseView v = Look();
    EXPECT_FALSE(v.left);
    EXPECT_FALSE(v.captured);
    Testing::PostMouseButton(3, true, 5, 5, 2);  // a right double click is not handled
    v = Look();
    EXPECT_FALSE(v.right);
    EXPECT_FALSE(v.captured);
}

std::uint32_t lastX, lastY;
int downs, ups, doubles;
void OnDown(std::uint32_t x, std::uint32_t y) { ++downs, lastX = x, lastY = y; }
void OnUp(std::uint32_t, std::uint32_t) { ++ups; }
void OnDouble(std::uint32_t, std::uint32_t) { ++doubles; }

TEST_F(Mouse, CallbacksRunOnlyWhenAskedFor)
{
    downs = ups = doubles = 0;
    ASSERT_TRUE(OnUi([] {
        I::mouse.LeftDownProc = OnDown;
        I::mouse.onLeftDown = true;
        I::mouse.LeftUpProc = OnUp;  // but onLeftUp stays false
        I::mouse.onDouble = true;    // but no procedure
        I::mouse.RightDownProc = OnDown;
        I::mouse.onRightDown = true;
    }));
    Testing::PostMouseButton(1, true, 7, 9);
    Testing::PostMouseButton(1, false, 7, 9);
    Testing::PostMouseButton(1, true, 7, 9, 2);
    Testing::PostMouseButton(3, true, 300, 2);
    Testing::Sync();
    EXPECT_EQ(downs, 2);
    EXPECT_EQ(ups, 0);
    EXPECT_EQ(lastX, 300u);
    EXPECT_EQ(lastY, 2u);
    ASSERT_TRUE(OnUi([] { I::mouse.DoubleProc = OnDouble; }));
    Testing::PostMouseButton(1, true, 7, 9, 2);
    Testing::Sync();
    EXPECT_EQ(doubles, 1);
    KillWindow();
    EXPECT_EQ(I::mouse.LeftDownProc, nullptr);
    EXPECT_FALSE(I::mouse.onLeftDown);
}

}  // namespace
