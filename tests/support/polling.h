// Waiting for a condition in a test: polled with a deadline, never a fixed
// sleep.
#pragma once

#include <chrono>
#include <thread>

// Polls `found` every 20 ms until it returns a value that tests true, or
// `timeout` passes; returns that value, or a value-initialised one.
template <class F>
auto pollFor(F found, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    -> decltype(found())
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (auto value = found())
            return value;
        if (std::chrono::steady_clock::now() > deadline)
            return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Polls `condition` until it holds or `timeout` passes; whether it held.
template <class F>
bool eventually(F condition, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    return pollFor([&]() -> bool { return condition(); }, timeout);
}
