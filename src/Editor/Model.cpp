// The edits a player makes to a level, their undo history, and what a body is.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Console/Console.hpp"
#include "Drawing/Geometry.hpp"
#include "Editor/Editor.hpp"

namespace Editor {

namespace {

using Physics::SHAPE;

constexpr float PlanetField = 300000.0f;
constexpr float AsteroidMass = 2.0f;

struct StepSize {
    float coarse;
    float fine;
};
// In the order of Value.
constexpr StepSize Steps[] = {{10.0f, 1.0f}, {10.0f, 1.0f}, {5.0f, 1.0f}, {5.0f, 1.0f},
                              {10.0f, 1.0f}, {10.0f, 1.0f}, {1.0f, 0.1f}, {50000.0f, 5000.0f}};

Body AsBall(Body b)
{
    Physics::OBJECT& o = b.object;
    if (o.Type == SHAPE::Rectangle) {
        const float r = std::max(0.0f, std::min(o.Dimension.x, o.Dimension.y) * 0.5f);
        o.Position = {o.Position.x + o.Dimension.x * 0.5f, o.Position.y + o.Dimension.y * 0.5f};
        o.Dimension = {r, 0.0f};
        o.Type = SHAPE::Ball;
    }
    return b;
}

Body AsRectangle(Body b)
{
    Physics::OBJECT& o = b.object;
    if (o.Type == SHAPE::Ball) {
        const float r = o.Dimension.x;
        o.Position = {o.Position.x - r, o.Position.y - r};
        o.Dimension = {2.0f * r, 2.0f * r};
        o.Type = SHAPE::Rectangle;
    }
    return b;
}

}  // namespace

Kind KindOf(const Body& body)
{
    const Physics::OBJECT& o = body.object;
    if (o.Type == SHAPE::Rectangle) return o.GameOverOnCollision ? Kind::DeadlyWall : Kind::Wall;
    if (o.Mass != 0.0f) return Kind::Asteroid;
    if (o.Field > 0.0f) return Kind::Attracting;
    if (o.Field < 0.0f) return Kind::Repelling;
    return Kind::NoField;
}

const char* KindName(Kind kind)
{
    switch (kind) {
        case Kind::Attracting:
            return Console::Tr("planeet (trekt aan)");
        case Kind::Repelling:
            return Console::Tr("planeet (stoot af)");
        case Kind::NoField:
            return Console::Tr("planeet (geen veld)");
        case Kind::Asteroid:
            return Console::Tr("asteroide");
        case Kind::Wall:
            return Console::Tr("muur");
        case Kind::DeadlyWall:
            return Console::Tr("dodelijke muur");
    }
    return "";
}

Kind NextKind(Kind kind) { return static_cast<Kind>((static_cast<int>(kind) + 1) % 6); }

Body WithKind(const Body& body, Kind kind)
{
    const bool wall = kind == Kind::Wall || kind == Kind::DeadlyWall;
    Body b = wall ? AsRectangle(body) : AsBall(body);
    Physics::OBJECT& o = b.object;
    o.GameOverOnCollision = kind == Kind::DeadlyWall;
    const float strength = o.Field != 0.0f ? std::fabs(o.Field) : PlanetField;
    switch (kind) {
        case Kind::Attracting:
        case Kind::Repelling:
            o.Field = kind == Kind::Attracting ? strength : -strength;
            o.Mass = 0.0f;
            o.Speed = {0.0f, 0.0f};
            break;
        case Kind::NoField:
        case Kind::Wall:
        case Kind::DeadlyWall:
            o.Field = 0.0f;
            o.Mass = 0.0f;
            o.Speed = {0.0f, 0.0f};
            break;
        case Kind::Asteroid:
            o.Field = 0.0f;
            o.Mass = o.Mass > 0.0f ? o.Mass : AsteroidMass;
            break;
    }
    return b;
}

const char* ValueName(Value value, const Body& body)
{
    const bool ball = body.object.Type == SHAPE::Ball;
    switch (value) {
        case Value::PositionX:
            return "Position_X";
        case Value::PositionY:
            return "Position_Y";
        case Value::Width:
            return ball ? "Radius" : "Dimension_X";
        case Value::Height:
            return "Dimension_Y";
        case Value::SpeedX:
            return "Speed_X";
        case Value::SpeedY:
            return "Speed_Y";
        case Value::Mass:
            return "Mass";
        case Value::Field:
            return "Field";
        case Value::Count:
            break;
    }
    return "";
}

Body Stepped(const Body& body, Value value, int direction, bool fine)
{
    if (value >= Value::Count) return body;
    Body b = body;
    Physics::OBJECT& o = b.object;
    float* const fields[] = {&o.Position.x, &o.Position.y, &o.Dimension.x, &o.Dimension.y,
                             &o.Speed.x,    &o.Speed.y,    &o.Mass,        &o.Field};
    const std::size_t i = static_cast<std::size_t>(value);
    const float step = fine ? Steps[i].fine : Steps[i].coarse;
    float& v = *fields[i];
    v += static_cast<float>(direction) * step;
    // Sizes and masses below 0 break the pictures and the physics.
    if (value == Value::Width || value == Value::Height || value == Value::Mass) v = std::max(0.0f, v);
    if (std::fabs(v) < step * 0.5f) v = 0.0f;  // stepping back to 0 lands on it exactly
    o = StorableObject(o);
    return b;
}

Body Resized(const Body& body, int direction, bool height)
{
    return Stepped(body, height && body.object.Type == SHAPE::Rectangle ? Value::Height : Value::Width, direction,
                   false);
}

Body NewBodyAt(float x, float y)
{
    Body b;
    b.object.Position = {std::round(x), std::round(y)};
    b.object.Dimension = {30.0f, 0.0f};
    b.object.Field = PlanetField;
    return b;
}

int BodyAt(const Level& level, std::int32_t x, std::int32_t y)
{
    using Drawing::detail::GetX;
    using Drawing::detail::GetY;
    for (int i = static_cast<int>(level.bodies.size()) - 1; i >= 0; --i) {
        const Physics::OBJECT& o = level.bodies[static_cast<std::size_t>(i)].object;
        if (o.Type == SHAPE::Rectangle) {
            const std::int64_t left = GetX(o.Position.x), right = GetX(o.Position.x + o.Dimension.x);
            const std::int64_t top = GetY(o.Position.y + o.Dimension.y), bottom = GetY(o.Position.y);
            // Thin walls stay easy to catch: at least a few pixels either way.
            if (x >= std::min(left, right) - 3 && x <= std::max(left, right) + 3 && y >= std::min(top, bottom) - 3 &&
                y <= std::max(top, bottom) + 3)
                return i;
        } else {
            const double dx = static_cast<double>(x) - GetX(o.Position.x);
            const double dy = static_cast<double>(y) - GetY(o.Position.y);
            const double r = std::max<double>(std::fabs(o.Dimension.x), 6.0);
            if (dx * dx + dy * dy <= r * r) return i;
        }
    }
    return -1;
}

std::string FieldsText(const Level& level, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= level.bodies.size()) return "";
    // The section as the file will hold it, on one line.
    Level one;
    one.bodies.push_back(level.bodies[static_cast<std::size_t>(index)]);
    one.bodies.back().comments.clear();
    std::string text = LevelText(one);
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    const char* role = index == 0   ? "zwart gat"
                       : index == 1 ? "raket"
                                    : KindName(KindOf(level.bodies[static_cast<std::size_t>(index)]));
    return std::to_string(index) + " " + role + ": " + text;
}

// ---- Document ----

Document::Document(Level level) : level_(std::move(level))
{
    if (level_.bodies.size() < 2) level_ = NewLevel();
    if (level_.bodies.size() > MaxBodies) level_.bodies.resize(MaxBodies);
}

void Document::Apply(const Edit& edit, bool forward)
{
    auto& bodies = level_.bodies;
    const auto at = bodies.begin() + edit.index;
    switch (edit.op) {
        case Op::Change:
            *at = forward ? edit.after : edit.before;
            break;
        case Op::Insert:
            if (forward)
                bodies.insert(at, edit.after);
            else
                bodies.erase(at);
            break;
        case Op::Erase:
            if (forward)
                bodies.erase(at);
            else
                bodies.insert(at, edit.before);
            break;
    }
    ++version_;
}

void Document::Change(int index, const Body& body, bool merge)
{
    if (index < 0 || static_cast<std::size_t>(index) >= level_.bodies.size()) return;
    Body after = body;
    after.object = StorableObject(body.object);
    Body& current = level_.bodies[static_cast<std::size_t>(index)];
    if (std::memcmp(&current.object, &after.object, sizeof after.object) == 0 && current.comments == after.comments)
        return;
    if (merge && open_ && !done_.empty() && done_.back().op == Op::Change && done_.back().index == index &&
        done_.size() != savedAt_) {
        done_.back().after = after;
        current = after;
        ++version_;
        return;
    }
    if (savedAt_ > done_.size()) savedLost_ = true;
    undone_.clear();
    done_.push_back(Edit{Op::Change, index, current, after});
    current = after;
    open_ = merge;
    ++version_;
}

bool Document::Add(const Body& body)
{
    if (level_.bodies.size() >= MaxBodies) return false;
    Body b = body;
    b.object = StorableObject(body.object);
    if (savedAt_ > done_.size()) savedLost_ = true;
    undone_.clear();
    done_.push_back(Edit{Op::Insert, static_cast<int>(level_.bodies.size()), Body{}, b});
    Apply(done_.back(), true);
    open_ = false;
    return true;
}

bool Document::Remove(int index)
{
    if (index < 2 || static_cast<std::size_t>(index) >= level_.bodies.size()) return false;
    if (savedAt_ > done_.size()) savedLost_ = true;
    undone_.clear();
    done_.push_back(Edit{Op::Erase, index, level_.bodies[static_cast<std::size_t>(index)], Body{}});
    Apply(done_.back(), true);
    open_ = false;
    return true;
}

bool Document::Undo()
{
    if (done_.empty()) return false;
    Apply(done_.back(), false);
    undone_.push_back(std::move(done_.back()));
    done_.pop_back();
    open_ = false;
    return true;
}

bool Document::Redo()
{
    if (undone_.empty()) return false;
    Apply(undone_.back(), true);
    done_.push_back(std::move(undone_.back()));
    undone_.pop_back();
    open_ = false;
    return true;
}

void Document::MarkSaved()
{
    savedAt_ = done_.size();
    savedLost_ = false;
    open_ = false;
}

}  // namespace Editor
