// The player's files, read and written with care: only regular files are read, and only up
// to a stated size; a save never leaves half a file, keeps the file's mode and hard links and
// writes through the player's links. Scores, settings and levels all go through here. No SDL.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace Files {

// Opens path (links followed) for reading when it is a regular file. A FIFO, device or
// folder is never opened for reading, so nothing can block or stream without end; the
// check is made again on the open file in case the name changed in between. -1, with why
// in problem ("a FIFO, not a regular file", "Permission denied"), otherwise.
int OpenRegular(const std::string& path, std::string& problem);
// The same as a stdio stream (binary), or null.
std::FILE* OpenRegularFile(const std::string& path, std::string& problem);

enum class Read : unsigned char {
    Done,        // text holds the whole file
    Missing,     // nothing by that name (nor a link to nothing)
    NotRegular,  // a FIFO, device, folder...: never opened for reading
    TooLarge,    // longer than the bound: text holds the bound's bytes
    Failed,      // could not be opened or read
};
struct ReadResult {
    Read status = Read::Failed;
    std::string problem;  // why, for a console line, when not Done
};
// The whole of a regular file of at most maxBytes. Reading stops one byte past the bound,
// so a file of any size costs no more than the bound.
ReadResult ReadBounded(const std::string& path, std::size_t maxBytes, std::string& text);

// The file a save to path must write: path itself, or where its symbolic links lead (a
// link the player made to keep a file elsewhere stays a link). Empty, with why in problem,
// when the links cannot be followed or something other than a regular file is there.
std::string SaveTarget(const std::string& path, std::string& problem);

struct SaveFailure {
    enum class Step : unsigned char { Target, Create, Write, Replace } step = Step::Target;
    std::string file;    // the file that failed: the target, or the new file beside it
    std::string reason;  // strerror's text, or why the target is refused
};
// One console-ready sentence for a failure: "Couldn't write FILE: REASON." and the like,
// the file escaped.
std::string Describe(const SaveFailure& failure);

// Writes bytes as the whole file at path. Through a new file beside the target with a name
// no other save uses ("NAME.tmp-PID-N"), put on disk, renamed over the target and the
// folder put on disk, so any reader finds the old file or the new, never a part; a failed
// save leaves the old file as it was. The old file's permissions go to the new one. A file
// with other hard links is rewritten in place instead (one write, then the rest cut off),
// so that the links stay one file. Temporaries left by killed saves of processes that no
// longer run are removed first.
bool Save(const std::string& path, std::string_view bytes, SaveFailure& failure);

// How long a save waits for another program's save in the same folder before it gives up.
// Well inside the time a game has to end after a stop signal.
constexpr std::chrono::milliseconds LockWait{3000};

// The save lock of the folder that holds path's file (its links followed). A read, change
// and save of a player's file (scores, settings, levels) is made while holding it, so two
// programs changing files in one folder take turns and each reads what the other wrote.
// It is an flock on the folder itself: a lock file would be left in the player's folder
// for ever (no lock file can be removed safely), and a lock on the file would be lost when
// a save renames a new file over it. Saves of different files in one folder wait for each
// other too; each takes milliseconds. Never take two at once in one program: the second
// waits for the first.
struct FolderLock {
    enum class State : unsigned char {
        Held,  // this program holds it
        Busy,  // another program held it for the whole wait: the save must not go on
        None,  // there is none to take (no such folder, a file system without flock): go on
    };
    explicit FolderLock(const std::string& path, std::chrono::milliseconds wait = LockWait);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    State state = State::None;
    std::string problem;  // when Busy: "another program has been saving in FOLDER for 3 s", escaped
    int fd = -1;          // the folder, open while Held
};

// Whether name is a temporary file of a save ("TARGET.tmp-PID-N"), for folder listings.
bool IsSaveTemporary(std::string_view name);

// The player's own folder for the game, where the launcher runs it and the player's level
// sets live: $XDG_DATA_HOME/kor-dudurad, or $HOME/.local/share/kor-dudurad where
// XDG_DATA_HOME is unset or not absolute (the XDG base directory rules). Empty when neither
// gives an absolute path.
std::string PlayerFolder();

// Makes folder and what is missing above it; false with the reason in error (escaped) when
// a part cannot be made or the end is no folder.
bool MakeFolders(const std::string& folder, std::string& error);

}  // namespace Files
