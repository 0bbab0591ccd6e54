#include "Path/Path.hpp"

#include <cstddef>
#include <vector>

namespace Path {

namespace {

struct Point {
    std::int32_t x;
    std::int32_t y;
};

std::vector<Point> gPoints;
std::size_t gCursor = 0;  // appending and walking both go from here; meaningless while empty
bool gEnd = false;

}  // namespace

void Add(std::int32_t X, std::int32_t Y)
{
    if (gPoints.empty()) {
        gPoints.push_back({X, Y});
        gCursor = 0;
        return;
    }
    if (gPoints[gCursor].x == X && gPoints[gCursor].y == Y) {
        return;  // a resting rocket adds nothing
    }
    // Recording leaves the cursor on the last point, so this is an append but right after
    // a walk has been restarted.
    ++gCursor;
    gPoints.insert(gPoints.begin() + static_cast<std::ptrdiff_t>(gCursor), Point{X, Y});
}

void Clear()
{
    gPoints.clear();
    gPoints.shrink_to_fit();  // a long flight's memory goes with it
    gCursor = 0;
}

bool Exists() { return gPoints.size() >= 2; }

void GoToFirstPoint()
{
    gCursor = 0;
    gEnd = false;
}

void GoToNextPoint()
{
    // Stepping from the last point (or an empty list) keeps the cursor where it is.
    if (gCursor + 1 >= gPoints.size()) {
        gEnd = true;
        return;
    }
    ++gCursor;
    gEnd = gCursor + 1 == gPoints.size();
}

std::int32_t X() { return gPoints.empty() ? 0 : gPoints[gCursor].x; }
std::int32_t Y() { return gPoints.empty() ? 0 : gPoints[gCursor].y; }
bool End() { return gEnd; }

void Init() {}

}  // namespace Path
