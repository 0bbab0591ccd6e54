// The rocket's flight path: the window points in recording order, with a cursor that the
// drawing walks from the first point to the last.
#pragma once

#include <cstdint>

namespace Path {

// Adds a point after the cursor and moves the cursor onto it; a point equal to the one
// under the cursor (a resting rocket) adds nothing.
void Add(std::int32_t X, std::int32_t Y);
void Clear();
bool Exists();  // at least two points
void GoToFirstPoint();
void GoToNextPoint();  // on the last point (or none) it stays and End() becomes true
std::int32_t X();      // the point under the cursor, 0 when there is none
std::int32_t Y();
bool End();  // true when the cursor stands on the last point

void Init();

}  // namespace Path
