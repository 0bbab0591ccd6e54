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

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

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
struct Catalog {
    std::string language;
    std::string data;                                         // the file, kept for the texts' life
    std::unordered_map<std::string_view, const char*> texts;  // Dutch -> translation
    std::size_t refused = 0;                                  // translations left out
    std::string_view firstRefused;                            // the Dutch of the first
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

// One argument of a format for each kind printf reads differently: the length and the
// conversion ("u" for o u x X, "d" for d i, "f" for the floating ones...).
std::string ArgumentKind(std::string_view length, char conversion)
{
    std::string kind = length == "q" ? "ll" : length == "Z" ? "z" : std::string(length);
    switch (conversion) {
        case 'd':
        case 'i':
            return kind + "d";
        case 'o':
        case 'u':
        case 'x':
        case 'X':
            return kind + "u";
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            return kind + "f";
        case 'c':
        case 's':
        case 'p':
        case 'n':
            return kind + conversion;
        case 'C':
            return "lc";
        case 'S':
            return "ls";
        default:
            return {};
    }
}

// The arguments printf takes for format, in the order of the argument list, each as its
// kind and a space after it. A format that printf could read in more than one way or not at
// all (a lone '%', an unknown conversion, numbered arguments ("%2$s") with a gap, mixed with
// unnumbered ones or beyond any sane number) gives '?' and its conversions as written, so
// that only the very same conversions match it.
std::string Arguments(std::string_view format)
{
    std::vector<std::string> numbered;
    std::string plain;
    std::string written;  // every conversion as written, each ended by a NUL
    bool usesNumbers = false;
    bool usesPlain = false;
    bool sound = true;
    std::size_t i = 0;
    const auto at = [&](std::size_t k) { return k < format.size() ? format[k] : '\0'; };
    // "N$" at i: N, and i past it; 0 and i unchanged when there is none.
    const auto number = [&]() -> std::size_t {
        std::size_t k = i, n = 0;
        while (at(k) >= '0' && at(k) <= '9' && n < 1000) n = n * 10 + static_cast<std::size_t>(at(k++) - '0');
        while (at(k) >= '0' && at(k) <= '9') ++k;
        if (k == i || at(k) != '$') return 0;
        if (n == 0 || n >= 1000) sound = false;
        i = k + 1;
        return n;
    };
    const auto take = [&](std::size_t position, const std::string& kind) {
        (position > 0 ? usesNumbers : usesPlain) = true;
        if (position == 0) {
            plain += kind + " ";
            return;
        }
        if (position >= 1000) return;
        if (numbered.size() < position) numbered.resize(position);
        if (!numbered[position - 1].empty() && numbered[position - 1] != kind) sound = false;
        numbered[position - 1] = kind;
    };
    while ((i = format.find('%', i)) != std::string_view::npos) {
        const std::size_t start = i++;
        if (at(i) == '%') {
            ++i;
            continue;
        }
        const std::size_t position = number();
        while (at(i) != '\0' && std::strchr("-+ #0'I", at(i)) != nullptr) ++i;
        for (const bool precision : {false, true}) {  // the width, then the precision
            if (precision && at(i) != '.') break;
            if (precision) ++i;
            if (at(i) == '*') {
                ++i;
                take(number(), "d");
            } else {
                while (at(i) >= '0' && at(i) <= '9') ++i;
            }
        }
        std::size_t lengthEnd = i;
        if ((at(i) == 'h' && at(i + 1) == 'h') || (at(i) == 'l' && at(i + 1) == 'l')) {
            lengthEnd = i + 2;
        } else if (at(i) != '\0' && std::strchr("hlLqjzZt", at(i)) != nullptr) {
            lengthEnd = i + 1;
        }
        const std::string_view length = format.substr(i, lengthEnd - i);
        i = lengthEnd;
        const char conversion = at(i);
        i = std::min(i + 1, format.size());
        written.append(format.substr(start, i - start)).push_back('\0');
        if (conversion == 'm' && length.empty()) {
            // strerror(errno) takes no argument, yet "%2$m" still makes printf expect two
            // numbered arguments of which it knows no type: glibc then fails the whole call.
            if (position > 0) sound = false;
            continue;
        }
        const std::string kind = ArgumentKind(length, conversion);
        if (kind.empty()) sound = false;
        take(position, kind);
    }
    if (usesNumbers && usesPlain) sound = false;
    std::string arguments = plain;
    for (const std::string& kind : numbered) {
        if (kind.empty()) sound = false;  // a gap: printf cannot know the type there
        arguments += kind + " ";
    }
    return sound ? arguments : "?" + written;
}

// The strings of a .mo file: a header of seven words, then tables of (length, offset) pairs
// for the originals and the translations. Every length and offset is checked against the
// file, and each string must end in its NUL. A translation whose printf arguments differ
// from its original's is left out (and counted): printf would read what was never passed.
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
        // What Tr hands out ends at the first NUL (plural forms follow it).
        if (!detail::SameArguments(from, std::string_view(to.data()))) {
            if (c.refused++ == 0) c.firstRefused = from;
            continue;
        }
        c.texts.emplace(from, to.data());
    }
    return true;
}

// Reads a catalog file; empty `why` when it was read. Read only when it is a regular file
// within the bound: a FIFO or a device is never opened, so it never stalls the start.
bool ReadCatalog(const std::string& path, Catalog& c, std::string& why)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        why = std::strerror(errno);
        return false;
    }
    const auto tooLarge = [&] { return st.st_size > static_cast<off_t>(MaxCatalogBytes); };
    if (!S_ISREG(st.st_mode) || tooLarge()) {
        why = S_ISREG(st.st_mode) ? "longer than " + std::to_string(MaxCatalogBytes >> 20) + " MiB"
                                  : "not a catalog file";
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && !tooLarge();
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
            if (c.refused > 0) {
                std::printf(
                    "[ERROR] (Language) %s: %zu translation%s whose printf arguments differ from the Dutch text "
                    "%s left out (the first: \"%s\"); %s Dutch.\n",
                    Printable(path).c_str(), c.refused, c.refused == 1 ? "" : "s", c.refused == 1 ? "is" : "are",
                    Printable(c.firstRefused).c_str(), c.refused == 1 ? "that text stays" : "those texts stay");
            }
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

bool detail::SameArguments(std::string_view original, std::string_view translation)
{
    return Arguments(original) == Arguments(translation);
}

bool detail::ReadCatalogBytes(std::string data, std::vector<std::pair<std::string, std::string>>& texts,
                              std::size_t& refused)
{
    Catalog c;
    c.data = std::move(data);
    const bool read = ParseCatalog(c);
    texts.clear();
    for (const auto& [from, to] : c.texts) texts.emplace_back(from, to);
    refused = c.refused;
    return read;
}

const char* Tr(const char* dutch)
{
    const Catalog* c = current.load();
    if (c == nullptr || dutch == nullptr) return dutch;
    const auto found = c->texts.find(dutch);
    return found == c->texts.end() ? dutch : found->second;
}

}  // namespace Console
