// Fuzzes the catalog reader. The first byte tells what the rest is:
// - even: a .mo file's bytes, read as the game reads a catalog;
// - odd: translations, one a line, of the originals below, which the target puts into a
//   well-formed .mo file (the byte order chosen by the first byte).
// Besides the sanitizers' own checks, after every input:
// - every translation kept makes printf read the same arguments as its original, by glibc's
//   own reckoning (parse_printf_format), and no more texts are kept and left out than the
//   catalog holds;
// - a kept translation of one of the originals below is formatted with that original's
//   arguments: one that read other arguments would crash or be caught by the sanitizers.
#include <printf.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Console/Language.hpp"
#include "FuzzSupport.hpp"

namespace {

const char* const Originals[] = {
    "Vanaf level %u: niet in de highscores",
    "%s heeft %d punten",
    "%.1f%% van %lu",
    "%c%c",
    "Geen argumenten",
    "%*d|%-5s",
    "%p en %n",
    "100%",
};

// The translations are the formats here, as in the game.
#pragma clang diagnostic ignored "-Wformat-security"
#pragma clang diagnostic ignored "-Wformat-nonliteral"
void Format(std::size_t original, const char* translation)
{
    char out[256];
    int count = 0;
    switch (original) {
        case 0:
            std::snprintf(out, sizeof out, translation, 7u);
            break;
        case 1:
            std::snprintf(out, sizeof out, translation, "naam", -5);
            break;
        case 2:
            std::snprintf(out, sizeof out, translation, 2.5, 7ul);
            break;
        case 3:
            std::snprintf(out, sizeof out, translation, 'a', 'b');
            break;
        case 4:
            std::snprintf(out, sizeof out, translation);
            break;
        case 5:
            std::snprintf(out, sizeof out, translation, 3, 42, "x");
            break;
        case 6:
            std::snprintf(out, sizeof out, translation, static_cast<void*>(out), &count);
            break;
        default:
            break;  // no format
    }
}
// glibc's own reckoning: the count and each argument's type, positions it cannot type as -1.
std::vector<int> GlibcArguments(const std::string& format)
{
    std::vector<int> types(64, -1);
    const std::size_t n = parse_printf_format(format.c_str(), types.size(), types.data());
    types.resize(std::min(n, types.size()));
    types.push_back(static_cast<int>(n));
    return types;
}

std::string Mo(const std::vector<std::pair<std::string, std::string>>& pairs, bool bigEndian)
{
    std::string mo(28 + 16 * pairs.size(), '\0');
    const auto word = [&](std::size_t at, std::size_t value) {
        for (int b = 0; b < 4; ++b) mo[at + (bigEndian ? 3 - b : b)] = static_cast<char>(value >> (8 * b));
    };
    word(0, 0x950412de);
    word(8, pairs.size());
    word(12, 28);
    word(16, 28 + 8 * pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        for (const bool translation : {false, true}) {
            const std::string& text = translation ? pairs[i].second : pairs[i].first;
            const std::size_t table = 28 + (translation ? 8 * pairs.size() : 0) + 8 * i;
            word(table, text.size());
            word(table + 4, mo.size());
            mo += text + '\0';
        }
    }
    return mo;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::EnterPrivateDir("kor-fuzz-catalog", argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string bytes(rest);
    std::size_t held = 0;
    if (data[0] % 2 == 1) {
        std::vector<std::pair<std::string, std::string>> pairs;
        std::size_t at = 0;
        for (const char* original : Originals) {
            if (at > rest.size()) break;
            const std::size_t end = std::min(rest.find('\n', at), rest.size());
            pairs.emplace_back(original, std::string(rest.substr(at, end - at)));
            at = end + 1;
        }
        bytes = Mo(pairs, data[0] & 2);
        held = pairs.size();
    } else if (bytes.size() >= 12) {
        const bool bigEndian = static_cast<unsigned char>(bytes[0]) == 0x95;
        for (int b = 0; b < 4; ++b) {
            held |= std::size_t{static_cast<unsigned char>(bytes[8 + (bigEndian ? 3 - b : b)])} << (8 * b);
        }
    }
    std::vector<std::pair<std::string, std::string>> kept;
    std::size_t refused = 0;
    if (!Console::detail::ReadCatalogBytes(bytes, kept, refused)) {
        if (data[0] % 2 == 1) fuzz::Fail("a well-formed catalog was not read");
        return 0;
    }
    if (kept.size() + refused > held) fuzz::Fail("%zu texts kept and %zu left out of %zu", kept.size(), refused, held);
    for (const auto& [original, translation] : kept) {
        if (GlibcArguments(original) != GlibcArguments(translation)) {
            fuzz::Fail("kept \"%s\" for \"%s\", which printf reads differently", translation.c_str(), original.c_str());
        }
        for (std::size_t i = 0; i < std::size(Originals); ++i) {
            if (original == Originals[i]) Format(i, translation.c_str());
        }
    }
    return 0;
}
