#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "PhysicsInternal.hpp"
#include "StandardSound/StandardSound.hpp"

namespace physics_test {

inline std::uint32_t gNow = 0;
inline std::uint32_t FakeClock() { return gNow; }

inline std::vector<StandardSound::SoundEventEn> gEvents;
inline void RecordEvent(StandardSound::SoundEventEn e) { gEvents.push_back(e); }

inline Physics::OBJECT Ball(float x, float y, float r, float mass = 0.0f)
{
    Physics::OBJECT o = Physics::NewObj();
    o.Position = {x, y};
    o.Dimension = {r, 0.0f};
    o.Mass = mass;
    return o;
}

inline Physics::OBJECT Box(float x, float y, float w, float h, float mass = 0.0f)
{
    Physics::OBJECT o = Physics::NewObj();
    o.Type = Physics::SHAPE::Rectangle;
    o.Position = {x, y};
    o.Dimension = {w, h};
    o.Mass = mass;
    return o;
}

// Fresh module state, a clock the test drives, and a record of the sound events.
struct PhysicsTest : ::testing::Test {
    Physics::ObjectTable Objects{};

    void SetUp() override
    {
        namespace d = Physics::detail;
        gNow = 0;
        Physics::SetClock(&FakeClock);
        d::LastTime = 0;
        d::DeltaTime = 0.0f;
        d::GameWon = false;
        d::GameOver = false;
        d::Active = false;
        d::ShipMass = 0.0f;
        gEvents.clear();
        StandardSound::SetEventObserver(&RecordEvent);
        for (auto& o : Objects) {
            o = Physics::NewObj();
        }
    }
    void TearDown() override
    {
        StandardSound::SetEventObserver(nullptr);
        Physics::SetClock(nullptr);
    }
    // One simulation step that covers ms milliseconds of the clock.
    void Step(std::uint32_t N, std::uint32_t ms = 10)
    {
        gNow += ms;
        Physics::Simulate(Objects, N);
    }
    int Count(StandardSound::SoundEventEn e) const
    {
        int n = 0;
        for (auto x : gEvents) n += x == e ? 1 : 0;
        return n;
    }
};

}  // namespace physics_test
