#pragma once
// Holds an extraction's worker inside CZipImplement's progress hook until the test lets it go on,
// so that a test can look at the progress at a known point without sleeping.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

#include "archive/zip_implement.h"

namespace tolbe_test {

class ProgressGate {
public:
    // Installs the hook on the extractor; the worker is held at every call until Step or Open.
    void Attach(CZipImplement& zip) {
        zip.SetProgressHook([this](uint64_t doneBytes) { Pass(doneBytes); });
    }

    // Waits until the worker is held and returns the bytes it had written then; nullopt when it
    // is not held within a generous deadline.
    std::optional<uint64_t> WaitForHeld() {
        std::unique_lock<std::mutex> hold(m_lock);
        if (!m_changed.wait_for(hold, kDeadline, [this] { return m_held || !m_holding; }) ||
            !m_held) {
            return std::nullopt;
        }
        return m_doneBytes;
    }

    // Lets the held worker go on to the next hook call, where it is held again.
    void Step() {
        std::lock_guard<std::mutex> hold(m_lock);
        m_held = false;
        m_changed.notify_all();
    }

    // Lets the worker run freely from now on.
    void Open() {
        std::lock_guard<std::mutex> hold(m_lock);
        m_holding = false;
        m_held = false;
        m_changed.notify_all();
    }

private:
    static constexpr std::chrono::seconds kDeadline{30};

    void Pass(uint64_t doneBytes) {
        std::unique_lock<std::mutex> hold(m_lock);
        if (!m_holding) {
            return;
        }
        m_held = true;
        m_doneBytes = doneBytes;
        m_changed.notify_all();
        m_changed.wait(hold, [this] { return !m_held; });
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_holding = true;
    bool m_held = false;
    uint64_t m_doneBytes = 0;
};

}  // namespace tolbe_test
