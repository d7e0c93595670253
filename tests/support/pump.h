#pragma once
// Handling window messages in tests until something has happened.
#include <functional>

// Handles the calling thread's messages until `done` is true or `timeoutMs` has passed; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Handles the calling thread's messages for `ms` milliseconds.
void PumpFor(int ms);
