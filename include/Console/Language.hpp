// The language players read. Dutch is the game's own: its texts are the keys of the catalogs
// (po/*.po, compiled to kor-dudurad.mo), so Dutch needs none and is what the game speaks
// until a language is chosen; the environment's locale plays no part.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Console {

// The largest catalog file read: the game's holds a few hundred short texts (about 10 KiB);
// anything near this is not one.
constexpr std::size_t MaxCatalogBytes = std::size_t{4} << 20;

// Dutch ("nl") first, then the languages of po/LINGUAS in its order.
const std::vector<std::string>& Languages();
bool KnownLanguage(std::string_view code);

// Tr speaks this language from now on, with its catalog found beside the program (the build
// tree's locale/) or where the game is installed (share/locale/). False for a code not in
// Languages(), which changes nothing. A known language whose catalog is missing or damaged
// is chosen all the same (its pictures still are), with one console line; Tr stays Dutch.
bool SetLanguage(std::string_view code);
// The same with the catalog taken from localeDir/<code>/LC_MESSAGES/kor-dudurad.mo.
bool SetLanguage(std::string_view code, const std::string& localeDir);
// The chosen language's code, "nl" while none was chosen.
std::string_view Language();
// True when Tr speaks the chosen language: Dutch, or a language whose catalog was read.
bool CatalogLoaded();

namespace detail {
// Whether translation makes printf read the same arguments as original: as many, in the
// same order, of the same types ("%u" and "%x" alike, "%u" and "%s" or "%lu" not). A
// catalog's translation that does not is left out when it is read, with one console line
// for the catalog, and its Dutch text is shown.
bool SameArguments(std::string_view original, std::string_view translation);
// The catalog reader on a .mo file's bytes, for tests and the fuzzer: the translations it
// keeps (Dutch, translation) and how many it left out. False when the bytes are no catalog.
bool ReadCatalogBytes(std::string data, std::vector<std::pair<std::string, std::string>>& texts, std::size_t& refused);
}  // namespace detail

}  // namespace Console
