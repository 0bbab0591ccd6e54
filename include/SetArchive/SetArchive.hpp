// A level set shared as one file: its levels (level-NN.txt) and its set.txt in one POSIX tar
// archive (ustar, uncompressed: levels are small text, and a file read is then exactly the
// bytes that come out) named NAME.korset. libarchive writes and reads it; nothing here trusts
// the archive. No SDL: the front end, the level select and the fuzzer use it alike.
//
//     SetArchive::Result r = SetArchive::Export("/home/p/.local/share/kor-dudurad/sets/Mine", "mine.korset");
//     SetArchive::Result s = SetArchive::Import("mine.korset", "/home/q/.local/share/kor-dudurad/sets");
//     // s.ok: s.folder is the new set's folder; otherwise s.message says why, escaped
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Level/File.hpp"
#include "Level/Sets.hpp"

namespace SetArchive {

// The extension the desktop knows the files by (MIME type application/x-kor-dudurad-set).
constexpr std::string_view Extension = ".korset";

// What an archive may hold, and how much. A set's levels are numbered 1 to 999
// (Level::MaxSetLevels), each file at most Level::MaxFileBytes (1 MiB); its set.txt
// (Level::SetInfoFile) at most Level::MaxSetInfoBytes (4 KiB). The archive file is at most
// MaxArchiveBytes (64 MiB) and is read no further, so a file that grows or never ends costs
// no more; it holds at most MaxEntries members (every level and set.txt).
constexpr std::uint32_t MaxLevelNumber = Level::MaxSetLevels;
constexpr std::size_t MaxEntries = MaxLevelNumber + 1;
constexpr std::size_t MaxArchiveBytes = 64 << 20;

struct Result {
    bool ok = false;
    std::string folder;  // Import: the new set's folder; Export: the archive written
    std::uint32_t levels = 0;
    std::string message;  // one line in the player's language, names escaped: what was done, or why not
};

// Whether name is a file a shared set may hold: set.txt, or a level's name exactly as the
// game names it (Level::FileName: "level-07.txt", "level-123.txt"), its number in `level`
// (0 for set.txt).
bool IsMemberName(std::string_view name, std::uint32_t& level);

// Whether a path names a shared set by its extension.
bool IsArchiveName(std::string_view path);

// Writes the set in setFolder (its level files and set.txt; nothing else there: scores,
// progress and the editor's files stay home) as one archive at archivePath, through
// Files::Save. The same set gives the same bytes every time: members in order (set.txt,
// then the levels by number), fixed times, owners and modes. Refused, with nothing written,
// when a level does not load, the set has none, or it would exceed the bounds above.
Result Export(const std::string& setFolder, const std::string& archivePath);

// Checks the archive and adds it as a new set in setsFolder (made when missing), in a folder
// named after the archive's file ("Mine.korset": "Mine"; "Mine (2)" when that is taken: an
// existing set is never touched). Every member is read within the bounds above and must be
// a plain file with a name IsMemberName accepts, once; every level must load with the level
// reader. It is written in a hidden folder inside setsFolder, put on disk and renamed into
// place, so the set appears whole or not at all; a refusal removes what it had written.
// Hidden folders of imports that were killed half-way are removed first.
Result Import(const std::string& archivePath, const std::string& setsFolder);

// Where the level select saves a set it shares when the player names no file: the player's
// home folder, "NAME.korset" after the set's folder, "NAME (2).korset" when that is taken.
// Empty when there is no home folder.
std::string ExportTarget(const std::string& setFolder);

// What the game calls for a file it is given (an argument, a file dropped on its window, a
// double-click in a file manager), for --export-set and for the select's "share": Import
// into the player's sets (Level::PlayerSetsFolder()), and Export of a set folder (or, when
// no such folder is there, of the player's set of that folder name) to archivePath, or
// without one to ExportTarget. Each says its line on the console: stdout when done,
// "[ERROR] (ImportSet) ..." or "(ExportSet)" on stderr when not; the result's message is
// the same line for the screen.
Result ImportForPlayer(const std::string& archivePath);
Result ExportForPlayer(const std::string& set, const std::string& archivePath = {});

}  // namespace SetArchive
