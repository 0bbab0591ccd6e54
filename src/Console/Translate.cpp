// Texts in the player's language, from gettext catalogs (.mo files) read here.
//
// The catalogs are read by this small reader rather than through glibc's gettext, which would
// find them too (with setlocale and LANGUAGE, even in the C.UTF-8 locale), because:
// - the player switches the language while the game runs (L in the menu); gettext takes it
//   from the environment, so that would mean setenv("LANGUAGE") while the window's, the
//   sound's and the signal watcher's threads may read the environment, which is not
//   thread-safe, and setlocale changes the whole process under those threads as well;
// - the choice is the player's alone: gettext would also follow the desktop's LANGUAGE and
//   LANG, which the game ignores on purpose;
// - a text handed out here stays valid while another thread draws it, whatever language is
//   chosen meanwhile (catalogs are never freed);
// - a catalog file is read as every file the game reads: checked to be a regular file of a
//   sane size, and a damaged one leaves the texts Dutch with one console line.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <unordered_map>

#include "Console/Console.hpp"
#include "Console/Language.hpp"

#ifndef KOR_LINGUAS
#define KOR_LINGUAS ""
#endif
#ifndef KOR_PROGRAM_TO_LOCALE
#define KOR_PROGRAM_TO_LOCALE "../../share/locale"
#endif

namespace Console {

namespace {

constexpr const char* Domain = "kor-dudurad";
// The game's catalog holds a few hundred short texts; anything near this is not one.
constexpr off_t MaxCatalogSize = off_t{4} << 20;

struct Catalog {
    std::string language;
    std::string data;                                         // the file, kept for the texts' life
    std::unordered_map<std::string_view, const char*> texts;  // Dutch -> translation
};

// Catalogs are never freed: a text handed out by Tr stays valid while another thread draws
// it, whatever language is chosen meanwhile.
std::mutex loadLock;
std::deque<Catalog> loaded;
std::atomic<const Catalog*> current{nullptr};
std::atomic<const std::string*> currentCode{nullptr};
std::deque<std::string> codes;

std::uint32_t Word(const std::string& data, std::size_t at, bool swapped)
{
    std::uint32_t w;
    std::memcpy(&w, data.data() + at, sizeof w);
    return swapped ? __builtin_bswap32(w) : w;
}

// The strings of a .mo file: a header of seven words, then tables of (length, offset) pairs
// for the originals and the translations. Every length and offset is checked against the
// file, and each string must end in its NUL.
bool ParseCatalog(Catalog& c)
{
    const std::string& d = c.data;
    if (d.size() < 28) return false;
    const std::uint32_t magic = Word(d, 0, false);
    const bool swapped = magic == 0xde120495u;
    if (!swapped && magic != 0x950412deu) return false;
    if ((Word(d, 4, swapped) >> 16) != 0) return false;  // major revision 0 only
    const std::uint64_t n = Word(d, 8, swapped), originals = Word(d, 12, swapped), translations = Word(d, 16, swapped);
    if (originals + n * 8 > d.size() || translations + n * 8 > d.size()) return false;
    auto text = [&](std::uint64_t table, std::uint64_t i, std::string_view& out) {
        const std::uint64_t length = Word(d, table + i * 8, swapped), offset = Word(d, table + i * 8 + 4, swapped);
        if (offset + length >= d.size() || d[offset + length] != '\0') return false;
        out = std::string_view(d.data() + offset, length);
        return true;
    };
    for (std::uint64_t i = 0; i < n; ++i) {
        std::string_view from, to;
        if (!text(originals, i, from) || !text(translations, i, to)) return false;
        // The header (empty key), texts with a context or plural forms: none is the game's.
        if (from.empty() || to.empty() || from.find('\0') != std::string_view::npos) continue;
        c.texts.emplace(from, to.data());
    }
    return true;
}

// Reads a catalog file; empty `why` when it was read. Opened without blocking and read only
// when it is a regular file of a sane size: a FIFO or a device never stalls the start.
bool ReadCatalog(const std::string& path, Catalog& c, std::string& why)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= MaxCatalogSize;
    if (!ok) why = "not a catalog file";
    if (ok) {
        c.data.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (ok && done < c.data.size()) {
            const ssize_t got = ::read(fd, c.data.data() + done, c.data.size() - done);
            if (got < 0 && errno == EINTR) continue;
            ok = got > 0;
            if (ok) done += static_cast<std::size_t>(got);
        }
        if (!ok) why = "cannot be read";
    }
    ::close(fd);
    if (ok && !ParseCatalog(c)) {
        ok = false;
        why = "damaged";
    }
    return ok;
}

std::filesystem::path ProgramFolder()
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path{} : self.parent_path();
}

const std::string& Remember(std::string_view code)
{
    for (const std::string& known : codes)
        if (known == code) return known;
    return codes.emplace_back(code);
}

bool Choose(std::string_view code, const std::vector<std::filesystem::path>& folders)
{
    if (!KnownLanguage(code)) return false;
    const std::lock_guard lock(loadLock);
    currentCode.store(&Remember(code));
    if (code == "nl") {
        current.store(nullptr);
        return true;
    }
    for (const Catalog& c : loaded) {
        if (c.language == code) {
            current.store(&c);
            return true;
        }
    }
    const std::string file = std::string(code) + "/LC_MESSAGES/" + Domain + ".mo";
    std::string tried, why;
    for (const std::filesystem::path& folder : folders) {
        if (folder.empty()) continue;
        Catalog c;
        c.language = code;
        const std::string path = (folder / file).lexically_normal().string();
        if (ReadCatalog(path, c, why)) {
            current.store(&loaded.emplace_back(std::move(c)));
            return true;
        }
        tried += (tried.empty() ? "" : ", ") + path + " (" + why + ")";
    }
    current.store(nullptr);
    std::printf("[ERROR] (Language) No catalog for \"%s\": %s; the texts stay Dutch.\n", Printable(code).c_str(),
                Printable(tried, 2 * TextLimit).c_str());
    return true;
}

}  // namespace

const std::vector<std::string>& Languages()
{
    static const std::vector<std::string> all = [] {
        std::vector<std::string> list{"nl"};
        const std::string_view linguas = KOR_LINGUAS;
        std::size_t at = 0;
        while (at < linguas.size()) {
            std::size_t end = linguas.find(' ', at);
            if (end == std::string_view::npos) end = linguas.size();
            if (end > at) list.emplace_back(linguas.substr(at, end - at));
            at = end + 1;
        }
        return list;
    }();
    return all;
}

bool KnownLanguage(std::string_view code)
{
    for (const std::string& known : Languages())
        if (known == code) return true;
    return false;
}

bool SetLanguage(std::string_view code)
{
    const std::filesystem::path program = ProgramFolder();
    return Choose(code, {program.empty() ? program : program / "locale",
                         program.empty() ? program : program / KOR_PROGRAM_TO_LOCALE});
}

bool SetLanguage(std::string_view code, const std::string& localeDir)
{
    return Choose(code, {std::filesystem::path(localeDir)});
}

std::string_view Language()
{
    const std::string* code = currentCode.load();
    return code ? std::string_view(*code) : std::string_view("nl");
}

bool CatalogLoaded() { return Language() == "nl" || current.load() != nullptr; }

const char* Tr(const char* dutch)
{
    const Catalog* c = current.load();
    if (c == nullptr || dutch == nullptr) return dutch;
    const auto found = c->texts.find(dutch);
    return found == c->texts.end() ? dutch : found->second;
}

}  // namespace Console
