// The pictures and sounds the build put into the build tree: every file the game opens is
// there, in a format it can read, at a sensible size, and the art keeps the promises the game
// relies on (masks, light bar for black text, calm score corner, dark-but-not-black field).
#include "AssetManifest.hpp"
#include "Console/Console.hpp"
#include "Console/Language.hpp"
#include "FileFormats.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using FileFormats::Bmp;
using FileFormats::Wav;

namespace {

const fs::path kBuild = KOR_BUILD_DIR;

Bmp Load(const std::string& name)
{
    Bmp b;
    std::string why = FileFormats::ReadBmp((kBuild / "graphics" / name).string(), b);
    EXPECT_EQ(why, "") << name;
    return b;
}

// Pictures the game loads at one fixed size: they are drawn at exactly that size.
const std::map<std::string, std::pair<int, int>> kFixedSize = {
    {"achtergrond.bmp", {1024, 768}}, {"menu.bmp", {300, 68}},
    {"linksboven.bmp", {30, 30}},     {"linksboven-mask.bmp", {30, 30}},
    {"links.bmp", {50, 25}},          {"links-mask.bmp", {50, 25}},
    {"linksonder.bmp", {30, 30}},     {"linksonder-mask.bmp", {30, 30}},
    {"boven.bmp", {25, 50}},          {"boven-mask.bmp", {25, 50}},
    {"onder.bmp", {25, 50}},          {"onder-mask.bmp", {25, 50}},
    {"rechtsboven.bmp", {30, 30}},    {"rechtsboven-mask.bmp", {30, 30}},
    {"rechts.bmp", {50, 25}},         {"rechts-mask.bmp", {50, 25}},
    {"rechtsonder.bmp", {30, 30}},    {"rechtsonder-mask.bmp", {30, 30}},
    {"quit_kor.bmp", {1024, 768}},    {"won_kor.bmp", {1024, 768}},
    {"lost_kor.bmp", {1024, 768}},    {"Menu1.bmp", {220, 50}},
    {"Speluitleg.bmp", {800, 550}},   {"Yuvik.bmp", {250, 60}},
    {"Bramo.bmp", {250, 60}},         {"Tessun.bmp", {250, 60}},
    {"Olvek.bmp", {250, 60}},         {"introtekst.bmp", {250, 50}},
};

// Ball pictures are scaled to 2r x 2r: square, and large enough to stay sharp for big bodies.
const std::vector<std::string> kBalls = {"zwartgat.bmp",   "zwartgat-mask.bmp", "raket.bmp",
                                         "raket-mask.bmp", "aantrekking.bmp",   "afstoting.bmp",
                                         "geenveld.bmp",   "astero.bmp",        "planeet-mask.bmp"};
const std::vector<std::string> kWalls = {"roderechthoek.bmp", "blauwerechthoek.bmp", "rechthoek-mask.bmp"};

const std::set<std::string> kManifest(std::begin(AssetManifest::Files), std::end(AssetManifest::Files));

// The names of a that b lacks, for readable failures.
std::string Missing(const std::set<std::string>& a, const std::set<std::string>& b)
{
    std::string out;
    for (const auto& name : a)
        if (b.count(name) == 0) out += " " + name;
    return out.empty() ? " (none)" : out;
}

// The sounds of the list, by file name.
std::vector<std::string> Sounds()
{
    std::vector<std::string> out;
    for (const std::string& path : kManifest)
        if (path.rfind("sounds/", 0) == 0) out.push_back(path.substr(7));
    return out;
}

struct Pair {
    std::string picture, mask;
};
const std::vector<Pair> kMasked = {
    {"zwartgat.bmp", "zwartgat-mask.bmp"},
    {"raket.bmp", "raket-mask.bmp"},
    {"roderechthoek.bmp", "rechthoek-mask.bmp"},
    {"blauwerechthoek.bmp", "rechthoek-mask.bmp"},
    {"aantrekking.bmp", "planeet-mask.bmp"},
    {"afstoting.bmp", "planeet-mask.bmp"},
    {"geenveld.bmp", "planeet-mask.bmp"},
    {"astero.bmp", "planeet-mask.bmp"},
    {"linksboven.bmp", "linksboven-mask.bmp"},
    {"links.bmp", "links-mask.bmp"},
    {"linksonder.bmp", "linksonder-mask.bmp"},
    {"boven.bmp", "boven-mask.bmp"},
    {"onder.bmp", "onder-mask.bmp"},
    {"rechtsboven.bmp", "rechtsboven-mask.bmp"},
    {"rechts.bmp", "rechts-mask.bmp"},
    {"rechtsonder.bmp", "rechtsonder-mask.bmp"},
};

struct Stats {
    double mean = 0, sd = 0, max = 0;
    double darkShare = 0;  // share of pixels darker than the threshold given
};

Stats Luma(const Bmp& b, int x0, int y0, int x1, int y1, float dark = 0)
{
    Stats s;
    double sum = 0, sq = 0;
    int n = 0, darkN = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            double l = b.Luma(x, y);
            sum += l;
            sq += l * l;
            s.max = std::max(s.max, l);
            darkN += l < dark;
            ++n;
        }
    s.mean = sum / n;
    s.sd = std::sqrt(std::max(0.0, sq / n - s.mean * s.mean));
    s.darkShare = static_cast<double>(darkN) / n;
    return s;
}

double WhiteShare(const Bmp& m)
{
    long white = 0;
    for (const auto& p : m.px) white += p[0] == 255;
    return static_cast<double>(white) / static_cast<double>(m.px.size());
}

int RunCommand(const std::string& command)
{
    int rc = std::system(command.c_str());
    return rc == -1 ? -1 : WEXITSTATUS(rc);
}

// The translated pictures of the list (graphics/<language>/<name>), by language.
std::map<std::string, std::set<std::string>> Translated()
{
    static const std::regex translated(R"re(graphics/([a-zA-Z_]+)/([A-Za-z0-9_-]+\.bmp))re");
    std::map<std::string, std::set<std::string>> out;
    std::smatch m;
    for (const std::string& path : kManifest)
        if (std::regex_match(path, m, translated)) out[m[1].str()].insert(m[2].str());
    return out;
}

fs::path TempDir(const std::string& tag)
{
    fs::path p = fs::temp_directory_path() / ("kor-assets-" + tag + "-" + std::to_string(getpid()));
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

}  // namespace

TEST(AssetFiles, EveryPictureTheGameOpensIsA24BitBmpOfTheRightSize)
{
    for (const auto& [name, size] : kFixedSize) {
        Bmp b = Load(name);
        EXPECT_EQ(b.w, size.first) << name;
        EXPECT_EQ(b.h, size.second) << name;
    }
    // Each language of po/LINGUAS has its own pictures with words, at the Dutch sizes; those
    // whose words differ from the Dutch differ.
    const auto translated = Translated();
    EXPECT_EQ(translated.size(), Console::Languages().size() - 1);
    for (const auto& [language, names] : translated) {
        for (const std::string& name : names) {
            ASSERT_EQ(kFixedSize.count(name), 1u) << name;
            const Bmp own = Load(language + "/" + name);
            EXPECT_EQ(own.w, kFixedSize.at(name).first) << language << "/" << name;
            EXPECT_EQ(own.h, kFixedSize.at(name).second) << language << "/" << name;
            if (name == "Menu1.bmp" || name == "Speluitleg.bmp" || name.ends_with("_kor.bmp") ||
                name == "introtekst.bmp") {
                EXPECT_NE(own.px, Load(name).px) << language << "/" << name << " is the Dutch picture";
            }
        }
    }
    for (const std::string& name : kBalls) {
        Bmp b = Load(name);
        EXPECT_EQ(b.w, b.h) << name << " is scaled to 2r x 2r and must be square";
        EXPECT_GE(b.w, 64) << name;
    }
    Bmp first = Load(kWalls[0]);
    for (const std::string& name : kWalls) {
        Bmp b = Load(name);
        EXPECT_EQ(b.w, first.w) << name;
        EXPECT_EQ(b.h, first.h) << name;
        EXPECT_GE(std::min(b.w, b.h), 32) << name;
    }
    // Logo3 is shown at 500x300 and at 280x280; blauweBlok at 50x60 and at 220x280.
    Bmp logo = Load("Logo3.bmp");
    double aspect = static_cast<double>(logo.w) / logo.h;
    EXPECT_GE(aspect, 1.0);
    EXPECT_LE(aspect, 500.0 / 300.0);
    EXPECT_GE(logo.h, 280);
    Bmp block = Load("blauweBlok.bmp");
    aspect = static_cast<double>(block.w) / block.h;
    EXPECT_GE(aspect, 220.0 / 280.0 - 0.01);
    EXPECT_LE(aspect, 50.0 / 60.0 + 0.01);
    EXPECT_GE(block.w, 220);
}

TEST(AssetFiles, MasksArePureBlackAndWhiteAndMatchTheirPictures)
{
    for (const Pair& p : kMasked) {
        Bmp pic = Load(p.picture), mask = Load(p.mask);
        EXPECT_EQ(pic.w, mask.w) << p.mask;
        EXPECT_EQ(pic.h, mask.h) << p.mask;
        int bad = 0;
        for (const auto& px : mask.px) {
            bool black = px[0] == 0 && px[1] == 0 && px[2] == 0;
            bool white = px[0] == 255 && px[1] == 255 && px[2] == 255;
            bad += !(black || white);
        }
        EXPECT_EQ(bad, 0) << p.mask << " has grey or coloured pixels";
        EXPECT_GT(WhiteShare(mask), 0.1) << p.mask << " hides almost everything";
    }
    EXPECT_EQ(WhiteShare(Load("rechthoek-mask.bmp")), 1.0) << "walls show their whole rectangle";
}

TEST(AssetFiles, BallMasksAreRoundAndTheRocketFitsItsSquare)
{
    for (const char* name : {"zwartgat-mask.bmp", "planeet-mask.bmp"}) {
        Bmp m = Load(name);
        EXPECT_NEAR(WhiteShare(m), 3.14159265 / 4, 0.015) << name;
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x) {
                ASSERT_EQ(m.At(x, y)[0], m.At(m.w - 1 - x, y)[0]) << name << " not symmetric left-right";
                ASSERT_EQ(m.At(x, y)[0], m.At(x, m.h - 1 - y)[0]) << name << " not symmetric top-bottom";
            }
        EXPECT_EQ(m.At(0, 0)[0], 0) << name;
        EXPECT_EQ(m.At(m.w / 2, m.h / 2)[0], 255) << name;
    }
    // The rocket is not cut off by the square: its silhouette stays off the outer pixels.
    Bmp r = Load("raket-mask.bmp");
    for (int i = 0; i < r.w; ++i) {
        EXPECT_EQ(r.At(i, 0)[0], 0);
        EXPECT_EQ(r.At(i, r.h - 1)[0], 0);
        EXPECT_EQ(r.At(0, i)[0], 0);
        EXPECT_EQ(r.At(r.w - 1, i)[0], 0);
    }
    EXPECT_GT(WhiteShare(r), 0.15);
    EXPECT_LT(WhiteShare(r), 0.6);
}

TEST(AssetFiles, EachArrowPointsTheWayItsNameSays)
{
    // The head is the wide end: across the arrow's axis the mask reaches further on the tip's
    // side of the middle than on the tail's.
    const std::map<std::string, std::pair<int, int>> dirs = {
        {"linksboven", {-1, -1}}, {"links", {-1, 0}},       {"linksonder", {-1, 1}}, {"boven", {0, -1}},
        {"onder", {0, 1}},        {"rechtsboven", {1, -1}}, {"rechts", {1, 0}},      {"rechtsonder", {1, 1}},
    };
    for (const auto& [name, dir] : dirs) {
        Bmp m = Load(name + "-mask.bmp");
        double len = std::hypot(dir.first, dir.second);
        double ax = dir.first / len, ay = dir.second / len;
        double front = 0, back = 0;
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x)
                if (m.At(x, y)[0] == 255) {
                    double px = x + 0.5 - m.w / 2.0, py = y + 0.5 - m.h / 2.0;
                    double u = px * ax + py * ay, v = std::fabs(-px * ay + py * ax);
                    (u > 0 ? front : back) = std::max(u > 0 ? front : back, v);
                }
        EXPECT_GT(front, back + 3) << name << ": widest part is not on the side it points to";
    }
}

TEST(AssetFiles, PlayFieldIsDarkButABlackDottedPathStaysVisible)
{
    Bmp bg = Load("achtergrond.bmp");
    Stats all = Luma(bg, 0, 0, bg.w, bg.h, 0.08f);
    EXPECT_LT(all.mean, 0.35) << "white texts and bright bodies need a dark field";
    EXPECT_GT(all.mean, 0.12) << "too close to black for a black path";
    EXPECT_LT(all.darkShare, 0.01) << "near-black patches would swallow the black path";
    // Under the white "Score" and "Level" texts.
    EXPECT_LT(Luma(bg, 20, 10, 100, 26).max, 0.6);
    EXPECT_LT(Luma(bg, 964, 10, 1020, 26).max, 0.6);
}

TEST(AssetFiles, HeadUpBarIsLightUnderItsBlackTexts)
{
    Bmp bar = Load("menu.bmp");
    Stats text = Luma(bar, 15, 16, 292, 62);
    EXPECT_GT(text.mean, 0.7);
    EXPECT_LT(text.sd, 0.08) << "the text area should be calm";
    float darkest = 1;
    for (int y = 16; y < 62; ++y)
        for (int x = 15; x < 292; ++x) darkest = std::min(darkest, bar.Luma(x, y));
    EXPECT_GT(darkest, 0.55);
}

TEST(AssetFiles, EndScreensAreDistinctAndKeepTheScoreCornerCalm)
{
    std::vector<Bmp> screens = {Load("won_kor.bmp"), Load("lost_kor.bmp"), Load("quit_kor.bmp")};
    for (std::size_t i = 0; i < screens.size(); ++i) {
        // White score texts and the high-score table are written over x 20-300, y 560-680.
        Stats corner = Luma(screens[i], 20, 560, 300, 680);
        EXPECT_LT(corner.mean, 0.15) << "screen " << i;
        EXPECT_LT(corner.sd, 0.05) << "screen " << i;
        EXPECT_LT(corner.max, 0.45) << "screen " << i;
    }
    for (std::size_t i = 0; i < screens.size(); ++i)
        for (std::size_t j = i + 1; j < screens.size(); ++j) {
            double diff = 0;
            for (std::size_t k = 0; k < screens[i].px.size(); ++k)
                for (int c = 0; c < 3; ++c) diff += std::abs(screens[i].px[k][c] - screens[j].px[k][c]);
            diff /= 255.0 * 3 * static_cast<double>(screens[i].px.size());
            EXPECT_GT(diff, 0.04) << "end screens " << i << " and " << j << " look alike";
        }
}

TEST(AssetFiles, FrontEndPicturesBlendIntoTheMenuBlue)
{
    // The menu and the intro paint RgbColor(0, 20, 70) behind these pictures.
    for (const char* name :
         {"Logo3.bmp", "Menu1.bmp", "introtekst.bmp", "Yuvik.bmp", "Bramo.bmp", "Tessun.bmp", "Olvek.bmp"}) {
        Bmp b = Load(name);
        auto near = [&](int x, int y) {
            const auto& p = b.At(x, y);
            return std::abs(p[0] - 0) <= 3 && std::abs(p[1] - 20) <= 3 && std::abs(p[2] - 70) <= 3;
        };
        EXPECT_TRUE(near(0, 0) && near(b.w - 1, 0) && near(0, b.h - 1) && near(b.w - 1, b.h - 1)) << name;
    }
}

TEST(AssetFiles, SoundsAre16BitPcmNormalisedAndClickFree)
{
    for (const std::string& name : Sounds()) {
        Wav w;
        ASSERT_EQ(FileFormats::ReadWav((kBuild / "sounds" / name).string(), w), "") << name;
        EXPECT_GE(w.rate, 22050) << name;
        EXPECT_LE(w.rate, 48000) << name;
        bool longOne = name == "thx.wav" || name.rfind("outro_", 0) == 0;
        EXPECT_GT(w.Seconds(), 0.1) << name;
        if (longOne)
            EXPECT_LT(w.Seconds(), 8.0) << name;
        else
            EXPECT_LT(w.Seconds(), 3.0) << name << " is an event sound";
        int peak = 0;
        for (std::int16_t s : w.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
        EXPECT_GT(peak, 0.6 * 32767) << name << " is not normalised";
        EXPECT_LT(peak, 32767) << name << " clips";
        // Start and end at silence.
        EXPECT_LT(std::abs(w.samples.front()), 100) << name;
        EXPECT_LT(std::abs(w.samples.back()), 100) << name;
    }
}

// The build tree's files are one run of the generator: a second run, in another folder,
// gives the same bytes.
TEST(AssetGenerator, SameBytesEveryRunAndAsInTheBuildTree)
{
    fs::path a = TempDir("a");
    const std::string locale = " \"" + (kBuild / "locale").string() + "\"";
    ASSERT_EQ(RunCommand(std::string("\"") + KOR_ASSETGEN + "\" \"" + a.string() + "\"" + locale), 0);
    std::set<std::string> expected, made;
    for (const auto& [name, size] : kFixedSize) expected.insert("graphics/" + name);
    for (const auto& n : kBalls) expected.insert("graphics/" + n);
    for (const auto& n : kWalls) expected.insert("graphics/" + n);
    expected.insert({"graphics/Logo3.bmp", "graphics/blauweBlok.bmp"});
    for (const auto& n : Sounds()) expected.insert("sounds/" + n);
    for (const auto& [language, names] : Translated())
        for (const auto& n : names) expected.insert("graphics/" + language + "/" + n);
    for (const char* sub : {"graphics", "sounds"})
        for (const auto& e : fs::recursive_directory_iterator(a / sub)) {
            if (e.is_directory()) continue;
            std::string name = fs::relative(e.path(), a).string();
            made.insert(name);
            auto bytes = FileFormats::ReadAll(e.path().string());
            EXPECT_EQ(bytes, FileFormats::ReadAll((kBuild / name).string())) << name << " differs from the build tree";
        }
    EXPECT_EQ(made, kManifest) << "made, not listed in tools/assetgen/assets.txt:" << Missing(made, kManifest)
                               << "; listed, not made:" << Missing(kManifest, made);
    EXPECT_EQ(expected, kManifest) << "the checks of this file cover every picture and sound of the list";
    fs::remove_all(a);
}

TEST(AssetGenerator, CommandLine)
{
    std::string gen = std::string("\"") + KOR_ASSETGEN + "\"";
    EXPECT_EQ(RunCommand(gen + " > /dev/null 2>&1"), 2) << "no arguments is a usage error";
    EXPECT_EQ(RunCommand(gen + " --bogus > /dev/null 2>&1"), 2);
    EXPECT_EQ(RunCommand(gen + " --help > /dev/null"), 0);
    // An output folder that cannot be made is reported, not ignored.
    EXPECT_EQ(RunCommand(gen + " /proc/kor-assets-no-such-place > /dev/null 2>&1"), 1);
    fs::path dir = TempDir("sheet");
    ASSERT_EQ(RunCommand(gen + " --sheet \"" + (dir / "sheet.bmp").string() + "\""), 0);
    Bmp sheet;
    EXPECT_EQ(FileFormats::ReadBmp((dir / "sheet.bmp").string(), sheet), "");
    EXPECT_GT(sheet.w, 1024);
    EXPECT_GT(sheet.h, 768);
    fs::remove_all(dir);
}

// The game names its files in its own code (drawing, intro and menu, sound), written with
// either slash; they must be exactly the files of the list, so that none is missing from a
// build and none is made for nothing.
TEST(AssetManifest, TheGameOpensExactlyTheListedFiles)
{
    const std::regex picture(R"re(graphics(?:/|\\\\)([A-Za-z0-9_-]+\.bmp))re");
    const std::regex sound(R"re("([A-Za-z0-9_-]+\.wav)")re");
    std::set<std::string> opened;
    std::vector<fs::directory_entry> files;
    for (const char* dir : {"src", "include"})
        for (const auto& e : fs::recursive_directory_iterator(fs::path(KOR_SOURCE_DIR) / dir)) files.push_back(e);
    for (const auto& e : files) {
        const std::string ext = e.path().extension().string();
        if (ext != ".cpp" && ext != ".hpp") continue;
        std::ifstream in(e.path());
        std::stringstream text;
        text << in.rdbuf();
        const std::string code = text.str();
        for (std::sregex_iterator m(code.begin(), code.end(), picture), end; m != end; ++m)
            opened.insert("graphics/" + (*m)[1].str());
        // The windows' icon is made apart from the game's pictures (`kor-assetgen --icon`).
        opened.erase("graphics/kor-dudurad-icon.bmp");
        for (std::sregex_iterator m(code.begin(), code.end(), sound), end; m != end; ++m)
            opened.insert("sounds/" + (*m)[1].str());
    }
    // A translated picture is opened through its Dutch name.
    for (const auto& [language, names] : Translated())
        for (const auto& n : names)
            if (opened.count("graphics/" + n)) opened.insert("graphics/" + language + "/" + n);
    EXPECT_TRUE(opened == kManifest) << "named in src/ or include/, not listed in tools/assetgen/assets.txt:"
                                     << Missing(opened, kManifest)
                                     << "; listed, not named in src/ or include/:" << Missing(kManifest, opened);
}

// The catalogs the build compiled are read by the game's own reader: damaged ones, or files
// that are no catalog, leave the texts Dutch with one line; a good one translates.
TEST(Catalogs, DamagedOnesLeaveTheTextsDutchAndTheBuiltOneTranslates)
{
    const fs::path built = kBuild / "locale" / "en" / "LC_MESSAGES" / "kor-dudurad.mo";
    using Bytes = std::vector<std::uint8_t>;
    const Bytes good = FileFormats::ReadAll(built.string());
    ASSERT_GT(good.size(), 28u);
    // Four bytes of the file set to 0xF0: a table or a text's length far beyond the file.
    auto wild = [&](std::size_t at) {
        Bytes b = good;
        for (std::size_t i = 0; i < 4; ++i) b[at + i] = 0xF0;
        return b;
    };
    const std::size_t originals = good[12] | (good[13] << 8);
    const std::vector<Bytes> damaged = {
        {}, {'g', 'a', 'r', 'b', 'a', 'g', 'e'}, Bytes(good.begin(), good.begin() + 40), wild(16), wild(originals + 8)};
    const fs::path dir = TempDir("catalogs");
    const fs::path file = dir / "en" / "LC_MESSAGES" / "kor-dudurad.mo";
    fs::create_directories(file.parent_path());
    for (std::size_t i = 0; i <= damaged.size(); ++i) {
        fs::remove(file);
        if (i < damaged.size()) {
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(damaged[i].data()),
                       static_cast<std::streamsize>(damaged[i].size()));
        } else {
            ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);  // never waited on
        }
        testing::internal::CaptureStdout();
        EXPECT_TRUE(Console::SetLanguage("en", dir.string()));
        const std::string console = testing::internal::GetCapturedStdout();
        EXPECT_EQ(std::count(console.begin(), console.end(), '\n'), 1) << i;
        EXPECT_NE(console.find("[ERROR] (Language) No catalog for \"en\""), std::string::npos) << i;
        EXPECT_FALSE(Console::CatalogLoaded()) << i;
        EXPECT_STREQ(Console::Tr("Speluitleg"), "Speluitleg") << i;
    }
    EXPECT_FALSE(Console::SetLanguage("tlh", dir.string()));
    EXPECT_EQ(Console::Language(), "en");
    ASSERT_TRUE(Console::SetLanguage("en", (kBuild / "locale").string()));
    EXPECT_TRUE(Console::CatalogLoaded());
    EXPECT_STREQ(Console::Tr("Speluitleg"), "How to play");
    const char* unknown = "Geen tekst van het spel";
    EXPECT_EQ(Console::Tr(unknown), unknown);
    ASSERT_TRUE(Console::SetLanguage("nl"));
    EXPECT_STREQ(Console::Tr("Speluitleg"), "Speluitleg");
    fs::remove_all(dir);
}
