#pragma once
// Waiting for an extraction run to end, for the archive tests.

#include <chrono>
#include <thread>

#include "archive/zip_implement.h"

namespace tolbe_test {

// What WaitForEnd returns when the run has not ended within a minute.
inline constexpr int kNoEnd = -1;

// Polls the extractor's state until the run ends: its final state, or kNoEnd.
inline int WaitForEnd(CZipImplement& zip) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    int percent = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        const int state = zip.GetProgress(&percent);
        if (state != CZipImplement::kInProgress) {
            return state;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return kNoEnd;
}

}  // namespace tolbe_test
