// World to window mapping, picture choice and the two rocket arrows, as plain numbers.
#include <cmath>
#include <limits>

#include "Drawing/Geometry.hpp"

#include "Level/Geometry.hpp"

namespace Drawing {

namespace {

// Far beyond any window, and far enough from the 64-bit limits that adding 512 or
// squaring in double precision stays finite and exact enough.
constexpr float kFarAway = 4.0e18f;

std::int32_t Saturate32(std::int64_t v)
{
    if (v > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (v < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(v);
}

}  // namespace

std::int64_t RealToInt64(float r)
{
    if (std::isnan(r)) {
        return 0;
    }
    if (r > kFarAway) {
        r = kFarAway;
    } else if (r < -kFarAway) {
        r = -kFarAway;
    }
    return std::llrint(r);
}

std::int32_t RealToInt(float r) { return Saturate32(RealToInt64(r)); }

std::int64_t GetX64(float x) { return RealToInt64(x) + 512; }
std::int64_t GetY64(float y) { return 384 - RealToInt64(y); }
std::int32_t GetX(float x) { return Saturate32(GetX64(x)); }
std::int32_t GetY(float y) { return Saturate32(GetY64(y)); }

namespace detail {

PictureChoice ChoosePicture(std::uint32_t index, const Level::OBJECT& body)
{
    // Sizes are rounded after doubling; NaN (no number at all) counts as negative.
    auto size = [](float v) -> std::int64_t { return std::isnan(v) ? -1 : RealToInt64(v); };
    const Level::Extents box = Level::ExtentsOf(body);
    const std::int64_t w = size(box.width);
    const std::int64_t h = size(box.height);

    // The black hole and the rocket are round whatever their shape: as wide as the width doubled.
    const std::int64_t round = size(2.0f * body.Dimension.x);
    if (index == 0) {
        return {".\\graphics\\zwartgat.bmp", ".\\graphics\\zwartgat-mask.bmp", round, round};
    }
    if (index == 1) {
        return {".\\graphics\\raket.bmp", ".\\graphics\\raket-mask.bmp", round, round};
    }
    switch (Level::KindOf(body)) {
        case Level::Kind::Attracting:
            return {".\\graphics\\aantrekking.bmp", ".\\graphics\\planeet-mask.bmp", w, h};
        case Level::Kind::Repelling:
            return {".\\graphics\\afstoting.bmp", ".\\graphics\\planeet-mask.bmp", w, h};
        case Level::Kind::NoField:
            return {".\\graphics\\geenveld.bmp", ".\\graphics\\planeet-mask.bmp", w, h};
        case Level::Kind::Asteroid:
            return {".\\graphics\\astero.bmp", ".\\graphics\\planeet-mask.bmp", w, h};
        case Level::Kind::Wall:
            return {".\\graphics\\blauwerechthoek.bmp", ".\\graphics\\rechthoek-mask.bmp", w, h};
        case Level::Kind::DeadlyWall:
            return {".\\graphics\\roderechthoek.bmp", ".\\graphics\\rechthoek-mask.bmp", w, h};
    }
    return {"", "", -1, -1};
}

const ArrowFiles ArrowPictures[ArrowCount] = {
    {".\\graphics\\linksboven.bmp", ".\\graphics\\linksboven-mask.bmp", 30, 30},
    {".\\graphics\\links.bmp", ".\\graphics\\links-mask.bmp", 50, 25},
    {".\\graphics\\linksonder.bmp", ".\\graphics\\linksonder-mask.bmp", 30, 30},
    {".\\graphics\\boven.bmp", ".\\graphics\\boven-mask.bmp", 25, 50},
    {".\\graphics\\onder.bmp", ".\\graphics\\onder-mask.bmp", 25, 50},
    {".\\graphics\\rechtsboven.bmp", ".\\graphics\\rechtsboven-mask.bmp", 30, 30},
    {".\\graphics\\rechts.bmp", ".\\graphics\\rechts-mask.bmp", 50, 25},
    {".\\graphics\\rechtsonder.bmp", ".\\graphics\\rechtsonder-mask.bmp", 30, 30},
};

OffScreenArrow ArrowForWindowPoint(std::int64_t X, std::int64_t Y)
{
    constexpr std::int64_t W = WindowWidth;
    constexpr std::int64_t H = WindowHeight;
    // The distance in double precision: the squares of a rocket 100,000 pixels out no
    // longer fit in 32 bits, and those of one 4e18 pixels out not even in 64.
    auto distance = [](std::int64_t dx, std::int64_t dy) {
        const double fx = static_cast<double>(dx);
        const double fy = static_cast<double>(dy);
        const double d = std::nearbyint(std::sqrt(fx * fx + fy * fy));
        return d >= static_cast<double>(std::numeric_limits<std::int32_t>::max())
                   ? std::numeric_limits<std::int32_t>::max()
                   : static_cast<std::int32_t>(d);
    };
    // Inside the window the coordinates fit in 32 bits.
    const std::int32_t x = Saturate32(X);
    const std::int32_t y = Saturate32(Y);

    OffScreenArrow a;
    if (X < 0 && Y < 0) {
        a = {ArrowLinksBoven, 0, 0, distance(X, Y), 30, 30};
    } else if (X < 0 && 0 < Y && Y < H) {
        a = {ArrowLinks, 0, y - 12, distance(X, 0), 50, y};
    } else if (X < 0 && Y > H) {
        a = {ArrowLinksOnder, 0, 738, distance(X, Y - H), 30, 738};
    } else if (0 < X && X < W && Y < 0) {
        a = {ArrowBoven, x - 12, 0, distance(0, Y), x, 50};
    } else if (0 < X && X < W && Y > H) {
        a = {ArrowOnder, x - 12, 718, distance(0, Y - H), x, 718};
    } else if (X > W && Y < 0) {
        a = {ArrowRechtsBoven, 994, 0, distance(X - W, Y), 994, 30};
    } else if (X > W && 0 < Y && Y < H) {
        a = {ArrowRechts, 974, y, distance(X - W, 0), 974, y};
    } else if (X > W && Y > H) {
        a = {ArrowRechtsOnder, 994, 738, distance(X - W, Y - H), 994, 708};
    }
    return a;
}

OffScreenArrow ArrowForRocket(const Level::VECTOR& position)
{
    return ArrowForWindowPoint(GetX64(position.x), GetY64(position.y));
}

AimingArrow AimArrow(const Level::VECTOR& position, float Hoek, float Grootte)
{
    const float L = Grootte * 0.2f;
    const float L2 = L - 10.0f;
    const float Hoek2 = L2 == 0.0f ? 1.5707963f : std::atan(5.0f / L2);
    const Level::VECTOR C = position;
    const Level::VECTOR T{C.x + L * std::cos(Hoek), C.y + L * std::sin(Hoek)};
    const Level::VECTOR P1{C.x + L2 * std::cos(Hoek + Hoek2), C.y + L2 * std::sin(Hoek + Hoek2)};
    const Level::VECTOR P2{C.x + L2 * std::cos(Hoek - Hoek2), C.y + L2 * std::sin(Hoek - Hoek2)};
    auto window = [](const Level::VECTOR& v) { return Point{GetX(v.x), GetY(v.y)}; };
    return {window(C), window(T), window(P1), window(P2)};
}

std::int32_t Degrees(float radians) { return RealToInt(radians * 180.0f / 3.141592f); }

const char* EndScreenFile(bool quit, bool win)
{
    if (quit) {
        return ".\\graphics\\quit_kor.bmp";
    }
    if (win) {
        return ".\\graphics\\won_kor.bmp";
    }
    return ".\\graphics\\lost_kor.bmp";
}

}  // namespace detail

}  // namespace Drawing
