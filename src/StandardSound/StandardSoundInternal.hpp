// Inside of the sound module: its fixed-length string routines and a few looks into
// its state, for the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "StandardSound/StandardSound.hpp"

namespace StandardSound::detail {

// A string in a fixed array ends at its first NUL or at the end of the array.
inline std::uint32_t MinCard(std::uint32_t c1, std::uint32_t c2) { return c1 < c2 ? c1 : c2; }

// Position of the first NUL, or the last index when none comes before it.
template <std::size_t L>
std::uint32_t StrLength(const char (&str)[L])
{
    static_assert(L > 0);
    std::uint32_t i = 0;
    while (i < L - 1 && str[i] != '\0') {
        ++i;
    }
    return i;
}

// Copies position by position, the NUL and whatever follows it included.
template <std::size_t LT, std::size_t LF>
void StrCopy(char (&strTo)[LT], const char (&strFrom)[LF])
{
    const std::uint32_t count = MinCard(LT - 1, LF - 1) + 1;
    for (std::uint32_t i = 0; i < count; ++i) {
        strTo[i] = strFrom[i];
    }
}

// Appends as much of strFrom as fits; a result cut short gets no NUL.
template <std::size_t LT, std::size_t LF>
void StrConcatenate(char (&strTo)[LT], const char (&strFrom)[LF])
{
    const std::uint32_t l = StrLength(strTo);
    const std::uint32_t count = MinCard(static_cast<std::uint32_t>(LT - 1) - l, LF - 1) + 1;
    for (std::uint32_t i = 0; i < count; ++i) {
        strTo[l + i] = strFrom[i];
    }
}

// The path PlaySoundEvent would play for e (empty file name while sound is off).
std::string EventPath(SoundEventEn e);
// The path given to the last playback call, exactly as built (backslashes and all).
std::string LastPlaybackPath();
bool ChannelPlaying();
bool IsActive();
// Stops any sound, closes the audio device and forgets InitSound, as at start-up.
void Shutdown();

}  // namespace StandardSound::detail
