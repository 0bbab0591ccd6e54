#include "Text.hpp"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <utility>

namespace Text {

namespace {

struct FaceFile {
    const char* pattern;   // what fontconfig is asked for
    const char* fileName;  // the file that pattern should give
};

// The exact files matter: another face would give other bytes on another machine.
constexpr FaceFile kFaces[] = {
    {"DejaVu Sans:style=Book", "DejaVuSans.ttf"},
    {"DejaVu Sans:style=Bold", "DejaVuSans-Bold.ttf"},
    {"DejaVu Serif:style=Bold", "DejaVuSerif-Bold.ttf"},
    {"DejaVu Sans Mono:style=Bold", "DejaVuSansMono-Bold.ttf"},
};
constexpr const char* kFixedDir = "/usr/share/fonts/truetype/dejavu/";

std::string gPaths[std::size(kFaces)];
std::map<std::pair<int, int>, TTF_Font*> gFonts;
bool gReady = false;

std::string AskFontconfig(const char* pattern)
{
    std::string found;
    FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    if (!pat) return found;
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    if (match) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            found = reinterpret_cast<const char*>(file);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pat);
    return found;
}

std::string FindFace(const FaceFile& face)
{
    namespace fs = std::filesystem;
    std::string viaFc = AskFontconfig(face.pattern);
    if (!viaFc.empty() && fs::path(viaFc).filename() == face.fileName && fs::exists(viaFc)) return viaFc;
    std::string fixed = std::string(kFixedDir) + face.fileName;
    if (fs::exists(fixed)) return fixed;
    return {};
}

TTF_Font* Font(Face face, int size)
{
    auto key = std::make_pair(static_cast<int>(face), size);
    auto it = gFonts.find(key);
    if (it != gFonts.end()) return it->second;
    TTF_Font* f = TTF_OpenFont(gPaths[static_cast<int>(face)].c_str(), size);
    if (!f) {
        std::fprintf(stderr, "cannot open %s at %d: %s\n", gPaths[static_cast<int>(face)].c_str(), size,
                     TTF_GetError());
        return nullptr;
    }
    gFonts[key] = f;
    return f;
}

}  // namespace

bool Init()
{
    if (gReady) return true;
    if (!FcInit()) {
        std::fprintf(stderr, "fontconfig did not start; trying the fixed font paths\n");
    }
    for (std::size_t i = 0; i < std::size(kFaces); ++i) {
        gPaths[i] = FindFace(kFaces[i]);
        if (gPaths[i].empty()) {
            std::fprintf(stderr, "font %s not found (install fonts-dejavu-core)\n", kFaces[i].fileName);
            FcFini();
            return false;
        }
    }
    FcFini();
    if (TTF_Init() != 0) {
        std::fprintf(stderr, "SDL_ttf did not start: %s\n", TTF_GetError());
        return false;
    }
    gReady = true;
    return true;
}

void Quit()
{
    for (auto& [key, font] : gFonts) TTF_CloseFont(font);
    gFonts.clear();
    if (gReady) TTF_Quit();
    gReady = false;
}

Alpha Render(Face face, int size, const std::string& utf8, int outline)
{
    Alpha out;
    TTF_Font* f = Font(face, size);
    if (!f || utf8.empty()) return out;
    TTF_SetFontOutline(f, outline);
    SDL_Surface* s = TTF_RenderUTF8_Blended(f, utf8.c_str(), SDL_Color{255, 255, 255, 255});
    TTF_SetFontOutline(f, 0);
    if (!s) {
        std::fprintf(stderr, "cannot render \"%s\": %s\n", utf8.c_str(), TTF_GetError());
        return out;
    }
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(s);
    if (!argb) return out;
    out.w = argb->w;
    out.h = argb->h;
    out.a.resize(static_cast<std::size_t>(out.w) * out.h);
    for (int y = 0; y < out.h; ++y) {
        // Rows can be longer than w * 4 bytes: step by the pitch.
        const auto* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(argb->pixels) +
                                                          static_cast<std::ptrdiff_t>(y) * argb->pitch);
        for (int x = 0; x < out.w; ++x)
            out.a[static_cast<std::size_t>(y) * out.w + x] = static_cast<float>(row[x] >> 24) / 255.0f;
    }
    SDL_FreeSurface(argb);
    return out;
}

int Width(Face face, int size, const std::string& utf8)
{
    TTF_Font* f = Font(face, size);
    int w = 0, h = 0;
    if (f) TTF_SizeUTF8(f, utf8.c_str(), &w, &h);
    return w;
}

Alpha Blur(const Alpha& src, int radius, int pad)
{
    Alpha out;
    out.w = src.w + 2 * pad;
    out.h = src.h + 2 * pad;
    out.a.assign(static_cast<std::size_t>(out.w) * out.h, 0.0f);
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < src.w; ++x) out.a[static_cast<std::size_t>(y + pad) * out.w + x + pad] = src.At(x, y);
    if (radius <= 0) return out;
    std::vector<float> tmp(out.a.size());
    auto pass = [&](bool horizontal) {
        int n = horizontal ? out.w : out.h, lines = horizontal ? out.h : out.w;
        for (int l = 0; l < lines; ++l) {
            auto idx = [&](int i) {
                return horizontal ? static_cast<std::size_t>(l) * out.w + i : static_cast<std::size_t>(i) * out.w + l;
            };
            float sum = 0;
            for (int i = -radius; i <= radius; ++i)
                if (i >= 0 && i < n) sum += out.a[idx(i)];
            for (int i = 0; i < n; ++i) {
                tmp[idx(i)] = sum / static_cast<float>(2 * radius + 1);
                int add = i + radius + 1, drop = i - radius;
                if (add < n) sum += out.a[idx(add)];
                if (drop >= 0) sum -= out.a[idx(drop)];
            }
        }
        out.a.swap(tmp);
    };
    for (int k = 0; k < 3; ++k) {
        pass(true);
        pass(false);
    }
    return out;
}

void Draw(Canvas::Image& img, const Alpha& m, int x, int y, Canvas::Rgb c, float opacity)
{
    for (int j = 0; j < m.h; ++j)
        for (int i = 0; i < m.w; ++i) {
            float a = m.At(i, j) * opacity;
            if (a > 0) Canvas::Blend(img, x + i, y + j, c, a);
        }
}

void Glow(Canvas::Image& img, const Alpha& m, int x, int y, Canvas::Rgb c, float strength)
{
    for (int j = 0; j < m.h; ++j)
        for (int i = 0; i < m.w; ++i) {
            float a = m.At(i, j) * strength;
            if (a > 0) Canvas::AddLight(img, x + i, y + j, c, a);
        }
}

void Write(Canvas::Image& img, int x, int y, Face face, int size, const std::string& utf8, Canvas::Rgb c)
{
    Draw(img, Render(face, size, utf8), x, y, c);
}

void WriteCentred(Canvas::Image& img, int cx, int y, Face face, int size, const std::string& utf8, Canvas::Rgb c)
{
    Alpha m = Render(face, size, utf8);
    Draw(img, m, cx - m.w / 2, y, c);
}

}  // namespace Text
