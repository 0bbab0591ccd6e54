#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "Bodies.hpp"
#include "PhysicsInternal.hpp"
#include "StandardSound/StandardSound.hpp"

namespace physics_test {

inline std::uint32_t gNow = 0;
inline std::uint32_t FakeClock() { return gNow; }

// The face's events, as the sounds the game makes of them.
inline std::vector<StandardSound::SoundEventEn> gEvents;
inline void RecordEvent(Physics::Event e) { gEvents.push_back(static_cast<StandardSound::SoundEventEn>(e)); }

// A fresh face world, a clock the test drives, and a record of the events. The step parts
// are called on the face world by the names the simulation gives them.
struct PhysicsTest : ::testing::Test {
    Physics::ObjectTable Objects{};
    Physics::World& world = Physics::detail::Face();
    std::uint32_t& LastTime = Physics::detail::FaceLastTime();
    float& DeltaTime = world.DeltaTime;
    bool& GameWon = world.GameWon;
    bool& GameOver = world.GameOver;

    void SetUp() override
    {
        gNow = 0;
        Physics::SetClock(&FakeClock);
        world = Physics::World{};
        LastTime = 0;
        gEvents.clear();
        Physics::SetEventSink(&RecordEvent);
        for (auto& o : Objects) {
            o = Physics::NewObj();
        }
    }
    void TearDown() override
    {
        Physics::SetEventSink(nullptr);
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

    // A collision on its own, its events heard as a step's are.
    void HandleCollision(Physics::OBJECT& A, Physics::OBJECT& B)
    {
        world.events.clear();
        Physics::detail::HandleCollision(world, A, B);
        for (const Physics::Event e : world.events) RecordEvent(e);
    }
    void ApplyField(Physics::OBJECT& A, Physics::OBJECT B) { Physics::detail::ApplyField(world, A, B); }
    struct BallRectangle {
        static Physics::VECTOR RewindAndFindCollisionVector(Physics::OBJECT& Ball, Physics::OBJECT& Rectangle)
        {
            return Physics::detail::BallRectangle::RewindAndFindCollisionVector(Physics::detail::Face(), Ball,
                                                                                Rectangle);
        }
    };
};

}  // namespace physics_test
