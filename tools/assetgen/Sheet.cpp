#include "Sheet.hpp"

#include "Text.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace Sheet {

using namespace Canvas;

namespace {

const Image& Find(const std::vector<Pictures::Picture>& pics, const std::string& name)
{
    for (const auto& p : pics)
        if (p.name == name) return p.image;
    static const Image none = Canvas::Make(8, 8, {1, 0, 1});
    std::fprintf(stderr, "sheet: no picture %s\n", name.c_str());
    return none;
}

// Picture and mask scaled the way the game's bitmap loader would, drawn through the mask.
void Sprite(Image& dst, const Image& pic, const Image& mask, int x, int y, int w, int h)
{
    PasteMasked(dst, ScaleNearest(pic, w, h), ScaleNearest(mask, w, h), x, y);
}

// A black dotted line, two pixels on and two off, as the game draws the flight path.
void DottedPath(Image& img, const std::vector<Pt>& pts)
{
    int count = 0;
    for (std::size_t i = 1; i < pts.size(); ++i) {
        float dx = pts[i].x - pts[i - 1].x, dy = pts[i].y - pts[i - 1].y;
        int steps = static_cast<int>(std::max(std::fabs(dx), std::fabs(dy)));
        for (int s = 0; s < steps; ++s, ++count) {
            if (count % 4 >= 2) continue;
            int x = static_cast<int>(std::lrint(pts[i - 1].x + dx * s / steps));
            int y = static_cast<int>(std::lrint(pts[i - 1].y + dy * s / steps));
            Blend(img, x, y, {0, 0, 0}, 1);
        }
    }
}

void Line(Image& img, float x0, float y0, float x1, float y1, Rgb c)
{
    int steps = static_cast<int>(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0))) + 1;
    for (int s = 0; s <= steps; ++s)
        Blend(img, static_cast<int>(std::lrint(x0 + (x1 - x0) * s / steps)),
              static_cast<int>(std::lrint(y0 + (y1 - y0) * s / steps)), c, 1);
}

// Stand-in for the game's interface font.
void GameText(Image& img, int x, int y, const std::string& s, Rgb c)
{
    Text::Write(img, x, y, Text::Face::Sans, 12, s, c);
}

Image GameMock(const std::vector<Pictures::Picture>& p)
{
    Image img = Find(p, "achtergrond.bmp");
    // A flight path: from the rocket around the orange planet and off to the right.
    std::vector<Pt> path;
    for (int i = 0; i <= 200; ++i) {
        float t = i / 200.0f;
        float x = 112 + 760 * t, y = 534 - 520 * t + 430 * t * t + 60 * std::sin(t * 6);
        path.push_back({x, y});
    }
    DottedPath(img, path);
    auto ball = [&](const char* pic, const char* mask, float wx, float wy, float r) {
        int size = static_cast<int>(std::lrint(2 * r));
        Sprite(img, Find(p, pic), Find(p, mask), static_cast<int>(std::lrint(wx - r)) + 512,
               384 - static_cast<int>(std::lrint(wy + r)), size, size);
    };
    auto wall = [&](const char* pic, float wx, float wy, float w, float h) {
        Sprite(img, Find(p, pic), Find(p, "rechthoek-mask.bmp"), static_cast<int>(wx) + 512,
               384 - static_cast<int>(wy + h), static_cast<int>(w), static_cast<int>(h));
    };
    ball("zwartgat.bmp", "zwartgat-mask.bmp", 380, 200, 30);
    ball("aantrekking.bmp", "planeet-mask.bmp", -100, 80, 50);
    ball("afstoting.bmp", "planeet-mask.bmp", 150, -120, 35);
    ball("geenveld.bmp", "planeet-mask.bmp", 250, 200, 25);
    ball("astero.bmp", "planeet-mask.bmp", 0, -250, 15);
    ball("astero.bmp", "planeet-mask.bmp", -250, 150, 9);
    wall("blauwerechthoek.bmp", -300, 250, 200, 25);
    wall("roderechthoek.bmp", 300, -300, 25, 180);
    wall("roderechthoek.bmp", -40, -180, 120, 16);
    ball("raket.bmp", "raket-mask.bmp", -400, -150, 12);
    // Aiming arrow at speed 250, angle 30 degrees.
    float cx = 112, cy = 534, a = 0.5236f, l = 50, l2 = 40, h2 = std::atan(5 / l2);
    Line(img, cx, cy, cx + l * std::cos(a), cy - l * std::sin(a), {1, 1, 1});
    Line(img, cx + l * std::cos(a), cy - l * std::sin(a), cx + l2 * std::cos(a + h2), cy - l2 * std::sin(a + h2),
         {1, 1, 1});
    Line(img, cx + l * std::cos(a), cy - l * std::sin(a), cx + l2 * std::cos(a - h2), cy - l2 * std::sin(a - h2),
         {1, 1, 1});
    // Off-screen arrows with their distances, where the game puts them.
    Sprite(img, Find(p, "rechts.bmp"), Find(p, "rechts-mask.bmp"), 974, 300, 50, 25);
    GameText(img, 974, 300, "76", {1, 1, 1});
    Sprite(img, Find(p, "onder.bmp"), Find(p, "onder-mask.bmp"), 488, 718, 25, 50);
    GameText(img, 500, 718, "32", {1, 1, 1});
    Sprite(img, Find(p, "rechtsboven.bmp"), Find(p, "rechtsboven-mask.bmp"), 994, 0, 30, 30);
    GameText(img, 994, 30, "140", {1, 1, 1});
    Paste(img, Find(p, "menu.bmp"), 0, 700);
    Rgb black{0, 0, 0}, white{1, 1, 1};
    GameText(img, 20, 720, "Huidige Hoek (\xC2\xB0)", black);
    GameText(img, 120, 720, "30", black);
    GameText(img, 150, 720, "Vorige Hoek (\xC2\xB0)", black);
    GameText(img, 230, 720, "25", black);
    GameText(img, 20, 740, "Huidige Snelheid", black);
    GameText(img, 120, 740, "250", black);
    GameText(img, 150, 740, "Vorige Snelheid", black);
    GameText(img, 230, 740, "240", black);
    GameText(img, 20, 10, "Score", white);
    GameText(img, 55, 10, "180", white);
    GameText(img, 964, 10, "Level", white);
    GameText(img, 994, 10, "3", white);
    return img;
}

Image EndMock(const Image& screen)
{
    Image img = screen;
    Rgb white{1, 1, 1};
    GameText(img, 20, 600, "Highscores", white);
    const char* table[] = {"900", "700", "480", "300", "100"};
    for (int i = 0; i < 5; ++i) GameText(img, 100, 600 + 15 * i, table[i], white);
    GameText(img, 20, 570, "Your score", white);
    GameText(img, 100, 570, "480", white);
    return img;
}

void Button(Image& img, int x, int y, const std::string& label)
{
    FillShape(img, static_cast<float>(x), static_cast<float>(y), x + 80.0f, y + 25.0f, Hex(225, 225, 225),
              [&](float px, float py) { return SdRoundBox(px, py, x + 40.0f, y + 12.5f, 40, 12.5f, 2); });
    Text::WriteCentred(img, x + 40, y + 5, Text::Face::Sans, 12, label, {0, 0, 0});
}

Image MenuMock(const std::vector<Pictures::Picture>& p)
{
    Image img = Canvas::Make(800, 550, Pictures::FrontEndBlue());
    Paste(img, ScaleNearest(Find(p, "Logo3.bmp"), 500, 300), 150, 125);
    Paste(img, ScaleNearest(Find(p, "Menu1.bmp"), 220, 50), 290, 25);
    Button(img, 226, 450, "Speluitleg");
    Button(img, 360, 450, "Start spel");
    Button(img, 492, 450, "Exit");
    return img;
}

Image IntroMock(const std::vector<Pictures::Picture>& p)
{
    Image img = Canvas::Make(800, 550, Pictures::FrontEndBlue());
    Paste(img, ScaleNearest(Find(p, "Logo3.bmp"), 280, 280), 400, 125);
    Paste(img, ScaleNearest(Find(p, "blauweBlok.bmp"), 220, 280), 680, 125);
    const char* crew[] = {"Yuvik.bmp", "Bramo.bmp", "Tessun.bmp", "Olvek.bmp"};
    for (int i = 0; i < 4; ++i) {
        int y = 32 + 125 * i;
        Paste(img, ScaleNearest(Find(p, "blauweBlok.bmp"), 50, 60), 0, y);
        Paste(img, ScaleNearest(Find(p, crew[i]), 250, 60), 50, y);
    }
    Paste(img, ScaleNearest(Find(p, "introtekst.bmp"), 250, 50), 550, 500);
    Sprite(img, Find(p, "raket.bmp"), Find(p, "raket-mask.bmp"), 340, 230, 60, 60);
    Sprite(img, Find(p, "raket.bmp"), Find(p, "raket-mask.bmp"), 520, 400, 60, 60);
    return img;
}

struct Tile {
    Image img;
    std::string label;
};

Image Flow(const std::vector<Tile>& tiles, int width)
{
    const int pad = 14, labelH = 20;
    struct Placed {
        int x, y;
    };
    std::vector<Placed> at;
    int x = pad, y = pad, rowH = 0;
    for (const Tile& t : tiles) {
        int tw = std::max(t.img.w, Text::Width(Text::Face::Sans, 13, t.label));
        if (x + tw + pad > width && x > pad) {
            x = pad;
            y += rowH + labelH + pad;
            rowH = 0;
        }
        at.push_back({x, y});
        x += tw + pad;
        rowH = std::max(rowH, t.img.h);
    }
    Image sheet = Canvas::Make(width, y + rowH + labelH + pad, Hex(44, 44, 48));
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        Paste(sheet, tiles[i].img, at[i].x, at[i].y);
        Text::Write(sheet, at[i].x, at[i].y + tiles[i].img.h + 2, Text::Face::Sans, 13, tiles[i].label,
                    Hex(230, 230, 230));
    }
    return sheet;
}

std::string Dims(const Image& img) { return std::to_string(img.w) + "x" + std::to_string(img.h); }

}  // namespace

Image Make(const std::vector<Pictures::Picture>& p)
{
    std::vector<Tile> tiles;
    tiles.push_back({GameMock(p), "game frame mock-up: achtergrond, bodies, black dotted path, menu.bmp, texts"});
    tiles.push_back({MenuMock(p), "menu mock-up (Logo3 at 500x300, Menu1)"});
    tiles.push_back({IntroMock(p), "intro mock-up (Logo3 at 280x280, blocks, cards, introtekst, raket)"});
    tiles.push_back({Find(p, "Speluitleg.bmp"), "Speluitleg.bmp 800x550"});
    for (const char* end : {"won_kor.bmp", "lost_kor.bmp", "quit_kor.bmp"})
        tiles.push_back({EndMock(Find(p, end)), std::string(end) + " with the score texts"});

    const Rgb grey = Hex(128, 128, 128);
    for (const auto& pic : p) {
        const Image& img = pic.image;
        if (img.w > 600) continue;  // shown above at full size
        tiles.push_back({img, pic.name + " " + Dims(img)});
    }
    // Each picture through its mask on mid-grey: the mask must line up with the picture.
    struct Pair {
        std::string pic, mask;
    };
    std::vector<Pair> pairs = {
        {"zwartgat.bmp", "zwartgat-mask.bmp"},       {"raket.bmp", "raket-mask.bmp"},
        {"aantrekking.bmp", "planeet-mask.bmp"},     {"afstoting.bmp", "planeet-mask.bmp"},
        {"geenveld.bmp", "planeet-mask.bmp"},        {"astero.bmp", "planeet-mask.bmp"},
        {"roderechthoek.bmp", "rechthoek-mask.bmp"}, {"blauwerechthoek.bmp", "rechthoek-mask.bmp"}};
    for (const char* d :
         {"linksboven", "links", "linksonder", "boven", "onder", "rechtsboven", "rechts", "rechtsonder"})
        pairs.push_back({std::string(d) + ".bmp", std::string(d) + "-mask.bmp"});
    for (const Pair& pr : pairs) {
        const Image& img = Find(p, pr.pic);
        Image t = Canvas::Make(img.w + 8, img.h + 8, grey);
        PasteMasked(t, img, Find(p, pr.mask), 4, 4);
        tiles.push_back({t, pr.pic + " via mask"});
    }
    // Bodies at the sizes levels give them, on the play field.
    const Image& field = Find(p, "achtergrond.bmp");
    for (const Pair& pr : std::vector<Pair>(pairs.begin(), pairs.begin() + 6)) {
        Image t = Canvas::Make(250, 90, {});
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 250; ++x) t.At(x, y) = field.At(300 + x, 200 + y);
        int x = 6;
        for (int s : {16, 24, 36, 52, 76}) {
            Sprite(t, Find(p, pr.pic), Find(p, pr.mask), x, 45 - s / 2, s, s);
            x += s + 8;
        }
        tiles.push_back({t, pr.pic + " at 16..76 px"});
    }
    Image walls = Canvas::Make(330, 150, {});
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 330; ++x) walls.At(x, y) = field.At(500 + x, 420 + y);
    Sprite(walls, Find(p, "blauwerechthoek.bmp"), Find(p, "rechthoek-mask.bmp"), 10, 10, 200, 24);
    Sprite(walls, Find(p, "roderechthoek.bmp"), Find(p, "rechthoek-mask.bmp"), 10, 60, 160, 18);
    Sprite(walls, Find(p, "roderechthoek.bmp"), Find(p, "rechthoek-mask.bmp"), 230, 10, 24, 130);
    Sprite(walls, Find(p, "blauwerechthoek.bmp"), Find(p, "rechthoek-mask.bmp"), 280, 10, 30, 130);
    Sprite(walls, Find(p, "blauwerechthoek.bmp"), Find(p, "rechthoek-mask.bmp"), 10, 100, 60, 40);
    tiles.push_back({walls, "walls stretched to level sizes"});
    return Flow(tiles, 2100);
}

}  // namespace Sheet
