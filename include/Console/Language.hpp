// The language players read. Dutch is the game's own: its texts are the keys of the catalogs
// (po/*.po, compiled to kor-dudurad.mo), so Dutch needs none and is what the game speaks
// until a language is chosen; the environment's locale plays no part.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Console {

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

}  // namespace Console
