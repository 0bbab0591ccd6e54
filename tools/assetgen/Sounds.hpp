// Every sound of the game, synthesised from code, and a plain 16-bit PCM WAV writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Sounds {

constexpr int kRate = 44100;

struct Sound {
    std::string name;            // file name inside sounds/
    std::vector<float> samples;  // mono, already finished: normalised, faded at both ends
};

// All sounds in a fixed order; same samples on every run.
std::vector<Sound> MakeAll();

// Peak-normalises to `peak` (of full scale), removes any offset and fades both ends so the
// sound starts and stops at silence.
void Finish(std::vector<float>& s, float peak);

// The bytes of a mono 16-bit PCM WAV file at kRate.
std::vector<std::uint8_t> WavBytes(const std::vector<float>& samples);
bool SaveWav(const std::vector<float>& samples, const std::string& path);

}  // namespace Sounds
