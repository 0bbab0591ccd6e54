#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "StandardSoundInternal.hpp"

namespace StandardSound {

namespace {

// Values of the classic wave playback call; only SND_ASYNC means anything here.
constexpr std::uint32_t SND_FILENAME = 0x20000;
constexpr std::uint32_t SND_ASYNC = 1;

constexpr char Prefix[] = "sounds\\\\";  // "sounds" and two backslashes

struct SoundRc {
    char fileName[100];
    std::uint32_t soundFlag;
};

SoundRc gSoundList[SoundEventCount] = {};
bool gActive = false;
bool gInitialised = false;
std::atomic<bool> gMuted{false};
EventObserver gObserver = nullptr;
std::string gLastPath;

// ---- playback on SDL2_mixer: one channel, a new sound cuts off the old one ----

// Set while channel 0 plays; cleared by the mixer's channel-finished callback, which
// runs on the audio thread (or inside Mix_HaltChannel on ours).
std::mutex gBusyMutex;
std::condition_variable gBusyChanged;
bool gBusy = false;

bool gAudioOpen = false;
Mix_Chunk* gChunk = nullptr;  // the chunk on channel 0, freed when the next one replaces it

void SDLCALL OnChannelFinished(int)
{
    {
        std::lock_guard lock(gBusyMutex);
        gBusy = false;
    }
    gBusyChanged.notify_all();
}

bool OpenAudio()
{
    if (gAudioOpen) {
        return true;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Mix_AllocateChannels(1);
    Mix_Volume(0, gMuted ? 0 : MIX_MAX_VOLUME);
    Mix_ChannelFinished(&OnChannelFinished);
    gAudioOpen = true;
    return true;
}

void CloseAudio()
{
    if (!gAudioOpen) {
        return;
    }
    Mix_ChannelFinished(nullptr);
    Mix_HaltChannel(-1);
    if (gChunk != nullptr) {
        Mix_FreeChunk(gChunk);
        gChunk = nullptr;
    }
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    gAudioOpen = false;
    std::lock_guard lock(gBusyMutex);
    gBusy = false;
}

// Closes the device when the program ends (declared after the state it uses).
struct AudioCloser {
    ~AudioCloser() { CloseAudio(); }
} gAudioCloser;

// The text of a path buffer: up to its first NUL, or all of it when it has none.
std::string PathText(const char (&path)[100]) { return std::string(path, strnlen(path, sizeof path)); }

// Paths keep their backslashes; they become slashes only to open the file.
std::string FilePath(const std::string& path)
{
    std::string mapped(path);
    for (char& c : mapped) {
        if (c == '\\') {
            c = '/';
        }
    }
    return mapped;
}

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(FilePath(path), ec);
}

std::chrono::milliseconds ChunkLength(const Mix_Chunk* chunk)
{
    int frequency = 0;
    int channels = 0;
    Uint16 format = 0;
    if (Mix_QuerySpec(&frequency, &format, &channels) == 0 || frequency <= 0 || channels <= 0) {
        return std::chrono::milliseconds(0);
    }
    const long long bytesPerSecond = static_cast<long long>(frequency) * channels * (SDL_AUDIO_BITSIZE(format) / 8);
    if (bytesPerSecond <= 0) {
        return std::chrono::milliseconds(0);
    }
    return std::chrono::milliseconds(static_cast<long long>(chunk->alen) * 1000 / bytesPerSecond);
}

// Plays the wave file at path: returns at once with SND_ASYNC, otherwise when the sound
// has ended. False when there is no audio device or the file cannot be played.
bool Playback(const std::string& path, std::uint32_t flags)
{
    gLastPath = path;
    if (!OpenAudio()) {
        return false;
    }
    Mix_Chunk* chunk = Mix_LoadWAV(FilePath(path).c_str());
    if (chunk == nullptr) {
        return false;
    }
    Mix_HaltChannel(0);  // runs the finished callback for the old sound now, not later
    if (gChunk != nullptr) {
        Mix_FreeChunk(gChunk);
    }
    gChunk = chunk;
    {
        std::lock_guard lock(gBusyMutex);
        gBusy = true;
    }
    if (Mix_PlayChannel(0, chunk, 0) != 0) {
        std::lock_guard lock(gBusyMutex);
        gBusy = false;
        return false;
    }
    if ((flags & SND_ASYNC) == 0) {
        // Bounded, so that a stalled device cannot hang the game.
        const auto limit = ChunkLength(chunk) + std::chrono::seconds(2);
        std::unique_lock lock(gBusyMutex);
        gBusyChanged.wait_for(lock, limit, [] { return !gBusy; });
    }
    return true;
}

template <std::size_t L>
void BuildPath(char (&path)[100], const char (&fileName)[L])
{
    detail::StrCopy(path, Prefix);
    detail::StrConcatenate(path, fileName);
}

}  // namespace

using namespace detail;

bool InitSound(bool asynchronousSound)
{
    const std::uint32_t asyncFlag = asynchronousSound ? 1 : 0;
    char path[100] = {};
    BuildPath(path, StartupSoundFile);
    // The jingle always plays asynchronously; it is also the test whether sound works.
    if (!Playback(PathText(path), SND_FILENAME | SND_ASYNC)) {
        gActive = false;
        for (SoundRc& rc : gSoundList) {
            rc = SoundRc{};
        }
        std::fputs("Sound can NOT be used on your system!\n", stdout);
        std::fputs("All sound events will be desactivated.\n", stdout);
        std::fputs("\n", stdout);
        return false;
    }
    for (std::size_t i = 0; i < SoundEventCount; ++i) {
        gSoundList[i] = SoundRc{};
        std::snprintf(gSoundList[i].fileName, sizeof gSoundList[i].fileName, "%s", EventSoundFiles[i]);
        gSoundList[i].soundFlag = SND_FILENAME + asyncFlag;
    }
    gActive = true;
    return true;
}

void PlaySoundEvent(SoundEventEn e)
{
    if (gObserver != nullptr) {
        gObserver(e);
    }
    if (!gActive || e >= SoundEventCount || gMuted) {
        return;
    }
    const SoundRc& rc = gSoundList[e];
    char path[100];
    BuildPath(path, rc.fileName);
    const std::string text = PathText(path);
    if (Playback(text, rc.soundFlag)) {
        return;
    }
    if (FileExists(text)) {
        std::printf("** Unknown Sound error with file %s, sound is desactived.\n", rc.fileName);
        gActive = false;
    } else {
        std::printf("** Sound file %s  need here! \n", rc.fileName);
        std::printf("** Check whether you th file in the sounds directory %s\n", Prefix);
    }
}

void SetEventObserver(EventObserver observer) { gObserver = observer; }

void SetMuted(bool muted)
{
    gMuted = muted;
    // The start-up sound still tests the device while muted: it plays at volume 0.
    if (gAudioOpen) {
        Mix_Volume(0, muted ? 0 : MIX_MAX_VOLUME);
    }
}

bool Muted() { return gMuted; }

void Init()
{
    if (gInitialised) {
        return;
    }
    gInitialised = true;
    InitSound(true);
}

namespace detail {

std::string EventPath(SoundEventEn e)
{
    if (e >= SoundEventCount) {
        return {};
    }
    char path[100];
    BuildPath(path, gSoundList[e].fileName);
    return PathText(path);
}

std::string LastPlaybackPath() { return gLastPath; }

bool ChannelPlaying() { return gAudioOpen && Mix_Playing(0) != 0; }

bool IsActive() { return gActive; }

void Shutdown()
{
    CloseAudio();
    gActive = false;
    for (SoundRc& rc : gSoundList) {
        rc = SoundRc{};
    }
    gLastPath.clear();
}

}  // namespace detail

}  // namespace StandardSound
