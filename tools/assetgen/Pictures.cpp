#include "Pictures.hpp"

#include "Text.hpp"

#include "Console/Console.hpp"

#include <algorithm>
#include <cmath>
#include <functional>

namespace Pictures {

using namespace Canvas;

namespace {

constexpr float kPi = 3.14159265f;

// The words in the pictures come from the catalog of the language being drawn.
using Console::Tr;

// Generated sizes of the pictures whose on-screen size the level decides.
constexpr int kBall = 128;   // black hole, rocket, planets, asteroid (all square)
constexpr int kWall = 128;   // rectangles: stretched to any w x h
constexpr int kLogoW = 390;  // shown at 500x300 in the menu and 280x280 in the intro:
constexpr int kLogoH = 300;  // an aspect between the two keeps both distortions mild

// ---------------------------------------------------------------------------------------------
// Small 3-D helpers for shading spheres.

struct V3 {
    float x, y, z;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Normalise(V3 a)
{
    float l = std::sqrt(Dot(a, a));
    return l > 0 ? a * (1.0f / l) : a;
}

// Light from the upper left, in front (image axes: x right, y down, z to the viewer).
const V3 kLight = Normalise({-0.55f, -0.65f, 0.75f});

// What a surface point looks like: its albedo, the normal to light it with, and its own light.
struct SurfacePoint {
    Rgb albedo;
    V3 normal;
    Rgb emit;
};
using Surface = std::function<SurfacePoint(V3 n)>;

struct SphereStyle {
    float ambient = 0.10f;
    float wrap = 0.10f;  // light reaching past the terminator
    float specular = 0.30f;
    float shininess = 28.0f;
    Rgb rim{};  // light at the limb (atmosphere, field)
    float rimPower = 3.0f;
};

// A sphere filling a size x size square. Pixels past the circle are shaded like its edge so that
// no dark fringe shows through the round mask, however the game scales the picture.
Image Sphere(int size, const Surface& surface, const SphereStyle& st)
{
    Image img = Make(size, size, {0, 0, 0});
    float r = size / 2.0f;
    V3 half = Normalise(kLight + V3{0, 0, 1});
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float dx = (x + 0.5f - r) / r, dy = (y + 0.5f - r) / r;
            float rr = dx * dx + dy * dy;
            if (rr > 1) {  // outside the mask: repeat the limb so smooth scaling adds no dark fringe
                float l = std::sqrt(rr);
                dx /= l;
                dy /= l;
                rr = 1;
            }
            V3 n{dx, dy, std::sqrt(std::max(0.0f, 1 - rr))};
            SurfacePoint sp = surface(n);
            float diff = std::max(0.0f, (Dot(sp.normal, kLight) + st.wrap) / (1 + st.wrap));
            float shine = st.specular * std::pow(std::max(0.0f, Dot(sp.normal, half)), st.shininess);
            float fres = std::pow(1 - n.z, st.rimPower);
            Rgb c = sp.albedo * (st.ambient + (1 - st.ambient) * diff) + Rgb{shine, shine, shine} +
                    st.rim * (fres * (0.35f + 0.65f * diff)) + sp.emit;
            img.At(x, y) = c;
        }
    return img;
}

Image BallMask(int size)
{
    float r = size / 2.0f;
    return MakeMask(size, size, [&](float px, float py) { return SdCircle(px, py, r, r, r) <= 0; });
}

// Bowl-shaped craters: inside the bowl the normal tilts towards the crater's axis, on the rim
// away from it, so the side facing the light is shadowed inside and lit on the far wall.
struct Crater {
    V3 centre;     // unit vector
    float radius;  // angular, radians
    float depth;
};

std::vector<Crater> MakeCraters(std::uint64_t seed, int count, float rmin, float rmax)
{
    Rng rng{seed};
    std::vector<Crater> out;
    for (int i = 0; i < count; ++i) {
        float a = Range(rng, 0, 2 * kPi), z = Range(rng, 0.15f, 1.0f);
        float s = std::sqrt(1 - z * z);
        float rad = rmin + (rmax - rmin) * std::pow(Uniform(rng), 2.0f);
        out.push_back({{s * std::cos(a), s * std::sin(a), z}, rad, Range(rng, 0.5f, 0.9f)});
    }
    return out;
}

// Applies the craters to a surface point; returns how much of it lies in a crater floor (0..1).
float ApplyCraters(const std::vector<Crater>& craters, V3 n, V3& normal)
{
    float floor = 0;
    for (const Crater& c : craters) {
        float cosang = std::clamp(Dot(n, c.centre), -1.0f, 1.0f);
        float t = std::acos(cosang) / c.radius;
        if (t >= 1.35f) continue;
        V3 away = n - c.centre * cosang;  // tangent pointing away from the crater centre
        float len = std::sqrt(Dot(away, away));
        if (len < 1e-5f) continue;
        away = away * (1 / len);
        float tilt;
        if (t < 1) {
            tilt = -c.depth * t;  // bowl wall rises towards the rim
            floor = std::max(floor, 1 - t);
        } else {
            tilt = c.depth * 0.8f * (1 - (t - 1) / 0.35f);  // outer slope of the rim
        }
        normal = Normalise(normal + away * tilt);
    }
    return floor;
}

// Small bumps from the slope of a noise field.
V3 Bump(V3 n, float freq, float amount, std::uint32_t seed)
{
    const float e = 0.02f;
    float h = Fbm3(n.x * freq, n.y * freq, n.z * freq, 4, seed);
    float hx = Fbm3((n.x + e) * freq, n.y * freq, n.z * freq, 4, seed);
    float hy = Fbm3(n.x * freq, (n.y + e) * freq, n.z * freq, 4, seed);
    return Normalise(n - V3{(hx - h) / e, (hy - h) / e, 0} * amount);
}

// ---------------------------------------------------------------------------------------------
// Bodies.

Image AttractingPlanet()
{
    auto surface = [](V3 n) {
        float turb = Fbm3(n.x * 2.2f, n.y * 2.2f, n.z * 2.2f, 5, 11);
        float t = n.y * 5.0f + (turb - 0.5f) * 2.4f;
        float band = 0.5f + 0.5f * std::sin(t * kPi);
        Rgb c = Mix(Hex(178, 66, 22), Hex(246, 150, 48), band);
        float cream = Smooth(0.78f, 0.95f, 0.5f + 0.5f * std::sin(t * 2.3f + 1.0f));
        c = Mix(c, Hex(255, 214, 150), cream * 0.8f);
        float fine = Fbm3(n.x * 9, n.y * 3, n.z * 9, 3, 12);
        c = c * (0.86f + 0.28f * fine);
        // A storm oval in the southern belt.
        float sx = (n.x - 0.28f) / 0.24f, sy = (n.y - 0.38f) / 0.11f;
        float storm = sx * sx + sy * sy;
        if (storm < 1.6f) {
            c = Mix(c, Hex(255, 220, 170), Smooth(1.6f, 1.1f, storm) * 0.7f);
            c = Mix(c, Hex(160, 48, 20), Smooth(0.9f, 0.3f, storm));
        }
        return SurfacePoint{c, n, {}};
    };
    SphereStyle st;
    st.ambient = 0.14f;
    st.wrap = 0.2f;
    st.specular = 0.22f;
    st.shininess = 18;
    st.rim = Hex(255, 150, 60) * 0.55f;
    st.rimPower = 2.5f;
    return Sphere(kBall, surface, st);
}

Image RepellingPlanet()
{
    auto surface = [](V3 n) {
        float big = Fbm3(n.x * 2, n.y * 2, n.z * 2, 4, 21);
        float ridge = 1 - std::fabs(2 * Fbm3(n.x * 3.2f, n.y * 3.2f, n.z * 3.2f, 5, 22) - 1);
        Rgb c = Mix(Hex(58, 28, 128), Hex(128, 78, 210), big);
        float crack = Smooth(0.88f, 0.98f, ridge);
        c = Mix(c, Hex(222, 200, 255), crack * 0.85f);
        Rgb emit = Hex(150, 110, 255) * (crack * 0.22f);
        return SurfacePoint{c, Bump(n, 5, 0.05f, 23), emit};
    };
    SphereStyle st;
    st.ambient = 0.16f;
    st.wrap = 0.15f;
    st.specular = 0.55f;
    st.shininess = 40;
    st.rim = Hex(190, 150, 255) * 1.1f;
    st.rimPower = 2.0f;
    return Sphere(kBall, surface, st);
}

Image FieldlessPlanet()
{
    auto craters = MakeCraters(31, 7, 0.12f, 0.42f);
    auto surface = [craters](V3 n) {
        float m = Fbm3(n.x * 2.5f, n.y * 2.5f, n.z * 2.5f, 5, 32);
        float g = 0.34f + 0.30f * m;
        V3 normal = Bump(n, 6, 0.06f, 33);
        float floor = ApplyCraters(craters, n, normal);
        g *= 1 - 0.12f * floor;
        return SurfacePoint{Rgb{g, g * 0.99f, g * 0.97f}, normal, {}};
    };
    SphereStyle st;
    st.ambient = 0.12f;
    st.wrap = 0.08f;
    st.specular = 0.06f;
    st.shininess = 10;
    st.rim = Hex(150, 160, 175) * 0.25f;
    return Sphere(kBall, surface, st);
}

Image Asteroid()
{
    auto craters = MakeCraters(41, 16, 0.08f, 0.34f);
    auto surface = [craters](V3 n) {
        float m = Fbm3(n.x * 3, n.y * 3, n.z * 3, 5, 42);
        Rgb c = Mix(Hex(86, 56, 34), Hex(158, 112, 70), m);
        V3 normal = Bump(n, 8, 0.12f, 43);
        float floor = ApplyCraters(craters, n, normal);
        c = c * (1 - 0.18f * floor);
        return SurfacePoint{c, normal, {}};
    };
    SphereStyle st;
    st.ambient = 0.10f;
    st.wrap = 0.05f;
    st.specular = 0.08f;
    st.shininess = 12;
    st.rim = Hex(200, 150, 110) * 0.15f;
    return Sphere(kBall, surface, st);
}

// Black core, a thin photon ring and a hot swirling disc that cools to violet at the edge.
Image BlackHole(int size)
{
    Image img = Make(size, size, {0, 0, 0});
    float r = size / 2.0f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float dx = (x + 0.5f - r) / r, dy = (y + 0.5f - r) / r;
            float d = std::sqrt(dx * dx + dy * dy);
            d = std::min(d, 1.0f);  // past the mask: repeat the rim
            float ang = std::atan2(dy, dx);
            float swirl = ang + 3.2f * std::log(std::max(d, 0.05f));
            float streak = Fbm3(std::cos(swirl) * 2.2f, std::sin(swirl) * 2.2f, d * 5, 4, 51);
            float heat = Smooth(1.0f, 0.40f, d);            // 1 at the inner edge of the disc
            float disc = Smooth(0.36f, 0.44f, d);           // the disc starts outside the core
            float beam = 1 + 0.35f * std::cos(ang - 2.6f);  // the side coming at us is brighter
            float lum = disc * heat * (0.55f + 0.75f * streak) * beam;
            Rgb hot = Mix(Hex(120, 20, 70), Hex(255, 120, 30), Smooth(0.1f, 0.55f, heat));
            hot = Mix(hot, Hex(255, 236, 190), Smooth(0.6f, 1.0f, heat * (0.7f + 0.5f * streak)));
            Rgb c = hot * lum;
            // Outer haze so the edge fades into a violet glow instead of a hard black rim.
            c = c + Hex(70, 30, 110) * (Smooth(0.5f, 0.95f, d) * 0.6f);
            float ring = std::exp(-std::pow((d - 0.395f) / 0.022f, 2.0f));
            c = c + Hex(255, 245, 225) * (ring * 1.1f);
            float core = 1 - Smooth(0.34f, 0.385f, d);
            c = Mix(c, Hex(2, 0, 6), core);
            img.At(x, y) = c;
        }
    return img;
}

// ---------------------------------------------------------------------------------------------
// The rocket, drawn in its own frame (u towards the nose, v to the right of it) so that it can
// be drawn at any angle and scale: the game's picture points up and to the right.

float BodyHalfWidth(float u)
{
    if (u < -42 || u > 80) return 0;
    if (u > 18) return 16 * (1 - std::pow((u - 18) / 62, 1.8f));
    return 14 + 2 * Smooth(-42, -20, u);
}

float FlameHalfWidth(float u)
{
    float t = Clamp01((-50 - u) / 31);
    return 10.5f * std::pow(1 - t, 0.75f) + 0.5f;
}

// Distance to a shape symmetric about v = 0 with half-width profile `half` between u0 and u1:
// the vertical gap divided by the slope's stretch is close enough to the true distance for
// anti-aliased edges, and far cheaper than a polygon.
template <class Half>
float ProfileSdf(float u, float v, float u0, float u1, Half half)
{
    float uc = std::clamp(u, u0, u1);
    float e = 0.5f;
    float slope =
        (half(std::min(uc + e, u1)) - half(std::max(uc - e, u0))) / (std::min(uc + e, u1) - std::max(uc - e, u0));
    float side = (std::fabs(v) - half(uc)) / std::sqrt(1 + slope * slope);
    return std::max({side, u0 - u, u - u1});
}

float BodySdf(float u, float v) { return ProfileSdf(u, v, -42, 80, BodyHalfWidth); }
float FlameSdf(float u, float v) { return ProfileSdf(u, v, -81, -50, FlameHalfWidth); }

struct RocketShape {
    std::vector<Pt> finLeft, finRight, nozzle;
};

const RocketShape& Rocket()
{
    static const RocketShape shape = [] {
        RocketShape s;
        s.finLeft = {{-4, -13}, {-38, -36}, {-49, -36}, {-44, -11}};
        s.finRight = {{-4, 13}, {-38, 36}, {-49, 36}, {-44, 11}};
        s.nozzle = {{-40, -9}, {-51, -12}, {-51, 12}, {-40, 9}};
        return s;
    }();
    return shape;
}

float RocketSilhouette(float u, float v, bool flame)
{
    const RocketShape& s = Rocket();
    float d = BodySdf(u, v);
    d = std::min(d, SdPolygon(u, v, s.finLeft));
    d = std::min(d, SdPolygon(u, v, s.finRight));
    d = std::min(d, SdPolygon(u, v, s.nozzle));
    if (flame) d = std::min(d, FlameSdf(u, v));
    return d;
}

constexpr float kOutline = 1.8f;  // dark outline around the rocket, in pixels

// Colour of the rocket at (u, v); scale converts frame units into pixels for the edges.
void RocketPixel(float u, float v, float scale, bool flame, Rgb& c)
{
    const RocketShape& s = Rocket();
    auto layer = [&](float d, Rgb col) {
        float a = Cover(d * scale);
        if (a > 0) c = Mix(c, col, a);
    };
    layer(RocketSilhouette(u, v, flame) - kOutline / scale, Hex(18, 18, 34));
    if (flame) {
        float t = Clamp01((-50 - u) / 31);
        float across = std::fabs(v) / (FlameHalfWidth(u) + 0.1f);
        Rgb fc = Mix(Hex(255, 250, 215), Hex(255, 170, 40), Smooth(0.15f, 0.6f, across + t * 0.6f));
        fc = Mix(fc, Hex(230, 60, 20), Smooth(0.55f, 1.0f, across * 0.6f + t * 0.7f));
        layer(FlameSdf(u, v), fc);
    }
    layer(SdPolygon(u, v, s.nozzle), Mix(Hex(70, 74, 88), Hex(150, 156, 170), Clamp01(0.5f - v / 24)));
    layer(SdPolygon(u, v, s.finLeft), Mix(Hex(235, 60, 50), Hex(170, 30, 35), Smooth(-36, -11, v) * 0.5f));
    layer(SdPolygon(u, v, s.finRight), Mix(Hex(165, 26, 32), Hex(115, 16, 24), Smooth(11, 36, v)));
    // Body: a lit cylinder, white with a red nose and a red band.
    float w = std::max(BodyHalfWidth(u), 0.5f);
    float nv = std::clamp(v / w, -1.0f, 1.0f);
    float lam = 0.5f + 0.5f * (-nv * 0.85f + 0.15f);
    float shine = std::exp(-std::pow((nv + 0.42f) / 0.2f, 2.0f)) * 0.55f;
    Rgb base = Hex(236, 239, 246);
    if (u > 50) base = Hex(226, 42, 42);
    if (u > -31 && u < -24) base = Hex(214, 40, 44);
    Rgb body = base * (0.38f + 0.62f * lam) + Rgb{shine, shine, shine};
    float hull = BodySdf(u, v);
    layer(hull, body);
    // Seam lines where the nose and the band meet the hull.
    for (float seam : {50.0f, -31.0f, -24.0f}) {
        float a = Cover((std::fabs(u - seam) - 0.35f) * scale) * Cover(hull * scale);
        c = Mix(c, c * 0.6f, a);
    }
    // Centre fin seen edge-on.
    layer(SdSegment(u, v, -46, 0, -14, 0) - 1.6f, Hex(150, 24, 30));
    // Porthole: metal ring, blue glass, a glint.
    layer(SdCircle(u, v, 20, 0, 9.5f), Mix(Hex(200, 205, 215), Hex(110, 115, 130), Clamp01(0.5f + v / 18)));
    layer(SdCircle(u, v, 20, 0, 7), Mix(Hex(90, 170, 240), Hex(20, 40, 100), Clamp01(0.5f + (v - u + 20) / 16)));
    layer(SdCircle(u, v, 22.5f, -2.5f, 2.2f), Hex(235, 250, 255));
}

// Draws the rocket centred at (cx, cy) pointing along `angle` (radians, image axes, so
// -pi/4 is up and to the right), `scale` pixels per frame unit.
void DrawRocket(Image& img, float cx, float cy, float scale, float angle, bool flame)
{
    float ax = std::cos(angle), ay = std::sin(angle);
    int ext = static_cast<int>(92 * scale) + 3;
    for (int y = static_cast<int>(cy) - ext; y <= static_cast<int>(cy) + ext; ++y)
        for (int x = static_cast<int>(cx) - ext; x <= static_cast<int>(cx) + ext; ++x) {
            if (x < 0 || y < 0 || x >= img.w || y >= img.h) continue;
            float px = (x + 0.5f - cx) / scale, py = (y + 0.5f - cy) / scale;
            float u = px * ax + py * ay, v = -px * ay + py * ax;
            if (RocketSilhouette(u, v, flame) * scale > kOutline + 1) continue;
            RocketPixel(u, v, scale, flame, img.At(x, y));
        }
}

constexpr float kRocketAngle = -kPi / 4;

void RocketPictures(Image& pic, Image& mask)
{
    pic = Make(kBall, kBall, Hex(18, 18, 34));
    float c = kBall / 2.0f, scale = kBall / 128.0f;
    DrawRocket(pic, c, c, scale, kRocketAngle, true);
    float ax = std::cos(kRocketAngle), ay = std::sin(kRocketAngle);
    mask = MakeMask(kBall, kBall, [&](float px, float py) {
        px = (px - c) / scale;
        py = (py - c) / scale;
        float u = px * ax + py * ay, v = -px * ay + py * ax;
        return RocketSilhouette(u, v, true) * scale - kOutline <= 0;
    });
}

// ---------------------------------------------------------------------------------------------
// Walls: square art that the game stretches to any width and height, so it has no detail
// that looks wrong when stretched one way only.

Image SafeWall()
{
    Image img = Make(kWall, kWall, {});
    for (int y = 0; y < kWall; ++y)
        for (int x = 0; x < kWall; ++x) {
            float fx = (x + 0.5f) / kWall, fy = (y + 0.5f) / kWall;
            Rgb c = Mix(Hex(70, 140, 225), Hex(28, 68, 160), fy);
            float sheen = Smooth(0.25f, 0.0f, std::fabs(fx + fy - 0.8f)) * 0.18f;
            c = c + Rgb{sheen, sheen, sheen};
            int edge = std::min({x, y, kWall - 1 - x, kWall - 1 - y});
            if (edge < 8) {
                bool lit = x + y < kWall - 1 && (x < 8 || y < 8) && !(kWall - 1 - x < 8 || kWall - 1 - y < 8);
                if (x < 8 && y < 8) lit = true;
                c = lit ? Hex(165, 210, 250) : Hex(18, 42, 105);
                if (edge < 2) c = Hex(8, 20, 60);
            } else if (edge < 10) {
                c = c * 0.8f;
            }
            img.At(x, y) = c;
        }
    return img;
}

Image DeadlyWall()
{
    Image img = Make(kWall, kWall, {});
    for (int y = 0; y < kWall; ++y)
        for (int x = 0; x < kWall; ++x) {
            float s = std::fmod(static_cast<float>(x + y), 32.0f);
            float stripe = Smooth(14.0f, 16.0f, s) * Smooth(32.0f, 30.0f, s);
            Rgb c = Mix(Hex(205, 28, 24), Hex(70, 6, 10), stripe);
            float fy = (y + 0.5f) / kWall;
            c = c * (1.08f - 0.25f * fy);
            int edge = std::min({x, y, kWall - 1 - x, kWall - 1 - y});
            if (edge < 8) c = Mix(Hex(255, 150, 70), Hex(255, 70, 40), edge / 8.0f);
            if (edge < 2) c = Hex(90, 0, 0);
            img.At(x, y) = c;
        }
    return img;
}

// ---------------------------------------------------------------------------------------------
// Off-screen arrows: orange with a bright rim, dark enough inside for white figures on them.

void ArrowPictures(int w, int h, float dirx, float diry, Image& pic, Image& mask)
{
    float len = std::hypot(dirx, diry);
    float ax = dirx / len, ay = diry / len;
    float cx = w / 2.0f, cy = h / 2.0f;
    bool diagonal = dirx != 0 && diry != 0;
    float tip = diagonal ? 19.5f : (std::max(w, h) / 2.0f - 1.0f);
    float headBase = diagonal ? 3.0f : 3.0f;
    // Edges are kept off pixel centres: an edge through a row of centres would make that row
    // of the mask ragged.
    float headHalf = diagonal ? 14.0f : (std::min(w, h) / 2.0f - 0.75f);
    float tail = diagonal ? -16.0f : -tip;
    float shaftHalf = diagonal ? 4.6f : 5.2f;
    std::vector<Pt> local = {{tip, 0},           {headBase, headHalf},   {headBase, shaftHalf}, {tail, shaftHalf},
                             {tail, -shaftHalf}, {headBase, -shaftHalf}, {headBase, -headHalf}};
    std::vector<Pt> poly;
    for (const Pt& p : local) poly.push_back({cx + ax * p.x - ay * p.y, cy + ay * p.x + ax * p.y});
    pic = Make(w, h, Hex(255, 196, 90));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float px = x + 0.5f, py = y + 0.5f;
            float d = SdPolygon(px, py, poly);
            float u = (px - cx) * ax + (py - cy) * ay;
            float t = Clamp01((u - tail) / (tip - tail));
            Rgb fill = Mix(Hex(150, 40, 14), Hex(228, 96, 24), t);
            Rgb rim = Hex(255, 196, 90);
            pic.At(x, y) = Mix(fill, rim, Smooth(-2.0f, -0.9f, d));
        }
    mask = MakeMask(w, h, [&](float px, float py) { return SdPolygon(px, py, poly) <= 0; });
}

// ---------------------------------------------------------------------------------------------
// Space backdrops.

struct Backdrop {
    Rgb base0, base1;      // top-left and bottom-right of the base gradient
    Rgb nebula0, nebula1;  // two gas colours
    float nebula;          // how much gas
    int stars;             // number of small stars
    int bigStars;
    std::uint32_t seed;
};

struct Box {
    int x0, y0, x1, y1;
    bool Contains(float x, float y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};

void Star(Image& img, float x, float y, float sigma, Rgb c, float power)
{
    int r = static_cast<int>(sigma * 3) + 1;
    for (int j = -r; j <= r; ++j)
        for (int i = -r; i <= r; ++i) {
            int px = static_cast<int>(std::floor(x)) + i, py = static_cast<int>(std::floor(y)) + j;
            float dx = px + 0.5f - x, dy = py + 0.5f - y;
            float a = std::exp(-(dx * dx + dy * dy) / (2 * sigma * sigma)) * power;
            if (a > 0.003f) AddLight(img, px, py, c, a);
        }
}

void BigStar(Image& img, float x, float y, float size, Rgb c)
{
    Star(img, x, y, size * 2.2f, c, 0.12f);
    Star(img, x, y, size * 0.7f, c, 0.9f);
    int spike = static_cast<int>(size * 7);
    for (int k = -spike; k <= spike; ++k) {
        float a = std::exp(-std::fabs(static_cast<float>(k)) / (size * 2.2f)) * 0.55f;
        AddLight(img, static_cast<int>(x) + k, static_cast<int>(y), c, a);
        AddLight(img, static_cast<int>(x), static_cast<int>(y) + k, c, a);
    }
}

Image Space(int w, int h, const Backdrop& b, const std::vector<Box>& quiet)
{
    // The gas is smooth: work out its colour on a grid of 4-pixel cells and interpolate.
    constexpr int kCell = 4;
    int gw = w / kCell + 2, gh = h / kCell + 2;
    std::vector<Rgb> gas(static_cast<std::size_t>(gw) * gh);
    float s = 3.2f / static_cast<float>(std::max(w, h));
    for (int j = 0; j < gh; ++j)
        for (int i = 0; i < gw; ++i) {
            float x = static_cast<float>(i * kCell) * s, y = static_cast<float>(j * kCell) * s;
            float qx = Fbm2(x, y, 4, b.seed), qy = Fbm2(x + 5.2f, y + 1.3f, 4, b.seed + 1);
            float n = Fbm2(x + 1.8f * qx, y + 1.8f * qy, 5, b.seed + 2);
            float density = Smooth(0.42f, 0.78f, n) * b.nebula;
            gas[static_cast<std::size_t>(j) * gw + i] = Mix(b.nebula0, b.nebula1, Smooth(0.35f, 0.65f, qx)) * density;
        }
    Image img = Make(w, h, {});
    for (int y = 0; y < h; ++y) {
        int j = y / kCell;
        float ty = static_cast<float>(y % kCell) / kCell;
        const Rgb* row0 = &gas[static_cast<std::size_t>(j) * gw];
        const Rgb* row1 = row0 + gw;
        float vy = (y + 0.5f) / h - 0.5f;
        for (int x = 0; x < w; ++x) {
            int i = x / kCell;
            float tx = static_cast<float>(x % kCell) / kCell;
            Rgb top = Mix(row0[i], row0[i + 1], tx), bottom = Mix(row1[i], row1[i + 1], tx);
            float t = (static_cast<float>(x) / w + static_cast<float>(y) / h) / 2;
            Rgb c = Mix(b.base0, b.base1, t) + Mix(top, bottom, ty);
            // A light vignette keeps the eye in the middle.
            float vx = (x + 0.5f) / w - 0.5f;
            img.At(x, y) = c * (1 - 0.35f * (vx * vx + vy * vy));
        }
    }
    Rng rng{b.seed * 7919ull + 3};
    auto starColour = [&rng]() {
        float k = Uniform(rng);
        if (k < 0.25f) return Hex(170, 200, 255);
        if (k < 0.85f) return Hex(235, 238, 255);
        return Hex(255, 225, 180);
    };
    for (int i = 0; i < b.stars; ++i) {
        float x = Range(rng, 0, static_cast<float>(w)), y = Range(rng, 0, static_cast<float>(h));
        float power = 0.25f + 0.9f * std::pow(Uniform(rng), 3.0f);
        Rgb col = starColour();
        bool hushed = std::any_of(quiet.begin(), quiet.end(), [&](const Box& q) { return q.Contains(x, y); });
        if (hushed) power *= 0.35f;
        Star(img, x, y, 0.55f, col, power);
    }
    for (int i = 0; i < b.bigStars; ++i) {
        float x = Range(rng, 0, static_cast<float>(w)), y = Range(rng, 0, static_cast<float>(h));
        float size = Range(rng, 0.8f, 1.6f);
        Rgb col = starColour();
        bool hushed = std::any_of(quiet.begin(), quiet.end(), [&](const Box& q) {
            return Box{q.x0 - 20, q.y0 - 20, q.x1 + 20, q.y1 + 20}.Contains(x, y);
        });
        if (!hushed) BigStar(img, x, y, size, col);
    }
    return img;
}

// The play field. Its base is a deep blue rather than black: the flight path is drawn over it
// as a black dotted line and has to stay visible.
Image PlayField()
{
    Backdrop b{Hex(46, 54, 118), Hex(34, 40, 100), Hex(120, 60, 150), Hex(40, 120, 150), 0.32f, 900, 14, 7};
    // Where the game writes "Score" and "Level" in white, and the head-up display bar.
    std::vector<Box> quiet = {{0, 0, 140, 40}, {940, 0, 1024, 40}, {0, 690, 310, 768}};
    return Space(1024, 768, b, quiet);
}

// ---------------------------------------------------------------------------------------------
// Head-up display bar: light, so the game's black figures read well on it.

Image HudBar()
{
    Image img = Make(300, 68, {});
    for (int y = 0; y < 68; ++y)
        for (int x = 0; x < 300; ++x) {
            float t = y / 67.0f;
            Rgb c = Mix(Hex(238, 242, 249), Hex(204, 214, 230), t);
            if (y < 4)
                c = Hex(58, 78, 130);
            else if (y < 6)
                c = Hex(255, 170, 60);
            else if (y == 6)
                c = Hex(255, 255, 255);
            if (x >= 296)
                c = Hex(58, 78, 130);
            else if (x >= 294)
                c = Hex(160, 175, 200);
            img.At(x, y) = c;
        }
    return img;
}

// ---------------------------------------------------------------------------------------------
// Text effects.

struct TextLook {
    Rgb top, bottom;  // vertical gradient of the letters
    Rgb outline;
    int outlineWidth = 0;
    Rgb glow;
    float glowStrength = 0;
    int glowRadius = 6;
};

// Fancy text centred on cx with its top at y; returns the height used.
int Title(Image& img, int cx, int y, Text::Face face, int size, const std::string& s, const TextLook& look)
{
    Text::Alpha fill = Text::Render(face, size, s);
    int x = cx - fill.w / 2;
    if (look.glowStrength > 0) {
        int pad = look.glowRadius * 3;
        Text::Alpha glow =
            Text::Blur(Text::Render(face, size, s, std::max(look.outlineWidth, 1)), look.glowRadius, pad);
        Text::Glow(img, glow, x - pad - std::max(look.outlineWidth, 1), y - pad - std::max(look.outlineWidth, 1),
                   look.glow, look.glowStrength);
    }
    if (look.outlineWidth > 0) {
        Text::Alpha out = Text::Render(face, size, s, look.outlineWidth);
        Text::Draw(img, out, x - look.outlineWidth, y - look.outlineWidth, look.outline);
    }
    float h = static_cast<float>(std::max(fill.h, 1));
    Text::DrawShaded(img, fill, x, y, [&](int, int j) { return Mix(look.top, look.bottom, j / h); });
    return fill.h;
}

// Dark, quiet rounded panel (for text written on top later by the game or by us).
void Panel(Image& img, float x0, float y0, float x1, float y1, float alpha, Rgb border)
{
    float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hw = (x1 - x0) / 2, hh = (y1 - y0) / 2;
    auto sd = [&](float px, float py) { return SdRoundBox(px, py, cx, cy, hw, hh, 14); };
    FillShape(img, x0, y0, x1, y1, Hex(6, 8, 24), sd, alpha);
    FillShape(
        img, x0, y0, x1, y1, border, [&](float px, float py) { return std::fabs(sd(px, py) + 1) - 0.8f; }, 0.8f);
}

// ---------------------------------------------------------------------------------------------
// End screens (1024 x 768). The game writes the score and the high-score table in white over
// x 20-300, y 560-680, so that corner gets a calm dark panel and nothing else.

const Box kScoreArea{8, 548, 318, 694};

void ScorePanel(Image& img, Rgb border)
{
    Panel(img, static_cast<float>(kScoreArea.x0), static_cast<float>(kScoreArea.y0), static_cast<float>(kScoreArea.x1),
          static_cast<float>(kScoreArea.y1), 0.72f, border);
}

void ContinueHint(Image& img)
{
    const std::string hint = Tr("Druk op Spatie of Escape om verder te gaan");
    int w = Text::Width(Text::Face::Sans, 18, hint);
    Text::Write(img, 1000 - w, 726, Text::Face::Sans, 18, hint, Hex(200, 210, 235));
}

void Firework(Image& img, float x, float y, float radius, Rgb c, std::uint64_t seed)
{
    Rng rng{seed};
    int rays = 26;
    for (int i = 0; i < rays; ++i) {
        float a = 2 * kPi * i / rays + Range(rng, -0.06f, 0.06f);
        float len = radius * Range(rng, 0.7f, 1.0f);
        float ex = x + std::cos(a) * len, ey = y + std::sin(a) * len;
        FillShape(
            img, std::min(x, ex) - 3, std::min(y, ey) - 3, std::max(x, ex) + 3, std::max(y, ey) + 3, c,
            [&](float px, float py) {
                float d = SdSegment(px, py, x + std::cos(a) * len * 0.35f, y + std::sin(a) * len * 0.35f, ex, ey);
                return d - 1.1f;
            },
            0.75f);
        Star(img, ex, ey, 1.6f, c, 1.0f);
    }
    Star(img, x, y, radius * 0.25f, c, 0.25f);
}

Image WonScreen(const Image& hole)
{
    Backdrop b{Hex(40, 26, 80), Hex(22, 30, 76), Hex(180, 110, 40), Hex(120, 60, 170), 0.45f, 1100, 18, 101};
    Image img = Space(1024, 768, b, {kScoreArea});
    Firework(img, 170, 360, 80, Hex(255, 210, 90), 1);
    Firework(img, 880, 340, 70, Hex(120, 230, 255), 2);
    Firework(img, 830, 560, 50, Hex(160, 255, 150), 3);
    // The goal reached: the black hole with the rocket diving in.
    Image big = ScaleSmooth(hole, 250, 250);
    for (int y = 0; y < 250; ++y)
        for (int x = 0; x < 250; ++x) {
            float d = std::hypot(x + 0.5f - 125, y + 0.5f - 125) / 125;
            Blend(img, 512 - 125 + x, 330 + y, big.At(x, y), Smooth(1.0f, 0.8f, d));
        }
    DrawRocket(img, 660, 360, 0.55f, 3 * kPi / 4, true);
    TextLook gold{Hex(255, 240, 160), Hex(240, 150, 30), Hex(70, 30, 0), 3, Hex(255, 170, 60), 0.8f, 8};
    Title(img, 512, 70, Text::Face::SansBold, 104, Tr("Gewonnen!"), gold);
    TextLook sub{Hex(255, 255, 255), Hex(220, 228, 255), Hex(10, 10, 30), 2, {}, 0, 0};
    Title(img, 512, 214, Text::Face::SansBold, 28, Tr("Alle levels gehaald: de raket is thuis!"), sub);
    ScorePanel(img, Hex(240, 190, 90));
    ContinueHint(img);
    return img;
}

Image LostScreen()
{
    Backdrop b{Hex(54, 16, 30), Hex(24, 14, 40), Hex(190, 50, 40), Hex(90, 30, 110), 0.5f, 900, 10, 202};
    Image img = Space(1024, 768, b, {kScoreArea});
    // An explosion with the rocket tumbling away from it, trailing smoke.
    for (int i = 0; i < 7; ++i) {
        float t = i / 6.0f;
        float x = 420 + 230 * t, y = 330 + 70 * t * t;
        FillShape(
            img, x - 40, y - 40, x + 40, y + 40, Hex(60, 50, 60),
            [&](float px, float py) { return SdCircle(px, py, x, y, 10 + 18 * t); }, 0.35f);
    }
    Rng rng{77};
    for (int i = 0; i < 40; ++i) {
        float a = Range(rng, 0, 2 * kPi), r = Range(rng, 40, 150);
        float x = 400 + std::cos(a) * r, y = 330 + std::sin(a) * r * 0.8f;
        float s = Range(rng, 1.5f, 4.5f);
        FillShape(img, x - s, y - s, x + s, y + s, Hex(120, 110, 120),
                  [&](float px, float py) { return SdCircle(px, py, x, y, s); });
    }
    Star(img, 400, 330, 70, Hex(255, 90, 30), 0.55f);
    Star(img, 400, 330, 36, Hex(255, 170, 60), 0.7f);
    Star(img, 400, 330, 14, Hex(255, 245, 200), 0.9f);
    std::vector<Pt> burst;
    for (int i = 0; i < 24; ++i) {
        float a = 2 * kPi * i / 24, r = (i % 2) ? 55.0f : 120.0f;
        burst.push_back({400 + std::cos(a) * r, 330 + std::sin(a) * r});
    }
    FillShape(
        img, 270, 200, 530, 460, Hex(255, 140, 40), [&](float px, float py) { return SdPolygon(px, py, burst); },
        0.55f);
    DrawRocket(img, 690, 420, 0.6f, 2.3f, false);
    TextLook red{Hex(255, 150, 130), Hex(200, 20, 20), Hex(40, 0, 0), 3, Hex(255, 40, 20), 0.7f, 8};
    Title(img, 512, 70, Text::Face::SansBold, 104, Tr("Verloren"), red);
    TextLook sub{Hex(255, 255, 255), Hex(255, 220, 215), Hex(30, 0, 0), 2, {}, 0, 0};
    Title(img, 512, 214, Text::Face::SansBold, 28, Tr("Geen punten meer over. Probeer het nog eens!"), sub);
    ScorePanel(img, Hex(240, 90, 80));
    ContinueHint(img);
    return img;
}

Image QuitScreen(const Image& rock)
{
    Backdrop b{Hex(24, 36, 70), Hex(16, 26, 54), Hex(60, 110, 150), Hex(80, 90, 140), 0.35f, 1000, 12, 303};
    Image img = Space(1024, 768, b, {kScoreArea});
    // The rocket parked on a small grey moon, engine off.
    Image moon = ScaleSmooth(rock, 300, 300);
    Image mask = BallMask(300);
    PasteMasked(img, moon, mask, 512 - 150, 400);
    DrawRocket(img, 512, 369, 0.62f, -kPi / 2, false);
    TextLook steel{Hex(235, 245, 255), Hex(120, 170, 220), Hex(10, 20, 40), 3, Hex(90, 160, 255), 0.6f, 8};
    Title(img, 512, 70, Text::Face::SansBold, 104, Tr("Gestopt"), steel);
    TextLook sub{Hex(255, 255, 255), Hex(215, 228, 255), Hex(5, 10, 30), 2, {}, 0, 0};
    Title(img, 512, 214, Text::Face::SansBold, 28, Tr("Je hebt het spel verlaten. Tot de volgende keer!"), sub);
    ScorePanel(img, Hex(130, 170, 230));
    ContinueHint(img);
    return img;
}

// ---------------------------------------------------------------------------------------------
// Front end: logo, menu title, explanation, crew cards, blue block, intro text. Their edges use
// the front end's own blue so they sit seamlessly on it.

Image Logo(const Image& planet)
{
    Rgb blue = FrontEndBlue();
    Backdrop b{blue, blue, Hex(60, 90, 200), Hex(130, 60, 170), 0.0f, 140, 3, 404};
    Image img = Space(kLogoW, kLogoH, b, {});
    float pcx = kLogoW / 2.0f, pcy = 128, pr = 88;
    Star(img, pcx, pcy, 60, Hex(255, 130, 40), 0.3f);
    // Fade every edge to the plain background colour so the picture has no visible border.
    for (int y = 0; y < kLogoH; ++y)
        for (int x = 0; x < kLogoW; ++x) {
            float ex = std::min(x, kLogoW - 1 - x) / 60.0f, ey = std::min(y, kLogoH - 1 - y) / 60.0f;
            img.At(x, y) = Mix(blue, img.At(x, y), Smooth(0, 1, std::min(ex, ey)));
        }
    // Orbit: the back half behind the planet, the front half over it.
    auto orbit = [&](float px, float py) {
        float dx = (px - pcx) / 165, dy = (py - pcy - 6) / 40;
        float r = std::sqrt(dx * dx + dy * dy);
        return std::fabs(r - 1) * 40 - 1.6f;
    };
    FillShape(img, 0, 0, static_cast<float>(kLogoW), pcy + 6, Hex(140, 200, 255), orbit, 0.8f);
    Image p = ScaleSmooth(planet, static_cast<int>(2 * pr), static_cast<int>(2 * pr));
    Image pm = BallMask(static_cast<int>(2 * pr));
    PasteMasked(img, p, pm, static_cast<int>(pcx - pr), static_cast<int>(pcy - pr));
    FillShape(img, 0, pcy + 6, static_cast<float>(kLogoW), static_cast<float>(kLogoH), Hex(140, 200, 255), orbit, 0.9f);
    DrawRocket(img, pcx + 150, pcy + 22, 0.33f, -0.25f, true);
    TextLook gold{Hex(255, 246, 200), Hex(255, 150, 40), Hex(40, 16, 0), 4, Hex(255, 160, 60), 0.55f, 7};
    Title(img, kLogoW / 2, 72, Text::Face::SansBold, 96, "KOR", gold);
    TextLook small{Hex(255, 255, 255), Hex(200, 220, 255), Hex(0, 10, 40), 2, {}, 0, 0};
    Title(img, kLogoW / 2, 48, Text::Face::SansBold, 22, "THE", small);
    TextLook silver{Hex(255, 255, 255), Hex(150, 190, 240), Hex(0, 12, 45), 3, Hex(90, 150, 255), 0.6f, 6};
    Title(img, kLogoW / 2, 224, Text::Face::SansBold, 46, "DUDURAD", silver);
    return img;
}

Image MenuTitle()
{
    Rgb blue = FrontEndBlue();
    Image img = Make(220, 50, blue);
    auto plate = [](float px, float py) { return SdRoundBox(px, py, 110, 25, 106, 22, 11); };
    FillShape(img, 0, 0, 220, 50, Hex(20, 60, 140), plate);
    ShadeBox(img, 0, 0, 220, 50, [&](float px, float py, Rgb& c, float& a) {
        float d = plate(px, py);
        a = Cover(d) * 0.5f * Smooth(25, 3, py);
        c = Hex(120, 180, 255);
    });
    FillShape(img, 0, 0, 220, 50, Hex(150, 200, 255),
              [&](float px, float py) { return std::fabs(plate(px, py) + 1.2f) - 1.0f; });
    TextLook look{Hex(255, 255, 255), Hex(200, 225, 255), Hex(0, 20, 60), 2, Hex(120, 190, 255), 0.35f, 4};
    Title(img, 110, 9, Text::Face::SansBold, 24, Tr("HOOFDMENU"), look);
    return img;
}

// A keyboard key with a label or an arrow on it.
void KeyCap(Image& img, float x, float y, float w, const std::string& label, int arrow)
{
    float h = 34;
    auto cap = [&](float px, float py) { return SdRoundBox(px, py, x + w / 2, y + h / 2, w / 2, h / 2, 6); };
    FillShape(img, x - 2, y - 2, x + w + 2, y + h + 4, Hex(5, 10, 30),
              [&](float px, float py) { return cap(px, py - 3); });
    ShadeBox(img, static_cast<int>(x) - 1, static_cast<int>(y) - 1, static_cast<int>(x + w) + 2,
             static_cast<int>(y + h) + 2, [&](float px, float py, Rgb& c, float& a) {
                 a = Cover(cap(px, py));
                 c = Mix(Hex(245, 247, 252), Hex(190, 198, 215), (py - y) / h);
             });
    if (arrow >= 0) {
        // 0 left, 1 right, 2 up, 3 down
        float ax[] = {-1, 1, 0, 0}, ay[] = {0, 0, -1, 1};
        float cx = x + w / 2, cy = y + h / 2, dx = ax[arrow], dy = ay[arrow];
        std::vector<Pt> local = {{9, 0}, {1, 7}, {1, 2.5f}, {-9, 2.5f}, {-9, -2.5f}, {1, -2.5f}, {1, -7}};
        std::vector<Pt> poly;
        for (const Pt& p : local) poly.push_back({cx + dx * p.x - dy * p.y, cy + dy * p.x + dx * p.y});
        FillShape(img, cx - 12, cy - 12, cx + 12, cy + 12, Hex(20, 30, 60),
                  [&](float px, float py) { return SdPolygon(px, py, poly); });
    } else {
        Text::Alpha t = Text::Render(Text::Face::SansBold, 15, label);
        Text::Draw(img, t, static_cast<int>(x + w / 2) - t.w / 2, static_cast<int>(y + h / 2) - t.h / 2,
                   Hex(20, 30, 60));
    }
}

Image Explanation(const Image& hole, const Image& attract, const Image& repel, const Image& rock, const Image& astero,
                  const Image& safe, const Image& deadly)
{
    Rgb blue = FrontEndBlue();
    Backdrop b{Hex(6, 30, 86), blue, Hex(50, 80, 170), Hex(90, 50, 140), 0.25f, 260, 0, 505};
    Image img = Space(800, 550, b, {});
    TextLook gold{Hex(255, 240, 170), Hex(255, 160, 50), Hex(40, 16, 0), 2, Hex(255, 160, 60), 0.4f, 5};
    Title(img, 400, 12, Text::Face::SansBold, 38, Tr("Speluitleg"), gold);

    Panel(img, 24, 70, 776, 142, 0.55f, Hex(255, 190, 90));
    Rgb white = Hex(255, 255, 255), soft = Hex(205, 215, 240), head = Hex(255, 200, 100);
    Text::Write(img, 44, 80, Text::Face::SansBold, 19, Tr("Doel: stuur de raket naar het zwarte gat."), white);
    Text::Write(img, 44, 106, Text::Face::Sans, 15,
                Tr("Gewonnen level: +100 punten.  Verloren poging: \xE2\x88\x92"
                   "20 punten.  Bij 0 punten is het spel voorbij."),
                soft);

    Panel(img, 24, 156, 418, 500, 0.55f, Hex(120, 170, 240));
    Text::Write(img, 44, 166, Text::Face::SansBold, 21, Tr("Besturing"), head);
    struct Key {
        std::string label;
        int arrow;
        float w;
    };
    struct Row {
        std::vector<Key> keys;
        std::string what, more;
    };
    std::vector<Row> rows = {
        {{{"", 0, 38}, {"", 1, 38}}, Tr("Snelheid lager / hoger"), Tr("van 0 tot 500")},
        {{{"", 2, 38}, {"", 3, 38}}, Tr("Richting draaien"), Tr("\xE2\x86\x91 linksom,  \xE2\x86\x93 rechtsom")},
        {{{"Shift", -1, 74}}, Tr("Fijn richten"), Tr("met een pijl: \xC3\xA9\xC3\xA9n stap per druk")},
        {{{Tr("Spatie"), -1, 74}}, Tr("Raket lanceren"), ""},
        {{{"End", -1, 42}, {"R", -1, 24}}, Tr("Level opnieuw beginnen"), ""},
        {{{"P", -1, 74}}, Tr("Pauze / verder spelen"), ""},
        {{{"Esc", -1, 74}}, Tr("Spel stoppen"), ""},
    };
    float y = 198;
    for (const Row& r : rows) {
        float x = 44;
        for (const Key& key : r.keys) {
            KeyCap(img, x, y, key.w, key.label, key.arrow);
            x += key.w + 8;
        }
        int tx = 166;
        if (r.more.empty()) {
            Text::Write(img, tx, static_cast<int>(y) + 6, Text::Face::SansBold, 17, r.what, white);
        } else {
            Text::Write(img, tx, static_cast<int>(y) - 2, Text::Face::SansBold, 17, r.what, white);
            Text::Write(img, tx, static_cast<int>(y) + 19, Text::Face::Sans, 14, r.more, soft);
        }
        y += 42;
    }

    Panel(img, 432, 156, 776, 500, 0.55f, Hex(120, 170, 240));
    Text::Write(img, 452, 166, Text::Face::SansBold, 21, Tr("In de ruimte"), head);
    struct Thing {
        const Image* pic;
        bool round;
        std::string what;
    };
    std::vector<Thing> things = {
        {&hole, true, Tr("Zwart gat: hier moet je heen")},
        {&attract, true, Tr("Oranje planeet: trekt aan")},
        {&repel, true, Tr("Paarse planeet: stoot af")},
        {&rock, true, Tr("Grijze planeet: geen veld")},
        {&astero, true,
         Tr("Planeto\xC3\xAF"
            "de: beweegt en botst")},
        {&safe, false, Tr("Blauwe muur: je kaatst terug")},
        {&deadly, false, Tr("Rode muur: dodelijk!")},
    };
    y = 204;
    for (const Thing& t : things) {
        if (t.round) {
            Image icon = ScaleSmooth(*t.pic, 34, 34);
            PasteMasked(img, icon, BallMask(34), 452, static_cast<int>(y));
        } else {
            Paste(img, ScaleSmooth(*t.pic, 34, 16), 452, static_cast<int>(y) + 9);
        }
        Text::Write(img, 498, static_cast<int>(y) + 7, Text::Face::Sans, 17, t.what, white);
        y += 41;
    }
    Text::WriteCentred(
        img, 400, 506, Text::Face::Sans, 14,
        Tr("M: geluid uit/aan    F11: volledig scherm    F1: hulp    in het menu: L taal, S levels kiezen"), soft);
    Text::WriteCentred(img, 400, 527, Text::Face::Sans, 15,
                       Tr("Het spel begint na tien seconden vanzelf, of meteen met Spatie of Enter. Veel succes!"),
                       Hex(190, 205, 235));
    return img;
}

// Crew avatars: a spacesuit collar, a face and a few features of each person.
struct Crew {
    const char* name;
    const char* role;
    Rgb accent, skin, hair;
    int hairStyle;  // 0 short, 1 beard, 2 bun with goggles, 3 white tufts with glasses
};

void Avatar(Image& img, float cx, float cy, const Crew& c)
{
    // Round backdrop
    FillShape(img, cx - 27, cy - 27, cx + 27, cy + 27, Mix(c.accent, Hex(10, 15, 40), 0.55f),
              [&](float px, float py) { return SdCircle(px, py, cx, cy, 26); });
    auto clipped = [&](float px, float py, float d) { return std::max(d, SdCircle(px, py, cx, cy, 26)); };
    // Suit and collar ring
    FillShape(img, cx - 27, cy, cx + 27, cy + 27, Mix(Hex(230, 232, 240), c.accent, 0.25f),
              [&](float px, float py) { return clipped(px, py, SdRoundBox(px, py, cx, cy + 26, 21, 12, 10)); });
    FillShape(img, cx - 27, cy, cx + 27, cy + 27, c.accent,
              [&](float px, float py) { return clipped(px, py, SdRoundBox(px, py, cx, cy + 15, 12, 3, 3)); });
    // Neck and face
    FillShape(img, cx - 8, cy, cx + 8, cy + 16, c.skin * 0.85f,
              [&](float px, float py) { return SdRoundBox(px, py, cx, cy + 9, 5, 6, 2); });
    auto face = [&](float px, float py) {
        float dx = (px - cx) / 12.5f, dy = (py - (cy - 3)) / 15.0f;
        return (std::sqrt(dx * dx + dy * dy) - 1) * 12.5f;
    };
    if (c.hairStyle == 2)  // bun behind the head
        FillShape(img, cx - 10, cy - 30, cx + 10, cy - 10, c.hair,
                  [&](float px, float py) { return clipped(px, py, SdCircle(px, py, cx + 6, cy - 19, 7)); });
    ShadeBox(img, static_cast<int>(cx) - 15, static_cast<int>(cy) - 20, static_cast<int>(cx) + 15,
             static_cast<int>(cy) + 14, [&](float px, float py, Rgb& col, float& a) {
                 a = Cover(face(px, py));
                 col = c.skin * (1.05f - 0.25f * Clamp01((px - cx + 6) / 22 + (py - cy) / 40));
             });
    // Hair
    if (c.hairStyle == 0 || c.hairStyle == 1 || c.hairStyle == 2)
        FillShape(img, cx - 15, cy - 22, cx + 15, cy - 4, c.hair, [&](float px, float py) {
            return std::max(face(px, py) - 2.0f, (py - (cy - 11)) - 2 * std::sin((px - cx) * 0.5f));
        });
    if (c.hairStyle == 3) {
        FillShape(img, cx - 17, cy - 16, cx - 9, cy + 2, c.hair,
                  [&](float px, float py) { return SdCircle(px, py, cx - 12.5f, cy - 7, 4.5f); });
        FillShape(img, cx + 9, cy - 16, cx + 17, cy + 2, c.hair,
                  [&](float px, float py) { return SdCircle(px, py, cx + 12.5f, cy - 7, 4.5f); });
    }
    if (c.hairStyle == 1)  // beard
        FillShape(img, cx - 14, cy - 2, cx + 14, cy + 14, c.hair, [&](float px, float py) {
            return std::max(face(px, py), -(py - (cy + 2)) + 3 * std::cos((px - cx) * 0.2f));
        });
    // Eyes and mouth
    for (float s : {-1.0f, 1.0f})
        FillShape(img, cx + 5 * s - 3, cy - 6, cx + 5 * s + 3, cy, Hex(25, 25, 40),
                  [&](float px, float py) { return SdCircle(px, py, cx + 5 * s, cy - 3.5f, 1.7f); });
    FillShape(img, cx - 6, cy + 1, cx + 6, cy + 8, Hex(120, 40, 40), [&](float px, float py) {
        float dy = py - (cy + 2.5f), dx = px - cx;
        return std::fabs(std::hypot(dx, dy + 2) - 5) - 0.9f + std::max(0.0f, -(dy - 0.5f)) * 3;
    });
    if (c.hairStyle == 2)  // goggles pushed up on the forehead
        for (float s : {-1.0f, 1.0f})
            FillShape(img, cx + 5 * s - 6, cy - 18, cx + 5 * s + 6, cy - 6, Hex(255, 210, 60),
                      [&](float px, float py) { return std::fabs(SdCircle(px, py, cx + 5 * s, cy - 12, 4)) - 1.3f; });
    if (c.hairStyle == 3)  // round glasses
        for (float s : {-1.0f, 1.0f})
            FillShape(img, cx + 5 * s - 6, cy - 10, cx + 5 * s + 6, cy + 2, Hex(30, 30, 45),
                      [&](float px, float py) { return std::fabs(SdCircle(px, py, cx + 5 * s, cy - 3.5f, 4)) - 0.7f; });
    // Frame ring
    FillShape(img, cx - 28, cy - 28, cx + 28, cy + 28, c.accent,
              [&](float px, float py) { return std::fabs(SdCircle(px, py, cx, cy, 26)) - 1.3f; });
}

Image CrewCard(const Crew& c)
{
    Rgb blue = FrontEndBlue();
    Image img = Make(250, 60, blue);
    auto card = [](float px, float py) { return SdRoundBox(px, py, 125, 30, 123, 28, 9); };
    ShadeBox(img, 0, 0, 250, 60, [&](float px, float py, Rgb& col, float& a) {
        a = Cover(card(px, py));
        col = Mix(Mix(c.accent, Hex(15, 20, 50), 0.45f), Mix(c.accent, Hex(5, 8, 25), 0.8f), px / 250);
        col = col + Rgb{0.06f, 0.06f, 0.08f} * Smooth(30, 4, py);
    });
    FillShape(img, 0, 0, 250, 60, Mix(c.accent, Hex(255, 255, 255), 0.35f),
              [&](float px, float py) { return std::fabs(card(px, py) + 1) - 0.8f; });
    Avatar(img, 32, 30, c);
    Text::Write(img, 68, 5, Text::Face::SansBold, 24, c.name, Hex(255, 255, 255));
    Text::Write(img, 69, 35, Text::Face::Sans, 14, c.role, Mix(c.accent, Hex(255, 255, 255), 0.7f));
    return img;
}

Image BlueBlock()
{
    int w = 220, h = 280;
    Image img = Make(w, h, {});
    auto block = [&](float px, float py) {
        return SdRoundBox(px, py, w / 2.0f, h / 2.0f, w / 2.0f - 1, h / 2.0f - 1, 16);
    };
    Rgb blue = FrontEndBlue();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float px = x + 0.5f, py = y + 0.5f;
            float d = block(px, py);
            Rgb c = Mix(Hex(56, 120, 230), Hex(18, 54, 150), py / h);
            float gloss = Smooth(0.50f, 0.44f, py / h - 0.06f * std::sin(px / w * kPi)) * 0.14f;
            c = c + Rgb{gloss, gloss, gloss};
            c = Mix(c, Hex(150, 200, 255), Smooth(-14, -4, d) * 0.55f);
            c = Mix(c, Hex(10, 30, 90), Smooth(-3, -1, d));
            c = Mix(c, blue, Cover(-d));
            img.At(x, y) = c;
        }
    return img;
}

Image IntroText()
{
    Rgb blue = FrontEndBlue();
    Image img = Make(250, 50, blue);
    TextLook look{Hex(255, 255, 255), Hex(190, 220, 255), Hex(0, 20, 60), 2, Hex(100, 180, 255), 0.55f, 4};
    Title(img, 125, 10, Text::Face::SansBold, 22, Tr("Druk op een toets"), look);
    return img;
}

}  // namespace

std::vector<Picture> DrawAll()
{
    std::vector<Picture> out;
    auto add = [&](const char* name, Image img) { out.push_back({name, std::move(img)}); };

    add("achtergrond.bmp", PlayField());
    struct Dir {
        const char* name;
        int w, h;
        float dx, dy;
    };
    const Dir dirs[] = {{"linksboven", 30, 30, -1, -1}, {"links", 50, 25, -1, 0},     {"linksonder", 30, 30, -1, 1},
                        {"boven", 25, 50, 0, -1},       {"onder", 25, 50, 0, 1},      {"rechtsboven", 30, 30, 1, -1},
                        {"rechts", 50, 25, 1, 0},       {"rechtsonder", 30, 30, 1, 1}};
    for (const Dir& d : dirs) {
        Image pic, mask;
        ArrowPictures(d.w, d.h, d.dx, d.dy, pic, mask);
        add((std::string(d.name) + ".bmp").c_str(), std::move(pic));
        add((std::string(d.name) + "-mask.bmp").c_str(), std::move(mask));
    }
    add("menu.bmp", HudBar());

    Image hole = BlackHole(kBall);
    add("zwartgat.bmp", hole);
    add("zwartgat-mask.bmp", BallMask(kBall));
    Image rocket, rocketMask;
    RocketPictures(rocket, rocketMask);
    add("raket.bmp", rocket);
    add("raket-mask.bmp", rocketMask);
    Image deadly = DeadlyWall(), safe = SafeWall();
    add("roderechthoek.bmp", deadly);
    add("blauwerechthoek.bmp", safe);
    add("rechthoek-mask.bmp", Make(kWall, kWall, {1, 1, 1}));
    Image attract = AttractingPlanet(), repel = RepellingPlanet(), rock = FieldlessPlanet(), astero = Asteroid();
    add("aantrekking.bmp", attract);
    add("afstoting.bmp", repel);
    add("geenveld.bmp", rock);
    add("astero.bmp", astero);
    add("planeet-mask.bmp", BallMask(kBall));

    add("quit_kor.bmp", QuitScreen(rock));
    add("won_kor.bmp", WonScreen(hole));
    add("lost_kor.bmp", LostScreen());

    add("Logo3.bmp", Logo(attract));
    add("Menu1.bmp", MenuTitle());
    add("Speluitleg.bmp", Explanation(hole, attract, repel, rock, astero, safe, deadly));
    const Crew crew[] = {
        {"Yuvik", Tr("Piloot"), Hex(240, 130, 40), Hex(236, 196, 160), Hex(60, 40, 30), 0},
        {"Bramo", Tr("Navigator"), Hex(70, 190, 120), Hex(150, 100, 70), Hex(35, 25, 20), 1},
        {"Tessun", Tr("Technicus"), Hex(230, 190, 50), Hex(245, 210, 180), Hex(200, 80, 40), 2},
        {"Olvek", Tr("Wetenschapper"), Hex(160, 110, 240), Hex(225, 185, 150), Hex(235, 235, 240), 3},
    };
    for (const Crew& c : crew) add((std::string(c.name) + ".bmp").c_str(), CrewCard(c));
    add("blauweBlok.bmp", BlueBlock());
    add("introtekst.bmp", IntroText());
    return out;
}

}  // namespace Pictures
