#include "SetArchive/SetArchive.hpp"

#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Console/Console.hpp"
#include "Files/Files.hpp"

namespace SetArchive {

namespace {

namespace fs = std::filesystem;

// The times, owner and mode every member gets, so that one set gives one archive.
constexpr la_int64_t MemberTime = 946684800;  // 2000-01-01 00:00 UTC
constexpr int MemberMode = 0644;
// A killed import's hidden folder: ".korset-import-PID-XXXXXX".
constexpr std::string_view TempPrefix = ".korset-import-";
// Folder names made from an archive's name are cut to this many bytes.
constexpr std::size_t MaxFolderName = 64;
constexpr int MaxNameTries = 100;

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string Shown(std::string_view text) { return Console::Printable(text, 60); }

// libarchive's own words for what went wrong (English, as its messages are).
std::string ErrorOf(archive* a)
{
    const char* text = archive_error_string(a);
    return Shown(text != nullptr ? text : "?");
}

Result Refused(std::string message)
{
    Result r;
    r.message = std::move(message);
    return r;
}

// A level's text loads when the reader takes it and finds a black hole and a rocket.
bool Loads(const std::string& text, const std::string& name)
{
    Level::File file;
    const Level::Report report = Level::ReadText(text, name, file);
    return report.opened && !report.tooFewSections;
}

std::string NoLevel(std::string_view where, std::string_view name)
{
    return Format(Console::Tr("%s: '%s' is geen level: het zwarte gat of de raket ontbreekt."), Shown(where).c_str(),
                  Shown(name).c_str());
}

// ---- Import ----

struct Source {
    int fd = -1;
    std::size_t total = 0;
    bool tooLarge = false;
    char buffer[64 * 1024];
};

la_ssize_t ReadSource(archive* a, void* data, const void** block)
{
    auto* source = static_cast<Source*>(data);
    const std::size_t room = MaxArchiveBytes + 1 - source->total;
    if (room == 0) {
        source->tooLarge = true;
        archive_set_error(a, EFBIG, "larger than the bound");
        return -1;
    }
    ssize_t got = 0;
    do {
        got = ::read(source->fd, source->buffer, std::min(sizeof source->buffer, room));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        archive_set_error(a, errno, "%s", std::strerror(errno));
        return -1;
    }
    source->total += static_cast<std::size_t>(got);
    if (source->total > MaxArchiveBytes) {
        source->tooLarge = true;
        archive_set_error(a, EFBIG, "larger than the bound");
        return -1;
    }
    *block = source->buffer;
    return got;
}

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};

struct FdCloser {
    int fd = -1;
    ~FdCloser()
    {
        if (fd >= 0) ::close(fd);
    }
};

bool ProcessRuns(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// Hidden folders of imports whose program no longer runs.
void RemoveStaleImports(const std::string& setsFolder)
{
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(setsFolder, ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(TempPrefix)) continue;
        const std::string rest = name.substr(TempPrefix.size());
        const std::size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string::npos || dash > 9 || rest.find_first_not_of("0123456789") != dash) {
            continue;
        }
        const pid_t pid = static_cast<pid_t>(std::stol(rest.substr(0, dash)));
        if (pid > 0 && !ProcessRuns(pid)) {
            std::error_code ignored;
            fs::remove_all(entry.path(), ignored);
        }
    }
}

// The archive's file name without its extension, as a folder name: no slashes, no
// control bytes, not hidden, not too long.
std::string FolderNameOf(const std::string& archivePath)
{
    std::string stem = fs::path(archivePath).filename().string();
    if (IsArchiveName(stem)) stem.resize(stem.size() - Extension.size());
    // Kept as it is when it is clean UTF-8; otherwise every byte beyond plain ASCII goes.
    const bool clean = Console::Printable(stem, stem.size() + 1) == stem;
    std::string name;
    for (const char c : stem) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '/' || (u >= 0x80 && !clean)) {
            name += '_';
        } else {
            name += c;
        }
    }
    const std::size_t start = name.find_first_not_of(". ");
    name = start == std::string::npos ? std::string() : name.substr(start);
    if (name.size() > MaxFolderName) {
        std::size_t cut = MaxFolderName;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name.empty() ? "set" : name;
}

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The hidden folder an import writes into; removed with what it holds unless kept.
struct Staging {
    std::string path;
    int fd = -1;
    bool keep = false;
    ~Staging()
    {
        if (fd >= 0) ::close(fd);
        if (!path.empty() && !keep) {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    }
};

// What the checks of one archive found, member by member.
struct Reader {
    const std::string& shown;  // the archive as the messages name it
    archive* a;
    Staging& staging;
    std::set<std::string> names;
    std::uint32_t levels = 0;
    std::string why;

    bool Fail(std::string message)
    {
        why = std::move(message);
        return false;
    }
    std::string ArchiveError() const { return ErrorOf(a); }

    // The member's bytes, read to its end but never past the bound.
    bool ReadData(const std::string& name, std::size_t bound, std::string& bytes)
    {
        char buffer[16 * 1024];
        while (true) {
            const la_ssize_t got = archive_read_data(a, buffer, sizeof buffer);
            if (got == 0) return true;
            if (got < 0) {
                return Fail(Format(Console::Tr("%s: '%s' is afgebroken of beschadigd (%s)."), shown.c_str(),
                                   Shown(name).c_str(), ArchiveError().c_str()));
            }
            if (bytes.size() + static_cast<std::size_t>(got) > bound) {
                return Fail(Format(Console::Tr("%s: '%s' is groter dan %u bytes."), shown.c_str(), Shown(name).c_str(),
                                   static_cast<unsigned>(bound)));
            }
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
    }

    bool Member(archive_entry* entry)
    {
        const char* raw = archive_entry_pathname(entry);
        const std::string name = raw != nullptr ? raw : "";
        std::uint32_t level = 0;
        if (!IsMemberName(name, level)) {
            return Fail(Format(Console::Tr("%s: '%s' hoort niet in een set (alleen level-NN.txt en set.txt)."),
                               shown.c_str(), Shown(name).c_str()));
        }
        // A hard link is a regular file to libarchive, with the name it links to.
        if (archive_entry_filetype(entry) != AE_IFREG || archive_entry_hardlink(entry) != nullptr ||
            archive_entry_symlink(entry) != nullptr || archive_entry_sparse_count(entry) > 0 ||
            archive_entry_is_encrypted(entry)) {
            return Fail(Format(Console::Tr("%s: '%s' is geen gewoon bestand (een link, map of apparaat)."),
                               shown.c_str(), Shown(name).c_str()));
        }
        if (!names.insert(name).second) {
            return Fail(Format(Console::Tr("%s: '%s' staat er twee keer in."), shown.c_str(), Shown(name).c_str()));
        }
        const std::size_t bound = level > 0 ? Level::MaxFileBytes : Level::MaxSetInfoBytes;
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > static_cast<la_int64_t>(bound)) {
            return Fail(Format(Console::Tr("%s: '%s' is groter dan %u bytes."), shown.c_str(), Shown(name).c_str(),
                               static_cast<unsigned>(bound)));
        }
        std::string bytes;
        if (!ReadData(name, bound, bytes)) return false;
        if (level > 0) {
            if (!Loads(bytes, name)) return Fail(NoLevel(shown, name));
            ++levels;
        } else if (bytes.find('\0') != std::string::npos) {
            return Fail(Format(Console::Tr("%s: '%s' is geen tekst."), shown.c_str(), Shown(name).c_str()));
        }
        // The name was checked above: a plain name, so the file lands in the staging folder.
        const int fd =
            ::openat(staging.fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, MemberMode);
        bool written = fd >= 0 && WriteAll(fd, bytes);
        const int error = errno;
        if (fd >= 0 && ::close(fd) != 0) written = false;
        if (!written) {
            return Fail(Format(Console::Tr("%s: de set kan niet worden opgeslagen in %s: %s."), shown.c_str(),
                               Shown(staging.path).c_str(), std::strerror(error)));
        }
        return true;
    }
};

// Renames the staging folder to the first free name; never over an existing one.
bool Place(const std::string& staging, const std::string& setsFolder, const std::string& base, std::string& placed,
           int& error)
{
    for (int n = 1; n <= MaxNameTries; ++n) {
        const std::string name = n == 1 ? base : base + " (" + std::to_string(n) + ")";
        const std::string target = (fs::path(setsFolder) / name).string();
        if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
            placed = target;
            return true;
        }
        error = errno;
        if (error == EINVAL || error == ENOSYS) {
            // A file system without the no-replace rename: look first (a race here can only
            // meet another import that made the same name in the same moment).
            struct stat st {};
            if (::lstat(target.c_str(), &st) == 0) {
                error = EEXIST;
                continue;
            }
            if (::rename(staging.c_str(), target.c_str()) == 0) {
                placed = target;
                return true;
            }
            error = errno;
        }
        if (error != EEXIST && error != ENOTEMPTY) return false;
    }
    return false;
}

void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// ---- Export ----

struct Sink {
    std::string bytes;
    bool tooLarge = false;
};

la_ssize_t WriteSink(archive* a, void* data, const void* block, size_t length)
{
    auto* sink = static_cast<Sink*>(data);
    if (sink->bytes.size() + length > MaxArchiveBytes) {
        sink->tooLarge = true;
        archive_set_error(a, EFBIG, "larger than the bound");
        return -1;
    }
    sink->bytes.append(static_cast<const char*>(block), length);
    return static_cast<la_ssize_t>(length);
}

struct WriterCloser {
    void operator()(archive* a) const { archive_write_free(a); }
};

}  // namespace

bool IsMemberName(std::string_view name, std::uint32_t& level)
{
    if (name == Level::SetInfoFile) {
        level = 0;
        return true;
    }
    constexpr std::string_view head = "level-";
    constexpr std::string_view tail = ".txt";
    if (!name.starts_with(head) || !name.ends_with(tail)) return false;
    const std::string_view digits = name.substr(head.size(), name.size() - head.size() - tail.size());
    if (digits.empty() || digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
    }
    std::uint32_t number = 0;
    for (const char c : digits) number = number * 10 + static_cast<std::uint32_t>(c - '0');
    // Only the game's own spelling: "level-07.txt", never "level-7.txt" or "level-007.txt".
    if (number < 1 || number > MaxLevelNumber || Level::FileName("", number) != "/" + std::string(name)) return false;
    level = number;
    return true;
}

bool IsArchiveName(std::string_view path)
{
    return path.size() > Extension.size() && path.ends_with(Extension) && !path.ends_with("/" + std::string(Extension));
}

Result Import(const std::string& archivePath, const std::string& setsFolder)
{
    const std::string shown = Shown(fs::path(archivePath).filename().string());
    std::string problem;
    FdCloser file{Files::OpenRegular(archivePath, problem)};
    if (file.fd < 0) {
        return Refused(
            Format(Console::Tr("%s kan niet gelezen worden: %s."), Shown(archivePath).c_str(), problem.c_str()));
    }
    struct stat st {};
    if (::fstat(file.fd, &st) != 0 || static_cast<std::uint64_t>(st.st_size) > MaxArchiveBytes) {
        return Refused(
            Format(Console::Tr("%s: groter dan %u MiB."), shown.c_str(), static_cast<unsigned>(MaxArchiveBytes >> 20)));
    }

    std::error_code ec;
    fs::create_directories(setsFolder, ec);
    if (ec) {
        return Refused(Format(Console::Tr("%s: de set kan niet worden opgeslagen in %s: %s."), shown.c_str(),
                              Shown(setsFolder).c_str(), ec.message().c_str()));
    }
    RemoveStaleImports(setsFolder);
    Staging staging;
    std::string pattern =
        (fs::path(setsFolder) / (std::string(TempPrefix) + std::to_string(::getpid()) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return Refused(Format(Console::Tr("%s: de set kan niet worden opgeslagen in %s: %s."), shown.c_str(),
                              Shown(setsFolder).c_str(), std::strerror(errno)));
    }
    staging.path = pattern;
    staging.fd = ::open(staging.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (staging.fd < 0) {
        return Refused(Format(Console::Tr("%s: de set kan niet worden opgeslagen in %s: %s."), shown.c_str(),
                              Shown(setsFolder).c_str(), std::strerror(errno)));
    }

    // Plain tar only: no compression, so nothing read can grow past the file's own size.
    auto source = std::make_unique<Source>();  // outlives the reader, which reads from it
    source->fd = file.fd;
    std::unique_ptr<archive, ArchiveCloser> a(archive_read_new());
    archive_read_support_format_tar(a.get());
    Reader reader{shown, a.get(), staging, {}, 0, {}};
    if (archive_read_open(a.get(), source.get(), nullptr, ReadSource, nullptr) != ARCHIVE_OK) {
        return Refused(
            Format(Console::Tr("%s: geen set van dit spel (%s)."), shown.c_str(), reader.ArchiveError().c_str()));
    }
    std::size_t entries = 0;
    while (true) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(a.get(), &entry);
        if (status == ARCHIVE_EOF) break;
        if (source->tooLarge) {
            return Refused(Format(Console::Tr("%s: groter dan %u MiB."), shown.c_str(),
                                  static_cast<unsigned>(MaxArchiveBytes >> 20)));
        }
        if (status != ARCHIVE_OK) {
            return Refused(entries == 0 ? Format(Console::Tr("%s: geen set van dit spel (%s)."), shown.c_str(),
                                                 reader.ArchiveError().c_str())
                                        : Format(Console::Tr("%s is afgebroken of beschadigd (%s)."), shown.c_str(),
                                                 reader.ArchiveError().c_str()));
        }
        if (++entries > MaxEntries) {
            return Refused(
                Format(Console::Tr("%s: meer dan %u bestanden."), shown.c_str(), static_cast<unsigned>(MaxEntries)));
        }
        if (!reader.Member(entry)) return Refused(reader.why);
    }
    if (reader.levels == 0) {
        return Refused(Format(Console::Tr("%s: er staat geen level in."), shown.c_str()));
    }

    // Put on disk only now: a refused archive costs no waits for the disc.
    for (const std::string& name : reader.names) {
        const int fd = ::openat(staging.fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        const bool synced = fd >= 0 && ::fsync(fd) == 0;
        const int error = errno;
        if (fd >= 0) ::close(fd);
        if (!synced) {
            return Refused(Format(Console::Tr("%s: de set kan niet worden opgeslagen in %s: %s."), shown.c_str(),
                                  Shown(setsFolder).c_str(), std::strerror(error)));
        }
    }
    SyncFolder(staging.path);
    std::string placed;
    int error = 0;
    if (!Place(staging.path, setsFolder, FolderNameOf(archivePath), placed, error)) {
        return Refused(Format(Console::Tr("%s: de set kan niet worden opgeslagen in %s: %s."), shown.c_str(),
                              Shown(setsFolder).c_str(), std::strerror(error)));
    }
    staging.keep = true;
    SyncFolder(setsFolder);

    Result r;
    r.ok = true;
    r.folder = placed;
    r.levels = reader.levels;
    r.message = Format(Console::Tr("Set '%s' toegevoegd uit %s (%u levels)."),
                       Shown(fs::path(placed).filename().string()).c_str(), shown.c_str(), reader.levels);
    return r;
}

Result Export(const std::string& setFolder, const std::string& archivePath)
{
    const std::string shownSet = Shown(setFolder);
    // The set's files by name: set.txt first (number 0), then the levels by number.
    std::map<std::uint32_t, std::string> members;
    std::error_code ec;
    fs::directory_iterator it(setFolder, ec);
    if (ec) {
        return Refused(Format(Console::Tr("%s kan niet gelezen worden: %s."), shownSet.c_str(), ec.message().c_str()));
    }
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        std::uint32_t level = 0;
        if (IsMemberName(name, level)) members.emplace(level, name);
    }
    if (members.size() > MaxEntries) {
        return Refused(
            Format(Console::Tr("%s: meer dan %u bestanden."), shownSet.c_str(), static_cast<unsigned>(MaxEntries)));
    }

    // The sink outlives the writer: freeing a writer that was not closed flushes into it.
    Sink sink;
    std::unique_ptr<archive, WriterCloser> a(archive_write_new());
    // No padding past the end-of-archive blocks: the file is as long as its contents.
    if (archive_write_set_format_ustar(a.get()) != ARCHIVE_OK ||
        archive_write_set_bytes_in_last_block(a.get(), 1) != ARCHIVE_OK ||
        archive_write_open(a.get(), &sink, nullptr, WriteSink, nullptr) != ARCHIVE_OK) {
        return Refused(Format(Console::Tr("%s kan niet worden geschreven: %s."), Shown(archivePath).c_str(),
                              ErrorOf(a.get()).c_str()));
    }
    std::uint32_t levels = 0;
    for (const auto& [level, name] : members) {
        const std::string path = (fs::path(setFolder) / name).string();
        const std::size_t bound = level > 0 ? Level::MaxFileBytes : Level::MaxSetInfoBytes;
        std::string bytes;
        const Files::ReadResult read = Files::ReadBounded(path, bound, bytes);
        if (read.status == Files::Read::TooLarge) {
            return Refused(Format(Console::Tr("%s: '%s' is groter dan %u bytes."), shownSet.c_str(),
                                  Shown(name).c_str(), static_cast<unsigned>(bound)));
        }
        if (read.status != Files::Read::Done) {
            return Refused(
                Format(Console::Tr("%s kan niet gelezen worden: %s."), Shown(path).c_str(), read.problem.c_str()));
        }
        if (level > 0) {
            if (!Loads(bytes, name)) return Refused(NoLevel(shownSet, name));
            ++levels;
        }
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(), archive_entry_free);
        archive_entry_set_pathname(entry.get(), name.c_str());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), MemberMode);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(bytes.size()));
        archive_entry_set_mtime(entry.get(), MemberTime, 0);
        archive_entry_set_uid(entry.get(), 0);
        archive_entry_set_gid(entry.get(), 0);
        if (archive_write_header(a.get(), entry.get()) != ARCHIVE_OK ||
            archive_write_data(a.get(), bytes.data(), bytes.size()) != static_cast<la_ssize_t>(bytes.size())) {
            break;  // said below, with the bound when that was the cause
        }
    }
    if (levels == 0 && !sink.tooLarge) {
        return Refused(Format(Console::Tr("%s: er staat geen level in."), shownSet.c_str()));
    }
    if (archive_write_close(a.get()) != ARCHIVE_OK || sink.tooLarge) {
        return Refused(sink.tooLarge ? Format(Console::Tr("%s: groter dan %u MiB."), Shown(archivePath).c_str(),
                                              static_cast<unsigned>(MaxArchiveBytes >> 20))
                                     : Format(Console::Tr("%s kan niet worden geschreven: %s."),
                                              Shown(archivePath).c_str(), ErrorOf(a.get()).c_str()));
    }
    Files::SaveFailure failure;
    if (!Files::Save(archivePath, sink.bytes, failure)) return Refused(Files::Describe(failure));
    Result r;
    r.ok = true;
    r.folder = archivePath;
    r.levels = levels;
    r.message =
        Format(Console::Tr("Set %s bewaard als %s (%u levels)."), shownSet.c_str(), Shown(archivePath).c_str(), levels);
    return r;
}

std::string ExportTarget(const std::string& setFolder)
{
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    const std::string base = FolderNameOf(fs::path(setFolder).filename().string());
    for (int n = 1; n <= MaxNameTries; ++n) {
        const std::string name = (n == 1 ? base : base + " (" + std::to_string(n) + ")") + std::string(Extension);
        const fs::path path = fs::path(home) / name;
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(path, ec))) return path.string();
    }
    return {};
}

namespace {

Result Said(Result result, const char* procedure)
{
    if (result.ok) {
        std::printf("%s\n", result.message.c_str());
        std::fflush(stdout);
    } else {
        std::fprintf(stderr, "[ERROR] (%s) %s\n", procedure, result.message.c_str());
    }
    return result;
}

}  // namespace

Result ImportForPlayer(const std::string& archivePath)
{
    const std::string sets = Level::PlayerSetsFolder();
    if (sets.empty()) {
        return Said(Refused(Format(Console::Tr("%s: de set kan niet worden opgeslagen in %s: %s."),
                                   Shown(fs::path(archivePath).filename().string()).c_str(), "$XDG_DATA_HOME",
                                   Console::Tr("geen map van de speler"))),
                    "ImportSet");
    }
    return Said(Import(archivePath, sets), "ImportSet");
}

Result ExportForPlayer(const std::string& set, const std::string& archivePath)
{
    std::string folder = set;
    std::error_code ec;
    if (!fs::is_directory(folder, ec) && set.find('/') == std::string::npos && !Level::PlayerSetsFolder().empty()) {
        folder = Level::PlayerSetsFolder() + "/" + set;
    }
    const std::string target = archivePath.empty() ? ExportTarget(folder) : archivePath;
    if (target.empty()) {
        return Said(Refused(Format(Console::Tr("%s kan niet worden geschreven: %s."), "$HOME",
                                   Console::Tr("geen map van de speler"))),
                    "ExportSet");
    }
    return Said(Export(folder, target), "ExportSet");
}

}  // namespace SetArchive
