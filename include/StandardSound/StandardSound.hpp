// Sound events: one call per audible event of the game.
#pragma once

#include <cstdint>

namespace StandardSound {

enum SoundEventEn : std::uint8_t {
    SHOOT = 0,
    BOUNCE = 1,
    CRASH = 2,
    WIN = 3,
    RESTART = 4,
    OUTROWIN = 5,
    OUTROLOSE = 6,
    OUTROQUIT = 7,
};

bool InitSound(bool asynchronousSound);
void PlaySoundEvent(SoundEventEn e);

// Called with every event before it is played (or not), whether sound is on or off;
// lets tests see which events the game raised. nullptr removes it.
using EventObserver = void (*)(SoundEventEn e);
void SetEventObserver(EventObserver observer);

// All sound off (true) or on again. Events are still reported to the observer but reach
// no device; a sound playing when the sound goes off falls silent. Before Init it also
// keeps the start-up sound quiet.
void SetMuted(bool muted);
bool Muted();

// Module initialiser: InitSound(true) once.
void Init();

}  // namespace StandardSound
