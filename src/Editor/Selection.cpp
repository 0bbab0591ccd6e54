// Several bodies chosen at once: Shift+click adds or takes away one, a rubber band drawn over
// the background takes all it touches; the group moves, goes and takes a typed value together,
// each as one undo step.
#include <algorithm>

#include "Console/Console.hpp"
#include "Drawing/Geometry.hpp"
#include "EditorInternal.hpp"
#include "Level/Geometry.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Editor {

namespace {

struct PixelBox {
    std::int32_t x0, y0, x1, y1;
};

PixelBox BoxOf(const Level::OBJECT& body, const View& view)
{
    const Level::Extents e = Level::ExtentsOf(Viewed(view, body));
    const std::int32_t x0 = Drawing::GetX(e.left), x1 = Drawing::GetX(e.right);
    const std::int32_t y0 = Drawing::GetY(e.top), y1 = Drawing::GetY(e.bottom);
    return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

}  // namespace

std::vector<int> Session::Chosen() const
{
    const int count = static_cast<int>(doc.level().sections.size());
    std::vector<int> chosen;
    for (const int i : group)
        if (i >= 0 && i < count) chosen.push_back(i);
    if (chosen.empty() && selected >= 0 && selected < count) chosen.push_back(selected);
    return chosen;
}

void Session::Toggle(int index)
{
    if (index < 0) return;
    if (group.empty() && selected >= 0) group.push_back(selected);
    const auto at = std::find(group.begin(), group.end(), index);
    if (at != group.end()) {
        group.erase(at);
        selected = group.empty() ? -1 : group.back();
    } else {
        group.push_back(index);
        selected = index;
    }
    std::sort(group.begin(), group.end());
}

void Session::EndBand()
{
    banding = false;
    const PixelBox band{std::min(bandX0, pointerX), std::min(bandY0, pointerY), std::max(bandX0, pointerX),
                        std::max(bandY0, pointerY)};
    if (band.x1 - band.x0 < 3 && band.y1 - band.y0 < 3) return;  // a click on the background
    group.clear();
    const auto& sections = doc.level().sections;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const PixelBox b = BoxOf(sections[i].body, view);
        if (b.x1 >= band.x0 && b.x0 <= band.x1 && b.y1 >= band.y0 && b.y0 <= band.y1)
            group.push_back(static_cast<int>(i));
    }
    selected = group.empty() ? -1 : group.back();
    if (group.size() == 1) group.clear();
}

void Session::MoveChosen(float x, float y)
{
    if (selected < 0 || static_cast<std::size_t>(selected) >= doc.level().sections.size()) return;
    const Level::OBJECT& primary = doc.level().sections[static_cast<std::size_t>(selected)].body;
    const float dx = x - primary.Position.x, dy = y - primary.Position.y;
    std::vector<std::pair<int, Level::OBJECT>> moved;
    for (const int i : Chosen()) {
        Level::OBJECT b = doc.level().sections[static_cast<std::size_t>(i)].body;
        b.Position = {b.Position.x + dx, b.Position.y + dy};
        moved.emplace_back(i, b);
    }
    doc.ChangeMany(moved, true);  // a drag is one step however many moves it has
}

void Session::RemoveChosen()
{
    const std::vector<int> chosen = Chosen();
    const bool keeps = std::any_of(chosen.begin(), chosen.end(), [](int i) { return i < 2; });
    const std::size_t removed = doc.RemoveMany(chosen);
    if (keeps) Say(Console::Tr("Het zwarte gat en de raket blijven: ze kunnen alleen verplaatst worden"));
    if (removed > 0) {
        group.clear();
        selected = -1;
    }
}

void DrawChosen(const Session& s)
{
    for (const int i : s.Chosen()) {
        const PixelBox b = BoxOf(s.doc.level().sections[static_cast<std::size_t>(i)].body, s.view);
        Wimdows::Rectangle(b.x0 - 3, b.y0 - 3, b.x1 + 3, b.y1 + 3, i == s.selected ? 0x00FFFF : 0x00A0A0, false);
    }
    if (s.banding)
        Wimdows::Rectangle(std::min(s.bandX0, s.pointerX), std::min(s.bandY0, s.pointerY),
                           std::max(s.bandX0, s.pointerX), std::max(s.bandY0, s.pointerY), 0xFFFFFF, false);
}

}  // namespace Editor
