#include "LevelPictures.hpp"

#include <algorithm>
#include <cstdio>

#include "Scene.hpp"
#include "Wimdows/Raster.hpp"
#include "Wimdows/Wimdows.hpp"

namespace LevelPictures {

namespace {

using Search::Outcome;

constexpr std::uint32_t White = 0xFFFFFF;
constexpr std::uint32_t Grey = 0x909090;

// 0xRRGGBB to the layer's 0x00BBGGRR (the swap is its own inverse).
constexpr std::uint32_t Ref(std::uint32_t rgb) { return Wimdows::Raster::PixelFromColorRef(rgb); }

void Write(const std::string& text, std::int32_t x, std::int32_t y, std::uint32_t colour = White)
{
    Wimdows::SetFont(0, colour);
    Wimdows::Text(text.c_str(), x, y);
}

std::uint32_t TextWidth(const std::string& text)
{
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    Wimdows::GetTextSize(text.c_str(), 0, w, h);
    return w;
}

bool Save(const std::string& file, std::int32_t w, std::int32_t h, std::string& error)
{
    const Png::Image picture = Scene::ToPng(Scene::Capture(0, 0, w, h));
    Scene::Close();
    return Png::Write(file, picture, error);
}

// Trail colours after the first, which is the game's own black path.
constexpr std::uint32_t TrailColours[] = {0xFFE040, 0x40E0FF, 0xFF60FF, 0x60FF60, 0xFFA040};
const char* const TrailNames[] = {"black", "yellow", "cyan", "magenta", "green", "orange"};

}  // namespace

MapLayout Layout(const Search::Grid& grid)
{
    MapLayout m;
    m.left = 120;
    m.top = 90;
    m.cellWidth = std::max<std::int32_t>(1, 720 / static_cast<std::int32_t>(grid.Speeds()));
    m.cellHeight = std::max<std::int32_t>(1, 560 / static_cast<std::int32_t>(grid.Angles()));
    m.width = std::max<std::int32_t>(m.left + m.cellWidth * static_cast<std::int32_t>(grid.Speeds()) + 40, 900);
    m.height = m.top + m.cellHeight * static_cast<std::int32_t>(grid.Angles()) + 80;
    return m;
}

std::uint32_t CellColour(std::uint8_t fine, std::uint8_t coarse)
{
    const auto won = static_cast<std::uint8_t>(Outcome::Won);
    const auto lost = static_cast<std::uint8_t>(Outcome::Lost);
    if (fine == won && coarse == won) {
        return WonBoth;
    }
    if (fine == won || coarse == won) {
        return WonOne;
    }
    if (fine == lost || coarse == lost) {
        return LostColour;
    }
    return FlyingColour;  // still under way, given up early as gone, or at rest
}

bool WriteMap(const std::string& file, const MapInput& in, std::string& error)
{
    const MapLayout m = Layout(in.grid);
    if (!Scene::Open(static_cast<std::uint32_t>(m.width), static_cast<std::uint32_t>(m.height), error)) {
        return false;
    }
    const auto speeds = static_cast<std::int32_t>(in.grid.Speeds());
    const auto angles = static_cast<std::int32_t>(in.grid.Angles());
    auto cellX = [&](std::int32_t s) { return m.left + s * m.cellWidth; };
    auto cellY = [&](std::int32_t a) { return m.top + (angles - 1 - a) * m.cellHeight; };
    std::size_t counts[4] = {0, 0, 0, 0};
    const std::uint32_t colours[4] = {WonBoth, WonOne, LostColour, FlyingColour};

    Wimdows::ClearScreen();
    for (std::int32_t s = 0; s < speeds; ++s) {
        for (std::int32_t a = 0; a < angles; ++a) {
            const std::size_t i =
                static_cast<std::size_t>(s) * static_cast<std::size_t>(angles) + static_cast<std::size_t>(a);
            const std::uint32_t c = CellColour(in.fine[i], in.coarse[i]);
            counts[std::find(colours, colours + 4, c) - colours] += 1;
            Wimdows::Rectangle(cellX(s), cellY(a), cellX(s) + m.cellWidth - 1, cellY(a) + m.cellHeight - 1, Ref(c),
                               true);
        }
    }
    const std::int32_t right = cellX(speeds);
    const std::int32_t bottom = cellY(-1);
    Wimdows::Rectangle(m.left - 1, m.top - 1, right, bottom, Ref(Grey), false);

    // Ticks per 10 presses of the fine keys, labels per 40.
    for (std::uint32_t p = 0; p <= 200; p += 10) {
        if (p % in.grid.speedPresses != 0) {
            continue;
        }
        const std::int32_t x = cellX(static_cast<std::int32_t>(p / in.grid.speedPresses)) + m.cellWidth / 2;
        const bool major = p % 40 == 0;
        Wimdows::Line(x, bottom + 1, x, bottom + (major ? 9 : 4), Ref(Grey));
        if (major) {
            const std::string label = std::to_string(p * 5 / 2);
            Write(label, x - static_cast<std::int32_t>(TextWidth(label) / 2), bottom + 11);
        }
    }
    for (std::uint32_t p = 0; p <= Search::MaxUpPresses; p += 10) {
        if (p % in.grid.anglePresses != 0) {
            continue;
        }
        const std::int32_t y = cellY(static_cast<std::int32_t>(p / in.grid.anglePresses)) + m.cellHeight / 2;
        const bool major = p % 40 == 0;
        Wimdows::Line(m.left - 2, y, m.left - (major ? 10 : 5), y, Ref(Grey));
        if (major) {
            char label[32];
            std::snprintf(label, sizeof label, "%.1f rad", 0.0125 * p);
            Write(label, m.left - 14 - static_cast<std::int32_t>(TextWidth(label)), y - 7);
        }
    }
    Write("speed: a tick every 10 presses of Shift+Right (2.5 each), numbered every 40", m.left, bottom + 30);
    Write("angle: a tick every 10 presses of Shift+Up (0.0125 rad each)", m.left, bottom + 48);
    if (in.hasExample) {
        const std::int32_t x = cellX(static_cast<std::int32_t>(in.example.speed)) + m.cellWidth / 2;
        const std::int32_t y = cellY(static_cast<std::int32_t>(in.example.angle)) + m.cellHeight / 2;
        Wimdows::Line(x - 6, y, x + 6, y, Ref(White));
        Wimdows::Line(x, y - 6, x, y + 6, Ref(White));
    }

    Write(in.title, 10, 8);
    const char* const names[4] = {"won under both step sizes", "won under one", "lost: hit a deadly body",
                                  "still flying after 30 s"};
    std::int32_t x = 10;
    for (int k = 0; k < 4; ++k) {
        Wimdows::Rectangle(x, 34, x + 11, 45, Ref(colours[k]), true);
        const std::string label = std::string(names[k]) + " (" + std::to_string(counts[k]) + ")";
        Write(label, x + 16, 32);
        x += 16 + static_cast<std::int32_t>(TextWidth(label)) + 18;
    }
    Write(in.hasExample ? "+ the example shot" : "no shot wins under both step sizes", 10, 54);
    return Save(file, m.width, m.height, error);
}

std::vector<Search::Example> PickPaths(const std::vector<std::uint8_t>& both, const Search::Grid& grid,
                                       const Search::Example& example, std::size_t count)
{
    const std::uint32_t speeds = grid.Speeds();
    const std::uint32_t angles = grid.Angles();
    std::vector<Search::Example> picked;
    if (count == 0 || both.size() < static_cast<std::size_t>(speeds) * angles) {
        return picked;
    }
    // Winning bands: shots joined through neighbours one grid step apart (the aim wraps round).
    std::vector<std::int32_t> band(both.size(), -1);
    struct Band {
        std::size_t size = 0;
        std::size_t best = 0;  // the shot with the most winning neighbours
        int bestNeighbours = -1;
    };
    std::vector<Band> bands;
    auto at = [&](std::uint32_t s, std::uint32_t a) { return static_cast<std::size_t>(s) * angles + a; };
    for (std::size_t first = 0; first < both.size(); ++first) {
        if (!both[first] || band[first] >= 0) {
            continue;
        }
        const auto id = static_cast<std::int32_t>(bands.size());
        bands.emplace_back();
        std::vector<std::size_t> todo{first};
        band[first] = id;
        while (!todo.empty()) {
            const std::size_t i = todo.back();
            todo.pop_back();
            const auto s = static_cast<std::uint32_t>(i / angles);
            const auto a = static_cast<std::uint32_t>(i % angles);
            int neighbours = 0;
            const std::size_t next[4] = {s > 0 ? at(s - 1, a) : both.size(),
                                         s + 1 < speeds ? at(s + 1, a) : both.size(), at(s, (a + 1) % angles),
                                         at(s, (a + angles - 1) % angles)};
            for (const std::size_t n : next) {
                if (n >= both.size() || !both[n]) {
                    continue;
                }
                ++neighbours;
                if (band[n] < 0) {
                    band[n] = id;
                    todo.push_back(n);
                }
            }
            Band& b = bands[static_cast<std::size_t>(id)];
            b.size += 1;
            if (neighbours > b.bestNeighbours) {
                b.bestNeighbours = neighbours;
                b.best = i;
            }
        }
    }
    const std::size_t exampleAt = at(example.speed, example.angle);
    if (exampleAt < both.size() && both[exampleAt]) {
        picked.push_back(example);
    }
    std::vector<std::size_t> order(bands.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return bands[x].size > bands[y].size; });
    // Paths of other aims first: bands along one aim fly much the same way.
    std::vector<bool> taken(bands.size(), false);
    if (exampleAt < both.size() && band[exampleAt] >= 0) {
        taken[static_cast<std::size_t>(band[exampleAt])] = true;
    }
    for (const bool otherAims : {true, false}) {
        for (const std::size_t b : order) {
            if (picked.size() >= count) {
                return picked;
            }
            const Search::Example shot{static_cast<std::uint32_t>(bands[b].best / angles),
                                       static_cast<std::uint32_t>(bands[b].best % angles)};
            const bool sameAim = std::any_of(picked.begin(), picked.end(), [&](const Search::Example& e) {
                const std::uint32_t gap = shot.angle > e.angle ? shot.angle - e.angle : e.angle - shot.angle;
                return std::min(gap, angles - gap) <= 2;
            });
            if (taken[b] || (otherAims && sameAim)) {
                continue;
            }
            taken[b] = true;
            picked.push_back(shot);
        }
    }
    return picked;
}

bool WritePaths(const std::string& file, const PathsInput& in, std::string& error)
{
    Scene::Frame frame;
    Physics::World held;  // the rocket on its pad, as the game draws it before the shot
    held.level.Objects = in.table;
    Physics::Hold(held);
    frame.table = held.level.Objects;
    frame.N = in.N;
    frame.level = in.level;
    for (std::size_t k = 0; k < in.shots.size() && k < std::size(TrailNames); ++k) {
        const float speed = in.grid.Speed(in.shots[k].speed);
        const float angle = in.grid.Angle(in.shots[k].angle);
        if (k == 0) {
            frame.speed = speed;
            frame.angle = angle;
        }
        Scene::Trail trail;
        trail.colour = k == 0 ? 0 : Ref(TrailColours[k - 1]);
        Search::RunShot(in.table, in.N, 10, speed, angle, false, &trail.points);
        frame.trails.push_back(std::move(trail));
        char line[120];
        std::snprintf(line, sizeof line, "%s: speed %.1f, angle %.4f rad", TrailNames[k], speed, angle);
        frame.caption.push_back(line);
    }
    if (frame.caption.empty()) {
        frame.caption.push_back("no shot wins under both step sizes");
    }
    Png::Image picture;
    return Scene::Draw(frame, false, picture, error) && Png::Write(file, picture, error);
}

}  // namespace LevelPictures
