#include "Scene.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "Drawing/Drawing.hpp"
#include "Drawing/Geometry.hpp"
#include "Level/Geometry.hpp"
#include "Path/Path.hpp"
#include "Wimdows/Wimdows.hpp"
#include "Wimdows/WimdowsTesting.hpp"

namespace Scene {

namespace {

namespace fs = std::filesystem;
namespace R = Wimdows::Raster;
using Drawing::GetX64;
using Drawing::GetY64;

constexpr std::int32_t W = Drawing::WindowWidth;
constexpr std::int32_t H = Drawing::WindowHeight;
constexpr std::uint32_t White = 0xFFFFFF;

fs::path OwnFolder()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self.parent_path();
}

struct Box {
    std::int64_t x0 = 0, y0 = 0, x1 = W, y1 = H;  // x1, y1 excluded
};

void DrawTrail(const R::Surface& s, const std::vector<std::int64_t>& xs, const std::vector<std::int64_t>& ys,
               std::uint32_t pixel)
{
    R::PenPos pos;
    const R::Pen pen{R::PEN_DOT, pixel};
    for (std::size_t i = 0; i < xs.size(); ++i) {
        const auto x = static_cast<std::int32_t>(std::clamp<std::int64_t>(xs[i], -1000000, 1000000));
        const auto y = static_cast<std::int32_t>(std::clamp<std::int64_t>(ys[i], -1000000, 1000000));
        if (i == 0) {
            R::PenMoveTo(pos, x, y);
        } else {
            R::PenLineTo(s, pen, pos, x, y);
        }
    }
}

// The caption as the window layer writes it: white text on black, cut to its size.
R::Image CaptionPicture(const std::vector<std::string>& lines)
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint32_t> heights;
    for (const std::string& line : lines) {
        std::uint32_t w = 0;
        std::uint32_t h = 0;
        Wimdows::GetTextSize(line.c_str(), 0, w, h);
        width = std::max(width, w);
        heights.push_back(h);
        height += h;
    }
    width = std::min<std::uint32_t>(width, W);
    height = std::min<std::uint32_t>(height, H);
    Wimdows::ClearScreen();
    Wimdows::SetFont(0, White);
    std::int32_t y = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        Wimdows::Text(lines[i].c_str(), 0, y);
        y += static_cast<std::int32_t>(heights[i]);
    }
    return Capture(0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
}

void WriteCaption(const std::vector<std::string>& lines)
{
    std::uint32_t total = 0;
    std::vector<std::uint32_t> widths;
    std::vector<std::uint32_t> heights;
    for (const std::string& line : lines) {
        std::uint32_t w = 0;
        std::uint32_t h = 0;
        Wimdows::GetTextSize(line.c_str(), 0, w, h);
        widths.push_back(w);
        heights.push_back(h);
        total += h;
    }
    Wimdows::SetFont(0, White);
    auto y = static_cast<std::int32_t>(H - 8 - total);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        Wimdows::Text(lines[i].c_str(), W - 10 - static_cast<std::int32_t>(widths[i]), y);
        y += static_cast<std::int32_t>(heights[i]);
    }
}

}  // namespace

bool HasPictures(const std::string& dir)
{
    std::error_code ec;
    return fs::is_regular_file(fs::path(dir) / "graphics" / "achtergrond.bmp", ec);
}

std::string FindDataDir(const std::string& levelFile, const std::string& given)
{
    if (!given.empty()) {
        return HasPictures(given) ? given : std::string();
    }
    std::error_code ec;
    const fs::path level = fs::absolute(levelFile, ec).parent_path();
    const fs::path own = OwnFolder();
    const fs::path candidates[] = {level.parent_path(), level, fs::current_path(ec), own.parent_path(),
                                   own.parent_path() / "share" / "games" / "kor-dudurad"};
    for (const fs::path& c : candidates) {
        if (!c.empty() && HasPictures(c.string())) {
            return c.string();
        }
    }
    return {};
}

bool Open(std::uint32_t w, std::uint32_t h, std::string& error)
{
    // Set before the window layer starts SDL: the environment wins over its own choice.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Wimdows::Init();
    Path::Init();
    Wimdows::Window("kor-tools", w, h);
    if (Wimdows::State() != Wimdows::STATE_ACTIVE) {
        error = "the off-screen window could not be opened";
        return false;
    }
    Wimdows::SetBuffering(true);
    return true;
}

void Close() { Wimdows::KillWindow(); }

R::Image Capture(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h)
{
    R::Image image;
    if (!R::MakeImage(image, std::max(w, 1), std::max(h, 1))) {
        return image;
    }
    for (std::int32_t row = 0; row < h; ++row) {
        for (std::int32_t col = 0; col < w; ++col) {
            std::uint32_t colour = 0;
            if (Wimdows::Testing::ReadBackBuffer(x + col, y + row, colour)) {
                image.pixels[static_cast<std::size_t>(row) * w + col] = R::PixelFromColorRef(colour);
            }
        }
    }
    return image;
}

Png::Image ToPng(const R::Image& image)
{
    Png::Image out;
    out.width = image.width;
    out.height = image.height;
    out.channels = 3;
    out.pixels.reserve(image.pixels.size() * 3);
    for (const std::uint32_t p : image.pixels) {
        out.pixels.push_back(static_cast<std::uint8_t>(p >> 16));
        out.pixels.push_back(static_cast<std::uint8_t>(p >> 8));
        out.pixels.push_back(static_cast<std::uint8_t>(p));
    }
    return out;
}

bool Draw(const Frame& frame, bool fit, Png::Image& out, std::string& error)
{
    if (!Open(W, H, error)) {
        return false;
    }
    Level::ObjectTable table = frame.table;
    Drawing::LoadGraph(table, frame.N);

    // The first trail goes through the game's own path, so it looks as in the game.
    Drawing::StopRecordingPath();
    Path::Clear();
    if (!frame.trails.empty()) {
        for (const Level::VECTOR& p : frame.trails[0].points) {
            Path::Add(Drawing::GetX(p.x), Drawing::GetY(p.y));
        }
    }
    Drawing::Draw(table, frame.N, frame.level, 100, frame.angle, frame.speed, 0.0f, 0.0f);
    Path::Clear();

    // The others as dots of their own colour, in window coordinates.
    std::vector<std::vector<std::int64_t>> xs(frame.trails.size());
    std::vector<std::vector<std::int64_t>> ys(frame.trails.size());
    Box box;
    bool leaves = false;
    for (std::size_t t = 0; t < frame.trails.size(); ++t) {
        for (const Level::VECTOR& p : frame.trails[t].points) {
            const std::int64_t x = GetX64(p.x);
            const std::int64_t y = GetY64(p.y);
            xs[t].push_back(x);
            ys[t].push_back(y);
            leaves = leaves || x < 0 || y < 0 || x >= W || y >= H;
            box.x0 = std::min(box.x0, x);
            box.y0 = std::min(box.y0, y);
            box.x1 = std::max(box.x1, x + 1);
            box.y1 = std::max(box.y1, y + 1);
        }
    }
    // Bodies outside the window are outlined in the zoomed-out picture, in their picture's box.
    std::vector<Box> outside;
    for (std::uint32_t i = 0; i <= std::min<std::uint32_t>(frame.N, Level::TableLength - 1); ++i) {
        const Level::Extents shape = Level::ExtentsOf(frame.table[i]);
        const float w = shape.width;
        const float h = shape.height;
        if (!(w >= 0.0f && h >= 0.0f && w < 1e7f && h < 1e7f)) {
            continue;
        }
        Box b;
        b.x0 = GetX64(shape.left);
        b.y0 = GetY64(shape.top);
        b.x1 = b.x0 + std::llround(w);
        b.y1 = b.y0 + std::llround(h);
        if (b.x0 < 0 || b.y0 < 0 || b.x1 > W || b.y1 > H) {
            outside.push_back(b);
            box.x0 = std::min(box.x0, b.x0);
            box.y0 = std::min(box.y0, b.y0);
            box.x1 = std::max(box.x1, b.x1);
            box.y1 = std::max(box.y1, b.y1);
        }
    }
    for (std::size_t t = 1; t < frame.trails.size(); ++t) {
        const Wimdows::HPEN pen = Wimdows::CreatePen(2, 0, frame.trails[t].colour);
        Wimdows::SelectPen(pen);
        for (std::size_t i = 0; i < xs[t].size(); ++i) {
            const auto x = static_cast<std::int32_t>(std::clamp<std::int64_t>(xs[t][i], -1000000, 1000000));
            const auto y = static_cast<std::int32_t>(std::clamp<std::int64_t>(ys[t][i], -1000000, 1000000));
            if (i == 0) {
                Wimdows::MovePenTo(x, y);
            } else {
                Wimdows::LineTo(x, y);
            }
        }
        Wimdows::DeletePen(pen);
    }

    if (!fit || !leaves) {
        WriteCaption(frame.caption);
        out = ToPng(Capture(0, 0, W, H));
        Drawing::UnloadGraph();
        Close();
        return true;
    }

    // Zoomed out: the window's picture shrunk into its place among the trails.
    const R::Image window = Capture(0, 0, W, H);
    const R::Image caption = CaptionPicture(frame.caption);
    Drawing::UnloadGraph();
    Close();

    constexpr std::int64_t Margin = 24;
    box.x0 -= Margin;
    box.y0 -= Margin;
    box.x1 += Margin;
    box.y1 += Margin;
    const double scale = std::min(static_cast<double>(W) / static_cast<double>(box.x1 - box.x0),
                                  static_cast<double>(H) / static_cast<double>(box.y1 - box.y0));
    const double ox = (W - scale * static_cast<double>(box.x1 - box.x0)) / 2.0;
    const double oy = (H - scale * static_cast<double>(box.y1 - box.y0)) / 2.0;
    auto mapX = [&](std::int64_t x) { return std::llround(ox + scale * static_cast<double>(x - box.x0)); };
    auto mapY = [&](std::int64_t y) { return std::llround(oy + scale * static_cast<double>(y - box.y0)); };

    R::Image canvas;
    R::Image small;
    if (!R::MakeImage(canvas, W, H, 0) ||
        !R::MakeImage(small, std::max<std::int32_t>(1, static_cast<std::int32_t>(mapX(W) - mapX(0))),
                      std::max<std::int32_t>(1, static_cast<std::int32_t>(mapY(H) - mapY(0))))) {
        error = "out of memory";
        return false;
    }
    R::Image source = window;
    R::ScaleSmooth(R::View(small), R::View(source));
    const R::Surface view = R::View(canvas);
    const auto fx = static_cast<std::int32_t>(mapX(0));
    const auto fy = static_cast<std::int32_t>(mapY(0));
    R::Copy(view, fx, fy, R::View(small));
    R::FrameRect(view, fx - 1, fy - 1, fx + small.width, fy + small.height, 0x808080);
    for (const Box& b : outside) {
        auto clampX = [&](std::int64_t x) {
            return static_cast<std::int32_t>(std::clamp<std::int64_t>(mapX(x), -1, W));
        };
        auto clampY = [&](std::int64_t y) {
            return static_cast<std::int32_t>(std::clamp<std::int64_t>(mapY(y), -1, H));
        };
        R::FrameRect(view, clampX(b.x0), clampY(b.y0), std::max(clampX(b.x0), clampX(b.x1) - 1),
                     std::max(clampY(b.y0), clampY(b.y1) - 1), 0xB0B0B0);
    }
    for (std::size_t t = 0; t < frame.trails.size(); ++t) {
        std::vector<std::int64_t> mx;
        std::vector<std::int64_t> my;
        for (std::size_t i = 0; i < xs[t].size(); ++i) {
            mx.push_back(mapX(xs[t][i]));
            my.push_back(mapY(ys[t][i]));
        }
        // The game's own path is black, which the dark surround would hide.
        DrawTrail(view, mx, my, t == 0 ? 0xFFFFFF : R::PixelFromColorRef(frame.trails[t].colour));
    }
    R::Image cap = caption;
    R::Copy(view, W - 10 - cap.width, H - 8 - cap.height, R::View(cap));
    out = ToPng(canvas);
    return true;
}

std::uint32_t LevelNumber(const std::string& path)
{
    const std::string name = fs::path(path).filename().string();
    const std::string digits = name.size() > 10 ? name.substr(6, name.size() - 10) : std::string();
    if (name.rfind("level-", 0) != 0 || !name.ends_with(".txt") || digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    return static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 10));
}

}  // namespace Scene
