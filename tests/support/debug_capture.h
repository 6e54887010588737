#pragma once
// Captures every piece written to the debug output while it lives.

#include <mutex>
#include <string>
#include <vector>

#include "platform/debug_output.h"

namespace tolbe_test {

class DebugCapture {
public:
    DebugCapture() {
        m_previous = platform::SetDebugSink([this](std::string_view bytes) {
            std::lock_guard<std::mutex> hold(m_lock);
            m_pieces.emplace_back(bytes);
        });
    }
    ~DebugCapture() { platform::SetDebugSink(std::move(m_previous)); }

    std::vector<std::string> pieces() const {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_pieces;
    }

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_pieces;
    platform::DebugSink m_previous;
};

}  // namespace tolbe_test
