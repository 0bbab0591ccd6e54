// The search's corner: its progress and result, folded to one line or moved to another corner
// by the player, and moved away by itself from the level's black hole and rocket.
#include <cstdio>
#include <string>

#include "Console/Console.hpp"
#include "Drawing/Geometry.hpp"
#include "EditorInternal.hpp"
#include "Level/Geometry.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Editor {

namespace {

constexpr std::int32_t Width = 384;
constexpr std::int32_t Corners = 4;  // top right, top left, bottom left, bottom right

struct Box {
    std::int32_t x0, y0, x1, y1;
};

Box CornerBox(std::int32_t corner, bool folded)
{
    const std::int32_t height = folded ? 22 : 66;
    const bool right = corner == 0 || corner == 3;
    const bool top = corner < 2;
    const std::int32_t x0 = right ? Drawing::WindowWidth - Width : 0;
    const std::int32_t y0 = top ? 28 : 698 - height;  // below the score line, above the status lines
    return {x0, y0, x0 + Width - 1, y0 + height};
}

bool Covers(const Box& b, const Level::OBJECT& body, const View& view)
{
    const Level::Extents e = Level::ExtentsOf(Viewed(view, body));
    const std::int32_t x0 = Drawing::GetX(e.left), x1 = Drawing::GetX(e.right);
    const std::int32_t y0 = Drawing::GetY(e.top), y1 = Drawing::GetY(e.bottom);
    return std::max(x0, x1) >= b.x0 && std::min(x0, x1) <= b.x1 && std::max(y0, y1) >= b.y0 && std::min(y0, y1) <= b.y1;
}

}  // namespace

std::string RecipeText(const std::string& recipe)
{
    // The search writes the presses in the keys' own names, and this one in words.
    return recipe == "no presses" ? std::string(Console::Tr("geen toetsen")) : recipe;
}

std::int32_t SearchCorner(const Session& s)
{
    // The chosen corner, or the next one that leaves the black hole and the rocket in sight.
    const auto& sections = s.doc.level().sections;
    for (std::int32_t k = 0; k < Corners; ++k) {
        const std::int32_t corner = (s.searchCorner + k) % Corners;
        const Box b = CornerBox(corner, s.searchFolded);
        bool covers = false;
        for (std::size_t i = 0; i < 2 && i < sections.size(); ++i)
            covers = covers || Covers(b, sections[i].body, s.view);
        if (!covers) return corner;
    }
    return s.searchCorner % Corners;
}

void DrawSearch(const Session& s)
{
    const Search::Summary& r = s.search;
    const Box b = CornerBox(SearchCorner(s), s.searchFolded);
    Wimdows::Rectangle(b.x0, b.y0, b.x1, b.y1, 0x461400, true);
    Wimdows::SetFont(0, 0xFFFFFF);
    char line[160];
    if (!r.done) {
        std::snprintf(line, sizeof line, "%s %u%%", Console::Tr("Zoekt winnende schoten:"),
                      r.shots > 0 ? static_cast<unsigned>(100ull * r.shotsDone / r.shots) : 0u);
    } else {
        std::snprintf(line, sizeof line, "%s",
                      r.bothWins > 0 ? Console::Tr("Te winnen") : Console::Tr("NIET te winnen"));
    }
    if (s.searchFolded) {
        Wimdows::Text((std::string(line) + "  (F2)").c_str(), b.x0 + 8, b.y0 + 2);
        return;
    }
    Wimdows::Text(line, b.x0 + 8, b.y0 + 2);
    std::snprintf(line, sizeof line, "%s 10 ms: %u  20 ms: %u  %s: %u", Console::Tr("winnend bij"), r.wins[0],
                  r.wins[1], Console::Tr("beide"), r.bothWins);
    Wimdows::Text(line, b.x0 + 8, b.y0 + 22);
    if (r.done && r.hasBest) {
        Wimdows::Text(
            Console::Printable(std::string(Console::Tr("beste (B): ")) + RecipeText(r.bestRecipe), 60).c_str(),
            b.x0 + 8, b.y0 + 42);
    }
}

}  // namespace Editor
