// The window-free part of scene rendering: world to window mapping (public: the editor and
// the tools map points with it), the picture of each body, the off-screen arrow and the
// aiming arrow as numbers, and the places of every text. Drawing.cpp turns these into calls
// of the window layer; the tests check them directly. What a body covers is the level's
// (Level/Geometry.hpp).
#pragma once

#include <cstdint>
#include <limits>

#include "Level/Body.hpp"

namespace Drawing {

// ---- Rounding and the world-to-window mapping ----
// To nearest, halves to even. Values beyond the 64-bit range saturate; NaN gives 0.
std::int64_t RealToInt64(float r);
// The same, saturated to the 32-bit range the window layer takes.
std::int32_t RealToInt(float r);
// Window column of world x (x rounded + 512) and window row of world y (384 - y rounded),
// saturated to 32 bits so that a body far outside the window still lands outside it.
std::int32_t GetX(float x);
std::int32_t GetY(float y);
// The same without saturation, for distances of bodies very far away.
std::int64_t GetX64(float x);
std::int64_t GetY64(float y);

constexpr std::int32_t WindowWidth = 1024;
constexpr std::int32_t WindowHeight = 768;

}  // namespace Drawing

namespace Drawing::detail {

// ---- Pictures ----
struct PictureChoice {
    const char* image;   // file of the picture
    const char* mask;    // file of its mask
    std::int64_t width;  // sizes rounded after doubling; NaN counts as -1
    std::int64_t height;
    // False when the body gets no picture: a negative size, or one the bitmap registry
    // cannot take (above 2147483647).
    bool Loadable() const
    {
        constexpr std::int64_t most = std::numeric_limits<std::int32_t>::max();
        return width >= 0 && height >= 0 && width <= most && height <= most;
    }
};
// The picture of body `index` of a level: by its role (black hole, rocket), else by its kind;
// as large as the box it covers.
PictureChoice ChoosePicture(std::uint32_t index, const Level::OBJECT& body);

// Picture files shared by every level, in the order they are loaded.
inline constexpr const char* BackgroundFile = ".\\graphics\\achtergrond.bmp";
inline constexpr const char* MenuFile = ".\\graphics\\menu.bmp";
constexpr std::int32_t MenuWidth = 300;
constexpr std::int32_t MenuHeight = 68;

// The eight off-screen arrows, in the order they are loaded.
enum Arrow : std::uint8_t {
    ArrowLinksBoven = 0,
    ArrowLinks,
    ArrowLinksOnder,
    ArrowBoven,
    ArrowOnder,
    ArrowRechtsBoven,
    ArrowRechts,
    ArrowRechtsOnder,
    ArrowCount,
    ArrowNone = ArrowCount,
};
struct ArrowFiles {
    const char* image;
    const char* mask;
    std::int32_t width;
    std::int32_t height;
};
extern const ArrowFiles ArrowPictures[ArrowCount];

// ---- The off-screen arrow ----
struct OffScreenArrow {
    Arrow arrow = ArrowNone;  // ArrowNone: the rocket is on the screen (or on its border lines)
    std::int32_t ax = 0;      // top-left corner of the arrow picture
    std::int32_t ay = 0;
    std::int32_t distance = 0;  // pixels from the window, rounded; saturated at the 32-bit maximum
    std::int32_t tx = 0;        // where the distance is written
    std::int32_t ty = 0;
};
// For the rocket's window position (X, Y), in 64 bits so that nothing overflows.
OffScreenArrow ArrowForWindowPoint(std::int64_t X, std::int64_t Y);
// For the rocket's world position.
OffScreenArrow ArrowForRocket(const Level::VECTOR& position);

// ---- The aiming arrow: shaft C-T, head lines T-P1 and T-P2, window coordinates ----
struct Point {
    std::int32_t x;
    std::int32_t y;
};
struct AimingArrow {
    Point centre;
    Point tip;
    Point head1;
    Point head2;
};
AimingArrow AimArrow(const Level::VECTOR& position, float Hoek, float Grootte);

// ---- Head-up display ----
// Whole degrees of an angle in radians, as the display shows it.
std::int32_t Degrees(float radians);

struct TextPlace {
    std::int32_t x;
    std::int32_t y;
};
// Top-left corners of the head-up display's texts.
inline constexpr TextPlace HudCurrentAngleLabel{20, 720};
inline constexpr TextPlace HudCurrentAngle{120, 720};
inline constexpr TextPlace HudPreviousAngleLabel{150, 720};
inline constexpr TextPlace HudPreviousAngle{230, 720};
inline constexpr TextPlace HudCurrentSpeedLabel{20, 740};
inline constexpr TextPlace HudCurrentSpeed{120, 740};
inline constexpr TextPlace HudPreviousSpeedLabel{150, 740};
inline constexpr TextPlace HudPreviousSpeed{230, 740};
inline constexpr TextPlace LevelLabel{964, 10};
inline constexpr TextPlace LevelNumber{994, 10};
inline constexpr TextPlace ScoreLabel{20, 10};
inline constexpr TextPlace ScoreNumber{55, 10};
inline constexpr TextPlace MenuPlace{0, 700};

// The labels in the game's single-byte code page (0xB0 is the degree sign).
inline constexpr const char* CurrentAngleText = "Huidige Hoek (\xB0)";
inline constexpr const char* PreviousAngleText = "Vorige Hoek (\xB0)";
inline constexpr const char* CurrentSpeedText = "Huidige Snelheid";
inline constexpr const char* PreviousSpeedText = "Vorige Snelheid";

// ---- End screen ----
const char* EndScreenFile(bool quit, bool win);
inline constexpr TextPlace HighscoresLabel{20, 600};
inline constexpr TextPlace YourScoreLabel{20, 570};
inline constexpr TextPlace YourScoreNumber{100, 570};
constexpr std::int32_t HighScoreX = 100;
constexpr std::int32_t HighScoreTop = 600;
constexpr std::int32_t HighScoreRow = 15;

// ---- Additions over the frame: the pause, notes, the end screen's remark ----
// The pause box, inclusive corners, and its texts.
inline constexpr TextPlace PauseBoxTopLeft{392, 334};
inline constexpr TextPlace PauseBoxBottomRight{632, 434};
inline constexpr TextPlace PauseText{488, 360};
inline constexpr TextPlace PauseHintText{428, 400};
constexpr std::uint32_t PauseBoxColor = 0x461400;  // RgbColor(0, 20, 70), the menu's blue
inline constexpr TextPlace NotePlace{462, 40};
inline constexpr TextPlace NotInTableText{20, 676};  // below the table, inside its box
// The play-test's box on its end screen, over the picture's headline.
inline constexpr TextPlace PlayTestBoxTopLeft{112, 70};
inline constexpr TextPlace PlayTestBoxBottomRight{912, 262};

// ---- What the module holds now (for tests) ----
struct BodyHandles {
    std::uint32_t image = 0;
    std::uint32_t mask = 0;
};
struct Handles {
    std::uint32_t Background = 0;
    BodyHandles body[Level::TableLength] = {};  // what Draw draws for each body
    std::uint32_t menu = 0;
    std::uint32_t arrow[ArrowCount] = {};
    std::uint32_t arrowMask[ArrowCount] = {};
    bool recordingPath = false;
};
Handles CurrentHandles();

}  // namespace Drawing::detail
