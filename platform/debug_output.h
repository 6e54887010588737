#pragma once
// The launcher's diagnostic channel (the debugger output on Windows).
//
// Diagnostics are narrow byte strings, each written as one piece. They never reach the player.
// On Windows they go to the debugger output with OutputDebugStringA, bytes unchanged: GBK text
// (the launcher's fixed Chinese diagnostics) as GBK, which a Chinese Windows shows as it is; a
// NUL ends what reaches the debugger. On POSIX they go to standard error; GBK text is converted
// to UTF-8 there so that a terminal shows it. Tests replace the sink to capture the exact bytes.

#include <functional>
#include <string>
#include <string_view>

namespace platform {

using DebugSink = std::function<void(std::string_view bytes)>;

// Writes one piece of diagnostic text, unchanged, to the current sink.
void DebugOutput(std::string_view bytes);

// Replaces the sink and returns the previous one. An empty sink restores the default (the
// host's debug output). Safe to call from any thread.
DebugSink SetDebugSink(DebugSink sink);

// The default sink: OutputDebugStringA on Windows, standard error (DebugTextForTerminal) on POSIX.
void WriteToHostDebugOutput(std::string_view bytes);

// POSIX: what the default sink writes for the given bytes: UTF-8 text as it is, anything else
// read as GBK and converted to UTF-8, with bytes that are neither written as \xNN.
std::string DebugTextForTerminal(std::string_view bytes);

}  // namespace platform
