// Sound events: one call per audible event of the game.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

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
    SoundEventCount  // not an event: the number of them
};

// The game's sounds, the one list of them: the start-up jingle and each event's file, in
// the enum's order. The asset list (tools/assetgen/assets.txt) names the same files, which
// the asset tests hold it to; an event without a file here does not compile.
inline constexpr char StartupSoundFile[] = "thx.wav";
inline constexpr const char* EventSoundFiles[] = {
    "shoot.wav",   "bounce.wav",    "crash.wav",      "win.wav",
    "restart.wav", "outro_win.wav", "outro_lose.wav", "outro_quit.wav",
};
static_assert(std::size(EventSoundFiles) == SoundEventCount, "every sound event needs its file in EventSoundFiles");

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
