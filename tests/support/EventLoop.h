#pragma once

#include <functional>

// Runs the Qt event loop until `done` holds; false once `limitMs` passed.
bool pumpUntil(const std::function<bool()>& done, int limitMs = 10000);
// Runs the Qt event loop for `ms` milliseconds.
void pumpFor(int ms);
