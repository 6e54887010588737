#include "config/diagnostics.h"

#include <string>

#include "platform/debug_output.h"

void WriteDiagnosticLine(std::string_view text) {
    std::string line(text);
    line += "\r\n";
    platform::DebugOutput(line);
}
