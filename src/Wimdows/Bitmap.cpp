// The bitmap table: pictures loaded from BMP files, kept in the back buffer's pixel format
// at the size asked for, and drawn opaque or through a mask.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "Console/Console.hpp"
#include "Console/Language.hpp"
#include "WimdowsState.hpp"

namespace Wimdows::detail {

BitStruct* bit = nullptr;
std::uint32_t bitlen = 0;

namespace {

// Larger pictures are refused: the scaler would need gigabytes for what no window shows.
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 26;
// The largest picture file read: the largest picture at 32 bits a pixel, with room for its
// headers and palette (257 MiB). The game's own are below 3 MiB. A larger file is never
// read, so a run-length coded one cannot make the decoder read on without end.
constexpr std::uint64_t kMaxFileBytes = kMaxPixels * 4 + (std::uint64_t{1} << 20);

std::uint32_t Bytes(const unsigned char* p, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | p[i];
    return value;
}

// Whether the header of a BMP file of fileSize bytes promises no more than the file and
// the game can hold: the decoder allocates what the header claims before it reads a pixel.
// Uncompressed pixels must lie within the file; run-length coded ones can claim far more
// than their bytes, and are held to the game's pixel limit only. Null when it does, the
// reason otherwise. Headers the decoder does not know are left for it to refuse.
const char* HeaderProblem(const unsigned char* h, std::size_t got, std::uint64_t fileSize)
{
    if (got < 26 || h[0] != 'B' || h[1] != 'M') return nullptr;
    const std::uint64_t offset = Bytes(h + 10, 4);
    const std::uint32_t headerSize = Bytes(h + 14, 4);
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint32_t bits = 0;
    std::uint32_t compression = 0;
    if (headerSize == 12) {
        width = Bytes(h + 18, 2);
        height = Bytes(h + 20, 2);
        bits = Bytes(h + 24, 2);
    } else if (headerSize >= 40 && got >= 34) {
        const auto w = static_cast<std::int32_t>(Bytes(h + 18, 4));
        const auto hh = static_cast<std::int32_t>(Bytes(h + 22, 4));
        width = static_cast<std::uint64_t>(w < 0 ? -static_cast<std::int64_t>(w) : w);
        height = static_cast<std::uint64_t>(hh < 0 ? -static_cast<std::int64_t>(hh) : hh);  // negative: top down
        bits = Bytes(h + 28, 2);
        compression = Bytes(h + 30, 4);
    } else {
        return nullptr;
    }
    if (width * height > kMaxPixels) return "its header claims more pixels than a picture may have";
    if (compression == 1 || compression == 2) return nullptr;  // run-length coded
    const std::uint64_t rowBytes = (width * bits + 31) / 32 * 4;
    if (offset > fileSize || rowBytes * height > fileSize - offset)
        return "its header claims more pixels than the file holds";
    return nullptr;
}

// The picture file, opened only when it is a regular file whose header holds true, so
// that a FIFO cannot block the load and a lying header cannot make the decoder allocate
// gigabytes. Null, with a message, otherwise.
SDL_RWops* OpenPicture(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;  // missing: left to the callers, as before
    struct stat info {};
    const char* problem = nullptr;
    unsigned char header[34] = {};
    std::size_t got = 0;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = "it is not a regular file";
    } else if (static_cast<std::uint64_t>(info.st_size) > kMaxFileBytes) {
        problem = "its file is larger than any picture the game takes";
    } else {
        ssize_t n = 0;
        while (got < sizeof header && (n = ::pread(fd, header + got, sizeof header - got, static_cast<off_t>(got))) > 0)
            got += static_cast<std::size_t>(n);
        problem = HeaderProblem(header, got, static_cast<std::uint64_t>(info.st_size));
    }
    std::FILE* stream = problem ? nullptr : ::fdopen(fd, "rb");
    if (!stream) {
        if (problem)
            std::fprintf(stderr, "[ERROR] (LoadBitmap) This picture is not loaded, %s: %s\n", problem,
                         Console::Printable(path).c_str());
        ::close(fd);
        return nullptr;
    }
    SDL_RWops* rw = SDL_RWFromFP(stream, SDL_TRUE);
    if (!rw) std::fclose(stream);
    return rw;
}

// Reads a BMP file into the back buffer's format at exactly width x height. Pictures
// that are purely black and white (masks) are scaled without smoothing so that they
// stay so; everything else is scaled smoothly. Null when the file is missing or unreadable.
SDL_Surface* LoadPicture(const char* file, int width, int height, bool& blackWhite)
{
    std::string path(file);
    for (char& c : path)
        if (c == '\\') c = '/';
    // A picture with words in it has a drawing per language (graphics/<language>/): the
    // chosen language's where there is one, else the Dutch.
    if (const std::string_view language = Console::Language(); language != "nl") {
        const std::size_t at = path.rfind("graphics/");
        struct stat st {};
        std::string own = path;
        if (at != std::string::npos) own.insert(at + 9, std::string(language) + "/");
        if (at != std::string::npos && ::stat(own.c_str(), &st) == 0 && S_ISREG(st.st_mode)) path = own;
    }
    SDL_RWops* stream = OpenPicture(path);
    if (!stream) return nullptr;
    SDL_Surface* loaded = SDL_LoadBMP_RW(stream, 1);
    if (!loaded) return nullptr;
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_XRGB8888, 0);
    SDL_FreeSurface(loaded);
    if (!converted) return nullptr;
    blackWhite = Raster::IsBlackAndWhite(View(converted));
    if (converted->w == width && converted->h == height) return converted;

    SDL_Surface* scaled = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_XRGB8888);
    const bool ok = scaled && (blackWhite ? Raster::ScaleNearest(View(scaled), View(converted))
                                          : Raster::ScaleSmooth(View(scaled), View(converted)));
    SDL_FreeSurface(converted);
    if (!ok) {
        SDL_FreeSurface(scaled);
        return nullptr;
    }
    return scaled;
}

// The slot of a handle when it is in use; null otherwise. Under the BufferGuard.
const BitStruct* Slot(std::uint32_t handle)
{
    if (handle < 1 || handle > bitlen || !bit[handle - 1].hbit) return nullptr;
    return &bit[handle - 1];
}

}  // namespace

std::uint32_t AddBitmap(SDL_Surface* addbit, std::uint32_t width, std::uint32_t height, bool blackWhite)
{
    const BitStruct added{addbit, width, height, blackWhite};
    for (std::uint32_t i = 0; i < bitlen; ++i) {
        if (bit[i].hbit) continue;
        bit[i] = added;  // the lowest free slot is reused
        return i + 1;
    }
    BitStruct* grown = new (std::nothrow) BitStruct[bitlen + 1];
    if (!grown) return 0;
    std::copy(bit, bit + bitlen, grown);
    grown[bitlen] = added;
    delete[] bit;
    bit = grown;
    return ++bitlen;
}

void DelBitmap(std::uint32_t del)
{
    if (del >= bitlen) return;
    SDL_FreeSurface(bit[del].hbit);
    bit[del].hbit = nullptr;
    if (del != bitlen - 1) return;  // stays in the table as a free slot
    while (bitlen > 0 && !bit[bitlen - 1].hbit) --bitlen;
    if (bitlen == 0) {
        delete[] bit;
        bit = nullptr;
        return;
    }
    // Cut the array to the slots left; keeping the longer one is as good when memory is short.
    if (BitStruct* cut = new (std::nothrow) BitStruct[bitlen]) {
        std::copy(bit, bit + bitlen, cut);
        delete[] bit;
        bit = cut;
    }
}

}  // namespace Wimdows::detail

namespace Wimdows {

using namespace detail;

std::uint32_t LoadBitmap(const char* file, std::uint32_t width, std::uint32_t height)
{
    if (!file || width == 0 || height == 0) return 0;
    // The table belongs to the open window: without one a handle would outlive its table.
    if (window.state.load() != STATE_ACTIVE) return 0;
    if (static_cast<std::uint64_t>(width) * height > kMaxPixels) {
        std::fprintf(stderr, "[ERROR] (LoadBitmap) A picture of %u by %u pixels is too large: %s\n",
                     static_cast<unsigned>(width), static_cast<unsigned>(height), Console::Printable(file).c_str());
        return 0;
    }
    bool blackWhite = false;
    SDL_Surface* picture = LoadPicture(file, static_cast<int>(width), static_cast<int>(height), blackWhite);
    if (!picture) return 0;
    std::uint32_t handle = 0;
    {
        BufferGuard guard;
        if (guard) handle = AddBitmap(picture, width, height, blackWhite);
    }
    if (handle == 0) SDL_FreeSurface(picture);
    return handle;
}

void DestroyBitmap(std::uint32_t bitmap)
{
    BufferGuard guard;
    if (Slot(bitmap)) DelBitmap(bitmap - 1);
}

void DrawBitmap(std::uint32_t bitmap, std::int32_t x, std::int32_t y)
{
    if (window.state.load() != STATE_ACTIVE) return;
    std::int64_t w = 0;
    std::int64_t h = 0;
    {
        BufferGuard guard;
        if (!guard) return;
        const BitStruct* image = Slot(bitmap);
        if (!image) return;
        Raster::Copy(View(hBitBuf), x, y, View(image->hbit));
        w = image->width;
        h = image->height;
    }
    ShowArea(x, y, x + w - 1, y + h - 1);
}

void DrawMaskBitmap(std::uint32_t bitmap, std::uint32_t maskbitmap, std::int32_t x, std::int32_t y)
{
    if (window.state.load() != STATE_ACTIVE) return;
    std::int64_t w = 0;
    std::int64_t h = 0;
    {
        BufferGuard guard;
        if (!guard) return;
        const BitStruct* image = Slot(bitmap);
        const BitStruct* mask = Slot(maskbitmap);
        if (!image || !mask) return;
        // A mask smaller than the image counts as black beyond its edges.
        if (mask->blackWhite)
            Raster::MaskedCopy(View(hBitBuf), x, y, View(image->hbit), View(mask->hbit));
        else
            Raster::MaskedCopyByBrightness(View(hBitBuf), x, y, View(image->hbit), View(mask->hbit));
        w = image->width;
        h = image->height;
    }
    ShowArea(x, y, x + w - 1, y + h - 1);
}

}  // namespace Wimdows
