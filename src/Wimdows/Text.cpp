// Text in the back buffer: Latin-1 lines (UTF-8 from the catalogs) in a handful of fonts found through fontconfig,
// rendered by SDL_ttf and blended over what is already there (no background), and the
// decimal text of whole numbers.
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

#include "WimdowsState.hpp"

namespace Wimdows::detail {

FontStruct font{};

bool IsUtf8Text(const char* text)
{
    bool high = false;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0;) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        high = true;
        const int more = (*p & 0xE0) == 0xC0 ? 1 : (*p & 0xF0) == 0xE0 ? 2 : (*p & 0xF8) == 0xF0 ? 3 : -1;
        if (more < 0 || *p == 0xC0 || *p == 0xC1 || *p > 0xF4) return false;
        ++p;
        for (int i = 0; i < more; ++i, ++p)
            if ((*p & 0xC0) != 0x80) return false;
    }
    return high;
}

namespace {

// The fonts behind the style numbers: 0 (and every value above 5) the interface font,
// 1 a bold sans, 2, 4 and 5 monospaced, 3 a plain sans. Sizes in pixels per em.
// The interface font is sized for the head-up display: its labels have fixed room before
// their numbers ("Vorige Snelheid" from x 150 has to end before x 230), which DejaVu Sans
// at 10 pixels leaves with a few pixels to spare.
struct Face {
    const char* pattern;  // fontconfig pattern: the family wanted, then a generic fallback
    int size;
};
constexpr Face kFaces[] = {
    {"DejaVu Sans,sans-serif", 10}, {"DejaVu Sans,sans-serif:bold", 12}, {"DejaVu Sans Mono,monospace", 12},
    {"DejaVu Sans,sans-serif", 11}, {"DejaVu Sans Mono,monospace", 11},  {"DejaVu Sans Mono,monospace", 10},
};
constexpr std::uint32_t kFaceCount = sizeof kFaces / sizeof kFaces[0];

std::uint32_t FaceOf(std::uint32_t style) { return style < kFaceCount ? style : 0; }

// Everything below is under TextLock(): SDL_ttf fonts are not for two threads at once.
bool looked = false;
TTF_Font* fonts[kFaceCount] = {};

// The file of the best match for a fontconfig pattern; empty when there is none.
std::string FindFontFile(FcConfig* config, const char* pattern)
{
    FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    if (!wanted) return {};
    FcPatternAddBool(wanted, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, wanted, FcMatchPattern);
    FcDefaultSubstitute(wanted);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, wanted, &result);
    std::string file;
    FcChar8* path = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
        file = reinterpret_cast<const char*>(path);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(wanted);
    return file;
}

// Opens the fonts of all styles, once. A style whose font is missing borrows another's:
// any readable text beats none. Fontconfig's configuration is loaded for this alone and
// released afterwards.
void OpenFaces()
{
    if (looked) return;
    looked = true;
    std::string why = "fontconfig finds no scalable font";
    if (TTF_Init() != 0) {
        why = TTF_GetError();
    } else if (FcConfig* config = FcInitLoadConfigAndFonts()) {
        for (std::uint32_t face = 0; face < kFaceCount; ++face) {
            const std::string file = FindFontFile(config, kFaces[face].pattern);
            if (file.empty()) continue;
            fonts[face] = TTF_OpenFont(file.c_str(), kFaces[face].size);
            if (!fonts[face]) why = file + ": " + TTF_GetError();
        }
        FcConfigDestroy(config);
    } else {
        why = "fontconfig has no configuration";
    }
    TTF_Font* any = nullptr;
    for (TTF_Font* f : fonts) any = any ? any : f;
    if (!any) {
        std::fprintf(stderr,
                     "[ERROR] (Text) No font found for the window's text (%s); texts are left out. "
                     "The package fonts-dejavu-core provides the fonts.\n",
                     why.c_str());
        return;
    }
    for (TTF_Font*& f : fonts)
        if (!f) f = fonts[0] ? fonts[0] : any;
}

TTF_Font* OpenFace(std::uint32_t face)
{
    OpenFaces();
    return fonts[face];
}

// Rendered texts, most recently used first. A frame writes the same labels (and mostly
// the same numbers) again and again; rendering them anew each time would cost more than
// the rest of the frame.
struct Rendered {
    std::string key;  // face, colour, text
    Raster::Image image;
};
constexpr std::size_t kMaxRendered = 256;
constexpr std::size_t kMaxRenderedPixels = std::size_t{4} << 20;
std::list<Rendered> rendered;
std::unordered_map<std::string_view, std::list<Rendered>::iterator> renderedIndex;
std::size_t renderedPixels = 0;
std::string scratchKey;

// Straight-alpha ARGB pixels of the text; null for an empty text or without a font.
const Raster::Image* Render(std::uint32_t style, std::uint32_t color, const char* text)
{
    const std::uint32_t face = FaceOf(style);
    scratchKey.assign(1, static_cast<char>(face));
    for (int shift = 0; shift < 24; shift += 8) scratchKey.push_back(static_cast<char>((color >> shift) & 0xFFu));
    scratchKey.append(text);
    if (const auto hit = renderedIndex.find(scratchKey); hit != renderedIndex.end()) {
        rendered.splice(rendered.begin(), rendered, hit->second);
        return &rendered.front().image;
    }

    TTF_Font* ttf = OpenFace(face);
    if (!ttf || !*text) return nullptr;
    const SDL_Color fg{static_cast<Uint8>(color & 0xFFu), static_cast<Uint8>((color >> 8) & 0xFFu),
                       static_cast<Uint8>((color >> 16) & 0xFFu), 255};
    SDL_Surface* surface =
        IsUtf8Text(text) ? TTF_RenderUTF8_Blended(ttf, text, fg) : TTF_RenderText_Blended(ttf, text, fg);
    if (surface && surface->format->format != SDL_PIXELFORMAT_ARGB8888) {
        SDL_Surface* converted = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(surface);
        surface = converted;
    }
    if (!surface) return nullptr;
    Rendered entry{scratchKey, {}};
    if (Raster::MakeImage(entry.image, surface->w, surface->h)) {
        // The rows of a rendered text can be longer than its width.
        const Raster::Surface from = View(surface);
        Raster::Copy(Raster::View(entry.image), 0, 0, from);
    }
    SDL_FreeSurface(surface);
    if (entry.image.pixels.empty()) return nullptr;

    renderedPixels += entry.image.pixels.size();
    rendered.push_front(std::move(entry));
    renderedIndex.emplace(rendered.front().key, rendered.begin());
    while (rendered.size() > 1 && (rendered.size() > kMaxRendered || renderedPixels > kMaxRenderedPixels)) {
        renderedPixels -= rendered.back().image.pixels.size();
        renderedIndex.erase(rendered.back().key);
        rendered.pop_back();
    }
    return &rendered.front().image;
}

}  // namespace

std::mutex& TextLock()
{
    static std::mutex lock;
    return lock;
}

TTF_Font* CreateFont(std::uint32_t style) { return OpenFace(FaceOf(style)); }

std::int32_t intlen(std::int32_t nr)
{
    std::int32_t len = 1;
    std::int64_t n = nr;  // the most negative value has no 32-bit negation
    if (n < 0) {
        n = -n;
        len = 2;
    }
    while (n > 9) {
        n /= 10;
        ++len;
    }
    return len;
}

void Int2Char(char* chp, std::int32_t nr)
{
    const std::int32_t len = intlen(nr);
    std::int64_t n = nr;
    std::int32_t neg = 0;
    if (n < 0) {
        chp[0] = '-';
        n = -n;
        neg = 1;
    }
    for (std::int32_t i = len - 1; i >= neg; --i) {
        chp[i] = static_cast<char>('0' + n % 10);
        n /= 10;
    }
    chp[len] = '\0';
}

}  // namespace Wimdows::detail

namespace Wimdows {

using namespace detail;

void SetFont(std::uint32_t style, std::uint32_t color)
{
    font.style.store(style);
    font.color.store(CreateColor(color));
}

void Text(const char* text, std::int32_t x, std::int32_t y)
{
    if (!text || window.state.load() != STATE_ACTIVE) return;
    NoteText(text);
    std::int64_t w = 0;
    std::int64_t h = 0;
    {
        std::lock_guard lock(TextLock());
        const Raster::Image* image = Render(font.style.load(), font.color.load(), text);
        if (!image) return;
        BufferGuard guard;
        if (!guard) return;
        Raster::Surface glyphs{const_cast<std::uint32_t*>(image->pixels.data()), image->width, image->height,
                               image->width};
        Raster::BlendArgb(View(hBitBuf), x, y, glyphs);
        w = image->width;
        h = image->height;
    }
    ShowArea(x, y, x + w - 1, y + h - 1);
}

void TextInt(std::int32_t number, std::int32_t x, std::int32_t y)
{
    char digits[12];  // "-2147483648" and its null character
    Int2Char(digits, number);
    Text(digits, x, y);
}

void GetTextSize(const char* text, std::uint32_t style, std::uint32_t& width, std::uint32_t& height)
{
    width = 0;
    height = 0;
    if (!text || window.state.load() != STATE_ACTIVE) return;
    std::lock_guard lock(TextLock());
    TTF_Font* ttf = CreateFont(style);
    int w = 0;
    int h = 0;
    if (!ttf || (IsUtf8Text(text) ? TTF_SizeUTF8(ttf, text, &w, &h) : TTF_SizeText(ttf, text, &w, &h)) != 0) return;
    width = static_cast<std::uint32_t>(w);
    height = static_cast<std::uint32_t>(h);
}

}  // namespace Wimdows
