// The edits a player makes to a level and their undo history.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <functional>

#include "Console/Console.hpp"
#include "Drawing/Geometry.hpp"
#include "Editor/Editor.hpp"
#include "Level/Geometry.hpp"

namespace Editor {

namespace {

using Level::SHAPE;

// The values Tab visits are the file's numbers, in its order.
static_assert(static_cast<int>(Value::Field) == static_cast<int>(Level::Property::Field));

struct StepSize {
    float coarse;
    float fine;
};
// In the order of Value.
constexpr StepSize Steps[] = {{10.0f, 1.0f}, {10.0f, 1.0f}, {5.0f, 1.0f}, {5.0f, 1.0f},
                              {10.0f, 1.0f}, {10.0f, 1.0f}, {1.0f, 0.1f}, {50000.0f, 5000.0f}};

// How far from its outline a click still picks a body, in pixels: thin walls stay easy to catch.
constexpr float PickReach = 3.0f;

Level::Property PropertyOf(Value value) { return static_cast<Level::Property>(value); }

bool SameBody(const Level::OBJECT& a, const Level::OBJECT& b)
{
    return a.Type == b.Type && a.Position.x == b.Position.x && a.Position.y == b.Position.y &&
           a.Dimension.x == b.Dimension.x && a.Dimension.y == b.Dimension.y && a.Speed.x == b.Speed.x &&
           a.Speed.y == b.Speed.y && a.Mass == b.Mass && a.Field == b.Field &&
           a.GameOverOnCollision == b.GameOverOnCollision;
}

}  // namespace

bool HasHeight(SHAPE shape)
{
    switch (shape) {
        case SHAPE::Ball:
            return false;
        case SHAPE::Rectangle:
            return true;
    }
    return false;
}

const char* ValueName(Value value, const Level::OBJECT& body)
{
    if (value >= Value::Count) return "";
    return Level::KeyOf(PropertyOf(value), body.Type);
}

Level::OBJECT Stepped(const Level::OBJECT& body, Value value, int direction, bool fine)
{
    if (value >= Value::Count) return body;
    Level::OBJECT o = body;
    const std::size_t i = static_cast<std::size_t>(value);
    const float step = fine ? Steps[i].fine : Steps[i].coarse;
    float& v = *Level::FieldOf(o, PropertyOf(value));
    v += static_cast<float>(direction) * step;
    // Sizes and masses below 0 break the pictures and the physics.
    if (value == Value::Width || value == Value::Height || value == Value::Mass) v = std::max(0.0f, v);
    if (std::fabs(v) < step * 0.5f) v = 0.0f;  // stepping back to 0 lands on it exactly
    return Level::Storable(o);
}

bool Typed(const Level::OBJECT& body, Value value, std::string_view text, Level::OBJECT& out, std::string& why)
{
    if (value >= Value::Count) return false;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    float v = 0.0f;
    // The file's own grammar: what is typed is what a level maker could write in the file.
    if (!Level::ReadNumber(text, v)) {
        why = Console::Tr("geen getal zoals het bestand ze schrijft (zoals -12.5)");
        return false;
    }
    if (std::fabs(v) >= FLT_MAX) {
        why = Console::Tr("te groot voor het bestand");
        return false;
    }
    const bool size = value == Value::Width || value == Value::Height;
    if (value == Value::Height && !HasHeight(body.Type)) {
        why = Console::Tr("een bal heeft geen hoogte");
        return false;
    }
    if ((size || value == Value::Mass) && v < 0.0f) {
        why = Console::Tr("kan niet negatief zijn");
        return false;
    }
    // The reader cuts larger sizes: the file could not give it back.
    const float most = HasHeight(body.Type) ? Level::MaxSide : Level::MaxRadius;
    if (size && v > most) {
        why = std::string(Console::Tr("te groot: hoogstens")) + " " + Level::NumberText(most);
        return false;
    }
    Level::OBJECT o = body;
    *Level::FieldOf(o, PropertyOf(value)) = v;
    o = Level::Storable(o);
    if (*Level::FieldOf(o, PropertyOf(value)) != v) {
        why = Console::Tr("te dicht bij 0: het bestand schrijft 0");
        return false;
    }
    out = o;
    return true;
}

const char* AnchorText(const Level::OBJECT& body)
{
    return HasHeight(body.Type) ? Console::Tr("plaats = linkeronderhoek") : Console::Tr("plaats = middelpunt");
}

Level::OBJECT Resized(const Level::OBJECT& body, int direction, bool height)
{
    const bool tall = height && HasHeight(body.Type);
    return Stepped(body, tall ? Value::Height : Value::Width, direction, false);
}

Level::Section NewBodyAt(std::size_t index, float x, float y)
{
    Level::Section s;
    s.body.Position = {std::round(x), std::round(y)};
    if (index == 0) {
        s.body.Dimension = {50.0f, 0.0f};  // the black hole
    } else if (index == 1) {
        s.body.Dimension = {12.0f, 0.0f};  // the rocket
        s.body.Mass = 1.0f;
    } else {
        s.body = Level::WithKind(s.body, Level::Kind::Attracting);
        s.body.Dimension = {30.0f, 0.0f};
    }
    return s;
}

int BodyAt(const Level::File& level, std::int32_t x, std::int32_t y, const View& view)
{
    const Level::VECTOR p = WorldAt(view, x, y);
    const float reach = PickReach / view.zoom;  // the same few pixels at any zoom
    for (int i = static_cast<int>(level.sections.size()) - 1; i >= 0; --i) {
        if (Level::Touches(level.sections[static_cast<std::size_t>(i)].body, p, reach)) return i;
    }
    return -1;
}

std::string FieldsText(const Level::File& level, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= level.sections.size()) return "";
    // The section as the file will hold it, on one line.
    Level::File one;
    one.sections.push_back(level.sections[static_cast<std::size_t>(index)]);
    one.sections.back().comments.clear();
    one.sections.back().inner.clear();
    std::string text = Level::Text(one);
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    const char* role = index == 0 ? Console::Tr("zwart gat")
                       : index == 1
                           ? Console::Tr("raket")
                           : Level::KindName(Level::KindOf(level.sections[static_cast<std::size_t>(index)].body));
    return std::to_string(index) + " " + role + ": " + text;
}

std::string Missing(const Level::File& level)
{
    switch (level.sections.size()) {
        case 0:
            return Console::Tr("Geen zwart gat en geen raket: N zet eerst het zwarte gat, dan de raket bij de muis");
        case 1:
            return Console::Tr("Geen raket: N zet de raket bij de muis");
        default:
            return "";
    }
}

// ---- Document ----

Document::Document(Level::File level) : level_(std::move(level))
{
    if (level_.sections.size() > Level::TableLength) level_.sections.resize(Level::TableLength);
}

void Document::Apply(const Edit& edit, bool forward)
{
    auto& sections = level_.sections;
    const auto at = sections.begin() + edit.index;
    switch (edit.op) {
        case Op::Change:
            at->body = forward ? edit.after : edit.before;
            break;
        case Op::Insert:
            if (forward)
                sections.insert(at, edit.section);
            else
                sections.erase(at);
            break;
        case Op::Erase:
            if (forward)
                sections.erase(at);
            else
                sections.insert(at, edit.section);
            break;
    }
    ++version_;
}

void Document::Change(int index, const Level::OBJECT& body, bool merge)
{
    if (index < 0 || static_cast<std::size_t>(index) >= level_.sections.size()) return;
    const Level::OBJECT after = Level::Storable(body);
    Level::OBJECT& current = level_.sections[static_cast<std::size_t>(index)].body;
    if (SameBody(current, after)) return;
    if (merge && open_ && !done_.empty() && done_.back().op == Op::Change && done_.back().index == index &&
        done_.size() != savedAt_) {
        done_.back().after = after;
        current = after;
        ++version_;
        return;
    }
    if (savedAt_ > done_.size()) savedLost_ = true;
    undone_.clear();
    done_.push_back(Edit{Op::Change, index, current, after, {}});
    current = after;
    open_ = merge;
    ++version_;
}

bool Document::Add(const Level::Section& section)
{
    if (level_.sections.size() >= Level::TableLength) return false;
    Level::Section s = section;
    s.body = Level::Storable(section.body);
    if (savedAt_ > done_.size()) savedLost_ = true;
    undone_.clear();
    done_.push_back(Edit{Op::Insert, static_cast<int>(level_.sections.size()), {}, {}, std::move(s)});
    Apply(done_.back(), true);
    open_ = false;
    return true;
}

bool Document::Remove(int index)
{
    if (index < 2 || static_cast<std::size_t>(index) >= level_.sections.size()) return false;
    if (savedAt_ > done_.size()) savedLost_ = true;
    undone_.clear();
    done_.push_back(Edit{Op::Erase, index, {}, {}, level_.sections[static_cast<std::size_t>(index)]});
    Apply(done_.back(), true);
    open_ = false;
    return true;
}

void Document::ChangeMany(const std::vector<std::pair<int, Level::OBJECT>>& bodies, bool merge)
{
    const std::size_t n = bodies.size();
    for (const auto& [index, body] : bodies)
        if (index < 0 || static_cast<std::size_t>(index) >= level_.sections.size()) return;
    if (n == 1) Change(bodies[0].first, bodies[0].second, merge);
    if (n <= 1) return;
    bool same = merge && open_ && done_.size() >= n && done_.size() - n >= savedAt_;
    for (std::size_t k = 0; same && k < n; ++k) {
        const Edit& e = done_[done_.size() - n + k];
        same = e.op == Op::Change && e.index == bodies[k].first && e.joined == (k > 0);
    }
    if (same) {
        for (std::size_t k = 0; k < n; ++k) {
            Edit& e = done_[done_.size() - n + k];
            e.after = Level::Storable(bodies[k].second);
            level_.sections[static_cast<std::size_t>(e.index)].body = e.after;
        }
        ++version_;
        return;
    }
    bool differs = false;
    for (const auto& [index, body] : bodies)
        differs = differs || !SameBody(level_.sections[static_cast<std::size_t>(index)].body, Level::Storable(body));
    if (!differs) return;
    if (savedAt_ > done_.size()) savedLost_ = true;
    undone_.clear();
    for (std::size_t k = 0; k < n; ++k) {
        Level::OBJECT& current = level_.sections[static_cast<std::size_t>(bodies[k].first)].body;
        done_.push_back(Edit{Op::Change, bodies[k].first, current, Level::Storable(bodies[k].second), {}, k > 0});
        current = done_.back().after;
    }
    open_ = merge;
    ++version_;
}

std::size_t Document::AddMany(const std::vector<Level::Section>& sections)
{
    std::size_t added = 0;
    for (const Level::Section& section : sections) {
        if (!Add(section)) break;
        done_.back().joined = added++ > 0;
    }
    return added;
}

std::size_t Document::RemoveMany(std::vector<int> indexes)
{
    // From the last, so the indexes still to go keep their bodies.
    std::sort(indexes.begin(), indexes.end(), std::greater<>());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    std::size_t removed = 0;
    for (const int index : indexes) {
        if (!Remove(index)) continue;
        done_.back().joined = removed++ > 0;
    }
    return removed;
}

bool Document::Undo()
{
    if (done_.empty()) return false;
    bool more = false;
    do {
        more = done_.back().joined;
        Apply(done_.back(), false);
        undone_.push_back(std::move(done_.back()));
        done_.pop_back();
    } while (more && !done_.empty());
    open_ = false;
    return true;
}

bool Document::Redo()
{
    if (undone_.empty()) return false;
    do {
        Apply(undone_.back(), true);
        done_.push_back(std::move(undone_.back()));
        undone_.pop_back();
    } while (!undone_.empty() && undone_.back().joined);
    open_ = false;
    return true;
}

std::string Document::Describe(const Edit& edit)
{
    const std::string body = std::string(Console::Tr("lichaam")) + " " + std::to_string(edit.index);
    switch (edit.op) {
        case Op::Insert:
            return body + " " + Console::Tr("toegevoegd");
        case Op::Erase:
            return body + " " + Console::Tr("verwijderd");
        case Op::Change:
            break;
    }
    // The file's keys of the values that changed.
    std::string keys;
    Level::OBJECT before = edit.before, after = edit.after;
    for (int p = 0; p <= static_cast<int>(Level::Property::Deadly); ++p) {
        const auto property = static_cast<Level::Property>(p);
        const float* a = Level::FieldOf(before, property);
        const float* b = Level::FieldOf(after, property);
        const bool changed = a == nullptr ? before.GameOverOnCollision != after.GameOverOnCollision : *a != *b;
        if (!changed) continue;
        if (!keys.empty()) keys += ", ";
        keys += Level::KeyOf(property, after.Type);
    }
    if (before.Type != after.Type) keys = Console::Tr("soort");
    return (keys.empty() ? std::string() : keys + " " + Console::Tr("van") + " ") + body;
}

std::string Document::UndoText() const
{
    if (done_.empty()) return "";
    std::size_t n = 1;
    while (n < done_.size() && done_[done_.size() - n].joined) ++n;
    return n == 1 ? Describe(done_.back())
                  : std::to_string(n) + " " + Console::Tr("lichamen") + ": " + Describe(done_.back());
}

std::string Document::RedoText() const
{
    if (undone_.empty()) return "";
    std::size_t n = 1;
    while (n < undone_.size() && undone_[undone_.size() - 1 - n].joined) ++n;
    return n == 1 ? Describe(undone_.back())
                  : std::to_string(n) + " " + Console::Tr("lichamen") + ": " + Describe(undone_.back());
}

void Document::MarkSaved()
{
    savedAt_ = done_.size();
    savedLost_ = false;
    open_ = false;
}

}  // namespace Editor
