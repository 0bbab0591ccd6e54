// The properties panel: every value of the selected body in full, and values typed into it
// (the window layer's typed text, so any keyboard layout gives its own characters).
#include <string>

#include "Console/Console.hpp"
#include "Drawing/Geometry.hpp"
#include "EditorInternal.hpp"
#include "Level/Geometry.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Editor {

namespace {

using namespace Wimdows::VirtualKeys;

// Row 0 the kind, then one row per Value, then deadly.
constexpr std::int32_t Rows = static_cast<std::int32_t>(Value::Count) + 2;
constexpr std::int32_t RowHeight = 18;
constexpr std::int32_t PanelWidth = 250;
constexpr std::int32_t PanelTop = 110;  // below the search's corner
constexpr std::size_t MaxTyped = 40;

struct Box {
    std::int32_t x0, y0, x1, y1;
};

bool HasSelection(const Session& s)
{
    return s.selected >= 0 && static_cast<std::size_t>(s.selected) < s.doc.level().sections.size();
}

const Level::OBJECT& Selected(const Session& s)
{
    return s.doc.level().sections[static_cast<std::size_t>(s.selected)].body;
}

// On the side away from the selected body, so the panel never hides it.
Box PanelBox(const Session& s)
{
    const bool right = Viewed(s.view, Selected(s).Position).x < 0.0f;
    const std::int32_t x0 = right ? Drawing::WindowWidth - 8 - PanelWidth : 8;
    return {x0, PanelTop, x0 + PanelWidth, PanelTop + 24 + Rows * RowHeight};
}

std::string RoleName(const Session& s)
{
    return s.selected == 0   ? Console::Tr("zwart gat")
           : s.selected == 1 ? Console::Tr("raket")
                             : Level::KindName(Level::KindOf(Selected(s)));
}

std::string RowText(const Session& s, std::int32_t row)
{
    const Level::OBJECT& b = Selected(s);
    if (row == 0) return std::string(Console::Tr("soort")) + ": " + RoleName(s) + (s.selected >= 2 ? "  (K)" : "");
    if (row == Rows - 1) return std::string("GameOverOnCollision = ") + (b.GameOverOnCollision ? "1" : "0") + "  (D)";
    const Value v = static_cast<Value>(row - 1);
    if (v == Value::Height && !HasHeight(b.Type)) return "-";
    Level::OBJECT copy = b;
    std::string text = std::string(ValueName(v, b)) + " = ";
    if (s.typing && s.value == v) return text + s.typed + "_";
    return text + Level::NumberText(*Level::FieldOf(copy, static_cast<Level::Property>(v)));
}

}  // namespace

void DrawProperties(const Session& s)
{
    if (!HasSelection(s)) return;
    const Box b = PanelBox(s);
    Wimdows::Rectangle(b.x0, b.y0, b.x1, b.y1, 0x461400, true);
    Wimdows::Rectangle(b.x0, b.y0, b.x1, b.y1, 0xFFFFFF, false);
    Wimdows::SetFont(0, 0xFFFFFF);
    Wimdows::Text(Console::Printable(std::to_string(s.selected) + "  " + AnchorText(Selected(s)), 40).c_str(), b.x0 + 8,
                  b.y0 + 3);
    for (std::int32_t row = 0; row < Rows; ++row) {
        const std::int32_t y = b.y0 + 22 + row * RowHeight;
        const bool current = row >= 1 && row < Rows - 1 && static_cast<Value>(row - 1) == s.value;
        if (current) Wimdows::Rectangle(b.x0 + 3, y, b.x1 - 3, y + RowHeight - 2, 0x804020, true);
        Wimdows::SetFont(0, current && s.typing ? 0x00FFFF : 0xFFFFFF);
        Wimdows::Text(Console::Printable(RowText(s, row), 40).c_str(), b.x0 + 8, y);
    }
}

bool Session::PanelClick(std::int32_t x, std::int32_t y)
{
    if (!HasSelection(*this)) return false;
    const Box b = PanelBox(*this);
    if (x < b.x0 || x > b.x1 || y < b.y0 || y > b.y1) return false;
    const std::int32_t row = (y - b.y0 - 22) / RowHeight;
    if (y < b.y0 + 22 || row >= Rows) return true;
    if (row == 0) {
        Key(VK_K);
    } else if (row == Rows - 1) {
        Key(VK_D);
    } else {
        value = static_cast<Value>(row - 1);
        StartTyping("");
    }
    return true;
}

void Session::StartTyping(const std::string& first)
{
    if (!HasSelection(*this)) return;
    if (value == Value::Height && !HasHeight(Selected(*this).Type)) {
        Say(Console::Tr("een bal heeft geen hoogte"));
        return;
    }
    typing = true;
    if (!first.empty()) {
        typed = first;
    } else {
        Level::OBJECT copy = Selected(*this);
        typed = Level::NumberText(*Level::FieldOf(copy, static_cast<Level::Property>(value)));
        typedFresh = true;  // the first character typed replaces the value shown
        return;
    }
    typedFresh = false;
}

bool Session::ApplyTyped()
{
    if (!HasSelection(*this)) {
        typing = false;
        return false;
    }
    // Every chosen body takes the value, or none does.
    std::vector<std::pair<int, Level::OBJECT>> changed;
    for (const int i : Chosen()) {
        Level::OBJECT out;
        std::string why;
        if (!Typed(doc.level().sections[static_cast<std::size_t>(i)].body, value, typed, out, why)) {
            Say(std::string(Console::Tr("Niet gezet")) + ": " + Console::Printable(typed, 40) + ": " + why);
            return false;  // still typing, to mend it
        }
        changed.emplace_back(i, out);
    }
    doc.Seal();
    doc.ChangeMany(changed);  // one step to undo
    typing = false;
    return true;
}

void Session::Text(const std::string& utf8)
{
    if (prompt != Prompt::None) {
        PromptText(utf8);
        return;
    }
    for (const char c : utf8) {
        if (typing) {
            if (typedFresh) typed.clear();
            typedFresh = false;
            if (static_cast<unsigned char>(c) >= ' ' && c != 127 && typed.size() < MaxTyped) typed += c;
            continue;
        }
        if (!HasSelection(*this)) continue;
        const Level::OBJECT b = Selected(*this);
        // By the character, whatever key of the layout typed it.
        switch (c) {
            case '+':
            case '-':
                doc.Change(selected, Resized(b, c == '+' ? 1 : -1, false));
                break;
            case '*':
            case '/':
                doc.Change(selected, Resized(b, c == '*' ? 1 : -1, true));
                break;
            default:
                if ((c >= '0' && c <= '9') || c == '.') StartTyping(std::string(1, c));
                break;
        }
    }
}

bool Session::TypingKey(std::uint32_t vk, bool shift)
{
    if (!typing) return false;
    switch (vk) {
        case VK_RETURN:
            Text(Wimdows::TakeText());  // what was typed before Return belongs to the value
            ApplyTyped();
            break;
        case VK_TAB:
            Text(Wimdows::TakeText());
            if (ApplyTyped()) {
                const int count = static_cast<int>(Value::Count);
                value = static_cast<Value>((static_cast<int>(value) + (shift ? count - 1 : 1)) % count);
                if (value == Value::Height && !HasHeight(Selected(*this).Type))
                    value = shift ? Value::Width : Value::SpeedX;
                StartTyping("");
            }
            break;
        case VK_ESCAPE:
            Wimdows::TakeText();
            typing = false;
            Say(Console::Tr("Niet gezet"));
            break;
        case VK_BACK:
            if (typedFresh) typed.clear();
            typedFresh = false;
            while (!typed.empty() && (static_cast<unsigned char>(typed.back()) & 0xC0) == 0x80) typed.pop_back();
            if (!typed.empty()) typed.pop_back();
            break;
        default:
            break;  // the keys of the typed characters do nothing else
    }
    return true;
}

}  // namespace Editor
