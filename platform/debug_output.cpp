// The portable half of debug_output.h: the sink in force.

#include "platform/debug_output.h"

#include <mutex>

namespace platform {
namespace {

std::mutex sinkLock;
DebugSink currentSink;

}  // namespace

void DebugOutput(std::string_view bytes) {
    std::lock_guard<std::mutex> hold(sinkLock);
    if (currentSink) {
        currentSink(bytes);
    } else {
        WriteToHostDebugOutput(bytes);
    }
}

DebugSink SetDebugSink(DebugSink sink) {
    std::lock_guard<std::mutex> hold(sinkLock);
    DebugSink previous = std::move(currentSink);
    currentSink = std::move(sink);
    return previous;
}

}  // namespace platform
