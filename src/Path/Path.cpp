#include "Path/Path.hpp"

namespace Path {

bool End = false;

namespace {

struct Item {
    Item* p;  // next point, nullptr at the last one
    std::int32_t x;
    std::int32_t y;
};

Item* HeadOfArray = nullptr;
Item* Current = nullptr;  // cursor for both appending and walking; set whenever the list is not empty

}  // namespace

void Add(std::int32_t X, std::int32_t Y)
{
    if (HeadOfArray == nullptr) {
        HeadOfArray = new Item{nullptr, X, Y};
        Current = HeadOfArray;
        return;
    }
    if (Current->x == X && Current->y == Y) {
        return;  // a resting rocket adds nothing
    }
    Item* n = new Item{Current->p, X, Y};
    Current->p = n;
    Current = n;
}

void Clear()
{
    Item* item = HeadOfArray;
    while (item != nullptr) {
        Item* next = item->p;
        delete item;
        item = next;
    }
    HeadOfArray = nullptr;
    Current = nullptr;
}

bool Exists() { return HeadOfArray != nullptr && HeadOfArray->p != nullptr; }

void GoToFirstPoint()
{
    Current = HeadOfArray;
    End = false;
}

void GoToNextPoint()
{
    // Stepping from the last point (or an empty list) keeps the cursor where it is.
    if (Current == nullptr || Current->p == nullptr) {
        End = true;
        return;
    }
    Current = Current->p;
    End = Current->p == nullptr;
}

std::int32_t X() { return Current != nullptr ? Current->x : 0; }
std::int32_t Y() { return Current != nullptr ? Current->y : 0; }

void Init() {}

}  // namespace Path
