#pragma once
// The launcher's diagnostic channel (the debugger output on Windows).
//
// Diagnostics are narrow byte strings, each written as one piece. They never reach the player.
// On POSIX they go to standard error; GBK text (the launcher's fixed Chinese diagnostics) is
// converted to UTF-8 there so that a terminal shows it. Tests replace the sink to capture the
// exact bytes.

#include <functional>
#include <string>
#include <string_view>

namespace platform {

using DebugSink = std::function<void(std::string_view bytes)>;

// Writes one piece of diagnostic text, unchanged, to the current sink.
void DebugOutput(std::string_view bytes);

// Replaces the sink and returns the previous one. An empty sink restores the default
// (standard error). Safe to call from any thread.
DebugSink SetDebugSink(DebugSink sink);

// What the default sink writes for the given bytes: UTF-8 text as it is, anything else read as
// GBK and converted to UTF-8, with bytes that are neither written as \xNN.
std::string DebugTextForTerminal(std::string_view bytes);

}  // namespace platform
