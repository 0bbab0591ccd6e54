// kor-assetgen: draws every picture and synthesises every sound of The KOR Dudurad.
// The build runs it so that the build tree (the game's working directory) holds graphics/ and
// sounds/. Output depends on nothing but this code and the DejaVu fonts: same bytes every run.
#include "AssetManifest.hpp"
#include "Icon.hpp"
#include "Pictures.hpp"
#include "Sheet.hpp"
#include "Sounds.hpp"
#include "Text.hpp"

#include "Console/Language.hpp"

#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

void Usage(std::FILE* to)
{
    std::fputs(
        "usage: kor-assetgen OUTDIR [LOCALEDIR]\n"
        "         writes OUTDIR/graphics/*.bmp and OUTDIR/sounds/*.wav, and the pictures with\n"
        "         words in each translation to OUTDIR/graphics/LANGUAGE/, from the catalogs\n"
        "         LOCALEDIR/LANGUAGE/LC_MESSAGES/kor-dudurad.mo (LOCALEDIR: OUTDIR/locale)\n"
        "       kor-assetgen --icon SIZE FILE.png|FILE.bmp\n"
        "         draws the desktop icon, SIZE x SIZE pixels (16 to 1024), as PNG or BMP\n"
        "       kor-assetgen --sheet FILE.bmp\n"
        "         draws every picture onto one contact sheet (pictures, pictures through their\n"
        "         masks on grey, bodies at level sizes, game/menu/intro/end-screen mock-ups)\n"
        "\n"
        "contact sheet as PNG:\n"
        "  kor-assetgen --sheet sheet.bmp && convert sheet.bmp sheet.png\n",
        to);
}

// The build declares exactly the files of assets.txt as its outputs: an unlisted file would
// escape the build's bookkeeping and the asset tests, a missing one would fail only when the
// game opens it.
bool MatchesManifest(const std::vector<Pictures::Picture>& pictures, const std::vector<Sounds::Sound>& sounds)
{
    const std::set<std::string> listed(std::begin(AssetManifest::Files), std::end(AssetManifest::Files));
    std::set<std::string> made;
    for (const auto& pic : pictures) made.insert("graphics/" + pic.name);
    for (const auto& snd : sounds) made.insert("sounds/" + snd.name);
    for (const auto& name : made)
        if (listed.count(name) == 0) std::fprintf(stderr, "kor-assetgen: %s is not in assets.txt\n", name.c_str());
    for (const auto& name : listed)
        if (made.count(name) == 0)
            std::fprintf(stderr, "kor-assetgen: assets.txt lists %s, never made\n", name.c_str());
    return made == listed;
}

int Generate(const std::filesystem::path& root, const std::filesystem::path& locale)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(root / "graphics", ec);
    if (!ec) fs::create_directories(root / "sounds", ec);
    if (ec) {
        std::fprintf(stderr, "cannot make the output folders under %s: %s\n", root.string().c_str(),
                     ec.message().c_str());
        return 1;
    }
    auto pictures = Pictures::DrawAll();
    // Each language's own drawing of the pictures with words, from its catalog in the build tree.
    for (const std::string& language : Console::Languages()) {
        if (language == "nl") continue;
        Console::SetLanguage(language, locale.string());
        if (!Console::CatalogLoaded()) return 1;
        fs::create_directories(root / "graphics" / language, ec);
        if (ec) {
            std::fprintf(stderr, "cannot make %s: %s\n", (root / "graphics" / language).string().c_str(),
                         ec.message().c_str());
            return 1;
        }
        const std::string folder = "graphics/" + language + "/";
        for (auto& pic : Pictures::DrawAll())
            if (std::find(std::begin(AssetManifest::Files), std::end(AssetManifest::Files), folder + pic.name) !=
                std::end(AssetManifest::Files))
                pictures.push_back({language + "/" + pic.name, std::move(pic.image)});
    }
    Console::SetLanguage("nl");
    const auto sounds = Sounds::MakeAll();
    if (!MatchesManifest(pictures, sounds)) return 1;
    for (const auto& pic : pictures)
        if (!Canvas::SaveBmp(pic.image, (root / "graphics" / pic.name).string())) return 1;
    for (const auto& snd : sounds)
        if (!Sounds::SaveWav(snd.samples, (root / "sounds" / snd.name).string())) return 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Usage(stdout);
        return 0;
    }
    bool sheet = argc == 3 && std::strcmp(argv[1], "--sheet") == 0;
    bool icon = argc == 4 && std::strcmp(argv[1], "--icon") == 0;
    int iconSize = 0;
    if (icon) {
        char* end = nullptr;
        const long size = std::strtol(argv[2], &end, 10);
        if (*end != '\0' || size < 16 || size > 1024) {
            Usage(stderr);
            return 2;
        }
        iconSize = static_cast<int>(size);
    }
    if (!sheet && !icon && (argc < 2 || argc > 3 || argv[1][0] == '-')) {
        Usage(stderr);
        return 2;
    }
    if (!Text::Init()) return 1;
    int rc = 0;
    if (icon) {
        const std::string file = argv[3];
        const bool bmp = file.size() > 4 && file.compare(file.size() - 4, 4, ".bmp") == 0;
        const Icon::Rgba image = Icon::Make(Pictures::DrawAll(), iconSize);
        rc = (bmp ? Icon::SaveBmp(image, file) : Icon::SavePng(image, file)) ? 0 : 1;
    } else if (sheet) {
        rc = Canvas::SaveBmp(Sheet::Make(Pictures::DrawAll()), argv[2]) ? 0 : 1;
    } else {
        rc = Generate(argv[1], argc == 3 ? std::filesystem::path(argv[2]) : std::filesystem::path(argv[1]) / "locale");
    }
    Text::Quit();
    SDL_Quit();
    return rc;
}
