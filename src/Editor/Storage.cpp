// Where the editor's files go: what it read is remembered so that a save never overwrites a
// file changed behind its back, new levels and copies get a name claimed exclusively, the
// installation's levels and files the player cannot write are edited as copies, and work
// kept after a stop signal goes into a new file, never through a link.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "Console/Console.hpp"
#include "Editor/Editor.hpp"
#include "EditorInternal.hpp"
#include "Files/Files.hpp"
#include "Level/Sets.hpp"

#ifndef KOR_PROGRAM_TO_DATA
#define KOR_PROGRAM_TO_DATA "../../share/games/kor-dudurad"
#endif

namespace Editor {

namespace {

namespace fs = std::filesystem;

// How many names are tried for a copy or a rescue before another folder is taken: a folder
// where all are taken was filled on purpose.
constexpr std::uint32_t MaxNames = 100;
constexpr std::uint32_t MaxLevelNumber = 9999;

std::string FolderOf(const std::string& path)
{
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

std::string ErrnoText(int error) { return std::strerror(error); }

}  // namespace

// Makes folder and what is missing above it. The folders the player's own folder lies in
// ($XDG_DATA_HOME, ~/.local/share) are private, as the XDG rules ask; the game's own as
// the umask gives, as the launcher makes them.
bool MakeFolders(const std::string& folder, std::string& error)
{
    const std::string player = Files::PlayerFolder();
    const fs::path privateTo = player.empty() ? fs::path() : fs::path(player).parent_path();
    fs::path at;
    for (const fs::path& part : fs::path(folder)) {
        at /= part;
        if (part.empty() || part == "/" || part == "." || part == "..") continue;
        const std::string here = at.string();
        const std::string mine = privateTo.string();
        const bool above = !mine.empty() && (mine == here || mine.starts_with(here + "/"));
        if (::mkdir(here.c_str(), above ? 0700 : 0777) != 0 && errno != EEXIST) {
            error = Console::Printable(here) + ": " + ErrnoText(errno);
            return false;
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = Console::Printable(folder) + ": " + Console::Tr("geen map");
        return false;
    }
    return true;
}

namespace {

// Creates path empty and exclusively, never through a link. 0 when made, else errno.
int CreateExclusive(const std::string& path, mode_t mode)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

// A copy's name beside path: the next free level number, or "NAME-2.txt" and on.
std::string ClaimBeside(const std::string& path, std::string& error, int& why)
{
    const std::string folder = FolderOf(path);
    const fs::path name = fs::path(path).filename();
    why = 0;
    for (std::uint32_t n = 1; n <= (LevelNumberOf(path) > 0 ? MaxLevelNumber : MaxNames); ++n) {
        std::string candidate;
        if (LevelNumberOf(path) > 0) {
            candidate = Level::FileName(folder, n);
        } else if (n == 1) {
            continue;
        } else {
            candidate = name.stem().string() + "-" + std::to_string(n) + name.extension().string();
        }
        // Named as the player named the level: "lvl-2.txt" beside "lvl.txt", no "./".
        candidate = (fs::path(path).parent_path() / fs::path(candidate).filename()).string();
        why = CreateExclusive(candidate, 0666);
        if (why == 0) return candidate;
        if (why != EEXIST) break;
    }
    error = Console::Printable(folder) + ": " + (why == EEXIST ? Console::Tr("geen vrije naam") : ErrnoText(why));
    return {};
}

std::uint64_t Hash(const std::string& bytes)
{
    std::uint64_t h = 0xcbf29ce484222325u;  // FNV-1a
    for (const unsigned char c : bytes) h = (h ^ c) * 0x100000001b3u;
    return h;
}

// The home folder with a slash after it; empty without an absolute one.
std::string HomePrefix()
{
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] == '/' ? std::string(home) + "/" : std::string();
}

// Root passes access() everywhere but on a read-only file system (an installation on one).
bool Writable(const std::string& path)
{
    struct statvfs volume {};
    return ::access(path.c_str(), W_OK) == 0 && !(::statvfs(path.c_str(), &volume) == 0 && (volume.f_flag & ST_RDONLY));
}

// Whether path is one of the launcher's links into an installation: the launcher records
// each link it made with its target in .installed-levels in the player's folder.
bool LauncherLink(const std::string& path)
{
    std::error_code ec;
    if (!fs::is_symlink(path, ec)) return false;
    const std::string player = Files::PlayerFolder();
    if (player.empty() || !fs::equivalent(FolderOf(path), player + "/data", ec)) return false;
    const std::string target = fs::read_symlink(path, ec).string();
    if (ec) return false;
    std::string record;
    if (Files::ReadBounded(player + "/.installed-levels", 1 << 20, record).status != Files::Read::Done) return false;
    const std::string line = fs::path(path).filename().string() + "\t" + target;
    for (std::size_t at = 0; at <= record.size();) {
        std::size_t end = record.find('\n', at);
        if (end == std::string::npos) end = record.size();
        if (record.compare(at, end - at, line) == 0 && end - at == line.size()) return true;
        at = end + 1;
    }
    return false;
}

}  // namespace

std::string Shown(const std::string& path)
{
    const std::string prefix = HomePrefix();
    return !prefix.empty() && path.starts_with(prefix) ? "~/" + path.substr(prefix.size()) : path;
}

std::string Expanded(const std::string& path)
{
    const std::string prefix = HomePrefix();
    return !prefix.empty() && path.starts_with("~/") ? prefix + path.substr(2) : path;
}

FileStamp StampOf(const std::string& path)
{
    FileStamp stamp;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return stamp;
    stamp.exists = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    std::string bytes;
    if (S_ISREG(info.st_mode) && Files::ReadBounded(path, Level::MaxFileBytes, bytes).status == Files::Read::Done)
        stamp.hash = Hash(bytes);
    return stamp;
}

std::string NewLevelFolder()
{
    const std::string mine = Level::MyLevelsFolder();
    return mine.empty() ? std::string("data") : mine;
}

std::string ClaimLevelFile(const std::string& folder, std::string& error)
{
    if (!MakeFolders(folder, error)) return {};
    int why = 0;
    for (std::uint32_t n = 1; n <= MaxLevelNumber; ++n) {
        const std::string name = Level::FileName(folder, n);
        why = CreateExclusive(name, 0666);
        if (why == 0) return name;
        if (why != EEXIST) break;
    }
    error = Console::Printable(folder) + ": " + (why == EEXIST ? Console::Tr("geen vrije naam") : ErrnoText(why));
    return {};
}

std::string ClaimCopyName(const std::string& path, std::string& error)
{
    int why = 0;
    std::string name = ClaimBeside(path, error, why);
    if (!name.empty()) return name;
    return ClaimLevelFile(NewLevelFolder(), error);
}

std::vector<std::string> InstalledLevelFolders()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return {(self.parent_path() / KOR_PROGRAM_TO_DATA / "data").lexically_normal().string()};
}

Keep KeepOf(const std::string& path, const Level::Report& report, const std::vector<std::string>& installed)
{
    if (!report.opened && report.failure != Level::Why::FileMissing) return Keep::Unreadable;
    for (const Level::Note& note : report.notes)
        if (note.why == Level::Why::ReadError) return Keep::Unreadable;
    std::string problem;
    const std::string target = Files::SaveTarget(path, problem);
    if (target.empty()) return report.opened ? Keep::Unreadable : Keep::ReadOnly;
    std::error_code ec;
    const std::string folder = FolderOf(target);
    for (const std::string& ours : installed)
        if (fs::equivalent(folder, ours, ec)) return Keep::Installation;
    if (LauncherLink(path)) return Keep::Installation;
    if (!Writable(folder) || (report.opened && !Writable(target))) return Keep::ReadOnly;
    return Keep::None;
}

Rescued KeepUnsaved(const std::string& file, const std::string& text)
{
    Rescued rescued;
    // The level's own permissions (a private level's work stays private); 0600 without one.
    struct stat info {};
    const mode_t mode = ::stat(file.c_str(), &info) == 0 ? (info.st_mode & 0666) : 0600;
    // Writes the whole text to a name made exclusively; errno when it cannot, EEXIST when
    // the name is taken (the file there is left as it is).
    const auto keepIn = [&](const std::string& name) -> int {
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0) return errno;
        std::size_t done = 0;
        int error = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error = n < 0 ? errno : EIO;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL) error = errno;
        if (::close(fd) != 0 && error == 0) error = errno;
        if (error != 0) ::unlink(name.c_str());  // ours, made above: half a level helps nobody
        return error;
    };
    // The next free name in folder for base: base.unsaved, base.unsaved-2, ...
    const auto keepInFolder = [&](const std::string& base) -> int {
        int error = EEXIST;
        for (std::uint32_t n = 1; n <= MaxNames && error == EEXIST; ++n) {
            const std::string name = base + ".unsaved" + (n == 1 ? std::string() : "-" + std::to_string(n));
            error = keepIn(name);
            if (error == 0) {
                rescued.path = name;
                return 0;
            }
            struct stat there {};
            if (error == EEXIST && ::lstat(name.c_str(), &there) == 0 && S_ISDIR(there.st_mode)) {
                rescued.reason = Console::Printable(name) + " is a folder";
                return EISDIR;
            }
            if (error == EEXIST && rescued.taken.empty()) rescued.taken = name;
        }
        return error;
    };
    const int error = keepInFolder(file);
    if (error == 0) return rescued;
    if (rescued.reason.empty())
        rescued.reason = Console::Printable(FolderOf(file)) + ": " +
                         (error == EEXIST ? std::string("no free name") : ErrnoText(error));
    // The player's own folder takes it; the name says which level it was.
    const std::string player = Files::PlayerFolder();
    std::string problem;
    if (player.empty() || !MakeFolders(player + "/rescued", problem)) {
        rescued.reason += player.empty() ? "; there is no player's folder" : "; " + problem;
        return rescued;
    }
    const int second = keepInFolder(player + "/rescued/" + fs::path(file).filename().string());
    if (second != 0) rescued.reason += "; " + Console::Printable(player) + "/rescued: " + ErrnoText(second);
    return rescued;
}

std::vector<std::string> RescuesOf(const std::string& file)
{
    std::vector<std::string> found;
    const auto look = [&](const std::string& base) {
        for (std::uint32_t n = 1; n <= MaxNames; ++n) {
            const std::string name = base + ".unsaved" + (n == 1 ? std::string() : "-" + std::to_string(n));
            struct stat info {};
            if (::lstat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode)) found.push_back(name);
        }
    };
    look(file);
    const std::string player = Files::PlayerFolder();
    if (!player.empty()) look(player + "/rescued/" + fs::path(file).filename().string());
    return found;
}

// ---- The session's file ----

Claim::~Claim()
{
    // Never written: the number goes back.
    if (Holds(path)) ::unlink(path.c_str());
}

bool Claim::Holds(const std::string& file) const { return !path.empty() && file == path && StampOf(path) == stamp; }

void Claim::Drop()
{
    if (Holds(path)) ::unlink(path.c_str());
    path.clear();
}

void Session::Open(const std::string& path)
{
    const FileStamp before = StampOf(path);
    const bool fresh = claim.Holds(path);  // the new level's empty file
    Level::File level = NewLevel();
    Level::Report report;
    if (!fresh) report = ReadLevel(path, level);
    doc = Document(level);
    file = path;
    selected = -1;
    group.clear();  // the chosen bodies were the old level's
    value = Value::PositionX;
    angle = 0.0f;
    speed = StartSpeed(path);
    predictedVersion = ~std::uint64_t{0};
    searchedVersion = ~std::uint64_t{0};
    stamp = before;
    keep = fresh ? Keep::None : KeepOf(path, report);
    changedOnDisk = false;
    std::string text;
    if (fresh || (!report.opened && report.failure == Level::Why::FileMissing))
        text = std::string(Console::Tr("Nieuw level")) + ": " + path;
    else
        text = Summary(report).empty() ? std::string(Console::Tr("Geopend")) + ": " + path : Summary(report);
    const std::string note = KeepNote();
    if (!note.empty()) text = note + "; " + text;
    const std::vector<std::string> rescues = RescuesOf(path);
    if (!rescues.empty()) {
        std::printf("[INFO] (Editor) Unsaved changes from an earlier session are in %s\n",
                    Console::Printable(rescues.back()).c_str());
        std::fflush(stdout);
        text = std::string(Console::Tr("Niet bewaard werk van eerder staat in")) + " " + Shown(rescues.back()) + "; " +
               text;
    }
    Say(text);
}

std::string Session::KeepNote() const
{
    switch (keep) {
        case Keep::None:
            return {};
        case Keep::Unreadable:
            return Console::Tr("Niet gelezen, dus nooit overschreven: Ctrl+S bewaart onder een nieuwe naam");
        case Keep::Installation:
            return std::string(Console::Tr("Een level van de installatie: Ctrl+S bewaart een kopie in Mijn levels")) +
                   " (" + Shown(NewLevelFolder()) + ")";
        case Keep::ReadOnly:
            return std::string(Console::Tr("Niet te schrijven: Ctrl+S bewaart een kopie in Mijn levels")) + " (" +
                   Shown(NewLevelFolder()) + ")";
    }
    return {};
}

std::string Session::KeepMark() const
{
    if (keep == Keep::None) return {};
    return std::string("  (") +
           (keep == Keep::Unreadable ? Console::Tr("Ctrl+S: onder een nieuwe naam")
                                     : Console::Tr("Ctrl+S: een kopie in Mijn levels")) +
           ")";
}

bool Session::Adopt(const std::string& path, bool made)
{
    std::string error;
    {
        const Files::FolderLock lock(path);
        if (lock.state == Files::FolderLock::State::Busy) {
            error = lock.problem;
        } else if (WriteLevel(path, doc.level(), error)) {
            file = path;
            stamp = StampOf(path);
            keep = Keep::None;
            changedOnDisk = false;
            doc.MarkSaved();
            return true;
        }
    }
    if (made && claim.path != path) ::unlink(path.c_str());  // the empty name made for it
    Say(std::string(Console::Tr("Niet bewaard")) + ": " + error);
    return false;
}

bool Session::Save()
{
    if (keep != Keep::None) {
        // Never over a file that could not be read, nor into the installation.
        std::string error;
        const std::string copy =
            keep == Keep::Unreadable ? ClaimCopyName(file, error) : ClaimLevelFile(NewLevelFolder(), error);
        if (copy.empty()) {
            Say(std::string(Console::Tr("Niet bewaard")) + ": " + error);
            return false;
        }
        if (!Adopt(copy, true)) return false;
        Say(std::string(Console::Tr("Bewaard als kopie")) + ": " + Shown(copy));
        return true;
    }
    std::string error;
    {
        const Files::FolderLock lock(file);
        if (lock.state == Files::FolderLock::State::Busy) {
            Say(std::string(Console::Tr("Niet bewaard")) + ": " + lock.problem);
            return false;
        }
        const FileStamp now = StampOf(file);
        if (now.exists && now != stamp) {
            // Changed, replaced or made by another program since it was read.
            changedOnDisk = true;
            Say(
                Console::Tr("Niet bewaard: het bestand is buiten de editor veranderd. Ctrl+Shift+S: nieuwe naam, "
                            "Ctrl+R: opnieuw lezen"));
            return false;
        }
        if (WriteLevel(file, doc.level(), error)) {
            stamp = StampOf(file);
            doc.MarkSaved();
            Say(std::string(Console::Tr("Bewaard")) + ": " + file);
            return true;
        }
    }
    Say(std::string(Console::Tr("Niet bewaard")) + ": " + error);
    return false;
}

std::string Session::ClaimCopy(std::string& error) const
{
    return keep == Keep::None || keep == Keep::Unreadable ? ClaimCopyName(file, error)
                                                          : ClaimLevelFile(NewLevelFolder(), error);
}

bool Session::SaveCopy()
{
    std::string error;
    const std::string copy = ClaimCopy(error);
    if (copy.empty()) {
        Say(std::string(Console::Tr("Niet bewaard")) + ": " + error);
        return false;
    }
    if (!Adopt(copy, true)) return false;
    Say(std::string(Console::Tr("Bewaard onder een nieuwe naam")) + ": " + Shown(copy));
    return true;
}

bool Session::SaveAs(const std::string& path, bool replace)
{
    struct stat info {};
    const bool there = ::lstat(path.c_str(), &info) == 0;
    if (!there) {
        const int why = CreateExclusive(path, 0666);
        if (why != 0) {
            Say(std::string(Console::Tr("Niet bewaard")) + ": " + Console::Printable(path) + ": " + ErrnoText(why));
            return false;
        }
        if (!Adopt(path, true)) return false;
    } else {
        Level::File ignored;
        const Level::Report report = Level::Read(path, ignored);
        const Keep protect = KeepOf(path, report);
        if (!replace || protect != Keep::None) {
            Say(std::string(Console::Tr("Niet bewaard: er is al een bestand")) + " " + Console::Printable(path) +
                (protect != Keep::None ? std::string(" (") + Console::Tr("niet te schrijven") + ")" : std::string()));
            return false;
        }
        if (!Adopt(path, false)) return false;
    }
    Say(std::string(Console::Tr("Bewaard")) + ": " + Console::Printable(path));
    return true;
}

void Session::Reload()
{
    if (doc.Modified() && reloadAskedAt != doc.Version()) {
        reloadAskedAt = doc.Version();
        Say(Console::Tr("Niet bewaarde wijzigingen: nog eens Ctrl+R leest het bestand opnieuw en laat ze los"));
        return;
    }
    reloadAskedAt = ~std::uint64_t{0};
    const float keptAngle = angle, keptSpeed = speed;  // the aim is the player's, not the file's
    Open(file);
    angle = keptAngle;
    speed = keptSpeed;
}

void Session::Rescue()
{
    std::string error;
    // A new level that was never saved: its own empty file takes the work.
    if (claim.Holds(file) && WriteLevel(file, doc.level(), error)) {
        std::fprintf(stderr, "[ERROR] (Editor) Unsaved changes were kept in %s, the new level's file\n",
                     Console::Printable(file).c_str());
        return;
    }
    const Rescued rescued = KeepUnsaved(file, Level::Text(doc.level()));
    if (rescued.path.empty()) {
        std::fprintf(stderr, "[ERROR] (Editor) Unsaved changes could not be kept: %s\n", rescued.reason.c_str());
    } else if (!rescued.reason.empty()) {
        std::fprintf(stderr, "[ERROR] (Editor) Unsaved changes were kept in %s, not beside the level (%s)\n",
                     Console::Printable(rescued.path).c_str(), rescued.reason.c_str());
    } else if (!rescued.taken.empty()) {
        std::fprintf(stderr,
                     "[ERROR] (Editor) Unsaved changes were kept in %s (%s was there already and is left as it is)\n",
                     Console::Printable(rescued.path).c_str(), Console::Printable(rescued.taken).c_str());
    } else {
        std::fprintf(stderr, "[ERROR] (Editor) Unsaved changes were kept in %s\n",
                     Console::Printable(rescued.path).c_str());
    }
}

}  // namespace Editor
