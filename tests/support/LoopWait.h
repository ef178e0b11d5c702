#pragma once
// Runs the application's message loop until `done` holds or `timeoutMs` passes; whether it held.

#include <chrono>
#include <thread>

#include "platform/vcl/Forms.h"

template <class F>
bool LoopUntil(F done, int timeoutMs = 5000)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        vcl::Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Runs the loop for `ms` whatever happens (to show that something does not come).
inline void LoopFor(int ms)
{
    LoopUntil([] { return false; }, ms);
}
