// Duplicate, copy and paste: bodies go to the system clipboard as level-file text, so they can
// be pasted into another editor's level or taken from a text editor, and come back through the
// level's own reader.
#include <algorithm>
#include <string>

#include "Console/Console.hpp"
#include "EditorInternal.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Editor {

namespace {

// How far beside the original a duplicate lands, in world units (or the grid, when larger).
constexpr float DuplicateOffset = 20.0f;

}  // namespace

std::string ChosenText(const Session& s)
{
    Level::File copy;
    for (const int i : s.Chosen()) copy.sections.push_back(s.doc.level().sections[static_cast<std::size_t>(i)]);
    return copy.sections.empty() ? std::string() : Level::Text(copy);
}

void Session::AddAndChoose(const std::vector<Level::Section>& sections)
{
    const std::size_t first = doc.level().sections.size();
    const std::size_t added = doc.AddMany(sections);
    if (added < sections.size()) Say(Console::Tr("Het level is vol (101 lichamen)"));
    if (added == 0) return;
    group.clear();
    for (std::size_t i = first; i < first + added; ++i) group.push_back(static_cast<int>(i));
    selected = group.back();
    if (group.size() == 1) group.clear();
}

void Session::Duplicate()
{
    const float step = std::max(DuplicateOffset, grid);
    std::vector<Level::Section> copies;
    for (const int i : Chosen()) {
        if (i < 2) continue;  // one black hole and one rocket
        Level::Section copy;
        copy.body = doc.level().sections[static_cast<std::size_t>(i)].body;
        copy.body.Position = {copy.body.Position.x + step, copy.body.Position.y - step};
        copies.push_back(copy);
    }
    if (copies.empty()) {
        Say(Console::Tr("Het zwarte gat en de raket zijn er maar een keer"));
        return;
    }
    AddAndChoose(copies);
}

void Session::Copy()
{
    const std::string text = ChosenText(*this);
    if (text.empty()) return;
    if (Wimdows::SetClipboard(text))
        Say(std::to_string(Chosen().size()) + " " + Console::Tr("lichamen gekopieerd"));
    else
        Say(Console::Tr("Het klembord nam de tekst niet aan"));
}

void Session::Paste()
{
    std::string text;
    if (!Wimdows::GetClipboard(text, Level::MaxFileBytes)) {
        Say(Console::Tr("Geen tekst op het klembord (of meer dan 1 MiB)"));
        return;
    }
    Level::File pasted;
    const Level::Report report = Level::ReadText(text, "clipboard", pasted);
    if (pasted.sections.empty()) {
        Say(Console::Tr("Geen lichamen op het klembord"));
        return;
    }
    AddAndChoose(pasted.sections);
    if (report.badLines + report.badNumbers > 0) Say(Summary(report));
}

}  // namespace Editor
