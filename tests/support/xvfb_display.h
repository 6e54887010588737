#pragma once
// A virtual X display of its own (Xvfb) for as long as the object lives: the display number is
// the first free one, which Xvfb reports itself once it accepts connections.

#include <memory>
#include <string>

#include "tests/support/child_process.h"

namespace tolbe_test {

class XvfbDisplay {
public:
    // Starts Xvfb with one 1280 x 800 screen, no TCP listener, no reset when clients leave, its
    // messages in `logFile`, and waits (30 s at most) until it is ready. Throws std::runtime_error
    // when it is not (Xvfb missing, or the server ending at start; the message quotes its log).
    explicit XvfbDisplay(const std::string& logFile);

    // The value for DISPLAY, for example ":3".
    const std::string& name() const { return m_name; }

private:
    std::unique_ptr<ChildProcess> m_server;
    std::string m_name;
};

}  // namespace tolbe_test
