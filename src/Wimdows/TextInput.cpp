// Typed text, the system clipboard and a caption that changes, for the level editor's typed
// values, its copy and paste and its title. The game reads keys only: the text queue fills
// beside them, bounded, unread; its windows keep the title they open with.
#include <SDL.h>

#include <mutex>
#include <string>

#include "Wimdows/Wimdows.hpp"
#include "WimdowsState.hpp"

namespace Wimdows {

using detail::window;

namespace detail {

namespace {

// Written on the user-interface thread, taken on the main thread. A program that never takes
// it keeps only the latest characters typed.
constexpr std::size_t TextQueueBytes = 1024;
std::mutex textLock;
std::string* textQueue = new std::string;  // never freed: a thread may type while the program ends

}  // namespace

void QueueText(const char* utf8)
{
    std::lock_guard guard(textLock);
    *textQueue += utf8;
    if (textQueue->size() > TextQueueBytes) {
        // Drop the oldest whole characters: never cut into one's UTF-8 bytes.
        std::size_t cut = textQueue->size() - TextQueueBytes;
        while (cut < textQueue->size() && (static_cast<unsigned char>((*textQueue)[cut]) & 0xC0) == 0x80) ++cut;
        textQueue->erase(0, cut);
    }
}

}  // namespace detail

std::string TakeText()
{
    std::lock_guard guard(detail::textLock);
    std::string text;
    text.swap(*detail::textQueue);
    return text;
}

bool SetTitle(const std::string& title)
{
    auto set = [&] {
        if (window.hwnd) SDL_SetWindowTitle(window.hwnd, title.c_str());
    };
    return detail::SendRequest(set);
}

bool SetClipboard(const std::string& text)
{
    bool done = false;
    auto set = [&] { done = SDL_SetClipboardText(text.c_str()) == 0; };
    return detail::SendRequest(set) && done;
}

bool GetClipboard(std::string& text, std::size_t maxBytes)
{
    bool found = false;
    auto get = [&] {
        if (SDL_HasClipboardText() != SDL_TRUE) return;
        char* got = SDL_GetClipboardText();
        if (got == nullptr) return;
        const std::size_t length = SDL_strlen(got);
        if (length <= maxBytes) {
            text.assign(got, length);
            found = true;
        }
        SDL_free(got);
    };
    return detail::SendRequest(get) && found;
}

}  // namespace Wimdows
