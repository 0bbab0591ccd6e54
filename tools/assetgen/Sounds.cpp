#include "Sounds.hpp"

#include "Canvas.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace Sounds {

namespace {

constexpr double kTau = 6.283185307179586;
using Buf = std::vector<float>;

std::size_t Samples(double seconds) { return static_cast<std::size_t>(std::lrint(seconds * kRate)); }

// Every voice closes with a short raised-cosine release so that cutting it off never clicks.
double Tail(std::size_t i, std::size_t n)
{
    const std::size_t len = std::min<std::size_t>(n / 2, Samples(0.008));
    if (len == 0 || i + len < n) return 1.0;
    double t = static_cast<double>(n - i) / static_cast<double>(len);
    return 0.5 - 0.5 * std::cos(kTau / 2 * std::min(t, 1.0));
}

double Note(int semitonesFromA4) { return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0); }

// Note numbers as semitones from A4.
constexpr int C4 = -9, D4 = -7, E4 = -5, F4 = -4, G4 = -2, A4 = 0, B4 = 2, C5 = 3, D5 = 5, E5 = 7, Fs5 = 9, G5 = 10,
              A5 = 12, B5 = 14, C6 = 15, E6 = 19, Gs6 = 23, B6 = 26, A3 = -12, D3 = -19, Fs4 = -3;

// Adds a voice starting at `start` seconds for `dur` seconds. `freq(t)` and `amp(t)` are
// functions of the time since the voice started; `wave(phase, t)` shapes one cycle.
void Voice(Buf& b, double start, double dur, const std::function<double(double)>& freq,
           const std::function<double(double)>& amp, const std::function<double(double, double)>& wave)
{
    std::size_t s0 = Samples(start), n = Samples(dur);
    if (b.size() < s0 + n) b.resize(s0 + n, 0.0f);
    double phase = 0;
    for (std::size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        b[s0 + i] += static_cast<float>(amp(t) * wave(phase, t) * Tail(i, n));
        phase += freq(t) / kRate;
        phase -= std::floor(phase);
    }
}

double Sine(double phase, double) { return std::sin(kTau * phase); }

// Attack then exponential decay.
std::function<double(double)> Pluck(double attack, double decay)
{
    return [=](double t) { return t < attack ? t / attack : std::exp(-(t - attack) / decay); };
}

// Attack, hold at 1 until `release` seconds, then a smooth fall over `fall` seconds.
std::function<double(double)> Held(double attack, double release, double fall)
{
    return [=](double t) {
        if (t < attack) return 0.5 - 0.5 * std::cos(kTau / 2 * t / attack);
        if (t < release) return 1.0;
        return std::exp(-(t - release) / fall);
    };
}

// A bell: frequency modulation whose brightness dies away faster than the tone.
void Bell(Buf& b, double start, double dur, double f, double gain, double decay, double ratio = 1.4)
{
    std::size_t s0 = Samples(start), n = Samples(dur);
    if (b.size() < s0 + n) b.resize(s0 + n, 0.0f);
    for (std::size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        double index = 2.2 * std::exp(-t / (decay * 0.3));
        double env = (t < 0.003 ? t / 0.003 : 1.0) * std::exp(-t / decay);
        double v = std::sin(kTau * f * t + index * std::sin(kTau * f * ratio * t));
        b[s0 + i] += static_cast<float>(gain * env * v * Tail(i, n));
    }
}

// A brass-like tone: harmonics that grow brighter with the envelope, and a slight vibrato.
void Brass(Buf& b, double start, double dur, double f, double gain, double release = 0.12)
{
    std::size_t s0 = Samples(start), n = Samples(dur + release * 4);
    if (b.size() < s0 + n) b.resize(s0 + n, 0.0f);
    int harmonics = std::max(1, std::min(14, static_cast<int>(9000 / f)));
    double phase = 0;
    for (std::size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        double env = t < 0.04 ? t / 0.04
                              : (t < dur ? 1.0 - 0.15 * (t - 0.04) / std::max(dur, 0.05)
                                         : 0.85 * std::exp(-(t - dur) / release));
        double bright = std::min(1.0, env * 1.1);
        double vib = 1 + 0.004 * std::sin(kTau * 5.5 * t) * std::min(1.0, t / 0.3);
        double v = 0;
        for (int k = 1; k <= harmonics; ++k)
            v += std::sin(kTau * k * phase) * std::exp(-(k - 1) / (0.8 + 5.0 * bright)) / k;
        b[s0 + i] += static_cast<float>(gain * env * v * Tail(i, n));
        phase += f * vib / kRate;
        phase -= std::floor(phase);
    }
}

// Noise through a band-pass whose centre follows `centre(t)`.
void FilteredNoise(Buf& b, double start, double dur, std::uint64_t seed, const std::function<double(double)>& centre,
                   double q, const std::function<double(double)>& amp, bool lowpass = false)
{
    std::size_t s0 = Samples(start), n = Samples(dur);
    if (b.size() < s0 + n) b.resize(s0 + n, 0.0f);
    Canvas::Rng rng{seed};
    double low = 0, band = 0;
    for (std::size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kRate;
        double x = Canvas::Uniform(rng) * 2.0 - 1.0;
        double fc = std::min(centre(t), kRate / 6.5);
        double f = 2 * std::sin(kTau / 2 * fc / kRate);
        low += f * band;
        double high = x - low - q * band;
        band += f * high;
        b[s0 + i] += static_cast<float>(amp(t) * (lowpass ? low : band) * Tail(i, n));
    }
}

// A small room: four feedback delays mixed under the dry sound.
void Room(Buf& b, double wet, double feedback)
{
    const double delays[] = {0.0297, 0.0371, 0.0411, 0.0437};
    Buf out(b.size(), 0.0f);
    for (double d : delays) {
        std::size_t n = Samples(d);
        Buf line(b.size(), 0.0f);
        for (std::size_t i = 0; i < b.size(); ++i) {
            float fb = i >= n ? line[i - n] : 0.0f;
            line[i] = b[i] + static_cast<float>(feedback) * fb;
            out[i] += fb * 0.25f;
        }
    }
    for (std::size_t i = 0; i < b.size(); ++i) b[i] += static_cast<float>(wet) * out[i];
}

void Pad(Buf& b, std::size_t length)
{
    if (b.size() < length) b.resize(length, 0.0f);
    b.resize(length);
}

// ---------------------------------------------------------------------------------------------

// Start-up jingle: a rising bell arpeggio over a swelling chord, ringing out in a small room.
Buf Jingle()
{
    Buf b;
    for (int f : {D4, A4, D5}) {
        double fr = Note(f);
        Voice(
            b, 0.0, 3.4, [fr](double t) { return fr * (1 + 0.002 * std::sin(kTau * 0.7 * t)); },
            [](double t) { return 0.10 * (t < 0.9 ? t / 0.9 : std::exp(-(t - 0.9) / 0.9)); },
            [](double p, double) {
                return std::sin(kTau * p) + 0.3 * std::sin(2 * kTau * p) + 0.12 * std::sin(3 * kTau * p);
            });
    }
    const int arp[] = {A4, D5, Fs5, A5, D5 + 12, E6};
    for (int i = 0; i < 6; ++i) Bell(b, 0.10 + 0.11 * i, 2.4, Note(arp[i]), 0.28, 0.5 + 0.1 * i, 1.0);
    for (int f : {D5, Fs5, A5, E6}) Bell(b, 0.85, 2.5, Note(f), 0.16, 0.9, 2.0);
    FilteredNoise(
        b, 0.0, 0.95, 9, [](double t) { return 400 * std::pow(12.0, t / 0.9); }, 0.6,
        [](double t) { return 0.12 * std::sin(kTau / 2 * std::min(t / 0.95, 1.0)); });
    Pad(b, Samples(3.6));
    Room(b, 0.35, 0.55);
    return b;
}

// Launch: a rising rush of air over a low push.
Buf Shoot()
{
    Buf b;
    FilteredNoise(
        b, 0.0, 0.9, 101, [](double t) { return 350 * std::pow(9.0, std::min(t / 0.55, 1.0)); }, 0.3,
        [](double t) { return (t < 0.05 ? t / 0.05 : std::exp(-(t - 0.05) / 0.28)); });
    Voice(
        b, 0.0, 0.35, [](double t) { return 110 - 60 * std::min(t / 0.25, 1.0); }, Pluck(0.008, 0.09), Sine);
    Voice(
        b, 0.02, 0.5, [](double t) { return 300 + 500 * std::min(t / 0.4, 1.0); },
        [](double t) { return 0.12 * (t < 0.05 ? t / 0.05 : std::exp(-(t - 0.05) / 0.15)); }, Sine);
    return b;
}

// Bounce: a soft rubbery knock.
Buf Bounce()
{
    Buf b;
    Voice(
        b, 0.0, 0.3, [](double t) { return 230 + 160 * std::exp(-t / 0.025); }, Pluck(0.004, 0.06), Sine);
    Voice(
        b, 0.0, 0.2, [](double t) { return 560 + 300 * std::exp(-t / 0.02); },
        [](double t) { return 0.25 * (t < 0.003 ? t / 0.003 : std::exp(-t / 0.03)); }, Sine);
    FilteredNoise(
        b, 0.0, 0.05, 202, [](double) { return 900.0; }, 1.0, [](double t) { return 0.5 * std::exp(-t / 0.008); },
        true);
    return b;
}

// Crash: a burst of debris noise closing down to a rumble, with crackles.
Buf Crash()
{
    Buf b;
    FilteredNoise(
        b, 0.0, 1.6, 303, [](double t) { return 300 + 5200 * std::exp(-t / 0.18); }, 0.9,
        [](double t) { return (t < 0.004 ? t / 0.004 : std::exp(-t / 0.32)); }, true);
    Voice(
        b, 0.0, 1.4, [](double t) { return 62 - 20 * std::min(t, 1.0); }, Pluck(0.01, 0.4),
        [](double p, double) { return std::tanh(2.5 * std::sin(kTau * p)); });
    Canvas::Rng rng{304};
    for (int i = 0; i < 26; ++i) {
        double at = 0.02 + 0.9 * std::pow(Canvas::Uniform(rng), 1.6);
        double f = 900 + 2500 * Canvas::Uniform(rng);
        double g = 0.35 * std::exp(-at / 0.4);
        Voice(
            b, at, 0.04, [f](double) { return f; }, [g](double t) { return g * std::exp(-t / 0.006); }, Sine);
    }
    for (float& s : b) s = static_cast<float>(std::tanh(1.6 * s));
    return b;
}

// Win: a bright rising chime.
Buf Win()
{
    Buf b;
    Bell(b, 0.00, 1.5, Note(E6), 0.35, 0.45, 2.0);
    Bell(b, 0.09, 1.4, Note(Gs6), 0.30, 0.45, 2.0);
    Bell(b, 0.18, 1.3, Note(B6), 0.30, 0.55, 2.0);
    Bell(b, 0.18, 1.3, Note(E6 - 12), 0.20, 0.55, 1.0);
    Pad(b, Samples(1.9));
    Room(b, 0.25, 0.5);
    return b;
}

// Restart: a short two-step blip, down then up.
Buf Restart()
{
    Buf b;
    auto square = [](double p, double) {
        return std::sin(kTau * p) + std::sin(3 * kTau * p) / 3 + std::sin(5 * kTau * p) / 5;
    };
    Voice(
        b, 0.0, 0.09, [](double) { return Note(A5); }, Held(0.004, 0.06, 0.01), square);
    Voice(
        b, 0.10, 0.12, [](double) { return Note(E5); }, Held(0.004, 0.07, 0.015), square);
    Voice(
        b, 0.10, 0.12, [](double t) { return Note(E5) * (1 + 0.5 * t); }, Held(0.004, 0.07, 0.015), Sine);
    Pad(b, Samples(0.25));
    return b;
}

// Winning fanfare: a rising call and a held major chord.
Buf OutroWin()
{
    Buf b;
    struct N {
        double at, len;
        int note;
    };
    const N melody[] = {{0.00, 0.13, G4}, {0.16, 0.13, C5}, {0.32, 0.13, E5}, {0.48, 0.30, G5},
                        {0.84, 0.13, E5}, {1.00, 0.40, G5}, {1.48, 1.50, C6}};
    for (const N& n : melody) Brass(b, n.at, n.len, Note(n.note), 0.30);
    for (int f : {C4, E4, G4, C5}) Brass(b, 1.48, 1.50, Note(f), 0.16, 0.25);
    Voice(
        b, 1.48, 1.9, [](double) { return Note(C4 - 12); }, Held(0.05, 1.4, 0.2), Sine);
    for (int i = 0; i < 4; ++i) Bell(b, 1.50 + 0.12 * i, 1.4, Note(C6 + 4 * (i % 3)), 0.06, 0.4, 2.0);
    Pad(b, Samples(4.0));
    Room(b, 0.3, 0.5);
    return b;
}

// Losing: a minor line sinking step by step, the last tone sagging into a low hum.
Buf OutroLose()
{
    Buf b;
    const int line[] = {A4, F4, D4, A3};
    for (int i = 0; i < 4; ++i) {
        double f = Note(line[i]);
        bool last = i == 3;
        double len = last ? 1.3 : 0.42;
        Voice(
            b, 0.48 * i, len + 0.5,
            [f, last](double t) {
                return f * (last ? std::pow(2.0, -std::min(t, 1.3) / 1.3 * 5 / 12.0) : 1.0) *
                       (1 + 0.006 * std::sin(kTau * 5 * t));
            },
            Held(0.03, len, last ? 0.3 : 0.08),
            [](double p, double) {
                return std::sin(kTau * p) + 0.35 * std::sin(2 * kTau * p) + 0.15 * std::sin(3 * kTau * p);
            });
    }
    Voice(
        b, 1.44, 1.7, [](double) { return Note(D3); }, Held(0.2, 1.1, 0.3), Sine);
    FilteredNoise(
        b, 1.2, 1.8, 606, [](double t) { return 1800 * std::pow(0.1, std::min(t / 1.6, 1.0)); }, 0.8,
        [](double t) { return 0.18 * std::sin(kTau / 2 * std::min(t / 1.8, 1.0)); });
    Pad(b, Samples(3.3));
    Room(b, 0.25, 0.45);
    return b;
}

// Quit: two soft notes going down and a short power-down glide.
Buf OutroQuit()
{
    Buf b;
    auto mallet = [](double p, double t) {
        return std::sin(kTau * p) + 0.25 * std::exp(-t / 0.05) * std::sin(4 * kTau * p);
    };
    Voice(
        b, 0.0, 0.5, [](double) { return Note(G5); }, Pluck(0.005, 0.16), mallet);
    Voice(
        b, 0.18, 0.7, [](double) { return Note(D5); }, Pluck(0.005, 0.24), mallet);
    Voice(
        b, 0.40, 0.55, [](double t) { return 420 * std::pow(0.3, t / 0.5); },
        [](double t) { return 0.22 * (t < 0.03 ? t / 0.03 : std::exp(-(t - 0.03) / 0.18)); }, Sine);
    Pad(b, Samples(1.1));
    Room(b, 0.2, 0.4);
    return b;
}

}  // namespace

void Finish(std::vector<float>& s, float peak)
{
    if (s.empty()) return;
    // Remove any offset with a gentle high-pass (about 20 Hz).
    double a = std::exp(-kTau * 20.0 / kRate), prevIn = 0, prevOut = 0;
    for (float& v : s) {
        double out = a * (prevOut + v - prevIn);
        prevIn = v;
        prevOut = out;
        v = static_cast<float>(out);
    }
    // Raised-cosine fades: no click at either end.
    std::size_t in = std::min(s.size() / 4, Samples(0.004)), out = std::min(s.size() / 4, Samples(0.05));
    for (std::size_t i = 0; i < in; ++i) s[i] *= static_cast<float>(0.5 - 0.5 * std::cos(kTau / 2 * i / in));
    for (std::size_t i = 0; i < out; ++i)
        s[s.size() - 1 - i] *= static_cast<float>(0.5 - 0.5 * std::cos(kTau / 2 * i / out));
    float top = 0;
    for (float v : s) top = std::max(top, std::fabs(v));
    if (top > 0)
        for (float& v : s) v *= peak / top;
}

std::vector<Sound> MakeAll()
{
    struct Recipe {
        const char* name;
        Buf (*make)();
        float peak;  // frequent sounds sit a little lower
    };
    const Recipe recipes[] = {
        {"thx.wav", Jingle, 0.89f},
        {"shoot.wav", Shoot, 0.85f},
        {"bounce.wav", Bounce, 0.70f},
        {"crash.wav", Crash, 0.89f},
        {"win.wav", Win, 0.85f},
        {"restart.wav", Restart, 0.70f},
        {"outro_win.wav", OutroWin, 0.89f},
        {"outro_lose.wav", OutroLose, 0.89f},
        {"outro_quit.wav", OutroQuit, 0.85f},
    };
    std::vector<Sound> out;
    for (const Recipe& r : recipes) {
        Buf b = r.make();
        Finish(b, r.peak);
        out.push_back({r.name, std::move(b)});
    }
    return out;
}

std::vector<std::uint8_t> WavBytes(const std::vector<float>& samples)
{
    std::vector<std::uint8_t> out;
    out.reserve(44 + samples.size() * 2);
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](std::uint16_t v) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(t[i]));
    };
    std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    tag("RIFF");
    u32(36 + dataBytes);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(kRate);
    u32(kRate * 2);
    u16(2);
    u16(16);
    tag("data");
    u32(dataBytes);
    for (float v : samples) {
        long q = std::lrint(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
        u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(q)));
    }
    return out;
}

bool SaveWav(const std::vector<float>& samples, const std::string& path)
{
    std::vector<std::uint8_t> bytes = WavBytes(samples);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return ok;
}

}  // namespace Sounds
