#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <SDL_mixer.h>

#include "StandardSoundInternal.hpp"
#include "TempDir.hpp"

namespace {

using namespace std::chrono_literals;
using namespace StandardSound;
namespace d = StandardSound::detail;
using Clock = std::chrono::steady_clock;

const std::string JingleFailed =
    "Sound can NOT be used on your system!\n"
    "All sound events will be desactivated.\n"
    "\n";

void PutLE(std::string& s, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

// A mono 16-bit PCM wave file with a square tone of the given length.
std::string Wave(int milliseconds)
{
    const std::uint32_t rate = 22050;
    const std::uint32_t samples = rate * static_cast<std::uint32_t>(milliseconds) / 1000;
    std::string data;
    for (std::uint32_t i = 0; i < samples; ++i) {
        PutLE(data, (i / 50) % 2 ? 0x1000 : 0xF000, 2);
    }
    std::string wav = "RIFF";
    PutLE(wav, 36 + static_cast<std::uint32_t>(data.size()), 4);
    wav += "WAVEfmt ";
    PutLE(wav, 16, 4);
    PutLE(wav, 1, 2);  // PCM
    PutLE(wav, 1, 2);  // mono
    PutLE(wav, rate, 4);
    PutLE(wav, rate * 2, 4);
    PutLE(wav, 2, 2);
    PutLE(wav, 16, 2);
    wav += "data";
    PutLE(wav, static_cast<std::uint32_t>(data.size()), 4);
    return wav + data;
}

std::vector<SoundEventEn> gSeen;
void Seen(SoundEventEn e) { gSeen.push_back(e); }

struct SoundTest : ::testing::Test {
    ScopedWorkDir work;

    void SetUp() override
    {
        d::Shutdown();
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::filesystem::create_directory("sounds");
    }
    void TearDown() override
    {
        d::Shutdown();
        SetEventObserver(nullptr);
    }
    void Sound(const char* name, int milliseconds = 100)
    {
        WriteFile(std::string("sounds/") + name, Wave(milliseconds));
    }
    void AllSounds(int milliseconds = 100)
    {
        Sound(StartupSoundFile, milliseconds);
        for (const char* name : EventSoundFiles) {
            Sound(name, milliseconds);
        }
    }
    bool Init(bool async, std::string& console)
    {
        testing::internal::CaptureStdout();
        const bool on = InitSound(async);
        console = testing::internal::GetCapturedStdout();
        return on;
    }
    std::string Play(SoundEventEn e)
    {
        testing::internal::CaptureStdout();
        PlaySoundEvent(e);
        return testing::internal::GetCapturedStdout();
    }
};

}  // namespace

TEST(SoundStrings, FixedLengthRoutines)
{
    char path[100] = "sounds\\\\";
    EXPECT_EQ(d::StrLength(path), 8u);
    char full[100];
    std::fill(std::begin(full), std::end(full), 'x');
    EXPECT_EQ(d::StrLength(full), 99u);

    // Concatenation stops at the end of the array and then adds no NUL.
    char shortTo[10] = "abcdefgh";
    d::StrConcatenate(shortTo, "xyz");
    EXPECT_EQ(std::string(shortTo, 10), "abcdefghxy");

    // Copying takes the NUL and whatever follows it.
    char to[5] = "....";
    const char from[3] = {'a', '\0', 'z'};
    d::StrCopy(to, from);
    EXPECT_EQ(std::string(to, 5), std::string("a\0z.\0", 5));
}

TEST_F(SoundTest, EventPathsKeepTheirBackslashes)
{
    AllSounds();
    std::string console;
    ASSERT_TRUE(Init(true, console));
    EXPECT_EQ(console, "");
    EXPECT_EQ(d::LastPlaybackPath(), "sounds\\\\thx.wav");
    EXPECT_EQ(d::EventPath(BOUNCE), "sounds\\\\bounce.wav");
    EXPECT_EQ(d::EventPath(BOUNCE).size(), 18u);
    EXPECT_EQ(d::EventPath(OUTROQUIT), "sounds\\\\outro_quit.wav");
    EXPECT_EQ(Play(BOUNCE), "");
    EXPECT_EQ(d::LastPlaybackPath(), "sounds\\\\bounce.wav");
    EXPECT_TRUE(d::ChannelPlaying());
    // Every event of the list plays its own file: none is cut off by a bound of its own.
    for (int e = 0; e < SoundEventCount; ++e) {
        EXPECT_EQ(Play(static_cast<SoundEventEn>(e)), "") << e;
        EXPECT_EQ(d::LastPlaybackPath(), std::string("sounds\\\\") + EventSoundFiles[e]);
    }
}

TEST_F(SoundTest, WithoutTheJingleSoundIsOff)
{
    std::string console;
    EXPECT_FALSE(Init(true, console));
    EXPECT_EQ(console, JingleFailed);
    EXPECT_FALSE(d::IsActive());
    AllSounds();  // too late: sound stays off for the run
    gSeen.clear();
    SetEventObserver(&Seen);
    EXPECT_EQ(Play(SHOOT), "");
    EXPECT_EQ(Play(WIN), "");
    EXPECT_EQ(d::LastPlaybackPath(), "sounds\\\\thx.wav");
    EXPECT_FALSE(d::ChannelPlaying());
    EXPECT_EQ(gSeen, (std::vector<SoundEventEn>{SHOOT, WIN}));  // the game's events are still seen
}

TEST_F(SoundTest, WithoutAnAudioDeviceSoundIsOff)
{
    AllSounds();
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    std::string console;
    EXPECT_FALSE(Init(true, console));
    EXPECT_EQ(console, JingleFailed);
    EXPECT_EQ(Play(BOUNCE), "");
}

TEST_F(SoundTest, MissingEventFileIsReportedEachTime)
{
    Sound("thx.wav");
    Sound("shoot.wav");
    std::string console;
    ASSERT_TRUE(Init(true, console));
    const std::string missing =
        "** Sound file win.wav  need here! \n"
        "** Check whether you th file in the sounds directory sounds\\\\\n";
    EXPECT_EQ(Play(WIN), missing);
    EXPECT_EQ(Play(WIN), missing);
    EXPECT_TRUE(d::IsActive());
    EXPECT_EQ(Play(SHOOT), "");
    EXPECT_EQ(d::LastPlaybackPath(), "sounds\\\\shoot.wav");
    EXPECT_TRUE(d::ChannelPlaying());
}

TEST_F(SoundTest, UnplayableFileSwitchesSoundOff)
{
    AllSounds();
    WriteFile("sounds/crash.wav", "this is no wave file");
    std::string console;
    ASSERT_TRUE(Init(true, console));
    EXPECT_EQ(Play(CRASH), "** Unknown Sound error with file crash.wav, sound is desactived.\n");
    EXPECT_FALSE(d::IsActive());
    EXPECT_EQ(Play(CRASH), "");
    EXPECT_EQ(Play(SHOOT), "");
    EXPECT_EQ(d::LastPlaybackPath(), "sounds\\\\crash.wav");
}

TEST_F(SoundTest, AsynchronousPlayReturnsAtOnce)
{
    AllSounds(5000);
    std::string console;
    ASSERT_TRUE(Init(true, console));
    const auto start = Clock::now();
    PlaySoundEvent(SHOOT);
    EXPECT_LT(Clock::now() - start, 2000ms);
    EXPECT_TRUE(d::ChannelPlaying());
}

TEST_F(SoundTest, SynchronousPlayReturnsWhenTheSoundHasEnded)
{
    Sound("thx.wav", 5000);
    Sound("shoot.wav", 400);
    std::string console;
    auto start = Clock::now();
    ASSERT_TRUE(Init(false, console));
    EXPECT_LT(Clock::now() - start, 2000ms);  // the jingle still plays in the background
    EXPECT_TRUE(d::ChannelPlaying());
    start = Clock::now();
    PlaySoundEvent(SHOOT);
    EXPECT_GE(Clock::now() - start, 300ms);
    EXPECT_FALSE(d::ChannelPlaying());
}

TEST_F(SoundTest, NewSoundCutsOffTheOldOne)
{
    Sound("thx.wav", 5000);
    Sound("bounce.wav", 100);
    std::string console;
    ASSERT_TRUE(Init(true, console));
    PlaySoundEvent(BOUNCE);
    // The jingle would play for seconds yet; the short bounce replaced it.
    const auto deadline = Clock::now() + 3s;
    while (d::ChannelPlaying() && Clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_FALSE(d::ChannelPlaying());
}

namespace {

TEST_F(SoundTest, MutedEventsReachTheObserverButNotTheMixer)
{
    AllSounds(5000);
    std::string console;
    ASSERT_TRUE(Init(true, console));
    PlaySoundEvent(CRASH);
    ASSERT_TRUE(d::ChannelPlaying());
    gSeen.clear();
    SetEventObserver(&Seen);
    SetMuted(true);
    EXPECT_TRUE(Muted());
    EXPECT_EQ(Mix_Volume(0, -1), 0);  // the crash still playing is silent now
    EXPECT_EQ(Play(SHOOT), "");
    EXPECT_EQ(d::LastPlaybackPath(), "sounds\\\\crash.wav");
    EXPECT_EQ(gSeen, std::vector<SoundEventEn>{SHOOT});
    SetMuted(false);
    EXPECT_EQ(Mix_Volume(0, -1), MIX_MAX_VOLUME);
    PlaySoundEvent(WIN);
    EXPECT_EQ(d::LastPlaybackPath(), "sounds\\\\win.wav");
}

}  // namespace
