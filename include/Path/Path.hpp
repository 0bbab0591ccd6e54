// The rocket's flight path: a list of window points in recording order.
#pragma once

#include <cstdint>

namespace Path {

void Add(std::int32_t X, std::int32_t Y);
void Clear();
bool Exists();  // at least two points
void GoToFirstPoint();
void GoToNextPoint();
std::int32_t X();
std::int32_t Y();
extern bool End;  // true when the cursor stands on the last point

void Init();

}  // namespace Path
