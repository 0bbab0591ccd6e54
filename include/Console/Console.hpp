// The program's console: text from files made safe to print, and the stop signals
// (SIGTERM, SIGINT, SIGHUP) handled outside any signal handler. No SDL here: the game
// and the window layer both use it.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace Console {

// Longest piece of outside text a console line shows.
constexpr std::size_t TextLimit = 120;

// text as it may go to a terminal: control bytes, C1 controls, the invisible format and
// direction marks (U+200E/F, U+202A-E, U+2066-9, U+2028/9, U+FEFF) and bytes that are no
// UTF-8 become \xNN; longer than limit, it is cut at a whole character and "..." ends it.
std::string Printable(std::string_view text, std::size_t limit = TextLimit);

// Line-buffers stdout, so that lines stay whole and in order when it is a file or a pipe,
// ignores SIGPIPE (a console line to a closed pipe is dropped) and hands the stop signals
// to a watcher thread. Call first in main, before any other thread exists: the threads made
// later inherit the blocked signals.
// Outside a game a stop signal ends the program at once with status 128 + signal.
void Start();

// How long a game may take to end and save after a stop signal before the program ends
// without it (with a message; the old table stays whole).
constexpr std::chrono::seconds GameEndLimit{5};

// While one of these lives, a game is in progress: a stop signal asks it to end as Escape
// does (StopSignal() turns non-zero) instead of ending the program, however many come,
// during a pause, a save or the end screen alike. They nest: the editor holds one for its
// whole run and its play-test one more, and the program ends only once the last is gone.
struct GameInProgress {
    GameInProgress();
    ~GameInProgress();
    GameInProgress(const GameInProgress&) = delete;
    GameInProgress& operator=(const GameInProgress&) = delete;
};

// The signal that asked the game to stop, 0 while none did. It stays set: the program
// should end with status 128 + signal once the game has saved its score.
int StopSignal();

// A text players read, in the player's language. The Dutch text is the key: with no
// catalog for the chosen language (or Dutch chosen) it comes back unchanged. Wrap every
// new text meant for players in Tr, so that the catalogs can find it.
const char* Tr(const char* dutch);

// Marks a Dutch text kept in a table for the catalogs; Tr translates it where it is shown.
constexpr const char* TrLater(const char* dutch) { return dutch; }

}  // namespace Console
