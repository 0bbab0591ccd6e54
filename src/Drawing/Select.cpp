// The level select's picture. Each level is drawn as the game draws its first frame, with
// the game's own pictures chosen by the same rule (ChoosePicture), at an eighth of the size.
#include "Drawing/Select.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Console/Console.hpp"
#include "Drawing/Geometry.hpp"
#include "Level/Geometry.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Drawing {

namespace {

using namespace detail;
using Console::Tr;

constexpr std::uint32_t White = 0xFFFFFF;
constexpr std::uint32_t Grey = 0xB0B0B0;
constexpr std::uint32_t Yellow = 0x40E0FF;  // 0x00BBGGRR, as the help's headings
constexpr std::uint32_t Green = 0x30C040;
constexpr std::uint32_t Focus = 0xA06020;  // a lighter blue than the background

// The menu window's blue, 800 x 550.
constexpr std::uint32_t Blue = PauseBoxColor;
constexpr std::int32_t Width = 800, Height = 550;

constexpr std::int32_t SetLeft = 10, SetRight = 188, SetTop = 58, SetRow = 24;
constexpr std::int32_t GridLeft = 200, GridTop = 58, CellWidth = 148, CellHeight = 124;
constexpr std::int32_t ThumbDivisor = 8;  // 1024 x 768 to 128 x 96
constexpr std::int32_t ThumbWidth = WindowWidth / ThumbDivisor, ThumbHeight = WindowHeight / ThumbDivisor;
constexpr std::int32_t InfoTop = GridTop + static_cast<std::int32_t>(SelectRows) * CellHeight + 6;

// Pictures loaded at the small size, kept while the select is open.
struct Small {
    const char* file;
    std::int32_t w, h;
    std::uint32_t handle;
};
std::vector<Small> smalls;
constexpr std::size_t MostSmalls = 512;

std::uint32_t SmallPicture(const char* file, std::int32_t w, std::int32_t h)
{
    for (const Small& s : smalls)
        if (s.w == w && s.h == h && std::strcmp(s.file, file) == 0) return s.handle;
    if (smalls.size() >= MostSmalls) ReleaseSelectPictures();
    const std::uint32_t handle =
        Wimdows::LoadBitmap(file, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h));
    smalls.push_back({file, w, h, handle});
    return handle;
}

std::int32_t Small1(std::int64_t v) { return static_cast<std::int32_t>(std::max<std::int64_t>(1, (v + 4) / 8)); }

// The level's start as the game draws it, shrunk into ThumbWidth x ThumbHeight at (x, y).
// A body that reaches outside the window is left out, so nothing spills over the next picture.
void Thumbnail(const Level::Table& level, std::int32_t x, std::int32_t y)
{
    Wimdows::DrawBitmap(SmallPicture(BackgroundFile, ThumbWidth, ThumbHeight), x, y);
    const std::uint32_t last = std::min<std::uint32_t>(level.N, Level::TableLength - 1);
    for (std::uint32_t i = 0; i <= last; ++i) {
        const PictureChoice p = ChoosePicture(i, level.Objects[i]);
        if (!p.Loadable() || p.width > WindowWidth || p.height > WindowHeight) continue;
        const Level::Extents box = Level::ExtentsOf(level.Objects[i]);
        const std::int64_t left = GetX64(box.left), top = GetY64(box.top);
        if (left < 0 || top < 0 || left + p.width > WindowWidth || top + p.height > WindowHeight) continue;
        const std::int32_t w = Small1(p.width), h = Small1(p.height);
        const std::int32_t bx = x + static_cast<std::int32_t>(left / ThumbDivisor);
        const std::int32_t by = y + static_cast<std::int32_t>(top / ThumbDivisor);
        Wimdows::DrawMaskBitmap(SmallPicture(p.image, w, h), SmallPicture(p.mask, w, h), bx, by);
    }
}

// The text cut (at a character's start) so that it fits `width` pixels, "..." after a cut.
std::string Fit(const std::string& text, std::uint32_t style, std::uint32_t width)
{
    std::uint32_t w = 0, h = 0;
    Wimdows::GetTextSize(text.c_str(), style, w, h);
    if (w <= width) return text;
    std::string cut = text;
    while (!cut.empty()) {
        cut.pop_back();
        while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0) == 0x80) cut.pop_back();
        if (!cut.empty() && static_cast<unsigned char>(cut.back()) >= 0xC0) cut.pop_back();
        const std::string shown = cut + "...";
        Wimdows::GetTextSize(shown.c_str(), style, w, h);
        if (w <= width) return shown;
    }
    return {};
}

// A tick in a green square: the level has been won.
void WonMark(std::int32_t x, std::int32_t y)
{
    Wimdows::Rectangle(x, y, x + 15, y + 15, Green, true);
    Wimdows::Rectangle(x, y, x + 15, y + 15, White, false);
    for (std::int32_t d = 0; d < 2; ++d) {
        Wimdows::Line(x + 3, y + 8 + d, x + 6, y + 11 + d, White);
        Wimdows::Line(x + 6, y + 11 + d, x + 12, y + 4 + d, White);
    }
}

std::int32_t CellX(std::uint32_t cell)
{
    return GridLeft + static_cast<std::int32_t>(cell % SelectColumns) * CellWidth;
}
std::int32_t CellY(std::uint32_t cell)
{
    return GridTop + static_cast<std::int32_t>(cell / SelectColumns) * CellHeight;
}

}  // namespace

void ReleaseSelectPictures()
{
    for (const Small& s : smalls) Wimdows::DestroyBitmap(s.handle);
    smalls.clear();
}

void DrawSelect(const SelectPage& page)
{
    Wimdows::Rectangle(0, 0, Width - 1, Height - 1, Blue, true);
    Wimdows::SetFont(1, White);
    Wimdows::Text(Tr("Levels kiezen"), SetLeft, 16);

    // The sets.
    for (std::uint32_t row = 0; row < SelectSetRows && page.firstSet + row < page.sets.size(); ++row) {
        const std::uint32_t index = page.firstSet + row;
        const std::int32_t y = SetTop + static_cast<std::int32_t>(row) * SetRow;
        if (index == page.set) {
            Wimdows::Rectangle(SetLeft - 4, y - 2, SetRight, y + SetRow - 4, page.onSets ? Focus : 0x603010, true);
            if (page.onSets) Wimdows::Rectangle(SetLeft - 4, y - 2, SetRight, y + SetRow - 4, White, false);
        }
        Wimdows::SetFont(3, index == page.set ? Yellow : White);
        Wimdows::Text(Fit(page.sets[index], 3, SetRight - SetLeft - 6).c_str(), SetLeft, y);
    }

    // The levels.
    if (page.levelCount == 0) {
        Wimdows::SetFont(3, White);
        Wimdows::Text(page.empty.c_str(), GridLeft, GridTop + 40);
    }
    for (std::uint32_t cell = 0; cell < page.levels.size() && cell < SelectColumns * SelectRows; ++cell) {
        const SelectLevel& level = *page.levels[cell];
        const std::int32_t x = CellX(cell) + 6, y = CellY(cell);
        const bool focused = !page.onSets && page.firstLevel + cell == page.focus;
        if (focused) Wimdows::Rectangle(x - 4, y - 4, x + ThumbWidth + 3, y + CellHeight - 8, Focus, true);
        if (level.readable) {
            Thumbnail(level.table, x, y);
        } else {
            Wimdows::Rectangle(x, y, x + ThumbWidth - 1, y + ThumbHeight - 1, 0, true);
        }
        if (focused) Wimdows::Rectangle(x - 4, y - 4, x + ThumbWidth + 3, y + CellHeight - 8, White, false);
        if (level.won) WonMark(x + ThumbWidth - 18, y + 2);
        const std::string label = std::to_string(level.number) + (level.name.empty() ? "" : "  " + level.name);
        Wimdows::SetFont(3, White);
        Wimdows::Text(Fit(label, 3, ThumbWidth).c_str(), x, y + ThumbHeight + 4);
    }
    // More above or below: a small arrow at the grid's side.
    const std::uint32_t shownEnd = page.firstLevel + static_cast<std::uint32_t>(page.levels.size());
    Wimdows::SetFont(3, Grey);
    if (page.firstLevel > 0) Wimdows::Text("^", Width - 14, GridTop);
    if (shownEnd < page.levelCount) Wimdows::Text("v", Width - 14, InfoTop - 22);

    // The focused level, and the set.
    Wimdows::Line(SetLeft, InfoTop, Width - SetLeft, InfoTop, Grey);
    const SelectLevel* focused = nullptr;
    for (std::size_t i = 0; i < page.levels.size(); ++i)
        if (page.firstLevel + i == page.focus) focused = page.levels[i];
    if (focused != nullptr && !page.onSets) {
        char title[64];
        std::snprintf(title, sizeof title, Tr("Level %u"), static_cast<unsigned>(focused->number));
        std::string line = title;
        if (!focused->name.empty()) line += ": " + focused->name;
        if (focused->won) line += std::string("   (") + Tr("gewonnen") + ")";
        Wimdows::SetFont(1, Yellow);
        Wimdows::Text(Fit(line, 1, Width - 2 * SetLeft).c_str(), SetLeft, InfoTop + 8);
        Wimdows::SetFont(3, White);
        if (!focused->readable) {
            Wimdows::Text(Tr("Dit level kan niet gelezen worden."), SetLeft, InfoTop + 34);
        } else if (!focused->hint.empty()) {
            Wimdows::Text(Fit(std::string(Tr("Tip: ")) + focused->hint, 3, Width - 2 * SetLeft).c_str(), SetLeft,
                          InfoTop + 34);
        }
    }
    Wimdows::SetFont(3, Grey);
    Wimdows::Text(Fit(page.about, 3, Width - 2 * SetLeft).c_str(), SetLeft, InfoTop + 56);
    Wimdows::Text(
        Fit(Tr("Pijlen: kiezen   Enter: spelen   Tab: volgende set   Esc: menu   F1: hulp"), 3, Width - 2 * SetLeft)
            .c_str(),
        SetLeft, Height - 22);
    Wimdows::SetFont(0, 0);
    Wimdows::UpdateWindow();
}

std::int32_t SelectSetRowAt(std::int32_t x, std::int32_t y)
{
    if (x < SetLeft - 4 || x > SetRight || y < SetTop - 2) return -1;
    const std::int32_t row = (y - SetTop + 2) / SetRow;
    return row < static_cast<std::int32_t>(SelectSetRows) ? row : -1;
}

std::int32_t SelectCellAt(std::int32_t x, std::int32_t y)
{
    if (x < GridLeft || y < GridTop - 4) return -1;
    const std::int32_t col = (x - GridLeft) / CellWidth, row = (y - GridTop + 4) / CellHeight;
    if (col >= static_cast<std::int32_t>(SelectColumns) || row >= static_cast<std::int32_t>(SelectRows)) return -1;
    return row * static_cast<std::int32_t>(SelectColumns) + col;
}

}  // namespace Drawing
