#include "Settings.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

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

// "name = value" lines; blank lines and lines starting with '#' are comments. Names this
// version does not know are skipped, so that a newer version's file still loads.
bool Parse(std::string_view text, Settings& settings)
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
        }
    }
    return true;
}

}  // namespace

Settings LoadSettings(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        if (errno != ENOENT) {
            std::printf("[ERROR] (LoadSettings) %s cannot be read (%s); the default settings are used.\n", path,
                        std::strerror(errno));
        }
        return Settings{};
    }
    char buffer[MaxFileSize + 1];
    const std::size_t size = std::fread(buffer, 1, sizeof buffer, file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    Settings settings;
    const std::string_view text(buffer, size);
    if (failed || size > MaxFileSize || text.find('\0') != std::string_view::npos || !Parse(text, settings)) {
        std::printf("[ERROR] (LoadSettings) %s is damaged; the default settings are used.\n", path);
        return Settings{};
    }
    return settings;
}

bool SaveSettings(const Settings& settings, const char* path)
{
    const std::filesystem::path target(path);
    std::string temp = (target.parent_path() / (target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        std::printf("[ERROR] (SaveSettings) The settings could not be saved in %s (%s).\n", path, std::strerror(errno));
        return false;
    }
    const std::string text = std::string("# The KOR Dudurad\nsound = ") + (settings.muted ? "off" : "on") + "\n";
    bool ok = true;
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
    if (!ok || std::rename(temp.c_str(), path) != 0) {
        const int why = ok ? errno : saved;
        ::unlink(temp.c_str());
        std::printf("[ERROR] (SaveSettings) The settings could not be saved in %s (%s).\n", path, std::strerror(why));
        return false;
    }
    return true;
}

}  // namespace KOR_Dudurad
