#include "Settings.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "Console/Console.hpp"
#include "Console/Language.hpp"

namespace KOR_Dudurad {

namespace {

// Far more than the file ever holds; a larger one is not ours.
constexpr std::size_t MaxFileSize = 4096;

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// The name of a "name = value" line; empty for a blank line or a comment.
std::string_view NameOf(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() == '#') return {};
    return Trim(line.substr(0, line.find('=')));
}

// "name = value" lines; blank lines and lines starting with '#' are comments. Names this
// version does not know are skipped, so that a newer version's file still loads. A language
// the game does not know is left out and named in `unknownLanguage`.
bool Parse(std::string_view text, Settings& settings, std::string& unknownLanguage)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return false;
        const std::string_view name = Trim(line.substr(0, eq));
        const std::string_view value = Trim(line.substr(eq + 1));
        if (name.empty()) return false;
        if (name == "sound") {
            if (value == "on") {
                settings.muted = false;
            } else if (value == "off") {
                settings.muted = true;
            } else {
                return false;
            }
        } else if (name == "language") {
            if (Console::KnownLanguage(value)) {
                settings.language = value;
                unknownLanguage.clear();
            } else {
                settings.language.clear();
                unknownLanguage = value;
            }
        }
    }
    return true;
}

enum class Read { Missing, Done, NotRegular, Failed, TooLarge };

// The whole file, opened without blocking and read only when it is a regular file: a FIFO
// or a device in its place never stalls the game.
Read ReadFile(const char* path, std::string& text, int& error)
{
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = errno;
        return errno == ENOENT ? Read::Missing : Read::Failed;
    }
    struct stat st {};
    Read result = Read::Done;
    if (::fstat(fd, &st) != 0) {
        error = errno;
        result = Read::Failed;
    } else if (!S_ISREG(st.st_mode)) {
        result = Read::NotRegular;
    } else {
        char buffer[MaxFileSize + 1];
        std::size_t size = 0;
        while (size < sizeof buffer) {
            const ssize_t n = ::read(fd, buffer + size, sizeof buffer - size);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = errno;
                result = Read::Failed;
            }
            if (n <= 0) break;
            size += static_cast<std::size_t>(n);
        }
        if (size > MaxFileSize) result = Read::TooLarge;
        text.assign(buffer, size);
    }
    ::close(fd);
    return result;
}

// The file a path ends in, following its links (one made by the player to keep the settings
// elsewhere), so that saving writes that file and leaves the link.
std::filesystem::path Target(const char* path)
{
    std::filesystem::path p(path);
    for (int hop = 0; hop < 16; ++hop) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec))) break;
        const std::filesystem::path to = std::filesystem::read_symlink(p, ec);
        if (ec) break;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return p;
}

bool Failed(const char* path, int error)
{
    std::printf("[ERROR] (SaveSettings) The settings could not be saved in %s (%s).\n",
                Console::Printable(path).c_str(), std::strerror(error));
    return false;
}

// Writes `text` as the file at `target` through a new file renamed over it.
bool Replace(const char* path, const std::filesystem::path& target, const std::string& text, const struct stat* old)
{
    static std::atomic<unsigned> counter{0};
    const std::string temp =
        target.string() + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    // A new file gets the usual mode (0666 less the umask); an old one keeps its own.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, old ? 0600 : 0666);
    if (fd < 0) return Failed(path, errno);
    bool ok = old == nullptr || ::fchmod(fd, old->st_mode & 07777) == 0;
    std::size_t done = 0;
    while (ok && done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    // On disk before the rename makes it the settings.
    ok = ok && ::fsync(fd) == 0;
    const int saved = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
        const int why = ok ? errno : saved;
        ::unlink(temp.c_str());
        return Failed(path, why);
    }
    return true;
}

}  // namespace

Settings LoadSettings(const char* path)
{
    std::string text;
    int error = 0;
    const Read read = ReadFile(path, text, error);
    Settings settings;
    std::string unknownLanguage;
    switch (read) {
        case Read::Missing:
            return settings;
        case Read::Failed:
            std::printf("[ERROR] (LoadSettings) %s cannot be read (%s); the default settings are used.\n",
                        Console::Printable(path).c_str(), std::strerror(error));
            return settings;
        case Read::NotRegular:
            std::printf("[ERROR] (LoadSettings) %s is not a regular file; the default settings are used.\n",
                        Console::Printable(path).c_str());
            return settings;
        case Read::TooLarge:
            break;
        case Read::Done:
            if (text.find('\0') == std::string::npos && Parse(text, settings, unknownLanguage)) {
                if (!unknownLanguage.empty()) {
                    std::printf(
                        "[ERROR] (LoadSettings) %s names the language \"%s\", which the game does not "
                        "know; it speaks Dutch.\n",
                        Console::Printable(path).c_str(), Console::Printable(unknownLanguage).c_str());
                }
                return settings;
            }
            break;
    }
    std::printf("[ERROR] (LoadSettings) %s is damaged; the default settings are used.\n",
                Console::Printable(path).c_str());
    return Settings{};
}

bool SaveSetting(std::string_view name, std::string_view value, const char* path)
{
    const std::filesystem::path target = Target(path);
    std::string old;
    int error = 0;
    const Read read = ReadFile(target.c_str(), old, error);
    if (read == Read::Failed) return Failed(path, error);
    if (read == Read::NotRegular) {
        std::printf("[ERROR] (SaveSettings) %s is not a regular file; the settings are not saved.\n",
                    Console::Printable(path).c_str());
        return false;
    }
    Settings ignored;
    std::string unknown;
    const bool keep = read == Read::Done && old.find('\0') == std::string::npos && Parse(old, ignored, unknown);
    const std::string line = std::string(name) + " = " + std::string(value);
    std::string text;
    bool placed = false;
    if (keep) {
        std::string_view rest = old;
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            const std::string_view current = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
            if (NameOf(current) == name) {
                if (placed) continue;  // a name twice: the first place counts, the rest would contradict it
                text += line;
                placed = true;
            } else {
                text += current;
            }
            text += '\n';
        }
    } else {
        text = "# The KOR Dudurad\n";
    }
    if (!placed) text += line + "\n";
    struct stat st {};
    const bool exists = read != Read::Missing && ::stat(target.c_str(), &st) == 0;
    return Replace(path, target, text, exists ? &st : nullptr);
}

bool SaveSettings(const Settings& settings, const char* path)
{
    if (!SaveSetting("sound", settings.muted ? "off" : "on", path)) return false;
    return settings.language.empty() || SaveSetting("language", settings.language, path);
}

}  // namespace KOR_Dudurad
