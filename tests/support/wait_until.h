#pragma once
// Waiting for a real state to come about, with a deadline instead of a guess.

#include <chrono>
#include <functional>
#include <thread>

namespace tolbe_test {

// Looks at `done` every 20 ms until it holds or the timeout has passed; tells whether it held.
// `done` is asked once more at the deadline, so a state reached just then still counts.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    constexpr std::chrono::milliseconds kPollInterval(20);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return done();
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

}  // namespace tolbe_test
